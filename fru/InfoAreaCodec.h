// The steps the chassis, board and product info areas share: field parsing,
// the custom field chain, the end marker and padding, the checksum sum, pad
// length, serialization, setters and value rendering. The areas keep only
// their field tables and messages.
#pragma once
#include "fru/CCustomField.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace InfoAreaCodec {
// A fixed field: its type/length byte and its data followed by a zero byte
// (data length + 1 bytes; null until parsed or set).
struct Field {
    uint8_t typeLength = 0;
    std::unique_ptr<uint8_t[]> data;
    uint32_t Length() const { return FruDefs::DecodeLength(typeLength); }
};

// Outcome of a setter; the area turns it into its own trace line and message.
enum class SetResult { Ok, NullData, TooLong, NoSuchField, NoMemory };
// Outcome of rendering a custom field.
enum class CustomResult { Ok, NoSuchField, Unexpected, NoMemory };

// Reads one type/length byte and its data at pos. The field must end before
// the last input byte, since the end marker follows.
bool ParseField(const uint8_t* in, uint32_t size, uint32_t& pos, uint8_t& typeLength,
                std::unique_ptr<uint8_t[]>& data);
// Replaces the chain with the custom fields up to the end marker.
bool ParseCustomFields(const uint8_t* in, uint32_t size, uint32_t& pos, CCustomField*& chain,
                       uint32_t& count);
// End marker, then either a cut-off image (computeChecksum set; accepted only
// when the declared length is larger than the input) or zero padding and the
// checksum in the last byte of the declared length.
bool ParseTail(const uint8_t* in, uint32_t size, uint32_t pos, uint32_t areaBytes,
               bool& computeChecksum, uint8_t& checksum);

// Sum of the fields' and custom fields' type/length and data bytes and the end marker.
uint32_t FieldSum(const Field* fields, size_t fieldCount, const CCustomField* chain);
// Area bytes minus the fixed overhead and every field's bytes; negative when
// the contents no longer fit.
int32_t PadLength(uint8_t unitLength, uint32_t overhead, const Field* fields, size_t fieldCount,
                  const CCustomField* chain);
// Zeroes the 512-byte image, then writes the fields from pos, the custom
// fields, the end marker and the checksum at the last byte of the area. No
// write goes past the image.
void Serialize(uint8_t* image, uint32_t pos, const Field* fields, size_t fieldCount,
               const CCustomField* chain, uint8_t unitLength, uint8_t checksum);

CCustomField* CustomAt(CCustomField* chain, uint32_t position);
const CCustomField* CustomAt(const CCustomField* chain, uint32_t position);

// A fixed field setter: grows into the padding, gives bytes back on shrink.
SetResult SetField(Field& field, const uint8_t* data, uint32_t length, uint8_t typeBits,
                   int32_t padLength);
// Replaces the custom field at chain position.
SetResult SetCustom(CCustomField* chain, uint32_t position, const uint8_t* data, uint32_t length,
                    uint8_t typeBits, int32_t padLength);

// The bytes up to the first zero as a newly allocated wide string (running
// locale, each unconvertible byte kept as the character of its value); null
// data gives an empty string; null only when allocation fails.
char16_t* ToWide(const uint8_t* data, uint32_t maxLength);
// The custom field at position as a newly allocated wide string owned by the caller.
CustomResult CustomValue(const CCustomField* chain, uint32_t count, uint32_t position,
                         char16_t*& value);
// A copy of a catalogue string, or null.
char16_t* CopyWide(const char16_t* text);
} // namespace InfoAreaCodec
