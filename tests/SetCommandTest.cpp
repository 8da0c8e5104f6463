// orvane set on the demo system: it takes back every value get prints, clears
// a text field with an empty value, counts a value's room with its own
// field's length, refuses values too long with the value typed and what
// would make room, and its dry run writes nothing.
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {
namespace fs = std::filesystem;
using Result = TestSupport::CommandResult;

class SetCommandTest : public ::testing::Test {
  protected:
    void SetUp() override { dir = TestSupport::DemoCopy(TestSupport::TempDir() + "/demo"); }

    Result Orvane(const std::vector<std::string>& args, const std::string& prefix = "") {
        std::string command = prefix +
                              TestSupport::ShellQuote(std::string(ORVANE_BUILD_DIR) + "/orvane") +
                              " --system system.json --backup-dir ../backups";
        for (const std::string& a : args)
            command += " " + TestSupport::ShellQuote(a);
        return TestSupport::RunIn(dir, command);
    }

    // Every image file of the demo system.
    std::map<std::string, std::vector<uint8_t>> Images() {
        std::map<std::string, std::vector<uint8_t>> images;
        for (const auto& e : fs::directory_iterator(dir))
            if (e.path().extension() == ".bin")
                images[e.path().filename()] = TestSupport::ReadFile(e.path());
        return images;
    }

    std::string dir;
};

// The field names show lists for a FRU.
std::vector<std::string> FieldNamesOf(const std::string& show) {
    static const std::regex field("^    ([a-z]+\\.[a-z_.0-9]+) ");
    std::vector<std::string> names;
    std::istringstream lines(show);
    std::smatch m;
    for (std::string line; std::getline(lines, line);)
        if (std::regex_search(line, m, field))
            names.push_back(m[1]);
    return names;
}

TEST_F(SetCommandTest, EveryValueGetPrintsSetsTheFieldToWhatItHolds) {
    const auto before = Images();
    size_t fields = 0;
    for (const char* fru : {"0", "1", "2", "3", "4"}) {
        std::vector<std::string> set = {"set", fru};
        for (const std::string& name : FieldNamesOf(Orvane({"show", fru}).out)) {
            Result got = Orvane({"get", fru, name});
            ASSERT_EQ(got.code, 0) << name << got.err;
            set.push_back(name);
            set.push_back(got.out.substr(0, got.out.size() - 1));
            ++fields;
        }
        set.push_back("--commit");
        const Result r = Orvane(set);
        EXPECT_EQ(r.code, 0) << fru << "\n" << r.out << r.err;
    }
    EXPECT_GE(fields, 50u);
    EXPECT_EQ(Images(), before);
}

TEST_F(SetCommandTest, DatesAndChassisTypesInEveryFormGetAndShowPrint) {
    const struct {
        const char *field, *value, *got;
    } cases[] = {
        {"board.mfg_date", "2024-03-16T09:45:00Z", "03/16/2024 09:45:00"},
        {"board.mfg_date", "2024-03-17 10:00", "03/17/2024 10:00:00"},
        {"board.mfg_date", "2024-03-18", "03/18/2024 00:00:00"},
        {"board.mfg_date", "12/24/2025 18:30:00", "12/24/2025 18:30:00"},
        {"board.mfg_date", "60", "01/01/1996 01:00:00"},
        {"chassis.type", "tower", "Tower"},
        {"chassis.type", "Main Server Chassis (11h)", "Main Server Chassis"},
        {"chassis.type", "0x17", "Rack Mount Chassis"},
    };
    for (const auto& c : cases) {
        const Result r = Orvane({"set", "3", c.field, c.value, "--commit"});
        EXPECT_EQ(r.code, 0) << c.value << r.err;
        EXPECT_EQ(Orvane({"get", "3", c.field}).out, std::string(c.got) + "\n") << c.value;
    }
    const Result bad[] = {Orvane({"set", "3", "board.mfg_date", "2024-02-30", "--commit"}),
                          Orvane({"set", "3", "board.mfg_date", "2024-03-15T08:30:15", "--commit"}),
                          Orvane({"set", "3", "board.mfg_date", "1995-12-31", "--commit"}),
                          Orvane({"set", "3", "chassis.type", "Spaceship", "--commit"})};
    for (const Result& r : bad)
        EXPECT_EQ(r.code, 3) << r.err;
}

TEST_F(SetCommandTest, AnEmptyValueClearsATextField) {
    ASSERT_EQ(Orvane({"set", "3", "product.asset_tag", "", "--commit"}).code, 0);
    EXPECT_EQ(Orvane({"get", "3", "product.asset_tag"}).out, "\n");
    // The field is the zero-length C0h between the serial number and the
    // FRU file id, and the area still adds up to zero.
    const auto image = TestSupport::ReadFile(dir + "/board.bin");
    const std::vector<uint8_t> area(image.begin() + 152, image.begin() + 152 + image[153] * 8);
    const std::string text(area.begin(), area.end());
    EXPECT_NE(text.find("SRV0007\xC0\xC9"
                        "board.bin\xC1"),
              std::string::npos);
    uint8_t sum = 0;
    for (uint8_t b : area)
        sum = static_cast<uint8_t>(sum + b);
    EXPECT_EQ(sum, 0);
}

// The room a value has is its own field's length and the area's padding, also
// for custom fields, which the library sets counting from the last one; a
// value too long names the value typed and what would make room. The
// chassis' custom fields hold 8, 7 and 12 bytes, with 15 bytes free.
TEST_F(SetCommandTest, ValuesFitTheRoomOfTheirOwnField) {
    const struct {
        const char* fru;
        const char* field;
        size_t length;
        const char* option; // besides --commit --dry-run
        int code;
        const char* said; // a part of standard output or error
    } cases[] = {
        {"1", "chassis.custom.1", 23, "", 0, "\"Rack B04\" -> \"AAAAAAAAAAAAAAAAAAAAAAA\""},
        {"1", "chassis.custom.2", 22, "", 0, "\"U 12-14\" -> \"AAAAAAAAAAAAAAAAAAAAAA\""},
        {"1", "chassis.custom.3", 27, "", 0, "\"Owner: Lab 3\" -> \"AAAAAAAAAAAAAAAAAAAAAAAAAAA\""},
        {"1", "chassis.custom.1", 24, "", 3,
         "orvane: chassis.custom.1 can take at most 23 bytes here (8 now, 15 free in the area, 63 "
         "at most); \"AAAAAAAAAAAAAAAAAAAAAAAA\" needs 24; --grow gives the area the room (the "
         "areas behind it move)\n"},
        {"1", "chassis.custom.1", 32, "--grow", 0, "the chassis area grows from 72 to 88 bytes"},
        {"1", "chassis.custom.3", 35, "--grow", 0, "the chassis area grows from 72 to 80 bytes"},
        {"3", "product.asset_tag", 36, "", 3,
         "at most 20 bytes here (10 now, 10 free in the area, 63 at most); \""
         "AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA\" needs 36; --grow gives the area the room"},
        {"3", "product.asset_tag", 70, "", 3,
         "needs 70; no field holds more than 63 bytes, so --grow cannot make room"},
    };
    const auto before = Images();
    for (const auto& c : cases) {
        std::vector<std::string> args = {
            "set", c.fru, c.field, std::string(c.length, 'A'), "--commit", "--dry-run"};
        if (*c.option)
            args.push_back(c.option);
        const Result r = Orvane(args);
        SCOPED_TRACE(std::string(c.field) + " " + std::to_string(c.length) + "\n" + r.out + r.err);
        EXPECT_EQ(r.code, c.code);
        EXPECT_NE((r.out + r.err).find(c.said), std::string::npos);
    }
    EXPECT_EQ(Images(), before);
}

TEST_F(SetCommandTest, DryRunsWriteNothingAndGrownCommitsNameTheAreasWritten) {
    const auto before = Images();
    const std::string log = dir + "/requests.log";
    Result r = Orvane({"set", "3", "product.asset_tag", "NEW-TAG", "--commit", "--dry-run"},
                      "ORVANE_SIM_LOG=" + log + " ");
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "product.asset_tag: \"ASSET-0001\" -> \"NEW-TAG\"\n"
                     "  bytes 41 53 53 45 54 2D 30 30 30 31 -> 4E 45 57 2D 54 41 47\n"
                     "areas changed: product\n"
                     "bytes that change: 22, in 3 ranges\n"
                     "  0x00CF-0x00D3  old CA 41 53 53 45\n"
                     "                 new C7 4E 45 57 2D\n"
                     "  0x00D5-0x00E4  old 2D 30 30 30 31 C9 62 6F 61 72 64 2E 62 69 6E C1\n"
                     "                 new 41 47 C9 62 6F 61 72 64 2E 62 69 6E C1 00 00 00\n"
                     "  0x00EF         old 78\n"
                     "                 new F6\n"
                     "nothing was written (--dry-run)\n");
    // No Write FRU Data request, and no backup.
    EXPECT_EQ(TestSupport::ReadText(log).find(" cmd=12 "), std::string::npos);
    EXPECT_TRUE(!fs::exists(dir + "/../backups") || fs::is_empty(dir + "/../backups"));
    EXPECT_EQ(Images(), before);

    // A grown area moves the areas behind it: each is named.
    r = Orvane({"set", "3", "product.asset_tag", std::string(24, 'G'), "--commit", "--grow",
                "--progress"});
    EXPECT_NE(r.err.find("common header written\nproduct area written\nmultirecord area "
                         "written\n"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.out.find("(areas changed: header, product, multirecord)"), std::string::npos);
}
} // namespace
