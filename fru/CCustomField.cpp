#include "fru/CCustomField.h"

#include "fru/RecordChain.h"

CCustomField::~CCustomField() {
    RecordChain::DeleteAfter(*this);
}
