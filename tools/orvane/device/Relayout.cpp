#include "device/Relayout.h"

#include "api/ImageModel.h"
#include "fru/ImageLayout.h"
#include "orvane/orvane.h"
#include "view/FieldNames.h"
#include "view/Text.h"
#include "view/Translate.h"

#include <algorithm>
#include <cstdio>

namespace Relayout {
namespace {
constexpr uint32_t kUnit = ImageLayout::kUnitBytes;
constexpr uint32_t kHeaderBytes = ImageLayout::kCommonHeaderBytes;
constexpr uint32_t kHeaderChecksumByte = 7;
// What the core reads back of one info area.
constexpr uint32_t kReadableAreaBytes = ImageLayout::kMaxAreaBytes;
// A dry run shows this many changed ranges, and this many bytes of each.
constexpr size_t kShownRanges = 8;
constexpr size_t kShownBytes = 16;

using Text::Format;

// The common header byte that holds an area's offset (kinds 2..6 at bytes 1..5).
size_t HeaderByte(int32_t kind) {
    return static_cast<size_t>(kind - ORVANE_AREA_INTERNAL_USE + 1);
}

const Replacement* Find(const std::vector<Replacement>& replaced, int32_t kind) {
    for (const Replacement& r : replaced)
        if (r.kind == kind)
            return &r;
    return nullptr;
}

std::string Table(const char* title, const std::vector<Extent>& extents) {
    std::string text = std::string(title) + "\n" +
                       Format("  %-12s %7s %7s\n", _("area"), _("offset"), _("length"));
    for (const Extent& e : extents)
        text += Format("  %-12s %7u %7u\n", FieldNames::AreaKey(e.kind), e.offset, e.length);
    return text;
}

// Up to kShownBytes bytes of a range as hex, "..." behind a longer one.
std::string Bytes(const std::vector<uint8_t>& image, size_t first, size_t last) {
    if (first >= image.size())
        return "-";
    const size_t end = std::min({last + 1, image.size(), first + kShownBytes});
    return Text::Hex(image.data() + first, end - first) + (last + 1 > end ? " ..." : "");
}
} // namespace

uint32_t GrownLength(uint32_t length, int32_t padLength, uint32_t needed) {
    const int64_t missing = int64_t{needed} - std::max(padLength, 0);
    if (missing <= 0)
        return length;
    return length + static_cast<uint32_t>((missing + kUnit - 1) / kUnit * kUnit);
}

uint32_t ShrunkLength(uint32_t length, int32_t padLength) {
    const uint32_t spare = padLength > 0 ? static_cast<uint32_t>(padLength) / kUnit * kUnit : 0;
    return length - std::min(spare, length);
}

std::string LengthProblem(int32_t kind, uint32_t length) {
    if (kind == ORVANE_AREA_INTERNAL_USE || kind == ORVANE_AREA_MULTIRECORD)
        return "";
    if (length > kMaxAddressable)
        return Format(_("the %s area would need %u bytes, past the 2,040 bytes its length byte "
                        "can give: %u bytes missing"),
                      FieldNames::AreaKey(kind), length, length - kMaxAddressable);
    if (length > kReadableAreaBytes)
        return Format(_("the %s area would need %u bytes, past the 512 bytes of an area that "
                        "Orvane reads back: %u bytes missing"),
                      FieldNames::AreaKey(kind), length, length - kReadableAreaBytes);
    return "";
}

std::string Extents(const ImageModel::ImageView& view, std::vector<Extent>* extents) {
    extents->clear();
    if (!view.headerValid)
        return _("the image has no valid common header");
    for (const ImageModel::AreaImage& a : view.areas) {
        // An internal use area after the areas that follow it is sound; it
        // moves like any other area.
        if (a.problem != ImageModel::AreaProblem::None &&
            a.problem != ImageModel::AreaProblem::Placement)
            return Format(_("the %s area is damaged (orvane show names the problem); the areas "
                            "cannot be moved"),
                          FieldNames::AreaKey(a.kind));
        extents->push_back({a.kind, a.offset, static_cast<uint32_t>(a.bytes.size())});
    }
    std::sort(extents->begin(), extents->end(),
              [](const Extent& a, const Extent& b) { return a.offset < b.offset; });
    for (size_t i = 0; i < extents->size(); ++i) {
        Extent& e = (*extents)[i];
        // The internal use area has no length of its own: it ends where the
        // next area begins.
        if (e.kind == ORVANE_AREA_INTERNAL_USE && i + 1 < extents->size())
            e.length = (*extents)[i + 1].offset - e.offset;
        if (i + 1 < extents->size() && e.offset + e.length > (*extents)[i + 1].offset)
            return Format(_("the %s area (bytes %u to %u) overlaps the %s area at byte %u; the "
                            "areas cannot be moved"),
                          FieldNames::AreaKey(e.kind), e.offset, e.offset + e.length - 1,
                          FieldNames::AreaKey((*extents)[i + 1].kind), (*extents)[i + 1].offset);
    }
    return "";
}

namespace {
// Why the replacements cannot go into the image's areas, or "".
std::string ReplacementProblem(const std::vector<Extent>& before,
                               const std::vector<Replacement>& replaced) {
    for (const Replacement& r : replaced) {
        const bool present = std::any_of(before.begin(), before.end(),
                                         [&](const Extent& e) { return e.kind == r.kind; });
        const std::string problem =
            present ? LengthProblem(r.kind, static_cast<uint32_t>(r.bytes.size()))
                    : Format(_("the image has no %s area"), FieldNames::AreaKey(r.kind));
        if (!problem.empty())
            return problem;
    }
    return "";
}

// Moves every area by what the areas before it grew or shrank, into
// plan->after, and gives the old and the new end of the image. Why the areas
// cannot move so, or "".
std::string MoveAreas(const std::vector<Replacement>& replaced, Plan* plan, uint32_t* oldEnd,
                      uint32_t* newEnd) {
    int64_t shift = 0;
    *oldEnd = kHeaderBytes;
    for (const Extent& e : plan->before) {
        Extent moved = e;
        moved.offset = static_cast<uint32_t>(e.offset + shift);
        if (const Replacement* r = Find(replaced, e.kind)) {
            moved.length = static_cast<uint32_t>(r->bytes.size());
            // Only info areas change length, and only by whole units; the
            // internal use and multi-record areas keep theirs.
            if (moved.length != e.length &&
                (e.kind == ORVANE_AREA_INTERNAL_USE || e.kind == ORVANE_AREA_MULTIRECORD ||
                 moved.length % kUnit != 0))
                return Format(_("the %s area cannot change from %u to %u bytes"),
                              FieldNames::AreaKey(e.kind), e.length, moved.length);
        }
        if (moved.offset > kMaxAddressable)
            return Format(_("the %s area would start at byte %u, past the 2,040 bytes "
                            "the common header can point to: %u bytes missing"),
                          FieldNames::AreaKey(e.kind), moved.offset,
                          moved.offset - kMaxAddressable);
        shift += int64_t{moved.length} - e.length;
        *oldEnd = std::max(*oldEnd, e.offset + e.length);
        plan->after.push_back(moved);
    }
    *newEnd = static_cast<uint32_t>(*oldEnd + shift);
    return "";
}

// Lays the image out again: bytes past the old image stay unless the image
// now covers them; the header, the gaps and the areas come from the old image.
void LayOut(const std::vector<uint8_t>& image, const std::vector<Replacement>& replaced,
            uint32_t oldEnd, uint32_t newEnd, Plan* plan) {
    std::vector<uint8_t>& out = plan->image;
    out = image;
    out.resize(std::max<size_t>(image.size(), newEnd), 0xFF);
    std::fill(out.begin() + newEnd, out.begin() + std::max(newEnd, oldEnd), 0xFF);
    uint8_t sum = 0;
    for (size_t i = 0; i < kHeaderChecksumByte; ++i) {
        for (const Extent& e : plan->after)
            if (HeaderByte(e.kind) == i)
                out[i] = static_cast<uint8_t>(e.offset / kUnit);
        sum = static_cast<uint8_t>(sum + out[i]);
    }
    out[kHeaderChecksumByte] = static_cast<uint8_t>(-sum);
    uint32_t from = kHeaderBytes, to = kHeaderBytes;
    for (size_t i = 0; i < plan->before.size(); ++i) {
        const Extent &old = plan->before[i], &moved = plan->after[i];
        std::copy(image.begin() + from, image.begin() + old.offset, out.begin() + to);
        const Replacement* r = Find(replaced, old.kind);
        if (r)
            std::copy(r->bytes.begin(), r->bytes.end(), out.begin() + moved.offset);
        else
            std::copy(image.begin() + old.offset, image.begin() + old.offset + old.length,
                      out.begin() + moved.offset);
        from = old.offset + old.length;
        to = moved.offset + moved.length;
    }
}
} // namespace

Plan Rebuild(const std::vector<uint8_t>& image, const std::u16string& name,
             const std::vector<Replacement>& replaced, uint32_t capacity) {
    Plan plan;
    plan.refusal = Extents(ImageModel::ParseImage(image, name), &plan.before);
    if (!plan.refusal.empty())
        return plan;
    plan.refusal = ReplacementProblem(plan.before, replaced);
    if (!plan.refusal.empty())
        return plan;
    uint32_t oldEnd = 0, newEnd = 0;
    plan.refusal = MoveAreas(replaced, &plan, &oldEnd, &newEnd);
    if (!plan.refusal.empty())
        return plan;
    if (newEnd > capacity) {
        plan.refusal = Format(_("the image would need %u bytes and the device holds %u: %u bytes "
                                "missing"),
                              newEnd, capacity, newEnd - capacity);
        return plan;
    }
    LayOut(image, replaced, oldEnd, newEnd, &plan);
    return plan;
}

std::string ByteChanges(const std::vector<uint8_t>& before, const std::vector<uint8_t>& after) {
    const size_t end = std::max(before.size(), after.size());
    auto differs = [&](size_t k) {
        return k >= before.size() || k >= after.size() || before[k] != after[k];
    };
    std::string ranges;
    size_t changed = 0, shown = 0, count = 0;
    for (size_t i = 0; i < end; ++i) {
        if (!differs(i))
            continue;
        size_t last = i;
        while (last + 1 < end && differs(last + 1))
            ++last;
        changed += last - i + 1;
        if (++count <= kShownRanges) {
            ranges +=
                last == i ? Format("  0x%04zX       ", i) : Format("  0x%04zX-0x%04zX", i, last);
            ranges += Format("  %s %s\n  %13s  %s %s\n", _("old"), Bytes(before, i, last).c_str(),
                             "", _("new"), Bytes(after, i, last).c_str());
            ++shown;
        }
        i = last;
    }
    std::string text =
        Format(_("bytes that change: %zu, in %zu ranges\n"), changed, count) + ranges;
    if (count > shown)
        text += Format(_("  ... and %zu more ranges\n"), count - shown);
    return text;
}

std::string Describe(const Plan& plan, const std::vector<uint8_t>& image) {
    return Table(_("layout now:"), plan.before) + Table(_("layout after the change:"), plan.after) +
           ByteChanges(image, plan.image);
}
} // namespace Relayout
