// The orvane command as operators and scripts run it: the built binary
// against simulated systems, its output, files and exit codes.
#include "FruTestImages.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {
using FruTestImages::Area;
using FruTestImages::Header;
using FruTestImages::Put;
using TestSupport::ShellQuote;
namespace fs = std::filesystem;
using Result = TestSupport::CommandResult;

// Internal use at 8, chassis at 16, board at 40, product at 80.
std::vector<uint8_t> BoardImage(const std::string& manufacturer) {
    std::vector<uint8_t> image(256, 0xFF);
    Put(image, 0, Header(1, 2, 5, 10, 0));
    Put(image, 8, {0x01, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77});
    Put(image, 16, Area({0x01, 0, 0x17}, {"CPN-1", "CSN-1", "Rack 4"}, 3));
    Put(image, 40,
        Area({0x01, 0, 0x19, 0x10, 0x20, 0x30}, {manufacturer, "Widget", "SN1", "PN1", ""}, 5));
    Put(image, 80, Area({0x01, 0, 0x19}, {"Acme", "Server", "M1", "V1", "PSN", "Asset", ""}, 6));
    return image;
}

class OrvaneCommandTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = TestSupport::TempDir();
        backups = dir + "/backups";
    }

    // A BMC with `count` FRU devices named FRU0, FRU1, ...; device 0 from
    // board.bin, the others copies of it. The BMC's own device 0 is named by
    // its controller locator (listed after the FRU locators of the others).
    // Extra JSON goes into the top level.
    void WriteSystem(int count = 2, const std::string& extra = "") {
        TestSupport::WriteFile(dir + "/board.bin", BoardImage("Acme"));
        std::string devices = "{\"id\": 0, \"image\": \"board.bin\"}", sdr;
        for (int i = 1; i < count; ++i) {
            const std::string n = std::to_string(i);
            TestSupport::WriteFile(dir + "/fru" + n + ".bin", BoardImage("Maker" + n));
            devices += ", {\"id\": " + n + ", \"image\": \"fru" + n + ".bin\"}";
            sdr += "{\"type\": \"fru_locator\", \"access_address\": \"0x20\", \"device\": " + n +
                   ", \"logical\": true, \"name\": \"FRU" + n + "\"}, ";
        }
        sdr += "{\"type\": \"mc_locator\", \"address\": \"0x20\", \"name\": \"FRU0\"}";
        const std::string json = "{\"ipmi_version\": \"0x51\", \"controllers\": [{\"address\": "
                                 "\"0x20\", \"fru_devices\": [" +
                                 devices + "]}], \"sdr\": [" + sdr + "]" + extra + "}";
        TestSupport::WriteFile(dir + "/system.json", {json.begin(), json.end()});
    }

    Result Orvane(const std::string& args, const std::string& env = "") {
        return TestSupport::Orvane(dir, "--system system.json --backup-dir backups " + args, env);
    }

    // The backup configuration files (each has its raw .bin beside it).
    std::vector<fs::path> Backups() {
        std::vector<fs::path> files;
        if (fs::exists(backups))
            for (const auto& e : fs::directory_iterator(backups))
                if (e.path().extension() == ".cfg")
                    files.push_back(e.path());
        std::sort(files.begin(), files.end());
        return files;
    }

    // Whether a show --json output follows the documented schema and lists
    // `frus` FRUs.
    bool FollowsSchema(const std::string& out, int frus) {
        TestSupport::WriteFile(dir + "/out.json", {out.begin(), out.end()});
        const std::string schema =
            std::string(ORVANE_SOURCE_DIR) + "/tools/orvane/show.schema.json";
        return TestSupport::RunIn(dir, "/usr/bin/python3 -c 'import json,sys,jsonschema; "
                                       "d=json.load(open(sys.argv[1])); jsonschema.validate(d, "
                                       "json.load(open(sys.argv[2]))); assert len(d[\"frus\"])==" +
                                           std::to_string(frus) + "' out.json " +
                                           ShellQuote(schema))
                   .code == 0;
    }

    std::string dir, backups;
};

