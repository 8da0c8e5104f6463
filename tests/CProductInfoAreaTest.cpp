#include "fru/CProductInfoArea.h"

#include "support/Frame.h"
#include "support/Trace.h"
#include "support/Utf16.h"
#include "tests/FruTestImages.h"
#include "tests/TestSupport.h"

#include <filesystem>
#include <gtest/gtest.h>

using FruTestImages::Area;
using FruTestImages::Bytes;

namespace {
class CProductInfoAreaTest : public ::testing::Test {
  protected:
    void SetUp() override {
        TestSupport::LoadEnglishCatalogue();
        Frame::ResetErrorBuffers();
    }
    static std::string Log() { return TestSupport::AsciiLog(); }
    static std::vector<uint8_t> Product(const std::vector<std::string>& fields, unsigned units) {
        return Area({0x01, 0, 0x19}, fields, units);
    }
    static std::u16string LastError() { return TestSupport::TakeError(); }
    TestSupport::InTempDir folder; // the debug log of each test lands in a folder of its own
};
const std::vector<std::string> kSeven = {"Acme", "Server", "PN-7", "v2", "SN42", "AT", "fid"};
} // namespace

TEST_F(CProductInfoAreaTest, RoundTripsAndCutOffImages) {
    std::vector<std::string> withCustom = kSeven;
    withCustom.push_back("F1");
    withCustom.push_back("F2");
    const std::string m(63, 'm');
    const std::vector<std::vector<uint8_t>> images = {
        Product(kSeven, 6), Product(withCustom, 8),
        // 512 bytes: 3 header bytes, 7 x 64 field bytes, 59 custom bytes, marker, checksum.
        Product({m, m, m, m, m, m, m, std::string(58, 'c')}, 64)};
    for (const auto& image : images) {
        CProductInfoArea area;
        ASSERT_TRUE(area.SetData(image.data(), static_cast<uint32_t>(image.size())));
        EXPECT_EQ(image, Bytes(area.GetData(), area.GetLength()));
        const auto cut = FruTestImages::CutAfterEndMarker(image);
        if (cut.size() < image.size()) {
            CProductInfoArea again;
            ASSERT_TRUE(again.SetData(cut.data(), static_cast<uint32_t>(cut.size())));
            EXPECT_EQ(image, Bytes(again.GetData(), again.GetLength()));
        }
    }
    EXPECT_EQ(0, [&] {
        CProductInfoArea area;
        area.SetData(images[2].data(), 512);
        return area.GetPadLength();
    }());
}

TEST_F(CProductInfoAreaTest, FieldsSettersAndMessages) {
    const auto image = Product(kSeven, 6);
    CProductInfoArea area;
    ASSERT_TRUE(area.SetData(image.data(), static_cast<uint32_t>(image.size())));
    ASSERT_EQ(7u, area.GetNumberOfFields());
    for (uint32_t i = 0; i < 7; ++i) {
        EXPECT_EQ(FruTestImages::Wide(kSeven[i]), area.GetFieldValueFromIndex(i));
        EXPECT_EQ(Frame::GetString(21 + i), area.GetFieldTitleFromIndex(i));
    }
    EXPECT_EQ(nullptr, area.GetFieldTitleFromIndex(7));
    EXPECT_EQ(nullptr, area.GetFieldValueFromIndex(7));
    EXPECT_EQ(std::u16string(Frame::GetString(135)), LastError());
    EXPECT_EQ(6, area.GetFieldIndexFromEnum(17));
    EXPECT_EQ(-1, area.GetFieldIndexFromEnum(10));
    EXPECT_EQ(-1, area.GetFieldIndexFromEnum(18));

    const std::string s64(64, 't');
    EXPECT_FALSE(area.SetAssetTag(reinterpret_cast<const uint8_t*>(s64.data()), 64, 0xC0));
    EXPECT_EQ(Utf16::FormatString(Frame::GetString(137), Frame::GetString(26)), LastError());
    const int32_t pad = area.GetPadLength();
    ASSERT_TRUE(area.SetFieldData(5, reinterpret_cast<const uint8_t*>("ASSET"), 5, 0xC0));
    EXPECT_EQ(pad - 3, area.GetPadLength());
    EXPECT_TRUE(area.IsModified());
    EXPECT_TRUE(area.IsValid());
    EXPECT_EQ(48u, area.GetLength());
    ASSERT_TRUE(area.SetFieldData(5, reinterpret_cast<const uint8_t*>("AT"), 2, 0xC0));
    EXPECT_EQ(image, Bytes(area.GetData(), area.GetLength()));

    CProductInfoArea fresh;
    EXPECT_FALSE(fresh.IsModified());
    ASSERT_TRUE(fresh.SetLength(264));
    EXPECT_EQ(264u, fresh.GetLength());
}

