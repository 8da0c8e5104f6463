// Damaged FRU images that the test builds from a sound one: what show reads
// of each (fields, problems, exit code), what repair does (the bytes it fixes,
// or a refusal that leaves the image as it was), and the repaired image as
// show and FreeIPMI's ipmi-fru read it. The real images of the corpus: show
// and repair --dry-run of each, and a board serial edit of an image whose
// internal use area lies after the other areas.
#include "FruTestImages.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <vector>

namespace {
using namespace FruTestImages;
namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;
using nlohmann::json;

constexpr size_t kBoard = 8, kProduct = 48, kMulti = 96, kRecord2 = kMulti + 9;

// Board at 8 (40 bytes), product at 48 (48 bytes), two records at 96, FFh to 128.
Bytes Sound() {
    Bytes image(128, 0xFF);
    Put(image, 0, Header(0, 0, 1, 6, 12));
    Put(image, kBoard,
        Area({0x01, 0, 0x19, 0x10, 0x20, 0x30}, {"Orvane Power", "PSU-650", "SN-1", "PN-1", ""},
             5));
    Put(image, kProduct,
        Area({0x01, 0, 0x19}, {"Orvane", "PSU-650", "PN-9", "1.0", "PSN-7", "AT-1", ""}, 6));
    Put(image, kMulti, Record(0xC0, {0x57, 0x01, 0x00, 0x01}, false));
    Put(image, kRecord2, Record(0xC1, {0x57, 0x01, 0x00, 4, 5, 6, 7, 8, 9, 10, 11, 12}, true));
    return image;
}

void FixHeader(Bytes& image) {
    Put(image, 0, Header(image[1], image[2], image[3], image[4], image[5]));
}

class SalvageTest : public ::testing::Test {
  protected:
    void SetUp() override { dir = TestSupport::TempDir(); }
    TestSupport::CommandResult Orvane(const std::string& args) {
        return TestSupport::Orvane(dir, "--backup-dir backups " + args);
    }
    json Show(int* code) {
        const auto r = Orvane("show --image fru.bin --json");
        *code = r.code;
        return json::parse(r.out, nullptr, false);
    }
    Bytes Image() { return TestSupport::ReadFile(dir + "/fru.bin"); }
    std::string dir;
};

// Every info area field as "name=hex=value", or every record's data bytes.
std::vector<std::string> Fields(const json& show, bool records = false) {
    std::vector<std::string> out;
    for (const auto& area : show["frus"][0]["areas"]) {
        for (const auto& f : area.value("fields", json::array()))
            if (!records)
                out.push_back(f["name"].get<std::string>() + "=" + f["hex"].get<std::string>() +
                              "=" + f["value"].get<std::string>());
        for (const auto& r : area.value("records", json::array()))
            if (records) // without the header
                out.push_back(r["hex"].get<std::string>().substr(15));
    }
    return out;
}

bool Contains(const std::vector<std::string>& all, const std::string& one) {
    return std::find(all.begin(), all.end(), one) != all.end();
}

// Each area's problem codes as "kind:code", and the header's as "fru:code".
std::set<std::string> Problems(const json& show) {
    std::set<std::string> out;
    const json& fru = show["frus"][0];
    for (const auto& p : fru.value("problems", json::array()))
        out.insert("fru:" + p["code"].get<std::string>());
    for (const auto& area : fru["areas"])
        for (const auto& p : area.value("problems", json::array()))
            out.insert(area["kind"].get<std::string>() + ":" + p["code"].get<std::string>());
    return out;
}

TEST_F(SalvageTest, DamagedImagesShowWhatCanBeReadAndRepairOnlyWhatIsSure) {
    const Bytes sound = Sound();
    TestSupport::WriteFile(dir + "/fru.bin", sound);
    int code = -1;
    const json base = Show(&code);
    ASSERT_EQ(code, 0);
    const struct {
        std::set<std::string> problems;
        const char* text;       // in the show text
        size_t fields;          // info area fields shown (the sound image has 13)
        std::set<size_t> fixed; // bytes the repair changes; empty: refused
        bool backToSound;       // the repaired image is the sound one
        std::function<void(Bytes&)> damage;
    } cases[] = {
        {{"board:checksum"},
         "its checksum (byte 47) is",
         13,
         {kBoard + 39},
         true,
         [](Bytes& b) { b[kBoard + 39] ^= 0x5A; }},
        {{"fru:header_checksum"}, "the header needs", 13, {7}, true, [](Bytes& b) { b[7] ^= 1; }},
        {{"product:length", "product:overlap"},
         "it declares 384 bytes; 80 of them",
         13,
         {kProduct + 1, kProduct + 47},
         true,
         [](Bytes& b) { b[kProduct + 1] = 0x30, b[kProduct + 47] = 0; }}, // over-long length
        {{"board:end_marker", "board:checksum"},
         "no end marker (C1h) before byte 48",
         13,
         {},
         false,
         [](Bytes& b) { b[kBoard + 38] = 0x00; }},
        {{"product:format_version", "product:overlap", "product:length", "product:end_marker"},
         "inside the declared bytes 8 to 47",
         7,
         {},
         false,
         [](Bytes& b) { b[4] = 5, FixHeader(b); }}, // the product area inside the board's bytes
        {{"multirecord:records"},
         "its data checksum is",
         13,
         {kMulti + 3, kMulti + 4, kRecord2 + 4},
         false,
         [](Bytes& b) { b[kMulti + 5] ^= 0xFF, b[kRecord2 + 4] ^= 0x01; }},
        {{"multirecord:records"},
         "marked as the last one",
         13,
         {kRecord2 + 1, kRecord2 + 4},
         true,
         [](Bytes& b) { b[kRecord2 + 1] = 0x02, b[kRecord2 + 4] += 0x80; }}, // last one unmarked
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        Bytes damaged = sound;
        c.damage(damaged);
        TestSupport::WriteFile(dir + "/fru.bin", damaged);
        const json shown = Show(&code);
        EXPECT_EQ(code, 4);
        EXPECT_EQ(Problems(shown), c.problems);
        EXPECT_EQ(Orvane("show --image fru.bin --strict").code, 4);
        const auto text = Orvane("show --image fru.bin");
        EXPECT_NE(text.out.find(c.text), std::string::npos) << text.out;
        EXPECT_EQ(text.err, "");
        const auto fields = Fields(shown), records = Fields(shown, true);
        EXPECT_EQ(fields.size(), c.fields);
        for (const auto& f : fields) // every field read is the sound image's
            EXPECT_TRUE(c.fixed.empty() || Contains(Fields(base), f)) << f;
        const auto dry = Orvane("repair --image fru.bin --dry-run");
        EXPECT_EQ(Image(), damaged);
        const auto repair = Orvane("repair --image fru.bin");
        if (c.fixed.empty()) {
            EXPECT_EQ(dry.code, 3);
            EXPECT_EQ(repair.code, 3) << repair.out;
            EXPECT_NE(repair.err.find("nothing was written"), std::string::npos) << repair.err;
            EXPECT_EQ(Image(), damaged);
            continue;
        }
        ASSERT_EQ(repair.code, 0) << repair.out << repair.err;
        EXPECT_EQ(dry.code, 0);
        EXPECT_NE(dry.out.find("nothing was written (--dry-run)"), std::string::npos);
        const Bytes repaired = Image();
        std::set<size_t> changed;
        for (size_t i = 0; i < repaired.size(); ++i)
            if (repaired[i] != damaged[i]) {
                changed.insert(i);
                char line[32];
                std::snprintf(line, sizeof line, "0x%04zX  %02X -> %02X", i, damaged[i],
                              repaired[i]);
                EXPECT_NE(dry.out.find(line), std::string::npos) << dry.out;
            }
        EXPECT_EQ(changed, c.fixed);
        if (c.backToSound) {
            EXPECT_EQ(repaired, sound);
        }
        const json after = Show(&code);
        EXPECT_EQ(code, 0);
        EXPECT_EQ(Fields(after), fields); // what the salvage view showed, byte for byte
        for (const auto& r : Fields(after, true))
            EXPECT_TRUE(Contains(records, r)) << r;
        if (fs::exists("/usr/sbin/ipmi-fru")) {
            const auto peer = TestSupport::RunIn(dir, "/usr/sbin/ipmi-fru --fru-file=fru.bin");
            EXPECT_EQ(peer.code, 0) << peer.out << peer.err;
            EXPECT_EQ(peer.out.find("rror"), std::string::npos) << peer.out;
            EXPECT_NE(peer.out.find("FRU Board Serial Number: SN-1"), std::string::npos);
        }
    }
}

// Every real image: show reads it (exit 4 when damaged, nothing on standard
// error), repair --dry-run fixes or refuses without writing; the image whose
// internal use area lies last takes a board serial number edit.
TEST_F(SalvageTest, CorpusImagesShowRepairAndEdit) {
    const auto images = TestSupport::CorpusImages();
    if (images.empty())
        GTEST_SKIP() << "no corpus";
    int repaired = 0, refused = 0;
    for (const auto& path : images) {
        SCOPED_TRACE(path.filename().string());
        const Bytes image = TestSupport::ReadFile(path.string());
        TestSupport::WriteFile(dir + "/fru.bin", image);
        EXPECT_EQ(Orvane("show --image fru.bin").err, "");
        const auto dry = Orvane("repair --image fru.bin --dry-run");
        EXPECT_TRUE(dry.code == 0 || dry.code == 3) << dry.out << dry.err;
        repaired += dry.out.find("(--dry-run)") != std::string::npos;
        refused += dry.code == 3;
        EXPECT_EQ(Image(), image);
    }
    EXPECT_EQ(repaired, 1); // the product checksum of meta-tiogapass-bmc.bin
    EXPECT_EQ(refused, 1);  // the image that is no IPMI FRU image

    fs::copy_file(images[0].parent_path() / "dell-frutool-basic-all-2018.bin", dir + "/fru.bin",
                  fs::copy_options::overwrite_existing);
    auto expected = TestSupport::IpmiFru(dir + "/fru.bin");
    const auto r = Orvane("set --image fru.bin board.serial_number ORV-20261208 --commit");
    TestSupport::Expect(r, {0, "writes the image raw", ""}, "raw edit");
    EXPECT_NE(r.out.find("wrote and verified 1024 bytes"), std::string::npos) << r.out;
    for (auto& line : expected)
        if (line.find("Serial Number: board-serial") != std::string::npos)
            line.replace(line.find("board-serial"), 12, "ORV-20261208");
    EXPECT_EQ(TestSupport::IpmiFru(dir + "/fru.bin"), expected);
}

// A damaged device is repaired by its name: the one Write FRU Data request
// carries the fixed checksum byte alone, and a refused repair sends none.
TEST_F(SalvageTest, RepairOfADeviceWritesTheFixedBytesOnly) {
    Bytes damaged = Sound();
    damaged[kBoard + 39] ^= 0x5A;
    TestSupport::SimulatedSystem bmc(
        R"({"controllers": [{"address": "0x20", "fru_devices": [{"id": 1, "image": "fru.bin"}]}],
            "sdr": [{"type": "fru_locator", "access_address": "0x20", "device": 1,
                     "logical": true, "name": "FRU"}]})",
        {{"fru.bin", damaged}});
    auto writes = [&] {
        std::vector<std::string> lines;
        for (const auto& line : bmc.Log(true))
            if (line.find(" cmd=12 ") != std::string::npos)
                lines.push_back(line);
        return lines;
    };
    auto r = Orvane("repair FRU --dry-run");
    EXPECT_EQ(r.code, 0) << r.out << r.err;
    EXPECT_TRUE(writes().empty());
    r = Orvane("repair FRU");
    ASSERT_EQ(r.code, 0) << r.out << r.err;
    char request[64];
    std::snprintf(request, sizeof request, "send rs=20 netfn=0A lun=00 cmd=12 data=[01 2F 00 %02X]",
                  Sound()[kBoard + 39]);
    EXPECT_EQ(writes(), std::vector<std::string>{request});
    EXPECT_EQ(bmc.File("fru.bin"), Sound());

    damaged[kBoard + 38] = 0x00; // no end marker: refused
    TestSupport::WriteFile(bmc.dir + "/fru.bin", damaged);
    bmc.ClearLog();
    r = Orvane("repair FRU");
    EXPECT_EQ(r.code, 3);
    EXPECT_TRUE(writes().empty());
    EXPECT_EQ(bmc.File("fru.bin"), damaged);
}
} // namespace
