// The subcommands of the orvane command. Each returns the exit code.
#pragma once
#include "app/Options.h"
#include "app/Session.h"

#include <optional>
#include <vector>

namespace Commands {
int Scan(Session& s, const Options& o);
int Show(Session& s, const Options& o);
int Get(Session& s, const Options& o);
int Set(Session& s, const Options& o);
int Save(Session& s, const Options& o);
int Load(Session& s, const Options& o);
int Restore(Session& s, const Options& o);
int Props(Session& s, const Options& o);
int Check(Session& s, const Options& o);
int Dump(Session& s, const Options& o);
int Build(Session& s, const Options& o);
int Write(Session& s, const Options& o);
int Repair(Session& s, const Options& o);
// What the shell completion scripts ask: FRU names, or a FRU's field names.
int Complete(Session& s, const Options& o);
// The fleet commands, which need no library state of their own: scan, show
// and inventory over --hosts/--hosts-file, and diff of two snapshots.
int Inventory(const Options& o);
int Diff(const Options& o);
// The backups of the backup folder: list and prune.
int Backups(const Options& o);
} // namespace Commands
