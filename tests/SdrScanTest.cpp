// The SDR scan: record reading in pieces, decoding and the locators built.
#include "system/SdrScan.h"
#include "FakeBmc.h"
#include "FruTestImages.h"
#include "TestSupport.h"
#include "fru/FruLocator.h"
#include "orvane/orvane.h"
#include "support/FruList.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

using FruTestImages::Locator;

std::vector<uint8_t> ControllerRecord(uint8_t address, const std::string& name) {
    std::vector<uint8_t> r = {
        0, 0, 0x51, 0x12, 0, address, 0, 0,
        0, 0, 0,    0,    0, 0,       0, static_cast<uint8_t>(0xC0 | name.size())};
    r.insert(r.end(), name.begin(), name.end());
    r[4] = static_cast<uint8_t>(r.size() - 5);
    return r;
}

class SdrScanTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(Initialize(nullptr), ORVANE_OK); }
    void TearDown() override {
        list.DestroyElements();
        DeInitialize(nullptr);
    }
    FruList<FruLocator> list;
};

TEST_F(SdrScanTest, BuildsLocatorsFromBothRecordTypes) {
    FakeBmc bmc({});
    bmc.AddRecord(ControllerRecord(0x20, "BMC"));
    bmc.AddRecord(Locator(0x20, 0xA0, "Eeprom", 0x01, 0x02));
    bmc.AddRecord(ControllerRecord(0x22, "Satellite"));
    bmc.AddRecord(Locator(0x20, 0x03, "Logical", 0x80 | (1 << 3)));
    EXPECT_EQ(Orvane::ScanSystemForFruLocators(&list), 0u);
    ASSERT_EQ(list.GetCount(), 4u);
    // Device locators first, in repository order, then the controllers.
    FruLocator* eeprom = list.GetAt(0);
    EXPECT_EQ(eeprom->deviceAddress, 0xA0);
    EXPECT_EQ(eeprom->bus, 1);
    EXPECT_EQ(eeprom->deviceId, 0xA0);
    EXPECT_EQ(eeprom->controller, 0x20);
    EXPECT_EQ(eeprom->nvsType, 1u);
    EXPECT_EQ(std::u16string(eeprom->GetName()), u"Eeprom");
    FruLocator* logical = list.GetAt(1);
    EXPECT_EQ(logical->deviceAddress, 0x20);
    EXPECT_EQ(logical->deviceId, 3);
    EXPECT_EQ(logical->lun, 1u);
    EXPECT_EQ(logical->nvsType, 2u);
    FruLocator* bmcLocator = list.GetAt(2);
    EXPECT_EQ(bmcLocator->deviceAddress, 0x20);
    EXPECT_EQ(bmcLocator->bus, 0xFF);
    FruLocator* satellite = list.GetAt(3);
    EXPECT_EQ(satellite->deviceAddress, 0x22);
    EXPECT_EQ(satellite->bus, 0);
    EXPECT_EQ(satellite->controller, 0x20);
    EXPECT_EQ(std::u16string(satellite->GetName()), u"Satellite");
}

TEST_F(SdrScanTest, UnsupportedTypesAndVersionsStopTheScan) {
    {
        FakeBmc bmc({});
        bmc.AddRecord(ControllerRecord(0x20, "A"));
        std::vector<uint8_t> other = ControllerRecord(0x20, "B");
        other[3] = 0x03;
        bmc.AddRecord(other);
        EXPECT_EQ(Orvane::ScanSystemForFruLocators(&list), 0u);
        EXPECT_EQ(list.GetCount(), 0u);
    }
    {
        FakeBmc bmc({});
        bmc.AddRecord(ControllerRecord(0x20, "First"));
        bmc.AddRecord(Locator(0x20, 1, "Old", 0x80, 0x10, 0x02));
        bmc.AddRecord(ControllerRecord(0x22, "Never"));
        EXPECT_EQ(Orvane::ScanSystemForFruLocators(&list), 0u);
        ASSERT_EQ(list.GetCount(), 1u);
        EXPECT_EQ(std::u16string(list.GetAt(0)->GetName()), u"First");
    }
}

