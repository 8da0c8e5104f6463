#include "system/SdrScan.h"

#include "fru/FruLocator.h"
#include "orvane/orvane.h"
#include "support/IpmiDefs.h"
#include "support/Trace.h"
#include "system/ControllerRequest.h"

#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace Orvane {
namespace {

constexpr uint8_t kPiece = 16;
constexpr size_t kHeaderBytes = 5;

constexpr uint8_t kSupportedTypes[10] = {0x01, 0x02, 0x08, 0x09, 0x10,
                                         0x11, 0x12, 0x13, 0x14, 0xC0};

SdrScanState g_scan{};

int TypeIndex(const uint8_t supported[10], uint8_t type) {
    for (int i = 0; i < 10; ++i)
        if (supported[i] == type)
            return i;
    return -1;
}

// Reserve SDR Repository; the reservation id is left in the response record.
uint8_t Reserve() {
    ControllerRequest* request = &RequestRecord();
    std::memset(request, 0, sizeof *request);
    request->responderAddress = 0x20;
    request->netFn = Ipmi::kNetFnStorage;
    request->command = Ipmi::kCmdReserveSdrRepository;
    SendRequest(request, &ResponseRecord(), kRequestTimeoutMs);
    return ResponseRecord().completionCode;
}

// Get SDR of n bytes at offset, with the reservation of the last Reserve.
uint8_t GetSdr(const uint8_t reservation[2], uint16_t recordId, uint8_t offset, uint8_t n) {
    ControllerRequest* request = &RequestRecord();
    std::memset(request, 0, sizeof *request);
    request->responderAddress = 0x20;
    request->netFn = Ipmi::kNetFnStorage;
    request->command = Ipmi::kCmdGetSdr;
    request->data[0] = reservation[0];
    request->data[1] = reservation[1];
    request->data[2] = static_cast<uint8_t>(recordId);
    request->data[3] = static_cast<uint8_t>(recordId >> 8);
    request->data[4] = offset;
    request->data[5] = n;
    request->dataLength = 6;
    SendRequest(request, &ResponseRecord(), kRequestTimeoutMs);
    return ResponseRecord().completionCode;
}

uint16_t NextRecordId() {
    const uint8_t* d = ResponseRecord().data;
    return static_cast<uint16_t>(d[0] | (d[1] << 8));
}

// The id string: length in bits 4..0 of byte 15 (31 counts as 0), bytes from 16.
uint8_t IdStringLength(const uint8_t* record) {
    uint8_t length = record[15] & 0x1F;
    return length == 31 ? 0 : length;
}

void CopyIdString(const uint8_t* record, char (&target)[kIdStringBytes]) {
    // Strings longer than the decoded record holds are cut at 17 bytes.
    size_t length = IdStringLength(record);
    if (length > kIdStringBytes - 1)
        length = kIdStringBytes - 1;
    std::memcpy(target, record + 16, length);
    target[length] = 0;
}

// The record ids a walk has read, so that a repository whose next ids lead
// back to a record already read cannot keep the walk going for ever.
class VisitedIds {
  public:
    // True the first time an id is seen.
    bool Visit(uint16_t id) {
        if (seen[id])
            return false;
        seen[id] = true;
        return true;
    }

  private:
    std::vector<bool> seen = std::vector<bool>(0x10000, false);
};

// A locator record's header (DecodeHeader), then its length against its ID
// string's; failure is the trace line of a wrong length.
uint32_t CheckRecord(const uint8_t* record, const char16_t* failure) {
    if (uint32_t status = DecodeHeader(record))
        return status;
    if (record[4] + kHeaderBytes != 16u + IdStringLength(record)) {
        Trace::Write(failure, Trace::kFailure);
        return ORVANE_E_SDR_RECORD_LENGTH;
    }
    return 0;
}

} // namespace

uint32_t ScanSystemForFruLocators(FruList<FruLocator>* locators) {
    ORV_ENTRY(u"Orvane::ScanSystemForFruLocators");
    InitSDRStruct(g_scan);
    GetAllSDRRecs(g_scan);
    CreateLocatorList(g_scan, locators);
    ORV_EXIT(u"Orvane::ScanSystemForFruLocators");
    return 0;
}

uint32_t InitSDRStruct(SdrScanState& state) {
    ORV_ENTRY(u"Orvane::InitSDRStruct");
    std::memcpy(state.supportedTypes, kSupportedTypes, sizeof kSupportedTypes);
    std::memset(state.decodedCounts, 0, sizeof state.decodedCounts);
    ORV_EXIT(u"Orvane::InitSDRStruct");
    return 0;
}

