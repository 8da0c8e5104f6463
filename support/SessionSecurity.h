// What leaves a BMC session open to reading or forgery, told once for the
// command's guard (before any session) and the driver for real BMCs (when it
// opens one): the algorithms of the standard RMCP+ cipher suites, and so
// which suites lack integrity or confidentiality, and why a file may not
// hold a password or a K_g key.
#pragma once
#include <cstdint>
#include <string>
#include <sys/stat.h>

namespace SessionSecurity {
// The highest standard suite id.
constexpr uint8_t kLastStandard = 19;

// True for a suite with both integrity and confidentiality: one whose
// session nobody on the path can read or forge.
bool Protects(uint32_t id);
// "17 (HMAC-SHA256, HMAC-SHA256-128, AES-CBC-128)"; "20 (unknown)".
std::string Describe(uint8_t id);

// Why a credential file is refused, as printf formats (the command gives
// them translated): not a regular file, owned by another user (%u: the
// owner's uid), open to group or others (%04o: the file's mode).
struct ExposureTexts {
    const char* notRegular = "is not a regular file";
    const char* otherOwner = "is owned by another user (uid %u)";
    const char* open = "is open to group or others (mode %04o; chmod 600 it)";
};
// Why the file st describes may not hold a secret: "" when it is a regular
// file that only its owner, the user this process runs as, can read.
std::string Exposure(const struct stat& st, const ExposureTexts& texts = {});
} // namespace SessionSecurity
