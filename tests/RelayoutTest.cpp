// Growing and shrinking areas: images with every order of areas and with
// gaps, rebuilt and checked byte by byte and through the core's parse; the
// orvane command growing and shrinking board fields on simulated devices and
// image files, checked against FreeIPMI's ipmi-fru; refusals that write
// nothing.
#include "device/Relayout.h"
#include "FruTestImages.h"
#include "TestSupport.h"
#include "api/ImageModel.h"
#include "orvane/orvane.h"
#include "view/Text.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {
using namespace FruTestImages;
namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;
constexpr int32_t kInternal = ORVANE_AREA_INTERNAL_USE, kChassis = ORVANE_AREA_CHASSIS,
                  kBoard = ORVANE_AREA_BOARD, kProduct = ORVANE_AREA_PRODUCT,
                  kMulti = ORVANE_AREA_MULTIRECORD;
constexpr uint8_t kGapByte = 0xEE;

// A board area without padding (40 bytes); serial number "SN-1".
Bytes Board(const std::string& serial = "SN-1", const std::string& part = "PN-1",
            const std::string& product = "PSU-650", unsigned units = 5) {
    return Area({0x01, 0, 0x19, 0x10, 0x20, 0x30}, {"Orvane Power", product, serial, part, ""},
                units);
}

Bytes AreaOf(int32_t kind) {
    switch (kind) {
    case kInternal:
        return {0x01, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7,
                0xA8, 0xA9, 0xAA, 0xAB, 0xAC, 0xAD, 0xAE, 0xAF};
    case kChassis:
        return Area({0x01, 0, 0x17}, {"CH-PART", "CH-SN"}, 3);
    case kBoard:
        return Board();
    case kProduct:
        return Area({0x01, 0, 0x19}, {"Orvane", "PSU-650", "PN-9", "1.0", "PSN-7", "AT-1", ""}, 6);
    default: {
        Bytes chain = Record(0xC0, {0x57, 0x01, 0x00, 0x01}, false);
        const Bytes last = Record(0x01, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, true);
        chain.insert(chain.end(), last.begin(), last.end());
        return chain;
    }
    }
}

// An image of size bytes with the areas in this order from offset 8, each but
// the last followed by gapUnits units of kGapByte (the internal use area ends
// where the next begins); the multi-record area padded to whole units.
Bytes Build(const std::vector<int32_t>& order, unsigned gapUnits, size_t size) {
    Bytes image(size, 0xFF);
    uint8_t offsets[7] = {};
    size_t at = 8;
    for (int32_t kind : order) {
        const Bytes area = AreaOf(kind);
        offsets[kind] = static_cast<uint8_t>(at / 8);
        Put(image, at, area);
        at += (area.size() + 7) / 8 * 8;
        if (kind != kInternal && kind != order.back()) {
            std::fill_n(image.begin() + static_cast<long>(at), gapUnits * 8, kGapByte);
            at += gapUnits * 8;
        }
    }
    Put(image, 0,
        Header(offsets[kInternal], offsets[kChassis], offsets[kBoard], offsets[kProduct],
               offsets[kMulti]));
    return image;
}

// The rebuilt image of plan holds every area in its old order, each moved
// whole (the board area replaced by board), with the gaps between them as
// they were, the header's offsets and every checksum right.
void ExpectRebuilt(const Bytes& image, const Relayout::Plan& plan, const Bytes& board) {
    const Bytes& out = plan.image;
    ASSERT_EQ(out.size(), image.size());
    EXPECT_TRUE(ImageModel::ParseImage(out, u"test").accepted); // every checksum holds
    for (size_t i = 0; i < plan.after.size(); ++i) {
        const auto &old = plan.before[i], &now = plan.after[i];
        EXPECT_EQ(old.kind, now.kind);
        EXPECT_EQ(out[static_cast<size_t>(now.kind - 1)], now.offset / 8);
        const Bytes area(out.begin() + now.offset, out.begin() + now.offset + now.length);
        EXPECT_EQ(area, now.kind == kBoard ? board
                                           : Bytes(image.begin() + old.offset,
                                                   image.begin() + old.offset + old.length));
        if (i + 1 < plan.after.size()) {
            EXPECT_EQ(plan.before[i + 1].offset - (old.offset + old.length),
                      plan.after[i + 1].offset - (now.offset + now.length));
            EXPECT_TRUE(std::equal(out.begin() + now.offset + now.length,
                                   out.begin() + plan.after[i + 1].offset,
                                   image.begin() + old.offset + old.length));
        }
    }
}

