#include "app/Positions.h"

#include "api/FruEdit.h"
#include "view/Spelling.h"
#include "view/Text.h"

namespace Positions {
namespace {
constexpr uint32_t kInventoryDevice = 2; // a FRU device served through the FRU commands
constexpr uint8_t kBmcAddress = 0x20;
constexpr uint8_t kDirectBus = 0xFF; // the BMC's own devices are read without a bridge
constexpr const char* kIdPrefix = "id:";

bool AtBmc(const FruAddress& a) {
    return a.nvsType == kInventoryDevice && a.controller == kBmcAddress &&
           a.deviceAddress == kBmcAddress;
}

std::optional<uint32_t> ParseId(const std::string& designation) {
    if (designation.rfind(kIdPrefix, 0) != 0)
        return std::nullopt;
    return Text::ParseNumber(designation.substr(3), 0xFF);
}
} // namespace

std::vector<Slot> Build(OrvaneInterface* api, bool probeFru0) {
    std::vector<Slot> slots;
    uint32_t next = 0;
    bool namesFru0 = false;
    for (auto& d : DeviceAccess::LocatedDevices()) {
        Slot slot;
        namesFru0 = namesFru0 || (AtBmc(d.address) && d.address.deviceId == 0);
        if (d.read)
            slot.index = next++;
        slot.device = std::move(d);
        slots.push_back(std::move(slot));
    }
    if (probeFru0 && !namesFru0) {
        const FruAddress a{.nvsType = kInventoryDevice,
                           .lun = 0,
                           .bus = kDirectBus,
                           .deviceAddress = kBmcAddress,
                           .controller = kBmcAddress,
                           .deviceId = 0};
        if (LoadFruAtAddress(api, a.nvsType, a.lun, a.deviceAddress, a.bus, a.controller,
                             a.deviceId) == ORVANE_OK) {
            Slot slot;
            slot.device.address = a;
            slot.device.read = true;
            slot.withoutRecord = true;
            slot.index = next++;
            slots.push_back(std::move(slot));
        }
    }
    SelectList(api, ORVANE_LIST_SYSTEM);
    for (Slot& slot : slots)
        if (slot.index && ::SelectFru(api, *slot.index) == ORVANE_OK)
            slot.fru = FruEdit::SelectedFru();
    return slots;
}

std::string IdName(const FruAddress& address) {
    return AtBmc(address) ? kIdPrefix + std::to_string(address.deviceId) : "";
}

bool IsPosition(const std::string& designation) {
    return Text::ParseNumber(designation, 0xFFFF) && designation.find(':') == std::string::npos;
}

const Slot* Find(const std::vector<Slot>& slots, const std::string& designation, size_t* at) {
    const auto match = [&](auto&& test) -> const Slot* {
        for (size_t i = 0; i < slots.size(); ++i)
            if (test(slots[i])) {
                *at = i;
                return &slots[i];
            }
        return nullptr;
    };
    if (IsPosition(designation)) {
        const uint32_t n = *Text::ParseNumber(designation, 0xFFFF);
        *at = n;
        return n < slots.size() ? &slots[n] : nullptr;
    }
    if (const auto id = ParseId(designation))
        return match([&](const Slot& s) {
            return AtBmc(s.device.address) && s.device.address.deviceId == *id;
        });
    if (const auto address = FruAddress::Parse(designation))
        return match([&](const Slot& s) { return s.device.address == *address; });
    // A name as written, else the one name that matches without regard to case.
    if (const Slot* named = match(
            [&](const Slot& s) { return !s.device.name.empty() && s.device.name == designation; }))
        return named;
    return match([&](const Slot& s) {
        return !s.device.name.empty() && Spelling::Same(s.device.name, designation);
    });
}

std::optional<uint32_t> PositionOf(const std::vector<Slot>& slots, const CFru* fru) {
    for (size_t i = 0; fru && i < slots.size(); ++i)
        if (slots[i].fru == fru)
            return static_cast<uint32_t>(i);
    return std::nullopt;
}
} // namespace Positions
