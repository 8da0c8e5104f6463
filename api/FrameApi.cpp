// The exported frame: Initialize, DeInitialize, the load hook, the state
// queries and setters, the last error and the catalogue choice.
#include "api/LibraryState.h"
#include "orvane/orvane.h"
#include "support/Frame.h"
#include "support/MessageIds.h"
#include "support/StringResource.h"
#include "support/Trace.h"
#include "system/ControllerRequest.h"

#include <memory>
#include <new>
#include <string>

using namespace Globals;

namespace {
// An operation that needs nothing but an initialised library: its entry
// line, the check (no trace line), what it does, its exit line.
template <typename Action> uint32_t WhenInitialised(const char16_t* name, Action action) {
    ORV_ENTRY_AT(name);
    if (!initialised)
        return ORVANE_E_NOT_INITIALIZED;
    action();
    ORV_EXIT_AT(name);
    return ORVANE_OK;
}
} // namespace

extern "C" {

const uint32_t Revision = 0x00020000;

ORVANE_API uint32_t Initialize(OrvaneInterface* api) {
    ORV_ENTRY(u"Orvane::Initialize");
    Frame::ResetErrorBuffers();
    // A second Initialize builds a fresh state; the earlier one is released
    // rather than kept unreachable.
    initialised = false;
    ClearRecords();
    if (!LibraryState::Renew())
        return ORVANE_E_INIT_FAILED;
    if (api && api->setLanguage && api->setLanguage(api, u"en", u"us") != ORVANE_OK) {
        LibraryState::Release();
        return ORVANE_E_INIT_FAILED;
    }
    initialised = true;
    ORV_EXIT(u"Orvane::Initialize");
    return ORVANE_OK;
}

ORVANE_API uint32_t DeInitialize(OrvaneInterface*) {
    ORV_ENTRY(u"Orvane::DeInitialize");
    if (state && !initialised)
        return ORVANE_E_NOT_INITIALIZED;
    LibraryState::Release();
    initialised = false;
    Frame::ReplaceCatalogue(nullptr);
    ORV_EXIT(u"Orvane::DeInitialize");
    return ORVANE_OK;
}

ORVANE_API uint32_t DllMain(void*, uint32_t, void*) {
    ORV_ENTRY(u"Orvane::DllMain");
    ORV_EXIT(u"Orvane::DllMain");
    return 1;
}

ORVANE_API uint32_t IsLoaded(OrvaneInterface*, uint8_t* loaded) {
    return WhenInitialised(u"Orvane::IsLoaded", [&] { *loaded = state->loaded ? 1 : 0; });
}

ORVANE_API uint32_t IsModified(OrvaneInterface*, uint8_t* modified) {
    ORV_ENTRY(u"Orvane::IsModified");
    if (!initialised)
        return ORVANE_E_NOT_INITIALIZED;
    if (!state->loaded)
        return Frame::Unexpected(u"Orvane::IsModified", ORVANE_E_NOT_LOADED);
    *modified = state->modified ? 1 : 0;
    ORV_EXIT(u"Orvane::IsModified");
    return ORVANE_OK;
}

ORVANE_API uint32_t SetDebugLevel(OrvaneInterface*, uint32_t level) {
    return WhenInitialised(u"Orvane::SetDebugLevel", [&] { Trace::SetDebugLevel(level); });
}

ORVANE_API uint32_t SetProgressCallback(OrvaneInterface*, OrvaneProgressCallback callback) {
    return WhenInitialised(u"Orvane::SetProgressCallback",
                           [&] { state->progressCallback = callback; });
}

ORVANE_API uint32_t SetProgressCallbackInterval(OrvaneInterface*, uint32_t interval) {
    return WhenInitialised(u"Orvane::SetProgressCallbackInterval",
                           [&] { state->progressInterval = interval; });
}

ORVANE_API uint32_t GetLastErrorMessage(OrvaneInterface*, const OrvaneChar** message) {
    ORV_ENTRY(u"Orvane::GetLastErrorMessage");
    *message = nullptr;
    if (!initialised)
        return ORVANE_E_NOT_INITIALIZED;
    *message = Frame::TakeLastError();
    ORV_EXIT(u"Orvane::GetLastErrorMessage");
    return ORVANE_OK;
}

ORVANE_API uint32_t SetLanguageLocale(OrvaneInterface*, const OrvaneChar* language,
                                      const OrvaneChar* locale) {
    ORV_ENTRY(u"Orvane::SetLanguageLocale");
    std::unique_ptr<StringResource> catalogue(new (std::nothrow) StringResource());
    if (!catalogue) {
        ORV_FAIL(u"Orvane::SetLanguageLocale", u"Memory Allocation Error");
        return ORVANE_E_NO_MEMORY;
    }
    uint32_t code = StringResource::kNoPath;
    if (language && locale) {
        std::u16string path = std::u16string(language) + locale + u"/orvane/str/orvane.str";
        code = catalogue->Open(path.c_str(), 0);
        if (code == StringResource::kOk)
            code = catalogue->LoadAll();
    }
    if (code != StringResource::kOk) {
        catalogue.reset();
        ORV_FAIL(u"Orvane::SetLanguageLocale", u"Error Initializing String Resource");
        return ORVANE_E_STRING_RESOURCE;
    }
    Frame::ReplaceCatalogue(catalogue.release());
    ORV_EXIT(u"Orvane::SetLanguageLocale");
    return ORVANE_OK;
}

} // extern "C"

// The ELF load and unload hooks stand in for the process attach and detach
// notifications.
__attribute__((constructor)) static void OrvaneOnLoad() {
    DllMain(nullptr, 1, nullptr);
}
__attribute__((destructor)) static void OrvaneOnUnload() {
    DllMain(nullptr, 0, nullptr);
}
