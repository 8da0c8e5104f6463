// The IPMI wire constants that the library and the driver modules share:
// network functions, commands, completion codes, addresses and SDR record
// types. Named once here so that the transfer code, the SDR scan, the
// simulated BMC and the freeipmi module speak of the same numbers.
#pragma once
#include <cstdint>

namespace Ipmi {

// Network functions (requests; the response is one higher).
constexpr uint8_t kNetFnApp = 0x06;
constexpr uint8_t kNetFnStorage = 0x0A;

// Application commands.
constexpr uint8_t kCmdGetDeviceId = 0x01;
constexpr uint8_t kCmdSendMessage = 0x34;
constexpr uint8_t kCmdGetMessage = 0x33;
constexpr uint8_t kCmdMasterWriteRead = 0x52;
constexpr uint8_t kCmdGetChannelCipherSuites = 0x54;

// Storage commands.
constexpr uint8_t kCmdGetFruInventoryAreaInfo = 0x10;
constexpr uint8_t kCmdReadFruData = 0x11;
constexpr uint8_t kCmdWriteFruData = 0x12;
constexpr uint8_t kCmdGetSdrRepositoryInfo = 0x20;
constexpr uint8_t kCmdReserveSdrRepository = 0x22;
constexpr uint8_t kCmdGetSdr = 0x23;

// Completion codes.
constexpr uint8_t kCcOk = 0x00;
constexpr uint8_t kCcWriteProtected = 0x80;  // Write FRU Data: the device is write-protected
constexpr uint8_t kCcNotAcknowledged = 0x83; // Master Write-Read: NAK on write
constexpr uint8_t kCcNodeBusy = 0xC0;
constexpr uint8_t kCcInvalidCommand = 0xC1;
constexpr uint8_t kCcReservationCancelled = 0xC5;
constexpr uint8_t kCcRequestDataTruncated = 0xC6;
constexpr uint8_t kCcRequestDataLengthInvalid = 0xC7;
constexpr uint8_t kCcRequestDataLengthExceeded = 0xC8;
constexpr uint8_t kCcParameterOutOfRange = 0xC9;
constexpr uint8_t kCcCannotReturnRequestedBytes = 0xCA;
constexpr uint8_t kCcRequestedDataNotPresent = 0xCB;
constexpr uint8_t kCcInvalidDataField = 0xCC;
constexpr uint8_t kCcInsufficientPrivilege = 0xD4;
constexpr uint8_t kCcUnspecified = 0xFF;

// The BMC's own slave address on IPMB.
constexpr uint8_t kBmcAddress = 0x20;

// The DS1624S thermometer's EEPROM access command behind Master Write-Read.
constexpr uint8_t kDs1624sAccessMemory = 0x17;

// SDR repository.
constexpr uint8_t kSdrVersion15 = 0x51;
constexpr uint8_t kSdrTypeFruLocator = 0x11;
constexpr uint8_t kSdrTypeControllerLocator = 0x12;
constexpr uint16_t kSdrLastRecordId = 0xFFFF;

// FRU devices reached through Read/Write FRU Data, and EEPROMs with two
// offset bytes, address at most 64 KiB.
constexpr uint32_t kFruOffsetLimit = 0x10000;
// The DS1624S's EEPROM takes one offset byte.
constexpr uint32_t kDs1624sOffsetLimit = 0x100;

} // namespace Ipmi
