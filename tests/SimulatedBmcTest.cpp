// The simulated BMC module, driven through its two exported functions alone,
// with systems written into temporary folders. (The library's own request
// path to it is what every test on the simulated BMC and the demo host use.)
#include "TestSupport.h"
#include "drivers/KsbApi.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <dlfcn.h>
#include <fstream>
#include <random>
#include <string>
#include <tuple>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

struct Reply {
    uint32_t result = 0;
    uint8_t cc = 0;
    Bytes data;
};

class SimulatedBmc : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        handle_ = dlopen(ORVANE_SIM_DRIVER, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(handle_, nullptr) << dlerror();
        send_ = reinterpret_cast<KsbSendTimedRequestFn>(dlsym(handle_, "KsbSendTimedRequest"));
        receive_ = reinterpret_cast<KsbReceiveMessageFn>(dlsym(handle_, "KsbReceiveMessage"));
        ASSERT_NE(send_, nullptr);
        ASSERT_NE(receive_, nullptr);
    }
    void TearDown() override { unsetenv("ORVANE_SIM_LOG"); }

    // Writes system.json (and any files) into a fresh folder and names it.
    std::string UseSystem(const std::string& json) {
        dir_ = TestSupport::TempDir();
        std::string path = dir_ + "/system.json";
        std::ofstream(path) << json;
        setenv("ORVANE_SIM_SYSTEM", path.c_str(), 1);
        return path;
    }

    Reply Send(uint8_t rs, uint8_t netFn, uint8_t cmd, const Bytes& data, uint8_t lun = 0,
               uint32_t capacity = 64) {
        KsbRequestBlock block{cmd, rs, 0, netFn, lun, data.data(), uint32_t(data.size())};
        static const uint8_t none = 0;
        if (data.empty())
            block.data = &none;
        Reply reply;
        uint8_t buffer[64] = {};
        uint32_t length = capacity;
        reply.result = send_(&block, 5000, buffer, &length, &reply.cc);
        reply.data.assign(buffer, buffer + length);
        return reply;
    }

    uint32_t Receive(Bytes& message) {
        uint8_t buffer[64] = {};
        uint32_t length = sizeof buffer, flags = 7;
        uint32_t result = receive_(buffer, &length, 0, &flags, 0);
        message.assign(buffer, buffer + length);
        return result;
    }

    static inline void* handle_ = nullptr;
    static inline KsbSendTimedRequestFn send_ = nullptr;
    static inline KsbReceiveMessageFn receive_ = nullptr;
    std::string dir_;
};

// A Send Message to target on channel carrying netFn/command/data, with
// correct checksums.
Bytes Bridge(uint8_t channel, uint8_t target, uint8_t netFn, uint8_t cmd, const Bytes& data,
             uint8_t seq) {
    Bytes m = {channel,
               target,
               uint8_t(netFn << 2),
               uint8_t(-(target + (netFn << 2))),
               0x20,
               uint8_t(seq << 2 | 2),
               cmd};
    for (const uint8_t b : data) // an insert() here trips GCC 12's -Warray-bounds at -O2
        m.push_back(b);
    uint8_t sum = 0;
    for (size_t i = 4; i < m.size(); ++i)
        sum = uint8_t(sum + m[i]);
    m.push_back(uint8_t(-sum));
    return m;
}

const char* kSmall = R"({
  "ipmi_version": "0x02",
  "controllers": [
    { "address": "0x20",
      "fru_devices": [ { "id": 0, "hex": "01 02 03 04 05 06 07 08 09 0A", "size": 16 },
                       { "id": 1, "hex": "AA BB", "write_protected": true } ],
      "i2c_devices": [ { "bus": 1, "address": "0xA0", "kind": "AT24CO2", "size": 512 },
                       { "bus": 2, "address": "0x9E", "kind": "DS1624S", "hex": "10 11 12 13" } ],
      "max_read": 12, "oversize_code": "0xC8" },
    { "address": "0x30", "channel": 0, "ipmi_version": 81,
      "fru_devices": [ { "id": 0, "hex": "51 52 53 54" } ] },
    { "address": "0x32", "channel": 1 }
  ],
  "sdr": [
    { "type": "mc_locator", "address": "0x30", "name": "Satellite" },
    { "type": "fru_locator", "access_address": "0x20", "device": "0xA1", "logical": false,
      "lun": 1, "bus": 3, "device_type": "0x02", "name": "Riser" },
    { "raw": "07 00 51 03 01 FF" }
  ]
})";

