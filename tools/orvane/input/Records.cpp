#include "input/Records.h"

#include "decode/MultiRecords.h"
#include "fru/ImageLayout.h"
#include "input/JsonSchema.h"
#include "view/Text.h"
#include "view/Translate.h"

#include <array>

namespace Records {
namespace {
using nlohmann::json;

constexpr uint8_t kDefaultVersion = 2;
constexpr uint8_t kLastStandardType = 5;
constexpr uint8_t kDcOutput = 1, kDcLoad = 2;
constexpr uint8_t kUniqueIdRecord = 7; // a management access sub-record of binary bytes
constexpr size_t kMaxDataBytes = 255;
constexpr size_t kDcRecordBytes = 13;

// One value of a standard record: where it goes in the data, in how many
// little-endian bytes, in which unit (a value is divided by scale) and, for
// a single byte shared with others, at which bit.
struct Value {
    uint8_t type;
    const char* key;
    uint8_t offset, bytes;
    int32_t scale;
    uint8_t shift;
};
constexpr std::array<Value, 15> kValues = {{
    {kDcOutput, "output_number", 0, 1, 1, 0},
    {kDcOutput, "standby", 0, 1, 1, 7},
    {kDcOutput, "nominal_voltage", 1, 2, 10, 0},
    {kDcOutput, "max_negative_deviation", 3, 2, 10, 0},
    {kDcOutput, "max_positive_deviation", 5, 2, 10, 0},
    {kDcOutput, "ripple_noise", 7, 2, 1, 0},
    {kDcOutput, "min_current", 9, 2, 1, 0},
    {kDcOutput, "max_current", 11, 2, 1, 0},
    {kDcLoad, "output_number", 0, 1, 1, 0},
    {kDcLoad, "nominal_voltage", 1, 2, 10, 0},
    {kDcLoad, "min_voltage", 3, 2, 10, 0},
    {kDcLoad, "max_voltage", 5, 2, 10, 0},
    {kDcLoad, "ripple_noise", 7, 2, 1, 0},
    {kDcLoad, "min_current", 9, 2, 1, 0},
    {kDcLoad, "max_current", 11, 2, 1, 0},
}};

uint8_t TypeOf(const json& type) {
    if (type.is_number())
        return type.get<uint8_t>();
    for (uint8_t t = 0; t <= kLastStandardType; ++t)
        if (type.get<std::string>() == MultiRecords::TypeKey(t))
            return t;
    return 0;
}

// The data of a DC output or DC load record from its values.
bool DcData(const json& record, uint8_t type, const std::string& path, std::vector<uint8_t>* data,
            std::string* where, std::string* problem) {
    data->assign(kDcRecordBytes, 0);
    for (const Value& v : kValues) {
        if (v.type != type || !record.contains(v.key))
            continue;
        const json& member = record[v.key];
        const int64_t given = member.is_boolean() ? member.get<bool>() : member.get<int64_t>();
        if (given % v.scale != 0) {
            *where = JsonSchema::Member(path, v.key);
            *problem = Text::Format(_("is stored in steps of %d"), v.scale);
            return false;
        }
        const auto stored = static_cast<uint32_t>(given / v.scale);
        if (v.bytes == 1) {
            (*data)[v.offset] |= static_cast<uint8_t>(stored << v.shift);
        } else {
            (*data)[v.offset] = static_cast<uint8_t>(stored);
            (*data)[v.offset + 1u] = static_cast<uint8_t>(stored >> 8);
        }
    }
    return true;
}

// The data bytes of one record: its hex, or the values of its type.
bool Data(const json& record, uint8_t type, const std::string& path, std::vector<uint8_t>* data,
          std::string* where, std::string* problem) {
    if (record.contains("hex")) {
        *where = JsonSchema::Member(path, "hex");
        if (record.size() > (record.contains("version") ? 3u : 2u)) {
            *problem = _("a record takes either its hex bytes or its values, not both");
            return false;
        }
        auto hex = Text::ParseHex(record["hex"].get<std::string>());
        if (!hex) {
            *problem = _("is not a list of hex bytes");
            return false;
        }
        *data = *hex;
        return true;
    }
    if (type == kDcOutput || type == kDcLoad)
        return DcData(record, type, path, data, where, problem);
    // Management access: the sub-record type, then a text (the unique ID: hex).
    const uint8_t sub = record.value("sub_record", uint8_t{1});
    const std::string value = record.value("value", std::string());
    *data = {sub};
    if (sub == kUniqueIdRecord) {
        auto hex = Text::ParseHex(value);
        if (!hex) {
            *where = JsonSchema::Member(path, "value");
            *problem = _("the system unique ID is given as hex bytes");
            return false;
        }
        data->insert(data->end(), hex->begin(), hex->end());
    } else {
        data->insert(data->end(), value.begin(), value.end());
    }
    return true;
}

} // namespace

bool Encode(const json& records, const std::string& path, std::vector<uint8_t>* area,
            std::string* where, std::string* problem) {
    for (size_t i = 0; i < records.size(); ++i) {
        const json& record = records[i];
        const std::string at = JsonSchema::Element(path, i);
        const uint8_t type = TypeOf(record["type"]);
        std::vector<uint8_t> data;
        if (!Data(record, type, at, &data, where, problem))
            return false;
        if (data.size() > kMaxDataBytes) {
            *where = at;
            *problem =
                Text::Format(_("holds %zu data bytes; a record holds at most 255"), data.size());
            return false;
        }
        uint8_t header[ImageLayout::kRecordHeaderBytes] = {
            type,
            static_cast<uint8_t>(record.value("version", kDefaultVersion) |
                                 (i + 1 == records.size() ? ImageLayout::kRecordEndOfList : 0)),
            static_cast<uint8_t>(data.size()), ImageLayout::ZeroChecksum(data), 0};
        header[4] = ImageLayout::ZeroChecksum(std::span<const uint8_t>(header, 4));
        area->insert(area->end(), header, header + sizeof header);
        area->insert(area->end(), data.begin(), data.end());
    }
    return true;
}
} // namespace Records
