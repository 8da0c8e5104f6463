#include "view/FruViews.h"

#include "api/ImageModel.h"
#include "decode/FieldEncoding.h"
#include "decode/FruNames.h"
#include "decode/Salvage.h"
#include "view/FieldNames.h"
#include "view/Text.h"
#include "view/Translate.h"

#include <cstdio>
#include <ctime>

namespace FruViews {
namespace {
// The board manufacturing date counts minutes from 1996-01-01 00:00 UTC.
constexpr int64_t kBoardDateEpoch = 820454400;

std::string Utf8(const std::u16string& text) {
    return Text::ToUtf8(text.c_str());
}

std::string ChassisTypeText(const std::string& libraryName, uint8_t type) {
    const char* known = FruNames::ChassisType(type);
    const std::string name = !libraryName.empty() ? libraryName : known ? _(known) : _("unknown");
    char number[16];
    std::snprintf(number, sizeof number, " (%02Xh)", type);
    return name + number;
}

FieldView Field(const ImageModel::AreaImage& area, size_t index) {
    const ImageModel::FieldImage& f = area.fields[index];
    FieldView v;
    v.key = FieldNames::Name(area.kind, static_cast<uint32_t>(index));
    v.title = Utf8(f.title);
    v.value = Utf8(f.value);
    v.valueIndex = f.valueIndex;
    v.bytes = f.data;
    v.hasBytes = area.kind != ORVANE_AREA_INTERNAL_USE;
    if (f.typed) {
        const auto kind = FieldEncoding::KindOf(f.typeLength);
        v.encoding = FieldEncoding::Key(kind);
        v.decoded = FieldEncoding::Decode(kind, f.data);
    } else if (area.kind == ORVANE_AREA_CHASSIS) {
        v.decoded = ChassisTypeText(v.value, area.chassisType);
    } else if (area.kind == ORVANE_AREA_BOARD) {
        v.decoded = v.value;
        v.iso8601 = Iso8601(f.data);
    } else {
        v.decoded = Text::Hex(f.data.data(), f.data.size());
    }
    return v;
}
} // namespace

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

namespace {
std::vector<ProblemView> Problems(const std::vector<Salvage::Problem>& problems) {
    std::vector<ProblemView> out;
    for (const auto& p : problems)
        out.push_back({Salvage::Key(p.code), p.text});
    return out;
}

// The fields of a refused info area that its readable bytes hold, as the
// core's area class reads them there.
void SalvageFields(const Salvage::AreaFindings& found, const std::u16string& name, AreaView* area) {
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
    for (size_t i = 0; i < a.fields.size() && i < found.fieldCount; ++i) {
        area->fields.push_back(Field(a, i));
        area->fields.back().salvaged = true;
    }
    if (a.hasLanguage)
        area->languageCode = a.languageCode;
    if (a.kind == ORVANE_AREA_CHASSIS)
        area->chassisType = a.chassisType;
}
} // namespace

void FillSalvaged(std::span<const uint8_t> image, const std::u16string& name, FruView* view) {
    const Salvage::Findings found = Salvage::Examine(image);
    const ImageModel::ImageView original = ImageModel::ParseImage(image, name);
    if (!found.fruHeader || original.headerValid) {
        Fill(original, view);
    } else {
        Fill(ImageModel::ParseImage(found.headerFixed, name), view);
        view->header = original.header;
        view->problem = Utf8(original.headerMessage);
    }
    view->editable = original.accepted;
    view->problems = Problems(found.header);
    for (size_t i = 0; i < view->areas.size() && i < found.areas.size(); ++i) {
        AreaView& area = view->areas[i];
        area.problems = Problems(found.areas[i].problems);
        if (area.fields.empty() && area.kind >= ORVANE_AREA_CHASSIS &&
            area.kind <= ORVANE_AREA_PRODUCT)
            SalvageFields(found.areas[i], name, &area);
    }
}

void Fill(const ImageModel::ImageView& image, FruView* view) {
    view->header = image.header;
    view->editable = image.accepted;
    view->problem = Utf8(image.headerMessage);
    view->areas.clear();
    for (const auto& a : image.areas) {
        AreaView area;
        area.kind = a.kind;
        area.key = FieldNames::AreaKey(a.kind);
        area.name = Utf8(a.name);
        area.offset = a.offset;
        area.problem = ProblemText(a);
        const bool info = a.kind >= ORVANE_AREA_CHASSIS && a.kind <= ORVANE_AREA_PRODUCT;
        if (!info) {
            area.hasData = true;
            area.data = a.bytes;
        }
        if (info && a.fields.size())
            area.room = a.padLength > 0 ? static_cast<uint32_t>(a.padLength) : 0;
        if (info || a.kind == ORVANE_AREA_INTERNAL_USE)
            if (!a.fields.empty() || a.kind != ORVANE_AREA_INTERNAL_USE)
                area.formatVersion =
                    a.fields.empty() && !a.bytes.empty() ? a.bytes[0] : a.formatVersion;
        if (a.hasLanguage && !a.fields.empty())
            area.languageCode = a.languageCode;
        if (a.kind == ORVANE_AREA_CHASSIS && !a.fields.empty())
            area.chassisType = a.chassisType;
        for (size_t i = 0; i < a.fields.size(); ++i)
            area.fields.push_back(Field(a, i));
        view->areas.push_back(std::move(area));
    }
}
} // namespace FruViews
