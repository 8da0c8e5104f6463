#include "drivers/sim/SimLog.h"

#include <cstdio>

namespace SimLog {
namespace {

std::string g_path;

void Append(const std::string& line) {
    if (std::FILE* f = std::fopen(g_path.c_str(), "a")) {
        std::fputs(line.c_str(), f);
        std::fclose(f);
    }
}

std::string Hex(uint32_t value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*X", digits, value);
    return text;
}

} // namespace

void SetPath(const std::string& path) {
    g_path = path;
}

bool Enabled() {
    return !g_path.empty();
}

std::string Bytes(const uint8_t* data, uint32_t length) {
    std::string text;
    for (uint32_t i = 0; data && i < length; ++i) {
        if (i)
            text += ' ';
        text += Hex(data[i], 2);
    }
    return text;
}

void Send(const KsbRequestBlock* request, uint32_t result, uint8_t completionCode,
          const uint8_t* response, uint32_t responseLength) {
    if (!Enabled())
        return;
    KsbRequestBlock shown{};
    if (request)
        shown = *request;
    bool readable = shown.data && shown.dataLength <= 64;
    bool answered = result == KSB_RESULT_OK;
    Append("send rs=" + Hex(shown.responderAddress, 2) + " netfn=" + Hex(shown.netFn, 2) +
           " lun=" + Hex(shown.lun, 2) + " cmd=" + Hex(shown.command, 2) + " data=[" +
           (readable ? Bytes(shown.data, shown.dataLength) : "") + "] -> result=" + Hex(result, 8) +
           " cc=" + Hex(answered ? completionCode : 0, 2) + " data=[" +
           (answered ? Bytes(response, responseLength) : "") + "]\n");
}

void Receive(uint32_t result, const uint8_t* message, uint32_t length) {
    if (!Enabled())
        return;
    Append("recv -> result=" + Hex(result, 8) + " data=[" +
           (result == KSB_RESULT_OK ? Bytes(message, length) : "") + "]\n");
}

} // namespace SimLog
