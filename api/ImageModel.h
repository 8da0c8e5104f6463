// FRU images described area by area and field by field with the core's own
// area classes, for the orvane command to show: a raw image (a file's or a
// device's bytes), even one the library refuses as a whole, or a FRU as the
// library holds it. The command links the core itself; hosts never see this
// header.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

class CFru;

namespace ImageModel {

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
// with the core's area classes, as far as the image's layout says each area
// reaches, so that every area that can be read is shown even when the
// library refuses the image as a whole. name is the display name that the
// library's messages carry. The last error stays as it was.
ImageView ParseImage(std::span<const uint8_t> image, const std::u16string& name);

// Deletes a FRU that HoldImage made.
struct FruDeleter {
    void operator()(CFru* fru) const;
};
using HeldFru = std::unique_ptr<CFru, FruDeleter>;
// The FRU object ParseImage reads an image into, kept so that the command can
// edit it outside every list (through api/FruEdit.h) and describe it again:
// null unless the header is valid and the area classes take every area, the
// internal use area allowed to lie after the areas that follow it by kind.
HeldFru HoldImage(std::span<const uint8_t> image, const std::u16string& name);

// A FRU as the library holds it (its header serialized, every declared
// area's bytes as a commit would write them). False, *view untouched, for a
// null fru.
bool Describe(CFru* fru, ImageView* view);

} // namespace ImageModel
