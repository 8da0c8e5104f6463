// The conversation log: when ORVANE_SIM_LOG names a file, every driver call
// appends one line to it, so tests and users can see exactly what was asked
// and answered. Without a file no line is formatted at all.
#pragma once
#include "drivers/KsbApi.h"

#include <cstdint>
#include <string>

namespace SimLog {
// The file lines go to from now on; empty: none.
void SetPath(const std::string& path);
bool Enabled();
// "send rs=20 netfn=0A lun=00 cmd=11 data=[00 00 00 08] -> result=00000000 cc=00 data=[...]".
// The request data shows as [] when it cannot be read (null or more than 64
// bytes); a null request block shows as rs=00 netfn=00 lun=00 cmd=00. A failed
// send (non-zero result) shows cc=00 data=[].
void Send(const KsbRequestBlock* request, uint32_t result, uint8_t completionCode,
          const uint8_t* response, uint32_t responseLength);
// "recv -> result=00000000 data=[...]"; a failed receive shows data=[].
void Receive(uint32_t result, const uint8_t* message, uint32_t length);
// Upper-case hex bytes separated by spaces, nothing for no bytes.
std::string Bytes(const uint8_t* data, uint32_t length);
} // namespace SimLog
