// RMCP+ cipher suites: what each standard suite protects, which one a LAN+
// session asks for among those the BMC offers, and the Get Channel Cipher
// Suites request and answer that tell what it offers.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace CipherSuites {

// The highest standard suite id.
constexpr uint8_t kLastStandard = 19;
// The suite asked for when the BMC does not say what it offers.
constexpr uint8_t kFallback = 3;
// Get Channel Cipher Suites answers the list in pieces of this many bytes;
// a shorter piece is the last. The list index has 6 bits.
constexpr size_t kPieceSize = 16;
constexpr uint8_t kLastListIndex = 0x3F;

// True for a suite with both integrity and confidentiality: one whose
// session nobody on the path can read or forge.
bool Protects(uint8_t id);
// "17 (HMAC-SHA256, HMAC-SHA256-128, AES-CBC-128)"; "20 (unknown)".
std::string Describe(uint8_t id);
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
