#include "input/DescribedFru.h"

#include "app/Report.h"
#include "input/FieldStore.h"
#include "input/JsonSchema.h"
#include "view/FieldNames.h"
#include "view/FruViews.h"
#include "view/Text.h"
#include "view/Translate.h"

namespace DescribedFru {
namespace {
using FruInput::Area;
using FruInput::Field;
using JsonSchema::Element;
using JsonSchema::Member;
using nlohmann::json;

// The bytes of an info area before its first type/length byte: format
// version, length, then the language and date (board), the language
// (product) or the chassis type.
uint32_t HeaderBytes(int32_t kind) {
    return kind == ORVANE_AREA_BOARD ? 6 : 3;
}
// The end marker and the checksum.
constexpr uint32_t kTailBytes = 2;

// Whether the field at index of an area has a type/length byte (all but the
// board's date and the chassis type).
bool Typed(int32_t kind, size_t index) {
    return kind == ORVANE_AREA_PRODUCT || index > 0;
}

std::vector<uint8_t> Hex(const json& object, const char* member) {
    return Text::ParseHex(object.value(member, std::string())).value_or(std::vector<uint8_t>());
}

// The text the field shows (its value: the decoded text, the board date in
// ISO 8601), and whether it still says what its bytes hold.
bool Edited(const json& f, const std::vector<uint8_t>& bytes, bool date, std::string* text) {
    *text = f["value"].get<std::string>();
    if (date)
        return *text != FruViews::Iso8601(bytes);
    const auto kind = FieldStore::KindOfKey(f.value("encoding", std::string()));
    return *text != FieldEncoding::Decode(kind, bytes);
}

// One field of an info area: its bytes in the area's header (date, chassis
// type), else a field to store, exactly or from its edited value.
int ReadField(const json& f, const std::string& path, Area* area, uint32_t index,
              FruInput::Fru* fru) {
    const std::vector<uint8_t> bytes = Hex(f, "hex");
    const bool date = area->kind == ORVANE_AREA_BOARD && index == 0;
    std::string text;
    const bool edited = Edited(f, bytes, date, &text);
    if (date && bytes.size() == 3 && !edited) {
        std::copy(bytes.begin(), bytes.end(), area->date);
        return kExitOk;
    }
    if (area->kind == ORVANE_AREA_CHASSIS && index == 0)
        return kExitOk; // the area's chassis_type holds it
    Field field{path, area->kind, index, text, std::nullopt, 0xC0, std::nullopt};
    const auto kind = FieldStore::KindOfKey(f.value("encoding", std::string()));
    if (!edited) {
        field.bytes = bytes;
        field.typeBits = FieldEncoding::TypeBits(kind);
    } else if (!date) {
        // Edited: kept in the field's encoding when it can be, as set does.
        field.encoding = kind == FieldEncoding::Kind::Binary ? FieldEncoding::Kind::Text : kind;
        if (!FieldEncoding::Encode(*field.encoding, text) &&
            *field.encoding != FieldEncoding::Kind::Text)
            field.encoding = FieldEncoding::Kind::Text;
    }
    fru->fields.push_back(std::move(field));
    return kExitOk;
}

int ReadInfo(const json& a, const std::string& path, Area* area, FruInput::Fru* fru) {
    area->formatVersion = a.value("format_version", uint8_t{1});
    if (a.contains("language"))
        area->language = a["language"]["code"].get<uint8_t>();
    area->chassisType = a.value("chassis_type", uint8_t{0});
    const json& fields = a["fields"];
    area->length = HeaderBytes(area->kind) + kTailBytes + a["free_bytes"].get<uint32_t>();
    for (size_t i = 0; i < fields.size(); ++i) {
        const std::string at = Element(Member(path, "fields"), i);
        const auto name = FieldNames::Parse(fields[i]["name"].get<std::string>());
        if (!name || name->area != area->kind || name->index != i) {
            return Report::Refused(_("%s: the fields of an area are listed in their order, "
                                     "%s here\n"),
                                   Member(at, "name").c_str(),
                                   FieldNames::Name(area->kind, static_cast<uint32_t>(i)).c_str());
        }
        if (Typed(area->kind, i))
            area->length += 1 + static_cast<uint32_t>(Hex(fields[i], "hex").size());
        if (int code = ReadField(fields[i], at, area, static_cast<uint32_t>(i), fru))
            return code;
    }
    const uint32_t fixed = FieldNames::FixedFields(area->kind);
    area->customFields = fields.size() > fixed ? static_cast<uint32_t>(fields.size()) - fixed : 0;
    return kExitOk;
}
} // namespace

int Read(const json& object, const std::string& path, FruInput::Fru* fru) {
    fru->described = true;
    fru->header = Hex(object, "common_header");
    if (fru->header.size() != 8)
        return Report::Refused(_("%s: the common header has 8 bytes\n"),
                               Member(path, "common_header").c_str());
    const json& areas = object["areas"];
    for (size_t i = 0; i < areas.size(); ++i) {
        const json& a = areas[i];
        Area area;
        area.path = Element(Member(path, "areas"), i);
        for (int32_t kind = ORVANE_AREA_INTERNAL_USE; kind <= ORVANE_AREA_MULTIRECORD; ++kind)
            if (a["kind"].get<std::string>() == FieldNames::AreaKey(kind))
                area.kind = kind;
        area.offset = a.value("offset", 0u);
        if (a.contains("problem"))
            return Report::Refused(_("%s: the area is damaged; only an area the library takes "
                                     "can be built again\n"),
                                   area.path.c_str());
        if (area.kind == ORVANE_AREA_INTERNAL_USE || area.kind == ORVANE_AREA_MULTIRECORD)
            area.bytes = Hex(a, "hex");
        else if (int code = ReadInfo(a, area.path, &area, fru))
            return code;
        fru->areas.push_back(std::move(area));
    }
    return kExitOk;
}
} // namespace DescribedFru
