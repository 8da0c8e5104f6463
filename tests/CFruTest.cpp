#include "fru/CFru.h"

#include "support/Frame.h"
#include "support/Utf16.h"
#include "tests/FruTestImages.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>
#include <vector>

namespace {
using FruTestImages::Record;

std::vector<uint8_t> Serialized(const CFru& fru, uint32_t capacity = 64, uint32_t status = 0) {
    uint8_t out[64];
    uint32_t size = capacity;
    EXPECT_EQ(status, fru.SerializeMultiRecArea(out, &size)) << capacity;
    return {out, out + size};
}
} // namespace

TEST(CFruTest, HeaderQueriesCountEachOffsetOnce) {
    CFru fru;
    const uint8_t header[8] = {0x01, 0, 0, 0x01, 0, 0, 0, 0xFE};
    ASSERT_EQ(0u, fru.DecodeHeader(header));
    EXPECT_EQ(1u, fru.GetNumberOfAreas());
    EXPECT_TRUE(fru.HasBoardArea());
    EXPECT_FALSE(fru.HasInternalArea() || fru.HasChassisArea() || fru.HasProductArea() ||
                 fru.HasMultiRecArea());
    uint8_t out[8] = {};
    ASSERT_EQ(0u, fru.SerializeCommonHeader(out));
    EXPECT_EQ(FruTestImages::Bytes(header, 8), FruTestImages::Bytes(out, 8));
    EXPECT_EQ(ORVANE_E_INTERNAL, fru.SerializeCommonHeader(nullptr));
    const uint8_t all[8] = {0x01, 1, 2, 3, 4, 5, 0, 0xF0};
    ASSERT_EQ(0u, fru.DecodeHeader(all));
    EXPECT_EQ(5u, fru.GetNumberOfAreas());
    EXPECT_TRUE(fru.HasInternalArea() && fru.HasChassisArea() && fru.HasBoardArea() &&
                fru.HasProductArea() && fru.HasMultiRecArea());
}

TEST(CFruTest, AreaLengthsRunToTheNextAreaOrTheEnd) {
    // Board at 8 and product at 0x30 of 0x60 bytes; chassis at 8, board at
    // 0x10, product at 0x20, records at 0x60 of 0x80; no areas at all.
    const struct {
        uint8_t chassis, board, product, records;
        uint16_t size;
        std::vector<uint32_t> lengths; // chassis, board, product, records
        int32_t overall;
    } cases[] = {{0, 1, 6, 0, 0x60, {0, 0x28, 0x30, 0}, 0x60},
                 {1, 2, 4, 0x0C, 0x80, {0x08, 0x10, 0x40, 0x20}, 0x80},
                 {0, 0, 0, 0, 0x60, {0, 0, 0, 0}, 8}};
    for (const auto& c : cases) {
        CFru fru;
        const uint8_t header[8] = {0x01, 0, c.chassis, c.board, c.product, c.records, 0, 0};
        ASSERT_EQ(0u, fru.DecodeHeader(header));
        ASSERT_EQ(0u, fru.ComputeAreaLengths(c.size));
        EXPECT_EQ(c.lengths,
                  std::vector<uint32_t>({fru.chassisArea.GetLength(), fru.boardArea.GetLength(),
                                         fru.productArea.GetLength(), fru.multiRecLength}));
        EXPECT_EQ(c.overall, fru.GetOverallLength());
    }
    // A length that is no whole number of units is refused; the area keeps its own.
    CFru odd;
    odd.header.productOffset = 6;
    ASSERT_TRUE(odd.productArea.SetLength(0x18));
    ASSERT_EQ(0u, odd.ComputeAreaLengths(0x63));
    EXPECT_EQ(0x18u, odd.productArea.GetLength());
}

TEST(CFruTest, DisplayNameIsTheLocatorsNameOrItsAddress) {
    TestSupport::LoadEnglishCatalogue();
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

    CFru fru;
    const char16_t* name = u"unset";
    ASSERT_EQ(0u, fru.GetFruNameString(&name));
    EXPECT_EQ(nullptr, name);
    ASSERT_EQ(0u, fru.locator.SetName(u"PSU"));
    ASSERT_EQ(0u, fru.GetFruNameString(&name));
    EXPECT_EQ(u"PSU", std::u16string(name));
}

TEST(CFruTest, MultiRecordChain) {
    CFru fru;
    const auto one = Record(0xC0, {1, 2, 3}, true);
    ASSERT_EQ(0u, fru.SetMultiRecArea(one.data(), 8, 1));
    EXPECT_TRUE(fru.multiRecModified);
    ASSERT_NE(nullptr, fru.multiRecords);
    EXPECT_EQ(nullptr, fru.multiRecords->next);
    EXPECT_TRUE(fru.CheckMultiRecCheckSum());
    // Too small for the header or the data: nothing.
    for (uint32_t capacity : {4u, 7u})
        EXPECT_TRUE(Serialized(fru, capacity, ORVANE_E_INTERNAL).empty());
    EXPECT_EQ(one, Serialized(fru, 8));

    auto two = Record(0x01, {9, 9}, false);
    two.insert(two.end(), one.begin(), one.end());
    ASSERT_EQ(0u, fru.SetMultiRecArea(two.data(), static_cast<uint16_t>(two.size()), 0));
    EXPECT_FALSE(fru.multiRecModified);
    EXPECT_EQ(two, Serialized(fru));
    two[6] ^= 1; // data of the first record
    ASSERT_EQ(0u, fru.SetMultiRecArea(two.data(), static_cast<uint16_t>(two.size()), 0));
    EXPECT_FALSE(fru.CheckMultiRecCheckSum());

    // A last record claiming more data than remains is cut at the end of the bytes.
    auto cut = Record(0x02, std::vector<uint8_t>(200, 7), true);
    cut.resize(20);
    ASSERT_EQ(0u, fru.SetMultiRecArea(cut.data(), 20, 1));
    ASSERT_NE(nullptr, fru.multiRecords);
    EXPECT_EQ(15u, fru.multiRecords->DataLength());
    EXPECT_EQ(20u, Serialized(fru).size());
    EXPECT_FALSE(fru.CheckMultiRecCheckSum());

    // An empty area: no records, and the checksum test passes.
    ASSERT_EQ(0u, fru.SetMultiRecArea(nullptr, 0, 1));
    EXPECT_EQ(nullptr, fru.multiRecords);
    EXPECT_TRUE(fru.CheckMultiRecCheckSum());
    EXPECT_TRUE(Serialized(fru).empty());
    uint8_t out[8];
    EXPECT_EQ(ORVANE_E_INTERNAL, fru.SerializeMultiRecArea(out, nullptr));
}
