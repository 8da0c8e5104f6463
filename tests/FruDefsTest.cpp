#include "fru/FruDefs.h"
#include "fru/CFru.h"

#include <gtest/gtest.h>

TEST(FruDefsTest, DecodeLengthIgnoresTypeCodeAndChecksumsSumToZero) {
    for (const auto& [typeLength, length] : {std::pair{0xC1, 1}, {0xC0, 0}, {0x3F, 63}, {0xFF, 63}})
        EXPECT_EQ(uint32_t(length), FruDefs::DecodeLength(uint8_t(typeLength))) << typeLength;
    // The checksum makes a block sum to zero, modulo 256.
    const uint8_t header[8] = {0x01, 0, 0, 0x01, 0, 0, 0, 0xFE}, wrap[3] = {0xFF, 0xFF, 0x02};
    EXPECT_EQ(0xFEu, CFru::CalculateChecksum(header, 7) & 0xFF);
    EXPECT_EQ(0u, CFru::CalculateChecksum(header, 8) & 0xFF);
    EXPECT_EQ(0u, CFru::CalculateChecksum(header, 0));
    EXPECT_EQ(0u, CFru::CalculateChecksum(header, -3));
    EXPECT_EQ(0u, CFru::CalculateChecksum(wrap, 3) & 0xFF);
}
