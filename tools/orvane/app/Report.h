// How the orvane command fails: every message on standard error goes through
// here, which writes the "orvane: " prefix once, and each call returns the
// exit code that goes with the failure, so that a command ends with
// `return Report::Fail(...)`.
#pragma once
#include "orvane/orvane.h"

#include <cstdint>
#include <functional>
#include <string>

// The exit codes of the orvane command (the README lists them).
constexpr int kExitOk = 0;
constexpr int kExitLibrary = 1;     // a library, driver or system call failed
constexpr int kExitUsage = 2;       // bad command line
constexpr int kExitRefused = 3;     // the command refused to act (sizes, one-byte text, room)
constexpr int kExitPartial = 4;     // done, but some located FRU devices could not be read
constexpr int kExitHostsFailed = 5; // over --hosts: some hosts did not answer in full
// diff answers 0 when the inventories agree, 1 when they differ, 2 on trouble.
constexpr int kExitDiffers = 1;
constexpr int kExitDiffTrouble = 2;

namespace Report {
// What every message of the command on standard error begins with.
constexpr const char* kPrefix = "orvane: ";
// "orvane: " and the text; the failure of a library, driver or system call.
[[gnu::format(printf, 1, 2)]] int Fail(const char* format, ...);
// The same, for a change the command's checks refused (nothing written).
[[gnu::format(printf, 1, 2)]] int Refused(const char* format, ...);
// The same without an exit code: a note, or a failure a caller goes on from.
[[gnu::format(printf, 1, 2)]] void Say(const char* format, ...);
// "orvane COMMAND: " and the text: a failure a command tells in its own name.
[[gnu::format(printf, 2, 3)]] void SayIn(const char* command, const char* format, ...);
// "orvane COMMAND: problem" and a line that points to the command's help
// (usage errors). An empty command names the program alone.
int Usage(const std::string& command, const std::string& problem);

// What the command writes besides results and errors: --quiet silences
// notes and progress; progress shows on a terminal, or with --progress.
void SetVerbosity(bool progress, bool quiet);
bool ProgressShown();
// A remark beside a result on standard output (how a value was stored, an
// area that grew); --quiet silences it.
[[gnu::format(printf, 1, 2)]] void Note(const char* format, ...);
// A remark on standard error with the prefix (a language without a
// catalogue); --quiet silences it.
[[gnu::format(printf, 1, 2)]] void Remark(const char* format, ...);
// A failed library call: what was being done, its status and the library's
// last-error text.
int Library(OrvaneInterface* api, const std::string& what, uint32_t status);
// A failed system call: what was being done and the error number's text.
int Os(const std::string& what, int error);

// With --json, a failing command prints one JSON object on standard output:
// {"error": the first failure reported, "status": "failed", "refused" or
// "usage", "library_status": "0x..." when a library call failed,
// "exit_code": N}, unless it printed its result document already (Printed).
void JsonMode(bool json);
void Printed();
// The exit code, after that object when it is due.
int Finish(int code);
// Runs run; when diverted (--json), what it writes on standard output goes
// to standard error, so that the result document printed afterwards is all
// that standard output holds. Returns run's exit code.
int Diverted(bool diverted, const std::function<int()>& run);
} // namespace Report
