// Every command that reads a file given on its command line, over operands
// that are no readable file: a clear message naming the operand and an exit
// code from 1 to 5, never a hang, an abort or a sanitizer report.
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {
namespace fs = std::filesystem;

TEST(FileOperandTest, BadFileOperandsFailWithAReason) {
    const std::string dir = TestSupport::TempDir();
    const std::string json = R"({"controllers": [{"address": "0x20", "fru_devices": [{"id": 0,
        "image": "fru.bin"}]}], "sdr": [{"type": "mc_locator", "address": "0x20", "name": "BMC"}]})";
    TestSupport::WriteFile(dir + "/system.json", {json.begin(), json.end()});
    TestSupport::WriteFile(dir + "/fru.bin", std::vector<uint8_t>(64, 0xFF));
    // Each operand's name ends in .bin, so restore takes it as a raw image.
    fs::create_directory(dir + "/folder.bin");
    ASSERT_EQ(mkfifo((dir + "/fifo.bin").c_str(), 0600), 0);
    fs::create_symlink("/dev/zero", dir + "/device.bin");
    fs::create_symlink("/proc/self/mem", dir + "/unreadable.bin");  // every read fails, root too
    fs::create_symlink("/proc/self/status", dir + "/changing.bin"); // more bytes than its size
    TestSupport::WriteFile(dir + "/huge.bin", {});
    fs::resize_file(dir + "/huge.bin", 3ull << 30); // sparse
    std::vector<std::string> operands = {"folder.bin",  "fifo.bin", "device.bin",
                                         "missing.bin", "huge.bin", "unreadable.bin",
                                         "changing.bin"};
    if (geteuid() != 0) {
        TestSupport::WriteFile(dir + "/locked.bin", {1, 2, 3});
        chmod((dir + "/locked.bin").c_str(), 0);
        operands.push_back("locked.bin");
    }
    const char* sim = "--system system.json ";
    const std::vector<std::string> commands = {
        "show --image F",
        "get --image F board.manufacturer",
        "set --image F board.manufacturer Xy --commit",
        "$show --file F",
        "$get --file F board.manufacturer",
        "$set --file F board.manufacturer Xy --save out.cfg",
        "$write 0 F",
        "$restore F 0",
        "$restore F",
        "$build F out.bin",
        "$load F",
        "diff F F",
        "--system F scan",
    };
    for (const std::string& operand : operands)
        for (std::string command : commands) {
            if (command[0] == '$')
                command = sim + command.substr(1);
            command.replace(command.find('F'), 1, operand);
            if (const size_t second = command.find(" F"); second != std::string::npos)
                command.replace(second + 1, 1, operand);
            const auto r =
                TestSupport::Orvane(dir, "--backup-dir backups " + command, "timeout 20");
            EXPECT_GE(r.code, 1) << command;
            EXPECT_LE(r.code, 5) << command << "\n" << r.err;
            EXPECT_NE(r.err.find(operand), std::string::npos) << command << "\n" << r.err;
            EXPECT_EQ(r.err.find("runtime error"), std::string::npos) << command << r.err;
            EXPECT_EQ(r.err.find("Sanitizer"), std::string::npos) << command << r.err;
        }
    EXPECT_EQ(TestSupport::ReadFile(dir + "/fru.bin"), std::vector<uint8_t>(64, 0xFF));
}
} // namespace
