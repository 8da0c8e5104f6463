// FRU device transfers: request forms, chunking, completion codes, bridging.
#include "system/FruTransfer.h"
#include "FruTestImages.h"
#include "TestSupport.h"
#include "orvane/orvane.h"

#include <gtest/gtest.h>

#include <numeric>
#include <string>

namespace {

using FruTransfer::DeviceAddress;
using TestSupport::Hex;
using TestSupport::SimulatedSystem;

std::vector<uint8_t> Counting(size_t n) {
    std::vector<uint8_t> bytes(n);
    std::iota(bytes.begin(), bytes.end(), 0);
    return bytes;
}

const DeviceAddress kDevice{FruTransfer::kKsbDevice, 0, 0xFF, 0x20, 0x20, 5};

// The BMC with FRU device 5, a DS1624S on private bus 1 and an AT24C02 on
// bus 0, and a satellite controller at 0x30; then the faults.
std::string System(const std::string& faults = "") {
    const std::string counting = Hex(Counting(64));
    return R"({"controllers": [{"address": "0x20", "fru_devices": [{"id": 5, "hex": ")" + counting +
           R"("}], "i2c_devices": [
             {"bus": 1, "address": "0x9E", "kind": "DS1624S", "hex": ")" +
           Hex(Counting(256)) + R"("},
             {"bus": 0, "address": "0xA0", "kind": "AT24CO2", "hex": ")" +
           Hex(Counting(300)) + R"("}]},
          {"address": "0x30", "channel": 0, "fru_devices": [{"id": 0, "hex": ")" +
           counting + R"("}]}], "faults": [)" + faults + "]}";
}

// The Read FRU Data requests of these data bytes, each sent times times.
std::vector<std::string> Reads(std::initializer_list<const char*> data, uint32_t times = 1) {
    std::vector<std::string> lines;
    for (uint32_t i = 0; i < times; ++i)
        for (const char* d : data)
            lines.push_back(std::string("send rs=20 netfn=0A lun=00 cmd=11 data=[") + d + "]");
    return lines;
}

// Reads of device 5 asserted on the whole request conversation: chunks of
// eight, busy answers resent a bounded number of times, "too long" answers
// shrinking the chunk to four and then one, and a bridge target that never
// answers (the BMC's "no acknowledge", tried three times).
TEST(FruTransferTest, ReadsAreChunkedAndRetried) {
    const std::string busy = R"({"match": {"command": "0x11"}, "completion_code": "0xC0")";
    const struct {
        std::string faults;
        DeviceAddress device;
        uint16_t count;
        uint32_t status;
        std::vector<std::string> requests;
    } cases[] = {
        {"", kDevice, 20, 0, Reads({"05 00 00 08", "05 08 00 08", "05 10 00 04"})},
        {busy + R"(, "times": 2})", kDevice, 4, 0, Reads({"05 00 00 04"}, 3)},
        {busy + "}", kDevice, 4, ORVANE_E_DEVICE_READ,
         Reads({"05 00 00 04"}, FruTransfer::kBusyRetries + 1)},
        {R"({"match": {"command": "0x11"}, "completion_code": "0xC8"})", kDevice, 8,
         ORVANE_E_DEVICE_READ, Reads({"05 00 00 08", "05 00 00 04", "05 00 00 01"})},
    };
    for (const auto& c : cases) {
        SimulatedSystem bmc(System(c.faults));
        uint8_t out[20] = {};
        uint16_t count = c.count;
        EXPECT_EQ(FruTransfer::ReadDeviceData(c.device, 0, out, &count), c.status) << c.faults;
        EXPECT_EQ(bmc.Log(true), c.requests) << c.faults;
        if (c.status == 0) {
            EXPECT_EQ(FruTestImages::Bytes(out, count), Counting(c.count));
        }
    }
    SimulatedSystem bmc(System());
    const DeviceAddress nowhere{FruTransfer::kKsbDevice, 0, 0x00, 0x40, 0x20, 0};
    uint8_t out[2];
    uint16_t count = 2;
    EXPECT_EQ(FruTransfer::ReadDeviceData(nowhere, 0, out, &count), 0xFFFFFE08u);
    const auto log = bmc.Log();
    ASSERT_EQ(log.size(), 3u);
    for (const auto& line : log)
        EXPECT_NE(line.find("cmd=34 data=[00 40 28"), std::string::npos) << line;
    EXPECT_NE(log[2].find("cc=83 data=[]"), std::string::npos) << log[2];
}

TEST(FruTransferTest, I2cRequestForms) {
    SimulatedSystem bmc(System());
    uint8_t out[2];
    uint16_t count = 2;
    DeviceAddress ds{FruTransfer::kDs1624s, 1, 3, 0x9E, 0x20, 0};
    ASSERT_EQ(FruTransfer::ReadDeviceData(ds, 0x12, out, &count), 0u);
    EXPECT_EQ(out[0], 0x12);
    DeviceAddress at{FruTransfer::kAt24c02, 0, 1, 0xA0, 0x20, 0};
    count = 2;
    ASSERT_EQ(FruTransfer::ReadDeviceData(at, 0x112, out, &count), 0u);
    EXPECT_EQ(out[1], 0x13);
    uint8_t bytes[3] = {7, 8, 9};
    ASSERT_EQ(FruTransfer::WriteDeviceData(at, 0x10, bytes, 3), 0u);
    EXPECT_EQ(bmc.Log(true),
              (std::vector<std::string>{
                  "send rs=20 netfn=06 lun=01 cmd=52 data=[03 9E 02 17 12]",
                  "send rs=20 netfn=06 lun=00 cmd=52 data=[01 A0 02 01 12]",
                  "send rs=20 netfn=06 lun=00 cmd=52 data=[01 A0 00 00 10 07 08 09]"}));
}

