// Reading a FRU from a configuration file: the worked example, the wider
// grammar the reader accepts, and each failure with its message and trace.
#include "config/FruFileReader.h"
#include "TestSupport.h"
#include "config/FruFileWriter.h"
#include "config/LineFile.h"
#include "fru/CFru.h"
#include "support/Frame.h"
#include "support/Trace.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

std::string Example() {
    return TestSupport::ReadText(std::string(ORVANE_SOURCE_DIR) + "/tests/data/worked-example.cfg");
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    const size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos)
        text.replace(at, from.size(), to);
    return text;
}

class FruFileReaderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        TestSupport::LoadEnglishCatalogue();
        Frame::ResetErrorBuffers();
    }

    // Reads text as file f.cfg into fru; the status.
    uint32_t Read(const std::string& text, CFru& fru) {
        TestSupport::WriteFile("f.cfg", std::vector<uint8_t>(text.begin(), text.end()));
        std::filesystem::remove("DBGLOG.txt");
        return FruFileReader::Read(fru, "f.cfg");
    }
    std::u16string Error() { return TestSupport::TakeError(); }
    TestSupport::InTempDir folder;
};

// Read and saved again, the worked example is the same file: every item and
// section reached the FRU.
TEST_F(FruFileReaderTest, WorkedExampleReadsBack) {
    CFru fru;
    ASSERT_EQ(Read(Example(), fru), 0u) << std::string(Error().begin(), Error().end());
    EXPECT_EQ(std::u16string(fru.locator.GetName()), u"System Board");
    EXPECT_EQ(fru.boardArea.GetSerialNumberTL(), 0x43);
    ASSERT_EQ(FruFileWriter::Save(fru, "board.cfg"), 0u);
    EXPECT_EQ(TestSupport::ReadText("board.cfg"), Example());
}

TEST_F(FruFileReaderTest, WiderGrammar) {
    // CR LF line ends, comments, a 0x prefix, hex split across lines, "#",
    // optional items left out, and a file that ends after the last section.
    std::string text = Example();
    text = Replace(text, "_FRU_TITLE\t'System Board'\n", "");
    text = Replace(text, "_NVS_TYPE\t'KSBDEVICE'\n", "");
    text = Replace(text, "_DEV_ID\t\t00\n", "  _DEV_ID 0x1f // the id\n");
    text = Replace(text, "\t01 00 00 00 00 00 01 05 \n", "\t01 0#0 00 0\n0 00 00 01 05 7\n");
    text = Replace(text, ")\n", "");
    std::string crlf;
    for (char c : text)
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    CFru fru;
    ASSERT_EQ(Read(crlf, fru), 0u);
    EXPECT_EQ(fru.locator.GetName(), nullptr);
    EXPECT_EQ(fru.locator.deviceId, 0x1F);
    EXPECT_EQ(fru.internalArea.GetLength(), 8u); // the unpaired 7 is dropped
    EXPECT_EQ(fru.internalArea.GetData()[7], 0x05);
    // _DEV_BUS before _DEV_ID: the bus is taken, the later id line passed over.
    CFru reordered;
    ASSERT_EQ(Read(Replace(Example(), "_DEV_ID\t\t00\n_DEV_CNTR\t20\n_NVS_LUN\t00\n_DEV_BUS\t00\n",
                           "_DEV_BUS\t07\n_DEV_ID\t\t05\n"),
                   reordered),
              0u);
    EXPECT_EQ(reordered.locator.bus, 0x07);
    EXPECT_EQ(reordered.locator.deviceId, 0x00);
}

