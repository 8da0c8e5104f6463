// Failure and trace lines of the freeipmi driver module. They go to the sink
// the library hands over (OrvaneDriverSetLog), else to standard error when
// ORVANE_IPMI_DEBUG is set (any value; 2 adds a line per request, 3 the
// packet dump of libfreeipmi).
#pragma once
#include <string>

namespace DriverLog {

using Sink = void (*)(const char* line);

// Failure lines go to this function from now on (null: back to stderr).
void SetSink(Sink sink);

// Hands "<why>" to the sink, or writes "orvane-driver-freeipmi: <why>" to
// stderr when ORVANE_IPMI_DEBUG is set.
void Failure(const std::string& why);
// What the session is (its interface, cipher suite and privilege) and what
// --insecure let through: to the sink like a failure line, so that it is in
// the library's debug log and the command can show it.
void Note(const std::string& line);
// Writes a per-request line when ORVANE_IPMI_DEBUG is 2 or more.
void Request(const std::string& line);
// The level read from ORVANE_IPMI_DEBUG (0 unset, 1 set, else its number).
int Level();

} // namespace DriverLog
