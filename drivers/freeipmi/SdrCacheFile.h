// The file a BMC's SDR repository is kept in between processes, one per host
// and interface under $XDG_CACHE_HOME/orvane/sdr/ (else ~/.cache/orvane/sdr/).
// It holds the repository's stamp (the answer to Get SDR Repository Info, its
// addition and erase timestamps among it), the records in repository order,
// and the Read FRU Data sizes learned of the BMC's controllers. A check word
// closes it: a file that is cut short, changed or otherwise damaged does not
// parse and is replaced by the next fetch.
#pragma once
#include "drivers/freeipmi/WireRequest.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace SdrCacheFile {

// One record: the id it was asked by, the next record id the BMC gave with
// it and its bytes (the 5 header bytes and the body).
struct Record {
    uint16_t id = 0;
    uint16_t next = 0;
    std::vector<uint8_t> bytes;
};

struct SizeEntry {
    ControllerKey controller;
    ReadSize size;
};

struct Contents {
    std::vector<uint8_t> stamp; // empty: no valid stamp
    std::vector<Record> records;
    std::vector<SizeEntry> sizes;
};

// Decodes a whole file; false for anything but a complete, intact one.
bool Parse(const uint8_t* bytes, size_t size, Contents* contents);
std::vector<uint8_t> Encode(const Contents& contents);

// The file of a BMC ("lanplus", "127.0.0.1:623" -> .../lanplus-127.0.0.1_623);
// empty when neither XDG_CACHE_HOME nor HOME is set.
std::string PathFor(const std::string& interface, const std::string& host);
// Reads and parses the file; false when it is missing or damaged.
bool Load(const std::string& path, Contents* contents);
// Writes the file atomically (a temporary file beside it, then rename), so a
// reader sees the old file or the new one, never a part; creates its folder.
// False with a reason.
bool Store(const std::string& path, const Contents& contents, std::string* why);

} // namespace SdrCacheFile
