#include "cmd/Commands.h"

#include "cmd/CommandSupport.h"
#include "device/Backup.h"
#include "view/JsonWriter.h"
#include "view/Render.h"
#include "view/Text.h"
#include "view/Translate.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace Commands {
int Get(Session& s, const Options& o) {
    const size_t need = o.SingleFru() ? 1 : 2;
    const std::string& name = o.operands[need - 1];
    const auto field = FieldNames::Parse(name);
    if (!field)
        return NoSuchField("get", name);
    if (!LoadSource(s, o))
        return kExitLibrary;
    uint32_t position = 0;
    FruView view;
    if (!DescribeTarget(s, o, &o.operands[0], &position, &view))
        return kExitLibrary;
    size_t index = 0;
    const ImageModel::AreaImage* area = FindField(view, *field, name, &index);
    if (!area)
        return kExitRefused;
    if (o.json) {
        std::printf("%s\n", JsonWriter::Inline({{"fru", view.name},
                                                {"address", Render::JsonAddress(view.address)},
                                                {"field", Render::JsonField(*area, index)}})
                                .c_str());
        Report::Printed();
        return kExitOk;
    }
    std::printf("%s\n", PrintedValue(*area, index).c_str());
    return kExitOk;
}
} // namespace Commands
