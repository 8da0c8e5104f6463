// The exported system property operations.
#include "api/CFruProperties.h"
#include "api/LibraryState.h"
#include "orvane/orvane.h"
#include "support/Frame.h"
#include "support/MessageIds.h"
#include "support/Trace.h"

using Globals::initialised;
using Globals::state;

namespace {
constexpr uint32_t kPropertyCount = 3;
} // namespace

extern "C" {

ORVANE_API uint32_t LoadPropertiesFromSystem(OrvaneInterface*) {
    ORV_ENTRY(u"Orvane::LoadPropertiesFromSystem");
    if (!initialised)
        return ORVANE_E_NOT_INITIALIZED;
    uint32_t result = FruUtility::InitializeFruProperties(state->properties);
    if (result == 0)
        state->propertiesLoaded = true;
    ORV_EXIT(u"Orvane::LoadPropertiesFromSystem");
    return result;
}

ORVANE_API uint32_t GetNumberOfProperties(OrvaneInterface*, uint32_t* count) {
    ORV_ENTRY(u"Orvane::GetNumberOfProperties");
    if (!initialised)
        return ORVANE_E_NOT_INITIALIZED;
    if (!state->propertiesLoaded) {
        Frame::Fail(u"Orvane::GetNumberOfProperties", u"Unexpected", kMsgUnexpected);
        return ORVANE_E_NOT_LOADED;
    }
    *count = kPropertyCount;
    ORV_EXIT(u"Orvane::GetNumberOfProperties");
    return ORVANE_OK;
}

ORVANE_API uint32_t SelectProperty(OrvaneInterface*, uint32_t index) {
    ORV_ENTRY(u"Orvane::SelectProperty");
    if (!initialised)
        return ORVANE_E_NOT_INITIALIZED;
    if (!state->propertiesLoaded) {
        Frame::Fail(u"Orvane::SelectProperty", u"Unexpected", kMsgUnexpected);
        return ORVANE_E_NOT_LOADED;
    }
    state->selectedProperty = LibraryState::kNone;
    if (index >= kPropertyCount) {
        Frame::Fail(u"Orvane::SelectProperty", u"Unexpected", kMsgUnexpected);
        return ORVANE_E_BAD_ARGUMENT;
    }
    state->selectedProperty = index;
    ORV_EXIT(u"Orvane::SelectProperty");
    return ORVANE_OK;
}

ORVANE_API uint32_t GetPropertyTitle(OrvaneInterface*, const OrvaneChar** title) {
    ORV_ENTRY(u"Orvane::GetPropertyTitle");
    if (!initialised)
        return ORVANE_E_NOT_INITIALIZED;
    if (!state->propertiesLoaded) {
        Frame::Fail(u"Orvane::GetPropertyTitle", u"Unexpected", kMsgUnexpected);
        return ORVANE_E_NOT_LOADED;
    }
    if (state->selectedProperty == LibraryState::kNone) {
        Frame::Fail(u"Orvane::GetPropertyTitle", u"Unexpected", kMsgUnexpected);
        return ORVANE_E_NOT_SELECTED;
    }
    *title = Frame::GetString(kMsgFirstPropertyTitle + state->selectedProperty);
    ORV_EXIT(u"Orvane::GetPropertyTitle");
    return ORVANE_OK;
}

ORVANE_API uint32_t GetPropertyValue(OrvaneInterface*, const OrvaneChar** value) {
    ORV_ENTRY(u"Orvane::GetPropertyValue");
    if (!initialised)
        return ORVANE_E_NOT_INITIALIZED;
    if (!state->propertiesLoaded) {
        Frame::Fail(u"Orvane::GetPropertyValue", u"Unexpected", kMsgUnexpected);
        return ORVANE_E_NOT_LOADED;
    }
    if (state->selectedProperty == LibraryState::kNone) {
        Frame::Fail(u"Orvane::GetPropertyValue", u"Unexpected", kMsgUnexpected);
        return ORVANE_E_NOT_SELECTED;
    }
    const CFruProperties& p = state->properties;
    const char16_t* values[kPropertyCount] = {p.GetIpmiVersionString(), p.GetNumberOfFrusString(),
                                              p.GetNumberOfIpmiFrusString()};
    *value = values[state->selectedProperty];
    ORV_EXIT(u"Orvane::GetPropertyValue");
    return ORVANE_OK;
}

} // extern "C"
