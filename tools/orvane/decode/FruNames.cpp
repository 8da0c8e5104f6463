#include "FruNames.h"

#include <array>
#include <utility>

namespace FruNames {
namespace {
// System enclosure types 01h to 24h.
constexpr std::array<const char*, 0x25> kChassisTypes = {
    nullptr,
    "Other",
    "Unknown",
    "Desktop",
    "Low Profile Desktop",
    "Pizza Box",
    "Mini Tower",
    "Tower",
    "Portable",
    "Laptop",
    "Notebook",
    "Hand Held",
    "Docking Station",
    "All in One",
    "Sub Notebook",
    "Space-saving",
    "Lunch Box",
    "Main Server Chassis",
    "Expansion Chassis",
    "SubChassis",
    "Bus Expansion Chassis",
    "Peripheral Chassis",
    "RAID Chassis",
    "Rack Mount Chassis",
    "Sealed-case PC",
    "Multi-system Chassis",
    "Compact PCI",
    "Advanced TCA",
    "Blade",
    "Blade Enclosure",
    "Tablet",
    "Convertible",
    "Detachable",
    "IoT Gateway",
    "Embedded PC",
    "Mini PC",
    "Stick PC",
};

// Language codes number the two-letter ISO 639 codes alphabetically, with
// 0 standing for English as well; these are the ones met in practice.
constexpr std::pair<uint8_t, const char*> kLanguages[] = {
    {0, "English"},      {5, "Arabic"},     {19, "Czech"},   {21, "Danish"},     {22, "German"},
    {24, "Greek"},       {25, "English"},   {27, "Spanish"}, {31, "Finnish"},    {34, "French"},
    {44, "Hungarian"},   {51, "Italian"},   {52, "Hebrew"},  {53, "Japanese"},   {61, "Korean"},
    {82, "Dutch"},       {83, "Norwegian"}, {88, "Polish"},  {90, "Portuguese"}, {94, "Romanian"},
    {95, "Russian"},     {112, "Swedish"},  {117, "Thai"},   {123, "Turkish"},   {127, "Ukrainian"},
    {130, "Vietnamese"}, {135, "Chinese"},
};

// IANA private enterprise numbers of manufacturers and bodies whose OEM
// records are common in FRU images.
constexpr std::pair<uint32_t, const char*> kManufacturers[] = {
    {2, "IBM"},
    {9, "Cisco"},
    {11, "Hewlett-Packard"},
    {42, "Sun Microsystems"},
    {311, "Microsoft"},
    {343, "Intel"},
    {674, "Dell"},
    {2011, "Huawei"},
    {3704, "AMD"},
    {4770, "VITA FMC"},
    {5703, "NVIDIA"},
    {7244, "Quanta"},
    {10876, "Supermicro"},
    {11129, "Google"},
    {12634, "PICMG"},
    {19046, "Lenovo"},
    {20974, "American Megatrends"},
    {33049, "Mellanox"},
    {37945, "Inspur"},
    {40981, "Facebook"},
    {42623, "Open Compute Project"},
    {47196, "Hewlett Packard Enterprise"},
};
} // namespace

const char* ChassisType(uint8_t type) {
    return type < kChassisTypes.size() ? kChassisTypes[type] : nullptr;
}

const char* Language(uint8_t code) {
    for (const auto& [number, name] : kLanguages)
        if (number == code)
            return name;
    return nullptr;
}

const char* Manufacturer(uint32_t iana) {
    for (const auto& [number, name] : kManufacturers)
        if (number == iana)
            return name;
    return nullptr;
}
} // namespace FruNames
