#include "fru/CBoardInfoArea.h"

#include "api/Frame.h"
#include "support/Trace.h"
#include "support/Utf16.h"

#include <cstring>
#include <ctime>

namespace {
constexpr uint32_t kTitleDate = 14;
constexpr uint32_t kTitleCustom = 20;
constexpr uint32_t kFirstEnum = 5;
constexpr uint32_t kDateTextUnits = 256;
} // namespace

CBoardInfoArea::~CBoardInfoArea() {
    delete customFields;
}

bool CBoardInfoArea::SetData(const uint8_t* data, uint32_t size) {
    ORV_ENTRY(u"CBoardInfoArea::SetData");
    bool ok = false;
    uint32_t pos = kFieldsStart;
    bool compute = false;
    if (!data || size == 0 || size > FruDefs::kMaxAreaBytes)
        goto done;
    formatVersion = data[0];
    if (size < 2)
        goto done;
    length = data[1];
    if (size > GetLength() || GetLength() > FruDefs::kMaxAreaBytes || size < 3)
        goto done;
    languageCode = data[2];
    if (size < kFieldsStart + 1)
        goto done;
    std::memcpy(mfgDateTime, data + 3, FruDefs::kDateBytes);
    for (auto& field : fields)
        if (!ParseField(data, size, pos, field.typeLength, field.data))
            goto done;
    if (!ParseCustomField(data, size, pos))
        goto done;
    if (!InfoAreaCodec::ParseTail(data, size, pos, GetLength(), compute, checksum))
        goto done;
    if (compute)
        UpdateChecksum();
    ok = IsValid();
done:
    ORV_EXIT(u"CBoardInfoArea::SetData");
    return ok;
}

bool CBoardInfoArea::ParseField(const uint8_t* in, uint32_t size, uint32_t& pos,
                                uint8_t& typeLength, std::unique_ptr<uint8_t[]>& data) {
    return InfoAreaCodec::ParseField(in, size, pos, typeLength, data);
}

bool CBoardInfoArea::ParseCustomField(const uint8_t* in, uint32_t size, uint32_t& pos) {
    return InfoAreaCodec::ParseCustomFields(in, size, pos, customFields, customCount);
}

const uint8_t* CBoardInfoArea::GetData() {
    std::memset(image, 0, sizeof image);
    image[0] = formatVersion;
    image[1] = length;
    image[2] = languageCode;
    std::memcpy(image + 3, mfgDateTime, FruDefs::kDateBytes);
    InfoAreaCodec::Serialize(image, kFieldsStart, fields, kFixedCount, customFields, length,
                             checksum);
    return image;
}

bool CBoardInfoArea::SetLength(uint32_t bytes) {
    // The image buffer holds one 512-byte area; longer lengths are refused.
    if (bytes % FruDefs::kUnitBytes != 0 || bytes > FruDefs::kMaxAreaBytes)
        return false;
    length = static_cast<uint8_t>(bytes / FruDefs::kUnitBytes);
    UpdateChecksum();
    return true;
}

static uint32_t BoardSum(uint8_t formatVersion, uint8_t length, uint8_t language,
                         const uint8_t* date, const InfoAreaCodec::Field* fields, size_t count,
                         const CCustomField* chain) {
    return formatVersion + length + language + date[0] + date[1] + date[2] +
           InfoAreaCodec::FieldSum(fields, count, chain);
}

bool CBoardInfoArea::IsValid() const {
    const uint32_t sum = BoardSum(formatVersion, length, languageCode, mfgDateTime, fields,
                                  kFixedCount, customFields);
    return ((sum + checksum) & 0xFF) == 0;
}

uint8_t CBoardInfoArea::UpdateChecksum() {
    const uint32_t sum = BoardSum(formatVersion, length, languageCode, mfgDateTime, fields,
                                  kFixedCount, customFields);
    checksum = static_cast<uint8_t>(0x100 - (sum & 0xFF));
    return checksum;
}

int32_t CBoardInfoArea::GetPadLength() const {
    return InfoAreaCodec::PadLength(length, kOverhead, fields, kFixedCount, customFields);
}

