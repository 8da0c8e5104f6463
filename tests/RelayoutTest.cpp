// Growing and shrinking areas: images with every order of areas and with
// gaps, rebuilt and checked byte by byte and through the core's parse; the
// orvane command growing and shrinking board fields on simulated devices and
// image files, checked against FreeIPMI's ipmi-fru; refusals that write
// nothing.
#include "Relayout.h"
#include "FruTestImages.h"
#include "TestSupport.h"
#include "Text.h"
#include "orvane/orvane.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
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

// An image of size bytes with the areas in this order from offset 8, each
// but the last followed by gapUnits units of kGapByte (the internal use area ends where
// the next begins); the multi-record area is padded to whole units with FFh.
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

bool SumsToZero(const Bytes& image, size_t offset, size_t length) {
    uint8_t sum = 0;
    for (size_t i = offset; i < offset + length; ++i)
        sum = static_cast<uint8_t>(sum + image[i]);
    return sum == 0;
}

// Every info and multi-record area but the board area as the core parses it: kind, field bytes and
// type/length bytes.
std::vector<std::pair<int32_t, std::vector<Bytes>>> OtherAreas(const Bytes& image) {
    const CoreAccess::ImageView view = CoreAccess::ParseImage(image, u"test");
    EXPECT_TRUE(view.accepted);
    std::vector<std::pair<int32_t, std::vector<Bytes>>> areas;
    for (const auto& a : view.areas) {
        // The core reads the internal use area up to the next area by kind,
        // which may lie past the board area; its bytes are compared by extent.
        if (a.kind == kBoard || a.kind == kInternal)
            continue;
        std::vector<Bytes> fields = {a.kind == kMulti ? a.bytes : Bytes{}};
        for (const auto& f : a.fields) {
            fields.push_back(f.data);
            fields.push_back({f.typeLength});
        }
        areas.push_back({a.kind, fields});
    }
    return areas;
}

// The rebuilt image of plan holds every area in its old order, each moved
// whole (the board area replaced by board), with the gaps between them as
// they were, the header's offsets and every checksum right.
void ExpectRebuilt(const Bytes& image, const Relayout::Plan& plan, const Bytes& board) {
    const Bytes& out = plan.image;
    ASSERT_EQ(out.size(), image.size());
    EXPECT_TRUE(SumsToZero(out, 0, 8));
    for (size_t i = 0; i < plan.after.size(); ++i) {
        const auto &old = plan.before[i], &now = plan.after[i];
        EXPECT_EQ(old.kind, now.kind);
        EXPECT_EQ(out[static_cast<size_t>(now.kind - 1)], now.offset / 8);
        const Bytes area(out.begin() + now.offset, out.begin() + now.offset + now.length);
        EXPECT_EQ(area, now.kind == kBoard ? board
                                           : Bytes(image.begin() + old.offset,
                                                   image.begin() + old.offset + old.length));
        if (now.kind != kInternal && now.kind != kMulti) {
            EXPECT_TRUE(SumsToZero(out, now.offset, now.length));
        }
        if (i + 1 < plan.after.size()) {
            EXPECT_EQ(plan.before[i + 1].offset - (old.offset + old.length),
                      plan.after[i + 1].offset - (now.offset + now.length));
            EXPECT_TRUE(std::equal(out.begin() + now.offset + now.length,
                                   out.begin() + plan.after[i + 1].offset,
                                   image.begin() + old.offset + old.length));
        }
    }
}

class RelayoutTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { TestSupport::LoadEnglishCatalogue(); }
};