TEST_F(SimulatedBmc, AnswersDeviceIdFruAndI2cCommands) {
    UseSystem(kSmall);
    Reply id = Send(0x20, 0x06, 0x01, {});
    ASSERT_EQ(std::tuple(id.result, id.data.size()), std::tuple(0u, size_t{11}));
    EXPECT_EQ(id.data[4], 0x02);
    EXPECT_EQ(Send(0x30, 0x06, 0x01, {}).data[4], 0x51); // a satellite over IPMB, its own version
    EXPECT_EQ(Send(0x20, 0x06, 0x01, {0}).cc, 0xC7);

    EXPECT_EQ(Send(0x20, 0x0A, 0x10, {0}).data, (Bytes{16, 0, 0}));
    // Padded with 0xFF to its size.
    EXPECT_EQ(Send(0x20, 0x0A, 0x11, {0, 8, 0, 4}).data, (Bytes{4, 0x09, 0x0A, 0xFF, 0xFF}));
    EXPECT_EQ(Send(0x20, 0x0A, 0x11, {0, 12, 0, 4}).cc, 0);
    EXPECT_EQ(Send(0x20, 0x0A, 0x11, {0, 13, 0, 4}).cc, 0xC9); // past the end
    EXPECT_EQ(Send(0x20, 0x0A, 0x11, {0, 0, 0, 13}).cc, 0xC8); // over max_read
    EXPECT_EQ(Send(0x20, 0x0A, 0x11, {5, 0, 0, 1}).cc, 0xCB);  // no such device
    EXPECT_EQ(Send(0x20, 0x0A, 0x11, {0, 0, 0}).cc, 0xC7);
    EXPECT_EQ(Send(0x20, 0x0A, 0x11, {0, 0, 0, 8}, 0, 5).cc, 0xCA); // no room for the answer

    EXPECT_EQ(Send(0x20, 0x0A, 0x12, {0, 14, 0, 0xEE, 0xEF}).data, (Bytes{2}));
    EXPECT_EQ(Send(0x20, 0x0A, 0x11, {0, 13, 0, 3}).data, (Bytes{3, 0xFF, 0xEE, 0xEF}));
    EXPECT_EQ(Send(0x20, 0x0A, 0x12, {0, 15, 0, 1, 2}).cc, 0xC9);
    EXPECT_EQ(Send(0x20, 0x0A, 0x12, {1, 0, 0, 1}).cc, 0x80); // write protected
    EXPECT_EQ(Send(0x20, 0x0A, 0x11, {1, 0, 0, 2}).data, (Bytes{2, 0xAA, 0xBB}));

    EXPECT_EQ(Send(0x20, 0x0A, 0x99, {}).cc, 0xC1);
    EXPECT_EQ(Send(0x30, 0x0A, 0x22, {}).cc, 0xC1); // only the BMC keeps the SDR repository
    EXPECT_EQ(Send(0x44, 0x06, 0x01, {}).result, KSB_RESULT_TIMEOUT); // nobody there

    // AT24CO2 on private bus 1: bus byte 1 << 1 | 1, offset high then low.
    EXPECT_EQ(Send(0x20, 0x06, 0x52, {0x03, 0xA0, 0, 0x01, 0x02, 0x5A, 0x5B}).cc, 0);
    EXPECT_EQ(Send(0x20, 0x06, 0x52, {0x03, 0xA0, 3, 0x01, 0x01}).data, (Bytes{0xFF, 0x5A, 0x5B}));
    EXPECT_EQ(Send(0x20, 0x06, 0x52, {0x03, 0xA0, 2, 0x01, 0xFF}).cc, 0xC9);
    // DS1624S on bus 2: access-memory command 0x17, then a one-byte offset.
    EXPECT_EQ(Send(0x20, 0x06, 0x52, {0x05, 0x9E, 2, 0x17, 0x02}).data, (Bytes{0x12, 0x13}));
    EXPECT_EQ(Send(0x20, 0x06, 0x52, {0x05, 0x9E, 0, 0x17, 0x00, 0x20}).cc, 0);
    EXPECT_EQ(Send(0x20, 0x06, 0x52, {0x05, 0x9E, 1, 0x17, 0x00}).data, (Bytes{0x20}));
    EXPECT_EQ(Send(0x20, 0x06, 0x52, {0x05, 0x9E, 1, 0xAA, 0x00}).cc, 0xCC);
    // The wrong bus, a public bus or an empty address get no acknowledge.
    EXPECT_EQ(Send(0x20, 0x06, 0x52, {0x05, 0xA0, 1, 0, 0}).cc, 0x83);
    EXPECT_EQ(Send(0x20, 0x06, 0x52, {0x02, 0xA0, 1, 0, 0}).cc, 0x83);
    EXPECT_EQ(Send(0x20, 0x06, 0x52, {0x03, 0xA2, 1, 0, 0}).cc, 0x83);
    EXPECT_EQ(Send(0x20, 0x06, 0x52, {0x03, 0xA0, 1, 0}).cc, 0xC7);     // one offset byte only
    EXPECT_EQ(Send(0x20, 0x06, 0x52, {0x03, 0xA0, 13, 0, 0}).cc, 0xC8); // over max_read
}

