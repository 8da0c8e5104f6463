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
        dir = TestSupport::DemoCopy(TestSupport::TempDir());
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

    // Checks JSON files against show.schema.json, each document against the
    // definition its members name (a .jsonl file line by line); a file that
    // holds anything but its documents fails.
    Result Validate(const std::string& files) {
        return TestSupport::RunIn(
            dir, "/usr/bin/python3 -c 'import json,sys,jsonschema\n"
                 "schema = json.load(open(sys.argv[1]))\n"
                 "kinds = [(\"host\", \"host_line\"), (\"error\", \"error\"), (\"fields\", "
                 "\"change\"), (\"field\", \"get\"), (\"valid_header\", \"check\")]\n"
                 "for name in sys.argv[2:]:\n"
                 "  text = open(name).read()\n"
                 "  for doc in map(json.loads, text.splitlines() if name.endswith(\"l\") else "
                 "[text]):\n"
                 "    kind = [k for key, k in kinds if key in doc][:1]\n"
                 "    jsonschema.validate(doc, {\"$defs\": schema[\"$defs\"], \"$ref\": "
                 "\"#/$defs/\" + kind[0]} if kind else schema)' " +
                     TestSupport::ShellQuote(std::string(ORVANE_SOURCE_DIR) +
                                             "/tools/orvane/show.schema.json") +
                     " " + files);
    }

    std::string dir;
};

// The Mainboard's documents: get --json of its asset tag, check --json,
// set --json.
const std::string kAddress =
    "{\"text\": \"2:0:20:FF:20:00\", \"nvs_type\": 2, \"lun\": 0, \"device_address\": 32, "
    "\"bus\": 255, \"controller\": 32, \"device_id\": 0}";
const std::string kGot =
    "{\"fru\": \"Mainboard\", \"address\": " + kAddress +
    ", \"field\": {\"name\": \"product.asset_tag\", \"title\": \"Product Asset "
    "Tag\", \"value\": \"Grüße €\", \"library_value\": \"Grüße €\", \"hex\": "
    "\"47 72 C3 BC C3 9F 65 20 E2 82 AC\", \"encoding\": \"8bit_text\"}}\n";
const std::string kChecked = "{\"address\": " + kAddress + ", \"valid_header\": true}\n";
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

// expected: all of the text, or after "~" a part of it; null: anything.
void ExpectText(const std::string& text, const char* expected) {
    if (!expected)
        return;
    if (*expected == '~') {
        EXPECT_NE(text.find(expected + 1), std::string::npos) << expected + 1;
    } else {
        EXPECT_EQ(text, expected);
    }
}

