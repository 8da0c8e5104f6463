// The manual page orvane(1), written from the command table: the overview,
// every command's help and the options, as --help prints them.
#pragma once
#include <string>

namespace Manual {
// The page in roff (man macros) for a command of this version.
std::string Page(const std::string& version);
} // namespace Manual
