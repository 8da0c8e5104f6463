// The board, chassis and product info areas: what they share (parsing and
// refusing images, padding, custom fields, titles and enumerators) as one typed
// test over the three classes, then what each has of its own.
#include "fru/CBoardInfoArea.h"
#include "fru/CChassisInfoArea.h"
#include "fru/CProductInfoArea.h"

#include "support/Frame.h"
#include "support/Trace.h"
#include "support/Utf16.h"
#include "tests/FruTestImages.h"
#include "tests/TestSupport.h"

#include <ctime>
#include <gtest/gtest.h>

using FruTestImages::Area;
using FruTestImages::Bytes;
using TestSupport::AsciiLog;
using TestSupport::TakeError;

namespace {

// What tells the areas apart: their header bytes, the fields before the text
// fields (board date, chassis type), the number of text fields, where their
// titles and field enumerators start, and whether a refused setter leaves a
// last error and a trace line (its words, the setter of each text field).
template <typename A> struct Kind;
template <> struct Kind<CBoardInfoArea> {
    static constexpr const char* kName = "CBoardInfoArea";
    static std::vector<uint8_t> Head() { return {0x01, 0, 0x19, 0x10, 0x20, 0x30}; }
    static constexpr uint32_t kFirstText = 1, kTexts = 5, kTitle = 14, kEnum = 5;
    static constexpr bool kSilent = false;
    static constexpr const char* kTooLong = "FRU Data too long";
    static constexpr const char* kSetters[] = {"SetManufacturer", "SetProductName",
                                               "SetSerialNumber", "SetPartNumber", "SetFileId"};
};
template <> struct Kind<CChassisInfoArea> {
    static constexpr const char* kName = "CChassisInfoArea";
    static std::vector<uint8_t> Head() { return {0x01, 0, 0x17}; }
    static constexpr uint32_t kFirstText = 1, kTexts = 2, kTitle = 10, kEnum = 2;
    static constexpr bool kSilent = true;
    static constexpr const char* kTooLong = "";
    static constexpr const char* kSetters[] = {"", ""};
};
template <> struct Kind<CProductInfoArea> {
    static constexpr const char* kName = "CProductInfoArea";
    static std::vector<uint8_t> Head() { return {0x01, 0, 0x19}; }
    static constexpr uint32_t kFirstText = 0, kTexts = 7, kTitle = 21, kEnum = 11;
    static constexpr bool kSilent = false;
    static constexpr const char* kTooLong = "FRU Data Too Long";
    static constexpr const char* kSetters[] = {
        "SetManufacturerName", "SetProductName", "SetPartNumber", "SetVersion",
        "SetSerialNumber",     "SetAssetTag",    "SetFileId"};
};

const uint8_t* U8(const std::string& s) {
    return reinterpret_cast<const uint8_t*>(s.data());
}
template <typename A> std::vector<uint8_t> Of(A& area) {
    return Bytes(area.GetData(), area.GetLength());
}
std::u16string Message(uint32_t index) {
    return Frame::GetString(index);
}

class AreaFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        TestSupport::LoadEnglishCatalogue();
        Frame::ResetErrorBuffers();
    }
    void TearDown() override { Trace::SetDebugLevel(1); }
    template <typename A> static void Load(A& area, const std::vector<uint8_t>& image) {
        ASSERT_TRUE(area.SetData(image.data(), static_cast<uint32_t>(image.size())));
    }
    const std::string s64 = std::string(64, 'x'); // a field's worth and one byte more
    const uint8_t* big = U8(s64);
    TestSupport::InTempDir folder; // the debug log of each test lands in a folder of its own
};

template <typename A> class InfoAreaTest : public AreaFixture {
  protected:
    using K = Kind<A>;
    static constexpr uint32_t kFixed = K::kFirstText + K::kTexts; // fields before the custom ones
    // The text fields (empty ones added up to their number), then the custom fields.
    static std::vector<uint8_t> Image(std::vector<std::string> texts, unsigned units,
                                      const std::vector<std::string>& custom = {}) {
        texts.resize(K::kTexts);
        texts.insert(texts.end(), custom.begin(), custom.end());
        return Area(K::Head(), texts, units);
    }
};
using AreaClasses = ::testing::Types<CBoardInfoArea, CChassisInfoArea, CProductInfoArea>;
TYPED_TEST_SUITE(InfoAreaTest, AreaClasses);

