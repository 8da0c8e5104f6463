#include "fru/CProductInfoArea.h"

#include "orvane/orvane.h"
#include "support/Frame.h"
#include "support/MessageIds.h"
#include "support/Trace.h"

#include <cstring>

namespace {
constexpr uint32_t kFirstEnum = 11;
constexpr const char16_t* kTooLong = u"FRU Data Too Long";
} // namespace

CProductInfoArea::~CProductInfoArea() {
    delete customFields;
}

bool CProductInfoArea::SetData(const uint8_t* data, uint32_t size) {
    ORV_ENTRY(u"CProductInfoArea::SetData");
    bool compute = false;
    bool ok = InfoAreaCodec::ParseStart(data, size, formatVersion, length);
    if (ok) {
        languageCode = data[2];
        ok = InfoAreaCodec::ParseFields(data, size, kFieldsStart, fields, kFixedCount, customFields,
                                        customCount, GetLength(), compute, checksum);
    }
    if (ok && compute)
        UpdateChecksum();
    ok = ok && IsValid();
    ORV_EXIT(u"CProductInfoArea::SetData");
    return ok;
}

bool CProductInfoArea::ParseField(const uint8_t* in, uint32_t size, uint32_t& pos,
                                  uint8_t& typeLength, std::unique_ptr<uint8_t[]>& data) {
    return InfoAreaCodec::ParseField(in, size, pos, typeLength, data);
}

bool CProductInfoArea::ParseCustomField(const uint8_t* in, uint32_t size, uint32_t& pos) {
    return InfoAreaCodec::ParseCustomFields(in, size, pos, customFields, customCount);
}

const uint8_t* CProductInfoArea::GetData() {
    const uint8_t head[kFieldsStart] = {formatVersion, length, languageCode};
    InfoAreaCodec::Serialize(image, head, kFieldsStart, fields, kFixedCount, customFields, length,
                             checksum);
    return image;
}

bool CProductInfoArea::SetLength(uint32_t bytes) {
    if (!InfoAreaCodec::ToUnitLength(bytes, length))
        return false;
    UpdateChecksum();
    return true;
}

uint32_t CProductInfoArea::Sum() const {
    return formatVersion + length + languageCode +
           InfoAreaCodec::FieldSum(fields, kFixedCount, customFields);
}

bool CProductInfoArea::IsValid() const {
    return InfoAreaCodec::ChecksumHolds(Sum(), checksum);
}

uint8_t CProductInfoArea::UpdateChecksum() {
    checksum = InfoAreaCodec::ChecksumFor(Sum());
    return checksum;
}

int32_t CProductInfoArea::GetPadLength() const {
    return InfoAreaCodec::PadLength(length, kOverhead, fields, kFixedCount, customFields);
}

bool CProductInfoArea::SetFixed(uint32_t field, const uint8_t* data, uint32_t len,
                                uint8_t typeBits) {
    static const InfoAreaCodec::Refusal refusals[kFixedCount] = {
        {u"CProductInfoArea::SetManufacturerName", kTooLong, kMsgProductFirstTitle},
        {u"CProductInfoArea::SetProductName", kTooLong, kMsgProductFirstTitle + 1},
        {u"CProductInfoArea::SetPartNumber", kTooLong, kMsgProductFirstTitle + 2},
        {u"CProductInfoArea::SetVersion", kTooLong, kMsgProductFirstTitle + 3},
        {u"CProductInfoArea::SetSerialNumber", kTooLong, kMsgProductFirstTitle + 4},
        {u"CProductInfoArea::SetAssetTag", kTooLong, kMsgProductFirstTitle + 5},
        {u"CProductInfoArea::SetFileId", kTooLong, kMsgProductFirstTitle + 6}};
    if (!InfoAreaCodec::SetField(fields[field], data, len, typeBits, GetPadLength(),
                                 &refusals[field]))
        return false;
    UpdateChecksum();
    return true;
}

