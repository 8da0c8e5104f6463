// The configuration file reader: a line-by-line state machine that fills one
// new CFru from a file (file header items, the FRU block's locator items,
// then the common header and every area section the header declares), and
// the collector that gathers one section's bytes.
#include "config/FruFileReader.h"

#include "config/LineFile.h"
#include "fru/CFru.h"
#include "orvane/orvane.h"
#include "support/Frame.h"
#include "support/MessageIds.h"
#include "support/Trace.h"

#include <cctype>
#include <cstring>

namespace {

constexpr char kQuote = '\'';

// The one section collector of the process: the bytes of the section being
// read, at most 512, cleared at the start of every section.
uint8_t g_section[FruDefs::kMaxAreaBytes];

enum class State {
    LfName,
    LfVersion,
    LfFmtVersion,
    IpmiVersion,
    FruBlock,
    FruTitle,
    StartAddr,
    DataLen,
    NvsType,
    DevId,
    DevCntr,
    NvsLun,
    DevBus,
    DevAddress,
    Common,
    Internal,
    Chassis,
    Board,
    Product,
    MultiRec,
    Done,
    Failed
};

// The keyword each awaiting state looks for, its field message, and the
// state whose step runs on the same line when the keyword is not there
// (the optional items); Failed stands for "stay".
struct StateRow {
    const char* keyword;
    uint32_t message;
    State orElse;
};

StateRow Row(State s) {
    switch (s) {
    case State::LfName:
        return {"_LF_NAME", kMsgItemFileName, State::Failed};
    case State::LfVersion:
        return {"_LF_VERSION", kMsgItemFileVersion, State::Failed};
    case State::LfFmtVersion:
        return {"_LF_FMT_VER", kMsgItemFormatVersion, State::Failed};
    case State::IpmiVersion:
        return {"_IPMI_VERSION", kMsgItemIpmiVersion, State::Failed};
    case State::FruBlock:
        return {"_FRU", 0, State::Failed};
    case State::FruTitle:
        return {"_FRU_TITLE", kMsgItemFruTitle, State::StartAddr};
    case State::StartAddr:
        return {"_START_ADDR", 0, State::Failed};
    case State::DataLen:
        return {"_DATA_LEN", kMsgItemDataLength, State::Failed};
    case State::NvsType:
        return {"_NVS_TYPE", kMsgItemNvsType, State::DevId};
    case State::DevId:
        return {"_DEV_ID", kMsgItemDeviceId, State::DevCntr};
    case State::DevCntr:
        return {"_DEV_CNTR", kMsgItemController, State::NvsLun};
    case State::NvsLun:
        return {"_NVS_LUN", kMsgItemLun, State::DevBus};
    case State::DevBus:
        return {"_DEV_BUS", kMsgItemBus, State::DevAddress};
    case State::DevAddress:
        return {"_DEV_ADDRESS", kMsgItemDeviceAddress, State::Common};
    case State::Common:
        return {"_SEE_COMMON", kMsgCommonHeaderName, State::Failed};
    case State::Internal:
        return {"_SEE_INTERNAL", kMsgInternalUseName, State::Failed};
    case State::Chassis:
        return {"_SEE_CHASSIS", kMsgChassisName, State::Failed};
    case State::Board:
        return {"_SEE_BOARD", kMsgBoardName, State::Failed};
    case State::Product:
        return {"_SEE_PRODUCT", kMsgProductName, State::Failed};
    case State::MultiRec:
        return {"_SEE_MULTIREC", kMsgMultiRecordName, State::Failed};
    default:
        return {nullptr, 0, State::Failed};
    }
}

// A hex item: the line begins with the keyword, then blanks, then a hex
// number with an optional sign and 0x prefix; the rest of the line is
// ignored. False when there is no number or it exceeds max.
bool ReadHexItem(const char* line, uint32_t length, const char* keyword, uint32_t max,
                 uint32_t* value) {
    const size_t k = std::strlen(keyword);
    if (length < k || std::strncmp(line, keyword, k) != 0)
        return false;
    size_t i = k;
    while (i < length && (line[i] == ' ' || line[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < length && (line[i] == '+' || line[i] == '-'))
        negative = line[i++] == '-';
    if (i + 1 < length && line[i] == '0' && (line[i + 1] == 'x' || line[i + 1] == 'X') &&
        i + 2 < length && std::isxdigit(static_cast<unsigned char>(line[i + 2])))
        i += 2;
    uint64_t number = 0;
    size_t digits = 0;
    for (; i < length && std::isxdigit(static_cast<unsigned char>(line[i])); ++i, ++digits) {
        const char c = line[i];
        const unsigned d = c <= '9' ? static_cast<unsigned>(c - '0')
                                    : static_cast<unsigned>((c | 0x20) - 'a' + 10);
        number = number * 16 + d;
        if (number > 0xFFFFFFFFull)
            return false; // far beyond any item's range
    }
    if (digits == 0 || (negative && number != 0) || number > max)
        return false;
    *value = static_cast<uint32_t>(number);
    return true;
}

// The state that awaits the section of the first declared area after `after`.
State NextDeclared(const CFruHeader& h, State after) {
    const struct {
        State state;
        uint8_t offset;
    } order[] = {{State::Internal, h.internalOffset},
                 {State::Chassis, h.chassisOffset},
                 {State::Board, h.boardOffset},
                 {State::Product, h.productOffset},
                 {State::MultiRec, h.multiRecOffset}};
    bool passed = after == State::Common;
    for (const auto& o : order) {
        if (passed && o.offset != 0)
            return o.state;
        if (o.state == after)
            passed = true;
    }
    return State::Done;
}

void FieldError(uint32_t message, const char* path) {
    ORV_FAIL(u"CFru::ReadFRUFromFile", u"Unexpected Error while reading file");
    Frame::Fail(u"CFru::ReadFRUFromFile", u"File Read Error", kMsgFileBadItem,
                Frame::GetString(message), path);
}

} // namespace

namespace FruFileReader {
uint32_t ParseArea(const char* keyword, LineFile& file, uint32_t line, const uint8_t** data,
                   uint32_t* count) {
    std::memset(g_section, 0, sizeof g_section);
    uint32_t collected = 0;
    bool halfByte = false;
    if (!keyword || !file.Contains(line, keyword)) {
        ORV_FAIL(u"CFru::ParseArea", u"Missing Area Tag");
        return ORVANE_E_MISSING_AREA_TAG;
    }
    for (uint32_t i = line + 1; i < file.GetNumLines(); ++i) {
        const bool quoted = file.GetQuotedString(i, kQuote) != nullptr;
        if (!quoted && (file.Contains(i, ")") || file.Contains(i, "_SEE_")))
            break;
        if (collected >= FruDefs::kMaxAreaBytes)
            break;
        if (file.GetLineLength(i) == 0)
            continue;
        if (quoted) {
            // Text is taken as it stands; a pending half byte stays pending.
            const uint32_t n = file.GetQuotedLength();
            if (collected + n > FruDefs::kMaxAreaBytes) {
                ORV_FAIL(u"CFru::ParseArea", u"Area Too Big");
                return ORVANE_E_AREA_TOO_BIG;
            }
            std::memcpy(g_section + collected, file.GetQuotedString(i, kQuote), n);
            collected += n;
            continue;
        }
        file.RemoveBlanks(i);
        const char* text = file.GetLine(i);
        for (uint32_t k = 0; k < file.GetLineLength(i); ++k) {
            const char c = text[k];
            if (c == '#')
                continue;
            if (!std::isxdigit(static_cast<unsigned char>(c))) {
                ORV_FAIL(u"CFru::ParseArea", u"Unexpected Character");
                return ORVANE_E_UNEXPECTED_CHAR;
            }
            const uint8_t d = static_cast<uint8_t>(c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10);
            if (!halfByte) {
                if (collected >= FruDefs::kMaxAreaBytes) {
                    ORV_FAIL(u"CFru::ParseArea", u"Area Too Big");
                    return ORVANE_E_AREA_TOO_BIG;
                }
                g_section[collected] = static_cast<uint8_t>(d << 4);
                halfByte = true;
            } else {
                g_section[collected++] |= d;
                halfByte = false;
            }
        }
    }
    *data = g_section;
    *count = collected;
    return 0;
}

void SetParseAreaErrorMessage(uint32_t code, const char16_t* areaName, const char* path) {
    if (code == 0)
        return;
    const char16_t* reason = u"Area Parse Error";
    uint32_t message = kMsgFileBadArea;
    switch (code) {
    case ORVANE_E_MISSING_AREA_TAG:
        reason = u"Missing Area Tag";
        message = kMsgFileMissingTag;
        break;
    case ORVANE_E_AREA_TOO_BIG:
        reason = u"Area Too Big";
        message = kMsgFileAreaTooBig;
        break;
    case ORVANE_E_UNEXPECTED_CHAR:
        reason = u"Unexpected Character";
        message = kMsgFileBadCharacter;
        break;
    }
    Frame::Fail(u"CFru::SetParseAreaErrorMessage", reason, message, areaName, path);
}
} // namespace FruFileReader

namespace {

// The step of an awaiting state on a line that holds its keyword: the
// item's action, and the state that follows (Failed after a field error or
// a section failure, which are reported here).
State Step(CFru& fru, State s, LineFile& file, uint32_t line, const char* path) {
    const StateRow row = Row(s);
    const char* text = file.GetLine(line);
    const uint32_t length = file.GetLineLength(line);
    uint32_t value = 0;
    auto fieldError = [&] {
        FieldError(row.message, path);
        return State::Failed;
    };
    switch (s) {
    case State::LfName:
    case State::LfVersion:
    case State::LfFmtVersion:
    case State::IpmiVersion: {
        const char* quoted = file.GetQuotedString(line, kQuote);
        CFileHeader& h = fru.fileHeader;
        const bool ok = quoted && (s == State::LfName         ? h.SetLfName(quoted)
                                   : s == State::LfVersion    ? h.SetLfVersion(quoted)
                                   : s == State::LfFmtVersion ? h.SetLfFmtVersion(quoted)
                                                              : h.SetIpmiVersion(quoted));
        if (!ok)
            return fieldError();
        return static_cast<State>(static_cast<int>(s) + 1);
    }
    case State::FruBlock:
        return State::FruTitle;
    case State::FruTitle: {
        const char* quoted = file.GetQuotedString(line, kQuote);
        if (!quoted || fru.locator.SetName(quoted) != 0)
            return fieldError();
        return State::StartAddr;
    }
    case State::StartAddr:
        return State::DataLen; // its value is ignored
    case State::DataLen:
        if (!ReadHexItem(text, length, row.keyword, 0xFFFF, &value))
            return fieldError();
        fru.ComputeAreaLengths(static_cast<uint16_t>(value));
        return State::NvsType;
    case State::NvsType: {
        const char* quoted = file.GetQuotedString(line, kQuote);
        if (!quoted)
            return fieldError();
        if (std::strcmp(quoted, "AT24CO2") == 0)
            fru.locator.nvsType = 0;
        else if (std::strcmp(quoted, "DS1624S") == 0)
            fru.locator.nvsType = 1;
        else if (std::strcmp(quoted, "KSBDEVICE") == 0)
            fru.locator.nvsType = 2;
        else
            return fieldError();
        return State::DevId;
    }
    case State::DevId:
    case State::DevCntr:
    case State::NvsLun:
    case State::DevBus:
    case State::DevAddress: {
        if (!ReadHexItem(text, length, row.keyword, 0xFF, &value))
            return fieldError();
        const auto byte = static_cast<uint8_t>(value);
        FruLocator& l = fru.locator;
        if (s == State::DevId)
            l.deviceId = byte;
        else if (s == State::DevCntr)
            l.controller = byte;
        else if (s == State::NvsLun)
            l.lun = byte;
        else if (s == State::DevBus)
            l.bus = byte;
        else
            l.deviceAddress = byte;
        return static_cast<State>(static_cast<int>(s) + 1);
    }
    default:
        break;
    }

    // An area section: collect its bytes, hand them to the area's consumer.
    const char16_t* areaName = Frame::GetString(row.message);
    const uint8_t* data = nullptr;
    uint32_t count = 0;
    const uint32_t status = FruFileReader::ParseArea(row.keyword, file, line, &data, &count);
    if (status != 0) {
        ORV_FAIL(u"CFru::ReadFRUFromFile", u"Area Parse Error");
        FruFileReader::SetParseAreaErrorMessage(status, areaName, path);
        ORV_FAIL(u"CFru::ReadFRUFromFile", u"File Read Error");
        return State::Failed;
    }
    bool ok = false;
    switch (s) {
    case State::Common:
        // The first 8 bytes; the cleared collector gives zeros after the count.
        ok = fru.DecodeHeader(data) == 0;
        break;
    case State::Internal:
        ok = fru.internalArea.SetData(data, count, 0);
        break;
    case State::Chassis:
        ok = fru.chassisArea.SetData(data, count);
        break;
    case State::Board:
        ok = fru.boardArea.SetData(data, count);
        break;
    case State::Product:
        ok = fru.productArea.SetData(data, count);
        break;
    default: // the multi-record area
        fru.multiRecLength = static_cast<uint16_t>(count);
        ok = fru.DecodeMultiRecArea(data) == 0;
        break;
    }
    if (!ok) {
        Frame::Fail(u"CFru::ReadFRUFromFile", u"Area Parse Error", kMsgFileBadArea, areaName, path);
        ORV_FAIL(u"CFru::ReadFRUFromFile", u"File Read Error");
        return State::Failed;
    }
    return s == State::MultiRec ? State::Done : NextDeclared(fru.header, s);
}
} // namespace

uint32_t FruFileReader::Read(CFru& fru, const char* path) {
    ORV_ENTRY(u"CFru::ReadFRUFromFile");
    if (!path)
        return Frame::Unexpected(u"CFru::ReadFRUFromFile", ORVANE_E_CONFIG_FILE_READ);
    LineFile file;
    if (!file.Open(path)) {
        Frame::Fail(u"CFru::ReadFRUFromFile", u"Unexpected", kMsgFileCannotOpen, path);
        return ORVANE_E_CONFIG_FILE_READ;
    }
    file.CutAllAtSequence("//");
    file.TrimAll();

    State state = State::LfName;
    for (uint32_t i = 0; i < file.GetNumLines() && state != State::Done && state != State::Failed;
         ++i) {
        // Try the awaited item, then (for optional items) the ones after it;
        // the state changes only where a row acts.
        for (State s = state; s != State::Failed;) {
            const StateRow row = Row(s);
            const bool found = s == State::FruBlock
                                   ? file.Contains(i, "_FRU") && file.Contains(i, "(")
                                   : file.Contains(i, row.keyword);
            if (!found) {
                s = row.orElse;
                continue;
            }
            state = Step(fru, s, file, i, path);
            break;
        }
    }
    if (state == State::Failed)
        return ORVANE_E_CONFIG_FILE_READ;
    if (state != State::Done) {
        ORV_FAIL(u"CFru::ReadFRUFromFile", u"Unexpected EOF");
        Frame::Fail(u"CFru::ReadFRUFromFile", u"File Read Error", kMsgFileEnded, path);
        return ORVANE_E_CONFIG_FILE_READ;
    }
    ORV_EXIT(u"CFru::ReadFRUFromFile");
    return 0;
}
