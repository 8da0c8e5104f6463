#include "support/Globals.h"

namespace Globals {
bool initialised = false;
LibraryState* state = nullptr;
ControllerRequest* requestRecord = nullptr;
ControllerRequest* responseRecord = nullptr;
} // namespace Globals
