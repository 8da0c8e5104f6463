#include "fru/FruAddress.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <vector>

std::optional<uint32_t> FruAddress::ParseNumber(const std::string& text, uint32_t max) {
    if (text.empty() || text[0] == '-' || text[0] == '+')
        return std::nullopt;
    char* end = nullptr;
    errno = 0;
    const unsigned long long value = std::strtoull(text.c_str(), &end, 0);
    if (errno || !end || *end || value > max)
        return std::nullopt;
    return static_cast<uint32_t>(value);
}

std::string FruAddress::Format() const {
    char text[48];
    std::snprintf(text, sizeof text, "%u:%u:%02X:%02X:%02X:%02X", nvsType, lun, deviceAddress, bus,
                  controller, deviceId);
    return text;
}

std::optional<FruAddress> FruAddress::Parse(const std::string& text) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (true) {
        const size_t colon = text.find(':', start);
        parts.push_back(text.substr(start, colon - start));
        if (colon == std::string::npos)
            break;
        start = colon + 1;
    }
    if (parts.size() != 6)
        return std::nullopt;
    auto type = ParseNumber(parts[0], 3);
    auto lun = ParseNumber(parts[1], 3);
    if (!type || !lun)
        return std::nullopt;
    FruAddress a;
    a.nvsType = *type;
    a.lun = static_cast<uint8_t>(*lun);
    uint8_t* bytes[] = {&a.deviceAddress, &a.bus, &a.controller, &a.deviceId};
    for (int i = 0; i < 4; ++i) {
        std::string p = parts[static_cast<size_t>(i) + 2];
        if (p.rfind("0x", 0) != 0 && p.rfind("0X", 0) != 0)
            p = "0x" + p;
        auto v = ParseNumber(p, 0xFF);
        if (!v)
            return std::nullopt;
        *bytes[i] = static_cast<uint8_t>(*v);
    }
    return a;
}
