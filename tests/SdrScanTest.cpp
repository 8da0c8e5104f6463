// The SDR scan: record reading in pieces, decoding and the locators built.
#include "system/SdrScan.h"
#include "FruTestImages.h"
#include "TestSupport.h"
#include "fru/FruAddress.h"
#include "fru/FruLocator.h"
#include "orvane/orvane.h"
#include "support/FruList.h"
#include "system/DriverModule.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <dlfcn.h>
#include <string>

namespace {

using FruTestImages::Locator;
using Records = std::vector<std::vector<uint8_t>>;
using TestSupport::SimulatedSystem;

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
    void TearDown() override { DeInitialize(nullptr); }
    // The locators a scan finds, each as its address (NVS type, LUN, device
    // address, bus, controller and id) and its name.
    static std::vector<std::string> Found() {
        FruList<FruLocator> list;
        EXPECT_EQ(Orvane::ScanSystemForFruLocators(&list), 0u);
        std::vector<std::string> found;
        for (uint32_t i = 0; i < list.GetCount(); ++i) {
            const FruLocator* l = list.GetAt(i);
            const std::u16string name = l->GetName() ? l->GetName() : u"";
            found.push_back(FruAddress{l->nvsType, static_cast<uint8_t>(l->lun), l->bus,
                                       l->deviceAddress, l->controller, l->deviceId}
                                .Format() +
                            " " + std::string(name.begin(), name.end()));
        }
        list.DestroyElements();
        return found;
    }
};

TEST_F(SdrScanTest, BuildsLocatorsFromBothRecordTypes) {
    SimulatedSystem bmc(
        {}, {ControllerRecord(0x20, "BMC"), Locator(0x20, 0xA0, "Eeprom", 0x01, 0x02),
             ControllerRecord(0x22, "Satellite"), Locator(0x20, 0x03, "Logical", 0x80 | (1 << 3))});
    // Device locators first, in repository order, then the controllers.
    EXPECT_EQ(Found(),
              (std::vector<std::string>{"1:0:A0:01:20:A0 Eeprom", "2:1:20:00:20:03 Logical",
                                        "2:0:20:FF:20:00 BMC", "2:0:22:00:20:00 Satellite"}));
}

TEST_F(SdrScanTest, UnsupportedTypesAndVersionsStopTheScan) {
    std::vector<uint8_t> otherType = ControllerRecord(0x20, "B");
    otherType[3] = 0x03;
    const struct {
        Records records;
        std::vector<std::string> found;
    } cases[] = {{{ControllerRecord(0x20, "A"), otherType}, {}},
                 {{ControllerRecord(0x20, "First"), Locator(0x20, 1, "Old", 0x80, 0x10, 0x02),
                   ControllerRecord(0x22, "Never")},
                  {"2:0:20:FF:20:00 First"}}};
    for (const auto& c : cases) {
        SimulatedSystem bmc({}, c.records);
        EXPECT_EQ(Found(), c.found);
    }
}

TEST_F(SdrScanTest, LongRecordsAndLoopingWalksKeepTheLocatorsFound) {
    // A record of 255 bytes after its header is read to its end (the last
    // piece starts at 245) and the records after it still count; a walk
    // whose next ids lead back (0 -> 1 -> 2 -> 0) ends there, with what it found.
    std::vector<uint8_t> oem(5 + 255, 0x5A);
    oem[2] = 0x51;
    oem[3] = 0xC0;
    oem[4] = 255;
    const std::vector<std::string> found = {"2:0:20:FF:20:00 A", "2:0:22:00:20:00 B"};
    size_t getSdr = 0, lastPiece = 0;
    {
        SimulatedSystem bmc({}, {ControllerRecord(0x20, "A"), oem, ControllerRecord(0x22, "B")});
        EXPECT_EQ(Found(), found);
        for (const std::string& r : bmc.Log(true)) {
            getSdr += r.find("cmd=23") != std::string::npos;
            lastPiece += r.find("cmd=23") != std::string::npos && r.ends_with(" F5 0F]");
        }
    }
    // Three headers counted, then three headers and 1 + 16 + 1 pieces.
    EXPECT_EQ(getSdr, 3u + 3u + 18u);
    EXPECT_EQ(lastPiece, 1u);
    DriverModule::Unload();
    setenv("ORVANE_DRIVER", ORVANE_LOOPING_SDR, 1);
    EXPECT_EQ(Found(), found);
    void* fake = dlopen(ORVANE_LOOPING_SDR, RTLD_NOW);
    EXPECT_EQ(reinterpret_cast<uint32_t (*)()>(dlsym(fake, "LoopingSdrRequests"))(), 24u);
    DriverModule::Unload();
    dlclose(fake);
    unsetenv("ORVANE_DRIVER");
}

// A 29-byte id string makes a record length of 40: read as a header, then in
// pieces of 16 bytes under the reservation of its pass.
TEST_F(SdrScanTest, SimulatedRepositoryIsReadWithANewReservationPerRecord) {
    SimulatedSystem bmc(R"({"controllers": [{"address": "0x20"}], "sdr": [{"type": "fru_locator",
            "access_address": "0x20", "device": 1, "name": ")" +
                        std::string(29, 'n') + R"("}]})");
    // The name is cut at 17 bytes.
    EXPECT_EQ(Found(), std::vector<std::string>{"2:0:20:00:20:01 " + std::string(17, 'n')});
    EXPECT_EQ(bmc.Log(true), (std::vector<std::string>{
                                 "send rs=20 netfn=0A lun=00 cmd=22 data=[]",
                                 "send rs=20 netfn=0A lun=00 cmd=23 data=[01 00 00 00 00 05]",
                                 "send rs=20 netfn=0A lun=00 cmd=22 data=[]",
                                 "send rs=20 netfn=0A lun=00 cmd=23 data=[02 00 00 00 00 05]",
                                 "send rs=20 netfn=0A lun=00 cmd=23 data=[02 00 00 00 05 10]",
                                 "send rs=20 netfn=0A lun=00 cmd=23 data=[02 00 00 00 15 10]",
                                 "send rs=20 netfn=0A lun=00 cmd=23 data=[02 00 00 00 25 08]"}));
}
} // namespace
