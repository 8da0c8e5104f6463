#include "decode/Salvage.h"

#include "api/ImageModel.h"
#include "fru/ImageLayout.h"
#include "orvane/orvane.h"
#include "view/FieldNames.h"
#include "view/Text.h"
#include "view/Translate.h"

#include <algorithm>

namespace Salvage {
namespace {
using Text::Format;
using Bytes = std::vector<uint8_t>;

constexpr uint32_t kHeaderChecksumByte = ImageLayout::kCommonHeaderBytes - 1;
constexpr uint32_t kUnit = ImageLayout::kUnitBytes;
constexpr uint8_t kKnownVersion = 1;
constexpr uint8_t kEndOfFields = 0xC1;
constexpr uint8_t kEmptyText = 0xC0;
constexpr uint8_t kLengthBits = 0x3F; // of a type/length byte
constexpr uint8_t kErasedByte = 0xFF; // of an EEPROM never written
constexpr uint32_t kRecordFlagsByte = 1, kRecordLengthByte = 2, kRecordDataChecksumByte = 3,
                   kRecordHeaderChecksumByte = 4;

bool InfoArea(int32_t kind) {
    return kind == ORVANE_AREA_CHASSIS || kind == ORVANE_AREA_BOARD || kind == ORVANE_AREA_PRODUCT;
}

// The untyped field (chassis type, board date) that the core lists before an
// info area's typed fields.
uint32_t UntypedFields(int32_t kind) {
    return kind == ORVANE_AREA_PRODUCT ? 0 : 1;
}

const char* Name(int32_t kind) {
    return FieldNames::AreaKey(kind);
}

// The image as the core reads it once byte 7 holds, its layout, and whether
// the core's area classes take each declared area.
struct Model {
    ImageLayout::Header header;
    Bytes fixed;
    ImageLayout::Layout layout;
    std::vector<bool> damaged;
};

Model Load(std::span<const uint8_t> image) {
    Model m;
    m.header = ImageLayout::ParseHeader(image);
    m.fixed.assign(image.begin(), image.end());
    if (!m.header.complete || m.header.formatVersion != kKnownVersion)
        return m;
    m.fixed[kHeaderChecksumByte] = m.header.computedChecksum;
    m.layout = ImageLayout::Parse(m.fixed);
    for (const auto& a : ImageModel::ParseImage(m.fixed, u"").areas)
        m.damaged.push_back(a.problem != ImageModel::AreaProblem::None);
    return m;
}

// Where reading an area stops: the next area by position, or the end of the image.
uint32_t Limit(const ImageLayout::Layout& layout, const ImageLayout::Area& a, uint32_t size) {
    uint32_t limit = size;
    for (const auto& b : layout.areas)
        if (b.offset > a.offset && b.offset < limit)
            limit = b.offset;
    return std::max(limit, a.offset);
}

std::string LimitText(const ImageLayout::Layout& layout, uint32_t limit, uint32_t size) {
    for (const auto& b : layout.areas)
        if (b.offset == limit && limit < size)
            return Format(_("the %s area"), Name(b.kind));
    return _("the end of the image");
}

int32_t KindAt(const ImageLayout::Layout& layout, uint32_t offset) {
    for (const auto& b : layout.areas)
        if (b.offset == offset)
            return b.kind;
    return 0;
}

// The area whose declared bytes a starts inside, if any.
const ImageLayout::Area* Enclosing(const ImageLayout::Layout& layout, const ImageLayout::Area& a) {
    for (const auto& b : layout.areas)
        if (b.kind != a.kind && b.offset < a.offset && a.offset < b.offset + b.declared)
            return &b;
    return nullptr;
}

void Add(std::vector<Problem>* problems, Code code, std::string text) {
    problems->push_back({code, std::move(text)});
}

// The problems of an area that every kind can have: its position and its length.
void PlaceProblems(const Model& m, const ImageLayout::Area& a, uint32_t size,
                   std::vector<Problem>* out) {
    if (a.pastImage) {
        Add(out, Code::PastImage,
            Format(_("it starts at byte %u, past the end of the image (%u bytes)"), a.offset,
                   size));
        return;
    }
    if (a.misplaced)
        Add(out, Code::Placement,
            Format(_("it lies at byte %u, after the %s area at byte %u; the library reads it "
                     "only before the areas that follow it"),
                   a.offset, Name(KindAt(m.layout, ImageLayout::InternalUseEnd(m.header))),
                   ImageLayout::InternalUseEnd(m.header)));
    if ((InfoArea(a.kind) || a.kind == ORVANE_AREA_INTERNAL_USE) && !a.knownVersion)
        Add(out, Code::Version,
            Format(_("format version %u; readers know version 1"), a.formatVersion));
    // A record chain's extent is the records' business (ExamineRecords).
    if (a.kind != ORVANE_AREA_MULTIRECORD && a.offset + a.declared > size)
        Add(out, Code::Length,
            Format(_("it declares %u bytes; %u of them lie inside the image"), a.declared,
                   a.readable));
    else if (InfoArea(a.kind) && a.declared > ImageLayout::kMaxAreaBytes)
        Add(out, Code::Length,
            Format(_("it declares %u bytes, more than the 512 an area holds"), a.declared));
    if (a.overlaps)
        for (const auto& b : m.layout.areas)
            if (b.kind == a.overlaps)
                Add(out, Code::Overlap,
                    Format(_("its declared bytes %u to %u run into the %s area at byte %u"),
                           a.offset, a.offset + a.declared - 1, Name(b.kind), b.offset));
    if (const ImageLayout::Area* outer = Enclosing(m.layout, a))
        Add(out, Code::Overlap,
            Format(_("it starts inside the declared bytes %u to %u of the %s area"), outer->offset,
                   outer->offset + outer->declared - 1, Name(outer->kind)));
}

// An info area's own bytes (up to limit) with the fields read, format version
// 1, an end marker, zero padding, and a length and checksum that hold.
Bytes ReadableArea(int32_t kind, std::span<const uint8_t> bytes, const ImageLayout::FieldWalk& w,
                   uint32_t* fieldCount) {
    const uint32_t first = ImageLayout::FirstField(kind);
    if (bytes.size() < first)
        return {};
    auto fields = w.fields;
    // Without an end marker, empty binary fields at the end are padding.
    while (!w.endMarker && !fields.empty() && fields.back().typeLength == 0)
        fields.pop_back();
    const uint32_t end = fields.empty()
                             ? first
                             : fields.back().offset + 1 + (fields.back().typeLength & kLengthBits);
    Bytes out(bytes.begin(), bytes.begin() + end);
    out[0] = kKnownVersion;
    for (size_t i = fields.size(); i < ImageLayout::FixedFieldCount(kind); ++i)
        out.push_back(kEmptyText);
    out.push_back(kEndOfFields);
    const uint32_t units = static_cast<uint32_t>(out.size() + 1 + kUnit - 1) / kUnit;
    if (units * kUnit > ImageLayout::kMaxAreaBytes)
        return {};
    out.resize(units * kUnit - 1, 0);
    out[1] = static_cast<uint8_t>(units);
    out.push_back(ImageLayout::ZeroChecksum(out));
    *fieldCount = UntypedFields(kind) + static_cast<uint32_t>(fields.size());
    return out;
}

void ExamineInfo(std::span<const uint8_t> image, const ImageLayout::Area& a,
                 const ImageLayout::Layout& layout, AreaFindings* f) {
    const auto bytes = image.subspan(a.offset, f->limit - a.offset);
    const auto walk = ImageLayout::WalkFields(a.kind, bytes, ImageLayout::FixedFieldCount(a.kind));
    if (!walk.endMarker)
        Add(&f->problems, Code::EndMarker,
            Format(_("no end marker (C1h) before byte %u (%s)"), f->limit,
                   LimitText(layout, f->limit, static_cast<uint32_t>(image.size())).c_str()));
    else if (walk.endMarkerAt + 1 >= a.declared)
        Add(&f->problems, Code::FieldsPastEnd,
            Format(_("its end marker lies at byte %u, past its declared end at byte %u"),
                   a.offset + walk.endMarkerAt, a.offset + a.declared - 1));
    if (a.checksummed && a.storedChecksum != a.computedChecksum)
        Add(&f->problems, Code::Checksum,
            Format(_("its checksum (byte %u) is %02Xh; its bytes need %02Xh"),
                   a.offset + a.declared - 1, a.storedChecksum, a.computedChecksum));
    if (walk.endMarker && a.checksummed && walk.endMarkerAt + 1 < a.declared &&
        a.offset + a.declared <= f->limit) {
        const auto pad = bytes.subspan(walk.endMarkerAt + 1, a.declared - walk.endMarkerAt - 2);
        if (std::any_of(pad.begin(), pad.end(), [](uint8_t b) { return b != 0; }))
            Add(&f->problems, Code::Padding,
                _("non-zero bytes lie between its end marker and its checksum"));
    }
    f->readable = ReadableArea(a.kind, bytes, walk, &f->fieldCount);
}

// Whether the bytes at pos (up to limit) are erased: all FFh or all 00h.
bool Erased(std::span<const uint8_t> image, uint32_t pos, uint32_t limit) {
    const auto bytes =
        image.subspan(pos, std::min(pos + ImageLayout::kRecordHeaderBytes, limit) - pos);
    return std::all_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b == kErasedByte; }) ||
           std::all_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b == 0x00; });
}

