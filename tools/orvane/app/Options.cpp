#include "app/Options.h"

#include "view/Text.h"
#include "view/Translate.h"

#include <cstdlib>

bool Options::Parse(int argc, char** argv, std::string* error) {
    struct Valued {
        const char* name;
        std::string* target;
    };
    const Valued valued[] = {{"--driver", &driver},
                             {"--system", &system},
                             {"--host", &host},
                             {"--user", &user},
                             {"--password-file", &passwordFile},
                             {"--interface", &interface},
                             {"--lang", &language},
                             {"--locale", &locale},
                             {"--backup-dir", &backupDir},
                             {"--file", &file},
                             {"--save", &save},
                             {"--image", &image},
                             {"--hosts", &hosts},
                             {"--hosts-file", &hostsFile},
                             {"--fanout", &fanout},
                             {"--host-timeout", &hostTimeout},
                             {"--out", &out}};
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-' || (arg[1] != '-' && arg != "-h")) {
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
        std::string value;
        bool hasValue = false;
        if (const size_t eq = arg.find('='); eq != std::string::npos) {
            value = arg.substr(eq + 1);
            arg = arg.substr(0, eq);
            hasValue = true;
        }
        if (arg == "--help" || arg == "-h") {
            given.push_back("--help");
            help = true;
            continue;
        }
        bool* flag = arg == "--json"      ? &json
                     : arg == "--commit"  ? &commit
                     : arg == "--force"   ? &force
                     : arg == "--strict"  ? &strict
                     : arg == "--repack"  ? &repack
                     : arg == "--grow"    ? &grow
                     : arg == "--shrink"  ? &shrink
                     : arg == "--dry-run" ? &dryRun
                                          : nullptr;
        if (flag) {
            given.push_back(arg);
            *flag = true;
            continue;
        }
        std::string* target = nullptr;
        for (const auto& v : valued)
            if (arg == v.name)
                target = v.target;
        if (!target && arg != "--debug-level") {
            *error = Text::Format(_("unknown option %s"), arg.c_str());
            return false;
        }
        given.push_back(arg);
        if (!hasValue) {
            if (i + 1 >= argc) {
                *error = Text::Format(_("%s needs a value"), arg.c_str());
                return false;
            }
            value = argv[++i];
        }
        if (target) {
            *target = value;
        } else {
            const auto level = Text::ParseNumber(value, 0xFFFF);
            if (!level) {
                *error = _("--debug-level takes a number");
                return false;
            }
            debugLevel = static_cast<int>(*level);
        }
    }
    if (!image.empty() && (!file.empty() || !system.empty() || !host.empty())) {
        *error = _("--image names the FRU; it goes without --file, --system and --host");
        return false;
    }
    if (!interface.empty() && interface != "lan" && interface != "lanplus") {
        *error = _("--interface is lan or lanplus");
        return false;
    }
    return true;
}

void Options::ExportEnvironment() const {
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
}
