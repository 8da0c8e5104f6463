// The driver module: a shared object that exports KsbSendTimedRequest and
// KsbReceiveMessage. It is loaded with dlopen on the first controller request
// and kept until the library is unloaded.
#pragma once
#include "drivers/KsbApi.h"

#include <cstdint>
#include <string>

namespace DriverModule {
// Which module: $ORVANE_DRIVER as a path, or the short names "sim" and
// "freeipmi" for the modules installed beside liborvane.so; unset: freeipmi.
std::string ModulePath();
uint32_t SendTimedRequest(const KsbRequestBlock* request, uint32_t timeoutMs, uint8_t* response,
                          uint32_t* responseLength, uint8_t* completionCode);
uint32_t ReceiveMessage(uint8_t* message, uint32_t* length, uint32_t timeoutMs, uint32_t* flags,
                        uint32_t reserved);
// A host's own receiver of the reasons a module or its loading gives for a
// failure (narrow text, one reason a call), besides the debug log; null: none.
using ReasonSink = void (*)(const char* reason);
void SetReasonSink(ReasonSink sink);
// Makes the module forget the FRU bytes it holds (a module that keeps a
// read-ahead of FRU devices exports OrvaneDriverForgetReads), so the next
// Read FRU Data goes to the device. Nothing when no module is loaded or it
// keeps none.
void ForgetCachedReads();
// Closes the module, so the next request loads it again (unload, tests).
void Unload();
} // namespace DriverModule