TEST_F(SimulatedBmc, ServesSdrRecordsUnderReservations) {
    UseSystem(kSmall);
    Reply first = Send(0x20, 0x0A, 0x22, {});
    Reply second = Send(0x20, 0x0A, 0x22, {});
    ASSERT_EQ(first.data.size(), 2u);
    EXPECT_NE(first.data, second.data);
    uint8_t lo = second.data[0], hi = second.data[1];

    Reply mc = Send(0x20, 0x0A, 0x23, {lo, hi, 0, 0, 0, 0xFF});
    EXPECT_EQ(mc.data, (Bytes{1, 0, 0, 0,    0x51, 0x12, 20,  0x30, 0,   0,   0x08, 0,   0,  0,
                              0, 0, 0, 0xC9, 'S',  'a',  't', 'e',  'l', 'l', 'i',  't', 'e'}));
    Reply fru = Send(0x20, 0x0A, 0x23, {lo, hi, 1, 0, 0, 21});
    EXPECT_EQ(fru.data, (Bytes{2,    0, 1, 0, 0x51, 0x11, 16,  0x20, 0xA0, 0x0B, 0,  0,
                               0x02, 0, 0, 0, 0,    0xC5, 'R', 'i',  's',  'e',  'r'}));
    EXPECT_EQ(Send(0x20, 0x0A, 0x23, {lo, hi, 2, 0, 0, 16}).data,
              (Bytes{0xFF, 0xFF, 7, 0, 0x51, 3, 1, 0xFF})); // raw, byte for byte; then the end
    EXPECT_EQ(Send(0x20, 0x0A, 0x23, {lo, hi, 1, 0, 16, 2}).data, (Bytes{2, 0, 'R', 'i'}));
    EXPECT_EQ(Send(0x20, 0x0A, 0x23, {0, 0, 0xFF, 0xFF, 0, 1}).data, (Bytes{0xFF, 0xFF, 7}));
    EXPECT_EQ(Send(0x20, 0x0A, 0x23, {lo, hi, 3, 0, 0, 5}).cc, 0xCB);
    EXPECT_EQ(Send(0x20, 0x0A, 0x23, {lo, hi, 2, 0, 7, 1}).cc, 0xC9);

    // A partial read with a superseded reservation is refused; offset 0 needs none.
    EXPECT_EQ(Send(0x20, 0x0A, 0x23, {first.data[0], first.data[1], 1, 0, 5, 4}).cc, 0xC5);
    EXPECT_EQ(Send(0x20, 0x0A, 0x23, {first.data[0], first.data[1], 1, 0, 0, 4}).cc, 0);
    EXPECT_EQ(Send(0x20, 0x0A, 0x23, {lo, hi, 1, 0}).cc, 0xC7);
}

