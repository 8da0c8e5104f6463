// The exported operations that load every FRU of the system and commit the
// selected one back to its device.
#include "api/LibraryState.h"
#include "fru/CFru.h"
#include "orvane/orvane.h"
#include "support/Frame.h"
#include "support/MessageIds.h"
#include "support/Trace.h"
#include "support/Utf16.h"
#include "system/FruImage.h"
#include "system/SdrScan.h"

#include <memory>
#include <new>

using Globals::initialised;
using Globals::state;

namespace {
constexpr uint32_t kMaxImagesPerLoad = LibraryState::kMaxImagesPerLoad;
constexpr size_t kProgressTextUnits = 256; // 255 units and the terminator
} // namespace

extern "C" {

ORVANE_API uint32_t LoadConfigurationFromSystem(OrvaneInterface*) {
    ORV_ENTRY(u"Orvane::LoadConfigurationFromSystem");
    if (!initialised)
        return ORVANE_E_NOT_INITIALIZED;
    FruList<FruLocator>* locators = state->locatorList.get();
    FruList<CFru>* images = state->systemList.get();
    if (state->progressCallback)
        state->progressCallback(ORVANE_PROGRESS_LOAD, Frame::GetString(kMsgScanning),
                                locators->GetCount(), images->GetCount());
    Orvane::ScanSystemForFruLocators(locators);

    uint32_t count = locators->GetCount();
    state->deviceReadCount = 0;
    for (uint32_t i = 0; i < count && i < kMaxImagesPerLoad; ++i) {
        FruLocator* locator = locators->GetAt(i);
        if (!locator)
            break;
        std::unique_ptr<CFru> fru(new (std::nothrow) CFru());
        if (!fru) {
            Frame::Fail(u"Orvane::LoadConfigurationFromSystem", u"FRU Error Allocation",
                        kMsgNoMemory);
            return ORVANE_E_FRU_NO_MEMORY;
        }
        // A device that cannot be read is skipped; its status and message
        // are kept (the last-error text stays the host's to take).
        LibraryState::DeviceRead& record = state->deviceReads[state->deviceReadCount++];
        record = LibraryState::DeviceRead();
        const uint32_t errorsBefore = Frame::LastErrorCount();
        uint32_t status = FruImage::LoadFromSystem(*fru, locator);
        if (status == 0) {
            if (images->Append(fru.get()))
                fru.release(); // the list owns it now
            else
                status = ORVANE_E_FRU_NO_MEMORY;
        }
        if (status != 0) {
            record.status = status;
            if (Frame::LastErrorCount() != errorsBefore)
                Utf16::Format(record.message, Frame::kErrorBufferUnits, u"%ls",
                              Frame::PeekLastError());
            continue;
        }
        record.read = true;
        char16_t text[kProgressTextUnits];
        Utf16::Format(text, kProgressTextUnits, Frame::GetString(kMsgReadCount), images->GetCount(),
                      locators->GetCount());
        if (state->progressCallback)
            state->progressCallback(ORVANE_PROGRESS_LOAD, text, images->GetCount(),
                                    locators->GetCount());
    }
    state->loaded = true;
    ORV_EXIT(u"Orvane::LoadConfigurationFromSystem");
    return ORVANE_OK;
}

ORVANE_API uint32_t CommitConfigurationToSystem(OrvaneInterface*) {
    ORV_ENTRY(u"Orvane::CommitConfigurationToSystem");
    if (!initialised)
        return ORVANE_E_NOT_INITIALIZED;
    if (!state->loaded)
        return Frame::Unexpected(u"Orvane::CommitConfigurationToSystem", ORVANE_E_NOT_LOADED);
    CFru* fru = state->selectedList == LibraryState::kSystemList &&
                        state->selectedFru != LibraryState::kNone
                    ? state->systemList->GetAt(state->selectedFru)
                    : nullptr;
    if (!fru)
        return Frame::Unexpected(u"Orvane::CommitConfigurationToSystem", ORVANE_E_BAD_ARGUMENT);
    uint32_t result = ORVANE_OK;
    if (FruImage::WriteToSystem(*fru, state->progressCallback) != 0) {
        ORV_FAIL(u"Orvane::CommitConfigurationToSystem", u"Write FRU Error");
        result = ORVANE_E_DEVICE_WRITE;
    }
    ORV_EXIT(u"Orvane::CommitConfigurationToSystem");
    return result;
}

} // extern "C"
