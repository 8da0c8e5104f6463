#include "fru/MultiRecord.h"

#include "fru/RecordChain.h"
#include "support/Trace.h"

MultiRecord::~MultiRecord() {
    RecordChain::DeleteAfter(*this);
}

bool MultiRecord::IsValid() const {
    ORV_ENTRY(u"CFru::IsValid");
    uint32_t headerSum = 0;
    for (uint8_t byte : header)
        headerSum += byte;
    uint32_t dataSum = header[FruDefs::kMultiRecDataChecksumByte];
    for (uint32_t i = 0; i < DataLength(); ++i)
        dataSum += data[i];
    ORV_EXIT(u"CFru::IsValid");
    return (headerSum & 0xFF) == 0 && (dataSum & 0xFF) == 0;
}
