// Builds info area images for the FRU tests: header bytes, fields as
// type/length byte and data, end marker, zero padding and checksum.
#pragma once
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace FruTestImages {
// The byte that makes the bytes sum to zero.
inline uint8_t ZeroSum(const std::vector<uint8_t>& bytes) {
    uint8_t sum = 0;
    for (uint8_t b : bytes)
        sum = static_cast<uint8_t>(sum + b);
    return static_cast<uint8_t>(0x100 - sum);
}

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
    out.push_back(ZeroSum(out));
    return out;
}

// A common header with these offsets (in 8-byte units) and its checksum.
inline std::vector<uint8_t> Header(uint8_t internalUse, uint8_t chassis, uint8_t board,
                                   uint8_t product, uint8_t multiRecord) {
    std::vector<uint8_t> h = {0x01, internalUse, chassis, board, product, multiRecord, 0x00};
    h.push_back(ZeroSum(h));
    return h;
}

// One multi-record with correct header and data checksums.
inline std::vector<uint8_t> Record(uint8_t type, const std::vector<uint8_t>& data, bool last) {
    std::vector<uint8_t> out = {type, static_cast<uint8_t>(last ? 0x82 : 0x02),
                                static_cast<uint8_t>(data.size()), ZeroSum(data)};
    out.push_back(ZeroSum(out));
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

// A chain of exactly total bytes (at least 5): records of 255 zero data
// bytes, the last one shorter. Checksums are not set.
inline std::vector<uint8_t> Records(uint32_t total) {
    std::vector<uint8_t> out;
    for (uint32_t left = total; left >= 5;) {
        const uint32_t data = std::min<uint32_t>(255, left - 5);
        out.insert(out.end(), {0x00, 0x02, static_cast<uint8_t>(data), 0, 0});
        out.resize(out.size() + data, 0);
        left -= 5 + data;
    }
    return out;
}

// An IPMI 1.5 FRU device locator record (type 0x11): by default a logical
// FRU device of FRU inventory type.
inline std::vector<uint8_t> Locator(uint8_t access, uint8_t id, const std::string& name,
                                    uint8_t flags = 0x80, uint8_t type = 0x10,
                                    uint8_t version = 0x51) {
    std::vector<uint8_t> r = {
        0, 0, version, 0x11, 0, access, id, flags,
        0, 0, type,    0,    0, 0,      0,  static_cast<uint8_t>(0xC0 | name.size())};
    r.insert(r.end(), name.begin(), name.end());
    r[4] = static_cast<uint8_t>(r.size() - 5);
    return r;
}

// Copies bytes into an image at an offset.
inline void Put(std::vector<uint8_t>& image, size_t offset, const std::vector<uint8_t>& bytes) {
    std::copy(bytes.begin(), bytes.end(), image.begin() + static_cast<long>(offset));
}

// The same image cut right after its end marker.
inline std::vector<uint8_t> CutAfterEndMarker(std::vector<uint8_t> image) {
    size_t end = image.size() - 1;
    while (end > 0 && image[end - 1] == 0)
        --end;
    image.resize(end);
    return image;
}

inline std::vector<uint8_t> Bytes(const uint8_t* p, uint32_t n) {
    return {p, p + n};
}

// A FRU image of 128 bytes: the board area at 8 (32 bytes) and the product
// area at 40 (40 bytes). Full, of 256 bytes: internal use at 8, chassis at 16,
// the board area at 40, the product area at 72 and one multi-record at 112.
inline std::vector<uint8_t> Image(bool full = true) {
    std::vector<uint8_t> image(full ? 256 : 128, 0xFF);
    const size_t board = full ? 40 : 8;
    Put(image, 0, full ? Header(1, 2, 5, 9, 14) : Header(0, 0, 1, 5, 0));
    Put(image, board, Area({0x01, 0, 0x19, 0, 0, 0}, {"Acme", "Widget", "SN1", "PN1", ""}, 4));
    Put(image, board + 32,
        Area({0x01, 0, 0x19}, {"Acme", "Server", "M1", "V1", "PSN", "Asset", ""}, 5));
    if (full) {
        Put(image, 8, {0x01, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77});
        Put(image, 16, Area({0x01, 0, 0x17}, {"CPN", "CSN", "Custom1"}, 3));
        Put(image, 112, Record(0x00, {1, 2, 3, 4}, true));
    }
    return image;
}
} // namespace FruTestImages
