// The hostile BMC as a driver module: the library's requests and receives go
// straight to a HostileBmc. The fuzz program loads the module too and hands
// it each input through HostileDriverStart.
#include "drivers/KsbApi.h"
#include "fuzz/HostileBmc.h"

#include <cstring>

#define HOSTILE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {
HostileBmc g_bmc;
} // namespace

HOSTILE_EXPORT void HostileDriverStart(const uint8_t* input, size_t size) {
    g_bmc.Start(input, size);
}

HOSTILE_EXPORT uint32_t KsbSendTimedRequest(const KsbRequestBlock* request, uint32_t,
                                            uint8_t* response, uint32_t* responseLength,
                                            uint8_t* completionCode) {
    if (!request || !response || !responseLength || !completionCode ||
        (request->dataLength && !request->data) || request->dataLength > 64)
        return KSB_RESULT_MALFORMED;
    HostileBmc::Answer answer =
        g_bmc.Request(request->responderAddress, request->netFn, request->command, request->data,
                      request->dataLength, *responseLength);
    if (answer.result != KSB_RESULT_OK) {
        *responseLength = 0;
        return answer.result;
    }
    if (!answer.data.empty())
        std::memcpy(response, answer.data.data(), answer.data.size());
    *responseLength = static_cast<uint32_t>(answer.data.size());
    *completionCode = answer.completionCode;
    return KSB_RESULT_OK;
}

HOSTILE_EXPORT uint32_t KsbReceiveMessage(uint8_t* message, uint32_t* length, uint32_t,
                                          uint32_t* flags, uint32_t) {
    if (!message || !length)
        return KSB_RESULT_MALFORMED;
    if (flags)
        *flags = 0;
    std::vector<uint8_t> next;
    if (!g_bmc.TakeMessage(&next)) {
        *length = 0;
        return KSB_RESULT_TIMEOUT;
    }
    // A message longer than the caller's room is cut, as a driver would.
    if (next.size() > *length)
        next.resize(*length);
    if (!next.empty())
        std::memcpy(message, next.data(), next.size());
    *length = static_cast<uint32_t>(next.size());
    return KSB_RESULT_OK;
}
