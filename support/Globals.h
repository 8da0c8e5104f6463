// The process-wide state behind the exported functions.
#pragma once
#include <cstdint>

class LibraryState;
struct ControllerRequest;

namespace Globals {
// True once Initialize has completed.
extern bool initialised;
// The library state in use (null before Initialize and after DeInitialize).
extern LibraryState* state;
// The one request and response record through which controller requests pass.
extern ControllerRequest* requestRecord;
extern ControllerRequest* responseRecord;
} // namespace Globals
