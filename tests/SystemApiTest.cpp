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

std::vector<uint8_t> BoardImage() {
    std::vector<uint8_t> image = {0x01, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0xFE};
    auto board = FruTestImages::Area({0x01, 0, 0x19, 0, 0, 0}, {"Acme", "B", "S", "P", ""}, 4);
    image.insert(image.end(), board.begin(), board.end());
    image.resize(128, 0xFF);
    return image;
}

std::vector<std::pair<std::u16string, uint32_t>> g_progress;

std::string Utf16ToAscii(const std::u16string& text) {
    return std::string(text.begin(), text.end());
}
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
    // Selects the FRU of the system list with this name; its position.
    uint32_t SelectNamed(const std::u16string& name) {
        EXPECT_EQ(SelectList(&api, ORVANE_LIST_SYSTEM), ORVANE_OK);
        uint32_t present = 0, loaded = 0;
        GetNumberOfFrus(&api, &present, &loaded);
        for (uint32_t i = 0; i < loaded; ++i) {
            const OrvaneChar* n = nullptr;
            if (SelectFru(&api, i) == ORVANE_OK && GetFruName(&api, &n) == ORVANE_OK && n &&
                name == n)
                return i;
        }
        ADD_FAILURE() << "no FRU of that name";
        return 0;
    }
    void SetField(int32_t area, int32_t fieldEnum, uint32_t index, const std::string& text) {
        ASSERT_EQ(SelectAreaEnum(&api, area), ORVANE_OK);
        ASSERT_EQ(fieldEnum ? SelectFieldEnum(&api, fieldEnum) : SelectFieldInteger(&api, index),
                  ORVANE_OK);
        ASSERT_EQ(SetFieldDataValue(&api, reinterpret_cast<const uint8_t*>(text.data()),
                                    static_cast<uint32_t>(text.size())),
                  ORVANE_OK);
    }
    std::u16string Field(int32_t area, int32_t fieldEnum, uint32_t index) {
        EXPECT_EQ(SelectAreaEnum(&api, area), ORVANE_OK);
        EXPECT_EQ(fieldEnum ? SelectFieldEnum(&api, fieldEnum) : SelectFieldInteger(&api, index),
                  ORVANE_OK);
        const OrvaneChar* value = nullptr;
        EXPECT_EQ(GetFieldStringValue(&api, &value), ORVANE_OK);
        return value ? value : u"<null>";
    }

    OrvaneInterface api{};
};

TEST_F(SystemApiTest, SelectionNeedsALoadAndAList) {
    uint32_t present, loaded;
    EXPECT_EQ(AddFruToSystemList(nullptr), ORVANE_E_NOT_IMPLEMENTED);
    EXPECT_EQ(SelectList(&api, 1), ORVANE_E_NOT_LOADED);
    SimulatedSystem bmc(BoardImage());
    ASSERT_EQ(LoadConfigurationFromSystem(&api), ORVANE_OK);
    EXPECT_EQ(GetNumberOfFrus(&api, &present, &loaded), ORVANE_E_NOT_SELECTED);
    EXPECT_EQ(SelectList(&api, 3), ORVANE_E_BAD_ARGUMENT);
    EXPECT_EQ(SelectFru(&api, 0), ORVANE_E_NOT_SELECTED);
    EXPECT_EQ(SelectList(&api, 2), ORVANE_OK);
    EXPECT_EQ(CommitConfigurationToSystem(&api), ORVANE_E_BAD_ARGUMENT);
}

TEST_F(SystemApiTest, LoadSkipsUnreadableDevicesAndReportsProgress) {
    // No controller answers at 0x40.
    SimulatedSystem bmc(
        BoardImage(),
        {Locator(0x20, 2, "Board"), Locator(0x40, 0, "Gone"), Locator(0x20, 1, "Second")}, 3);
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
    SimulatedSystem bmc(image);
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
        SimulatedSystem bmc(image);
        EXPECT_EQ(FindFruAtAddressAndChecksumHeader(&api, 2, 0, 0x20, 0xFF, 0x20, 0),
                  ORVANE_E_NOT_IPMI_FRU);
    }
    image[0] = 0x01;
    image[7] = 0x00;
    SimulatedSystem bmc(image);
    EXPECT_EQ(FindFruAtAddressAndChecksumHeader(&api, 2, 0, 0x20, 0xFF, 0x20, 0),
              ORVANE_E_HEADER_CHECKSUM);
    // The message names the device by its address.
    const OrvaneChar* text = nullptr;
    ASSERT_EQ(GetLastErrorMessage(&api, &text), ORVANE_OK);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(std::u16string(text),
              u"The common header of FRU 0 at controller 20h, device 20h, bus 255 is invalid.");
}

