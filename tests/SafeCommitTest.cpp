// The orvane command never leaves a device broken: the layout guard, verified
// backups and commits with rollback, raw images, saves that are really
// written and failures that a script can see. Runs the built command on
// simulated systems whose image files are the devices.
#include "FruTestImages.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
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

    // A BMC with the power supply as FRU device 1 (of size bytes), named "PSU".
    void WriteSystem(const std::vector<uint8_t>& psu, const std::string& faults = "",
                     int size = 256) {
        TestSupport::WriteFile(image, psu);
        const std::string json =
            "{\"controllers\": [{\"address\": \"0x20\", \"fru_devices\": [{\"id\": 1, "
            "\"image\": \"psu.bin\", \"size\": " +
            std::to_string(size) +
            "}]}], \"sdr\": [{\"type\": \"fru_locator\", "
            "\"access_address\": \"0x20\", \"device\": 1, \"logical\": true, \"name\": "
            "\"PSU\"}]" +
            (faults.empty() ? "" : ", \"faults\": [" + faults + "]") + "}";
        TestSupport::WriteFile(dir + "/system.json",
                               std::vector<uint8_t>(json.begin(), json.end()));
    }

    Result Run(const std::string& args, const std::string& env = "") {
        return TestSupport::Orvane(dir, args, env);
    }
    Result Orvane(const std::string& args) {
        return Run("--system system.json --backup-dir backups " + args);
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

// A write refused, before or after the backup is taken, leaves the device as
// it was and no backup: a layout the commit would move, a backup folder that
// cannot be made, reads of the device that do not agree (the library's FRU read
// wrong where no checksum shows it, an internal use byte; three reads that all
// differ) and an image larger than the device.
TEST_F(SafeCommitTest, RefusedWritesLeaveTheDeviceAndNoBackup) {
    auto withInternal = PsuImage(2, 7);
    Put(withInternal, 0, Header(1, 0, 2, 0, 7));
    Put(withInternal, 8, {0x01, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77});
    Put(withInternal, 56, Record(0xC0, {0x57, 0x01, 0x00, 0x01}, true));
    TestSupport::WriteFile(dir + "/plain", {1});
    TestSupport::WriteFile(dir + "/big.bin", std::vector<uint8_t>(300, 0));
    const std::string set = "set PSU board.serial_number SN-NEW --commit";
    const struct {
        std::vector<uint8_t> image;
        std::string faults, args;
        int code;
        std::string reason;
    } cases[] = {
        {PsuImage(2, 8), "", set, 3,
         "board area: header offset 16, the commit would write it at 8"},
        {PsuImage(2, 8), "", set, 3,
         "multirecord area: header offset 64, the commit would write it at 48"},
        {PsuImage(1, 6), "", "--backup-dir plain/backups " + set, 1, "Not a directory"},
        {PsuImage(1, 6), "", "--backup-dir /proc " + set, 1, "No such file or directory"},
        {withInternal,
         R"({"match": {"command": "0x11", "offset": 8}, "times": 1, "effect": "corrupt_data"})",
         set, 1,
         "the FRU the library read from 2:0:20:00:20:01 differs from the device at 0x000F (two "
         "later reads agree)"},
        {PsuImage(1, 6),
         R"({"match": {"command": "0x11", "offset": "0x78"}, "times": 1, "effect": "corrupt_data"},
           {"match": {"command": "0x11", "offset": "0x70"}, "skip": 1, "times": 1,
            "effect": "corrupt_data"})",
         set, 1,
         "no two reads of the device at 2:0:20:00:20:01 agree (the first two differ at 0x007F, "
         "the third differs from the first at 0x0077, 0x007F)"},
        {PsuImage(1, 6), "", "write PSU big.bin --force", 3, "the device holds 128 bytes"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        WriteSystem(c.image, c.faults, 128);
        const Result r = Orvane(c.args);
        TestSupport::Expect(r, {c.code, "", c.reason}, c.args);
        EXPECT_NE(r.err.find("othing was written"), std::string::npos) << r.err;
        EXPECT_EQ(TestSupport::ReadFile(image), c.image);
        EXPECT_EQ(BackupFiles(".cfg") + BackupFiles(".bin") + BackupFiles(".json"), 0u);
    }
}

// --repack moves the areas to where the commit writes them; the progress
// names what this FRU has and the commit writes, nothing else.
TEST_F(SafeCommitTest, RepackWritesAnImageOtherReadersAccept) {
    WriteSystem(PsuImage(2, 8));
    Result r = Orvane("set PSU board.serial_number SN-NEW --commit --repack --progress");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("committed and verified"), std::string::npos);
    EXPECT_NE(r.err.find("Board info area written"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("Writing the multi-record area"), std::string::npos);
    EXPECT_EQ(r.err.find("Internal use area written"), std::string::npos);
    EXPECT_EQ(r.err.find("Chassis info area written"), std::string::npos);
    const auto packed = TestSupport::ReadFile(image);
    EXPECT_EQ(std::vector<uint8_t>(packed.begin(), packed.begin() + 8), Header(0, 0, 1, 0, 6));
    EXPECT_EQ(Orvane("get PSU board.serial_number").out, "SN-NEW\n");
    if (fs::exists("/usr/sbin/ipmi-fru")) {
        const Result peer = TestSupport::RunIn(dir, "/usr/sbin/ipmi-fru --fru-file=psu.bin");
        EXPECT_NE(peer.out.find("FRU Board Serial Number: SN-NEW"), std::string::npos)
            << peer.out << peer.err;
        EXPECT_EQ(peer.out.find("invalid"), std::string::npos) << peer.out;
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

// A device dumped whole (as large as the controller says), then damaged:
// its dump restored by the device's name brings it back.
TEST_F(SafeCommitTest, ACorruptedBoardAreaIsBroughtBackFromItsDump) {
    const auto good = PsuImage(1, 6);
    WriteSystem(good);
    ASSERT_EQ(Orvane("dump PSU good.bin").code, 0);
    const auto dumped = TestSupport::ReadFile(dir + "/good.bin");
    ASSERT_EQ(dumped.size(), 256u);
    EXPECT_TRUE(std::equal(good.begin(), good.end(), dumped.begin()));
    auto bad = good;
    bad[8 + 12] ^= 0xFF; // a byte of the manufacturer: the area's checksum fails
    TestSupport::WriteFile(image, bad);
    TestSupport::Expect(Orvane("scan"), {4, "1 FRU devices found, 0 read", ""}, "damaged");
    TestSupport::Expect(Orvane("restore good.bin PSU"), {0, "areas changed: board", ""}, "restore");
    EXPECT_EQ(TestSupport::ReadFile(image), good);
    EXPECT_EQ(Orvane("scan").code, 0);
}

// One wrong byte in one Read FRU Data answer (completion code 00h, the last
// data byte inverted), for each request in turn of a set --commit, a write and
// a restore FILE.bin and one past them: every run either ends as the run
// without the fault does, or fails and leaves the device as it was; success
// or "as before" is never claimed otherwise. A Write FRU Data that fails, at
// any request of a commit, is rolled back to as before, the backup kept.
TEST_F(SafeCommitTest, AFaultInAnyRequestNeverLeavesTheDeviceHalfDone) {
    const auto before = PsuImage(1, 6); // on a device of its own size: fewer reads
    WriteSystem(before, "", 128);
    ASSERT_EQ(Orvane("set PSU board.serial_number SN-NEW --commit").code, 0);
    const auto after = TestSupport::ReadFile(image);
    TestSupport::WriteFile(dir + "/after.bin", after);
    TestSupport::WriteFile(dir + "/before.bin", before);
    const std::string wrongByte = "\"effect\": \"corrupt_data\"";
    const struct {
        const char* args;
        const std::vector<uint8_t>& start;
        const std::vector<uint8_t>& done;
        const char* command; // the requests the fault hits in turn
        const std::string& effect;
    } cases[] = {
        {"set PSU board.serial_number SN-NEW --commit", before, after, "cmd=11", wrongByte},
        {"write PSU after.bin", before, after, "cmd=11", wrongByte},
        {"restore before.bin PSU", after, before, "cmd=11", wrongByte},
        {"set PSU board.serial_number SN-NEW --commit", before, after, "cmd=12",
         "\"completion_code\": \"0xD5\""},
    };
    for (const auto& c : cases) {
        WriteSystem(c.start, "", 128);
        fs::remove(dir + "/sim.log");
        ASSERT_EQ(Run("--system system.json --backup-dir backups " + std::string(c.args),
                      "ORVANE_SIM_LOG=sim.log")
                      .code,
                  0);
        ASSERT_EQ(TestSupport::ReadFile(image), c.done) << c.args;
        const std::string log = TestSupport::ReadText(dir + "/sim.log");
        size_t requests = 0;
        for (size_t at = log.find(c.command); at != std::string::npos;
             at = log.find(c.command, at + 1))
            ++requests;
        ASSERT_GT(requests, 2u) << log;
        int committed = 0;
        for (size_t k = 0; k <= requests + 1; ++k) {
            SCOPED_TRACE(std::string(c.args) + ", " + c.command + " " + std::to_string(k));
            fs::remove_all(backups);
            WriteSystem(c.start,
                        std::string("{\"match\": {\"command\": \"0x") + (c.command + 4) +
                            "\"}, \"skip\": " + std::to_string(k) + ", \"times\": 1, " + c.effect +
                            "}",
                        128);
            const Result r = Orvane(c.args);
            const auto device = TestSupport::ReadFile(image);
            const bool asBefore = r.err.find("is as before") != std::string::npos;
            if (r.code == 0) {
                ++committed;
                EXPECT_EQ(device, c.done) << r.out << r.err;
                EXPECT_NE(r.out.find("verified"), std::string::npos) << r.out;
            } else {
                EXPECT_EQ(device, c.start) << r.err;
            }
            EXPECT_FALSE(asBefore && device != c.start) << r.err;
            if (c.effect != wrongByte && k < requests) {
                EXPECT_TRUE(r.code == 1 && asBefore) << r.err;
                EXPECT_EQ(BackupFiles(".bin"), 1u);
            }
        }
        EXPECT_GT(committed, 0) << c.args;
    }
}

TEST_F(SafeCommitTest, FailuresExitNonZeroWithTheDriversReason) {
    WriteSystem(PsuImage(1, 6));
    TestSupport::WriteFile(dir + "/broken.json", {'{', 'x'});
    const bool freeipmi = fs::exists(std::string(ORVANE_BUILD_DIR) + "/orvane-driver-freeipmi.so");
    const struct {
        std::string args, reason;
    } cases[] = {
        {"--system missing.json scan", "missing.json: cannot read the file"},
        {"--system broken.json show --json", "broken.json: not valid JSON"},
        {"--system missing.json props", "cannot read the file"},
        {"--driver bogus scan", "Cannot load driver module bogus"},
        {freeipmi ? "--driver freeipmi --host 127.0.0.1:9 --user u --password-file nowhere scan"
                  : "--driver bogus scan",
         freeipmi ? "cannot read the password file nowhere" : "bogus"},
    };
    for (const auto& c : cases) {
        const Result r = Run(c.args);
        TestSupport::Expect(r, {1, "!\"frus\"", "the BMC cannot be reached"}, c.args);
        EXPECT_NE(r.err.find(c.reason), std::string::npos) << c.args;
    }
    // The command reports failures itself; the debug log only when asked for.
    EXPECT_FALSE(fs::exists(dir + "/DBGLOG.txt"));
    Run("--driver bogus --debug-level 1 scan");
    EXPECT_TRUE(fs::exists(dir + "/DBGLOG.txt"));
}

} // namespace
