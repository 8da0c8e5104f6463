// The command's guard on the BMC session, before any session is opened: a
// fixed privilege below what the command's work needs, a cipher suite or an
// IPMI 1.5 authentication type that leaves the session open to reading or
// forgery, and credential files that others can read are refused (the weak
// ones pass with --insecure and one warning line each); --interface lan
// warns that nothing is encrypted; --password-prompt asks for the password.
#pragma once
#include "app/Options.h"

#include <string>

namespace BmcAccess {
// Checks the session options for a command whose work needs
// leastPrivilege ("user" or "operator"); `what` names that work in a
// refusal ("set --commit"). fleet: the options go on to worker processes,
// which cannot prompt. kExitOk, or the exit code after a report.
int Prepare(const Options& o, const char* leastPrivilege, const std::string& what, bool fleet);
} // namespace BmcAccess
