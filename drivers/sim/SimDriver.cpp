// The simulated BMC's driver functions. The system is read from the file that
// ORVANE_SIM_SYSTEM names on the first call and again whenever that variable
// names another file (the environment is looked at again only when it
// changed, see SimEnvironment); a system that cannot be read makes every request fail
// with KSB_RESULT_TRANSPORT, and the reason goes to standard error once.
//
// Answers come at once: the timeout of a send is not waited out, and a
// request to an address where no controller sits (or one that a no_response
// fault takes) returns KSB_RESULT_TIMEOUT immediately. Only a receive from an
// empty queue waits, up to its timeout, as a real receive queue would.
#include "drivers/KsbApi.h"
#include "drivers/sim/SimBmc.h"
#include "drivers/sim/SimEnvironment.h"
#include "drivers/sim/SimLog.h"
#include "drivers/sim/SimSystem.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>

#define SIM_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

std::mutex g_mutex;
std::condition_variable g_queued; // a bridged answer was queued
SimEnvironment g_environment;
bool g_loaded = false;
std::string g_name; // the description the current system came from
SimSystem g_system;
std::unique_ptr<SimBmc> g_bmc; // null: no usable system

void RefreshEnvironment() {
    if (g_environment.Refresh())
        SimLog::SetPath(g_environment.LogPath());
}

// Makes the system current for $ORVANE_SIM_SYSTEM; false: no usable system.
bool Ready() {
    const std::string& name = g_environment.System();
    if (g_loaded && name == g_name)
        return g_bmc != nullptr;
    g_loaded = true;
    g_name = name;
    g_bmc.reset();
    if (name.empty()) {
        std::fprintf(stderr, "orvane-driver-sim: ORVANE_SIM_SYSTEM is not set; no system to "
                             "simulate\n");
        return false;
    }
    std::string error;
    if (!g_system.Load(name, error)) {
        std::fprintf(stderr, "orvane-driver-sim: %s: %s\n", name.c_str(), error.c_str());
        return false;
    }
    g_bmc = std::make_unique<SimBmc>(g_system);
    return true;
}

} // namespace

SIM_EXPORT uint32_t KsbSendTimedRequest(const KsbRequestBlock* request, uint32_t timeoutMs,
                                        uint8_t* response, uint32_t* responseLength,
                                        uint8_t* completionCode) {
    (void)timeoutMs;
    std::lock_guard<std::mutex> lock(g_mutex);
    RefreshEnvironment();
    uint32_t result = KSB_RESULT_OK;
    SimAnswer answer;
    if (!request || !response || !responseLength || !completionCode || !request->data ||
        request->dataLength > 64) {
        result = KSB_RESULT_MALFORMED;
    } else {
        try {
            if (!Ready()) {
                result = KSB_RESULT_TRANSPORT;
            } else {
                SimRequest r;
                r.responder = request->responderAddress;
                r.netFn = request->netFn;
                r.lun = request->lun;
                r.command = request->command;
                r.data = request->data;
                r.length = request->dataLength;
                bool queued = g_bmc->HasMessage();
                answer = g_bmc->Send(r, *responseLength);
                result = answer.result;
                if (!queued && g_bmc->HasMessage())
                    g_queued.notify_all();
            }
        } catch (...) { // never let an exception out of the module
            result = KSB_RESULT_TRANSPORT;
        }
    }
    uint32_t length = 0;
    if (result == KSB_RESULT_OK) {
        length = static_cast<uint32_t>(answer.data.size()); // Send kept it within capacity
        if (length)
            std::memcpy(response, answer.data.data(), length);
    }
    if (responseLength)
        *responseLength = length;
    if (completionCode)
        *completionCode = result == KSB_RESULT_OK ? answer.completionCode : 0;
    SimLog::Send(request, result, answer.completionCode, response, length);
    return result;
}

SIM_EXPORT uint32_t KsbReceiveMessage(uint8_t* message, uint32_t* length, uint32_t timeoutMs,
                                      uint32_t* flags, uint32_t reserved) {
    (void)reserved;
    std::unique_lock<std::mutex> lock(g_mutex);
    RefreshEnvironment();
    uint32_t result;
    if (flags)
        *flags = 0;
    if (!message || !length) {
        result = KSB_RESULT_MALFORMED;
    } else if (!Ready()) {
        result = KSB_RESULT_TRANSPORT;
        *length = 0;
    } else {
        g_queued.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                          [] { return g_bmc && g_bmc->HasMessage(); });
        result = g_bmc ? g_bmc->Receive(message, length) : KSB_RESULT_TRANSPORT;
    }
    SimLog::Receive(result, message, result == KSB_RESULT_OK ? *length : 0);
    return result;
}