TEST_F(OrvaneCommandTest, ReadsAndRefusalsEndAsTheySay) {
    WriteSystem(2);
    const struct {
        const char* args;
        TestSupport::Ending end;
    } cases[] = {
        {"scan",
         {0,
          "2 FRU devices found, 2 read\n  #  id     name                 address            areas\n"
          "  0  id:1   FRU1                 2:0:20:00:20:01    internal,chassis,board,product\n"
          "  1  id:0   FRU0                 2:0:20:FF:20:00",
          "="}},
        {"show FRU1", {0, "FRU 0: FRU1 at 2:0:20:00:20:01", ""}},
        {"show FRU1", {0, "board.manufacturer       Board Manufacturer           Maker1", ""}},
        {"show FRU1", {0, "internal.data            Internal Use Data            01 11 22 33", ""}},
        {"show FRU1", {0, "chassis.custom.1", ""}},
        {"get FRU0 product.asset_tag", {0, "=Asset\n", "="}},
        {"get 2:0:20:00:20:01 6", {0, "=Maker1\n", ""}}, // enumerator 6: board manufacturer
        {"get 0 board.nonsense", {2, "=", ""}},
        {"get 7 board.manufacturer", {1, "=", "there is no FRU 7"}},
        {"props", {0, "IPMI Version: ", ""}},
        {"props", {0, "Number of FRUs: 2", ""}},
        {"check 2:0:20:FF:20:00", {0, "", ""}},
        {"check 2:0:20:FF:20:09", {1, "", "checking the FRU at 2:0:20:FF:20:09 failed"}},
        {"check nowhere", {2, "=", ""}},
        // Refused changes write nothing and leave no backup (checked below).
        {"set FRU0 board.serial_number X --commit", {3, "", "0xC1"}},
        {"set FRU0 board.serial_number SSSSSSSSSSSSSSSSSSSSSSSSSSSSSSSSSSSSSSSS --commit",
         {3, "", "board.serial_number can take at most 14 bytes"}},
        {"set FRU0 board.serial_number X", {2, "", "needs --commit"}},
    };
    for (const auto& c : cases)
        TestSupport::Expect(Orvane(c.args), c.end, c.args);
    EXPECT_EQ(TestSupport::ReadFile(dir + "/board.bin"), BoardImage("Acme"));
    EXPECT_TRUE(!fs::exists(backups) || fs::is_empty(backups));
    EXPECT_TRUE(FollowsSchema(Orvane("show --json").out, 2));
}

// A located device whose bytes read but whose image the library refuses is
// listed as damaged and shown from its raw bytes (read only by show);
// PositionsTest checks that nothing writes it by its position or name.
TEST_F(OrvaneCommandTest, DamagedDevicesAreShownFromTheirRawBytes) {
    struct Case {
        const char* damage;
        void (*apply)(std::vector<uint8_t>&);
        const char* listed; // the scan line after the name and address
        const char* area;   // the DAMAGED line of the bad area
        const char* intact; // a field of an area that still reads
        bool rawEdit;       // every area is sound: set writes through the raw path
    };
    const Case cases[] = {
        {"bad board checksum", [](std::vector<uint8_t>& image) { image[45] ^= 0x01; },
         "0xC0070013 The board info area of FRU1 is invalid.\n",
         "  Board Info Area at offset 40, format 1, language English (25)\n    DAMAGED: The "
         "board info area of FRU1 is invalid. (its checksum is wrong)\n    problem: its "
         "checksum (byte 79) is C8h; its bytes need C7h\n",
         "product.asset_tag        Product Asset Tag            Asset\n", false},
        {"internal use area last",
         [](std::vector<uint8_t>& image) {
             Put(image, 0, Header(16, 2, 5, 10, 0));
             Put(image, 8, std::vector<uint8_t>(8, 0xFF));
             Put(image, 128, {0x01, 0x11, 0x22, 0x33});
         },
         "0xC0070011 The internal use area of FRU1 is invalid.\n",
         "  Internal Use Area (128 bytes) at offset 128, format 1\n    DAMAGED: The internal "
         "use area of FRU1 is invalid. (it lies after the other areas",
         "board.manufacturer       Board Manufacturer           Maker1\n", true},
    };
    const std::string device = "  0  FRU1                 2:0:20:00:20:01    ";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.damage);
        WriteSystem(2);
        std::vector<uint8_t> image = BoardImage("Maker1");
        c.apply(image);
        TestSupport::WriteFile(dir + "/fru1.bin", image);

        // The scan reads no more than the load: no raw read of the device.
        Result r = Orvane("scan", "ORVANE_SIM_LOG=sim.log");
        TestSupport::Expect(r, {4, "!unreadable:", ""}, "scan");
        EXPECT_NE(r.out.find("damaged:\n" + device + c.listed), std::string::npos) << r.out;
        EXPECT_EQ(TestSupport::ReadText(dir + "/sim.log").find(" cmd=10 "), std::string::npos);
        r = Orvane("scan --json");
        EXPECT_NE(r.out.find("\"damaged\": [{\"position\": 0, \"id\": \"id:1\", \"name\": "
                             "\"FRU1\", \"address\": {\"text\": \"2:0:20:00:20:01\", "
                             "\"nvs_type\": 2, \"lun\": 0, \"device_address\": 32, \"bus\": 0, "
                             "\"controller\": 32, \"device_id\": 1}, \"status\": \"" +
                             std::string(c.listed).substr(0, 10) + "\""),
                  std::string::npos)
            << r.out;
        for (const char* args : {"show", "show FRU1"})
            for (const std::string& part :
                 {std::string("FRU 0: FRU1 at 2:0:20:00:20:01\n  damaged: shown from its raw "
                              "bytes, not editable\n"),
                  std::string(c.area), std::string(c.intact)})
                TestSupport::Expect(Orvane(args), {4, part, ""}, args);
        r = Orvane("show --json");
        EXPECT_EQ(r.code, 4);
        EXPECT_TRUE(FollowsSchema(r.out, 2)) << r.out;
        // --strict shows only what the library took; the device is still listed.
        TestSupport::Expect(Orvane("show --strict"), {4, "damaged:\n" + device, ""}, "strict");
        EXPECT_EQ(Orvane("show --strict").out.find("FRU 0: FRU1"), std::string::npos);
        EXPECT_EQ(Orvane("show FRU1 --strict").code, 4);

        r = Orvane("set FRU1 board.serial_number SN22 --commit");
        EXPECT_EQ(r.code, c.rawEdit ? 0 : 3) << r.err;
        EXPECT_EQ(TestSupport::ReadFile(dir + "/fru1.bin") == image, !c.rawEdit);
        if (c.rawEdit) {
            EXPECT_NE(Orvane("show FRU1").out.find("SN22"), std::string::npos);
        }
    }
}

