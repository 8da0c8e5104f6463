// Loading the system and selecting its FRUs through the public interface, as a
// host does, against the simulated BMC.
#include "FruTestImages.h"
#include "TestSupport.h"
#include "drivers/KsbApi.h"
#include "orvane/orvane.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <utility>

namespace {

using FruTestImages::Locator;
using TestSupport::SimulatedSystem;

std::vector<uint32_t> g_progress; // phase * 1000 + the first value, a text each

void Record(uint32_t phase, const OrvaneChar*, uint32_t value1, uint32_t) {
    g_progress.push_back(phase * 1000 + value1);
}

class SystemApiTest : public ::testing::Test {
  protected:
    void SetUp() override { g_progress.clear(); }
    uint32_t Frus(uint32_t* present = nullptr) {
        uint32_t found = 0, loaded = 0;
        EXPECT_EQ(SelectList(api, ORVANE_LIST_SYSTEM), ORVANE_OK);
        EXPECT_EQ(GetNumberOfFrus(api, &found, &loaded), ORVANE_OK);
        if (present)
            *present = found;
        return loaded;
    }
    std::u16string Property(uint32_t index) {
        const OrvaneChar* value = nullptr;
        EXPECT_EQ(SelectProperty(api, index), ORVANE_OK);
        EXPECT_EQ(GetPropertyValue(api, &value), ORVANE_OK);
        return TestSupport::Text(value);
    }
    TestSupport::Host host;
    OrvaneInterface* api = &host.api;
};

TEST_F(SystemApiTest, SelectionNeedsALoadAndAList) {
    uint32_t present, loaded;
    EXPECT_EQ(AddFruToSystemList(nullptr), ORVANE_E_NOT_IMPLEMENTED);
    EXPECT_EQ(SelectList(api, ORVANE_LIST_SYSTEM), ORVANE_E_NOT_LOADED);
    SimulatedSystem bmc(FruTestImages::Image(false));
    ASSERT_EQ(LoadConfigurationFromSystem(api), ORVANE_OK);
    EXPECT_EQ(GetNumberOfFrus(api, &present, &loaded), ORVANE_E_NOT_SELECTED);
    EXPECT_EQ(SelectList(api, 3), ORVANE_E_BAD_ARGUMENT);
    EXPECT_EQ(SelectFru(api, 0), ORVANE_E_NOT_SELECTED);
    EXPECT_EQ(SelectList(api, 2), ORVANE_OK);
    EXPECT_EQ(CommitConfigurationToSystem(api), ORVANE_E_BAD_ARGUMENT);
}

TEST_F(SystemApiTest, LoadSkipsUnreadableDevicesAndReportsProgress) {
    // No controller answers at 0x40.
    SimulatedSystem bmc(
        FruTestImages::Image(false),
        {Locator(0x20, 2, "Board"), Locator(0x40, 0, "Gone"), Locator(0x20, 1, "Second")}, 3);
    ASSERT_EQ(SetProgressCallback(api, Record), ORVANE_OK);
    ASSERT_EQ(LoadConfigurationFromSystem(api), ORVANE_OK);
    uint8_t flag = 0;
    ASSERT_EQ(IsLoaded(api, &flag), ORVANE_OK);
    EXPECT_EQ(flag, 1);
    uint32_t present = 0;
    EXPECT_EQ(Frus(&present), 2u);
    EXPECT_EQ(present, 3u);
    EXPECT_EQ(g_progress, (std::vector<uint32_t>{0, 1, 2}));

    ASSERT_EQ(SelectFruByAddress(api, 2, 0, 0x20, 0, 0x20, 1), ORVANE_OK);
    const OrvaneChar* name = nullptr;
    ASSERT_EQ(GetFruName(api, &name), ORVANE_OK);
    EXPECT_EQ(TestSupport::Text(name), u"Second");
    EXPECT_EQ(SelectFru(api, 2), ORVANE_E_BAD_ARGUMENT);
    EXPECT_EQ(SelectFruByAddress(api, 2, 0, 0x20, 0, 0x20, 9), ORVANE_E_BAD_ARGUMENT);
    EXPECT_NE(host.LastError(), u"<null>");

    ASSERT_EQ(SelectFru(api, 0), ORVANE_OK);
    uint32_t nvs;
    uint8_t lun, address, bus, controller, id;
    ASSERT_EQ(GetFruAddress(api, &nvs, &lun, &address, &bus, &controller, &id), ORVANE_OK);
    EXPECT_EQ(std::vector<uint32_t>({nvs, address, controller, id}),
              std::vector<uint32_t>({2, 0x20, 0x20, 2}));
    g_progress.clear();
    EXPECT_EQ(CommitConfigurationToSystem(api), ORVANE_OK);
    EXPECT_EQ(g_progress.size(), 5u); // the FRU, then after header, internal, chassis, board
}

TEST_F(SystemApiTest, SingleDevicesByAddressAndTheirHeaderChecks) {
    const struct {
        size_t at;
        uint8_t value;
        uint32_t status;
    } cases[] = {{0, 0x01, ORVANE_OK},
                 {0, 0x02, ORVANE_E_NOT_IPMI_FRU},
                 {7, 0x00, ORVANE_E_HEADER_CHECKSUM}};
    for (const auto& c : cases) {
        std::vector<uint8_t> image = FruTestImages::Image(false);
        image[c.at] = c.value;
        SimulatedSystem bmc(image);
        EXPECT_EQ(FindFruAtAddressAndChecksumHeader(api, 2, 0, 0x20, 0xFF, 0x20, 0), c.status);
    }
    // The message names the device by its address.
    EXPECT_EQ(host.LastError(),
              u"The common header of FRU 0 at controller 20h, device 20h, bus 255 is invalid.");

    SimulatedSystem bmc(FruTestImages::Image(false));
    EXPECT_EQ(LoadFruAtAddress(api, 2, 0, 0x20, 0xFF, 0x40, 0), KSB_RESULT_TIMEOUT);
    uint8_t flag = 1;
    IsLoaded(api, &flag);
    EXPECT_EQ(flag, 0);
    ASSERT_EQ(LoadFruAtAddress(api, 2, 0, 0x20, 0xFF, 0x20, 0), ORVANE_OK);
    EXPECT_EQ(Frus(), 1u);
    ASSERT_EQ(SelectFru(api, 0), ORVANE_OK);
    const OrvaneChar* name = u"x";
    ASSERT_EQ(GetFruName(api, &name), ORVANE_OK);
    EXPECT_EQ(name, nullptr);
}

TEST_F(SystemApiTest, PropertiesCountModulo256) {
    uint32_t count = 0;
    EXPECT_EQ(GetNumberOfProperties(api, &count), ORVANE_E_NOT_LOADED);
    {
        SimulatedSystem bmc(FruTestImages::Image(false));
        ASSERT_EQ(LoadPropertiesFromSystem(api), ORVANE_OK);
        EXPECT_EQ(Property(1) + Property(2), u"00");
    }
    // Locators found, never readable.
    SimulatedSystem bmc(FruTestImages::Image(false),
                        std::vector<std::vector<uint8_t>>(300, Locator(0x40, 0, "x")));
    ASSERT_EQ(LoadConfigurationFromSystem(api), ORVANE_OK);
    ASSERT_EQ(LoadPropertiesFromSystem(api), ORVANE_OK);
    ASSERT_EQ(GetNumberOfProperties(api, &count), ORVANE_OK);
    EXPECT_EQ(count, 3u);
    EXPECT_EQ(Property(0), u"IPMI 1.5 or later");
    EXPECT_EQ(Property(1), u"44");
    EXPECT_EQ(Property(2), u"0");
    const OrvaneChar* title = nullptr;
    ASSERT_EQ(SelectProperty(api, 0), ORVANE_OK);
    ASSERT_EQ(GetPropertyTitle(api, &title), ORVANE_OK);
    EXPECT_NE(title, nullptr);
    EXPECT_EQ(SelectProperty(api, 3), ORVANE_E_BAD_ARGUMENT);
    const OrvaneChar* value = nullptr;
    EXPECT_EQ(GetPropertyValue(api, &value), ORVANE_E_NOT_SELECTED);
}

TEST_F(SystemApiTest, ALoadReadsAtMostSeventeenImages) {
    std::vector<std::vector<uint8_t>> sdr;
    for (uint8_t id = 1; id <= 20; ++id)
        sdr.push_back(Locator(0x20, id, "F"));
    SimulatedSystem bmc(FruTestImages::Image(false), sdr, 21);
    ASSERT_EQ(LoadConfigurationFromSystem(api), ORVANE_OK);
    uint32_t present = 0;
    EXPECT_EQ(Frus(&present), 17u);
    EXPECT_EQ(present, 20u);
}

// A round trip of changes through the whole interface and a new library state.
TEST_F(SystemApiTest, ChangesSurviveACommitAndANewLibraryState) {
    const std::string demo = std::string(ORVANE_SOURCE_DIR) + "/examples/demo-system";
    std::map<std::string, std::vector<uint8_t>> before;
    for (const auto& e : std::filesystem::directory_iterator(demo))
        if (e.path().extension() == ".bin")
            before[e.path().filename().string()] = TestSupport::ReadFile(e.path().string());
    SimulatedSystem bmc(TestSupport::ReadText(demo + "/system.json"), before);
    ASSERT_EQ(LoadConfigurationFromSystem(api), ORVANE_OK);

    host.SelectNamed(u"Mainboard");
    ASSERT_EQ(host.SetField(ORVANE_AREA_BOARD, 6, "Orvane Labs"), ORVANE_OK);   // manufacturer
    ASSERT_EQ(host.SetField(ORVANE_AREA_PRODUCT, 16, "ASSET-0042"), ORVANE_OK); // asset tag
    ASSERT_EQ(SelectAreaEnum(api, ORVANE_AREA_INTERNAL_USE), ORVANE_OK);
    uint8_t internal[512];
    uint32_t size = sizeof internal;
    ASSERT_EQ(GetAreaData(api, internal, &size), ORVANE_OK);
    internal[size - 1] = 0x5A;
    ASSERT_EQ(SetAreaData(api, internal, size), ORVANE_OK);
    const std::u16string internalText = host.Field(ORVANE_AREA_INTERNAL_USE, 0, false);
    bmc.ClearLog();
    ASSERT_EQ(CommitConfigurationToSystem(api), ORVANE_OK);
    // The commit wrote the header and the changed areas of FRU 0, nothing else.
    const std::string log = TestSupport::ReadText(bmc.dir + "/requests.log");
    EXPECT_NE(log.find("send rs=20 netfn=0A lun=00 cmd=12 data=[00 00 00 01 01 04"), log.npos);
    EXPECT_EQ(log.find("cmd=12 data=[01"), log.npos) << "another device was written";

    host.SelectNamed(u"Chassis");
    // The second custom field in the list.
    ASSERT_EQ(host.SetField(ORVANE_AREA_CHASSIS, 4, "U 20-22", false), ORVANE_OK);
    ASSERT_EQ(CommitConfigurationToSystem(api), ORVANE_OK);

    // A new library state reads the changes back from the devices.
    host.Restart();
    ASSERT_EQ(LoadConfigurationFromSystem(api), ORVANE_OK);
    host.SelectNamed(u"Mainboard");
    EXPECT_EQ(host.Field(ORVANE_AREA_BOARD, 6), u"Orvane Labs");
    EXPECT_EQ(host.Field(ORVANE_AREA_PRODUCT, 16), u"ASSET-0042");
    EXPECT_EQ(host.Field(ORVANE_AREA_INTERNAL_USE, 0, false), internalText);
    host.SelectNamed(u"Chassis");
    EXPECT_EQ(host.Field(ORVANE_AREA_CHASSIS, 4, false), u"U 20-22");

    // Every other image is byte for byte what it was; the two changed ones
    // differ only inside the areas that were changed. board.bin: header
    // 01 01 04 09 13 1E: internal use 8..31, chassis 32..71 unchanged, board
    // 72..151, product 152..239, multi-record from 240 unchanged.
    // chassis.bin: the chassis area from byte 8.
    for (const auto& [name, bytes] : before) {
        auto after = bmc.File(name);
        ASSERT_GE(after.size(), bytes.size()) << name;
        after.resize(bytes.size());
        if (name == "board.bin") {
            std::copy(bytes.begin() + 8, bytes.begin() + 32, after.begin() + 8);
            std::copy(bytes.begin() + 72, bytes.begin() + 240, after.begin() + 72);
        } else if (name == "chassis.bin") {
            std::copy(bytes.begin() + 8, bytes.end(), after.begin() + 8);
        }
        EXPECT_EQ(after, bytes) << name;
    }
}

} // namespace
