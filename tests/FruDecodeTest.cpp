// The orvane command's decoders: field encodings by type code, their
// packing for set, the name tables and the multi-record records.
#include "FruTestImages.h"
#include "decode/FieldEncoding.h"
#include "decode/FruNames.h"
#include "decode/MultiRecords.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>
#include <vector>

namespace {
using FieldEncoding::Kind;
using FruTestImages::Record;

struct DecodeCase {
    uint8_t typeLength;
    std::vector<uint8_t> bytes;
    std::string text;
};

TEST(FruDecodeTest, FieldsDecodeByTheirTypeCode) {
    std::setlocale(LC_ALL, "C.UTF-8");
    const DecodeCase cases[] = {
        // 6-bit ASCII "SN6BIT42": four characters in every three bytes, low bits first.
        {0x86, {0xB3, 0x6B, 0x89, 0x29, 0x4D, 0x49}, "SN6BIT42"},
        {0x83, {0x29, 0xDC, 0xA6}, "IPMI"},
        {0x80, {}, ""},
        // BCD plus: two digits a byte, high half first; A blank, B dash, C dot.
        {0x43, {0x12, 0xB3, 0x4C}, "12-34."},
        {0x41, {0x9A}, "9 "},
        // Binary as hex, including a leading zero byte.
        {0x03, {0x00, 0x43, 0xFF}, "00 43 FF"},
        // 8-bit text; a byte the locale cannot convert keeps its value.
        {0xC4, {'A', 'c', 'm', 'e'}, "Acme"},
        {0xC2, {'A', 0xE9}, "A\xC3\xA9"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FieldEncoding::Decode(FieldEncoding::KindOf(c.typeLength), c.bytes), c.text)
            << std::hex << int(c.typeLength);
}

struct EncodeCase {
    Kind kind;
    std::string text;
    bool fits;
    std::vector<uint8_t> bytes;
};

TEST(FruDecodeTest, PackedEncodingsTakeOnlyWhatReadsBack) {
    const EncodeCase cases[] = {
        {Kind::SixBitAscii, "SN6BIT42", true, {0xB3, 0x6B, 0x89, 0x29, 0x4D, 0x49}},
        {Kind::SixBitAscii, "ABC", true, {0xA1, 0x38, 0x02}}, // reads back as "ABC "
        {Kind::SixBitAscii, "lower", false, {}},
        {Kind::SixBitAscii, "AB~", false, {}},
        {Kind::BcdPlus, "12-34.", true, {0x12, 0xB3, 0x4C}},
        {Kind::BcdPlus, "123", true, {0x12, 0x3A}},
        {Kind::BcdPlus, "12A", false, {}},
        {Kind::Text, "any", false, {}},
    };
    for (const auto& c : cases) {
        const auto bytes = FieldEncoding::Encode(c.kind, c.text);
        ASSERT_EQ(bytes.has_value(), c.fits) << c.text;
        if (c.fits) {
            EXPECT_EQ(*bytes, c.bytes) << c.text;
        }
    }
}

TEST(FruDecodeTest, NameTablesKnowTheCommonNumbersOnly) {
    EXPECT_STREQ(FruNames::ChassisType(0x17), "Rack Mount Chassis");
    EXPECT_EQ(FruNames::ChassisType(0x00), nullptr);
    EXPECT_EQ(FruNames::ChassisType(0x25), nullptr);
    EXPECT_STREQ(FruNames::Language(0), "English");
    EXPECT_STREQ(FruNames::Language(22), "German");
    EXPECT_EQ(FruNames::Language(200), nullptr);
    EXPECT_STREQ(FruNames::Manufacturer(42623), "Open Compute Project");
    EXPECT_EQ(FruNames::Manufacturer(1), nullptr);
}

std::string ItemValue(const MultiRecords::Record& r, const std::string& key) {
    for (const auto& i : r.items)
        if (i.key == key)
            return i.value;
    return "(missing " + key + ")";
}

TEST(FruDecodeTest, RecordsDecodeByTypeWithTheirChecks) {
    // 800 W, 90-140 V, 47-63 Hz; 12000 mV +-600 mV up to 20000 mA; OCP OEM.
    const std::vector<uint8_t> supply = {0x20, 0x03, 0xFF, 0xFF, 0x1E, 0x0A, 0x28, 0x23,
                                         0xB0, 0x36, 0x00, 0x00, 0x00, 0x00, 0x2F, 0x3F,
                                         0x14, 0x0E, 0x84, 0x33, 0x02, 0x20, 0x03, 0x00};
    const std::vector<uint8_t> output = {0x81, 0xB0, 0x04, 0x3C, 0x00, 0x3C, 0x00,
                                         0x32, 0x00, 0x00, 0x00, 0x20, 0x4E};
    std::vector<uint8_t> area = Record(0x00, supply, false);
    for (const auto& r :
         {Record(0x01, output, false), Record(0xC0, {0x7F, 0xA6, 0x00, 0x01}, true)})
        area.insert(area.end(), r.begin(), r.end());
    auto chain = MultiRecords::Walk(area.data(), area.size());
    ASSERT_EQ(chain.records.size(), 3u);
    EXPECT_TRUE(chain.endOfListSeen);
    EXPECT_EQ(chain.length, area.size());
    const struct {
        size_t record;
        const char* key;
        const char* value;
    } expected[] = {
        {0, "capacity", "800 W"},
        {0, "input_voltage_1", "90 V to 140 V"},
        {0, "input_frequency", "47 to 63 Hz"},
        {0, "flags", "power factor correction, autoswitch, hot swap"},
        {0, "peak_wattage", "900 W for 3 s"},
        {0, "combined_wattage", "12 V and 5 V: 800 W"},
        {1, "output_number", "1"},
        {1, "standby", "yes"},
        {1, "nominal_voltage", "12000 mV"},
        {1, "max_negative_deviation", "600 mV"},
        {1, "max_current", "20000 mA"},
        {2, "manufacturer", "Open Compute Project, 42623 (00A67Fh)"},
        {2, "data", "01"},
    };
    for (const auto& e : expected)
        EXPECT_EQ(ItemValue(chain.records[e.record], e.key), e.value) << e.key;
    for (const auto& r : chain.records)
        EXPECT_TRUE(r.headerChecksumOk && r.dataChecksumOk && r.complete);

    // A flipped data byte, a missing end-of-list bit, a cut-off last record.
    area[5] ^= 0x01;
    chain = MultiRecords::Walk(area.data(), area.size());
    EXPECT_FALSE(chain.records[0].dataChecksumOk);
    EXPECT_TRUE(chain.records[0].headerChecksumOk);
    auto open = Record(0x02, std::vector<uint8_t>(13, 0), false);
    chain = MultiRecords::Walk(open.data(), open.size());
    EXPECT_FALSE(chain.endOfListSeen);
    EXPECT_EQ(ItemValue(chain.records[0], "nominal_voltage"), "0 mV");
    chain = MultiRecords::Walk(open.data(), open.size() - 4);
    EXPECT_FALSE(chain.records[0].complete);
    EXPECT_FALSE(chain.records[0].dataChecksumOk);
    EXPECT_EQ(chain.records[0].items.at(0).key, "short");
}
} // namespace
