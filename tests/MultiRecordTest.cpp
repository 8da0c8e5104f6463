#include "fru/MultiRecord.h"

#include "support/Trace.h"
#include "tests/FruTestImages.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>
#include <vector>

namespace {
// A record with the given data and both checksums right.
MultiRecord* Sealed(uint8_t type, const std::vector<uint8_t>& data) {
    const std::vector<uint8_t> bytes = FruTestImages::Record(type, data, true);
    auto* record = new MultiRecord();
    std::copy(bytes.begin(), bytes.begin() + 5, record->header);
    std::copy(bytes.begin() + 5, bytes.end(), record->data);
    return record;
}
} // namespace

// Both checksums must hold; the check traces as the image's.
TEST(MultiRecordTest, BothChecksumsMustHold) {
    TestSupport::InTempDir folder;
    MultiRecord* record = Sealed(0xC0, {1, 2, 3});
    EXPECT_EQ(3u, record->DataLength());
    Trace::SetDebugLevel(3);
    EXPECT_TRUE(record->IsValid());
    Trace::SetDebugLevel(1);
    EXPECT_EQ("CFru::IsValid [ENTRY]\r\nCFru::IsValid [EXIT]\r\n", TestSupport::AsciiLog());
    record->data[1] ^= 1; // data no longer matches byte 3
    EXPECT_FALSE(record->IsValid());
    record->data[1] ^= 1;
    record->header[1] ^= 0x80; // end-of-list bit flipped: header sum broken
    EXPECT_FALSE(record->IsValid());
    delete record;
    // Only the record's own data counts, not what lies behind its length.
    record = Sealed(0x01, {9, 9});
    record->data[2] = 0x55;
    EXPECT_TRUE(record->IsValid());
    delete record;
    // A record without data still needs a data checksum of 0.
    record = Sealed(0x02, {});
    record->header[3] = 0x10;
    record->header[4] = static_cast<uint8_t>(record->header[4] - 0x10);
    EXPECT_FALSE(record->IsValid());
    delete record;
}

// Under the sanitizers a record that is not freed fails the run as a leak.
TEST(MultiRecordTest, DestroyingARecordDestroysTheRecordsBehindIt) {
    TestSupport::DeleteLongChain(Sealed(1, {1}));
}
