// The catalogue reader's validation rules, on catalogues built by the test.
#include "support/StringResource.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Catalogue {
    std::vector<uint16_t> words;

    // A valid catalogue of the given texts, with its check word.
    static Catalogue Of(const std::vector<std::u16string>& texts) {
        Catalogue c;
        auto put32 = [&](uint32_t v) {
            c.words.push_back(static_cast<uint16_t>(v));
            c.words.push_back(static_cast<uint16_t>(v >> 16));
        };
        uint32_t n = static_cast<uint32_t>(texts.size());
        put32(n);
        uint32_t offset = 4 + 8 * n;
        for (const auto& t : texts) {
            put32(offset);
            offset += 2 * static_cast<uint32_t>(t.size() + 1);
        }
        for (const auto& t : texts)
            put32(static_cast<uint32_t>(t.size() + 1));
        for (const auto& t : texts) {
            c.words.insert(c.words.end(), t.begin(), t.end());
            c.words.push_back(0);
        }
        c.Seal();
        return c;
    }
    // Appends the check word that makes the word sum 0.
    void Seal() {
        uint16_t sum = 0;
        for (uint16_t w : words)
            sum = static_cast<uint16_t>(sum + w);
        words.push_back(static_cast<uint16_t>(0x10000 - sum));
    }
    std::u16string Write() const {
        std::string path = TestSupport::TempDir() + "/c.str";
        std::vector<uint8_t> bytes;
        for (uint16_t w : words) {
            bytes.push_back(static_cast<uint8_t>(w));
            bytes.push_back(static_cast<uint8_t>(w >> 8));
        }
        TestSupport::WriteFile(path, bytes);
        return std::u16string(path.begin(), path.end());
    }
};

TEST(StringResourceTest, ValidCatalogueLoadsAndServesEveryEntry) {
    auto path = Catalogue::Of({u"zero", u"", u"two"}).Write();
    StringResource r;
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

TEST(StringResourceTest, MalformedCataloguesAreRefused) {
    StringResource r;
    EXPECT_EQ(r.Open(nullptr, 0), StringResource::kNoPath);
    EXPECT_EQ(r.Open(u"/nonexistent/orvane.str", 0), StringResource::kOpen);
    EXPECT_EQ(r.LoadAll(), StringResource::kNothingOpen);
    EXPECT_EQ(r.FreeCache(), StringResource::kNothingOpen);

    Catalogue sumOne = Catalogue::Of({u"a", u"b"});
    sumOne.words.back() = static_cast<uint16_t>(sumOne.words.back() + 1);
    EXPECT_EQ(r.Open(sumOne.Write().c_str(), 0), StringResource::kChecksum);
    // Correcting the one word makes it load.
    sumOne.words.back() = static_cast<uint16_t>(sumOne.words.back() - 1);
    EXPECT_EQ(r.Open(sumOne.Write().c_str(), 0), StringResource::kOk);

    Catalogue empty;
    empty.words = {0, 0};
    empty.Seal();
    EXPECT_EQ(r.Open(empty.Write().c_str(), 0), StringResource::kEmpty);

    EXPECT_EQ(r.Open(Catalogue::Of({u"a"}).Write().c_str(), 2), StringResource::kCount);

    // An odd offset, and a gap between two strings.
    Catalogue odd = Catalogue::Of({u"a", u"b"});
    odd.words.pop_back();
    odd.words[4] = static_cast<uint16_t>(odd.words[4] + 1);
    odd.Seal();
    EXPECT_EQ(r.Open(odd.Write().c_str(), 0), StringResource::kBadOffset);
    Catalogue gap = Catalogue::Of({u"a", u"b"});
    gap.words.pop_back();
    gap.words[4] = static_cast<uint16_t>(gap.words[4] + 2);
    gap.Seal();
    EXPECT_EQ(r.Open(gap.Write().c_str(), 0), StringResource::kBadOffset);

    // A count larger than the file can hold is a short file.
    Catalogue huge;
    huge.words = {0xFFFF, 0x0FFF};
    huge.Seal();
    EXPECT_EQ(r.Open(huge.Write().c_str(), 0), StringResource::kRead);
    EXPECT_EQ(r.GetString(0), nullptr);
}

TEST(StringResourceTest, BuiltEnglishCatalogueHas139Entries) {
    std::string path = std::string(ORVANE_BUILD_DIR) + "/enus/orvane/str/orvane.str";
    std::u16string wide(path.begin(), path.end());
    StringResource r;
    ASSERT_EQ(r.Open(wide.c_str(), 139), StringResource::kOk);
    ASSERT_EQ(r.LoadAll(), StringResource::kOk);
    for (uint32_t i = 0; i < 139; ++i) {
        ASSERT_NE(r.GetString(i), nullptr) << i;
        EXPECT_NE(r.GetString(i)[0], 0) << "entry " << i << " is empty";
    }
}

} // namespace