TYPED_TEST(InfoAreaTest, RoundTripsWellFormedAndCutOffImages) {
    using K = Kind<TypeParam>;
    // 512 bytes with no padding left: seven fields of 64 bytes and one that
    // takes the rest before the end marker and checksum.
    std::vector<std::string> full(7, std::string(63, 'm'));
    full.push_back(std::string(512 - K::Head().size() - 7 * 64 - 3, 'e'));
    for (const auto& image :
         {this->Image({"Acme", "Board"}, 5), this->Image({"Acme"}, 6, {"C1", "Custom2"}),
          this->Image({}, 2), Area(K::Head(), full, 64)}) {
        SCOPED_TRACE(image.size());
        TypeParam area, again;
        this->Load(area, image);
        EXPECT_EQ(image, Of(area));
        if (image.size() == 512) {
            EXPECT_EQ(0, area.GetPadLength());
        }
        // Cut after its end marker, the checksum is computed.
        this->Load(again, FruTestImages::CutAfterEndMarker(image));
        EXPECT_EQ(image, Of(again));
    }
}

TYPED_TEST(InfoAreaTest, RejectsMalformedImages) {
    using K = Kind<TypeParam>;
    const auto image = this->Image({"Acme", "Board", "SN1"}, 5, {"F1"});
    // 32 bytes up to and including the end marker, 40 declared.
    const auto cut = FruTestImages::CutAfterEndMarker(
        this->Image({std::string(32 - 1 - K::Head().size() - K::kTexts, 'x')}, 5));
    ASSERT_EQ(32u, cut.size());
    struct Case {
        const char* what;
        bool cut;
        size_t at; // byte changed, or past the end: one zero byte more
        uint8_t value;
    } cases[] = {{"non-zero padding", false, image.size() - 3, 0x01},
                 {"more bytes than declared", false, image.size(), 0},
                 {"checksum not at the last declared byte", false, 1, 6},
                 {"cut: the checksum would be the end marker", true, 1, 4},
                 {"cut: declared below the input", true, 1, 1}};
    TypeParam area;
    for (const Case& c : cases) {
        auto bad = c.cut ? cut : image;
        if (c.at < bad.size())
            bad[c.at] = c.value;
        else
            bad.push_back(c.value);
        EXPECT_FALSE(area.SetData(bad.data(), static_cast<uint32_t>(bad.size()))) << c.what;
    }
    EXPECT_FALSE(area.SetData(image.data(), 0));
    EXPECT_FALSE(area.SetData(image.data(), 2));
    // A wrong checksum keeps the parsed fields.
    auto bad = image;
    bad.back() ^= 0x55;
    EXPECT_FALSE(area.SetData(bad.data(), static_cast<uint32_t>(bad.size())));
    EXPECT_FALSE(area.IsValid());
    EXPECT_EQ(u"Acme", std::u16string(area.GetFieldValueFromIndex(K::kFirstText)));
}

TYPED_TEST(InfoAreaTest, SettersTradeBytesWithPadding) {
    const uint32_t at = Kind<TypeParam>::kFirstText;
    const auto image = this->Image({"Acme", "Board", "SN1"}, 5);
    TypeParam area;
    this->Load(area, image);
    const int32_t pad = area.GetPadLength();
    ASSERT_GT(pad, 5);
    ASSERT_TRUE(area.SetFieldData(at, U8("Acme Corp"), 9, 0xC0)); // 5 bytes more
    EXPECT_TRUE(area.IsModified());
    EXPECT_EQ(pad - 5, area.GetPadLength());
    EXPECT_EQ(40u, area.GetLength());
    EXPECT_TRUE(area.IsValid());
    EXPECT_EQ(u"Acme Corp", std::u16string(area.GetFieldValueFromIndex(at)));
    ASSERT_TRUE(area.SetFieldData(at, U8("Acme"), 4, 0xC0));
    EXPECT_EQ(pad, area.GetPadLength());
    EXPECT_EQ(image, Of(area));

    // Growth beyond the padding fails and changes nothing; up to it is taken.
    const std::string tooBig(4 + pad + 1, 'Z');
    EXPECT_FALSE(area.SetFieldData(at, U8(tooBig), static_cast<uint32_t>(tooBig.size()), 0xC0));
    EXPECT_EQ(Kind<TypeParam>::kSilent
                  ? u""
                  : Utf16::FormatString(Frame::GetString(137), area.GetFieldTitleFromIndex(at)),
              TakeError());
    EXPECT_EQ(image, Of(area));
    EXPECT_TRUE(area.SetFieldData(at, U8(tooBig), static_cast<uint32_t>(tooBig.size() - 1), 0xC0));
    EXPECT_EQ(0, area.GetPadLength());
    EXPECT_TRUE(area.IsValid());

    // A 64-byte field, fixed or custom, cannot be stored even with room for it.
    TypeParam roomy;
    this->Load(roomy, this->Image({}, 64, {"CC"}));
    EXPECT_FALSE(roomy.SetFieldData(at, this->big, 64, 0xC0));
    EXPECT_FALSE(roomy.SetCustomField(0, this->big, 64, 0xC0));
    EXPECT_FALSE(roomy.IsModified());
    EXPECT_TRUE(roomy.SetFieldData(at, this->big, 63, 0xC0));
    EXPECT_TRUE(roomy.SetCustomField(0, this->big, 63, 0xC0));
}

