// How the orvane command reports to scripts and people: exit codes, the JSON
// error object, usage errors, and output that does not change with the
// locale. Runs the built command on a copy of the demo system.
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>
#include <vector>

namespace {
namespace fs = std::filesystem;
using Result = TestSupport::CommandResult;

class ReportTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = TestSupport::TempDir();
        fs::copy(fs::path(ORVANE_SOURCE_DIR) / "examples" / "demo-system", dir,
                 fs::copy_options::recursive);
        // A chassis area whose checksum is wrong, and a UTF-8 asset tag.
        auto chassis = TestSupport::ReadFile(dir + "/chassis.bin");
        chassis[12] ^= 0x55;
        TestSupport::WriteFile(dir + "/chassis.bin", chassis);
        ASSERT_EQ(
            Orvane("LC_ALL=C.UTF-8 ", "set Mainboard product.asset_tag 'Grüße €' --commit").code,
            0);
    }

    Result Orvane(const std::string& environment, const std::string& args) {
        return TestSupport::RunIn(
            dir, "unset LANG LC_ALL LC_MESSAGES LANGUAGE; " + environment +
                     TestSupport::ShellQuote(std::string(ORVANE_BUILD_DIR) + "/orvane") +
                     " --system system.json --backup-dir bk " + args);
    }

    std::string dir;
};

// The documents of the Mainboard's asset tag: get --json, set --json.
const std::string kAddress =
    "{\"text\": \"2:0:20:FF:20:00\", \"nvs_type\": 2, \"lun\": 0, \"device_address\": 32, "
    "\"bus\": 255, \"controller\": 32, \"device_id\": 0}";
const std::string kGot =
    "{\"fru\": \"Mainboard\", \"address\": " + kAddress +
    ", \"field\": {\"name\": \"product.asset_tag\", \"title\": \"Product Asset "
    "Tag\", \"value\": \"Grüße €\", \"library_value\": \"Grüße €\", \"hex\": "
    "\"47 72 C3 BC C3 9F 65 20 E2 82 AC\", \"encoding\": \"8bit_text\"}}\n";
const std::string kSetHead =
    "{\n  \"fru\": \"Mainboard\",\n  \"address\": " + kAddress + ",\n  \"changed\": true,\n";
const std::string kDryRun = kSetHead +
                            "  \"dry_run\": true,\n  \"fields\": [\n"
                            "    {\"name\": \"product.asset_tag\", \"old\": \"Grüße €\", \"new\": "
                            "\"NEW-TAG\"}\n  ],\n  \"areas\": [\"product\"],\n"
                            "  \"committed\": false,\n  \"saved\": null,\n  \"backup\": null\n}\n";
const std::string kCommitted =
    kSetHead +
    "  \"dry_run\": false,\n  \"fields\": [\n"
    "    {\"name\": \"chassis.serial_number\", \"old\": \"CHS0001234\", \"new\": \"X12\"},\n"
    "    {\"name\": \"product.asset_tag\", \"old\": \"Grüße €\", \"new\": \"NEW-TAG\"}\n  ],\n"
    "  \"areas\": [\"chassis\", \"product\"],\n  \"committed\": true,\n  \"saved\": \"x.cfg\",\n"
    "  \"backup\": \"bk/NAME.bin\"\n}\n";

