// Selecting areas and fields of a loaded FRU and reading and changing them
// through the public interface, as a host does, against the simulated BMC.
#include "FruTestImages.h"
#include "TestSupport.h"
#include "orvane/orvane.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>

namespace {
using FruTestImages::Bytes;
using FruTestImages::Header;
using FruTestImages::Image;
using FruTestImages::Record;
using TestSupport::Text;

class AreaApiTest : public ::testing::Test {
  protected:
    // Loads FRU device 1 of the BMC, with this image, and selects it.
    void Load(const std::vector<uint8_t>& image) {
        Use(image);
        ASSERT_EQ(LoadConfigurationFromSystem(api), ORVANE_OK);
        ASSERT_EQ(SelectList(api, ORVANE_LIST_SYSTEM), ORVANE_OK);
        ASSERT_EQ(SelectFru(api, 0), ORVANE_OK);
    }
    void Use(const std::vector<uint8_t>& image) {
        bmc.reset();
        bmc = std::make_unique<TestSupport::SimulatedSystem>(
            image, std::vector<std::vector<uint8_t>>{FruTestImages::Locator(0x20, 1, "Board")}, 2);
    }
    std::u16string AreaName() {
        const OrvaneChar* name = nullptr;
        EXPECT_EQ(GetAreaName(api, &name), ORVANE_OK);
        return Text(name);
    }
    std::string FieldBytes() {
        const uint8_t* data = nullptr;
        uint32_t length = 0;
        EXPECT_EQ(GetFieldDataValue(api, &data, &length), ORVANE_OK);
        return std::string(reinterpret_cast<const char*>(data), length);
    }
    uint32_t Set(const std::string& text) {
        return SetFieldDataValue(api, reinterpret_cast<const uint8_t*>(text.data()),
                                 static_cast<uint32_t>(text.size()));
    }
    uint32_t SetArea(const std::vector<uint8_t>& bytes) {
        return SetAreaData(api, bytes.data(), static_cast<uint32_t>(bytes.size()));
    }
    uint32_t AreaSize() {
        uint32_t size = 0;
        EXPECT_EQ(GetAreaSize(api, &size), ORVANE_OK);
        return size;
    }
    std::vector<uint8_t> AreaBytes() {
        uint8_t buffer[64] = {};
        uint32_t size = sizeof buffer;
        EXPECT_EQ(GetAreaData(api, buffer, &size), ORVANE_OK);
        return Bytes(buffer, size);
    }

