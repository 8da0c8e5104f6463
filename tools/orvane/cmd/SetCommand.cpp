#include "app/Report.h"
#include "cmd/Commands.h"

#include "api/FruEdit.h"
#include "api/ImageModel.h"
#include "cmd/CommandSupport.h"
#include "cmd/RawEdit.h"
#include "decode/FieldEncoding.h"
#include "device/Backup.h"
#include "device/GuardedWrite.h"
#include "device/RawImage.h"
#include "device/Relayout.h"
#include "device/SafeCommit.h"
#include "device/Unreadable.h"
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
bool InfoArea(int32_t kind) {
    return kind == ORVANE_AREA_CHASSIS || kind == ORVANE_AREA_BOARD || kind == ORVANE_AREA_PRODUCT;
}

// Gives the selected field's info area the fewest 8-byte units more that let
// the field hold size bytes; the areas behind it move when the image is
// rebuilt. Returns an exit code.
int MakeRoom(const FieldNames::Field& field, size_t size, const std::string& key) {
    ImageModel::ImageView held;
    const int32_t kind = field.area;
    const ImageModel::AreaImage* area = HeldArea(FruEdit::SelectedFru(), &held, kind);
    const ImageModel::FieldImage* current = area ? FieldBySetter(*area, field.index) : nullptr;
    if (!InfoArea(kind) || !current || size > kMaxFieldBytes)
        return kExitOk; // nothing to grow, or the setter refuses the value with its reason
    const auto length = static_cast<uint32_t>(area->bytes.size());
    const auto currentLength = static_cast<uint32_t>(current->data.size());
    const uint32_t needed = size > currentLength ? static_cast<uint32_t>(size) - currentLength : 0;
    const uint32_t grown = Relayout::GrownLength(length, area->padLength, needed);
    if (grown == length)
        return kExitOk;
    if (const std::string problem = Relayout::LengthProblem(kind, grown); !problem.empty()) {
        return Report::Refused(_("%s: %s; nothing was written\n"), key.c_str(), problem.c_str());
    }
    if (!FruEdit::ResizeArea(FruEdit::SelectedFru(), kind, grown)) {
        return Report::Fail(_("%s: the %s area cannot be given %u bytes\n"), key.c_str(),
                            FieldNames::AreaKey(kind), grown);
    }
    Report::Note(_("%s: the %s area grows from %u to %u bytes\n"), key.c_str(),
                 FieldNames::AreaKey(kind), length, grown);
    return kExitOk;
}

// Gives back the whole 8-byte units of padding of the changed info areas.
int GiveBackPadding(const std::set<int32_t>& changed) {
    for (int32_t kind : changed) {
        ImageModel::ImageView held;
        const ImageModel::AreaImage* area = HeldArea(FruEdit::SelectedFru(), &held, kind);
        if (!InfoArea(kind) || !area)
            continue;
        const auto length = static_cast<uint32_t>(area->bytes.size());
        const uint32_t shrunk = Relayout::ShrunkLength(length, area->padLength);
        if (shrunk == length)
            continue;
        if (!FruEdit::ResizeArea(FruEdit::SelectedFru(), kind, shrunk)) {
            return Report::Fail(_("the %s area cannot be given %u bytes\n"),
                                FieldNames::AreaKey(kind), shrunk);
        }
        Report::Note(_("the %s area shrinks from %u to %u bytes\n"), FieldNames::AreaKey(kind),
                     length, shrunk);
    }
    return kExitOk;
}

// Lays the image out again with the changed areas as the library now holds
// them. Returns an exit code (kExitRefused when it does not fit).
int RebuiltImage(const Options& o, const FruView& view, const FruAddress& address,
                 const std::set<int32_t>& changed, const std::vector<uint8_t>& raw,
                 Relayout::Plan* plan) {
    if (o.shrink)
        if (int code = GiveBackPadding(changed))
            return code;
    ImageModel::ImageView held;
    std::vector<Relayout::Replacement> replaced;
    for (int32_t kind : changed)
        if (const ImageModel::AreaImage* area = HeldArea(FruEdit::SelectedFru(), &held, kind))
            replaced.push_back({kind, area->bytes});
    uint32_t capacity = RawImage::KnownDeviceSize(address);
    if (capacity == 0)
        capacity = static_cast<uint32_t>(raw.size());
    *plan = Relayout::Rebuild(raw, Wide(view.name), replaced, capacity);
    if (!plan->refusal.empty())
        return Report::Refused(_("refusing to commit %s: %s. Nothing was written.\n"),
                               address.Format().c_str(), plan->refusal.c_str());
    return kExitOk;
}

// The usage errors of a combination of set's options; kExitOk when it fits.
int CheckCombination(const Options& o) {
    const bool relayout = o.grow || o.shrink;
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
    return kExitOk;
}

// A field a command line names, and the value it is to take.
struct Change {
    FieldNames::Field field;
    std::string name, value;
};

