// Whole images read from a device into a CFru and committed back.
#include "system/FruImage.h"
#include "FruTestImages.h"
#include "TestSupport.h"
#include "fru/CFru.h"
#include "orvane/orvane.h"

#include <gtest/gtest.h>

namespace {

using FruTestImages::Bytes;
using TestSupport::SimulatedSystem;

// The board and product areas at 8 and 40, a multi-record of one record at 80.
std::vector<uint8_t> Image() {
    std::vector<uint8_t> image = FruTestImages::Image(false);
    FruTestImages::Put(image, 0, FruTestImages::Header(0, 0, 1, 5, 10));
    FruTestImages::Put(image, 80, FruTestImages::Record(0x00, {0x11, 0x22}, true));
    return image;
}

class FruImageTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(Initialize(nullptr), ORVANE_OK); }
    void TearDown() override { DeInitialize(nullptr); }
    FruLocator locator; // the BMC's own FRU device 0
};

// The read takes every declared area byte for byte; a commit of a product
// change writes eight bytes at a time from the header to the product area's
// end, the board area included.
TEST_F(FruImageTest, ReadsEveryAreaAndCommitsUpToTheChangedOne) {
    const std::vector<uint8_t> image = Image();
    SimulatedSystem bmc(image);
    CFru fru;
    ASSERT_EQ(FruImage::LoadFromSystem(fru, &locator), 0u);
    EXPECT_EQ(Bytes(fru.boardArea.GetData(), 32), Bytes(image.data() + 8, 32));
    EXPECT_EQ(Bytes(fru.productArea.GetData(), 40), Bytes(image.data() + 40, 40));
    ASSERT_NE(fru.multiRecords, nullptr);
    EXPECT_EQ(fru.multiRecLength, 7);
    EXPECT_EQ(fru.multiRecords->data[1], 0x22);

    const uint8_t tag[] = {'N', 'e', 'w'};
    ASSERT_TRUE(fru.productArea.SetFieldData(5, tag, 3, 0xC0));
    bmc.ClearLog();
    ASSERT_EQ(FruImage::WriteToSystem(fru, nullptr), 0u);
    std::string writes;
    for (const std::string& line : bmc.Log(true))
        if (line.find("cmd=12") != std::string::npos)
            writes += line.substr(40, 8) + "|";
    EXPECT_EQ(writes, "00 00 00|00 08 00|00 10 00|00 18 00|00 20 00|00 28 00|00 30 00|00 38 00|"
                      "00 40 00|00 48 00|");
    // The asset tag's data follows the product header and five fields.
    const auto device = bmc.File("fru0.bin");
    EXPECT_EQ(std::string(device.begin() + 66, device.begin() + 69), "New");
}

// Each progress text of a commit comes right after the hook names the area
// it reports: the first line, the header, the internal use, chassis and board
// steps, and the multi-record area when it is written.
std::vector<std::pair<int32_t, std::u16string>> g_progress;
int32_t g_kind = -1;

TEST_F(FruImageTest, TheCommitNamesTheAreaOfEveryProgressText) {
    TestSupport::LoadEnglishCatalogue();
    SimulatedSystem bmc(Image());
    CFru fru;
    ASSERT_EQ(FruImage::LoadFromSystem(fru, &locator), 0u);
    for (bool records : {false, true}) {
        fru.multiRecModified = records;
        g_progress.clear();
        FruImage::SetCommitAreaHook([](int32_t kind) { g_kind = kind; });
        ASSERT_EQ(FruImage::WriteToSystem(fru,
                                          [](uint32_t, const char16_t* text, uint32_t, uint32_t) {
                                              g_progress.emplace_back(g_kind, text);
                                              g_kind = -1;
                                          }),
                  0u);
        FruImage::SetCommitAreaHook(nullptr);
        std::vector<int32_t> kinds;
        for (const auto& [kind, text] : g_progress)
            kinds.push_back(kind);
        std::vector<int32_t> expected = {0, ORVANE_AREA_COMMON_HEADER, ORVANE_AREA_INTERNAL_USE,
                                         ORVANE_AREA_CHASSIS, ORVANE_AREA_BOARD};
        if (records)
            expected.push_back(ORVANE_AREA_MULTIRECORD);
        EXPECT_EQ(kinds, expected) << records;
        ASSERT_GE(g_progress.size(), 2u);
        EXPECT_NE(g_progress[0].second, g_progress[1].second);
    }
}

TEST_F(FruImageTest, BadHeadersAndOversizedAreasAreRefused) {
    struct Case {
        size_t at;
        uint8_t value;
        uint32_t status;
        size_t requests; // 0: not checked
    } cases[] = {
        {0, 0x02, ORVANE_E_NOT_IPMI_FRU, 0},
        {0, 0x09, ORVANE_E_HEADER_CHECKSUM, 0}, // only bits 2..0 are the version; checksum off
        // A board area of 2040 bytes is refused after the header and the
        // area's first two bytes, before it is read.
        {8 + 1, 0xFF, ORVANE_E_BAD_BOARD_AREA, 2}};
    for (const Case& c : cases) {
        std::vector<uint8_t> image = Image();
        image[c.at] = c.value;
        SimulatedSystem bmc(image);
        CFru fru;
        EXPECT_EQ(FruImage::LoadFromSystem(fru, &locator), c.status) << c.at;
        if (c.requests) {
            EXPECT_EQ(bmc.Log().size(), c.requests);
        }
    }
}

TEST_F(FruImageTest, ACommitEndingPastTheLastDeviceOffsetWritesNothing) {
    // Records that end exactly at the last offset are committed; one byte
    // more and not even the header goes out.
    struct Case {
        uint32_t nvsType;
        uint32_t imageEnd;
        bool written;
    } cases[] = {{2, 0x10000, true}, {2, 0x10001, false}, {1, 0x100, true}, {1, 0x101, false}};
    for (const Case& c : cases) {
        // Devices without an inventory size to go by: only the last offset
        // bounds them. The DS1624S is the same device seen on private bus 0.
        SimulatedSystem bmc(R"({"controllers": [{"address": "0x20",
            "fru_devices": [{"id": 0, "size": 65536}],
            "i2c_devices": [{"address": "0x20", "kind": "DS1624S", "size": 256}]}],
            "faults": [{"match": {"command": "0x10"}, "completion_code": "0xC1"}]})");
        CFru fru;
        ASSERT_EQ(FruImage::LoadFromSystem(fru, &locator), ORVANE_E_NOT_IPMI_FRU); // a blank device
        fru.locator.nvsType = c.nvsType;
        fru.locator.bus = c.nvsType == 1 ? 1 : 0xFF;
        fru.header.multiRecOffset = 1;
        const std::vector<uint8_t> records = FruTestImages::Records(c.imageEnd - 8);
        ASSERT_EQ(fru.SetMultiRecArea(records.data(), static_cast<uint16_t>(records.size()), 1),
                  0u);
        ASSERT_EQ(fru.GetLaidOutLength(), c.imageEnd);
        bmc.ClearLog();
        EXPECT_EQ(FruImage::WriteToSystem(fru, nullptr), c.written ? 0u : ORVANE_E_SYSTEM_WRITE);
        EXPECT_EQ(!bmc.Log().empty(), c.written) << c.imageEnd;
    }
}

} // namespace
