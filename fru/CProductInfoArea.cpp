#include "fru/CProductInfoArea.h"

#include "api/Frame.h"
#include "support/Trace.h"
#include "support/Utf16.h"

#include <cstring>

namespace {
constexpr uint32_t kFirstTitle = 21;
constexpr uint32_t kTitleCustom = 28;
constexpr uint32_t kFirstEnum = 11;
} // namespace

CProductInfoArea::~CProductInfoArea() {
    delete customFields;
}

bool CProductInfoArea::SetData(const uint8_t* data, uint32_t size) {
    ORV_ENTRY(u"CProductInfoArea::SetData");
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
    std::memset(image, 0, sizeof image);
    image[0] = formatVersion;
    image[1] = length;
    image[2] = languageCode;
    InfoAreaCodec::Serialize(image, kFieldsStart, fields, kFixedCount, customFields, length,
                             checksum);
    return image;
}

bool CProductInfoArea::SetLength(uint32_t bytes) {
    // The image buffer holds one 512-byte area; longer lengths are refused.
    if (bytes % FruDefs::kUnitBytes != 0 || bytes > FruDefs::kMaxAreaBytes)
        return false;
    length = static_cast<uint8_t>(bytes / FruDefs::kUnitBytes);
    UpdateChecksum();
    return true;
}

uint32_t CProductInfoArea::Sum() const {
    return formatVersion + length + languageCode +
           InfoAreaCodec::FieldSum(fields, kFixedCount, customFields);
}

bool CProductInfoArea::IsValid() const {
    return ((Sum() + checksum) & 0xFF) == 0;
}

uint8_t CProductInfoArea::UpdateChecksum() {
    checksum = static_cast<uint8_t>(0x100 - (Sum() & 0xFF));
    return checksum;
}

int32_t CProductInfoArea::GetPadLength() const {
    return InfoAreaCodec::PadLength(length, kOverhead, fields, kFixedCount, customFields);
}

bool CProductInfoArea::SetFixed(uint32_t field, const uint8_t* data, uint32_t len,
                                uint8_t typeBits) {
    using InfoAreaCodec::SetResult;
    const SetResult result =
        InfoAreaCodec::SetField(fields[field], data, len, typeBits, GetPadLength());
    if (result == SetResult::Ok) {
        UpdateChecksum();
        return true;
    }
    static const char16_t* const names[kFixedCount] = {u"CProductInfoArea::SetManufacturerName",
                                                       u"CProductInfoArea::SetProductName",
                                                       u"CProductInfoArea::SetPartNumber",
                                                       u"CProductInfoArea::SetVersion",
                                                       u"CProductInfoArea::SetSerialNumber",
                                                       u"CProductInfoArea::SetAssetTag",
                                                       u"CProductInfoArea::SetFileId"};
    const char16_t* reason = result == SetResult::NullData  ? u" - Unexpected"
                             : result == SetResult::TooLong ? u" - FRU Data Too Long"
                                                            : u" - FRU Error Allocation";
    Trace::Write(Utf16::FormatString(u"%ls%ls", names[field], reason).c_str(), Trace::kFailure);
    if (result == SetResult::NullData)
        Frame::SetLastErrorMessage(FruDefs::kMsgUnexpected);
    else if (result == SetResult::TooLong)
        Frame::SetLastError(Frame::GetString(FruDefs::kMsgTooLong),
                            Frame::GetString(kFirstTitle + field));
    else
        Frame::SetLastErrorMessage(FruDefs::kMsgNoMemory);
    return false;
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
    using InfoAreaCodec::SetResult;
    const SetResult result =
        InfoAreaCodec::SetCustom(customFields, position, data, len, typeBits, GetPadLength());
    switch (result) {
    case SetResult::Ok:
        UpdateChecksum();
        return true;
    case SetResult::NullData:
        ORV_FAIL_MSG(u"CProductInfoArea::SetCustomField", u"Unexpected", FruDefs::kMsgUnexpected);
        return false;
    case SetResult::NoSuchField:
        ORV_FAIL_MSG(u"CProductInfoArea::SetCustomField", u"No such FRU Field",
                     FruDefs::kMsgNoSuchField);
        return false;
    default:
        ORV_FAIL(u"CProductInfoArea::SetCustomField", u"FRU Data Too Long");
        Frame::SetLastError(Frame::GetString(FruDefs::kMsgTooLong), Frame::GetString(kTitleCustom));
        return false;
    }
}

