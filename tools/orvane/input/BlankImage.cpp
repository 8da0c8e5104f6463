#include "input/BlankImage.h"

#include "device/Relayout.h"
#include "fru/ImageLayout.h"
#include "orvane/orvane.h"
#include "view/FieldNames.h"
#include "view/Text.h"
#include "view/Translate.h"

#include <algorithm>

namespace BlankImage {
namespace {
constexpr uint32_t kUnit = ImageLayout::kUnitBytes;
constexpr uint8_t kEmptyText = 0xC0; // 8-bit text, no bytes
constexpr uint8_t kEndOfFields = 0xC1;
constexpr uint8_t kFormatVersion = 1;

// An info area with empty fields: as long as the described area, or the
// fewest blocks that hold its empty fields.
std::vector<uint8_t> InfoArea(const FruInput::Area& a) {
    std::vector<uint8_t> bytes = {a.formatVersion, 0};
    if (a.kind == ORVANE_AREA_CHASSIS)
        bytes.push_back(a.chassisType);
    else
        bytes.push_back(a.language);
    if (a.kind == ORVANE_AREA_BOARD)
        bytes.insert(bytes.end(), a.date, a.date + 3);
    const uint32_t typed =
        FieldNames::FixedFields(a.kind) - (a.kind == ORVANE_AREA_PRODUCT ? 0 : 1);
    bytes.insert(bytes.end(), typed + a.customFields, kEmptyText);
    bytes.push_back(kEndOfFields);
    const size_t least = (bytes.size() + 1 + kUnit - 1) / kUnit * kUnit;
    bytes.resize(std::max<size_t>(least, a.length), 0);
    bytes[1] = static_cast<uint8_t>(std::min<size_t>(bytes.size() / kUnit, 0xFF));
    bytes.back() = ImageLayout::ZeroChecksum(std::span(bytes).first(bytes.size() - 1));
    return bytes;
}

std::vector<uint8_t> AreaBytes(const FruInput::Area& a) {
    return a.kind == ORVANE_AREA_INTERNAL_USE || a.kind == ORVANE_AREA_MULTIRECORD ? a.bytes
                                                                                   : InfoArea(a);
}

// The header of areas packed from byte 8.
std::vector<uint8_t> Header(const std::vector<std::pair<int32_t, uint32_t>>& offsets) {
    std::vector<uint8_t> header(ImageLayout::kCommonHeaderBytes, 0);
    header[0] = kFormatVersion;
    for (const auto& [kind, offset] : offsets)
        header[static_cast<size_t>(kind - ORVANE_AREA_INTERNAL_USE + 1)] =
            static_cast<uint8_t>(offset / kUnit);
    header.back() = ImageLayout::ZeroChecksum(std::span(header).first(header.size() - 1));
    return header;
}
} // namespace

bool Make(const FruInput::Fru& fru, std::vector<uint8_t>* image, std::string* where,
          std::string* problem) {
    std::vector<std::pair<int32_t, uint32_t>> offsets;
    *image = fru.described ? fru.header : std::vector<uint8_t>(ImageLayout::kCommonHeaderBytes);
    uint32_t next = ImageLayout::kCommonHeaderBytes;
    for (const FruInput::Area& a : fru.areas) {
        const std::vector<uint8_t> bytes = AreaBytes(a);
        const uint32_t offset = fru.described ? a.offset : next;
        *where = a.path;
        *problem = Relayout::LengthProblem(a.kind, static_cast<uint32_t>(bytes.size()));
        if (problem->empty() && offset > Relayout::kMaxAddressable)
            *problem = Text::Format(_("the %s area would start at byte %u, past the 2,040 bytes "
                                      "the common header can point to"),
                                    FieldNames::AreaKey(a.kind), offset);
        if (problem->empty() && offset + bytes.size() > kMaxImageBytes)
            *problem = Text::Format(_("the image would need %zu bytes, past the 65,536 a FRU "
                                      "image can have"),
                                    offset + bytes.size());
        if (!problem->empty())
            return false;
        if (image->size() < offset + bytes.size())
            image->resize(offset + bytes.size(), 0xFF);
        std::copy(bytes.begin(), bytes.end(), image->begin() + offset);
        offsets.emplace_back(a.kind, offset);
        next = offset + static_cast<uint32_t>((bytes.size() + kUnit - 1) / kUnit * kUnit);
    }
    if (!fru.described) {
        const std::vector<uint8_t> header = Header(offsets);
        std::copy(header.begin(), header.end(), image->begin());
    }
    return true;
}
} // namespace BlankImage
