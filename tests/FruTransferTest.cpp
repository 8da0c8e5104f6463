// FRU device transfers: request forms, chunking, completion codes, bridging.
#include "system/FruTransfer.h"
#include "FakeBmc.h"
#include "api/Globals.h"
#include "orvane/orvane.h"

#include <gtest/gtest.h>

#include <numeric>

namespace {

using FruTransfer::DeviceAddress;

std::vector<uint8_t> Counting(size_t n) {
    std::vector<uint8_t> bytes(n);
    std::iota(bytes.begin(), bytes.end(), 0);
    return bytes;
}

const DeviceAddress kDevice{FruTransfer::kKsbDevice, 0, 0xFF, 0x20, 0x20, 5};

TEST(FruTransferTest, ReadsInChunksOfEightBytes) {
    FakeBmc bmc(Counting(64));
    uint8_t out[20] = {};
    uint16_t count = 20;
    ASSERT_EQ(FruTransfer::ReadDeviceData(kDevice, 0, out, &count), 0u);
    EXPECT_EQ(count, 20);
    EXPECT_EQ(out[19], 19);
    auto log = bmc.Log();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0].Data(), (std::vector<uint8_t>{5, 0, 0, 8}));
    EXPECT_EQ(log[1].Data(), (std::vector<uint8_t>{5, 8, 0, 8}));
    EXPECT_EQ(log[2].Data(), (std::vector<uint8_t>{5, 16, 0, 4}));
    EXPECT_EQ(log[0].netFn, 0x0A);
    EXPECT_EQ(log[0].command, 0x11);
}

TEST(FruTransferTest, TooLongAnswersShrinkTheChunkThenFail) {
    FakeBmc bmc(Counting(64));
    bmc.Script({0xC8, 0xC8, 0xC8});
    uint8_t out[8];
    uint16_t count = 8;
    EXPECT_EQ(FruTransfer::ReadDeviceData(kDevice, 0, out, &count), 0xC0070028u);
    auto log = bmc.Log();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0].data[3], 8);
    EXPECT_EQ(log[1].data[3], 4);
    EXPECT_EQ(log[2].data[3], 1);
}

TEST(FruTransferTest, BusyIsResentButBounded) {
    FakeBmc bmc(Counting(64));
    bmc.Script({0xC0, 0xC0});
    uint8_t out[4];
    uint16_t count = 4;
    EXPECT_EQ(FruTransfer::ReadDeviceData(kDevice, 0, out, &count), 0u);
    EXPECT_EQ(bmc.Log().size(), 3u);
    FakeBmc always(Counting(64));
    for (uint32_t i = 0; i < FruTransfer::kBusyRetries + 1; ++i)
        always.Script({0xC0});
    count = 4;
    EXPECT_EQ(FruTransfer::ReadDeviceData(kDevice, 0, out, &count), 0xC0070028u);
    EXPECT_EQ(always.Log().size(), FruTransfer::kBusyRetries + 1);
}

TEST(FruTransferTest, I2cRequestForms) {
    FakeBmc bmc(Counting(300));
    uint8_t out[2];
    uint16_t count = 2;
    DeviceAddress ds{FruTransfer::kDs1624s, 1, 3, 0x9E, 0x20, 0};
    ASSERT_EQ(FruTransfer::ReadDeviceData(ds, 0x12, out, &count), 0u);
    EXPECT_EQ(out[0], 0x12);
    DeviceAddress at{FruTransfer::kAt24c02, 0, 1, 0xA0, 0x20, 0};
    count = 2;
    ASSERT_EQ(FruTransfer::ReadDeviceData(at, 0x112, out, &count), 0u);
    auto log = bmc.Log();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].netFn, 0x06);
    EXPECT_EQ(log[0].command, 0x52);
    EXPECT_EQ(log[0].lun, 1);
    EXPECT_EQ(log[0].Data(), (std::vector<uint8_t>{3, 0x9E, 2, 0x17, 0x12}));
    EXPECT_EQ(log[1].Data(), (std::vector<uint8_t>{1, 0xA0, 2, 0x01, 0x12}));
    uint8_t bytes[3] = {7, 8, 9};
    ASSERT_EQ(FruTransfer::WriteDeviceData(at, 0x10, bytes, 3), 0u);
    EXPECT_EQ(bmc.Log()[2].Data(), (std::vector<uint8_t>{1, 0xA0, 0, 0x00, 0x10, 7, 8, 9}));
}

