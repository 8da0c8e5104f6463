// Located FRU devices whose image could not be read: scan and show list them
// with the library's reason, and the command then exits with kExitPartial.
#pragma once
#include "api/CoreAccess.h"

#include <cstdio>
#include <string>
#include <vector>

namespace Unreadable {
std::vector<CoreAccess::LocatedDevice> Devices();
// One line each: address, name, status and the library's message.
void Print(std::FILE* out, const std::vector<CoreAccess::LocatedDevice>& devices);
// The JSON member "unreadable": [...] (without a leading comma).
std::string Json(const std::vector<CoreAccess::LocatedDevice>& devices);
} // namespace Unreadable
