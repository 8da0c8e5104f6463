// The four ways a type/length byte says a field's bytes are stored, and
// their decoding into text: binary (shown as hex), BCD plus (two digits a
// byte), 6-bit packed ASCII (four characters in three bytes) and 8-bit text.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace FieldEncoding {
enum class Kind : uint8_t { Binary = 0, BcdPlus = 1, SixBitAscii = 2, Text = 3 };

// The kind of a type/length byte (bits 7..6).
Kind KindOf(uint8_t typeLength);
// The type bits (7..6) of a kind, as a field setter takes them.
uint8_t TypeBits(Kind kind);
// "binary", "bcd_plus", "6bit_ascii", "8bit_text": the JSON names.
const char* Key(Kind kind);
// A reader's name: "binary", "BCD plus", "6-bit ASCII", "8-bit text".
const char* Label(Kind kind);

// The field's bytes as UTF-8 text: hex pairs for binary, digits for BCD
// plus, characters for 6-bit ASCII, and 8-bit text read as UTF-8 whatever
// the locale (a byte that is not part of a UTF-8 character is kept as the
// character of its value, so nothing is lost).
std::string Decode(Kind kind, const std::vector<uint8_t>& bytes);

// The bytes that store a text in a packed kind (BCD plus, 6-bit ASCII), when
// every character has a code there and the stored form reads back as the
// text (a blank may be added to fill the last byte). Nothing otherwise.
std::optional<std::vector<uint8_t>> Encode(Kind kind, const std::string& text);
} // namespace FieldEncoding