TEST(FruTransferTest, NotAccessibleDevicesFailWithoutARequest) {
    FakeBmc bmc(Counting(16));
    DeviceAddress none{FruTransfer::kNotAccessible, 0, 0, 0, 0x20, 0};
    uint8_t out[4];
    uint16_t count = 4;
    EXPECT_EQ(FruTransfer::ReadDeviceData(none, 0, out, &count), 0xC0070028u);
    EXPECT_EQ(FruTransfer::WriteDeviceData(none, 0, out, 4), 0xC0070029u);
    count = 0;
    EXPECT_EQ(FruTransfer::ReadDeviceData(none, 0, out, &count), 0u);
    EXPECT_TRUE(bmc.Log().empty());
}

TEST(FruTransferTest, WritesShrinkOnC7) {
    FakeBmc bmc(std::vector<uint8_t>(32, 0));
    bmc.Script({0xC7});
    auto bytes = Counting(10);
    ASSERT_EQ(FruTransfer::WriteDeviceData(kDevice, 4, bytes.data(), 10), 0u);
    auto log = bmc.Log();
    ASSERT_EQ(log.size(), 4u); // 8 refused, then 4, 4 and 2
    EXPECT_EQ(log[1].length, 4u + 3);
    EXPECT_EQ(log[3].Data(), (std::vector<uint8_t>{5, 12, 0, 8, 9}));
    EXPECT_EQ(bmc.Image()[4 + 9], 9);
}

TEST(FruTransferTest, BridgedReadsWrapSendMessageWithSequenceNumbers) {
    ASSERT_EQ(Initialize(nullptr), ORVANE_OK);
    FakeBmc bmc(Counting(64));
    DeviceAddress satellite{FruTransfer::kKsbDevice, 0, 0, 0x30, 0x20, 0};
    uint8_t sequence = FruTransfer::NextBridgeSequence();
    uint8_t out[4];
    uint16_t count = 4;
    ASSERT_EQ(FruTransfer::ReadDeviceData(satellite, 8, out, &count), 0u);
    EXPECT_EQ(out[0], 8);
    auto log = bmc.Log();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].command, 0x34);
    std::vector<uint8_t> d = log[0].Data();
    ASSERT_EQ(d.size(), 12u);
    EXPECT_EQ(d[0], 0);    // channel
    EXPECT_EQ(d[1], 0x30); // target
    EXPECT_EQ(d[2], 0x0A << 2);
    EXPECT_EQ(static_cast<uint8_t>(d[1] + d[2] + d[3]), 0);
    EXPECT_EQ(d[4], 0x20);
    EXPECT_EQ(d[5], (sequence << 2) | 2);
    EXPECT_EQ(d[6], 0x11);
    uint8_t sum = 0;
    for (size_t i = 4; i < d.size(); ++i)
        sum = static_cast<uint8_t>(sum + d[i]);
    EXPECT_EQ(sum, 0);
    // The sequence number runs 1 to 63 and around.
    for (int i = 0; i < 62; ++i) {
        count = 1;
        FruTransfer::ReadDeviceData(satellite, 0, out, &count);
    }
    EXPECT_EQ(FruTransfer::NextBridgeSequence(), sequence);
    DeInitialize(nullptr);
}

TEST(FruTransferTest, ThreeNotAcknowledgedAnswersMeanBusy) {
    FakeBmc bmc(Counting(64));
    bmc.Script({0x83, 0x83, 0x83});
    DeviceAddress satellite{FruTransfer::kKsbDevice, 0, 0, 0x30, 0x20, 0};
    uint8_t out[4];
    uint16_t count = 4;
    EXPECT_EQ(FruTransfer::ReadDeviceData(satellite, 0, out, &count), 0xFFFFFE08u);
    EXPECT_EQ(bmc.Log().size(), 3u);
}

} // namespace