TEST_F(SystemApiTest, EveryStepOfALoadTracesItsEntryAndExit) {
    TestSupport::InTempDir folder;
    SimulatedSystem bmc(BoardImage(), {Locator(0x20, 1, "Board")}, 2);
    ASSERT_EQ(SetDebugLevel(&api, 3), ORVANE_OK);
    ASSERT_EQ(LoadConfigurationFromSystem(&api), ORVANE_OK);
    ASSERT_EQ(LoadPropertiesFromSystem(&api), ORVANE_OK);
    for (uint32_t i = 0; i < 3; ++i) {
        const OrvaneChar* value = nullptr;
        ASSERT_EQ(SelectProperty(&api, i), ORVANE_OK);
        ASSERT_EQ(GetPropertyValue(&api, &value), ORVANE_OK);
    }
    SetDebugLevel(&api, 1);
    const std::u16string log = TestSupport::ReadLog();
    for (const char16_t* name :
         {u"Orvane::InitSDRStruct", u"Orvane::CountIPMI15SDRTypes", u"Orvane::SDR_MEM_Alloc",
          u"Orvane::GetAllSDRRecs", u"Orvane::ReadRecFromBMC", u"Orvane::DecodeSDR",
          u"Orvane::DecodeHeader", u"Orvane::DecodeSDRType11V15", u"Orvane::CreateLocatorList",
          u"CFru::ReadDataFromFRU", u"FruUtility::GetIPMIRevision",
          u"CFruProperties::GetIpmiVersionString", u"CFruProperties::GetNumberOfFrusString",
          u"CFruProperties::GetNumberOfIpmiFrusString"}) {
        const std::u16string n(name);
        EXPECT_NE(log.find(n + u" [ENTRY]\r\n"), std::u16string::npos) << Utf16ToAscii(n);
        EXPECT_NE(log.find(n + u" [EXIT]\r\n"), std::u16string::npos) << Utf16ToAscii(n);
    }
}

std::u16string Property(OrvaneInterface* api, uint32_t index) {
    const OrvaneChar* value = nullptr;
    EXPECT_EQ(SelectProperty(api, index), ORVANE_OK);
    EXPECT_EQ(GetPropertyValue(api, &value), ORVANE_OK);
    return value ? value : u"<null>";
}

TEST_F(SystemApiTest, PropertiesCountModulo256) {
    uint32_t count = 0;
    EXPECT_EQ(GetNumberOfProperties(&api, &count), ORVANE_E_NOT_LOADED);
    {
        SimulatedSystem bmc(BoardImage());
        ASSERT_EQ(LoadPropertiesFromSystem(&api), ORVANE_OK);
        EXPECT_EQ(Property(&api, 1), u"0");
        EXPECT_EQ(Property(&api, 2), u"0");
    }
    // Locators found, never readable.
    SimulatedSystem bmc(BoardImage(),
                        std::vector<std::vector<uint8_t>>(300, Locator(0x40, 0, "x")));
    ASSERT_EQ(LoadConfigurationFromSystem(&api), ORVANE_OK);
    ASSERT_EQ(LoadPropertiesFromSystem(&api), ORVANE_OK);
    ASSERT_EQ(GetNumberOfProperties(&api, &count), ORVANE_OK);
    EXPECT_EQ(count, 3u);
    EXPECT_EQ(Property(&api, 0), u"IPMI 1.5 or later");
    EXPECT_EQ(Property(&api, 1), u"44");
    EXPECT_EQ(Property(&api, 2), u"0");
    const OrvaneChar* title = nullptr;
    ASSERT_EQ(SelectProperty(&api, 0), ORVANE_OK);
    ASSERT_EQ(GetPropertyTitle(&api, &title), ORVANE_OK);
    EXPECT_NE(title, nullptr);
    EXPECT_EQ(SelectProperty(&api, 3), ORVANE_E_BAD_ARGUMENT);
    const OrvaneChar* value = nullptr;
    EXPECT_EQ(GetPropertyValue(&api, &value), ORVANE_E_NOT_SELECTED);
}

