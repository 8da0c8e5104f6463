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

// The six values that name a FRU device (as GetFruAddress gives them).
struct DeviceAddress {
    uint32_t nvsType = 2;
    uint8_t lun = 0, deviceAddress = 0x20, bus = 0xFF, controller = 0x20, deviceId = 0;
};

// A device the last LoadConfigurationFromSystem located (one of the first 17
// locator records), and whether its image is in the system list.
struct LocatedDevice {
    DeviceAddress address;
    std::string name;    // the SDR record's id string, UTF-8 ("" when none)
    bool read = false;   // its image was read into the system list
    uint32_t status = 0; // not read: the status of the load's read
    std::string message; // not read: the last-error text of that read, UTF-8
    // Not read because the library refuses what the device holds (no IPMI
    // common header, a bad header checksum, an invalid area), rather than
    // because a transfer failed: its raw bytes (ReadDevice) can show what is
    // wrong. Told from the status alone; an area whose read failed counts
    // too, as the load reports it as an invalid area.
    bool damaged = false;
};
// The located devices in locator order, with what the last load recorded of
// each: no device is read again.
std::vector<LocatedDevice> LocatedDevices();

// Sends Get Device ID to the BMC through the controller request path: the
// driver's result (0: the driver and the BMC answer). Loads the driver module
// on the first call, like any controller request.
uint32_t ProbeController();

// Every reason a driver module gives for a failure, and why a module could
// not be loaded, goes to this function from now on (besides the debug log at
// level 1); null stops it. The text is valid during the call only.
void SetDriverReasonSink(void (*sink)(const char* reason));

// The size of a FRU device from Get FRU Inventory Area Info (directly, or
// through the bridge like the device's reads). 0 with *size set; the driver
// result; or 0xC0070028 when the device is no inventory device (EEPROMs
// behind Master Write-Read, not accessible) or the controller refused.
uint32_t DeviceSize(const DeviceAddress& device, uint32_t* size);

// Reads count bytes at offset of a device through the core's transfers, in
// pieces of at most 32 KiB. *bytes gets what was read before any failure.
// Returns 0, 0xC0070028 or the driver result.
uint32_t ReadDevice(const DeviceAddress& device, uint32_t offset, uint32_t count,
                    std::vector<uint8_t>* bytes);
// Writes bytes at offset of a device through the core's transfers. Returns 0,
// 0xC0070029 or the driver result; the bytes written before a failure stay.
uint32_t WriteDevice(const DeviceAddress& device, uint32_t offset,
                     const std::vector<uint8_t>& bytes);

// One area as a commit of the selected FRU lays it out.
struct AreaLayout {
    int32_t kind = 0;           // ORVANE_AREA_INTERNAL_USE .. ORVANE_AREA_MULTIRECORD
    uint32_t headerOffset = 0;  // where the common header says it starts (bytes)
    uint32_t commitOffset = 0;  // where the commit writes it
    bool written = false;       // whether the commit writes it
    std::vector<uint8_t> bytes; // the area's bytes as the commit would write them
};
// The commit's layout of the selected FRU (either list), computed by the
// same code the commit writes with. Only the areas the header declares.
struct CommitLayout {
    std::vector<uint8_t> header; // the 8 header bytes the commit writes
    std::vector<AreaLayout> areas;
    uint32_t end = 0; // one past the last byte the commit lays out
};
bool SelectedCommitLayout(CommitLayout* layout);

// Moves the selected FRU's areas, in the FRU itself, to where a commit writes
// them: the header's offsets become the commit's offsets (a new checksum), and
// every present area is marked to be written. False, nothing changed, when an
// offset would not fit the header (not a multiple of 8, past 2040 bytes).
bool RepackSelected();

// Which area a commit progress text reports (ORVANE_AREA_*: 1 the header
// written, 2 to 4 an area's step done, 6 the multi-record area begun), or 0
// for any other text (the first line, naming the device).
int32_t CommitProgressArea(const char16_t* text);

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

// Gives the selected FRU's info area of kind (ORVANE_AREA_CHASSIS, _BOARD or
// _PRODUCT) a new length in bytes through the area's own SetLength: its fields
// stay, the padding grows or shrinks, the checksum is recomputed, and the
// area's setters and serializer then work with that length. It changes only
// the FRU in memory; its header offsets stay, so the caller lays the image
// out itself. False, nothing changed, when no FRU is selected, the FRU has no
// such area, the length is not a whole number of 8-byte units or above the
// 512 bytes an area holds, or the fields would not fit.
bool ResizeSelectedArea(int32_t kind, uint32_t bytes);

// The whole image of the selected FRU as it would be written to a device:
// the common header and every area at its header offset, gaps filled with
// 0xFF. False when no FRU is selected or an area overlaps another.
bool ImageOfSelected(std::vector<uint8_t>* image);

} // namespace CoreAccess
