// Where the areas of a FRU image lie, computed from its bytes alone: the one
// place that knows how far each area reaches. The device reader asks it how
// many bytes of an area to read next (from the header and the first bytes of
// the area it has read so far); the command asks it to lay out a whole image
// it holds. Nothing here reads a device, allocates an area object or reports
// a failure: each problem of an area is described, and the caller decides
// what it means.
#pragma once

#include "fru/FruDefs.h"

#include <cstdint>
#include <span>
#include <vector>

namespace ImageLayout {
// The byte that makes bytes plus itself add up to 0 modulo 256: the checksum
// of the common header, of an info area and of a multi-record's header and
// data.
uint8_t ZeroChecksum(std::span<const uint8_t> bytes);

// The sizes an image is laid out in, for the callers of this header.
inline constexpr uint32_t kUnitBytes = FruDefs::kUnitBytes; // offsets and lengths
inline constexpr uint32_t kCommonHeaderBytes = FruDefs::kCommonHeaderBytes;
inline constexpr uint32_t kMaxAreaBytes = FruDefs::kMaxAreaBytes; // an info area at most
inline constexpr uint32_t kRecordHeaderBytes = FruDefs::kMultiRecHeaderBytes;
inline constexpr uint8_t kRecordEndOfList = FruDefs::kMultiRecEndOfList; // in a record's byte 1

// The common header, decoded. Offsets are in bytes from the start of the
// image (0: the area is not declared), indexed by ORVANE_AREA_* kind through
// Offset().
struct Header {
    bool complete = false;     // the image holds all 8 header bytes
    uint8_t formatVersion = 0; // bits 2..0 of byte 0, as the library checks them
    uint32_t internalUse = 0, chassis = 0, board = 0, product = 0, multiRecord = 0;
    uint8_t storedChecksum = 0;   // byte 7
    uint8_t computedChecksum = 0; // what byte 7 must be for the 8 bytes to add up to 0
    // The offset in bytes of the area of kind (ORVANE_AREA_INTERNAL_USE ..
    // ORVANE_AREA_MULTIRECORD); 0 for any other kind or an undeclared area.
    uint32_t Offset(int32_t kind) const;
};
// Decodes the first 8 bytes of image; complete is false (and the rest 0)
// when there are fewer.
Header ParseHeader(std::span<const uint8_t> image);

// Where the internal use area ends: at the first area the header declares
// after it in the order of kinds (chassis, board, product, multi-record),
// whatever their positions. 0 when no other area is declared: the area then
// reaches to the end of the image, which only the caller knows. An end below
// the area's own offset means the header places it after that area.
uint32_t InternalUseEnd(const Header& header);

// The bytes an info area (chassis, board, product) declares from its first
// bytes: byte 1 times 8. With fewer than 2 bytes, 2: the version and length
// bytes every info area needs.
uint32_t InfoAreaLength(std::span<const uint8_t> area);

// Where the first type/length byte of an info area of kind lies: after the
// version and length bytes, the chassis type or the language code, and the
// board's date.
uint32_t FirstField(int32_t kind);

// The typed fields an info area of kind has before its custom fields
// (chassis 2, board 5, product 7).
uint32_t FixedFieldCount(int32_t kind);

// The fields of an info area of kind from its first field, walked over the
// bytes given (the area's first bytes) until the end marker, the end of the
// bytes, or a field whose data runs past them. The first fixedFields fields
// are read whatever their type/length byte, as the area classes read their
// fixed fields (a C1h there is a one-byte text); with 0, the first C1h ends
// the walk.
struct FieldWalk {
    struct Field {
        uint32_t offset = 0; // of the type/length byte, from the area's start
        uint8_t typeLength = 0;
    };
    std::vector<Field> fields; // the fields wholly inside the bytes
    bool endMarker = false;
    uint32_t endMarkerAt = 0; // from the area's start, when endMarker
    bool cut = false;         // a field's data runs past the bytes
};
FieldWalk WalkFields(int32_t kind, std::span<const uint8_t> area, uint32_t fixedFields = 0);

// One multi-record's extent from its 5-byte header (or the first 3 bytes of
// it, for the length; the end-of-list flag is byte 1).
struct RecordExtent {
    uint32_t dataBytes = 0;  // byte 2
    uint32_t totalBytes = 0; // header and data
    bool last = false;       // the end-of-list flag
};
// The extent of the record whose header starts bytes; zero with fewer than
// 3 bytes.
RecordExtent Record(std::span<const uint8_t> bytes);

// The records of a chain at the start of bytes, up to the one marked last or
// to the last record header that fits the bytes.
struct Chain {
    struct Entry {
        uint32_t offset = 0; // from the start of the chain
        RecordExtent extent;
        bool headerChecksumOk = false; // the 5 header bytes add up to 0
        bool complete = false;         // its data lies inside the bytes
        bool dataChecksumOk = false;   // complete, and the data matches byte 3
        // Byte 4 and what it must be for the header to add up to 0; byte 3
        // and what it must be for the data (when complete).
        uint8_t storedHeaderChecksum = 0, computedHeaderChecksum = 0;
        uint8_t storedDataChecksum = 0, computedDataChecksum = 0;
    };
    std::vector<Entry> records;
    uint32_t length = 0;    // one past the last record's data (may pass the bytes' end)
    bool endMarker = false; // the walk stopped at a record marked last
};
Chain WalkChain(std::span<const uint8_t> bytes);

// One declared area of a whole image, described exactly enough to show or
// repair it without the area classes.
struct Area {
    int32_t kind = 0;       // ORVANE_AREA_*
    uint32_t offset = 0;    // bytes from the start of the image
    bool pastImage = false; // the offset is at or past the end of the image
    uint32_t declared = 0;  // bytes the area claims (see below)
    uint32_t readable = 0;  // of those, the bytes inside the image
    uint8_t formatVersion = 0;
    bool knownVersion = false; // format version 1 (info areas, internal use)
    // Info areas: the zero checksum over the declared bytes, when all are
    // readable (checksummed); the stored byte is the last declared one.
    bool checksummed = false;
    uint8_t storedChecksum = 0, computedChecksum = 0;
    // Info areas: the end-of-fields marker found among the readable bytes
    // before the checksum byte; multi-record: a record marked last.
    bool endMarker = false;
    // The internal use area ends (by the order of kinds) before it starts.
    bool misplaced = false;
    // Where the area's bytes stop when it is shown on its own: its declared
    // end, or for a misplaced internal use area the next area by position
    // (or the end of the image).
    uint32_t shownEnd = 0;
    // The kind of another declared area that starts inside this one's
    // declared bytes (the first such by position), 0 when none.
    int32_t overlaps = 0;
    Chain chain; // multi-record only
};
// Declared lengths: an info area byte 1 times 8; internal use up to
// InternalUseEnd (the end of the image when 0); multi-record the length of
// its chain.
struct Layout {
    Header header;
    std::vector<Area> areas; // the areas the header declares, in the order of kinds
};
Layout Parse(std::span<const uint8_t> image);

} // namespace ImageLayout
