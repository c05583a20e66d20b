// The Win32 clock and privilege adapters against Wine: the precise reading, the privilege
// enabled only for one setting, Wine's refusal of large settings, and the token paths of a
// system without access tokens and of a failing look-up.

#include "engine/Win32EnginePorts_win.h"
#include "sntp/Win32SystemClock_win.h"
#include "sntp/Win32TimePrivilege_win.h"
#include "tests/support/TokenPrivilege.h"
#include "tests/support/VirtualClock.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr int kErrorPrivilegeNotHeld = 1314;

TEST(Win32Clock, ReadsAtFullResolution) {
    const CWin32SystemClock clock;
    ASSERT_TRUE(clock.readsPrecisely());
    // Consecutive readings step far below a millisecond, and not on millisecond boundaries.
    int offBoundary = 0;
    double smallestStep = 1.0;
    NtpTimestamp previous = clock.nowUtc();
    for (int i = 0; i < 200; ++i) {
        const NtpTimestamp now = clock.nowUtc();
        const double step = NtpTimestamp::secondsSince(now, previous);
        ASSERT_GE(step, 0.0);
        if (step > 0.0 && step < smallestStep) {
            smallestStep = step;
        }
        offBoundary += now.fraction() != kMillisecondFraction[fractionToMilliseconds(now.fraction()) % 1000];
        previous = now;
    }
    EXPECT_LT(smallestStep, 100e-6);
    EXPECT_GT(offBoundary, 150);

    SYSTEMTIME st{};
    ::GetSystemTime(&st);
    const NtpTimestamp coarse = NtpTimestamp::fromSystemTime(CalendarTime{
        st.wYear, st.wMonth, st.wDayOfWeek, st.wDay, st.wHour, st.wMinute, st.wSecond, st.wMilliseconds});
    EXPECT_LT(std::fabs(NtpTimestamp::secondsSince(clock.nowUtc(), coarse)), 0.05);
}

TEST(Win32Clock, WithoutThePreciseCallReadsWholeMilliseconds) {
    const CWin32SystemClock fallback(nullptr);
    const CWin32SystemClock precise;
    ASSERT_FALSE(fallback.readsPrecisely());
    for (int i = 0; i < 20; ++i) {
        const NtpTimestamp now = fallback.nowUtc();
        EXPECT_EQ(now.fraction(), kMillisecondFraction[fractionToMilliseconds(now.fraction())]);
        EXPECT_LT(std::fabs(NtpTimestamp::secondsSince(precise.nowUtc(), now)), 0.05);
    }
}

// Small and large settings and the privilege around them are in the clock contract; here the
// error a refused setting leaves where Win32 callers look for it.
TEST(Win32Clock, ARefusedSettingLeavesItsErrorAsTheLastError) {
    CWin32SystemClock clock;
    CWin32TimePrivilege privilege;
    const SystemResult large = setSystemClock(clock, privilege, clock.nowUtc().plusSeconds(7200.0));
    EXPECT_EQ(large.nError, kErrorPrivilegeNotHeld);
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(kErrorPrivilegeNotHeld)) << "restore kept the error";
}

// Token calls that a test scripts; the adjust calls are counted and passed on.
DWORD g_openError = 0;
DWORD g_lookupError = 0;
int g_adjustCalls = 0;

BOOL WINAPI scriptedOpen(HANDLE process, DWORD access, PHANDLE token) {
    if (g_openError != 0) {
        ::SetLastError(g_openError);
        return FALSE;
    }
    return ::OpenProcessToken(process, access, token);
}

BOOL WINAPI scriptedLookup(LPCSTR systemName, LPCSTR name, PLUID luid) {
    if (g_lookupError != 0) {
        ::SetLastError(g_lookupError);
        return FALSE;
    }
    return ::LookupPrivilegeValueA(systemName, name, luid);
}

BOOL WINAPI countedAdjust(HANDLE token, BOOL disableAll, PTOKEN_PRIVILEGES state, DWORD length,
                          PTOKEN_PRIVILEGES previous, PDWORD returned) {
    ++g_adjustCalls;
    return ::AdjustTokenPrivileges(token, disableAll, state, length, previous, returned);
}

const TokenApi kScriptedApi{scriptedOpen, scriptedLookup, countedAdjust};

class ScriptedToken : public ::testing::Test {
protected:
    void SetUp() override {
        g_openError = 0;
        g_lookupError = 0;
        g_adjustCalls = 0;
    }

    // A change this small is one Wine carries out.
    SystemResult nudgeRealClock() {
        return setSystemClock(m_realClock, m_privilege, m_realClock.nowUtc().plusSeconds(0.05));
    }

    CWin32SystemClock m_realClock;
    CWin32TimePrivilege m_privilege{kScriptedApi};
};

TEST_F(ScriptedToken, RealTokenEnablesThenDisables) {
    const SystemResult result = nudgeRealClock();
    EXPECT_TRUE(result.bSucceeded) << result.nError;
    EXPECT_EQ(g_adjustCalls, 2);
}

TEST_F(ScriptedToken, WithoutAccessTokensTheClockIsSetDirectly) {
    g_openError = ERROR_CALL_NOT_IMPLEMENTED;
    const SystemResult enabled = m_privilege.enable();
    EXPECT_TRUE(enabled.bSucceeded);
    EXPECT_EQ(::GetLastError(), 0u);
    m_privilege.restore();

    const SystemResult result = nudgeRealClock();
    EXPECT_TRUE(result.bSucceeded) << result.nError;
    EXPECT_EQ(g_adjustCalls, 0);
}

TEST_F(ScriptedToken, FailedLookUpLeavesTheClockAloneAndRestoreDoesNothing) {
    g_lookupError = ERROR_NO_SUCH_PRIVILEGE;
    CVirtualClock clock(m_realClock);
    const SystemResult result = setSystemClock(clock, m_privilege, clock.nowUtc().plusSeconds(0.05));
    EXPECT_FALSE(result.bSucceeded);
    EXPECT_EQ(result.nError, static_cast<int>(ERROR_NO_SUCH_PRIVILEGE));
    EXPECT_TRUE(clock.settings().empty());
    EXPECT_EQ(g_adjustCalls, 0);
}

TEST_F(ScriptedToken, OtherTokenFailuresAreFailures) {
    g_openError = ERROR_ACCESS_DENIED;
    CVirtualClock clock(m_realClock);
    const SystemResult result = setSystemClock(clock, m_privilege, clock.nowUtc());
    EXPECT_FALSE(result.bSucceeded);
    EXPECT_EQ(result.nError, static_cast<int>(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(clock.settings().empty());
}

}  // namespace