// Larger systems: the image limit of a load and a round trip of changes
// through the whole interface and a new library state.
namespace fs = std::filesystem;

TEST_F(SystemApiTest, ALoadReadsAtMostSeventeenImages) {
    std::string devices, sdr;
    for (int i = 1; i <= 20; ++i) {
        devices += std::string(i > 1 ? ", " : "") + "{\"id\": " + std::to_string(i) +
                   ", \"hex\": \"01 00 00 00 00 00 00 FF\"}";
        sdr += std::string(i > 1 ? ", " : "") +
               "{\"type\": \"fru_locator\", \"access_address\": \"0x20\", \"device\": " +
               std::to_string(i) + ", \"name\": \"F" + std::to_string(i) + "\"}";
    }
    const std::string json = "{\"controllers\": [{\"address\": \"0x20\", \"fru_devices\": [" +
                             devices + "]}], \"sdr\": [" + sdr + "]}";
    SimulatedSystem bmc(json);
    ASSERT_EQ(LoadConfigurationFromSystem(&api), ORVANE_OK);
    ASSERT_EQ(SelectList(&api, ORVANE_LIST_SYSTEM), ORVANE_OK);
    uint32_t present = 0, loaded = 0;
    ASSERT_EQ(GetNumberOfFrus(&api, &present, &loaded), ORVANE_OK);
    EXPECT_EQ(present, 20u);
    EXPECT_EQ(loaded, 17u);
}

TEST_F(SystemApiTest, ChangesSurviveACommitAndANewLibraryState) {
    const std::string demo = std::string(ORVANE_SOURCE_DIR) + "/examples/demo-system";
    std::map<std::string, std::vector<uint8_t>> before;
    for (const auto& e : fs::directory_iterator(demo))
        if (e.path().extension() == ".bin")
            before[e.path().filename().string()] = TestSupport::ReadFile(e.path().string());
    SimulatedSystem bmc(TestSupport::ReadText(demo + "/system.json"), before);
    ASSERT_EQ(LoadConfigurationFromSystem(&api), ORVANE_OK);

    SelectNamed(u"Mainboard");
    SetField(ORVANE_AREA_BOARD, 6, 0, "Orvane Labs");   // board manufacturer
    SetField(ORVANE_AREA_PRODUCT, 16, 0, "ASSET-0042"); // product asset tag
    ASSERT_EQ(SelectAreaEnum(&api, ORVANE_AREA_INTERNAL_USE), ORVANE_OK);
    uint8_t internal[512];
    uint32_t size = sizeof internal;
    ASSERT_EQ(GetAreaData(&api, internal, &size), ORVANE_OK);
    internal[size - 1] = 0x5A;
    ASSERT_EQ(SetAreaData(&api, internal, size), ORVANE_OK);
    bmc.ClearLog();
    ASSERT_EQ(CommitConfigurationToSystem(&api), ORVANE_OK);
    // The commit wrote the header and the changed areas of FRU 0, nothing else.
    const std::string log = TestSupport::ReadText(bmc.dir + "/requests.log");
    EXPECT_NE(log.find("send rs=20 netfn=0A lun=00 cmd=12 data=[00 00 00 01 01 04"),
              std::string::npos)
        << log;
    EXPECT_EQ(log.find("cmd=12 data=[01"), std::string::npos) << "another device was written";

    SelectNamed(u"Chassis");
    SetField(ORVANE_AREA_CHASSIS, 0, 4, "U 20-22"); // the second custom field in the list
    ASSERT_EQ(CommitConfigurationToSystem(&api), ORVANE_OK);

    // A new library state reads the changes back from the devices.
    ASSERT_EQ(DeInitialize(&api), ORVANE_OK);
    ASSERT_EQ(Initialize(&api), ORVANE_OK);
    ASSERT_EQ(LoadConfigurationFromSystem(&api), ORVANE_OK);
    SelectNamed(u"Mainboard");
    EXPECT_EQ(Field(ORVANE_AREA_BOARD, 6, 0), u"Orvane Labs");
    EXPECT_EQ(Field(ORVANE_AREA_PRODUCT, 16, 0), u"ASSET-0042");
    ASSERT_EQ(SelectAreaEnum(&api, ORVANE_AREA_INTERNAL_USE), ORVANE_OK);
    uint8_t again[512];
    uint32_t againSize = sizeof again;
    ASSERT_EQ(GetAreaData(&api, again, &againSize), ORVANE_OK);
    EXPECT_EQ(std::vector<uint8_t>(again, again + againSize),
              std::vector<uint8_t>(internal, internal + size));
    SelectNamed(u"Chassis");
    EXPECT_EQ(Field(ORVANE_AREA_CHASSIS, 0, 4), u"U 20-22");

    // Every other image is byte for byte what it was; the two changed ones
    // differ only inside the areas that were changed.
    for (const auto& [name, bytes] : before) {
        const auto after = bmc.File(name);
        if (name != "board.bin" && name != "chassis.bin") {
            EXPECT_EQ(after, bytes) << name;
            continue;
        }
        ASSERT_GE(after.size(), bytes.size()) << name;
        // board.bin: header 01 01 04 09 13 1E: internal use 8..31, chassis
        // 32..71 unchanged, board 72..151, product 152..239, multi-record from
        // 240 unchanged. chassis.bin: the chassis area from byte 8.
        const size_t from = name == "board.bin" ? 0 : 8;
        for (size_t i = 0; i < bytes.size(); ++i) {
            const bool changeable =
                name == "board.bin" ? (i >= 8 && i < 32) || (i >= 72 && i < 240) : i >= from;
            if (!changeable) {
                EXPECT_EQ(after[i], bytes[i]) << name << " byte " << i;
            }
        }
    }
}

