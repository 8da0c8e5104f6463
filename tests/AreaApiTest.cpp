// Selecting areas and fields of a loaded FRU and reading and changing them
// through the public interface, as a host does, against the simulated BMC.
#include "FruTestImages.h"
#include "TestSupport.h"
#include "orvane/orvane.h"
#include "support/Trace.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>

namespace {
using FruTestImages::Area;
using FruTestImages::Header;
using FruTestImages::Put;
using FruTestImages::Record;

// Every area: internal use at 8, chassis at 16, board at 40, product at 72,
// one multi-record at 112.
std::vector<uint8_t> FullImage() {
    std::vector<uint8_t> image(256, 0xFF);
    Put(image, 0, Header(1, 2, 5, 9, 14));
    Put(image, 8, {0x01, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77});
    Put(image, 16, Area({0x01, 0, 0x17}, {"CPN", "CSN", "Custom1"}, 3));
    Put(image, 40, Area({0x01, 0, 0x19, 0, 0, 0}, {"Acme", "Widget", "SN1", "PN1", ""}, 4));
    Put(image, 72, Area({0x01, 0, 0x19}, {"Acme", "Server", "M1", "V1", "PSN", "Asset", ""}, 5));
    Put(image, 112, Record(0x00, {1, 2, 3, 4}, true));
    return image;
}

std::vector<uint8_t> BoardAndProductImage() {
    std::vector<uint8_t> image(128, 0xFF);
    Put(image, 0, Header(0, 0, 1, 5, 0));
    Put(image, 8, Area({0x01, 0, 0x19, 0, 0, 0}, {"Acme", "Widget", "SN1", "PN1", ""}, 4));
    Put(image, 40, Area({0x01, 0, 0x19}, {"Acme", "Server", "M1", "V1", "PSN", "Asset", ""}, 5));
    return image;
}

std::u16string Text(const OrvaneChar* text) {
    return text ? std::u16string(text) : std::u16string(u"<null>");
}

class AreaApiTest : public ::testing::Test {
  protected:
    void SetUp() override {
        api.setLanguage = SetLanguageLocale;
        ASSERT_EQ(Initialize(&api), ORVANE_OK);
    }
    void TearDown() override {
        bmc.reset();
        Trace::SetDebugLevel(1);
        DeInitialize(&api);
    }
    // Loads FRU device 1 of the BMC, with this image, and selects it.
    void Load(const std::vector<uint8_t>& image) {
        Use(image);
        ASSERT_EQ(LoadConfigurationFromSystem(&api), ORVANE_OK);
        ASSERT_EQ(SelectList(&api, ORVANE_LIST_SYSTEM), ORVANE_OK);
        ASSERT_EQ(SelectFru(&api, 0), ORVANE_OK);
    }
    void Use(const std::vector<uint8_t>& image) {
        bmc.reset();
        bmc = std::make_unique<TestSupport::SimulatedSystem>(
            image, std::vector<std::vector<uint8_t>>{FruTestImages::Locator(0x20, 1, "Board")}, 2);
    }
    std::u16string LastError() {
        const OrvaneChar* text = nullptr;
        EXPECT_EQ(GetLastErrorMessage(&api, &text), ORVANE_OK);
        return Text(text);
    }
    std::u16string AreaName() {
        const OrvaneChar* name = nullptr;
        EXPECT_EQ(GetAreaName(&api, &name), ORVANE_OK);
        return Text(name);
    }
    std::u16string FieldValue() {
        const OrvaneChar* value = nullptr;
        EXPECT_EQ(GetFieldStringValue(&api, &value), ORVANE_OK);
        return Text(value);
    }
    std::string FieldBytes() {
        const uint8_t* data = nullptr;
        uint32_t length = 0;
        EXPECT_EQ(GetFieldDataValue(&api, &data, &length), ORVANE_OK);
        return std::string(reinterpret_cast<const char*>(data), length);
    }
    uint32_t Set(const std::string& text) {
        return SetFieldDataValue(&api, reinterpret_cast<const uint8_t*>(text.data()),
                                 static_cast<uint32_t>(text.size()));
    }

