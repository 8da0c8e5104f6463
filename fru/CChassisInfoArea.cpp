#include "fru/CChassisInfoArea.h"

#include "orvane/orvane.h"
#include "support/Frame.h"
#include "support/MessageIds.h"
#include "support/Trace.h"

#include <cstring>

namespace {
constexpr uint32_t kFirstEnum = 2;
// Chassis types 1..23 (system enclosure types); 10..15 have no catalogue name.
constexpr uint8_t kMaxType = 23;
bool HasTypeName(uint8_t type) {
    return (type >= 1 && type <= 9) || (type >= 16 && type <= 23);
}
} // namespace

CChassisInfoArea::~CChassisInfoArea() {
    delete customFields;
}

bool CChassisInfoArea::SetData(const uint8_t* data, uint32_t size) {
    ORV_ENTRY(u"CChassisInfoArea::SetData");
    bool compute = false;
    bool ok = InfoAreaCodec::ParseStart(data, size, formatVersion, length);
    if (ok) {
        type = data[2];
        ok = InfoAreaCodec::ParseFields(data, size, kFieldsStart, fields, kFixedCount, customFields,
                                        customCount, GetLength(), compute, checksum);
    }
    if (ok && compute)
        UpdateChecksum();
    ok = ok && IsValid();
    ORV_EXIT(u"CChassisInfoArea::SetData");
    return ok;
}

bool CChassisInfoArea::ParseField(const uint8_t* in, uint32_t size, uint32_t& pos,
                                  uint8_t& typeLength, std::unique_ptr<uint8_t[]>& data) {
    return InfoAreaCodec::ParseField(in, size, pos, typeLength, data);
}

bool CChassisInfoArea::ParseCustomField(const uint8_t* in, uint32_t size, uint32_t& pos) {
    return InfoAreaCodec::ParseCustomFields(in, size, pos, customFields, customCount);
}

const uint8_t* CChassisInfoArea::GetData() {
    const uint8_t head[kFieldsStart] = {formatVersion, length, type};
    InfoAreaCodec::Serialize(image, head, kFieldsStart, fields, kFixedCount, customFields, length,
                             checksum);
    return image;
}

bool CChassisInfoArea::SetLength(uint32_t bytes) {
    if (!InfoAreaCodec::ToUnitLength(bytes, length))
        return false;
    UpdateChecksum();
    return true;
}

uint32_t CChassisInfoArea::Sum() const {
    return formatVersion + length + type +
           InfoAreaCodec::FieldSum(fields, kFixedCount, customFields);
}

bool CChassisInfoArea::IsValid() const {
    return InfoAreaCodec::ChecksumHolds(Sum(), checksum);
}

uint8_t CChassisInfoArea::UpdateChecksum() {
    checksum = InfoAreaCodec::ChecksumFor(Sum());
    return checksum;
}

int32_t CChassisInfoArea::GetPadLength() const {
    return InfoAreaCodec::PadLength(length, kOverhead, fields, kFixedCount, customFields);
}

const char16_t* CChassisInfoArea::GetChassisString() const {
    return HasTypeName(type) ? Frame::GetString(kMsgFirstChassisType + type - 1) : nullptr;
}

bool CChassisInfoArea::SetType(uint8_t value) {
    if (value == 0 || value > kMaxType)
        return false;
    type = value;
    UpdateChecksum();
    return true;
}

// The chassis setters fail silently: no trace line, no last error.
bool CChassisInfoArea::SetFixed(uint32_t field, const uint8_t* data, uint32_t len,
                                uint8_t typeBits) {
    if (!InfoAreaCodec::SetField(fields[field], data, len, typeBits, GetPadLength(), nullptr))
        return false;
    UpdateChecksum();
    return true;
}

bool CChassisInfoArea::SetPartNumber(const uint8_t* d, uint32_t n, uint8_t t) {
    return SetFixed(kPartNumber, d, n, t);
}

bool CChassisInfoArea::SetSerialNumber(const uint8_t* d, uint32_t n, uint8_t t) {
    return SetFixed(kSerialNumber, d, n, t);
}

bool CChassisInfoArea::SetCustomField(uint32_t position, const uint8_t* data, uint32_t len,
                                      uint8_t typeBits) {
    if (!InfoAreaCodec::SetCustom(customFields, position, data, len, typeBits, GetPadLength(),
                                  nullptr))
        return false;
    UpdateChecksum();
    return true;
}

int32_t CChassisInfoArea::GetFieldIndexFromEnum(uint32_t fieldEnum) const {
    if (fieldEnum >= kFirstEnum && fieldEnum <= kFirstEnum + kFixedCount)
        return static_cast<int32_t>(fieldEnum - kFirstEnum);
    return -1;
}

const char16_t* CChassisInfoArea::GetFieldTitleFromIndex(uint32_t index) const {
    if (index <= kFixedCount)
        return Frame::GetString(kMsgChassisFirstTitle + index);
    if (index < GetNumberOfFields())
        return Frame::GetString(kMsgChassisCustomTitle);
    return nullptr;
}

const char16_t* CChassisInfoArea::GetFieldValueFromIndex(uint32_t index) {
    ORV_ENTRY(u"CChassisInfoArea::GetFieldValueFromIndex");
    value.reset();
    char16_t* text = nullptr;
    if (index == 0) {
        text = InfoAreaCodec::CopyWide(GetChassisString());
    } else if (index <= kFixedCount) {
        text = InfoAreaCodec::ToWide(fields[index - 1]);
    } else if (index < GetNumberOfFields()) {
        if (GetCustomField(InfoAreaCodec::ReversedPosition(index, kFixedCount + 1, customCount),
                           &text) != ORVANE_OK)
            return nullptr;
    } else {
        Frame::Fail(u"CChassisInfoArea::GetFieldValueFromIndex", u"No such FRU Field",
                    kMsgNoSuchField);
        return nullptr;
    }
    value.reset(text);
    ORV_EXIT(u"CChassisInfoArea::GetFieldValueFromIndex");
    return value.get();
}

bool CChassisInfoArea::GetFieldData(uint32_t index, const uint8_t** data, uint32_t* size) const {
    if (index == 0)
        return InfoAreaCodec::HandOut(&type, 1, data, size);
    return InfoAreaCodec::FieldData(fields, kFixedCount, customFields, customCount, index - 1, data,
                                    size);
}

bool CChassisInfoArea::SetFieldData(uint32_t index, const uint8_t* data, uint32_t size,
                                    uint8_t typeBits) {
    ORV_ENTRY(u"CChassisInfoArea::SetFieldData");
    bool ok = false;
    if (index == 0)
        ok = size == 1 && data && SetType(data[0]);
    else if (index == 1)
        ok = SetPartNumber(data, size, typeBits);
    else if (index == 2)
        ok = SetSerialNumber(data, size, typeBits);
    else if (index < GetNumberOfFields())
        ok = SetCustomField(InfoAreaCodec::ReversedPosition(index, kFixedCount + 1, customCount),
                            data, size, typeBits);
    if (ok)
        modified = 1;
    ORV_EXIT(u"CChassisInfoArea::SetFieldData");
    return ok;
}

uint32_t CChassisInfoArea::GetCustomField(uint32_t position, char16_t** value) const {
    return InfoAreaCodec::CustomValue(customFields, customCount, position, value,
                                      u"CChassisInfoArea::GetCustomField", true);
}
