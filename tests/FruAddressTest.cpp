// The device address's text form, as the command prints and reads it.
#include "fru/FruAddress.h"

#include <gtest/gtest.h>

namespace {

TEST(FruAddressTest, ParsesWhatTheCommandAccepts) {
    const struct {
        const char* text;
        bool parsed;
        FruAddress address;
    } cases[] = {
        {"2:0:20:FF:20:00", true, {2, 0, 0xFF, 0x20, 0x20, 0}},
        {"0:3:0xA0:1:0X20:7f", true, {0, 3, 0x01, 0xA0, 0x20, 0x7F}},
        {"0x2:00:20:FF:20:00", true, {2, 0, 0xFF, 0x20, 0x20, 0}}, // C notation for the numbers
        {"4:0:20:FF:20:00", false, {}},                            // no such NVS type
        {"2:0:120:FF:20:00", false, {}},                           // above FF
        {"2:0:20:FF:20", false, {}},                               // five parts
        {"2:0:20:FF:20:00:00", false, {}},
        {"2:-0:20:FF:20:00", false, {}},
        {"2:0:20:FF::00", false, {}},
        {"2:0:0x0x20:FF:20:00", false, {}},
    };
    for (const auto& c : cases) {
        const auto parsed = FruAddress::Parse(c.text);
        ASSERT_EQ(parsed.has_value(), c.parsed) << c.text;
        if (c.parsed) {
            EXPECT_EQ(*parsed, c.address) << c.text;
        }
    }
    // The type and LUN in decimal, the rest in hex; read back as it is.
    const FruAddress a{2, 1, 0xFF, 0x20, 0x20, 0x0A};
    EXPECT_EQ(a.Format(), "2:1:20:FF:20:0A");
    EXPECT_EQ(FruAddress::Parse(a.Format()), a);
}

TEST(FruAddressTest, NumbersInCNotationUpToTheirBound) {
    const struct {
        const char* text;
        uint32_t max;
        std::optional<uint32_t> value;
    } cases[] = {{"255", 255, 255}, {"0x10", 16, 16},
                 {"010", 8, 8},     {"256", 255, {}},
                 {"0x11", 16, {}},  {"+1", 9, {}},
                 {"-0", 9, {}},     {"", 9, {}},
                 {"1x", 9, {}},     {"99999999999999999999", 0xFFFFFFFF, {}}};
    for (const auto& c : cases)
        EXPECT_EQ(FruAddress::ParseNumber(c.text, c.max), c.value) << c.text;
}

} // namespace