bool CProductInfoArea::SetManufacturerName(const uint8_t* d, uint32_t n, uint8_t t) {
    return SetFixed(kManufacturerName, d, n, t);
}
bool CProductInfoArea::SetProductName(const uint8_t* d, uint32_t n, uint8_t t) {
    return SetFixed(kProductName, d, n, t);
}
bool CProductInfoArea::SetPartNumber(const uint8_t* d, uint32_t n, uint8_t t) {
    return SetFixed(kPartNumber, d, n, t);
}
bool CProductInfoArea::SetVersion(const uint8_t* d, uint32_t n, uint8_t t) {
    return SetFixed(kVersion, d, n, t);
}
bool CProductInfoArea::SetSerialNumber(const uint8_t* d, uint32_t n, uint8_t t) {
    return SetFixed(kSerialNumber, d, n, t);
}
bool CProductInfoArea::SetAssetTag(const uint8_t* d, uint32_t n, uint8_t t) {
    return SetFixed(kAssetTag, d, n, t);
}
bool CProductInfoArea::SetFileId(const uint8_t* d, uint32_t n, uint8_t t) {
    return SetFixed(kFileId, d, n, t);
}

bool CProductInfoArea::SetCustomField(uint32_t position, const uint8_t* data, uint32_t len,
                                      uint8_t typeBits) {
    static const InfoAreaCodec::Refusal refusal = {u"CProductInfoArea::SetCustomField", kTooLong,
                                                   kMsgProductCustomTitle};
    if (!InfoAreaCodec::SetCustom(customFields, position, data, len, typeBits, GetPadLength(),
                                  &refusal))
        return false;
    UpdateChecksum();
    return true;
}

int32_t CProductInfoArea::GetFieldIndexFromEnum(uint32_t fieldEnum) const {
    if (fieldEnum >= kFirstEnum && fieldEnum < kFirstEnum + kFixedCount)
        return static_cast<int32_t>(fieldEnum - kFirstEnum);
    return -1;
}

const char16_t* CProductInfoArea::GetFieldTitleFromIndex(uint32_t index) const {
    if (index < kFixedCount)
        return Frame::GetString(kMsgProductFirstTitle + index);
    if (index < GetNumberOfFields())
        return Frame::GetString(kMsgProductCustomTitle);
    return nullptr;
}

const char16_t* CProductInfoArea::GetFieldValueFromIndex(uint32_t index) {
    ORV_ENTRY(u"CProductInfoArea::GetFieldValueFromIndex");
    value.reset();
    char16_t* text = nullptr;
    if (index < kFixedCount) {
        text = InfoAreaCodec::ToWide(fields[index]);
        if (!text) {
            Frame::Fail(u"CProductInfoArea::GetFieldValueFromIndex", u"FRU Error Allocation",
                        kMsgNoMemory);
            return nullptr;
        }
    } else if (index < GetNumberOfFields()) {
        if (GetCustomField(InfoAreaCodec::ReversedPosition(index, kFixedCount, customCount),
                           &text) != ORVANE_OK)
            return nullptr;
    } else {
        Frame::Fail(u"CProductInfoArea::GetFieldValueFromIndex", u"No such FRU Field",
                    kMsgNoSuchField);
        return nullptr;
    }
    value.reset(text);
    ORV_EXIT(u"CProductInfoArea::GetFieldValueFromIndex");
    return value.get();
}

bool CProductInfoArea::GetFieldData(uint32_t index, const uint8_t** data, uint32_t* size) const {
    return InfoAreaCodec::FieldData(fields, kFixedCount, customFields, customCount, index, data,
                                    size);
}

bool CProductInfoArea::SetFieldData(uint32_t index, const uint8_t* data, uint32_t size,
                                    uint8_t typeBits) {
    ORV_ENTRY(u"CProductInfoArea::SetFieldData");
    bool ok = false;
    if (index < kFixedCount)
        ok = SetFixed(index, data, size, typeBits);
    else if (index < GetNumberOfFields())
        ok = SetCustomField(InfoAreaCodec::ReversedPosition(index, kFixedCount, customCount), data,
                            size, typeBits);
    else
        Frame::Fail(u"CProductInfoArea::SetFieldData", u"No such FRU Field", kMsgNoSuchField);
    if (ok)
        modified = 1;
    ORV_EXIT(u"CProductInfoArea::SetFieldData");
    return ok;
}

uint32_t CProductInfoArea::GetCustomField(uint32_t position, char16_t** value) const {
    return InfoAreaCodec::CustomValue(customFields, customCount, position, value,
                                      u"CProductInfoArea::GetCustomField", true);
}
