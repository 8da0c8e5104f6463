#include "system/ControllerRequest.h"

#include "system/DriverModule.h"

#include <cstring>

namespace {
ControllerRequest g_request{};
ControllerRequest g_response{};
} // namespace

ControllerRequest& RequestRecord() {
    return g_request;
}

ControllerRequest& ResponseRecord() {
    return g_response;
}

void ClearRecords() {
    g_request = {};
    g_response = {};
}

uint32_t SendRequest(const ControllerRequest* request, ControllerRequest* response,
                     uint32_t timeoutMs) {
    std::memset(response->data, 0, sizeof response->data);
    uint32_t responseLength = sizeof response->data;
    uint8_t completionCode = 0;

    KsbRequestBlock block{};
    block.command = request->command;
    block.responderAddress = request->responderAddress;
    block.busType = 0;
    block.netFn = request->netFn;
    block.lun = request->lun;
    block.data = request->data;
    block.dataLength = request->dataLength;

    uint32_t result = DriverModule::SendTimedRequest(&block, timeoutMs, response->data,
                                                     &responseLength, &completionCode);
    response->responderAddress = request->responderAddress;
    response->netFn = request->netFn;
    response->lun = request->lun;
    response->command = request->command;
    response->completionCode = completionCode;
    // A driver may not claim more bytes than the record holds.
    response->dataLength =
        responseLength > sizeof response->data ? sizeof response->data : responseLength;
    return result;
}
