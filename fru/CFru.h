// One FRU image in memory: common header, locator, configuration file header,
// the internal use and info areas and the multi-record chain. Device and file
// transfers are functions over a CFru in system/FruImage.h and
// config/FruFileReader.h, config/FruFileWriter.h.
#pragma once
#include "fru/CBoardInfoArea.h"
#include "fru/CChassisInfoArea.h"
#include "fru/CFileHeader.h"
#include "fru/CFruHeader.h"
#include "fru/CInternalUseArea.h"
#include "fru/CProductInfoArea.h"
#include "fru/FruLocator.h"
#include "fru/MultiRecord.h"

#include <cstdint>

class CFru {
  public:
    CFru() = default;
    ~CFru();
    CFru(const CFru&) = delete;
    CFru& operator=(const CFru&) = delete;

    // Two's complement of the 8-bit sum of count bytes (low byte meaningful);
    // 0 for a count of 0 or less.
    static uint32_t CalculateChecksum(const uint8_t* bytes, int32_t count);

    bool HasInternalArea() const;
    bool HasChassisArea() const;
    bool HasBoardArea() const;
    bool HasProductArea() const;
    bool HasMultiRecArea() const;
    uint32_t GetNumberOfAreas() const;
    uint16_t GetOverallLength() const;
    // Where the image ends when the commit lays it out: the header, then the
    // internal use, chassis, board and product areas one after the other, the
    // multi-record area last (counted only when withMultiRecords is true).
    // Not cut to 16 bits, so an image past 64 KiB shows as one.
    uint32_t GetLaidOutLength(bool withMultiRecords = true) const;
    FruLocator* GetDevLocator();
    uint32_t GetFruNameString(const char16_t** name) const;
    uint32_t SerializeCommonHeader(uint8_t* buffer);
    uint32_t DecodeHeader(const uint8_t* buffer);
    uint32_t ComputeAreaLengths(uint16_t total);
    // The locator's name, else message 134 with the device's address; the
    // buffer size is in bytes.
    static const char16_t* GetFriendlyFruIdentifier(const FruLocator* fruLocator, char16_t* buffer,
                                                    uint32_t sizeBytes);

    // Multi-record chain.
    bool CheckMultiRecCheckSum() const;
    uint32_t DecodeMultiRecArea(const uint8_t* bytes);
    uint32_t SetMultiRecArea(const uint8_t* bytes, uint16_t length, uint8_t modifiedFlag);
    uint32_t SerializeMultiRecArea(uint8_t* buffer, uint32_t* size) const;

    // Members are reached directly by the device and configuration code.
    CFruHeader header;
    MultiRecord* multiRecords = nullptr;
    uint16_t multiRecLength = 0;
    bool multiRecModified = false;
    FruLocator locator;
    CFileHeader fileHeader;
    CInternalUseArea internalArea;
    CChassisInfoArea chassisArea;
    CBoardInfoArea boardArea;
    CProductInfoArea productArea;
};
