#include "fru/FruDefs.h"
#include "fru/CFru.h"

#include <gtest/gtest.h>

TEST(FruDefsTest, DecodeLengthIgnoresTypeCodeAndChecksumsSumToZero) {
    EXPECT_EQ(1u, FruDefs::DecodeLength(0xC1));
    EXPECT_EQ(0u, FruDefs::DecodeLength(0xC0));
    EXPECT_EQ(63u, FruDefs::DecodeLength(0x3F));
    EXPECT_EQ(63u, FruDefs::DecodeLength(0xFF));
    // The checksum makes a block sum to zero.
    const uint8_t header[8] = {0x01, 0, 0, 0x01, 0, 0, 0, 0xFE};
    EXPECT_EQ(0xFEu, CFru::CalculateChecksum(header, 7) & 0xFF);
    EXPECT_EQ(0u, CFru::CalculateChecksum(header, 8) & 0xFF);
    EXPECT_EQ(0u, CFru::CalculateChecksum(header, 0));
    EXPECT_EQ(0u, CFru::CalculateChecksum(header, -3));
    const uint8_t wrap[3] = {0xFF, 0xFF, 0x02}; // sums to 0x200
    EXPECT_EQ(0u, CFru::CalculateChecksum(wrap, 3) & 0xFF);
}
