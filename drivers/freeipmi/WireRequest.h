// The seam between the module's caches and the IPMI session: one request as
// it goes on the wire and its answer. The caches send through a WireSend, so
// they run the same against libfreeipmi and against a scripted BMC in tests.
#pragma once
#include <cstdint>
#include <functional>
#include <tuple>
#include <vector>

struct WireRequest {
    bool ipmb = false;   // carried over IPMB (Send Message) on `channel`
    uint8_t channel = 0; // the IPMB channel when ipmb is set
    uint8_t responder = 0x20;
    uint8_t netFn = 0;
    uint8_t lun = 0;
    uint8_t command = 0;
    std::vector<uint8_t> data;
    uint32_t timeoutMs = 5000;

    // True when the request goes to another controller than the BMC, which
    // the session reaches over IPMB (channel 0 unless ipmb names one).
    bool Bridged() const { return ipmb || responder != 0x20; }
};

struct WireAnswer {
    uint32_t result = 0; // a non-zero driver result: no answer
    uint8_t completionCode = 0;
    std::vector<uint8_t> data;  // the answer's data after the completion code
    bool bridgeRefused = false; // the BMC would not pass an IPMB request on
};

using WireSend = std::function<WireAnswer(const WireRequest&)>;

// A controller as the caches tell them apart: the path to it and its address.
struct ControllerKey {
    bool bridged = false;
    uint8_t channel = 0;
    uint8_t address = 0x20;

    static ControllerKey Of(const WireRequest& request) {
        return {request.Bridged(), static_cast<uint8_t>(request.ipmb ? request.channel : 0),
                request.responder};
    }
    bool operator<(const ControllerKey& other) const {
        return std::tie(bridged, channel, address) <
               std::tie(other.bridged, other.channel, other.address);
    }
    bool operator==(const ControllerKey& other) const = default;
};

// What Read FRU Data sizes a controller accepts, learned as reads go: the
// largest count that was answered and the smallest refused as too long (0:
// none yet).
struct ReadSize {
    uint8_t good = 0;
    uint8_t bad = 0;
};
