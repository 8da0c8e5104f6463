#include "fru/CFileHeader.h"

#include <gtest/gtest.h>
#include <string>

namespace {
// The four texts in field order, "-" for an empty one.
std::string Texts(const CFileHeader& header) {
    std::string out;
    for (const char* text : {header.GetLfName(), header.GetLfVersion(), header.GetLfFmtVersion(),
                             header.GetIpmiVersion()})
        out += std::string(text ? text : "-") + "|";
    return out;
}
} // namespace

TEST(CFileHeaderTest, EachSetterFillsItsOwnFieldAndRefusesNull) {
    CFileHeader header;
    EXPECT_FALSE(header.SetLfName(nullptr));
    EXPECT_EQ("-|-|-|-|", Texts(header));
    EXPECT_TRUE(header.SetIpmiVersion("2.0"));
    EXPECT_EQ("-|-|-|2.0|", Texts(header));
    EXPECT_TRUE(header.SetLfVersion("1.3"));
    EXPECT_TRUE(header.SetLfFmtVersion("1"));
    EXPECT_TRUE(header.SetLfName("Baseboard FRU"));
    EXPECT_EQ("Baseboard FRU|1.3|1|2.0|", Texts(header));
    // A null text is refused and the old one kept.
    EXPECT_FALSE(header.SetLfName(nullptr));
    EXPECT_FALSE(header.SetLfVersion(nullptr));
    EXPECT_FALSE(header.SetLfFmtVersion(nullptr));
    EXPECT_FALSE(header.SetIpmiVersion(nullptr));
    EXPECT_EQ("Baseboard FRU|1.3|1|2.0|", Texts(header));
}

TEST(CFileHeaderTest, SettersCopyAndReplace) {
    CFileHeader header;
    std::string text = "first";
    ASSERT_TRUE(header.SetLfName(text.c_str()));
    text[0] = 'X';
    EXPECT_STREQ("first", header.GetLfName());
    // Shorter and longer replacements; the old texts are freed.
    ASSERT_TRUE(header.SetLfName("bb"));
    EXPECT_STREQ("bb", header.GetLfName());
    ASSERT_TRUE(header.SetLfName("a much longer name"));
    EXPECT_STREQ("a much longer name", header.GetLfName());
    ASSERT_TRUE(header.SetLfName(""));
    ASSERT_NE(nullptr, header.GetLfName());
    EXPECT_STREQ("", header.GetLfName());
}
