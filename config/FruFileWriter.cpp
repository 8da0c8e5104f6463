// The configuration file writer: one CFru saved in the canonical layout, the
// file header and FRU block items first, then one section for the common
// header and for each area the header declares, then the closing line. Each
// step opens the file by its path, writes its lines and closes it again.
#include "config/FruFileWriter.h"

#include "fru/CFru.h"
#include "orvane/orvane.h"
#include "support/Frame.h"
#include "support/MessageIds.h"
#include "support/Trace.h"
#include "support/Utf16.h"

#include <cstdio>
#include <string>

namespace {
constexpr char kQuote = '\'';
constexpr uint8_t kEndOfFields = 0xC1;
constexpr uint32_t kBytesPerLine = 16;

// One field of an info area as the writer sees it.
struct FieldOut {
    uint8_t typeLength;
    const uint8_t* data;
};

uint32_t WriteDataToFRUFile(std::FILE* stream, const uint8_t* data, uint8_t typeLength) {
    const uint32_t length = FruDefs::DecodeLength(typeLength);
    if (typeLength == kEndOfFields || length == 0 || !data)
        return 0;
    if ((typeLength >> 6) == 3) {
        // 8-bit text: the field's text between apostrophes (the data end with
        // a zero byte).
        std::fprintf(stream, "%c%s%c\n", kQuote, reinterpret_cast<const char*>(data), kQuote);
        return 0;
    }
    for (uint32_t i = 0; i < length; ++i)
        std::fprintf(stream, "%02X ", data[i]);
    std::fprintf(stream, "\n");
    return 0;
}

// One field: its type/length byte, then its data unless it is the end marker.
void WriteField(std::FILE* f, uint8_t typeLength, const uint8_t* data) {
    std::fprintf(f, "%02X\n", typeLength);
    if (typeLength != kEndOfFields)
        WriteDataToFRUFile(f, data, typeLength);
}

// The fixed fields and the custom fields of an info area, then the end
// marker. The section's start is already written.
void WriteInfoFields(std::FILE* f, const FieldOut* fields, size_t count, const CCustomField* custom,
                     uint32_t customCount) {
    for (size_t i = 0; i < count; ++i)
        WriteField(f, fields[i].typeLength, fields[i].data);
    const CCustomField* c = custom;
    for (uint32_t i = 0; i < customCount && c; ++i, c = c->next)
        WriteField(f, c->typeLength, c->data);
    std::fprintf(f, "%02X\n\n", kEndOfFields);
}

// Opens the file for one step of the save ("w" for the first, "a" for the
// others); null after the failure is reported in the step's name.
std::FILE* OpenStep(const char* path, const char* mode, const char16_t* step) {
    std::FILE* f = std::fopen(path, mode);
    if (!f)
        Frame::Fail(step, u"Error Writing File", kMsgFileWriteError, path);
    return f;
}

// The section keyword of an info area, its format version, its length in
// 8-byte units and the byte after them (the chassis type or the language
// code), a line each.
void WriteAreaStart(std::FILE* f, const char* keyword, unsigned version, uint32_t length,
                    unsigned third) {
    std::fprintf(f, "%s\n", keyword);
    std::fprintf(f, "%02X\n", version);
    std::fprintf(f, "%02X\n", length / FruDefs::kUnitBytes);
    std::fprintf(f, "%02X\n", third);
}

uint32_t SaveFRUFileHeader(CFru& fru, const char* path) {
    std::FILE* f = OpenStep(path, "w", u"CFru::SaveFRUFileHeader");
    if (!f)
        return ORVANE_E_FILE_CREATE;
    // The file version comes from the last two internal use bytes; a FRU
    // with fewer has none, written as 0.00.
    unsigned major = 0, minor = 0;
    const uint32_t iuLength = fru.internalArea.GetLength();
    if (iuLength >= 2) {
        major = fru.internalArea.GetData()[iuLength - 2];
        minor = fru.internalArea.GetData()[iuLength - 1];
    }
    // A FRU without a name gets an empty title; a name read from a file or
    // an SDR record goes back as the bytes it came as.
    std::string title;
    if (fru.locator.GetNameBytes())
        title = fru.locator.GetNameBytes();
    else if (fru.locator.GetName())
        Utf16::ToMultibyte(fru.locator.GetName(), title);
    const char* nvsName = fru.locator.nvsType == 0   ? "AT24CO2"
                          : fru.locator.nvsType == 1 ? "DS1624S"
                                                     : "KSBDEVICE";
    std::fprintf(f, "%s\t%c%s%c\n", "_LF_NAME", kQuote, path, kQuote);
    std::fprintf(f, "%s\t%c%X.%02X%c\n", "_LF_VERSION", kQuote, major, minor, kQuote);
    std::fprintf(f, "%s\t%c%s%c\n", "_LF_FMT_VER", kQuote, "1.50", kQuote);
    std::fprintf(f, "%s\t%c%s%c\n\n\n", "_IPMI_VERSION", kQuote, "1.00", kQuote);
    std::fprintf(f, "%s %s\n", "_FRU", "(");
    std::fprintf(f, "%s\t%c%s%c\n", "_FRU_TITLE", kQuote, title.c_str(), kQuote);
    std::fprintf(f, "%s\t%s\n", "_START_ADDR", "0000");
    std::fprintf(f, "%s\t%04X\n", "_DATA_LEN", static_cast<unsigned>(fru.GetOverallLength()));
    std::fprintf(f, "%s\t%c%s%c\n", "_NVS_TYPE", kQuote, nvsName, kQuote);
    std::fprintf(f, "%s\t\t%02X\n", "_DEV_ID", static_cast<unsigned>(fru.locator.deviceId));
    std::fprintf(f, "%s\t%02X\n", "_DEV_CNTR", static_cast<unsigned>(fru.locator.controller));
    std::fprintf(f, "%s\t%02X\n", "_NVS_LUN", static_cast<unsigned>(fru.locator.lun & 0xFF));
    std::fprintf(f, "%s\t%02X\n", "_DEV_BUS", static_cast<unsigned>(fru.locator.bus));
    std::fprintf(f, "%s\t%02X\n", "_DEV_ADDRESS", static_cast<unsigned>(fru.locator.deviceAddress));
    std::fclose(f);
    return 0;
}

uint32_t SaveFRUCommonHeader(CFru& fru, const char* path) {
    std::FILE* f = OpenStep(path, "a", u"CFru::SaveFRUCommonHeader");
    if (!f)
        return ORVANE_E_CONFIG_FILE_WRITE;
    uint8_t bytes[FruDefs::kCommonHeaderBytes];
    fru.SerializeCommonHeader(bytes);
    std::fprintf(f, "%s\n", "_SEE_COMMON");
    for (uint32_t i = 0; i < 7; ++i)
        std::fprintf(f, "\t%02X\n", bytes[i]);
    std::fprintf(f, "\t%02X\n\n\n", bytes[7]);
    std::fclose(f);
    return 0;
}

uint32_t SaveInternalAreaToFile(CFru& fru, const char* path) {
    std::FILE* f = OpenStep(path, "a", u"CFru::SaveInternalAreaToFile");
    if (!f)
        return ORVANE_E_CONFIG_FILE_WRITE;
    std::fprintf(f, "%s\n", "_SEE_INTERNAL");
    const uint8_t* bytes = fru.internalArea.GetData();
    for (uint32_t i = 0; i < fru.internalArea.GetLength(); ++i) {
        if (i % kBytesPerLine == 0)
            std::fprintf(f, "\n\t");
        std::fprintf(f, "%02X ", bytes[i]);
    }
    std::fprintf(f, "\n\n\n");
    std::fclose(f);
    return 0;
}

uint32_t SaveChassisAreaToFile(CFru& fru, const char* path) {
    std::FILE* f = OpenStep(path, "a", u"CFru::SaveChassisAreaToFile");
    if (!f)
        return ORVANE_E_CONFIG_FILE_WRITE;
    const CChassisInfoArea& a = fru.chassisArea;
    WriteAreaStart(f, "_SEE_CHASSIS", a.GetFormatVersion(), a.GetLength(), a.GetType());
    const FieldOut fields[] = {{a.GetPartNumberTL(), a.GetPartNumber()},
                               {a.GetSerialNumberTL(), a.GetSerialNumber()}};
    WriteInfoFields(f, fields, 2, a.GetCustomFields(), a.GetNumberOfCustomFields());
    std::fclose(f);
    return 0;
}

uint32_t SaveBoardAreaToFile(CFru& fru, const char* path) {
    std::FILE* f = OpenStep(path, "a", u"CFru::SaveBoardAreaToFile");
    if (!f)
        return ORVANE_E_CONFIG_FILE_WRITE;
    const CBoardInfoArea& a = fru.boardArea;
    WriteAreaStart(f, "_SEE_BOARD", a.GetFormatVersion(), a.GetLength(), a.GetLanguageCode());
    const uint8_t* date = a.GetMfgDateTime();
    std::fprintf(f, "%02X %02X %02X", date[0], date[1], date[2]);
    std::fprintf(f, "\n");
    const FieldOut fields[] = {{a.GetManufacturerTL(), a.GetManufacturer()},
                               {a.GetProductNameTL(), a.GetProductName()},
                               {a.GetSerialNumberTL(), a.GetSerialNumber()},
                               {a.GetPartNumberTL(), a.GetPartNumber()},
                               {a.GetFileIdTL(), a.GetFileId()}};
    WriteInfoFields(f, fields, 5, a.GetCustomFields(), a.GetNumberOfCustomFields());
    std::fclose(f);
    return 0;
}

uint32_t SaveProductAreaToFile(CFru& fru, const char* path) {
    std::FILE* f = OpenStep(path, "a", u"CFru::SaveProductAreaToFile");
    if (!f)
        return ORVANE_E_CONFIG_FILE_WRITE;
    const CProductInfoArea& a = fru.productArea;
    WriteAreaStart(f, "_SEE_PRODUCT", a.GetFormatVersion(), a.GetLength(), a.GetLanguageCode());
    const FieldOut fields[] = {{a.GetManufacturerNameTL(), a.GetManufacturerName()},
                               {a.GetProductNameTL(), a.GetProductName()},
                               {a.GetPartNumberTL(), a.GetPartNumber()},
                               {a.GetVersionTL(), a.GetVersion()},
                               {a.GetSerialNumberTL(), a.GetSerialNumber()},
                               {a.GetAssetTagTL(), a.GetAssetTag()},
                               {a.GetFileIdTL(), a.GetFileId()}};
    WriteInfoFields(f, fields, 7, a.GetCustomFields(), a.GetNumberOfCustomFields());
    std::fclose(f);
    return 0;
}

uint32_t SaveMultiRecAreaToFile(CFru& fru, const char* path) {
    std::FILE* f = OpenStep(path, "a", u"CFru::SaveMultiRecAreaToFile");
    if (!f)
        return ORVANE_E_CONFIG_FILE_WRITE;
    std::fprintf(f, "%s\n", "_SEE_MULTIREC");
    for (const MultiRecord* r = fru.multiRecords; r; r = r->next) {
        for (uint8_t b : r->header)
            std::fprintf(f, "%02X\n", b);
        for (uint32_t i = 0; i < r->DataLength(); ++i) {
            if (i > 1 && i % kBytesPerLine == 0)
                std::fprintf(f, "\n ");
            std::fprintf(f, "%02X ", r->data[i]);
        }
        std::fprintf(f, "\n ");
    }
    std::fprintf(f, "\n");
    std::fclose(f);
    return 0;
}
} // namespace

