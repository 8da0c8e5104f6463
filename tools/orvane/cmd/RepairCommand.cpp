// orvane repair: makes a damaged FRU image whole again where the fix is
// unambiguous (checksums, an over-long length byte, the last record's
// end-of-list bit), written through the guarded write; anything else is
// refused and nothing is written.
#include "app/Report.h"
#include "cmd/Commands.h"

#include "api/DeviceAccess.h"
#include "api/ImageModel.h"
#include "cmd/CommandSupport.h"
#include "decode/Salvage.h"
#include "device/GuardedWrite.h"
#include "device/RawImage.h"
#include "view/Text.h"
#include "view/Translate.h"

#include <cstdio>
#include <string>
#include <vector>

namespace Commands {
namespace {
// Each byte that differs, a line each: "  0x0007  F0 -> E8".
std::string ChangedBytes(const std::vector<uint8_t>& before, const std::vector<uint8_t>& after) {
    std::string text;
    for (size_t i = 0; i < before.size() && i < after.size(); ++i)
        if (before[i] != after[i])
            text += Text::Format("  0x%04zX  %02X -> %02X\n", i, before[i], after[i]);
    return text;
}

// The device to repair: the image file's, or the FRU the operand names (a
// damaged device that the load could not read, by its position too).
// Returns an exit code.
int FindTarget(Session& s, const Options& o, GuardedWrite::Target* target) {
    if (o.image.empty())
        return ResolveDevice(s, o.operands[0], &target->address, &target->position, false);
    if (s.Count() > 0 && SelectFru(s.Api(), 0) == ORVANE_OK &&
        s.SelectedAddress(&target->address)) {
        target->position = 0;
        return kExitOk;
    }
    const auto located = DeviceAccess::LocatedDevices();
    if (located.empty())
        return Report::Fail(_("the image %s is not served as a device\n"), o.image.c_str());
    target->address = located[0].address;
    return kExitOk;
}

int Refuse(const Salvage::Repair& plan) {
    std::string reasons;
    for (const auto& r : plan.refusals)
        reasons += "  " + r + "\n";
    return Report::Refused(_("the FRU cannot be repaired without guessing; nothing was "
                             "written:\n%s"),
                           reasons.c_str());
}
} // namespace

int Repair(Session& s, const Options& o) {
    if (!LoadSource(s, o))
        return kExitLibrary;
    GuardedWrite::Target target;
    if (int code = FindTarget(s, o, &target))
        return code;
    std::vector<uint8_t> raw;
    std::string source;
    if (const uint32_t status = RawImage::ReadWholeDevice(target.address, &raw, &source))
        return s.Fail(Text::Format(_("reading the device %s"), target.address.Format().c_str()),
                      status);
    const Salvage::Repair plan = Salvage::Plan(raw);
    if (!plan.refusals.empty())
        return Refuse(plan);
    if (plan.fixes.empty()) {
        std::printf(ImageModel::ParseImage(raw, u"").accepted
                        ? _("nothing to repair: every area is sound\n")
                        : _("nothing to repair: every area is sound; the library refuses the "
                            "image only because its internal use area lies after the other "
                            "areas, and orvane set changes it all the same\n"));
        return kExitOk;
    }
    for (const auto& fix : plan.fixes)
        std::printf("%s\n", fix.c_str());
    if (o.dryRun) {
        std::printf(_("bytes that would change:\n%snothing was written (--dry-run)\n"),
                    ChangedBytes(raw, plan.image).c_str());
        return kExitOk;
    }
    return GuardedWrite::Rebuild(
        s, o, target, [&](const std::vector<uint8_t>& before, std::vector<uint8_t>* image) {
            if (before != raw)
                return Report::Refused(_("the device changed while it was being repaired; "
                                         "nothing was written\n"));
            *image = plan.image;
            return kExitOk;
        });
}
} // namespace Commands
