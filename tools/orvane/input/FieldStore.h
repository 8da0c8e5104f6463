// How a text is stored in an info area's field, as set stores it: in the
// encoding the input forces, else in the packed encoding the field already
// uses when the text can be stored there, else as 8-bit text; and the limits
// every FRU reader relies on (at most 63 bytes, no one-byte 8-bit text, whose
// type/length byte 0xC1 ends the area).
#pragma once
#include "decode/FieldEncoding.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace FieldStore {
// The kind of a JSON encoding name ("8bit_text", "6bit_ascii", "bcd_plus",
// "binary"); 8-bit text for any other.
FieldEncoding::Kind KindOfKey(const std::string& key);

// The bytes and the type bits (7..6) that store value in a field now held in
// the encoding current. "" when it can be stored, else why not.
std::string Encode(const std::string& value, std::optional<FieldEncoding::Kind> forced,
                   FieldEncoding::Kind current, std::vector<uint8_t>* bytes, uint8_t* typeBits);
} // namespace FieldStore