TEST_F(SimulatedBmc, BridgesToSatellitesThroughTheReceiveQueue) {
    UseSystem(kSmall);
    Bytes message;
    EXPECT_EQ(Receive(message), KSB_RESULT_TIMEOUT);

    Reply outer = Send(0x20, 0x06, 0x34, Bridge(0, 0x30, 0x0A, 0x11, {0, 1, 0, 2}, 37));
    EXPECT_EQ(std::tuple(outer.result, outer.cc, outer.data.size()), std::tuple(0u, 0, 0u));
    // To the BMC's LUN 2 from 0x30: netFn 0x0B, the sequence number, the
    // command, the completion code and the data, both checksums.
    ASSERT_EQ(Receive(message), KSB_RESULT_OK);
    EXPECT_EQ(message, (Bytes{0x20, 0x2E, 0xB2, 0x30, 37 << 2, 0x11, 0, 2, 0x52, 0x53, 0x84}));
    EXPECT_EQ(Receive(message), KSB_RESULT_TIMEOUT);

    // The inner request's own completion code travels in the message.
    Send(0x20, 0x06, 0x34, Bridge(0, 0x30, 0x0A, 0x11, {9, 0, 0, 1}, 5));
    ASSERT_EQ(Receive(message), KSB_RESULT_OK);
    EXPECT_EQ(message[6], 0xCB);

    EXPECT_EQ(Send(0x20, 0x06, 0x34, Bridge(0, 0x40, 0x06, 0x01, {}, 1)).cc, 0x83);
    EXPECT_EQ(Send(0x20, 0x06, 0x34, Bridge(0, 0x32, 0x06, 0x01, {}, 1)).cc, 0x83); // channel 1
    EXPECT_EQ(Send(0x20, 0x06, 0x34, Bridge(1, 0x32, 0x06, 0x01, {}, 1)).cc, 0);
    ASSERT_EQ(Receive(message), KSB_RESULT_OK);
    for (size_t at : {size_t{3}, size_t{7}}) { // either checksum wrong
        Bytes bad = Bridge(0, 0x30, 0x06, 0x01, {}, 1);
        bad[at] ^= 1;
        EXPECT_EQ(Send(0x20, 0x06, 0x34, bad).cc, 0xCC);
    }
    EXPECT_EQ(Send(0x20, 0x06, 0x34, {0, 0x30, 0x18, 0xB8, 0x20, 4, 1}).cc, 0xC7);
    EXPECT_EQ(Receive(message), KSB_RESULT_TIMEOUT);

    // A message larger than the caller's buffer stays queued.
    Send(0x20, 0x06, 0x34, Bridge(0, 0x30, 0x06, 0x01, {}, 2));
    uint8_t small[8];
    uint32_t length = sizeof small, flags = 0;
    EXPECT_EQ(receive_(small, &length, 0, &flags, 0), KSB_RESULT_MALFORMED);
    EXPECT_EQ(Receive(message), KSB_RESULT_OK);
    EXPECT_EQ(message.size(), 19u);
}