TEST_F(RelayoutTest, LengthsAndTheirBounds) {
    const struct {
        uint32_t length;
        int32_t pad;
        uint32_t needed, grown, shrunk;
    } lengths[] = {{40, 0, 1, 48, 40},  {40, 0, 8, 48, 40},      {40, 0, 100, 144, 40},
                   {40, 4, 4, 40, 40},  {40, 4, 5, 48, 40},      {64, 23, 0, 64, 48},
                   {64, -2, 1, 72, 64}, {2040, 0, 1, 2048, 2040}};
    for (const auto& c : lengths) {
        EXPECT_EQ(Relayout::GrownLength(c.length, c.pad, c.needed), c.grown) << c.length;
        EXPECT_EQ(Relayout::ShrunkLength(c.length, c.pad), c.shrunk) << c.length;
    }
    const struct {
        int32_t kind;
        uint32_t length;
        const char* problem; // "" none
    } bounds[] = {{kBoard, 512, ""},
                  {kBoard, 520, "512 bytes of an area that Orvane reads back: 8 bytes missing"},
                  {kProduct, 2040, "512 bytes of an area that Orvane reads back: 1528 bytes"},
                  {kChassis, 2048, "2,040 bytes its length byte can give: 8 bytes missing"},
                  {kBoard, 2100, "the board area would need 2100 bytes, past the 2,040"},
                  {kMulti, 4000, ""}};
    for (const auto& b : bounds) {
        const std::string problem = Relayout::LengthProblem(b.kind, b.length);
        EXPECT_TRUE(*b.problem ? problem.find(b.problem) != std::string::npos : problem.empty())
            << b.length << ": " << problem;
    }
}

TEST_F(RelayoutTest, EveryOrderWithGapsGrowsAndShrinksBack) {
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
                    const Bytes& out = grown.image;
                    ExpectRebuilt(image, grown, grownBoard);
                    EXPECT_EQ(OtherAreas(out), OtherAreas(image));
                    // Shrinking back gives the image it started from, freed bytes FFh.
                    const Relayout::Plan back =
                        Relayout::Rebuild(out, u"test", {{kBoard, Board()}}, 512);
                    ASSERT_EQ(back.refusal, "");
                    EXPECT_EQ(back.image, image);
                }
            }
    } while (std::next_permutation(movable.begin(), movable.end()));
    EXPECT_EQ(layouts, 96);
}

TEST_F(RelayoutTest, RefusalsNameWhatIsMissing) {
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

// ipmi-fru's "FRU ...: value" lines of an image file, in order; empty when
// ipmi-fru is not installed.
std::vector<std::string> IpmiFru(const std::string& folder, const std::string& file) {
    std::vector<std::string> lines;
    const auto r = TestSupport::RunIn(folder, "/usr/sbin/ipmi-fru -v --fru-file=" +
                                                  TestSupport::ShellQuote(file));
    for (size_t pos = 0; pos < r.out.size();) {
        size_t end = std::min(r.out.find('\n', pos), r.out.size());
        const std::string line = r.out.substr(pos, end - pos);
        if (line.find("FRU ") != std::string::npos || line.find("rror") != std::string::npos)
            lines.push_back(line);
        pos = end + 1;
    }
    return lines;
}

// The lines without those of the given labels.
std::vector<std::string> Without(std::vector<std::string> lines,
                                 const std::vector<std::string>& labels) {
    std::erase_if(lines, [&](const std::string& l) {
        return std::any_of(labels.begin(), labels.end(), [&](const std::string& label) {
            return l.find("  " + label + ":") == 0;
        });
    });
    return lines;
}

bool HaveIpmiFru() {
    return fs::exists("/usr/sbin/ipmi-fru");
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
        return TestSupport::RunIn(
            dir, "ORVANE_SIM_LOG=sim.log " +
                     TestSupport::ShellQuote(std::string(ORVANE_BUILD_DIR) + "/orvane") +
                     " --backup-dir backups set " + source + " " + args);
    }
    Bytes Image() { return TestSupport::ReadFile(dir + "/fru.bin"); }
    bool Wrote() {
        return TestSupport::ReadText(dir + "/sim.log").find("cmd=12") != std::string::npos;
    }

    std::string dir;
};