bool CBoardInfoArea::SetFixed(uint32_t field, const uint8_t* data, uint32_t len, uint8_t typeBits) {
    using InfoAreaCodec::SetResult;
    const SetResult result =
        InfoAreaCodec::SetField(fields[field], data, len, typeBits, GetPadLength());
    if (result == SetResult::Ok) {
        UpdateChecksum();
        return true;
    }
    static const char16_t* const names[kFixedCount] = {
        u"CBoardInfoArea::SetManufacturer", u"CBoardInfoArea::SetProductName",
        u"CBoardInfoArea::SetSerialNumber", u"CBoardInfoArea::SetPartNumber",
        u"CBoardInfoArea::SetFileId"};
    const char16_t* reason = result == SetResult::NullData  ? u" - Unexpected"
                             : result == SetResult::TooLong ? u" - FRU Data too long"
                                                            : u" - FRU Error Allocation";
    Trace::Write(Utf16::FormatString(u"%ls%ls", names[field], reason).c_str(), Trace::kFailure);
    if (result == SetResult::NullData)
        Frame::SetLastErrorMessage(FruDefs::kMsgUnexpected);
    else if (result == SetResult::TooLong)
        Frame::SetLastError(Frame::GetString(FruDefs::kMsgTooLong),
                            Frame::GetString(kTitleDate + 1 + field));
    else
        Frame::SetLastErrorMessage(FruDefs::kMsgNoMemory);
    return false;
}

bool CBoardInfoArea::SetManufacturer(const uint8_t* d, uint32_t n, uint8_t t) {
    return SetFixed(kManufacturer, d, n, t);
}
bool CBoardInfoArea::SetProductName(const uint8_t* d, uint32_t n, uint8_t t) {
    return SetFixed(kProductName, d, n, t);
}
bool CBoardInfoArea::SetSerialNumber(const uint8_t* d, uint32_t n, uint8_t t) {
    return SetFixed(kSerialNumber, d, n, t);
}
bool CBoardInfoArea::SetPartNumber(const uint8_t* d, uint32_t n, uint8_t t) {
    return SetFixed(kPartNumber, d, n, t);
}
bool CBoardInfoArea::SetFileId(const uint8_t* d, uint32_t n, uint8_t t) {
    return SetFixed(kFileId, d, n, t);
}

bool CBoardInfoArea::SetMfgDateTime(const uint8_t* data, uint32_t size) {
    if (!data || size != FruDefs::kDateBytes)
        return false;
    std::memcpy(mfgDateTime, data, FruDefs::kDateBytes);
    UpdateChecksum();
    return true;
}

bool CBoardInfoArea::SetCustomField(uint32_t position, const uint8_t* data, uint32_t len,
                                    uint8_t typeBits) {
    using InfoAreaCodec::SetResult;
    const SetResult result =
        InfoAreaCodec::SetCustom(customFields, position, data, len, typeBits, GetPadLength());
    switch (result) {
    case SetResult::Ok:
        UpdateChecksum();
        return true;
    case SetResult::NullData:
        ORV_FAIL_MSG(u"CBoardInfoArea::SetCustomField", u"Unexpected", FruDefs::kMsgUnexpected);
        return false;
    case SetResult::NoSuchField:
        ORV_FAIL_MSG(u"CBoardInfoArea::SetCustomField", u"No such FRU Field",
                     FruDefs::kMsgNoSuchField);
        return false;
    default:
        ORV_FAIL(u"CBoardInfoArea::SetCustomField", u"FRU Data too long");
        Frame::SetLastError(Frame::GetString(FruDefs::kMsgTooLong), Frame::GetString(kTitleCustom));
        return false;
    }
}

int32_t CBoardInfoArea::GetFieldIndexFromEnum(uint32_t fieldEnum) const {
    if (fieldEnum >= kFirstEnum && fieldEnum <= kFirstEnum + kFixedCount)
        return static_cast<int32_t>(fieldEnum - kFirstEnum);
    ORV_FAIL(u"CBoardInfoArea::GetFieldIndexFromEnum", u"Invalid Selection");
    return -1;
}

const char16_t* CBoardInfoArea::GetFieldTitleFromIndex(uint32_t index) const {
    if (index <= kFixedCount)
        return Frame::GetString(kTitleDate + index);
    if (index < GetNumberOfFields())
        return Frame::GetString(kTitleCustom);
    ORV_FAIL(u"CBoardInfoArea::GetFieldTitleFromIndex", u"Null selection");
    return nullptr;
}

