// The orvane command's layout guard: the layouts it refuses and what it says,
// including the layout the core computes for an image past 64 KiB.
#include "device/LayoutGuard.h"
#include "FruTestImages.h"
#include "TestSupport.h"
#include "api/FruEdit.h"
#include "api/LibraryState.h"
#include "fru/CFru.h"
#include "orvane/orvane.h"
#include "support/Utf16.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

FruEdit::AreaLayout At(int32_t kind, uint32_t header, uint32_t commit) {
    FruEdit::AreaLayout a;
    a.kind = kind;
    a.headerOffset = header;
    a.commitOffset = commit;
    return a;
}

TEST(LayoutGuardTest, RefusesMovedAreasAndImagesThatDoNotFit) {
    const struct {
        std::vector<FruEdit::AreaLayout> areas;
        uint32_t end, deviceLength;
        std::vector<std::string> said; // empty: accepted
    } cases[] = {
        {{At(ORVANE_AREA_BOARD, 8, 8), At(ORVANE_AREA_MULTIRECORD, 72, 72)}, 101, 256, {}},
        {{At(ORVANE_AREA_BOARD, 16, 8), At(ORVANE_AREA_MULTIRECORD, 80, 72)},
         101,
         256,
         {"  board area: header offset 16, the commit would write it at 8\n",
          "  multirecord area: header offset 80, the commit would write it at 72\n"}},
        // Areas in another order than the commit's: the product area first.
        {{At(ORVANE_AREA_BOARD, 24, 8), At(ORVANE_AREA_PRODUCT, 8, 24)},
         88,
         0,
         {"  board area: header offset 24", "  product area: header offset 8"}},
        {{At(ORVANE_AREA_MULTIRECORD, 240, 240)},
         65641,
         0,
         {"the image would end at byte 65,641, past the 65,536 bytes a FRU device can address"}},
        {{At(ORVANE_AREA_BOARD, 8, 8)},
         752,
         512,
         {"the image needs 752 bytes and the device holds 512"}},
        {{At(ORVANE_AREA_BOARD, 8, 8)}, 65536, 0, {}},
    };
    for (const auto& c : cases) {
        FruEdit::CommitLayout layout;
        layout.areas = c.areas;
        layout.end = c.end;
        const std::string problems = LayoutGuard::Problems(layout, c.deviceLength);
        SCOPED_TRACE(problems);
        EXPECT_EQ(problems.empty(), c.said.empty());
        for (const auto& text : c.said)
            EXPECT_NE(problems.find(text), std::string::npos) << text;
    }
}

// A multi-record area of 65,535 bytes behind the worked example's other areas
// (from offset 64): the commit would reach past offset 0xFFFF.
TEST(LayoutGuardTest, TheCoresLayoutOfAnImagePast64KiBIsRefusedWithItsSize) {
    OrvaneInterface api{};
    api.setLanguage = SetLanguageLocale;
    ASSERT_EQ(Initialize(&api), ORVANE_OK);
    const std::string example = std::string(ORVANE_SOURCE_DIR) + "/tests/data/worked-example.cfg";
    ASSERT_EQ(LoadConfigurationFromFile(&api, Utf16::FromUtf8(example).c_str()), ORVANE_OK);
    std::vector<uint8_t> records;
    for (int i = 0; i < 252; ++i) {
        const auto r = FruTestImages::Record(0xC0, std::vector<uint8_t>(255, 0x5A), false);
        records.insert(records.end(), r.begin(), r.end());
    }
    const auto last = FruTestImages::Record(0xC0, std::vector<uint8_t>(10, 0x11), true);
    records.insert(records.end(), last.begin(), last.end());
    ASSERT_EQ(records.size(), 65535u);
    CFru* fru = Globals::state->fileList->GetAt(0);
    ASSERT_EQ(fru->SetMultiRecArea(records.data(), static_cast<uint16_t>(records.size()), 1), 0u);

    FruEdit::CommitLayout layout;
    ASSERT_TRUE(FruEdit::LayoutCommit(FruEdit::SelectedFru(), &layout));
    EXPECT_EQ(layout.end, 64u + 65535u);
    EXPECT_NE(LayoutGuard::Problems(layout, 0).find(
                  "the image would end at byte 65,599, past the 65,536 bytes"),
              std::string::npos);
    DeInitialize(&api);
}

} // namespace
