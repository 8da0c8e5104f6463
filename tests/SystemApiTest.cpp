// Loading the system and selecting its FRUs through the public interface, as a
// host does, against the scripted BMC.
#include "FakeBmc.h"
#include "FruTestImages.h"
#include "orvane/orvane.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace {

std::vector<uint8_t> LocatorRecord(uint8_t access, uint8_t id, const std::string& name) {
    std::vector<uint8_t> r = {
        0, 0, 0x51, 0x11, 0, access, id, 0x80,
        0, 0, 0x10, 0,    0, 0,      0,  static_cast<uint8_t>(0xC0 | name.size())};
    r.insert(r.end(), name.begin(), name.end());
    r[4] = static_cast<uint8_t>(r.size() - 5);
    return r;
}

std::vector<uint8_t> BoardImage() {
    std::vector<uint8_t> image = {0x01, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0xFE};
    auto board = FruTestImages::Area({0x01, 0, 0x19, 0, 0, 0}, {"Acme", "B", "S", "P", ""}, 4);
    image.insert(image.end(), board.begin(), board.end());
    image.resize(128, 0xFF);
    return image;
}

std::vector<std::pair<std::u16string, uint32_t>> g_progress;
void Record(uint32_t phase, const OrvaneChar* text, uint32_t value1, uint32_t) {
    g_progress.push_back({text ? std::u16string(text) : u"", phase * 1000 + value1});
}

class SystemApiTest : public ::testing::Test {
  protected:
    void SetUp() override {
        api.setLanguage = SetLanguageLocale;
        ASSERT_EQ(Initialize(&api), ORVANE_OK);
        g_progress.clear();
    }
    void TearDown() override { DeInitialize(&api); }
    OrvaneInterface api{};
};

TEST_F(SystemApiTest, SelectionNeedsALoadAndAList) {
    uint32_t present, loaded;
    EXPECT_EQ(AddFruToSystemList(nullptr), ORVANE_E_NOT_IMPLEMENTED);
    EXPECT_EQ(SelectList(&api, 1), ORVANE_E_NOT_LOADED);
    FakeBmc bmc(BoardImage());
    ASSERT_EQ(LoadConfigurationFromSystem(&api), ORVANE_OK);
    EXPECT_EQ(GetNumberOfFrus(&api, &present, &loaded), ORVANE_E_NOT_SELECTED);
    EXPECT_EQ(SelectList(&api, 3), ORVANE_E_BAD_ARGUMENT);
    EXPECT_EQ(SelectFru(&api, 0), ORVANE_E_NOT_SELECTED);
    EXPECT_EQ(SelectList(&api, 2), ORVANE_OK);
    EXPECT_EQ(CommitConfigurationToSystem(&api), ORVANE_E_BAD_ARGUMENT);
}

TEST_F(SystemApiTest, LoadSkipsUnreadableDevicesAndReportsProgress) {
    FakeBmc bmc(BoardImage());
    bmc.AddRecord(LocatorRecord(0x20, 0, "Board"));
    bmc.AddRecord(LocatorRecord(0x40, 0, "Gone")); // no controller answers at 0x40
    bmc.AddRecord(LocatorRecord(0x20, 1, "Second"));
    ASSERT_EQ(SetProgressCallback(&api, Record), ORVANE_OK);
    ASSERT_EQ(LoadConfigurationFromSystem(&api), ORVANE_OK);
    uint8_t flag = 0;
    ASSERT_EQ(IsLoaded(&api, &flag), ORVANE_OK);
    EXPECT_EQ(flag, 1);
    ASSERT_EQ(SelectList(&api, ORVANE_LIST_SYSTEM), ORVANE_OK);
    uint32_t present = 0, loaded = 0;
    ASSERT_EQ(GetNumberOfFrus(&api, &present, &loaded), ORVANE_OK);
    EXPECT_EQ(present, 3u);
    EXPECT_EQ(loaded, 2u);
    ASSERT_EQ(g_progress.size(), 3u);
    EXPECT_EQ(g_progress[0].second, 0u);
    EXPECT_EQ(g_progress[1].second, 1u);
    EXPECT_EQ(g_progress[2].second, 2u);
    EXPECT_NE(g_progress[2].first.find(u"2"), std::u16string::npos);

    ASSERT_EQ(SelectFruByAddress(&api, 2, 0, 0x20, 0, 0x20, 1), ORVANE_OK);
    const OrvaneChar* name = nullptr;
    ASSERT_EQ(GetFruName(&api, &name), ORVANE_OK);
    EXPECT_EQ(std::u16string(name), u"Second");
    EXPECT_EQ(SelectFru(&api, 2), ORVANE_E_BAD_ARGUMENT);
    EXPECT_EQ(SelectFruByAddress(&api, 2, 0, 0x20, 0, 0x20, 9), ORVANE_E_BAD_ARGUMENT);
    const OrvaneChar* text = nullptr;
    GetLastErrorMessage(&api, &text);
    EXPECT_NE(text, nullptr);

    ASSERT_EQ(SelectFru(&api, 0), ORVANE_OK);
    uint32_t nvs;
    uint8_t lun, address, bus, controller, id;
    ASSERT_EQ(GetFruAddress(&api, &nvs, &lun, &address, &bus, &controller, &id), ORVANE_OK);
    EXPECT_EQ(nvs, 2u);
    EXPECT_EQ(address, 0x20);
    EXPECT_EQ(controller, 0x20);
    g_progress.clear();
    EXPECT_EQ(CommitConfigurationToSystem(&api), ORVANE_OK);
    EXPECT_EQ(g_progress.size(), 5u); // the FRU, then after header, internal, chassis, board
}

