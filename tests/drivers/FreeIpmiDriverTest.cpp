// The parts of the freeipmi driver module that need no BMC: the IPMB codec of
// Send Message and the settings from the environment.
#include "drivers/freeipmi/DriverSettings.h"
#include "drivers/freeipmi/IpmbMessage.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <numeric>

namespace {

// A Send Message the library builds: channel 0, target 0x30, Read FRU Data
// (netFn 0x0A, LUN 0) of device 0 at offset 0x0010, 8 bytes, sequence 5.
std::vector<uint8_t> ReadFruSendMessage() {
    std::vector<uint8_t> bytes = {0x00, 0x30, 0x0A << 2, 0,    0x20, (5 << 2) | 2,
                                  0x11, 0x00, 0x10,      0x00, 0x08};
    bytes[3] = IpmbMessage::Checksum(bytes.data() + 1, 2);
    bytes.push_back(IpmbMessage::Checksum(bytes.data() + 4, bytes.size() - 4));
    return bytes;
}

uint8_t Sum(const uint8_t* bytes, size_t count) {
    return static_cast<uint8_t>(std::accumulate(bytes, bytes + count, 0u));
}

} // namespace

TEST(IpmbMessage, DecodesTheEmbeddedRequest) {
    std::vector<uint8_t> bytes = ReadFruSendMessage();
    IpmbMessage::Request request;
    std::string why;
    ASSERT_TRUE(IpmbMessage::Decode(bytes.data(), bytes.size(), &request, &why)) << why;
    EXPECT_EQ(request.channel, 0);
    EXPECT_EQ(request.responderAddress, 0x30);
    EXPECT_EQ(request.netFn, 0x0A);
    EXPECT_EQ(request.responderLun, 0);
    EXPECT_EQ(request.requesterAddress, 0x20);
    EXPECT_EQ(request.sequence, 5);
    EXPECT_EQ(request.requesterLun, 2);
    EXPECT_EQ(request.command, 0x11);
    EXPECT_EQ(request.data, (std::vector<uint8_t>{0x00, 0x10, 0x00, 0x08}));
}

TEST(IpmbMessage, TrackingBitsAreNotPartOfTheChannel) {
    std::vector<uint8_t> bytes = ReadFruSendMessage();
    bytes[0] = 0x47; // track request, channel 7
    IpmbMessage::Request request;
    std::string why;
    ASSERT_TRUE(IpmbMessage::Decode(bytes.data(), bytes.size(), &request, &why));
    EXPECT_EQ(request.channel, 7);
}

TEST(IpmbMessage, RefusesShortOrCorruptRequests) {
    IpmbMessage::Request request;
    std::string why;
    std::vector<uint8_t> bytes = ReadFruSendMessage();
    EXPECT_FALSE(IpmbMessage::Decode(bytes.data(), 7, &request, &why));
    EXPECT_FALSE(IpmbMessage::Decode(nullptr, 12, &request, &why));

    std::vector<uint8_t> badHeader = bytes;
    badHeader[3] ^= 1;
    EXPECT_FALSE(IpmbMessage::Decode(badHeader.data(), badHeader.size(), &request, &why));
    EXPECT_NE(why.find("header checksum"), std::string::npos);

    std::vector<uint8_t> badData = bytes;
    badData[8] ^= 0x40;
    EXPECT_FALSE(IpmbMessage::Decode(badData.data(), badData.size(), &request, &why));
    EXPECT_NE(why.find("data checksum"), std::string::npos);

    // A request without data is the shortest valid one.
    std::vector<uint8_t> noData(bytes.begin(), bytes.begin() + 7);
    noData.push_back(IpmbMessage::Checksum(noData.data() + 4, 3));
    EXPECT_TRUE(IpmbMessage::Decode(noData.data(), noData.size(), &request, &why)) << why;
    EXPECT_TRUE(request.data.empty());
}

TEST(IpmbMessage, ResponseIsAValidIpmbMessageInTheReceiveLayout) {
    std::vector<uint8_t> bytes = ReadFruSendMessage();
    IpmbMessage::Request request;
    std::string why;
    ASSERT_TRUE(IpmbMessage::Decode(bytes.data(), bytes.size(), &request, &why));
    const uint8_t data[] = {0x08, 1, 2, 3, 4, 5, 6, 7, 8};
    std::vector<uint8_t> message =
        IpmbMessage::EncodeResponse(request, 0x00, data, sizeof data, 64);
    ASSERT_EQ(message.size(), 7 + sizeof data + 1);
    EXPECT_EQ(message[0], 0x20);                  // rqSA
    EXPECT_EQ(message[1], (0x0B << 2) | 2);       // response netFn, rqLUN
    EXPECT_EQ(Sum(message.data(), 3), 0);         // header checksum
    EXPECT_EQ(message[3], 0x30);                  // rsSA
    EXPECT_EQ(message[4] >> 2, request.sequence); // what the library matches on
    EXPECT_EQ(message[5], 0x11);
    EXPECT_EQ(message[6], 0x00); // completion code
    EXPECT_TRUE(std::equal(data, data + sizeof data, message.begin() + 7));
    EXPECT_EQ(Sum(message.data() + 3, message.size() - 3), 0);

    std::vector<uint8_t> refused = IpmbMessage::EncodeResponse(request, 0xC9, nullptr, 0, 64);
    ASSERT_EQ(refused.size(), 8u);
    EXPECT_EQ(refused[6], 0xC9);
}

