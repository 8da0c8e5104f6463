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

// Status codes handed up by the area and image operations.
constexpr uint32_t kStatusOk = 0;
constexpr uint32_t kStatusNoSuchField = 0xC007000D;
constexpr uint32_t kStatusNoMemory = 0xC007000E;
constexpr uint32_t kStatusUnexpected = 0xC007002F;

// Catalogue messages shared by the areas.
constexpr uint32_t kMsgInvalidTimestamp = 34;
constexpr uint32_t kMsgDateFormat = 35;
constexpr uint32_t kMsgNoMemory = 102;
// A FRU image that is no IPMI FRU, or one of its parts that is invalid.
constexpr uint32_t kMsgNotIpmiFru = 103;
constexpr uint32_t kMsgBadInternal = 104;
constexpr uint32_t kMsgBadProduct = 105;
constexpr uint32_t kMsgBadBoard = 106;
constexpr uint32_t kMsgBadChassis = 107;
constexpr uint32_t kMsgBadMultiRec = 108;
constexpr uint32_t kMsgBadHeader = 109;
// The bytes of the buffer a message's FRU display name is built in.
constexpr uint32_t kNameBufferBytes = 200;
constexpr uint32_t kMsgUnexpected = 125;
constexpr uint32_t kMsgFruName = 134;
constexpr uint32_t kMsgNoSuchField = 135;
constexpr uint32_t kMsgTooLong = 137;
constexpr uint32_t kMsgBadDate = 138;

// Number of data bytes that follow a type/length byte (the type code is ignored).
uint32_t DecodeLength(uint8_t typeLength);
} // namespace FruDefs
