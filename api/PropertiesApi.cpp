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

// The checks the property operations make after their entry line, in their
// fixed order: the library initialised (no trace line), the properties
// loaded and, for those that read the selected one, a property selected.
// ORVANE_OK, or the status after the failure line.
uint32_t PropertiesReady(const char16_t* name, bool needsSelection) {
    if (!initialised)
        return ORVANE_E_NOT_INITIALIZED;
    if (!state->propertiesLoaded)
        return Frame::Unexpected(name, ORVANE_E_NOT_LOADED);
    if (needsSelection && state->selectedProperty == LibraryState::kNone)
        return Frame::Unexpected(name, ORVANE_E_NOT_SELECTED);
    return ORVANE_OK;
}
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
    if (uint32_t status = PropertiesReady(u"Orvane::GetNumberOfProperties", false))
        return status;
    *count = kPropertyCount;
    ORV_EXIT(u"Orvane::GetNumberOfProperties");
    return ORVANE_OK;
}

ORVANE_API uint32_t SelectProperty(OrvaneInterface*, uint32_t index) {
    ORV_ENTRY(u"Orvane::SelectProperty");
    if (uint32_t status = PropertiesReady(u"Orvane::SelectProperty", false))
        return status;
    state->selectedProperty = LibraryState::kNone;
    if (index >= kPropertyCount)
        return Frame::Unexpected(u"Orvane::SelectProperty", ORVANE_E_BAD_ARGUMENT);
    state->selectedProperty = index;
    ORV_EXIT(u"Orvane::SelectProperty");
    return ORVANE_OK;
}

ORVANE_API uint32_t GetPropertyTitle(OrvaneInterface*, const OrvaneChar** title) {
    ORV_ENTRY(u"Orvane::GetPropertyTitle");
    if (uint32_t status = PropertiesReady(u"Orvane::GetPropertyTitle", true))
        return status;
    *title = Frame::GetString(kMsgFirstPropertyTitle + state->selectedProperty);
    ORV_EXIT(u"Orvane::GetPropertyTitle");
    return ORVANE_OK;
}

ORVANE_API uint32_t GetPropertyValue(OrvaneInterface*, const OrvaneChar** value) {
    ORV_ENTRY(u"Orvane::GetPropertyValue");
    if (uint32_t status = PropertiesReady(u"Orvane::GetPropertyValue", true))
        return status;
    const CFruProperties& p = state->properties;
    const char16_t* values[kPropertyCount] = {p.GetIpmiVersionString(), p.GetNumberOfFrusString(),
                                              p.GetNumberOfIpmiFrusString()};
    *value = values[state->selectedProperty];
    ORV_EXIT(u"Orvane::GetPropertyValue");
    return ORVANE_OK;
}

} // extern "C"
