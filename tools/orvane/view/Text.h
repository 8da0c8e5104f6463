// Conversions between the library's UTF-16 texts and the terminal's UTF-8,
// and the hex forms of byte blocks.
#pragma once
#include "orvane/orvane.h"

#include <cstdarg>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace Text {
// UTF-8 of a NUL-terminated UTF-16 text; null gives "". Unpaired surrogates
// become U+FFFD.
std::string ToUtf8(const OrvaneChar* text);
// UTF-16 of a UTF-8 text (invalid bytes become U+FFFD).
std::u16string FromUtf8(const std::string& text);
// Upper-case hex pairs separated by blanks: "01 AB".
std::string Hex(const uint8_t* data, size_t size);
// Parses hex pairs with optional blanks, colons or a 0x prefix; nothing on error.
std::optional<std::vector<uint8_t>> ParseHex(const std::string& text);
// Parses a number in C notation (decimal, 0x hex); nothing on error or overflow.
std::optional<uint32_t> ParseNumber(const std::string& text, uint32_t max);
// The display width of UTF-8 text: characters as the terminal lays them out.
size_t Width(const std::string& utf8);
// The text padded with blanks to a display width, so titles with umlauts or
// wide characters line up.
std::string Padded(const std::string& utf8, size_t width);
// printf into a string (for translated formats whose words change order).
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string FormatV(const char* format, va_list args);
// The text quoted and escaped for JSON.
std::string JsonString(const std::string& utf8);
} // namespace Text
