// Files named on the command line, checked before anything reads or writes
// them, so that a directory, a FIFO, a device node, a missing or unreadable
// file, one too big for what it stands for, or one that changes while it is
// read gives a clear reason instead of a hang or an abort.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace FileOperand {
// The most bytes a FRU image file may hold: what a FRU device can address.
inline constexpr uint64_t kImageBytes = 0x10000;
// The most bytes a configuration file or an inventory may hold.
inline constexpr uint64_t kTextBytes = 64ull << 20;

// What identifies a file's contents: a change of any member means it was
// written meanwhile.
struct Stamp {
    uint64_t device = 0, inode = 0, size = 0;
    int64_t seconds = 0, nanoseconds = 0;
    bool operator==(const Stamp&) const = default;
};

// Why path cannot be read as an input of at most limit bytes ("" when it
// can): it is missing, not a regular file, unreadable or too big. *stamp,
// when given, gets the file's stamp.
std::string Check(const std::string& path, uint64_t limit, Stamp* stamp = nullptr);
// The reason when the file's stamp is no longer *stamp ("" when it is).
std::string Unchanged(const std::string& path, const Stamp& stamp);
// Reads a whole input file after Check; false with the reason also when it
// changes while it is read.
bool Read(const std::string& path, uint64_t limit, std::vector<uint8_t>* bytes, std::string* error);
// Why path cannot be written as an output file ("" when it can): it is a
// directory, a FIFO or a socket. Device nodes (/dev/null, ...) may be.
std::string CheckOutput(const std::string& path);
} // namespace FileOperand
