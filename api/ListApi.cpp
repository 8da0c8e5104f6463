// The exported list and FRU selection operations, and the two that reach one
// FRU device directly by its address.
#include "api/LibraryState.h"
#include "fru/CFru.h"
#include "orvane/orvane.h"
#include "support/Frame.h"
#include "support/MessageIds.h"
#include "support/Trace.h"
#include "system/FruImage.h"

#include <memory>
#include <new>

using Globals::initialised;
using Globals::state;

namespace {
constexpr size_t kNameUnits = 100; // a display name's buffer

void ResetFruSelection() {
    state->selectedFru = LibraryState::kNone;
    state->selectedArea = 0;
    state->selectedField = LibraryState::kNone;
}

void FillLocator(FruLocator& l, uint32_t nvsType, uint8_t lun, uint8_t deviceAddress, uint8_t bus,
                 uint8_t controller, uint8_t deviceId) {
    l.nvsType = nvsType;
    l.lun = lun;
    l.deviceAddress = deviceAddress;
    l.bus = bus;
    l.controller = controller;
    l.deviceId = deviceId;
}
} // namespace

extern "C" {

ORVANE_API uint32_t SelectList(OrvaneInterface*, uint32_t listId) {
    ORV_ENTRY(u"Orvane::SelectList");
    if (!initialised)
        return ORVANE_E_NOT_INITIALIZED;
    if (!state->loaded)
        return Frame::Unexpected(u"Orvane::SelectList", ORVANE_E_NOT_LOADED);
    state->currentList = nullptr;
    state->selectedList = LibraryState::kNoList;
    ResetFruSelection();
    if (listId == LibraryState::kSystemList)
        state->currentList = state->systemList.get();
    else if (listId == LibraryState::kFileList)
        state->currentList = state->fileList.get();
    else
        return Frame::Unexpected(u"Orvane::SelectList", ORVANE_E_BAD_ARGUMENT);
    state->selectedList = listId;
    ORV_EXIT(u"Orvane::SelectList");
    return ORVANE_OK;
}

ORVANE_API uint32_t GetNumberOfFrus(OrvaneInterface*, uint32_t* present, uint32_t* loaded) {
    ORV_ENTRY(u"Orvane::GetNumberOfFrus");
    if (!initialised)
        return ORVANE_E_NOT_INITIALIZED;
    if (!state->loaded)
        return Frame::Unexpected(u"Orvane::GetNumberOfFrus", ORVANE_E_NOT_LOADED);
    if (state->selectedList == LibraryState::kNoList || !state->currentList)
        return Frame::Unexpected(u"Orvane::GetNumberOfFrus", ORVANE_E_NOT_SELECTED);
    if (state->selectedList == LibraryState::kSystemList) {
        *present = state->locatorList->GetCount();
        *loaded = state->systemList->GetCount();
    } else {
        *present = *loaded = state->fileList->GetCount();
    }
    ORV_EXIT(u"Orvane::GetNumberOfFrus");
    return ORVANE_OK;
}

ORVANE_API uint32_t SelectFru(OrvaneInterface*, uint32_t index) {
    ORV_ENTRY(u"Orvane::SelectFru");
    if (!initialised)
        return ORVANE_E_NOT_INITIALIZED;
    if (!state->loaded)
        return Frame::Unexpected(u"Orvane::SelectFru", ORVANE_E_NOT_LOADED);
    if (!state->currentList)
        return Frame::Unexpected(u"Orvane::SelectFru", ORVANE_E_NOT_SELECTED);
    ResetFruSelection();
    if (index >= state->currentList->GetCount())
        return Frame::Unexpected(u"Orvane::SelectFru", ORVANE_E_BAD_ARGUMENT);
    state->selectedFru = index;
    ORV_EXIT(u"Orvane::SelectFru");
    return ORVANE_OK;
}

ORVANE_API uint32_t SelectFruByAddress(OrvaneInterface*, uint32_t nvsType, uint8_t lun,
                                       uint8_t deviceAddress, uint8_t bus, uint8_t controller,
                                       uint8_t deviceId) {
    ORV_ENTRY(u"Orvane::SelectFruByAddress");
    if (!initialised)
        return ORVANE_E_NOT_INITIALIZED;
    if (!state->loaded)
        return Frame::Unexpected(u"Orvane::SelectFruByAddress", ORVANE_E_NOT_LOADED);
    if (!state->currentList)
        return Frame::Unexpected(u"Orvane::SelectFruByAddress", ORVANE_E_NOT_SELECTED);
    ResetFruSelection();
    for (uint32_t i = 0; i < state->currentList->GetCount(); ++i) {
        const FruLocator& l = state->currentList->GetAt(i)->locator;
        if (l.nvsType == nvsType && static_cast<uint8_t>(l.lun) == lun &&
            l.deviceAddress == deviceAddress && l.bus == bus && l.controller == controller &&
            l.deviceId == deviceId) {
            state->selectedFru = i;
            ORV_EXIT(u"Orvane::SelectFruByAddress");
            return ORVANE_OK;
        }
    }
    Frame::SetLastErrorMessage(kMsgNotFound);
    ORV_FAIL(u"Orvane::SelectFruByAddress", u"Error - Not Found");
    return ORVANE_E_BAD_ARGUMENT;
}

ORVANE_API uint32_t GetFruAddress(OrvaneInterface*, uint32_t* nvsType, uint8_t* lun,
                                  uint8_t* deviceAddress, uint8_t* bus, uint8_t* controller,
                                  uint8_t* deviceId) {
    ORV_ENTRY(u"Orvane::GetFruAddress");
    if (!initialised)
        return ORVANE_E_NOT_INITIALIZED;
    if (!state->loaded)
        return Frame::Unexpected(u"Orvane::GetFruAddress", ORVANE_E_NOT_LOADED);
    if (!state->currentList || state->selectedFru == LibraryState::kNone)
        return Frame::Unexpected(u"Orvane::GetFruAddress", ORVANE_E_NOT_SELECTED);
    *nvsType = 3;
    *lun = *deviceAddress = *bus = *controller = *deviceId = 0;
    CFru* fru = state->currentList->GetAt(state->selectedFru);
    if (!fru)
        return Frame::Unexpected(u"Orvane::GetFruAddress", ORVANE_E_BAD_ARGUMENT);
    const FruLocator& l = fru->locator;
    *nvsType = l.nvsType;
    *lun = static_cast<uint8_t>(l.lun);
    *deviceAddress = l.deviceAddress;
    *bus = l.bus;
    *controller = l.controller;
    *deviceId = l.deviceId;
    ORV_EXIT(u"Orvane::GetFruAddress");
    return ORVANE_OK;
}

ORVANE_API uint32_t GetFruName(OrvaneInterface*, const OrvaneChar** name) {
    ORV_ENTRY(u"Orvane::GetFruName");
    if (!initialised)
        return ORVANE_E_NOT_INITIALIZED;
    if (!state->loaded)
        return Frame::Unexpected(u"Orvane::GetFruName", ORVANE_E_NOT_LOADED);
    if (!state->currentList || state->selectedFru == LibraryState::kNone)
        return Frame::Unexpected(u"Orvane::GetFruName", ORVANE_E_NOT_SELECTED);
    CFru* fru = state->currentList->GetAt(state->selectedFru);
    if (!fru)
        return Frame::Unexpected(u"Orvane::GetFruName", ORVANE_E_BAD_ARGUMENT);
    *name = fru->locator.GetName();
    ORV_EXIT(u"Orvane::GetFruName");
    return ORVANE_OK;
}

ORVANE_API uint32_t LoadFruAtAddress(OrvaneInterface*, uint32_t nvsType, uint8_t lun,
                                     uint8_t deviceAddress, uint8_t bus, uint8_t controller,
                                     uint8_t deviceId) {
    ORV_ENTRY(u"Orvane::LoadFruAtAddress");
    if (!initialised)
        return ORVANE_E_NOT_INITIALIZED;
    FruLocator locator;
    FillLocator(locator, nvsType, lun, deviceAddress, bus, controller, deviceId);
    std::unique_ptr<CFru> fru(new (std::nothrow) CFru());
    if (!fru) {
        Frame::Fail(u"Orvane::LoadFruAtAddress", u"FRU Error Allocation", kMsgNoMemory);
        return ORVANE_E_NO_MEMORY;
    }
    if (uint32_t status = FruImage::LoadFromSystem(*fru, &locator))
        return status;
    if (state->systemList->Append(fru.get())) {
        fru.release(); // the list owns it now
    } else {
        fru.reset();
        return Frame::Unexpected(u"Orvane::LoadFruAtAddress", ORVANE_E_INTERNAL);
    }
    state->loaded = true;
    ORV_EXIT(u"Orvane::LoadFruAtAddress");
    return ORVANE_OK;
}

ORVANE_API uint32_t FindFruAtAddressAndChecksumHeader(OrvaneInterface*, uint32_t nvsType,
                                                      uint8_t lun, uint8_t deviceAddress,
                                                      uint8_t bus, uint8_t controller,
                                                      uint8_t deviceId) {
    ORV_ENTRY(u"Orvane::FindFruAtAddressAndChecksumHeader");
    if (!initialised)
        return ORVANE_E_NOT_INITIALIZED;
    FruLocator locator;
    FillLocator(locator, nvsType, lun, deviceAddress, bus, controller, deviceId);
    uint8_t header[8] = {};
    if (uint32_t status = FruImage::ReadDataFromFRU(&locator, 0, sizeof header, header)) {
        Frame::SetLastErrorMessage(kMsgHeaderReadFailed);
        return status;
    }
    if ((header[0] & 0x07) != 1) {
        Frame::SetLastErrorMessage(kMsgNotIpmiFru);
        return ORVANE_E_NOT_IPMI_FRU;
    }
    uint32_t result = ORVANE_OK;
    if ((CFru::CalculateChecksum(header, 8) & 0xFF) != 0) {
        // The device has no name here; the message names it by its address.
        char16_t name[kNameUnits];
        Frame::SetLastError(Frame::GetString(kMsgBadHeader),
                            CFru::GetFriendlyFruIdentifier(&locator, name, sizeof name));
        result = ORVANE_E_HEADER_CHECKSUM;
    }
    ORV_EXIT(u"Orvane::FindFruAtAddressAndChecksumHeader");
    return result;
}

ORVANE_API uint32_t AddFruToSystemList(OrvaneInterface*) {
    ORV_ENTRY(u"Orvane::AddFruToSystemList");
    ORV_EXIT(u"Orvane::AddFruToSystemList");
    return ORVANE_E_NOT_IMPLEMENTED;
}

} // extern "C"
