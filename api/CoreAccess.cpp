#include "api/CoreAccess.h"

namespace CoreAccess {} // namespace CoreAccess