// A refused field writes the line of its own setter and names the field in
// the last error; the chassis area stays silent.
TYPED_TEST(InfoAreaTest, RefusedFieldsNameTheirSetterAndTitle) {
    using K = Kind<TypeParam>;
    const auto image = this->Image({"M"}, 5, {"C1"});
    TypeParam area;
    this->Load(area, image);
    std::string lines;
    for (uint32_t i = 0; i < K::kTexts; ++i) {
        const uint32_t at = K::kFirstText + i;
        EXPECT_FALSE(area.SetFieldData(at, nullptr, 1, 0xC0));
        EXPECT_EQ(K::kSilent ? u"" : Message(125), TakeError());
        EXPECT_FALSE(area.SetFieldData(at, this->big, 64, 0xC0));
        EXPECT_EQ(K::kSilent ? u""
                             : Utf16::FormatString(Frame::GetString(137),
                                                   Frame::GetString(K::kTitle + at)),
                  TakeError());
        const std::string setter = std::string(K::kName) + "::" + K::kSetters[i] + " - ";
        if (!K::kSilent)
            lines += setter + "Unexpected\r\n" + setter + K::kTooLong + "\r\n";
    }
    // The custom field: null, 64 bytes, a position past the last, no room.
    const std::string custom = std::string(K::kName) + "::SetCustomField - ";
    for (const auto& [at, length, word] : {std::tuple{0u, 0u, "Unexpected"},
                                           {0u, 64u, K::kTooLong},
                                           {1u, 1u, "No such FRU Field"},
                                           {0u, 40u, K::kTooLong}}) {
        EXPECT_FALSE(area.SetCustomField(at, length ? this->big : nullptr, length + !length, 0xC0));
        if (!K::kSilent)
            lines += custom + word + "\r\n";
    }
    EXPECT_EQ(K::kSilent ? u""
                         : Utf16::FormatString(Frame::GetString(137),
                                               Frame::GetString(K::kTitle + this->kFixed)),
              TakeError());
    EXPECT_EQ(lines, AsciiLog(true));
    EXPECT_EQ(image, Of(area));
    EXPECT_FALSE(area.IsModified());
}

TYPED_TEST(InfoAreaTest, CustomFieldsAreNumberedFromTheLastForValues) {
    using K = Kind<TypeParam>;
    const uint32_t first = this->kFixed;
    TypeParam area;
    this->Load(area, this->Image({"M"}, 6, {"F1", "F2", "F3"}));
    ASSERT_EQ(first + 3, area.GetNumberOfFields());
    const uint8_t* data = nullptr;
    uint32_t size = 0;
    for (uint32_t i = 0; i < 3; ++i) {
        EXPECT_EQ(u"F" + std::u16string(1, u'3' - i),
                  std::u16string(area.GetFieldValueFromIndex(first + i)));
        ASSERT_TRUE(area.GetFieldData(first + i, &data, &size));
        EXPECT_EQ("F" + std::to_string(i + 1), std::string(data, data + size));
        EXPECT_EQ(Frame::GetString(K::kTitle + first), area.GetFieldTitleFromIndex(first + i));
    }
    EXPECT_FALSE(area.GetFieldData(first + 3, &data, &size));
    EXPECT_EQ(nullptr, data);
    EXPECT_EQ(nullptr, area.GetFieldTitleFromIndex(first + 3));
    EXPECT_EQ(nullptr, area.GetFieldValueFromIndex(first + 3));
    EXPECT_EQ(Message(135), TakeError());

    // Setting only a custom field marks the area modified.
    ASSERT_TRUE(area.SetFieldData(first, U8("G3"), 2, 0xC0));
    EXPECT_TRUE(area.IsModified());
    EXPECT_TRUE(area.IsValid());
    ASSERT_TRUE(area.GetFieldData(first + 2, &data, &size));
    EXPECT_EQ("G3", std::string(data, data + size));
    EXPECT_FALSE(area.SetFieldData(first + 3, U8("x"), 1, 0xC0));
    EXPECT_FALSE(area.SetCustomField(3, U8("x"), 1, 0xC0));

    char16_t* value = nullptr;
    EXPECT_EQ(ORVANE_E_BAD_ARGUMENT, area.GetCustomField(4, &value));
    EXPECT_EQ(ORVANE_E_INTERNAL, area.GetCustomField(3, &value));
    EXPECT_EQ(nullptr, value);
    const std::string name = std::string(K::kName) + "::GetCustomField";
    EXPECT_EQ(name + " - No such FRU Field\r\n" + name + " - Unexpected\r\n",
              TestSupport::LinesOf(AsciiLog(), name));
    ASSERT_EQ(0u, area.GetCustomField(1, &value));
    EXPECT_EQ(u"F2", std::u16string(value));
    delete[] value;
}