// Where a chain of records that is not marked last ends: at erased bytes
// after a record, or at limit.
uint32_t ChainEnd(std::span<const uint8_t> image, uint32_t offset, uint32_t limit) {
    const auto chain = ImageLayout::WalkChain(image.subspan(offset, limit - offset));
    for (size_t i = 1; i < chain.records.size(); ++i)
        if (const uint32_t at = offset + chain.records[i].offset; Erased(image, at, limit))
            return at;
    return limit;
}

void ExamineRecords(std::span<const uint8_t> image, const ImageLayout::Layout& layout,
                    AreaFindings* f) {
    const uint32_t end = ChainEnd(image, f->offset, f->limit);
    const auto chain = ImageLayout::WalkChain(image.subspan(f->offset, end - f->offset));
    for (size_t i = 0; i < chain.records.size(); ++i) {
        const auto& r = chain.records[i];
        const uint32_t at = f->offset + r.offset;
        if (!r.headerChecksumOk)
            Add(&f->problems, Code::Records,
                Format(_("record %zu (byte %u): its header checksum is %02Xh; the header needs "
                         "%02Xh"),
                       i + 1, at, r.storedHeaderChecksum, r.computedHeaderChecksum));
        if (!r.complete)
            Add(&f->problems, Code::Records,
                Format(_("record %zu (byte %u): its %u data bytes run past byte %u"), i + 1, at,
                       r.extent.dataBytes, f->limit));
        else if (!r.dataChecksumOk)
            Add(&f->problems, Code::Records,
                Format(_("record %zu (byte %u): its data checksum is %02Xh; the data needs %02Xh"),
                       i + 1, at, r.storedDataChecksum, r.computedDataChecksum));
    }
    if (!chain.endMarker && end < f->limit)
        Add(&f->problems, Code::Records,
            Format(_("no record is marked as the last one; erased bytes follow at byte %u"), end));
    else if (!chain.endMarker)
        Add(&f->problems, Code::Records,
            Format(_("no record before byte %u (%s) is marked as the last one"), f->limit,
                   LimitText(layout, f->limit, static_cast<uint32_t>(image.size())).c_str()));
}
} // namespace

