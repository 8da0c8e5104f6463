#include "cmd/Commands.h"

#include "cmd/CommandSupport.h"
#include "device/Backup.h"
#include "device/Unreadable.h"
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
int Scan(Session& s, const Options& o) {
    if (!s.LoadSystem())
        return kExitLibrary;
    if (uint32_t status = SelectList(s.Api(), ORVANE_LIST_SYSTEM); status != ORVANE_OK)
        return s.Fail(_("selecting the system list"), status);
    uint32_t present = 0, loaded = 0;
    GetNumberOfFrus(s.Api(), &present, &loaded);
    std::vector<FruView> frus(loaded);
    for (uint32_t i = 0; i < loaded; ++i)
        if (!s.Describe(i, &frus[i]))
            return kExitLibrary;
    const auto unreadable = Unreadable::Devices();
    const int code = unreadable.empty() ? kExitOk : kExitPartial;
    if (o.json) {
        Render::Json(stdout, frus, Unreadable::Json(unreadable));
        return code;
    }
    std::printf(_("%u FRU devices found, %u read\n"), present, loaded);
    std::printf("%3s  %s %s %s\n", "#", Text::Padded(_("name"), 20).c_str(),
                Text::Padded(_("address"), 18).c_str(), _("areas"));
    for (const auto& fru : frus)
        Render::ScanLine(stdout, fru);
    Unreadable::Print(stdout, unreadable);
    return code;
}
} // namespace Commands