TEST_F(FruFileReaderTest, FailuresAndTheirMessages) {
    CFru missing;
    std::filesystem::remove("nothing.cfg");
    EXPECT_EQ(FruFileReader::Read(missing, "nothing.cfg"), ORVANE_E_CONFIG_FILE_READ);
    EXPECT_EQ(Error(), u"The configuration file nothing.cfg cannot be opened or read.");
    CFru none;
    EXPECT_EQ(FruFileReader::Read(none, nullptr), ORVANE_E_CONFIG_FILE_READ);
    EXPECT_EQ(Error().substr(0, 16), u"Unexpected error");

    const std::u16string kFile = u"The configuration file f.cfg ";
    const std::u16string kBoard = u"The Board Info Area section in the configuration file f.cfg ";
    const struct {
        std::string from, to;
        std::u16string message, log; // the log is not checked when empty
    } cases[] = {
        {"_LF_VERSION\t'1.05'\n", "", kFile + u"ended before it was complete.",
         u"CFru::ReadFRUFromFile - Unexpected EOF\r\nCFru::ReadFRUFromFile - File Read Error\r\n"},
        {"_DEV_ID\t\t00", "_DEV_ID\t\t100",
         u"The item FRU device id (_DEV_ID) in the configuration file f.cfg is missing or invalid.",
         u"CFru::ReadFRUFromFile - Unexpected Error while reading file\r\n"
         u"CFru::ReadFRUFromFile - File Read Error\r\n"},
        {"'KSBDEVICE'", "'at24co2'",
         u"The item NVS type (_NVS_TYPE) in the configuration file f.cfg is missing or invalid.",
         u""},
        {"10 2A 00", "10 2G 00", kBoard + u"holds an unexpected character.",
         u"CFru::ParseArea - Unexpected Character\r\nCFru::ReadFRUFromFile - Area Parse Error\r\n"
         u"CFru::SetParseAreaErrorMessage - Unexpected Character\r\n"
         u"CFru::ReadFRUFromFile - File Read Error\r\n"},
        // The board area's length byte says 16 bytes: no room for its checksum.
        {"_SEE_BOARD\n01\n04\n", "_SEE_BOARD\n01\n02\n", kBoard + u"is not a valid area.", u""},
        // A header that declares a chassis area with no chassis section.
        {"_SEE_CHASSIS", "_SEE_NOTHING", kFile + u"ended before it was complete.", u""},
    };
    for (const auto& c : cases) {
        CFru fru;
        EXPECT_EQ(Read(Replace(Example(), c.from, c.to), fru), ORVANE_E_CONFIG_FILE_READ) << c.from;
        EXPECT_EQ(Error(), c.message) << c.from;
        if (!c.log.empty()) {
            EXPECT_EQ(TestSupport::ReadLog(), c.log) << c.from;
        }
    }
}

TEST_F(FruFileReaderTest, SectionsStopAt512Bytes) {
    auto internalOf = [](size_t bytes, const std::string& extraLine) {
        std::string data;
        for (size_t i = 0; i < bytes; ++i)
            data += "AA";
        return "_SEE_INTERNAL\n" + data + "\n" + extraLine;
    };
    const std::string head = Example().substr(0, Example().find("_SEE_INTERNAL"));
    const std::string tail = Example().substr(Example().find("_SEE_CHASSIS"));
    // Exactly 512 at the end of a line: later lines of the section are ignored.
    CFru full;
    ASSERT_EQ(Read(head + internalOf(512, "BB\n") + tail, full), 0u);
    EXPECT_EQ(full.internalArea.GetLength(), 512u);
    // One more pair on the same line is 513 bytes: too big.
    CFru big;
    EXPECT_EQ(Read(head + internalOf(513, "") + tail, big), ORVANE_E_CONFIG_FILE_READ);
    EXPECT_EQ(Error(), u"The Internal Use Area section in the configuration file f.cfg is "
                       u"larger than 512 bytes.");
}

TEST_F(FruFileReaderTest, CollectorRefusesALineWithoutItsKeyword) {
    LineFile file;
    TestSupport::WriteFile("s.cfg", {'_', 'S', 'E', 'E', '_', 'X', '\n', '0', '1', '\n'});
    ASSERT_TRUE(file.Open("s.cfg"));
    CFru fru;
    const uint8_t* data = nullptr;
    uint32_t count = 9;
    EXPECT_EQ(FruFileReader::ParseArea("_SEE_BOARD", file, 0, &data, &count),
              ORVANE_E_MISSING_AREA_TAG);
    FruFileReader::SetParseAreaErrorMessage(ORVANE_E_MISSING_AREA_TAG, u"Board Info Area", "s.cfg");
    EXPECT_EQ(Error(),
              u"The Board Info Area section in the configuration file s.cfg has no area tag.");
}

} // namespace
