// The parts of the freeipmi driver module that need no BMC: the IPMB codec of
// Send Message, the settings from the environment, and the read-ahead and SDR
// caches, which send through the wire seam to a scripted BMC here.
#include "drivers/freeipmi/CachingTransport.h"
#include "drivers/freeipmi/CipherSuites.h"
#include "drivers/freeipmi/DriverSettings.h"
#include "drivers/freeipmi/IpmbMessage.h"
#include "drivers/freeipmi/SdrCacheFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <numeric>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using Bytes = std::vector<uint8_t>;

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
    // The tracking bits are not part of the channel.
    bytes[0] = 0x47; // track request, channel 7
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
    // Cut to the receive buffer, still a valid message.
    std::vector<uint8_t> many(100, 0xAB);
    message = IpmbMessage::EncodeResponse(request, 0, many.data(), many.size(), 64);
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
    // Privileges, cipher suites, auth types: the value taken, -1 for a refused text.
    struct Case {
        bool (*parse)(const std::string&, uint8_t*);
        const char* text;
        int value;
    } cases[] = {{DriverSettings::ParsePrivilege, "Operator", 3},
                 {DriverSettings::ParsePrivilege, "administrator", 4},
                 {DriverSettings::ParsePrivilege, "2", 2},
                 {DriverSettings::ParsePrivilege, "5", -1},
                 {DriverSettings::ParsePrivilege, "root", -1},
                 {DriverSettings::ParseCipher, "17", 17},
                 {DriverSettings::ParseCipher, "20", -1},
                 {DriverSettings::ParseCipher, "-1", -1},
                 {DriverSettings::ParseCipher, "3x", -1},
                 {DriverSettings::ParseAuthType, "MD5", 2},
                 {DriverSettings::ParseAuthType, "straight", 4},
                 {DriverSettings::ParseAuthType, "rc4", -1}};
    for (const Case& c : cases) {
        uint8_t value = 0xEE;
        EXPECT_EQ(c.parse(c.text, &value), c.value >= 0) << c.text;
        if (c.value >= 0) {
            EXPECT_EQ(value, c.value) << c.text;
        }
    }
    // K_g: text, hex, and what is refused.
    struct KgCase {
        const char* line;
        Bytes kg; // empty: refused
    } keys[] = {{"gate", {'g', 'a', 't', 'e'}},
                {"0x01aBff", {0x01, 0xAB, 0xFF}},
                {"0x", {'0', 'x'}}, // no digits: the text "0x"
                {"0x123", {}},
                {"0xzz", {}},
                {"", {}},
                {"123456789012345678901", {}},
                {"0x0102030405060708090a0b0c0d0e0f101112131415", {}}};
    for (const KgCase& k : keys) {
        Bytes kg;
        std::string why;
        EXPECT_EQ(DriverSettings::ParseKg(k.line, &kg, &why), !k.kg.empty()) << k.line;
        EXPECT_EQ(kg, k.kg) << k.line;
    }
}

