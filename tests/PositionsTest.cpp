// Positions of the orvane command: every located device keeps its place
// whether it reads or not, id:N names the BMC's logical FRU devices, and the
// BMC's FRU 0 is found when no SDR record names it. Runs the built command
// on simulated BMCs and reads the simulator's request log.
#include "FruTestImages.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {
using FruTestImages::Area;
using FruTestImages::Header;
using FruTestImages::Put;
using Result = TestSupport::CommandResult;

std::vector<uint8_t> Image(const std::string& maker) {
    std::vector<uint8_t> image(128, 0xFF);
    Put(image, 0, Header(0, 0, 1, 0, 0));
    Put(image, 8, Area({0x01, 0, 0x19, 0x10, 0x20, 0x30}, {maker, "Card", "SN1", "PN1", ""}, 5));
    return image;
}

class PositionsTest : public ::testing::Test {
  protected:
    void SetUp() override { dir = TestSupport::TempDir(); }

    // The BMC's FRU devices 0 to 2 (device 0 only when withFru0); SDR
    // records for devices 1 and 2, the BMC's when located0, and a satellite's
    // at 30h.
    void WriteSystem(bool withFru0, bool located0, const std::string& faults = "") {
        std::string devices, sdr;
        for (int id = 0; id < 3; ++id) {
            const std::string n = std::to_string(id);
            TestSupport::WriteFile(dir + "/fru" + n + ".bin", Image("Maker" + n));
            if (id == 0 && !withFru0)
                continue;
            devices += std::string(devices.empty() ? "" : ", ") + "{\"id\": " + n +
                       ", \"image\": \"fru" + n + ".bin\"}";
            if (id > 0)
                sdr +=
                    "{\"type\": \"fru_locator\", \"access_address\": \"0x20\", \"device\": " + n +
                    ", \"name\": \"FRU" + n + "\"}, ";
        }
        if (located0)
            sdr += "{\"type\": \"mc_locator\", \"address\": \"0x20\", \"name\": \"BMC\"}, ";
        sdr += "{\"type\": \"mc_locator\", \"address\": \"0x30\", \"name\": \"Sat\"}";
        const std::string json = "{\"controllers\": [{\"address\": \"0x20\", \"fru_devices\": [" +
                                 devices +
                                 "]}, {\"address\": \"0x30\", \"fru_devices\": [{\"id\": 0, "
                                 "\"image\": \"fru0.bin\"}]}], \"sdr\": [" +
                                 sdr + "]" + faults + "}";
        TestSupport::WriteFile(dir + "/system.json", {json.begin(), json.end()});
    }

    Result Orvane(const std::vector<std::string>& args) {
        std::string cmd = "ORVANE_SIM_LOG=requests.log " +
                          TestSupport::ShellQuote(std::string(ORVANE_BUILD_DIR) + "/orvane") +
                          " --system system.json --backup-dir backups";
        for (const auto& a : args)
            cmd += " " + TestSupport::ShellQuote(a);
        std::remove((dir + "/requests.log").c_str());
        return TestSupport::RunIn(dir, cmd);
    }
    std::string Log() { return TestSupport::ReadText(dir + "/requests.log"); }

    std::string dir;
};

