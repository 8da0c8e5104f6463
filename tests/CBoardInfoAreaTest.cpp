#include "fru/CBoardInfoArea.h"

#include "support/Frame.h"
#include "support/Trace.h"
#include "support/Utf16.h"
#include "tests/FruTestImages.h"
#include "tests/TestSupport.h"

#include <ctime>
#include <filesystem>
#include <gtest/gtest.h>

using FruTestImages::Area;
using FruTestImages::Bytes;
using FruTestImages::Wide;

namespace {
class CBoardInfoAreaTest : public ::testing::Test {
  protected:
    void SetUp() override {
        TestSupport::LoadEnglishCatalogue();
        Frame::ResetErrorBuffers();
    }
    void TearDown() override { Trace::SetDebugLevel(1); }
    static std::string TakeLog() { return TestSupport::AsciiLog(true); }
    static std::vector<uint8_t> Board(const std::vector<std::string>& fields, unsigned units,
                                      uint8_t d0 = 0x10, uint8_t d1 = 0x20, uint8_t d2 = 0x30) {
        return Area({0x01, 0, 0x19, d0, d1, d2}, fields, units);
    }
    static std::u16string DateText(std::time_t instant) {
        std::tm t{};
        gmtime_r(&instant, &t);
        return Utf16::FormatString(Frame::GetString(35), t.tm_mon + 1, t.tm_mday, t.tm_year + 1900,
                                   t.tm_hour, t.tm_min, t.tm_sec);
    }
    static std::u16string LastError() { return TestSupport::TakeError(); }
    TestSupport::InTempDir folder; // the debug log of each test lands in a folder of its own
};
} // namespace

TEST_F(CBoardInfoAreaTest, RoundTripsWellFormedImages) {
    const std::string max63(63, 'M');
    const std::vector<std::vector<uint8_t>> images = {
        Board({"Acme", "Board", "SN1", "PN1", "F1"}, 5),
        Board({"Acme", "Board", "SN1", "PN1", "F1", "C1", "Custom2"}, 6),
        Board({"", "", "", "", ""}, 2),
        // 512 bytes with no padding left.
        Board({max63, max63, max63, max63, max63, max63, max63, std::string(55, 'e')}, 64),
    };
    for (const auto& image : images) {
        CBoardInfoArea area;
        ASSERT_TRUE(area.SetData(image.data(), static_cast<uint32_t>(image.size())));
        EXPECT_EQ(image.size(), area.GetLength());
        EXPECT_EQ(image, Bytes(area.GetData(), area.GetLength()));
        EXPECT_FALSE(area.IsModified());
    }
}

TEST_F(CBoardInfoAreaTest, RejectsMalformedImages) {
    auto image = Board({"Acme", "Board", "SN1", "PN1", "F1"}, 5);
    CBoardInfoArea area;
    auto bad = image;
    bad[bad.size() - 3] = 0x01; // non-zero padding
    EXPECT_FALSE(area.SetData(bad.data(), static_cast<uint32_t>(bad.size())));
    bad = image;
    bad.push_back(0); // more bytes than declared
    EXPECT_FALSE(area.SetData(bad.data(), static_cast<uint32_t>(bad.size())));
    bad = image;
    bad[1] = 6; // checksum no longer at the last declared byte
    EXPECT_FALSE(area.SetData(bad.data(), static_cast<uint32_t>(bad.size())));
    EXPECT_FALSE(area.SetData(image.data(), 0));
    EXPECT_FALSE(area.SetData(image.data(), 6));

    // A wrong checksum keeps the parsed fields.
    bad = image;
    bad.back() ^= 0x55;
    EXPECT_FALSE(area.SetData(bad.data(), static_cast<uint32_t>(bad.size())));
    EXPECT_FALSE(area.IsValid());
    EXPECT_STREQ("Acme", reinterpret_cast<const char*>(area.GetManufacturer()));
}

