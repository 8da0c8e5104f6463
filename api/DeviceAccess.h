// Stateless calls on FRU devices for the orvane command, beyond the exported
// functions of orvane.h: which located device failed and why, a device's size
// and its raw bytes, through the same transfers and driver module the library
// uses. The command links the core itself (not the shared library), so these
// calls see the same library state as the exported ones. Hosts never see this
// header: liborvane.so exports only orvane.h.
#pragma once

#include "drivers/KsbApi.h"
#include "fru/FruAddress.h"

#include <cstdint>
#include <string>
#include <vector>

namespace DeviceAccess {

// A device the last LoadConfigurationFromSystem located (one of the first 17
// locator records), and whether its image is in the system list.
struct LocatedDevice {
    FruAddress address;
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
// each: no device is read again. Empty before Initialize.
std::vector<LocatedDevice> LocatedDevices();

// Driver results that ProbeController, DeviceSize, ReadDevice and WriteDevice
// pass on unchanged, for a caller to explain them.
namespace DriverResult {
inline constexpr uint32_t kNoDriver = KSB_RESULT_NO_DRIVER;     // no module could be loaded
inline constexpr uint32_t kNoFunction = KSB_RESULT_NO_FUNCTION; // the module lacks a function
inline constexpr uint32_t kTimeout = KSB_RESULT_TIMEOUT;        // no answer within the timeout
inline constexpr uint32_t kTransport = KSB_RESULT_TRANSPORT;    // transport failure
inline constexpr uint32_t kMalformed = KSB_RESULT_MALFORMED;    // the request was malformed
} // namespace DriverResult

// The installed data folder (share/orvane, where the catalogues are): found
// relative to the program the core is linked into as an installation lays it
// out, else the folder chosen when it was built.
std::string DataFolder();

// Sends Get Device ID to the BMC through the controller request path: the
// driver's result (0: the driver and the BMC answer). Loads the driver module
// on the first call, like any controller request.
uint32_t ProbeController();

// Every reason a driver module gives for a failure, and why a module could
// not be loaded, goes to this function from now on (besides the debug log at
// level 1); null stops it. The text is valid during the call only.
void SetDriverReasonSink(void (*sink)(const char* reason));

// The size of a FRU device from Get FRU Inventory Area Info (directly, or
// through the bridge like the device's reads). ORVANE_OK with *size set; the
// driver result; or ORVANE_E_DEVICE_READ when the device is no inventory
// device (EEPROMs behind Master Write-Read, not accessible) or the controller
// refused.
uint32_t DeviceSize(const FruAddress& device, uint32_t* size);

// Reads count bytes at offset of a device through the core's transfers, in
// pieces of at most 32 KiB. *bytes (the caller's) gets what was read before
// any failure. Returns ORVANE_OK, ORVANE_E_DEVICE_READ or the driver result.
uint32_t ReadDevice(const FruAddress& device, uint32_t offset, uint32_t count,
                    std::vector<uint8_t>* bytes);
// Makes the driver module forget any FRU bytes it keeps, so that the next
// ReadDevice reads the device itself rather than a cache of it.
void ForgetCachedReads();
// Writes bytes at offset of a device through the core's transfers. Returns
// ORVANE_OK, ORVANE_E_DEVICE_WRITE or the driver result; the bytes written
// before a failure stay.
uint32_t WriteDevice(const FruAddress& device, uint32_t offset, const std::vector<uint8_t>& bytes);

} // namespace DeviceAccess
