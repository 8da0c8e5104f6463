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
int Save(Session& s, const Options& o) {
    if (o.operands.size() != 2)
        return Usage("save", "takes FRU CFG");
    if (!LoadSource(s, o))
        return kExitLibrary;
    uint32_t position = 0;
    if (!s.SelectFru(o.operands[0], &position))
        return kExitLibrary;
    if (uint32_t status = SaveConfigurationToFile(s.Api(), Wide(o.operands[1]).c_str());
        status != ORVANE_OK)
        return s.Fail("saving " + o.operands[1], status);
    std::printf("saved FRU %u to %s\n", position, o.operands[1].c_str());
    return kExitOk;
}
} // namespace Commands