TEST_F(SimulatedBmc, AppliesFaultsAfterSkipForTimes) {
    UseSystem(R"({
      "controllers": [
        { "address": "0x20", "fru_devices": [ { "id": 0, "size": 64 }, { "id": 1, "size": 8 } ],
          "i2c_devices": [ { "bus": 0, "address": "0xA0", "kind": "AT24CO2", "size": 256 } ] },
        { "address": "0x30", "fru_devices": [ { "id": 0, "size": 8 } ] } ],
      "faults": [
        { "match": { "netfn": "0x0A", "command": "0x11", "responder": "0x20", "device": 0,
                     "offset": 16 }, "completion_code": "0xC8", "skip": 1, "times": 2 },
        { "match": { "command": "0x11", "device": 1 }, "result": "0xE0000004", "times": 1 },
        { "match": { "command": "0x52", "offset": 258 }, "completion_code": "0xC0" },
        { "match": { "bridged": true, "command": "0x01" }, "effect": "no_response", "times": 1 },
        { "match": { "bridged": true, "command": "0x11" }, "effect": "wrong_sequence" },
        { "match": { "responder": "0x30", "bridged": false }, "effect": "no_response" },
        { "match": { "command": "0x11", "device": 0, "offset": 0 }, "effect": "corrupt_data",
          "skip": 1, "times": 1 }
      ] })");
    Bytes at16 = {0, 16, 0, 1};
    EXPECT_EQ(Send(0x20, 0x0A, 0x11, at16).cc, 0);          // skipped
    EXPECT_EQ(Send(0x20, 0x0A, 0x11, at16).cc, 0xC8);       // then twice
    EXPECT_EQ(Send(0x20, 0x0A, 0x11, {0, 17, 0, 1}).cc, 0); // another offset
    EXPECT_EQ(Send(0x20, 0x0A, 0x11, at16).cc, 0xC8);
    EXPECT_EQ(Send(0x20, 0x0A, 0x11, at16).cc, 0); // used up

    // corrupt_data keeps the completion code and the count, and inverts the
    // last byte of the answer.
    Bytes at0 = {0, 0, 0, 2};
    EXPECT_EQ(Send(0x20, 0x0A, 0x11, at0).data, (Bytes{2, 0xFF, 0xFF}));
    Reply corrupted = Send(0x20, 0x0A, 0x11, at0);
    EXPECT_EQ(std::tuple(corrupted.cc, corrupted.data), std::tuple(0, Bytes{2, 0xFF, 0x00}));
    EXPECT_EQ(Send(0x20, 0x0A, 0x11, at0).data, (Bytes{2, 0xFF, 0xFF}));

    Reply failed = Send(0x20, 0x0A, 0x11, {1, 0, 0, 1});
    EXPECT_EQ(std::tuple(failed.result, failed.data), std::tuple(KSB_RESULT_TRANSPORT, Bytes{}));
    EXPECT_EQ(Send(0x20, 0x0A, 0x11, {1, 0, 0, 1}).result, KSB_RESULT_OK);

    for (int i = 0; i < 3; ++i) // no times: every matching request
        EXPECT_EQ(Send(0x20, 0x06, 0x52, {0x01, 0xA0, 1, 1, 2}).cc, 0xC0);
    EXPECT_EQ(Send(0x20, 0x06, 0x52, {0x01, 0xA0, 1, 0, 3}).cc, 0);

    Bytes message;
    EXPECT_EQ(Send(0x20, 0x06, 0x34, Bridge(0, 0x30, 0x06, 0x01, {}, 9)).cc, 0);
    EXPECT_EQ(Receive(message), KSB_RESULT_TIMEOUT); // the answer never arrives
    EXPECT_EQ(Send(0x20, 0x06, 0x34, Bridge(0, 0x30, 0x06, 0x01, {}, 9)).cc, 0);
    ASSERT_EQ(Receive(message), KSB_RESULT_OK);

    EXPECT_EQ(Send(0x20, 0x06, 0x34, Bridge(0, 0x30, 0x0A, 0x11, {0, 0, 0, 1}, 63)).cc, 0);
    ASSERT_EQ(Receive(message), KSB_RESULT_OK);
    EXPECT_EQ(message[4] >> 2, 1); // another sequence number first
    ASSERT_EQ(Receive(message), KSB_RESULT_OK);
    EXPECT_EQ(message[4] >> 2, 63);

    EXPECT_EQ(Send(0x30, 0x06, 0x01, {}).result, KSB_RESULT_TIMEOUT);
}

// Writes land in the image files; one past a file's end fills the bytes between.
TEST_F(SimulatedBmc, WritesBackToTheImageFile) {
    const std::string dir = TestSupport::TempDir(), fru = dir + "/fru.bin", rom = dir + "/rom.bin";
    TestSupport::WriteFile(fru, {1, 2, 3, 4});
    TestSupport::WriteFile(rom, {9, 9});
    UseSystem(R"({ "controllers": [ { "address": "0x20", "fru_devices": [ { "id": 0, "image": ")" +
              fru + R"(", "size": 8 } ], "i2c_devices": [ { "bus": 1, "address": "0xA0",
              "kind": "AT24CO2", "image": ")" +
              rom + R"(" } ] } ] })");
    EXPECT_EQ(Send(0x20, 0x0A, 0x12, {0, 1, 0, 0x22}).cc, 0);
    EXPECT_EQ(Send(0x20, 0x0A, 0x12, {0, 6, 0, 0x77}).cc, 0);
    EXPECT_EQ(TestSupport::ReadFile(fru), (Bytes{1, 0x22, 3, 4, 0xFF, 0xFF, 0x77}));
    EXPECT_EQ(Send(0x20, 0x06, 0x52, {0x03, 0xA0, 0, 0, 1, 0x55}).cc, 0);
    EXPECT_EQ(TestSupport::ReadFile(rom), (Bytes{9, 0x55}));
}