TEST(CipherSuites, ChoosesTheStrongestOfferedSuiteThatProtects) {
    // What ipmi_sim answers, in its two pieces: suites 0 to 14.
    const Bytes records = {
        0xC0, 0x00, 0x00, 0x40, 0x80, 0xC0, 0x01, 0x01, 0x40, 0x80, 0xC0, 0x02, 0x01, 0x41, 0x80,
        0xC0, 0x03, 0x01, 0x41, 0x81, 0xC0, 0x04, 0x01, 0x41, 0x82, 0xC0, 0x05, 0x01, 0x41, 0x83,
        0xC0, 0x06, 0x02, 0x40, 0x80, 0xC0, 0x07, 0x02, 0x42, 0x80, 0xC0, 0x08, 0x02, 0x42, 0x81,
        0xC0, 0x09, 0x02, 0x42, 0x82, 0xC0, 0x0A, 0x02, 0x42, 0x83, 0xC0, 0x0B, 0x02, 0x43, 0x80,
        0xC0, 0x0C, 0x02, 0x43, 0x81, 0xC0, 0x0D, 0x02, 0x43, 0x82, 0xC0, 0x0E, 0x02, 0x43, 0x83};
    Bytes all(15);
    std::iota(all.begin(), all.end(), 0);
    EXPECT_EQ(CipherSuites::ParseRecords(records), all);
    // An OEM record (C1h, id, IANA number that holds C0h) is left out.
    EXPECT_EQ(CipherSuites::ParseRecords({0xC1, 0x50, 0xC0, 0x11, 0x00, 0x01, 0xC0, 0x11, 0x03}),
              Bytes{0x11});
    struct Case {
        Bytes offered;
        int chosen; // -1: refused
    } cases[] = {{all, 3},
                 {{0, 1, 3, 17}, 17},
                 {{12, 8, 1}, 8},
                 {{12, 2}, 12},
                 {{0, 1, 2, 6, 7, 11, 15, 16}, -1},
                 {{4, 5, 18}, -1}, // xRC4 only: libfreeipmi has no xRC4
                 {{}, -1}};
    for (const Case& c : cases) {
        auto chosen = CipherSuites::Choose(c.offered);
        EXPECT_EQ(chosen ? *chosen : -1, c.chosen) << CipherSuites::List(c.offered);
    }
    for (uint8_t id = 0; id <= CipherSuites::kLastStandard; ++id) {
        const bool weak = id <= 2 || id == 6 || id == 7 || id == 11 || id == 15 || id == 16;
        EXPECT_EQ(CipherSuites::Protects(id), !weak) << int(id);
    }
    EXPECT_EQ(CipherSuites::Describe(0), "0 (RAKP-none, no integrity, no encryption)");
    EXPECT_EQ(CipherSuites::Request(0x41), (Bytes{0x0E, 0x00, 0x81}));
}

