// What the console shows of an exception its barrier caught: one box at a time, each
// failure once, every one traced.

#include "console/CaughtFailure.h"

#include <gtest/gtest.h>

TEST(CaughtFailureTest, OneBoxAtATimeAndEachFailureOnce) {
    CCaughtFailureNotices notices;
    EXPECT_EQ(notices.BoxFor("DialogProc", "bad allocation"),
              "An unexpected error occurred (bad allocation). The last action was not completed.");
    // The box's own message loop runs the failing timer handler again.
    EXPECT_FALSE(notices.BoxFor("DialogProc", "bad allocation"));
    EXPECT_FALSE(notices.BoxFor("DialogProc", "another failure"));
    notices.BoxClosed();

    EXPECT_FALSE(notices.BoxFor("DialogProc", "bad allocation")) << "shown once already";
    EXPECT_TRUE(notices.BoxFor("DialogProc", "another failure"));
    notices.BoxClosed();
    EXPECT_TRUE(notices.BoxFor("EnumWindows", "bad allocation")) << "another callback";

    EXPECT_EQ(CCaughtFailureNotices::Trace("WinMain", "boom"), "HoraluxCons: WinMain: boom\n");
}
