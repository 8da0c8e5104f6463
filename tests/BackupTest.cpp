// Backups know where they came from, a saved configuration file names
// itself, and a FRU that no configuration file can hold is still edited with
// its raw backup. Runs the built command on simulated systems.
#include "FruTestImages.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <map>
#include <string>

namespace {
namespace fs = std::filesystem;

class BackupTest : public ::testing::Test {
  protected:
    void SetUp() override { dir = TestSupport::TempDir(); }
    // A BMC (name.json) whose FRU device 1, "PSU", is held in name.bin.
    void WriteSystem(const std::string& name, const std::string& serial) {
        std::vector<uint8_t> psu(128, 0xFF);
        FruTestImages::Put(psu, 0, FruTestImages::Header(0, 0, 1, 0, 0));
        FruTestImages::Put(psu, 8,
                           FruTestImages::Area({0x01, 0, 0x19, 0x10, 0x20, 0x30},
                                               {"Orvane", "PSU", serial, "PN-1", ""}, 5));
        TestSupport::WriteFile(dir + "/" + name + ".bin", psu);
        const std::string json = "{\"controllers\": [{\"address\": \"0x20\", \"fru_devices\": "
                                 "[{\"id\": 1, \"image\": \"" +
                                 name +
                                 ".bin\", \"size\": 128}]}], \"sdr\": [{\"type\": "
                                 "\"fru_locator\", \"access_address\": \"0x20\", \"device\": 1, "
                                 "\"logical\": true, \"name\": \"PSU\"}]}";
        TestSupport::WriteFile(dir + "/" + name + ".json", {json.begin(), json.end()});
    }
    TestSupport::CommandResult Orvane(const std::string& args) {
        return TestSupport::Orvane(dir, "--backup-dir backups " + args);
    }
    // The files of the one backup, by extension.
    std::map<std::string, fs::path> Files() {
        std::map<std::string, fs::path> files;
        for (const auto& e : fs::directory_iterator(dir + "/backups"))
            files[e.path().extension().string()] = e.path();
        return files;
    }
    std::string dir;
};

TEST_F(BackupTest, ABackupRecordsItsOriginAndIsRestoredOnlyThere) {
    WriteSystem("bmc1", "SN-1");
    WriteSystem("bmc2", "SN-2");
    const auto old = TestSupport::ReadFile(dir + "/bmc1.bin");
    ASSERT_EQ(Orvane("--system bmc1.json set PSU board.serial_number SN-NEW --commit").code, 0);
    auto files = Files();
    ASSERT_EQ(files.size(), 3u);
    EXPECT_NE(files[".bin"].filename().string().find("-bmc1.json_2-0-20-00-20-01_PSU.bin"),
              std::string::npos);
    const auto record = nlohmann::json::parse(TestSupport::ReadText(files[".json"].string()));
    EXPECT_EQ(record["origin"], "sim:" + dir + "/bmc1.json");
    EXPECT_EQ(record["address"], "2:0:20:00:20:01");
    EXPECT_EQ(record["name"], "PSU");
    EXPECT_EQ(record["cfg"], files[".cfg"].filename().string());
    const std::string cfg = TestSupport::ReadText(files[".cfg"].string());
    EXPECT_EQ(cfg.substr(0, cfg.find('\n')), "_LF_NAME\t'" + files[".cfg"].string() + "'");

    const std::string bin = files[".bin"].string(), saved = files[".cfg"].string();
    const struct {
        std::string args;
        int code;
        const char* system; // the device that then holds the old image
    } cases[] = {
        {"--system bmc2.json restore " + bin + " PSU", 3, nullptr},
        {"--system bmc2.json restore " + saved, 3, nullptr},
        {"--system bmc2.json restore " + bin + " PSU --force", 0, "bmc2"},
        {"--system bmc1.json restore " + bin, 0, "bmc1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        const auto bmc2 = TestSupport::ReadFile(dir + "/bmc2.bin");
        const auto r = Orvane(c.args);
        EXPECT_EQ(r.code, c.code) << r.err;
        const std::string refusal = "taken from sim:" + dir +
                                    "/bmc1.json at 2:0:20:00:20:01, and the target is sim:" + dir +
                                    "/bmc2.json at 2:0:20:00:20:01";
        EXPECT_EQ(r.err.find(refusal) != std::string::npos, !c.system) << r.err;
        EXPECT_EQ(TestSupport::ReadFile(dir + "/" + (c.system ? c.system : "bmc2") + ".bin"),
                  c.system ? old : bmc2);
    }
}

// A custom field holding a 00h byte cannot go through a configuration file.
TEST_F(BackupTest, AFruNoConfigurationFileHoldsIsEditedWithItsRawBackup) {
    const auto corpus = TestSupport::CorpusImages();
    if (corpus.empty())
        GTEST_SKIP() << "no corpus";
    const fs::path adi = corpus[0].parent_path() / "adi-AD9467-FMC-250EBZ.bin";
    const auto before = TestSupport::ReadFile(adi.string());
    TestSupport::WriteFile(dir + "/adi.bin", before);
    const auto r = Orvane("set --image adi.bin board.serial_number SN1 --commit");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("committed and verified"), std::string::npos) << r.out;
    EXPECT_EQ(r.err.find("orvane: "), r.err.rfind("orvane: ")) << r.err; // one line
    EXPECT_NE(r.err.find("orvane: no configuration file was kept beside " + dir + "/backups/"),
              std::string::npos)
        << r.err;
    const auto files = Files();
    EXPECT_EQ(files.count(".cfg"), 0u);
    EXPECT_EQ(TestSupport::ReadFile(files.at(".bin").string()), before);
    EXPECT_EQ(Orvane("get --image adi.bin board.serial_number").out, "SN1\n");
}
} // namespace
