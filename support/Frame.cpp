#include "support/Frame.h"

#include "support/StringResource.h"
#include "support/Trace.h"
#include "support/Utf16.h"

#include <cstdarg>

namespace Frame {
namespace {
StringResource* g_catalogue = nullptr;
// The two last-error buffers: one is current and collects failures, the other
// holds the text last handed to the host.
char16_t g_errorBuffers[2][kErrorBufferUnits] = {};
char16_t* g_currentError = nullptr;
} // namespace

StringResource* Catalogue() {
    return g_catalogue;
}

void ReplaceCatalogue(StringResource* catalogue) {
    if (g_catalogue == catalogue)
        return;
    delete g_catalogue;
    g_catalogue = catalogue;
}

const char16_t* GetString(uint32_t index) {
    return g_catalogue ? g_catalogue->GetString(index) : nullptr;
}

const char16_t* SetLastError(const char16_t* format, ...) {
    ORV_ENTRY(u"Orvane::SetLastError");
    if (!format || !g_currentError)
        return nullptr;
    va_list args;
    va_start(args, format);
    Utf16::FormatV(g_currentError, kErrorBufferUnits, format, args);
    va_end(args);
    ORV_EXIT(u"Orvane::SetLastError");
    return g_currentError;
}

void SetLastErrorMessage(uint32_t messageIndex) {
    // Entries that name a FRU or a file take texts; where none is at hand they
    // get empty ones, so no directive ever reads a missing argument.
    SetLastError(GetString(messageIndex), u"", "");
}

void ResetErrorBuffers() {
    g_errorBuffers[0][0] = 0;
    g_errorBuffers[1][0] = 0;
    g_currentError = g_errorBuffers[0];
}

const char16_t* TakeLastError() {
    if (!g_currentError)
        return nullptr;
    char16_t* handed = g_currentError;
    g_currentError = handed == g_errorBuffers[0] ? g_errorBuffers[1] : g_errorBuffers[0];
    g_currentError[0] = 0;
    return handed[0] ? handed : nullptr;
}
} // namespace Frame