// One device damaged or silent: the others stay where they were, the bad
// one is marked at its place, and no write by its position reaches any
// device. Its address names it on purpose, and then a write repairs it.
TEST_F(PositionsTest, ADeviceThatDoesNotReadKeepsItsPlace) {
    struct Case {
        const char* what;
        const char* faults;
        bool damage; // a bad header checksum in device 1
        const char* mark;
    };
    const Case cases[] = {
        {"damaged", "", true, "[damaged]"},
        {"unreadable",
         ", \"faults\": [{\"match\": {\"command\": \"0x11\", \"device\": 1}, "
         "\"completion_code\": \"0xD5\"}]",
         false, "[unreadable]"},
    };
    WriteSystem(true, true);
    const std::string table = "  0  id:1   FRU1                 2:0:20:00:20:01    board\n"
                              "  1  id:2   FRU2                 2:0:20:00:20:02    board\n"
                              "  2  id:0   BMC                  2:0:20:FF:20:00    board\n"
                              "  3  -      Sat                  2:0:30:00:20:00    board\n";
    ASSERT_NE(Orvane({"scan"}).out.find(table), std::string::npos);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteSystem(true, true, c.faults);
        std::vector<uint8_t> bad = Image("Maker1");
        bad[7] ^= c.damage ? 0x01 : 0x00;
        TestSupport::WriteFile(dir + "/fru1.bin", bad);
        Result r = Orvane({"scan"});
        EXPECT_EQ(r.code, 4);
        std::string marked = table;
        marked.replace(marked.find("board"), 5, c.mark);
        EXPECT_NE(r.out.find(marked), std::string::npos) << r.out;
        EXPECT_EQ(Orvane({"get", "1", "board.manufacturer"}).out, "Maker2\n");

        TestSupport::WriteFile(dir + "/good.bin", Image("Fixed"));
        for (const std::vector<std::string>& write :
             {std::vector<std::string>{"set", "0", "board.serial_number", "SN22", "--commit"},
              std::vector<std::string>{"set", "FRU1", "board.serial_number", "SN22", "--commit"},
              std::vector<std::string>{"write", "0", "good.bin"},
              std::vector<std::string>{"restore", "good.bin", "0"}}) {
            r = Orvane(write);
            EXPECT_EQ(r.code, 3) << write[0] << " " << write[1] << "\n" << r.err;
            EXPECT_EQ(Log().find(" cmd=12 "), std::string::npos) << write[0];
        }
        EXPECT_EQ(TestSupport::ReadFile(dir + "/fru1.bin"), bad);
        if (c.damage) {
            r = Orvane({"write", "id:1", "good.bin"});
            EXPECT_EQ(r.code, 0) << r.err;
            EXPECT_EQ(Orvane({"get", "0", "board.manufacturer"}).out, "Fixed\n");
        }
    }
}

TEST_F(PositionsTest, IdNamesTheBmcsLogicalDevices) {
    WriteSystem(true, true);
    struct Case {
        const char* fru;
        int code;
        const char* out;
    };
    const Case cases[] = {
        {"id:2", 0, "Maker2\n"},
        {"id:0", 0, "Maker0\n"},
        {"2:0:20:00:20:01", 0, "Maker1\n"},
        {"FRU2", 0, "Maker2\n"},
        {"2", 0, "Maker0\n"},
        {"id:7", 1, ""},
        {"4", 1, ""},
        {"id:x", 1, ""},
    };
    for (const Case& c : cases) {
        const Result r = Orvane({"get", c.fru, "board.manufacturer"});
        EXPECT_EQ(r.code, c.code) << c.fru << "\n" << r.err;
        EXPECT_EQ(r.out, c.out) << c.fru;
    }
}

// The BMC's FRU 0 without an SDR record: read by its address when it answers
// (listed last, marked), left out without a word when it does not; props
// keeps the library's counts.
TEST_F(PositionsTest, TheBmcsFru0WithoutARecord) {
    WriteSystem(true, false);
    Result r = Orvane({"scan"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("4 FRU devices found, 4 read\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("  3  id:0   (no name)            2:0:20:FF:20:00    board  (no SDR "
                         "record)\n"),
              std::string::npos)
        << r.out;
    EXPECT_NE(Log().find("send rs=20 netfn=0A lun=00 cmd=11 data=[00 00 00 08]"), std::string::npos)
        << Log();
    r = Orvane({"show", "id:0"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("FRU 3: (no name) at 2:0:20:FF:20:00\n  found without an SDR record\n"),
              std::string::npos)
        << r.out;
    EXPECT_NE(Orvane({"show", "--json"})
                  .out.find("\"id\": \"id:0\",\n      \"name\": \"\",\n"
                            "      \"sdr_record\": false,"),
              std::string::npos);
    EXPECT_NE(Orvane({"props"}).out.find("Number of FRUs: 3\n"), std::string::npos);

    WriteSystem(false, false);
    r = Orvane({"scan"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out.find("2:0:20:FF:20:00"), std::string::npos) << r.out;
    EXPECT_EQ(r.err.find("orvane:"), std::string::npos) << r.err;
}
} // namespace