TEST_F(ReportTest, ExitCodesMessagesAndTheJsonErrorObject) {
    const struct {
        const char* environment;
        const char* args;
        int code;
        const char* out; // all of standard output
        const char* err; // a part of standard error
    } cases[] = {
        {"", "get 0 product.asset_tag", 3, "",
         "orvane: product.asset_tag: the FRU Power Supply has no product area\n"},
        {"", "get 0 product.asset_tag --json", 3,
         "{\"error\": \"product.asset_tag: the FRU Power Supply has no product area\", "
         "\"status\": \"refused\", \"exit_code\": 3}\n",
         "no product area"},
        {"", "get 0 board.custom.4", 3, "", "the FRU Power Supply has no field board.custom.4"},
        {"", "get Chassis chassis.custom.9", 3, "",
         "chassis.custom.9: the chassis area of the FRU Chassis is damaged: "},
        {"", "scan extra --json", 2,
         "{\"error\": \"takes no operands\", \"status\": \"usage\", \"exit_code\": 2}\n",
         "orvane scan: takes no operands"},
        {"", "--host bmc1 scan", 2, "", "--system and --host exclude each other"},
        {"", "--system nowhere.json check 2:0:20:FF:20:00 --json", 1,
         "{\"error\": \"checking the FRU at 2:0:20:FF:20:00 failed (0xE0000004): Reading the "
         "FRU header failed.\", \"status\": \"failed\", \"library_status\": \"0xE0000004\", "
         "\"exit_code\": 1}\n",
         "orvane: checking the FRU at 2:0:20:FF:20:00 failed"},
        {"", "check 2:0:20:00:20:09 --json", 1, nullptr, "checking the FRU at 2:0:20:00:20:09"},
        {"", "check 2:0:20:FF:20:00 --json", 0,
         "{\"address\": {\"text\": \"2:0:20:FF:20:00\", \"nvs_type\": 2, \"lun\": 0, "
         "\"device_address\": 32, \"bus\": 255, \"controller\": 32, \"device_id\": 0}, "
         "\"valid_header\": true}\n",
         ""},
        // A locale that cannot show a character gets escapes; a UTF-8 one,
        // installed or not, the characters.
        {"LANG=C ", "get Mainboard product.asset_tag", 0, "Gr\\u{FC}\\u{DF}e \\u{20AC}\n", ""},
        {"LANG=de_DE.UTF-8 ", "get Mainboard product.asset_tag", 0, "Grüße €\n", ""},
        {"LANG=C ", "--lang de get Chassis chassis.custom.9", 3, "", "ist besch\\u{E4}digt"},
        {"LANG=C ", "get Mainboard product.asset_tag --json", 0, kGot.c_str(), ""},
        {"LANG=de_DE.UTF-8 ", "get Mainboard product.asset_tag --json", 0, kGot.c_str(), ""},
        // set --json: the one result document on standard output, the rest
        // on standard error; the same in German.
        {"", "set 3 product.asset_tag NEW-TAG --commit --dry-run --json", 0, kDryRun.c_str(),
         "nothing was written (--dry-run)\n"},
        {"LANG=de_DE.UTF-8 ", "--lang de set 3 product.asset_tag NEW-TAG --commit --dry-run --json",
         0, kDryRun.c_str(), "bytes that change: 24"},
        {"", "set 3 product.asset_tag ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 --commit --json", 3,
         "{\"error\": \"product.asset_tag can take at most 20 bytes here (11 now, 9 free in the "
         "area, 63 at most); \\\"ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789\\\" needs 36; --grow gives "
         "the area the room (the areas behind it move)\", \"status\": \"refused\", \"exit_code\": "
         "3}\n",
         "orvane: product.asset_tag can take at most 20 bytes"},
        {"", "set 3 product.asset_tag X1 --json", 2,
         "{\"error\": \"needs --commit (to the device) or --save CFG (to a file)\", \"status\": "
         "\"usage\", \"exit_code\": 2}\n",
         "orvane set: needs --commit (to the device) or --save CFG (to a file)\nTry 'orvane set "
         "--help'.\n"},
        {"",
         "set 3 chassis.serial_number X12 product.asset_tag NEW-TAG --commit --save x.cfg --json",
         0, kCommitted.c_str(),
         "committed and verified (areas changed: chassis, product; 512 bytes"},
    };
    std::vector<std::string> documents; // every JSON document printed
    for (const auto& c : cases) {
        Result r = Orvane(c.environment, c.args);
        SCOPED_TRACE(std::string(c.environment) + c.args + "\n" + r.out + r.err);
        EXPECT_EQ(r.code, c.code);
        r.out = std::regex_replace(r.out, std::regex("\"backup\": \"/[^\"]+/bk/[^\"]+\\.bin\""),
                                   "\"backup\": \"bk/NAME.bin\"");
        if (c.out) {
            EXPECT_EQ(r.out, c.out);
        }
        EXPECT_NE(r.err.find(c.err), std::string::npos);
        if (std::string(c.args).find("--json") != std::string::npos)
            documents.push_back(r.out);
    }
    // Each is one JSON document, and follows its definition in the schema.
    for (size_t i = 0; i < documents.size(); ++i)
        TestSupport::WriteFile(dir + "/doc" + std::to_string(i) + ".json",
                               {documents[i].begin(), documents[i].end()});
    const Result valid = TestSupport::RunIn(
        dir,
        "/usr/bin/python3 -c 'import json,sys,glob,jsonschema\n"
        "defs = json.load(open(sys.argv[1]))[\"$defs\"]\n"
        "for name in glob.glob(\"doc*.json\"):\n"
        "  doc = json.load(open(name))\n"
        "  kind = \"error\" if \"error\" in doc else \"change\" if \"fields\" in doc else 0\n"
        "  if kind: jsonschema.validate(doc, {\"$defs\": defs, \"$ref\": \"#/$defs/\" + kind})' " +
            TestSupport::ShellQuote(std::string(ORVANE_SOURCE_DIR) +
                                    "/tools/orvane/show.schema.json"));
    EXPECT_EQ(valid.code, 0) << valid.err;
}

