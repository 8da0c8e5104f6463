// A BMC whose SDR repository walk never ends, for the scan test: two
// controller locators around an OEM record of 255 bytes, the last naming the
// first as the next record. Only the SDR commands are answered; the Get SDR
// requests are counted.
#include "drivers/KsbApi.h"
#include "support/IpmiDefs.h"

#include <cstring>
#include <vector>

#define EXPORT extern "C" __attribute__((visibility("default")))

namespace {
std::vector<uint8_t> Controller(uint8_t address, char name) {
    return {
        0, 0, 0x51, 0x12, 12, address, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xC1, static_cast<uint8_t>(name)};
}
std::vector<uint8_t> Oem() {
    std::vector<uint8_t> r(5 + 255, 0x5A);
    r[2] = 0x51;
    r[3] = 0xC0;
    r[4] = 255;
    return r;
}
const std::vector<uint8_t> g_records[] = {Controller(0x20, 'A'), Oem(), Controller(0x22, 'B')};
uint32_t g_getSdr = 0;
} // namespace

EXPORT uint32_t LoopingSdrRequests() {
    return g_getSdr;
}

EXPORT uint32_t KsbSendTimedRequest(const KsbRequestBlock* r, uint32_t, uint8_t* out,
                                    uint32_t* length, uint8_t* completionCode) {
    *completionCode = 0;
    *length = 0;
    if (r->netFn == Ipmi::kNetFnStorage && r->command == Ipmi::kCmdReserveSdrRepository) {
        out[0] = 1;
        out[1] = 0;
        *length = 2;
    } else if (r->netFn == Ipmi::kNetFnStorage && r->command == Ipmi::kCmdGetSdr &&
               r->dataLength == 6) {
        ++g_getSdr;
        const uint32_t id = r->data[2] | (r->data[3] << 8), offset = r->data[4], n = r->data[5];
        if (id > 2 || offset + n > g_records[id].size()) {
            *completionCode = 0xCB;
            return KSB_RESULT_OK;
        }
        out[0] = static_cast<uint8_t>((id + 1) % 3);
        out[1] = 0;
        std::memcpy(out + 2, g_records[id].data() + offset, n);
        *length = n + 2;
    } else {
        *completionCode = 0xC1;
    }
    return KSB_RESULT_OK;
}

EXPORT uint32_t KsbReceiveMessage(uint8_t*, uint32_t* length, uint32_t, uint32_t*, uint32_t) {
    *length = 0;
    return KSB_RESULT_TIMEOUT;
}
