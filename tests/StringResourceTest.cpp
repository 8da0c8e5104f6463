// The catalogue reader's validation rules, on catalogues built by the test.
#include "support/StringResource.h"
#include "TestSupport.h"
#include "orvane/orvane.h"
#include "support/CatalogueSignatures.h"
#include "support/Frame.h"
#include "support/Trace.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using Words = std::vector<uint16_t>;

// The words of a valid catalogue of the given texts, its check word last.
Words Of(const std::vector<std::u16string>& texts) {
    const std::vector<uint8_t> bytes = TestSupport::CatalogueBytes(texts);
    Words words;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
        words.push_back(static_cast<uint16_t>(bytes[i] | bytes[i + 1] << 8));
    return words;
}
// The words and the check word that makes their sum 0.
Words Sealed(Words words) {
    uint16_t sum = 0;
    for (uint16_t w : words)
        sum = static_cast<uint16_t>(sum + w);
    words.push_back(static_cast<uint16_t>(0x10000 - sum));
    return words;
}
std::vector<uint8_t> BytesOf(const Words& words) {
    std::vector<uint8_t> bytes;
    for (uint16_t w : words)
        bytes.insert(bytes.end(), {static_cast<uint8_t>(w), static_cast<uint8_t>(w >> 8)});
    return bytes;
}
std::u16string Write(const std::vector<uint8_t>& bytes) {
    const std::string path = TestSupport::TempDir() + "/c.str";
    TestSupport::WriteFile(path, bytes);
    return TestSupport::Wide(path);
}

// 139 entries, each with the directives its index takes, one replaced.
std::vector<std::u16string> Fitting(uint32_t index, const std::u16string& text) {
    std::vector<std::u16string> texts;
    for (uint32_t i = 0; i < 139; ++i) {
        std::u16string t = u"entry";
        for (const char* k = CatalogueSignatures::Arguments(i); *k; ++k)
            t += *k == 'n' ? u" %d" : *k == 'w' ? u" %ls" : u" %hs";
        texts.push_back(t);
    }
    texts[index] = text;
    return texts;
}

TEST(StringResourceTest, ValidCatalogueLoadsAndServesEveryEntry) {
    auto path = Write(BytesOf(Of({u"zero", u"", u"two"})));
    StringResource r;
    EXPECT_EQ(r.Open(nullptr, 0), StringResource::kNoPath);
    EXPECT_EQ(r.Open(u"/nonexistent/orvane.str", 0), StringResource::kOpen);
    EXPECT_EQ(r.LoadAll(), StringResource::kNothingOpen);
    EXPECT_EQ(r.FreeCache(), StringResource::kNothingOpen);
    ASSERT_EQ(r.Open(path.c_str(), 3), StringResource::kOk);
    EXPECT_EQ(std::u16string(r.GetString(2)), u"two"); // read one by one before LoadAll
    ASSERT_EQ(r.LoadAll(), StringResource::kOk);
    EXPECT_EQ(std::u16string(r.GetString(0)), u"zero");
    EXPECT_EQ(std::u16string(r.GetString(1)), u"");
    EXPECT_EQ(std::u16string(r.GetString(2)), u"two");
    EXPECT_EQ(r.GetString(3), nullptr);
    EXPECT_EQ(r.FreeCache(), StringResource::kOk);
    EXPECT_EQ(std::u16string(r.GetString(0)), u"zero");
}

// Entries whose directives are not what the library passes to their index:
// each would have made the formatter read a missing argument or read one as
// another type.
TEST(StringResourceTest, EntriesMustTakeExactlyTheArgumentsOfTheirIndex) {
    struct Case {
        uint32_t index;
        std::u16string text;
        uint32_t code;
    } cases[] = {
        {63, u"Read %ls", StringResource::kBadEntry},                  // a number read as a pointer
        {109, u"%ls %ls", StringResource::kBadEntry},                  // one text passed, two read
        {134, u"%u %X %X %u %u", StringResource::kBadEntry},           // four numbers passed
        {35, u"%d", StringResource::kBadEntry},                        // six passed, one read
        {125, u"100%", StringResource::kBadEntry},                     // a plain text with a '%'
        {125, u"%%", StringResource::kBadEntry},                       //
        {109, u"%s", StringResource::kBadEntry},                       // wide or narrow unsaid
        {109, u"%*ls", StringResource::kBadEntry},                     // a width argument
        {63, u"%ld of %u", StringResource::kBadEntry},                 // a long
        {63, u"%100u of %u", StringResource::kBadEntry},               // a 3-digit width
        {90, u"%hs %ls", StringResource::kBadEntry},                   // swapped
        {109, u"The header of %-20ls", StringResource::kOk},           //
        {134, u"FRU %u at %02Xh, %02Xh, bus %u", StringResource::kOk}, //
        {90, u"%ls in %.40hs", StringResource::kOk},                   //
    };
    for (const Case& c : cases) {
        StringResource r;
        EXPECT_EQ(r.Open(Write(BytesOf(Of(Fitting(c.index, c.text)))).c_str(), 0), c.code)
            << c.index << " " << std::string(c.text.begin(), c.text.end());
    }
}

