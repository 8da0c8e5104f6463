#include "fru/CChassisInfoArea.h"

#include "support/Frame.h"
#include "support/Trace.h"
#include "tests/FruTestImages.h"
#include "tests/TestSupport.h"

#include <filesystem>
#include <gtest/gtest.h>

using FruTestImages::Area;
using FruTestImages::Bytes;

namespace {
class CChassisInfoAreaTest : public ::testing::Test {
  protected:
    void SetUp() override {
        TestSupport::LoadEnglishCatalogue();
        Frame::ResetErrorBuffers();
    }
    static std::string Log() { return TestSupport::AsciiLog(); }
    static std::vector<uint8_t> Chassis(uint8_t type, const std::vector<std::string>& fields,
                                        unsigned units) {
        return Area({0x01, 0, type}, fields, units);
    }
    TestSupport::InTempDir folder; // the debug log of each test lands in a folder of its own
};
} // namespace

TEST_F(CChassisInfoAreaTest, RoundTripsAndKeepsUnnamedTypes) {
    const std::string m(63, 'm');
    const std::vector<std::vector<uint8_t>> images = {
        Chassis(0x17, {"PN", "SN"}, 2), Chassis(12, {"PN", "SN", "F1", "F2"}, 3),
        // 512 bytes: 3 header bytes, 7 fields of 64 bytes, one of 59, marker, checksum.
        Chassis(1, {m, m, m, m, m, m, m, std::string(58, 'c')}, 64)};
    for (const auto& image : images) {
        CChassisInfoArea area;
        ASSERT_TRUE(area.SetData(image.data(), static_cast<uint32_t>(image.size())));
        EXPECT_EQ(image, Bytes(area.GetData(), area.GetLength()));
        const auto cut = FruTestImages::CutAfterEndMarker(image);
        if (cut.size() < image.size()) {
            CChassisInfoArea again;
            ASSERT_TRUE(again.SetData(cut.data(), static_cast<uint32_t>(cut.size())));
            EXPECT_EQ(image, Bytes(again.GetData(), again.GetLength()));
        }
    }
    CChassisInfoArea area;
    ASSERT_TRUE(area.SetData(images[1].data(), static_cast<uint32_t>(images[1].size())));
    EXPECT_EQ(12, area.GetType());
    EXPECT_EQ(nullptr, area.GetFieldValueFromIndex(0));
    EXPECT_EQ(nullptr, area.GetChassisString());
}

TEST_F(CChassisInfoAreaTest, TypeSetterAndNames) {
    const auto image = Chassis(3, {"PN", "SN"}, 2);
    CChassisInfoArea area;
    ASSERT_TRUE(area.SetData(image.data(), static_cast<uint32_t>(image.size())));
    EXPECT_EQ(std::u16string(Frame::GetString(38)), area.GetFieldValueFromIndex(0));
    const uint8_t t23 = 0x17, t24 = 0x18, t0 = 0, two[] = {1, 2};
    ASSERT_TRUE(area.SetFieldData(0, &t23, 1, 0));
    EXPECT_TRUE(area.IsModified());
    EXPECT_TRUE(area.IsValid());
    EXPECT_EQ(std::u16string(Frame::GetString(58)), area.GetFieldValueFromIndex(0));
    EXPECT_FALSE(area.SetFieldData(0, &t24, 1, 0));
    EXPECT_FALSE(area.SetFieldData(0, &t0, 1, 0));
    EXPECT_FALSE(area.SetFieldData(0, two, 2, 0));
    EXPECT_EQ(23, area.GetType());
    const uint8_t* data = nullptr;
    uint32_t size = 0;
    ASSERT_TRUE(area.GetFieldData(0, &data, &size));
    EXPECT_EQ(1u, size);
    EXPECT_EQ(23, *data);
    for (uint8_t t = 10; t <= 15; ++t) {
        ASSERT_TRUE(area.SetType(t));
        EXPECT_EQ(nullptr, area.GetChassisString());
    }
}

