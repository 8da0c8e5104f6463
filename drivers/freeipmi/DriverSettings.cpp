#include "drivers/freeipmi/DriverSettings.h"

#include "drivers/freeipmi/CipherSuites.h"
#include "support/IpmiDefs.h"
#include "support/SessionSecurity.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace DriverSettings {
namespace {

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool ParseNumber(const std::string& text, unsigned long low, unsigned long high,
                 unsigned long* value) {
    if (text.empty() ||
        !std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); }))
        return false;
    errno = 0;
    unsigned long number = std::strtoul(text.c_str(), nullptr, 10);
    if (errno || number < low || number > high)
        return false;
    *value = number;
    return true;
}

// The password, from a file or the environment, and the K_g file.
bool ReadCredentials(Settings* s, std::string* why) {
    std::string passwordFile = Environment("ORVANE_IPMI_PASSWORD_FILE");
    if (!passwordFile.empty()) {
        if (!ReadSecretFile(passwordFile, "password file", s->insecure, &s->password, why,
                            &s->allowed))
            return false;
    } else if (const char* password = std::getenv("ORVANE_IPMI_PASSWORD")) {
        s->password = password;
    } else {
        s->password = Environment("ORVANE_PASSWORD");
    }
    std::string kgFile = Environment("ORVANE_IPMI_KG_FILE");
    if (kgFile.empty())
        return true;
    if (s->interface != Interface::LanPlus) {
        *why = "ORVANE_IPMI_KG_FILE needs a LAN+ session (ORVANE_IPMI_INTERFACE=lanplus)";
        return false;
    }
    std::string line;
    if (!ReadSecretFile(kgFile, "K_g file", s->insecure, &line, why, &s->allowed))
        return false;
    bool parsed = ParseKg(line, &s->kg, why);
    std::fill(line.begin(), line.end(), '\0');
    if (!parsed)
        *why = "the K_g file " + kgFile + ": " + *why;
    return parsed;
}

// The privilege, the cipher suite and the IPMI 1.5 authentication type.
bool ReadSecurity(Settings* s, std::string* why) {
    for (auto [name, fixed] : {std::pair{"ORVANE_IPMI_LEAST_PRIVILEGE", false},
                               std::pair{"ORVANE_IPMI_PRIVILEGE", true}}) {
        std::string text = Environment(name);
        if (text.empty())
            continue;
        if (!ParsePrivilege(text, &s->privilege)) {
            *why = std::string(name) + " must be user, operator or admin, not \"" + text + "\"";
            return false;
        }
        s->privilegeFixed = fixed;
    }
    std::string cipher = Environment("ORVANE_IPMI_CIPHER");
    uint8_t id = 0;
    if (!cipher.empty() && !ParseCipher(cipher, &id)) {
        *why = "ORVANE_IPMI_CIPHER must be a cipher suite id 0 to 19, not \"" + cipher + "\"";
        return false;
    }
    if (!cipher.empty()) {
        s->cipher = id;
        if (!CipherSuites::Protects(id) && !s->insecure) {
            *why = "cipher suite " + CipherSuites::Describe(id) +
                   " leaves the session open to reading or forgery; it needs "
                   "ORVANE_IPMI_INSECURE=1 (orvane: --insecure)";
            return false;
        }
        if (!CipherSuites::Protects(id))
            s->allowed.push_back("cipher suite " + CipherSuites::Describe(id));
    }
    std::string authType = Environment("ORVANE_IPMI_AUTH_TYPE");
    if (!authType.empty() && !ParseAuthType(authType, &s->authType)) {
        *why = "ORVANE_IPMI_AUTH_TYPE must be none, straight, md2 or md5, not \"" + authType + "\"";
        return false;
    }
    if (s->interface == Interface::Lan &&
        (s->authType == kAuthNone || s->authType == kAuthStraight)) {
        if (!s->insecure) {
            *why = "IPMI 1.5 authentication type " + authType +
                   " sends the password in the clear or not at all; it needs "
                   "ORVANE_IPMI_INSECURE=1 (orvane: --insecure)";
            return false;
        }
        s->allowed.push_back("authentication type " + authType);
    }
    return true;
}

} // namespace

bool ParseInterface(const std::string& text, Interface* interface) {
    std::string name = Lower(text);
    if (name.empty() || name == "lanplus" || name == "lan_2_0") {
        *interface = Interface::LanPlus;
        return true;
    }
    if (name == "lan") {
        *interface = Interface::Lan;
        return true;
    }
    return false;
}