uint32_t CountIPMI15SDRTypes(uint32_t counts[10], const uint8_t supportedTypes[10]) {
    ORV_ENTRY(u"Orvane::CountIPMI15SDRTypes");
    std::memset(counts, 0, 10 * sizeof counts[0]);
    uint16_t recordId = 0;
    VisitedIds visited;
    do {
        if (!visited.Visit(recordId)) {
            ORV_FAIL(u"Orvane::CountIPMI15SDRTypes", u"SDR Record Id Loop");
            break;
        }
        if (Reserve() != 0) {
            ORV_FAIL(u"Orvane::CountIPMI15SDRTypes", u"Error Reserving SDR");
            return ORVANE_E_SDR_RESERVE;
        }
        uint8_t reservation[2] = {ResponseRecord().data[0], ResponseRecord().data[1]};
        if (GetSdr(reservation, recordId, 0, kHeaderBytes) != 0) {
            ORV_FAIL(u"Orvane::CountIPMI15SDRTypes", u"Error Reading SDR");
            return ORVANE_E_SDR_READ;
        }
        int index = TypeIndex(supportedTypes, ResponseRecord().data[2 + 3]);
        if (index < 0) {
            ORV_FAIL(u"Orvane::CountIPMI15SDRTypes", u"Unsupported SDR");
            return ORVANE_E_SDR_UNSUPPORTED;
        }
        ++counts[index];
        recordId = NextRecordId();
    } while (recordId != Ipmi::kSdrLastRecordId);
    ORV_EXIT(u"Orvane::CountIPMI15SDRTypes");
    return 0;
}

uint32_t SDR_MEM_Alloc(SdrScanState& state, const uint32_t counts[10]) {
    ORV_ENTRY(u"Orvane::SDR_MEM_Alloc");
    // The arrays hold what the counting pass found, no more.
    try {
        state.fruLocatorRecords.assign(
            counts[TypeIndex(state.supportedTypes, Ipmi::kSdrTypeFruLocator)], {});
        state.controllerLocatorRecords.assign(
            counts[TypeIndex(state.supportedTypes, Ipmi::kSdrTypeControllerLocator)], {});
    } catch (const std::bad_alloc&) {
        state.fruLocatorRecords.clear();
        state.controllerLocatorRecords.clear();
        return ORVANE_E_SDR_READ;
    }
    ORV_EXIT(u"Orvane::SDR_MEM_Alloc");
    return 0;
}

uint32_t GetAllSDRRecs(SdrScanState& state) {
    ORV_ENTRY(u"Orvane::GetAllSDRRecs");
    std::memset(state.decodedCounts, 0, sizeof state.decodedCounts);
    uint32_t counts[10];
    if (CountIPMI15SDRTypes(counts, state.supportedTypes) != 0) {
        ORV_FAIL(u"Orvane::GetAllSDRRecs", u"Error Reading SDR");
        return ORVANE_E_SDR_READ;
    }
    if (uint32_t status = SDR_MEM_Alloc(state, counts))
        return status;
    uint16_t recordId = 0;
    uint8_t record[kMaxRecordBytes];
    VisitedIds visited;
    do {
        if (!visited.Visit(recordId)) {
            ORV_FAIL(u"Orvane::GetAllSDRRecs", u"SDR Record Id Loop");
            break;
        }
        if (uint32_t status = ReadRecFromBMC(record, &recordId))
            return status;
        if (uint32_t status = DecodeSDR(state, record))
            return status;
    } while (recordId != Ipmi::kSdrLastRecordId);
    ORV_EXIT(u"Orvane::GetAllSDRRecs");
    return 0;
}

uint32_t ReadRecFromBMC(uint8_t record[kMaxRecordBytes], uint16_t* recordId) {
    ORV_ENTRY(u"Orvane::ReadRecFromBMC");
    if (Reserve() != 0) {
        ORV_FAIL(u"Orvane::ReadRecFromBMC", u"Error Reserving SDR");
        return ORVANE_E_SDR_RESERVE;
    }
    if (ResponseRecord().dataLength != 2) {
        ORV_FAIL(u"Orvane::ReadRecFromBMC", u"Bad SDR Reserve Length");
        return ORVANE_E_SDR_RESERVATION;
    }
    uint8_t reservation[2] = {ResponseRecord().data[0], ResponseRecord().data[1]};
    uint16_t id = *recordId;
    std::memset(record, 0, kMaxRecordBytes);
    if (GetSdr(reservation, id, 0, kHeaderBytes) != 0) {
        ORV_FAIL(u"Orvane::ReadRecFromBMC", u"Error Reading SDR");
        return ORVANE_E_SDR_READ;
    }
    *recordId = NextRecordId();
    std::memcpy(record, ResponseRecord().data + 2, kHeaderBytes);
    const size_t total = record[4] + kHeaderBytes;
    for (size_t offset = kHeaderBytes; offset < total;) {
        uint8_t n = static_cast<uint8_t>(total - offset < kPiece ? total - offset : kPiece);
        if (GetSdr(reservation, id, static_cast<uint8_t>(offset), n) != 0) {
            ORV_FAIL(u"Orvane::ReadRecFromBMC", u"Error Reading SDR");
            return ORVANE_E_SDR_READ;
        }
        std::memcpy(record + offset, ResponseRecord().data + 2, n);
        offset += n;
    }
    ORV_EXIT(u"Orvane::ReadRecFromBMC");
    return 0;
}

