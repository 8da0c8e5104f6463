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
    const uint32_t list = o.file.empty() ? ORVANE_LIST_SYSTEM : ORVANE_LIST_FILE;
    if (int code = SaveFruVerified(s, o.operands[1], list, position))
        return code;
    std::printf("saved FRU %u to %s\n", position, o.operands[1].c_str());
    return kExitOk;
}
} // namespace Commands
