// Saving a FRU as a configuration file: the canonical layout byte for byte,
// the sections a header declares, and failures to open the file.
#include "config/FruFileWriter.h"
#include "FruTestImages.h"
#include "TestSupport.h"
#include "fru/CFru.h"
#include "support/Frame.h"

#include <gtest/gtest.h>

#include <clocale>
#include <filesystem>
#include <string>

namespace {
using FruTestImages::Put;

// The FRU of the worked example: internal use 8 bytes, chassis 16, board 32
// (a serial number of type code 1), one multi-record of type C0.
void BuildExample(CFru& fru) {
    std::vector<uint8_t> image(72, 0);
    Put(image, 0, {0x01, 0x01, 0x02, 0x04, 0x00, 0x08, 0x00, 0xF0});
    Put(image, 8, {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x05});
    auto sealed = [](std::vector<uint8_t> area) {
        area.push_back(FruTestImages::ZeroSum(area));
        return area;
    };
    const auto chassis =
        sealed({0x01, 0x02, 0x17, 0xC5, 'A', 'B', '1', '2', '3', 0xC3, '0', '0', '1', 0xC1, 0});
    const auto board = sealed({0x01, 0x04, 0x00, 0x10, 0x2A, 0x00, 0xC4, 'A',  'B',  'C',  'D',
                               0xC5, 'B',  'O',  'A',  'R',  'D',  0x43, 0x12, 0x34, 0x56, 0xC0,
                               0xC0, 0xC1, 0,    0,    0,    0,    0,    0,    0});
    Put(image, 16, chassis);
    Put(image, 32, board);
    Put(image, 64, FruTestImages::Record(0xC0, {0x11, 0x22, 0x33}, true));
    ASSERT_EQ(fru.DecodeHeader(image.data()), 0u);
    ASSERT_TRUE(fru.internalArea.SetData(image.data() + 8, 8, 0));
    ASSERT_TRUE(fru.chassisArea.SetData(image.data() + 16, 16));
    ASSERT_TRUE(fru.boardArea.SetData(image.data() + 32, 32));
    fru.multiRecLength = 8;
    ASSERT_EQ(fru.DecodeMultiRecArea(image.data() + 64), 0u);
    fru.locator.nvsType = 2;
    fru.locator.bus = 0x00;
    fru.locator.SetName(u"System Board");
}

class FruFileWriterTest : public ::testing::Test {
  protected:
    void SetUp() override {
        TestSupport::LoadEnglishCatalogue();
        Frame::ResetErrorBuffers();
    }
    TestSupport::InTempDir folder;
};

TEST_F(FruFileWriterTest, WorkedExampleIsWrittenByteForByte) {
    CFru fru;
    BuildExample(fru);
    const std::string example =
        TestSupport::ReadText(std::string(ORVANE_SOURCE_DIR) + "/tests/data/worked-example.cfg");
    ASSERT_EQ(FruFileWriter::Save(fru, "board.cfg"), 0u);
    EXPECT_EQ(TestSupport::ReadText("board.cfg"), example);
    // Saving again replaces the whole file; a file that cannot be opened
    // fails before anything is made.
    ASSERT_EQ(FruFileWriter::Save(fru, "board.cfg"), 0u);
    EXPECT_EQ(TestSupport::ReadText("board.cfg").size(), example.size());
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