TYPED_TEST(InfoAreaTest, EnumsTitlesAndLengths) {
    using K = Kind<TypeParam>;
    TypeParam area;
    for (uint32_t i = 0; i < this->kFixed; ++i) {
        EXPECT_EQ(static_cast<int32_t>(i), area.GetFieldIndexFromEnum(K::kEnum + i));
        EXPECT_EQ(Frame::GetString(K::kTitle + i), area.GetFieldTitleFromIndex(i));
    }
    EXPECT_EQ(-1, area.GetFieldIndexFromEnum(K::kEnum - 1));
    EXPECT_EQ(-1, area.GetFieldIndexFromEnum(K::kEnum + this->kFixed));
    EXPECT_FALSE(area.SetLength(12));
    ASSERT_TRUE(area.SetLength(64));
    EXPECT_TRUE(area.IsValid());
    // Header, one empty text field each, end marker and checksum.
    EXPECT_EQ(static_cast<int32_t>(64 - K::Head().size() - K::kTexts - 2), area.GetPadLength());
    ASSERT_TRUE(area.SetLength(264));
    EXPECT_EQ(264u, area.GetLength());
}

// What each area has of its own.

using BoardTest = AreaFixture;

std::u16string DateText(std::time_t instant) {
    std::tm t{};
    gmtime_r(&instant, &t);
    return Utf16::FormatString(Frame::GetString(35), t.tm_mon + 1, t.tm_mday, t.tm_year + 1900,
                               t.tm_hour, t.tm_min, t.tm_sec);
}

TEST_F(BoardTest, DateRendering) {
    // 1996-01-01 00:00 UTC as days since 1970: 26 years with 6 leap days.
    const std::time_t epoch = (26 * 365 + 6) * 86400;
    for (const long minutes : {0L, 0x05A0L, 0xFFFFFFL}) {
        CBoardInfoArea area;
        Load(area,
             Area({0x01, 0, 0x19, uint8_t(minutes), uint8_t(minutes >> 8), uint8_t(minutes >> 16)},
                  {"", "", "", "", ""}, 2));
        EXPECT_EQ(DateText(epoch + minutes * 60), area.GetFieldValueFromIndex(0));
    }
    CBoardInfoArea area;
    const uint8_t date[] = {0xA0, 0x05, 0};
    EXPECT_FALSE(area.SetFieldData(0, date, 2, 0));
    EXPECT_EQ(Message(138), TakeError());
    EXPECT_FALSE(area.IsModified());
    ASSERT_TRUE(area.SetFieldData(0, date, 3, 0));
    EXPECT_TRUE(area.IsModified());
}

