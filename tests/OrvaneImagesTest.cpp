// The orvane command on real FRU images (the corpus beside the repository)
// and binary image files: every field and record as FreeIPMI's ipmi-fru
// reads them and damaged areas named (RelayoutTest edits them); the demo
// system's custom fields, image files and German output.
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace {
namespace fs = std::filesystem;
using Json = nlohmann::ordered_json;
using Lines = std::vector<std::pair<std::string, std::string>>;

// ipmi-fru's "label: value" lines in order.
Lines IpmiFru(const fs::path& image) {
    Lines lines;
    for (std::string line : TestSupport::IpmiFru(image.string())) {
        line = line.substr(2);
        if (const size_t colon = line.find(": "); colon != std::string::npos)
            lines.push_back({line.substr(0, colon), line.substr(colon + 2)});
        else if (line.back() == ':')
            lines.push_back({line.substr(0, line.size() - 1), ""});
    }
    return lines;
}

// ipmi-fru's hex ("00h 43h") as orvane writes it ("00 43").
std::string PlainHex(std::string text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i)
        if (!(text[i] == 'h' && i > 0 && std::isxdigit(static_cast<unsigned char>(text[i - 1]))))
            out.push_back(text[i]);
    return out;
}

// The hex IANA number in the last parentheses, "Name (00A67Fh)" or "5A3100h",
// without leading zeros.
std::string IanaHex(const std::string& text) {
    std::string id = text.substr(text.rfind('(') == std::string::npos ? 0 : text.rfind('(') + 1);
    id = id.substr(0, id.find('h'));
    return id.substr(std::min(id.find_first_not_of('0'), id.size() - 1));
}

// orvane's JSON of one image in ipmi-fru's vocabulary; fields ipmi-fru
// leaves out (empty ones, the internal use area) are left out too.
Lines OrvaneLines(const Json& fru) {
    static const std::map<std::string, std::string> kLabels = {
        {"chassis.type", "FRU Chassis Type"},
        {"chassis.part_number", "FRU Chassis Part Number"},
        {"chassis.serial_number", "FRU Chassis Serial Number"},
        {"board.mfg_date", "FRU Board Manufacturing Date/Time"},
        {"board.manufacturer", "FRU Board Manufacturer"},
        {"board.product_name", "FRU Board Product Name"},
        {"board.serial_number", "FRU Board Serial Number"},
        {"board.part_number", "FRU Board Part Number"},
        {"board.fru_file_id", "FRU FRU File ID"},
        {"product.manufacturer", "FRU Product Manufacturer Name"},
        {"product.product_name", "FRU Product Name"},
        {"product.part_number", "FRU Product Part/Model Number"},
        {"product.version", "FRU Product Version"},
        {"product.serial_number", "FRU Product Serial Number"},
        {"product.asset_tag", "FRU Product Asset Tag"},
        {"product.fru_file_id", "FRU FRU File ID"}};
    static const std::map<std::string, std::vector<std::string>> kRecordLabels = {
        {"dc_output",
         {"Output Number", "Output on Standy", "Nominal Voltage",
          "Maximum Negative Voltage Deviation", "Maximum Positive Voltage Deviation",
          "Ripple and Noise pk-pk", "Minimum Current Draw", "Maximum Current Draw"}}};
    Lines lines;
    for (const auto& area : fru["areas"]) {
        const std::string kind = area["kind"];
        if (area.contains("problem") && kind != "internal") {
            lines.push_back({"FRU Error", kind});
            continue;
        }
        if (area.contains("language") && !area["language"]["name"].is_null()) {
            const std::string title =
                kind == "board" ? "FRU Board Language" : "FRU Product Language";
            lines.push_back({title, area["language"]["name"]});
        }
        for (const auto& f : area.value("fields", Json::array())) {
            const std::string name = f["name"];
            std::string value = f["value"];
            if (name.find(".custom.") != std::string::npos) {
                if (!value.empty())
                    lines.push_back({kind == "board"     ? "FRU Board Custom Info"
                                     : kind == "product" ? "FRU Product Custom Info"
                                                         : "FRU Chassis Custom Info",
                                     value});
                continue;
            }
            if (!kLabels.count(name) || (value.empty() && name != "board.mfg_date"))
                continue;
            if (name == "board.mfg_date") { // ipmi-fru: "MM/DD/YY - HH:MM:SS" in UTC
                const std::string iso = f["iso8601"];
                value = iso.substr(5, 2) + "/" + iso.substr(8, 2) + "/" + iso.substr(2, 2) + " - " +
                        iso.substr(11, 8);
            } else if (name == "chassis.type") {
                value = value.substr(0, value.rfind(" ("));
            }
            lines.push_back({kLabels.at(name), value});
        }
        for (const auto& r : area.value("records", Json::array())) {
            const std::string type = r["type_name"];
            const auto& fields = r["fields"];
            if (type == "oem") {
                lines.push_back({"FRU OEM Manufacturer ID", IanaHex(fields["manufacturer"])});
                lines.push_back({"FRU OEM Data", fields["data"]});
                continue;
            }
            // DC load labels are compared by their prefix only.
            const std::string prefix = type == "dc_output" ? "FRU DC Output " : "FRU DC Load";
            size_t i = 0;
            for (const auto& [key, value] : fields.items()) {
                (void)key;
                std::string v = value;
                if (v == "yes" || v == "no")
                    v = v == "yes" ? "Yes" : "No";
                lines.push_back(
                    {type == "dc_output" ? prefix + kRecordLabels.at(type).at(i++) : prefix, v});
            }
        }
    }
    return lines;
}

