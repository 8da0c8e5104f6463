// The one way the command writes a device: the layout guard, a verified
// backup, the change, the guard again, the write, then the device read back
// and, on any difference in what was written, rolled back from the backup.
#pragma once
#include "app/Options.h"
#include "app/Session.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace GuardedWrite {
// What a write that succeeded left: the areas whose bytes it changed
// (ORVANE_AREA_COMMON_HEADER for the header) and the backup's raw image,
// beside which its configuration file and record lie.
struct Written {
    std::vector<int32_t> areas;
    std::string backup;
};

// The device to write, and the system list's FRU of it when the library
// holds one (then selected, and saved as the backup's configuration file);
// written, when given, gets what the write did.
struct Target {
    FruAddress address;
    std::optional<uint32_t> position;
    Written* written = nullptr;
};

// A change of the FRU the library holds at the target's position, which the
// library then commits.
struct Edit {
    // Changes the selected FRU. *changed false: it holds what the device
    // holds, and nothing is written. Returns an exit code.
    std::function<int(bool* changed)> change;
    // Runs after the last guard, just before the commit (e.g. saving the
    // changed FRU to a file too); may be empty. Returns an exit code.
    std::function<int()> beforeCommit;
    // Move the areas to where the commit writes them and rewrite the header
    // to match, instead of refusing a layout the commit would not keep.
    bool repack = false;
};
int Commit(Session& s, const Options& o, const Target& target, const Edit& edit);

// A whole raw image written from offset 0, made from what the device held
// (the backup's bytes) after the backup was taken. Returns an exit code.
using MakeImage =
    std::function<int(const std::vector<uint8_t>& before, std::vector<uint8_t>* image)>;
int Rebuild(Session& s, const Options& o, const Target& target, const MakeImage& make);

// A given raw image, refused before anything is read when the device cannot
// hold it.
int Write(Session& s, const Options& o, const Target& target, const std::vector<uint8_t>& image);
} // namespace GuardedWrite
