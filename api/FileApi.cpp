// The exported operations that load a FRU from a configuration file into the
// file list and save the selected FRU of the current list to a file.
#include "api/LibraryState.h"
#include "config/FruFileReader.h"
#include "config/FruFileWriter.h"
#include "fru/CFru.h"
#include "orvane/orvane.h"
#include "support/Frame.h"
#include "support/MessageIds.h"
#include "support/Trace.h"
#include "support/Utf16.h"

#include <memory>
#include <new>
#include <string>

using Globals::initialised;
using Globals::state;

namespace {

// The narrow copy of a wide path in the running locale's multibyte form.
// False when a character has no multibyte form: the operation then fails
// before any file is opened.
bool NarrowPath(const OrvaneChar* path, std::string& narrow) {
    return Utf16::ToMultibyte(path, narrow);
}
} // namespace

extern "C" {

ORVANE_API uint32_t LoadConfigurationFromFile(OrvaneInterface* api, const OrvaneChar* path) {
    ORV_ENTRY(u"Orvane::LoadConfigurationFromFile");
    if (!initialised)
        return ORVANE_E_NOT_INITIALIZED;
    std::unique_ptr<CFru> fru(new (std::nothrow) CFru());
    if (!fru) {
        Frame::Fail(u"Orvane::LoadConfigurationFromFile", u"FRU Error Allocation", kMsgNoMemory);
        return ORVANE_E_FRU_NO_MEMORY;
    }
    // A null path is handed on as a null narrow path; the reader refuses it.
    std::string narrow;
    if (path && !NarrowPath(path, narrow))
        return Frame::Unexpected(u"Orvane::LoadConfigurationFromFile", ORVANE_E_BAD_ARGUMENT);
    if (uint32_t status = FruFileReader::Read(*fru, path ? narrow.c_str() : nullptr); status != 0)
        return status;
    if (!state->fileList->Append(fru.get())) {
        Frame::Fail(u"Orvane::LoadConfigurationFromFile", u"FRU Error Allocation", kMsgNoMemory);
        return ORVANE_E_FRU_NO_MEMORY;
    }
    fru.release(); // the file list owns it now
    state->loaded = true;
    state->selectedFru = LibraryState::kNone;
    state->selectedArea = 0;
    state->selectedField = LibraryState::kNone;
    if (SelectList(api, LibraryState::kFileList) != ORVANE_OK)
        return Frame::Unexpected(u"Orvane::LoadConfigurationFromFile", ORVANE_E_INTERNAL);
    state->selectedFru = state->currentList->GetCount() - 1;
    ORV_EXIT(u"Orvane::LoadConfigurationFromFile");
    return ORVANE_OK;
}

ORVANE_API uint32_t SaveConfigurationToFile(OrvaneInterface*, const OrvaneChar* path) {
    ORV_ENTRY(u"Orvane::SaveConfigurationToFile");
    if (!initialised)
        return ORVANE_E_NOT_INITIALIZED;
    if (!state->loaded)
        return Frame::Unexpected(u"Orvane::SaveConfigurationToFile", ORVANE_E_NOT_LOADED);
    if (state->selectedList == LibraryState::kNoList || !state->currentList ||
        state->selectedFru == LibraryState::kNone)
        return Frame::Unexpected(u"Orvane::SaveConfigurationToFile", ORVANE_E_NOT_SELECTED);
    if (!path)
        return Frame::Unexpected(u"Orvane::SaveConfigurationToFile", ORVANE_E_FILE_CREATE);
    std::string narrow;
    if (!NarrowPath(path, narrow))
        return Frame::Unexpected(u"Orvane::SaveConfigurationToFile", ORVANE_E_BAD_ARGUMENT);
    CFru* fru = state->currentList->GetAt(state->selectedFru);
    if (!fru)
        return Frame::Unexpected(u"Orvane::SaveConfigurationToFile", ORVANE_E_BAD_ARGUMENT);
    const uint32_t status = FruFileWriter::Save(*fru, narrow.c_str());
    ORV_EXIT(u"Orvane::SaveConfigurationToFile");
    return status;
}
}