uint32_t DecodeSDR(SdrScanState& state, const uint8_t* record) {
    ORV_ENTRY(u"Orvane::DecodeSDR");
    uint8_t type = record[3];
    int index = TypeIndex(state.supportedTypes, type);
    if (index < 0) {
        ORV_FAIL(u"Orvane::DecodeSDR", u"Unsupported SDR");
        return ORVANE_E_SDR_UNSUPPORTED;
    }
    uint32_t& decoded = state.decodedCounts[index];
    uint32_t status = 0;
    // A record beyond what the counting pass sized is skipped, not decoded.
    if (type == Ipmi::kSdrTypeFruLocator && decoded < state.fruLocatorRecords.size())
        status = DecodeSDRType11V15(record, state.fruLocatorRecords[decoded]);
    else if (type == Ipmi::kSdrTypeControllerLocator &&
             decoded < state.controllerLocatorRecords.size())
        status = DecodeSDRType12V15(record, state.controllerLocatorRecords[decoded]);
    else {
        ORV_EXIT(u"Orvane::DecodeSDR");
        return 0;
    }
    if (status != 0)
        return status;
    ++decoded;
    ORV_EXIT(u"Orvane::DecodeSDR");
    return 0;
}

uint32_t DecodeHeader(const uint8_t* record) {
    ORV_ENTRY(u"Orvane::DecodeHeader");
    if (record[4] < 5) {
        ORV_FAIL(u"Orvane::DecodeHeader", u"Bad SDR Header Length");
        return ORVANE_E_SDR_HEADER_LENGTH;
    }
    if (record[2] != Ipmi::kSdrVersion15) {
        ORV_FAIL(u"Orvane::DecodeHeader", u"Unsupported IPMI Version");
        return ORVANE_E_SDR_VERSION;
    }
    ORV_EXIT(u"Orvane::DecodeHeader");
    return 0;
}

uint32_t DecodeSDRType11V15(const uint8_t* record, FruDeviceLocatorInfo& info) {
    ORV_ENTRY(u"Orvane::DecodeSDRType11V15");
    if (uint32_t status =
            CheckRecord(record, u"Orvane::DecodeSDRType11V15 - Bad SDR Record Length"))
        return status;
    info.accessAddress = record[5] & 0xFE;
    info.logical = (record[7] & 0x80) != 0;
    info.fruDeviceId = info.logical ? record[6] : record[6] & 0xFE;
    info.accessLun = (record[7] >> 3) & 0x03;
    info.privateBus = record[7] & 0x07;
    info.deviceType = record[10];
    CopyIdString(record, info.idString);
    ORV_EXIT(u"Orvane::DecodeSDRType11V15");
    return 0;
}

uint32_t DecodeSDRType12V15(const uint8_t* record, ControllerLocatorInfo& info) {
    ORV_ENTRY(u"Orvane::DecodeSDRType12V15");
    if (uint32_t status =
            CheckRecord(record, u"Orvane::DecodeSDRType12V15 - Bad SDR Record Length"))
        return status;
    info.slaveAddress = record[5] & 0xFE;
    CopyIdString(record, info.idString);
    ORV_EXIT(u"Orvane::DecodeSDRType12V15");
    return 0;
}

uint32_t CreateLocatorList(const SdrScanState& state, FruList<FruLocator>* locators) {
    ORV_ENTRY(u"Orvane::CreateLocatorList");
    if (!locators) {
        ORV_EXIT(u"Orvane::CreateLocatorList");
        return 0;
    }
    uint32_t fruCount =
        state.decodedCounts[TypeIndex(state.supportedTypes, Ipmi::kSdrTypeFruLocator)];
    uint32_t controllerCount =
        state.decodedCounts[TypeIndex(state.supportedTypes, Ipmi::kSdrTypeControllerLocator)];
    for (uint32_t i = 0; i < fruCount && i < state.fruLocatorRecords.size(); ++i) {
        const FruDeviceLocatorInfo& r = state.fruLocatorRecords[i];
        std::unique_ptr<FruLocator> locator(new (std::nothrow) FruLocator());
        if (!locator)
            return 0;
        locator->deviceAddress = r.logical ? r.accessAddress : r.fruDeviceId;
        locator->bus = (!r.logical && r.fruDeviceId == 0x20) ? 0xFF : r.privateBus;
        locator->deviceId = r.fruDeviceId;
        locator->controller = r.accessAddress;
        locator->lun = r.accessLun;
        locator->nvsType = r.deviceType == 0x02 ? 1 : r.deviceType == 0x10 ? 2 : 0;
        locator->SetName(r.idString);
        if (locators->Append(locator.get()))
            locator.release(); // the list owns it now
    }
    for (uint32_t i = 0; i < controllerCount && i < state.controllerLocatorRecords.size(); ++i) {
        const ControllerLocatorInfo& r = state.controllerLocatorRecords[i];
        std::unique_ptr<FruLocator> locator(new (std::nothrow) FruLocator());
        if (!locator)
            return 0;
        locator->deviceAddress = r.slaveAddress;
        locator->bus = r.slaveAddress == 0x20 ? 0xFF : 0;
        locator->SetName(r.idString);
        if (locators->Append(locator.get()))
            locator.release(); // the list owns it now
    }
    ORV_EXIT(u"Orvane::CreateLocatorList");
    return 0;
}

} // namespace Orvane
