// The driver module over libfreeipmi: the two driver functions of
// drivers/KsbApi.h and request counters for measurements.
#pragma once
#include "drivers/KsbApi.h"

#define ORVANE_DRIVER_EXPORT extern "C" __attribute__((visibility("default")))

ORVANE_DRIVER_EXPORT uint32_t KsbSendTimedRequest(const KsbRequestBlock* request,
                                                  uint32_t timeoutMs, uint8_t* response,
                                                  uint32_t* responseLength,
                                                  uint8_t* completionCode);
ORVANE_DRIVER_EXPORT uint32_t KsbReceiveMessage(uint8_t* message, uint32_t* length,
                                                uint32_t timeoutMs, uint32_t* flags,
                                                uint32_t reserved);
// The number of IPMI requests this module has put on the wire since it was
// loaded (session setup not counted).
ORVANE_DRIVER_EXPORT uint64_t OrvaneIpmiRequestCount(void);
// The number of requests the library made of this module since it was
// loaded (those answered from the module's caches included).
ORVANE_DRIVER_EXPORT uint64_t OrvaneIpmiLibraryRequestCount(void);
// Forgets the FRU bytes the read-ahead holds, so the next Read FRU Data of
// any device goes to the wire (a backup or a verification read).
ORVANE_DRIVER_EXPORT void OrvaneDriverForgetReads(void);
// Routes the module's failure lines (the reason behind every non-zero
// result) to the library's debug log; null routes them back to stderr.
ORVANE_DRIVER_EXPORT void OrvaneDriverSetLog(void (*sink)(const char* line));
