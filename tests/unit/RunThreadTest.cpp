// The run thread: exit codes, the exception barrier, the stop flag, and that it is always joined.

#include "engine/RunThread.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <utility>

namespace {

// As a run does: it looks at the flag, which nobody signals, until it is set.
int waitForStop(const std::atomic<bool>& stop) {
    while (!stop.load()) {
        std::this_thread::yield();
    }
    return 7;
}

}  // namespace

TEST(RunThreadTest, ReportsTheExitCodeOnceTheBodyHasReturned) {
    CRunThread thread;
    EXPECT_FALSE(thread.IsHeld());
    EXPECT_EQ(thread.Join(), 0);
    ASSERT_TRUE(thread.Start([](const std::atomic<bool>&) { return 1; }));
    EXPECT_TRUE(thread.IsHeld());
    thread.AwaitFinished();
    EXPECT_TRUE(thread.HasFinished());
    EXPECT_EQ(thread.Join(), 1);
    EXPECT_FALSE(thread.IsHeld());
    EXPECT_FALSE(thread.HasFinished());
}

TEST(RunThreadTest, AThrowingBodyEndsWithExitCodeZeroAndIsReported) {
    CRunThread thread;
    std::string caught;
    ASSERT_TRUE(thread.Start([](const std::atomic<bool>&) -> int { throw std::runtime_error("boom"); },
                             [&](const char* what) { caught = what; }));
    EXPECT_EQ(thread.Join(), 0);
    EXPECT_EQ(caught, "boom");
}

TEST(RunThreadTest, StartsNothingWhileAThreadIsHeld) {
    CRunThread thread;
    ASSERT_TRUE(thread.Start(waitForStop));
    EXPECT_FALSE(thread.Start([](const std::atomic<bool>&) { return 1; }));
    thread.RequestStop();
    EXPECT_EQ(thread.Join(), 7);
}

TEST(RunThreadTest, DestructionAndReplacementStopAndJoinTheHeldThread) {
    std::atomic<int> ended{0};
    const auto body = [&](const std::atomic<bool>& stop) {
        const int code = waitForStop(stop);
        ++ended;
        return code;
    };
    {
        CRunThread first;
        ASSERT_TRUE(first.Start(body));
        CRunThread moved(std::move(first));
        EXPECT_FALSE(first.IsHeld());
        EXPECT_TRUE(moved.IsHeld());

        CRunThread second;
        ASSERT_TRUE(second.Start(body));
        moved = std::move(second);
        EXPECT_EQ(ended.load(), 1) << "the replaced thread was stopped and joined";
    }
    EXPECT_EQ(ended.load(), 2);
}
