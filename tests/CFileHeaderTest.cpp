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

TEST(CFileHeaderTest, EachSetterCopiesIntoItsOwnFieldAndRefusesNull) {
    CFileHeader header;
    EXPECT_FALSE(header.SetLfName(nullptr));
    EXPECT_TRUE(header.SetIpmiVersion("2.0"));
    EXPECT_EQ("-|-|-|2.0|", Texts(header));
    std::string name = "first";
    EXPECT_TRUE(header.SetLfName(name.c_str()));
    name[0] = 'X';
    EXPECT_TRUE(header.SetLfVersion("1.3"));
    EXPECT_TRUE(header.SetLfFmtVersion("1"));
    EXPECT_EQ("first|1.3|1|2.0|", Texts(header));
    // Shorter, longer and empty replacements; the old texts are freed. A null
    // text is refused and the old one kept.
    for (const char* text : {"bb", "a much longer name", ""})
        EXPECT_TRUE(header.SetLfName(text));
    EXPECT_FALSE(header.SetLfName(nullptr));
    EXPECT_FALSE(header.SetLfVersion(nullptr));
    EXPECT_FALSE(header.SetLfFmtVersion(nullptr));
    EXPECT_FALSE(header.SetIpmiVersion(nullptr));
    EXPECT_EQ("|1.3|1|2.0|", Texts(header));
}
