// orvane build --json: images from what show --json prints (byte for byte,
// over the corpus and the demo system) and from the short form written by
// hand (every field kind and encoding, multi-records, each refusal with the
// JSON path it names).
#include "TestSupport.h"
#include "fru/ImageLayout.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace {
namespace fs = std::filesystem;
using Json = nlohmann::ordered_json;
using TestSupport::ShellQuote;

// The bytes the common header describes: up to the end of its last area.
std::vector<uint8_t> Extent(const std::vector<uint8_t>& image) {
    uint32_t end = ImageLayout::kCommonHeaderBytes;
    for (const auto& a : ImageLayout::Parse(image).areas)
        end = std::max(end, a.offset + a.declared);
    return {image.begin(), image.begin() + std::min<size_t>(end, image.size())};
}

class BuildJsonTest : public ::testing::Test {
  protected:
    void SetUp() override { dir = TestSupport::TempDir(); }

    TestSupport::CommandResult Run(const std::string& args) {
        return TestSupport::Orvane(dir, args);
    }
    // Builds text (the JSON input) into out.bin.
    TestSupport::CommandResult Build(const std::string& text, const std::string& options = "") {
        TestSupport::WriteFile(dir + "/in.json", std::vector<uint8_t>(text.begin(), text.end()));
        fs::remove(dir + "/out.bin");
        return Run("build --json in.json out.bin " + options);
    }
    Json Show(const std::string& image) {
        const auto r = Run("show --json --image " + ShellQuote(image));
        return Json::parse(r.out)["frus"][0];
    }
    std::string dir;
};

// Finds a field of show --json by its stable name.
Json FieldOf(const Json& fru, const std::string& name) {
    for (const auto& area : fru["areas"])
        for (const auto& f : area.value("fields", Json::array()))
            if (f["name"] == name)
                return f;
    return nullptr;
}

TEST_F(BuildJsonTest, ShortFormStoresEveryFieldKindEncodingAndRecordType) {
    const auto r = Build(R"({
      "internal": {"data": "01 AA BB"},
      "chassis": {"type": 23, "part_number": "CPN", "serial_number": {"value": "CH 7",
                  "encoding": "6bit_ascii"}, "custom": ["rack 4"]},
      "board": {"mfg_date": "2026-12-01T08:00:00Z", "manufacturer": "Acme",
                "product_name": "Widget", "serial_number": {"value": "0123", "encoding":
                "bcd_plus"}, "part_number": "PN-1", "fru_file_id": "", "custom": ["rev A",
                {"value": "LOT 7", "encoding": "6bit_ascii"}]},
      "product": {"manufacturer": "Acme", "product_name": "Server", "part_number": "M1",
                  "version": "V2", "serial_number": "PSN", "asset_tag": "ASSET",
                  "fru_file_id": {"value": "id-1", "encoding": "8bit_text"}},
      "multirecord": [
        {"type": "dc_output", "output_number": 2, "standby": true, "nominal_voltage": 12000,
         "max_current": 5000},
        {"type": 2, "nominal_voltage": -5000, "min_current": 10},
        {"type": "management_access", "sub_record": 2, "value": "node1"},
        {"type": "power_supply", "hex": "0A"},
        {"type": 192, "version": 1, "hex": "57 01 00 FF"}]})");
    ASSERT_EQ(r.code, 0) << r.err;
    const Json fru = Show(dir + "/out.bin");
    ASSERT_TRUE(fru["editable"]) << fru.dump();
    struct Row {
        const char* name;
        const char* text;
        const char* encoding;
    };
    const Row rows[] = {
        {"chassis.part_number", "CPN", "8bit_text"},
        {"chassis.serial_number", "CH 7", "6bit_ascii"},
        {"chassis.custom.1", "rack 4", "8bit_text"},
        {"board.manufacturer", "Acme", "8bit_text"},
        {"board.serial_number", "0123", "bcd_plus"},
        {"board.fru_file_id", "", "8bit_text"},
        {"board.custom.1", "rev A", "8bit_text"},
        {"board.custom.2", "LOT 7", "6bit_ascii"},
        {"product.version", "V2", "8bit_text"},
        {"product.asset_tag", "ASSET", "8bit_text"},
        {"product.fru_file_id", "id-1", "8bit_text"},
    };
    for (const Row& row : rows) {
        const Json f = FieldOf(fru, row.name);
        ASSERT_FALSE(f.is_null()) << row.name;
        EXPECT_EQ(f["value"].get<std::string>().substr(0, std::string(row.text).size()), row.text)
            << row.name;
        EXPECT_EQ(f["encoding"], row.encoding) << row.name;
    }
    EXPECT_EQ(FieldOf(fru, "chassis.type")["hex"], "17");
    EXPECT_EQ(FieldOf(fru, "board.mfg_date")["hex"], "60 1F F8"); // 2026-12-01 08:00 UTC
    // Packed from byte 8 in the order of kinds, each area as short as it can be.
    std::vector<std::pair<std::string, int>> layout;
    for (const auto& a : fru["areas"])
        layout.push_back({a["kind"], a["offset"]});
    EXPECT_EQ(layout, (std::vector<std::pair<std::string, int>>{{"internal", 8},
                                                                {"chassis", 16},
                                                                {"board", 40},
                                                                {"product", 80},
                                                                {"multirecord", 120}}));
    const Json& records = fru["areas"][4]["records"];
    ASSERT_EQ(records.size(), 5u);
    EXPECT_EQ(records[0]["hex"], "01 02 0D 2F C1 82 B0 04 00 00 00 00 00 00 00 00 88 13");
    EXPECT_EQ(records[1]["fields"]["nominal_voltage"], "-5000 mV");
    EXPECT_EQ(records[2]["fields"]["value"], "node1");
    EXPECT_EQ(records[3]["type_name"], "power_supply");
    EXPECT_EQ(records[4]["version"], 1);
    EXPECT_TRUE(records[4]["last"]);
    EXPECT_TRUE(fru["areas"][4]["end_of_list"]);
}

