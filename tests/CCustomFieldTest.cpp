#include "fru/CCustomField.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>

// Under the sanitizers a record that is not freed fails the run as a leak.
TEST(CCustomFieldTest, DestroyingARecordDestroysOnlyTheChainBehindIt) {
    auto* first = new CCustomField();
    auto* second = new CCustomField();
    first->next = second;
    second->next = new CCustomField();
    // Cut the chain after the first record; deleting the second frees the third.
    first->next = nullptr;
    delete second;
    delete first;

    TestSupport::DeleteLongChain(new CCustomField());
}
