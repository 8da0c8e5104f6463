#include "fru/CBoardInfoArea.h"

#include "orvane/orvane.h"
#include "support/Frame.h"
#include "support/MessageIds.h"
#include "support/Trace.h"
#include "support/Utf16.h"

#include <cstring>
#include <ctime>

namespace {
constexpr uint32_t kFirstEnum = 5;
constexpr uint32_t kDateTextUnits = 256;
constexpr const char16_t* kTooLong = u"FRU Data too long";
} // namespace

CBoardInfoArea::~CBoardInfoArea() {
    delete customFields;
}

bool CBoardInfoArea::SetData(const uint8_t* data, uint32_t size) {
    ORV_ENTRY(u"CBoardInfoArea::SetData");
    bool compute = false;
    bool ok = InfoAreaCodec::ParseStart(data, size, formatVersion, length);
    if (ok) {
        languageCode = data[2];
        ok = size > kFieldsStart;
    }
    if (ok) {
        std::memcpy(mfgDateTime, data + 3, FruDefs::kDateBytes);
        ok = InfoAreaCodec::ParseFields(data, size, kFieldsStart, fields, kFixedCount, customFields,
                                        customCount, GetLength(), compute, checksum);
    }
    if (ok && compute)
        UpdateChecksum();
    ok = ok && IsValid();
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
    const uint8_t head[kFieldsStart] = {formatVersion,  length,         languageCode,
                                        mfgDateTime[0], mfgDateTime[1], mfgDateTime[2]};
    InfoAreaCodec::Serialize(image, head, kFieldsStart, fields, kFixedCount, customFields, length,
                             checksum);
    return image;
}

bool CBoardInfoArea::SetLength(uint32_t bytes) {
    if (!InfoAreaCodec::ToUnitLength(bytes, length))
        return false;
    UpdateChecksum();
    return true;
}

uint32_t CBoardInfoArea::Sum() const {
    return formatVersion + length + languageCode + mfgDateTime[0] + mfgDateTime[1] +
           mfgDateTime[2] + InfoAreaCodec::FieldSum(fields, kFixedCount, customFields);
}

bool CBoardInfoArea::IsValid() const {
    return InfoAreaCodec::ChecksumHolds(Sum(), checksum);
}

uint8_t CBoardInfoArea::UpdateChecksum() {
    checksum = InfoAreaCodec::ChecksumFor(Sum());
    return checksum;
}

int32_t CBoardInfoArea::GetPadLength() const {
    return InfoAreaCodec::PadLength(length, kOverhead, fields, kFixedCount, customFields);
}

bool CBoardInfoArea::SetFixed(uint32_t field, const uint8_t* data, uint32_t len, uint8_t typeBits) {
    static const InfoAreaCodec::Refusal refusals[kFixedCount] = {
        {u"CBoardInfoArea::SetManufacturer", kTooLong, kMsgBoardFirstTitle + 1},
        {u"CBoardInfoArea::SetProductName", kTooLong, kMsgBoardFirstTitle + 2},
        {u"CBoardInfoArea::SetSerialNumber", kTooLong, kMsgBoardFirstTitle + 3},
        {u"CBoardInfoArea::SetPartNumber", kTooLong, kMsgBoardFirstTitle + 4},
        {u"CBoardInfoArea::SetFileId", kTooLong, kMsgBoardFirstTitle + 5}};
    if (!InfoAreaCodec::SetField(fields[field], data, len, typeBits, GetPadLength(),
                                 &refusals[field]))
        return false;
    UpdateChecksum();
    return true;
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
    static const InfoAreaCodec::Refusal refusal = {u"CBoardInfoArea::SetCustomField", kTooLong,
                                                   kMsgBoardCustomTitle};
    if (!InfoAreaCodec::SetCustom(customFields, position, data, len, typeBits, GetPadLength(),
                                  &refusal))
        return false;
    UpdateChecksum();
    return true;
}

