#include "Commands.h"

#include "Backup.h"
#include "CommandSupport.h"
#include "Render.h"
#include "Text.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace Commands {
int Get(Session& s, const Options& o) {
    const size_t need = o.file.empty() ? 2 : 1;
    if (o.operands.size() != need)
        return Usage("get", o.file.empty() ? "takes FRU FIELD" : "takes FIELD with --file");
    const std::string& name = o.operands[need - 1];
    const auto field = FieldNames::Parse(name);
    if (!field)
        return Usage("get", "\"" + name + "\" names no field");
    if (!LoadSource(s, o))
        return kExitLibrary;
    uint32_t position = 0;
    if (!SelectTarget(s, o, &o.operands[0], &position) || !SelectNamedField(s, *field, name))
        return kExitLibrary;
    const OrvaneChar* value = nullptr;
    if (uint32_t status = GetFieldStringValue(s.Api(), &value); status != ORVANE_OK)
        return s.Fail("reading " + name, status);
    std::printf("%s\n", Text::ToUtf8(value).c_str());
    return kExitOk;
}
} // namespace Commands
