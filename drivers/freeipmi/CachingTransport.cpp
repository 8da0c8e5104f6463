#include "drivers/freeipmi/CachingTransport.h"
#include "drivers/freeipmi/DriverLog.h"
#include "support/IpmiDefs.h"

CachingTransport::CachingTransport(WireSend wire, Switches switches, std::string sdrPath,
                                   std::function<Clock::time_point()> now)
    : wire_(std::move(wire)), switches_(switches), fru_(wire_, switches.firstBridgedCount),
      sdr_(wire_, switches.sdrCache ? std::move(sdrPath) : std::string()), now_(std::move(now)) {}

void CachingTransport::BeginScan() {
    fru_.Drop();
    scan_ = Scan{};
    scan_.fromCache = switches_.sdrCache && sdr_.Refresh();
    if (!sdr_.Trouble().empty())
        DriverLog::Failure("SDR cache: " + sdr_.Trouble());
}

WireAnswer CachingTransport::Reserve(const WireRequest& request) {
    // Within a scan the library reserves before every record; a Reserve after
    // other requests, or after both passes ended, begins the next scan.
    if (!lastWasSdr_ || scan_.ended >= 2)
        BeginScan();
    lastWasSdr_ = true;
    return scan_.fromCache ? sdr_.Reserve() : wire_(request);
}

WireAnswer CachingTransport::GetSdr(const WireRequest& request) {
    const auto& data = request.data;
    const bool passStart = data.size() == 6 && data[2] == 0 && data[3] == 0 && data[4] == 0;
    if (passStart) {
        ++scan_.started;
        // A third pass, or a second one before the first ended, belongs to
        // a new scan (a scan whose counting pass failed reads nothing more).
        if (!lastWasSdr_ || scan_.started > 2 || (scan_.started == 2 && scan_.ended == 0)) {
            BeginScan();
            scan_.started = 1;
        }
    }
    lastWasSdr_ = true;
    WireAnswer answer = scan_.fromCache ? sdr_.Get(data) : wire_(request);
    if (data.size() == 6 && data[4] == 0 && answer.result == 0 && answer.completionCode == 0 &&
        answer.data.size() >= 2 && answer.data[0] == 0xFF && answer.data[1] == 0xFF)
        ++scan_.ended;
    return answer;
}

WireAnswer CachingTransport::Send(const WireRequest& request) {
    ++library_;
    if (!sizesRead_ && switches_.readAhead) {
        sizesRead_ = true;
        for (const SdrCacheFile::SizeEntry& entry : sdr_.Sizes())
            fru_.SetSize(entry.controller, entry.size);
    }
    if (any_ && now_() - last_ > kIdle) {
        fru_.Drop();
        lastWasSdr_ = false;
    }
    WireAnswer answer;
    const bool storage = request.netFn == Ipmi::kNetFnStorage;
    if (storage && !request.Bridged() && request.command == Ipmi::kCmdReserveSdrRepository) {
        answer = Reserve(request);
    } else if (storage && !request.Bridged() && request.command == Ipmi::kCmdGetSdr) {
        answer = GetSdr(request);
    } else {
        lastWasSdr_ = false;
        if (storage && request.command == Ipmi::kCmdReadFruData && switches_.readAhead) {
            answer = fru_.Read(request);
        } else {
            if (storage && request.command == Ipmi::kCmdWriteFruData)
                fru_.Forget(request);
            // A write to an I2C device may change what a FRU device holds.
            if (request.netFn == Ipmi::kNetFnApp && request.command == Ipmi::kCmdMasterWriteRead &&
                request.data.size() > 2 && request.data[2] == 0)
                fru_.Drop();
            answer = wire_(request);
        }
    }
    any_ = true;
    last_ = now_();
    return answer;
}

void CachingTransport::Save() {
    if (!switches_.readAhead || !switches_.sdrCache || !fru_.TakeSizesChanged())
        return;
    std::vector<SdrCacheFile::SizeEntry> sizes;
    for (const auto& [controller, size] : fru_.Sizes())
        sizes.push_back({controller, size});
    std::string why;
    if (!sdr_.SaveSizes(sizes, &why))
        DriverLog::Failure("SDR cache: " + why);
}