TEST(RelayoutTest, EveryOrderWithGapsGrowsAndShrinksBack) {
    std::vector<int32_t> movable = {kChassis, kBoard, kProduct, kMulti};
    int layouts = 0;
    do {
        for (const bool internal : {false, true})
            for (const unsigned gap : {0u, 1u}) {
                std::vector<int32_t> order = movable;
                if (internal)
                    order.insert(order.begin(), kInternal);
                const Bytes image = Build(order, gap, 512);
                SCOPED_TRACE(Text::Hex(image.data(), 8));
                ++layouts;
                // 8 and 104 bytes more, all of them taken by fields.
                for (const Bytes& grownBoard :
                     {Board("SN-1ABCDEFGH", "PN-1", "PSU-650", 6),
                      Board("SN-1" + std::string(40, 'S'), "PN-1" + std::string(34, 'P'),
                            "PSU-650" + std::string(30, 'N'), 18)}) {
                    const Relayout::Plan grown =
                        Relayout::Rebuild(image, u"test", {{kBoard, grownBoard}}, 512);
                    ASSERT_EQ(grown.refusal, "");
                    ExpectRebuilt(image, grown, grownBoard);
                    // Shrinking back gives the image it started from, freed bytes FFh.
                    const Relayout::Plan back =
                        Relayout::Rebuild(grown.image, u"test", {{kBoard, Board()}}, 512);
                    ASSERT_EQ(back.refusal, "");
                    EXPECT_EQ(back.image, image);
                }
            }
    } while (std::next_permutation(movable.begin(), movable.end()));
    EXPECT_EQ(layouts, 96);
}

TEST(RelayoutTest, RefusalsNameWhatIsMissing) {
    const Bytes image = Build({kInternal, kBoard, kProduct, kMulti}, 0, 160);
    Bytes overlapping = image;
    Put(overlapping, 0, Header(1, 0, 3, 4, 0)); // product inside the board area
    Bytes far(4096, 0xFF);                      // product at the last offset a header gives
    Put(far, 0, Header(0, 0, 1, 255, 0));
    Put(far, 8, Board());
    Put(far, 2040, AreaOf(kProduct));
    const struct {
        Bytes image;
        Bytes board;
        uint32_t capacity;
        const char* refusal;
    } cases[] = {
        {image, Board("SN-1", "PN-1", "PSU-650", 6), 160, ""},
        {image, Board("SN-1", "PN-1", "PSU-650", 8), 160,
         "the image would need 162 bytes and the device holds 160: 2 bytes missing"},
        {image, Bytes(2048, 0), 4096, "2,040 bytes its length byte can give: 8 bytes missing"},
        {image, Board("SN-1", "PN-1", "PSU-650", 66), 4096,
         "past the 512 bytes of an area that Orvane reads back: 16 bytes missing"},
        {far, Board("SN-1", "PN-1", "PSU-650", 6), 4096,
         "the product area would start at byte 2048, past the 2,040 bytes the common header "
         "can point to: 8 bytes missing"},
        {overlapping, Board(), 160, "the product area is damaged"},
    };
    for (const auto& c : cases) {
        const Relayout::Plan plan =
            Relayout::Rebuild(c.image, u"test", {{kBoard, c.board}}, c.capacity);
        EXPECT_TRUE(*c.refusal ? plan.refusal.find(c.refusal) != std::string::npos
                               : plan.refusal.empty())
            << plan.refusal;
    }
}

// ipmi-fru's "FRU ...: value" lines of fru.bin without those of the given
// labels; empty when ipmi-fru is not installed.
std::vector<std::string> IpmiFru(const std::string& folder, const std::vector<std::string>& skip) {
    std::vector<std::string> lines = TestSupport::IpmiFru(folder + "/fru.bin");
    std::erase_if(lines, [&](const std::string& line) {
        return std::any_of(skip.begin(), skip.end(), [&](const std::string& label) {
            return line.starts_with("  " + label);
        });
    });
    return lines;
}

// The orvane command on a simulated BMC whose FRU device 1 ("FRU") is the
// image file fru.bin, every driver call logged to sim.log.
class RelayoutCommandTest : public ::testing::Test {
  protected:
    void SetUp() override { dir = TestSupport::TempDir(); }

    void WriteSystem(const Bytes& image) {
        TestSupport::WriteFile(dir + "/fru.bin", image);
        const std::string json =
            "{\"controllers\": [{\"address\": \"0x20\", \"fru_devices\": [{\"id\": 1, "
            "\"image\": \"fru.bin\", \"size\": " +
            std::to_string(image.size()) +
            "}]}], \"sdr\": [{\"type\": \"fru_locator\", \"access_address\": \"0x20\", "
            "\"device\": 1, \"logical\": true, \"name\": \"FRU\"}]}";
        TestSupport::WriteFile(dir + "/system.json", Bytes(json.begin(), json.end()));
        fs::remove(dir + "/sim.log");
    }

    // source: "--system system.json FRU" or "--image fru.bin".
    TestSupport::CommandResult Set(const std::string& source, const std::string& args) {
        return TestSupport::Orvane(dir, "--backup-dir backups set " + source + " " + args,
                                   "ORVANE_SIM_LOG=sim.log");
    }
    Bytes Image() { return TestSupport::ReadFile(dir + "/fru.bin"); }
    bool Wrote() {
        return TestSupport::ReadText(dir + "/sim.log").find("cmd=12") != std::string::npos;
    }

    std::string dir;
};