    OrvaneInterface api{};
    std::unique_ptr<TestSupport::SimulatedSystem> bmc;
    TestSupport::InTempDir folder;
};

TEST_F(AreaApiTest, ChecksComeInTheirFixedOrder) {
    uint32_t count = 0;
    uint8_t flag = 0;
    ASSERT_EQ(DeInitialize(&api), ORVANE_OK);
    EXPECT_EQ(GetNumberOfAreas(&api, &count), ORVANE_E_NOT_INITIALIZED);
    ASSERT_EQ(Initialize(&api), ORVANE_OK);
    EXPECT_EQ(GetNumberOfAreas(&api, &count), ORVANE_E_NOT_LOADED);
    EXPECT_EQ(LastError().substr(0, 16), u"Unexpected error");
    Use(FullImage());
    ASSERT_EQ(LoadConfigurationFromSystem(&api), ORVANE_OK);
    EXPECT_EQ(HasBoardArea(&api, &flag), ORVANE_E_NOT_SELECTED); // no list
    ASSERT_EQ(SelectList(&api, ORVANE_LIST_SYSTEM), ORVANE_OK);
    EXPECT_EQ(HasBoardArea(&api, &flag), ORVANE_E_NOT_SELECTED); // no FRU
    ASSERT_EQ(SelectFru(&api, 0), ORVANE_OK);
    EXPECT_EQ(GetNumberOfFields(&api, &count), ORVANE_E_NOT_SELECTED); // no area
    ASSERT_EQ(SelectAreaEnum(&api, ORVANE_AREA_BOARD), ORVANE_OK);
    const OrvaneChar* title = u"stale";
    EXPECT_EQ(GetFieldTitle(&api, &title), ORVANE_E_NOT_SELECTED); // no field
    EXPECT_EQ(title, nullptr);
    // Reselecting the FRU clears the area and field below it.
    ASSERT_EQ(SelectFieldInteger(&api, 1), ORVANE_OK);
    ASSERT_EQ(SelectFru(&api, 0), ORVANE_OK);
    EXPECT_EQ(GetNumberOfFields(&api, &count), ORVANE_E_NOT_SELECTED);
}

TEST_F(AreaApiTest, AreasAreSelectedByPositionAndKind) {
    const std::u16string names[] = {u"Internal Use Area", u"Chassis Info Area", u"Board Info Area",
                                    u"Product Info Area", u"MultiRecord Area"};
    uint32_t (*has[])(OrvaneInterface*, uint8_t*) = {
        HasInternalUseArea, HasChassisArea, HasBoardArea, HasProductArea, HasMultiRecordArea};
    const struct {
        std::vector<uint8_t> image;
        std::vector<uint32_t> present; // area kinds, 0 the internal use area
    } cases[] = {{FullImage(), {0, 1, 2, 3, 4}}, {BoardAndProductImage(), {2, 3}}};
    uint32_t count = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.present.size());
        ASSERT_EQ(DeInitialize(&api), ORVANE_OK); // a fresh library state for each image
        ASSERT_EQ(Initialize(&api), ORVANE_OK);
        Load(c.image);
        ASSERT_EQ(GetNumberOfAreas(&api, &count), ORVANE_OK);
        ASSERT_EQ(count, c.present.size());
        // Positions run over the present areas only.
        for (uint32_t i = 0; i < count; ++i) {
            ASSERT_EQ(SelectAreaInteger(&api, i), ORVANE_OK);
            EXPECT_EQ(AreaName(), names[c.present[i]]);
        }
        EXPECT_EQ(SelectAreaInteger(&api, count), ORVANE_E_BAD_ARGUMENT);
        EXPECT_EQ(GetNumberOfFields(&api, &count), ORVANE_E_NOT_SELECTED);
        for (uint32_t kind = 0; kind < 5; ++kind) {
            const bool present =
                std::find(c.present.begin(), c.present.end(), kind) != c.present.end();
            uint8_t flag = 9;
            EXPECT_EQ(has[kind](&api, &flag), ORVANE_OK);
            EXPECT_EQ(flag, present ? 1 : 0);
            // An absent area: the selection succeeds and selects nothing.
            ASSERT_EQ(SelectAreaEnum(&api, static_cast<int32_t>(kind + 2)), ORVANE_OK);
            if (present)
                EXPECT_EQ(AreaName(), names[kind]);
            else
                EXPECT_EQ(GetNumberOfFields(&api, &count), ORVANE_E_NOT_SELECTED);
        }
    }
    // Out of range kinds leave nothing selected.
    EXPECT_EQ(SelectAreaEnum(&api, 7), ORVANE_E_BAD_ARGUMENT);
    EXPECT_EQ(GetNumberOfFields(&api, &count), ORVANE_E_NOT_SELECTED);
    EXPECT_EQ(SelectAreaEnum(&api, 0), ORVANE_E_BAD_ARGUMENT);
    // The common header is selected by kind, but has no name to hand out.
    ASSERT_EQ(SelectAreaEnum(&api, ORVANE_AREA_COMMON_HEADER), ORVANE_OK);
    const OrvaneChar* name = nullptr;
    EXPECT_EQ(GetAreaName(&api, &name), ORVANE_E_BAD_ARGUMENT);
}

