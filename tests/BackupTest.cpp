// Backups know where they came from: their name and record carry origin,
// address, FRU name and time, a restore onto another origin is refused, a
// saved configuration file names itself, and a FRU that a configuration file
// cannot hold is still edited with its raw backup. Runs the built command on
// simulated systems.
#include "FruTestImages.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {
using FruTestImages::Area;
using FruTestImages::Header;
using FruTestImages::Put;
namespace fs = std::filesystem;
using Result = TestSupport::CommandResult;

std::vector<uint8_t> PsuImage(const std::string& serial) {
    std::vector<uint8_t> image(128, 0xFF);
    Put(image, 0, Header(0, 0, 1, 0, 0));
    Put(image, 8,
        Area({0x01, 0, 0x19, 0x10, 0x20, 0x30}, {"Orvane Power", "PSU", serial, "PN-1", ""}, 5));
    return image;
}

class BackupTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = TestSupport::TempDir();
        backups = dir + "/backups";
    }

    // A BMC (described by name.json) with one power supply, FRU device 1,
    // held in name.bin.
    void WriteSystem(const std::string& name, const std::vector<uint8_t>& psu) {
        TestSupport::WriteFile(dir + "/" + name + ".bin", psu);
        const std::string json =
            "{\"controllers\": [{\"address\": \"0x20\", \"fru_devices\": [{\"id\": 1, "
            "\"image\": \"" +
            name +
            ".bin\", \"size\": 128}]}], \"sdr\": [{\"type\": \"fru_locator\", "
            "\"access_address\": \"0x20\", \"device\": 1, \"logical\": true, \"name\": "
            "\"PSU\"}]}";
        TestSupport::WriteFile(dir + "/" + name + ".json",
                               std::vector<uint8_t>(json.begin(), json.end()));
    }

    Result Orvane(const std::string& args) {
        return TestSupport::RunIn(
            dir, TestSupport::ShellQuote(std::string(ORVANE_BUILD_DIR) + "/orvane") +
                     " --backup-dir backups " + args);
    }

    // The one backup's files, by extension.
    std::map<std::string, fs::path> Only() {
        std::map<std::string, fs::path> files;
        for (const auto& e : fs::directory_iterator(backups))
            files[e.path().extension().string()] = e.path();
        return files;
    }

    std::string dir, backups;
};

TEST_F(BackupTest, ABackupRecordsItsOriginAndIsRestoredOnlyThere) {
    const auto old = PsuImage("SN-1");
    WriteSystem("bmc1", old);
    WriteSystem("bmc2", PsuImage("SN-2"));
    ASSERT_EQ(Orvane("--system bmc1.json set PSU board.serial_number SN-NEW --commit").code, 0);
    auto files = Only();
    ASSERT_EQ(files.size(), 3u);
    const std::string stem = files[".bin"].stem().string();
    EXPECT_EQ(stem.substr(16, 5), "_sim-") << stem; // after the UTC time
    EXPECT_NE(stem.find("-bmc1.json_2-0-20-00-20-01_PSU"), std::string::npos) << stem;
    const auto record = nlohmann::json::parse(TestSupport::ReadText(files[".json"].string()));
    EXPECT_EQ(record["origin"], "sim:" + dir + "/bmc1.json");
    EXPECT_EQ(record["address"], "2:0:20:00:20:01");
    EXPECT_EQ(record["name"], "PSU");
    EXPECT_EQ(record["size"], 128);
    EXPECT_EQ(record["time"].get<std::string>().substr(0, 2), "20");
    EXPECT_EQ(record["bin"], files[".bin"].filename().string());
    EXPECT_EQ(record["cfg"], files[".cfg"].filename().string());
    // The configuration file names its own final path, not a scratch one.
    const std::string cfg = TestSupport::ReadText(files[".cfg"].string());
    EXPECT_EQ(cfg.substr(0, cfg.find('\n')), "_LF_NAME\t'" + files[".cfg"].string() + "'");
    fs::rename(backups, dir + "/taken");

    const std::string bin = "taken/" + files[".bin"].filename().string();
    const std::string saved = "taken/" + files[".cfg"].filename().string();
    const struct {
        std::string args;
        int code;
        const char* system; // the device that must then hold the old image, if any
    } cases[] = {
        {"--system bmc2.json restore " + bin + " PSU", 3, nullptr},
        {"--system bmc2.json restore " + saved, 3, nullptr},
        {"--system bmc2.json restore " + bin + " PSU --force", 0, "bmc2"},
        {"--system bmc1.json restore " + bin, 0, "bmc1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        const auto bmc2 = TestSupport::ReadFile(dir + "/bmc2.bin");
        const Result r = Orvane(c.args);
        EXPECT_EQ(r.code, c.code) << r.err;
        if (c.code == 3) {
            EXPECT_NE(r.err.find("it was taken from sim:" + dir + "/bmc1.json at 2:0:20:00:20:01"),
                      std::string::npos)
                << r.err;
            EXPECT_NE(r.err.find("the target is sim:" + dir), std::string::npos) << r.err;
            EXPECT_EQ(TestSupport::ReadFile(dir + "/bmc2.bin"), bmc2);
        } else {
            EXPECT_EQ(TestSupport::ReadFile(dir + "/" + c.system + ".bin"), old);
        }
    }
}

// A custom field holding a 00h byte cannot go through a configuration file:
// the edit goes on with the raw backup and says in one line that no .cfg was kept.
TEST_F(BackupTest, AFruNoConfigurationFileHoldsIsEditedWithItsRawBackup) {
    const char* named = std::getenv("ORVANE_CORPUS_DIR");
    const fs::path corpus =
        named ? fs::path(named) : fs::path(ORVANE_SOURCE_DIR) / "../shared/corpus";
    const fs::path adi = corpus / "adi-AD9467-FMC-250EBZ.bin";
    if (!fs::exists(adi))
        GTEST_SKIP() << "no " << adi;
    const auto before = TestSupport::ReadFile(adi.string());
    TestSupport::WriteFile(dir + "/adi.bin", before);
    Result r = Orvane("set --image adi.bin board.serial_number SN1 --commit");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("committed and verified"), std::string::npos) << r.out;
    size_t lines = 0;
    for (size_t at = r.err.find("orvane: "); at != std::string::npos;
         at = r.err.find("orvane: ", at + 1))
        ++lines;
    EXPECT_EQ(lines, 1u) << r.err;
    EXPECT_NE(r.err.find("orvane: no configuration file was kept beside " + backups + "/"),
              std::string::npos)
        << r.err;
    const auto files = Only();
    EXPECT_EQ(files.count(".cfg"), 0u);
    EXPECT_EQ(TestSupport::ReadFile(files.at(".bin").string()), before);
    EXPECT_EQ(Orvane("get --image adi.bin board.serial_number").out, "SN1\n");
}
} // namespace
