// Shell completion for orvane, written from the command table: commands,
// each command's options, field names, and the FRUs of the --system given
// (asked of orvane __complete when the user presses TAB).
#pragma once
#include <string>

namespace Completion {
// The bash script (for bash-completion's completions folder).
std::string Bash();
// The zsh script (_orvane, for a folder of fpath).
std::string Zsh();
} // namespace Completion