int32_t CBoardInfoArea::GetFieldIndexFromEnum(uint32_t fieldEnum) const {
    if (fieldEnum >= kFirstEnum && fieldEnum <= kFirstEnum + kFixedCount)
        return static_cast<int32_t>(fieldEnum - kFirstEnum);
    ORV_FAIL(u"CBoardInfoArea::GetFieldIndexFromEnum", u"Invalid Selection");
    return -1;
}

const char16_t* CBoardInfoArea::GetFieldTitleFromIndex(uint32_t index) const {
    if (index <= kFixedCount)
        return Frame::GetString(kMsgBoardFirstTitle + index);
    if (index < GetNumberOfFields())
        return Frame::GetString(kMsgBoardCustomTitle);
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
            Frame::Fail(u"CBoardInfoArea::GetFieldValueFromIndex", u"Invalid Timestamp",
                        kMsgInvalidTimestamp);
            return nullptr;
        }
        char16_t buffer[kDateTextUnits] = {};
        if (const char16_t* format = Frame::GetString(kMsgDateFormat))
            Utf16::Format(buffer, kDateTextUnits, format, parts.tm_mon + 1, parts.tm_mday,
                          parts.tm_year + 1900, parts.tm_hour, parts.tm_min, parts.tm_sec);
        text = InfoAreaCodec::CopyWide(buffer);
    } else if (index <= kFixedCount) {
        text = InfoAreaCodec::ToWide(fields[index - 1]);
    } else if (index < GetNumberOfFields()) {
        if (GetCustomField(InfoAreaCodec::ReversedPosition(index, kFixedCount + 1, customCount),
                           &text) != ORVANE_OK)
            return nullptr;
    } else {
        Frame::Fail(u"CBoardInfoArea::GetFieldValueFromIndex", u"No such FRU Field",
                    kMsgNoSuchField);
        return nullptr;
    }
    if (!text) {
        Frame::Fail(u"CBoardInfoArea::GetFieldValueFromIndex", u"FRU Error allocation",
                    kMsgNoMemory);
        return nullptr;
    }
    value.reset(text);
    ORV_EXIT(u"CBoardInfoArea::GetFieldValueFromIndex");
    return value.get();
}

bool CBoardInfoArea::GetFieldData(uint32_t index, const uint8_t** data, uint32_t* size) const {
    if (index == 0)
        return InfoAreaCodec::HandOut(mfgDateTime, FruDefs::kDateBytes, data, size);
    return InfoAreaCodec::FieldData(fields, kFixedCount, customFields, customCount, index - 1, data,
                                    size);
}

bool CBoardInfoArea::SetFieldData(uint32_t index, const uint8_t* data, uint32_t size,
                                  uint8_t typeBits) {
    ORV_ENTRY(u"CBoardInfoArea::SetFieldData");
    bool ok = false;
    if (index == 0) {
        ok = size == FruDefs::kDateBytes && SetMfgDateTime(data, size);
        if (!ok)
            Frame::Fail(u"CBoardInfoArea::SetFieldData", u"Invalid Mfg Date Time", kMsgBadDate);
    } else if (index <= kFixedCount) {
        ok = SetFixed(index - 1, data, size, typeBits);
    } else if (index < GetNumberOfFields()) {
        ok = SetCustomField(InfoAreaCodec::ReversedPosition(index, kFixedCount + 1, customCount),
                            data, size, typeBits);
    } else {
        Frame::Fail(u"CBoardInfoArea::SetFieldData", u"No such FRU Field", kMsgNoSuchField);
    }
    if (ok)
        modified = 1;
    ORV_EXIT(u"CBoardInfoArea::SetFieldData");
    return ok;
}

uint32_t CBoardInfoArea::GetCustomField(uint32_t position, char16_t** value) const {
    // Unlike its sisters, the board area writes no line for an allocation failure.
    return InfoAreaCodec::CustomValue(customFields, customCount, position, value,
                                      u"CBoardInfoArea::GetCustomField", false);
}
