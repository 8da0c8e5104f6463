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
    uint32_t status = 0; // not read: the status of reading it again
    std::string message; // not read: the last-error text of that read, UTF-8
};
// The located devices in locator order. A device whose image is not in the
// system list is read once more, into a scratch image that is thrown away, to
// learn the status and message of its failure; the last-error text is
// consumed by that read.
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

} // namespace CoreAccess
