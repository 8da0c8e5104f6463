#include "drivers/freeipmi/IpmbMessage.h"

namespace IpmbMessage {

uint8_t Checksum(const uint8_t* bytes, size_t count) {
    uint8_t sum = 0;
    for (size_t i = 0; i < count; ++i)
        sum = static_cast<uint8_t>(sum + bytes[i]);
    return static_cast<uint8_t>(-sum);
}

bool Decode(const uint8_t* bytes, uint32_t length, Request* request, std::string* why) {
    // channel, rsSA, netFn/rsLUN, checksum, rqSA, rqSeq/rqLUN, command, checksum
    if (!bytes || length < 8) {
        *why =
            "a Send Message request needs at least 8 data bytes, it has " + std::to_string(length);
        return false;
    }
    if (Checksum(bytes + 1, 2) != bytes[3]) {
        *why = "the header checksum of the embedded IPMB request is wrong";
        return false;
    }
    if (Checksum(bytes + 4, length - 5) != bytes[length - 1]) {
        *why = "the data checksum of the embedded IPMB request is wrong";
        return false;
    }
    Request decoded;
    decoded.channel = bytes[0] & 0x0F;
    decoded.responderAddress = bytes[1];
    decoded.netFn = bytes[2] >> 2;
    decoded.responderLun = bytes[2] & 0x03;
    decoded.requesterAddress = bytes[4];
    decoded.sequence = bytes[5] >> 2;
    decoded.requesterLun = bytes[5] & 0x03;
    decoded.command = bytes[6];
    decoded.data.assign(bytes + 7, bytes + length - 1);
    *request = decoded;
    return true;
}

std::vector<uint8_t> EncodeResponse(const Request& request, uint8_t completionCode,
                                    const uint8_t* data, size_t dataLength, size_t capacity) {
    std::vector<uint8_t> message;
    message.push_back(request.requesterAddress);
    message.push_back(static_cast<uint8_t>(((request.netFn | 1) << 2) | request.requesterLun));
    message.push_back(Checksum(message.data(), 2));
    message.push_back(request.responderAddress);
    message.push_back(static_cast<uint8_t>((request.sequence << 2) | request.responderLun));
    message.push_back(request.command);
    message.push_back(completionCode);
    // Seven header bytes and the trailing checksum leave this much for data.
    size_t room = capacity > 8 ? capacity - 8 : 0;
    if (dataLength > room)
        dataLength = room;
    if (data)
        message.insert(message.end(), data, data + dataLength);
    message.push_back(Checksum(message.data() + 3, message.size() - 3));
    return message;
}

} // namespace IpmbMessage
