#include "cmd/Commands.h"

#include "api/FruEdit.h"
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
    // The position scan shows, which counts the devices that were not read too.
    const uint32_t shown =
        Positions::PositionOf(s.Slots(), FruEdit::SelectedFru()).value_or(position);
    if (int code = SaveFruVerified(s, o.operands.back(), list, position))
        return code;
    std::printf(_("saved FRU %u to %s\n"), shown, o.operands.back().c_str());
    return kExitOk;
}
} // namespace Commands