uint32_t FruFileWriter::Save(CFru& fru, const char* path) {
    ORV_ENTRY(u"CFru::SaveFRUToFile");
    if (!path) {
        ORV_FAIL(u"CFru::SaveFRUToFile", u"Unexpected");
        return ORVANE_E_FILE_CREATE;
    }
    uint32_t status = SaveFRUFileHeader(fru, path);
    if (status == 0)
        status = SaveFRUCommonHeader(fru, path);
    if (status == 0 && fru.header.internalOffset)
        status = SaveInternalAreaToFile(fru, path);
    if (status == 0 && fru.header.chassisOffset)
        status = SaveChassisAreaToFile(fru, path);
    if (status == 0 && fru.header.boardOffset)
        status = SaveBoardAreaToFile(fru, path);
    if (status == 0 && fru.header.productOffset)
        status = SaveProductAreaToFile(fru, path);
    if (status == 0 && fru.header.multiRecOffset)
        status = SaveMultiRecAreaToFile(fru, path);
    if (status != 0)
        return status;
    std::FILE* f = OpenStep(path, "a", u"CFru::SaveFRUToFile");
    if (!f)
        return ORVANE_E_CONFIG_FILE_WRITE;
    std::fprintf(f, "%s\n", ")");
    std::fclose(f);
    ORV_EXIT(u"CFru::SaveFRUToFile");
    return 0;
}
