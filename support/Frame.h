// Process-wide frame services shared by every layer: catalogue lookup and the
// last-error text.
#pragma once
#include "support/Trace.h"

#include <cstddef>
#include <cstdint>
#include <type_traits>

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
// The usual failure report, in one step so that no failure path can forget
// half of it: the level-1 trace line "name - reason" (none when name is null),
// then the catalogue entry of messageIndex as the last-error text. With args
// the entry is formatted with them (an argument that is a callable is called
// only after the trace line, for texts whose making writes trace lines of its
// own); without, a text it takes is empty and a number 0.
void Fail(const char16_t* name, const char16_t* reason, uint32_t messageIndex);
// The failure of an operation called out of order or given a bad argument:
// Fail with the reason "Unexpected" and its message. Gives back status, for
// the operation to return.
uint32_t Unexpected(const char16_t* name, uint32_t status);
template <typename... Args>
void Fail(const char16_t* name, const char16_t* reason, uint32_t messageIndex, Args&&... args) {
    Trace::Write(name, u" - ", reason, Trace::kFailure);
    auto value = [](auto&& arg) -> decltype(auto) {
        if constexpr (std::is_invocable_v<decltype(arg)>)
            return arg();
        else
            return arg;
    };
    SetLastError(GetString(messageIndex), value(args)...);
}
} // namespace Frame
