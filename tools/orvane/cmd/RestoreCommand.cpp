// orvane restore: a saved configuration file (CFG) or raw image (FILE.bin)
// back to its device.
#include "app/Report.h"
#include "cmd/Commands.h"

#include "api/DeviceAccess.h"
#include "api/FruEdit.h"
#include "cmd/CommandSupport.h"
#include "device/Backup.h"
#include "device/GuardedWrite.h"
#include "device/ImageCheck.h"
#include "device/RawImage.h"
#include "device/SafeCommit.h"
#include "view/Render.h"
#include "view/Text.h"
#include "view/Translate.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

namespace Commands {
namespace {
// The space an info area's fields and padding fill: the same for two areas of
// one kind exactly when their lengths are equal.
uint64_t Footprint(const ImageModel::AreaImage& area) {
    uint64_t total = FruViews::Room(area);
    for (const auto& f : area.fields)
        total += 1 + f.data.size();
    return total;
}

// Why the device's FRU cannot take the file's contents, or "".
std::string RestoreMismatch(const FruView& device, const FruView& file) {
    for (int32_t kind = ORVANE_AREA_INTERNAL_USE; kind <= ORVANE_AREA_MULTIRECORD; ++kind) {
        const ImageModel::AreaImage* d = FruViews::Area(device, kind);
        const ImageModel::AreaImage* f = FruViews::Area(file, kind);
        const std::string key = FieldNames::AreaKey(kind);
        if (!d != !f)
            return Text::Format(d ? _("the device has a %s area and the file has none")
                                  : _("the file has a %s area and the device has none"),
                                key.c_str());
        if (!d)
            continue;
        if (!FruViews::Info(*d) && d->bytes.size() != f->bytes.size())
            return Text::Format(_("the %s areas differ in size (%zu bytes on the device, %zu in "
                                  "the file)"),
                                key.c_str(), d->bytes.size(), f->bytes.size());
        if (!FruViews::Info(*d))
            continue;
        if (d->fields.size() != f->fields.size())
            return Text::Format(_("the %s areas have different numbers of fields"), key.c_str());
        if (Footprint(*d) != Footprint(*f))
            return Text::Format(_("the %s areas differ in size"), key.c_str());
    }
    return "";
}
} // namespace

// The image a file's FRU makes on its own: the header and every area where
// the commit puts them. Empty after a report when the header disagrees.
int ImageOfFileFru(Session& s, const FruAddress& address, std::vector<uint8_t>* image) {
    SelectList(s.Api(), ORVANE_LIST_FILE);
    uint32_t present = 0, loaded = 0;
    GetNumberOfFrus(s.Api(), &present, &loaded);
    SelectFru(s.Api(), loaded - 1);
    if (int code = SafeCommit::GuardLayout(address, RawImage::KnownDeviceSize(address)))
        return code;
    FruEdit::CommitLayout layout;
    FruEdit::LayoutCommit(FruEdit::SelectedFru(), &layout);
    image->assign(layout.end, 0xFF);
    std::copy(layout.header.begin(), layout.header.end(), image->begin());
    for (const auto& area : layout.areas)
        std::copy(area.bytes.begin(), area.bytes.end(),
                  image->begin() + static_cast<long>(area.commitOffset));
    return kExitOk;
}

namespace {
// The system list's FRU of the device at an address, selected; none when no
// FRU was read there.
std::optional<uint32_t> PositionAt(Session& s, const FruAddress& address) {
    std::optional<uint32_t> found;
    for (uint32_t i = 0; i < s.Count(); ++i) {
        FruAddress b;
        if (SelectFru(s.Api(), i) == ORVANE_OK && s.SelectedAddress(&b) && b == address)
            found = i;
    }
    return found;
}

// A device whose image no longer reads gets the file's image whole.
int RestoreUnread(Session& s, const Options& o, const FruAddress& a) {
    for (const auto& d : DeviceAccess::LocatedDevices())
        if (!d.read && d.address == a) {
            std::vector<uint8_t> image;
            if (int code = ImageOfFileFru(s, a, &image))
                return code;
            return GuardedWrite::Write(s, o, {a, std::nullopt}, image);
        }
    return Report::Fail(_("no located FRU device is at %s (try orvane scan)\n"),
                        a.Format().c_str());
}

// Sets the fields of the selected area that differ, those that shrink first,
// so the padding they give back lets the others grow.
int PutFields(Session& s, const ImageModel::AreaImage& want, const ImageModel::AreaImage& have,
              bool* changed) {
    for (int pass = 0; pass < 2; ++pass) {
        for (uint32_t i = 0; i < want.fields.size(); ++i) {
            const auto& w = want.fields[i].data;
            const auto& h = have.fields[i].data;
            if (w == h || (w.size() > h.size()) != (pass == 1))
                continue;
            const std::string key = FruViews::Key(want, i);
            if (uint32_t status = SelectFieldInteger(s.Api(), i); status != ORVANE_OK)
                return s.Fail(Text::Format(_("selecting %s"), key.c_str()), status);
            if (uint32_t status =
                    SetFieldDataValue(s.Api(), w.data(), static_cast<uint32_t>(w.size()));
                status != ORVANE_OK)
                return s.Fail(Text::Format(_("restoring %s"), key.c_str()), status);
            *changed = true;
        }
    }
    return kExitOk;
}

// Puts the saved FRU's contents into the device's FRU, which is selected.
int PutSaved(Session& s, const FruView& saved, const FruView& device, bool* changed) {
    for (const ImageModel::AreaImage& want : saved.image.areas) {
        const ImageModel::AreaImage& have = *FruViews::Area(device, want.kind);
        const char* key = FieldNames::AreaKey(want.kind);
        if (SelectAreaEnum(s.Api(), want.kind) != ORVANE_OK)
            return s.Fail(Text::Format(_("selecting the %s area"), key), ORVANE_E_NOT_SELECTED);
        if (FruViews::Info(want)) {
            if (int code = PutFields(s, want, have, changed))
                return code;
            continue;
        }
        if (want.bytes == have.bytes)
            continue;
        if (uint32_t status =
                SetAreaData(s.Api(), want.bytes.data(), static_cast<uint32_t>(want.bytes.size()));
            status != ORVANE_OK)
            return s.Fail(Text::Format(_("restoring the %s area"), key), status);
        *changed = true;
    }
    return kExitOk;
}
// orvane restore FILE.bin [FRU]: the raw image written like orvane write.
int RestoreImage(Session& s, const Options& o) {
    std::vector<uint8_t> image;
    if (int code = ImageCheck::ReadAdmitted(o, o.operands[0], &image))
        return code;
    const auto named = BackupAddress(o.operands[0]);
    if (o.operands.size() == 1 && !named)
        return Usage("restore", Text::Format(_("cannot tell the device from the name %s; name "
                                               "it: orvane restore FILE.bin FRU"),
                                             o.operands[0].c_str()));
    if (!LoadSource(s, o))
        return kExitLibrary;
    FruAddress address = named ? *named : FruAddress{};
    std::optional<uint32_t> position;
    const std::string device = o.operands.size() == 2 ? o.operands[1] : address.Format();
    if (int code = ResolveDevice(s, device, &address, &position, true))
        return code;
    if (int code = CheckBackupOrigin(o, o.operands[0], address))
        return code;
    if (o.dryRun)
        return ImageCheck::DryRun(address, image);
    return GuardedWrite::Write(s, o, {address, position}, image);
}
} // namespace

int Restore(Session& s, const Options& o) {
    if (!o.operands.empty() && o.operands[0].size() > 4 &&
        o.operands[0].compare(o.operands[0].size() - 4, 4, ".bin") == 0)
        return RestoreImage(s, o);
    if (o.operands.size() != 1) // a configuration file names its device itself
        return Usage("restore", _("takes CFG or FILE.bin"));
    if (o.dryRun)
        return Usage("restore", _("--dry-run shows what restore FILE.bin would write"));
    Options fromFile = o;
    fromFile.file = o.operands[0];
    if (!LoadSource(s, fromFile))
        return kExitLibrary;
    FruView saved;
    if (!s.Describe(s.Count() - 1, &saved))
        return kExitLibrary;
    if (!s.LoadSystem())
        return kExitLibrary;
    if (uint32_t status = SelectList(s.Api(), ORVANE_LIST_SYSTEM); status != ORVANE_OK)
        return s.Fail(_("selecting the system list"), status);
    const FruAddress& a = saved.address;
    if (int code = CheckBackupOrigin(o, o.operands[0], a))
        return code;
    const std::optional<uint32_t> position = PositionAt(s, a);
    if (!position)
        return RestoreUnread(s, o, a);
    FruView device;
    if (!s.Describe(*position, &device))
        return kExitLibrary;
    if (const std::string why = RestoreMismatch(device, saved); !why.empty())
        return Report::Refused(_("refusing to restore %s to %s: %s\n"), o.operands[0].c_str(),
                               a.Format().c_str(), why.c_str());
    SelectFru(s.Api(), *position);
    const auto change = [&](bool* changed) {
        if (int code = PutSaved(s, saved, device, changed))
            return code;
        if (!*changed && !o.repack)
            std::printf(_("the device at %s already holds what %s holds; nothing written\n"),
                        a.Format().c_str(), o.operands[0].c_str());
        return kExitOk;
    };
    return GuardedWrite::Commit(s, o, {a, position}, {change, nullptr, o.repack});
}
} // namespace Commands