TEST_F(CChassisInfoAreaTest, FieldsFailSilentlyAndCustomMapping) {
    const auto image = Chassis(1, {"PN", "SN", "F1", "F2"}, 3);
    CChassisInfoArea area;
    ASSERT_TRUE(area.SetData(image.data(), static_cast<uint32_t>(image.size())));
    ASSERT_EQ(5u, area.GetNumberOfFields());
    EXPECT_EQ(u"F2", std::u16string(area.GetFieldValueFromIndex(3)));
    EXPECT_EQ(u"F1", std::u16string(area.GetFieldValueFromIndex(4)));
    const uint8_t* data = nullptr;
    uint32_t size = 0;
    ASSERT_TRUE(area.GetFieldData(3, &data, &size));
    EXPECT_EQ("F1", std::string(data, data + size));
    EXPECT_EQ(Frame::GetString(13), area.GetFieldTitleFromIndex(4));
    EXPECT_EQ(nullptr, area.GetFieldTitleFromIndex(5));

    const std::string s64(64, 'p');
    EXPECT_FALSE(area.SetPartNumber(reinterpret_cast<const uint8_t*>(s64.data()), 64, 0xC0));
    EXPECT_EQ(nullptr, Frame::TakeLastError()); // silent
    const int32_t pad = area.GetPadLength();
    ASSERT_TRUE(area.SetFieldData(1, reinterpret_cast<const uint8_t*>("PN-1"), 4, 0xC0));
    EXPECT_EQ(pad - 2, area.GetPadLength());
    ASSERT_TRUE(area.SetFieldData(1, reinterpret_cast<const uint8_t*>("PN"), 2, 0xC0));
    EXPECT_EQ(image, Bytes(area.GetData(), area.GetLength()));
    EXPECT_TRUE(area.IsModified());

    EXPECT_EQ(-1, area.GetFieldIndexFromEnum(1));
    EXPECT_EQ(-1, area.GetFieldIndexFromEnum(5));
    EXPECT_EQ(2, area.GetFieldIndexFromEnum(4));

    CChassisInfoArea plain;
    const auto noCustom = Chassis(1, {"PN", "SN"}, 2);
    ASSERT_TRUE(plain.SetData(noCustom.data(), static_cast<uint32_t>(noCustom.size())));
    EXPECT_EQ(3u, plain.GetNumberOfFields());
    EXPECT_EQ(nullptr, plain.GetFieldValueFromIndex(3));
    EXPECT_EQ(std::u16string(Frame::GetString(135)), Frame::TakeLastError());
}

TEST_F(CChassisInfoAreaTest, OnlyLookupsWriteFailureLines) {
    const auto image = Chassis(1, {"PN", "SN", "F1"}, 3);
    CChassisInfoArea area;
    ASSERT_TRUE(area.SetData(image.data(), static_cast<uint32_t>(image.size())));
    const std::string s64(64, 'x');
    const auto* big = reinterpret_cast<const uint8_t*>(s64.data());
    EXPECT_FALSE(area.SetSerialNumber(nullptr, 1, 0xC0));
    EXPECT_FALSE(area.SetSerialNumber(big, 40, 0xC0)); // no room in the padding
    EXPECT_FALSE(area.SetCustomField(0, nullptr, 1, 0xC0));
    EXPECT_FALSE(area.SetCustomField(0, big, 64, 0xC0));
    EXPECT_FALSE(area.SetCustomField(1, big, 1, 0xC0));
    EXPECT_FALSE(area.SetFieldData(4, big, 1, 0xC0));
    EXPECT_FALSE(area.SetType(24));
    EXPECT_EQ("", Log());
    EXPECT_EQ(nullptr, Frame::TakeLastError());
    EXPECT_FALSE(area.IsModified());
    EXPECT_EQ(image, Bytes(area.GetData(), area.GetLength()));

    char16_t* value = nullptr;
    EXPECT_EQ(0xC007000Du, area.GetCustomField(2, &value));
    EXPECT_EQ(0xC007002Fu, area.GetCustomField(1, &value));
    EXPECT_EQ(nullptr, area.GetFieldValueFromIndex(4));
    EXPECT_EQ("CChassisInfoArea::GetCustomField - No such FRU Field\r\n"
              "CChassisInfoArea::GetCustomField - Unexpected\r\n"
              "CChassisInfoArea::GetFieldValueFromIndex - No such FRU Field\r\n",
              Log());
}
