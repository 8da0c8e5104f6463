// Wire-format constants of FRU images and the type/length byte decoder.
#pragma once
#include <cstdint>

namespace FruDefs {
// Type/length byte: bits 7..6 type code, bits 5..0 data length.
constexpr uint8_t kLengthMask = 0x3F;
constexpr uint8_t kTypeMask = 0xC0;
constexpr uint32_t kMaxFieldLength = 63;
// Type code 3, length 1: ends the fields of an info area.
constexpr uint8_t kEndOfFields = 0xC1;

// Offsets in the common header and info area length bytes count 8-byte units.
constexpr uint32_t kUnitBytes = 8;
constexpr uint32_t kMaxAreaBytes = 512;
constexpr uint32_t kCommonHeaderBytes = 8;

// Multi-record header: type, flags, data length, data checksum, header checksum.
constexpr uint32_t kMultiRecHeaderBytes = 5;
constexpr uint32_t kMultiRecLengthByte = 2;
constexpr uint32_t kMultiRecDataChecksumByte = 3;
constexpr uint8_t kMultiRecEndOfList = 0x80;

// Board manufacturing date: minutes since 1996-01-01 00:00 UTC.
constexpr int64_t kBoardDateEpoch = 820454400;
constexpr uint32_t kDateBytes = 3;

// The bytes of the buffer a message's FRU display name is built in.
constexpr uint32_t kNameBufferBytes = 200;

// Number of data bytes that follow a type/length byte (the type code is ignored).
uint32_t DecodeLength(uint8_t typeLength);
} // namespace FruDefs