TEST(IpmbMessage, ResponseIsCutToTheReceiveBuffer) {
    IpmbMessage::Request request;
    std::vector<uint8_t> data(100, 0xAB);
    std::vector<uint8_t> message =
        IpmbMessage::EncodeResponse(request, 0, data.data(), data.size(), 64);
    EXPECT_EQ(message.size(), 64u);
    EXPECT_EQ(Sum(message.data() + 3, message.size() - 3), 0);
}

TEST(DriverSettings, ParsesNamesAndNumbers) {
    using DriverSettings::Interface;
    Interface interface;
    EXPECT_TRUE(DriverSettings::ParseInterface("", &interface));
    EXPECT_EQ(interface, Interface::LanPlus);
    EXPECT_TRUE(DriverSettings::ParseInterface("LAN", &interface));
    EXPECT_EQ(interface, Interface::Lan);
    EXPECT_FALSE(DriverSettings::ParseInterface("kcs", &interface));

    uint8_t value = 0;
    EXPECT_TRUE(DriverSettings::ParsePrivilege("Operator", &value));
    EXPECT_EQ(value, 3);
    EXPECT_TRUE(DriverSettings::ParsePrivilege("administrator", &value));
    EXPECT_EQ(value, 4);
    EXPECT_TRUE(DriverSettings::ParsePrivilege("2", &value));
    EXPECT_EQ(value, 2);
    EXPECT_FALSE(DriverSettings::ParsePrivilege("5", &value));
    EXPECT_FALSE(DriverSettings::ParsePrivilege("root", &value));

    EXPECT_TRUE(DriverSettings::ParseCipher("17", &value));
    EXPECT_EQ(value, 17);
    EXPECT_FALSE(DriverSettings::ParseCipher("18", &value));
    EXPECT_FALSE(DriverSettings::ParseCipher("-1", &value));
    EXPECT_FALSE(DriverSettings::ParseCipher("3x", &value));
}

class DriverSettingsEnvironment : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* name : kNames)
            unsetenv(name);
    }
    void TearDown() override { SetUp(); }
    static constexpr const char* kNames[] = {"ORVANE_IPMI_HOST",          "ORVANE_IPMI_INTERFACE",
                                             "ORVANE_IPMI_USER",          "ORVANE_IPMI_PASSWORD",
                                             "ORVANE_IPMI_PASSWORD_FILE", "ORVANE_IPMI_PRIVILEGE",
                                             "ORVANE_IPMI_CIPHER"};
};

TEST_F(DriverSettingsEnvironment, NoHostMeansInBand) {
    DriverSettings::Settings settings;
    std::string why;
    setenv("ORVANE_IPMI_INTERFACE", "lan", 1);
    ASSERT_TRUE(DriverSettings::FromEnvironment(&settings, &why)) << why;
    EXPECT_EQ(settings.interface, DriverSettings::Interface::InBand);
}

TEST_F(DriverSettingsEnvironment, PasswordFileWinsAndItsLineEndIsDropped) {
    std::string path = ::testing::TempDir() + "orvane-ipmi-password";
    std::ofstream(path) << "from-file\r\nsecond line\n";
    setenv("ORVANE_IPMI_HOST", "bmc.example:6230", 1);
    setenv("ORVANE_IPMI_PASSWORD", "from-env", 1);
    setenv("ORVANE_IPMI_PASSWORD_FILE", path.c_str(), 1);
    setenv("ORVANE_IPMI_USER", "admin", 1);
    DriverSettings::Settings settings;
    std::string why;
    ASSERT_TRUE(DriverSettings::FromEnvironment(&settings, &why)) << why;
    EXPECT_EQ(settings.interface, DriverSettings::Interface::LanPlus);
    EXPECT_EQ(settings.host, "bmc.example:6230");
    EXPECT_EQ(settings.user, "admin");
    EXPECT_EQ(settings.password, "from-file");
    EXPECT_EQ(settings.privilege, 4);
    EXPECT_EQ(settings.cipher, 3);
    std::remove(path.c_str());
}

TEST_F(DriverSettingsEnvironment, BadValuesAreRefusedWithoutThePassword) {
    setenv("ORVANE_IPMI_HOST", "bmc", 1);
    setenv("ORVANE_IPMI_PASSWORD", "hunter2", 1);
    DriverSettings::Settings settings;
    std::string why;
    setenv("ORVANE_IPMI_PRIVILEGE", "root", 1);
    EXPECT_FALSE(DriverSettings::FromEnvironment(&settings, &why));
    EXPECT_NE(why.find("ORVANE_IPMI_PRIVILEGE"), std::string::npos);
    unsetenv("ORVANE_IPMI_PRIVILEGE");
    setenv("ORVANE_IPMI_INTERFACE", "serial", 1);
    EXPECT_FALSE(DriverSettings::FromEnvironment(&settings, &why));
    EXPECT_EQ(why.find("hunter2"), std::string::npos);
    unsetenv("ORVANE_IPMI_INTERFACE");
    setenv("ORVANE_IPMI_PASSWORD_FILE", "/nonexistent/orvane-password", 1);
    EXPECT_FALSE(DriverSettings::FromEnvironment(&settings, &why));
    EXPECT_NE(why.find("/nonexistent/orvane-password"), std::string::npos);
    EXPECT_EQ(why.find("hunter2"), std::string::npos);
}