// Sets every named field of the selected FRU; *changed gets the areas set.
int ApplyChanges(Session& s, const Options& o, const FruView& view,
                 const std::vector<Change>& changes, std::set<int32_t>* changed) {
    for (const Change& c : changes) {
        size_t at = 0;
        const ImageModel::AreaImage* area = FindField(view, c.field, c.name, &at);
        if (!area)
            return kExitRefused;
        const ImageModel::FieldImage& target = area->fields[at];
        const std::string key = FruViews::Key(*area, at);
        // Custom fields are named in image order; the library reaches them
        // by the index of their value.
        const uint32_t index = target.valueIndex;
        const FieldNames::Field resolved{c.field.area, index, false, 0};
        if (!SelectNamedField(s, resolved, c.name))
            return kExitLibrary;
        std::vector<uint8_t> bytes;
        std::string problem;
        if (!FieldBytes(c.field, index, c.value, target.data, &bytes, &problem))
            return Report::Refused("%s: %s\n", c.name.c_str(), problem.c_str());
        const uint8_t typeBits = KeepEncoding(target, key, c.value, &bytes);
        if (o.grow)
            if (int code = MakeRoom(resolved, bytes.size(), key))
                return code;
        if (int code = ApplyValue(s, o, resolved, key, c.value, bytes, typeBits))
            return code;
        changed->insert(c.field.area);
    }
    return kExitOk;
}

// The fields the change gave new values, from the FRU the library holds now.
bool Account(Session& s, const FruView& before, uint32_t position, ChangeOutcome* outcome) {
    FruView after;
    if (!s.Describe(position, &after))
        return false;
    outcome->fields = ChangedFields(before.image, after.image);
    return true;
}

// set --grow/--shrink: the changed areas take the room they need, the areas
// behind them move, and the image is written whole (--dry-run: shown).
int SetRebuilt(Session& s, const Options& o, const FruView& view, GuardedWrite::Target t,
               const std::vector<Change>& changes, ChangeOutcome* outcome) {
    const auto make = [&](const std::vector<uint8_t>& raw, std::vector<uint8_t>* image) {
        std::set<int32_t> changed;
        if (int code = ApplyChanges(s, o, view, changes, &changed))
            return code;
        Relayout::Plan plan;
        if (int code = RebuiltImage(o, view, t.address, changed, raw, &plan))
            return code;
        *image = plan.image;
        if (o.dryRun) {
            std::printf("%s", Relayout::Describe(plan, raw).c_str());
            outcome->device.areas = SafeCommit::ChangedAreas(raw, plan.image);
        }
        return kExitOk;
    };
    if (!o.dryRun) {
        t.written = &outcome->device;
        if (int code = GuardedWrite::Rebuild(s, o, t, make))
            return code;
        outcome->written = true;
        return Account(s, view, *t.position, outcome) ? kExitOk : kExitLibrary;
    }
    std::vector<uint8_t> raw, image;
    std::string source;
    if (const uint32_t status = RawImage::ReadWholeDevice(t.address, &raw, &source))
        return s.Fail(Text::Format(_("reading the device %s"), t.address.Format().c_str()), status);
    if (int code = make(raw, &image))
        return code;
    std::printf(_("nothing was written (--dry-run)\n"));
    return Account(s, view, *t.position, outcome) ? kExitOk : kExitLibrary;
}

// set of an image the library refuses only for where its areas lie.
int SetRaw(Session& s, const Options& o, const FruView& view, const std::vector<Change>& changes,
           ChangeOutcome* outcome) {
    std::vector<RawEdit::Change> raw;
    for (const Change& c : changes)
        raw.push_back({c.field, c.name, c.value});
    return RawEdit::Set(s, o, view, raw, outcome);
}

std::string Hex(const std::vector<uint8_t>& bytes) {
    return bytes.empty() ? "-" : Text::Hex(bytes.data(), bytes.size());
}

// Each changed field with its old and new value and bytes.
std::string FieldLines(const std::vector<FieldChange>& fields) {
    std::string text;
    for (const FieldChange& c : fields)
        text += Text::Format(_("%s: \"%s\" -> \"%s\"\n  bytes %s -> %s\n"), c.name.c_str(),
                             c.before.c_str(), c.after.c_str(), Hex(c.bytesBefore).c_str(),
                             Hex(c.bytesAfter).c_str());
    return text;
}