Json ShowJson(const fs::path& image, int* code) {
    const auto r = TestSupport::Orvane(
        TestSupport::TempDir(), "show --json --image " + TestSupport::ShellQuote(image.string()));
    *code = r.code;
    return Json::parse(r.out, nullptr, false);
}

class OrvaneImagesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (TestSupport::CorpusImages().empty())
            GTEST_SKIP() << "no FRU image corpus";
        if (!fs::exists("/usr/sbin/ipmi-fru"))
            GTEST_SKIP() << "ipmi-fru is not installed";
    }
};

TEST_F(OrvaneImagesTest, EveryCorpusImageReadsAsIpmiFruReadsIt) {
    for (const auto& image : TestSupport::CorpusImages()) {
        SCOPED_TRACE(image.filename().string());
        int code = 0;
        const Json doc = ShowJson(image, &code);
        ASSERT_FALSE(doc.is_discarded());
        const Json& fru = doc["frus"].at(0);
        const Lines theirs = IpmiFru(image);
        if (theirs.empty()) { // not a FRU image: named, and not a success
            EXPECT_NE(code, 0);
            EXPECT_TRUE(fru.contains("problem"));
            continue;
        }
        EXPECT_EQ(code, fru["editable"].get<bool>() ? 0 : 4); // 4: a damaged image
        const Lines ours = OrvaneLines(fru);
        ASSERT_EQ(ours.size(), theirs.size());
        for (size_t i = 0; i < ours.size(); ++i) {
            if (ours[i].first == "FRU DC Load")
                EXPECT_EQ(theirs[i].first.rfind(ours[i].first, 0), 0u) << theirs[i].first;
            else
                EXPECT_EQ(ours[i].first, theirs[i].first) << i;
            if (ours[i].first == "FRU Error") { // the damaged area is the one ipmi-fru names
                EXPECT_NE(theirs[i].second.find(ours[i].second), std::string::npos);
            } else if (ours[i].first == "FRU OEM Manufacturer ID") {
                EXPECT_EQ(ours[i].second, IanaHex(theirs[i].second));
            } else if (!ours[i].second.empty() && ours[i].second[0] == '\0') {
                EXPECT_EQ(theirs[i].second, "");             // ipmi-fru ends a text at a 00h byte
            } else if (ours[i].second != theirs[i].second) { // binary: ipmi-fru writes "00h"
                EXPECT_EQ(ours[i].second, PlainHex(theirs[i].second)) << ours[i].first;
            }
        }
        // An image the library refuses is marked, and says why.
        bool damaged = false;
        for (const auto& area : fru["areas"])
            damaged |= area.contains("problem");
        EXPECT_EQ(fru["editable"], !damaged);
    }
}

} // namespace

