#include "fru/FruLocator.h"

#include <gtest/gtest.h>
#include <string>

TEST(FruLocatorTest, SetNameKeepsItsOwnCopy) {
    FruLocator locator;
    std::u16string text = u"Baseboard";
    ASSERT_EQ(0u, locator.SetName(text.c_str()));
    text[0] = u'X';
    EXPECT_EQ(u"Baseboard", std::u16string(locator.GetName()));

    // A replaced name is freed (the sanitizers report it otherwise).
    ASSERT_EQ(0u, locator.SetName(u"PSU 1"));
    EXPECT_EQ(u"PSU 1", std::u16string(locator.GetName()));
    ASSERT_EQ(0u, locator.SetName(u""));
    EXPECT_EQ(u"", std::u16string(locator.GetName()));
    // A narrow name is widened through the running locale.
    ASSERT_EQ(0u, locator.SetName("Memory riser 2"));
    EXPECT_EQ(u"Memory riser 2", std::u16string(locator.GetName()));
    // Null names are refused and change nothing.
    EXPECT_EQ(1u, locator.SetName(static_cast<const char16_t*>(nullptr)));
    EXPECT_EQ(1u, locator.SetName(static_cast<const char*>(nullptr)));
    EXPECT_EQ(u"Memory riser 2", std::u16string(locator.GetName()));
}