TEST_F(SystemApiTest, SingleDevicesByAddress) {
    std::vector<uint8_t> image = BoardImage();
    FakeBmc bmc(image);
    EXPECT_EQ(FindFruAtAddressAndChecksumHeader(&api, 2, 0, 0x20, 0xFF, 0x20, 0), ORVANE_OK);
    EXPECT_EQ(LoadFruAtAddress(&api, 2, 0, 0x20, 0xFF, 0x40, 0), KSB_RESULT_TIMEOUT);
    uint8_t flag = 1;
    IsLoaded(&api, &flag);
    EXPECT_EQ(flag, 0);
    ASSERT_EQ(LoadFruAtAddress(&api, 2, 0, 0x20, 0xFF, 0x20, 0), ORVANE_OK);
    ASSERT_EQ(SelectList(&api, 1), ORVANE_OK);
    ASSERT_EQ(SelectFru(&api, 0), ORVANE_OK);
    const OrvaneChar* name = u"x";
    ASSERT_EQ(GetFruName(&api, &name), ORVANE_OK);
    EXPECT_EQ(name, nullptr);
}

TEST_F(SystemApiTest, HeaderChecks) {
    std::vector<uint8_t> image = BoardImage();
    image[0] = 0x02;
    {
        FakeBmc bmc(image);
        EXPECT_EQ(FindFruAtAddressAndChecksumHeader(&api, 2, 0, 0x20, 0xFF, 0x20, 0),
                  ORVANE_E_NOT_IPMI_FRU);
    }
    image[0] = 0x01;
    image[7] = 0x00;
    FakeBmc bmc(image);
    EXPECT_EQ(FindFruAtAddressAndChecksumHeader(&api, 2, 0, 0x20, 0xFF, 0x20, 0),
              ORVANE_E_HEADER_CHECKSUM);
}

} // namespace

namespace {

std::u16string Property(OrvaneInterface* api, uint32_t index) {
    const OrvaneChar* value = nullptr;
    EXPECT_EQ(SelectProperty(api, index), ORVANE_OK);
    EXPECT_EQ(GetPropertyValue(api, &value), ORVANE_OK);
    return value ? value : u"<null>";
}

TEST_F(SystemApiTest, PropertiesCountModulo256) {
    uint32_t count = 0;
    EXPECT_EQ(GetNumberOfProperties(&api, &count), ORVANE_E_NOT_LOADED);
    FakeBmc bmc(BoardImage());
    ASSERT_EQ(LoadPropertiesFromSystem(&api), ORVANE_OK);
    EXPECT_EQ(Property(&api, 1), u"0");
    EXPECT_EQ(Property(&api, 2), u"0");
    for (int i = 0; i < 300; ++i)
        bmc.AddRecord(LocatorRecord(0x40, 0, "x")); // found, never readable
    ASSERT_EQ(LoadConfigurationFromSystem(&api), ORVANE_OK);
    ASSERT_EQ(LoadPropertiesFromSystem(&api), ORVANE_OK);
    ASSERT_EQ(GetNumberOfProperties(&api, &count), ORVANE_OK);
    EXPECT_EQ(count, 3u);
    EXPECT_EQ(Property(&api, 1), u"44");
    EXPECT_EQ(Property(&api, 2), u"0");
    // The fake BMC does not answer Get Device ID: the version reads as 0.
    const OrvaneChar* title = nullptr;
    ASSERT_EQ(SelectProperty(&api, 0), ORVANE_OK);
    ASSERT_EQ(GetPropertyTitle(&api, &title), ORVANE_OK);
    EXPECT_NE(title, nullptr);
    EXPECT_EQ(SelectProperty(&api, 3), ORVANE_E_BAD_ARGUMENT);
    const OrvaneChar* value = nullptr;
    EXPECT_EQ(GetPropertyValue(&api, &value), ORVANE_E_NOT_SELECTED);
}

} // namespace
