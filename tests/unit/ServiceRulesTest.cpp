// The service framework's decisions: status reports, event identifiers, control requests,
// session and console events.

#include "service/ServiceRules.h"

#include <gtest/gtest.h>

namespace {

using namespace service_state;

TEST(StatusReport, CheckpointsOfAStartAndStop) {
    std::uint32_t counter = 0;
    const StatusReport first = MakeStatusReport(kStartPending, kDefaultWaitHint, 0, kAcceptStop, counter);
    const StatusReport second = MakeStatusReport(kStartPending, kDefaultWaitHint, 0, kAcceptStop, counter);
    const StatusReport running = MakeStatusReport(kRunning, kDefaultWaitHint, 0, kAcceptStop, counter);
    const StatusReport stopping = MakeStatusReport(kStopPending, kStopWaitHint, 0, kAcceptStop, counter);
    const StatusReport stopped = MakeStatusReport(kStopped, kDefaultWaitHint, 0, kAcceptStop, counter);
    EXPECT_EQ(first.checkPoint, 1u);
    EXPECT_EQ(second.checkPoint, 2u);
    EXPECT_EQ(running.checkPoint, 0u);
    EXPECT_EQ(stopping.checkPoint, 3u);
    EXPECT_EQ(stopping.waitHint, kStopWaitHint);
    EXPECT_EQ(stopped.checkPoint, 0u);
    EXPECT_EQ(stopped.currentState, kStopped);
}

TEST(StatusReport, NothingIsAcceptedWhileStarting) {
    std::uint32_t counter = 0;
    EXPECT_EQ(MakeStatusReport(kStartPending, 0, 0, kAcceptStop, counter).controlsAccepted, 0u);
    for (std::uint32_t state : {kRunning, kStopPending, kStopped, kPausePending}) {
        EXPECT_EQ(MakeStatusReport(state, 0, 0, kAcceptStop, counter).controlsAccepted, kAcceptStop);
    }
}

TEST(StatusReport, ServiceSpecificExitCodeSetsTheWin32Code) {
    std::uint32_t counter = 0;
    const StatusReport plain = MakeStatusReport(kStopped, 0, 0, kAcceptStop, counter);
    EXPECT_EQ(plain.win32ExitCode, 0u);
    const StatusReport specific = MakeStatusReport(kStopped, 0, 7, kAcceptStop, counter);
    EXPECT_EQ(specific.win32ExitCode, kErrorServiceSpecificError);
    EXPECT_EQ(specific.serviceSpecificExitCode, 7u);
}

TEST(EventId, ChosenFromTheTypeOnlyWhenAsked) {
    EXPECT_EQ(ChooseEventId(event_type::kError, kEventIdFromType), kEventIdError);
    EXPECT_EQ(ChooseEventId(event_type::kWarning, kEventIdFromType), 0x80000001u);
    EXPECT_EQ(ChooseEventId(event_type::kInformation, kEventIdFromType), 0x40000000u);
    EXPECT_EQ(ChooseEventId(0, kEventIdFromType), kEventIdInformation);
    EXPECT_EQ(ChooseEventId(event_type::kError, 3), 3u);
}

TEST(ControlRequest, StopPauseAndContinueMarkTheirPendingState) {
    EXPECT_EQ(ControlRuleFor(1).operation, ControlOperation::Stop);
    EXPECT_EQ(ControlRuleFor(1).pendingState, kStopPending);
    EXPECT_EQ(ControlRuleFor(2).pendingState, kPausePending);
    EXPECT_EQ(ControlRuleFor(3).pendingState, kContinuePending);
    EXPECT_EQ(ControlRuleFor(4).operation, ControlOperation::Interrogate);
    EXPECT_EQ(ControlRuleFor(4).pendingState, 0u);
    EXPECT_EQ(ControlRuleFor(5).operation, ControlOperation::Shutdown);
    for (std::uint32_t other : {0u, 6u, 0x80u, 0xFFFFFFFFu}) {
        EXPECT_EQ(ControlRuleFor(other).operation, ControlOperation::None) << other;
        EXPECT_EQ(ControlRuleFor(other).pendingState, 0u);
    }
}

TEST(SessionEnd, LogOffKeepsAHiddenServiceShutdownStopsIt) {
    constexpr std::intptr_t kLogOff = static_cast<std::intptr_t>(0x80000000u);
    EXPECT_EQ(RespondToSessionMessage(17, kLogOff), SessionResponse::DefaultProcessing);
    EXPECT_EQ(RespondToSessionMessage(22, kLogOff), SessionResponse::DefaultProcessing);
    EXPECT_EQ(RespondToSessionMessage(17, 0), SessionResponse::StopService);
    EXPECT_EQ(RespondToSessionMessage(22, 0), SessionResponse::StopService);
    EXPECT_EQ(RespondToSessionMessage(18, kLogOff), SessionResponse::StopService);
    EXPECT_EQ(RespondToSessionMessage(16, 0), SessionResponse::NotSessionMessage);
}

TEST(ConsoleEvent, OnlyCtrlCAndCtrlBreakStop) {
    EXPECT_TRUE(ConsoleEventStopsService(0));
    EXPECT_TRUE(ConsoleEventStopsService(1));
    EXPECT_FALSE(ConsoleEventStopsService(2));
    EXPECT_FALSE(ConsoleEventStopsService(5));
}

}  // namespace