TEST_F(AreaApiTest, CommonHeaderServesOnlyItsBytes) {
    Load(FullImage());
    ASSERT_EQ(SelectAreaEnum(&api, ORVANE_AREA_COMMON_HEADER), ORVANE_OK);
    uint32_t count = 7;
    EXPECT_EQ(GetNumberOfFields(&api, &count), ORVANE_E_BAD_ARGUMENT);
    EXPECT_EQ(SelectFieldInteger(&api, 0), ORVANE_E_UNSUPPORTED);
    EXPECT_EQ(LastError(), u"This operation is not supported for the selected area.");
    EXPECT_EQ(SelectFieldEnum(&api, 5), ORVANE_E_UNSUPPORTED);
    uint32_t size = 9;
    EXPECT_EQ(GetMaxFieldSize(&api, &size), ORVANE_OK);
    EXPECT_EQ(size, 0u);

    uint8_t buffer[16] = {};
    size = 16;
    EXPECT_EQ(GetAreaData(&api, buffer, &size), ORVANE_E_INTERNAL);
    EXPECT_EQ(size, 0u);
    size = 8;
    ASSERT_EQ(GetAreaData(&api, buffer, &size), ORVANE_OK);
    EXPECT_EQ(size, 8u);
    EXPECT_EQ(FruTestImages::Bytes(buffer, 8), Header(1, 2, 5, 9, 14));
    EXPECT_EQ(SetAreaData(&api, buffer, 8), ORVANE_E_UNSUPPORTED);
    EXPECT_EQ(GetAreaSize(&api, &size), ORVANE_E_UNSUPPORTED);
    EXPECT_EQ(size, 0u);
}

TEST_F(AreaApiTest, InternalUseAreaIsOneHexFieldOfFixedLength) {
    Load(FullImage());
    ASSERT_EQ(SelectAreaEnum(&api, ORVANE_AREA_INTERNAL_USE), ORVANE_OK);
    uint32_t count = 0;
    ASSERT_EQ(GetNumberOfFields(&api, &count), ORVANE_OK);
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(SelectFieldInteger(&api, 1), ORVANE_E_BAD_ARGUMENT);
    EXPECT_EQ(LastError(), u"No such FRU field.");
    ASSERT_EQ(SelectFieldInteger(&api, 0), ORVANE_OK);
    const OrvaneChar* title = nullptr;
    ASSERT_EQ(GetFieldTitle(&api, &title), ORVANE_OK);
    EXPECT_EQ(Text(title), u"Internal Use Data");
    EXPECT_EQ(FieldValue(), u"01 11 22 33 44 55 66 77");
    const uint8_t* data = nullptr;
    uint32_t length = 0;
    EXPECT_EQ(GetFieldDataValue(&api, &data, &length), ORVANE_E_UNSUPPORTED);
    EXPECT_EQ(Set("x"), ORVANE_E_UNSUPPORTED);
    uint32_t size = 5;
    EXPECT_EQ(GetMaxFieldSize(&api, &size), ORVANE_E_UNSUPPORTED);
    EXPECT_EQ(size, 0u);

    ASSERT_EQ(GetAreaSize(&api, &size), ORVANE_OK);
    EXPECT_EQ(size, 8u);
    uint8_t buffer[8] = {};
    size = 7;
    EXPECT_EQ(GetAreaData(&api, buffer, &size), ORVANE_E_INTERNAL);
    EXPECT_EQ(size, 0u);
    size = 8;
    ASSERT_EQ(GetAreaData(&api, buffer, &size), ORVANE_OK);
    EXPECT_EQ(FruTestImages::Bytes(buffer, size),
              (std::vector<uint8_t>{0x01, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77}));
    // Same length only: the neighbours' offsets depend on it.
    const uint8_t changed[8] = {0x01, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xF0, 0x0F};
    EXPECT_EQ(SetAreaData(&api, changed, 7), ORVANE_E_UNSUPPORTED);
    ASSERT_EQ(SetAreaData(&api, changed, 8), ORVANE_OK);
    ASSERT_EQ(SelectFieldInteger(&api, 0), ORVANE_OK);
    EXPECT_EQ(FieldValue(), u"01 AA BB CC DD EE F0 0F");
}

