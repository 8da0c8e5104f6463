#include "fru/CCustomField.h"

#include <gtest/gtest.h>
#include <pthread.h>

TEST(CCustomFieldTest, StartsEmptyWithRoomForAFullField) {
    CCustomField field;
    EXPECT_EQ(0, field.typeLength);
    EXPECT_EQ(nullptr, field.next);
    // 63 data bytes and their terminating zero fit, and nothing was left in them.
    ASSERT_GE(sizeof field.data, FruDefs::kMaxFieldLength + 1);
    for (uint8_t byte : field.data)
        EXPECT_EQ(0, byte);
}

// Under the sanitizers a record that is not freed fails the run as a leak.
TEST(CCustomFieldTest, DestroyingARecordDestroysOnlyTheChainBehindIt) {
    auto* first = new CCustomField();
    auto* second = new CCustomField();
    first->next = second;
    second->next = new CCustomField();
    second->next->typeLength = 0xC3;

    // Cut the chain after the first record; deleting the second frees the third.
    first->next = nullptr;
    delete second;
    EXPECT_EQ(nullptr, first->next);
    delete first;
}

TEST(CCustomFieldTest, LongChainIsDestroyedWithoutDeepRecursion) {
    auto* head = new CCustomField();
    CCustomField* tail = head;
    for (int i = 0; i < 20000; ++i) {
        tail->next = new CCustomField();
        tail = tail->next;
    }
    // Destroyed on a 128 KiB stack, which one frame per record would overflow.
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setstacksize(&attr, 128 * 1024);
    pthread_t thread;
    auto destroy = [](void* chain) -> void* {
        delete static_cast<CCustomField*>(chain);
        return nullptr;
    };
    ASSERT_EQ(0, pthread_create(&thread, &attr, destroy, head));
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attr);
}
