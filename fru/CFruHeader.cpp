#include "fru/CFruHeader.h"

#include "support/Trace.h"

bool CFruHeader::IsValid() const {
    ORV_ENTRY(u"CFruHeader::IsValid");
    const uint32_t sum = formatVersion + internalOffset + chassisOffset + boardOffset +
                         productOffset + multiRecOffset + pad + checksum;
    ORV_EXIT(u"CFruHeader::IsValid");
    return (sum & 0xFF) == 0;
}

const uint8_t* CFruHeader::GetData() {
    ORV_ENTRY(u"CFruHeader::GetData");
    const uint8_t bytes[FruDefs::kCommonHeaderBytes] = {
        formatVersion, internalOffset, chassisOffset, boardOffset,
        productOffset, multiRecOffset, pad,           checksum};
    for (uint32_t i = 0; i < FruDefs::kCommonHeaderBytes; ++i)
        output[i] = bytes[i];
    ORV_EXIT(u"CFruHeader::GetData");
    return output;
}
