#include "cmd/Commands.h"

#include "api/DeviceAccess.h"
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
int Show(Session& s, const Options& o) {
    if (!LoadSource(s, o))
        return kExitLibrary;
    std::vector<FruView> frus;
    std::vector<DeviceAccess::LocatedDevice> failed;
    bool deviceFailed = false; // the one FRU named is a located device the load did not read
    if (o.SingleFru() || !o.operands.empty()) {
        if (!o.SingleFru())
            deviceFailed = Unreadable::Named(o.operands[0]).has_value();
        uint32_t position = 0;
        frus.resize(1);
        if (!DescribeTarget(s, o, o.operands.empty() ? nullptr : &o.operands[0], &position,
                            &frus[0]))
            return deviceFailed ? kExitPartial : kExitLibrary;
    } else {
        frus.resize(s.Count());
        for (uint32_t i = 0; i < frus.size(); ++i)
            if (!s.Describe(i, &frus[i]))
                return kExitLibrary;
        failed = Unreadable::Devices();
        // A damaged device is shown from its raw bytes, read only now.
        if (!o.strict)
            for (auto& d : failed)
                if (FruView view; d.damaged && Unreadable::Describe(&d, &view))
                    frus.push_back(std::move(view));
    }
    const bool wholeSystem = !o.SingleFru() && o.operands.empty();
    if (o.json) {
        Render::Json(stdout, frus, wholeSystem ? Unreadable::Json(failed) : "");
    } else {
        for (size_t i = 0; i < frus.size(); ++i) {
            if (i)
                std::printf("\n");
            Render::Plain(stdout, frus[i]);
        }
        if (!failed.empty())
            std::printf("\n");
        Unreadable::Print(stdout, failed);
    }
    if (deviceFailed || !failed.empty())
        return kExitPartial;
    // A damaged image file is told apart from a sound one like a damaged device.
    for (const auto& fru : frus)
        if (!fru.editable)
            return kExitPartial;
    return kExitOk;
}
} // namespace Commands
