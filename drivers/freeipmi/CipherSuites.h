// RMCP+ cipher suites: which one a LAN+ session asks for among those the BMC
// offers, and the Get Channel Cipher Suites request and answer that tell what
// it offers. What each standard suite protects is SessionSecurity's, which
// the command's guard shares; its names stand here too.
#pragma once
#include "support/SessionSecurity.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace CipherSuites {

using SessionSecurity::Describe;
using SessionSecurity::kLastStandard;
using SessionSecurity::Protects;

// The suite asked for when the BMC does not say what it offers.
constexpr uint8_t kFallback = 3;
// Get Channel Cipher Suites answers the list in pieces of this many bytes;
// a shorter piece is the last. The list index has 6 bits.
constexpr size_t kPieceSize = 16;
constexpr uint8_t kLastListIndex = 0x3F;

// "0, 1, 2"; "none" for an empty list.
std::string List(const std::vector<uint8_t>& ids);

// The data of Get Channel Cipher Suites for one piece of the list of the
// channel the request arrives on, listed by suite, for IPMI payloads.
std::vector<uint8_t> Request(uint8_t listIndex);
// The standard suite ids in the record data of the answers (the pieces after
// the channel byte, joined), in the BMC's order; OEM suites are left out.
std::vector<uint8_t> ParseRecords(const std::vector<uint8_t>& records);
// The suite to ask for among those offered: 17, then 3, then the other
// suites with integrity and confidentiality that libfreeipmi can run.
// Nothing when the BMC offers none of them.
std::optional<uint8_t> Choose(const std::vector<uint8_t>& offered);

} // namespace CipherSuites
