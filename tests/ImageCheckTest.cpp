// Raw images checked before write and restore FILE.bin put them on a
// device: refused unless sound or --force, and --dry-run's account of what
// would change. Runs the built command on a simulated BMC.
#include "device/ImageCheck.h"
#include "FruTestImages.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {
using FruTestImages::Area;
using FruTestImages::Header;
using FruTestImages::Put;
using Result = TestSupport::CommandResult;

// Board at 8, product at 48.
std::vector<uint8_t> Image(const std::string& maker, uint8_t productUnit = 6) {
    std::vector<uint8_t> image(128, 0xFF);
    Put(image, 0, Header(0, 0, 1, productUnit, 0));
    Put(image, 8, Area({0x01, 0, 0x19, 0x10, 0x20, 0x30}, {maker, "Card", "SN1", "PN1", ""}, 5));
    Put(image, productUnit * 8u,
        Area({0x01, 0, 0x19}, {"Acme", "Server", "M1", "V1", "PSN", "Asset", ""}, 6));
    return image;
}

TEST(ImageCheckTest, BadImagesAreRefusedUnlessForced) {
    const std::string dir = TestSupport::TempDir();
    const std::string json = R"({"controllers": [{"address": "0x20", "fru_devices": [{"id": 0,
        "image": "fru.bin"}]}], "sdr": [{"type": "mc_locator", "address": "0x20", "name": "BMC"}]})";
    TestSupport::WriteFile(dir + "/system.json", {json.begin(), json.end()});
    const auto run = [&](const std::string& args) {
        std::remove((dir + "/requests.log").c_str());
        return TestSupport::Orvane(dir, "--system system.json --backup-dir backups " + args,
                                   "ORVANE_SIM_LOG=requests.log");
    };
    std::vector<uint8_t> badProduct = Image("Acme");
    badProduct[60] ^= 0x20;
    std::vector<uint8_t> badHeader = Image("Acme");
    badHeader[7] ^= 0x01;
    const std::string text = "not a FRU image at all\n";
    const struct {
        const char* what;
        std::vector<uint8_t> image;
        const char* reason;
    } images[] = {
        {"text", {text.begin(), text.end()}, "does not hold an IPMI FRU image"},
        {"bad product checksum", badProduct, "its product area does not read"},
        {"bad header checksum", badHeader, "The common header of new.bin is invalid"},
    };
    for (const auto& c : images)
        for (const char* command : {"write 0 new.bin", "restore new.bin id:0"}) {
            SCOPED_TRACE(std::string(c.what) + ": " + command);
            const std::vector<uint8_t> before = Image("Acme");
            TestSupport::WriteFile(dir + "/fru.bin", before);
            TestSupport::WriteFile(dir + "/new.bin", c.image);
            for (const char* option : {"", " --dry-run"}) {
                Result r = run(command + std::string(option));
                EXPECT_EQ(r.code, 3) << r.err;
                EXPECT_NE(r.err.find(c.reason), std::string::npos) << r.err;
                EXPECT_EQ(TestSupport::ReadText(dir + "/requests.log").find(" cmd=12 "),
                          std::string::npos);
                EXPECT_EQ(TestSupport::ReadFile(dir + "/fru.bin"), before);
            }
            Result r = run(command + std::string(" --force"));
            EXPECT_EQ(r.code, 0) << r.err;
            // One warning line, before the device is read, and nothing else.
            EXPECT_EQ(r.err.rfind("orvane: warning: writing new.bin although", 0), 0u) << r.err;
            EXPECT_EQ(r.err.rfind("orvane: "), 0u) << r.err;
            std::vector<uint8_t> expected = before;
            std::copy(c.image.begin(), c.image.end(), expected.begin());
            EXPECT_EQ(TestSupport::ReadFile(dir + "/fru.bin"), expected);
        }

    // A sound image: --dry-run says which areas change and writes nothing.
    TestSupport::WriteFile(dir + "/fru.bin", Image("Acme"));
    TestSupport::WriteFile(dir + "/new.bin", Image("Bolt"));
    Result r = run("write id:0 new.bin --dry-run");
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("  common header          unchanged\n"
                         "  board area             changes: 5 of its 40 bytes at offset 8\n"
                         "  product area           unchanged (48 bytes at offset 48)\n"
                         "  outside the areas      unchanged\n"
                         "nothing was written (--dry-run)\n"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(TestSupport::ReadText(dir + "/requests.log").find(" cmd=12 "), std::string::npos);
    EXPECT_EQ(TestSupport::ReadFile(dir + "/fru.bin"), Image("Acme"));
}

// Moved, added and removed areas, and the header that says so.
TEST(ImageCheckTest, ChangesNameEachAreaOnce) {
    const auto before = Image("Acme");
    auto withoutProduct = before;
    Put(withoutProduct, 0, Header(0, 0, 1, 0, 0));
    const struct {
        std::vector<uint8_t> from, to;
        const char* line;
    } cases[] = {
        {before, Image("Acme", 7), "  common header          changes: 2 of its 8 bytes\n"},
        {before, Image("Acme", 7),
         "  product area           moves from offset 48 to 56 (48 bytes)\n"},
        {withoutProduct, before, "  product area           added at offset 48 (48 bytes)\n"},
        {before, withoutProduct,
         "  product area           removed from the header (was at offset 48)\n"},
    };
    for (const auto& c : cases)
        EXPECT_NE(ImageCheck::Changes(c.from, c.to).find(c.line), std::string::npos) << c.line;
}
} // namespace
