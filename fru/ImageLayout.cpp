#include "fru/ImageLayout.h"

#include "fru/FruDefs.h"
#include "orvane/orvane.h"

#include <algorithm>

namespace ImageLayout {
namespace {

constexpr uint8_t kVersionMask = 0x07;
constexpr uint8_t kKnownVersion = 1;
// A record chain is walked over at most this many bytes, the most a
// multi-record area's length can hold.
constexpr size_t kMaxChainBytes = 0xFFFF;

uint8_t Sum(std::span<const uint8_t> bytes) {
    uint8_t sum = 0;
    for (uint8_t b : bytes)
        sum = static_cast<uint8_t>(sum + b);
    return sum;
}

void DescribeInfoArea(std::span<const uint8_t> bytes, Area* a) {
    a->declared = InfoAreaLength(bytes);
    a->readable = std::min<uint32_t>(a->declared, static_cast<uint32_t>(bytes.size()));
    const std::span<const uint8_t> area = bytes.first(a->readable);
    if (a->readable == a->declared && a->declared >= 2) {
        a->checksummed = true;
        a->storedChecksum = area.back();
        a->computedChecksum = ZeroChecksum(area.first(area.size() - 1));
    }
    const uint32_t fieldsEnd = a->declared > 0 ? std::min(a->declared - 1, a->readable) : 0;
    a->endMarker = WalkFields(a->kind, area.first(fieldsEnd)).endMarker;
}

void DescribeInternalUse(const Header& h, std::span<const uint8_t> image, Area* a) {
    const uint32_t size = static_cast<uint32_t>(image.size());
    const uint32_t end = InternalUseEnd(h);
    a->misplaced = end != 0 && end < a->offset;
    a->declared = end == 0 ? size - a->offset : a->misplaced ? 0 : end - a->offset;
    a->readable = std::min(a->declared, size - a->offset);
    if (a->misplaced) {
        uint32_t next = size;
        for (int32_t k = ORVANE_AREA_CHASSIS; k <= ORVANE_AREA_MULTIRECORD; ++k)
            if (const uint32_t o = h.Offset(k); o > a->offset && o < next)
                next = o;
        a->shownEnd = next;
    }
}

} // namespace

uint8_t ZeroChecksum(std::span<const uint8_t> bytes) {
    return static_cast<uint8_t>(0 - Sum(bytes));
}

uint32_t Header::Offset(int32_t kind) const {
    switch (kind) {
    case ORVANE_AREA_INTERNAL_USE:
        return internalUse;
    case ORVANE_AREA_CHASSIS:
        return chassis;
    case ORVANE_AREA_BOARD:
        return board;
    case ORVANE_AREA_PRODUCT:
        return product;
    case ORVANE_AREA_MULTIRECORD:
        return multiRecord;
    default:
        return 0;
    }
}

Header ParseHeader(std::span<const uint8_t> image) {
    Header h;
    if (image.size() < FruDefs::kCommonHeaderBytes)
        return h;
    h.complete = true;
    h.formatVersion = image[0] & kVersionMask;
    h.internalUse = image[1] * FruDefs::kUnitBytes;
    h.chassis = image[2] * FruDefs::kUnitBytes;
    h.board = image[3] * FruDefs::kUnitBytes;
    h.product = image[4] * FruDefs::kUnitBytes;
    h.multiRecord = image[5] * FruDefs::kUnitBytes;
    h.storedChecksum = image[7];
    h.computedChecksum = ZeroChecksum(image.first(7));
    return h;
}

uint32_t InternalUseEnd(const Header& h) {
    for (uint32_t offset : {h.chassis, h.board, h.product, h.multiRecord})
        if (offset != 0)
            return offset;
    return 0;
}

uint32_t InfoAreaLength(std::span<const uint8_t> area) {
    return area.size() >= 2 ? area[1] * FruDefs::kUnitBytes : 2;
}

uint32_t FirstField(int32_t kind) {
    return kind == ORVANE_AREA_BOARD ? 3 + FruDefs::kDateBytes : 3;
}

uint32_t FixedFieldCount(int32_t kind) {
    return kind == ORVANE_AREA_CHASSIS ? 2 : kind == ORVANE_AREA_BOARD ? 5 : 7;
}

FieldWalk WalkFields(int32_t kind, std::span<const uint8_t> area, uint32_t fixedFields) {
    FieldWalk walk;
    const uint32_t size = static_cast<uint32_t>(area.size());
    for (uint32_t pos = FirstField(kind); pos < size;) {
        if (area[pos] == FruDefs::kEndOfFields && walk.fields.size() >= fixedFields) {
            walk.endMarker = true;
            walk.endMarkerAt = pos;
            break;
        }
        const uint32_t next = pos + 1 + (area[pos] & FruDefs::kLengthMask);
        if (next > size) {
            walk.cut = true;
            break;
        }
        walk.fields.push_back({pos, area[pos]});
        pos = next;
    }
    return walk;
}

RecordExtent Record(std::span<const uint8_t> bytes) {
    RecordExtent r;
    if (bytes.size() <= FruDefs::kMultiRecLengthByte)
        return r;
    r.dataBytes = bytes[FruDefs::kMultiRecLengthByte];
    r.totalBytes = FruDefs::kMultiRecHeaderBytes + r.dataBytes;
    r.last = (bytes[1] & FruDefs::kMultiRecEndOfList) != 0;
    return r;
}

Chain WalkChain(std::span<const uint8_t> bytes) {
    Chain chain;
    uint32_t pos = 0;
    while (pos + FruDefs::kMultiRecHeaderBytes <= bytes.size()) {
        Chain::Entry e;
        e.offset = pos;
        e.extent = Record(bytes.subspan(pos));
        e.headerChecksumOk = Sum(bytes.subspan(pos, FruDefs::kMultiRecHeaderBytes)) == 0;
        e.storedHeaderChecksum = bytes[pos + FruDefs::kMultiRecHeaderBytes - 1];
        e.computedHeaderChecksum =
            static_cast<uint8_t>(0 - Sum(bytes.subspan(pos, FruDefs::kMultiRecHeaderBytes - 1)));
        e.storedDataChecksum = bytes[pos + FruDefs::kMultiRecDataChecksumByte];
        e.complete = pos + e.extent.totalBytes <= bytes.size();
        if (e.complete) {
            const auto data =
                bytes.subspan(pos + FruDefs::kMultiRecHeaderBytes, e.extent.dataBytes);
            e.computedDataChecksum = static_cast<uint8_t>(0 - Sum(data));
            e.dataChecksumOk = e.computedDataChecksum == e.storedDataChecksum;
        }
        chain.records.push_back(e);
        pos += e.extent.totalBytes;
        if (e.extent.last) {
            chain.endMarker = true;
            break;
        }
    }
    chain.length = pos;
    return chain;
}

Layout Parse(std::span<const uint8_t> image) {
    Layout layout;
    layout.header = ParseHeader(image);
    if (!layout.header.complete)
        return layout;
    const uint32_t size = static_cast<uint32_t>(image.size());
    for (int32_t kind = ORVANE_AREA_INTERNAL_USE; kind <= ORVANE_AREA_MULTIRECORD; ++kind) {
        Area a;
        a.kind = kind;
        a.offset = layout.header.Offset(kind);
        if (a.offset == 0)
            continue;
        a.pastImage = a.offset >= size;
        if (!a.pastImage) {
            const std::span<const uint8_t> bytes = image.subspan(a.offset);
            a.formatVersion = bytes[0];
            if (kind == ORVANE_AREA_INTERNAL_USE) {
                DescribeInternalUse(layout.header, image, &a);
            } else if (kind == ORVANE_AREA_MULTIRECORD) {
                a.chain = WalkChain(bytes.first(std::min(bytes.size(), kMaxChainBytes)));
                a.declared = a.chain.length;
                a.readable = std::min(a.declared, size - a.offset);
                a.endMarker = a.chain.endMarker;
            } else {
                DescribeInfoArea(bytes, &a);
            }
            a.knownVersion = kind != ORVANE_AREA_MULTIRECORD && a.formatVersion == kKnownVersion;
        }
        if (!a.misplaced)
            a.shownEnd = a.offset + a.declared;
        layout.areas.push_back(a);
    }
    for (Area& a : layout.areas) {
        uint32_t first = UINT32_MAX;
        for (const Area& b : layout.areas)
            if (&b != &a && b.offset >= a.offset && b.offset < a.offset + a.declared &&
                b.offset < first) {
                first = b.offset;
                a.overlaps = b.kind;
            }
    }
    return layout;
}

} // namespace ImageLayout
