#include "app/BmcAccess.h"

#include "app/PasswordPrompt.h"
#include "app/Report.h"
#include "support/SessionSecurity.h"
#include "view/Text.h"
#include "view/Translate.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace BmcAccess {
namespace {
int Rank(const std::string& privilege) {
    return privilege == "admin" ? 4 : privilege == "operator" ? 3 : 2;
}

// The effective value of a connection setting: the option, else what the
// environment already holds.
std::string Setting(const std::string& option, const char* variable) {
    const char* value = std::getenv(variable);
    return !option.empty() ? option : value ? value : "";
}

// A weakness --insecure allows: refused without it, one warning line with it.
int Weak(const Options& o, const std::string& what) {
    if (!o.insecure)
        return Report::Refused(_("%s; --insecure uses it anyway\n"), what.c_str());
    Report::Say(_("warning: %s\n"), what.c_str());
    return kExitOk;
}

// Why a credential file may not hold a secret: "" when only its owner, the
// user running the command, can read it.
std::string Exposure(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0)
        return Text::Format(_("cannot be read: %s"), std::strerror(errno));
    return SessionSecurity::Exposure(
        st, {_("is not a regular file"), _("is owned by another user (uid %u)"),
             _("is open to group or others (mode %04o; chmod 600 it)")});
}

int CheckFiles(const Options& o) {
    const std::pair<const char*, const std::string*> files[] = {
        {N_("the password file %s %s"), &o.passwordFile}, {N_("the K_g file %s %s"), &o.kgFile}};
    for (const auto& [format, path] : files) {
        // A file that cannot be read is the driver's to report, with the session's reasons.
        if (path->empty() || access(path->c_str(), R_OK) != 0)
            continue;
        const std::string exposure = Exposure(*path);
        if (exposure.empty())
            continue;
        if (int code = Weak(o, Text::Format(_(format), path->c_str(), exposure.c_str())))
            return code;
    }
    return kExitOk;
}

int CheckWeakness(const Options& o) {
    const auto suite = Text::ParseNumber(o.cipherSuite, 19);
    if (suite && !SessionSecurity::Protects(*suite))
        if (int code = Weak(o, Text::Format(_("cipher suite %u has no integrity or no encryption: "
                                              "anyone on the path can read and forge the session"),
                                            *suite)))
            return code;
    const bool network = !Setting(o.host, "ORVANE_IPMI_HOST").empty();
    if (!network || Setting(o.interface, "ORVANE_IPMI_INTERFACE") != "lan")
        return kExitOk;
    Report::Say(_("warning: IPMI 1.5 LAN (--interface lan) encrypts nothing: the FRU data and "
                  "writes cross the network in the clear\n"));
    if (o.authType == "none" || o.authType == "straight")
        return Weak(o, Text::Format(_("the authentication type %s sends the password in the "
                                      "clear or not at all"),
                                    o.authType.c_str()));
    return kExitOk;
}

int AskPassword(const Options& o, bool fleet) {
    if (fleet)
        return Report::Refused(_("--password-prompt asks one password at the terminal; the "
                                 "workers of --hosts take --password-file\n"));
    const std::string user = Setting(o.user, "ORVANE_IPMI_USER");
    const std::string host = Setting(o.host, "ORVANE_IPMI_HOST");
    std::string password, error;
    if (!PasswordPrompt::Ask(STDIN_FILENO, STDERR_FILENO,
                             Text::Format(_("Password for %s at %s: "), user.c_str(), host.c_str()),
                             &password, &error))
        return Report::Refused("%s\n", error.c_str());
    // The driver takes the password from the environment of this process.
    unsetenv("ORVANE_IPMI_PASSWORD_FILE");
    setenv("ORVANE_IPMI_PASSWORD", password.c_str(), 1);
    std::fill(password.begin(), password.end(), '\0');
    return kExitOk;
}
} // namespace

int Prepare(const Options& o, const char* leastPrivilege, const std::string& what, bool fleet) {
    if (!o.privilege.empty() && Rank(o.privilege) < Rank(leastPrivilege))
        return Report::Refused(_("%s needs %s privilege; --privilege %s lacks it\n"), what.c_str(),
                               leastPrivilege, o.privilege.c_str());
    if (int code = CheckWeakness(o))
        return code;
    if (int code = CheckFiles(o))
        return code;
    return o.passwordPrompt ? AskPassword(o, fleet) : kExitOk;
}
} // namespace BmcAccess