TEST_F(CProductInfoAreaTest, CustomFieldsReversedForValuesOnly) {
    std::vector<std::string> fields = kSeven;
    fields.push_back("F1");
    fields.push_back("F2");
    const auto image = Product(fields, 8);
    CProductInfoArea area;
    ASSERT_TRUE(area.SetData(image.data(), static_cast<uint32_t>(image.size())));
    EXPECT_EQ(u"F2", std::u16string(area.GetFieldValueFromIndex(7)));
    EXPECT_EQ(u"F1", std::u16string(area.GetFieldValueFromIndex(8)));
    const uint8_t* data = nullptr;
    uint32_t size = 0;
    ASSERT_TRUE(area.GetFieldData(7, &data, &size));
    EXPECT_EQ("F1", std::string(data, data + size));
    ASSERT_TRUE(area.GetFieldData(8, &data, &size));
    EXPECT_EQ("F2", std::string(data, data + size));
    EXPECT_EQ(Frame::GetString(28), area.GetFieldTitleFromIndex(8));

    // Setting only a custom field marks the area modified.
    ASSERT_TRUE(area.SetFieldData(8, reinterpret_cast<const uint8_t*>("E1"), 2, 0xC0));
    EXPECT_TRUE(area.IsModified());
    EXPECT_EQ(u"E1", std::u16string(area.GetFieldValueFromIndex(8)));
    ASSERT_TRUE(area.GetFieldData(7, &data, &size));
    EXPECT_EQ("E1", std::string(data, data + size));
    EXPECT_TRUE(area.IsValid());
    EXPECT_FALSE(area.SetCustomField(2, reinterpret_cast<const uint8_t*>("x"), 1, 0xC0));
    EXPECT_EQ(std::u16string(Frame::GetString(135)), LastError());
}

TEST_F(CProductInfoAreaTest, FailuresWriteTheirTraceLines) {
    std::vector<std::string> fields = kSeven;
    fields.push_back("F1");
    const auto image = Product(fields, 6);
    CProductInfoArea area;
    ASSERT_TRUE(area.SetData(image.data(), static_cast<uint32_t>(image.size())));
    const std::string s64(64, 'x');
    const auto* big = reinterpret_cast<const uint8_t*>(s64.data());
    EXPECT_FALSE(area.SetAssetTag(big, 64, 0xC0));
    EXPECT_FALSE(area.SetVersion(nullptr, 1, 0xC0));
    EXPECT_FALSE(area.SetCustomField(0, big, 30, 0xC0)); // no room in the padding
    EXPECT_FALSE(area.SetFieldData(9, big, 1, 0xC0));
    char16_t* value = nullptr;
    EXPECT_EQ(0xC007000Du, area.GetCustomField(2, &value));
    EXPECT_EQ(0xC007002Fu, area.GetCustomField(1, &value));
    // Unknown enumerators and titles fail without a line.
    EXPECT_EQ(-1, area.GetFieldIndexFromEnum(18));
    EXPECT_EQ(nullptr, area.GetFieldTitleFromIndex(8));
    EXPECT_EQ("CProductInfoArea::SetAssetTag - FRU Data Too Long\r\n"
              "CProductInfoArea::SetVersion - Unexpected\r\n"
              "CProductInfoArea::SetCustomField - FRU Data Too Long\r\n"
              "CProductInfoArea::SetFieldData - No such FRU Field\r\n"
              "CProductInfoArea::GetCustomField - No such FRU Field\r\n"
              "CProductInfoArea::GetCustomField - Unexpected\r\n",
              Log());
    EXPECT_EQ(image, Bytes(area.GetData(), area.GetLength()));
    EXPECT_FALSE(area.IsModified());
}
