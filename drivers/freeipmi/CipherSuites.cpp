#include "drivers/freeipmi/CipherSuites.h"

#include <algorithm>

namespace CipherSuites {
namespace {

// The protecting suites libfreeipmi runs (it has no xRC4), strongest first.
constexpr uint8_t kPreferred[] = {17, 3, 8, 12};

// Record tags of the answer: a standard suite's record begins with C0h and
// its id, an OEM suite's with C1h, its id and the 3-byte IANA number.
constexpr uint8_t kStandardRecord = 0xC0;
constexpr uint8_t kOemRecord = 0xC1;
constexpr size_t kOemNumberSize = 3;

// Request data: channel Eh (the one the request arrives on), payload type 0
// (IPMI), bit 7 of the index: list by suite rather than by algorithm.
constexpr uint8_t kThisChannel = 0x0E;
constexpr uint8_t kPayloadIpmi = 0x00;
constexpr uint8_t kListBySuite = 0x80;

} // namespace

std::string List(const std::vector<uint8_t>& ids) {
    std::string text;
    for (uint8_t id : ids)
        text += (text.empty() ? "" : ", ") + std::to_string(id);
    return text.empty() ? "none" : text;
}

std::vector<uint8_t> Request(uint8_t listIndex) {
    return {kThisChannel, kPayloadIpmi,
            static_cast<uint8_t>(kListBySuite | (listIndex & kLastListIndex))};
}

std::vector<uint8_t> ParseRecords(const std::vector<uint8_t>& records) {
    std::vector<uint8_t> ids;
    for (size_t i = 0; i + 1 < records.size(); ++i) {
        if (records[i] == kStandardRecord) {
            if (std::find(ids.begin(), ids.end(), records[i + 1]) == ids.end())
                ids.push_back(records[i + 1]);
            ++i;
        } else if (records[i] == kOemRecord) {
            i += 1 + kOemNumberSize;
        }
    }
    return ids;
}

std::optional<uint8_t> Choose(const std::vector<uint8_t>& offered) {
    for (uint8_t id : kPreferred)
        if (std::find(offered.begin(), offered.end(), id) != offered.end())
            return id;
    return std::nullopt;
}

} // namespace CipherSuites
