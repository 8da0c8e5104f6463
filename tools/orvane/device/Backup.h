// The backup taken before a device is written, and configuration files that
// are really written.
#pragma once
#include "app/Options.h"
#include "app/Session.h"

#include <cstdint>
#include <string>
#include <vector>

namespace Commands {
std::string BackupFolder(const Options& o);

// A backup of one device: the raw bytes of the whole device (.bin) and, when
// its image was read, the FRU as a configuration file (.cfg), both synced,
// read back and compared. The files go away with the object unless kept:
// a refused change leaves no backup behind.
class PendingBackup {
  public:
    PendingBackup() = default;
    ~PendingBackup();
    PendingBackup(const PendingBackup&) = delete;
    PendingBackup& operator=(const PendingBackup&) = delete;

    void Keep() { kept = true; }
    // "the previous contents are in A and B"
    std::string Describe() const;

    std::string cfg, bin;
    std::vector<uint8_t> raw; // what the device held

  private:
    bool kept = false;
};

// Takes the backup of the device at address, with the .cfg of the system
// list's FRU at *position (selected) when position is not null. Returns 0,
// or kExitLibrary after a report: nothing may be written then.
int TakeBackup(Session& s, const Options& o, const FruAddress& address, const uint32_t* position,
               PendingBackup* backup);

// Saves the selected FRU, which is at position of list, as a configuration
// file: written by the library to a scratch file, read back through the
// library and compared area by area, then put in place by
// RawImage::WriteFileSafely. The selection is as before afterwards. Returns 0
// or kExitLibrary after a report.
int SaveFruVerified(Session& s, const std::string& path, uint32_t list, uint32_t position);
} // namespace Commands
