#include "app/Options.h"

#include "view/Spelling.h"
#include "view/Text.h"
#include "view/Translate.h"

#include <cstdlib>

namespace {
// The options that take a value, and where it goes.
struct Valued {
    const char* name;
    std::string Options::*target;
};
const Valued kValued[] = {{"--driver", &Options::driver},
                          {"--system", &Options::system},
                          {"--host", &Options::host},
                          {"--user", &Options::user},
                          {"--password-file", &Options::passwordFile},
                          {"--interface", &Options::interface},
                          {"--cipher-suite", &Options::cipherSuite},
                          {"--kg-file", &Options::kgFile},
                          {"--privilege", &Options::privilege},
                          {"--auth-type", &Options::authType},
                          {"--lang", &Options::language},
                          {"--locale", &Options::locale},
                          {"--backup-dir", &Options::backupDir},
                          {"--file", &Options::file},
                          {"--save", &Options::save},
                          {"--image", &Options::image},
                          {"--fru", &Options::fru},
                          {"--hosts", &Options::hosts},
                          {"--hosts-file", &Options::hostsFile},
                          {"--fanout", &Options::fanout},
                          {"--host-timeout", &Options::hostTimeout},
                          {"--out", &Options::out},
                          {"--keep", &Options::keep},
                          {"--older-than", &Options::olderThan}};

// The options that stand alone.
struct Flag {
    const char* name;
    bool Options::*target;
};
const Flag kFlags[] = {
    {"--json", &Options::json},         {"--commit", &Options::commit},
    {"--force", &Options::force},       {"--strict", &Options::strict},
    {"--repack", &Options::repack},     {"--grow", &Options::grow},
    {"--shrink", &Options::shrink},     {"--dry-run", &Options::dryRun},
    {"--help", &Options::help},         {"-h", &Options::help},
    {"--insecure", &Options::insecure}, {"--password-prompt", &Options::passwordPrompt},
    {"--progress", &Options::progress}, {"--quiet", &Options::quiet},
    {"--version", &Options::version},   {"-V", &Options::version}};

// The one-letter options and the long names they stand for.
const char* LongName(const std::string& arg) {
    return arg == "-h" ? "--help" : arg == "-V" ? "--version" : nullptr;
}

// Takes one option, argv[*i], and its value (after "=" or the next
// argument). False with the reason in *error.
bool TakeOption(Options& o, int argc, char** argv, int* i, std::string* error) {
    std::string arg = argv[*i], value;
    bool hasValue = false;
    if (const size_t eq = arg.find('='); eq != std::string::npos) {
        value = arg.substr(eq + 1);
        arg = arg.substr(0, eq);
        hasValue = true;
    }
    for (const Flag& f : kFlags)
        if (arg == f.name) {
            o.given.push_back(LongName(arg) ? LongName(arg) : arg);
            o.*f.target = true;
            return true;
        }
    std::string Options::*target = nullptr;
    for (const Valued& v : kValued)
        if (arg == v.name)
            target = v.target;
    if (!target && arg != "--debug-level") {
        *error = Text::Format(_("unknown option %s"), arg.c_str()) +
                 Spelling::DidYouMean(arg, Options::Names());
        return false;
    }
    o.given.push_back(arg);
    if (!hasValue) {
        if (*i + 1 >= argc) {
            *error = Text::Format(_("%s needs a value"), arg.c_str());
            return false;
        }
        value = argv[++*i];
    }
    if (target) {
        o.*target = value;
        return true;
    }
    const auto level = Text::ParseNumber(value, 0xFFFF);
    if (!level) {
        *error = _("--debug-level takes a number");
        return false;
    }
    o.debugLevel = static_cast<int>(*level);
    return true;
}
} // namespace

std::vector<std::string> Options::Names() {
    std::vector<std::string> names{"--debug-level"};
    for (const Flag& f : kFlags)
        if (f.name[1] == '-')
            names.push_back(f.name);
    for (const Valued& v : kValued)
        names.push_back(v.name);
    return names;
}

