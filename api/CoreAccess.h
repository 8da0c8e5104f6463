// The orvane command's window into the library core, beyond the exported
// functions of orvane.h. The command links the core itself (not the shared
// library), so these calls see the same library state as the exported ones.
// Hosts never see this header: liborvane.so exports only orvane.h.
//
// Keep it narrow: what the exported functions cannot tell a careful tool
// (which located device failed and why, the raw bytes of a device, its size,
// one area of an image parsed on its own) and nothing that duplicates a scan,
// a transfer or an area parser. Every function is documented here.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace CoreAccess {

// --- Devices: located FRUs, their failures and their raw bytes ---

// --- Images: raw FRU images parsed area by area ---

// One field of an area as the area class holds it.
struct FieldImage {
    std::u16string title;   // the catalogue's title
    std::u16string value;   // the library's own rendering (what files and setters use)
    bool typed = false;     // false for the board date, the chassis type, internal use data
    uint8_t typeLength = 0; // the type/length byte when typed
    std::vector<uint8_t> data;
    bool custom = false;
    // The area's field index whose value and setter reach this field (custom
    // fields are counted from the last one there); GetFieldData's index is
    // the field's position in the list.
    uint32_t valueIndex = 0;
};

// Why an area of an image is not taken.
enum class AreaProblem : uint8_t {
    None,
    OutsideImage, // the area's declared bytes run past the end of the image
    Refused,      // the area class refuses the bytes (format, fields, end marker)
    Checksum,     // the bytes parse but do not add up to 0
    Placement,    // the internal use area lies after the area that follows it by kind
    Records,      // a multi-record has a bad checksum or is cut off
};

struct AreaImage {
    int32_t kind = 0;           // ORVANE_AREA_*
    std::u16string name;        // the catalogue's name of the area
    uint32_t offset = 0;        // bytes from the start of the image
    std::vector<uint8_t> bytes; // the area as stored (cut at the end of the image)
    AreaProblem problem = AreaProblem::None;
    std::u16string message; // the library's message for a refused area, else empty
    uint8_t formatVersion = 0, languageCode = 0, chassisType = 0;
    bool hasLanguage = false; // board and product areas
    int32_t padLength = 0;    // bytes a field may grow by (info areas)
    // Fixed fields in the area's order, then custom fields in image order.
    std::vector<FieldImage> fields;
};

struct ImageView {
    std::vector<uint8_t> header;
    bool headerValid = false; // format version 1 and a zero checksum
    std::u16string headerMessage;
    bool accepted = false;        // the library takes every area of the image
    std::vector<AreaImage> areas; // the areas the header declares, by kind
};

// Parses a raw FRU image (a file's bytes, a device's bytes) area by area
// with the core's area classes, so that every area that can be read is
// shown even when the library refuses the image as a whole. name is the
// display name that the library's messages carry.
ImageView ParseImage(const std::vector<uint8_t>& image, const std::u16string& name);

// The selected FRU of the selected list, as the library holds it; false
// when no FRU is selected.
bool DescribeSelected(ImageView* view);

// Sets a field of the selected FRU's selected info area, like
// SetFieldDataValue but in the encoding typeBits (bits 7..6 of the
// type/length byte) names. Returns the status of SetFieldDataValue.
uint32_t SetSelectedField(const uint8_t* data, uint32_t length, uint8_t typeBits);

// The whole image of the selected FRU as it would be written to a device:
// the common header and every area at its header offset, gaps filled with
// 0xFF. False when no FRU is selected or an area overlaps another.
bool ImageOfSelected(std::vector<uint8_t>* image);

} // namespace CoreAccess
