#include "drivers/freeipmi/DriverSettings.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>

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
        number = 2;
    else if (name == "operator")
        number = 3;
    else if (name == "admin" || name == "administrator")
        number = 4;
    else if (!ParseNumber(name, 2, 4, &number))
        return false;
    *privilege = static_cast<uint8_t>(number);
    return true;
}

bool ParseCipher(const std::string& text, uint8_t* cipher) {
    unsigned long number = 0;
    if (!ParseNumber(text, 0, 17, &number))
        return false;
    *cipher = static_cast<uint8_t>(number);
    return true;
}

bool ReadPasswordFile(const std::string& path, std::string* password, std::string* why) {
    std::ifstream file(path);
    if (!file) {
        *why = "cannot read the password file " + path + ": " + std::strerror(errno);
        return false;
    }
    std::string line;
    std::getline(file, line);
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
        line.pop_back();
    *password = line;
    return true;
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
    std::string passwordFile = Environment("ORVANE_IPMI_PASSWORD_FILE");
    if (!passwordFile.empty()) {
        if (!ReadPasswordFile(passwordFile, &read.password, why))
            return false;
    } else {
        read.password = Environment("ORVANE_IPMI_PASSWORD");
    }
    std::string privilege = Environment("ORVANE_IPMI_PRIVILEGE");
    if (!privilege.empty() && !ParsePrivilege(privilege, &read.privilege)) {
        *why = "ORVANE_IPMI_PRIVILEGE must be user, operator or admin, not \"" + privilege + "\"";
        return false;
    }
    std::string cipher = Environment("ORVANE_IPMI_CIPHER");
    if (!cipher.empty() && !ParseCipher(cipher, &read.cipher)) {
        *why = "ORVANE_IPMI_CIPHER must be a cipher suite id 0 to 17, not \"" + cipher + "\"";
        return false;
    }
    *settings = read;
    return true;
}

} // namespace DriverSettings
