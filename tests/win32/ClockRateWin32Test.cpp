// The clock's rate and a step on Windows, under Wine: which pair of adjustment calls is chosen
// (Precise where both are present, the legacy pair otherwise), the calls made for a rate and for
// handing it back, the privilege held only around each call, and Wine's own answers (no Precise
// pair; the legacy calls succeed and do nothing). A step with the real clock: Wine accepts a
// move under half a second and refuses a larger one with 1314.

#include "engine/ClockStep.h"
#include "sntp/Win32ClockRate_win.h"
#include "sntp/Win32SystemClock_win.h"
#include "sntp/Win32TimePrivilege_win.h"
#include "tests/support/TokenPrivilege.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr DWORD64 kUsualIncrement = 156250;  // 15.625 ms in 100 ns units

struct AdjustmentCall {
    DWORD64 adjustment;
    BOOL disabled;
    bool bPrivilegeHeld;
};

std::vector<AdjustmentCall> g_calls;
BOOL g_bGetSucceeds = TRUE;

BOOL WINAPI RecordingGet(PDWORD64 adjustment, PDWORD64 increment, PBOOL disabled) {
    *adjustment = kUsualIncrement;
    *increment = kUsualIncrement;
    *disabled = TRUE;
    ::SetLastError(ERROR_ACCESS_DENIED);
    return g_bGetSucceeds;
}

BOOL WINAPI RecordingSet(DWORD64 adjustment, BOOL disabled) {
    g_calls.push_back(AdjustmentCall{adjustment, disabled, SystemTimePrivilegeEnabled()});
    return TRUE;
}

class Win32ClockRate : public ::testing::Test {
protected:
    void SetUp() override {
        g_calls.clear();
        g_bGetSucceeds = TRUE;
    }
};

TEST_F(Win32ClockRate, ThePrecisePairIsTakenOnlyWhenBothOfItArePresent) {
    OptionalFunctionSet functions;
    EXPECT_FALSE(ChooseAdjustmentCalls(functions).bPrecise);
    functions.getSystemTimeAdjustmentPrecise = RecordingGet;
    EXPECT_FALSE(ChooseAdjustmentCalls(functions).bPrecise) << "half a pair is no pair";
    functions.setSystemTimeAdjustmentPrecise = RecordingSet;
    const AdjustmentCalls precise = ChooseAdjustmentCalls(functions);
    EXPECT_TRUE(precise.bPrecise);
    EXPECT_EQ(precise.set, RecordingSet);
}

// One unit over the increment is 6.4 ppm: a rate is the nearest whole number of units, under
// the privilege, and handing back disables the adjustment.
TEST_F(Win32ClockRate, ARateIsTheIncrementPlusWholeUnitsUnderThePrivilegeAndHandingBackDisablesIt) {
    CWin32ClockRate rate(AdjustmentCalls{RecordingGet, RecordingSet, true});
    EXPECT_DOUBLE_EQ(rate.granularityPpm(), 6.4);
    ASSERT_TRUE(rate.setCorrection(12.8).bSucceeded);
    ASSERT_TRUE(rate.setCorrection(-32.0).bSucceeded);
    ASSERT_TRUE(rate.handBack().bSucceeded);
    ASSERT_EQ(g_calls.size(), 3u);
    EXPECT_EQ(g_calls[0].adjustment, kUsualIncrement + 2);
    EXPECT_FALSE(g_calls[0].disabled);
    EXPECT_EQ(g_calls[1].adjustment, kUsualIncrement - 5);
    EXPECT_TRUE(g_calls[2].disabled);
    for (const AdjustmentCall& call : g_calls) {
        EXPECT_TRUE(call.bPrivilegeHeld);
    }
    EXPECT_FALSE(SystemTimePrivilegeEnabled()) << "given back after each call";

    g_bGetSucceeds = FALSE;
    CWin32ClockRate unreadable(AdjustmentCalls{RecordingGet, RecordingSet, true});
    EXPECT_EQ(unreadable.granularityPpm(), 0.0);
    EXPECT_EQ(unreadable.setCorrection(6.4).nError, static_cast<unsigned long>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(g_calls.size(), 3u) << "no rate without the increment";
}

// Wine 8 has no Precise pair; its legacy calls answer 156250 and succeed without effect.
TEST_F(Win32ClockRate, UnderWineTheLegacyPairIsUsedAndItsCallsSucceed) {
    EXPECT_EQ(OptionalFunctions().setSystemTimeAdjustmentPrecise, nullptr);
    CWin32ClockRate rate;
    EXPECT_FALSE(rate.usesPrecise());
    EXPECT_EQ(rate.increment(), kUsualIncrement);
    EXPECT_TRUE(rate.setCorrection(6.4).bSucceeded);
    EXPECT_TRUE(rate.handBack().bSucceeded);
    EXPECT_FALSE(SystemTimePrivilegeEnabled());
}

TEST(Win32ClockStep, WineTakesAStepUnderHalfASecondAndRefusesALargerOneWithThePrivilegeGivenBack) {
    CWin32SystemClock clock;
    CWin32TimePrivilege privilege;
    EXPECT_TRUE(StepClock(clock, privilege, 0.0002).bSucceeded);
    EXPECT_FALSE(SystemTimePrivilegeEnabled());
    const SystemResult refused = StepClock(clock, privilege, 7200.0);
    EXPECT_FALSE(refused.bSucceeded);
    EXPECT_EQ(refused.nError, static_cast<unsigned long>(ERROR_PRIVILEGE_NOT_HELD));
    EXPECT_FALSE(SystemTimePrivilegeEnabled());
}

}  // namespace
