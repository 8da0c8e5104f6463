#include "fru/CFruHeader.h"

#include <cstring>
#include <gtest/gtest.h>

namespace {
void Fill(CFruHeader& header, const uint8_t (&bytes)[8]) {
    uint8_t* fields[] = {&header.formatVersion, &header.internalOffset, &header.chassisOffset,
                         &header.boardOffset,   &header.productOffset,  &header.multiRecOffset,
                         &header.pad,           &header.checksum};
    for (int i = 0; i < 8; ++i)
        *fields[i] = bytes[i];
}
} // namespace

TEST(CFruHeaderTest, GetDataKeepsTheFieldOrderAndValidityNeedsAZeroSum) {
    CFruHeader header;
    // Distinct values, so two fields written in each other's place show; they
    // sum to 0x100, which counts as zero.
    const uint8_t bytes[8] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0xE4};
    Fill(header, bytes);
    const uint8_t* out = header.GetData();
    EXPECT_EQ(0, std::memcmp(bytes, out, 8));
    EXPECT_TRUE(header.IsValid());
    // The block is the header's own and follows the next GetData.
    header.pad = 0x70;
    EXPECT_EQ(out, header.GetData());
    EXPECT_EQ(0x70, out[6]);
    // Every byte counts, the pad and the checksum included.
    for (int i = 0; i < 8; ++i) {
        uint8_t changed[8];
        std::memcpy(changed, bytes, 8);
        changed[i] ^= 0x10;
        Fill(header, changed);
        EXPECT_FALSE(header.IsValid()) << "byte " << i;
    }
}
