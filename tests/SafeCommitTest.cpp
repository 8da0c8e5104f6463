// The orvane command never leaves a device broken: the layout guard, verified
// backups and commits with rollback, raw images, saves that are really
// written and failures that a script can see. Runs the built command on
// simulated systems whose image files are the devices.
#include "FruTestImages.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace {
using FruTestImages::Area;
using FruTestImages::Header;
using FruTestImages::Put;
using FruTestImages::Record;
namespace fs = std::filesystem;

using Result = TestSupport::CommandResult;

// A power supply's image: a board area and one multi-record, at the board's
// and the multi-record's unit offsets (1 and 6 are packed: the commit writes
// the board area at 8 and the multi-record area behind it).
std::vector<uint8_t> PsuImage(uint8_t board, uint8_t multiRecord) {
    std::vector<uint8_t> image(128, 0xFF);
    Put(image, 0, Header(0, 0, board, 0, multiRecord));
    Put(image, board * 8u,
        Area({0x01, 0, 0x19, 0x10, 0x20, 0x30}, {"Orvane Power", "PSU", "SN-1", "PN-1", ""}, 5));
    Put(image, multiRecord * 8u, Record(0xC0, {0x57, 0x01, 0x00, 0x01}, true));
    return image;
}

class SafeCommitTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = TestSupport::TempDir();
        backups = dir + "/backups";
        image = dir + "/psu.bin";
    }

    // A BMC with the power supply as FRU device 1 (256 bytes), named "PSU".
    void WriteSystem(const std::vector<uint8_t>& psu, const std::string& faults = "") {
        TestSupport::WriteFile(image, psu);
        const std::string json =
            "{\"controllers\": [{\"address\": \"0x20\", \"fru_devices\": [{\"id\": 1, "
            "\"image\": \"psu.bin\", \"size\": 256}]}], \"sdr\": [{\"type\": \"fru_locator\", "
            "\"access_address\": \"0x20\", \"device\": 1, \"logical\": true, \"name\": "
            "\"PSU\"}]" +
            (faults.empty() ? "" : ", \"faults\": [" + faults + "]") + "}";
        TestSupport::WriteFile(dir + "/system.json",
                               std::vector<uint8_t>(json.begin(), json.end()));
    }

    // Runs a shell command in the test's folder.
    Result Shell(const std::string& command) { return TestSupport::RunIn(dir, command); }
    Result Run(const std::string& args) {
        return Shell(TestSupport::ShellQuote(std::string(ORVANE_BUILD_DIR) + "/orvane") + " " +
                     args);
    }
    Result Orvane(const std::string& args) {
        return Run("--system system.json --backup-dir " + TestSupport::ShellQuote(backups) + " " +
                   args);
    }

    size_t BackupFiles(const std::string& extension) {
        size_t n = 0;
        if (fs::exists(backups))
            for (const auto& e : fs::directory_iterator(backups))
                n += e.path().extension() == extension;
        return n;
    }

    std::string dir, backups, image;
};

