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
namespace {
// Every position of the system in order: the FRUs read, and damaged devices
// from their raw bytes (unless --strict); unreadable ones only in the list
// at the end.
bool DescribeAll(Session& s, const Options& o, std::vector<FruView>* frus) {
    for (uint32_t i = 0; i < s.Slots().size(); ++i) {
        Positions::Slot slot = s.Slots()[i];
        FruView view;
        if (slot.index && !s.Describe(*slot.index, &view))
            return false;
        if (slot.index ||
            (slot.device.damaged && !o.strict && Unreadable::Describe(&slot.device, i, &view)))
            frus->push_back(std::move(view));
    }
    return true;
}
} // namespace

int Show(Session& s, const Options& o) {
    if (!LoadSource(s, o))
        return kExitLibrary;
    std::vector<FruView> frus;
    const bool wholeSystem = !o.SingleFru() && o.operands.empty();
    // The one FRU named is a located device the load did not read.
    const bool deviceFailed =
        !o.SingleFru() && !o.operands.empty() && Unreadable::Named(s, o.operands[0]).has_value();
    if (!wholeSystem) {
        uint32_t position = 0;
        frus.resize(1);
        if (!DescribeTarget(s, o, o.operands.empty() ? nullptr : &o.operands[0], &position,
                            &frus[0]))
            // --strict of an image the library refuses: damaged, like a device.
            return deviceFailed || (o.strict && !o.image.empty() && s.Count() == 0) ? kExitPartial
                                                                                    : kExitLibrary;
    } else if (!DescribeAll(s, o, &frus)) {
        return kExitLibrary;
    }
    const bool failed = wholeSystem && Unreadable::Any(s.Slots());
    if (o.json) {
        Render::Json(stdout, frus,
                     wholeSystem ? Unreadable::Json(s.Slots()) : JsonWriter::Value::object());
    } else {
        for (size_t i = 0; i < frus.size(); ++i) {
            if (i)
                std::printf("\n");
            Render::Plain(stdout, frus[i]);
        }
        if (failed)
            std::printf("\n");
        if (wholeSystem)
            Unreadable::Print(stdout, s.Slots());
    }
    if (deviceFailed || failed)
        return kExitPartial;
    // A damaged image file is told apart from a sound one like a damaged device.
    for (const auto& fru : frus)
        if (!fru.image.accepted)
            return kExitPartial;
    return kExitOk;
}
} // namespace Commands
