// Loading FRUs from configuration files and saving them, through the public
// interface as a host does, and the round trip of the demo system's FRUs
// from the simulated BMC through files.
#include "TestSupport.h"
#include "orvane/orvane.h"
#include "system/DriverModule.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {
namespace fs = std::filesystem;

using TestSupport::Text;
using TestSupport::Wide;

const std::string kExample = std::string(ORVANE_SOURCE_DIR) + "/tests/data/worked-example.cfg";

// Everything the interface shows of the selected FRU, as one text.
std::u16string Snapshot(OrvaneInterface* api) {
    std::u16string out;
    uint32_t nvs = 0;
    uint8_t lun, address, bus, controller, id;
    EXPECT_EQ(GetFruAddress(api, &nvs, &lun, &address, &bus, &controller, &id), ORVANE_OK);
    for (uint32_t v :
         {nvs, uint32_t{lun}, uint32_t{address}, uint32_t{bus}, uint32_t{controller}, uint32_t{id}})
        out += Wide(std::to_string(v)) + u":";
    const OrvaneChar* name = nullptr;
    GetFruName(api, &name);
    out += Text(name) + u"\n";
    for (int32_t kind = ORVANE_AREA_COMMON_HEADER; kind <= ORVANE_AREA_MULTIRECORD; ++kind) {
        EXPECT_EQ(SelectAreaEnum(api, kind), ORVANE_OK);
        uint8_t bytes[4096];
        uint32_t size = kind == ORVANE_AREA_COMMON_HEADER ? 8 : sizeof bytes;
        if (GetAreaData(api, bytes, &size) == ORVANE_OK) {
            out += u"area " + Wide(std::to_string(kind)) + u":";
            for (uint32_t i = 0; i < size; ++i)
                out += Wide(std::to_string(bytes[i])) + u" ";
            out += u"\n";
        }
        uint32_t fields = 0;
        if (kind == ORVANE_AREA_COMMON_HEADER || GetNumberOfFields(api, &fields) != ORVANE_OK)
            continue;
        uint32_t room = 0;
        if (GetMaxFieldSize(api, &room) == ORVANE_OK)
            out += u"room " + Wide(std::to_string(room)) + u"\n";
        for (uint32_t f = 0; f < fields; ++f) {
            EXPECT_EQ(SelectFieldInteger(api, f), ORVANE_OK);
            const OrvaneChar* title = nullptr;
            const OrvaneChar* value = nullptr;
            GetFieldTitle(api, &title);
            GetFieldStringValue(api, &value);
            out += Text(title) + u" = " + Text(value) + u"\n";
        }
    }
    return out;
}

class FileApiTest : public ::testing::Test {
  protected:
    void TearDown() override {
        DriverModule::Unload();
        unsetenv("ORVANE_DRIVER");
        unsetenv("ORVANE_SIM_SYSTEM");
    }
    // A system load that finds nothing (no driver module answers), or the
    // demo system's.
    void LoadSystem(bool demo = false) {
        DriverModule::Unload();
        if (demo) {
            TestSupport::DemoCopy(dir + "/demo");
            setenv("ORVANE_SIM_SYSTEM", (dir + "/demo/system.json").c_str(), 1);
        }
        setenv("ORVANE_DRIVER", demo ? "sim" : (dir + "/no-such-driver.so").c_str(), 1);
        ASSERT_EQ(LoadConfigurationFromSystem(&api), ORVANE_OK);
    }

    TestSupport::InTempDir folder;
    std::string dir = fs::current_path().string();
    TestSupport::Host host;
    OrvaneInterface& api = host.api;
};

