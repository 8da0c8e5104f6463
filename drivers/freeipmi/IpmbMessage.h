// The IPMB messages of a Send Message request: the request the library embeds
// in its data, and the response message the module queues for
// KsbReceiveMessage in its place.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace IpmbMessage {

// The embedded request of a Send Message (netFn 0x06, command 0x34).
struct Request {
    uint8_t channel = 0; // channel number (bits 3..0 of the first data byte)
    uint8_t responderAddress = 0;
    uint8_t netFn = 0;
    uint8_t responderLun = 0;
    uint8_t requesterAddress = 0;
    uint8_t sequence = 0; // 0 to 63
    uint8_t requesterLun = 0;
    uint8_t command = 0;
    std::vector<uint8_t> data;
};

// The checksum that makes the bytes add up to 0 modulo 256.
uint8_t Checksum(const uint8_t* bytes, size_t count);

// Decodes Send Message request data: channel, rsSA, netFn/rsLUN, checksum,
// rqSA, rqSeq/rqLUN, command, data, checksum. False with a reason when it is
// too short or a checksum does not match.
bool Decode(const uint8_t* bytes, uint32_t length, Request* request, std::string* why);

// The response message to a decoded request, as the responder would put it on
// IPMB: rqSA, (netFn | 1) << 2 | rqLUN, checksum, rsSA, rqSeq << 2 | rsLUN,
// command, completion code, data, checksum. Data that would make the message
// longer than capacity is cut.
std::vector<uint8_t> EncodeResponse(const Request& request, uint8_t completionCode,
                                    const uint8_t* data, size_t dataLength, size_t capacity);

} // namespace IpmbMessage
