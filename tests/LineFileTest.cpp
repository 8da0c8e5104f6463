// The line file: splitting at every kind of line end and the in-place edits.
#include "config/LineFile.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string>

namespace {
bool Open(LineFile& f, const std::string& text) {
    const std::string path = TestSupport::TempDir() + "/lines.txt";
    TestSupport::WriteFile(path, std::vector<uint8_t>(text.begin(), text.end()));
    return f.Open(path.c_str());
}

TEST(LineFileTest, EveryLineEndEndsOneLine) {
    LineFile f;
    EXPECT_FALSE(Open(f, ""));
    EXPECT_FALSE(f.Open("/no/such/file"));
    EXPECT_EQ(f.GetLine(0), nullptr);
    const struct {
        std::string text;
        std::vector<std::string> lines;
    } cases[] = {{"a\r\nb\n\rc\rd\ne", {"a", "b", "c", "d", "e"}},
                 {"A\n\nB\n", {"A", "", "B"}},
                 {"\r\r", {"", ""}}}; // two lone CRs: two empty lines
    for (const auto& c : cases) {
        ASSERT_TRUE(Open(f, c.text));
        std::vector<std::string> lines;
        for (uint32_t i = 0; i < f.GetNumLines(); ++i)
            lines.emplace_back(f.GetLine(i), f.GetLineLength(i));
        EXPECT_EQ(lines, c.lines);
    }
    EXPECT_EQ(f.GetLineLength(5), 0u);
}

TEST(LineFileTest, CommentsTrimsQuotesAndBlanks) {
    LineFile f;
    ASSERT_TRUE(Open(f, "  _FRU_TITLE 'x' // comment\n01  02\t 03\n''\n'a'b\n'//'\n"));
    f.CutAllAtSequence("//");
    f.TrimAll();
    EXPECT_EQ(std::string(f.GetLine(0), f.GetLineLength(0)), "_FRU_TITLE 'x'");
    EXPECT_STREQ(f.GetLine(0), "_FRU_TITLE 'x'");
    EXPECT_TRUE(f.Contains(0, "_FRU"));
    EXPECT_FALSE(f.Contains(0, "_fru"));
    EXPECT_STREQ(f.GetQuotedString(0, '\''), "x");
    f.RemoveBlanks(1);
    EXPECT_EQ(std::string(f.GetLine(1), f.GetLineLength(1)), "010203");
    EXPECT_STREQ(f.GetLine(1), "010203");
    EXPECT_STREQ(f.GetQuotedString(2, '\''), "");
    EXPECT_STREQ(f.GetQuotedString(3, '\''), "a");
    EXPECT_EQ(f.GetQuotedString(4, '\''), nullptr); // the comment took the closing quote
    EXPECT_EQ(f.GetQuotedString(0, '\0'), nullptr);
}

} // namespace