    TestSupport::InTempDir folder;
    TestSupport::Host host;
    OrvaneInterface* api = &host.api;
    std::unique_ptr<TestSupport::SimulatedSystem> bmc;
};

TEST_F(AreaApiTest, ChecksComeInTheirFixedOrder) {
    uint32_t count = 0;
    uint8_t flag = 0;
    ASSERT_EQ(DeInitialize(api), ORVANE_OK);
    EXPECT_EQ(GetNumberOfAreas(api, &count), ORVANE_E_NOT_INITIALIZED);
    ASSERT_EQ(Initialize(api), ORVANE_OK);
    EXPECT_EQ(GetNumberOfAreas(api, &count), ORVANE_E_NOT_LOADED);
    EXPECT_EQ(host.LastError().substr(0, 16), u"Unexpected error");
    Use(Image());
    ASSERT_EQ(LoadConfigurationFromSystem(api), ORVANE_OK);
    EXPECT_EQ(HasBoardArea(api, &flag), ORVANE_E_NOT_SELECTED); // no list
    ASSERT_EQ(SelectList(api, ORVANE_LIST_SYSTEM), ORVANE_OK);
    EXPECT_EQ(HasBoardArea(api, &flag), ORVANE_E_NOT_SELECTED); // no FRU
    ASSERT_EQ(SelectFru(api, 0), ORVANE_OK);
    EXPECT_EQ(GetNumberOfFields(api, &count), ORVANE_E_NOT_SELECTED); // no area
    ASSERT_EQ(SelectAreaEnum(api, ORVANE_AREA_BOARD), ORVANE_OK);
    const OrvaneChar* title = u"stale";
    EXPECT_EQ(GetFieldTitle(api, &title), ORVANE_E_NOT_SELECTED); // no field
    EXPECT_EQ(title, nullptr);
    // Reselecting the FRU clears the area and field below it.
    ASSERT_EQ(SelectFieldInteger(api, 1), ORVANE_OK);
    ASSERT_EQ(SelectFru(api, 0), ORVANE_OK);
    EXPECT_EQ(GetNumberOfFields(api, &count), ORVANE_E_NOT_SELECTED);
    // A null interface or data pointer counts as a missing Initialize.
    uint8_t buffer[8];
    uint32_t size = 8;
    EXPECT_EQ(GetAreaData(nullptr, buffer, &size), ORVANE_E_NOT_INITIALIZED);
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(GetAreaData(api, nullptr, &size), ORVANE_E_NOT_INITIALIZED);
    EXPECT_EQ(SetAreaData(api, nullptr, 8), ORVANE_E_NOT_INITIALIZED);
    EXPECT_EQ(GetAreaSize(nullptr, &size), ORVANE_E_NOT_INITIALIZED);
}

TEST_F(AreaApiTest, AreasAreSelectedByPositionAndKind) {
    const std::u16string names[] = {u"Internal Use Area", u"Chassis Info Area", u"Board Info Area",
                                    u"Product Info Area", u"MultiRecord Area"};
    uint32_t (*has[])(OrvaneInterface*, uint8_t*) = {
        HasInternalUseArea, HasChassisArea, HasBoardArea, HasProductArea, HasMultiRecordArea};
    const struct {
        bool full;
        std::vector<uint32_t> present; // area kinds, 0 the internal use area
    } cases[] = {{true, {0, 1, 2, 3, 4}}, {false, {2, 3}}};
    uint32_t count = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.present.size());
        host.Restart(); // a fresh library state for each image
        Load(Image(c.full));
        ASSERT_EQ(GetNumberOfAreas(api, &count), ORVANE_OK);
        ASSERT_EQ(count, c.present.size());
        // Positions run over the present areas only.
        for (uint32_t i = 0; i < count; ++i) {
            ASSERT_EQ(SelectAreaInteger(api, i), ORVANE_OK);
            EXPECT_EQ(AreaName(), names[c.present[i]]);
        }
        EXPECT_EQ(SelectAreaInteger(api, count), ORVANE_E_BAD_ARGUMENT);
        EXPECT_EQ(GetNumberOfFields(api, &count), ORVANE_E_NOT_SELECTED);
        for (uint32_t kind = 0; kind < 5; ++kind) {
            const bool present =
                std::find(c.present.begin(), c.present.end(), kind) != c.present.end();
            uint8_t flag = 9;
            EXPECT_EQ(has[kind](api, &flag), ORVANE_OK);
            EXPECT_EQ(flag, present ? 1 : 0);
            // An absent area: the selection succeeds and selects nothing.
            ASSERT_EQ(SelectAreaEnum(api, static_cast<int32_t>(kind + 2)), ORVANE_OK);
            if (present)
                EXPECT_EQ(AreaName(), names[kind]);
            else
                EXPECT_EQ(GetNumberOfFields(api, &count), ORVANE_E_NOT_SELECTED);
        }
    }
    // Out of range kinds leave nothing selected.
    EXPECT_EQ(SelectAreaEnum(api, 7), ORVANE_E_BAD_ARGUMENT);
    EXPECT_EQ(GetNumberOfFields(api, &count), ORVANE_E_NOT_SELECTED);
    EXPECT_EQ(SelectAreaEnum(api, 0), ORVANE_E_BAD_ARGUMENT);
    // The common header is selected by kind, but has no name to hand out.
    ASSERT_EQ(SelectAreaEnum(api, ORVANE_AREA_COMMON_HEADER), ORVANE_OK);
    const OrvaneChar* name = nullptr;
    EXPECT_EQ(GetAreaName(api, &name), ORVANE_E_BAD_ARGUMENT);
}