const char* Key(Code code) {
    static constexpr const char* kKeys[] = {
        "header_checksum", "past_image", "format_version", "length",    "overlap", "end_marker",
        "fields_past_end", "checksum",   "padding",        "placement", "records", "refused"};
    return kKeys[static_cast<size_t>(code)];
}

Findings Examine(std::span<const uint8_t> image) {
    Findings f;
    const Model m = Load(image);
    f.headerFixed = m.fixed;
    if (!m.header.complete || m.header.formatVersion != kKnownVersion)
        return f;
    f.fruHeader = true;
    if (m.header.storedChecksum != m.header.computedChecksum)
        Add(&f.header, Code::HeaderChecksum,
            Format(_("the common header's checksum (byte 7) is %02Xh; the header needs %02Xh"),
                   m.header.storedChecksum, m.header.computedChecksum));
    const uint32_t size = static_cast<uint32_t>(image.size());
    for (size_t i = 0; i < m.layout.areas.size(); ++i) {
        const ImageLayout::Area& a = m.layout.areas[i];
        AreaFindings area;
        area.kind = a.kind;
        area.offset = a.offset;
        area.limit = Limit(m.layout, a, size);
        if (i < m.damaged.size() && m.damaged[i]) {
            PlaceProblems(m, a, size, &area.problems);
            if (!a.pastImage && InfoArea(a.kind))
                ExamineInfo(m.fixed, a, m.layout, &area);
            else if (!a.pastImage && a.kind == ORVANE_AREA_MULTIRECORD)
                ExamineRecords(m.fixed, m.layout, &area);
            if (area.problems.empty())
                Add(&area.problems, Code::Refused,
                    _("the library's reader of the area refuses it"));
        }
        f.areas.push_back(std::move(area));
    }
    return f;
}

