#include "core/PointerList.h"

#include <gtest/gtest.h>

#include <string>

using sonabel::PointerList;

namespace {

char items[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";

std::string contents(const PointerList& list) {
    std::string s;
    for (int i = 0; i < list.count(); ++i) s += *static_cast<char*>(list.get(i));
    return s;
}

void fill(PointerList& list, int n) {
    for (int i = 0; i < n; ++i) list.append(&items[i]);
}

TEST(PointerListTest, MoveKeepsTheOtherItemsInOrder) {
    struct Case {
        int from, to;
        const char* expected;
    } cases[] = {{4, 1, "AEBCD"}, {1, 4, "ACDEB"}, {0, 0, "ABCDE"}, {0, 4, "BCDEA"},
                 {4, 0, "EABCD"}, {5, 0, "ABCDE"}, {-1, 2, "ABCDE"}, {2, 9, "ABCDE"}};
    for (const auto& c : cases) {
        PointerList list;
        fill(list, 5);
        list.move(c.from, c.to);
        EXPECT_EQ(contents(list), c.expected) << c.from << " -> " << c.to;
    }
}

TEST(PointerListTest, CapacityGrowsAndShrinksInStepsOfTen) {
    PointerList list;
    EXPECT_EQ(list.getCapacity(), 0);
    list.append(&items[0]);
    EXPECT_EQ(list.getCapacity(), 10);
    fill(list, 10); // eleven items now
    EXPECT_EQ(list.count(), 11);
    EXPECT_EQ(list.getCapacity(), 20);
    list.removeAt(0);
    EXPECT_EQ(list.count(), 10);
    EXPECT_EQ(list.getCapacity(), 10);
    for (int i = 0; i < 9; ++i) list.pop();
    EXPECT_EQ(list.getCapacity(), 10);
    list.clear();
    EXPECT_EQ(list.getCapacity(), 0);
    EXPECT_TRUE(list.isEmpty());
}

TEST(PointerListTest, AccessOutsideTheRangeIsHarmless) {
    PointerList list;
    fill(list, 3);
    EXPECT_EQ(list.get(-1), nullptr);
    EXPECT_EQ(list.get(3), nullptr);
    EXPECT_EQ(list.set(7, &items[9]), 7);
    EXPECT_EQ(contents(list), "ABC");
    EXPECT_FALSE(list.removeAt(3));
    EXPECT_FALSE(list.remove(&items[20]));
    list.set(1, &items[25]);
    EXPECT_EQ(contents(list), "AZC");
}

TEST(PointerListTest, RemoveTakesTheFirstEqualAddressOnly) {
    PointerList list;
    list.append(&items[0]);
    list.append(&items[1]);
    list.append(&items[0]);
    EXPECT_TRUE(list.remove(&items[0]));
    EXPECT_EQ(contents(list), "BA");
    EXPECT_EQ(list.pop(), &items[0]);
    EXPECT_EQ(list.pop(), &items[1]);
    EXPECT_EQ(list.pop(), nullptr);
}

} // namespace
