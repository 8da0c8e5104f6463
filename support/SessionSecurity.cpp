#include "support/SessionSecurity.h"

#include <cstdio>
#include <unistd.h>

namespace SessionSecurity {
namespace {

// The algorithms of the standard suites 0 to 19, by suite id.
struct Suite {
    const char* authentication;
    const char* integrity;       // null: none
    const char* confidentiality; // null: none
};
const Suite kSuites[kLastStandard + 1] = {
    {"RAKP-none", nullptr, nullptr},
    {"HMAC-SHA1", nullptr, nullptr},
    {"HMAC-SHA1", "HMAC-SHA1-96", nullptr},
    {"HMAC-SHA1", "HMAC-SHA1-96", "AES-CBC-128"},
    {"HMAC-SHA1", "HMAC-SHA1-96", "xRC4-128"},
    {"HMAC-SHA1", "HMAC-SHA1-96", "xRC4-40"},
    {"HMAC-MD5", nullptr, nullptr},
    {"HMAC-MD5", "HMAC-MD5-128", nullptr},
    {"HMAC-MD5", "HMAC-MD5-128", "AES-CBC-128"},
    {"HMAC-MD5", "HMAC-MD5-128", "xRC4-128"},
    {"HMAC-MD5", "HMAC-MD5-128", "xRC4-40"},
    {"HMAC-MD5", "MD5-128", nullptr},
    {"HMAC-MD5", "MD5-128", "AES-CBC-128"},
    {"HMAC-MD5", "MD5-128", "xRC4-128"},
    {"HMAC-MD5", "MD5-128", "xRC4-40"},
    {"HMAC-SHA256", nullptr, nullptr},
    {"HMAC-SHA256", "HMAC-SHA256-128", nullptr},
    {"HMAC-SHA256", "HMAC-SHA256-128", "AES-CBC-128"},
    {"HMAC-SHA256", "HMAC-SHA256-128", "xRC4-128"},
    {"HMAC-SHA256", "HMAC-SHA256-128", "xRC4-40"},
};

// One number put into a format of ExposureTexts, at whatever length it takes.
std::string Formatted(const char* format, unsigned value) {
    const int length = std::snprintf(nullptr, 0, format, value);
    if (length <= 0)
        return "";
    std::string text(static_cast<size_t>(length), '\0');
    std::snprintf(text.data(), text.size() + 1, format, value);
    return text;
}

} // namespace

bool Protects(uint32_t id) {
    return id <= kLastStandard && kSuites[id].integrity && kSuites[id].confidentiality;
}

std::string Describe(uint8_t id) {
    std::string text = std::to_string(id) + " (";
    if (id > kLastStandard)
        return text + "unknown)";
    const Suite& s = kSuites[id];
    return text + s.authentication + ", " + (s.integrity ? s.integrity : "no integrity") + ", " +
           (s.confidentiality ? s.confidentiality : "no encryption") + ")";
}

std::string Exposure(const struct stat& st, const ExposureTexts& texts) {
    if (!S_ISREG(st.st_mode))
        return texts.notRegular;
    if (st.st_uid != geteuid())
        return Formatted(texts.otherOwner, static_cast<unsigned>(st.st_uid));
    if (st.st_mode & (S_IRWXG | S_IRWXO))
        return Formatted(texts.open, static_cast<unsigned>(st.st_mode & 07777));
    return "";
}

} // namespace SessionSecurity