const char16_t* CBoardInfoArea::GetFieldValueFromIndex(uint32_t index) {
    ORV_ENTRY(u"CBoardInfoArea::GetFieldValueFromIndex");
    value.reset();
    char16_t* text = nullptr;
    if (index == 0) {
        const uint32_t minutes = mfgDateTime[0] | (mfgDateTime[1] << 8) | (mfgDateTime[2] << 16);
        const std::time_t instant =
            static_cast<std::time_t>(FruDefs::kBoardDateEpoch + int64_t{minutes} * 60);
        std::tm parts{};
        if (!gmtime_r(&instant, &parts)) {
            ORV_FAIL_MSG(u"CBoardInfoArea::GetFieldValueFromIndex", u"Invalid Timestamp",
                         FruDefs::kMsgInvalidTimestamp);
            return nullptr;
        }
        char16_t buffer[kDateTextUnits] = {};
        if (const char16_t* format = Frame::GetString(FruDefs::kMsgDateFormat))
            Utf16::Format(buffer, kDateTextUnits, format, parts.tm_mon + 1, parts.tm_mday,
                          parts.tm_year + 1900, parts.tm_hour, parts.tm_min, parts.tm_sec);
        text = InfoAreaCodec::CopyWide(buffer);
    } else if (index <= kFixedCount) {
        const auto& field = fields[index - 1];
        text = InfoAreaCodec::ToWide(field.data.get(), field.Length());
    } else if (index < GetNumberOfFields()) {
        if (GetCustomField(customCount + kFixedCount - index, &text) != FruDefs::kStatusOk)
            return nullptr;
    } else {
        ORV_FAIL_MSG(u"CBoardInfoArea::GetFieldValueFromIndex", u"No such FRU Field",
                     FruDefs::kMsgNoSuchField);
        return nullptr;
    }
    if (!text) {
        ORV_FAIL_MSG(u"CBoardInfoArea::GetFieldValueFromIndex", u"FRU Error allocation",
                     FruDefs::kMsgNoMemory);
        return nullptr;
    }
    value.reset(text);
    ORV_EXIT(u"CBoardInfoArea::GetFieldValueFromIndex");
    return value.get();
}

bool CBoardInfoArea::GetFieldData(uint32_t index, const uint8_t** data, uint32_t* size) const {
    const uint8_t* outData = nullptr;
    uint32_t outSize = 0;
    bool ok = true;
    if (index == 0) {
        outData = mfgDateTime;
        outSize = FruDefs::kDateBytes;
    } else if (index <= kFixedCount) {
        outData = fields[index - 1].data.get();
        outSize = outData ? fields[index - 1].Length() : 0;
    } else if (index < GetNumberOfFields()) {
        const CCustomField* field = InfoAreaCodec::CustomAt(customFields, index - kFixedCount - 1);
        ok = field != nullptr;
        if (ok) {
            outData = field->data;
            outSize = FruDefs::DecodeLength(field->typeLength);
        }
    } else {
        ok = false;
    }
    if (data)
        *data = outData;
    if (size)
        *size = outSize;
    return ok;
}

bool CBoardInfoArea::SetFieldData(uint32_t index, const uint8_t* data, uint32_t size,
                                  uint8_t typeBits) {
    ORV_ENTRY(u"CBoardInfoArea::SetFieldData");
    bool ok = false;
    if (index == 0) {
        ok = size == FruDefs::kDateBytes && SetMfgDateTime(data, size);
        if (!ok)
            ORV_FAIL_MSG(u"CBoardInfoArea::SetFieldData", u"Invalid Mfg Date Time",
                         FruDefs::kMsgBadDate);
    } else if (index <= kFixedCount) {
        ok = SetFixed(index - 1, data, size, typeBits);
    } else if (index < GetNumberOfFields()) {
        ok = SetCustomField(customCount + kFixedCount - index, data, size, typeBits);
    } else {
        ORV_FAIL_MSG(u"CBoardInfoArea::SetFieldData", u"No such FRU Field",
                     FruDefs::kMsgNoSuchField);
    }
    if (ok)
        modified = 1;
    ORV_EXIT(u"CBoardInfoArea::SetFieldData");
    return ok;
}

uint32_t CBoardInfoArea::GetCustomField(uint32_t position, char16_t** out) const {
    using InfoAreaCodec::CustomResult;
    char16_t* text = nullptr;
    const CustomResult result =
        InfoAreaCodec::CustomValue(customFields, customCount, position, text);
    if (out)
        *out = nullptr;
    switch (result) {
    case CustomResult::Ok:
        if (out)
            *out = text;
        else
            delete[] text;
        return FruDefs::kStatusOk;
    case CustomResult::NoSuchField:
        ORV_FAIL_MSG(u"CBoardInfoArea::GetCustomField", u"No such FRU Field",
                     FruDefs::kMsgNoSuchField);
        return FruDefs::kStatusNoSuchField;
    case CustomResult::Unexpected:
        ORV_FAIL_MSG(u"CBoardInfoArea::GetCustomField", u"Unexpected", FruDefs::kMsgUnexpected);
        return FruDefs::kStatusUnexpected;
    default:
        Frame::SetLastErrorMessage(FruDefs::kMsgNoMemory);
        return FruDefs::kStatusNoMemory;
    }
}