bool ParsePrivilege(const std::string& text, uint8_t* privilege) {
    std::string name = Lower(text);
    unsigned long number = 0;
    if (name == "user")
        number = kUser;
    else if (name == "operator")
        number = kOperator;
    else if (name == "admin" || name == "administrator")
        number = kAdministrator;
    else if (!ParseNumber(name, kUser, kAdministrator, &number))
        return false;
    *privilege = static_cast<uint8_t>(number);
    return true;
}

const char* PrivilegeName(uint8_t privilege) {
    switch (privilege) {
    case kUser:
        return "user";
    case kOperator:
        return "operator";
    default:
        return "administrator";
    }
}

bool ParseCipher(const std::string& text, uint8_t* cipher) {
    unsigned long number = 0;
    if (!ParseNumber(text, 0, CipherSuites::kLastStandard, &number))
        return false;
    *cipher = static_cast<uint8_t>(number);
    return true;
}

bool ParseAuthType(const std::string& text, uint8_t* authType) {
    static const std::pair<const char*, uint8_t> kNames[] = {
        {"none", kAuthNone}, {"straight", kAuthStraight}, {"md2", kAuthMd2}, {"md5", kAuthMd5}};
    for (const auto& [name, type] : kNames)
        if (Lower(text) == name) {
            *authType = type;
            return true;
        }
    return false;
}

bool ParseKg(const std::string& line, std::vector<uint8_t>* kg, std::string* why) {
    kg->clear();
    if (line.size() > 2 && line[0] == '0' && (line[1] == 'x' || line[1] == 'X')) {
        const std::string digits = line.substr(2);
        if (digits.size() % 2 || digits.size() > 2 * kMaxKgLength ||
            !std::all_of(digits.begin(), digits.end(),
                         [](unsigned char c) { return std::isxdigit(c); })) {
            *why = "a hex key is 0x and an even number of hex digits, at most 40";
            return false;
        }
        for (size_t i = 0; i < digits.size(); i += 2)
            kg->push_back(static_cast<uint8_t>(std::stoul(digits.substr(i, 2), nullptr, 16)));
        return true;
    }
    if (line.empty() || line.size() > kMaxKgLength) {
        *why = "the key is 1 to 20 bytes of text, or 0x and hex digits";
        return false;
    }
    kg->assign(line.begin(), line.end());
    return true;
}

bool ReadSecretFile(const std::string& path, const char* what, bool insecure, std::string* line,
                    std::string* why, std::vector<std::string>* allowed) {
    // The checks look at the file that is read, not at a name that may move.
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    struct stat st {};
    if (fd < 0 || fstat(fd, &st) != 0) {
        *why = std::string("cannot read the ") + what + " " + path + ": " + std::strerror(errno);
        if (fd >= 0)
            close(fd);
        return false;
    }
    if (const std::string exposure = SessionSecurity::Exposure(st); !exposure.empty()) {
        if (!insecure) {
            close(fd);
            *why = std::string("the ") + what + " " + path + " " + exposure +
                   "; ORVANE_IPMI_INSECURE=1 (orvane: --insecure) uses it anyway";
            return false;
        }
        allowed->push_back(std::string("the ") + what + " " + path + " " + exposure);
    }
    line->clear();
    char c = 0;
    ssize_t n = 0;
    while ((n = read(fd, &c, 1)) == 1 && c != '\n')
        line->push_back(c);
    close(fd);
    if (n < 0) {
        *why = std::string("cannot read the ") + what + " " + path + ": " + std::strerror(errno);
        return false;
    }
    while (!line->empty() && line->back() == '\r')
        line->pop_back();
    return true;
}

uint8_t PrivilegeNeeded(uint8_t netFn, uint8_t command) {
    if ((netFn == Ipmi::kNetFnStorage && command == Ipmi::kCmdWriteFruData) ||
        (netFn == Ipmi::kNetFnApp && command == Ipmi::kCmdMasterWriteRead))
        return kOperator;
    return kUser;
}

bool FromEnvironment(Settings* settings, std::string* why) {
    Settings read;
    read.host = Environment("ORVANE_IPMI_HOST");
    if (read.host.empty()) {
        read.interface = Interface::InBand;
    } else if (!ParseInterface(Environment("ORVANE_IPMI_INTERFACE"), &read.interface)) {
        *why = "ORVANE_IPMI_INTERFACE must be lan or lanplus, not \"" +
               Environment("ORVANE_IPMI_INTERFACE") + "\"";
        return false;
    }
    read.user = Environment("ORVANE_IPMI_USER");
    const std::string insecure = Environment("ORVANE_IPMI_INSECURE");
    read.insecure = !insecure.empty() && insecure != "0";
    if (!ReadSecurity(&read, why) || !ReadCredentials(&read, why)) {
        std::fill(read.password.begin(), read.password.end(), '\0');
        return false;
    }
    *settings = std::move(read);
    return true;
}

} // namespace DriverSettings