// The demo system: custom fields in image order, German output.
class OrvaneDemoTest : public ::testing::Test {
  protected:
    void SetUp() override { dir = TestSupport::DemoCopy(TestSupport::TempDir()); }
    TestSupport::CommandResult Demo(const std::string& args, const std::string& env = "") {
        return TestSupport::Orvane(dir, "--system system.json --backup-dir backups " + args, env);
    }
    std::string dir;
};

TEST_F(OrvaneDemoTest, CustomFieldsInImageOrderWithTheirOwnHex) {
    const auto r = Demo("show Chassis --json");
    ASSERT_EQ(r.code, 0);
    const Json doc = Json::parse(r.out);
    std::vector<std::string> customs;
    for (const auto& f : doc["frus"][0]["areas"][0]["fields"]) {
        const std::string name = f["name"], value = f["value"], hex = f["hex"];
        if (name.find(".custom.") == std::string::npos)
            continue;
        customs.push_back(value);
        std::string bytes; // the hex is the same field's bytes
        for (size_t i = 0; i + 1 < hex.size(); i += 3)
            bytes.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
        EXPECT_EQ(bytes, value);
        EXPECT_EQ(f["library_value"], value);
    }
    EXPECT_EQ(customs, (std::vector<std::string>{"Rack B04", "U 12-14", "Owner: Lab 3"}));
    ASSERT_EQ(Demo("set Chassis chassis.custom.3 'Owner: Lab 9' --commit").code, 0);
    EXPECT_EQ(Demo("get Chassis chassis.custom.3").out, "Owner: Lab 9\n");
    EXPECT_EQ(Demo("get Chassis chassis.custom.1").out, "Rack B04\n");
}

TEST_F(OrvaneDemoTest, ImageFileSavedAndBuiltBackIsTheSameImage) {
    ASSERT_EQ(TestSupport::Orvane(dir, "save --image board.bin board.cfg").code, 0);
    ASSERT_EQ(TestSupport::Orvane(dir, "build board.cfg built.bin").code, 0);
    const auto original = TestSupport::ReadFile(dir + "/board.bin");
    const auto built = TestSupport::ReadFile(dir + "/built.bin");
    ASSERT_FALSE(built.empty());
    ASSERT_LE(built.size(), original.size());
    EXPECT_TRUE(std::equal(built.begin(), built.end(), original.begin()));
}

// German from the locale or from --lang and --locale: the library's field
// labels and the command's own words and progress, the field names kept.
TEST_F(OrvaneDemoTest, GermanShowHasNoEnglishWordsOfTheCommand) {
    for (const std::string env : {"LANG=de_DE.UTF-8", "LANG=C --lang de --locale de"}) {
        const size_t blank = env.find(' ');
        const auto r =
            Demo((blank == std::string::npos ? "" : env.substr(blank)) + " show --progress",
                 env.substr(0, blank));
        ASSERT_EQ(r.code, 0) << env;
        for (const char* german :
             {"Kopfbereich", "Netzteilangaben", "Baugruppe Hersteller", "board.manufacturer"})
            EXPECT_NE(r.out.find(german), std::string::npos) << german << " in " << env;
        EXPECT_NE(r.err.find("SDR-Repository wird nach FRU-Ger"), std::string::npos);
        for (const char* english :
             {"common header", "bytes free", " at offset", "record", ", version ", "language",
              "Power Supply Information", " to ", " and ", "English", "Rack Mount",
              "Overall capacity", "last", "Board Manufacturer"})
            EXPECT_EQ(r.out.find(english), std::string::npos) << english << " in " << env;
    }
    // A language without a catalogue: English, and one line that says so.
    const auto r = Demo("show", "LANG=fr_FR.UTF-8");
    EXPECT_EQ(r.err.find("catalogue"), r.err.rfind("catalogue")) << r.err;
    EXPECT_NE(r.err.find("catalogue"), std::string::npos) << r.err;
}
