// orvane: the command line host of liborvane. It reads, shows, changes,
// saves and restores the FRU inventory of a server through the library's
// public interface only.
#include "cmd/Commands.h"
#include "app/DriverReasons.h"
#include "device/ImageSource.h"
#include "view/Languages.h"
#include "app/Options.h"
#include "app/Session.h"
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
} // namespace

int main(int argc, char** argv) {
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
    followLanguage(options.language, options.locale);
    if (!parsed) {
        std::fprintf(stderr, "orvane: %s\n%s", error.c_str(), Commands::Help(""));
        return kExitUsage;
    }
    if (options.command.empty() || options.command == "help") {
        const std::string topic = options.operands.empty() ? "" : options.operands[0];
        const char* text = Commands::Help(topic);
        std::printf("%s", text ? text : Commands::Help(""));
        return options.command.empty() && !options.help ? kExitUsage : kExitOk;
    }
    const std::string& c = options.command;
    const char* help = Commands::Help(c);
    if (!help) {
        std::fprintf(stderr, _("orvane: unknown command \"%s\"\n%s"), options.command.c_str(),
                     Commands::Help(""));
        return kExitUsage;
    }
    if (options.help) {
        std::printf("%s", help);
        return kExitOk;
    }
    if (c == "diff")
        return Commands::Diff(options);
    if (c == "inventory" || !options.hosts.empty() || !options.hostsFile.empty())
        return Commands::Inventory(options);
    options.ExportEnvironment();
    if (const std::string note = Languages::Choose(&options.language, &options.locale);
        !note.empty())
        std::fprintf(stderr, "%s\n", note.c_str());
    ImageSource image;
    if (!options.image.empty()) {
        if (!image.Open(options.image, &error)) {
            std::fprintf(stderr, "orvane: %s\n", error.c_str());
            return kExitLibrary;
        }
        options.imageSource = &image;
    }
    DriverReasons::Install();
    Session session;
    if (!session.Open(options.language, options.locale, options.debugLevel))
        return kExitLibrary;
    if (c == "scan")
        return Commands::Scan(session, options);
    if (c == "show")
        return Commands::Show(session, options);
    if (c == "get")
        return Commands::Get(session, options);
    if (c == "set")
        return Commands::Set(session, options);
    if (c == "save")
        return Commands::Save(session, options);
    if (c == "load")
        return Commands::Load(session, options);
    if (c == "restore")
        return Commands::Restore(session, options);
    if (c == "build")
        return Commands::Build(session, options);
    if (c == "dump")
        return Commands::Dump(session, options);
    if (c == "write")
        return Commands::Write(session, options);
    if (c == "props")
        return Commands::Props(session, options);
    return Commands::Check(session, options);
}