TEST_F(SdrScanTest, LongRecordsAndLoopingWalksKeepTheLocatorsFound) {
    // A record of 255 bytes after its header is read to its end (the last
    // piece starts at 245) and the records after it still count; a walk
    // whose next ids lead back ends there, with what it found.
    std::vector<uint8_t> oem(5 + 255, 0x5A);
    oem[2] = 0x51;
    oem[3] = 0xC0;
    oem[4] = 255;
    for (bool loop : {false, true}) {
        FakeBmc bmc({});
        bmc.AddRecord(ControllerRecord(0x20, "A"));
        bmc.AddRecord(oem);
        bmc.AddRecord(ControllerRecord(0x22, "B"));
        if (loop)
            bmc.LinkRecord(2, 0); // 0 -> 1 -> 2 -> 0 ...
        FruList<FruLocator> found;
        EXPECT_EQ(Orvane::ScanSystemForFruLocators(&found), 0u);
        const uint32_t count = found.GetCount();
        const std::u16string last = count ? found.GetAt(count - 1)->GetName() : u"";
        found.DestroyElements();
        EXPECT_EQ(count, 2u) << loop;
        EXPECT_EQ(last, u"B");
        size_t getSdr = 0, lastPiece = 0;
        for (const FakeRequest& r : bmc.Log()) {
            getSdr += r.command == 0x23;
            lastPiece += r.command == 0x23 && r.data[4] == 245 && r.data[5] == 15;
        }
        // Three headers counted, then three headers and 1 + 16 + 1 pieces.
        EXPECT_EQ(getSdr, 3u + 3u + 18u) << loop;
        EXPECT_EQ(lastPiece, 1u);
    }
}

// A 29-byte id string makes a record length of 40: the simulated BMC's request
// log shows it read as a header, then in pieces of 16 bytes.
TEST_F(SdrScanTest, SimulatedRepositoryIsReadWithANewReservationPerRecord) {
    const std::string dir = TestSupport::TempDir();
    const std::string json =
        R"({"controllers": [{"address": "0x20"}], "sdr": [{"type": "fru_locator",
            "access_address": "0x20", "device": 1, "name": ")" +
        std::string(29, 'n') + R"("}]})";
    TestSupport::WriteFile(dir + "/s.json", std::vector<uint8_t>(json.begin(), json.end()));
    DriverModule::Unload();
    setenv("ORVANE_DRIVER", "sim", 1);
    setenv("ORVANE_SIM_SYSTEM", (dir + "/s.json").c_str(), 1);
    setenv("ORVANE_SIM_LOG", (dir + "/requests.log").c_str(), 1);
    EXPECT_EQ(Orvane::ScanSystemForFruLocators(&list), 0u);
    DriverModule::Unload();
    unsetenv("ORVANE_DRIVER");
    unsetenv("ORVANE_SIM_LOG");
    const std::string log = TestSupport::ReadText(dir + "/requests.log");
    std::vector<std::string> requests;
    for (size_t start = 0, end; (end = log.find(" -> ", start)) != std::string::npos;
         start = log.find('\n', end) + 1)
        requests.push_back(log.substr(start, end - start));
    // Counting pass: reserve, header; reading pass: reserve, header, then
    // 16, 16 and 8 bytes of the 40-byte record under the same reservation.
    EXPECT_EQ(requests, (std::vector<std::string>{
                            "send rs=20 netfn=0A lun=00 cmd=22 data=[]",
                            "send rs=20 netfn=0A lun=00 cmd=23 data=[01 00 00 00 00 05]",
                            "send rs=20 netfn=0A lun=00 cmd=22 data=[]",
                            "send rs=20 netfn=0A lun=00 cmd=23 data=[02 00 00 00 00 05]",
                            "send rs=20 netfn=0A lun=00 cmd=23 data=[02 00 00 00 05 10]",
                            "send rs=20 netfn=0A lun=00 cmd=23 data=[02 00 00 00 15 10]",
                            "send rs=20 netfn=0A lun=00 cmd=23 data=[02 00 00 00 25 08]"}));
    ASSERT_EQ(list.GetCount(), 1u);
    EXPECT_EQ(list.GetAt(0)->deviceId, 1);
    EXPECT_EQ(std::u16string(list.GetAt(0)->GetName()), std::u16string(17, u'n')); // cut at 17
}
} // namespace
