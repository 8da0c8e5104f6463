#include "fru/FruDefs.h"

#include "support/Trace.h"

namespace FruDefs {
uint32_t DecodeLength(uint8_t typeLength) {
    ORV_ENTRY(u"FruDefs::DecodeLength");
    const uint32_t length = typeLength & kLengthMask;
    ORV_EXIT(u"FruDefs::DecodeLength");
    return length;
}
} // namespace FruDefs
