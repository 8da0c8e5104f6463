#include "view/FieldNames.h"

#include "orvane/orvane.h"

#include <array>
#include <cstdlib>
#include <string_view>
#include <vector>

namespace FieldNames {
namespace {
const std::vector<std::string_view> kChassis = {"type", "part_number", "serial_number"};
const std::vector<std::string_view> kBoard = {"mfg_date",      "manufacturer", "product_name",
                                              "serial_number", "part_number",  "fru_file_id"};
const std::vector<std::string_view> kProduct = {"manufacturer", "product_name",  "part_number",
                                                "version",      "serial_number", "asset_tag",
                                                "fru_file_id"};
const std::vector<std::string_view> kInternal = {"data"};

const std::vector<std::string_view>* Fixed(int32_t area) {
    switch (area) {
    case ORVANE_AREA_INTERNAL_USE:
        return &kInternal;
    case ORVANE_AREA_CHASSIS:
        return &kChassis;
    case ORVANE_AREA_BOARD:
        return &kBoard;
    case ORVANE_AREA_PRODUCT:
        return &kProduct;
    default:
        return nullptr;
    }
}
} // namespace

const char* AreaKey(int32_t area) {
    switch (area) {
    case ORVANE_AREA_COMMON_HEADER:
        return "header";
    case ORVANE_AREA_INTERNAL_USE:
        return "internal";
    case ORVANE_AREA_CHASSIS:
        return "chassis";
    case ORVANE_AREA_BOARD:
        return "board";
    case ORVANE_AREA_PRODUCT:
        return "product";
    case ORVANE_AREA_MULTIRECORD:
        return "multirecord";
    default:
        return "unknown";
    }
}

uint32_t FixedFields(int32_t area) {
    const auto* fixed = Fixed(area);
    return fixed ? static_cast<uint32_t>(fixed->size()) : 0;
}

std::vector<std::string> All() {
    std::vector<std::string> names;
    for (int32_t area = ORVANE_AREA_INTERNAL_USE; area <= ORVANE_AREA_PRODUCT; ++area) {
        const uint32_t fixed = FixedFields(area);
        const uint32_t custom = area == ORVANE_AREA_INTERNAL_USE ? 0 : 1;
        for (uint32_t i = 0; i < fixed + custom; ++i)
            names.push_back(Name(area, i));
    }
    return names;
}

std::string Name(int32_t area, uint32_t index) {
    std::string name = AreaKey(area);
    const auto* fixed = Fixed(area);
    if (!fixed)
        return name;
    if (index < fixed->size())
        return name + "." + std::string((*fixed)[index]);
    return name + ".custom." + std::to_string(index - fixed->size() + 1);
}

std::optional<Field> Parse(const std::string& name) {
    // An enumerator: the area follows from the library's one numbering.
    if (!name.empty() && name.find_first_not_of("0123456789") == std::string::npos) {
        if (name.size() > 3)
            return std::nullopt;
        const int32_t e = std::atoi(name.c_str());
        int32_t area = e == 1               ? ORVANE_AREA_INTERNAL_USE
                       : e >= 2 && e <= 4   ? ORVANE_AREA_CHASSIS
                       : e >= 5 && e <= 10  ? ORVANE_AREA_BOARD
                       : e >= 11 && e <= 17 ? ORVANE_AREA_PRODUCT
                                            : 0;
        if (!area)
            return std::nullopt;
        return Field{area, 0, true, e};
    }
    const size_t dot = name.find('.');
    if (dot == std::string::npos)
        return std::nullopt;
    const std::string areaKey = name.substr(0, dot);
    const std::string rest = name.substr(dot + 1);
    for (int32_t area = ORVANE_AREA_INTERNAL_USE; area <= ORVANE_AREA_PRODUCT; ++area) {
        if (areaKey != AreaKey(area))
            continue;
        const auto* fixed = Fixed(area);
        for (uint32_t i = 0; i < fixed->size(); ++i)
            if (rest == (*fixed)[i])
                return Field{area, i, false, 0};
        const std::string custom = "custom.";
        if (area != ORVANE_AREA_INTERNAL_USE && rest.rfind(custom, 0) == 0) {
            const std::string number = rest.substr(custom.size());
            if (number.empty() || number.size() > 2 ||
                number.find_first_not_of("0123456789") != std::string::npos)
                return std::nullopt;
            const int n = std::atoi(number.c_str());
            if (n < 1)
                return std::nullopt;
            return Field{area, static_cast<uint32_t>(fixed->size()) + static_cast<uint32_t>(n) - 1,
                         false, 0};
        }
        return std::nullopt;
    }
    return std::nullopt;
}
} // namespace FieldNames
