// A small scripted BMC for the transfer, image and scan tests: one FRU image
// served by Read/Write FRU Data and Master Write-Read, an SDR repository,
// Send Message with a receive queue, a completion code script, and a log of
// every request it saw.
#include "drivers/KsbApi.h"

#include <cstring>
#include <deque>
#include <string>
#include <vector>

#define EXPORT extern "C" __attribute__((visibility("default")))

struct FakeRequest {
    uint8_t responder, netFn, lun, command;
    uint32_t length;
    uint8_t data[64];
};

namespace {
std::vector<uint8_t> g_image;
std::vector<std::vector<uint8_t>> g_sdr;
std::vector<int32_t> g_nextIds; // per record: the next record id answered, -1 the usual
std::vector<FakeRequest> g_log;
std::deque<uint8_t> g_codes; // completion codes to answer first, one per request
std::deque<std::vector<uint8_t>> g_queue;
uint16_t g_reservation = 0;

uint8_t Answer(const KsbRequestBlock* r, uint8_t* out, uint32_t* length) {
    const uint8_t* d = r->data;
    *length = 0;
    if (r->netFn == 0x0A && r->command == 0x11) { // Read FRU Data
        uint32_t offset = d[1] | (d[2] << 8), n = d[3];
        if (offset + n > g_image.size())
            return 0xC9;
        out[0] = static_cast<uint8_t>(n);
        std::memcpy(out + 1, g_image.data() + offset, n);
        *length = n + 1;
        return 0;
    }
    if (r->netFn == 0x0A && r->command == 0x12) { // Write FRU Data
        uint32_t offset = d[1] | (d[2] << 8), n = r->dataLength - 3;
        if (offset + n > g_image.size())
            return 0xC9;
        std::memcpy(g_image.data() + offset, d + 3, n);
        out[0] = static_cast<uint8_t>(n);
        *length = 1;
        return 0;
    }
    if (r->netFn == 0x06 && r->command == 0x52) { // Master Write-Read
        uint32_t n = d[2];
        uint32_t offset = d[3] == 0x17 ? d[4] : (d[3] << 8) | d[4];
        if (offset + n > g_image.size())
            return 0xC9;
        std::memcpy(out, g_image.data() + offset, n);
        *length = n;
        return 0;
    }
    if (r->netFn == 0x0A && r->command == 0x22) { // Reserve SDR Repository
        ++g_reservation;
        out[0] = static_cast<uint8_t>(g_reservation);
        out[1] = static_cast<uint8_t>(g_reservation >> 8);
        *length = 2;
        return 0;
    }
    if (r->netFn == 0x0A && r->command == 0x23) { // Get SDR
        uint32_t id = d[2] | (d[3] << 8), offset = d[4], n = d[5];
        if (id >= g_sdr.size() || offset + n > g_sdr[id].size())
            return 0xCB;
        uint16_t next = id + 1 < g_sdr.size() ? static_cast<uint16_t>(id + 1) : 0xFFFF;
        if (g_nextIds[id] >= 0)
            next = static_cast<uint16_t>(g_nextIds[id]);
        out[0] = static_cast<uint8_t>(next);
        out[1] = static_cast<uint8_t>(next >> 8);
        std::memcpy(out + 2, g_sdr[id].data() + offset, n);
        *length = n + 2;
        return 0;
    }
    if (r->netFn == 0x06 && r->command == 0x34) { // Send Message: answer Read FRU Data
        KsbRequestBlock inner{};
        inner.netFn = d[2] >> 2;
        inner.command = d[6];
        inner.data = d + 7;
        inner.dataLength = r->dataLength - 8;
        std::vector<uint8_t> message(7 + 64);
        uint32_t innerLength = 0;
        message[4] = d[5] & 0xFC;
        message[6] = Answer(&inner, message.data() + 7, &innerLength);
        message.resize(7 + innerLength);
        g_queue.push_back(message);
        return 0;
    }
    return 0xC1;
}
} // namespace

EXPORT void FakeBmcReset(const uint8_t* image, uint32_t size) {
    g_image.assign(image, image + size);
    g_sdr.clear();
    g_nextIds.clear();
    g_log.clear();
    g_codes.clear();
    g_queue.clear();
}
EXPORT void FakeBmcAddRecord(const uint8_t* record, uint32_t size) {
    g_sdr.emplace_back(record, record + size);
    g_nextIds.push_back(-1);
}
// Makes Get SDR of record id answer next as the next record id.
EXPORT void FakeBmcLinkRecord(uint32_t id, uint16_t next) {
    if (id < g_nextIds.size())
        g_nextIds[id] = next;
}
EXPORT void FakeBmcScriptCode(uint8_t code) {
    g_codes.push_back(code);
}
EXPORT const uint8_t* FakeBmcImage() {
    return g_image.data();
}
EXPORT uint32_t FakeBmcLogCount() {
    return static_cast<uint32_t>(g_log.size());
}
EXPORT const FakeRequest* FakeBmcLogAt(uint32_t i) {
    return &g_log[i];
}

EXPORT uint32_t KsbSendTimedRequest(const KsbRequestBlock* request, uint32_t, uint8_t* response,
                                    uint32_t* responseLength, uint8_t* completionCode) {
    if (!request || !response || !responseLength || !completionCode || request->dataLength > 64)
        return KSB_RESULT_MALFORMED;
    FakeRequest logged{request->responderAddress, request->netFn,      request->lun,
                       request->command,          request->dataLength, {}};
    std::memcpy(logged.data, request->data, request->dataLength);
    g_log.push_back(logged);
    if (request->responderAddress != 0x20)
        return KSB_RESULT_TIMEOUT; // only the BMC answers directly
    if (!g_codes.empty()) {
        *completionCode = g_codes.front();
        g_codes.pop_front();
        *responseLength = 0;
        return 0;
    }
    *completionCode = Answer(request, response, responseLength);
    return 0;
}

EXPORT uint32_t KsbReceiveMessage(uint8_t* message, uint32_t* length, uint32_t, uint32_t*,
                                  uint32_t) {
    if (g_queue.empty()) {
        *length = 0;
        return KSB_RESULT_TIMEOUT;
    }
    std::vector<uint8_t> m = g_queue.front();
    g_queue.pop_front();
    std::memcpy(message, m.data(), m.size());
    *length = static_cast<uint32_t>(m.size());
    return 0;
}
