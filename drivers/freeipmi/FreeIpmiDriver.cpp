#include "drivers/freeipmi/FreeIpmiDriver.h"

#include "drivers/freeipmi/CachingTransport.h"
#include "drivers/freeipmi/DriverLog.h"
#include "drivers/freeipmi/DriverSettings.h"
#include "drivers/freeipmi/IpmbMessage.h"
#include "drivers/freeipmi/IpmiSession.h"
#include "drivers/freeipmi/SdrCacheFile.h"
#include "support/IpmiDefs.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <vector>

namespace {

constexpr size_t kMessageCapacity = 64;

bool SwitchedOff(const char* name) {
    const char* value = std::getenv(name);
    return value && std::strcmp(value, "0") == 0;
}

// Over LAN the BMC carries a bridged answer back in its own message, so reads
// behind it may start as large as direct ones (a controller or bridge that
// refuses gets IPMB's size from then on); in-band, the kernel does not bring
// back an answer larger than one IPMB message.
uint8_t FirstBridgedCount() {
    const char* host = std::getenv("ORVANE_IPMI_HOST");
    return host && *host ? FruReadAhead::kFirstCount : FruReadAhead::kFirstBridgedCount;
}

// The SDR cache file of the BMC the settings name.
std::string CachePath() {
    const char* host = std::getenv("ORVANE_IPMI_HOST");
    if (!host || !*host)
        return SdrCacheFile::PathFor("inband", "");
    const char* name = std::getenv("ORVANE_IPMI_INTERFACE");
    DriverSettings::Interface interface = DriverSettings::Interface::LanPlus;
    if (!DriverSettings::ParseInterface(name ? name : "", &interface))
        return "";
    return SdrCacheFile::PathFor(interface == DriverSettings::Interface::Lan ? "lan" : "lanplus",
                                 host);
}

// The session, the caches in front of it and the answers to Send Message
// requests, kept until unload.
struct ModuleState {
    IpmiSession session;
    CachingTransport transport{[this](const WireRequest& request) { return OnWire(request); },
                               {!SwitchedOff("ORVANE_IPMI_READAHEAD"),
                                !SwitchedOff("ORVANE_IPMI_SDR_CACHE"), FirstBridgedCount()},
                               CachePath()};
    std::deque<std::vector<uint8_t>> received;

    WireAnswer OnWire(const WireRequest& request) {
        WireAnswer answer;
        answer.result = session.Send(
            request.channel, request.ipmb, request.responder, request.netFn, request.lun & 0x03,
            request.command, request.data.data(), static_cast<uint32_t>(request.data.size()),
            request.timeoutMs, &answer.completionCode, &answer.data);
        answer.bridgeRefused = answer.result != KSB_RESULT_OK && session.BridgeRefused();
        return answer;
    }

    ~ModuleState() {
        transport.Save();
        // ORVANE_IPMI_STATS: one line with the request counts when the module goes.
        const char* stats = std::getenv("ORVANE_IPMI_STATS");
        if (stats && std::strcmp(stats, "0") != 0)
            std::fprintf(stderr,
                         "orvane-driver-freeipmi: %llu requests from the library, %llu on the "
                         "wire (%llu over IPMB); answered from the FRU cache %llu, from the SDR "
                         "cache %llu (%llu repository fetches); %llu session(s)\n",
                         static_cast<unsigned long long>(transport.LibraryRequests()),
                         static_cast<unsigned long long>(session.RequestCount()),
                         static_cast<unsigned long long>(session.BridgedCount()),
                         static_cast<unsigned long long>(transport.FruHits()),
                         static_cast<unsigned long long>(transport.SdrHits()),
                         static_cast<unsigned long long>(transport.SdrFetches()),
                         static_cast<unsigned long long>(session.OpenCount()));
    }
};

ModuleState& State() {
    static ModuleState state;
    return state;
}

// Carries out a Send Message itself: the embedded request goes to its target
// over IPMB (or is answered from the caches) and the target's answer is
// queued as an IPMB response message.
uint32_t SendMessage(const KsbRequestBlock* request, uint32_t timeoutMs, uint32_t* responseLength,
                     uint8_t* completionCode) {
    IpmbMessage::Request embedded;
    std::string why;
    if (!IpmbMessage::Decode(request->data, request->dataLength, &embedded, &why)) {
        DriverLog::Failure(why);
        return KSB_RESULT_MALFORMED;
    }
    WireRequest wire;
    wire.ipmb = true;
    wire.channel = embedded.channel;
    wire.responder = embedded.responderAddress;
    wire.netFn = embedded.netFn;
    wire.lun = embedded.responderLun;
    wire.command = embedded.command;
    wire.data = embedded.data;
    wire.timeoutMs = timeoutMs;
    WireAnswer answer = State().transport.Send(wire);
    if (answer.bridgeRefused) {
        // As a BMC answers a Send Message whose target does not acknowledge
        // it: NAK on write. Nothing is queued.
        *completionCode = Ipmi::kCcNotAcknowledged;
        *responseLength = 0;
        return KSB_RESULT_OK;
    }
    if (answer.result != KSB_RESULT_OK)
        return answer.result;
    State().received.push_back(IpmbMessage::EncodeResponse(
        embedded, answer.completionCode, answer.data.data(), answer.data.size(), kMessageCapacity));
    *completionCode = 0;
    *responseLength = 0;
    return KSB_RESULT_OK;
}

} // namespace

