#include "fru/CChassisInfoArea.h"

#include "api/Frame.h"
#include "support/Trace.h"

#include <cstring>

namespace {
constexpr uint32_t kTitleType = 10;
constexpr uint32_t kTitleCustom = 13;
constexpr uint32_t kFirstEnum = 2;
// Chassis types 1..23 (system enclosure types); 10..15 have no catalogue name.
constexpr uint8_t kMaxType = 23;
constexpr uint32_t kTypeNameBase = 35;
bool HasTypeName(uint8_t type) {
    return (type >= 1 && type <= 9) || (type >= 16 && type <= 23);
}
} // namespace

CChassisInfoArea::~CChassisInfoArea() {
    delete customFields;
}

bool CChassisInfoArea::SetData(const uint8_t* data, uint32_t size) {
    ORV_ENTRY(u"CChassisInfoArea::SetData");
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
    type = data[2];
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
    std::memset(image, 0, sizeof image);
    image[0] = formatVersion;
    image[1] = length;
    image[2] = type;
    InfoAreaCodec::Serialize(image, kFieldsStart, fields, kFixedCount, customFields, length,
                             checksum);
    return image;
}

bool CChassisInfoArea::SetLength(uint32_t bytes) {
    // The image buffer holds one 512-byte area; longer lengths are refused.
    if (bytes % FruDefs::kUnitBytes != 0 || bytes > FruDefs::kMaxAreaBytes)
        return false;
    length = static_cast<uint8_t>(bytes / FruDefs::kUnitBytes);
    UpdateChecksum();
    return true;
}

uint32_t CChassisInfoArea::Sum() const {
    return formatVersion + length + type +
           InfoAreaCodec::FieldSum(fields, kFixedCount, customFields);
}

bool CChassisInfoArea::IsValid() const {
    return ((Sum() + checksum) & 0xFF) == 0;
}

uint8_t CChassisInfoArea::UpdateChecksum() {
    checksum = static_cast<uint8_t>(0x100 - (Sum() & 0xFF));
    return checksum;
}

int32_t CChassisInfoArea::GetPadLength() const {
    return InfoAreaCodec::PadLength(length, kOverhead, fields, kFixedCount, customFields);
}

const char16_t* CChassisInfoArea::GetChassisString() const {
    return HasTypeName(type) ? Frame::GetString(kTypeNameBase + type) : nullptr;
}

bool CChassisInfoArea::SetType(uint8_t value) {
    if (value == 0 || value > kMaxType)
        return false;
    type = value;
    UpdateChecksum();
    return true;
}

bool CChassisInfoArea::SetPartNumber(const uint8_t* d, uint32_t n, uint8_t t) {
    if (InfoAreaCodec::SetField(fields[kPartNumber], d, n, t, GetPadLength()) !=
        InfoAreaCodec::SetResult::Ok)
        return false;
    UpdateChecksum();
    return true;
}

bool CChassisInfoArea::SetSerialNumber(const uint8_t* d, uint32_t n, uint8_t t) {
    if (InfoAreaCodec::SetField(fields[kSerialNumber], d, n, t, GetPadLength()) !=
        InfoAreaCodec::SetResult::Ok)
        return false;
    UpdateChecksum();
    return true;
}

bool CChassisInfoArea::SetCustomField(uint32_t position, const uint8_t* data, uint32_t len,
                                      uint8_t typeBits) {
    if (InfoAreaCodec::SetCustom(customFields, position, data, len, typeBits, GetPadLength()) !=
        InfoAreaCodec::SetResult::Ok)
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
        return Frame::GetString(kTitleType + index);
    if (index < GetNumberOfFields())
        return Frame::GetString(kTitleCustom);
    return nullptr;
}

const char16_t* CChassisInfoArea::GetFieldValueFromIndex(uint32_t index) {
    ORV_ENTRY(u"CChassisInfoArea::GetFieldValueFromIndex");
    value.reset();
    char16_t* text = nullptr;
    if (index == 0) {
        text = InfoAreaCodec::CopyWide(GetChassisString());
    } else if (index <= kFixedCount) {
        const auto& field = fields[index - 1];
        text = InfoAreaCodec::ToWide(field.data.get(), field.Length());
    } else if (index < GetNumberOfFields()) {
        if (GetCustomField(customCount + kFixedCount - index, &text) != FruDefs::kStatusOk)
            return nullptr;
    } else {
        ORV_FAIL_MSG(u"CChassisInfoArea::GetFieldValueFromIndex", u"No such FRU Field",
                     FruDefs::kMsgNoSuchField);
        return nullptr;
    }
    value.reset(text);
    ORV_EXIT(u"CChassisInfoArea::GetFieldValueFromIndex");
    return value.get();
}

bool CChassisInfoArea::GetFieldData(uint32_t index, const uint8_t** data, uint32_t* size) const {
    const uint8_t* outData = nullptr;
    uint32_t outSize = 0;
    bool ok = true;
    if (index == 0) {
        outData = &type;
        outSize = 1;
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
        ok = SetCustomField(customCount + kFixedCount - index, data, size, typeBits);
    if (ok)
        modified = 1;
    ORV_EXIT(u"CChassisInfoArea::SetFieldData");
    return ok;
}

uint32_t CChassisInfoArea::GetCustomField(uint32_t position, char16_t** out) const {
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
        ORV_FAIL_MSG(u"CChassisInfoArea::GetCustomField", u"No such FRU Field",
                     FruDefs::kMsgNoSuchField);
        return FruDefs::kStatusNoSuchField;
    case CustomResult::Unexpected:
        ORV_FAIL_MSG(u"CChassisInfoArea::GetCustomField", u"Unexpected", FruDefs::kMsgUnexpected);
        return FruDefs::kStatusUnexpected;
    default:
        ORV_FAIL_MSG(u"CChassisInfoArea::GetCustomField", u"FRU Error Allocation",
                     FruDefs::kMsgNoMemory);
        return FruDefs::kStatusNoMemory;
    }
}
