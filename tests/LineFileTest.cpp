// The line file: splitting at every kind of line end and the in-place edits.
#include "config/LineFile.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string>

namespace {
std::string Path(const std::string& text) {
    const std::string path = TestSupport::TempDir() + "/lines.txt";
    TestSupport::WriteFile(path, std::vector<uint8_t>(text.begin(), text.end()));
    return path;
}

std::vector<std::string> Lines(LineFile& f) {
    std::vector<std::string> out;
    for (uint32_t i = 0; i < f.GetNumLines(); ++i)
        out.emplace_back(f.GetLine(i), f.GetLineLength(i));
    return out;
}

TEST(LineFileTest, EveryLineEndEndsOneLine) {
    LineFile f;
    EXPECT_FALSE(f.Open(Path("").c_str()));
    EXPECT_FALSE(f.Open("/no/such/file"));
    EXPECT_EQ(f.GetLine(0), nullptr);
    ASSERT_TRUE(f.Open(Path("a\r\nb\n\rc\rd\ne").c_str()));
    EXPECT_EQ(Lines(f), (std::vector<std::string>{"a", "b", "c", "d", "e"}));
    ASSERT_TRUE(f.Open(Path("A\n\nB\n").c_str()));
    EXPECT_EQ(Lines(f), (std::vector<std::string>{"A", "", "B"}));
    ASSERT_TRUE(f.Open(Path("\r\r").c_str())); // two lone CRs: two empty lines
    EXPECT_EQ(f.GetNumLines(), 2u);
    EXPECT_EQ(f.GetLineLength(5), 0u);
}

TEST(LineFileTest, CommentsTrimsQuotesAndBlanks) {
    LineFile f;
    ASSERT_TRUE(f.Open(Path("  _FRU_TITLE 'x' // comment\n01  02\t 03\n''\n'a'b\n'//'\n").c_str()));
    f.CutAllAtSequence("//");
    f.TrimAll();
    EXPECT_EQ(std::string(f.GetLine(0)), "_FRU_TITLE 'x'");
    EXPECT_EQ(f.GetLineLength(0), 14u);
    EXPECT_TRUE(f.Contains(0, "_FRU"));
    EXPECT_FALSE(f.Contains(0, "_fru"));
    EXPECT_EQ(std::string(f.GetQuotedString(0, '\'')), "x");
    f.RemoveBlanks(1);
    EXPECT_EQ(std::string(f.GetLine(1)), "010203");
    EXPECT_EQ(f.GetLineLength(1), 6u);
    EXPECT_EQ(std::string(f.GetQuotedString(2, '\'')), "");
    EXPECT_EQ(std::string(f.GetQuotedString(3, '\'')), "a");
    EXPECT_EQ(f.GetQuotedString(4, '\''), nullptr); // the comment took the closing quote
    EXPECT_EQ(f.GetQuotedString(0, '\0'), nullptr);
}

} // namespace