bool Options::TakesValue(const std::string& name) {
    for (const Valued& v : kValued)
        if (name == v.name)
            return true;
    return name == "--debug-level";
}

bool Options::Parse(int argc, char** argv, std::string* error) {
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-' || (arg[1] != '-' && !LongName(arg))) {
            // A value such as "-5" or "-" is an operand.
            if (command.empty())
                command = arg;
            else
                operands.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (!TakeOption(*this, argc, argv, &i, error))
            return false;
    }
    if (!image.empty() && (!file.empty() || !system.empty() || !host.empty())) {
        *error = _("--image names the FRU; it goes without --file, --system and --host");
        return false;
    }
    if (!interface.empty() && interface != "lan" && interface != "lanplus") {
        *error = _("--interface is lan or lanplus");
        return false;
    }
    return CheckSession(error);
}

bool Options::CheckSession(std::string* error) const {
    if (!system.empty() && !host.empty()) {
        *error = _("--system and --host exclude each other (a simulated BMC or a real one)");
        return false;
    }
    if (!cipherSuite.empty() && !Text::ParseNumber(cipherSuite, 19)) {
        *error = _("--cipher-suite takes a cipher suite id from 0 to 19");
        return false;
    }
    if (!privilege.empty() && privilege != "user" && privilege != "operator" &&
        privilege != "admin") {
        *error = _("--privilege is user, operator or admin");
        return false;
    }
    if (!authType.empty() && authType != "none" && authType != "straight" && authType != "md2" &&
        authType != "md5") {
        *error = _("--auth-type is none, straight, md2 or md5");
        return false;
    }
    if (passwordPrompt && !passwordFile.empty()) {
        *error = _("--password-prompt and --password-file exclude each other");
        return false;
    }
    const char* environment = std::getenv("ORVANE_IPMI_INTERFACE");
    const bool lan = interface == "lan" ||
                     (interface.empty() && environment && std::string(environment) == "lan");
    if (lan && (!kgFile.empty() || !cipherSuite.empty())) {
        *error = _("--kg-file and --cipher-suite need --interface lanplus");
        return false;
    }
    if (!lan && !authType.empty()) {
        *error = _("--auth-type needs --interface lan");
        return false;
    }
    return true;
}

void Options::ExportEnvironment(const char* leastPrivilege) const {
    if (!system.empty()) {
        setenv("ORVANE_SIM_SYSTEM", system.c_str(), 1);
        if (driver.empty())
            setenv("ORVANE_DRIVER", "sim", 1);
    }
    if (!driver.empty())
        setenv("ORVANE_DRIVER", driver.c_str(), 1);
    if (!host.empty())
        setenv("ORVANE_IPMI_HOST", host.c_str(), 1);
    if (!user.empty())
        setenv("ORVANE_IPMI_USER", user.c_str(), 1);
    if (!passwordFile.empty())
        setenv("ORVANE_IPMI_PASSWORD_FILE", passwordFile.c_str(), 1);
    if (!interface.empty())
        setenv("ORVANE_IPMI_INTERFACE", interface.c_str(), 1);
    // The driver reads the suite in decimal; the command took C notation.
    const std::string suite =
        cipherSuite.empty() ? "" : std::to_string(Text::ParseNumber(cipherSuite, 19).value_or(0));
    const std::pair<const char*, const std::string*> session[] = {
        {"ORVANE_IPMI_CIPHER", &suite},
        {"ORVANE_IPMI_KG_FILE", &kgFile},
        {"ORVANE_IPMI_PRIVILEGE", &privilege},
        {"ORVANE_IPMI_AUTH_TYPE", &authType}};
    for (const auto& [name, value] : session)
        if (!value->empty())
            setenv(name, value->c_str(), 1);
    setenv("ORVANE_IPMI_LEAST_PRIVILEGE", leastPrivilege, 1);
    if (insecure)
        setenv("ORVANE_IPMI_INSECURE", "1", 1);
}