TEST(DriverSettings, ReadsAndRefusesTheEnvironment) {
    const char* const names[] = {"ORVANE_IPMI_HOST",      "ORVANE_IPMI_INTERFACE",
                                 "ORVANE_IPMI_USER",      "ORVANE_IPMI_PASSWORD",
                                 "ORVANE_PASSWORD",       "ORVANE_IPMI_PASSWORD_FILE",
                                 "ORVANE_IPMI_PRIVILEGE", "ORVANE_IPMI_LEAST_PRIVILEGE",
                                 "ORVANE_IPMI_CIPHER",    "ORVANE_IPMI_KG_FILE",
                                 "ORVANE_IPMI_AUTH_TYPE", "ORVANE_IPMI_INSECURE"};
    const std::string folder = ::testing::TempDir();
    const auto file = [&](const char* name, const char* text, mode_t mode) {
        const std::string path = folder + name;
        std::ofstream(path) << text;
        chmod(path.c_str(), mode);
        return path;
    };
    const std::string good = file("orvane-pw-good", "from-file\r\nsecond line\n", 0600);
    const std::string open = file("orvane-pw-open", "from-file\n", 0644);
    const std::string kgText = file("orvane-kg-text", "gate\n", 0600);
    const std::string kgHex = file("orvane-kg-hex", "0x0a0B\n", 0400);
    const std::string kgBad = file("orvane-kg-bad", "0xabc\n", 0600);
    const std::string kgOpen = file("orvane-kg-open", "gate\n", 0640);
    const std::string foreign = file("orvane-pw-foreign", "x\n", 0600);
    const bool chowned = chown(foreign.c_str(), 65534, 65534) == 0;
    struct Case {
        std::vector<std::pair<const char*, std::string>> env; // beside HOST=bmc, PASSWORD=hunter2
        const char* refusal;                                  // what the reason names; null: taken
        std::function<void(const DriverSettings::Settings&)> check;
    };
    using S = DriverSettings::Settings;
    const Case cases[] = {
        {{{"ORVANE_IPMI_HOST", ""}, {"ORVANE_IPMI_INTERFACE", "lan"}},
         nullptr,
         [](const S& s) { EXPECT_EQ(s.interface, DriverSettings::Interface::InBand); }},
        {{{"ORVANE_IPMI_PASSWORD_FILE", good}, {"ORVANE_IPMI_USER", "admin"}},
         nullptr,
         [](const S& s) {
             EXPECT_EQ(s.interface, DriverSettings::Interface::LanPlus);
             EXPECT_EQ(s.user, "admin");
             EXPECT_EQ(s.password, "from-file");
             EXPECT_EQ(s.privilege, 2);
             EXPECT_FALSE(s.privilegeFixed);
             EXPECT_FALSE(s.cipher);
             EXPECT_TRUE(s.kg.empty());
         }},
        {{{"ORVANE_IPMI_PASSWORD", ""}, {"ORVANE_PASSWORD", "from-orvane"}},
         nullptr,
         [](const S& s) { EXPECT_EQ(s.password, ""); }}, // set, even empty, wins
        {{{"ORVANE_PASSWORD", "from-orvane"}},
         nullptr,
         [](const S& s) { EXPECT_EQ(s.password, "hunter2"); }},
        {{{"ORVANE_IPMI_LEAST_PRIVILEGE", "operator"}},
         nullptr,
         [](const S& s) { EXPECT_TRUE(s.privilege == 3 && !s.privilegeFixed); }},
        {{{"ORVANE_IPMI_LEAST_PRIVILEGE", "operator"}, {"ORVANE_IPMI_PRIVILEGE", "user"}},
         nullptr,
         [](const S& s) { EXPECT_TRUE(s.privilege == 2 && s.privilegeFixed); }},
        {{{"ORVANE_IPMI_CIPHER", "17"}}, nullptr, [](const S& s) { EXPECT_EQ(s.cipher, 17); }},
        {{{"ORVANE_IPMI_KG_FILE", kgText}},
         nullptr,
         [](const S& s) {
             EXPECT_EQ(s.kg, (Bytes{'g', 'a', 't', 'e'}));
         }},
        {{{"ORVANE_IPMI_KG_FILE", kgHex}},
         nullptr,
         [](const S& s) {
             EXPECT_EQ(s.kg, (Bytes{0x0A, 0x0B}));
         }},
        {{{"ORVANE_IPMI_CIPHER", "0"}, {"ORVANE_IPMI_INSECURE", "1"}},
         nullptr,
         [](const S& s) { EXPECT_EQ(s.allowed.size(), 1u); }},
        {{{"ORVANE_IPMI_PASSWORD_FILE", open}, {"ORVANE_IPMI_INSECURE", "1"}},
         nullptr,
         [](const S& s) {
             EXPECT_EQ(s.password, "from-file");
             ASSERT_EQ(s.allowed.size(), 1u);
             EXPECT_NE(s.allowed[0].find("mode 0644"), std::string::npos);
         }},
        {{{"ORVANE_IPMI_INTERFACE", "lan"},
          {"ORVANE_IPMI_AUTH_TYPE", "none"},
          {"ORVANE_IPMI_INSECURE", "1"}},
         nullptr,
         [](const S& s) { EXPECT_EQ(s.authType, 0); }},
        {{{"ORVANE_IPMI_PRIVILEGE", "root"}}, "ORVANE_IPMI_PRIVILEGE", nullptr},
        {{{"ORVANE_IPMI_LEAST_PRIVILEGE", "5"}}, "ORVANE_IPMI_LEAST_PRIVILEGE", nullptr},
        {{{"ORVANE_IPMI_INTERFACE", "serial"}}, "ORVANE_IPMI_INTERFACE", nullptr},
        {{{"ORVANE_IPMI_CIPHER", "20"}}, "0 to 19", nullptr},
        {{{"ORVANE_IPMI_CIPHER", "0"}}, "cipher suite 0 (RAKP-none", nullptr},
        {{{"ORVANE_IPMI_CIPHER", "16"}}, "cipher suite 16", nullptr},
        {{{"ORVANE_IPMI_CIPHER", "0"}, {"ORVANE_IPMI_INSECURE", "0"}}, "INSECURE", nullptr},
        {{{"ORVANE_IPMI_INTERFACE", "lan"}, {"ORVANE_IPMI_AUTH_TYPE", "straight"}},
         "authentication type straight",
         nullptr},
        {{{"ORVANE_IPMI_INTERFACE", "lan"}, {"ORVANE_IPMI_AUTH_TYPE", "none"}},
         "authentication type none",
         nullptr},
        {{{"ORVANE_IPMI_AUTH_TYPE", "rc4"}}, "ORVANE_IPMI_AUTH_TYPE", nullptr},
        {{{"ORVANE_IPMI_PASSWORD_FILE", "/nonexistent/orvane-pw"}},
         "/nonexistent/orvane-pw",
         nullptr},
        {{{"ORVANE_IPMI_PASSWORD_FILE", open}}, "open to group or others (mode 0644", nullptr},
        {{{"ORVANE_IPMI_PASSWORD_FILE", folder}}, "not a regular file", nullptr},
        {{{"ORVANE_IPMI_KG_FILE", kgOpen}}, "K_g file", nullptr},
        {{{"ORVANE_IPMI_KG_FILE", kgBad}}, "even number of hex digits", nullptr},
        {{{"ORVANE_IPMI_KG_FILE", kgText}, {"ORVANE_IPMI_INTERFACE", "lan"}},
         "needs a LAN+",
         nullptr},
    };
    for (const Case& c : cases) {
        for (const char* name : names)
            unsetenv(name);
        setenv("ORVANE_IPMI_HOST", "bmc", 1);
        setenv("ORVANE_IPMI_PASSWORD", "hunter2", 1);
        std::string what;
        for (const auto& [name, value] : c.env) {
            setenv(name, value.c_str(), 1);
            what += std::string(name) + "=" + value + " ";
        }
        DriverSettings::Settings settings;
        std::string why;
        const bool taken = DriverSettings::FromEnvironment(&settings, &why);
        EXPECT_EQ(taken, c.refusal == nullptr) << what << why;
        if (taken && c.check)
            c.check(settings);
        if (!taken && c.refusal) {
            EXPECT_NE(why.find(c.refusal), std::string::npos) << what << why;
        }
        // Neither the password nor a key is ever part of a reason.
        EXPECT_EQ(why.find("hunter2"), std::string::npos) << why;
        EXPECT_EQ(why.find("from-file"), std::string::npos) << why;
        EXPECT_EQ(why.find("gate"), std::string::npos) << why;
    }
    if (chowned) {
        setenv("ORVANE_IPMI_PASSWORD_FILE", foreign.c_str(), 1);
        DriverSettings::Settings settings;
        std::string why;
        EXPECT_FALSE(DriverSettings::FromEnvironment(&settings, &why));
        EXPECT_NE(why.find("owned by another user"), std::string::npos) << why;
    }
    for (const char* name : names)
        unsetenv(name);
    for (const std::string& path : {good, open, kgText, kgHex, kgBad, kgOpen, foreign})
        std::remove(path.c_str());
}