int32_t CProductInfoArea::GetFieldIndexFromEnum(uint32_t fieldEnum) const {
    if (fieldEnum >= kFirstEnum && fieldEnum < kFirstEnum + kFixedCount)
        return static_cast<int32_t>(fieldEnum - kFirstEnum);
    return -1;
}

const char16_t* CProductInfoArea::GetFieldTitleFromIndex(uint32_t index) const {
    if (index < kFixedCount)
        return Frame::GetString(kFirstTitle + index);
    if (index < GetNumberOfFields())
        return Frame::GetString(kTitleCustom);
    return nullptr;
}

const char16_t* CProductInfoArea::GetFieldValueFromIndex(uint32_t index) {
    ORV_ENTRY(u"CProductInfoArea::GetFieldValueFromIndex");
    value.reset();
    char16_t* text = nullptr;
    if (index < kFixedCount) {
        text = InfoAreaCodec::ToWide(fields[index].data.get(), fields[index].Length());
        if (!text) {
            ORV_FAIL_MSG(u"CProductInfoArea::GetFieldValueFromIndex", u"FRU Error Allocation",
                         FruDefs::kMsgNoMemory);
            return nullptr;
        }
    } else if (index < GetNumberOfFields()) {
        if (GetCustomField(customCount + kFixedCount - 1 - index, &text) != FruDefs::kStatusOk)
            return nullptr;
    } else {
        ORV_FAIL_MSG(u"CProductInfoArea::GetFieldValueFromIndex", u"No such FRU Field",
                     FruDefs::kMsgNoSuchField);
        return nullptr;
    }
    value.reset(text);
    ORV_EXIT(u"CProductInfoArea::GetFieldValueFromIndex");
    return value.get();
}

bool CProductInfoArea::GetFieldData(uint32_t index, const uint8_t** data, uint32_t* size) const {
    const uint8_t* outData = nullptr;
    uint32_t outSize = 0;
    bool ok = true;
    if (index < kFixedCount) {
        outData = fields[index].data.get();
        outSize = outData ? fields[index].Length() : 0;
    } else if (index < GetNumberOfFields()) {
        const CCustomField* field = InfoAreaCodec::CustomAt(customFields, index - kFixedCount);
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

bool CProductInfoArea::SetFieldData(uint32_t index, const uint8_t* data, uint32_t size,
                                    uint8_t typeBits) {
    ORV_ENTRY(u"CProductInfoArea::SetFieldData");
    bool ok = false;
    if (index < kFixedCount)
        ok = SetFixed(index, data, size, typeBits);
    else if (index < GetNumberOfFields())
        ok = SetCustomField(customCount + kFixedCount - 1 - index, data, size, typeBits);
    else
        ORV_FAIL_MSG(u"CProductInfoArea::SetFieldData", u"No such FRU Field",
                     FruDefs::kMsgNoSuchField);
    if (ok)
        modified = 1;
    ORV_EXIT(u"CProductInfoArea::SetFieldData");
    return ok;
}

uint32_t CProductInfoArea::GetCustomField(uint32_t position, char16_t** out) const {
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
        ORV_FAIL_MSG(u"CProductInfoArea::GetCustomField", u"No such FRU Field",
                     FruDefs::kMsgNoSuchField);
        return FruDefs::kStatusNoSuchField;
    case CustomResult::Unexpected:
        ORV_FAIL_MSG(u"CProductInfoArea::GetCustomField", u"Unexpected", FruDefs::kMsgUnexpected);
        return FruDefs::kStatusUnexpected;
    default:
        ORV_FAIL_MSG(u"CProductInfoArea::GetCustomField", u"FRU Error Allocation",
                     FruDefs::kMsgNoMemory);
        return FruDefs::kStatusNoMemory;
    }
}