TEST_F(RelayoutCommandTest, BoardFieldsGrowBy1And8And100BytesAndShrinkBack) {
    const std::string longSerial = "SN-1" + std::string(40, 'S'),
                      longPart = "PN-1" + std::string(30, 'P'),
                      longProduct = "PSU-650" + std::string(30, 'N');
    const struct {
        std::vector<int32_t> order;
        unsigned gap;
        const char* source;
    } layouts[] = {
        {{kBoard, kProduct, kMulti}, 0, "--system system.json FRU"},
        {{kInternal, kChassis, kProduct, kBoard}, 1, "--system system.json FRU"},
        {{kChassis, kMulti, kBoard, kProduct}, 1, "--image fru.bin"},
        {{kInternal, kProduct, kBoard, kMulti, kChassis}, 1, "--image fru.bin"},
    };
    const struct {
        const char* name;
        std::vector<std::pair<std::string, std::string>> grown, original;
        std::vector<std::string> labels;
    } growths[] = {
        {"by 1",
         {{"board.serial_number", "SN-12"}},
         {{"board.serial_number", "SN-1"}},
         {"FRU Board Serial Number"}},
        {"by 8",
         {{"board.serial_number", "SN-1ABCDEFGH"}},
         {{"board.serial_number", "SN-1"}},
         {"FRU Board Serial Number"}},
        {"by 100",
         {{"board.serial_number", longSerial},
          {"board.part_number", longPart},
          {"board.product_name", longProduct}},
         {{"board.serial_number", "SN-1"},
          {"board.part_number", "PN-1"},
          {"board.product_name", "PSU-650"}},
         {"FRU Board Serial Number", "FRU Board Part Number", "FRU Board Product Name"}},
    };
    auto args = [](const auto& fields) {
        std::string text;
        for (const auto& [field, value] : fields)
            text += field + " " + value + " ";
        return text;
    };
    for (const auto& layout : layouts)
        for (const auto& growth : growths) {
            const Bytes image = Build(layout.order, layout.gap, 512);
            SCOPED_TRACE(Text::Hex(image.data(), 8) + " " + growth.name);
            WriteSystem(image);
            const auto before = IpmiFru(dir, "fru.bin");
            auto r = Set(layout.source, args(growth.grown) + "--commit --grow");
            ASSERT_EQ(r.code, 0) << r.out << r.err;
            EXPECT_NE(r.out.find("board area grows from 40 to"), std::string::npos) << r.out;
            EXPECT_NE(r.out.find("wrote and verified 512 bytes"), std::string::npos) << r.out;
            if (HaveIpmiFru()) {
                const auto after = IpmiFru(dir, "fru.bin");
                EXPECT_EQ(Without(after, growth.labels), Without(before, growth.labels));
                for (const auto& [field, value] : growth.grown)
                    EXPECT_NE(std::find_if(after.begin(), after.end(),
                                           [&](const std::string& l) {
                                               return l.size() > value.size() + 2 &&
                                                      l.ends_with(": " + value);
                                           }),
                              after.end())
                        << value;
            }
            r = Set(layout.source, args(growth.original) + "--commit --shrink");
            ASSERT_EQ(r.code, 0) << r.out << r.err;
            EXPECT_EQ(Image(), image);
        }
}