// ---- the caches, against a scripted BMC --------------------------------------

namespace {

// A BMC behind the wire seam: FRU devices per controller, an SDR repository
// of records with ids 1..n, and a log of every request that went out.
struct ScriptedBmc {
    std::map<std::pair<uint8_t, uint8_t>, Bytes> devices; // (responder, device id)
    uint8_t maxRead = 34;
    bool truncateAtEnd = true; // else a read past the end answers 0xC9
    std::vector<Bytes> sdr;
    uint32_t additionTime = 0x1000;
    bool wholeRecords = true;
    size_t padding = 0; // bytes some controllers add behind a whole record
    uint16_t reservation = 0;
    std::vector<WireRequest> log;
    // Changes an answer after it was made (malformed answers).
    std::function<void(const WireRequest&, WireAnswer&)> tamper;

    WireSend Wire() {
        return [this](const WireRequest& request) {
            log.push_back(request);
            WireAnswer answer = Answer(request);
            if (tamper)
                tamper(request, answer);
            return answer;
        };
    }
    WireAnswer Code(uint8_t code) {
        WireAnswer answer;
        answer.completionCode = code;
        return answer;
    }
    WireAnswer Answer(const WireRequest& r) {
        WireAnswer a;
        const Bytes& d = r.data;
        auto device = devices.find({r.responder, d.empty() ? 0 : d[0]});
        switch (r.command) {
        case 0x10: // Get FRU Inventory Area Info
            if (device == devices.end())
                return Code(0xCB);
            a.data = {uint8_t(device->second.size()), uint8_t(device->second.size() >> 8), 0};
            return a;
        case 0x11: { // Read FRU Data
            uint32_t offset = d[1] | (d[2] << 8), n = d[3];
            if (device == devices.end())
                return Code(0xCB);
            if (n > maxRead)
                return Code(0xC8);
            const Bytes& bytes = device->second;
            if (offset >= bytes.size() || (!truncateAtEnd && offset + n > bytes.size()))
                return Code(0xC9);
            n = std::min<uint32_t>(n, bytes.size() - offset);
            a.data.push_back(uint8_t(n));
            a.data.insert(a.data.end(), bytes.begin() + offset, bytes.begin() + offset + n);
            return a;
        }
        case 0x12: { // Write FRU Data
            uint32_t offset = d[1] | (d[2] << 8);
            std::copy(d.begin() + 3, d.end(), device->second.begin() + offset);
            a.data = {uint8_t(d.size() - 3)};
            return a;
        }
        case 0x20: { // Get SDR Repository Info
            a.data = {0x51, uint8_t(sdr.size()), 0, 0, 0x10};
            for (uint32_t time : {additionTime, 0u})
                for (int i = 0; i < 4; ++i)
                    a.data.push_back(uint8_t(time >> (8 * i)));
            a.data.push_back(0x02);
            return a;
        }
        case 0x22: // Reserve SDR Repository
            a.data = {uint8_t(++reservation), 0};
            return a;
        case 0x23: { // Get SDR
            uint16_t id = d[2] | (d[3] << 8);
            size_t index = id == 0 ? 0 : id - 1;
            if (index >= sdr.size())
                return Code(0xCB);
            const Bytes& record = sdr[index];
            if (d[4] != 0 && d[0] != reservation)
                return Code(0xC5);
            if (d[5] == 0xFF && !wholeRecords)
                return Code(0xCA);
            size_t n = std::min<size_t>(d[5], record.size() - d[4]);
            uint16_t next = index + 1 == sdr.size() ? 0xFFFF : uint16_t(index + 2);
            a.data = {uint8_t(next), uint8_t(next >> 8)};
            a.data.insert(a.data.end(), record.begin() + d[4], record.begin() + d[4] + n);
            if (d[5] == 0xFF)
                a.data.insert(a.data.end(), padding, 0xEE);
            return a;
        }
        }
        return Code(0xC1);
    }
    // The Read FRU Data requests on the wire as "offset+count".
    std::vector<std::string> Reads() const {
        std::vector<std::string> reads;
        for (const WireRequest& r : log)
            if (r.command == 0x11)
                reads.push_back(std::to_string(r.data[1] | (r.data[2] << 8)) + "+" +
                                std::to_string(r.data[3]));
        return reads;
    }
    size_t Count(uint8_t command) const {
        return std::count_if(log.begin(), log.end(),
                             [command](const WireRequest& r) { return r.command == command; });
    }
};

Bytes Pattern(size_t size, uint8_t seed) {
    Bytes bytes(size);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = uint8_t(seed + i * 7);
    return bytes;
}

// An SDR record of type 0x12 with the given id and name length.
Bytes SdrRecord(uint16_t id, size_t name) {
    Bytes record = {uint8_t(id), uint8_t(id >> 8), 0x51, 0x12, uint8_t(11 + name)};
    record.resize(5 + 11 + name, uint8_t(0x40 + id));
    return record;
}

WireRequest FruRead(uint8_t responder, uint8_t id, uint32_t offset, uint8_t count) {
    WireRequest r;
    r.responder = responder;
    r.netFn = 0x0A;
    r.command = 0x11;
    r.data = {id, uint8_t(offset), uint8_t(offset >> 8), count};
    return r;
}

WireRequest Storage(uint8_t command, Bytes data) {
    WireRequest r;
    r.netFn = 0x0A;
    r.command = command;
    r.data = std::move(data);
    return r;
}

// Reads a device as the library does, 8 bytes a request; the bytes answered.
Bytes LibraryRead(CachingTransport& transport, uint8_t responder, uint8_t id, size_t size) {
    Bytes got;
    for (size_t offset = 0; offset < size; offset += 8) {
        uint8_t n = uint8_t(std::min<size_t>(8, size - offset));
        WireAnswer a = transport.Send(FruRead(responder, id, offset, n));
        if (a.completionCode != 0 || a.data.empty() || a.data[0] != n || a.data.size() != n + 1u)
            return got;
        got.insert(got.end(), a.data.begin() + 1, a.data.end());
    }
    return got;
}

// The library's SDR scan: a counting pass of headers, then a reading pass of
// headers and 16-byte pieces, a reservation before every record.
std::vector<Bytes> LibraryScan(CachingTransport& transport) {
    std::vector<Bytes> records;
    for (int pass = 0; pass < 2; ++pass) {
        uint16_t id = 0;
        do {
            WireAnswer reserve = transport.Send(Storage(0x22, {}));
            if (reserve.completionCode != 0 || reserve.data.size() != 2)
                return records;
            Bytes ask = {reserve.data[0], reserve.data[1], uint8_t(id), uint8_t(id >> 8), 0, 5};
            WireAnswer header = transport.Send(Storage(0x23, ask));
            if (header.completionCode != 0 || header.data.size() != 7)
                return records;
            id = header.data[0] | (header.data[1] << 8);
            Bytes record(header.data.begin() + 2, header.data.end());
            for (size_t total = 5u + record[4]; pass == 1 && record.size() < total;) {
                ask[4] = uint8_t(record.size());
                ask[5] = uint8_t(std::min<size_t>(16, total - record.size()));
                WireAnswer piece = transport.Send(Storage(0x23, ask));
                if (piece.completionCode != 0)
                    return records;
                record.insert(record.end(), piece.data.begin() + 2, piece.data.end());
            }
            if (pass == 1)
                records.push_back(record);
        } while (id != 0xFFFF);
    }
    return records;
}

class Caches : public ::testing::Test {
  protected:
    void SetUp() override {
        bmc = ScriptedBmc{};
        bmc.devices[{0x20, 1}] = Pattern(100, 1);
        bmc.devices[{0x30, 0}] = Pattern(60, 9);
        bmc.sdr = {SdrRecord(1, 3), SdrRecord(2, 16), SdrRecord(3, 40)};
        path = ::testing::TempDir() + "orvane-sdr-cache-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::remove(path.c_str());
    }
    void TearDown() override { std::remove(path.c_str()); }
    Bytes& Device(uint8_t responder, uint8_t id) { return bmc.devices[{responder, id}]; }
    CachingTransport Transport(std::string file = "") {
        return CachingTransport(bmc.Wire(), {}, file, [this] { return now; });
    }
    ScriptedBmc bmc;
    std::string path;
    CachingTransport::Clock::time_point now{};
};

} // namespace

