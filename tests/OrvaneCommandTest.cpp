// The orvane command as operators and scripts run it: the built binary
// against simulated systems, its output, files and exit codes.
#include "FruTestImages.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace {
using FruTestImages::Area;
using FruTestImages::Header;
using FruTestImages::Put;
using FruTestImages::Record;
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
        std::string json = "{\"ipmi_version\": \"0x51\", \"controllers\": [{\"address\": "
                           "\"0x20\", \"fru_devices\": [" +
                           devices + "]}], \"sdr\": [" + sdr + "]" + extra + "}";
        std::vector<uint8_t> bytes(json.begin(), json.end());
        TestSupport::WriteFile(dir + "/system.json", bytes);
    }

    Result Orvane(const std::vector<std::string>& args, const std::string& prefix = "") {
        std::string cmd =
            prefix + TestSupport::ShellQuote(std::string(ORVANE_BUILD_DIR) + "/orvane");
        cmd += " --system " + TestSupport::ShellQuote(dir + "/system.json") + " --backup-dir " +
               TestSupport::ShellQuote(backups);
        for (const auto& a : args)
            cmd += " " + TestSupport::ShellQuote(a);
        return TestSupport::RunIn(dir, cmd);
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
        const std::string json = dir + "/out.json";
        TestSupport::WriteFile(json, std::vector<uint8_t>(out.begin(), out.end()));
        const std::string schema =
            std::string(ORVANE_SOURCE_DIR) + "/tools/orvane/show.schema.json";
        const std::string check =
            "/usr/bin/python3 -c 'import json,sys,jsonschema; "
            "jsonschema.validate(json.load(open(sys.argv[1])), json.load(open(sys.argv[2]))); "
            "d=json.load(open(sys.argv[1])); assert len(d[\"frus\"])==" +
            std::to_string(frus) + "' " + TestSupport::ShellQuote(json) + " " +
            TestSupport::ShellQuote(schema);
        return std::system(check.c_str()) == 0;
    }

    // The requests of a command run with the simulator's conversation log.
    std::string Requests(const std::vector<std::string>& args) {
        const std::string log = dir + "/requests.log";
        fs::remove(log);
        Orvane(args, "ORVANE_SIM_LOG=" + TestSupport::ShellQuote(log) + " ");
        return TestSupport::ReadText(log);
    }

    std::string dir, backups;
};

