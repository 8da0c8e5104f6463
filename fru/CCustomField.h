// One custom field of an info area; the fields of an area form a chain in
// image order, and each record owns the records behind it.
#pragma once
#include "fru/FruDefs.h"

#include <cstdint>

class CCustomField {
  public:
    CCustomField() = default;
    ~CCustomField();
    CCustomField(const CCustomField&) = delete;
    CCustomField& operator=(const CCustomField&) = delete;

    uint8_t typeLength = 0;
    // Data followed by a zero byte; a field holds at most 63 data bytes.
    uint8_t data[FruDefs::kMaxAreaBytes] = {};
    CCustomField* next = nullptr;
};