TEST_F(Caches, ReadAheadLearnsTheControllerLimitAndServesTheDevice) {
    CachingTransport transport = Transport();
    EXPECT_EQ(LibraryRead(transport, 0x20, 1, 100), Device(0x20, 1));
    // 63 shrinks by 4 to 31 (the device size asked once on the way), then the
    // counts between 31 and 35 are tried in halves; the end of the device
    // clips the last read.
    EXPECT_EQ(bmc.Reads(),
              (std::vector<std::string>{"0+63", "0+59", "0+55", "0+51", "0+47", "0+43", "0+39",
                                        "0+35", "0+31", "31+33", "64+34", "98+2"}));
    EXPECT_EQ(bmc.Count(0x10), 1u);
    EXPECT_EQ(transport.FruHits(), 13u - 4u); // 13 library reads, 4 went to the wire
    // The limit is known from now on, also for a new load.
    bmc.log.clear();
    transport.Send(Storage(0x22, {}));
    EXPECT_EQ(LibraryRead(transport, 0x20, 1, 100), Device(0x20, 1));
    EXPECT_EQ(bmc.Reads(), (std::vector<std::string>{"0+34", "34+34", "68+34"}));
}

TEST_F(Caches, MalformedOrShortAnswersNeverPutWrongBytesInTheCache) {
    struct Case {
        const char* what;
        std::function<void(WireAnswer&)> change; // applied to read-ahead answers
    } cases[] = {
        {"count byte above the bytes", [](WireAnswer& a) { a.data[0] += 3; }},
        {"count byte below the bytes",
         [](WireAnswer& a) { a.data[0] -= 3, std::fill(a.data.end() - 3, a.data.end(), 0xEE); }},
        {"fewer bytes than the count says",
         [](WireAnswer& a) { a.data.resize(a.data.size() / 2); }},
        {"more than asked", [](WireAnswer& a) { a.data.push_back(0xEE), a.data[0] += 1; }},
        {"a short, well-formed answer",
         [](WireAnswer& a) { a.data.erase(a.data.end() - 5, a.data.end()), a.data[0] -= 5; }},
        {"no bytes at all", [](WireAnswer& a) { a.data.clear(); }},
        {"no answer at all (a bridge that will not carry it)",
         [](WireAnswer& a) { a.result = 0xE0000003, a.data.clear(); }},
    };
    for (const Case& c : cases) {
        SetUp();
        bmc.tamper = [&c](const WireRequest& r, WireAnswer& a) {
            if (r.command == 0x11 && r.data[3] > 8 && a.completionCode == 0)
                c.change(a);
        };
        CachingTransport transport = Transport();
        EXPECT_EQ(LibraryRead(transport, 0x20, 1, 100), Device(0x20, 1)) << c.what;
        EXPECT_EQ(LibraryRead(transport, 0x20, 1, 100), Device(0x20, 1)) << c.what;
    }
}

