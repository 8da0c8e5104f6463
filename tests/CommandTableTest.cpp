// What the command table gives an operator: usage errors, help, versions,
// progress and quiet output, suggestions for mistyped names, the manual page
// and shell completion, run with the built command on the demo system.
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

namespace {
namespace fs = std::filesystem;
using Result = TestSupport::CommandResult;

class CommandTableTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = TestSupport::TempDir();
        TestSupport::DemoCopy(dir + "/demo");
    }

    // The command on a copy of the demo system.
    Result Orvane(const std::string& args) {
        return TestSupport::Orvane(dir + "/demo",
                                   "--system system.json --backup-dir ../backups " + args);
    }

    std::string dir;
};

TEST_F(CommandTableTest, UsageErrorsProgressQuietAndVersions) {
    const struct {
        const char* args;
        TestSupport::Ending end;
    } cases[] = {
        // A usage error is one line and where to read more.
        {"scan extra", 2, "=", "=orvane scan: takes no operands\nTry 'orvane scan --help'.\n"},
        {"scan --commit", 2, "=",
         "=orvane scan: takes no option --commit\nTry 'orvane scan --help'.\n"},
        {"frobnicate", 2, "=", "=orvane: unknown command \"frobnicate\"\nTry 'orvane --help'.\n"},
        {"set 0 board.manufacturer X", 2, "",
         "=orvane set: needs --commit (to the device) or --save CFG (to a file)\n"
         "Try 'orvane set --help'.\n"},
        // Progress only on a terminal or when asked for; --quiet silences it.
        {"get 0 board.manufacturer", 0, "=Orvane Power\n", "="},
        {"get 0 board.manufacturer --progress", 0, "=Orvane Power\n",
         "Scanning the SDR repository for FRU devices\nRead FRU 1 of 5\n"},
        {"get 0 board.manufacturer --progress --quiet", 0, "=Orvane Power\n", "="},
        // --quiet keeps results, drops remarks beside them.
        {"set 3 product.asset_tag ASSET-0001-RACK-B04-U12 --grow --dry-run", 0,
         "product.asset_tag: the product area grows from 88 to 96 bytes\n", "="},
        {"set 3 product.asset_tag ASSET-0001-RACK-B04-U12 --grow --dry-run --quiet", 0, "!grows",
         "="},
        // Suggestions for mistyped names; FRU names in any case.
        {"shwo", 2, "=", "unknown command \"shwo\"; did you mean show?\n"},
        {"scan --jsno", 2, "=",
         "=orvane scan: unknown option --jsno; did you mean --json?\n"
         "Try 'orvane scan --help'.\n"},
        {"get 0 board.serial", 2, "=", "names no field; did you mean board.serial_number?\n"},
        {"get 0 Board.Serial_Number", 2, "=", "did you mean board.serial_number?\n"},
        {"get 'power SUPPLY' board.serial_number", 0, "=PS0815\n", "="},
        // An image file named where a FRU or a configuration file goes.
        {"show psu.bin", 1, "=", "psu.bin is a file: a raw FRU image goes with --image psu.bin"},
        {"show --file psu.bin", 1, "=",
         "psu.bin looks like a raw FRU image: use --image psu.bin\n"},
        {"get MAINBOARD product.asset_tag", 0, "=ASSET-0001\n", "="},
        {"--version", 0, "orvane 2.0.0 (liborvane revision 2.0, 0x00020000)\n", "="},
        {"-V", 0, "orvane 2.0.0 (liborvane revision", "="},
    };
    for (const auto& c : cases)
        TestSupport::Expect(Orvane(c.args), c.end, c.args);
}

