// The command line: a subcommand, its operands and the options, which may
// stand anywhere after the program name.
#pragma once
#include <string>
#include <vector>

struct Options {
    std::string command;
    std::vector<std::string> operands;
    std::string driver, system, host, user, passwordFile, interface;
    // The BMC session: cipher suite, K_g file, a fixed privilege, the IPMI 1.5
    // authentication type; --insecure allows what is weak, --password-prompt
    // asks for the password on the terminal.
    std::string cipherSuite, kgFile, privilege, authType;
    bool insecure = false, passwordPrompt = false;
    std::string language, locale, backupDir, file, save;
    std::string image;   // --image FILE.bin: a raw FRU image file as the one FRU
    bool strict = false; // --strict: show only what the library accepts
    const class ImageSource* imageSource = nullptr; // set when image is open
    // The fleet commands: host lists, workers at once, seconds per host, snapshot file.
    std::string hosts, hostsFile, fanout, hostTimeout, out;
    // backups prune: how many backups to keep, and the age in days below
    // which none is removed.
    std::string keep, olderThan;
    int debugLevel = -1;
    // The options as they were given, in order, without their values, so that
    // the dispatcher can refuse one that the command does not take.
    std::vector<std::string> given;
    bool json = false, commit = false, force = false, help = false, repack = false;
    // --progress: progress even when standard error is no terminal; --quiet:
    // nothing but results and errors; --version (-V).
    bool progress = false, quiet = false, version = false;
    // set: grow or shrink the changed areas, moving the areas behind them;
    // --dry-run shows the rebuilt layout and writes nothing.
    bool grow = false, shrink = false, dryRun = false;

    // Every option's name, for suggestions and shell completion.
    static std::vector<std::string> Names();
    // Whether the option of a name takes a value (--system FILE).
    static bool TakesValue(const std::string& name);
    // Parses argv; on a usage error returns false with the reason in *error.
    bool Parse(int argc, char** argv, std::string* error);
    // The session options' values and combinations; false with the reason.
    bool CheckSession(std::string* error) const;
    // Puts the driver and connection settings into the environment, where the
    // library's driver modules read them; leastPrivilege ("user", "operator")
    // is where the session starts unless --privilege fixes it.
    void ExportEnvironment(const char* leastPrivilege) const;
    // A command works on one FRU that needs no FRU operand: --file or --image.
    bool SingleFru() const { return !file.empty() || !image.empty(); }
};
