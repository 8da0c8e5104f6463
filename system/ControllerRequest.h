// The request and response record of every controller request.
#pragma once
#include <cstdint>

struct ControllerRequest {
    uint8_t responderAddress; // slave address of the controller (0x20: the BMC)
    uint8_t netFn;
    uint8_t lun;
    uint8_t command;
    uint8_t data[64];    // request data; in a response, the data after the completion code
    uint32_t dataLength; // valid data bytes
    uint8_t completionCode;
    uint8_t reserved[3];
};
static_assert(sizeof(ControllerRequest) == 76, "a controller request record is 76 bytes");

// The one request and response record through which controller requests
// pass, kept for the life of the process; Initialize empties both.
ControllerRequest& RequestRecord();
ControllerRequest& ResponseRecord();
void ClearRecords();

// Sends the request through the driver module and fills the response: the
// request's first four bytes, the completion code and the data after it.
// Returns the driver's result unchanged (0: an answer arrived; the caller
// judges it by completionCode and dataLength).
uint32_t SendRequest(const ControllerRequest* request, ControllerRequest* response,
                     uint32_t timeoutMs);

// The timeout every caller uses, in milliseconds.
constexpr uint32_t kRequestTimeoutMs = 5000;