TEST_F(AreaApiTest, InfoAreaFieldsReadAndGrowIntoThePadding) {
    Load(FullImage());
    ASSERT_EQ(SelectAreaEnum(&api, ORVANE_AREA_BOARD), ORVANE_OK);
    uint32_t count = 0;
    ASSERT_EQ(GetNumberOfFields(&api, &count), ORVANE_OK);
    EXPECT_EQ(count, 6u); // date and five fixed fields
    // Enumerator 6 is the board manufacturer, field index 1.
    ASSERT_EQ(SelectFieldEnum(&api, 6), ORVANE_OK);
    const OrvaneChar* title = nullptr;
    ASSERT_EQ(GetFieldTitle(&api, &title), ORVANE_OK);
    EXPECT_EQ(Text(title), u"Board Manufacturer");
    EXPECT_EQ(FieldValue(), u"Acme");
    EXPECT_EQ(FieldBytes(), "Acme");

    uint32_t pad = 0;
    ASSERT_EQ(GetMaxFieldSize(&api, &pad), ORVANE_OK);
    EXPECT_EQ(pad, 3u);
    ASSERT_EQ(Set("Acme Co"), ORVANE_OK);
    EXPECT_EQ(FieldBytes(), "Acme Co");
    ASSERT_EQ(GetMaxFieldSize(&api, &pad), ORVANE_OK);
    EXPECT_EQ(pad, 0u);
    // No room left: the setter refuses and the area keeps its value.
    EXPECT_EQ(Set("Acme Corp"), ORVANE_E_SET_FIELD_DATA);
    EXPECT_EQ(LastError(), u"Setting the board field data failed.");
    EXPECT_EQ(FieldBytes(), "Acme Co");
    // A shrink gives the bytes back.
    ASSERT_EQ(Set("A"), ORVANE_OK);
    ASSERT_EQ(GetMaxFieldSize(&api, &pad), ORVANE_OK);
    EXPECT_EQ(pad, 6u);

    EXPECT_EQ(SelectFieldEnum(&api, 99), ORVANE_E_BAD_ARGUMENT);
    EXPECT_EQ(LastError(), u"No such FRU field.");
    uint8_t buffer[64];
    uint32_t size = 64;
    EXPECT_EQ(GetAreaData(&api, buffer, &size), ORVANE_E_UNSUPPORTED);
    EXPECT_EQ(SetAreaData(&api, buffer, 8), ORVANE_E_UNSUPPORTED);
    EXPECT_EQ(GetAreaSize(&api, &size), ORVANE_E_UNSUPPORTED);

    // The chassis and product areas are reached the same way.
    ASSERT_EQ(SelectAreaEnum(&api, ORVANE_AREA_CHASSIS), ORVANE_OK);
    ASSERT_EQ(GetNumberOfFields(&api, &count), ORVANE_OK);
    EXPECT_EQ(count, 4u); // type, part and serial number, one custom field
    ASSERT_EQ(SelectFieldInteger(&api, 3), ORVANE_OK);
    EXPECT_EQ(FieldBytes(), "Custom1");
    ASSERT_EQ(SelectAreaEnum(&api, ORVANE_AREA_PRODUCT), ORVANE_OK);
    ASSERT_EQ(SelectFieldEnum(&api, 16), ORVANE_OK); // asset tag
    EXPECT_EQ(FieldBytes(), "Asset");
    EXPECT_EQ(Set(std::string(64, 'x')), ORVANE_E_SET_FIELD_DATA);
    EXPECT_EQ(LastError(), u"Setting the product field data failed.");
}