namespace {
// The fixes of a damaged info area (length byte, checksum), or why there are none.
void FixInfo(const ImageLayout::Area& a, uint32_t limit, Bytes* image, Repair* r) {
    const char* name = Name(a.kind);
    auto refuse = [&](const std::string& why) {
        r->refusals.push_back(Format(_("the %s area: %s"), name, why.c_str()));
    };
    if (!a.knownVersion)
        return refuse(Format(_("its format version %u is unknown, so how to read it is a guess"),
                             a.formatVersion));
    const auto bytes = std::span<const uint8_t>(*image).subspan(a.offset, limit - a.offset);
    const auto walk = ImageLayout::WalkFields(a.kind, bytes, ImageLayout::FixedFieldCount(a.kind));
    if (!walk.endMarker)
        return refuse(Format(_("no end marker lies before byte %u, so where its fields end is a "
                               "guess"),
                             limit));
    const uint32_t needed = (walk.endMarkerAt + 2 + kUnit - 1) / kUnit * kUnit;
    uint32_t length = a.declared;
    if (needed > length)
        return refuse(Format(_("its fields run past its declared %u bytes (end marker at byte "
                               "%u); it is never grown into bytes that may belong elsewhere"),
                             length, a.offset + walk.endMarkerAt));
    if (a.offset + length > limit || length > ImageLayout::kMaxAreaBytes) {
        if (a.offset + needed > limit || needed > ImageLayout::kMaxAreaBytes)
            return refuse(Format(_("its end marker and checksum need %u bytes, which run into "
                                   "byte %u"),
                                 needed, limit));
        const uint8_t old = (*image)[a.offset + 1];
        (*image)[a.offset + 1] = static_cast<uint8_t>(needed / kUnit);
        r->fixes.push_back(Format(_("the %s area: length byte (byte %u) %02Xh -> %02Xh, %u -> %u "
                                    "bytes, which hold its fields, end marker and checksum"),
                                  name, a.offset + 1, old, needed / kUnit, length, needed));
        length = needed;
    }
    const auto area = std::span<const uint8_t>(*image).subspan(a.offset, length);
    const auto pad = area.subspan(walk.endMarkerAt + 1, length - walk.endMarkerAt - 2);
    if (std::any_of(pad.begin(), pad.end(), [](uint8_t b) { return b != 0; }))
        return refuse(_("non-zero bytes lie between its end marker and its checksum byte"));
    const uint8_t computed = ImageLayout::ZeroChecksum(area.first(length - 1));
    uint8_t& stored = (*image)[a.offset + length - 1];
    if (stored != computed) {
        r->fixes.push_back(Format(_("the %s area: checksum (byte %u) %02Xh -> %02Xh"), name,
                                  a.offset + length - 1, stored, computed));
        stored = computed;
    }
}

// The records' starts when they chain cleanly from offset to one marked last,
// to limit, or to erased bytes; *unmarked when the last is not marked. Empty
// after a refusal.
std::vector<uint32_t> Chain(const Bytes& image, uint32_t offset, uint32_t limit, bool* unmarked,
                            Repair* r) {
    std::vector<uint32_t> starts;
    for (uint32_t pos = offset;;) {
        const uint32_t end = pos + ImageLayout::kRecordHeaderBytes;
        if (end > limit) {
            r->refusals.push_back(Format(_("the multirecord area: the record header at byte %u "
                                           "runs past byte %u, so the records do not chain"),
                                         pos, limit));
            return {};
        }
        if (end + image[pos + kRecordLengthByte] > limit) {
            r->refusals.push_back(Format(_("the multirecord area: record %zu (byte %u) runs past "
                                           "byte %u, so the records do not chain"),
                                         starts.size() + 1, pos, limit));
            return {};
        }
        starts.push_back(pos);
        if (image[pos + kRecordFlagsByte] & ImageLayout::kRecordEndOfList)
            return starts;
        pos = end + image[pos + kRecordLengthByte];
        if (pos >= limit || Erased(image, pos, limit)) {
            *unmarked = true;
            return starts;
        }
    }
}

void FixRecords(uint32_t offset, uint32_t limit, Bytes* image, Repair* r) {
    bool unmarked = false;
    const auto starts = Chain(*image, offset, limit, &unmarked, r);
    Bytes& b = *image;
    for (size_t i = 0; i < starts.size(); ++i) {
        const uint32_t at = starts[i];
        const std::string record =
            Format(_("the multirecord area, record %zu (byte %u)"), i + 1, at);
        const auto data = std::span<const uint8_t>(b).subspan(at + ImageLayout::kRecordHeaderBytes,
                                                              b[at + kRecordLengthByte]);
        if (const uint8_t sum = ImageLayout::ZeroChecksum(data);
            b[at + kRecordDataChecksumByte] != sum) {
            r->fixes.push_back(Format(_("%s: data checksum %02Xh -> %02Xh"), record.c_str(),
                                      b[at + kRecordDataChecksumByte], sum));
            b[at + kRecordDataChecksumByte] = sum;
        }
        if (unmarked && i + 1 == starts.size()) {
            const uint8_t flags = b[at + kRecordFlagsByte] | ImageLayout::kRecordEndOfList;
            r->fixes.push_back(Format(_("%s: marked as the last record, flags %02Xh -> %02Xh"),
                                      record.c_str(), b[at + kRecordFlagsByte], flags));
            b[at + kRecordFlagsByte] = flags;
        }
        const auto header = std::span<const uint8_t>(b).subspan(at, kRecordHeaderChecksumByte);
        if (const uint8_t sum = ImageLayout::ZeroChecksum(header);
            b[at + kRecordHeaderChecksumByte] != sum) {
            r->fixes.push_back(Format(_("%s: header checksum %02Xh -> %02Xh"), record.c_str(),
                                      b[at + kRecordHeaderChecksumByte], sum));
            b[at + kRecordHeaderChecksumByte] = sum;
        }
    }
}

size_t Index(const ImageLayout::Layout& layout, const ImageLayout::Area& a) {
    return static_cast<size_t>(&a - layout.areas.data());
}

// What the core's area classes still refuse of the repaired image.
void Verify(Repair* r) {
    const auto view = ImageModel::ParseImage(r->image, u"");
    if (!view.headerValid)
        r->refusals.push_back(_("the repaired common header is still refused"));
    for (const auto& a : view.areas)
        if (a.problem != ImageModel::AreaProblem::None &&
            a.problem != ImageModel::AreaProblem::Placement)
            r->refusals.push_back(
                Format(_("the %s area: the library would still refuse it after these fixes"),
                       Name(a.kind)));
}
} // namespace

