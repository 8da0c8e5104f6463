#include "app/Report.h"
#include "cmd/Commands.h"

#include "cmd/CommandSupport.h"
#include "decode/FieldEncoding.h"
#include "device/Backup.h"
#include "device/RawImage.h"
#include "device/Relayout.h"
#include "device/SafeCommit.h"
#include "view/Render.h"
#include "view/Text.h"
#include "view/Translate.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <set>
#include <string>
#include <system_error>
#include <vector>

namespace Commands {
namespace {
// The selected FRU's area of kind as the library holds it; null when absent.
const CoreAccess::AreaImage* HeldArea(CoreAccess::ImageView& held, int32_t kind) {
    if (!CoreAccess::DescribeSelected(&held))
        return nullptr;
    for (const CoreAccess::AreaImage& a : held.areas)
        if (a.kind == kind)
            return &a;
    return nullptr;
}

bool InfoArea(int32_t kind) {
    return kind == ORVANE_AREA_CHASSIS || kind == ORVANE_AREA_BOARD || kind == ORVANE_AREA_PRODUCT;
}

// Gives the selected field's info area the fewest 8-byte units more that let
// the field hold size bytes; the areas behind it move when the image is
// rebuilt. Returns an exit code.
int MakeRoom(Session& s, int32_t kind, size_t size, const std::string& key) {
    CoreAccess::ImageView held;
    const CoreAccess::AreaImage* area = HeldArea(held, kind);
    const uint8_t* current = nullptr;
    uint32_t currentLength = 0;
    if (!InfoArea(kind) || !area || size > kMaxFieldBytes ||
        GetFieldDataValue(s.Api(), &current, &currentLength) != ORVANE_OK)
        return kExitOk; // nothing to grow, or the setter refuses the value with its reason
    const auto length = static_cast<uint32_t>(area->bytes.size());
    const uint32_t needed = size > currentLength ? static_cast<uint32_t>(size) - currentLength : 0;
    const uint32_t grown = Relayout::GrownLength(length, area->padLength, needed);
    if (grown == length)
        return kExitOk;
    if (const std::string problem = Relayout::LengthProblem(kind, grown); !problem.empty()) {
        return Report::Refused(_("%s: %s; nothing was written\n"), key.c_str(), problem.c_str());
    }
    if (!CoreAccess::ResizeSelectedArea(kind, grown)) {
        return Report::Fail(_("%s: the %s area cannot be given %u bytes\n"), key.c_str(),
                            FieldNames::AreaKey(kind), grown);
    }
    std::printf(_("%s: the %s area grows from %u to %u bytes\n"), key.c_str(),
                FieldNames::AreaKey(kind), length, grown);
    return kExitOk;
}

// Gives back the whole 8-byte units of padding of the changed info areas.
int GiveBackPadding(const std::set<int32_t>& changed) {
    for (int32_t kind : changed) {
        CoreAccess::ImageView held;
        const CoreAccess::AreaImage* area = HeldArea(held, kind);
        if (!InfoArea(kind) || !area)
            continue;
        const auto length = static_cast<uint32_t>(area->bytes.size());
        const uint32_t shrunk = Relayout::ShrunkLength(length, area->padLength);
        if (shrunk == length)
            continue;
        if (!CoreAccess::ResizeSelectedArea(kind, shrunk)) {
            return Report::Fail(_("the %s area cannot be given %u bytes\n"),
                                FieldNames::AreaKey(kind), shrunk);
        }
        std::printf(_("the %s area shrinks from %u to %u bytes\n"), FieldNames::AreaKey(kind),
                    length, shrunk);
    }
    return kExitOk;
}

// The device's bytes before a rebuild: from the backup taken for a commit,
// or read for a dry run (which saves nothing). Returns an exit code.
int DeviceBytes(Session& s, const Options& o, const FruAddress& address, uint32_t* position,
                PendingBackup* backup, std::vector<uint8_t>* raw) {
    if (!o.dryRun) {
        if (int code = TakeBackup(s, o, address, position, backup))
            return code;
        *raw = backup->raw;
        return kExitOk;
    }
    std::string source;
    if (const uint32_t status = RawImage::ReadWholeDevice(address, raw, &source))
        return s.Fail(Text::Format(_("reading the device %s"), address.Format().c_str()), status);
    return kExitOk;
}

// Lays the image out again with the changed areas as the library now holds
// them, then shows it (--dry-run) or writes it, verified and rolled back on
// any difference. Returns an exit code.
int CommitRebuilt(const Options& o, const FruView& view, const FruAddress& address,
                  const std::set<int32_t>& changed, const std::vector<uint8_t>& raw,
                  PendingBackup& backup) {
    if (o.shrink)
        if (int code = GiveBackPadding(changed))
            return code;
    CoreAccess::ImageView held;
    std::vector<Relayout::Replacement> replaced;
    for (int32_t kind : changed)
        if (const CoreAccess::AreaImage* area = HeldArea(held, kind))
            replaced.push_back({kind, area->bytes});
    uint32_t capacity = RawImage::KnownDeviceSize(address);
    if (capacity == 0)
        capacity = static_cast<uint32_t>(raw.size());
    const Relayout::Plan plan = Relayout::Rebuild(raw, Wide(view.name), replaced, capacity);
    if (!plan.refusal.empty()) {
        return Report::Refused(_("refusing to commit %s: %s. Nothing was written.\n"),
                               address.Format().c_str(), plan.refusal.c_str());
    }
    if (o.dryRun) {
        std::printf("%s", Relayout::Describe(plan, raw).c_str());
        std::printf(_("nothing was written (--dry-run)\n"));
        return kExitOk;
    }
    return SafeCommit::WriteImage(address, plan.image, backup);
}
} // namespace

int Set(Session& s, const Options& o) {
    const size_t first = o.SingleFru() ? 0 : 1;
    const bool relayout = o.grow || o.shrink;
    if (o.dryRun && !relayout)
        return Usage("set", _("--dry-run shows what --grow or --shrink would write"));
    if (relayout && (o.repack || !o.save.empty() || !o.file.empty()))
        return Usage("set", _("--grow and --shrink rebuild a device's or an image file's layout; "
                              "they go without --repack, --save and --file"));
    if (!o.commit && o.save.empty() && !o.dryRun)
        return Usage("set", _("needs --commit (to the device) or --save CFG (to a file)"));
    if (o.repack && !o.commit)
        return Usage("set", _("--repack moves the areas on the device; it needs --commit"));
    if (o.commit && !o.file.empty())
        return Usage("set", _("--commit writes a FRU of the system; to write a file's contents "
                              "to its device use orvane restore"));
    std::vector<std::pair<FieldNames::Field, std::string>> changes;
    for (size_t i = first; i < o.operands.size(); i += 2) {
        const auto field = FieldNames::Parse(o.operands[i]);
        if (!field)
            return Usage("set", Text::Format(_("\"%s\" names no field"), o.operands[i].c_str()));
        changes.push_back({*field, o.operands[i]});
    }
    if (!LoadSource(s, o))
        return kExitLibrary;
    uint32_t position = 0;
    FruView view;
    if (!DescribeTarget(s, o, &o.operands[0], &position, &view))
        return kExitLibrary;
    if (!view.editable) {
        return Report::Refused(_("the FRU is damaged and shown from its raw bytes; it cannot be "
                                 "changed (orvane show names the damaged areas)\n"));
    }
    FruAddress address;
    s.SelectedAddress(&address);
    // A gap layout is refused before anything is saved; a refusal after the
    // backup removes it again (PendingBackup).
    PendingBackup backup;
    // A rebuilt image is laid out by the command itself, so any layout goes.
    std::vector<uint8_t> raw;
    if (relayout)
        if (int code = DeviceBytes(s, o, address, &position, &backup, &raw))
            return code;
    if (o.commit && !o.repack && !relayout)
        if (int code = SafeCommit::GuardLayout(address, 0))
            return code;
    if (o.commit && !relayout)
        if (int code = TakeBackup(s, o, address, &position, &backup))
            return code;
    std::set<int32_t> changed;
    for (size_t i = 0; i < changes.size(); ++i) {
        const auto& [field, name] = changes[i];
        const FieldView* target = FindField(view, field, name);
        if (!target)
            return kExitLibrary;
        // Custom fields are named in image order; the library reaches them
        // by the index of their value.
        const uint32_t index = target->valueIndex;
        const FieldNames::Field resolved{field.area, index, false, 0};
        if (!SelectNamedField(s, resolved, name))
            return kExitLibrary;
        std::vector<uint8_t> bytes;
        std::string problem;
        const std::string& value = o.operands[first + 2 * i + 1];
        if (!FieldBytes(field, index, value, &bytes, &problem)) {
            return Report::Refused("%s: %s\n", name.c_str(), problem.c_str());
        }
        // A text keeps the packed encoding its field uses when it can be
        // stored there; otherwise it becomes 8-bit text, and the user is told.
        uint8_t typeBits = FieldEncoding::TypeBits(FieldEncoding::Kind::Text);
        if (!target->encoding.empty() && target->encoding != "8bit_text") {
            const auto kind = target->encoding == "6bit_ascii" ? FieldEncoding::Kind::SixBitAscii
                              : target->encoding == "bcd_plus" ? FieldEncoding::Kind::BcdPlus
                                                               : FieldEncoding::Kind::Binary;
            const char* label = _(FieldEncoding::Label(kind));
            if (auto packed = FieldEncoding::Encode(kind, value)) {
                bytes = *packed;
                typeBits = FieldEncoding::TypeBits(kind);
                std::printf(_("%s: stored as %s, like the value it replaces\n"),
                            target->key.c_str(), label);
            } else {
                std::printf(_("%s: stored as 8-bit text; the value it replaces was %s, which "
                              "cannot hold \"%s\"\n"),
                            target->key.c_str(), label, value.c_str());
            }
        }
        if (o.grow)
            if (int code = MakeRoom(s, field.area, bytes.size(), target->key))
                return code;
        if (int code = ApplyValue(s, o, resolved, target->key, bytes, typeBits))
            return code;
        changed.insert(field.area);
    }
    if (relayout)
        return CommitRebuilt(o, view, address, changed, raw, backup);
    if (o.repack && !CoreAccess::RepackSelected()) {
        return Report::Refused(_("the areas do not fit a common header when packed from "
                                 "offset 8; nothing was written\n"));
    }
    if (o.commit)
        if (int code = SafeCommit::GuardLayout(address, RawImage::KnownDeviceSize(address)))
            return code;
    if (!o.save.empty()) {
        const uint32_t list = o.file.empty() ? ORVANE_LIST_SYSTEM : ORVANE_LIST_FILE;
        if (int code = SaveFruVerified(s, o.save, list, position))
            return code;
        std::printf(_("saved to %s\n"), o.save.c_str());
    }
    return o.commit ? SafeCommit::Commit(s, address, backup) : kExitOk;
}
} // namespace Commands