// A commit saves a backup first and names it; restoring the backup gives the
// old bytes back (after a backup of its own); --force commits a one-byte text;
// a failed commit keeps its backup and says where.
TEST_F(OrvaneCommandTest, CommitsAreBackedUpAndRestored) {
    WriteSystem(1);
    const auto before = TestSupport::ReadFile(dir + "/board.bin");
    Result r = Orvane("set 0 board.manufacturer 'Acme Co' product.asset_tag Rack-7 --commit");
    ASSERT_EQ(r.code, 0) << r.err;
    ASSERT_EQ(Backups().size(), 1u);
    EXPECT_NE(r.out.find(Backups()[0].string()), std::string::npos) << r.out;
    EXPECT_NE(Backups()[0].filename().string().find("_2-0-20-FF-20-00_FRU0.cfg"),
              std::string::npos);
    EXPECT_EQ(Orvane("get 0 board.manufacturer").out, "Acme Co\n");
    EXPECT_EQ(Orvane("get 0 product.asset_tag").out, "Rack-7\n");
    ASSERT_EQ(Orvane("restore " + Backups()[0].string()).code, 0);
    EXPECT_EQ(TestSupport::ReadFile(dir + "/board.bin"), before);
    EXPECT_EQ(Backups().size(), 2u);
    EXPECT_EQ(Orvane("set 0 board.serial_number X --commit --force").code, 0);

    fs::remove_all(backups);
    WriteSystem(1, ", \"faults\": [{\"match\": {\"command\": \"0x12\"}, "
                   "\"completion_code\": \"0xD5\"}]");
    r = Orvane("set 0 board.manufacturer Other --commit");
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("committing the FRU failed (0xC0070029)"), std::string::npos) << r.err;
    ASSERT_EQ(Backups().size(), 1u);
    EXPECT_NE(r.err.find(Backups()[0].string()), std::string::npos);
    EXPECT_GT(fs::file_size(Backups()[0]), 0u);
}

