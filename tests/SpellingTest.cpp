// Suggestions for mistyped names and names compared without regard to case.
#include "view/Spelling.h"

#include <gtest/gtest.h>

namespace {
TEST(SpellingTest, NearestKnownName) {
    const std::vector<std::string> known = {
        "show",   "scan",     "set", "save", "board.serial_number", "board.part_number",
        "--json", "--dry-run"};
    const struct {
        const char* typed;
        const char* nearest;
    } cases[] = {
        {"shwo", "show"},                               // two letters swapped
        {"sacn", "scan"},                               //
        {"sett", "set"},                                // one letter added
        {"Board.Serial_Number", "board.serial_number"}, // case alone
        {"board.serial", "board.serial_number"},        // a name begun
        {"board.prat_number", "board.part_number"},
        {"--jsno", "--json"},
        {"--dryrun", "--dry-run"},
        {"frobnicate", ""}, // nothing near
        {"xy", ""},         // too short to be begun
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Spelling::Nearest(c.typed, known), c.nearest) << c.typed;
    EXPECT_EQ(Spelling::DidYouMean("shwo", known), "; did you mean show?");
    EXPECT_EQ(Spelling::DidYouMean("frobnicate", known), "");
}

TEST(SpellingTest, SameIgnoresCaseOnly) {
    EXPECT_TRUE(Spelling::Same("Power Supply", "power SUPPLY"));
    EXPECT_FALSE(Spelling::Same("Power Supply", "Power Suppl"));
    EXPECT_FALSE(Spelling::Same("Power Supply", "PowerSupply "));
}
} // namespace
