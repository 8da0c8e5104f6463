// The chassis info area of a FRU image: the chassis type, two fixed text
// fields and the custom fields, inside a fixed area length.
#pragma once
#include "fru/InfoAreaCodec.h"

#include <cstdint>
#include <memory>

class CChassisInfoArea {
  public:
    CChassisInfoArea() = default;
    ~CChassisInfoArea();
    CChassisInfoArea(const CChassisInfoArea&) = delete;
    CChassisInfoArea& operator=(const CChassisInfoArea&) = delete;

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
    uint8_t GetType() const { return type; }
    uint8_t GetPartNumberTL() const { return fields[kPartNumber].typeLength; }
    uint8_t GetSerialNumberTL() const { return fields[kSerialNumber].typeLength; }
    const uint8_t* GetPartNumber() const { return fields[kPartNumber].data.get(); }
    const uint8_t* GetSerialNumber() const { return fields[kSerialNumber].data.get(); }
    uint32_t GetNumberOfCustomFields() const { return customCount; }
    const CCustomField* GetCustomFields() const { return customFields; }
    // Catalogue name of the chassis type, or null for types without a name.
    const char16_t* GetChassisString() const;

    // The chassis setters fail silently; the caller reports.
    bool SetType(uint8_t value);
    bool SetPartNumber(const uint8_t* data, uint32_t length, uint8_t typeBits);
    bool SetSerialNumber(const uint8_t* data, uint32_t length, uint8_t typeBits);
    bool SetCustomField(uint32_t position, const uint8_t* data, uint32_t length, uint8_t typeBits);

    // Fields by index: 0 type, 1..2 fixed fields, 3.. custom fields.
    uint32_t GetNumberOfFields() const { return kFixedCount + 1 + customCount; }
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
    enum : uint32_t { kPartNumber, kSerialNumber, kFixedCount };
    // Three header bytes, two fixed type/length bytes, end marker, checksum.
    static constexpr uint32_t kOverhead = 7;
    static constexpr uint32_t kFieldsStart = 3;

    bool SetFixed(uint32_t field, const uint8_t* data, uint32_t length, uint8_t typeBits);
    uint32_t Sum() const;

    CCustomField* customFields = nullptr;
    uint8_t formatVersion = 0;
    uint8_t length = 0;
    uint8_t type = 0;
    InfoAreaCodec::Field fields[kFixedCount];
    uint8_t checksum = 0;
    uint8_t modified = 0;
    uint32_t customCount = 0;
    std::unique_ptr<char16_t[]> value;
    uint8_t image[FruDefs::kMaxAreaBytes] = {};
};
