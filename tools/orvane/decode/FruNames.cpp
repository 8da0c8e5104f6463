#include "decode/FruNames.h"

#include "view/Translate.h"

#include <array>
#include <utility>

namespace FruNames {
namespace {
// System enclosure types 01h to 24h.
constexpr std::array<const char*, 0x25> kChassisTypes = {
    nullptr,
    N_("Other"),
    N_("Unknown"),
    N_("Desktop"),
    N_("Low Profile Desktop"),
    N_("Pizza Box"),
    N_("Mini Tower"),
    N_("Tower"),
    N_("Portable"),
    N_("Laptop"),
    N_("Notebook"),
    N_("Hand Held"),
    N_("Docking Station"),
    N_("All in One"),
    N_("Sub Notebook"),
    N_("Space-saving"),
    N_("Lunch Box"),
    N_("Main Server Chassis"),
    N_("Expansion Chassis"),
    N_("SubChassis"),
    N_("Bus Expansion Chassis"),
    N_("Peripheral Chassis"),
    N_("RAID Chassis"),
    N_("Rack Mount Chassis"),
    N_("Sealed-case PC"),
    N_("Multi-system Chassis"),
    N_("Compact PCI"),
    N_("Advanced TCA"),
    N_("Blade"),
    N_("Blade Enclosure"),
    N_("Tablet"),
    N_("Convertible"),
    N_("Detachable"),
    N_("IoT Gateway"),
    N_("Embedded PC"),
    N_("Mini PC"),
    N_("Stick PC"),
};

// Language codes number the two-letter ISO 639 codes alphabetically, with
// 0 standing for English as well; these are the ones met in practice.
constexpr std::pair<uint8_t, const char*> kLanguages[] = {
    {0, N_("English")},     {5, N_("Arabic")},       {19, N_("Czech")},      {21, N_("Danish")},
    {22, N_("German")},     {24, N_("Greek")},       {25, N_("English")},    {27, N_("Spanish")},
    {31, N_("Finnish")},    {34, N_("French")},      {44, N_("Hungarian")},  {51, N_("Italian")},
    {52, N_("Hebrew")},     {53, N_("Japanese")},    {61, N_("Korean")},     {82, N_("Dutch")},
    {83, N_("Norwegian")},  {88, N_("Polish")},      {90, N_("Portuguese")}, {94, N_("Romanian")},
    {95, N_("Russian")},    {112, N_("Swedish")},    {117, N_("Thai")},      {123, N_("Turkish")},
    {127, N_("Ukrainian")}, {130, N_("Vietnamese")}, {135, N_("Chinese")},
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