// JSON does not depend on the locale: show --json and the inventory of the
// same system under LANG=C and German agree byte for byte (but for the time
// an inventory took), follow the schema, and diff finds no change. The
// damaged chassis makes the host partial (exit 4, and 5 over --hosts).
TEST_F(ReportTest, JsonIsTheSameInEveryLocale) {
    const std::string german = "LANG=de_DE.UTF-8 ";
    const Result c = Orvane("LANG=C ", "show --json"), de = Orvane(german, "--lang de show --json");
    EXPECT_EQ(c.code, 4); // the damaged chassis
    EXPECT_EQ(c.out, de.out);
    EXPECT_NE(c.out.find("\"title\": \"Chassis Type\", \"value\": \"Rack Mount Chassis (17h)\""),
              std::string::npos)
        << c.out;
    TestSupport::WriteFile(dir + "/show.json", {c.out.begin(), c.out.end()});
    const Result valid = TestSupport::RunIn(
        dir, "/usr/bin/python3 -c 'import json,sys,jsonschema; "
             "jsonschema.validate(json.load(open(sys.argv[1])), json.load(open(sys.argv[2])))' "
             "show.json " +
                 TestSupport::ShellQuote(std::string(ORVANE_SOURCE_DIR) +
                                         "/tools/orvane/show.schema.json"));
    EXPECT_EQ(valid.code, 0) << valid.err;

    const std::string inventory = "ORVANE_SIM_SYSTEM=system.json ";
    ASSERT_EQ(
        Orvane("LANG=C " + inventory, "--driver sim --hosts bmc1 inventory --out c.jsonl").code, 5);
    ASSERT_EQ(Orvane(german + inventory, "--lang de --driver sim --hosts bmc1 inventory --out "
                                         "de.jsonl")
                  .code,
              5);
    const Result same =
        TestSupport::RunIn(dir, "sed -E 's/\"duration\":[0-9.]+//' c.jsonl > c.txt; "
                                "sed -E 's/\"duration\":[0-9.]+//' de.jsonl | cmp - c.txt");
    EXPECT_EQ(same.code, 0) << same.out << same.err;
    const Result diff = Orvane("LANG=C ", "diff c.jsonl de.jsonl");
    EXPECT_EQ(diff.code, 0) << diff.out << diff.err;
    EXPECT_EQ(diff.out, "");
}
} // namespace
