#include "fru/FruLocator.h"

#include <gtest/gtest.h>
#include <string>

// The locator keeps its own copy of a name, wide or narrow (widened through
// the running locale), frees a replaced one and refuses a null one.
TEST(FruLocatorTest, SetNameKeepsItsOwnCopy) {
    FruLocator locator;
    std::u16string text = u"Baseboard";
    ASSERT_EQ(0u, locator.SetName(text.c_str()));
    text[0] = u'X';
    EXPECT_EQ(u"Baseboard", std::u16string(locator.GetName()));
    ASSERT_EQ(0u, locator.SetName(u""));
    EXPECT_EQ(u"", std::u16string(locator.GetName()));
    ASSERT_EQ(0u, locator.SetName("Memory riser 2"));
    EXPECT_EQ(1u, locator.SetName(static_cast<const char16_t*>(nullptr)));
    EXPECT_EQ(1u, locator.SetName(static_cast<const char*>(nullptr)));
    EXPECT_EQ(u"Memory riser 2", std::u16string(locator.GetName()));
}
