// Damaged FRU images read as far as their bytes go, and repaired where the
// repair is unambiguous. Every area the common header declares is examined on
// the extents the core's image layout computes: what is wrong with it (the
// header's and the area's checksums, stored and computed; the declared and the
// readable length; a missing end marker; an overlap with another area, named;
// an unknown format version; records that do not chain), and which fields of
// an info area can still be read, stopping at the end of the image or at the
// next area. A repair fixes only checksums, an over-long length byte and the
// last record's end-of-list bit, and refuses everything else.
#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace Salvage {
enum class Code : uint8_t {
    HeaderChecksum, // the common header's checksum
    PastImage,      // the area starts at or past the end of the image
    Version,        // an unknown format version
    Length,         // the declared length runs past the image or what an area holds
    Overlap,        // the declared bytes run into another area
    EndMarker,      // no end marker before the image or the next area
    FieldsPastEnd,  // the end marker lies past the declared length
    Checksum,       // the area's checksum
    Padding,        // non-zero bytes between the end marker and the checksum
    Placement,      // the internal use area lies after the areas that follow it by kind
    Records,        // a multi-record's checksums, its extent or the end-of-list bit
    Refused,        // the library refuses the area for a reason not named above
};
// "header_checksum", "past_image", "format_version", "length", "overlap",
// "end_marker", "fields_past_end", "checksum", "padding", "placement",
// "records", "refused": the JSON names.
const char* Key(Code code);

struct Problem {
    Code code;
    std::string text; // in the running language
};

// What one declared area holds, read as far as its bytes go.
struct AreaFindings {
    int32_t kind = 0;    // ORVANE_AREA_*
    uint32_t offset = 0; // bytes from the start of the image
    uint32_t limit = 0;  // where reading stops: the next area or the end of the image
    std::vector<Problem> problems;
    // Info areas: the area's own bytes up to the limit with format version 1,
    // the fields read, an end marker and a length and checksum that hold, for
    // the core's area class to read (empty when not even the fixed bytes
    // before the first field are there, or it would pass what an area holds);
    // fieldCount of its fields were read from the image.
    std::vector<uint8_t> readable;
    uint32_t fieldCount = 0;
};

struct Findings {
    bool fruHeader = false;           // 8 bytes with format version 1
    std::vector<Problem> header;      // the common header's problems
    std::vector<AreaFindings> areas;  // the areas the header declares, in the order of kinds
    std::vector<uint8_t> headerFixed; // the image with a checksum that holds in byte 7
};
// Examines every area of image that the core's area classes refuse (read
// with a header checksum that holds): only those get problems and readable
// bytes. Without a FRU header, nothing but that.
Findings Examine(std::span<const uint8_t> image);

// A repair: each fix as a line, or why the image cannot be repaired, and the
// repaired image.
struct Repair {
    std::vector<std::string> fixes;
    std::vector<std::string> refusals; // not empty: nothing may be written
    std::vector<uint8_t> image;        // the repaired image (the input when nothing is fixed)
};
// What a repair of image does: the header checksum; an info area's checksum
// when its fields reach the end marker inside the area; its length byte when
// the end marker and checksum fit fewer 8-byte blocks and the shorter area
// stays clear of the next area and inside the image; multi-record header and
// data checksums and the last record's end-of-list bit when the records chain
// cleanly. The repaired image is checked with the core's area classes: an
// area they still refuse is a refusal too.
Repair Plan(std::span<const uint8_t> image);
} // namespace Salvage
