// The product info area of a FRU image: language code, seven fixed text fields
// and the custom fields, inside a fixed area length.
#pragma once
#include "fru/InfoAreaCodec.h"

#include <cstdint>
#include <memory>

class CProductInfoArea {
  public:
    CProductInfoArea() = default;
    ~CProductInfoArea();
    CProductInfoArea(const CProductInfoArea&) = delete;
    CProductInfoArea& operator=(const CProductInfoArea&) = delete;

    bool SetData(const uint8_t* data, uint32_t size);
    const uint8_t* GetData();
    uint32_t GetLength() const { return static_cast<uint32_t>(length) * FruDefs::kUnitBytes; }
    bool SetLength(uint32_t bytes);
    bool IsValid() const;
    uint8_t GetChecksum() const { return checksum; }
    void SetChecksum(uint8_t value) { checksum = value; }
    uint8_t UpdateChecksum();
    int32_t GetPadLength() const;

    uint8_t GetFormatVersion() const { return formatVersion; }
    uint8_t GetLanguageCode() const { return languageCode; }
    uint8_t GetManufacturerNameTL() const { return fields[kManufacturerName].typeLength; }
    uint8_t GetProductNameTL() const { return fields[kProductName].typeLength; }
    uint8_t GetPartNumberTL() const { return fields[kPartNumber].typeLength; }
    uint8_t GetVersionTL() const { return fields[kVersion].typeLength; }
    uint8_t GetSerialNumberTL() const { return fields[kSerialNumber].typeLength; }
    uint8_t GetAssetTagTL() const { return fields[kAssetTag].typeLength; }
    uint8_t GetFileIdTL() const { return fields[kFileId].typeLength; }
    const uint8_t* GetManufacturerName() const { return fields[kManufacturerName].data.get(); }
    const uint8_t* GetProductName() const { return fields[kProductName].data.get(); }
    const uint8_t* GetPartNumber() const { return fields[kPartNumber].data.get(); }
    const uint8_t* GetVersion() const { return fields[kVersion].data.get(); }
    const uint8_t* GetSerialNumber() const { return fields[kSerialNumber].data.get(); }
    const uint8_t* GetAssetTag() const { return fields[kAssetTag].data.get(); }
    const uint8_t* GetFileId() const { return fields[kFileId].data.get(); }
    uint32_t GetNumberOfCustomFields() const { return customCount; }
    const CCustomField* GetCustomFields() const { return customFields; }

    bool SetManufacturerName(const uint8_t* data, uint32_t length, uint8_t typeBits);
    bool SetProductName(const uint8_t* data, uint32_t length, uint8_t typeBits);
    bool SetPartNumber(const uint8_t* data, uint32_t length, uint8_t typeBits);
    bool SetVersion(const uint8_t* data, uint32_t length, uint8_t typeBits);
    bool SetSerialNumber(const uint8_t* data, uint32_t length, uint8_t typeBits);
    bool SetAssetTag(const uint8_t* data, uint32_t length, uint8_t typeBits);
    bool SetFileId(const uint8_t* data, uint32_t length, uint8_t typeBits);
    bool SetCustomField(uint32_t position, const uint8_t* data, uint32_t length, uint8_t typeBits);

    // Fields by index: 0..6 fixed fields, 7.. custom fields.
    uint32_t GetNumberOfFields() const { return kFixedCount + customCount; }
    int32_t GetFieldIndexFromEnum(uint32_t fieldEnum) const;
    const char16_t* GetFieldTitleFromIndex(uint32_t index) const;
    const char16_t* GetFieldValueFromIndex(uint32_t index);
    bool GetFieldData(uint32_t index, const uint8_t** data, uint32_t* size) const;
    bool SetFieldData(uint32_t index, const uint8_t* data, uint32_t size, uint8_t typeBits);
    // The caller owns the returned string (delete[]).
    uint32_t GetCustomField(uint32_t position, char16_t** value) const;

    bool IsModified() const { return modified != 0; }
    void ClearModified() { modified = 0; }
    // Makes the next commit write the whole area (a moved area).
    void MarkModified() { modified = 1; }

    bool ParseField(const uint8_t* in, uint32_t size, uint32_t& pos, uint8_t& typeLength,
                    std::unique_ptr<uint8_t[]>& data);
    bool ParseCustomField(const uint8_t* in, uint32_t size, uint32_t& pos);

  private:
    enum : uint32_t {
        kManufacturerName,
        kProductName,
        kPartNumber,
        kVersion,
        kSerialNumber,
        kAssetTag,
        kFileId,
        kFixedCount
    };
    // Three header bytes, seven fixed type/length bytes, end marker, checksum.
    static constexpr uint32_t kOverhead = 12;
    static constexpr uint32_t kFieldsStart = 3;

    bool SetFixed(uint32_t field, const uint8_t* data, uint32_t length, uint8_t typeBits);
    uint32_t Sum() const;

    CCustomField* customFields = nullptr;
    uint8_t formatVersion = 0;
    uint8_t length = 0;
    uint8_t languageCode = 0;
    InfoAreaCodec::Field fields[kFixedCount];
    uint8_t checksum = 0;
    uint8_t modified = 0;
    uint32_t customCount = 0;
    std::unique_ptr<char16_t[]> value;
    uint8_t image[FruDefs::kMaxAreaBytes] = {};
};
