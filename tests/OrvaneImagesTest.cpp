// The orvane command on real FRU images (the corpus beside the repository)
// and binary image files: every field and record as FreeIPMI's ipmi-fru
// reads them, damaged areas named, and a board serial edit that changes
// nothing else.
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

// Standard output of a shell command and its exit code.
std::pair<int, std::string> Shell(const std::string& command) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return {-1, out};
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        out.append(buffer, n);
    const int status = pclose(pipe);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

std::string Orvane() {
    return TestSupport::ShellQuote(std::string(ORVANE_BUILD_DIR) + "/orvane");
}

// The corpus lies beside the repository (../shared/corpus);
// ORVANE_CORPUS_DIR names another place.
fs::path Corpus() {
    if (const char* dir = std::getenv("ORVANE_CORPUS_DIR"))
        return dir;
    return fs::path(ORVANE_SOURCE_DIR).parent_path() / "shared" / "corpus";
}

std::vector<fs::path> CorpusImages() {
    std::vector<fs::path> images;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(Corpus(), ec))
        if (e.path().extension() == ".bin")
            images.push_back(e.path());
    std::sort(images.begin(), images.end());
    return images;
}

// ipmi-fru's "label: value" lines in order; the continuation lines of a
// long OEM data dump join their label's value.
Lines IpmiFru(const fs::path& image) {
    Lines lines;
    auto [code, out] =
        Shell("ipmi-fru -v --fru-file=" + TestSupport::ShellQuote(image.string()) + " 2>&1");
    size_t pos = 0;
    while (pos < out.size()) {
        size_t end = out.find('\n', pos);
        if (end == std::string::npos)
            end = out.size();
        std::string line = out.substr(pos, end - pos);
        pos = end + 1;
        const size_t colon = line.find(": ");
        if (line.rfind("  FRU ", 0) == 0 && colon != std::string::npos)
            lines.push_back({line.substr(2, colon - 2), line.substr(colon + 2)});
        else if (line.rfind("     ", 0) == 0 && !lines.empty())
            lines.back().second += (lines.back().second.empty() ? "" : " ") + line.substr(5);
        else if (line.rfind("  FRU ", 0) == 0 && line.back() == ':')
            lines.push_back({line.substr(2, line.size() - 3), ""});
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
    auto [c, out] = Shell(Orvane() + " show --json --image " +
                          TestSupport::ShellQuote(image.string()) + " 2>/dev/null");
    *code = c;
    return Json::parse(out, nullptr, false);
}

class OrvaneImagesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!fs::is_directory(Corpus()))
            GTEST_SKIP() << "no FRU image corpus at " << Corpus();
        if (Shell("command -v ipmi-fru").first != 0)
            GTEST_SKIP() << "ipmi-fru is not installed";
        dir = TestSupport::TempDir();
    }
    std::string dir;
};

