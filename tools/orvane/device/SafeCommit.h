// Writing a device so that it is never left broken: the layout guard before a
// commit, the commit verified by reading the device back, and the rollback
// of the bytes it changed from the raw backup when they differ.
#pragma once
#include "app/Session.h"
#include "device/Backup.h"

#include <cstdint>
#include <string>
#include <vector>

namespace SafeCommit {
// Checks that a commit of the selected FRU writes every area where the common
// header says it is, that the image ends within what a FRU device can address
// and within deviceLength (0: unknown). Returns 0, or kExitRefused after
// naming each area, its header offset and the offset the commit would use.
int GuardLayout(const FruAddress& address, uint32_t deviceLength);

// What a device that held before holds after a commit of the selected FRU:
// the header and every area the commit writes put over it; *written marks
// the bytes the commit writes.
std::vector<uint8_t> CommittedImage(const std::vector<uint8_t>& before, std::vector<bool>* written);
// The header (ORVANE_AREA_COMMON_HEADER) and the areas of after, where after
// lays them out, whose bytes differ from before.
std::vector<int32_t> ChangedAreas(const std::vector<uint8_t>& before,
                                  const std::vector<uint8_t>& after);
// Area keys joined by commas ("header, product"), "no area" for none.
std::string AreaList(const std::vector<int32_t>& kinds);

// Commits the selected FRU of the system list (the device at address, whose
// backup is taken), then reads the device back and compares every byte the
// commit wrote with what it meant to leave there, and the bytes it did not
// write with the backup. A failed or differing commit is rolled back: the
// backup's bytes go back at the offsets the commit changed, and only there,
// and are read back; a difference where nothing was written is reported,
// not rolled back. Returns the exit code.
int Commit(Session& s, const FruAddress& address, Commands::PendingBackup& backup);

// Writes a whole raw image at offset 0 of the device (only the bytes that
// differ from the backup), verified and rolled back like a commit. Returns
// the exit code.
int WriteImage(const FruAddress& address, const std::vector<uint8_t>& image,
               Commands::PendingBackup& backup);
} // namespace SafeCommit
