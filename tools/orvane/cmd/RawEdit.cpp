#include "cmd/RawEdit.h"

#include "api/FruEdit.h"
#include "api/ImageModel.h"
#include "app/Report.h"
#include "cmd/CommandSupport.h"
#include "device/GuardedWrite.h"
#include "device/RawImage.h"
#include "device/Relayout.h"
#include "device/SafeCommit.h"
#include "view/Text.h"
#include "view/Translate.h"

#include <algorithm>
#include <cstdio>
#include <set>

namespace Commands::RawEdit {
namespace {
using Bytes = std::vector<uint8_t>;

// Gives the field's area the 8-byte blocks that let it hold size bytes.
int Grow(CFru* fru, const ImageModel::FieldImage& target, const std::string& key, int32_t kind,
         size_t size) {
    ImageModel::ImageView held;
    const ImageModel::AreaImage* area = HeldArea(fru, &held, kind);
    if (!area)
        return kExitLibrary;
    const auto length = static_cast<uint32_t>(area->bytes.size());
    const auto now = static_cast<uint32_t>(target.data.size());
    const uint32_t grown = Relayout::GrownLength(
        length, area->padLength, size > now ? static_cast<uint32_t>(size) - now : 0);
    if (const std::string problem = Relayout::LengthProblem(kind, grown); !problem.empty())
        return Report::Refused(_("%s: %s; nothing was written\n"), key.c_str(), problem.c_str());
    if (grown == length || !FruEdit::ResizeArea(fru, kind, grown))
        return Report::Fail(_("%s: the %s area cannot be given %u bytes\n"), key.c_str(),
                            FieldNames::AreaKey(kind), grown);
    std::printf(_("%s: the %s area grows from %u to %u bytes\n"), key.c_str(),
                FieldNames::AreaKey(kind), length, grown);
    return kExitOk;
}

// Sets one text field of fru, after the checks set makes on any FRU.
int Apply(CFru* fru, const Options& o, const FruView& view, const Change& c) {
    size_t at = 0;
    const ImageModel::AreaImage* area = FindField(view, c.field, c.name, &at);
    if (!area)
        return kExitLibrary;
    const ImageModel::FieldImage& target = area->fields[at];
    const std::string key = FruViews::Key(*area, at);
    if (!target.typed)
        return Report::Refused(_("%s: an image whose areas lie in this order takes text fields "
                                 "only; nothing was written\n"),
                               c.name.c_str());
    Bytes bytes(c.value.begin(), c.value.end());
    const uint8_t typeBits = KeepEncoding(target, key, c.value, &bytes);
    if (bytes.size() == 1 && typeBits == 0xC0 && !o.force)
        return Report::Refused(
            _("a one-byte text is stored with the type/length byte 0xC1, "
              "which FRU readers take as the end of the area; the fields after it "
              "would be lost. Use two or more bytes, or --force.\n"));
    const FruEdit::Selection field{true, fru, c.field.area, true, target.valueIndex};
    const auto length = static_cast<uint32_t>(bytes.size());
    if (FruEdit::SetField(field, bytes.data(), length, typeBits) == ORVANE_OK)
        return kExitOk;
    if (!o.grow || bytes.size() > kMaxFieldBytes)
        return Report::Refused(_("%s does not fit its area (63 bytes at most; --grow gives the "
                                 "area the room it needs); nothing was written\n"),
                               key.c_str());
    if (int code = Grow(fru, target, key, c.field.area, bytes.size()))
        return code;
    if (FruEdit::SetField(field, bytes.data(), length, typeBits) != ORVANE_OK)
        return Report::Fail(_("setting %s failed\n"), key.c_str());
    return kExitOk;
}

// The image with the changes, laid out again. Returns an exit code.
int Rebuilt(const Options& o, const FruView& view, const std::vector<Change>& changes,
            uint32_t capacity, const Bytes& raw, Bytes* image) {
    const std::u16string name = Wide(view.name);
    const ImageModel::HeldFru fru = ImageModel::HoldImage(raw, name);
    if (!fru)
        return Report::Refused(_("an area of the image is damaged now; nothing was written\n"));
    std::set<int32_t> changed;
    for (const Change& c : changes) {
        if (int code = Apply(fru.get(), o, view, c))
            return code;
        changed.insert(c.field.area);
    }
    ImageModel::ImageView held;
    std::vector<Relayout::Replacement> replaced;
    for (int32_t kind : changed)
        if (const ImageModel::AreaImage* area = HeldArea(fru.get(), &held, kind))
            replaced.push_back({kind, area->bytes});
    const Relayout::Plan plan = Relayout::Rebuild(raw, name, replaced, capacity);
    if (!plan.refusal.empty())
        return Report::Refused(_("refusing to write %s: %s. Nothing was written.\n"),
                               view.address.Format().c_str(), plan.refusal.c_str());
    if (o.dryRun)
        std::printf("%s", Relayout::Describe(plan, raw).c_str());
    *image = plan.image;
    return kExitOk;
}
} // namespace

bool OnlyMisplaced(const FruView& view) {
    bool misplaced = false;
    for (const auto& [kind, problems] : view.areaProblems) {
        const bool placement = problems.size() == 1 && problems[0].code == Salvage::Code::Placement;
        if (!placement)
            return false;
        misplaced = true;
    }
    return misplaced && view.headerProblems.empty() && FruViews::Problem(view).empty();
}

int Set(Session& s, const Options& o, const FruView& view, const std::vector<Change>& changes,
        ChangeOutcome* outcome) {
    if (!o.commit && !o.dryRun)
        return Usage("set", _("an image whose internal use area lies after the other areas is "
                              "changed on the device only: it needs --commit or --dry-run"));
    std::printf(_("the library refuses this image only because its internal use area lies "
                  "after the other areas; set re-encodes the changed areas and writes the image "
                  "raw, backed up and verified\n"));
    GuardedWrite::Target target{view.address, std::nullopt, &outcome->device};
    uint32_t capacity = RawImage::KnownDeviceSize(target.address);
    Bytes raw, image;
    const auto make = [&](const Bytes& before, Bytes* made) {
        const int code =
            Rebuilt(o, view, changes, capacity ? capacity : static_cast<uint32_t>(before.size()),
                    before, made);
        image = *made;
        return code;
    };
    if (!o.dryRun) {
        if (int code = GuardedWrite::Rebuild(s, o, target, make))
            return code;
        outcome->written = true;
    } else {
        std::string source;
        if (const uint32_t status = RawImage::ReadWholeDevice(target.address, &raw, &source))
            return s.Fail(Text::Format(_("reading the device %s"), target.address.Format().c_str()),
                          status);
        Bytes made;
        if (int code = make(raw, &made))
            return code;
        outcome->device.areas = SafeCommit::ChangedAreas(raw, image);
        std::printf(_("nothing was written (--dry-run)\n"));
    }
    outcome->fields = ChangedFields(view.image, ImageModel::ParseImage(image, Wide(view.name)));
    return kExitOk;
}
} // namespace Commands::RawEdit
