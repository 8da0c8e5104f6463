// The backup taken before a device is written, where it came from, and
// configuration files that are really written.
#pragma once
#include "app/Options.h"
#include "app/Session.h"

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

class CFru;

namespace Commands {
std::string BackupFolder(const Options& o);

// Where the devices this run reaches are: the BMC's host as given,
// "in-band", the image file's absolute path, or the simulated system's
// description ("sim:PATH"), so that a backup can tell one BMC from another.
std::string OriginOf(const Options& o);

// What a backup records of itself, in the small file NAME.json beside its
// NAME.bin (and NAME.cfg): origin, six-part address, FRU name, UTC time.
struct BackupRecord {
    std::string origin, address, name;
    std::string time;              // ISO 8601 UTC, e.g. 2026-12-08T00:27:00Z
    std::time_t when = 0;          // the same as seconds
    uint64_t size = 0;             // bytes of the .bin
    std::string bin, cfg, sidecar; // paths; "" when there is none
};
// The record of a backup file (its .bin, .cfg or .json): from the sidecar
// beside it. False when there is none or it is not a backup's.
bool ReadBackupRecord(const std::string& file, BackupRecord* record);
// The address a backup file names: its record's, else that in the name of a
// raw backup named the older way; none when neither.
std::optional<FruAddress> BackupAddress(const std::string& file);
// The backups in a folder, newest first: those with a sidecar, and raw
// images named the older way (<time>-T-L-DA-B-CA-ID.bin, origin unknown).
std::vector<BackupRecord> ListBackups(const std::string& folder);

// Refuses (kExitRefused, naming both) to restore a backup file whose record
// says it came from another origin or address than the target, unless
// force (then one warning line). 0 when it may be restored, or when the
// file has no record.
int CheckBackupOrigin(const Options& o, const std::string& file, const FruAddress& target);

// A backup of one device: the raw bytes of the whole device (.bin), its
// record (.json) and, when its image was read and a configuration file can
// hold it, the FRU as a configuration file (.cfg), each synced, read back
// and compared. The files go away with the object unless kept: a refused
// change leaves no backup behind.
class PendingBackup {
  public:
    PendingBackup() = default;
    ~PendingBackup();
    PendingBackup(const PendingBackup&) = delete;
    PendingBackup& operator=(const PendingBackup&) = delete;

    void Keep() { kept = true; }
    // "the previous contents are in A and B"
    std::string Describe() const;

    std::string cfg, bin, sidecar;
    std::vector<uint8_t> raw; // what the device held

  private:
    bool kept = false;
};

// The bytes of a device that the library's FRU of it holds: the common
// header and every declared area at its header offset, as the area objects
// hold them (what a change of that FRU is built on).
struct HeldImage {
    std::vector<uint8_t> bytes;
    std::vector<bool> held; // which offsets the FRU holds
};
HeldImage HeldBy(CFru* fru);

// Takes the backup of the device at address, with the .cfg of the system
// list's FRU at *position (selected) when position is not null. The raw
// bytes are two reads of the device that agree over its whole extent: one
// that bypasses the driver's caches and either held (the library's FRU where
// it holds bytes) with the rest read again, or a second such read; on a
// difference a third read decides. Returns 0, or kExitLibrary after a
// report: nothing may be written then.
int TakeBackup(Session& s, const Options& o, const FruAddress& address, const uint32_t* position,
               PendingBackup* backup, const HeldImage* held = nullptr);

// Reads count bytes at offset of a device itself, past the driver's caches.
uint32_t ReadFresh(const FruAddress& address, uint32_t offset, uint32_t count,
                   std::vector<uint8_t>* bytes);

// Saves the selected FRU, which is at position of list, as a configuration
// file: written by the library to a scratch file, its _LF_NAME line made to
// name path, read back through the library and compared area by area, then
// put in place by RawImage::WriteFileSafely. The selection is as before
// afterwards. Returns 0 or kExitLibrary after a report.
int SaveFruVerified(Session& s, const std::string& path, uint32_t list, uint32_t position);
// The same without a report: "" when saved, else why not.
std::string SaveFruChecked(Session& s, const std::string& path, uint32_t list, uint32_t position);
} // namespace Commands
