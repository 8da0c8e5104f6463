// Rebuilding a raw FRU image when areas change their length: the areas
// behind a changed one (by offset, whatever their kind) move by as much, the
// gaps between areas and their order stay, the multi-record area moves whole,
// the common header's offsets follow (absent areas keep 0), and bytes freed at
// the end of the image become FFh. Nothing here parses an area: the extents
// come from the core's own parse of the image.
#pragma once
#include "api/ImageModel.h"

#include <cstdint>
#include <string>
#include <vector>

namespace Relayout {
// Bytes an area length byte, or a header offset byte, can address (255 units).
constexpr uint32_t kMaxAddressable = 255 * 8;

// Where an area lies in an image.
struct Extent {
    int32_t kind = 0; // ORVANE_AREA_*
    uint32_t offset = 0;
    uint32_t length = 0;
    bool operator==(const Extent&) const = default;
};

// The new bytes of one area (a whole number of 8-byte units for info areas).
struct Replacement {
    int32_t kind = 0;
    std::vector<uint8_t> bytes;
};

struct Plan {
    std::vector<Extent> before, after; // the areas by offset, now and rebuilt
    std::vector<uint8_t> image;        // what the device holds afterwards, from offset 0
    std::string refusal;               // why the image cannot be rebuilt; "" when it can
};

// The length of an info area of length bytes with padLength bytes of padding
// once it holds `needed` bytes more: the fewest whole 8-byte units.
uint32_t GrownLength(uint32_t length, int32_t padLength, uint32_t needed);
// The length that gives back every whole 8-byte unit of padding.
uint32_t ShrunkLength(uint32_t length, int32_t padLength);
// Why an info area cannot be length bytes long (past the 2,040 bytes its
// length byte gives, past the 512 bytes an area holds when it is read back),
// naming the bytes missing; "" when it can.
std::string LengthProblem(int32_t kind, uint32_t length);

// The areas of a parsed image by offset: each info area by its length byte,
// the multi-record area by its records, the internal use area up to the area
// that follows it. "" or why the areas cannot be moved (a damaged area, no
// common header, areas that overlap).
std::string Extents(const ImageModel::ImageView& view, std::vector<Extent>* extents);

// Rebuilds image (a device's bytes from offset 0) with the replaced areas,
// for a device of capacity bytes. name is the display name the core's
// messages carry.
Plan Rebuild(const std::vector<uint8_t>& image, const std::u16string& name,
             const std::vector<Replacement>& replaced, uint32_t capacity);

// The bytes that differ between two images of a device: their count and
// the first ranges with their old and new bytes.
std::string ByteChanges(const std::vector<uint8_t>& before, const std::vector<uint8_t>& after);
// Both layouts and the bytes that change (offset ranges with their old and
// new bytes, at most a few ranges and bytes each), for a dry run.
std::string Describe(const Plan& plan, const std::vector<uint8_t>& image);
} // namespace Relayout