// Malformed catalogues, tables and lengths that do not fit the file: each is
// refused before anything is allocated for it, and never read in place.
TEST(StringResourceTest, MalformedCataloguesAreRefused) {
    // {a, b} with a word changed after the check word was dropped, then sealed.
    auto changed = [](size_t at, int delta) {
        Words w = Of({u"a", u"b"});
        w.pop_back();
        w[at] = static_cast<uint16_t>(w[at] + delta);
        return Sealed(w);
    };
    Words sumOne = Of({u"a", u"b"});
    sumOne.back() = static_cast<uint16_t>(sumOne.back() + 1);
    Words noTerminator = Of({u"ab"});
    noTerminator.pop_back();    // the check word
    noTerminator.back() = u'c'; // the terminator
    struct Case {
        const char* what;
        Words catalogue;
        uint32_t count, code;
    } cases[] = {
        {"check word one off", sumOne, 0, StringResource::kChecksum},
        {"the same, corrected", changed(0, 0), 0, StringResource::kOk},
        {"no entries", Sealed({0, 0}), 0, StringResource::kEmpty},
        {"fewer entries than asked", Of({u"a"}), 2, StringResource::kCount},
        {"odd offset", changed(4, 1), 0, StringResource::kBadOffset},
        {"gap between two strings", changed(4, 2), 0, StringResource::kBadOffset},
        {"count larger than the file holds", Sealed({0xFFFF, 0x0FFF}), 0, StringResource::kRead},
        // 14 bytes announcing 0x5A000000 strings.
        {"huge count", Sealed({0, 0x5A00, 0, 0, 0, 0}), 0, StringResource::kRead},
        // One string at 12 whose length says 2.9 GB.
        {"huge length", Sealed({1, 0, 12, 0, 0, 0x5A00}), 0, StringResource::kRead},
        {"length past the end", Sealed({1, 0, 12, 0, 3, 0, u'a'}), 0, StringResource::kRead},
        {"length 0", Sealed({1, 0, 12, 0, 0, 0}), 0, StringResource::kBadEntry},
        {"no terminator", Sealed(noTerminator), 0, StringResource::kBadEntry},
        {"shorter than its count", Sealed({1}), 0, StringResource::kRead},
    };
    // One reader throughout: a refused catalogue also drops the one before.
    StringResource r;
    for (const Case& c : cases) {
        EXPECT_EQ(r.Open(Write(BytesOf(c.catalogue)).c_str(), c.count), c.code) << c.what;
        if (c.code != StringResource::kOk) {
            EXPECT_EQ(r.GetString(0), nullptr) << c.what;
        }
    }
    // A trailing odd byte is not summed, and a catalogue over 1 MiB is refused.
    std::vector<uint8_t> bytes = BytesOf(Of({u"ab"}));
    bytes.push_back(0x7F);
    EXPECT_EQ(r.Open(Write(bytes).c_str(), 0), StringResource::kOk);
    bytes.resize(StringResource::kMaxBytes + 2, 0);
    EXPECT_EQ(r.Open(Write(bytes).c_str(), 0), StringResource::kTooLarge);
}

// A catalogue planted in the current directory is found first; one whose
// entry 109 reads two texts where one is passed is refused as a whole, the
// log names the entry, and the catalogue in use stays.
TEST(StringResourceTest, PlantedMismatchedCatalogueIsRefusedNamingTheEntry) {
    TestSupport::LoadEnglishCatalogue(); // 139 entries, none empty
    std::vector<std::u16string> texts;
    for (uint32_t i = 0; i < 139; ++i) {
        texts.push_back(Frame::GetString(i) ? Frame::GetString(i) : u"");
        EXPECT_FALSE(texts[i].empty()) << "entry " << i;
    }
    EXPECT_EQ(Frame::GetString(139), nullptr);
    texts[109] = u"%ls%ls";
    const std::string dir = TestSupport::TempDir();
    std::filesystem::create_directories(dir + "/enus/orvane/str");
    TestSupport::WriteFile(dir + "/enus/orvane/str/orvane.str", BytesOf(Of(texts)));
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir);
    OrvaneInterface api{};
    const char16_t* before = Frame::GetString(109);
    Trace::SetDebugLevel(1);
    EXPECT_EQ(SetLanguageLocale(&api, u"en", u"us"), ORVANE_E_STRING_RESOURCE);
    EXPECT_EQ(Frame::GetString(109), before);
    EXPECT_EQ(TestSupport::ReadLog(),
              u"StringResource::Open - Entry 109 takes arguments \"w\" but its directives are "
              u"\"ww\" (n number, w %ls, a %hs)\r\n"
              u"Orvane::SetLanguageLocale - Error Initializing String Resource\r\n");
    std::filesystem::current_path(previous);
    Frame::ReplaceCatalogue(nullptr);
}

} // namespace