TEST_F(CommandTableTest, ProgressBarOnATerminalOnly) {
    // script(1) gives the command a pseudo-terminal; its output is the terminal's.
    const std::string command = TestSupport::ShellQuote(std::string(ORVANE_BUILD_DIR) + "/orvane") +
                                " --system system.json scan";
    const auto tty = [&](const std::string& args) {
        return TestSupport::RunIn(dir + "/demo", "script -qec " +
                                                     TestSupport::ShellQuote(command + args) +
                                                     " /dev/null </dev/null")
            .out;
    };
    EXPECT_NE(tty("").find("\r\033[K[##############################] 5/5 Read FRU 5 of 5"),
              std::string::npos);
    EXPECT_EQ(tty(" --quiet").find("Read FRU"), std::string::npos);
}
// The manual page renders, and it says what every command's --help says.
TEST_F(CommandTableTest, ManualPageRendersWhatHelpSays) {
    const std::string page = std::string(ORVANE_BUILD_DIR) + "/orvane.1";
    const Result man = TestSupport::RunIn(dir, "MANWIDTH=100 LC_ALL=C.UTF-8 man -l " +
                                                   TestSupport::ShellQuote(page));
    ASSERT_EQ(man.code, 0) << man.err;
    EXPECT_NE(man.out.find("ORVANE(1)"), std::string::npos);
    EXPECT_NE(man.out.find("EXIT STATUS"), std::string::npos);
    std::string rendered;
    for (size_t i = 0; i < man.out.size(); ++i) // groff's minus sign as the ASCII one
        rendered += man.out.compare(i, 3, "\xE2\x88\x92") == 0 ? (i += 2, '-') : man.out[i];
    for (const char* command :
         {"scan", "show", "get", "set", "save", "load", "restore", "dump", "build", "write",
          "props", "check", "inventory", "diff", "backups"}) {
        std::istringstream help(Orvane(std::string(command) + " --help").out);
        for (std::string line; std::getline(help, line) && line != "global options:";)
            EXPECT_NE(rendered.find(line.substr(line.find_first_not_of(' '))), std::string::npos)
                << command << ": " << line;
    }
}

// The completion scripts complete commands, options, field names and the
// FRUs of the --system given, asking the command itself.
TEST_F(CommandTableTest, ShellCompletionCompletesFieldNamesAndFrus) {
    const std::string build = ORVANE_BUILD_DIR;
    const struct {
        const char* words; // the command line up to the word being completed
        const char* offered;
    } cases[] = {
        {"orvane --system system.json get 'Power Supply' board.ser", "board.serial_number\n"},
        {"orvane --system system.json get Po", "Power Supply\n"},
        {"orvane --system system.json set 1 chassis.cu",
         "chassis.custom.1\nchassis.custom.2\nchassis.custom.3\n"},
        {"orvane get --image x.bin product.as", "product.asset_tag\n"},
        {"orvane sh", "show\n"},
        {"orvane scan --js", "--json\n"},
        {"orvane set 0 board.serial_number X --dry", "--dry-run\n"},
    };
    for (const auto& c : cases) {
        const Result bash = TestSupport::RunIn(
            dir + "/demo", "PATH=" + TestSupport::ShellQuote(build) + ":$PATH bash -c " +
                               TestSupport::ShellQuote(
                                   "source " + TestSupport::ShellQuote(build + "/orvane.bash") +
                                   " && COMP_WORDS=(" + c.words +
                                   ") && COMP_CWORD=$((${#COMP_WORDS[@]} - 1)) && _orvane && "
                                   "printf '%s\\n' \"${COMPREPLY[@]}\""));
        EXPECT_EQ(bash.out, c.offered) << c.words << "\n" << bash.err;
    }
    // zsh offers every candidate and leaves the matching to itself.
    if (!fs::exists("/usr/bin/zsh"))
        GTEST_SKIP() << "no zsh";
    const Result zsh = TestSupport::RunIn(
        dir + "/demo",
        "PATH=" + TestSupport::ShellQuote(build) + ":$PATH zsh -c " +
            TestSupport::ShellQuote("compadd() { shift; print -rl -- \"$@\"; }; source " +
                                    TestSupport::ShellQuote(build + "/_orvane") +
                                    " >/dev/null 2>&1; words=(orvane --system system.json get "
                                    "Chassis chassis.ty); CURRENT=${#words}; _orvane"));
    EXPECT_EQ(zsh.out, "chassis.type\nchassis.part_number\nchassis.serial_number\n"
                       "chassis.custom.1\nchassis.custom.2\nchassis.custom.3\n")
        << zsh.err;
}
} // namespace
