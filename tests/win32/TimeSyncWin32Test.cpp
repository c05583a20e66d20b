// A synchronisation attempt with the real Win32 clock and privilege against the fake server:
// Wine accepts a setting of under half a second and refuses a larger one with 1314.

#include "sntp/SocketTransport.h"
#include "sntp/SteadyClock.h"
#include "sntp/TimeSync.h"
#include "sntp/Win32SystemClock_win.h"
#include "sntp/Win32TimePrivilege_win.h"
#include "tests/support/RecordingLogSink.h"
#include "tools/kit/FakeSntpServer.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

class Win32TimeSync : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_server.start("127.0.0.1", 0)) << socket_platform::lastError(); }

    SyncOutcome synchronize() {
        const SyncContext context{m_clock, m_privilege, m_log,   m_steady,        m_sockets,
                                  m_pacer, m_resolver,  nullptr, m_server.port(), 2000};
        return synchronizeWithServer(m_server.address(), context);
    }

    CWin32SystemClock m_clock;
    CWin32TimePrivilege m_privilege;
    CRecordingLogSink m_log;
    CSteadyClock m_steady;
    CSocketTransport m_sockets{m_steady};
    CQueryPacer m_pacer{m_steady};
    CHostResolver m_resolver{std::make_shared<CSystemNameLookup>(), m_steady};
    CFakeSntpServer m_server;
};

TEST_F(Win32TimeSync, AnOffsetUnderHalfASecondIsSet) {
    m_server.answerWith(FakeReply::offsetBy(0.2));
    const SyncOutcome outcome = synchronize();
    EXPECT_TRUE(outcome.bSucceeded) << static_cast<int>(outcome.failure) << " " << outcome.nError;
    EXPECT_GE(outcome.roundTripDelay, 0.0);
    EXPECT_EQ(m_server.requestCount(), 1u);
    EXPECT_TRUE(m_log.lines().empty());
}

TEST_F(Win32TimeSync, TwoHoursOffTakesTheCoarseStepWhichWineRefuses) {
    m_server.answerWith(FakeReply::offsetBy(7200.0));
    const SyncOutcome outcome = synchronize();
    EXPECT_FALSE(outcome.bSucceeded);
    EXPECT_EQ(outcome.failure, SyncFailure::ClockNotSet);
    EXPECT_EQ(outcome.nError, static_cast<int>(ERROR_PRIVILEGE_NOT_HELD));
    EXPECT_EQ(m_server.requestCount(), 1u) << "no second query after a refused step";
    EXPECT_TRUE(m_log.lines().empty());
}

}  // namespace
