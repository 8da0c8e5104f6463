// The backup taken before every commit, and the commit that names it.
#pragma once
#include "Options.h"
#include "Session.h"

#include <string>

namespace Commands {
std::string BackupFolder(const Options& o);
// Saves the selected FRU as it is now (what the device holds) into the backup
// folder; the path, or "" after a report.
std::string Backup(Session& s, const Options& o);
int CommitSelected(Session& s, const std::string& backup);
} // namespace Commands
