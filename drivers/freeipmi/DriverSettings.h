// The connection settings of the freeipmi driver module, read from the
// environment when the session is opened, and the checks that keep a session
// from being weaker than its operator asked for.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace DriverSettings {

enum class Interface { InBand, Lan, LanPlus };

// Privilege levels as the session requests them.
constexpr uint8_t kUser = 2, kOperator = 3, kAdministrator = 4;
// IPMI 1.5 authentication types as they go on the wire.
constexpr uint8_t kAuthNone = 0, kAuthMd2 = 1, kAuthMd5 = 2, kAuthStraight = 4;
// The longest BMC key K_g.
constexpr size_t kMaxKgLength = 20;

struct Settings {
    Interface interface = Interface::InBand;
    std::string host; // as given, may carry ":port"
    std::string user;
    std::string password;
    std::vector<uint8_t> kg; // the BMC key of two-key BMCs (LAN+); empty: none
    // The level the session starts at; unless fixed, a request that needs
    // more (a write, Master Write-Read) raises it.
    uint8_t privilege = kUser;
    bool privilegeFixed = false;
    std::optional<uint8_t> cipher; // named; else the strongest the BMC offers
    uint8_t authType = kAuthMd5;   // IPMI 1.5 LAN
    bool insecure = false;         // weak suites, weak auth types and open files allowed
    // What insecure let through, for the log.
    std::vector<std::string> allowed;
};

// Reads ORVANE_IPMI_HOST, ORVANE_IPMI_INTERFACE, ORVANE_IPMI_USER,
// ORVANE_IPMI_PASSWORD_FILE (else ORVANE_IPMI_PASSWORD, else ORVANE_PASSWORD),
// ORVANE_IPMI_KG_FILE, ORVANE_IPMI_PRIVILEGE (a fixed level),
// ORVANE_IPMI_LEAST_PRIVILEGE (the level to start at), ORVANE_IPMI_CIPHER,
// ORVANE_IPMI_AUTH_TYPE and ORVANE_IPMI_INSECURE. Returns false with a reason
// in *why for a value it cannot use or a weakness not allowed; the reason
// never holds the password or the key.
bool FromEnvironment(Settings* settings, std::string* why);

// "lan", "lanplus" (case does not matter). Empty gives lanplus.
bool ParseInterface(const std::string& text, Interface* interface);
// "user", "operator", "admin"/"administrator" or the level number 2 to 4.
bool ParsePrivilege(const std::string& text, uint8_t* privilege);
// "user", "operator", "administrator".
const char* PrivilegeName(uint8_t privilege);
// A cipher suite id 0 to 19.
bool ParseCipher(const std::string& text, uint8_t* cipher);
// "none", "straight", "md2", "md5".
bool ParseAuthType(const std::string& text, uint8_t* authType);
// The key of a K_g file's first line: "0x" and 2 to 40 hex digits, else
// text of 1 to 20 bytes.
bool ParseKg(const std::string& line, std::vector<uint8_t>* kg, std::string* why);

// The first line of a credential file (a password or K_g file), without its
// line end. A file that group or others may read or change, or that another
// user owns, is refused unless insecure, which notes it in *allowed.
bool ReadSecretFile(const std::string& path, const char* what, bool insecure, std::string* line,
                    std::string* why, std::vector<std::string>* allowed);

// The least privilege a request needs: operator for Write FRU Data and
// Master Write-Read, user for everything else the driver sends.
uint8_t PrivilegeNeeded(uint8_t netFn, uint8_t command);

} // namespace DriverSettings