TEST_F(RelayoutCommandTest, RefusalsAndDryRunsWriteNothing) {
    // Board first, then the product and multi-record areas: 8 + 40 + 48 + 26
    // bytes on a device of 136.
    const Bytes image = Build({kBoard, kProduct, kMulti}, 0, 136);
    const struct {
        std::string args;
        int code;
        const char* out;
        const char* err;
    } cases[] = {
        {"board.serial_number SN-1ABCDEFGH --commit --grow", 0, "wrote and verified", ""},
        {"board.serial_number " + std::string(40, 'S') + " --commit --grow", 3, "",
         "the image would need 162 bytes and the device holds 136: 26 bytes missing. Nothing "
         "was written."},
        {"board.serial_number SN-1ABCDEFGH --dry-run --grow", 0,
         "layout after the change:\n  area          offset  length\n  board              8      "
         "48\n  product           56      48\n  multirecord      104      26\n",
         ""},
        {"board.serial_number SN-1ABCDEFGH --commit", 3, "", "can take at most 4 bytes"},
        {"board.serial_number SN-1 --commit --dry-run", 2, "", "--dry-run shows what"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        WriteSystem(image);
        fs::remove_all(dir + "/backups");
        const auto r = Set("--system system.json FRU", c.args);
        EXPECT_EQ(r.code, c.code) << r.out << r.err;
        EXPECT_NE(r.out.find(c.out), std::string::npos) << r.out;
        EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
        if (c.code == 0 && c.args.find("--commit") != std::string::npos)
            continue;
        EXPECT_FALSE(Wrote()); // no Write FRU Data request at all
        EXPECT_EQ(Image(), image);
        EXPECT_FALSE(fs::exists(dir + "/backups") && !fs::is_empty(dir + "/backups"));
    }
}

// The real images beside the repository (or in ORVANE_CORPUS_DIR): a board serial number grown past
// the area's padding on a copy with room behind the image, then shrunk.
TEST_F(RelayoutCommandTest, CorpusImagesGrowAndShrinkAsIpmiFruSeesThem) {
    const char* named = std::getenv("ORVANE_CORPUS_DIR");
    const fs::path corpus =
        named ? fs::path(named) : fs::path(ORVANE_SOURCE_DIR).parent_path() / "shared" / "corpus";
    if (!fs::exists(corpus) || !HaveIpmiFru())
        GTEST_SKIP() << "no corpus at " << corpus << " or no ipmi-fru";
    const std::vector<std::string> serialLabel = {"FRU Board Serial Number"};
    int grown = 0;
    for (const auto& e : fs::directory_iterator(corpus)) {
        if (e.path().extension() != ".bin")
            continue;
        SCOPED_TRACE(e.path().filename().string());
        Bytes image = TestSupport::ReadFile(e.path().string());
        image.resize(std::max<size_t>(image.size(), 1024), 0xFF);
        TestSupport::WriteFile(dir + "/fru.bin", image);
        const auto show = TestSupport::RunIn(
            dir, TestSupport::ShellQuote(std::string(ORVANE_BUILD_DIR) + "/orvane") +
                     " show --image fru.bin --json");
        const auto json = nlohmann::json::parse(show.out, nullptr, false);
        if (json.is_discarded() || !json["frus"].at(0).value("editable", false))
            continue;
        size_t limit = 0;
        for (const auto& area : json["frus"].at(0)["areas"])
            for (const auto& f : area.value("fields", nlohmann::json::array()))
                if (f["name"] == "board.serial_number")
                    limit = (f["hex"].get<std::string>().size() + 1) / 3 +
                            area["free_bytes"].get<size_t>();
        if (limit == 0 || limit + 8 > 63)
            continue;
        const auto before = IpmiFru(dir, "fru.bin");
        const std::string serial = "ORV" + std::string(limit + 8 - 3, '7');
        auto r = Set("--image fru.bin", "board.serial_number " + serial + " --commit --grow");
        if (r.code != 0 && r.err.find("othing was written") != std::string::npos) {
            // A backup that cannot hold the image (a text field with a 00h
            // byte does not survive a configuration file) refuses the commit.
            EXPECT_EQ(Image(), image) << r.err;
            continue;
        }
        ASSERT_EQ(r.code, 0) << r.out << r.err;
        ++grown;
        const auto after = IpmiFru(dir, "fru.bin");
        EXPECT_EQ(Without(after, serialLabel), Without(before, serialLabel));
        EXPECT_NE(std::find(after.begin(), after.end(), "  FRU Board Serial Number: " + serial),
                  after.end());
        r = Set("--image fru.bin", "board.serial_number SN-SHORT --commit --shrink");
        ASSERT_EQ(r.code, 0) << r.out << r.err;
        EXPECT_EQ(Without(IpmiFru(dir, "fru.bin"), serialLabel), Without(before, serialLabel));
    }
    EXPECT_GE(grown, 5);
}
} // namespace