TEST_F(SimulatedBmc, LogsEveryCallExactly) {
    UseSystem(R"({ "controllers": [ { "address": "0x20", "fru_devices": [
        { "id": 0, "hex": "01 00 00 01 00 00 00 FE 01 01 00 00 01 07 00 00 F7" } ] } ] })");
    std::string log = TestSupport::TempDir() + "/sim.log";
    setenv("ORVANE_SIM_LOG", log.c_str(), 1);
    Send(0x20, 0x0A, 0x11, {0, 0, 0, 8});
    Send(0x20, 0x0A, 0x11, {0, 0x10, 0, 2});
    Send(0x44, 0x06, 0x01, {}, 2);
    Bytes message;
    Receive(message);
    KsbRequestBlock block{0x11, 0x20, 0, 0x0A, 0, message.data(), 65}; // too long
    uint8_t buffer[64], cc = 0;
    uint32_t length = 64, flags = 0;
    EXPECT_EQ(send_(&block, 0, buffer, &length, &cc), KSB_RESULT_MALFORMED);
    EXPECT_EQ(TestSupport::ReadText(log),
              "send rs=20 netfn=0A lun=00 cmd=11 data=[00 00 00 08] -> result=00000000 cc=00 "
              "data=[08 01 00 00 01 00 00 00 FE]\n"
              "send rs=20 netfn=0A lun=00 cmd=11 data=[00 10 00 02] -> result=00000000 cc=C9 "
              "data=[]\n"
              "send rs=44 netfn=06 lun=02 cmd=01 data=[] -> result=E0000003 cc=00 data=[]\n"
              "recv -> result=E0000003 data=[]\n"
              "send rs=20 netfn=0A lun=00 cmd=11 data=[] -> result=E0000005 cc=00 data=[]\n");
    block.dataLength = 0;
    EXPECT_EQ(send_(nullptr, 0, buffer, &length, &cc), KSB_RESULT_MALFORMED);
    EXPECT_EQ(send_(&block, 0, nullptr, &length, &cc), KSB_RESULT_MALFORMED);
    EXPECT_EQ(send_(&block, 0, buffer, nullptr, &cc), KSB_RESULT_MALFORMED);
    EXPECT_EQ(send_(&block, 0, buffer, &length, nullptr), KSB_RESULT_MALFORMED);
    block.data = nullptr;
    EXPECT_EQ(send_(&block, 0, buffer, &length, &cc), KSB_RESULT_MALFORMED);
    EXPECT_EQ(receive_(nullptr, &length, 0, &flags, 0), KSB_RESULT_MALFORMED);
    EXPECT_EQ(receive_(buffer, nullptr, 0, &flags, 0), KSB_RESULT_MALFORMED);
}

// The module looks at the environment again only when it changed: every kind
// of change between two requests (a new value, a removed variable, another
// added or removed before it, another system named) must still be seen.
TEST_F(SimulatedBmc, FollowsEnvironmentChangesBetweenRequests) {
    UseSystem(R"({ "ipmi_version": "0x51", "controllers": [
        { "address": "0x20", "fru_devices": [ { "id": 0, "size": 4 } ] } ] })");
    std::string first = dir_ + "/first.log", second = dir_ + "/second.log";
    setenv("ORVANE_SIM_LOG", first.c_str(), 1);
    EXPECT_EQ(Send(0x20, 0x0A, 0x12, {0, 0, 0, 0x42}).cc, 0);
    setenv("ORVANE_SIM_TEST_UNRELATED", "1", 1); // appended behind the others
    EXPECT_EQ(Send(0x20, 0x06, 0x01, {}).data[4], 0x51);
    setenv("ORVANE_SIM_LOG", second.c_str(), 1);
    Send(0x20, 0x0A, 0x22, {});
    unsetenv("ORVANE_SIM_TEST_UNRELATED");
    unsetenv("ORVANE_SIM_LOG");
    Send(0x20, 0x06, 0x01, {});
    setenv("ORVANE_SIM_LOG", first.c_str(), 1);
    UseSystem(R"({ "ipmi_version": "0x02", "controllers": [
        { "address": "0x20", "fru_devices": [ { "id": 0, "size": 4 } ] } ] })");
    EXPECT_EQ(Send(0x20, 0x06, 0x01, {}).data[4], 0x02);
    EXPECT_EQ(Send(0x20, 0x0A, 0x11, {0, 0, 0, 1}).data, (Bytes{1, 0xFF}));
    EXPECT_EQ(Send(0x20, 0x0A, 0x22, {}).data, (Bytes{1, 0})); // reservations start afresh
    auto lines = [](const std::string& path) {
        std::string text = TestSupport::ReadText(path);
        return std::count(text.begin(), text.end(), '\n');
    };
    EXPECT_EQ(lines(first), 5);
    EXPECT_EQ(lines(second), 1);
}

