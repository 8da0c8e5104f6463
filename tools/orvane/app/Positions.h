// Where each FRU of the system stands. A position counts every located FRU
// device in SDR order, whether its image read or not, so that one damaged
// or silent device never moves the others; the BMC's own FRU device 0, when
// no SDR record names it but it answers, comes after them. Besides the
// position, a logical FRU device of the BMC at 20h has the short name id:N
// (N its FRU device id, as ipmitool numbers the BMC's FRU devices).
#pragma once
#include "api/DeviceAccess.h"
#include "fru/FruAddress.h"
#include "orvane/orvane.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class CFru;

namespace Positions {
struct Slot {
    DeviceAccess::LocatedDevice device; // address, SDR name, read or why not
    std::optional<uint32_t> index;      // the system list's FRU of the device, when read
    CFru* fru = nullptr;                // that FRU, to tell its position from a selection
    bool withoutRecord = false;         // the BMC's FRU 0, found without an SDR record
};

// The slots of the last load of the system, the system list selected
// afterwards. With probeFru0, when no located device is the BMC's FRU
// device 0, that device is loaded by its address (LoadFruAtAddress) and,
// when it reads, takes the last position; when it does not answer it is
// left out without a report.
std::vector<Slot> Build(OrvaneInterface* api, bool probeFru0);

// "id:N" for a logical FRU device of the BMC at 20h, else "".
std::string IdName(const FruAddress& address);

// What a designation names: a position, id:N, a six-part address or an
// SDR name, in that order. Null when no slot is named; *at its position.
const Slot* Find(const std::vector<Slot>& slots, const std::string& designation, size_t* at);

// Whether the designation is a position (a plain number).
bool IsPosition(const std::string& designation);

// The position of the FRU a list holds at fru; nullopt when no slot has it.
std::optional<uint32_t> PositionOf(const std::vector<Slot>& slots, const CFru* fru);
} // namespace Positions