// Each case of the command's outputs that people and scripts rely on, run in
// order on one system: exit code, standard output and standard error.
TEST_F(ReportTest, EveryCaseOfTheCommandsOutputs) {
    const std::string six = R"({"board": {"serial_number": {"value": "SN12345678",
                                                             "encoding": "6bit_ascii"}}})";
    TestSupport::WriteFile(dir + "/six.json", {six.begin(), six.end()});
    TestSupport::WriteFile(dir + "/pw", {'p', 'w'});
    fs::permissions(dir + "/pw", fs::perms::owner_read | fs::perms::owner_write);
    const std::string hosts = "bmc1 admin pw\nbmc1 root pw\n";
    TestSupport::WriteFile(dir + "/hosts.txt", {hosts.begin(), hosts.end()});
    const char* const sim = "ORVANE_SIM_SYSTEM=system.json ";
    const struct {
        const char* environment;
        const char* args;
        int code;
        const char *out, *err;
    } cases[] = {
        // A missing or damaged field or area: exit 3 saying which.
        {"", "get 0 product.asset_tag", 3, "",
         "orvane: product.asset_tag: the FRU Power Supply has no product area\n"},
        {"", "get 0 product.asset_tag --json", 3,
         "{\"error\": \"product.asset_tag: the FRU Power Supply has no product area\", "
         "\"status\": \"refused\", \"exit_code\": 3}\n",
         "~no product area"},
        {"", "get 0 board.custom.4", 3, "", "~the FRU Power Supply has no field board.custom.4"},
        {"", "get Chassis chassis.custom.9", 3, "",
         "~chassis.custom.9: the chassis area of the FRU Chassis is damaged: "},
        // Usage errors in two lines, with a suggestion where one is near.
        {"", "scan extra --json", 2,
         "{\"error\": \"takes no operands\", \"status\": \"usage\", \"exit_code\": 2}\n",
         "orvane scan: takes no operands\nTry 'orvane scan --help'.\n"},
        {"", "--host bmc1 scan", 2, "", "~--system and --host exclude each other"},
        {"", "--hosts-file hosts.txt scan", 2, "",
         "orvane scan: hosts.txt: line 2: bmc1 is named before with other credentials\n"
         "Try 'orvane scan --help'.\n"},
        {"", "get 3 board.serial", 2, "",
         "orvane get: \"board.serial\" names no field; did you mean board.serial_number?\n"
         "Try 'orvane get --help'.\n"},
        {"", "shwo", 2, "",
         "orvane: unknown command \"shwo\"; did you mean show?\n"
         "Try 'orvane --help'.\n"},
        // One failing host, and check's results.
        {"", "--system nowhere.json check 2:0:20:FF:20:00 --json", 1,
         "{\"error\": \"checking the FRU at 2:0:20:FF:20:00 failed (0xE0000004): Reading the "
         "FRU header failed.\", \"status\": \"failed\", \"library_status\": \"0xE0000004\", "
         "\"exit_code\": 1}\n",
         "~orvane: checking the FRU at 2:0:20:FF:20:00 failed"},
        {"", "check 2:0:20:00:20:09 --json", 1, nullptr, "~checking the FRU at 2:0:20:00:20:09"},
        {"", "check 2:0:20:FF:20:00 --json", 0, kChecked.c_str(), ""},
        // One address form; quiet in a pipe, progress when asked.
        {"", "scan --json", 4,
         "~\"damaged\": [{\"position\": 1, \"id\": \"id:2\", \"name\": \"Chassis\", \"address\": "
         "{\"text\": \"2:0:20:00:20:02\", \"nvs_type\": 2,",
         ""},
        {"", "get 'power supply' board.manufacturer", 0, "Orvane Power\n", ""},
        {"", "--progress get 3 board.manufacturer", 0, "Orvane Systems\n",
         "~Scanning the SDR repository for FRU devices\n"},
        {"", "--quiet --progress get 3 board.manufacturer", 0, "Orvane Systems\n", ""},
        // What tells about the command.
        {"", "-V", 0, "~(liborvane revision ", ""},
        {"", "get --help", 0, "~--image FILE.bin", ""},
        {"", "write --help", 0, "~--force", ""},
        {"", "show --file psu.bin", 1, "",
         "~psu.bin looks like a raw FRU image: use --image psu.bin"},
        // A locale that cannot show a character gets escapes; a UTF-8 one,
        // installed or not, the characters; JSON is English UTF-8 in both.
        {"LANG=C ", "get Mainboard product.asset_tag", 0, "Gr\\u{FC}\\u{DF}e \\u{20AC}\n", ""},
        {"LANG=de_DE.UTF-8 ", "get Mainboard product.asset_tag", 0, "Grüße €\n", ""},
        {"LANG=C ", "--lang de get Chassis chassis.custom.9", 3, "", "~ist besch\\u{E4}digt"},
        {"LANG=de_DE.UTF-8 ", "help", 0,
         "~Befehle:\n  scan                     die FRUs des Systems auflisten\n", ""},
        {"LANG=C ", "get Mainboard product.asset_tag --json", 0, kGot.c_str(), ""},
        {"LANG=de_DE.UTF-8 ", "get Mainboard product.asset_tag --json", 0, kGot.c_str(), ""},
        // set takes what get prints; every write has a dry run.
        {"",
         "set 3 board.mfg_date '03/15/2024 08:30:00' chassis.type 'Rack Mount Chassis' --save "
         "y.cfg --dry-run",
         0, "no field changes\nnothing was written (--dry-run)\n", ""},
        {"LC_ALL=C.UTF-8 ", "set 3 product.asset_tag '' --commit --dry-run", 0,
         "~product.asset_tag: \"Grüße €\" -> \"\"\n  bytes 47 72 C3 BC C3 9F 65 20 E2 82 AC -> -\n",
         ""},
        {"", "write 0 psu.bin --dry-run", 0, "~board area             unchanged", ""},
        {"", "restore psu.bin 0 --dry-run", 0, "~nothing was written (--dry-run)\n", ""},
        // set --json: the one result document on standard output, the rest
        // on standard error; the same in German.
        {"", "set 3 product.asset_tag NEW-TAG --commit --dry-run --json", 0, kDryRun.c_str(),
         "~nothing was written (--dry-run)\n"},
        {"LANG=de_DE.UTF-8 ", "--lang de set 3 product.asset_tag NEW-TAG --commit --dry-run --json",
         0, kDryRun.c_str(), "~bytes that change: 24"},
        {"", "set 3 product.asset_tag ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 --commit --json", 3,
         "{\"error\": \"product.asset_tag can take at most 20 bytes here (11 now, 9 free in the "
         "area, 63 at most); \\\"ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789\\\" needs 36; --grow gives "
         "the area the room (the areas behind it move)\", \"status\": \"refused\", \"exit_code\": "
         "3}\n",
         "~orvane: product.asset_tag can take at most 20 bytes"},
        {"", "set 3 product.asset_tag X1 --json", 2,
         "{\"error\": \"needs --commit (to the device) or --save CFG (to a file)\", \"status\": "
         "\"usage\", \"exit_code\": 2}\n",
         "orvane set: needs --commit (to the device) or --save CFG (to a file)\nTry 'orvane set "
         "--help'.\n"},
        // The commit's progress names the areas written, not the board area
        // it rewrites as it was.
        {"",
         "--progress set 3 chassis.serial_number X12 product.asset_tag NEW-TAG --commit --save "
         "x.cfg --json",
         0, kCommitted.c_str(),
         "~bus 255\nChassis info area written\nproduct area written\nsaved to x.cfg\ncommitted and "
         "verified (areas changed: chassis, product;"},
        // A 6-bit field: decoded in value and in diff, the value typed in a
        // refusal.
        {sim, "--driver sim --hosts bmc1 inventory --out a.jsonl", 5, "", nullptr},
        {"", "apply 3 six.json --json", 0,
         "~{\"name\": \"board.serial_number\", \"path\": \"$.board.serial_number\", \"old\": "
         "\"MB0042\", \"new\": \"SN12345678\"}",
         "~committed and verified (areas changed: board;"},
        {"", "get 3 board.serial_number", 0, "SN12345678\n", ""},
        {"", "get 3 board.serial_number --json", 0,
         "~\"value\": \"SN12345678\", \"library_value\": \"³\\u001BI\\u0013UY\\u0017\\u0006\", "
         "\"hex\": \"B3 1B 49 13 55 59 17 06\", \"encoding\": \"6bit_ascii\"}}\n",
         ""},
        {"", "set 3 board.serial_number SN123456789012345678901234567890123456789 --commit", 3,
         "board.serial_number: stored as 6-bit ASCII, like the value it replaces\n",
         "orvane: board.serial_number can take at most 21 bytes here (8 now, 13 free in the area, "
         "63 at most); \"SN123456789012345678901234567890123456789\" needs 31; --grow gives the "
         "area the room (the areas behind it move)\n"},
        {sim, "--driver sim --hosts bmc1 inventory --out b.jsonl", 5, "", nullptr},
        {"", "diff a.jsonl b.jsonl", 1,
         "bmc1:\n  FRU 2:0:20:FF:20:00 \"Mainboard\" board.serial_number: \"MB0042\" -> "
         "\"SN12345678\"\n",
         ""},
    };
    std::vector<std::string> documents; // every JSON document printed
    for (const auto& c : cases) {
        Result r = Orvane(c.environment, c.args);
        SCOPED_TRACE(std::string(c.environment) + c.args + "\n" + r.out + r.err);
        EXPECT_EQ(r.code, c.code);
        r.out = std::regex_replace(r.out, std::regex("\"backup\": \"/[^\"]+/bk/[^\"]+\\.bin\""),
                                   "\"backup\": \"bk/NAME.bin\"");
        ExpectText(r.out, c.out);
        ExpectText(r.err, c.err);
        if (std::string(c.args).find("--json") != std::string::npos)
            documents.push_back(r.out);
    }
    // Each is one JSON document, and follows its definition in the schema.
    std::string files = "a.jsonl b.jsonl";
    for (size_t i = 0; i < documents.size(); ++i) {
        files += " doc" + std::to_string(i) + ".json";
        TestSupport::WriteFile(dir + "/doc" + std::to_string(i) + ".json",
                               {documents[i].begin(), documents[i].end()});
    }
    const Result valid = Validate(files);
    EXPECT_EQ(valid.code, 0) << valid.err;
}

