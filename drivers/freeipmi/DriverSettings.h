// The connection settings of the freeipmi driver module, read from the
// environment when the session is opened.
#pragma once
#include <cstdint>
#include <string>

namespace DriverSettings {

enum class Interface { InBand, Lan, LanPlus };

struct Settings {
    Interface interface = Interface::InBand;
    std::string host; // as given, may carry ":port"
    std::string user;
    std::string password;
    uint8_t privilege = 4; // 2 user, 3 operator, 4 administrator
    uint8_t cipher = 3;    // RMCP+ cipher suite id
};

// Reads ORVANE_IPMI_HOST, ORVANE_IPMI_INTERFACE, ORVANE_IPMI_USER,
// ORVANE_IPMI_PASSWORD_FILE (else ORVANE_IPMI_PASSWORD), ORVANE_IPMI_PRIVILEGE
// and ORVANE_IPMI_CIPHER. Returns false with a reason in *why for a value it
// cannot use; the reason never holds the password.
bool FromEnvironment(Settings* settings, std::string* why);

// "lan", "lanplus" (case does not matter). Empty gives lanplus.
bool ParseInterface(const std::string& text, Interface* interface);
// "user", "operator", "admin"/"administrator" or the level number 2 to 4.
bool ParsePrivilege(const std::string& text, uint8_t* privilege);
// A cipher suite id 0 to 17.
bool ParseCipher(const std::string& text, uint8_t* cipher);
// The first line of a password file, without its line end.
bool ReadPasswordFile(const std::string& path, std::string* password, std::string* why);

} // namespace DriverSettings
