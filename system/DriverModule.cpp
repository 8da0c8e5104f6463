#include "system/DriverModule.h"

#include "support/InstallPaths.h"
#include "support/Trace.h"
#include "support/Utf16.h"

#include <cstdlib>
#include <dlfcn.h>
#include <unistd.h>

namespace DriverModule {
namespace {

void* g_handle = nullptr;
KsbSendTimedRequestFn g_send = nullptr;
KsbReceiveMessageFn g_receive = nullptr;
bool g_failed = false; // a failed load is not retried until Unload
ReasonSink g_sink = nullptr;

void LogFailure(const std::string& why) {
    if (g_sink)
        g_sink(why.c_str());
    // The reason is written to the debug log at level 1, like any failure line.
    std::u16string line = u"Orvane::LoadDriver - " + Utf16::FromUtf8(why);
    Trace::Write(line.c_str(), Trace::kFailure);
}

// A driver module's reason for a failure, written at level 1 like the library's own.
void ModuleReason(const char* reason) {
    if (!reason)
        return;
    if (g_sink)
        g_sink(reason);
    std::u16string line = u"Orvane::Driver - " + Utf16::FromUtf8(reason);
    Trace::Write(line.c_str(), Trace::kFailure);
}

uint32_t Load() {
    if (g_send && g_receive)
        return KSB_RESULT_OK;
    if (g_failed)
        return g_handle ? KSB_RESULT_NO_FUNCTION : KSB_RESULT_NO_DRIVER;
    std::string path = ModulePath();
    g_handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!g_handle) {
        const char* error = dlerror();
        LogFailure("Cannot load driver module " + path + ": " + (error ? error : "unknown error"));
        g_failed = true;
        return KSB_RESULT_NO_DRIVER;
    }
    g_send = reinterpret_cast<KsbSendTimedRequestFn>(dlsym(g_handle, "KsbSendTimedRequest"));
    g_receive = reinterpret_cast<KsbReceiveMessageFn>(dlsym(g_handle, "KsbReceiveMessage"));
    if (!g_send || !g_receive) {
        LogFailure("Driver module " + path + " lacks " +
                   (!g_send ? "KsbSendTimedRequest" : "KsbReceiveMessage"));
        g_send = nullptr;
        g_receive = nullptr;
        g_failed = true;
        return KSB_RESULT_NO_FUNCTION;
    }
    // A module that can say why a request failed gets the library's debug log
    // for its reasons.
    using SetLogFn = void (*)(void (*)(const char*));
    if (auto setLog = reinterpret_cast<SetLogFn>(dlsym(g_handle, "OrvaneDriverSetLog")))
        setLog(ModuleReason);
    return KSB_RESULT_OK;
}

} // namespace

std::string ModulePath() {
    const char* chosen = std::getenv("ORVANE_DRIVER");
    std::string name = chosen && *chosen ? chosen : "freeipmi";
    if (name == "sim" || name == "freeipmi")
        return InstallPaths::ModuleFile("orvane-driver-" + name + ".so");
    return name;
}

uint32_t SendTimedRequest(const KsbRequestBlock* request, uint32_t timeoutMs, uint8_t* response,
                          uint32_t* responseLength, uint8_t* completionCode) {
    if (uint32_t result = Load())
        return result;
    return g_send(request, timeoutMs, response, responseLength, completionCode);
}

uint32_t ReceiveMessage(uint8_t* message, uint32_t* length, uint32_t timeoutMs, uint32_t* flags,
                        uint32_t reserved) {
    if (uint32_t result = Load())
        return result;
    return g_receive(message, length, timeoutMs, flags, reserved);
}

void ForgetCachedReads() {
    if (!g_handle)
        return;
    using ForgetFn = void (*)();
    if (auto forget = reinterpret_cast<ForgetFn>(dlsym(g_handle, "OrvaneDriverForgetReads")))
        forget();
}

void SetReasonSink(ReasonSink sink) {
    g_sink = sink;
}

void Unload() {
    if (g_handle)
        dlclose(g_handle);
    g_handle = nullptr;
    g_send = nullptr;
    g_receive = nullptr;
    g_failed = false;
}

} // namespace DriverModule
