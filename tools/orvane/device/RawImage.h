// Raw FRU images: the bytes of a whole device, and files that are really
// written (synced, read back and compared, then renamed over the target).
#pragma once
#include "app/Session.h"
#include "fru/FruAddress.h"

#include <cstdint>
#include <string>
#include <vector>

namespace RawImage {
// How many bytes the device holds: its size from Get FRU Inventory Area Info,
// 256 for the EEPROM kinds, else the extent of the image its header
// describes. *source says which. 0, or the status of the failed read.
uint32_t DeviceLength(const FruAddress& address, uint32_t* length, std::string* source);
// The device's size when the controller gives it or its kind fixes it, else 0.
uint32_t KnownDeviceSize(const FruAddress& address);
// Reads the whole device (DeviceLength bytes). 0 or the failed read's status.
uint32_t ReadWholeDevice(const FruAddress& address, std::vector<uint8_t>* bytes,
                         std::string* source);

// The offsets where two images differ, as "0x0008-0x000F, 0x0040" (bytes that
// only one image has count as differing).
std::string Differences(const std::vector<uint8_t>& want, const std::vector<uint8_t>& have);

// Writes bytes to path so that a failure never leaves a truncated file: a
// regular file (or a new one) through a temporary file in the same folder
// (written, synced, read back and compared, renamed over the target, folder
// synced); anything else (a device such as /dev/full) written directly and
// synced; a directory, FIFO or socket is refused. False with the system's
// reason in *error.
bool WriteFileSafely(const std::string& path, const std::vector<uint8_t>& bytes,
                     std::string* error);
// Creates path, which must not exist yet, writes, syncs, reads back and
// compares. False (the file removed) with the system's reason in *error.
bool WriteNewFile(const std::string& path, const std::vector<uint8_t>& bytes, std::string* error);
// Reads a whole regular file of at most FileOperand::kTextBytes (see
// FileOperand::Read for what is refused).
bool ReadFile(const std::string& path, std::vector<uint8_t>* bytes, std::string* error);
} // namespace RawImage
