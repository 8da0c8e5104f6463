#include "support/FruList.h"

#include <gtest/gtest.h>

#include <string>

TEST(FruListTest, KeepsInsertionOrderAndUnlinks) {
    FruList<int> list;
    int a = 1, b = 2, c = 3;
    EXPECT_EQ(list.Append(nullptr), nullptr);
    EXPECT_EQ(list.GetAt(0), nullptr);
    for (int* p : {&a, &b, &c})
        EXPECT_EQ(list.Append(p), p);
    EXPECT_EQ(list.GetCount(), 3u);
    EXPECT_EQ(list.GetAt(2), &c);
    EXPECT_EQ(list.GetAt(3), nullptr);
    EXPECT_EQ(list.Remove(&a), &a); // the first node: the next becomes first
    EXPECT_EQ(list.GetAt(0), &b);
    EXPECT_EQ(list.Remove(&a), nullptr);
    EXPECT_EQ(list.Remove(&c), &c);
    EXPECT_EQ(list.Append(&a), &a);
    EXPECT_EQ(list.GetAt(1), &a);
    EXPECT_EQ(list.GetCount(), 2u);
    // Owned elements are destroyed (the sanitizers see a leak otherwise).
    FruList<std::string> owned;
    owned.Append(new std::string("one"));
    owned.Append(new std::string("two"));
    owned.DestroyElements();
}
