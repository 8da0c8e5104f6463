// The trace call and the debug level. Every line goes to "DBGLOG.txt" in the
// current directory as UTF-16LE with CR LF, opened and closed per line.
#pragma once
#include <cstdint>

namespace Trace {
// Trace levels in use: failures at 1, entry and exit lines at 3.
constexpr uint32_t kFailure = 1;
constexpr uint32_t kEntryExit = 3;

void SetDebugLevel(uint32_t level);
uint32_t GetDebugLevel();
// Appends the line when level <= debug level; every log failure is ignored.
void Write(const char16_t* text, uint32_t level);
// The same line joined from up to three parts (null parts are left out), for
// operation names known only at run time.
void Write(const char16_t* text, const char16_t* middle, const char16_t* tail, uint32_t level);
} // namespace Trace

// Convenience forms used at every entry, exit and failure point.
#define ORV_ENTRY(name) Trace::Write(name u" [ENTRY]", Trace::kEntryExit)
#define ORV_EXIT(name) Trace::Write(name u" [EXIT]", Trace::kEntryExit)
#define ORV_FAIL(name, reason) Trace::Write(name u" - " reason, Trace::kFailure)
// The forms for names and reasons held in variables.
#define ORV_ENTRY_AT(name) Trace::Write(name, u" [ENTRY]", nullptr, Trace::kEntryExit)
#define ORV_EXIT_AT(name) Trace::Write(name, u" [EXIT]", nullptr, Trace::kEntryExit)
#define ORV_FAIL_AT(name, reason) Trace::Write(name, u" - ", reason, Trace::kFailure)