Repair Plan(std::span<const uint8_t> image) {
    Repair r;
    const Model m = Load(image);
    r.image.assign(image.begin(), image.end());
    if (!m.header.complete || m.header.formatVersion != kKnownVersion) {
        r.refusals.push_back(
            m.header.complete
                ? Format(_("the common header has format version %u, which is unknown"),
                         m.header.formatVersion)
                : std::string(_("the image is shorter than a common header")));
        return r;
    }
    if (m.header.storedChecksum != m.header.computedChecksum)
        r.fixes.push_back(Format(_("the common header: checksum (byte 7) %02Xh -> %02Xh"),
                                 m.header.storedChecksum, m.header.computedChecksum));
    r.image = m.fixed;
    const uint32_t size = static_cast<uint32_t>(image.size());
    for (size_t i = 0; i < m.layout.areas.size(); ++i) {
        const ImageLayout::Area& a = m.layout.areas[i];
        if (i >= m.damaged.size() || !m.damaged[i] || (a.misplaced && !a.pastImage))
            continue;
        const uint32_t limit = Limit(m.layout, a, size);
        const ImageLayout::Area* outer = Enclosing(m.layout, a);
        // An area inside a damaged info area's over-long length is freed
        // when that length is repaired; inside any other area, it is not.
        const bool freed = outer && InfoArea(outer->kind) && m.damaged[Index(m.layout, *outer)];
        if (outer && !freed)
            r.refusals.push_back(Format(_("the %s area: it starts at byte %u, inside the "
                                          "declared bytes %u to %u of the %s area"),
                                        Name(a.kind), a.offset, outer->offset,
                                        outer->offset + outer->declared - 1, Name(outer->kind)));
        else if (a.pastImage)
            r.refusals.push_back(Format(_("the %s area: it starts at byte %u, past the end of the "
                                          "device (%u bytes)"),
                                        Name(a.kind), a.offset, size));
        else if (InfoArea(a.kind))
            FixInfo(a, limit, &r.image, &r);
        else if (a.kind == ORVANE_AREA_MULTIRECORD)
            FixRecords(a.offset, limit, &r.image, &r);
        else
            r.refusals.push_back(
                Format(_("the %s area: nothing in it can be repaired"), Name(a.kind)));
    }
    if (r.refusals.empty())
        Verify(&r);
    return r;
}
} // namespace Salvage