// JSON does not depend on the locale: show --json and the inventory of the
// same system under LANG=C and German agree byte for byte (but for the time
// an inventory took), follow the schema, inventory lines included, and diff
// finds no change. The damaged chassis makes the host partial (exit 4, and
// 5 over --hosts).
TEST_F(ReportTest, JsonIsTheSameInEveryLocale) {
    const std::string german = "LANG=de_DE.UTF-8 ";
    const Result c = Orvane("LANG=C ", "show --json"), de = Orvane(german, "--lang de show --json");
    EXPECT_EQ(c.code, 4); // the damaged chassis
    EXPECT_EQ(c.out, de.out);
    EXPECT_NE(c.out.find("\"title\": \"Chassis Type\", \"value\": \"Rack Mount Chassis (17h)\""),
              std::string::npos)
        << c.out;
    TestSupport::WriteFile(dir + "/show.json", {c.out.begin(), c.out.end()});

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
    const Result valid = Validate("show.json c.jsonl de.jsonl");
    EXPECT_EQ(valid.code, 0) << valid.err;
    const Result diff = Orvane("LANG=C ", "diff c.jsonl de.jsonl");
    EXPECT_EQ(diff.code, 0) << diff.out << diff.err;
    EXPECT_EQ(diff.out, "");
}
} // namespace
