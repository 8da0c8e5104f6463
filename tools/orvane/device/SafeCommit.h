// Writing a device so that it is never left broken: the layout guard before a
// commit, the commit verified by reading the device back, and the rollback
// from the raw backup when anything differs.
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

// Commits the selected FRU of the system list (the device at address, whose
// backup is taken), then reads the device back and compares every byte the
// commit meant to leave there. A failed or differing commit is rolled back
// from the raw backup, which is verified too. Returns the exit code.
int Commit(Session& s, const FruAddress& address, Commands::PendingBackup& backup);

// Writes a whole raw image at offset 0 of the device, verified and rolled
// back like a commit. Returns the exit code.
int WriteImage(const FruAddress& address, const std::vector<uint8_t>& image,
               Commands::PendingBackup& backup);
} // namespace SafeCommit
