#include "fru/CFileHeader.h"

#include <gtest/gtest.h>
#include <string>

// Each setter copies into its own field (the four texts in field order, "-"
// for an empty one), frees the text it replaces and refuses null.
TEST(CFileHeaderTest, EachSetterCopiesIntoItsOwnFieldAndRefusesNull) {
    CFileHeader header;
    auto texts = [&header] {
        std::string out;
        for (const char* text : {header.GetLfName(), header.GetLfVersion(),
                                 header.GetLfFmtVersion(), header.GetIpmiVersion()})
            out += std::string(text ? text : "-") + "|";
        return out;
    };
    EXPECT_TRUE(header.SetIpmiVersion("2.0"));
    EXPECT_EQ("-|-|-|2.0|", texts());
    std::string name = "first";
    EXPECT_TRUE(header.SetLfName(name.c_str()));
    name[0] = 'X';
    EXPECT_TRUE(header.SetLfVersion("1.3"));
    EXPECT_TRUE(header.SetLfFmtVersion("1"));
    EXPECT_EQ("first|1.3|1|2.0|", texts());
    for (const char* text : {"bb", "a much longer name", ""})
        EXPECT_TRUE(header.SetLfName(text));
    EXPECT_FALSE(header.SetLfName(nullptr) || header.SetLfVersion(nullptr) ||
                 header.SetLfFmtVersion(nullptr) || header.SetIpmiVersion(nullptr));
    EXPECT_EQ("|1.3|1|2.0|", texts());
}