// What each kind of area answers to the field and area data operations.
TEST_F(AreaApiTest, EachKindServesItsFieldsOrItsBytes) {
    Load(Image());
    const uint32_t kBad = ORVANE_E_BAD_ARGUMENT, kNo = ORVANE_E_UNSUPPORTED, kOk = ORVANE_OK;
    const struct {
        int32_t kind;
        uint32_t fields, count, selectField, maxField, maxSize, areaSize, size;
        uint32_t exact; // bytes GetAreaData needs (0: it refuses the kind); one less fails
    } cases[] = {
        {ORVANE_AREA_COMMON_HEADER, kBad, 7, kNo, kOk, 0, kNo, 0, 8},
        {ORVANE_AREA_INTERNAL_USE, kOk, 1, kOk, kNo, 0, kOk, 8, 8},
        {ORVANE_AREA_BOARD, kOk, 6, kOk, kOk, 3, kNo, 0, 0},   // date and five fixed fields
        {ORVANE_AREA_CHASSIS, kOk, 4, kOk, kOk, 3, kNo, 0, 0}, // type, part, serial, custom
        {ORVANE_AREA_MULTIRECORD, kOk, 0, kNo, kNo, 0, kOk, 9, 9},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.kind);
        ASSERT_EQ(SelectAreaEnum(api, c.kind), ORVANE_OK);
        uint32_t count = 7, size = 9;
        EXPECT_EQ(GetNumberOfFields(api, &count), c.fields);
        EXPECT_EQ(count, c.count);
        EXPECT_EQ(SelectFieldInteger(api, c.kind == ORVANE_AREA_BOARD ? 1 : 0), c.selectField);
        if (c.selectField == kNo) {
            EXPECT_EQ(host.LastError(), u"This operation is not supported for the selected area.");
        }
        EXPECT_EQ(GetMaxFieldSize(api, &size), c.maxField);
        EXPECT_EQ(size, c.maxSize);
        EXPECT_EQ(GetAreaSize(api, &size), c.areaSize);
        EXPECT_EQ(size, c.size);
        uint8_t buffer[64];
        size = c.exact ? c.exact - 1 : 64;
        EXPECT_EQ(GetAreaData(api, buffer, &size), c.exact ? ORVANE_E_INTERNAL : kNo);
        EXPECT_EQ(size, 0u);
        if (c.exact) {
            size = c.kind == ORVANE_AREA_COMMON_HEADER ? 16 : c.exact;
            // The header takes a buffer of exactly its 8 bytes.
            EXPECT_EQ(GetAreaData(api, buffer, &size),
                      c.kind == ORVANE_AREA_COMMON_HEADER ? ORVANE_E_INTERNAL : kOk);
        }
        if (c.kind != ORVANE_AREA_INTERNAL_USE && c.kind != ORVANE_AREA_MULTIRECORD) {
            EXPECT_EQ(SetAreaData(api, buffer, 8), kNo);
        }
    }
    ASSERT_EQ(SelectAreaEnum(api, ORVANE_AREA_COMMON_HEADER), ORVANE_OK);
    EXPECT_EQ(SelectFieldEnum(api, 5), ORVANE_E_UNSUPPORTED);
    uint8_t header[8];
    uint32_t size = 8;
    ASSERT_EQ(GetAreaData(api, header, &size), ORVANE_OK);
    EXPECT_EQ(Bytes(header, size), Header(1, 2, 5, 9, 14));
    // Null out-pointers of the area data operations are bad arguments once
    // the state is right.
    ASSERT_EQ(SelectAreaEnum(api, ORVANE_AREA_MULTIRECORD), ORVANE_OK);
    EXPECT_EQ(GetAreaSize(api, nullptr), ORVANE_E_BAD_ARGUMENT);
    EXPECT_EQ(GetAreaData(api, header, nullptr), ORVANE_E_BAD_ARGUMENT);
}