TEST(FruTransferTest, TransfersEndAtTheLastAddressableOffset) {
    // A 64 KiB device: a transfer that ends at the last offset goes out, one
    // that would reach past it (and wrap to offset 0) sends nothing, and so
    // does any transfer of a device that is not accessible.
    const DeviceAddress none{FruTransfer::kNotAccessible, 0, 0, 0, 0x20, 0};
    const DeviceAddress at24{FruTransfer::kAt24c02, 0, 1, 0xA0, 0x20, 0};
    const DeviceAddress ds{FruTransfer::kDs1624s, 0, 1, 0x9E, 0x20, 0};
    SimulatedSystem bmc(R"({"controllers": [{"address": "0x20",
        "fru_devices": [{"id": 5, "size": 65536}], "i2c_devices": [
          {"bus": 0, "address": "0xA0", "kind": "AT24CO2", "size": 65536},
          {"bus": 0, "address": "0x9E", "kind": "DS1624S", "size": 256}]}]})");
    struct Case {
        DeviceAddress device;
        uint32_t offset, count;
        bool fits;
    } cases[] = {
        {kDevice, 0xFFF8, 8, true}, {kDevice, 0xFFF8, 9, false}, {kDevice, 0x10000, 1, false},
        {at24, 0xFFFF, 1, true},    {at24, 0xFFFF, 2, false},    {ds, 0xFF, 1, true},
        {ds, 0xFF, 2, false},       {ds, 0x100, 1, false},       {none, 0, 4, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.offset) + "+" + std::to_string(c.count));
        bmc.ClearLog();
        uint8_t bytes[16] = {};
        uint16_t count = static_cast<uint16_t>(c.count);
        EXPECT_EQ(FruTransfer::ReadDeviceData(c.device, c.offset, bytes, &count),
                  c.fits ? 0u : ORVANE_E_DEVICE_READ);
        EXPECT_EQ(FruTransfer::WriteDeviceData(c.device, c.offset, bytes, c.count),
                  c.fits ? 0u : ORVANE_E_DEVICE_WRITE);
        EXPECT_EQ(bmc.Log().empty(), !c.fits);
    }
    uint16_t nothing = 0;
    EXPECT_EQ(FruTransfer::ReadDeviceData(none, 0, nullptr, &nothing), 0u);
}

TEST(FruTransferTest, WritesShrinkOnC7) {
    SimulatedSystem bmc(System(R"({"match": {"command": "0x12"}, "completion_code": "0xC7",
                                   "times": 1})"));
    auto bytes = Counting(10);
    ASSERT_EQ(FruTransfer::WriteDeviceData(kDevice, 4, bytes.data(), 10), 0u);
    // 8 refused, then 4, 4 and 2.
    EXPECT_EQ(bmc.Log(true),
              (std::vector<std::string>{
                  "send rs=20 netfn=0A lun=00 cmd=12 data=[05 04 00 00 01 02 03 04 05 06 07]",
                  "send rs=20 netfn=0A lun=00 cmd=12 data=[05 04 00 00 01 02 03]",
                  "send rs=20 netfn=0A lun=00 cmd=12 data=[05 08 00 04 05 06 07]",
                  "send rs=20 netfn=0A lun=00 cmd=12 data=[05 0C 00 08 09]"}));
    uint8_t out[10];
    uint16_t count = 10;
    ASSERT_EQ(FruTransfer::ReadDeviceData(kDevice, 4, out, &count), 0u);
    EXPECT_EQ(FruTestImages::Bytes(out, 10), bytes);
}

TEST(FruTransferTest, BridgedReadsTravelInSendMessage) {
    SimulatedSystem bmc(System());
    const DeviceAddress satellite{FruTransfer::kKsbDevice, 0, 0x00, 0x30, 0x20, 0};
    const uint8_t sequence = FruTransfer::NextBridgeSequence();
    uint8_t out[2];
    uint16_t count = 2;
    ASSERT_EQ(FruTransfer::ReadDeviceData(satellite, 4, out, &count), 0u);
    EXPECT_EQ(out[0], 4);
    const auto log = bmc.Log();
    ASSERT_EQ(log.size(), 2u);
    // Channel 0, then the IPMB request to 0x30: netFn 0x0A << 2, header
    // checksum, the BMC as requester, the sequence number with the BMC's
    // message LUN 2 (where the answer is queued), Read FRU Data of
    // device 0 at offset 4 for 2 bytes, and the data checksum.
    const std::vector<uint8_t> inner = {
        0x20, static_cast<uint8_t>(sequence << 2 | 0x02), 0x11, 0, 4, 0, 2};
    const std::string expected = "send rs=20 netfn=06 lun=00 cmd=34 data=[00 30 28 A8 " +
                                 Hex(inner) + " " + Hex({FruTestImages::ZeroSum(inner)}) + "]";
    EXPECT_EQ(log[0].substr(0, expected.size()), expected) << log[0];
    EXPECT_EQ(log[1].rfind("recv -> result=00000000 data=[", 0), 0u) << log[1];
    // The sequence number runs 1 to 63 and around.
    for (int i = 0; i < 62; ++i) {
        count = 1;
        FruTransfer::ReadDeviceData(satellite, 0, out, &count);
    }
    EXPECT_EQ(FruTransfer::NextBridgeSequence(), sequence);
}

} // namespace
