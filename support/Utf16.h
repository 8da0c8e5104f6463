// UTF-16 helpers: the printf-style formatter over char16_t formats and the
// conversions between the running locale's multibyte form and UTF-16.
#pragma once
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <string>

namespace Utf16 {
// Formats into out (capacity in code units, including the terminator). Output
// that does not fit is cut at capacity - 1 units and terminated; nothing is
// written past capacity. Supports %% %c %d %i %u %x %X %s(=%ls) %ls %hs with
// flags, width and precision. Returns the number of units written. Each
// directive reads the next argument as the type it names: the format must
// fit the arguments (catalogue entries are checked for that when loaded).
size_t Format(char16_t* out, size_t capacity, const char16_t* format, ...);
size_t FormatV(char16_t* out, size_t capacity, const char16_t* format, va_list args);

// One typed argument of FormatArguments.
struct Argument {
    enum Kind { kNumber, kWide, kNarrow };
    Kind kind = kNumber;
    int64_t number = 0;         // %d %i %u %x %X %c, and * widths
    const char16_t* wide = u""; // %ls
    const char* narrow = "";    // %hs
};
// The same with typed arguments: a directive whose argument is missing or of
// another kind is written as it stands and reads nothing.
size_t FormatArguments(char16_t* out, size_t capacity, const char16_t* format, const Argument* args,
                       size_t count);

// Text of at most kMaxStringUnits units, for formats of the code itself.
constexpr size_t kMaxStringUnits = 65536;
std::u16string FormatString(const char16_t* format, ...);

// Length of a terminated UTF-16 string.
size_t Length(const char16_t* s);

// Multibyte (running locale) to UTF-16; a byte the locale cannot convert becomes
// the character U+00bb of the same value, so no byte is lost.
std::u16string FromMultibyte(const char* bytes, size_t count);
std::u16string FromMultibyte(const std::string& bytes);
// UTF-16 to multibyte; a character U+0000..U+00FF that the locale cannot
// convert becomes the byte of that value. Returns false when a character can
// be neither converted nor mapped to one byte.
bool ToMultibyte(const char16_t* text, std::string& out);
// UTF-8 to UTF-16 and back, independent of the locale (catalogue sources, tools).
std::u16string FromUtf8(const std::string& utf8);
std::string ToUtf8(const std::u16string& text);
// Appends the UTF-8 bytes of one code point (up to 0x1FFFFF in four bytes).
void AppendUtf8(std::string& out, char32_t codePoint);
} // namespace Utf16
