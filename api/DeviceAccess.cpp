#include "api/DeviceAccess.h"

#include "api/LibraryState.h"
#include "fru/FruLocator.h"
#include "orvane/orvane.h"
#include "support/InstallPaths.h"
#include "support/IpmiDefs.h"
#include "support/Utf16.h"
#include "system/ControllerRequest.h"
#include "system/DriverModule.h"
#include "system/FruImage.h"
#include "system/FruTransfer.h"

#include <algorithm>
#include <iterator>

namespace DeviceAccess {
namespace {
// The statuses of a load that refused what a device holds.
constexpr uint32_t kContentFailures[] = {ORVANE_E_NOT_IPMI_FRU,     ORVANE_E_HEADER_CHECKSUM,
                                         ORVANE_E_BAD_INTERNAL_USE, ORVANE_E_BAD_CHASSIS_AREA,
                                         ORVANE_E_BAD_BOARD_AREA,   ORVANE_E_BAD_PRODUCT_AREA,
                                         ORVANE_E_BAD_MULTIRECORD};
constexpr uint32_t kReadPieceBytes = 0x8000;

std::string Narrow(const char16_t* text) {
    return text ? Utf16::ToUtf8(std::u16string(text)) : std::string();
}
} // namespace

std::vector<LocatedDevice> LocatedDevices() {
    std::vector<LocatedDevice> devices;
    LibraryState* state = Globals::state;
    if (!Globals::initialised || !state)
        return devices;
    const uint32_t count = std::min(state->locatorList->GetCount(), state->deviceReadCount);
    for (uint32_t i = 0; i < count; ++i) {
        const FruLocator* locator = state->locatorList->GetAt(i);
        if (!locator)
            break;
        const LibraryState::DeviceRead& record = state->deviceReads[i];
        LocatedDevice d;
        d.address = FruImage::AddressOf(*locator);
        d.name = Narrow(locator->GetName());
        d.read = record.read;
        if (!record.read) {
            d.status = record.status;
            d.message = Narrow(record.message);
            d.damaged = std::find(std::begin(kContentFailures), std::end(kContentFailures),
                                  record.status) != std::end(kContentFailures);
        }
        devices.push_back(std::move(d));
    }
    return devices;
}

std::string DataFolder() {
    return InstallPaths::DataFolder();
}

uint32_t ProbeController() {
    ControllerRequest request{}, response{};
    request.responderAddress = Ipmi::kBmcAddress;
    request.netFn = Ipmi::kNetFnApp;
    request.command = Ipmi::kCmdGetDeviceId;
    return SendRequest(&request, &response, kRequestTimeoutMs);
}

void SetDriverReasonSink(void (*sink)(const char* reason)) {
    DriverModule::SetReasonSink(sink);
}

uint32_t DeviceSize(const FruAddress& device, uint32_t* size) {
    if (device.nvsType != FruTransfer::kKsbDevice)
        return ORVANE_E_DEVICE_READ;
    ControllerRequest request{}, response{};
    request.responderAddress = device.controller;
    request.netFn = Ipmi::kNetFnStorage;
    request.command = Ipmi::kCmdGetFruInventoryAreaInfo;
    request.data[0] = device.deviceId;
    request.dataLength = 1;
    const uint32_t result =
        FruTransfer::ReachedThroughBridge(device)
            ? FruTransfer::SendBridgedRequest(&request, &response, device.bus, device.deviceAddress,
                                              kRequestTimeoutMs)
            : SendRequest(&request, &response, kRequestTimeoutMs);
    if (result != 0)
        return result;
    if (response.completionCode != Ipmi::kCcOk || response.dataLength < 2)
        return ORVANE_E_DEVICE_READ;
    *size = response.data[0] | static_cast<uint32_t>(response.data[1]) << 8;
    return 0;
}

void ForgetCachedReads() {
    DriverModule::ForgetCachedReads();
}

uint32_t ReadDevice(const FruAddress& device, uint32_t offset, uint32_t count,
                    std::vector<uint8_t>* bytes) {
    bytes->clear();
    while (count > 0) {
        uint16_t piece = static_cast<uint16_t>(std::min(count, kReadPieceBytes));
        const uint16_t asked = piece;
        std::vector<uint8_t> buffer(asked);
        const uint32_t status = FruTransfer::ReadDeviceData(device, offset, buffer.data(), &piece);
        bytes->insert(bytes->end(), buffer.begin(), buffer.begin() + std::min(piece, asked));
        if (status != 0)
            return status;
        offset += asked;
        count -= asked;
    }
    return 0;
}

uint32_t WriteDevice(const FruAddress& device, uint32_t offset, const std::vector<uint8_t>& bytes) {
    return FruTransfer::WriteDeviceData(device, offset, bytes.data(),
                                        static_cast<uint32_t>(bytes.size()));
}

} // namespace DeviceAccess
