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
constexpr auto npos = std::string::npos;

std::vector<uint8_t> Image(const std::string& maker) {
    std::vector<uint8_t> image(128, 0xFF);
    Put(image, 0, Header(0, 0, 1, 0, 0));
    Put(image, 8, Area({0x01, 0, 0x19, 0x10, 0x20, 0x30}, {maker, "Card", "SN1", "PN1", ""}, 5));
    return image;
}

class PositionsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = TestSupport::TempDir();
        for (const char* n : {"0", "1", "2"})
            TestSupport::WriteFile(dir + "/fru" + n + ".bin", Image(std::string("Maker") + n));
    }

    // The BMC at 20h with FRU devices 1, 2 and (withFru0) 0, located by SDR
    // records for 1, 2 and (located0) the BMC; a satellite at 30h last.
    void WriteSystem(bool withFru0, bool located0, const std::string& faults = "") {
        const std::string json =
            R"({"controllers": [{"address": "0x20", "fru_devices": [)" +
            std::string(withFru0 ? R"({"id": 0, "image": "fru0.bin"}, )" : "") +
            R"({"id": 1, "image": "fru1.bin"}, {"id": 2, "image": "fru2.bin"}]},
              {"address": "0x30", "fru_devices": [{"id": 0, "image": "fru0.bin"}]}],
            "sdr": [{"type": "fru_locator", "access_address": "0x20", "device": 1, "name": "FRU1"},
              {"type": "fru_locator", "access_address": "0x20", "device": 2, "name": "FRU2"}, )" +
            (located0 ? R"({"type": "mc_locator", "address": "0x20", "name": "BMC"}, )" : "") +
            R"({"type": "mc_locator", "address": "0x30", "name": "Sat"}])" + faults + "}";
        TestSupport::WriteFile(dir + "/system.json", {json.begin(), json.end()});
    }

    Result Orvane(const std::string& args) {
        std::remove((dir + "/requests.log").c_str());
        return TestSupport::Orvane(dir, "--system system.json --backup-dir backups " + args,
                                   "ORVANE_SIM_LOG=requests.log");
    }
    std::string Log() { return TestSupport::ReadText(dir + "/requests.log"); }

    std::string dir;
};

// One device damaged or silent: the others stay where they were, the bad
// one is marked at its place (and asked once), and no write by its position
// reaches any device. Its id names it on purpose, and then a write repairs it.
TEST_F(PositionsTest, ADeviceThatDoesNotReadKeepsItsPlace) {
    const struct {
        const char* faults;
        bool damage; // a bad header checksum in device 1
        const char* mark;
    } cases[] = {
        {"", true, "[damaged]"},
        {R"(, "faults": [{"match": {"command": "0x11", "device": 1}, "completion_code": "0xD5"}])",
         false, "[unreadable]"},
    };
    const std::string table = "  0  id:1   FRU1                 2:0:20:00:20:01    board\n"
                              "  1  id:2   FRU2                 2:0:20:00:20:02    board\n"
                              "  2  id:0   BMC                  2:0:20:FF:20:00    board\n"
                              "  3  -      Sat                  2:0:30:00:20:00    board\n";
    WriteSystem(true, true);
    ASSERT_NE(Orvane("scan").out.find(table), npos);
    TestSupport::WriteFile(dir + "/good.bin", Image("Fixed"));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mark);
        WriteSystem(true, true, c.faults);
        std::vector<uint8_t> bad = Image("Maker1");
        bad[7] ^= c.damage ? 0x01 : 0x00;
        TestSupport::WriteFile(dir + "/fru1.bin", bad);
        Result r = Orvane("scan");
        EXPECT_EQ(r.code, 4);
        std::string marked = table;
        marked.replace(marked.find("board"), 5, c.mark);
        EXPECT_NE(r.out.find(marked + (c.damage ? "damaged:\n" : "unreadable:\n") +
                             "  0  FRU1                 2:0:20:00:20:01    0xC00700"),
                  npos)
            << r.out;
        const std::string log = Log(), header = " cmd=11 data=[01 00 00 08]";
        EXPECT_NE(log.find(header), npos);
        EXPECT_EQ(log.find(header), log.rfind(header)) << "asked again";
        EXPECT_EQ(Orvane("get 1 board.manufacturer").out, "Maker2\n");
        EXPECT_EQ(Orvane("show FRU1").code, 4);
        for (const char* write : {"set 0 board.serial_number SN22 --commit",
                                  "set FRU1 board.serial_number SN22 --commit", "write 0 good.bin",
                                  "restore good.bin 0"}) {
            r = Orvane(write);
            EXPECT_EQ(r.code, 3) << write << "\n" << r.err;
            EXPECT_EQ(Log().find(" cmd=12 "), npos) << write;
        }
        EXPECT_EQ(TestSupport::ReadFile(dir + "/fru1.bin"), bad);
        if (c.damage) {
            EXPECT_EQ(Orvane("write id:1 good.bin").code, 0);
            EXPECT_EQ(Orvane("get 0 board.manufacturer").out, "Fixed\n");
        }
    }
}

TEST_F(PositionsTest, EveryWayOfNamingAFru) {
    WriteSystem(true, true);
    const struct {
        const char* fru;
        const char* out; // "" when nothing is named (exit 1)
    } cases[] = {
        {"id:2", "Maker2\n"},
        {"id:0", "Maker0\n"},
        {"2:0:20:00:20:01", "Maker1\n"},
        {"FRU2", "Maker2\n"},
        {"2", "Maker0\n"},
        {"id:7", ""},
        {"4", ""},
        {"id:x", ""},
    };
    for (const auto& c : cases) {
        const Result r = Orvane(std::string("get ") + c.fru + " board.manufacturer");
        EXPECT_EQ(r.code, *c.out ? 0 : 1) << c.fru << "\n" << r.err;
        EXPECT_EQ(r.out, c.out) << c.fru;
    }
}

// The BMC's FRU 0 without an SDR record: read by its address when it answers
// (listed last, marked), left out without a word when it does not; props
// keeps the library's counts.
TEST_F(PositionsTest, TheBmcsFru0WithoutARecord) {
    WriteSystem(true, false);
    const struct {
        const char* args;
        TestSupport::Ending end;
    } cases[] = {
        {"show id:0",
         {0, "FRU 3: (no name) at 2:0:20:FF:20:00\n  found without an SDR record\n", ""}},
        {"show --json",
         {0, "\"id\": \"id:0\",\n      \"name\": \"\",\n      \"sdr_record\": false,", ""}},
        {"props", {0, "Number of FRUs: 3\n", ""}},
        {"scan", {0, "4 FRU devices found, 4 read\n", ""}},
        {"scan",
         {0, "  3  id:0   (no name)            2:0:20:FF:20:00    board  (no SDR record)\n", ""}},
    };
    for (const auto& c : cases)
        TestSupport::Expect(Orvane(c.args), c.end, c.args);
    // The scan asked FRU 0 by its address.
    EXPECT_NE(Log().find("send rs=20 netfn=0A lun=00 cmd=11 data=[00 00 00 08]"), npos);

    WriteSystem(false, false);
    TestSupport::Expect(Orvane("scan"), {0, "!2:0:20:FF:20:00", "!orvane:"}, "no FRU 0");
}
} // namespace
