#include "view/FruViews.h"

#include "decode/FieldEncoding.h"
#include "decode/FruNames.h"
#include "orvane/orvane.h"
#include "view/FieldNames.h"
#include "view/Text.h"
#include "view/Translate.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

namespace FruViews {
namespace {
// The board manufacturing date counts minutes from 1996-01-01 00:00 UTC.
constexpr int64_t kBoardDateEpoch = 820454400;

std::string ChassisTypeText(const std::string& libraryName, uint8_t type) {
    const char* known = FruNames::ChassisType(type);
    const std::string name = !libraryName.empty() ? libraryName : known ? _(known) : _("unknown");
    char number[16];
    std::snprintf(number, sizeof number, " (%02Xh)", type);
    return name + number;
}
} // namespace

std::string Utf8(const std::u16string& text) {
    return Text::ToUtf8(text.c_str());
}

namespace {
// The fields of a refused info area that its readable bytes hold, as the
// core's area class reads them there.
void SalvageFields(const Salvage::AreaFindings& found, const std::u16string& name,
                   ImageModel::AreaImage* area) {
    if (found.readable.empty())
        return;
    // A common header that declares this one area, at byte 8 (offset 1),
    // and its checksum: format version 1 and the offset add up to 2.
    std::vector<uint8_t> image = {1, 0, 0, 0, 0, 0, 0, 0xFE};
    image[static_cast<size_t>(found.kind - ORVANE_AREA_INTERNAL_USE + 1)] = 1;
    image.insert(image.end(), found.readable.begin(), found.readable.end());
    const auto parsed = ImageModel::ParseImage(image, name);
    if (!parsed.accepted || parsed.areas.size() != 1)
        return;
    const ImageModel::AreaImage& a = parsed.areas[0];
    area->fields.assign(a.fields.begin(),
                        a.fields.begin() + std::min<size_t>(a.fields.size(), found.fieldCount));
    area->formatVersion = area->bytes.empty() ? a.formatVersion : area->bytes[0];
    area->languageCode = a.languageCode;
    area->hasLanguage = a.hasLanguage;
    area->chassisType = a.chassisType;
}
} // namespace

void FillSalvaged(std::span<const uint8_t> image, const std::u16string& name, FruView* fru) {
    const Salvage::Findings found = Salvage::Examine(image);
    const ImageModel::ImageView original = ImageModel::ParseImage(image, name);
    if (!found.fruHeader || original.headerValid) {
        fru->image = original;
    } else {
        fru->image = ImageModel::ParseImage(found.headerFixed, name);
        fru->image.header = original.header;
        fru->image.headerMessage = original.headerMessage;
    }
    fru->image.accepted = false;
    fru->headerProblems = found.header;
    fru->areaProblems.clear();
    for (size_t i = 0; i < fru->image.areas.size() && i < found.areas.size(); ++i) {
        ImageModel::AreaImage& area = fru->image.areas[i];
        if (!found.areas[i].problems.empty())
            fru->areaProblems[area.kind] = found.areas[i].problems;
        if (area.fields.empty() && Info(area))
            SalvageFields(found.areas[i], name, &area);
    }
}

const std::vector<Salvage::Problem>& Problems(const FruView& fru,
                                              const ImageModel::AreaImage& area) {
    static const std::vector<Salvage::Problem> kNone;
    const auto at = fru.areaProblems.find(area.kind);
    return at == fru.areaProblems.end() ? kNone : at->second;
}

bool Salvaged(const ImageModel::AreaImage& area) {
    return area.problem != ImageModel::AreaProblem::None;
}

std::string Problem(const FruView& fru) {
    return Utf8(fru.image.headerMessage);
}

const ImageModel::AreaImage* Area(const FruView& fru, int32_t kind) {
    for (const auto& a : fru.image.areas)
        if (a.kind == kind)
            return &a;
    return nullptr;
}

bool Info(const ImageModel::AreaImage& area) {
    return area.kind >= ORVANE_AREA_CHASSIS && area.kind <= ORVANE_AREA_PRODUCT;
}

uint32_t Room(const ImageModel::AreaImage& area) {
    return Info(area) && !area.fields.empty() && area.padLength > 0
               ? static_cast<uint32_t>(area.padLength)
               : 0;
}

int FormatVersion(const ImageModel::AreaImage& area) {
    // An area that did not read shows its first byte; an internal use area
    // shows one only when it read.
    if (!Info(area) && (area.kind != ORVANE_AREA_INTERNAL_USE || area.fields.empty()))
        return -1;
    return area.fields.empty() && !area.bytes.empty() ? area.bytes[0] : area.formatVersion;
}

int LanguageCode(const ImageModel::AreaImage& area) {
    return area.hasLanguage && !area.fields.empty() ? area.languageCode : -1;
}

int ChassisType(const ImageModel::AreaImage& area) {
    return area.kind == ORVANE_AREA_CHASSIS && !area.fields.empty() ? area.chassisType : -1;
}

std::string ProblemText(const ImageModel::AreaImage& area) {
    using P = ImageModel::AreaProblem;
    const char* detail = nullptr;
    switch (area.problem) {
    case P::None:
        return "";
    case P::OutsideImage:
        detail = _("its bytes run past the end of the image");
        break;
    case P::Refused:
        detail = _("its format, fields or end marker are not readable");
        break;
    case P::Checksum:
        detail = _("its checksum is wrong");
        break;
    case P::Placement:
        detail = _("it lies after the other areas, where the library does not read it");
        break;
    case P::Records:
        detail = _("a record has a bad checksum, is cut off or the last one is not marked");
        break;
    }
    const std::string message = Utf8(area.message);
    return message.empty() ? detail : message + " (" + detail + ")";
}

std::string Key(const ImageModel::AreaImage& area, size_t index) {
    return FieldNames::Name(area.kind, static_cast<uint32_t>(index));
}

std::string Encoding(const ImageModel::FieldImage& field) {
    return field.typed ? FieldEncoding::Key(FieldEncoding::KindOf(field.typeLength)) : "";
}

std::string Encoding(const ImageModel::AreaImage& area, size_t index) {
    const ImageModel::FieldImage& f = area.fields[index];
    return f.typed                            ? Encoding(f)
           : area.kind == ORVANE_AREA_BOARD   ? "date"
           : area.kind == ORVANE_AREA_CHASSIS ? "chassis_type"
                                              : "binary";
}

std::string Decoded(const ImageModel::AreaImage& area, size_t index) {
    const ImageModel::FieldImage& f = area.fields[index];
    if (f.typed)
        return FieldEncoding::Decode(FieldEncoding::KindOf(f.typeLength), f.data);
    if (area.kind == ORVANE_AREA_CHASSIS)
        return ChassisTypeText(Utf8(f.value), area.chassisType);
    if (area.kind == ORVANE_AREA_BOARD)
        return Utf8(f.value);
    return Text::Hex(f.data.data(), f.data.size());
}

std::string Iso8601(const ImageModel::AreaImage& area, size_t index) {
    const ImageModel::FieldImage& f = area.fields[index];
    return area.kind == ORVANE_AREA_BOARD && !f.typed ? Iso8601(f.data) : "";
}

std::string Iso8601(const std::vector<uint8_t>& minutes) {
    if (minutes.size() < 3)
        return "";
    const int64_t m = minutes[0] | minutes[1] << 8 | minutes[2] << 16;
    const std::time_t t = static_cast<std::time_t>(kBoardDateEpoch + m * 60);
    std::tm utc{};
    gmtime_r(&t, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}
} // namespace FruViews
