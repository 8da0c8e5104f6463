#include "cmd/Commands.h"

#include "cmd/CommandSupport.h"
#include "device/Backup.h"
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
int Save(Session& s, const Options& o) {
    const bool image = !o.image.empty();
    if (!LoadSource(s, o))
        return kExitLibrary;
    uint32_t position = 0;
    if (image ? !SelectTarget(s, o, nullptr, &position) : !s.SelectFru(o.operands[0], &position))
        return kExitLibrary;
    const uint32_t list = o.file.empty() ? ORVANE_LIST_SYSTEM : ORVANE_LIST_FILE;
    if (int code = SaveFruVerified(s, o.operands.back(), list, position))
        return code;
    std::printf(_("saved FRU %u to %s\n"), position, o.operands.back().c_str());
    return kExitOk;
}
} // namespace Commands