// set --dry-run (without --grow or --shrink): the fields that change and,
// with --commit, the device's bytes the commit would change, after the same
// checks as a commit; nothing is written or saved.
int SetDryRun(Session& s, const Options& o, const FruView& view, const GuardedWrite::Target& t,
              const std::vector<Change>& changes, ChangeOutcome* outcome) {
    std::vector<uint8_t> raw;
    if (o.commit) {
        if (int code = SafeCommit::GuardLayout(t.address, 0))
            return code;
        std::string source;
        if (const uint32_t status = RawImage::ReadWholeDevice(t.address, &raw, &source))
            return s.Fail(Text::Format(_("reading the device %s"), t.address.Format().c_str()),
                          status);
    }
    std::set<int32_t> changed;
    if (int code = ApplyChanges(s, o, view, changes, &changed))
        return code;
    if (!Account(s, view, *t.position, outcome))
        return kExitLibrary;
    const std::string fields = FieldLines(outcome->fields);
    std::printf("%s", fields.empty() ? _("no field changes\n") : fields.c_str());
    if (o.commit) {
        if (int code = SafeCommit::GuardLayout(t.address, RawImage::KnownDeviceSize(t.address)))
            return code;
        std::vector<bool> meant;
        const std::vector<uint8_t> image = SafeCommit::CommittedImage(raw, &meant);
        outcome->device.areas = SafeCommit::ChangedAreas(raw, image);
        std::printf(_("areas changed: %s\n"), SafeCommit::AreaList(outcome->device.areas).c_str());
        std::printf("%s", Relayout::ByteChanges(raw, image).c_str());
    }
    std::printf(_("nothing was written (--dry-run)\n"));
    return kExitOk;
}

// set --commit and/or --save of a FRU the library holds.
int SetHeld(Session& s, const Options& o, const FruView& view, GuardedWrite::Target target,
            const std::vector<Change>& changes, ChangeOutcome* outcome) {
    const uint32_t position = *target.position;
    std::set<int32_t> changed;
    const auto change = [&](bool* any) {
        *any = true;
        return ApplyChanges(s, o, view, changes, &changed);
    };
    const auto save = [&]() {
        if (o.save.empty())
            return kExitOk;
        const uint32_t list = o.file.empty() ? ORVANE_LIST_SYSTEM : ORVANE_LIST_FILE;
        if (int code = SaveFruVerified(s, o.save, list, position))
            return code;
        std::printf(_("saved to %s\n"), o.save.c_str());
        outcome->saved = o.save;
        return kExitOk;
    };
    if (o.commit) {
        target.written = &outcome->device;
        if (int code = GuardedWrite::Commit(s, o, target, {change, save, o.repack}))
            return code;
        outcome->written = true;
    } else {
        bool any = false;
        if (int code = change(&any))
            return code;
        if (int code = save())
            return code;
    }
    return Account(s, view, position, outcome) ? kExitOk : kExitLibrary;
}

// The changes on the FRU the command names, by the path its image needs.
int SetFields(Session& s, const Options& o, const std::vector<Change>& changes, FruView* view,
              ChangeOutcome* outcome) {
    if (!LoadSource(s, o))
        return kExitLibrary;
    if (!o.SingleFru())
        if (const auto at = Unreadable::Named(s, o.operands[0])) {
            DeviceAccess::LocatedDevice d = s.Slots()[*at].device;
            if (d.damaged && Unreadable::Describe(&d, static_cast<uint32_t>(*at), view) &&
                RawEdit::OnlyMisplaced(*view))
                return SetRaw(s, o, *view, changes, outcome);
            return Report::Refused(_("FRU %zu (%s at %s) was not read (0x%08X: %s); it cannot be "
                                     "changed, and nothing was written (orvane show %zu tells "
                                     "more)\n"),
                                   *at, d.name.c_str(), d.address.Format().c_str(), d.status,
                                   d.message.c_str(), *at);
        }
    uint32_t position = 0;
    if (!DescribeTarget(s, o, &o.operands[0], &position, view))
        return kExitLibrary;
    if (!view->image.accepted && RawEdit::OnlyMisplaced(*view))
        return SetRaw(s, o, *view, changes, outcome);
    if (!view->image.accepted)
        return Report::Refused(_("the FRU is damaged and shown from its raw bytes; it cannot be "
                                 "changed (orvane show names the damaged areas, orvane repair "
                                 "fixes what is unambiguous)\n"));
    GuardedWrite::Target target{{}, position};
    s.SelectedAddress(&target.address);
    if (o.grow || o.shrink)
        return SetRebuilt(s, o, *view, target, changes, outcome);
    if (o.dryRun)
        return SetDryRun(s, o, *view, target, changes, outcome);
    return SetHeld(s, o, *view, target, changes, outcome);
}
} // namespace

int Set(Session& s, const Options& o) {
    if (int code = CheckCombination(o))
        return code;
    const size_t first = o.SingleFru() ? 0 : 1;
    std::vector<Change> changes;
    for (size_t i = first; i < o.operands.size(); i += 2) {
        const auto field = FieldNames::Parse(o.operands[i]);
        if (!field)
            return NoSuchField("set", o.operands[i]);
        changes.push_back({*field, o.operands[i], o.operands[i + 1]});
    }
    FruView view;
    ChangeOutcome outcome;
    const int code =
        Report::Diverted(o.json, [&] { return SetFields(s, o, changes, &view, &outcome); });
    if (code == kExitOk && o.json)
        PrintChange(view, o, outcome);
    return code;
}
} // namespace Commands
