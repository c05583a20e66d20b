// The owner closes exactly once, whatever moves happen, and cannot be copied.

#include "common/UniqueHandle.h"

#include <gtest/gtest.h>

#include <type_traits>
#include <vector>

namespace {

std::vector<int> g_closed;

struct CountingTraits {
    using Type = int;
    static Type empty() { return -1; }
    static void close(Type value) { g_closed.push_back(value); }
};
using CountedHandle = UniqueHandle<CountingTraits>;

static_assert(!std::is_copy_constructible<CountedHandle>::value, "copying must not compile");
static_assert(!std::is_copy_assignable<CountedHandle>::value, "copying must not compile");

TEST(UniqueHandle, ClosesOnceThroughMovesResetsAndRelease) {
    g_closed.clear();
    {
        CountedHandle a(3);
        CountedHandle b(std::move(a));
        EXPECT_FALSE(a.isValid());
        CountedHandle c(4);
        c = std::move(b);  // 4 closed, 3 moves over
        EXPECT_EQ(g_closed, std::vector<int>{4});
        c.reset(5);  // 3 closed
        CountedHandle d(6);
        EXPECT_EQ(d.release(), 6);  // given up, never closed here
        *d.put() = 7;
    }
    EXPECT_EQ(g_closed, (std::vector<int>{4, 3, 7, 5}));
}

}  // namespace