TEST_F(SystemApiTest, RecordsThatWouldWrapPast64KiBNeverReachTheDevice) {
    // The demo mainboard on a 65,536-byte device, its records from offset 240:
    // 65,401 bytes of records (251 of 255 data bytes, one of 31, one of 100)
    // would run past offset 0xFFFF and wrap onto the common header.
    const std::vector<uint8_t> image =
        TestSupport::ReadFile(std::string(ORVANE_SOURCE_DIR) + "/examples/demo-system/board.bin");
    SimulatedSystem bmc(R"({"controllers": [{"address": "0x20", "fru_devices":
        [{"id": 0, "image": "board.bin", "size": 65536}]}],
        "sdr": [{"type": "mc_locator", "address": "0x20", "name": "Mainboard"}]})",
                        {{"board.bin", image}});
    ASSERT_EQ(LoadConfigurationFromSystem(&api), ORVANE_OK);
    SelectNamed(u"Mainboard");
    ASSERT_EQ(SelectAreaEnum(&api, ORVANE_AREA_MULTIRECORD), ORVANE_OK);
    uint32_t size = 0;
    ASSERT_EQ(GetAreaSize(&api, &size), ORVANE_OK);
    const uint32_t oldSize = size;

    std::vector<uint8_t> records;
    for (int i = 0; i < 253; ++i) {
        const size_t length = i < 251 ? 255 : i == 251 ? 31 : 100;
        const auto r = FruTestImages::Record(0xC0, std::vector<uint8_t>(length, 0xAA), i == 252);
        records.insert(records.end(), r.begin(), r.end());
    }
    ASSERT_EQ(records.size(), 65401u);
    EXPECT_EQ(SetAreaData(&api, records.data(), static_cast<uint32_t>(records.size())),
              ORVANE_E_UNSUPPORTED);
    ASSERT_EQ(GetAreaSize(&api, &size), ORVANE_OK);
    EXPECT_EQ(size, oldSize);
    ASSERT_EQ(CommitConfigurationToSystem(&api), ORVANE_OK);

    // The device holds the image it held, and a new scan reads it.
    const auto after = bmc.File("board.bin");
    ASSERT_GE(after.size(), image.size());
    EXPECT_EQ(std::vector<uint8_t>(after.begin(), after.begin() + image.size()), image);
    ASSERT_EQ(DeInitialize(&api), ORVANE_OK);
    ASSERT_EQ(Initialize(&api), ORVANE_OK);
    ASSERT_EQ(LoadConfigurationFromSystem(&api), ORVANE_OK);
    ASSERT_EQ(SelectList(&api, ORVANE_LIST_SYSTEM), ORVANE_OK);
    uint32_t present = 0, loaded = 0;
    ASSERT_EQ(GetNumberOfFrus(&api, &present, &loaded), ORVANE_OK);
    EXPECT_EQ(loaded, 1u);
}

} // namespace
