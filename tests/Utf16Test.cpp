// The wide formatter and the locale conversions.
#include "support/Utf16.h"

#include <gtest/gtest.h>

#include <clocale>

namespace {

TEST(Utf16Test, FormatsLikePrintf) {
    EXPECT_EQ(Utf16::FormatString(u"%d|%5d|%-5d|%05d|%+d|%x|%X|%#x|%02X|%u|%i|%%|%c", -42, 7, 7, -7,
                                  3, 255, 255, 255, 10, 4000000000u, 12, u'Z'),
              u"-42|    7|7    |-0007|+3|ff|FF|0xff|0A|4000000000|12|%|Z");
    EXPECT_EQ(Utf16::FormatString(u"[%ls][%.2ls][%6ls][%-4ls][%hs]", u"wide", u"wide", u"ab", u"ab",
                                  "narrow"),
              u"[wide][wi][    ab][ab  ][narrow]");
    EXPECT_EQ(Utf16::FormatString(u"%02d/%02d/%04d %.3d", 1, 2, 1996, 5), u"01/02/1996 005");
}

TEST(Utf16Test, FormatNeverWritesPastItsCapacity) {
    char16_t buffer[8];
    for (char16_t& c : buffer)
        c = u'#';
    EXPECT_EQ(Utf16::Format(buffer, 5, u"%ls", u"abcdefgh"), 4u);
    EXPECT_EQ(std::u16string(buffer), u"abcd");
    EXPECT_EQ(buffer[5], u'#');
    EXPECT_EQ(Utf16::Format(buffer, 1, u"x"), 0u);
    EXPECT_EQ(buffer[0], 0);
}

TEST(Utf16Test, UnconvertibleBytesKeepTheirValue) {
    std::setlocale(LC_ALL, "C");
    const char bytes[] = {'A', '\x80', '\xFF', 'z'};
    std::u16string wide = Utf16::FromMultibyte(bytes, 4);
    EXPECT_EQ(wide, (std::u16string{u'A', 0x80, 0xFF, u'z'}));
    std::string back;
    ASSERT_TRUE(Utf16::ToMultibyte(wide.c_str(), back));
    EXPECT_EQ(back, std::string(bytes, 4));
    EXPECT_FALSE(Utf16::ToMultibyte(u"\u20AC", back)); // beyond one byte in "C"
}

TEST(Utf16Test, Utf8RoundTrip) {
    std::string text = "Gr\xC3\xB6\xC3\x9F"
                       "e \xE2\x82\xAC \xF0\x9F\x98\x80";
    std::u16string wide = Utf16::FromUtf8(text);
    EXPECT_EQ(wide.size(), 10u);
    EXPECT_EQ(Utf16::ToUtf8(wide), text);
}

} // namespace