TEST_F(AreaApiTest, InternalUseAreaIsOneHexFieldOfFixedLength) {
    Load(Image());
    EXPECT_EQ(host.Field(ORVANE_AREA_INTERNAL_USE, 0, false), u"01 11 22 33 44 55 66 77");
    EXPECT_EQ(SelectFieldInteger(api, 1), ORVANE_E_BAD_ARGUMENT);
    EXPECT_EQ(host.LastError(), u"No such FRU field.");
    ASSERT_EQ(SelectFieldInteger(api, 0), ORVANE_OK);
    const OrvaneChar* title = nullptr;
    ASSERT_EQ(GetFieldTitle(api, &title), ORVANE_OK);
    EXPECT_EQ(Text(title), u"Internal Use Data");
    const uint8_t* data = nullptr;
    uint32_t length = 0;
    EXPECT_EQ(GetFieldDataValue(api, &data, &length), ORVANE_E_UNSUPPORTED);
    EXPECT_EQ(Set("x"), ORVANE_E_UNSUPPORTED);
    // Same length only: the neighbours' offsets depend on it.
    const std::vector<uint8_t> changed = {0x01, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xF0, 0x0F};
    EXPECT_EQ(SetAreaData(api, changed.data(), 7), ORVANE_E_UNSUPPORTED);
    ASSERT_EQ(SetArea(changed), ORVANE_OK);
    EXPECT_EQ(AreaBytes(), changed);
    EXPECT_EQ(host.Field(ORVANE_AREA_INTERNAL_USE, 0, false), u"01 AA BB CC DD EE F0 0F");
}

TEST_F(AreaApiTest, InfoAreaFieldsReadAndGrowIntoThePadding) {
    Load(Image());
    // Enumerator 6 is the board manufacturer, field index 1.
    EXPECT_EQ(host.Field(ORVANE_AREA_BOARD, 6), u"Acme");
    const OrvaneChar* title = nullptr;
    ASSERT_EQ(GetFieldTitle(api, &title), ORVANE_OK);
    EXPECT_EQ(Text(title), u"Board Manufacturer");
    EXPECT_EQ(FieldBytes(), "Acme");
    // "Acme" has 3 bytes of padding to grow into; a shrink gives them back.
    const struct {
        std::string value;
        uint32_t status, room;
        std::string stored;
    } steps[] = {{"Acme Co", ORVANE_OK, 0, "Acme Co"},
                 {"Acme Corp", ORVANE_E_SET_FIELD_DATA, 0, "Acme Co"},
                 {"A", ORVANE_OK, 6, "A"}};
    for (const auto& s : steps) {
        EXPECT_EQ(Set(s.value), s.status) << s.value;
        uint32_t room = 9;
        ASSERT_EQ(GetMaxFieldSize(api, &room), ORVANE_OK);
        EXPECT_EQ(room, s.room) << s.value;
        EXPECT_EQ(FieldBytes(), s.stored);
    }
    EXPECT_EQ(SelectFieldEnum(api, 99), ORVANE_E_BAD_ARGUMENT);
    EXPECT_EQ(host.LastError(), u"No such FRU field.");

    // The chassis and product areas are reached the same way; a null pointer
    // never blanks a field, whatever the length.
    const struct {
        int32_t area, field;
        bool fieldEnum;
        std::u16string value, message;
    } cases[] = {{ORVANE_AREA_CHASSIS, 3, false, u"Custom1", u"chassis"},
                 {ORVANE_AREA_BOARD, 6, true, u"A", u"board"},
                 {ORVANE_AREA_PRODUCT, 16, true, u"Asset", u"product"}};
    for (const auto& c : cases) {
        EXPECT_EQ(host.Field(c.area, c.field, c.fieldEnum), c.value);
        const std::u16string failed = u"Setting the " + c.message + u" field data failed.";
        for (uint32_t length : {0u, 5u}) {
            EXPECT_EQ(SetFieldDataValue(api, nullptr, length), ORVANE_E_SET_FIELD_DATA);
            EXPECT_EQ(host.LastError(), failed);
        }
        EXPECT_EQ(Set(std::string(64, 'x')), ORVANE_E_SET_FIELD_DATA);
        EXPECT_EQ(host.LastError(), failed);
        EXPECT_EQ(host.Field(c.area, c.field, c.fieldEnum), c.value);
    }
}

