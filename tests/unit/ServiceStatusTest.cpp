// The service's status, reported from two threads at once as the service thread and the
// control handler do (run under ThreadSanitizer too).

#include "service/ServiceStatus.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

using namespace service_state;

// Called only under the status lock, so it needs none of its own.
class CRecordingStatusSink : public StatusSink {
public:
    bool report(const StatusReport& status) override {
        m_vecReports.push_back(status);
        return true;
    }
    std::vector<StatusReport> m_vecReports;
};

TEST(ServiceStatus, WithoutASinkNothingIsReportedButTheRecordIsKept) {
    CServiceStatus status(kAcceptStop);
    EXPECT_FALSE(status.Set(kStartPending, kDefaultWaitHint, 0));
    EXPECT_EQ(status.Current().checkPoint, 1u);
    CRecordingStatusSink sink;
    status.Connect(&sink);
    EXPECT_TRUE(status.Set(kRunning, kDefaultWaitHint, 0));
    status.Connect(nullptr);
    EXPECT_FALSE(status.Set(kStopped, kDefaultWaitHint, 0));
    EXPECT_EQ(sink.m_vecReports.size(), 1u);

    CServiceStatus process(kAcceptStop);
    process.SetNotService();
    EXPECT_TRUE(process.Set(kStartPending, kDefaultWaitHint, 0));
    EXPECT_EQ(process.Current().currentState, 0u);
}

TEST(ServiceStatus, ServiceThreadAndControlHandlerReportTogether) {
    constexpr int kRounds = 2000;
    CServiceStatus status(kAcceptStop);
    CRecordingStatusSink sink;
    std::atomic<bool> bHandlerAnswering{false};
    std::atomic<bool> bServiceEnded{false};
    int nInterrogations = 0;
    // The control handler answers from before the sink is attached until it is taken away.
    std::thread controls([&] {
        while (!bServiceEnded.load() || nInterrogations < kRounds) {
            status.MarkState(kStopPending);
            (void)status.Set(status.Current().currentState, kDefaultWaitHint, 0);
            ++nInterrogations;
            bHandlerAnswering.store(true);
        }
    });
    std::thread service([&] {
        while (!bHandlerAnswering.load()) {
            std::this_thread::yield();
        }
        status.Connect(&sink);
        for (int round = 0; round < kRounds; ++round) {
            (void)status.Set(kStartPending, kDefaultWaitHint, 0);
        }
        status.Connect(nullptr);
        bServiceEnded.store(true);
    });
    service.join();
    controls.join();
    // Every report made through the sink carries the next checkpoint: none repeats, none
    // is skipped, whichever thread made it.
    ASSERT_GE(sink.m_vecReports.size(), static_cast<std::size_t>(kRounds));
    const std::uint32_t first = sink.m_vecReports.front().checkPoint;
    for (std::size_t index = 0; index < sink.m_vecReports.size(); ++index) {
        EXPECT_EQ(sink.m_vecReports[index].checkPoint, first + index);
    }
    EXPECT_EQ(status.Current().checkPoint, static_cast<std::uint32_t>(kRounds + nInterrogations));
}

}  // namespace