TEST_F(Caches, BytesNeverOutliveTheLoadOrAWrite) {
    CachingTransport transport = Transport();
    Bytes& device = Device(0x20, 1);
    ASSERT_EQ(LibraryRead(transport, 0x20, 1, 100), device);
    // A write through the module: the next read fetches the range again.
    WireRequest write = Storage(0x12, {1, 10, 0, 0xA1, 0xA2});
    transport.Send(write);
    EXPECT_EQ(LibraryRead(transport, 0x20, 1, 100), device);
    EXPECT_EQ(device[10], 0xA1);
    // Changes behind the module's back are seen by the next load (a new scan)
    // and after the idle time.
    device[50] ^= 0xFF;
    transport.Send(Storage(0x22, {}));
    EXPECT_EQ(LibraryRead(transport, 0x20, 1, 100), device);
    device[70] ^= 0xFF;
    now += CachingTransport::kIdle + std::chrono::milliseconds(1);
    EXPECT_EQ(LibraryRead(transport, 0x20, 1, 100), device);
    // And when the command asks for a read of the device itself (a backup).
    device[90] ^= 0xFF;
    transport.ForgetFruBytes();
    EXPECT_EQ(LibraryRead(transport, 0x20, 1, 100), device);
}

TEST_F(Caches, ReadsPastTheEndGetTheControllersOwnAnswer) {
    for (bool truncate : {true, false}) {
        SetUp();
        bmc.truncateAtEnd = truncate;
        CachingTransport transport = Transport();
        EXPECT_EQ(LibraryRead(transport, 0x30, 0, 60), Device(0x30, 0));
        WireAnswer past = transport.Send(FruRead(0x30, 0, 56, 8));
        EXPECT_EQ(past.completionCode, truncate ? 0 : 0xC9);
        EXPECT_EQ(past.data.size(), truncate ? 5u : 0u);
        EXPECT_EQ(transport.Send(FruRead(0x30, 0, 60, 1)).completionCode, 0xC9);
    }
}