TEST_F(BuildJsonTest, BadInputNamesItsPathAndWritesNothing) {
    const std::string long64(64, 'x'), long60(60, 'y');
    std::string customs, customs8;
    for (int i = 0; i < 9; ++i)
        customs += std::string(i ? "," : "") + "\"" + long60 + "\"";
    customs8 = customs.substr(0, customs.rfind(','));
    const auto hex = [](size_t bytes) {
        std::string text = "01";
        for (size_t i = 1; i < bytes; ++i)
            text += " AA";
        return text;
    };
    std::string records;
    for (int i = 0; i < 256; ++i)
        records += std::string(i ? "," : "") + R"({"type": 192, "hex": ")" + hex(255) + "\"}";
    struct Row {
        std::string input;
        int code;
        const char* path;
    };
    const Row rows[] = {
        {"[1]", 2, "$: not a JSON object"},
        {R"({"board": {"colour": "red"}})", 2, "$.board.colour: is not a member"},
        {R"({"product": {"asset_tag": 7}})", 2, "$.product.asset_tag: must be string or object"},
        {R"({"chassis": {"type": 24}})", 2, "$.chassis.type: must be at most 23"},
        {R"({"board": {"custom": ["a1", {"value": "x", "encoding": "ebcdic"}]}})", 2,
         "$.board.custom[1].encoding"},
        {R"({"multirecord": [{"type": 192}]})", 2, "$.multirecord[0].hex: is missing"},
        {R"({"multirecord": [{"type": "dc_load", "standby": true}]})", 2,
         "$.multirecord[0].standby"},
        {R"({"board": {"manufacturer": "A"}})", 3, "$.board.manufacturer: a one-byte"},
        {R"({"board": {"custom": [{"value": "abc", "encoding": "6bit_ascii"}]}})", 3,
         "$.board.custom[0]: \"abc\" cannot be stored as 6-bit ASCII"},
        {R"({"product": {"version": ")" + long64 + R"("}})", 3, "$.product.version: \""},
        {R"({"board": {"mfg_date": "2030-01-01T00:00:00Z"}})", 3, "$.board.mfg_date:"},
        {R"({"internal": {"data": "01 0"}})", 2, "$.internal.data: must be hex bytes"},
        {R"({"multirecord": [{"type": "dc_output", "nominal_voltage": 5}]})", 3,
         "$.multirecord[0].nominal_voltage: is stored in steps of 10"},
        {R"({"board": {"custom": [)" + customs + "]}}", 3,
         "$.board.custom[8]: the board area would need 568 bytes"},
        {R"({"frus": [{"position": 0}]})", 2, "$.frus[0].name: is missing"},
        {R"({"internal": {"data": ")" + hex(513) + R"("}})", 3,
         "$.internal.data: holds 513 bytes; the internal use area holds at most 512"},
        {R"({"internal": {"data": ")" + hex(512) +
             R"("}, "chassis": {"part_number": "0123456789", "custom": [)" + customs8 +
             R"(]}, "board": {"manufacturer": "0123456789", "custom": [)" + customs8 +
             R"(]}, "product": {"manufacturer": "0123456789", "custom": [)" + customs8 +
             R"(]}, "multirecord": [{"type": 192, "hex": "00"}]})",
         3, "$.multirecord: the multirecord area would start at byte 2056, past the 2,040 bytes"},
        {R"({"multirecord": [)" + records + "]}", 3,
         "$.multirecord: the image would need 66568 bytes, past the 65,536"},
    };
    for (const Row& row : rows) {
        const auto r = Build(row.input);
        EXPECT_EQ(r.code, row.code) << row.input << "\n" << r.err;
        EXPECT_NE(r.err.find(row.path), std::string::npos) << row.input << "\n" << r.err;
        EXPECT_FALSE(fs::exists(dir + "/out.bin")) << row.input;
    }
}

