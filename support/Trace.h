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
} // namespace Trace

// Convenience forms used at every entry, exit and failure point.
#define ORV_ENTRY(name) Trace::Write(name u" [ENTRY]", Trace::kEntryExit)
#define ORV_EXIT(name) Trace::Write(name u" [EXIT]", Trace::kEntryExit)
#define ORV_FAIL(name, reason) Trace::Write(name u" - " reason, Trace::kFailure)
