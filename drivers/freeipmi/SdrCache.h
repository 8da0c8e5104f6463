// The BMC's SDR repository held by the module. At the start of each scan the
// repository's stamp (Get SDR Repository Info: record count, free space, most
// recent addition and erase timestamps) is compared with the stamp the held
// records came with; only a changed repository is fetched again, each record
// whole in one Get SDR where the BMC allows it, else in the largest pieces it
// accepts under a reservation. The library's Reserve SDR Repository and Get SDR
// requests are then answered from the held records. With a file path the
// records are kept on disk between processes (SdrCacheFile).
#pragma once
#include "drivers/freeipmi/SdrCacheFile.h"
#include "drivers/freeipmi/WireRequest.h"

#include <string>

class SdrCache {
  public:
    // path: the cache file of this BMC; empty keeps the records in memory only.
    SdrCache(WireSend wire, std::string path) : wire_(std::move(wire)), path_(std::move(path)) {}

    // Makes the held records current: true when the library's requests can
    // be answered from them, false when the repository could not be read
    // (the requests then go to the BMC).
    bool Refresh();
    // The answers to the library's Reserve SDR Repository and Get SDR
    // (data: reservation id, record id, offset, count) from the held records.
    WireAnswer Reserve();
    WireAnswer Get(const std::vector<uint8_t>& data);

    // Requests answered from the held records, and repository fetches.
    uint64_t Hits() const { return hits_; }
    uint64_t Fetches() const { return fetches_; }

    // The Read FRU Data sizes kept in the same file.
    const std::vector<SdrCacheFile::SizeEntry>& Sizes();
    // Writes the file with these sizes (and the held records when their
    // stamp is good); false with a reason.
    bool SaveSizes(const std::vector<SdrCacheFile::SizeEntry>& sizes, std::string* why);
    // A reason the last Refresh could not use or write the file, else empty.
    const std::string& Trouble() const { return trouble_; }

  private:
    void LoadFile();
    bool Fetch(std::vector<SdrCacheFile::Record>* records);
    bool FetchWhole(uint16_t id, SdrCacheFile::Record* record, bool* inPieces);
    bool FetchPieces(uint16_t id, SdrCacheFile::Record* record);
    WireAnswer Send(uint8_t command, std::vector<uint8_t> data);

    WireSend wire_;
    std::string path_;
    bool fileRead_ = false;
    bool held_ = false; // contents_.records are the repository's
    SdrCacheFile::Contents contents_;
    uint16_t reservation_ = 0;
    uint8_t pieceSize_ = 0; // 0: not learned
    uint64_t hits_ = 0;
    uint64_t fetches_ = 0;
    std::string trouble_;
};