// show --json, then build --json of it: the same bytes, for every image the
// library takes; each FRU of the demo system picked from the whole document.
TEST_F(BuildJsonTest, ShowJsonBuildsTheSameImage) {
    const std::vector<fs::path> images = TestSupport::CorpusImages();
    if (images.empty())
        std::cerr << "no FRU image corpus; the demo system only\n";
    size_t built = 0;
    for (const fs::path& image : images) {
        const auto shown = Run("show --json --image " + ShellQuote(image.string()));
        const Json doc = Json::parse(shown.out, nullptr, false);
        if (shown.code != 0 || !doc["frus"][0]["editable"])
            continue; // the library refuses it: nothing to build again
        TestSupport::WriteFile(dir + "/s.json", {shown.out.begin(), shown.out.end()});
        fs::remove(dir + "/out.bin");
        const auto r = Run("build --json - out.bin < s.json");
        ASSERT_EQ(r.code, 0) << image << r.err;
        EXPECT_EQ(TestSupport::ReadFile(dir + "/out.bin"), Extent(TestSupport::ReadFile(image)))
            << image;
        ++built;
    }
    const std::string demo = std::string(ORVANE_SOURCE_DIR) + "/examples/demo-system/";
    const auto whole = Run("--system " + ShellQuote(demo + "system.json") + " show --json");
    ASSERT_EQ(whole.code, 0) << whole.err;
    TestSupport::WriteFile(dir + "/d.json", {whole.out.begin(), whole.out.end()});
    const Json doc = Json::parse(whole.out);
    for (const auto& fru : doc["frus"]) {
        const std::string address = fru["address"]["text"];
        fs::remove(dir + "/out.bin");
        const auto r = Run("build --json d.json out.bin --fru " + address);
        ASSERT_EQ(r.code, 0) << address << r.err;
        const auto dumped =
            Run("--system " + ShellQuote(demo + "system.json") + " dump " + address + " dev.bin");
        ASSERT_EQ(dumped.code, 0) << dumped.err;
        EXPECT_EQ(TestSupport::ReadFile(dir + "/out.bin"),
                  Extent(TestSupport::ReadFile(dir + "/dev.bin")))
            << address;
        ++built;
    }
    EXPECT_GE(built, 5u);
    EXPECT_EQ(Run("build --json d.json out.bin").code, 2); // five FRUs: --fru picks one
}
// One field's value edited in show --json, grown past its area's padding
// with areas behind it: ipmi-fru reads the built image with exactly that
// field changed.
TEST_F(BuildJsonTest, EditedValueGrowsItsAreaAndChangesNothingElse) {
    if (!fs::exists("/usr/sbin/ipmi-fru"))
        GTEST_SKIP() << "ipmi-fru is not installed";
    const std::string board = std::string(ORVANE_SOURCE_DIR) + "/examples/demo-system/board.bin";
    Json fru = Show(board);
    const std::string grown = "Orvane Systems Manufacturing Division East";
    for (auto& area : fru["areas"])
        if (area["kind"] == "board")
            for (auto& f : area["fields"])
                if (f["name"] == "board.manufacturer")
                    f["value"] = grown;
    const auto r = Build(fru.dump());
    ASSERT_EQ(r.code, 0) << r.err;
    const Json built = Show(dir + "/out.bin");
    EXPECT_GT(built["areas"][3]["offset"].get<int>(), 152); // the product area moved
    const auto was = TestSupport::IpmiFru(board), is = TestSupport::IpmiFru(dir + "/out.bin");
    ASSERT_EQ(was.size(), is.size());
    std::vector<std::string> changed;
    for (size_t i = 0; i < was.size(); ++i)
        if (was[i] != is[i])
            changed.push_back(is[i]);
    EXPECT_EQ(changed, std::vector<std::string>{"  FRU Board Manufacturer: " + grown});
}
} // namespace
