// libfreeipmi's session and raw command functions as the freeipmi driver
// module calls them, answered by a HostileBmc instead of a BMC on a wire: the
// module's own code (session handling, answer checks, Send Message carried
// out by the module, the receive queue) runs unchanged over it. The fuzz
// program hands each input over through FakeFreeIpmiStart.
#include "fuzz/HostileBmc.h"

#include <freeipmi/freeipmi.h>

#include <cstring>

#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

struct ipmi_ctx {
    int errnum = IPMI_ERR_SUCCESS;
};

namespace {

HostileBmc g_bmc;

// The library errors a failed command may leave in the context.
const int kErrors[] = {IPMI_ERR_SESSION_TIMEOUT, IPMI_ERR_CONNECTION_TIMEOUT,
                       IPMI_ERR_MESSAGE_TIMEOUT, IPMI_ERR_DRIVER_TIMEOUT,
                       IPMI_ERR_DEVICE_NOT_OPEN, IPMI_ERR_PARAMETERS,
                       IPMI_ERR_SYSTEM_ERROR,    IPMI_ERR_IPMI_ERROR};

int Command(ipmi_ctx_t ctx, uint8_t responder, uint8_t netFn, const void* request,
            unsigned requestLength, void* response, unsigned responseLength) {
    if (!ctx || !request || requestLength < 1 || !response || responseLength < 2) {
        if (ctx)
            ctx->errnum = IPMI_ERR_PARAMETERS;
        return -1;
    }
    const uint8_t* rq = static_cast<const uint8_t*>(request);
    uint8_t* rs = static_cast<uint8_t*>(response);
    HostileBmc::Answer answer =
        g_bmc.Request(responder, netFn, rq[0], rq + 1, requestLength - 1, responseLength - 2);
    if (answer.result != 0) {
        ctx->errnum = kErrors[g_bmc.Fault() % (sizeof kErrors / sizeof kErrors[0])];
        return -1;
    }
    rs[0] = rq[0];
    rs[1] = answer.completionCode;
    if (!answer.data.empty())
        std::memcpy(rs + 2, answer.data.data(), answer.data.size());
    // Now and then an answer without its completion code, or with nothing.
    const uint8_t cut = g_bmc.Fault();
    if (cut >= 0xFC)
        return cut & 1;
    return static_cast<int>(answer.data.size() + 2);
}

} // namespace

FAKE_EXPORT void FakeFreeIpmiStart(const uint8_t* input, size_t size) {
    g_bmc.Start(input, size);
}

extern "C" {

ipmi_ctx_t ipmi_ctx_create(void) {
    return new ipmi_ctx;
}

void ipmi_ctx_destroy(ipmi_ctx_t ctx) {
    delete ctx;
}

int ipmi_ctx_close(ipmi_ctx_t) {
    return 0;
}

int ipmi_ctx_errnum(ipmi_ctx_t ctx) {
    return ctx ? ctx->errnum : IPMI_ERR_CTX_NULL;
}

char* ipmi_ctx_errormsg(ipmi_ctx_t ctx) {
    static char text[] = "fake libfreeipmi error";
    return ctx ? text : nullptr;
}

int ipmi_ctx_find_inband(ipmi_ctx_t, ipmi_driver_type_t* type, int, uint16_t, uint8_t, const char*,
                         unsigned int, unsigned int) {
    if (type)
        *type = IPMI_DEVICE_OPENIPMI;
    return 1;
}

int ipmi_ctx_open_outofband(ipmi_ctx_t, const char*, const char*, const char*, uint8_t, uint8_t,
                            unsigned int, unsigned int, unsigned int, unsigned int) {
    return 0;
}

int ipmi_ctx_open_outofband_2_0(ipmi_ctx_t, const char*, const char*, const char*,
                                const unsigned char*, unsigned int, uint8_t, uint8_t, unsigned int,
                                unsigned int, unsigned int, unsigned int) {
    return 0;
}

int ipmi_cmd_raw(ipmi_ctx_t ctx, uint8_t, uint8_t netFn, const void* request,
                 unsigned int requestLength, void* response, unsigned int responseLength) {
    return Command(ctx, 0x20, netFn, request, requestLength, response, responseLength);
}

int ipmi_cmd_raw_ipmb(ipmi_ctx_t ctx, uint8_t, uint8_t responder, uint8_t, uint8_t netFn,
                      const void* request, unsigned int requestLength, void* response,
                      unsigned int responseLength) {
    return Command(ctx, responder, netFn, request, requestLength, response, responseLength);
}

} // extern "C"
