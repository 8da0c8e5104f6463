#include "fru/CInternalUseArea.h"

#include "support/Frame.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

TEST(CInternalUseAreaTest, RendersBlankSeparatedUppercaseHex) {
    CInternalUseArea area;
    const uint8_t bytes[] = {0x01, 0x0A, 0xFF};
    ASSERT_TRUE(area.SetData(bytes, 3, 0));
    EXPECT_EQ(1u, area.GetNumberOfFields());
    EXPECT_EQ(std::u16string(u"01 0A FF"), area.GetFieldValueFromIndex(0));
    const uint8_t one[] = {0x7F};
    ASSERT_TRUE(area.SetData(one, 1, 0));
    EXPECT_EQ(std::u16string(u"7F"), area.GetFieldValueFromIndex(0));
    EXPECT_EQ(nullptr, area.GetFieldValueFromIndex(1));
}

TEST(CInternalUseAreaTest, SizeLimitAndModifiedFlag) {
    CInternalUseArea area;
    std::vector<uint8_t> full(512, 0xAB), over(513, 0xCD);
    ASSERT_TRUE(area.SetData(full.data(), 512, 0));
    EXPECT_FALSE(area.IsModified());
    EXPECT_FALSE(area.SetData(over.data(), 513, 1));
    EXPECT_EQ(512u, area.GetLength());
    EXPECT_EQ(0xAB, area.GetData()[511]);
    EXPECT_FALSE(area.IsModified());
    // The last byte of a full area renders without a trailing blank.
    std::u16string text = area.GetFieldValueFromIndex(0);
    EXPECT_EQ(512u * 3 - 1, text.size());

    const uint8_t small[] = {1, 2};
    ASSERT_TRUE(area.SetData(small, 2, 1));
    EXPECT_TRUE(area.IsModified());
    EXPECT_EQ(0, area.GetData()[2]); // the rest is zeroed
    ASSERT_TRUE(area.SetData(small, 2, 0));
    EXPECT_TRUE(area.IsModified()); // a 0 flag keeps the mark
    ASSERT_TRUE(area.SetData(nullptr, 0, 0));
    EXPECT_EQ(0u, area.GetNumberOfFields());
    EXPECT_EQ(nullptr, area.GetFieldValueFromIndex(0));
}

TEST(CInternalUseAreaTest, OneFieldOfEnumeratorOne) {
    TestSupport::LoadEnglishCatalogue();
    CInternalUseArea area;
    EXPECT_EQ(0u, area.GetFieldIndexFromEnum(1));
    EXPECT_EQ(0xFFFFFFFFu, area.GetFieldIndexFromEnum(2));
    EXPECT_EQ(Frame::GetString(9), area.GetFieldTitleFromIndex(0));
    EXPECT_EQ(nullptr, area.GetFieldTitleFromIndex(1));
}
