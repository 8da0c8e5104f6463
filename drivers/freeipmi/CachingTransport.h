// Stands between the library's requests and the wire: Read FRU Data goes
// through the read-ahead cache, the SDR scan's Reserve SDR Repository and Get
// SDR through the SDR cache, everything else straight to the wire. It also
// decides when the FRU bytes held are too old to serve: at the start of every
// SDR scan (the first Reserve SDR Repository of a load) and after an idle
// time without requests, so a load never sees bytes from before it began.
#pragma once
#include "drivers/freeipmi/FruReadAhead.h"
#include "drivers/freeipmi/SdrCache.h"
#include "drivers/freeipmi/WireRequest.h"

#include <chrono>
#include <functional>
#include <string>

class CachingTransport {
  public:
    using Clock = std::chrono::steady_clock;

    struct Switches {
        bool readAhead = true; // ORVANE_IPMI_READAHEAD=0 turns it off
        bool sdrCache = true;  // ORVANE_IPMI_SDR_CACHE=0 turns it off
        // The first read-ahead count behind the BMC (see FruReadAhead).
        uint8_t firstBridgedCount = FruReadAhead::kFirstBridgedCount;
    };
    // The idle time after which the FRU bytes held are dropped.
    static constexpr std::chrono::milliseconds kIdle{1000};

    // sdrPath: the SDR cache file of this BMC (empty: memory only).
    CachingTransport(WireSend wire, Switches switches, std::string sdrPath,
                     std::function<Clock::time_point()> now = Clock::now);

    // Answers one request of the library.
    WireAnswer Send(const WireRequest& request);
    // Forgets the FRU bytes held, so the next reads go to the wire.
    void ForgetFruBytes() { fru_.Drop(); }
    // Writes the learned read sizes to the cache file when they changed.
    void Save();

    uint64_t LibraryRequests() const { return library_; }
    uint64_t FruHits() const { return fru_.Hits(); }
    uint64_t SdrHits() const { return sdr_.Hits(); }
    uint64_t SdrFetches() const { return sdr_.Fetches(); }

  private:
    // The passes of the library's SDR scan seen so far: a scan walks the
    // repository twice (counting, then reading), each from record id 0.
    struct Scan {
        int started = 0;
        int ended = 0; // passes that reached the last record
        bool fromCache = false;
    };
    WireAnswer Reserve(const WireRequest& request);
    WireAnswer GetSdr(const WireRequest& request);
    void BeginScan();

    WireSend wire_;
    Switches switches_;
    FruReadAhead fru_;
    SdrCache sdr_;
    std::function<Clock::time_point()> now_;
    Clock::time_point last_{};
    bool any_ = false;
    bool lastWasSdr_ = false;
    bool sizesRead_ = false;
    Scan scan_;
    uint64_t library_ = 0;
};
