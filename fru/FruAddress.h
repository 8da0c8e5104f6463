// The six values that name a FRU device: how it is reached (the NVS type of
// its locator record) and where (LUN, device or slave address, private bus,
// the controller it sits behind, and the FRU device id). The device reader,
// the transfers and the orvane command all name devices with it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

struct FruAddress {
    uint32_t nvsType = 0; // FruTransfer's kKsbDevice, kAt24c02, ...
    uint8_t lun = 0;
    uint8_t bus = 0;           // 0xFF: the controller's own FRU devices
    uint8_t deviceAddress = 0; // 8-bit form
    uint8_t controller = 0;    // the controller's 8-bit address
    uint8_t deviceId = 0;

    // "T:L:DA:B:CA:ID": the NVS type and LUN in decimal, the device address,
    // bus, controller and device id in two hex digits each (upper case).
    std::string Format() const;
    // Reads what Format writes. The type and LUN are numbers up to 3 in C
    // notation (decimal, 0x hex, leading 0 octal); the other four are hex up to
    // FF, with or without 0x. Nothing when there are not six parts or a part
    // is not such a number.
    static std::optional<FruAddress> Parse(const std::string& text);
    // An unsigned number in C notation (decimal, 0x hex, leading 0 octal) up
    // to max, with no sign and nothing after it; nothing otherwise. The
    // address parts and the command's numeric operands are read with it.
    static std::optional<uint32_t> ParseNumber(const std::string& text, uint32_t max);
    bool operator==(const FruAddress&) const = default;
};