TEST_F(Caches, SdrScansAreAnsweredFromHeldRecords) {
    CachingTransport transport = Transport(path);
    EXPECT_EQ(LibraryScan(transport), bmc.sdr);
    // The repository's stamp, then each record whole.
    EXPECT_EQ(bmc.log.size(), 1u + 3u);
    EXPECT_EQ(bmc.Count(0x20), 1u);
    EXPECT_EQ(bmc.Count(0x23), 3u);

    // Unchanged: a scan costs the stamp alone, in this process and the next.
    bmc.log.clear();
    EXPECT_EQ(LibraryScan(transport), bmc.sdr);
    CachingTransport next = Transport(path);
    EXPECT_EQ(LibraryScan(next), bmc.sdr);
    EXPECT_EQ(bmc.log.size(), 2u);

    // A record added: fetched again.
    bmc.sdr.push_back(SdrRecord(4, 5));
    bmc.additionTime += 60;
    bmc.log.clear();
    EXPECT_EQ(LibraryScan(next), bmc.sdr);
    EXPECT_EQ(bmc.Count(0x23), 4u);
}

TEST_F(Caches, SdrRecordsComeInPiecesWhenTheBmcRefusesWholeOnes) {
    bmc.wholeRecords = false;
    CachingTransport transport = Transport();
    EXPECT_EQ(LibraryScan(transport), bmc.sdr);
    EXPECT_EQ(bmc.Count(0x22), 3u); // a reservation per record
    // Padding behind a whole record is not part of it.
    SetUp();
    bmc.padding = 6;
    CachingTransport padded = Transport();
    EXPECT_EQ(LibraryScan(padded), bmc.sdr);
}

