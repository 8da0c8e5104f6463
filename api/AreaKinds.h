// The five kinds of area a FRU holds, told once for the core's edits and
// views: where the common header keeps each one's offset, how the FRU's area
// object of that kind is reached, and the catalogue's name and refusal
// message of each. The info areas (chassis, board, product) are classes of
// their own with the same operations; WithInfoArea picks the one of a kind,
// and WithFieldArea the same with the internal use area's one field.
#pragma once

#include "fru/CFru.h"
#include "orvane/orvane.h"

#include <cstdint>

namespace AreaKinds {

struct Kind {
    uint8_t CFruHeader::*headerOffset; // the header byte with the offset in 8-byte units
    bool (CFru::*present)() const;     // whether the header declares the area
    // The area object's bytes as it holds them, and their length; both null
    // for the multi-record area, whose records the FRU keeps as a chain.
    const uint8_t* (*data)(CFru&);
    uint32_t (*length)(CFru&);
    void (*markModified)(CFru&); // the next commit writes the area
    uint32_t name;               // catalogue index of the area's name
    uint32_t refused;            // catalogue index of the message for an invalid area
};

// The kind ORVANE_AREA_INTERNAL_USE .. ORVANE_AREA_MULTIRECORD; null for any
// other value.
const Kind* Of(int32_t kind);

// Calls f with the FRU's info area object of kind (ORVANE_AREA_CHASSIS,
// _BOARD or _PRODUCT) and returns its result; otherwise for any other kind.
template <typename R, typename F> R WithInfoArea(CFru& fru, int32_t kind, R otherwise, F&& f) {
    switch (kind) {
    case ORVANE_AREA_CHASSIS:
        return f(fru.chassisArea);
    case ORVANE_AREA_BOARD:
        return f(fru.boardArea);
    case ORVANE_AREA_PRODUCT:
        return f(fru.productArea);
    default:
        return otherwise;
    }
}

// The same for the areas with fields: the internal use area's one field too.
template <typename R, typename F> R WithFieldArea(CFru& fru, int32_t kind, R otherwise, F&& f) {
    if (kind == ORVANE_AREA_INTERNAL_USE)
        return f(fru.internalArea);
    return WithInfoArea(fru, kind, otherwise, f);
}

} // namespace AreaKinds
