#include "support/Trace.h"

#include <cstdio>
#include <initializer_list>

namespace Trace {
namespace {
uint32_t g_debugLevel = 1;
} // namespace

void SetDebugLevel(uint32_t level) {
    g_debugLevel = level;
}
uint32_t GetDebugLevel() {
    return g_debugLevel;
}

void Write(const char16_t* text, uint32_t level) {
    Write(text, nullptr, nullptr, level);
}

void Write(const char16_t* text, const char16_t* middle, const char16_t* tail, uint32_t level) {
    if (level > g_debugLevel || !text)
        return;
    // Opened and closed per line so the log is complete on disk after each one.
    std::FILE* file = std::fopen("DBGLOG.txt", "ab");
    if (!file)
        return;
    unsigned char buffer[512];
    size_t used = 0;
    auto put = [&](char16_t c) {
        if (used + 2 > sizeof buffer) {
            std::fwrite(buffer, 1, used, file);
            used = 0;
        }
        buffer[used++] = static_cast<unsigned char>(c & 0xFF);
        buffer[used++] = static_cast<unsigned char>(c >> 8);
    };
    for (const char16_t* part : {text, middle, tail})
        for (const char16_t* p = part; p && *p; ++p)
            put(*p);
    put(u'\r');
    put(u'\n');
    std::fwrite(buffer, 1, used, file);
    std::fclose(file);
}
} // namespace Trace