TEST_F(OrvaneCommandTest, SaveLoadAndEditConfigurationFiles) {
    WriteSystem(1);
    ASSERT_EQ(Orvane("save 0 fru.cfg").code, 0);
    TestSupport::Expect(Orvane("load fru.cfg"), {0, "Acme", ""}, "load");
    ASSERT_EQ(Orvane("set --file fru.cfg board.part_number PN-22 --save new.cfg").code, 0);
    EXPECT_EQ(Orvane("get --file new.cfg board.part_number").out, "PN-22\n");
    // A file whose areas do not match the device is not restored.
    std::vector<uint8_t> other = BoardImage("Acme");
    Put(other, 0, Header(1, 2, 5, 11, 0)); // product area one unit later: board area longer
    Put(other, 40,
        Area({0x01, 0, 0x19, 0x10, 0x20, 0x30}, {"Acme", "Widget", "SN1", "PN1", ""}, 6));
    Put(other, 88, Area({0x01, 0, 0x19}, {"Acme", "Server", "M1", "V1", "PSN", "Asset", ""}, 6));
    TestSupport::WriteFile(dir + "/board.bin", other);
    TestSupport::Expect(Orvane("restore fru.cfg"), {3, "", "the board areas differ in size"},
                        "restore");
}

// A command takes exactly the options its help lists: one it does not list is
// a usage error that names the option, before the command does anything.
TEST_F(OrvaneCommandTest, CommandsTakeTheOptionsTheirHelpLists) {
    WriteSystem(1);
    const char* options[] = {"--json",       "--commit", "--save",         "--force",
                             "--strict",     "--repack", "--grow",         "--shrink",
                             "--dry-run",    "--file",   "--image",        "--hosts",
                             "--hosts-file", "--fanout", "--host-timeout", "--out"};
    for (const char* command : {"scan", "show", "get", "set", "save", "load", "restore", "dump",
                                "build", "write", "props", "check", "inventory", "diff"}) {
        const Result help = Orvane(std::string(command) + " --help");
        EXPECT_EQ(help.code, 0) << command;
        EXPECT_EQ(help.out.rfind("usage: orvane ", 0), 0u) << command;
        for (const std::string option : options) {
            // Four operands are too many or too few for every command, so a
            // command that takes the option stops at a usage error too.
            // Without --system, which --image does not go with.
            const Result r =
                TestSupport::Orvane(dir, std::string(command) + " " + option + "=v a b c d");
            const bool listed = help.out.find("\n  " + option + " ") != std::string::npos;
            const bool refused =
                r.err.find("takes no option " + option + "\n") != std::string::npos;
            EXPECT_NE(listed, refused) << command << " " << option << "\n" << r.err;
            EXPECT_NE(r.code, 0) << command << " " << option;
        }
    }
}

// The command's own texts of every kind follow a German locale: help, usage
// errors, listings, refusals, library and driver failures, backups, commits.
TEST_F(OrvaneCommandTest, EveryKindOfMessageInGerman) {
    WriteSystem(2, ", \"faults\": [{\"match\": {\"command\": \"0x11\", \"device\": 1}, "
                   "\"completion_code\": \"0xD5\"}]");
    TestSupport::WriteFile(dir + "/blocker", {});
    const struct {
        const char* args;
        const char* german; // in standard output and error together
    } cases[] = {
        {"scan --help", "Aufruf: orvane scan [--json]\nDurchsucht das SDR-Repository"},
        {"--bogus", "orvane: unbekannte Option --bogus"},
        {"check nowhere", "\"nowhere\" ist keine Adresse"},
        {"dump 0", "orvane dump: erwartet FRU DATEI.bin"},
        {"scan", "1 gelesen\n  #  id     Name                 Adresse            Bereiche\n"},
        {"scan", "nicht lesbar:\n  0  FRU1 "},
        {"show FRU1", "orvane: das FRU-Gerät FRU1 an 2:0:20:00:20:01 kann nicht gelesen werden"},
        {"get 7 board.manufacturer", "orvane: es gibt keine FRU 7 (Positionen 0 bis 1"},
        {"set id:0 board.serial_number X --commit", "ein Text aus einem Byte"},
        {"--backup-dir blocker/sub set id:0 board.serial_number SN77 --commit",
         "der Sicherungsordner blocker/sub kann nicht angelegt werden"},
        {"set 1 board.serial_number SN78 --commit", "festgeschrieben und verifiziert"},
        {"--system nowhere.json props", "orvane: der BMC ist nicht erreichbar"},
        {"diff old.jsonl new.jsonl", "orvane diff: old.jsonl kann nicht gelesen werden"},
    };
    for (const auto& c : cases) {
        const Result r = Orvane(c.args, "LC_ALL= LANGUAGE= LANG=de_DE.UTF-8");
        EXPECT_NE((r.out + r.err).find(c.german), std::string::npos) << c.args << "\n"
                                                                     << r.out << r.err;
    }
}
} // namespace
