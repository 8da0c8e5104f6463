// The command table: every command's name, handler, operand counts, the
// options it takes and its help text. main dispatches from it, and --help and
// orvane help COMMAND print from it.
#pragma once
#include "app/Options.h"
#include "app/Session.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace Commands {
// The options a command may take besides the global ones (driver, connection,
// language, debug level, backup folder, --help), as bits.
enum Option : uint32_t {
    kJson = 1u << 0,
    kCommit = 1u << 1,
    kSave = 1u << 2,
    kForce = 1u << 3,
    kStrict = 1u << 4,
    kRepack = 1u << 5,
    kGrow = 1u << 6,
    kShrink = 1u << 7,
    kDryRun = 1u << 8,
    kFile = 1u << 9,
    kImage = 1u << 10,
    kHosts = 1u << 11,
    kHostsFile = 1u << 12,
    kFanout = 1u << 13,
    kHostTimeout = 1u << 14,
    kOut = 1u << 15,
    kKeep = 1u << 16,
    kOlderThan = 1u << 17,
};

// How many operands a command takes; pairs: those beyond min come in pairs.
struct Operands {
    uint8_t min = 0, max = 0;
    const char* problem = nullptr; // the usage error when the count is wrong (N_)
    bool pairs = false;
};

// What a command does to the BMC's devices, and so the least privilege its
// session asks for: user for reads, operator for writes (Write FRU Data).
enum class Access : uint8_t { kReads, kWrites, kWritesWithCommit };

struct Command {
    const char* name;
    // A command that works through the library, or one that needs no
    // library session of its own (the fleet commands).
    int (*run)(Session& s, const Options& o);
    int (*runAlone)(const Options& o);
    Operands operands;
    // The operands when one of the options in namedBy names the FRU instead.
    uint32_t namedBy;
    Operands named;
    uint32_t options;
    const char* help; // N_
    Access access;
};

// The command of a name; null when there is none.
const Command* Find(const std::string& name);
// Every command's name but the hidden ones.
std::vector<std::string> Names();
// Every command of the table, in its order.
std::span<const Command> All();
// A command for the shell completion scripts, in no overview or manual
// ("__complete").
inline bool Hidden(const Command& command) {
    return command.name[0] == '_';
}
// The options a command takes: its own, then those every command takes.
std::vector<std::string> OptionNames(const Command& command);
// The overview's parts: usage, commands and the names they take; every
// option; what writes do and the exit codes.
struct OverviewText {
    std::string commands, options, closing;
};
OverviewText OverviewParts();
// The overview (usage, commands, options, exit codes).
std::string Overview();
// A command's help: its text, then the options it takes and the global ones.
std::string Help(const Command& command, bool withGlobal = true);
// The usage error for the first option the command does not take; "" when
// it takes them all.
std::string OptionMisfit(const Command& command, const Options& o);
// The least privilege the command's work needs: "user" or "operator".
const char* LeastPrivilege(const Command& command, const Options& o);
// The usage error for a wrong number of operands; "" when the count fits.
std::string OperandMisfit(const Command& command, const Options& o);
} // namespace Commands
