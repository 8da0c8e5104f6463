#include "drivers/freeipmi/DriverLog.h"

#include <cstdio>
#include <cstdlib>

namespace DriverLog {
namespace {
Sink g_sink = nullptr;
} // namespace

void SetSink(Sink sink) {
    g_sink = sink;
}

int Level() {
    const char* value = std::getenv("ORVANE_IPMI_DEBUG");
    if (!value)
        return 0;
    int level = std::atoi(value);
    return level > 1 ? level : 1;
}

void Failure(const std::string& why) {
    if (g_sink)
        g_sink(why.c_str());
    else if (Level() >= 1)
        std::fprintf(stderr, "orvane-driver-freeipmi: %s\n", why.c_str());
}

void Note(const std::string& line) {
    Failure(line);
}

void Request(const std::string& line) {
    if (Level() >= 2)
        std::fprintf(stderr, "orvane-driver-freeipmi: %s\n", line.c_str());
}

} // namespace DriverLog
