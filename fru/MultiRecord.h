// One record of the multi-record area: a 5-byte header and up to 255 data
// bytes; each record owns the records behind it.
#pragma once
#include "fru/FruDefs.h"

#include <cstdint>

class MultiRecord {
  public:
    MultiRecord() = default;
    ~MultiRecord();
    MultiRecord(const MultiRecord&) = delete;
    MultiRecord& operator=(const MultiRecord&) = delete;

    uint32_t DataLength() const { return header[FruDefs::kMultiRecLengthByte]; }
    // Header bytes add up to 0 and data bytes plus the data checksum add up to 0.
    bool IsValid() const;

    uint8_t header[FruDefs::kMultiRecHeaderBytes] = {};
    uint8_t data[255] = {};
    MultiRecord* next = nullptr;
};