TEST_F(SafeCommitTest, GapLayoutIsRefusedAndRepackWritesAnImageOtherReadersAccept) {
    const auto gap = PsuImage(2, 8);
    WriteSystem(gap);
    Result r = Orvane("set PSU board.serial_number SN-NEW --commit");
    EXPECT_EQ(r.code, 3);
    EXPECT_NE(r.err.find("board area: header offset 16, the commit would write it at 8"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("multirecord area: header offset 64, the commit would write it at 48"),
              std::string::npos);
    EXPECT_EQ(TestSupport::ReadFile(image), gap);
    EXPECT_EQ(BackupFiles(".cfg") + BackupFiles(".bin"), 0u); // a refusal leaves no backup

    r = Orvane("set PSU board.serial_number SN-NEW --commit --repack");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("committed and verified"), std::string::npos);
    // Progress names what this FRU has and the commit writes, nothing else.
    EXPECT_NE(r.err.find("Board info area written"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("Writing the multi-record area"), std::string::npos);
    EXPECT_EQ(r.err.find("Internal use area written"), std::string::npos);
    EXPECT_EQ(r.err.find("Chassis info area written"), std::string::npos);
    const auto packed = TestSupport::ReadFile(image);
    EXPECT_EQ(std::vector<uint8_t>(packed.begin(), packed.begin() + 8), Header(0, 0, 1, 0, 6));
    EXPECT_EQ(Orvane("get PSU board.serial_number").out, "SN-NEW\n");
    if (fs::exists("/usr/sbin/ipmi-fru")) {
        const Result peer = Shell("/usr/sbin/ipmi-fru --fru-file=psu.bin");
        EXPECT_NE(peer.out.find("FRU Board Serial Number: SN-NEW"), std::string::npos)
            << peer.out << peer.err;
        EXPECT_EQ(peer.out.find("invalid"), std::string::npos) << peer.out;
    }
}

TEST_F(SafeCommitTest, AWriteThatFailsPartWayIsRolledBack) {
    // The header write, and the board area's second chunk: both fail once.
    for (const char* skip : {"0", "2"}) {
        SCOPED_TRACE(skip);
        const auto packed = PsuImage(1, 6);
        WriteSystem(packed, std::string("{\"match\": {\"command\": \"0x12\"}, \"skip\": ") + skip +
                                ", \"completion_code\": \"0xD5\", \"times\": 1}");
        Result r = Orvane("set PSU board.serial_number SN-NEW --commit");
        EXPECT_EQ(r.code, 1);
        EXPECT_NE(r.err.find("committing the FRU failed (0xC0070029)"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("is as before (256 bytes read back and compared)"), std::string::npos)
            << r.err;
        EXPECT_EQ(TestSupport::ReadFile(image), packed);
        EXPECT_EQ(BackupFiles(".bin"), 1u); // kept, and named
        fs::remove_all(backups);
    }
}

TEST_F(SafeCommitTest, ABackupThatCannotBeWrittenRefusesTheCommit) {
    const auto packed = PsuImage(1, 6);
    WriteSystem(packed);
    TestSupport::WriteFile(dir + "/plain", {1});
    const struct {
        const char* folder;
        const char* reason;
    } cases[] = {{"plain/backups", "Not a directory"}, {"/proc", "No such file or directory"}};
    for (const auto& c : cases) {
        Result r = Run(std::string("--system system.json --backup-dir ") + c.folder +
                       " set PSU board.serial_number SN-NEW --commit");
        EXPECT_EQ(r.code, 1) << c.folder;
        EXPECT_NE(r.err.find(c.reason), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("nothing was written"), std::string::npos) << r.err;
        EXPECT_EQ(TestSupport::ReadFile(image), packed);
    }
}

TEST_F(SafeCommitTest, SavesAreWrittenThroughAVerifiedTemporaryFile) {
    WriteSystem(PsuImage(1, 6));
    Result r = Orvane("save PSU /dev/full");
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("No space left on device"), std::string::npos) << r.err;
    TestSupport::WriteFile(dir + "/psu.cfg", {'o', 'l', 'd'});
    r = Orvane("set PSU board.part_number PN-2 --save psu.cfg");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(Orvane("get --file psu.cfg board.part_number").out, "PN-2\n");
    for (const auto& e : fs::directory_iterator(dir))
        EXPECT_EQ(e.path().filename().string().find(".orvane-"), std::string::npos) << e.path();
}

TEST_F(SafeCommitTest, ACorruptedBoardAreaIsListedAndBroughtBackFromARawImage) {
    const auto good = PsuImage(1, 6);
    WriteSystem(good);
    Result r = Orvane("dump PSU good.bin");
    ASSERT_EQ(r.code, 0) << r.err;
    auto dumped = TestSupport::ReadFile(dir + "/good.bin");
    ASSERT_EQ(dumped.size(), 256u); // the size the controller gives
    EXPECT_TRUE(std::equal(good.begin(), good.end(), dumped.begin()));

    auto bad = good;
    bad[8 + 12] ^= 0xFF; // a byte of the manufacturer: the area's checksum fails
    TestSupport::WriteFile(image, bad);
    r = Orvane("scan");
    EXPECT_EQ(r.code, 4);
    EXPECT_NE(r.out.find("1 FRU devices found, 0 read"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("PSU                  2:0:20:00:20:01    0xC0070013 The board info "
                         "area of PSU is invalid."),
              std::string::npos)
        << r.out;
    r = Orvane("show --json");
    EXPECT_EQ(r.code, 4);
    EXPECT_NE(r.out.find("\"damaged\": [{\"position\": 0, \"id\": \"id:1\", \"name\": \"PSU\", "
                         "\"address\": \"2:0:20:00:20:01\", "
                         "\"status\": \"0xC0070013\""),
              std::string::npos)
        << r.out;

    TestSupport::WriteFile(dir + "/big.bin", std::vector<uint8_t>(300, 0));
    EXPECT_EQ(Orvane("write PSU big.bin").code, 3);
    r = Orvane("restore good.bin PSU");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(TestSupport::ReadFile(image), good); // only the differing byte was written
    EXPECT_EQ(Orvane("scan").code, 0);
}

TEST_F(SafeCommitTest, FailuresExitNonZeroWithTheDriversReason) {
    WriteSystem(PsuImage(1, 6));
    TestSupport::WriteFile(dir + "/broken.json", {'{', 'x'});
    const bool freeipmi = fs::exists(std::string(ORVANE_BUILD_DIR) + "/orvane-driver-freeipmi.so");
    const struct {
        std::string args, reason;
        bool run;
    } cases[] = {
        {"--system missing.json scan", "missing.json: cannot read the file", true},
        {"--system broken.json show --json", "broken.json: not valid JSON", true},
        {"--system missing.json props", "cannot read the file", true},
        {"--driver bogus scan", "Cannot load driver module bogus", true},
        {"--driver freeipmi --host 127.0.0.1:9 --user u --password-file nowhere scan",
         "cannot read the password file nowhere", freeipmi},
    };
    for (const auto& c : cases) {
        if (!c.run)
            continue;
        Result r = Run(c.args);
        EXPECT_EQ(r.code, 1) << c.args;
        EXPECT_NE(r.err.find("the BMC cannot be reached"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find(c.reason), std::string::npos) << r.err;
        EXPECT_EQ(r.out.find("\"frus\""), std::string::npos) << r.out;
    }
    // The command reports failures itself; the debug log only when asked for.
    EXPECT_FALSE(fs::exists(dir + "/DBGLOG.txt"));
    Run("--driver bogus --debug-level 1 scan");
    EXPECT_TRUE(fs::exists(dir + "/DBGLOG.txt"));
}

} // namespace
