#include "api/CoreAccess.h"

#include "api/LibraryState.h"
#include "fru/CFru.h"
#include "fru/FruDefs.h"
#include "fru/ImageLayout.h"
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
#include <memory>
#include <new>

namespace CoreAccess {

// --- Devices: located FRUs, their failures and their raw bytes ---

namespace {
// The statuses of a load that refused what a device holds.
constexpr uint32_t kContentFailures[] = {ORVANE_E_NOT_IPMI_FRU,     ORVANE_E_HEADER_CHECKSUM,
                                         ORVANE_E_BAD_INTERNAL_USE, ORVANE_E_BAD_CHASSIS_AREA,
                                         ORVANE_E_BAD_BOARD_AREA,   ORVANE_E_BAD_PRODUCT_AREA,
                                         ORVANE_E_BAD_MULTIRECORD};
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
    const uint32_t count = std::min(state->locatorList->GetCount(), state->deviceReadCount);
    for (uint32_t i = 0; i < count; ++i) {
        const FruLocator* locator = state->locatorList->GetAt(i);
        if (!locator)
            break;
        const LibraryState::DeviceRead& record = state->deviceReads[i];
        LocatedDevice d;
        d.address = AddressOf(*locator);
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

// --- Images: raw FRU images parsed area by area ---

namespace CoreAccess {
using Globals::state;
namespace {
using FruDefs::kMsgBadBoard;
using FruDefs::kMsgBadChassis;
using FruDefs::kMsgBadHeader;
using FruDefs::kMsgBadInternal;
using FruDefs::kMsgBadMultiRec;
using FruDefs::kMsgBadProduct;
using FruDefs::kMsgNotIpmiFru;
using FruDefs::kNameBufferBytes;
constexpr uint8_t kHeaderFormatMask = 0x07;

std::u16string Copy(const char16_t* text) {
    return text ? std::u16string(text) : std::u16string();
}

// The library's message of index, formatted with the FRU's display name,
// without leaving it behind as the last error.
std::u16string Message(uint32_t index, const FruLocator& locator) {
    char16_t name[kNameBufferBytes / 2];
    Frame::SetLastError(Frame::GetString(index),
                        CFru::GetFriendlyFruIdentifier(&locator, name, kNameBufferBytes));
    return Copy(Frame::TakeLastError());
}

uint8_t OffsetOf(const CFruHeader& h, int32_t kind) {
    switch (kind) {
    case ORVANE_AREA_INTERNAL_USE:
        return h.internalOffset;
    case ORVANE_AREA_CHASSIS:
        return h.chassisOffset;
    case ORVANE_AREA_BOARD:
        return h.boardOffset;
    case ORVANE_AREA_PRODUCT:
        return h.productOffset;
    case ORVANE_AREA_MULTIRECORD:
        return h.multiRecOffset;
    default:
        return 0;
    }
}

// The fields of an info area: fixed fields by their type/length bytes, then
// the custom chain in image order, each with the index its value comes from.
template <typename Area>
void InfoFields(Area& area, const std::vector<uint8_t>& fixedTypeLengths, uint32_t untyped,
                AreaImage* out) {
    const uint32_t fixed = static_cast<uint32_t>(fixedTypeLengths.size()) + untyped;
    const uint32_t customCount = area.GetNumberOfCustomFields();
    const CCustomField* custom = area.GetCustomFields();
    for (uint32_t i = 0; i < fixed + customCount; ++i) {
        FieldImage f;
        f.custom = i >= fixed;
        f.valueIndex = f.custom ? fixed + (customCount - 1 - (i - fixed)) : i;
        f.title = Copy(area.GetFieldTitleFromIndex(f.valueIndex));
        f.value = Copy(area.GetFieldValueFromIndex(f.valueIndex));
        const uint8_t* data = nullptr;
        uint32_t size = 0;
        if (area.GetFieldData(i, &data, &size) && data)
            f.data.assign(data, data + size);
        if (i >= untyped && !f.custom) {
            f.typed = true;
            f.typeLength = fixedTypeLengths[i - untyped];
        } else if (f.custom && custom) {
            f.typed = true;
            f.typeLength = custom->typeLength;
            custom = custom->next;
        }
        out->fields.push_back(std::move(f));
    }
    out->formatVersion = area.GetFormatVersion();
    out->padLength = area.GetPadLength();
}

// Fills the fields of an area that its object holds.
void DescribeArea(CFru& fru, AreaImage* a) {
    switch (a->kind) {
    case ORVANE_AREA_INTERNAL_USE: {
        CInternalUseArea& area = fru.internalArea;
        if (area.GetLength() == 0)
            break;
        FieldImage f;
        f.title = Copy(area.GetFieldTitleFromIndex(0));
        f.value = Copy(area.GetFieldValueFromIndex(0));
        f.data.assign(area.GetData(), area.GetData() + area.GetLength());
        a->fields.push_back(std::move(f));
        a->formatVersion = area.GetData()[0];
        break;
    }
    case ORVANE_AREA_CHASSIS: {
        CChassisInfoArea& area = fru.chassisArea;
        InfoFields(area, {area.GetPartNumberTL(), area.GetSerialNumberTL()}, 1, a);
        a->chassisType = area.GetType();
        break;
    }
    case ORVANE_AREA_BOARD: {
        CBoardInfoArea& area = fru.boardArea;
        InfoFields(area,
                   {area.GetManufacturerTL(), area.GetProductNameTL(), area.GetSerialNumberTL(),
                    area.GetPartNumberTL(), area.GetFileIdTL()},
                   1, a);
        a->languageCode = area.GetLanguageCode();
        a->hasLanguage = true;
        break;
    }
    case ORVANE_AREA_PRODUCT: {
        CProductInfoArea& area = fru.productArea;
        InfoFields(area,
                   {area.GetManufacturerNameTL(), area.GetProductNameTL(), area.GetPartNumberTL(),
                    area.GetVersionTL(), area.GetSerialNumberTL(), area.GetAssetTagTL(),
                    area.GetFileIdTL()},
                   0, a);
        a->languageCode = area.GetLanguageCode();
        a->hasLanguage = true;
        break;
    }
    default:
        break;
    }
}

// The bytes an area holds in memory, as they would be written.
std::vector<uint8_t> HeldBytes(CFru& fru, int32_t kind) {
    std::vector<uint8_t> bytes;
    auto take = [&bytes](const uint8_t* data, uint32_t length) {
        bytes.assign(data, data + length);
    };
    switch (kind) {
    case ORVANE_AREA_INTERNAL_USE:
        take(fru.internalArea.GetData(), fru.internalArea.GetLength());
        break;
    case ORVANE_AREA_CHASSIS:
        take(fru.chassisArea.GetData(), fru.chassisArea.GetLength());
        break;
    case ORVANE_AREA_BOARD:
        take(fru.boardArea.GetData(), fru.boardArea.GetLength());
        break;
    case ORVANE_AREA_PRODUCT:
        take(fru.productArea.GetData(), fru.productArea.GetLength());
        break;
    case ORVANE_AREA_MULTIRECORD: {
        bytes.resize(fru.multiRecLength);
        uint32_t size = fru.multiRecLength;
        if (fru.SerializeMultiRecArea(bytes.data(), &size) != 0)
            size = 0;
        bytes.resize(size);
        break;
    }
    default:
        break;
    }
    return bytes;
}

// Gives the area object of kind the area's bytes, as far as the image's
// layout says the area reaches; sets the problem when the object refuses
// them or they run past the image.
void ParseArea(CFru& fru, const std::vector<uint8_t>& image, const ImageLayout::Area& extent,
               AreaImage* a) {
    const uint8_t* start = image.data() + a->offset;
    const uint32_t available = static_cast<uint32_t>(image.size() - a->offset);
    uint32_t declared = extent.declared;
    bool taken = false;
    switch (a->kind) {
    case ORVANE_AREA_INTERNAL_USE:
        if (extent.misplaced)
            a->problem = AreaProblem::Placement;
        // The area class holds at most one area's bytes.
        declared = std::min<uint32_t>(extent.shownEnd - extent.offset, FruDefs::kMaxAreaBytes);
        taken = fru.internalArea.SetData(start, std::min(declared, available), 0);
        break;
    case ORVANE_AREA_CHASSIS:
    case ORVANE_AREA_BOARD:
    case ORVANE_AREA_PRODUCT:
        taken = a->kind == ORVANE_AREA_CHASSIS ? fru.chassisArea.SetData(start, extent.readable)
                : a->kind == ORVANE_AREA_BOARD ? fru.boardArea.SetData(start, extent.readable)
                                               : fru.productArea.SetData(start, extent.readable);
        if (!taken && extent.checksummed && extent.storedChecksum != extent.computedChecksum)
            a->problem = AreaProblem::Checksum;
        break;
    case ORVANE_AREA_MULTIRECORD:
        taken = fru.SetMultiRecArea(start, static_cast<uint16_t>(extent.readable), 0) == 0 &&
                fru.CheckMultiRecCheckSum() && extent.readable == declared;
        if (!taken)
            a->problem = AreaProblem::Records;
        break;
    default:
        break;
    }
    a->bytes.assign(start, start + std::min(declared, available));
    if (declared > available && a->problem == AreaProblem::None)
        a->problem = AreaProblem::OutsideImage;
    else if (!taken && a->problem == AreaProblem::None)
        a->problem = AreaProblem::Refused;
    if (taken || a->kind == ORVANE_AREA_INTERNAL_USE)
        DescribeArea(fru, a);
}

// The catalogue's area names by kind (internal use, chassis, board,
// product, multi-record).
constexpr uint32_t kAreaNames[] = {7, 4, 5, 6, 8};

std::u16string AreaName(int32_t kind) {
    return Copy(Frame::GetString(kAreaNames[kind - ORVANE_AREA_INTERNAL_USE]));
}

// The areas the header declares, in the order of kinds, each with its kind,
// name and offset; the rest is the caller's to fill.
std::vector<AreaImage> DeclaredAreas(const CFruHeader& header) {
    std::vector<AreaImage> areas;
    for (int32_t kind = ORVANE_AREA_INTERNAL_USE; kind <= ORVANE_AREA_MULTIRECORD; ++kind) {
        const uint32_t offset = OffsetOf(header, kind) * FruDefs::kUnitBytes;
        if (offset == 0)
            continue;
        AreaImage a;
        a.kind = kind;
        a.name = AreaName(kind);
        a.offset = offset;
        areas.push_back(std::move(a));
    }
    return areas;
}

uint32_t AreaMessage(int32_t kind) {
    switch (kind) {
    case ORVANE_AREA_INTERNAL_USE:
        return kMsgBadInternal;
    case ORVANE_AREA_CHASSIS:
        return kMsgBadChassis;
    case ORVANE_AREA_BOARD:
        return kMsgBadBoard;
    case ORVANE_AREA_PRODUCT:
        return kMsgBadProduct;
    default:
        return kMsgBadMultiRec;
    }
}
} // namespace

ImageView ParseImage(const std::vector<uint8_t>& image, const std::u16string& name) {
    ImageView view;
    auto fru = std::unique_ptr<CFru>(new (std::nothrow) CFru());
    if (!fru)
        return view;
    fru->locator.SetName(name.c_str());
    const size_t headerBytes = std::min<size_t>(image.size(), FruDefs::kCommonHeaderBytes);
    view.header.assign(image.begin(), image.begin() + static_cast<ptrdiff_t>(headerBytes));
    if (headerBytes < FruDefs::kCommonHeaderBytes || (image[0] & kHeaderFormatMask) != 1) {
        view.headerMessage = Message(kMsgNotIpmiFru, fru->locator);
        return view;
    }
    fru->DecodeHeader(image.data());
    if (!fru->header.IsValid()) {
        view.headerMessage = Message(kMsgBadHeader, fru->locator);
        return view;
    }
    view.headerValid = true;
    view.accepted = true;
    const ImageLayout::Layout layout = ImageLayout::Parse(image);
    view.areas = DeclaredAreas(fru->header);
    for (size_t i = 0; i < view.areas.size(); ++i) {
        AreaImage& a = view.areas[i];
        if (layout.areas[i].pastImage)
            a.problem = AreaProblem::OutsideImage;
        else
            ParseArea(*fru, image, layout.areas[i], &a);
        if (a.problem != AreaProblem::None) {
            a.message = Message(AreaMessage(a.kind), fru->locator);
            view.accepted = false;
        }
    }
    return view;
}

bool DescribeSelected(ImageView* view) {
    if (!state || !state->currentList || state->selectedFru == LibraryState::kNone)
        return false;
    CFru* fru = state->currentList->GetAt(state->selectedFru);
    if (!fru)
        return false;
    *view = ImageView();
    view->header.resize(FruDefs::kCommonHeaderBytes);
    fru->SerializeCommonHeader(view->header.data());
    view->headerValid = true;
    view->accepted = true;
    view->areas = DeclaredAreas(fru->header);
    for (AreaImage& a : view->areas) {
        a.bytes = HeldBytes(*fru, a.kind);
        DescribeArea(*fru, &a);
    }
    return true;
}

bool ImageOfSelected(std::vector<uint8_t>* image) {
    ImageView view;
    if (!DescribeSelected(&view))
        return false;
    image->assign(view.header.begin(), view.header.end());
    std::vector<bool> used(FruDefs::kCommonHeaderBytes, true);
    for (const AreaImage& a : view.areas) {
        const size_t end = a.offset + a.bytes.size();
        if (end > image->size()) {
            image->resize(end, 0xFF);
            used.resize(end, false);
        }
        for (size_t i = a.offset; i < end; ++i) {
            if (used[i])
                return false;
            used[i] = true;
            (*image)[i] = a.bytes[i - a.offset];
        }
    }
    return true;
}

namespace {
// Sets an info area's length, and takes it back when its fields no longer fit.
template <typename Area> bool Resize(Area& area, uint32_t bytes) {
    const uint32_t before = area.GetLength();
    if (!area.SetLength(bytes))
        return false;
    if (area.GetPadLength() >= 0)
        return true;
    area.SetLength(before);
    return false;
}
} // namespace

bool ResizeSelectedArea(int32_t kind, uint32_t bytes) {
    CFru* fru = SelectedFru();
    if (!fru)
        return false;
    switch (kind) {
    case ORVANE_AREA_CHASSIS:
        return fru->HasChassisArea() && Resize(fru->chassisArea, bytes);
    case ORVANE_AREA_BOARD:
        return fru->HasBoardArea() && Resize(fru->boardArea, bytes);
    case ORVANE_AREA_PRODUCT:
        return fru->HasProductArea() && Resize(fru->productArea, bytes);
    default:
        return false;
    }
}

uint32_t SetSelectedField(const uint8_t* data, uint32_t length, uint8_t typeBits) {
    if (!state || !state->currentList || state->selectedFru == LibraryState::kNone ||
        state->selectedField == LibraryState::kNone)
        return ORVANE_E_NOT_SELECTED;
    CFru* fru = state->currentList->GetAt(state->selectedFru);
    static const uint8_t kNoBytes[1] = {0};
    const uint8_t* bytes = data ? data : kNoBytes;
    const uint32_t index = state->selectedField;
    bool ok = false;
    switch (fru ? state->selectedArea : 0) {
    case ORVANE_AREA_CHASSIS:
        ok = fru->chassisArea.SetFieldData(index, bytes, length, typeBits);
        break;
    case ORVANE_AREA_BOARD:
        ok = fru->boardArea.SetFieldData(index, bytes, length, typeBits);
        break;
    case ORVANE_AREA_PRODUCT:
        ok = fru->productArea.SetFieldData(index, bytes, length, typeBits);
        break;
    default:
        return ORVANE_E_UNSUPPORTED;
    }
    return ok ? ORVANE_OK : ORVANE_E_SET_FIELD_DATA;
}
} // namespace CoreAccess
