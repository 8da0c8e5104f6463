// The stable names of areas and fields that the command line takes and
// prints: "board.manufacturer", "product.asset_tag", "chassis.custom.2",
// "internal.data". A field may also be named by the library's enumerator
// (1 internal use data, 2-4 chassis, 5-10 board, 11-17 product).
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace FieldNames {
struct Field {
    int32_t area;       // ORVANE_AREA_*
    uint32_t index;     // field index within the area
    bool byEnumerator;  // select with SelectFieldEnum(enumerator) instead of the index
    int32_t enumerator; // valid when byEnumerator
};

// "internal", "chassis", "board", "product", "multirecord" (or "header").
const char* AreaKey(int32_t area);
// The stable name of the field at an index of an area kind.
std::string Name(int32_t area, uint32_t index);
// Parses a stable name or an enumerator; nothing when it names no field.
std::optional<Field> Parse(const std::string& name);
// Every stable name: the fixed fields of each area and its first custom field.
std::vector<std::string> All();
// Number of fields of an area before its custom fields.
uint32_t FixedFields(int32_t area);
} // namespace FieldNames
