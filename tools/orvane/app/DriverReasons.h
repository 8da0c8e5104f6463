// The driver modules' reasons for failures, on standard error: the command
// collects what a module (or the loading of one) says, shows it at once with
// ORVANE_IPMI_DEBUG set, and names it when the BMC cannot be reached.
#pragma once
#include <string>
#include <vector>

namespace DriverReasons {
// Hands the library a receiver of the driver modules' reasons.
void Install();
// The reasons collected so far, oldest first.
const std::vector<std::string>& Collected();
// Asks the BMC for its device id. False, after a report on standard error
// with the driver's result and reasons, when no answer came.
bool CheckController();
// What a driver result means, or "" for a value that is no driver result.
std::string Meaning(uint32_t result);
} // namespace DriverReasons
