// orvane apply on the simulated BMC, checked on its request log: a first run
// writes the fields that differ and names them, a second run sends no Write
// FRU Data and reports "changed": false, --dry-run writes nothing, a value
// too long for its area is refused without --grow and grows it with --grow.
#include "FruTestImages.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <string>
#include <vector>

namespace {
using FruTestImages::Area;
using FruTestImages::Header;
using FruTestImages::Put;
using Json = nlohmann::json;

// Chassis at 8, board at 32, product at 72; a 256-byte device.
std::vector<uint8_t> Image() {
    std::vector<uint8_t> image(256, 0xFF);
    Put(image, 0, Header(0, 1, 4, 9, 0));
    Put(image, 8, Area({0x01, 0, 0x17}, {"CPN-1", "CSN-1"}, 3));
    Put(image, 32,
        Area({0x01, 0, 0x19, 0x10, 0x20, 0x30}, {"Acme", "Widget", "SN1", "PN1", ""}, 5));
    Put(image, 72, Area({0x01, 0, 0x19}, {"Acme", "Server", "M1", "V1", "PSN", "Asset", ""}, 6));
    return image;
}

constexpr const char* kSystem = R"({"controllers": [{"address": "0x20", "fru_devices":
  [{"id": 0, "image": "fru0.bin"}]}], "sdr": [{"type": "mc_locator", "address": "0x20",
  "name": "Board"}]})";

class ApplyCommandTest : public ::testing::Test {
  protected:
    TestSupport::CommandResult Apply(const std::string& desired, const std::string& options) {
        TestSupport::WriteFile(bmc.dir + "/want.json", {desired.begin(), desired.end()});
        bmc.ClearLog();
        return TestSupport::Orvane(bmc.dir, "--backup-dir backups apply " + options + " want.json");
    }
    // The Write FRU Data requests the BMC received.
    size_t Writes() const {
        const auto log = bmc.Log(true);
        return static_cast<size_t>(std::count_if(log.begin(), log.end(), [](const std::string& l) {
            return l.find("netfn=0A lun=00 cmd=12") != std::string::npos;
        }));
    }
    std::string Field(const std::string& name) {
        const auto r = TestSupport::Orvane(bmc.dir, "get Board " + name);
        return r.out.substr(0, r.out.find('\n'));
    }
    TestSupport::SimulatedSystem bmc{kSystem, {{"fru0.bin", Image()}}};
};

// Runs in turn on one device: each names the fields it changes (old and new
// value) and writes only when one changes and it is no dry run.
TEST_F(ApplyCommandTest, WritesOnlyWhatDiffersAndTellsChanged) {
    const std::string wanted = R"({"chassis": {"serial_number": "CSN-9"}, "board": {"manufacturer":
        "Acme"}, "product": {"asset_tag": "TAG-7"}})";
    const std::string tooLong = R"({"product": {"asset_tag": "an asset tag far too long"}})";
    const struct {
        std::string desired, options;
        int code;
        std::string fields; // the changed fields, "name old new; ..."
    } steps[] = {
        {wanted, "--json", 0, "chassis.serial_number CSN-1 CSN-9; product.asset_tag Asset TAG-7"},
        {wanted, "--json", 0, ""},
        {R"({"board": {"serial_number": "SN2"}})", "--json --dry-run", 0,
         "board.serial_number SN1 SN2"},
        {tooLong, "--json", 3, ""},
        {tooLong, "--json --grow", 0, "product.asset_tag TAG-7 an asset tag far too long"},
        {R"({"board": {"custom": ["x1"]}})", "", 3, ""}, // no such field
        {R"({"board": {"custom": "x1"}})", "", 2, ""},   // not the schema
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.desired + " " + step.options);
        const auto r = Apply(step.desired, "Board " + step.options);
        ASSERT_EQ(r.code, step.code) << r.err;
        const bool dry = step.options.find("--dry-run") != std::string::npos;
        EXPECT_EQ(Writes() > 0, !step.fields.empty() && !dry);
        if (step.code != 0)
            continue;
        const Json doc = Json::parse(r.out);
        EXPECT_EQ(doc["changed"], !step.fields.empty());
        std::string fields;
        for (const auto& f : doc["fields"])
            fields += (fields.empty() ? "" : "; ") + f["name"].get<std::string>() + " " +
                      f["old"].get<std::string>() + " " + f["new"].get<std::string>();
        EXPECT_EQ(fields, step.fields);
    }
    EXPECT_EQ(Field("chassis.serial_number"), "CSN-9");
    EXPECT_EQ(Field("board.serial_number"), "SN1");
    EXPECT_EQ(Field("product.asset_tag"), "an asset tag far too long");
    EXPECT_EQ(Field("product.manufacturer"), "Acme"); // behind the grown field, kept
}

TEST_F(ApplyCommandTest, TextNamesTheFieldsAndTheRefusalItsPath) {
    const std::string version = R"({"product": {"version": "V2"}})";
    TestSupport::Expect(Apply(version, "Board"),
                        {0, "product.version: \"V1\" -> \"V2\"\nchanged: true\n", ""}, "first");
    TestSupport::Expect(Apply(version, "Board"), {0, "=changed: false\n", ""}, "second");
    TestSupport::Expect(
        Apply(R"({"product": {"version": "a version text that is far too long"}})", "Board"),
        {3, "", "$.product.version: "}, "too long");
}

// Over --hosts one JSON line a host; the hosts share the simulated BMC here,
// so the second one finds the field set already.
TEST_F(ApplyCommandTest, OverHostsOneLineAHost) {
    const auto r = Apply(R"({"product": {"asset_tag": "FLEET-1"}})",
                         "--driver sim --hosts a,b --fanout 1 Board --json");
    ASSERT_EQ(r.code, 0) << r.err;
    std::vector<std::pair<std::string, bool>> lines;
    for (size_t pos = 0, end; (end = r.out.find('\n', pos)) != std::string::npos; pos = end + 1) {
        const Json line = Json::parse(r.out.substr(pos, end - pos));
        EXPECT_EQ(line["status"], "ok") << line.dump();
        lines.push_back({line["host"], line["changed"]});
    }
    EXPECT_EQ(lines, (std::vector<std::pair<std::string, bool>>{{"a", true}, {"b", false}}));
    EXPECT_EQ(Field("product.asset_tag"), "FLEET-1");
}
} // namespace
