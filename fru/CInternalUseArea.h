// The internal use area of a FRU image, kept as an opaque block of at most
// 512 bytes and shown as one field of hexadecimal bytes.
#pragma once
#include "fru/FruDefs.h"

#include <cstdint>
#include <memory>

class CInternalUseArea {
  public:
    CInternalUseArea() = default;
    CInternalUseArea(const CInternalUseArea&) = delete;
    CInternalUseArea& operator=(const CInternalUseArea&) = delete;

    // Replaces the bytes; a non-zero flag marks the area modified.
    bool SetData(const uint8_t* bytes, uint32_t size, uint8_t modifiedFlag);
    const uint8_t* GetData() const;
    uint32_t GetLength() const;
    bool IsModified() const { return modified != 0; }
    void ClearModified() { modified = 0; }
    // Makes the next commit write the whole area (a moved area).
    void MarkModified() { modified = 1; }

    uint32_t GetNumberOfFields() const;
    uint32_t GetFieldIndexFromEnum(int32_t fieldEnum) const;
    const char16_t* GetFieldTitleFromIndex(uint32_t index) const;
    // The bytes as blank-separated uppercase hex pairs; owned by the area.
    const char16_t* GetFieldValueFromIndex(uint32_t index);

  private:
    uint8_t data[FruDefs::kMaxAreaBytes] = {};
    uint32_t modified = 0;
    uint32_t length = 0;
    std::unique_ptr<char16_t[]> value;
};