TEST_F(CBoardInfoAreaTest, CutOffImageNeedsLargerDeclaredLength) {
    // 32 bytes up to and including the end marker.
    const auto full = Board({"Acme", "Board", "SN1", "PN1", "F1", "XY"}, 5);
    const auto cut = FruTestImages::CutAfterEndMarker(full);
    CBoardInfoArea area;
    ASSERT_TRUE(area.SetData(cut.data(), static_cast<uint32_t>(cut.size())));
    EXPECT_EQ(full.back(), area.GetChecksum());
    EXPECT_EQ(full, Bytes(area.GetData(), area.GetLength()));
    ASSERT_EQ(32u, cut.size());
    auto same = cut;
    same[1] = 4;
    EXPECT_FALSE(area.SetData(same.data(), static_cast<uint32_t>(same.size())));
    auto shorter = cut;
    shorter[1] = 1; // declared length below the input
    EXPECT_FALSE(area.SetData(shorter.data(), static_cast<uint32_t>(shorter.size())));
}

TEST_F(CBoardInfoAreaTest, SettersTradeBytesWithPadding) {
    const auto image = Board({"Acme", "Board", "SN1", "PN1", "F1"}, 5);
    CBoardInfoArea area;
    ASSERT_TRUE(area.SetData(image.data(), static_cast<uint32_t>(image.size())));
    const int32_t pad = area.GetPadLength();
    EXPECT_EQ(40 - 13 - 17, pad);
    const std::string grown = "Acme Corp"; // 5 bytes more
    ASSERT_TRUE(area.SetFieldData(1, reinterpret_cast<const uint8_t*>(grown.data()), 9, 0xC0));
    EXPECT_TRUE(area.IsModified());
    EXPECT_EQ(pad - 5, area.GetPadLength());
    EXPECT_EQ(40u, area.GetLength());
    EXPECT_TRUE(area.IsValid());
    EXPECT_EQ(Wide(grown), area.GetFieldValueFromIndex(1));
    ASSERT_TRUE(area.SetManufacturer(reinterpret_cast<const uint8_t*>("Acme"), 4, 0xC0));
    EXPECT_EQ(pad, area.GetPadLength());
    EXPECT_EQ(image, Bytes(area.GetData(), area.GetLength()));

    // Growth beyond the padding fails and changes nothing.
    const std::string tooBig(4 + pad + 1, 'Z');
    EXPECT_FALSE(area.SetManufacturer(reinterpret_cast<const uint8_t*>(tooBig.data()),
                                      static_cast<uint32_t>(tooBig.size()), 0xC0));
    EXPECT_EQ(Utf16::FormatString(Frame::GetString(137), Frame::GetString(15)), LastError());
    EXPECT_EQ(image, Bytes(area.GetData(), area.GetLength()));
    const std::string exact(4 + pad, 'Z');
    EXPECT_TRUE(area.SetManufacturer(reinterpret_cast<const uint8_t*>(exact.data()),
                                     static_cast<uint32_t>(exact.size()), 0xC0));
    EXPECT_EQ(0, area.GetPadLength());
    EXPECT_TRUE(area.IsValid());
    EXPECT_FALSE(area.SetManufacturer(nullptr, 0, 0xC0));
    EXPECT_EQ(std::u16string(Frame::GetString(125)), LastError());
}

TEST_F(CBoardInfoAreaTest, SixtyFourByteFieldFailsEvenWithRoom) {
    const auto image = Board({"", "", "", "", ""}, 64);
    CBoardInfoArea area;
    ASSERT_TRUE(area.SetData(image.data(), static_cast<uint32_t>(image.size())));
    const std::string s64(64, 'a');
    EXPECT_FALSE(area.SetFieldData(2, reinterpret_cast<const uint8_t*>(s64.data()), 64, 0xC0));
    EXPECT_FALSE(area.IsModified());
    EXPECT_TRUE(area.SetFieldData(2, reinterpret_cast<const uint8_t*>(s64.data()), 63, 0xC0));
}

