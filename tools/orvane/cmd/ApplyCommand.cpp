#include "app/Report.h"
#include "cmd/Commands.h"

#include "cmd/CommandSupport.h"
#include "cmd/DesiredFields.h"
#include "device/GuardedWrite.h"
#include "device/RawImage.h"
#include "device/Relayout.h"
#include "input/FruInput.h"
#include "view/JsonWriter.h"
#include "view/Text.h"
#include "view/Translate.h"

#include <cstdio>

namespace Commands {
namespace {
using DesiredFields::Change;

// apply sets fields; what else the short form describes is for build.
int Unappliable(const FruInput::Fru& wanted) {
    for (const FruInput::Area& a : wanted.areas)
        if (a.kind == ORVANE_AREA_MULTIRECORD || a.headerGiven)
            return Report::Refused(a.kind == ORVANE_AREA_MULTIRECORD
                                       ? _("%s: apply sets fields; the multi-record area is "
                                           "written with orvane build --json and write\n")
                                       : _("%s: apply sets fields; an area's format version and "
                                           "language are kept\n"),
                                   a.path.c_str());
    return kExitOk;
}

// What apply did (or, --dry-run, would do): text, or one JSON document.
void Tell(const Options& o, const FruView& view, const std::vector<Change>& changes,
          ChangeOutcome* outcome) {
    const bool changed = !changes.empty();
    if (o.json) {
        for (const Change& c : changes)
            outcome->fields.push_back(
                {c.wanted->area, c.key, c.wanted->path, c.before, c.after, {}, {}});
        PrintChange(view, o, *outcome);
        return;
    }
    for (const Change& c : changes)
        std::printf("%s: \"%s\" -> \"%s\"\n", c.key.c_str(), c.before.c_str(), c.after.c_str());
    if (o.dryRun && changed)
        std::printf(_("changed: true (--dry-run: nothing was written)\n"));
    else
        std::printf(changed ? _("changed: true\n") : _("changed: false\n"));
}

// apply --grow: the changed areas take the blocks they need, the areas
// behind them move, and the image is written whole.
int ApplyRebuilt(Session& s, const Options& o, const FruView& view,
                 const GuardedWrite::Target& target, const std::vector<Change>& changes) {
    return GuardedWrite::Rebuild(
        s, o, target, [&](const std::vector<uint8_t>& raw, std::vector<uint8_t>* image) {
            std::set<int32_t> areas;
            if (int code = DesiredFields::Store(s, changes, true, &areas))
                return code;
            uint32_t capacity = RawImage::KnownDeviceSize(target.address);
            const Relayout::Plan plan =
                Relayout::Rebuild(raw, Wide(view.name), DesiredFields::HeldAreas(areas),
                                  capacity ? capacity : static_cast<uint32_t>(raw.size()));
            if (!plan.refusal.empty())
                return Report::Refused(_("refusing to write %s: %s. Nothing was written.\n"),
                                       target.address.Format().c_str(), plan.refusal.c_str());
            *image = plan.image;
            return kExitOk;
        });
}
} // namespace

int Apply(Session& s, const Options& o) {
    FruInput::Fru wanted;
    if (int code = FruInput::Read(o.operands.back(), "", true, &wanted))
        return code;
    if (int code = Unappliable(wanted))
        return code;
    if (!LoadSource(s, o))
        return kExitLibrary;
    uint32_t position = 0;
    FruView view;
    if (!DescribeTarget(s, o, o.SingleFru() ? nullptr : &o.operands[0], &position, &view))
        return kExitLibrary;
    if (!view.image.accepted)
        return Report::Refused(_("the FRU is damaged and shown from its raw bytes; it cannot be "
                                 "changed (orvane show names the damaged areas)\n"));
    std::vector<Change> changes;
    if (int code = DesiredFields::Differences(view, wanted.fields, &changes))
        return code;
    if (!o.grow)
        if (int code = DesiredFields::CheckRoom(view, changes))
            return code;
    ChangeOutcome outcome;
    if (!changes.empty() && !o.dryRun) {
        GuardedWrite::Target target{{}, position, &outcome.device};
        s.SelectedAddress(&target.address);
        std::set<int32_t> areas;
        const auto write = [&] {
            return o.grow ? ApplyRebuilt(s, o, view, target, changes)
                          : GuardedWrite::Commit(s, o, target,
                                                 {[&](bool* any) {
                                                      *any = true;
                                                      return DesiredFields::Store(s, changes, false,
                                                                                  &areas);
                                                  },
                                                  {},
                                                  false});
        };
        if (int code = Report::Diverted(o.json, write))
            return code;
        outcome.written = true;
    }
    Tell(o, view, changes, &outcome);
    return kExitOk;
}
} // namespace Commands