TEST_F(OrvaneImagesTest, EveryCorpusImageReadsAsIpmiFruReadsIt) {
    for (const auto& image : CorpusImages()) {
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

TEST_F(OrvaneImagesTest, BoardSerialSetThroughImageChangesOnlyThatField) {
    int edited = 0;
    for (const auto& image : CorpusImages()) {
        SCOPED_TRACE(image.filename().string());
        int code = 0;
        const Json before = ShowJson(image, &code);
        const Json& fru = before["frus"].at(0);
        // Images with a board area the library takes, and room for a new serial.
        size_t limit = 0;
        for (const auto& area : fru["areas"])
            for (const auto& f : area.value("fields", Json::array()))
                if (f["name"] == "board.serial_number" && fru["editable"] == true)
                    limit = (f["hex"].get<std::string>().size() + 1) / 3 +
                            area["free_bytes"].get<size_t>();
        if (limit < 2)
            continue;
        const std::string copy = dir + "/" + image.filename().string();
        fs::copy_file(image, copy, fs::copy_options::overwrite_existing);
        const std::string serial = std::string("ORV12345").substr(0, std::min<size_t>(limit, 8));
        auto [setCode, out] = Shell(Orvane() + " set --image " + TestSupport::ShellQuote(copy) +
                                    " board.serial_number " + serial + " --commit --backup-dir " +
                                    TestSupport::ShellQuote(dir + "/backups") + " 2>&1");
        if (setCode != 0) {
            // A backup that cannot hold the image (a text field with a 00h byte
            // does not survive a configuration file) refuses the commit: the
            // file is untouched.
            EXPECT_NE(out.find("nothing was written"), std::string::npos) << out;
            EXPECT_EQ(TestSupport::ReadFile(copy), TestSupport::ReadFile(image.string()));
            continue;
        }
        ++edited;
        // ipmi-fru leaves an empty serial out: compare without it, then find it.
        const auto withoutSerial = [](Lines lines) {
            std::erase_if(lines,
                          [](const auto& l) { return l.first == "FRU Board Serial Number"; });
            return lines;
        };
        const Lines after = IpmiFru(copy);
        EXPECT_EQ(withoutSerial(after), withoutSerial(IpmiFru(image)));
        EXPECT_EQ(std::count(after.begin(), after.end(),
                             std::make_pair(std::string("FRU Board Serial Number"), serial)),
                  1); // and every checksum holds: ipmi-fru names no error
        const Json reread = ShowJson(copy, &code);
        EXPECT_EQ(reread["frus"].at(0)["editable"], true);
    }
    EXPECT_GE(edited, 10);
}
} // namespace

// The demo system: custom fields in image order, German output.
class OrvaneDemoTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = TestSupport::TempDir();
        fs::copy(fs::path(ORVANE_SOURCE_DIR) / "examples" / "demo-system", dir,
                 fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    }
    std::pair<int, std::string> Demo(const std::string& args, const std::string& env = "") {
        return Shell("cd " + TestSupport::ShellQuote(dir) + " && " + env + " " + Orvane() +
                     " --system system.json --backup-dir backups " + args + " 2>/dev/null");
    }
    std::string dir;
};

TEST_F(OrvaneDemoTest, CustomFieldsInImageOrderWithTheirOwnHex) {
    auto [code, out] = Demo("show Chassis --json");
    ASSERT_EQ(code, 0);
    const Json doc = Json::parse(out);
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
    EXPECT_EQ(Demo("get Chassis chassis.custom.1").second, "Rack B04\n");
    ASSERT_EQ(Demo("set Chassis chassis.custom.3 'Owner: Lab 9' --commit").first, 0);
    EXPECT_EQ(Demo("get Chassis chassis.custom.3").second, "Owner: Lab 9\n");
    EXPECT_EQ(Demo("get Chassis chassis.custom.1").second, "Rack B04\n");
}

TEST_F(OrvaneDemoTest, ImageFileSavedAndBuiltBackIsTheSameImage) {
    const std::string in = "cd " + TestSupport::ShellQuote(dir) + " && " + Orvane();
    ASSERT_EQ(Shell(in + " save --image board.bin board.cfg").first, 0);
    ASSERT_EQ(Shell(in + " build board.cfg built.bin").first, 0);
    const auto original = TestSupport::ReadFile(dir + "/board.bin");
    const auto built = TestSupport::ReadFile(dir + "/built.bin");
    ASSERT_FALSE(built.empty());
    ASSERT_LE(built.size(), original.size());
    EXPECT_TRUE(std::equal(built.begin(), built.end(), original.begin()));
}

TEST_F(OrvaneDemoTest, GermanShowHasNoEnglishWordsOfTheCommand) {
    for (const std::string env : {"LANG=de_DE.UTF-8", "LANG=C --lang de --locale de"}) {
        const std::string environment = env.substr(0, env.find(' '));
        const std::string options =
            env.find(' ') == std::string::npos ? "" : env.substr(env.find(' '));
        auto [code, out] = Demo(options + " show", environment);
        ASSERT_EQ(code, 0) << env;
        EXPECT_NE(out.find("Kopfbereich"), std::string::npos) << env;
        EXPECT_NE(out.find("Netzteilangaben"), std::string::npos) << env;
        for (const char* english : {"common header", "bytes free", " at offset", "record",
                                    ", version ", "language", "Power Supply Information", " to ",
                                    " and ", "English", "Rack Mount", "Overall capacity", "last"})
            EXPECT_EQ(out.find(english), std::string::npos) << english << " in " << env;
    }
    // A language without a catalogue: English, and one line that says so.
    auto [code, out] =
        Shell("cd " + TestSupport::ShellQuote(dir) + " && LANG=fr_FR.UTF-8 " + Orvane() +
              " --system system.json show 2>&1 >/dev/null | grep -c catalogue");
    EXPECT_EQ(out, "1\n");
}
