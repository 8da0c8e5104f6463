#include "fru/CFru.h"

#include "api/Frame.h"
#include "support/Utf16.h"
#include "tests/TestSupport.h"

#include <cstring>
#include <gtest/gtest.h>
#include <vector>

namespace {
class CFruTest : public ::testing::Test {
  protected:
    void SetUp() override {
        TestSupport::LoadEnglishCatalogue();
        Frame::ResetErrorBuffers();
    }
    // One record with a correct header and data checksum.
    static std::vector<uint8_t> Record(uint8_t type, std::vector<uint8_t> data, bool last) {
        uint8_t dataSum = 0;
        for (uint8_t b : data)
            dataSum = static_cast<uint8_t>(dataSum + b);
        std::vector<uint8_t> out = {type, static_cast<uint8_t>(last ? 0x82 : 0x02),
                                    static_cast<uint8_t>(data.size()),
                                    static_cast<uint8_t>(0x100 - dataSum), 0};
        out[4] = static_cast<uint8_t>(CFru::CalculateChecksum(out.data(), 4));
        out.insert(out.end(), data.begin(), data.end());
        return out;
    }
};
} // namespace

TEST_F(CFruTest, HeaderQueries) {
    CFru fru;
    const uint8_t header[8] = {0x01, 0, 0, 0x01, 0, 0, 0, 0xFE};
    ASSERT_EQ(0u, fru.DecodeHeader(header));
    EXPECT_TRUE(fru.header.IsValid());
    EXPECT_EQ(1u, fru.GetNumberOfAreas());
    EXPECT_TRUE(fru.HasBoardArea());
    EXPECT_FALSE(fru.HasInternalArea() || fru.HasChassisArea() || fru.HasProductArea() ||
                 fru.HasMultiRecArea());
    uint8_t out[8] = {};
    ASSERT_EQ(0u, fru.SerializeCommonHeader(out));
    EXPECT_EQ(0, std::memcmp(header, out, 8));
    EXPECT_EQ(0xC007002Fu, fru.SerializeCommonHeader(nullptr));
    fru.header.pad = 1;
    EXPECT_FALSE(fru.header.IsValid());
}

TEST_F(CFruTest, ComputeAreaLengthsAndOverallLength) {
    CFru fru;
    fru.header.boardOffset = 1;
    fru.header.productOffset = 6;
    ASSERT_EQ(0u, fru.ComputeAreaLengths(0x60));
    EXPECT_EQ(0x30u, fru.productArea.GetLength());
    EXPECT_EQ(0x28u, fru.boardArea.GetLength());
    EXPECT_EQ(0u, fru.chassisArea.GetLength());
    EXPECT_EQ(0u, fru.multiRecLength);
    EXPECT_EQ(0x60, fru.GetOverallLength());

    CFru empty;
    ASSERT_EQ(0u, empty.ComputeAreaLengths(0x60));
    EXPECT_EQ(8, empty.GetOverallLength());
}

TEST_F(CFruTest, DisplayName) {
    FruLocator locator;
    char16_t buffer[100];
    EXPECT_EQ(std::u16string(), CFru::GetFriendlyFruIdentifier(&locator, buffer, 99));
    EXPECT_EQ(std::u16string(), CFru::GetFriendlyFruIdentifier(nullptr, buffer, 200));
    locator.deviceId = 3;
    locator.bus = 2;
    EXPECT_EQ(Utf16::FormatString(Frame::GetString(134), 3u, 0x20u, 0x20u, 2u),
              CFru::GetFriendlyFruIdentifier(&locator, buffer, 200));
    const std::u16string longName(150, u'n');
    ASSERT_EQ(0u, locator.SetName(longName.c_str()));
    EXPECT_EQ(longName.substr(0, 99), CFru::GetFriendlyFruIdentifier(&locator, buffer, 200));
    ASSERT_EQ(0u, locator.SetName("Baseboard"));
    EXPECT_EQ(u"Baseboard", std::u16string(CFru::GetFriendlyFruIdentifier(&locator, buffer, 200)));
    EXPECT_EQ(1u, locator.SetName(static_cast<const char16_t*>(nullptr)));
    EXPECT_EQ(u"Baseboard", std::u16string(locator.GetName()));

    CFileHeader file;
    EXPECT_EQ(nullptr, file.GetLfName());
    EXPECT_FALSE(file.SetLfName(nullptr));
    EXPECT_TRUE(file.SetLfName("a"));
    EXPECT_TRUE(file.SetLfName("bb"));
    EXPECT_STREQ("bb", file.GetLfName());
}

TEST_F(CFruTest, MultiRecordChain) {
    CFru fru;
    const auto one = Record(0xC0, {1, 2, 3}, true);
    ASSERT_EQ(8u, one.size());
    ASSERT_EQ(0u, fru.SetMultiRecArea(one.data(), 8, 1));
    EXPECT_TRUE(fru.multiRecModified);
    ASSERT_NE(nullptr, fru.multiRecords);
    EXPECT_EQ(nullptr, fru.multiRecords->next);
    EXPECT_TRUE(fru.CheckMultiRecCheckSum());

    uint8_t out[64];
    uint32_t size = 4;
    EXPECT_EQ(0xC007002Fu, fru.SerializeMultiRecArea(out, &size));
    EXPECT_EQ(0u, size);
    size = 7;
    EXPECT_EQ(0xC007002Fu, fru.SerializeMultiRecArea(out, &size));
    EXPECT_EQ(0u, size);
    size = 8;
    ASSERT_EQ(0u, fru.SerializeMultiRecArea(out, &size));
    EXPECT_EQ(one, std::vector<uint8_t>(out, out + size));

    auto two = Record(0x01, {9, 9}, false);
    two.insert(two.end(), one.begin(), one.end());
    ASSERT_EQ(0u, fru.SetMultiRecArea(two.data(), static_cast<uint16_t>(two.size()), 0));
    EXPECT_FALSE(fru.multiRecModified);
    size = sizeof out;
    ASSERT_EQ(0u, fru.SerializeMultiRecArea(out, &size));
    EXPECT_EQ(two, std::vector<uint8_t>(out, out + size));
    two[6] ^= 1; // data of the first record
    ASSERT_EQ(0u, fru.SetMultiRecArea(two.data(), static_cast<uint16_t>(two.size()), 0));
    EXPECT_FALSE(fru.CheckMultiRecCheckSum());

    // A last record claiming more data than remains is cut at the end of the bytes.
    auto cut = Record(0x02, std::vector<uint8_t>(200, 7), true);
    cut.resize(20);
    ASSERT_EQ(0u, fru.SetMultiRecArea(cut.data(), 20, 1));
    ASSERT_NE(nullptr, fru.multiRecords);
    EXPECT_EQ(15u, fru.multiRecords->DataLength());
    size = sizeof out;
    ASSERT_EQ(0u, fru.SerializeMultiRecArea(out, &size));
    EXPECT_EQ(20u, size);
    EXPECT_FALSE(fru.CheckMultiRecCheckSum());
}