TEST_F(BoardTest, FailuresWriteTheirTraceLines) {
    const auto image = Area({0x01, 0, 0x19, 0x10, 0x20, 0x30}, {"M", "P", "S", "N", "F", "C1"}, 5);
    CBoardInfoArea area;
    Load(area, image);
    EXPECT_FALSE(area.SetPartNumber(big, 40, 0xC0)); // no room in the padding
    EXPECT_EQ(-1, area.GetFieldIndexFromEnum(11));
    EXPECT_EQ(nullptr, area.GetFieldTitleFromIndex(7));
    EXPECT_EQ("CBoardInfoArea::SetPartNumber - FRU Data too long\r\n"
              "CBoardInfoArea::GetFieldIndexFromEnum - Invalid Selection\r\n"
              "CBoardInfoArea::GetFieldTitleFromIndex - Null selection\r\n",
              AsciiLog(true));

    // The exit line follows a refused date.
    Trace::SetDebugLevel(3);
    EXPECT_FALSE(area.SetFieldData(0, big, 2, 0));
    EXPECT_EQ("CBoardInfoArea::SetFieldData [ENTRY]\r\n"
              "CBoardInfoArea::SetFieldData - Invalid Mfg Date Time\r\n"
              "CBoardInfoArea::SetFieldData [EXIT]\r\n",
              TestSupport::LinesOf(AsciiLog(true), "CBoardInfoArea::SetFieldData"));
    EXPECT_EQ(image, Of(area));
}

using ChassisTest = AreaFixture;

TEST_F(ChassisTest, TypesAndSilentSetters) {
    CChassisInfoArea area;
    const auto unnamed = Area({0x01, 0, 12}, {"PN", "SN", "F1", "F2"}, 3);
    Load(area, unnamed);
    EXPECT_EQ(nullptr, area.GetFieldValueFromIndex(0));
    EXPECT_EQ(unnamed, Of(area));

    Load(area, Area({0x01, 0, 3}, {"PN", "SN"}, 2));
    EXPECT_EQ(Message(38), area.GetFieldValueFromIndex(0));
    const uint8_t t23 = 0x17, t24 = 0x18, t0 = 0, two[] = {1, 2};
    ASSERT_TRUE(area.SetFieldData(0, &t23, 1, 0));
    EXPECT_TRUE(area.IsModified());
    EXPECT_TRUE(area.IsValid());
    EXPECT_EQ(Message(58), area.GetFieldValueFromIndex(0));
    EXPECT_FALSE(area.SetFieldData(0, &t24, 1, 0));
    EXPECT_FALSE(area.SetFieldData(0, &t0, 1, 0));
    EXPECT_FALSE(area.SetFieldData(0, two, 2, 0));
    const uint8_t* data = nullptr;
    uint32_t size = 0;
    ASSERT_TRUE(area.GetFieldData(0, &data, &size));
    EXPECT_EQ(std::vector<uint8_t>{23}, Bytes(data, size));
    for (uint8_t t = 10; t <= 15; ++t) {
        ASSERT_TRUE(area.SetType(t));
        EXPECT_EQ(nullptr, area.GetChassisString());
    }

    // Only lookups write failure lines; no setter leaves a last error.
    const auto image = Area({0x01, 0, 1}, {"PN", "SN", "F1"}, 3);
    CChassisInfoArea silent;
    Load(silent, image);
    EXPECT_FALSE(silent.SetPartNumber(big, 64, 0xC0));
    EXPECT_FALSE(silent.SetSerialNumber(nullptr, 1, 0xC0));
    EXPECT_FALSE(silent.SetSerialNumber(big, 40, 0xC0)); // no room in the padding
    EXPECT_FALSE(silent.SetFieldData(4, big, 1, 0xC0));
    EXPECT_FALSE(silent.SetType(24));
    EXPECT_EQ(nullptr, Frame::TakeLastError());
    EXPECT_FALSE(silent.IsModified());
    EXPECT_EQ(image, Of(silent));
    EXPECT_EQ(nullptr, silent.GetFieldValueFromIndex(4));
    EXPECT_EQ("CChassisInfoArea::GetFieldValueFromIndex - No such FRU Field\r\n", AsciiLog());
}

using ProductTest = AreaFixture;

TEST_F(ProductTest, FailuresWriteTheirTraceLines) {
    const auto image =
        Area({0x01, 0, 0x19}, {"Acme", "Server", "PN-7", "v2", "SN42", "AT", "fid", "F1"}, 6);
    CProductInfoArea area;
    Load(area, image);
    EXPECT_FALSE(area.SetFieldData(9, big, 1, 0xC0));
    // Unknown enumerators and titles fail without a line.
    EXPECT_EQ(-1, area.GetFieldIndexFromEnum(18));
    EXPECT_EQ(nullptr, area.GetFieldTitleFromIndex(8));
    EXPECT_EQ("CProductInfoArea::SetFieldData - No such FRU Field\r\n", AsciiLog());
    EXPECT_EQ(image, Of(area));
    EXPECT_FALSE(area.IsModified());
}

} // namespace
