// Moving bytes between memory and a FRU device: the request forms of each kind
// of storage, chunking, the reactions to completion codes, and bridging to
// controllers behind the BMC.
#pragma once
#include "fru/FruAddress.h"
#include "system/ControllerRequest.h"

#include <cstdint>

namespace FruTransfer {
// Storage kinds (the locator's NVS type).
constexpr uint32_t kAt24c02 = 0;
constexpr uint32_t kDs1624s = 1;
constexpr uint32_t kKsbDevice = 2;
constexpr uint32_t kNotAccessible = 3;

// Busy answers (0xC0) are resent at most this many times per chunk; then the
// transfer fails as for any other completion code.
constexpr uint32_t kBusyRetries = 16;

// How many bytes a device of the storage kind can address: Read and Write FRU
// Data and the AT24C02's two offset bytes reach 64 KiB, the DS1624S's one
// offset byte 256. A transfer that would reach past them is refused before
// any request goes out, so no offset ever wraps around to the start.
uint32_t AddressableBytes(uint32_t nvsType);

// The device a transfer reaches.
using DeviceAddress = FruAddress;

// Reads *count bytes at offset into destination; *count becomes the bytes read.
// Returns 0, ORVANE_E_DEVICE_READ, or a driver result unchanged.
uint32_t ReadDeviceData(const DeviceAddress& device, uint32_t offset, uint8_t* destination,
                        uint16_t* count);
// Writes count bytes from source at offset. Returns 0, ORVANE_E_DEVICE_WRITE, or a driver
// result unchanged.
uint32_t WriteDeviceData(const DeviceAddress& device, uint32_t offset, const uint8_t* source,
                         uint32_t count);
// Sends request to the controller at target on channel through the BMC's Send
// Message, and waits for its answer on the receive queue.
uint32_t SendBridgedRequest(const ControllerRequest* request, ControllerRequest* response,
                            uint8_t channel, uint8_t target, uint32_t timeoutMs);
// True when requests to the device go through the BMC's Send Message: FRU
// inventory devices on satellite controllers.
bool ReachedThroughBridge(const DeviceAddress& device);
// The bridge sequence number the next bridged request uses (1 to 63).
uint8_t NextBridgeSequence();
} // namespace FruTransfer

namespace FruUtility {
// The BMC's IPMI version byte from Get Device ID (0 when the request fails).
uint8_t GetIPMIRevision();
} // namespace FruUtility