TEST_F(AreaApiTest, MultiRecordAreaTakesWholeRecordsUpToTheLastDeviceOffset) {
    Load(Image());
    ASSERT_EQ(SelectAreaEnum(api, ORVANE_AREA_MULTIRECORD), ORVANE_OK);
    EXPECT_EQ(AreaBytes(), Record(0x00, {1, 2, 3, 4}, true));
    std::vector<uint8_t> two = Record(0x01, {9, 9}, false);
    const auto second = Record(0x02, {7, 7, 7}, true);
    two.insert(two.end(), second.begin(), second.end());
    ASSERT_EQ(SetArea(two), ORVANE_OK);
    EXPECT_EQ(AreaSize(), two.size());
    EXPECT_EQ(AreaBytes(), two);
    // Bytes too few for another record header are not part of the area:
    // its size and its data count the same 8 bytes.
    std::vector<uint8_t> tail = Record(0x01, {1, 2, 3}, true);
    tail.insert(tail.end(), {0xAA, 0xBB});
    ASSERT_EQ(SetArea(tail), ORVANE_OK);
    EXPECT_EQ(AreaSize(), 8u);
    EXPECT_EQ(AreaBytes().size(), 8u);
    // The image lays out 112 bytes before the records, so 65,424 bytes of
    // records end it at 64 KiB: accepted; one byte more is refused and the
    // records stay as they were.
    for (uint32_t length : {65424u, 65425u, 70000u}) {
        const uint32_t expected = length == 65424 ? ORVANE_OK : ORVANE_E_UNSUPPORTED;
        EXPECT_EQ(SetArea(FruTestImages::Records(length)), expected) << length;
        EXPECT_EQ(AreaSize(), 65424u) << length;
        if (expected != ORVANE_OK) {
            EXPECT_EQ(host.LastError().substr(0, 16), u"Unexpected error");
        }
    }
}

TEST_F(AreaApiTest, FailuresWriteTheLinesOfTheirOperation) {
    Load(Image());
    ASSERT_EQ(SelectAreaEnum(api, ORVANE_AREA_BOARD), ORVANE_OK);
    ASSERT_EQ(SetDebugLevel(api, 3), ORVANE_OK);
    std::filesystem::remove("DBGLOG.txt");
    // GetAreaData reports without a failure line; the others write theirs
    // and return without the exit line.
    uint8_t buffer[8];
    uint32_t size = 8;
    EXPECT_EQ(GetAreaData(api, buffer, &size), ORVANE_E_UNSUPPORTED);
    EXPECT_EQ(host.LastError().substr(0, 16), u"Unexpected error");
    EXPECT_EQ(SelectFieldInteger(api, 40), ORVANE_E_BAD_ARGUMENT);
    const std::string log = TestSupport::AsciiLog();
    EXPECT_EQ(TestSupport::LinesOf(log, "Orvane::GetAreaData"),
              "Orvane::GetAreaData [ENTRY]\r\nOrvane::GetAreaData [EXIT]\r\n");
    EXPECT_EQ(TestSupport::LinesOf(log, "Orvane::SelectFieldInteger"),
              "Orvane::SelectFieldInteger [ENTRY]\r\n"
              "Orvane::SelectFieldInteger - No such FRU Field\r\n");
}

} // namespace
