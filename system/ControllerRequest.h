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
