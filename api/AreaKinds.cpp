#include "api/AreaKinds.h"

#include "support/MessageIds.h"

namespace AreaKinds {
namespace {

template <auto Member> const uint8_t* DataOf(CFru& fru) {
    return (fru.*Member).GetData();
}
template <auto Member> uint32_t LengthOf(CFru& fru) {
    return (fru.*Member).GetLength();
}
template <auto Member> void Mark(CFru& fru) {
    (fru.*Member).MarkModified();
}
void MarkRecords(CFru& fru) {
    fru.multiRecModified = true;
}

// Indexed by kind from ORVANE_AREA_INTERNAL_USE.
const Kind kKinds[] = {
    {&CFruHeader::internalOffset, &CFru::HasInternalArea, DataOf<&CFru::internalArea>,
     LengthOf<&CFru::internalArea>, Mark<&CFru::internalArea>, kMsgInternalUseName,
     kMsgBadInternal},
    {&CFruHeader::chassisOffset, &CFru::HasChassisArea, DataOf<&CFru::chassisArea>,
     LengthOf<&CFru::chassisArea>, Mark<&CFru::chassisArea>, kMsgChassisName, kMsgBadChassis},
    {&CFruHeader::boardOffset, &CFru::HasBoardArea, DataOf<&CFru::boardArea>,
     LengthOf<&CFru::boardArea>, Mark<&CFru::boardArea>, kMsgBoardName, kMsgBadBoard},
    {&CFruHeader::productOffset, &CFru::HasProductArea, DataOf<&CFru::productArea>,
     LengthOf<&CFru::productArea>, Mark<&CFru::productArea>, kMsgProductName, kMsgBadProduct},
    {&CFruHeader::multiRecOffset, &CFru::HasMultiRecArea, nullptr, nullptr, MarkRecords,
     kMsgMultiRecordName, kMsgBadMultiRec},
};

} // namespace

const Kind* Of(int32_t kind) {
    if (kind < ORVANE_AREA_INTERNAL_USE || kind > ORVANE_AREA_MULTIRECORD)
        return nullptr;
    return &kKinds[kind - ORVANE_AREA_INTERNAL_USE];
}

} // namespace AreaKinds
