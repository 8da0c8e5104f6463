// Reading a whole FRU image from its device into a CFru, and committing the
// changed parts of an image back to its device.
#pragma once
#include "orvane/orvane.h"
#include "system/FruTransfer.h"

#include <cstdint>

class CFru;
class FruLocator;

namespace FruImage {
// The device address of a locator.
FruTransfer::DeviceAddress AddressOf(const FruLocator& locator);
// Reads count bytes at offset of the locator's device; ORVANE_E_DEVICE_READ for a null
// locator or buffer.
uint32_t ReadDataFromFRU(const FruLocator* locator, uint32_t offset, uint16_t count,
                         uint8_t* destination);
// Writes count bytes at offset of the FRU's own device.
uint32_t WriteImageData(CFru& fru, uint32_t offset, uint32_t count, const uint8_t* source);

uint32_t ReadFRUHeader(CFru& fru, const FruLocator* locator, uint8_t* buffer);
uint32_t GetCommonHeader(CFru& fru, const FruLocator* locator);
uint32_t GetTypeLengthArea(const FruLocator* locator, uint8_t* buffer, uint8_t offset,
                           uint16_t* length);
uint32_t GetBoardArea(CFru& fru, const FruLocator* locator);
uint32_t GetChassisArea(CFru& fru, const FruLocator* locator);
uint32_t GetProductArea(CFru& fru, const FruLocator* locator);
uint32_t GetInternalArea(CFru& fru, const FruLocator* locator);
uint32_t GetMultiRecArea(CFru& fru, const FruLocator* locator);
// The header, then each declared area: board, product, chassis, internal
// use, multi-record. The first failure's status is returned.
uint32_t ReadFruFromSystem(CFru& fru, const FruLocator* locator);
// Takes over the locator's address and name, then reads the image.
uint32_t LoadFromSystem(CFru& fru, const FruLocator* locator);

// Where a commit puts one area, and whether it writes it.
struct CommitArea {
    uint32_t kind;   // ORVANE_AREA_INTERNAL_USE to ORVANE_AREA_MULTIRECORD
    bool present;    // the header declares the area
    bool written;    // the commit writes the area's bytes
    uint32_t offset; // where the commit puts the area
    uint32_t length; // the area's bytes
};
// The layout of a commit: the areas follow one another from offset 8 in the
// order internal use, chassis, board, product, multi-record, whatever the
// header's offsets say. WriteToSystem writes by this plan.
struct CommitPlan {
    CommitArea areas[5];
    uint32_t end; // one past the last byte of the multi-record area
};
CommitPlan PlanCommit(CFru& fru);

// Called with an area kind just before each progress text of a commit is sent
// to the callback: ORVANE_AREA_COMMON_HEADER when the header is written, the
// kind of the area whose step is done (internal use, chassis, board), the
// multi-record kind when that area is begun, and 0 for the first line, which
// names the device. The texts themselves are localized and tell nothing to a
// program. Null (the default) calls nothing.
using CommitAreaHook = void (*)(int32_t kind);
void SetCommitAreaHook(CommitAreaHook hook);

// Writes the header, every changed area and the board area whenever present,
// reporting progress (phase 1) to the callback when there is one.
uint32_t WriteToSystem(CFru& fru, OrvaneProgressCallback progress);
} // namespace FruImage
