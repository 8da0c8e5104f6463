// The parts of the freeipmi driver module that need no BMC: the IPMB codec of
// Send Message, the settings from the environment, the cipher suite choice,
// and the read-ahead and SDR caches, which send through the wire seam to a
// scripted BMC here.
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
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using Bytes = std::vector<uint8_t>;

// A Send Message the library builds: channel 0, target 0x30, Read FRU Data
// (netFn 0x0A, LUN 0) of device 0 at offset 0x0010, 8 bytes, sequence 5,
// requester LUN 2.
Bytes ReadFruSendMessage() {
    Bytes bytes = {0x00, 0x30, 0x0A << 2, 0, 0x20, (5 << 2) | 2, 0x11, 0x00, 0x10, 0x00, 0x08};
    bytes[3] = IpmbMessage::Checksum(bytes.data() + 1, 2);
    bytes.push_back(IpmbMessage::Checksum(bytes.data() + 4, bytes.size() - 4));
    return bytes;
}

uint8_t Sum(const Bytes& bytes, size_t from) {
    return static_cast<uint8_t>(std::accumulate(bytes.begin() + from, bytes.end(), 0u));
}

} // namespace

TEST(IpmbMessage, DecodesTheEmbeddedRequestAndRefusesDamagedOnes) {
    struct Case {
        const char* what;
        std::function<void(Bytes&)> change;
        const char* refusal; // null: decoded
        uint8_t channel;
        size_t dataSize;
    } cases[] = {
        {"as built", [](Bytes&) {}, nullptr, 0, 4},
        {"tracking bits are not part of the channel", [](Bytes& b) { b[0] = 0x47; }, nullptr, 7, 4},
        {"no data, the shortest valid request",
         [](Bytes& b) {
             b.resize(7);
             b.push_back(IpmbMessage::Checksum(b.data() + 4, 3));
         },
         nullptr, 0, 0},
        {"7 bytes", [](Bytes& b) { b.resize(7); }, "at least 8", 0, 0},
        {"header checksum", [](Bytes& b) { b[3] ^= 1; }, "header checksum", 0, 0},
        {"data checksum", [](Bytes& b) { b[8] ^= 0x40; }, "data checksum", 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes bytes = ReadFruSendMessage();
        c.change(bytes);
        IpmbMessage::Request r;
        std::string why;
        ASSERT_EQ(IpmbMessage::Decode(bytes.data(), bytes.size(), &r, &why), !c.refusal) << why;
        if (c.refusal) {
            EXPECT_NE(why.find(c.refusal), std::string::npos) << why;
            continue;
        }
        EXPECT_EQ(std::tuple(r.channel, r.responderAddress, r.netFn, r.responderLun,
                             r.requesterAddress, r.sequence, r.requesterLun, r.command),
                  std::tuple(c.channel, 0x30, 0x0A, 0, 0x20, 5, 2, 0x11));
        EXPECT_EQ(r.data, Bytes(bytes.begin() + 7, bytes.begin() + 7 + c.dataSize));
    }
    IpmbMessage::Request r;
    std::string why;
    EXPECT_FALSE(IpmbMessage::Decode(nullptr, 12, &r, &why));
}

TEST(IpmbMessage, ResponseIsAValidIpmbMessageInTheReceiveLayout) {
    const Bytes bytes = ReadFruSendMessage();
    IpmbMessage::Request request;
    std::string why;
    ASSERT_TRUE(IpmbMessage::Decode(bytes.data(), bytes.size(), &request, &why));
    const Bytes data = {0x08, 1, 2, 3, 4, 5, 6, 7, 8};
    // rqSA, response netFn and rqLUN, header checksum, rsSA, the sequence the
    // library matches on, command, completion code, data, checksum.
    Bytes expected = {0x20, (0x0B << 2) | 2, 0, 0x30, 5 << 2, 0x11, 0x00};
    expected[2] = IpmbMessage::Checksum(expected.data(), 2);
    expected.insert(expected.end(), data.begin(), data.end());
    expected.push_back(IpmbMessage::Checksum(expected.data() + 3, expected.size() - 3));
    EXPECT_EQ(IpmbMessage::EncodeResponse(request, 0x00, data.data(), data.size(), 64), expected);

    const Bytes refused = IpmbMessage::EncodeResponse(request, 0xC9, nullptr, 0, 64);
    ASSERT_EQ(refused.size(), 8u);
    EXPECT_EQ(refused[6], 0xC9);
    EXPECT_EQ(Sum(refused, 3), 0);
    // Cut to the receive buffer, still a valid message.
    const Bytes many(100, 0xAB);
    const Bytes cut = IpmbMessage::EncodeResponse(request, 0, many.data(), many.size(), 64);
    EXPECT_EQ(cut.size(), 64u);
    EXPECT_EQ(Sum(cut, 3), 0);
}

TEST(DriverSettings, ParsesKeys) {
    // K_g: text, hex, and what is refused (empty).
    const std::pair<const char*, Bytes> keys[] = {
        {"gate", {'g', 'a', 't', 'e'}},
        {"0x01aBff", {0x01, 0xAB, 0xFF}},
        {"0x", {'0', 'x'}}, // no digits: the text "0x"
        {"0x123", {}},
        {"0xzz", {}},
        {"", {}},
        {"123456789012345678901", {}},
        {"0x0102030405060708090a0b0c0d0e0f101112131415", {}}};
    for (const auto& [line, expected] : keys) {
        Bytes kg;
        std::string why;
        EXPECT_EQ(DriverSettings::ParseKg(line, &kg, &why), !expected.empty()) << line;
        EXPECT_EQ(kg, expected) << line;
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
    const std::pair<Bytes, int> offers[] = {// the suite chosen, -1: refused
                                            {all, 3},
                                            {{0, 1, 3, 17}, 17},
                                            {{12, 8, 1}, 8},
                                            {{12, 2}, 12},
                                            {{0, 1, 2, 6, 7, 11, 15, 16}, -1},
                                            {{4, 5, 18}, -1}, // xRC4 only: libfreeipmi has no xRC4
                                            {{}, -1}};
    for (const auto& [offered, chosen] : offers) {
        auto got = CipherSuites::Choose(offered);
        EXPECT_EQ(got ? *got : -1, chosen) << CipherSuites::List(offered);
    }
    for (uint8_t id = 0; id <= CipherSuites::kLastStandard; ++id) {
        const bool weak = id <= 2 || id == 6 || id == 7 || id == 11 || id == 15 || id == 16;
        EXPECT_EQ(CipherSuites::Protects(id), !weak) << int(id);
    }
    EXPECT_EQ(CipherSuites::Describe(0), "0 (RAKP-none, no integrity, no encryption)");
    EXPECT_EQ(CipherSuites::Request(0x41), (Bytes{0x0E, 0x00, 0x81}));
}

namespace {
// The settings a session would open with, as one line: interface, user,
// password, privilege ("+" when it may rise), cipher suite, K_g in hex,
// IPMI 1.5 authentication type, the weaknesses --insecure let through.
std::string Render(const DriverSettings::Settings& s) {
    static const char* const kInterfaces[] = {"inband", "lan", "lanplus"};
    std::string kg;
    for (uint8_t byte : s.kg) {
        char hex[3];
        std::snprintf(hex, sizeof hex, "%02x", byte);
        kg += hex;
    }
    return std::string(kInterfaces[static_cast<int>(s.interface)]) + " " + s.user + ":" +
           s.password + " priv " + std::to_string(s.privilege) + (s.privilegeFixed ? "" : "+") +
           " cipher " + (s.cipher ? std::to_string(*s.cipher) : "-") + " kg " + kg + " auth " +
           std::to_string(s.authType) + " allowed " + std::to_string(s.allowed.size());
}
} // namespace

TEST(DriverSettings, ReadsAndRefusesTheEnvironment) {
    const std::string folder = ::testing::TempDir();
    std::map<std::string, std::string> files = {{"@folder", folder}};
    for (auto [name, text, mode] : {std::tuple{"@good", "from-file\r\nsecond line\n", 0600},
                                    {"@open", "from-file\n", 0644},
                                    {"@kg-text", "gate\n", 0600},
                                    {"@kg-hex", "0x0a0B\n", 0400},
                                    {"@kg-bad", "0xabc\n", 0600},
                                    {"@kg-open", "gate\n", 0640},
                                    {"@foreign", "x\n", 0600}}) {
        files[name] = folder + "orvane-" + (name + 1);
        std::ofstream(files[name]) << text;
        chmod(files[name].c_str(), mode);
    }
    const bool chowned = chown(files["@foreign"].c_str(), 65534, 65534) == 0;
    // The variables (ORVANE_ left out, @name: one of the files above) beside
    // IPMI_HOST=bmc and IPMI_PASSWORD=hunter2; the settings taken, or what
    // the reason of the refusal names.
    const std::pair<std::string, std::string> cases[] = {
        {"IPMI_HOST= IPMI_INTERFACE=lan", "inband :hunter2 priv 2+ cipher - kg  auth 2 allowed 0"},
        {"IPMI_PASSWORD_FILE=@good IPMI_USER=admin",
         "lanplus admin:from-file priv 2+ cipher - kg  auth 2 allowed 0"},
        // IPMI_PASSWORD set, even empty, wins over PASSWORD.
        {"IPMI_PASSWORD= PASSWORD=from-orvane", "lanplus : priv 2+ cipher - kg  auth 2 allowed 0"},
        {"PASSWORD=from-orvane", "lanplus :hunter2 priv 2+ cipher - kg  auth 2 allowed 0"},
        {"IPMI_LEAST_PRIVILEGE=operator", "lanplus :hunter2 priv 3+ cipher - kg  auth 2 allowed 0"},
        {"IPMI_LEAST_PRIVILEGE=operator IPMI_PRIVILEGE=user",
         "lanplus :hunter2 priv 2 cipher - kg  auth 2 allowed 0"},
        {"IPMI_CIPHER=17", "lanplus :hunter2 priv 2+ cipher 17 kg  auth 2 allowed 0"},
        {"IPMI_KG_FILE=@kg-text", "lanplus :hunter2 priv 2+ cipher - kg 67617465 auth 2 allowed 0"},
        {"IPMI_KG_FILE=@kg-hex", "lanplus :hunter2 priv 2+ cipher - kg 0a0b auth 2 allowed 0"},
        {"IPMI_CIPHER=0 IPMI_INSECURE=1", "lanplus :hunter2 priv 2+ cipher 0 kg  auth 2 allowed 1"},
        {"IPMI_PASSWORD_FILE=@open IPMI_INSECURE=1",
         "lanplus :from-file priv 2+ cipher - kg  auth 2 allowed 1"},
        {"IPMI_INTERFACE=lan IPMI_AUTH_TYPE=straight IPMI_INSECURE=1",
         "lan :hunter2 priv 2+ cipher - kg  auth 4 allowed 1"},
        // Names in any case, levels by number.
        {"IPMI_INTERFACE=LAN IPMI_AUTH_TYPE=MD5",
         "lan :hunter2 priv 2+ cipher - kg  auth 2 allowed 0"},
        {"IPMI_PRIVILEGE=administrator", "lanplus :hunter2 priv 4 cipher - kg  auth 2 allowed 0"},
        {"IPMI_LEAST_PRIVILEGE=4", "lanplus :hunter2 priv 4+ cipher - kg  auth 2 allowed 0"},
        {"IPMI_PRIVILEGE=root", "refused: ORVANE_IPMI_PRIVILEGE"},
        {"IPMI_LEAST_PRIVILEGE=5", "refused: ORVANE_IPMI_LEAST_PRIVILEGE"},
        {"IPMI_INTERFACE=kcs", "refused: ORVANE_IPMI_INTERFACE"},
        {"IPMI_CIPHER=20", "refused: 0 to 19"},
        {"IPMI_CIPHER=-1", "refused: 0 to 19"},
        {"IPMI_CIPHER=3x", "refused: 0 to 19"},
        {"IPMI_CIPHER=0", "refused: cipher suite 0 (RAKP-none"},
        {"IPMI_CIPHER=16", "refused: cipher suite 16"},
        {"IPMI_CIPHER=0 IPMI_INSECURE=0", "refused: INSECURE"},
        {"IPMI_INTERFACE=lan IPMI_AUTH_TYPE=straight", "refused: authentication type straight"},
        {"IPMI_INTERFACE=lan IPMI_AUTH_TYPE=none", "refused: authentication type none"},
        {"IPMI_AUTH_TYPE=rc4", "refused: ORVANE_IPMI_AUTH_TYPE"},
        {"IPMI_PASSWORD_FILE=/nonexistent/orvane-pw", "refused: /nonexistent/orvane-pw"},
        {"IPMI_PASSWORD_FILE=@open", "refused: open to group or others (mode 0644"},
        {"IPMI_PASSWORD_FILE=@folder", "refused: not a regular file"},
        {"IPMI_KG_FILE=@kg-open", "refused: K_g file"},
        {"IPMI_KG_FILE=@kg-bad", "refused: even number of hex digits"},
        {"IPMI_KG_FILE=@kg-text IPMI_INTERFACE=lan", "refused: needs a LAN+"},
        {chowned ? "IPMI_PASSWORD_FILE=@foreign" : "IPMI_PASSWORD_FILE=@open",
         chowned ? "refused: owned by another user" : "refused: mode 0644"},
    };
    const auto npos = std::string::npos;
    std::vector<std::string> set;
    for (const auto& [variables, expected] : cases) {
        for (const std::string& name : set)
            unsetenv(name.c_str());
        set = {"ORVANE_IPMI_HOST", "ORVANE_IPMI_PASSWORD"};
        setenv("ORVANE_IPMI_HOST", "bmc", 1);
        setenv("ORVANE_IPMI_PASSWORD", "hunter2", 1);
        std::istringstream words(variables);
        for (std::string word; words >> word;) {
            const size_t equals = word.find('=');
            const std::string value = word.substr(equals + 1);
            set.push_back("ORVANE_" + word.substr(0, equals));
            setenv(set.back().c_str(), files.count(value) ? files[value].c_str() : value.c_str(),
                   1);
        }
        DriverSettings::Settings settings;
        std::string why;
        const bool taken = DriverSettings::FromEnvironment(&settings, &why);
        std::string got = taken ? Render(settings) : "refused: " + why;
        // A refusal is as expected when its reason names the expected text.
        if (!taken && expected.rfind("refused: ", 0) == 0 && why.find(expected.substr(9)) != npos)
            got = expected;
        EXPECT_EQ(got, expected) << variables;
        // Neither the password nor a key is ever part of a reason.
        for (const char* secret : {"hunter2", "from-file", "gate"})
            EXPECT_EQ(why.find(secret), npos) << why;
    }
    for (const std::string& name : set)
        unsetenv(name.c_str());
    for (const auto& [name, path] : files)
        if (name != "@folder")
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
    static WireAnswer Code(uint8_t code, Bytes data = {}) {
        WireAnswer answer;
        answer.completionCode = code;
        answer.data = std::move(data);
        return answer;
    }
    WireAnswer Answer(const WireRequest& r) {
        const Bytes& d = r.data;
        auto device = devices.find({r.responder, d.empty() ? 0 : d[0]});
        const bool fru = r.command >= 0x10 && r.command <= 0x12;
        if (fru && device == devices.end())
            return Code(0xCB);
        switch (r.command) {
        case 0x10: // Get FRU Inventory Area Info
            return Code(0,
                        {uint8_t(device->second.size()), uint8_t(device->second.size() >> 8), 0});
        case 0x11: { // Read FRU Data
            const uint32_t offset = d[1] | (d[2] << 8);
            const Bytes& bytes = device->second;
            if (d[3] > maxRead)
                return Code(0xC8);
            if (offset >= bytes.size() || (!truncateAtEnd && offset + d[3] > bytes.size()))
                return Code(0xC9);
            const uint32_t n = std::min<uint32_t>(d[3], bytes.size() - offset);
            Bytes answer = {uint8_t(n)};
            answer.insert(answer.end(), bytes.begin() + offset, bytes.begin() + offset + n);
            return Code(0, answer);
        }
        case 0x12: // Write FRU Data
            std::copy(d.begin() + 3, d.end(), device->second.begin() + (d[1] | (d[2] << 8)));
            return Code(0, {uint8_t(d.size() - 3)});
        case 0x20: { // Get SDR Repository Info
            Bytes info = {0x51, uint8_t(sdr.size()), 0, 0, 0x10};
            for (uint32_t time : {additionTime, 0u})
                for (int i = 0; i < 4; ++i)
                    info.push_back(uint8_t(time >> (8 * i)));
            info.push_back(0x02);
            return Code(0, info);
        }
        case 0x22: // Reserve SDR Repository
            return Code(0, {uint8_t(++reservation), 0});
        case 0x23: { // Get SDR
            const uint16_t id = d[2] | (d[3] << 8);
            const size_t index = id == 0 ? 0 : id - 1;
            if (index >= sdr.size())
                return Code(0xCB);
            const Bytes& record = sdr[index];
            if (d[4] != 0 && d[0] != reservation)
                return Code(0xC5);
            if (d[5] == 0xFF && !wholeRecords)
                return Code(0xCA);
            const size_t n = std::min<size_t>(d[5], record.size() - d[4]);
            const uint16_t next = index + 1 == sdr.size() ? 0xFFFF : uint16_t(index + 2);
            Bytes answer = {uint8_t(next), uint8_t(next >> 8)};
            answer.insert(answer.end(), record.begin() + d[4], record.begin() + d[4] + n);
            if (d[5] == 0xFF)
                answer.insert(answer.end(), padding, 0xEE);
            return Code(0, answer);
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

WireRequest Storage(uint8_t command, Bytes data, uint8_t responder = 0x20) {
    WireRequest r;
    r.responder = responder;
    r.netFn = 0x0A;
    r.command = command;
    r.data = std::move(data);
    return r;
}

WireRequest FruRead(uint8_t responder, uint8_t id, uint32_t offset, uint8_t count) {
    return Storage(0x11, {id, uint8_t(offset), uint8_t(offset >> 8), count}, responder);
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
    CachingTransport Transport(std::string file = "", CachingTransport::Switches switches = {}) {
        return CachingTransport(bmc.Wire(), switches, file, [this] { return now; });
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
        {"fewer bytes than the count says", // what was cut off is wrong
         [](WireAnswer& a) {
             std::fill(a.data.end() - 5, a.data.end(), 0xEE);
             a.data.resize(a.data.size() - 5);
         }},
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
    // What changes the device or ends the load, each followed by a full read
    // that must give the device's bytes.
    const std::pair<const char*, std::function<void()>> events[] = {
        {"a write through the module",
         [&] {
             transport.Send(Storage(0x12, {1, 10, 0, 0xA1, 0xA2}));
         }},
        {"a change behind the module's back, then a new scan",
         [&] { device[50] ^= 0xFF, transport.Send(Storage(0x22, {})); }},
        {"a change, then the idle time",
         [&] {
             device[70] ^= 0xFF, now += CachingTransport::kIdle + std::chrono::milliseconds(1);
         }},
        {"a change, then the command's read of the device itself (a backup)",
         [&] { device[90] ^= 0xFF, transport.ForgetFruBytes(); }},
    };
    ASSERT_EQ(LibraryRead(transport, 0x20, 1, 100), device);
    for (const auto& [what, event] : events) {
        event();
        EXPECT_EQ(LibraryRead(transport, 0x20, 1, 100), device) << what;
    }
    EXPECT_EQ(device[10], 0xA1);
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
    // A scan of the repository into the cache file, as an earlier process did.
    const auto scanned = [this] {
        CachingTransport first = Transport(path);
        LibraryScan(first);
        bmc.log.clear();
    };
    // What the BMC or the cache file does, the Get SDR and Reserve requests
    // that go out for the scan, and whether a valid cache file is left.
    struct Case {
        const char* what;
        std::function<void()> setUp;
        size_t getSdr, reserve;
        bool fileAfter;
    } cases[] = {
        {"each record whole", [] {}, 3, 0, true},
        {"unchanged since the file was written", scanned, 0, 0, true},
        {"a record added since",
         [&] {
             scanned();
             bmc.sdr.push_back(SdrRecord(4, 5));
             bmc.additionTime += 60;
         },
         4, 0, true},
        // Whole records refused: per record the refused read, a reservation,
        // the header and one piece.
        {"pieces", [this] { bmc.wholeRecords = false; }, 3 * 3, 3, true},
        // Padding behind a whole record is not part of it.
        {"padding", [this] { bmc.padding = 6; }, 3, 0, true},
        // Pieces shorter than asked: the fetch stops at the second record and
        // nothing is held; the library's own requests (two passes, a
        // reservation each record, 7 pieces of 16 bytes) go out and get the
        // BMC's answers.
        {"broken pieces",
         [this] {
             bmc.wholeRecords = false;
             bmc.tamper = [](const WireRequest& r, WireAnswer& a) {
                 if (r.command == 0x23 && r.data[4] != 0 && r.data[5] > 16)
                     a.data.pop_back();
             };
         },
         2 * 3 + 3 + 3 + 7, 2 + 3 + 3, false},
        // A damaged cache file is ignored and replaced.
        {"damaged file",
         [&] {
             scanned();
             std::ifstream in(path, std::ios::binary);
             Bytes file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
             in.close();
             file[file.size() / 2] ^= 0x01;
             std::ofstream(path, std::ios::binary)
                 .write(reinterpret_cast<char*>(file.data()), file.size());
         },
         3, 0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SetUp();
        c.setUp();
        CachingTransport transport = Transport(path);
        EXPECT_EQ(LibraryScan(transport), bmc.sdr);
        EXPECT_EQ(std::pair(bmc.Count(0x23), bmc.Count(0x22)), std::pair(c.getSdr, c.reserve));
        SdrCacheFile::Contents contents;
        EXPECT_EQ(SdrCacheFile::Load(path, &contents), c.fileAfter);
        // Held records answer the next scan in the process for the stamp alone.
        bmc.log.clear();
        EXPECT_EQ(LibraryScan(transport), bmc.sdr);
        EXPECT_TRUE(!c.fileAfter || bmc.log.size() == 1u) << bmc.log.size();
    }
}

TEST(SdrCacheFile, OnlyACompleteIntactFileParses) {
    SdrCacheFile::Contents contents;
    contents.stamp = Bytes(13, 0x11);
    contents.records = {{0, 2, SdrRecord(1, 3)}, {2, 0xFFFF, SdrRecord(2, 30)}};
    contents.sizes = {{{true, 0, 0x30}, {34, 35}}};
    Bytes file = SdrCacheFile::Encode(contents);
    SdrCacheFile::Contents read;
    ASSERT_TRUE(SdrCacheFile::Parse(file.data(), file.size(), &read));
    EXPECT_EQ(SdrCacheFile::Encode(read), file); // nothing lost on the way back
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
    const std::vector<std::string> ipmb = {"0+23", "23+23", "46+23"};
    const std::tuple<const char*, std::function<void(WireAnswer&)>, std::vector<std::string>>
        cases[] = {
            {"carried", nullptr, {"0+63"}},
            {"count refused", [](WireAnswer& a) { a.completionCode = 0xC8; }, ipmb},
            {"bridge NAK", [](WireAnswer& a) { a.completionCode = 0x83; }, ipmb},
            {"no answer", [](WireAnswer& a) { a.result = 0xE0000003; }, ipmb},
        };
    for (const auto& [what, refuse, secondLoad] : cases) {
        SCOPED_TRACE(what);
        SetUp();
        bmc.maxRead = 63;
        if (refuse)
            bmc.tamper = [&refuse](const WireRequest& r, WireAnswer& a) {
                if (r.command == 0x11 && r.data[3] > 23)
                    a = WireAnswer{}, refuse(a);
            };
        CachingTransport transport = Transport("", {true, true, 63});
        EXPECT_EQ(LibraryRead(transport, 0x30, 0, 60), Device(0x30, 0));
        bmc.log.clear();
        transport.Send(Storage(0x22, {})); // a new load
        EXPECT_EQ(LibraryRead(transport, 0x30, 0, 60), Device(0x30, 0));
        EXPECT_EQ(bmc.Reads(), secondLoad);
    }
}
