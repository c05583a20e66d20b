// The "Sources" multi-string of the Application event log.

#include "service/EventSources.h"

#include <gtest/gtest.h>

namespace {

RegistryBytes Bytes(const std::string& text) {
    return RegistryBytes(text.begin(), text.end());
}

const std::string kName = "QN_HoraluxService";

TEST(EventSources, AddAppendsOnce) {
    const RegistryBytes before = Bytes(std::string("Application\0Wine\0\0", 18));
    const auto added = AddEventSource(before, kName);
    ASSERT_TRUE(added.has_value());
    EXPECT_EQ(*added, Bytes(std::string("Application\0Wine\0QN_HoraluxService\0\0", 36)));
    EXPECT_EQ(added->size(), before.size() + kName.size() + 1);
    EXPECT_FALSE(AddEventSource(*added, kName).has_value());
}

TEST(EventSources, AddToAMissingOrUnterminatedValueStillEndsWithTwoZeros) {
    EXPECT_EQ(AddEventSource({}, "A"), Bytes(std::string("A\0\0", 3)));
    EXPECT_EQ(AddEventSource(Bytes("B"), "A"), Bytes(std::string("B\0A\0\0", 5)));
}

TEST(EventSources, NamesCompareExactly) {
    EXPECT_TRUE(AddEventSource(Bytes(std::string("QN_HoraluxServiceX\0\0", 20)), kName).has_value());
}

TEST(EventSources, RemoveDropsTheNameAndKeepsTheOthersInOrder) {
    const RegistryBytes before = Bytes(std::string("A\0QN_HoraluxService\0B\0\0", 23));
    const auto removed = RemoveEventSource(before, kName);
    ASSERT_TRUE(removed.has_value());
    EXPECT_EQ(*removed, Bytes(std::string("A\0B\0\0", 5)));
    EXPECT_EQ(removed->size(), before.size() - kName.size() - 1);
}

TEST(EventSources, RemoveOfAnAbsentNameLeavesTheValueAlone) {
    EXPECT_FALSE(RemoveEventSource(Bytes(std::string("A\0B\0\0", 5)), kName).has_value());
    EXPECT_FALSE(RemoveEventSource({}, kName).has_value());
}

TEST(EventSources, ListEndsAtTheFirstEmptyString) {
    EXPECT_EQ(SplitMultiString(Bytes(std::string("A\0\0B\0\0", 6))), std::vector<std::string>{"A"});
    EXPECT_TRUE(SplitMultiString(Bytes(std::string("\0", 1))).empty());
}

}  // namespace
