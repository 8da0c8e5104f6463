#include "device/GuardedWrite.h"

#include "api/FruEdit.h"
#include "app/Report.h"
#include "device/Backup.h"
#include "device/LayoutGuard.h"
#include "device/RawImage.h"
#include "device/SafeCommit.h"
#include "view/Translate.h"

namespace GuardedWrite {
namespace {
const uint32_t* PositionOf(const Target& target) {
    return target.position ? &*target.position : nullptr;
}

// Tells the target what a write of image over the backup did, once it did.
int Tell(const Target& target, const Commands::PendingBackup& backup,
         const std::vector<uint8_t>& image, int code) {
    if (code == kExitOk && target.written)
        *target.written = {SafeCommit::ChangedAreas(backup.raw, image), backup.bin};
    return code;
}
} // namespace

int Commit(Session& s, const Options& o, const Target& target, const Edit& edit) {
    const FruAddress& address = target.address;
    if (!edit.repack)
        if (int code = SafeCommit::GuardLayout(address, 0))
            return code;
    // A refusal from here on removes the backup again (PendingBackup). The
    // change is built on the library's FRU, so the backup must agree with it.
    Commands::PendingBackup backup;
    const Commands::HeldImage held = Commands::HeldBy(FruEdit::SelectedFru());
    if (int code = Commands::TakeBackup(s, o, address, PositionOf(target), &backup, &held))
        return code;
    bool changed = false;
    if (int code = edit.change(&changed))
        return code;
    if (edit.repack) {
        if (!FruEdit::Repack(FruEdit::SelectedFru()))
            return Report::Refused(_("the areas do not fit a common header when packed from "
                                     "offset 8; nothing was written\n"));
        changed = true; // the header and every area are written where they now belong
    }
    if (!changed)
        return kExitOk;
    if (int code = SafeCommit::GuardLayout(address, RawImage::KnownDeviceSize(address)))
        return code;
    if (edit.beforeCommit)
        if (int code = edit.beforeCommit())
            return code;
    std::vector<bool> written;
    const std::vector<uint8_t> image = SafeCommit::CommittedImage(backup.raw, &written);
    return Tell(target, backup, image, SafeCommit::Commit(s, address, backup));
}

namespace {
// A raw image made after the backup; built on the library's FRU too when the
// target has one (its changed areas are re-encoded from it).
int RebuildFrom(Session& s, const Options& o, const Target& target, const MakeImage& make,
                bool onFru) {
    Commands::PendingBackup backup;
    const Commands::HeldImage held =
        onFru && target.position ? Commands::HeldBy(FruEdit::SelectedFru()) : Commands::HeldImage{};
    if (int code = Commands::TakeBackup(s, o, target.address, PositionOf(target), &backup,
                                        held.bytes.empty() ? nullptr : &held))
        return code;
    std::vector<uint8_t> image;
    if (int code = make(backup.raw, &image))
        return code;
    return Tell(target, backup, image, SafeCommit::WriteImage(target.address, image, backup));
}
} // namespace

int Rebuild(Session& s, const Options& o, const Target& target, const MakeImage& make) {
    return RebuildFrom(s, o, target, make, true);
}

int Write(Session& s, const Options& o, const Target& target, const std::vector<uint8_t>& image) {
    const uint32_t size = RawImage::KnownDeviceSize(target.address);
    const size_t limit = size ? size : LayoutGuard::kAddressableBytes;
    if (image.empty() || image.size() > limit)
        return Report::Refused(size ? _("refusing to write %zu bytes to %s: the device holds %zu "
                                        "bytes; nothing was written\n")
                                    : _("refusing to write %zu bytes to %s: the device can "
                                        "address %zu bytes; nothing was written\n"),
                               image.size(), target.address.Format().c_str(), limit);
    const auto given = [&](const std::vector<uint8_t>&, std::vector<uint8_t>* out) {
        *out = image;
        return kExitOk;
    };
    return RebuildFrom(s, o, target, given, false);
}
} // namespace GuardedWrite