TEST_F(FileApiTest, EachLoadAddsOneFruAndSelectsIt) {
    LoadSystem();
    ASSERT_EQ(SelectList(&api, ORVANE_LIST_SYSTEM), ORVANE_OK);
    ASSERT_EQ(LoadConfigurationFromFile(&api, Wide(kExample).c_str()), ORVANE_OK);
    ASSERT_EQ(LoadConfigurationFromFile(&api, Wide(kExample).c_str()), ORVANE_OK);
    // The file list is now current, with both FRUs; the second is selected.
    uint32_t present = 0, loaded = 0;
    ASSERT_EQ(GetNumberOfFrus(&api, &present, &loaded), ORVANE_OK);
    EXPECT_EQ(present, 2u);
    EXPECT_EQ(loaded, 2u);
    const OrvaneChar* name = nullptr;
    ASSERT_EQ(GetFruName(&api, &name), ORVANE_OK);
    EXPECT_EQ(Text(name), u"System Board");
    uint32_t count = 0;
    EXPECT_EQ(GetNumberOfFields(&api, &count), ORVANE_E_NOT_SELECTED); // no area selected
    ASSERT_EQ(SelectFru(&api, 1), ORVANE_OK);
    ASSERT_EQ(SaveConfigurationToFile(&api, u"board.cfg"), ORVANE_OK);
    // The fixture was saved under the same name.
    EXPECT_EQ(TestSupport::ReadText("board.cfg"), TestSupport::ReadText(kExample));
}

TEST_F(FileApiTest, FailuresLeaveTheStateAsItWas) {
    uint8_t loaded = 9;
    EXPECT_EQ(SaveConfigurationToFile(&api, u"x.cfg"), ORVANE_E_NOT_LOADED);
    EXPECT_EQ(LoadConfigurationFromFile(&api, u"missing.cfg"), ORVANE_E_CONFIG_FILE_READ);
    EXPECT_EQ(host.LastError(), u"The configuration file missing.cfg cannot be opened or read.");
    ASSERT_EQ(IsLoaded(&api, &loaded), ORVANE_OK);
    EXPECT_EQ(loaded, 0);
    EXPECT_EQ(LoadConfigurationFromFile(&api, nullptr), ORVANE_E_CONFIG_FILE_READ);

    LoadSystem();
    EXPECT_EQ(SaveConfigurationToFile(&api, u"x.cfg"), ORVANE_E_NOT_SELECTED);
    ASSERT_EQ(LoadConfigurationFromFile(&api, Wide(kExample).c_str()), ORVANE_OK);
    EXPECT_EQ(SaveConfigurationToFile(&api, nullptr), ORVANE_E_FILE_CREATE);
    EXPECT_EQ(host.LastError().substr(0, 16), u"Unexpected error");
    // A character the running locale cannot write: refused before any file.
    EXPECT_EQ(SaveConfigurationToFile(&api, u"\u4E2D.cfg"), ORVANE_E_BAD_ARGUMENT);
    EXPECT_EQ(LoadConfigurationFromFile(&api, u"\u4E2D.cfg"), ORVANE_E_BAD_ARGUMENT);
    EXPECT_TRUE(fs::is_empty(dir) || !fs::exists(dir + "/\xE4\xB8\xAD.cfg"));
    EXPECT_EQ(SaveConfigurationToFile(&api, u"no/folder/x.cfg"), ORVANE_E_FILE_CREATE);
    uint32_t present = 0, count = 0;
    ASSERT_EQ(GetNumberOfFrus(&api, &present, &count), ORVANE_OK);
    EXPECT_EQ(count, 1u);
}

TEST_F(FileApiTest, DemoSystemFrusSurviveARoundTripThroughFiles) {
    LoadSystem(true);
    ASSERT_EQ(SelectList(&api, ORVANE_LIST_SYSTEM), ORVANE_OK);
    uint32_t present = 0, loaded = 0;
    ASSERT_EQ(GetNumberOfFrus(&api, &present, &loaded), ORVANE_OK);
    ASSERT_GE(loaded, 5u);
    for (uint32_t i = 0; i < loaded; ++i) {
        ASSERT_EQ(SelectList(&api, ORVANE_LIST_SYSTEM), ORVANE_OK);
        ASSERT_EQ(SelectFru(&api, i), ORVANE_OK);
        const std::u16string original = Snapshot(&api);
        const std::u16string path = Wide("fru" + std::to_string(i) + ".cfg");
        ASSERT_EQ(SaveConfigurationToFile(&api, path.c_str()), ORVANE_OK);
        ASSERT_EQ(LoadConfigurationFromFile(&api, path.c_str()), ORVANE_OK)
            << host.LastError().size();
        EXPECT_EQ(Snapshot(&api), original) << "FRU " << i;
    }
}

} // namespace