TEST_F(CBoardInfoAreaTest, CustomFieldIndexMappingIsReversedForValues) {
    const auto image = Board({"M", "P", "S", "N", "F", "F1", "F2", "F3"}, 6);
    CBoardInfoArea area;
    ASSERT_TRUE(area.SetData(image.data(), static_cast<uint32_t>(image.size())));
    ASSERT_EQ(9u, area.GetNumberOfFields());
    EXPECT_EQ(u"F3", std::u16string(area.GetFieldValueFromIndex(6)));
    EXPECT_EQ(u"F2", std::u16string(area.GetFieldValueFromIndex(7)));
    EXPECT_EQ(u"F1", std::u16string(area.GetFieldValueFromIndex(8)));
    const uint8_t* data = nullptr;
    uint32_t size = 0;
    for (uint32_t i = 0; i < 3; ++i) {
        ASSERT_TRUE(area.GetFieldData(6 + i, &data, &size));
        EXPECT_EQ("F" + std::to_string(i + 1), std::string(data, data + size));
        EXPECT_EQ(Frame::GetString(20), area.GetFieldTitleFromIndex(6 + i));
    }
    EXPECT_FALSE(area.GetFieldData(9, &data, &size));
    EXPECT_EQ(nullptr, data);
    EXPECT_EQ(nullptr, area.GetFieldTitleFromIndex(9));
    EXPECT_EQ(nullptr, area.GetFieldValueFromIndex(9));
    EXPECT_EQ(std::u16string(Frame::GetString(135)), LastError());

    ASSERT_TRUE(area.SetFieldData(6, reinterpret_cast<const uint8_t*>("G3"), 2, 0xC0));
    EXPECT_EQ(u"G3", std::u16string(area.GetFieldValueFromIndex(6)));
    ASSERT_TRUE(area.GetFieldData(8, &data, &size));
    EXPECT_EQ("G3", std::string(data, data + size));
    EXPECT_TRUE(area.IsValid());
    EXPECT_FALSE(area.SetFieldData(9, reinterpret_cast<const uint8_t*>("x"), 1, 0xC0));

    char16_t* value = nullptr;
    EXPECT_EQ(0xC007000Du, area.GetCustomField(4, &value));
    EXPECT_EQ(0xC007002Fu, area.GetCustomField(3, &value));
    EXPECT_EQ(nullptr, value);
    ASSERT_EQ(0u, area.GetCustomField(1, &value));
    EXPECT_EQ(u"F2", std::u16string(value));
    delete[] value;
}

TEST_F(CBoardInfoAreaTest, DateRendering) {
    struct Case {
        uint8_t b0, b1, b2;
    } cases[] = {{0, 0, 0}, {0xA0, 0x05, 0}, {0xFF, 0xFF, 0xFF}};
    for (const auto& c : cases) {
        CBoardInfoArea area;
        const auto image = Board({"", "", "", "", ""}, 2, c.b0, c.b1, c.b2);
        ASSERT_TRUE(area.SetData(image.data(), static_cast<uint32_t>(image.size())));
        // 1996-01-01 00:00 UTC as days since 1970: 26 years with 6 leap days.
        const std::time_t epoch = (26 * 365 + 6) * 86400;
        const long minutes = c.b0 | (c.b1 << 8) | (c.b2 << 16);
        EXPECT_EQ(DateText(epoch + minutes * 60), area.GetFieldValueFromIndex(0));
    }
    CBoardInfoArea area;
    EXPECT_EQ(DateText((26 * 365 + 6) * 86400), area.GetFieldValueFromIndex(0));

    const uint8_t two[] = {1, 2};
    EXPECT_FALSE(area.SetFieldData(0, two, 2, 0));
    EXPECT_EQ(std::u16string(Frame::GetString(138)), LastError());
    EXPECT_FALSE(area.IsModified());
    const uint8_t three[] = {0xA0, 0x05, 0};
    ASSERT_TRUE(area.SetFieldData(0, three, 3, 0));
    EXPECT_TRUE(area.IsModified());
}

