// The wide formatter and the locale conversions.
#include "support/Utf16.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>
#include <vector>

namespace {

TEST(Utf16Test, FormatsLikePrintfWithinItsCapacity) {
    EXPECT_EQ(Utf16::FormatString(u"%d|%5d|%-5d|%05d|%+d|%x|%X|%#x|%02X|%u|%i|%%|%c", -42, 7, 7, -7,
                                  3, 255, 255, 255, 10, 4000000000u, 12, u'Z'),
              u"-42|    7|7    |-0007|+3|ff|FF|0xff|0A|4000000000|12|%|Z");
    EXPECT_EQ(Utf16::FormatString(u"[%ls][%.2ls][%6ls][%-4ls][%hs]", u"wide", u"wide", u"ab", u"ab",
                                  "narrow"),
              u"[wide][wi][    ab][ab  ][narrow]");
    EXPECT_EQ(Utf16::FormatString(u"%02d/%02d/%04d %.3d", 1, 2, 1996, 5), u"01/02/1996 005");
    // Never past the capacity, the terminator included.
    char16_t buffer[8];
    for (char16_t& c : buffer)
        c = u'#';
    EXPECT_EQ(Utf16::Format(buffer, 5, u"%ls", u"abcdefgh"), 4u);
    EXPECT_EQ(std::u16string(buffer), u"abcd");
    EXPECT_EQ(buffer[5], u'#');
    EXPECT_EQ(Utf16::Format(buffer, 1, u"x"), 0u);
    EXPECT_EQ(buffer[0], 0);
}

// Typed arguments: a directive reads an argument only when one of its kind is
// next; otherwise it stays in the text as written and nothing is read.
TEST(Utf16Test, TypedArgumentsAreNeverReadAsAnotherKind) {
    using A = Utf16::Argument;
    const A number{A::kNumber, 42}, wide{A::kWide, 0, u"w"}, narrow{A::kNarrow, 0, u"", "n"};
    struct Case {
        const char16_t* format;
        std::vector<A> args;
        std::u16string expected;
    } cases[] = {
        {u"%d|%ls|%hs", {number, wide, narrow}, u"42|w|n"},
        {u"%ls", {number}, u"%ls"},     // a number is no pointer
        {u"%d", {wide}, u"%d"},         // nor a pointer a number
        {u"%ls %ls", {wide}, u"w %ls"}, // more directives than arguments
        {u"%*d", {number}, u"%*d"},     // the width takes the number, none is left
        {u"%-4hs|%03X", {narrow, number}, u"n   |02A"},
        {u"%hs", {wide, narrow}, u"%hs"}, // the next argument decides
        {u"100%", {}, u"100%"},
    };
    for (const Case& c : cases) {
        char16_t out[32];
        Utf16::FormatArguments(out, 32, c.format, c.args.data(), c.args.size());
        EXPECT_EQ(std::u16string(out), c.expected)
            << std::string(c.expected.begin(), c.expected.end());
    }
    // Misaligned texts are not read.
    alignas(char16_t) char bytes[8] = {'x', 'A', 0, 'B', 0, 0, 0, 0};
    const auto* odd = reinterpret_cast<const char16_t*>(bytes + 1);
    char16_t out[16];
    EXPECT_EQ(Utf16::Format(out, 16, odd), 0u);
    const A misaligned{A::kWide, 0, odd};
    Utf16::FormatArguments(out, 16, u"[%ls]", &misaligned, 1);
    EXPECT_EQ(std::u16string(out), u"[(null)]");
}

TEST(Utf16Test, ConversionsKeepEveryCharacter) {
    std::setlocale(LC_ALL, "C");
    const char bytes[] = {'A', '\x80', '\xFF', 'z'};
    std::u16string wide = Utf16::FromMultibyte(bytes, 4);
    EXPECT_EQ(wide, (std::u16string{u'A', 0x80, 0xFF, u'z'}));
    std::string back;
    ASSERT_TRUE(Utf16::ToMultibyte(wide.c_str(), back));
    EXPECT_EQ(back, std::string(bytes, 4));
    EXPECT_FALSE(Utf16::ToMultibyte(u"\u20AC", back)); // beyond one byte in "C"
    const std::string text = "Gr\xC3\xB6\xC3\x9F"
                             "e \xE2\x82\xAC \xF0\x9F\x98\x80";
    EXPECT_EQ(Utf16::FromUtf8(text).size(), 10u);
    EXPECT_EQ(Utf16::ToUtf8(Utf16::FromUtf8(text)), text);
}

} // namespace