TEST_F(AreaApiTest, NullBytesAreRefusedByTheFieldSetters) {
    // A null pointer never blanks a field, whatever the length: the area's
    // setter refuses it and the exported call reports its own failure.
    Load(FullImage());
    struct Case {
        int32_t area, field;
        std::string value;
        std::u16string message;
    } cases[] = {{ORVANE_AREA_CHASSIS, 3, "CPN", u"Setting the chassis field data failed."},
                 {ORVANE_AREA_BOARD, 6, "Acme", u"Setting the board field data failed."},
                 {ORVANE_AREA_PRODUCT, 16, "Asset", u"Setting the product field data failed."}};
    for (const Case& c : cases) {
        ASSERT_EQ(SelectAreaEnum(&api, c.area), ORVANE_OK);
        ASSERT_EQ(SelectFieldEnum(&api, c.field), ORVANE_OK);
        for (uint32_t length : {0u, 5u}) {
            EXPECT_EQ(SetFieldDataValue(&api, nullptr, length), ORVANE_E_SET_FIELD_DATA);
            EXPECT_EQ(LastError(), c.message);
            EXPECT_EQ(FieldBytes(), c.value);
        }
    }
    // Null out-pointers of the area data operations are bad arguments once
    // the state is right.
    ASSERT_EQ(SelectAreaEnum(&api, ORVANE_AREA_MULTIRECORD), ORVANE_OK);
    uint8_t buffer[16];
    EXPECT_EQ(GetAreaSize(&api, nullptr), ORVANE_E_BAD_ARGUMENT);
    EXPECT_EQ(GetAreaData(&api, buffer, nullptr), ORVANE_E_BAD_ARGUMENT);
}

TEST_F(AreaApiTest, MultiRecordAreaHasNoFieldsButItsRecords) {
    Load(FullImage());
    ASSERT_EQ(SelectAreaEnum(&api, ORVANE_AREA_MULTIRECORD), ORVANE_OK);
    uint32_t count = 9;
    ASSERT_EQ(GetNumberOfFields(&api, &count), ORVANE_OK);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(SelectFieldInteger(&api, 0), ORVANE_E_UNSUPPORTED);
    uint32_t size = 0;
    EXPECT_EQ(GetMaxFieldSize(&api, &size), ORVANE_E_UNSUPPORTED);
    ASSERT_EQ(GetAreaSize(&api, &size), ORVANE_OK);
    EXPECT_EQ(size, 9u);

    uint8_t buffer[32] = {};
    size = 8; // the record's data does not fit
    EXPECT_EQ(GetAreaData(&api, buffer, &size), ORVANE_E_INTERNAL);
    EXPECT_EQ(size, 0u);
    size = sizeof buffer;
    ASSERT_EQ(GetAreaData(&api, buffer, &size), ORVANE_OK);
    EXPECT_EQ(FruTestImages::Bytes(buffer, size), Record(0x00, {1, 2, 3, 4}, true));

    std::vector<uint8_t> two = Record(0x01, {9, 9}, false);
    auto second = Record(0x02, {7, 7, 7}, true);
    two.insert(two.end(), second.begin(), second.end());
    ASSERT_EQ(SetAreaData(&api, two.data(), static_cast<uint32_t>(two.size())), ORVANE_OK);
    ASSERT_EQ(GetAreaSize(&api, &size), ORVANE_OK);
    EXPECT_EQ(size, two.size());
    size = sizeof buffer;
    ASSERT_EQ(GetAreaData(&api, buffer, &size), ORVANE_OK);
    EXPECT_EQ(FruTestImages::Bytes(buffer, size), two);

    // Bytes too few for another record header are not part of the area:
    // its size, its data and a commit all count the same 8 bytes.
    std::vector<uint8_t> tail = Record(0x01, {1, 2, 3}, true);
    tail.insert(tail.end(), {0xAA, 0xBB});
    ASSERT_EQ(SetAreaData(&api, tail.data(), static_cast<uint32_t>(tail.size())), ORVANE_OK);
    ASSERT_EQ(GetAreaSize(&api, &size), ORVANE_OK);
    EXPECT_EQ(size, 8u);
    size = sizeof buffer;
    ASSERT_EQ(GetAreaData(&api, buffer, &size), ORVANE_OK);
    EXPECT_EQ(size, 8u);
}