TEST_F(SimulatedBmc, BadDescriptionsFailEveryRequest) {
    struct Case {
        const char* json;
        const char* reason;
    } cases[] = {
        {"{ \"controllers\": [ ", "not valid JSON"},
        {R"({ "controllers": [ { "address": "0x20", "fru_devices": [
              { "id": 0, "image": "missing.bin" } ] } ] })",
         "missing.bin"},
        {R"({ "controlers": [] })", "unknown key \"controlers\""},
        {R"({ "controllers": [ { "address": "0x20", "fru_devices": [
              { "id": 0, "hex": "01 02", "size": 1 } ] } ] })",
         "smaller"},
        {R"({ "sdr": [ { "type": "sensor" } ] })", "sensor"},
        {R"({ "faults": [ { "match": {}, "effect": "explode" } ] })", "explode"},
        {R"({ "ipmi_version": "fifty" })", "not a number"},
    };
    for (const Case& c : cases) {
        std::string path = UseSystem(c.json);
        testing::internal::CaptureStderr();
        Reply first = Send(0x20, 0x06, 0x01, {});
        Reply second = Send(0x20, 0x06, 0x01, {});
        std::string error = testing::internal::GetCapturedStderr();
        EXPECT_EQ(first.result, KSB_RESULT_TRANSPORT) << c.json;
        EXPECT_EQ(second.result, KSB_RESULT_TRANSPORT);
        EXPECT_NE(error.find(path), std::string::npos) << error;
        EXPECT_NE(error.find(c.reason), std::string::npos) << error;
        EXPECT_EQ(error.find('\n'), error.size() - 1) << "one line, once: " << error;
        Bytes message;
        EXPECT_EQ(Receive(message), KSB_RESULT_TRANSPORT);
    }
    setenv("ORVANE_SIM_SYSTEM", (TestSupport::TempDir() + "/none.json").c_str(), 1);
    testing::internal::CaptureStderr();
    EXPECT_EQ(Send(0x20, 0x06, 0x01, {}).result, KSB_RESULT_TRANSPORT);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("none.json"), std::string::npos);
}

// Random requests, exactly as long as they say (ASan sees any over-read), a
// third of them well-formed bridging of a random inner request.
TEST_F(SimulatedBmc, SurvivesRandomRequests) {
    UseSystem(kSmall);
    static const uint8_t kNoData = 0;
    std::mt19937 random(20261206);
    const uint8_t responders[] = {0x20, 0x30, 0x32, 0x44};
    for (int i = 0; i < 100000; ++i) {
        uint32_t size = random() % 65;
        Bytes data(size);
        for (auto& b : data)
            b = uint8_t(random());
        KsbRequestBlock block{uint8_t(i % 4 == 0 ? random() : 0x10 + random() % 0x48),
                              responders[random() % 4],
                              0,
                              uint8_t(random() % 0x40),
                              uint8_t(random() % 4),
                              size ? data.data() : &kNoData,
                              size};
        if (i % 3 == 0 && size >= 8) {
            data = Bridge(data[0] & 1, (random() % 2) ? 0x30 : 0x20, data[1] % 0x40, data[2],
                          Bytes(data.begin() + 8, data.end()), data[3] & 0x3F);
            block = {0x34, 0x20, 0, 0x06, block.lun, data.data(), uint32_t(data.size())};
        }
        uint8_t response[64], cc = 0;
        uint32_t capacity = random() % 65, length = capacity;
        uint32_t result = send_(&block, 0, response, &length, &cc);
        ASSERT_TRUE(result == KSB_RESULT_OK || result == KSB_RESULT_TIMEOUT) << i;
        ASSERT_LE(length, capacity);
        Bytes message;
        if (result == KSB_RESULT_OK && cc == 0 && block.command == 0x34) {
            ASSERT_EQ(Receive(message), KSB_RESULT_OK);
        }
    }
}

} // namespace
