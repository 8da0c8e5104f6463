// Saving a FRU as a configuration file: the sections a header declares, line
// wrapping, titles and failures to open the file.
#include "config/FruFileWriter.h"
#include "FruTestImages.h"
#include "TestSupport.h"
#include "config/FruFileReader.h"
#include "fru/CFru.h"
#include "support/Frame.h"

#include <gtest/gtest.h>

#include <clocale>
#include <filesystem>
#include <string>

namespace {
// The FRU of the worked example, read from its file (whose reading back is
// the reader's test).
void BuildExample(CFru& fru) {
    ASSERT_EQ(FruFileReader::Read(
                  fru, (std::string(ORVANE_SOURCE_DIR) + "/tests/data/worked-example.cfg").c_str()),
              0u);
}

class FruFileWriterTest : public ::testing::Test {
  protected:
    void SetUp() override {
        TestSupport::LoadEnglishCatalogue();
        Frame::ResetErrorBuffers();
    }
    TestSupport::InTempDir folder;
};

TEST_F(FruFileWriterTest, SavingAgainReplacesTheFileAndAFolderMissingFails) {
    CFru fru;
    BuildExample(fru);
    ASSERT_EQ(FruFileWriter::Save(fru, "board.cfg"), 0u);
    const std::string first = TestSupport::ReadText("board.cfg");
    ASSERT_EQ(FruFileWriter::Save(fru, "board.cfg"), 0u);
    EXPECT_EQ(TestSupport::ReadText("board.cfg"), first);
    EXPECT_EQ(FruFileWriter::Save(fru, "no/such/folder/x.cfg"), ORVANE_E_FILE_CREATE);
    EXPECT_FALSE(std::filesystem::exists("no"));
    EXPECT_EQ(TestSupport::TakeError(),
              u"Error writing the configuration file no/such/folder/x.cfg.");
}

TEST_F(FruFileWriterTest, OnlyDeclaredSectionsAndTheOpenChoices) {
    // No areas, no name, fewer than two internal use bytes, NVS type 5.
    CFru fru;
    const uint8_t header[8] = {0x01, 0, 0, 0, 0, 0, 0, 0xFF};
    ASSERT_EQ(fru.DecodeHeader(header), 0u);
    fru.locator.nvsType = 5;
    ASSERT_EQ(FruFileWriter::Save(fru, "empty.cfg"), 0u);
    const std::string text = TestSupport::ReadText("empty.cfg");
    EXPECT_NE(text.find("_LF_VERSION\t'0.00'\n"), std::string::npos);
    EXPECT_NE(text.find("_FRU_TITLE\t''\n"), std::string::npos);
    EXPECT_NE(text.find("_NVS_TYPE\t'KSBDEVICE'\n"), std::string::npos);
    EXPECT_EQ(text.find("_SEE_INTERNAL"), std::string::npos);
    EXPECT_NE(text.find("\tFF\n\n\n)\n"), std::string::npos) << text;
}

TEST_F(FruFileWriterTest, LongInternalUseAndMultiRecordDataWrap) {
    CFru fru;
    const uint8_t header[8] = {0x01, 0x01, 0, 0, 0, 0x04, 0, 0xFA};
    ASSERT_EQ(fru.DecodeHeader(header), 0u);
    std::vector<uint8_t> internal(17);
    for (size_t i = 0; i < internal.size(); ++i)
        internal[i] = static_cast<uint8_t>(i);
    ASSERT_TRUE(fru.internalArea.SetData(internal.data(), 17, 0));
    std::vector<uint8_t> data(20, 0xAB);
    auto record = FruTestImages::Record(0x01, data, true);
    fru.multiRecLength = static_cast<uint16_t>(record.size());
    ASSERT_EQ(fru.DecodeMultiRecArea(record.data()), 0u);
    ASSERT_EQ(FruFileWriter::Save(fru, "wrap.cfg"), 0u);
    const std::string text = TestSupport::ReadText("wrap.cfg");
    EXPECT_NE(text.find("_SEE_INTERNAL\n\n\t00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F \n"
                        "\t10 \n\n\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("AB AB AB AB AB AB AB AB AB AB AB AB AB AB AB AB \n AB AB AB AB \n \n)\n"),
              std::string::npos)
        << text;
}

TEST_F(FruFileWriterTest, TitlesGoBackAsTheBytesTheyCameAs) {
    // In a UTF-8 locale a lone E9h reads as U+00E9, which the locale itself
    // would write as C3 A9; the saved title keeps the byte it was read as.
    // A name set as a wide text is written through the locale.
    const char* previousLocale = std::setlocale(LC_ALL, nullptr);
    const std::string saved = previousLocale ? previousLocale : "C";
    ASSERT_NE(std::setlocale(LC_ALL, "C.UTF-8"), nullptr);
    struct Case {
        const char* narrow;
        const char16_t* wide;
        std::string written;
    } cases[] = {{"Caf\xE9", nullptr, "Caf\xE9"},
                 {"Caf\xC3\xA9", nullptr, "Caf\xC3\xA9"},
                 {nullptr, u"Caf\u00E9", "Caf\xC3\xA9"}};
    for (const Case& c : cases) {
        CFru fru;
        BuildExample(fru);
        ASSERT_EQ(c.narrow ? fru.locator.SetName(c.narrow) : fru.locator.SetName(c.wide), 0u);
        EXPECT_EQ(std::u16string(fru.locator.GetName()), u"Caf\u00E9");
        ASSERT_EQ(FruFileWriter::Save(fru, "title.cfg"), 0u);
        EXPECT_NE(TestSupport::ReadText("title.cfg").find("_FRU_TITLE\t'" + c.written + "'\n"),
                  std::string::npos)
            << c.written;
    }
    std::setlocale(LC_ALL, saved.c_str());
}

} // namespace