size_t Count(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

TEST_F(OrvaneCommandTest, ScanListsEveryFruWithItsAddressAndAreas) {
    WriteSystem(2);
    Result r = Orvane({"scan"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("2 FRU devices found, 2 read"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("  #  id     name                 address            areas\n"
                         "  0  id:1   FRU1                 2:0:20:00:20:01    "
                         "internal,chassis,board,product\n"
                         "  1  id:0   FRU0                 2:0:20:FF:20:00"),
              std::string::npos)
        << r.out;
}

TEST_F(OrvaneCommandTest, ShowAndGetPresentFieldsAsTheLibraryRendersThem) {
    WriteSystem(2);
    Result r = Orvane({"show", "FRU1"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("FRU 0: FRU1 at 2:0:20:00:20:01"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("board.manufacturer       Board Manufacturer           Maker1"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("internal.data            Internal Use Data            01 11 22 33"),
              std::string::npos);
    EXPECT_NE(r.out.find("chassis.custom.1"), std::string::npos);

    r = Orvane({"get", "FRU0", "product.asset_tag"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "Asset\n");
    r = Orvane({"get", "2:0:20:00:20:01", "6"}); // enumerator 6: board manufacturer
    EXPECT_EQ(r.out, "Maker1\n");
    r = Orvane({"get", "0", "board.nonsense"});
    EXPECT_EQ(r.code, 2);
    r = Orvane({"get", "7", "board.manufacturer"});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("there is no FRU 7"), std::string::npos);
}

TEST_F(OrvaneCommandTest, ShowJsonFollowsTheDocumentedSchema) {
    WriteSystem(2);
    Result r = Orvane({"show", "--json"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(FollowsSchema(r.out, 2)) << r.out;
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
    for (const Case& c : cases) {
        SCOPED_TRACE(c.damage);
        WriteSystem(2);
        std::vector<uint8_t> image = BoardImage("Maker1");
        c.apply(image);
        TestSupport::WriteFile(dir + "/fru1.bin", image);
        const std::string device = std::string("  0  FRU1                 2:0:20:00:20:01    ");

        Result r = Orvane({"scan"});
        EXPECT_EQ(r.code, 4);
        EXPECT_NE(r.out.find("damaged:\n" + device + c.listed), std::string::npos) << r.out;
        EXPECT_EQ(r.out.find("unreadable:"), std::string::npos) << r.out;
        r = Orvane({"scan", "--json"});
        EXPECT_NE(r.out.find("\"damaged\": [{\"position\": 0, \"id\": \"id:1\", \"name\": "
                             "\"FRU1\", \"address\": {\"text\": "
                             "\"2:0:20:00:20:01\", \"nvs_type\": 2, \"lun\": 0, "
                             "\"device_address\": 32, \"bus\": 0, \"controller\": 32, "
                             "\"device_id\": 1}, \"status\": \"" +
                             std::string(c.listed).substr(0, 10) + "\""),
                  std::string::npos)
            << r.out;
        // The scan reads no more than the load: no raw read of the device.
        EXPECT_EQ(Count(Requests({"scan"}), " cmd=10 "), 0u);

        for (const std::vector<std::string>& args :
             {std::vector<std::string>{"show"}, std::vector<std::string>{"show", "FRU1"}}) {
            r = Orvane(args);
            EXPECT_EQ(r.code, 4) << args.size();
            EXPECT_NE(r.out.find("FRU 0: FRU1 at 2:0:20:00:20:01\n  damaged: shown from its "
                                 "raw bytes, not editable\n"),
                      std::string::npos)
                << r.out;
            EXPECT_NE(r.out.find(c.area), std::string::npos) << r.out;
            EXPECT_NE(r.out.find(c.intact), std::string::npos) << r.out;
        }
        r = Orvane({"show", "--json"});
        EXPECT_EQ(r.code, 4);
        EXPECT_TRUE(FollowsSchema(r.out, 2)) << r.out;
        EXPECT_NE(r.out.find("\"position\": 0"), std::string::npos);

        // --strict shows only what the library took; the device is still listed.
        r = Orvane({"show", "--strict"});
        EXPECT_EQ(r.code, 4);
        EXPECT_EQ(r.out.find("FRU 0: FRU1"), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("damaged:\n" + device), std::string::npos) << r.out;
        EXPECT_EQ(Orvane({"show", "FRU1", "--strict"}).code, 4);

        r = Orvane({"set", "FRU1", "board.serial_number", "SN22", "--commit"});
        EXPECT_EQ(r.code, c.rawEdit ? 0 : 3) << r.err;
        EXPECT_EQ(TestSupport::ReadFile(dir + "/fru1.bin") == image, !c.rawEdit);
        if (c.rawEdit) {
            EXPECT_NE(Orvane({"show", "FRU1"}).out.find("SN22"), std::string::npos);
        }
    }
}

TEST_F(OrvaneCommandTest, SetCommitsAfterSavingABackup) {
    WriteSystem(1);
    const auto before = TestSupport::ReadFile(dir + "/board.bin");
    Result r = Orvane(
        {"set", "0", "board.manufacturer", "Acme Co", "product.asset_tag", "Rack-7", "--commit"});
    ASSERT_EQ(r.code, 0) << r.err;
    ASSERT_EQ(Backups().size(), 1u);
    EXPECT_NE(r.out.find(Backups()[0].string()), std::string::npos) << r.out;
    EXPECT_NE(Backups()[0].filename().string().find("_2-0-20-FF-20-00_FRU0.cfg"), std::string::npos);
    EXPECT_NE(TestSupport::ReadFile(dir + "/board.bin"), before);
    EXPECT_EQ(Orvane({"get", "0", "board.manufacturer"}).out, "Acme Co\n");
    EXPECT_EQ(Orvane({"get", "0", "product.asset_tag"}).out, "Rack-7\n");
    // The backup holds what the device held: restoring it gives the old bytes back.
    r = Orvane({"restore", Backups()[0].string()});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(TestSupport::ReadFile(dir + "/board.bin"), before);
    EXPECT_EQ(Backups().size(), 2u); // the restore saved its own backup first
}

TEST_F(OrvaneCommandTest, SetRefusesValuesThatWouldBreakTheFru) {
    WriteSystem(1);
    const auto before = TestSupport::ReadFile(dir + "/board.bin");
    Result r = Orvane({"set", "0", "board.serial_number", "X", "--commit"});
    EXPECT_EQ(r.code, 3);
    EXPECT_NE(r.err.find("0xC1"), std::string::npos) << r.err;
    r = Orvane({"set", "0", "board.serial_number", std::string(40, 'S'), "--commit"});
    EXPECT_EQ(r.code, 3);
    EXPECT_NE(r.err.find("board.serial_number can take at most 14 bytes"), std::string::npos)
        << r.err;
    r = Orvane({"set", "0", "board.serial_number", "X"});
    EXPECT_EQ(r.code, 2); // neither --commit nor --save
    EXPECT_EQ(TestSupport::ReadFile(dir + "/board.bin"), before);
    EXPECT_TRUE(fs::is_empty(backups)); // a refused change leaves no backup behind
    r = Orvane({"set", "0", "board.serial_number", "X", "--commit", "--force"});
    EXPECT_EQ(r.code, 0) << r.err;
}

TEST_F(OrvaneCommandTest, FailedCommitKeepsTheBackupAndSaysSo) {
    WriteSystem(1, ", \"faults\": [{\"match\": {\"command\": \"0x12\"}, "
                   "\"completion_code\": \"0xD5\"}]");
    Result r = Orvane({"set", "0", "board.manufacturer", "Other", "--commit"});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("committing the FRU failed (0xC0070029)"), std::string::npos) << r.err;
    ASSERT_EQ(Backups().size(), 1u);
    EXPECT_NE(r.err.find(Backups()[0].string()), std::string::npos);
    EXPECT_TRUE(fs::file_size(Backups()[0]) > 0);
}

TEST_F(OrvaneCommandTest, SaveLoadAndEditConfigurationFiles) {
    WriteSystem(1);
    Result r = Orvane({"save", "0", "fru.cfg"});
    ASSERT_EQ(r.code, 0) << r.err;
    r = Orvane({"load", "fru.cfg"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("Acme"), std::string::npos);
    r = Orvane({"set", "--file", "fru.cfg", "board.part_number", "PN-22", "--save", "new.cfg"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(Orvane({"get", "--file", "new.cfg", "board.part_number"}).out, "PN-22\n");
    // A file whose areas do not match the device is not restored.
    TestSupport::WriteFile(dir + "/board.bin", BoardImage("Acme"));
    std::vector<uint8_t> other = BoardImage("Acme");
    Put(other, 0, Header(1, 2, 5, 11, 0)); // product area one unit later: board area longer
    Put(other, 40,
        Area({0x01, 0, 0x19, 0x10, 0x20, 0x30}, {"Acme", "Widget", "SN1", "PN1", ""}, 6));
    Put(other, 88, Area({0x01, 0, 0x19}, {"Acme", "Server", "M1", "V1", "PSN", "Asset", ""}, 6));
    TestSupport::WriteFile(dir + "/board.bin", other);
    r = Orvane({"restore", "fru.cfg"});
    EXPECT_EQ(r.code, 3);
    EXPECT_NE(r.err.find("the board areas differ in size"), std::string::npos) << r.err;
}

TEST_F(OrvaneCommandTest, PropsCheckHelpAndExitCodes) {
    WriteSystem(2);
    Result r = Orvane({"props"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("IPMI Version: "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Number of FRUs: 2"), std::string::npos) << r.out;
    EXPECT_EQ(Orvane({"check", "2:0:20:FF:20:00"}).code, 0);
    r = Orvane({"check", "2:0:20:FF:20:09"});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("checking the FRU at 2:0:20:FF:20:09 failed"), std::string::npos);
    EXPECT_EQ(Orvane({"check", "nowhere"}).code, 2);
    for (const char* command :
         {"scan", "show", "get", "set", "save", "load", "restore", "props", "check"}) {
        r = Orvane({command, "--help"});
        EXPECT_EQ(r.code, 0) << command;
        EXPECT_EQ(r.out.rfind("usage: orvane ", 0), 0u) << command;
    }
}

// A command takes exactly the options its help lists: one it does not list is
// a usage error that names the option, before the command does anything.
TEST_F(OrvaneCommandTest, CommandsTakeTheOptionsTheirHelpLists) {
    WriteSystem(1);
    Result r = Orvane({"scan", "--commit"});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.err, "orvane scan: takes no option --commit\nTry 'orvane scan --help'.\n");
    EXPECT_EQ(r.out, "");
    const char* options[] = {"--json",       "--commit", "--save",         "--force",
                             "--strict",     "--repack", "--grow",         "--shrink",
                             "--dry-run",    "--file",   "--image",        "--hosts",
                             "--hosts-file", "--fanout", "--host-timeout", "--out"};
    for (const char* command : {"scan", "show", "get", "set", "save", "load", "restore", "dump",
                                "build", "write", "props", "check", "inventory", "diff"}) {
        const std::string help = Orvane({command, "--help"}).out;
        for (const std::string option : options) {
            // Four operands are too many or too few for every command, so a
            // command that takes the option stops at a usage error too.
            // Without --system, which --image does not go with.
            r = TestSupport::RunIn(
                dir, TestSupport::ShellQuote(std::string(ORVANE_BUILD_DIR) + "/orvane") + " " +
                         command + " " + option + "=v a b c d");
            const bool listed = help.find("\n  " + option + " ") != std::string::npos;
            const bool refused =
                r.err.find("takes no option " + option + "\n") != std::string::npos;
            EXPECT_NE(listed, refused) << command << " " << option << "\n" << r.err;
            EXPECT_NE(r.code, 0) << command << " " << option;
        }
    }
}

TEST_F(OrvaneCommandTest, GermanCatalogue) {
    WriteSystem(1);
    Result r = Orvane({"--lang", "de", "--locale", "de", "show", "0", "--progress"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out.find("Board Manufacturer"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Baugruppe Hersteller         Acme"), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("SDR-Repository wird nach FRU-Geräten durchsucht"), std::string::npos);
    EXPECT_NE(r.out.find("board.manufacturer"), std::string::npos);
}

// The command's own texts of every kind follow a German locale: help, usage
// errors, listings, refusals, library and driver failures, backups, commits.
TEST_F(OrvaneCommandTest, EveryKindOfMessageInGerman) {
    WriteSystem(2, ", \"faults\": [{\"match\": {\"command\": \"0x11\", \"device\": 1}, "
                   "\"completion_code\": \"0xD5\"}]");
    TestSupport::WriteFile(dir + "/blocker", {});
    struct Case {
        std::vector<std::string> args;
        const char* german; // in standard output and error together
    };
    const Case cases[] = {
        {{"scan", "--help"}, "Aufruf: orvane scan [--json]\nDurchsucht das SDR-Repository"},
        {{"--bogus"}, "orvane: unbekannte Option --bogus"},
        {{"check", "nowhere"}, "\"nowhere\" ist keine Adresse"},
        {{"dump", "0"}, "orvane dump: erwartet FRU DATEI.bin"},
        {{"scan"}, "1 gelesen\n  #  id     Name                 Adresse            Bereiche\n"},
        {{"scan"}, "nicht lesbar:\n  0  FRU1 "},
        {{"show", "FRU1"},
         "orvane: das FRU-Gerät FRU1 an 2:0:20:00:20:01 kann nicht gelesen werden"},
        {{"get", "7", "board.manufacturer"}, "orvane: es gibt keine FRU 7 (Positionen 0 bis 1"},
        {{"set", "id:0", "board.serial_number", "X", "--commit"}, "ein Text aus einem Byte"},
        {{"--backup-dir", "blocker/sub", "set", "id:0", "board.serial_number", "SN77", "--commit"},
         "der Sicherungsordner blocker/sub kann nicht angelegt werden"},
        {{"set", "1", "board.serial_number", "SN78", "--commit"},
         "festgeschrieben und verifiziert"},
        {{"--system", "nowhere.json", "props"}, "orvane: der BMC ist nicht erreichbar"},
        {{"diff", "old.jsonl", "new.jsonl"}, "orvane diff: old.jsonl kann nicht gelesen werden"},
    };
    for (const Case& c : cases) {
        const Result r = Orvane(c.args, "LC_ALL= LANGUAGE= LANG=de_DE.UTF-8 ");
        EXPECT_NE((r.out + r.err).find(c.german), std::string::npos) << c.args[0] << "\n"
                                                                     << r.out << r.err;
    }
}

} // namespace