TEST_F(CBoardInfoAreaTest, EnumsTitlesAndLengths) {
    CBoardInfoArea area;
    EXPECT_EQ(0, area.GetFieldIndexFromEnum(5));
    EXPECT_EQ(5, area.GetFieldIndexFromEnum(10));
    EXPECT_EQ(-1, area.GetFieldIndexFromEnum(4));
    EXPECT_EQ(-1, area.GetFieldIndexFromEnum(11));
    for (uint32_t i = 0; i < 6; ++i)
        EXPECT_EQ(Frame::GetString(14 + i), area.GetFieldTitleFromIndex(i));
    EXPECT_EQ(6u, area.GetNumberOfFields());
    EXPECT_EQ(0u, area.GetLength());
    EXPECT_LT(area.GetPadLength(), 0);
    EXPECT_FALSE(area.SetLength(12));
    ASSERT_TRUE(area.SetLength(64));
    EXPECT_EQ(64u, area.GetLength());
    EXPECT_TRUE(area.IsValid());
    EXPECT_EQ(64 - 13, area.GetPadLength());
}

TEST_F(CBoardInfoAreaTest, FailuresWriteTheirTraceLines) {
    const auto image = Board({"M", "P", "S", "N", "F", "C1"}, 5);
    CBoardInfoArea area;
    ASSERT_TRUE(area.SetData(image.data(), static_cast<uint32_t>(image.size())));
    const std::string s64(64, 'x');
    const auto* big = reinterpret_cast<const uint8_t*>(s64.data());
    EXPECT_FALSE(area.SetManufacturer(big, 64, 0xC0));
    EXPECT_FALSE(area.SetFileId(nullptr, 1, 0xC0));
    EXPECT_FALSE(area.SetPartNumber(big, 40, 0xC0)); // no room in the padding
    EXPECT_EQ("CBoardInfoArea::SetManufacturer - FRU Data too long\r\n"
              "CBoardInfoArea::SetFileId - Unexpected\r\n"
              "CBoardInfoArea::SetPartNumber - FRU Data too long\r\n",
              TakeLog());
    EXPECT_EQ(Utf16::FormatString(Frame::GetString(137), Frame::GetString(18)), LastError());

    EXPECT_FALSE(area.SetCustomField(0, nullptr, 1, 0xC0));
    EXPECT_FALSE(area.SetCustomField(0, big, 64, 0xC0));
    EXPECT_FALSE(area.SetCustomField(1, big, 1, 0xC0));
    EXPECT_FALSE(area.SetCustomField(0, big, 40, 0xC0));
    EXPECT_EQ("CBoardInfoArea::SetCustomField - Unexpected\r\n"
              "CBoardInfoArea::SetCustomField - FRU Data too long\r\n"
              "CBoardInfoArea::SetCustomField - No such FRU Field\r\n"
              "CBoardInfoArea::SetCustomField - FRU Data too long\r\n",
              TakeLog());
    EXPECT_EQ(Utf16::FormatString(Frame::GetString(137), Frame::GetString(20)), LastError());

    char16_t* value = nullptr;
    EXPECT_EQ(0xC007000Du, area.GetCustomField(2, &value));
    EXPECT_EQ(0xC007002Fu, area.GetCustomField(1, &value));
    EXPECT_EQ(-1, area.GetFieldIndexFromEnum(11));
    EXPECT_EQ(nullptr, area.GetFieldTitleFromIndex(7));
    EXPECT_EQ("CBoardInfoArea::GetCustomField - No such FRU Field\r\n"
              "CBoardInfoArea::GetCustomField - Unexpected\r\n"
              "CBoardInfoArea::GetFieldIndexFromEnum - Invalid Selection\r\n"
              "CBoardInfoArea::GetFieldTitleFromIndex - Null selection\r\n",
              TakeLog());

    // The exit line follows a refused date.
    Trace::SetDebugLevel(3);
    EXPECT_FALSE(area.SetFieldData(0, big, 2, 0));
    EXPECT_EQ("CBoardInfoArea::SetFieldData [ENTRY]\r\n"
              "CBoardInfoArea::SetFieldData - Invalid Mfg Date Time\r\n"
              "StringResource::GetString [ENTRY]\r\nStringResource::GetString [EXIT]\r\n"
              "Orvane::SetLastError [ENTRY]\r\nOrvane::SetLastError [EXIT]\r\n"
              "CBoardInfoArea::SetFieldData [EXIT]\r\n",
              TakeLog());
    EXPECT_EQ(Bytes(image.data(), 40), Bytes(area.GetData(), area.GetLength()));
}