ORVANE_DRIVER_EXPORT uint32_t KsbSendTimedRequest(const KsbRequestBlock* request,
                                                  uint32_t timeoutMs, uint8_t* response,
                                                  uint32_t* responseLength,
                                                  uint8_t* completionCode) {
    if (!request || !response || !responseLength || !completionCode || request->dataLength > 64 ||
        (request->dataLength && !request->data)) {
        DriverLog::Failure("malformed request block (null pointer or more than 64 data bytes)");
        return KSB_RESULT_MALFORMED;
    }
    if (request->responderAddress == Ipmi::kBmcAddress && request->netFn == Ipmi::kNetFnApp &&
        request->command == Ipmi::kCmdSendMessage)
        return SendMessage(request, timeoutMs, responseLength, completionCode);

    WireRequest wire;
    wire.responder = request->responderAddress;
    wire.netFn = request->netFn;
    wire.lun = request->lun & 0x03;
    wire.command = request->command;
    if (request->dataLength)
        wire.data.assign(request->data, request->data + request->dataLength);
    wire.timeoutMs = timeoutMs;
    WireAnswer reply = State().transport.Send(wire);
    if (reply.result != KSB_RESULT_OK)
        return reply.result;
    const std::vector<uint8_t>& answer = reply.data;
    const uint8_t code = reply.completionCode;
    if (answer.size() > *responseLength)
        DriverLog::Failure("an answer of " + std::to_string(answer.size()) + " bytes is cut to " +
                           std::to_string(*responseLength));
    uint32_t length = std::min<uint32_t>(*responseLength, static_cast<uint32_t>(answer.size()));
    std::copy(answer.begin(), answer.begin() + length, response);
    *responseLength = length;
    *completionCode = code;
    return KSB_RESULT_OK;
}

ORVANE_DRIVER_EXPORT uint32_t KsbReceiveMessage(uint8_t* message, uint32_t* length,
                                                uint32_t /*timeoutMs*/, uint32_t* flags,
                                                uint32_t /*reserved*/) {
    if (!message || !length) {
        DriverLog::Failure("malformed receive call (null pointer)");
        return KSB_RESULT_MALFORMED;
    }
    if (flags)
        *flags = 0;
    // Every queued answer is complete when its Send Message returns, so an
    // empty queue stays empty: report the timeout at once.
    auto& received = State().received;
    if (received.empty()) {
        *length = 0;
        return KSB_RESULT_TIMEOUT;
    }
    std::vector<uint8_t> next = std::move(received.front());
    received.pop_front();
    uint32_t count = std::min<uint32_t>(*length, static_cast<uint32_t>(next.size()));
    std::memcpy(message, next.data(), count);
    *length = count;
    return KSB_RESULT_OK;
}

ORVANE_DRIVER_EXPORT uint64_t OrvaneIpmiRequestCount(void) {
    return State().session.RequestCount();
}

ORVANE_DRIVER_EXPORT uint64_t OrvaneIpmiLibraryRequestCount(void) {
    return State().transport.LibraryRequests();
}

ORVANE_DRIVER_EXPORT void OrvaneDriverForgetReads(void) {
    State().transport.ForgetFruBytes();
}

ORVANE_DRIVER_EXPORT void OrvaneDriverSetLog(void (*sink)(const char* line)) {
    DriverLog::SetSink(sink);
}