TEST_F(Caches, ABrokenRepositoryReadLeavesTheScanToTheBmc) {
    // Pieces shorter than asked: nothing is held, the library's own requests
    // go out and get the BMC's answers.
    bmc.wholeRecords = false;
    bmc.tamper = [](const WireRequest& r, WireAnswer& a) {
        if (r.command == 0x23 && r.data[4] != 0 && r.data[5] > 16)
            a.data.pop_back();
    };
    CachingTransport transport = Transport(path);
    EXPECT_EQ(LibraryScan(transport), bmc.sdr);
    EXPECT_EQ(transport.SdrHits(), 0u);
    SdrCacheFile::Contents contents;
    EXPECT_FALSE(SdrCacheFile::Load(path, &contents));
}

TEST_F(Caches, ADamagedCacheFileIsIgnoredAndReplaced) {
    {
        CachingTransport transport = Transport(path);
        LibraryScan(transport);
    }
    std::ifstream in(path, std::ios::binary);
    Bytes file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    in.close();
    file[file.size() / 2] ^= 0x01;
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<char*>(file.data()), file.size());
    bmc.log.clear();
    CachingTransport transport = Transport(path);
    EXPECT_EQ(LibraryScan(transport), bmc.sdr);
    EXPECT_EQ(bmc.Count(0x23), 3u);
    SdrCacheFile::Contents contents;
    EXPECT_TRUE(SdrCacheFile::Load(path, &contents));
}

TEST(SdrCacheFile, OnlyACompleteIntactFileParses) {
    SdrCacheFile::Contents contents;
    contents.stamp = Bytes(13, 0x11);
    contents.records = {{0, 2, SdrRecord(1, 3)}, {2, 0xFFFF, SdrRecord(2, 30)}};
    contents.sizes = {{{true, 0, 0x30}, {34, 35}}};
    Bytes file = SdrCacheFile::Encode(contents);
    SdrCacheFile::Contents read;
    ASSERT_TRUE(SdrCacheFile::Parse(file.data(), file.size(), &read));
    EXPECT_EQ(read.stamp, contents.stamp);
    ASSERT_EQ(read.records.size(), 2u);
    EXPECT_EQ(read.records[1].bytes, contents.records[1].bytes);
    EXPECT_EQ(read.records[1].next, 0xFFFF);
    ASSERT_EQ(read.sizes.size(), 1u);
    EXPECT_EQ(read.sizes[0].controller, (ControllerKey{true, 0, 0x30}));
    EXPECT_EQ(read.sizes[0].size.good, 34);
    for (size_t cut = 0; cut < file.size(); ++cut)
        EXPECT_FALSE(SdrCacheFile::Parse(file.data(), cut, &read)) << "cut at " << cut;
    for (size_t at = 0; at < file.size(); ++at) {
        Bytes damaged = file;
        damaged[at] ^= 0x20;
        EXPECT_FALSE(SdrCacheFile::Parse(damaged.data(), damaged.size(), &read)) << "byte " << at;
    }
}

TEST_F(Caches, BehindTheBmcALargeFirstReadFallsBackToOneIpmbMessage) {
    // Over LAN the first read behind the BMC asks as much as a direct one; a
    // bridge or controller that will not answer it gets one IPMB message's
    // worth from then on, whatever way it refused.
    struct Case {
        const char* what;
        std::function<void(WireAnswer&)> refuse; // null: the large read works
        std::vector<std::string> secondLoad;
    } cases[] = {
        {"carried", nullptr, {"0+63"}},
        {"count refused",
         [](WireAnswer& a) { a.completionCode = 0xC8; },
         {"0+23", "23+23", "46+23"}},
        {"bridge NAK", [](WireAnswer& a) { a.completionCode = 0x83; }, {"0+23", "23+23", "46+23"}},
        {"no answer", [](WireAnswer& a) { a.result = 0xE0000003; }, {"0+23", "23+23", "46+23"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SetUp();
        bmc.maxRead = 63;
        if (c.refuse)
            bmc.tamper = [&c](const WireRequest& r, WireAnswer& a) {
                if (r.command == 0x11 && r.data[3] > 23)
                    a = WireAnswer{}, c.refuse(a);
            };
        CachingTransport transport(bmc.Wire(), {true, true, 63}, "", [this] { return now; });
        EXPECT_EQ(LibraryRead(transport, 0x30, 0, 60), Device(0x30, 0));
        bmc.log.clear();
        transport.Send(Storage(0x22, {})); // a new load
        EXPECT_EQ(LibraryRead(transport, 0x30, 0, 60), Device(0x30, 0));
        EXPECT_EQ(bmc.Reads(), c.secondLoad);
    }
}
