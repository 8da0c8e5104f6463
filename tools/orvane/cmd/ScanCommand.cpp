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
    // Every position in order; a device that was not read keeps its place.
    const auto& slots = s.Slots();
    std::vector<FruView> frus, all(slots.size());
    for (uint32_t i = 0; i < slots.size(); ++i) {
        FruView& fru = all[i];
        if (slots[i].index) {
            if (!s.Describe(*slots[i].index, &fru))
                return kExitLibrary;
            frus.push_back(fru);
            continue;
        }
        fru.position = i;
        fru.name = slots[i].device.name;
        fru.address = slots[i].device.address;
        fru.state = slots[i].device.damaged ? "damaged" : "unreadable";
    }
    const int code = Unreadable::Any(slots) ? kExitPartial : kExitOk;
    if (o.json) {
        Render::Json(stdout, frus, Unreadable::Json(slots));
        return code;
    }
    // The devices the SDR locates (more than get positions when over 17), and
    // the BMC's FRU 0 when it was found without a record.
    uint32_t located = 0, loaded = 0;
    GetNumberOfFrus(s.Api(), &located, &loaded);
    const bool probed = !slots.empty() && slots.back().withoutRecord;
    std::printf(_("%u FRU devices found, %u read\n"), located + (probed ? 1 : 0),
                static_cast<uint32_t>(frus.size()));
    std::printf("%3s  %s %s %s %s\n", "#", Text::Padded(_("id"), 6).c_str(),
                Text::Padded(_("name"), 20).c_str(), Text::Padded(_("address"), 18).c_str(),
                _("areas"));
    for (const auto& fru : all)
        Render::ScanLine(stdout, fru);
    Unreadable::Print(stdout, slots);
    return code;
}
} // namespace Commands
