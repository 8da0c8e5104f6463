// Host lists of the fleet commands: "bmc[01-64].example.net,10.1.2.3" and
// host files with a host, and optionally its user and password file, cipher
// suite and K_g file, a line.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

struct HostEntry {
    std::string host;         // name or address, optionally ":port"
    std::string user;         // empty: the shared --user
    std::string passwordFile; // empty: the shared --password-file
    std::string cipherSuite;  // empty: the shared --cipher-suite
    std::string kgFile;       // empty: the shared --kg-file
    bool operator==(const HostEntry&) const = default;
};

namespace HostList {
// More hosts than this in one list is taken for a mistyped range.
constexpr size_t kMaxHosts = 65536;

// Expands a comma-separated list of host patterns. A pattern may hold
// bracket groups of numbers and ranges ("node[1-3,7]", "bmc[01-64]": a lower
// bound written with a leading zero pads every number to its width); several
// groups multiply. Hosts come out in the order written, each once. False,
// with the reason in *error, on a malformed list or more than kMaxHosts hosts.
bool Expand(const std::string& text, std::vector<std::string>* hosts, std::string* error);

// Parses the text of a host file: per line a host list, optionally
// followed by a user and a password file (both or neither), then a cipher
// suite id (0 to 19) and a K_g file; "-" in a column takes the shared option.
// Blank lines and lines starting with '#' are skipped. A pattern's hosts
// share the line's credentials; a host named again with other credentials
// is an error. Errors name the line.
bool ParseFile(const std::string& text, std::vector<HostEntry>* entries, std::string* error);
} // namespace HostList
