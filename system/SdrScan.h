// Finding the system's FRU devices in the BMC's SDR repository: FRU device
// locator records (type 0x11) and management controller device locator
// records (type 0x12) of IPMI 1.5 become FruLocators.
#pragma once
#include "support/FruList.h"

#include <cstddef>
#include <cstdint>
#include <vector>

class FruLocator;

namespace Orvane {

// The id string of a record: up to 17 bytes and the terminating zero.
constexpr size_t kIdStringBytes = 18;

struct FruDeviceLocatorInfo {
    uint8_t accessAddress;
    uint8_t fruDeviceId;
    bool logical;
    uint8_t accessLun;
    uint8_t privateBus;
    uint8_t deviceType;
    char idString[kIdStringBytes];
};

struct ControllerLocatorInfo {
    uint8_t slaveAddress;
    char idString[kIdStringBytes];
};

struct SdrScanState {
    std::vector<FruDeviceLocatorInfo> fruLocatorRecords;         // sized by the counting pass
    std::vector<ControllerLocatorInfo> controllerLocatorRecords; // sized by the counting pass
    uint32_t decodedCounts[10];
    uint8_t supportedTypes[10];
};

// A raw record: the 5 header bytes and a body of at most 255 bytes. Read in
// pieces of 16 from offset 5, the last piece starts at 245, so the one-byte
// offset of Get SDR reaches every byte.
constexpr size_t kMaxRecordBytes = 5 + 255;

// Appends a locator for every FRU device and controller locator record; always 0.
uint32_t ScanSystemForFruLocators(FruList<FruLocator>* locators);

uint32_t InitSDRStruct(SdrScanState& state);
// Walks the repository twice: counts, allocates, then reads and decodes. A
// walk whose next record ids come back to a record already read ends there,
// keeping what it found.
uint32_t GetAllSDRRecs(SdrScanState& state);
uint32_t CountIPMI15SDRTypes(uint32_t counts[10], const uint8_t supportedTypes[10]);
// Sizes the two locator arrays by the counting pass's counts.
uint32_t SDR_MEM_Alloc(SdrScanState& state, const uint32_t counts[10]);
uint32_t ReadRecFromBMC(uint8_t record[kMaxRecordBytes], uint16_t* recordId);
uint32_t DecodeSDR(SdrScanState& state, const uint8_t* record);
uint32_t DecodeHeader(const uint8_t* record);
uint32_t DecodeSDRType11V15(const uint8_t* record, FruDeviceLocatorInfo& info);
uint32_t DecodeSDRType12V15(const uint8_t* record, ControllerLocatorInfo& info);
uint32_t CreateLocatorList(const SdrScanState& state, FruList<FruLocator>* locators);

} // namespace Orvane
