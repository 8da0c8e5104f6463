// A driver module for the transport tests: it records the last request block
// it received (with a copy of its data) and answers as the test sets it up.
#include "drivers/KsbApi.h"

#include <cstring>

#define EXPORT extern "C" __attribute__((visibility("default")))

struct RecordedRequest {
    KsbRequestBlock block;
    uint8_t data[256];
    uint32_t timeoutMs;
    uint32_t responseCapacity;
};

namespace {
RecordedRequest g_last{};
uint32_t g_result = 0;
uint8_t g_completionCode = 0;
uint8_t g_answer[64] = {};
uint32_t g_answerLength = 0;
} // namespace

EXPORT const RecordedRequest* RecordingDriverLast() {
    return &g_last;
}

EXPORT void RecordingDriverAnswer(uint32_t result, uint8_t completionCode, const uint8_t* data,
                                  uint32_t length) {
    g_result = result;
    g_completionCode = completionCode;
    g_answerLength = length;
    if (data)
        std::memcpy(g_answer, data, length);
}

EXPORT uint32_t KsbSendTimedRequest(const KsbRequestBlock* request, uint32_t timeoutMs,
                                    uint8_t* response, uint32_t* responseLength,
                                    uint8_t* completionCode) {
    g_last.block = *request;
    if (request->data && request->dataLength <= sizeof g_last.data)
        std::memcpy(g_last.data, request->data, request->dataLength);
    g_last.timeoutMs = timeoutMs;
    g_last.responseCapacity = *responseLength;
    std::memcpy(response, g_answer, g_answerLength);
    *responseLength = g_answerLength;
    *completionCode = g_completionCode;
    return g_result;
}

#ifndef RECORDING_DRIVER_WITHOUT_RECEIVE
EXPORT uint32_t KsbReceiveMessage(uint8_t*, uint32_t* length, uint32_t, uint32_t*, uint32_t) {
    *length = 0;
    return KSB_RESULT_TIMEOUT;
}
#endif
