// The steps the chassis, board and product info areas share: the image's
// length checks, field parsing, the custom field chain, the end marker and
// padding, the checksum, pad length, serialization, the setters with their
// failure reports, raw field data and value rendering. The areas keep only
// their header bytes, field tables and messages.
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

// How an area reports a setter it refuses: the operation its trace lines
// name, the reason it gives for a value that is too long (the board writes
// "FRU Data too long", the product "FRU Data Too Long") and the title that
// message 137 then carries. A setter given no report fails silently, as the
// chassis area's do.
struct Refusal {
    const char16_t* operation;
    const char16_t* tooLong;
    uint32_t title;
};

// Bytes 0 and 1 of an image, the format version and the length byte, each
// stored as soon as it is reached; true when the image may be parsed on from
// its third byte (1 to 512 bytes, no more than the declared length).
bool ParseStart(const uint8_t* in, uint32_t size, uint8_t& formatVersion, uint8_t& unitLength);
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
// Everything after the header bytes: the fixed fields from pos, the custom
// fields and the tail, stopping at the first step that fails.
bool ParseFields(const uint8_t* in, uint32_t size, uint32_t pos, Field* fields, size_t fieldCount,
                 CCustomField*& chain, uint32_t& customCount, uint32_t areaBytes,
                 bool& computeChecksum, uint8_t& checksum);

// Sum of the fields' and custom fields' type/length and data bytes and the end marker.
uint32_t FieldSum(const Field* fields, size_t fieldCount, const CCustomField* chain);
// The checksum byte that brings sum to 0 modulo 256, and whether it does.
uint8_t ChecksumFor(uint32_t sum);
bool ChecksumHolds(uint32_t sum, uint8_t checksum);
// Area bytes minus the fixed overhead and every field's bytes; negative when
// the contents no longer fit.
int32_t PadLength(uint8_t unitLength, uint32_t overhead, const Field* fields, size_t fieldCount,
                  const CCustomField* chain);
// A length in bytes as the length byte; false for one that is not a whole
// number of units or does not fit the 512-byte image buffer.
bool ToUnitLength(uint32_t bytes, uint8_t& unitLength);
// Zeroes the 512-byte image, writes the header bytes, the fields, the custom
// fields, the end marker and the checksum at the last byte of the area. No
// write goes past the image.
void Serialize(uint8_t* image, const uint8_t* head, uint32_t headLength, const Field* fields,
               size_t fieldCount, const CCustomField* chain, uint8_t unitLength, uint8_t checksum);

// Field values and setters count the custom fields from the last one of the
// image: the first custom field index reaches the last chain position.
uint32_t ReversedPosition(uint32_t index, uint32_t firstCustomIndex, uint32_t customCount);
CCustomField* CustomAt(CCustomField* chain, uint32_t position);
const CCustomField* CustomAt(const CCustomField* chain, uint32_t position);

// A fixed field setter: grows into the padding, gives bytes back on shrink.
// A refusal is reported through report, unless it is null.
bool SetField(Field& field, const uint8_t* data, uint32_t length, uint8_t typeBits,
              int32_t padLength, const Refusal* report);
// Replaces the custom field at chain position, reported likewise.
bool SetCustom(CCustomField* chain, uint32_t position, const uint8_t* data, uint32_t length,
               uint8_t typeBits, int32_t padLength, const Refusal* report);

// Raw field data: index 0 is the first fixed field, the custom fields follow
// in chain order. Past the last one, null, 0 and false.
bool FieldData(const Field* fields, size_t fieldCount, const CCustomField* chain,
               uint32_t customCount, uint32_t index, const uint8_t** data, uint32_t* size);
// Hands out bytes through the optional out-pointers; true.
bool HandOut(const uint8_t* bytes, uint32_t length, const uint8_t** data, uint32_t* size);

// The bytes up to the first zero as a newly allocated wide string (running
// locale, each unconvertible byte kept as the character of its value); null
// data gives an empty string; null only when allocation fails.
char16_t* ToWide(const uint8_t* data, uint32_t maxLength);
char16_t* ToWide(const Field& field);
// The custom field at position as a newly allocated wide string owned by the
// caller, and the status; the failures write lines named after operation
// (an allocation failure sets its message without a line unless
// traceNoMemory is set).
uint32_t CustomValue(const CCustomField* chain, uint32_t count, uint32_t position, char16_t** value,
                     const char16_t* operation, bool traceNoMemory);
// A copy of a catalogue string, or null.
char16_t* CopyWide(const char16_t* text);
} // namespace InfoAreaCodec
