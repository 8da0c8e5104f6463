// Process-wide frame services shared by every layer: catalogue lookup and the
// last-error text.
#pragma once
#include <cstddef>
#include <cstdint>

class StringResource;

namespace Frame {
// Each last-error buffer holds 512 UTF-16 code units, terminator included.
constexpr size_t kErrorBufferUnits = 512;

// The catalogue loaded by SetLanguageLocale, or null.
StringResource* Catalogue();
void ReplaceCatalogue(StringResource* catalogue); // takes ownership
// Catalogue entry at index, or null when no catalogue is loaded or the index
// does not exist.
const char16_t* GetString(uint32_t index);
// Formats the last-error text (printf-style wide format) into the current
// 512-unit error buffer, cut to 511 units. Returns the buffer, or null when the
// format is null or no buffer is current yet.
const char16_t* SetLastError(const char16_t* format, ...);
// The usual failure report: the catalogue entry of messageIndex becomes the
// last-error text; a text it takes is empty, a number 0.
void SetLastErrorMessage(uint32_t messageIndex);
// Empties both error buffers and makes the first one current (Initialize).
void ResetErrorBuffers();
// Hands over the current error text (null when empty or no buffer is current
// yet), then makes the other buffer current and empties it.
const char16_t* TakeLastError();
// The current error text without handing it over ("" when empty or no buffer
// is current yet), and a count of the texts set so far: a caller that notes
// the count before an operation can tell whether the text is that
// operation's.
const char16_t* PeekLastError();
uint32_t LastErrorCount();
} // namespace Frame

// Failure trace line at level 1 and the last-error text from a catalogue index,
// in one step, so no failure path can forget half of it.
#define ORV_FAIL_MSG(name, reason, index)                                                          \
    do {                                                                                           \
        ORV_FAIL(name, reason);                                                                    \
        Frame::SetLastErrorMessage(index);                                                         \
    } while (0)
