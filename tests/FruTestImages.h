// Builds info area images for the FRU tests: header bytes, fields as
// type/length byte and data, end marker, zero padding and checksum.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace FruTestImages {
// head[1] is overwritten with the length in 8-byte units. Every field gets
// the 8-bit text type code.
inline std::vector<uint8_t> Area(std::vector<uint8_t> head, const std::vector<std::string>& fields,
                                 unsigned units) {
    std::vector<uint8_t> out = head;
    out[1] = static_cast<uint8_t>(units);
    for (const auto& f : fields) {
        out.push_back(static_cast<uint8_t>(0xC0 | f.size()));
        out.insert(out.end(), f.begin(), f.end());
    }
    out.push_back(0xC1);
    out.resize(units * 8 - 1, 0);
    uint8_t sum = 0;
    for (uint8_t b : out)
        sum = static_cast<uint8_t>(sum + b);
    out.push_back(static_cast<uint8_t>(0x100 - sum));
    return out;
}

// The same image cut right after its end marker.
inline std::vector<uint8_t> CutAfterEndMarker(std::vector<uint8_t> image) {
    size_t end = image.size() - 1;
    while (end > 0 && image[end - 1] == 0)
        --end;
    image.resize(end);
    return image;
}

inline std::u16string Wide(const std::string& s) {
    return std::u16string(s.begin(), s.end());
}
inline std::vector<uint8_t> Bytes(const uint8_t* p, uint32_t n) {
    return {p, p + n};
}
} // namespace FruTestImages
