// One sample of a server with the real sockets and the real Win32 clock under Wine: what the
// fake server's offset is measured as; the clock is not touched.

#include "sntp/ServerSample.h"
#include "sntp/SocketTransport.h"
#include "sntp/SteadyClock.h"
#include "sntp/Win32SystemClock_win.h"
#include "tests/support/RecordingLogSink.h"
#include "tools/kit/FakeSntpServer.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

TEST(Win32ServerSample, MeasuresTheServersOffsetOverRealSockets) {
    CFakeSntpServer server;
    ASSERT_TRUE(server.start("127.0.0.1", 0)) << socket_platform::lastError();
    server.answerWith(FakeReply::offsetBy(7200.0));
    CWin32SystemClock clock;
    CRecordingLogSink log;
    CSteadyClock steady;
    CSocketTransport sockets(steady);
    CQueryPacer pacer(steady);
    CHostResolver resolver(std::make_shared<CSystemNameLookup>(), steady);
    SampleContext context{clock, log, steady, sockets, pacer, resolver};
    context.port = server.port();
    context.timeoutMs = 2000;
    const SyncOutcome outcome = sampleServer(server.address(), context);
    ASSERT_TRUE(outcome.bSucceeded) << static_cast<int>(outcome.failure) << " " << outcome.nError;
    EXPECT_NEAR(outcome.clockOffset, 7200.0, 0.05);
    EXPECT_GE(outcome.roundTripDelay, 0.0);
    EXPECT_EQ(outcome.address.hostText(), "127.0.0.1");
    EXPECT_EQ(server.requestCount(), 1u);
    EXPECT_TRUE(log.lines().empty());
}

}  // namespace
