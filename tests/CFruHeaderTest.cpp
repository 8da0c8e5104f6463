#include "fru/CFruHeader.h"

#include <cstring>
#include <gtest/gtest.h>

namespace {
void Fill(CFruHeader& header, const uint8_t (&bytes)[8]) {
    header.formatVersion = bytes[0];
    header.internalOffset = bytes[1];
    header.chassisOffset = bytes[2];
    header.boardOffset = bytes[3];
    header.productOffset = bytes[4];
    header.multiRecOffset = bytes[5];
    header.pad = bytes[6];
    header.checksum = bytes[7];
}
} // namespace

TEST(CFruHeaderTest, GetDataKeepsTheFieldOrder) {
    CFruHeader header;
    // Distinct values, so two fields written in each other's place show.
    const uint8_t bytes[8] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0xDC};
    Fill(header, bytes);
    const uint8_t* out = header.GetData();
    EXPECT_EQ(0, std::memcmp(bytes, out, 8));
    // The block is the header's own and follows the next GetData.
    header.pad = 0x70;
    EXPECT_EQ(out, header.GetData());
    EXPECT_EQ(0x70, out[6]);
}

TEST(CFruHeaderTest, ValidWhenTheEightBytesSumToZero) {
    CFruHeader header;
    const uint8_t board[8] = {0x01, 0, 0, 0x01, 0, 0, 0, 0xFE};
    Fill(header, board);
    EXPECT_TRUE(header.IsValid());
    // Every byte counts, the pad and the checksum included.
    for (int i = 0; i < 8; ++i) {
        uint8_t changed[8];
        std::memcpy(changed, board, 8);
        changed[i] ^= 0x10;
        Fill(header, changed);
        EXPECT_FALSE(header.IsValid()) << "byte " << i;
    }
    // The sum is taken modulo 256: 0xFF + 0xFF + 0x02 = 0x200.
    const uint8_t wrap[8] = {0xFF, 0xFF, 0, 0, 0, 0, 0, 0x02};
    Fill(header, wrap);
    EXPECT_TRUE(header.IsValid());
}
