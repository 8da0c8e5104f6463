#include "support/FruList.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(FruListTest, KeepsInsertionOrderAndUnlinks) {
    FruList<int> list;
    int a = 1, b = 2, c = 3;
    EXPECT_EQ(list.Append(nullptr), nullptr);
    EXPECT_EQ(list.GetAt(0), nullptr);
    EXPECT_EQ(list.Append(&a), &a);
    EXPECT_EQ(list.Append(&b), &b);
    EXPECT_EQ(list.Append(&c), &c);
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
}

TEST(FruListTest, DestroysOwnedElements) {
    FruList<std::string> list;
    list.Append(new std::string("one"));
    list.Append(new std::string("two"));
    list.DestroyElements(); // the sanitizers see a leak otherwise
    EXPECT_EQ(list.GetCount(), 2u);
}

} // namespace
