#include "drivers/freeipmi/FreeIpmiDriver.h"

#include "drivers/freeipmi/DriverLog.h"
#include "drivers/freeipmi/IpmbMessage.h"
#include "drivers/freeipmi/IpmiSession.h"
#include "support/IpmiDefs.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <vector>

namespace {

constexpr size_t kMessageCapacity = 64;

// The session and the answers to Send Message requests, kept until unload.
struct ModuleState {
    IpmiSession session;
    std::deque<std::vector<uint8_t>> received;

    ~ModuleState() {
        // ORVANE_IPMI_STATS: one line with the request count when the module goes.
        if (std::getenv("ORVANE_IPMI_STATS"))
            std::fprintf(stderr,
                         "orvane-driver-freeipmi: %llu requests (%llu over IPMB), %llu "
                         "session(s)\n",
                         static_cast<unsigned long long>(session.RequestCount()),
                         static_cast<unsigned long long>(session.BridgedCount()),
                         static_cast<unsigned long long>(session.OpenCount()));
    }
};

ModuleState& State() {
    static ModuleState state;
    return state;
}

// Carries out a Send Message itself: the embedded request goes to its target
// over IPMB and the target's answer is queued as an IPMB response message.
uint32_t SendMessage(const KsbRequestBlock* request, uint32_t timeoutMs, uint32_t* responseLength,
                     uint8_t* completionCode) {
    IpmbMessage::Request embedded;
    std::string why;
    if (!IpmbMessage::Decode(request->data, request->dataLength, &embedded, &why)) {
        DriverLog::Failure(why);
        return KSB_RESULT_MALFORMED;
    }
    uint8_t code = 0;
    std::vector<uint8_t> answer;
    uint32_t result = State().session.Send(
        embedded.channel, true, embedded.responderAddress, embedded.netFn, embedded.responderLun,
        embedded.command, embedded.data.data(), static_cast<uint32_t>(embedded.data.size()),
        timeoutMs, &code, &answer);
    if (result != KSB_RESULT_OK && State().session.BridgeRefused()) {
        // As a BMC answers a Send Message whose target does not acknowledge
        // it: NAK on write. Nothing is queued.
        *completionCode = Ipmi::kCcNotAcknowledged;
        *responseLength = 0;
        return KSB_RESULT_OK;
    }
    if (result != KSB_RESULT_OK)
        return result;
    State().received.push_back(IpmbMessage::EncodeResponse(embedded, code, answer.data(),
                                                           answer.size(), kMessageCapacity));
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

    uint8_t code = 0;
    std::vector<uint8_t> answer;
    uint32_t result = State().session.Send(0, false, request->responderAddress, request->netFn,
                                           request->lun & 0x03, request->command, request->data,
                                           request->dataLength, timeoutMs, &code, &answer);
    if (result != KSB_RESULT_OK)
        return result;
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

ORVANE_DRIVER_EXPORT void OrvaneDriverSetLog(void (*sink)(const char* line)) {
    DriverLog::SetSink(sink);
}