TEST_F(AreaApiTest, RecordsMustEndByTheLastDeviceOffset) {
    // FullImage lays out 112 bytes before the records, so 65,424 bytes of
    // records end the image at 64 KiB: accepted; one byte more is refused
    // and the records stay as they were.
    Load(FullImage());
    ASSERT_EQ(SelectAreaEnum(&api, ORVANE_AREA_MULTIRECORD), ORVANE_OK);
    for (uint32_t length : {65424u, 65425u, 70000u}) {
        const std::vector<uint8_t> records = FruTestImages::Records(length);
        const uint32_t expected = length == 65424 ? ORVANE_OK : ORVANE_E_UNSUPPORTED;
        EXPECT_EQ(SetAreaData(&api, records.data(), length), expected) << length;
        uint32_t size = 0;
        ASSERT_EQ(GetAreaSize(&api, &size), ORVANE_OK);
        EXPECT_EQ(size, 65424u) << length;
        if (expected != ORVANE_OK) {
            EXPECT_EQ(LastError().substr(0, 16), u"Unexpected error");
        }
    }
}

TEST_F(AreaApiTest, AreaDataOperationsReportWithoutFailureLines) {
    Load(FullImage());
    ASSERT_EQ(SelectAreaEnum(&api, ORVANE_AREA_BOARD), ORVANE_OK);
    uint8_t buffer[8];
    uint32_t size = 8;
    // A null interface or data pointer counts as a missing Initialize.
    EXPECT_EQ(GetAreaData(nullptr, buffer, &size), ORVANE_E_NOT_INITIALIZED);
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(GetAreaData(&api, nullptr, &size), ORVANE_E_NOT_INITIALIZED);
    EXPECT_EQ(SetAreaData(&api, nullptr, 8), ORVANE_E_NOT_INITIALIZED);
    EXPECT_EQ(GetAreaSize(nullptr, &size), ORVANE_E_NOT_INITIALIZED);

    ASSERT_EQ(SetDebugLevel(&api, 3), ORVANE_OK);
    auto log = [] {
        const std::u16string text = TestSupport::ReadLog();
        std::filesystem::remove("DBGLOG.txt");
        return text;
    };
    std::filesystem::remove("DBGLOG.txt");
    size = 8;
    EXPECT_EQ(GetAreaData(&api, buffer, &size), ORVANE_E_UNSUPPORTED);
    EXPECT_EQ(log(), u"Orvane::GetAreaData [ENTRY]\r\nStringResource::GetString [ENTRY]\r\n"
                     u"StringResource::GetString [EXIT]\r\nOrvane::SetLastError [ENTRY]\r\n"
                     u"Orvane::SetLastError [EXIT]\r\nOrvane::GetAreaData [EXIT]\r\n");
    EXPECT_EQ(LastError().substr(0, 16), u"Unexpected error");
    // The other operations write their failure line before returning.
    log();
    EXPECT_EQ(SelectFieldInteger(&api, 40), ORVANE_E_BAD_ARGUMENT);
    EXPECT_EQ(log(), u"Orvane::SelectFieldInteger [ENTRY]\r\n"
                     u"Orvane::SelectFieldInteger - No such FRU Field\r\n"
                     u"StringResource::GetString [ENTRY]\r\nStringResource::GetString [EXIT]\r\n"
                     u"Orvane::SetLastError [ENTRY]\r\nOrvane::SetLastError [EXIT]\r\n");
}

TEST_F(AreaApiTest, ChangedFieldReachesTheDeviceOnCommit) {
    Load(FullImage());
    ASSERT_EQ(SelectAreaEnum(&api, ORVANE_AREA_PRODUCT), ORVANE_OK);
    ASSERT_EQ(SelectFieldEnum(&api, 16), ORVANE_OK);
    ASSERT_EQ(Set("Tag42"), ORVANE_OK);
    const std::vector<uint8_t> before = bmc->File("fru0.bin");
    ASSERT_EQ(CommitConfigurationToSystem(&api), ORVANE_OK);
    const std::vector<uint8_t> after = bmc->File("fru0.bin");
    ASSERT_EQ(after.size(), 256u);
    // Only the product area changed on the device: the board area, written on
    // every commit, goes back byte for byte.
    for (size_t i = 0; i < 256; ++i) {
        if (i < 72 || i >= 112) {
            EXPECT_EQ(after[i], before[i]) << "byte " << i;
        }
    }
    EXPECT_NE(std::string(after.begin() + 72, after.begin() + 112).find("Tag42"),
              std::string::npos);
}

} // namespace
