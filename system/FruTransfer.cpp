#include "system/FruTransfer.h"

#include "orvane/orvane.h"
#include "support/IpmiDefs.h"
#include "support/Trace.h"
#include "system/ControllerRequest.h"
#include "system/DriverModule.h"

#include <chrono>
#include <cstring>
#include <thread>

namespace FruTransfer {
namespace {
constexpr uint32_t kBridgeBusy = 0xFFFFFE08;

uint8_t g_bridgeSequence = 1;

// Builds the read (data null) or write request of n bytes at offset.
void BuildRequest(const DeviceAddress& d, uint32_t offset, uint8_t n, const uint8_t* data,
                  ControllerRequest& r) {
    std::memset(&r, 0, sizeof r);
    uint8_t low = static_cast<uint8_t>(offset), high = static_cast<uint8_t>(offset >> 8);
    r.responderAddress = d.controller;
    size_t header;
    if (d.nvsType == kKsbDevice) {
        r.netFn = Ipmi::kNetFnStorage;
        r.command = data ? Ipmi::kCmdWriteFruData : Ipmi::kCmdReadFruData;
        r.data[0] = d.deviceId;
        r.data[1] = low;
        r.data[2] = high;
        r.data[3] = n;
        header = 3; // the count byte is only in the read form
        r.dataLength = data ? n + 3u : 4u;
    } else {
        r.netFn = Ipmi::kNetFnApp;
        r.lun = d.lun;
        r.command = Ipmi::kCmdMasterWriteRead;
        r.data[0] = d.bus;
        r.data[1] = d.deviceAddress;
        r.data[2] = data ? 0 : n;
        if (d.nvsType == kAt24c02) {
            r.data[3] = high;
            r.data[4] = low;
        } else {
            r.data[3] = Ipmi::kDs1624sAccessMemory;
            r.data[4] = low;
        }
        header = 5;
        r.dataLength = data ? n + 5u : 5u;
    }
    if (data)
        std::memcpy(r.data + header, data, n);
}

// FRU inventory devices on satellite controllers are reached through the BMC.
bool IsBridged(const DeviceAddress& d) {
    return d.nvsType == kKsbDevice && d.controller == Ipmi::kBmcAddress && d.bus != 0xFF &&
           d.deviceId == 0;
}

uint32_t Send(const DeviceAddress& d, const ControllerRequest& request,
              ControllerRequest& response) {
    if (IsBridged(d))
        return SendBridgedRequest(&request, &response, d.bus, d.deviceAddress, kRequestTimeoutMs);
    return SendRequest(&request, &response, kRequestTimeoutMs);
}

// The next chunk after a "too long" answer, or 0 when even one byte failed.
uint8_t Shrink(uint8_t chunk) {
    if (chunk == 1)
        return 0;
    return chunk > 4 ? static_cast<uint8_t>(chunk - 4) : 1;
}

} // namespace

uint32_t AddressableBytes(uint32_t nvsType) {
    return nvsType == kDs1624s ? Ipmi::kDs1624sOffsetLimit : Ipmi::kFruOffsetLimit;
}

namespace {
// One transfer loop for both directions: reads fill destination, writes send
// source. Chunks shrink on the direction's "too long" codes and busy answers
// are resent a bounded number of times.
struct Direction {
    bool write;
    uint32_t failure;
    const char16_t* failureLine;
    const char16_t* pastEndLine;
};

uint32_t Transfer(const Direction& dir, const DeviceAddress& device, uint32_t offset,
                  uint8_t* destination, const uint8_t* source, uint32_t count, uint32_t* moved) {
    uint32_t remaining = count;
    *moved = 0;
    uint8_t chunk = 8;
    uint32_t busy = 0;
    ControllerRequest request{}, response{};
    auto fail = [&]() {
        Trace::Write(dir.failureLine, Trace::kFailure);
        return dir.failure;
    };
    // The request forms carry 16 (DS1624S: 8) offset bits; bytes past them
    // would land at the start of the device.
    if (count > 0 && device.nvsType <= kKsbDevice) {
        const uint32_t limit = AddressableBytes(device.nvsType);
        if (offset >= limit || count > limit - offset) {
            Trace::Write(dir.pastEndLine, Trace::kFailure);
            return dir.failure;
        }
    }
    while (remaining > 0) {
        if (remaining < chunk)
            chunk = static_cast<uint8_t>(remaining);
        if (device.nvsType > kKsbDevice)
            return fail();
        BuildRequest(device, offset, chunk, dir.write ? source + *moved : nullptr, request);
        if (uint32_t result = Send(device, request, response))
            return result;
        uint8_t cc = response.completionCode;
        bool tooLong = dir.write ? cc == Ipmi::kCcRequestDataLengthInvalid
                                 : cc == Ipmi::kCcRequestDataLengthExceeded ||
                                       cc == Ipmi::kCcCannotReturnRequestedBytes;
        if (tooLong) {
            chunk = Shrink(chunk);
            if (chunk == 0)
                return fail();
            continue;
        }
        if (cc == Ipmi::kCcNodeBusy && ++busy <= kBusyRetries)
            continue;
        if (cc != Ipmi::kCcOk)
            return fail();
        busy = 0;
        if (!dir.write) {
            // FRU inventory answers start with the count returned; I2C answers
            // are the bytes alone. Bytes the answer does not hold read as 0
            // (the response's data was zeroed), so nothing is read past it.
            const uint8_t* bytes = response.data + (device.nvsType == kKsbDevice ? 1 : 0);
            std::memcpy(destination + *moved, bytes, chunk);
        }
        *moved += chunk;
        offset += chunk;
        remaining -= chunk;
    }
    return 0;
}
} // namespace

uint32_t ReadDeviceData(const DeviceAddress& device, uint32_t offset, uint8_t* destination,
                        uint16_t* count) {
    ORV_ENTRY(u"CFru::ReadDeviceData");
    static const Direction read{false, ORVANE_E_DEVICE_READ,
                                u"CFru::ReadDeviceData - Error Reading FRU",
                                u"CFru::ReadDeviceData - Read Past Last Device Offset"};
    uint32_t moved = 0;
    uint32_t status = Transfer(read, device, offset, destination, nullptr, *count, &moved);
    *count = static_cast<uint16_t>(moved);
    if (status == 0)
        ORV_EXIT(u"CFru::ReadDeviceData");
    return status;
}

uint32_t WriteDeviceData(const DeviceAddress& device, uint32_t offset, const uint8_t* source,
                         uint32_t count) {
    ORV_ENTRY(u"CFru::WriteDeviceData");
    static const Direction write{true, ORVANE_E_DEVICE_WRITE,
                                 u"CFru::WriteDeviceData - Error Writing FRU",
                                 u"CFru::WriteDeviceData - Write Past Last Device Offset"};
    uint32_t moved = 0;
    uint32_t status = Transfer(write, device, offset, nullptr, source, count, &moved);
    if (status == 0)
        ORV_EXIT(u"CFru::WriteDeviceData");
    return status;
}

uint32_t SendBridgedRequest(const ControllerRequest* request, ControllerRequest* response,
                            uint8_t channel, uint8_t target, uint32_t timeoutMs) {
    uint8_t sequence = g_bridgeSequence;
    g_bridgeSequence = static_cast<uint8_t>(sequence >= 63 ? 1 : sequence + 1);

    // The embedded request may carry at most what the outer record holds.
    uint32_t inner = request->dataLength > 56 ? 56 : request->dataLength;
    ControllerRequest outer{};
    outer.responderAddress = Ipmi::kBmcAddress;
    outer.netFn = Ipmi::kNetFnApp;
    outer.command = Ipmi::kCmdSendMessage;
    uint8_t* d = outer.data;
    d[0] = channel;
    d[1] = target;
    d[2] = static_cast<uint8_t>((request->netFn << 2) | (request->lun & 3));
    d[3] = static_cast<uint8_t>(-(target + d[2]));
    d[4] = Ipmi::kBmcAddress;
    d[5] = static_cast<uint8_t>((sequence << 2) | 2);
    d[6] = request->command;
    std::memcpy(d + 7, request->data, inner);
    uint8_t sum = 0;
    for (uint32_t i = 4; i < 7 + inner; ++i)
        sum = static_cast<uint8_t>(sum + d[i]);
    d[7 + inner] = static_cast<uint8_t>(-sum);
    outer.dataLength = inner + 8;

    for (int attempt = 1;; ++attempt) {
        if (uint32_t result = SendRequest(&outer, response, timeoutMs))
            return result;
        if (response->completionCode != Ipmi::kCcNotAcknowledged)
            break;
        if (attempt == 3)
            return kBridgeBusy;
        std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    }
    if (response->completionCode != Ipmi::kCcOk)
        return 0;

    // Wait for the answer with our sequence number; others are skipped. When
    // none arrives before the deadline the request has no answer: that is the
    // driver's no-answer result, never a silent success.
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    do {
        uint8_t message[64] = {};
        uint32_t length = sizeof message, flags = 0;
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        uint32_t wait = left.count() > 0 ? static_cast<uint32_t>(left.count()) : 0;
        uint32_t result = DriverModule::ReceiveMessage(message, &length, wait, &flags, 0);
        if (result != 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1)); // an empty queue
            continue;
        }
        if (length < 7 || length > sizeof message || (message[4] >> 2) != sequence)
            continue;
        *response = *request;
        response->lun = 2;
        response->completionCode = message[6];
        std::memset(response->data, 0, sizeof response->data);
        response->dataLength = length - 7;
        std::memcpy(response->data, message + 7, response->dataLength);
        return 0;
    } while (std::chrono::steady_clock::now() < deadline);
    return KSB_RESULT_TIMEOUT;
}

bool ReachedThroughBridge(const DeviceAddress& device) {
    return IsBridged(device);
}

uint8_t NextBridgeSequence() {
    return g_bridgeSequence;
}

} // namespace FruTransfer

namespace FruUtility {
uint8_t GetIPMIRevision() {
    ORV_ENTRY(u"FruUtility::GetIPMIRevision");
    ControllerRequest* request = &RequestRecord();
    ControllerRequest* response = &ResponseRecord();
    if (!request || !response) {
        ORV_EXIT(u"FruUtility::GetIPMIRevision");
        return 0;
    }
    std::memset(request, 0, sizeof *request);
    request->responderAddress = Ipmi::kBmcAddress;
    request->netFn = Ipmi::kNetFnApp;
    request->command = Ipmi::kCmdGetDeviceId;
    SendRequest(request, response, kRequestTimeoutMs);
    ORV_EXIT(u"FruUtility::GetIPMIRevision");
    return response->data[4];
}
} // namespace FruUtility
