// The 8-byte common header at offset 0 of every FRU image.
#pragma once
#include "fru/FruDefs.h"

#include <cstdint>

class CFruHeader {
  public:
    // True when the eight bytes add up to 0 modulo 256.
    bool IsValid() const;
    // The eight fields in image order; valid until the next GetData.
    const uint8_t* GetData();
    uint32_t GetLength() const { return FruDefs::kCommonHeaderBytes; }

    uint8_t formatVersion = 0;
    uint8_t internalOffset = 0;
    uint8_t chassisOffset = 0;
    uint8_t boardOffset = 0;
    uint8_t productOffset = 0;
    uint8_t multiRecOffset = 0;
    uint8_t pad = 0;
    uint8_t checksum = 0;

  private:
    uint8_t output[FruDefs::kCommonHeaderBytes] = {};
};
