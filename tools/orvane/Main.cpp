// orvane: the command line host of liborvane. It reads, shows, changes,
// saves and restores the FRU inventory of a server through the library's
// public interface only.
#include "app/BmcAccess.h"
#include "app/DriverReasons.h"
#include "app/Options.h"
#include "app/Report.h"
#include "app/Session.h"
#include "cmd/CommandTable.h"
#include "cmd/Commands.h"
#include "device/FileOperand.h"
#include "device/ImageSource.h"
#include "view/Languages.h"
#include "view/Spelling.h"
#include "view/Terminal.h"
#include "view/Text.h"
#include "view/Translate.h"

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {
// A build tree keeps the catalogues beside the program; use them when the
// host has not named a data folder.
void FindCatalogues() {
    if (std::getenv("ORVANE_DATA_DIR"))
        return;
    std::error_code ec;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec)
        return;
    const auto folder = self.parent_path();
    if (std::filesystem::exists(folder / "enus/orvane/str/orvane.str", ec))
        setenv("ORVANE_DATA_DIR", folder.c_str(), 1);
}

// What the dispatcher does for help: `orvane`, `orvane help [COMMAND]` and
// `orvane COMMAND --help`.
int PrintHelp(const Options& options) {
    const std::string topic = options.operands.empty() ? "" : options.operands[0];
    const Commands::Command* command = Commands::Find(topic);
    std::printf("%s", (command ? Commands::Help(*command) : Commands::Overview()).c_str());
    return options.command.empty() && !options.help ? kExitUsage : kExitOk;
}

// --version and -V: the command's version and the revision of the library
// it was built with.
int PrintVersion() {
    std::printf(_("orvane %s (liborvane revision %u.%u, 0x%08X)\n"), ORVANE_VERSION, Revision >> 16,
                Revision & 0xFFFF, Revision);
    return kExitOk;
}

// The command's work as a refusal names it: "set --commit", "write".
std::string Work(const Commands::Command& command, const Options& options) {
    return std::string(command.name) +
           (command.access == Commands::Access::kWritesWithCommit && options.commit ? " --commit"
                                                                                    : "");
}

// Runs a command that works through the library: the driver's settings into
// the environment, the image file opened, the library initialised.
int RunWithSession(const Commands::Command& command, Options& options) {
    const char* least = Commands::LeastPrivilege(command, options);
    if (int code = BmcAccess::Prepare(options, least, Work(command, options), false))
        return code;
    options.ExportEnvironment(least);
    if (const std::string note = Languages::Choose(&options.language, &options.locale);
        !note.empty())
        Report::Remark("%s\n", note.c_str());
    // A simulated BMC's description that is a directory or a FIFO would stop
    // the driver; a missing one the driver reports itself.
    if (std::error_code ec; !options.system.empty() && std::filesystem::exists(options.system, ec))
        if (const std::string problem = FileOperand::Check(options.system, FileOperand::kTextBytes);
            !problem.empty())
            return Report::Fail("%s\n", problem.c_str());
    ImageSource image;
    if (!options.image.empty()) {
        std::string error;
        if (!image.Open(options.image, &error))
            return Report::Fail("%s\n", error.c_str());
        options.imageSource = &image;
    }
    DriverReasons::Install();
    Session session;
    if (!session.Open(options.language, options.locale, options.debugLevel))
        return kExitLibrary;
    if (const std::string misfit = Commands::OperandMisfit(command, options); !misfit.empty())
        return Report::Usage(command.name, misfit);
    return command.run(session, options);
}
} // namespace

namespace {
int Run(int argc, char** argv) {
    // Paths cross the library as wide strings converted with the running locale.
    std::setlocale(LC_ALL, "");
    Languages::BindTexts();
    FindCatalogues();
    // Usage and help texts follow the locale's language, then the one --lang
    // names; the line about a language without a catalogue comes later.
    const auto followLanguage = [](std::string language, std::string locale) {
        Languages::Choose(&language, &locale);
    };
    followLanguage("", "");
    Options options;
    std::string error;
    const bool parsed = options.Parse(argc, argv, &error);
    // inventory writes JSON Lines, with or without --json.
    if (options.json || options.command == "inventory")
        Languages::ForScripts(&options.language, &options.locale);
    Terminal::Install();
    followLanguage(options.language, options.locale);
    if (!parsed)
        return Report::Usage(Commands::Find(options.command) ? options.command : "", error);
    Report::SetVerbosity(options.progress, options.quiet);
    if (options.version)
        return PrintVersion();
    if (options.command.empty() || options.command == "help")
        return PrintHelp(options);
    const Commands::Command* command = Commands::Find(options.command);
    if (!command)
        return Report::Usage("",
                             Text::Format(_("unknown command \"%s\""), options.command.c_str()) +
                                 Spelling::DidYouMean(options.command, Commands::Names()));
    if (options.help) {
        std::printf("%s", Commands::Help(*command).c_str());
        return kExitOk;
    }
    if (const std::string misfit = Commands::OptionMisfit(*command, options); !misfit.empty())
        return Report::Usage(command->name, misfit);
    // Over --hosts, scan and show run as inventory does, a worker per host.
    const bool fleet = !options.hosts.empty() || !options.hostsFile.empty();
    if (!command->runAlone && !fleet)
        return RunWithSession(*command, options);
    if (const std::string misfit = Commands::OperandMisfit(*command, options); !misfit.empty())
        return Report::Usage(command->name, misfit);
    if (fleet)
        if (int code = BmcAccess::Prepare(options, Commands::LeastPrivilege(*command, options),
                                          Work(*command, options), true))
            return code;
    return command->runAlone ? command->runAlone(options) : Commands::Inventory(options);
}
} // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (std::string(argv[i]) == "--json")
            Report::JsonMode(true);
    return Report::Finish(Run(argc, argv));
}
