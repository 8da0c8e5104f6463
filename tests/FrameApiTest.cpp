// The exported frame as a host sees it: status codes, the last error, the
// trace log and the catalogue choice.
#include "TestSupport.h"
#include "orvane/orvane.h"
#include "support/Frame.h"
#include "support/Trace.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

// The log lines as the library writes them: UTF-16LE, CR LF after each.
std::string Lines(std::initializer_list<std::u16string> lines) {
    std::string bytes;
    for (const auto& line : lines)
        for (char16_t c : line + u"\r\n")
            bytes += {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
    return bytes;
}

uint32_t FailingLanguage(OrvaneInterface*, const OrvaneChar*, const OrvaneChar*) {
    return ORVANE_E_STRING_RESOURCE;
}

// Each test runs in its own folder, so the debug log it writes is its own.
class FrameApiTest : public ::testing::Test {
  protected:
    void SetUp() override { api.setLanguage = SetLanguageLocale; }
    void TearDown() override {
        Trace::SetDebugLevel(1);
        DeInitialize(&api);
    }
    std::string Log() { return TestSupport::ReadText("DBGLOG.txt"); }
    std::u16string LastError() {
        const OrvaneChar* text = nullptr;
        EXPECT_EQ(GetLastErrorMessage(&api, &text), ORVANE_OK);
        return text ? std::u16string(text) : std::u16string(u"<null>");
    }

    OrvaneInterface api{};
    TestSupport::InTempDir folder;
};

TEST_F(FrameApiTest, BeforeInitializeEveryOperationRefusesAndAfterDeInitializeAgain) {
    Trace::SetDebugLevel(3);
    uint8_t flag = 7;
    const OrvaneChar* text = u"untouched";
    EXPECT_EQ(IsLoaded(&api, &flag), ORVANE_E_NOT_INITIALIZED);
    EXPECT_EQ(IsModified(&api, &flag), ORVANE_E_NOT_INITIALIZED);
    EXPECT_EQ(SetDebugLevel(&api, 3), ORVANE_E_NOT_INITIALIZED);
    EXPECT_EQ(SetProgressCallback(&api, nullptr), ORVANE_E_NOT_INITIALIZED);
    EXPECT_EQ(SetProgressCallbackInterval(&api, 5), ORVANE_E_NOT_INITIALIZED);
    EXPECT_EQ(GetLastErrorMessage(&api, &text), ORVANE_E_NOT_INITIALIZED);
    EXPECT_EQ(text, nullptr);
    EXPECT_EQ(flag, 7);
    EXPECT_EQ(Log(),
              Lines({u"Orvane::IsLoaded [ENTRY]", u"Orvane::IsModified [ENTRY]",
                     u"Orvane::SetDebugLevel [ENTRY]", u"Orvane::SetProgressCallback [ENTRY]",
                     u"Orvane::SetProgressCallbackInterval [ENTRY]",
                     u"Orvane::GetLastErrorMessage [ENTRY]"}));
    EXPECT_EQ(DeInitialize(&api), ORVANE_OK); // never initialised

    // Repeated Initialize and DeInitialize are clean.
    Trace::SetDebugLevel(1);
    EXPECT_EQ(Revision, 0x00020000u);
    EXPECT_EQ(DllMain(nullptr, 1, nullptr), 1u);
    ASSERT_EQ(Initialize(&api), ORVANE_OK);
    ASSERT_EQ(Initialize(&api), ORVANE_OK);
    EXPECT_EQ(IsLoaded(&api, &flag), ORVANE_OK);
    EXPECT_EQ(flag, 0);
    EXPECT_EQ(SetDebugLevel(&api, 2), ORVANE_OK); // any level is stored as it is
    EXPECT_EQ(Trace::GetDebugLevel(), 2u);
    EXPECT_EQ(DeInitialize(&api), ORVANE_OK);
    EXPECT_EQ(DeInitialize(&api), ORVANE_OK);
    EXPECT_EQ(Frame::GetString(125), nullptr); // the catalogue went with the state
    EXPECT_EQ(IsLoaded(&api, &flag), ORVANE_E_NOT_INITIALIZED);
}

TEST_F(FrameApiTest, DebugLevelsThreeOneAndZero) {
    ASSERT_EQ(Initialize(&api), ORVANE_OK);
    uint8_t flag = 9;
    // Level 1: success leaves the file untouched, a failure appends its line.
    ASSERT_EQ(IsLoaded(&api, &flag), ORVANE_OK);
    EXPECT_EQ(flag, 0);
    EXPECT_FALSE(std::filesystem::exists("DBGLOG.txt"));
    EXPECT_EQ(IsModified(&api, &flag), ORVANE_E_NOT_LOADED);
    EXPECT_EQ(Log(), Lines({u"Orvane::IsModified - Unexpected"}));
    // Level 3: entry and exit lines too, appended to those of earlier runs.
    ASSERT_EQ(SetDebugLevel(&api, 3), ORVANE_OK);
    ASSERT_EQ(IsLoaded(&api, &flag), ORVANE_OK);
    EXPECT_EQ(Log(), Lines({u"Orvane::IsModified - Unexpected", u"Orvane::SetDebugLevel [EXIT]",
                            u"Orvane::IsLoaded [ENTRY]", u"Orvane::IsLoaded [EXIT]"}));
    // Level 0: nothing at all.
    ASSERT_EQ(SetDebugLevel(&api, 0), ORVANE_OK);
    std::filesystem::remove("DBGLOG.txt");
    EXPECT_EQ(IsModified(&api, &flag), ORVANE_E_NOT_LOADED);
    EXPECT_FALSE(std::filesystem::exists("DBGLOG.txt"));
    // A log that cannot be written changes no status.
    ASSERT_EQ(SetDebugLevel(&api, 0xFFFFFFFF), ORVANE_OK);
    std::filesystem::remove("DBGLOG.txt");
    std::filesystem::create_directory("DBGLOG.txt"); // cannot be opened as a file
    EXPECT_EQ(IsLoaded(&api, &flag), ORVANE_OK);
    EXPECT_EQ(IsModified(&api, &flag), ORVANE_E_NOT_LOADED);
}

TEST_F(FrameApiTest, LastErrorIsHandedOverOnceAndTheLatestWins) {
    ASSERT_EQ(Initialize(&api), ORVANE_OK);
    EXPECT_EQ(LastError(), u"<null>");
    uint8_t flag;
    EXPECT_EQ(IsModified(&api, &flag), ORVANE_E_NOT_LOADED);
    Frame::SetLastError(u"second %d", 2);
    EXPECT_EQ(LastError(), u"second 2");
    EXPECT_EQ(LastError(), u"<null>");
    EXPECT_EQ(IsModified(&api, &flag), ORVANE_E_NOT_LOADED);
    EXPECT_EQ(LastError(), Frame::GetString(125));
    // Cut at 511 units.
    std::u16string longText(700, u'x');
    Frame::SetLastError(u"%ls!", longText.c_str());
    EXPECT_EQ(LastError(), std::u16string(511, u'x'));
    Frame::SetLastError(u"%ls", std::u16string(511, u'y').c_str());
    EXPECT_EQ(LastError(), std::u16string(511, u'y'));
}

TEST_F(FrameApiTest, CatalogueChoices) {
    // Without an interface no catalogue is loaded, so failures have no text;
    // the host may load one itself at any time.
    ASSERT_EQ(Initialize(nullptr), ORVANE_OK);
    uint8_t flag;
    EXPECT_EQ(IsModified(&api, &flag), ORVANE_E_NOT_LOADED);
    EXPECT_EQ(LastError(), u"<null>");
    ASSERT_EQ(SetLanguageLocale(&api, u"en", u"us"), ORVANE_OK);
    EXPECT_EQ(IsModified(&api, &flag), ORVANE_E_NOT_LOADED);
    EXPECT_NE(LastError(), u"<null>");
    // An unknown language keeps the catalogue in use.
    const char16_t* before = Frame::GetString(125);
    ASSERT_NE(before, nullptr);
    EXPECT_EQ(SetLanguageLocale(&api, u"xx", u"yy"), ORVANE_E_STRING_RESOURCE);
    EXPECT_EQ(SetLanguageLocale(&api, nullptr, u"us"), ORVANE_E_STRING_RESOURCE);
    EXPECT_EQ(Frame::GetString(125), before);
    EXPECT_EQ(Frame::GetString(139), nullptr); // one past the last entry
    // A failing set-language entry leaves the library uninitialised.
    ASSERT_EQ(DeInitialize(&api), ORVANE_OK);
    api.setLanguage = FailingLanguage;
    EXPECT_EQ(Initialize(&api), ORVANE_E_INIT_FAILED);
    EXPECT_EQ(IsLoaded(&api, &flag), ORVANE_E_NOT_INITIALIZED);
}

} // namespace
