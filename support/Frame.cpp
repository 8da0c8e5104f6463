#include "support/Frame.h"

#include "support/MessageIds.h"

#include "support/CatalogueSignatures.h"
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
uint32_t g_errorCount = 0;
// More than any catalogue entry takes.
constexpr size_t kMaxArguments = 8;
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
    ++g_errorCount;
    va_list args;
    va_start(args, format);
    Utf16::FormatV(g_currentError, kErrorBufferUnits, format, args);
    va_end(args);
    ORV_EXIT(u"Orvane::SetLastError");
    return g_currentError;
}

void Fail(const char16_t* name, const char16_t* reason, uint32_t messageIndex) {
    Trace::Write(name, u" - ", reason, Trace::kFailure);
    SetLastErrorMessage(messageIndex);
}

uint32_t Unexpected(const char16_t* name, uint32_t status) {
    Fail(name, u"Unexpected", kMsgUnexpected);
    return status;
}

void SetLastErrorMessage(uint32_t messageIndex) {
    const char16_t* format = GetString(messageIndex);
    ORV_ENTRY(u"Orvane::SetLastError");
    if (!format || !g_currentError)
        return;
    ++g_errorCount;
    // Entries that name a FRU or a file take texts, and a few take numbers;
    // where none is at hand each gets an empty text or 0 of the kind its
    // index takes.
    Utf16::Argument args[kMaxArguments];
    size_t count = 0;
    for (const char* k = CatalogueSignatures::Arguments(messageIndex); *k && count < kMaxArguments;
         ++k)
        args[count++].kind = *k == CatalogueSignatures::kWide     ? Utf16::Argument::kWide
                             : *k == CatalogueSignatures::kNarrow ? Utf16::Argument::kNarrow
                                                                  : Utf16::Argument::kNumber;
    Utf16::FormatArguments(g_currentError, kErrorBufferUnits, format, args, count);
    ORV_EXIT(u"Orvane::SetLastError");
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

const char16_t* PeekLastError() {
    return g_currentError ? g_currentError : u"";
}

uint32_t LastErrorCount() {
    return g_errorCount;
}
} // namespace Frame
