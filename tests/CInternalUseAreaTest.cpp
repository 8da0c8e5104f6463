#include "fru/CInternalUseArea.h"

#include "support/Frame.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

// One field of enumerator 1: the bytes as blank-separated uppercase hex.
TEST(CInternalUseAreaTest, OneHexFieldOfAtMost512Bytes) {
    TestSupport::LoadEnglishCatalogue();
    CInternalUseArea area;
    EXPECT_EQ(0u, area.GetFieldIndexFromEnum(1));
    EXPECT_EQ(0xFFFFFFFFu, area.GetFieldIndexFromEnum(2));
    EXPECT_EQ(Frame::GetString(9), area.GetFieldTitleFromIndex(0));
    EXPECT_EQ(nullptr, area.GetFieldTitleFromIndex(1));
    const uint8_t bytes[] = {0x01, 0x0A, 0xFF};
    ASSERT_TRUE(area.SetData(bytes, 3, 0));
    EXPECT_EQ(1u, area.GetNumberOfFields());
    EXPECT_EQ(std::u16string(u"01 0A FF"), area.GetFieldValueFromIndex(0));
    EXPECT_EQ(nullptr, area.GetFieldValueFromIndex(1));

    std::vector<uint8_t> full(512, 0xAB), over(513, 0xCD);
    ASSERT_TRUE(area.SetData(full.data(), 512, 0));
    EXPECT_FALSE(area.SetData(over.data(), 513, 1));
    EXPECT_EQ(512u, area.GetLength());
    EXPECT_EQ(0xAB, area.GetData()[511]);
    EXPECT_FALSE(area.IsModified());
    // The last byte of a full area renders without a trailing blank.
    EXPECT_EQ(512u * 3 - 1, std::u16string(area.GetFieldValueFromIndex(0)).size());

    ASSERT_TRUE(area.SetData(bytes, 1, 1));
    EXPECT_TRUE(area.IsModified());
    EXPECT_EQ(std::u16string(u"01"), area.GetFieldValueFromIndex(0));
    EXPECT_EQ(0, area.GetData()[1]); // the rest is zeroed
    ASSERT_TRUE(area.SetData(bytes, 2, 0));
    EXPECT_TRUE(area.IsModified()); // a 0 flag keeps the mark
    ASSERT_TRUE(area.SetData(nullptr, 0, 0));
    EXPECT_EQ(0u, area.GetNumberOfFields());
    EXPECT_EQ(nullptr, area.GetFieldValueFromIndex(0));
}