// In turn on one device: refusals and dry runs send no Write FRU Data and
// leave no backup; a grown board field moves the areas behind it, ipmi-fru
// reading every other field as before, and shrinking gives the image back.
TEST_F(RelayoutCommandTest, GrowsShrinksAndRefusesOnADevice) {
    // Board first, then the product and multi-record areas: 8 + 40 + 48 + 26
    // bytes on a device of 136.
    const Bytes image = Build({kBoard, kProduct, kMulti}, 0, 136);
    WriteSystem(image);
    const auto before = IpmiFru(dir, {"FRU Board Serial"});
    const struct {
        std::string args;
        TestSupport::Ending end;
    } steps[] = {
        {"SN-1ABCDEFGH --dry-run --grow",
         {0,
          "layout after the change:\n  area          offset  length\n  board              8      "
          "48\n  product           56      48\n  multirecord      104      26\n",
          ""}},
        {"SN-1ABCDEFGH --commit", {3, "", "can take at most 4 bytes"}},
        {std::string(40, 'S') + " --commit --grow",
         {3, "",
          "the image would need 162 bytes and the device holds 136: 26 bytes missing. Nothing "
          "was written."}},
        {"SN-2 --commit --dry-run",
         {0, "areas changed: board\nbytes that change: 2, in 2 ranges\n", ""}},
        {"SN-1ABCDEFGH --commit --grow", {0, "board area grows from 40 to 48", ""}},
        {"SN-1 --commit --shrink", {0, "wrote and verified 136 bytes", ""}},
    };
    for (const auto& step : steps) {
        fs::remove(dir + "/sim.log");
        TestSupport::Expect(Set("--system system.json FRU", "board.serial_number " + step.args),
                            step.end, step.args);
        const bool writes = step.end.code == 0 && step.args.find("--dry-run") == std::string::npos;
        EXPECT_EQ(Wrote(), writes) << step.args;
        if (!writes) {
            EXPECT_FALSE(fs::exists(dir + "/backups") && !fs::is_empty(dir + "/backups"));
        } else if (step.args.find("--grow") != std::string::npos) {
            EXPECT_EQ(IpmiFru(dir, {"FRU Board Serial"}), before);
        }
    }
    EXPECT_EQ(Image(), image);
}

// The real images beside the repository (or in ORVANE_CORPUS_DIR), on a copy
// with room behind the image: a board serial number that fits written in
// place, then grown past the area's padding and shrunk again; ipmi-fru reads
// every other field as before each time.
TEST_F(RelayoutCommandTest, CorpusImagesEditGrowAndShrinkAsIpmiFruSeesThem) {
    if (TestSupport::CorpusImages().empty() || !fs::exists("/usr/sbin/ipmi-fru"))
        GTEST_SKIP() << "no corpus or no ipmi-fru";
    const std::vector<std::string> serial = {"FRU Board Serial"};
    int edited = 0, grown = 0;
    for (const auto& path : TestSupport::CorpusImages()) {
        SCOPED_TRACE(path.filename().string());
        Bytes image = TestSupport::ReadFile(path.string());
        image.resize(std::max<size_t>(image.size(), 1024), 0xFF);
        TestSupport::WriteFile(dir + "/fru.bin", image);
        const auto show = TestSupport::Orvane(dir, "show --image fru.bin --json");
        const auto json = nlohmann::json::parse(show.out, nullptr, false);
        size_t limit = 0; // what the serial number can hold now
        if (!json.is_discarded() && json["frus"].at(0).value("editable", false))
            for (const auto& area : json["frus"].at(0)["areas"])
                for (const auto& f : area.value("fields", nlohmann::json::array()))
                    if (f["name"] == "board.serial_number")
                        limit = (f["hex"].get<std::string>().size() + 1) / 3 +
                                area["free_bytes"].get<size_t>();
        if (limit < 2)
            continue;
        const auto before = IpmiFru(dir, serial);
        const std::string fits = std::string("ORV12345").substr(0, std::min<size_t>(limit, 8));
        auto r = Set("--image fru.bin", "board.serial_number " + fits + " --commit");
        if (r.code != 0) {
            // A backup that cannot hold the image (a text field with a 00h
            // byte does not survive a configuration file) refuses the commit.
            EXPECT_NE(r.err.find("othing was written"), std::string::npos) << r.err;
            EXPECT_EQ(Image(), image) << r.err;
            continue;
        }
        ++edited;
        EXPECT_EQ(IpmiFru(dir, serial), before);
        const auto all = TestSupport::IpmiFru(dir + "/fru.bin");
        EXPECT_EQ(std::count(all.begin(), all.end(), "  FRU Board Serial Number: " + fits), 1);
        if (limit + 8 > 63)
            continue;
        r = Set("--image fru.bin",
                "board.serial_number ORV" + std::string(limit + 5, '7') + " --commit --grow");
        ASSERT_EQ(r.code, 0) << r.out << r.err;
        ++grown;
        EXPECT_EQ(IpmiFru(dir, serial), before);
        r = Set("--image fru.bin", "board.serial_number SN-SHORT --commit --shrink");
        ASSERT_EQ(r.code, 0) << r.out << r.err;
        EXPECT_EQ(IpmiFru(dir, serial), before);
    }
    EXPECT_GE(edited, 10);
    EXPECT_GE(grown, 5);
}
} // namespace
