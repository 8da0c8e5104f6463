#include "api/CoreAccess.h"

#include "api/LibraryState.h"
#include "fru/CFru.h"
#include "orvane/orvane.h"
#include "support/Frame.h"
#include "support/Globals.h"
#include "support/IpmiDefs.h"
#include "support/Utf16.h"
#include "system/ControllerRequest.h"
#include "system/DriverModule.h"
#include "system/FruImage.h"
#include "system/FruTransfer.h"

#include <algorithm>
#include <iterator>

namespace CoreAccess {

// --- Devices: located FRUs, their failures and their raw bytes ---

namespace {
constexpr uint32_t kMaxImagesPerLoad = 17;
constexpr uint32_t kReadPieceBytes = 0x8000;
constexpr uint32_t kDeviceReadError = 0xC0070028;

FruTransfer::DeviceAddress Transfer(const DeviceAddress& d) {
    return {d.nvsType, d.lun, d.bus, d.deviceAddress, d.controller, d.deviceId};
}

DeviceAddress AddressOf(const FruLocator& l) {
    DeviceAddress a;
    a.nvsType = l.nvsType;
    a.lun = static_cast<uint8_t>(l.lun);
    a.deviceAddress = l.deviceAddress;
    a.bus = l.bus;
    a.controller = l.controller;
    a.deviceId = l.deviceId;
    return a;
}

bool SameDevice(const FruLocator& a, const FruLocator& b) {
    return a.nvsType == b.nvsType && a.lun == b.lun && a.deviceAddress == b.deviceAddress &&
           a.bus == b.bus && a.controller == b.controller && a.deviceId == b.deviceId;
}

std::string Narrow(const char16_t* text) {
    return text ? Utf16::ToUtf8(std::u16string(text)) : std::string();
}

CFru* SelectedFru() {
    LibraryState* state = Globals::state;
    if (!Globals::initialised || !state || !state->currentList ||
        state->selectedFru == LibraryState::kNone)
        return nullptr;
    return state->currentList->GetAt(state->selectedFru);
}

// The bytes of one area as the commit writes them.
std::vector<uint8_t> AreaBytes(CFru& fru, uint32_t kind, uint32_t length) {
    const uint8_t* data = nullptr;
    switch (kind) {
    case ORVANE_AREA_INTERNAL_USE:
        data = fru.internalArea.GetData();
        break;
    case ORVANE_AREA_CHASSIS:
        data = fru.chassisArea.GetData();
        break;
    case ORVANE_AREA_BOARD:
        data = fru.boardArea.GetData();
        break;
    case ORVANE_AREA_PRODUCT:
        data = fru.productArea.GetData();
        break;
    default: {
        std::vector<uint8_t> bytes;
        for (const MultiRecord* r = fru.multiRecords; r; r = r->next) {
            bytes.insert(bytes.end(), r->header, r->header + FruDefs::kMultiRecHeaderBytes);
            bytes.insert(bytes.end(), r->data, r->data + r->DataLength());
        }
        return bytes;
    }
    }
    return data ? std::vector<uint8_t>(data, data + length) : std::vector<uint8_t>(length, 0);
}

uint8_t* HeaderOffsetOf(CFruHeader& h, uint32_t kind) {
    switch (kind) {
    case ORVANE_AREA_INTERNAL_USE:
        return &h.internalOffset;
    case ORVANE_AREA_CHASSIS:
        return &h.chassisOffset;
    case ORVANE_AREA_BOARD:
        return &h.boardOffset;
    case ORVANE_AREA_PRODUCT:
        return &h.productOffset;
    default:
        return &h.multiRecOffset;
    }
}
} // namespace

std::vector<LocatedDevice> LocatedDevices() {
    std::vector<LocatedDevice> devices;
    LibraryState* state = Globals::state;
    if (!Globals::initialised || !state)
        return devices;
    // The load appends the images it reads in locator order, so the system
    // list and the locator list are walked side by side.
    uint32_t image = 0;
    const uint32_t count = std::min(state->locatorList->GetCount(), kMaxImagesPerLoad);
    for (uint32_t i = 0; i < count; ++i) {
        const FruLocator* locator = state->locatorList->GetAt(i);
        if (!locator)
            break;
        LocatedDevice d;
        d.address = AddressOf(*locator);
        d.name = Narrow(locator->GetName());
        const CFru* fru = state->systemList->GetAt(image);
        if (fru && SameDevice(fru->locator, *locator)) {
            d.read = true;
            ++image;
        } else {
            Frame::TakeLastError();
            CFru scratch;
            d.status = FruImage::LoadFromSystem(scratch, locator);
            d.message = Narrow(Frame::TakeLastError());
        }
        devices.push_back(std::move(d));
    }
    return devices;
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

uint32_t DeviceSize(const DeviceAddress& device, uint32_t* size) {
    if (device.nvsType != FruTransfer::kKsbDevice)
        return kDeviceReadError;
    ControllerRequest request{}, response{};
    request.responderAddress = device.controller;
    request.netFn = Ipmi::kNetFnStorage;
    request.command = Ipmi::kCmdGetFruInventoryAreaInfo;
    request.data[0] = device.deviceId;
    request.dataLength = 1;
    const FruTransfer::DeviceAddress d = Transfer(device);
    const uint32_t result =
        FruTransfer::ReachedThroughBridge(d)
            ? FruTransfer::SendBridgedRequest(&request, &response, d.bus, d.deviceAddress,
                                              kRequestTimeoutMs)
            : SendRequest(&request, &response, kRequestTimeoutMs);
    if (result != 0)
        return result;
    if (response.completionCode != Ipmi::kCcOk || response.dataLength < 2)
        return kDeviceReadError;
    *size = response.data[0] | static_cast<uint32_t>(response.data[1]) << 8;
    return 0;
}

uint32_t ReadDevice(const DeviceAddress& device, uint32_t offset, uint32_t count,
                    std::vector<uint8_t>* bytes) {
    bytes->clear();
    const FruTransfer::DeviceAddress d = Transfer(device);
    while (count > 0) {
        uint16_t piece = static_cast<uint16_t>(std::min(count, kReadPieceBytes));
        const uint16_t asked = piece;
        std::vector<uint8_t> buffer(asked);
        const uint32_t status = FruTransfer::ReadDeviceData(d, offset, buffer.data(), &piece);
        bytes->insert(bytes->end(), buffer.begin(), buffer.begin() + std::min(piece, asked));
        if (status != 0)
            return status;
        offset += asked;
        count -= asked;
    }
    return 0;
}

uint32_t WriteDevice(const DeviceAddress& device, uint32_t offset,
                     const std::vector<uint8_t>& bytes) {
    return FruTransfer::WriteDeviceData(Transfer(device), offset, bytes.data(),
                                        static_cast<uint32_t>(bytes.size()));
}

bool SelectedCommitLayout(CommitLayout* layout) {
    CFru* fru = SelectedFru();
    if (!fru)
        return false;
    const FruImage::CommitPlan plan = FruImage::PlanCommit(*fru);
    const uint8_t* header = fru->header.GetData();
    layout->header.assign(header, header + FruDefs::kCommonHeaderBytes);
    layout->areas.clear();
    for (const FruImage::CommitArea& a : plan.areas) {
        if (!a.present)
            continue;
        AreaLayout area;
        area.kind = static_cast<int32_t>(a.kind);
        area.headerOffset = *HeaderOffsetOf(fru->header, a.kind) * FruDefs::kUnitBytes;
        area.commitOffset = a.offset;
        area.written = a.written;
        area.bytes = AreaBytes(*fru, a.kind, a.length);
        layout->areas.push_back(std::move(area));
    }
    layout->end = plan.end;
    return true;
}

bool RepackSelected() {
    CFru* fru = SelectedFru();
    if (!fru)
        return false;
    const FruImage::CommitPlan plan = FruImage::PlanCommit(*fru);
    for (const FruImage::CommitArea& a : plan.areas)
        if (a.present &&
            (a.offset % FruDefs::kUnitBytes != 0 || a.offset / FruDefs::kUnitBytes > 0xFF))
            return false;
    for (const FruImage::CommitArea& a : plan.areas) {
        if (!a.present)
            continue;
        *HeaderOffsetOf(fru->header, a.kind) = static_cast<uint8_t>(a.offset / FruDefs::kUnitBytes);
        switch (a.kind) {
        case ORVANE_AREA_INTERNAL_USE:
            fru->internalArea.MarkModified();
            break;
        case ORVANE_AREA_CHASSIS:
            fru->chassisArea.MarkModified();
            break;
        case ORVANE_AREA_BOARD:
            fru->boardArea.MarkModified();
            break;
        case ORVANE_AREA_PRODUCT:
            fru->productArea.MarkModified();
            break;
        default:
            fru->multiRecModified = true;
        }
    }
    CFruHeader& h = fru->header;
    const uint8_t first[] = {h.formatVersion,
                             h.internalOffset,
                             h.chassisOffset,
                             h.boardOffset,
                             h.productOffset,
                             h.multiRecOffset,
                             h.pad};
    h.checksum = static_cast<uint8_t>(CFru::CalculateChecksum(first, std::size(first)));
    return true;
}

int32_t CommitProgressArea(const char16_t* text) {
    if (!text)
        return 0;
    // The commit's step lines, in the order it sends them.
    static constexpr struct {
        uint32_t message;
        int32_t area;
    } steps[] = {{66, ORVANE_AREA_COMMON_HEADER},
                 {67, ORVANE_AREA_INTERNAL_USE},
                 {68, ORVANE_AREA_CHASSIS},
                 {69, ORVANE_AREA_BOARD},
                 {70, ORVANE_AREA_MULTIRECORD}};
    for (const auto& step : steps) {
        const char16_t* line = Frame::GetString(step.message);
        if (line && std::u16string_view(line) == std::u16string_view(text))
            return step.area;
    }
    return 0;
}

// --- Images: raw FRU images parsed area by area ---

} // namespace CoreAccess
