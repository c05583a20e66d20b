// The events an administrator collects: each outcome of a run, a back-off that begins, the
// clock's rate handed to Windows and back and a log file that takes no lines, each with its own
// identifier, type and values; the continuous mode's successes at most once an hour.

#include "service/ServiceEvents.h"

#include "common/LogResult.h"
#include "common/ProductFacts.h"
#include "service/ServiceRules.h"
#include "tools/kit/VirtualMonotonicClock.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <ostream>
#include <vector>

void PrintTo(const EventReport& event, std::ostream* out) {
    *out << std::hex << "0x" << event.id << std::dec << " type " << event.type << " {";
    for (const std::string& text : event.strings) {
        *out << " \"" << text << '"';
    }
    *out << " }";
}

namespace {

using namespace std::chrono_literals;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

class CRecordingEventSink final : public EventSink {
public:
    void report(const EventReport& event) override { m_vecEvents.push_back(event); }
    // What was reported since the last look.
    std::vector<EventReport> take() { return std::exchange(m_vecEvents, {}); }

private:
    std::vector<EventReport> m_vecEvents;
};

RunRecord Success(ClockAction action, double offset, double correction = 0.0, bool bPoll = false) {
    RunRecord record;
    record.strServer = "Alpha";
    record.sample = syncSuccess(0.0125, offset);
    record.action = action;
    record.correction = correction;
    record.bPoll = bPoll;
    return record;
}

RunRecord Failure(bool bPoll = false) {
    RunRecord record;
    record.strServer = "Beta";
    record.sample = syncFailure(SyncFailure::TimedOut);
    record.bPoll = bPoll;
    return record;
}

ClockStatus State(std::int32_t backoffLeft, bool bStepsOnly) {
    ClockStatus status;
    status.backoffLeft = backoffLeft;
    status.stepsOnly = bStepsOnly ? 1 : 0;
    return status;
}

class ServiceEventsTest : public ::testing::Test {
protected:
    CRecordingEventSink m_sink;
    CVirtualMonotonicClock m_monotonic;
    CServiceEvents m_events{m_sink, m_monotonic};
};

TEST_F(ServiceEventsTest, EachOutcomeHasItsOwnIdentifierTypeAndValues) {
    const std::uint16_t info = event_type::kInformation;
    const std::uint16_t warning = event_type::kWarning;

    m_events.Append(Success(ClockAction::Slewed, -0.0042));
    EXPECT_THAT(m_sink.take(), ElementsAre(EventReport{
                                   kEventIdSynchronized, info, {"Alpha", "-4.200", "12.500", "slewed"}}));

    m_events.Append(Success(ClockAction::Stepped, 2.5, 2.5));
    EXPECT_THAT(
        m_sink.take(),
        ElementsAre(EventReport{kEventIdStepped, info, {"+2.500"}},
                    EventReport{kEventIdSynchronized, info, {"Alpha", "+2500.000", "12.500", "stepped"}}));

    m_events.Append(Failure());
    EXPECT_THAT(m_sink.take(),
                ElementsAre(EventReport{kEventIdSyncFailed, warning, {"Beta", "No reply in time."}}));

    RunRecord offCourse = Success(ClockAction::Refused, 9.0);
    offCourse.strReason = "Error. Server Alpha is +9.000 s off the clock's course: its answer is not used.";
    m_events.Append(offCourse);
    EXPECT_THAT(m_sink.take(),
                ElementsAre(EventReport{kEventIdSyncFailed, warning, {"Alpha", offCourse.strReason}}));

    RunRecord rival = Success(ClockAction::Refused, 3.0, 3.0);
    rival.strRival = "Gamma";
    rival.rivalCorrection = -0.001;
    m_events.Append(rival);
    EXPECT_THAT(m_sink.take(), ElementsAre(EventReport{
                                   kEventIdRivalRefused, warning, {"Alpha", "+3.000", "Gamma", "-0.001"}}));

    // The engine's state each tick: a wait that begins (not each second of it), and the
    // clock's rate handed to Windows and taken back; disciplining from the start is no news.
    m_events.publish(State(0, false));
    m_events.publish(State(60, false));
    m_events.publish(State(59, false));
    m_events.publish(State(0, true));
    m_events.publish(State(120, true));
    m_events.publish(State(119, false));
    EXPECT_THAT(m_sink.take(), ElementsAre(EventReport{kEventIdBackoffBegun, warning, {"60"}},
                                           EventReport{kEventIdStepsOnly, info, {}},
                                           EventReport{kEventIdBackoffBegun, warning, {"120"}},
                                           EventReport{kEventIdDisciplineBack, info, {}}));

    // Of the log's notices only the one that says its file takes no lines.
    m_events.notifyResult(LOG_FAILED);
    m_events.notifyResult(LOG_UNWRITTEN);
    EXPECT_THAT(m_sink.take(),
                ElementsAre(EventReport{kEventIdLogUnwritten, event_type::kError, {kLogFileName}}));
}

TEST_F(ServiceEventsTest, ContinuousSuccessesAtMostHourlyButFailuresAlwaysAndTheFirstSuccessAfterOne) {
    const bool bPoll = true;
    m_events.Append(Success(ClockAction::Slewed, 0.001, 0.0, bPoll));
    EXPECT_EQ(m_sink.take().size(), 1u) << "the first success";
    m_monotonic.advance(59min);
    m_events.Append(Success(ClockAction::Slewed, 0.001, 0.0, bPoll));
    EXPECT_THAT(m_sink.take(), IsEmpty()) << "within the hour";
    m_events.Append(Success(ClockAction::Stepped, 0.5, 0.5, bPoll));
    EXPECT_THAT(m_sink.take(),
                ElementsAre(EventReport{kEventIdStepped, event_type::kInformation, {"+0.500"}}))
        << "a step always, its success not within the hour";
    m_monotonic.advance(1min);
    m_events.Append(Success(ClockAction::None, 0.0, 0.0, bPoll));
    EXPECT_EQ(m_sink.take().size(), 1u) << "an hour after the last success event";

    m_monotonic.advance(1min);
    m_events.Append(Failure(bPoll));
    m_events.Append(Failure(bPoll));
    EXPECT_EQ(m_sink.take().size(), 2u) << "failures always";
    m_events.Append(Success(ClockAction::Slewed, 0.001, 0.0, bPoll));
    EXPECT_EQ(m_sink.take().size(), 1u) << "the first success after a failure";
    m_events.Append(Success(ClockAction::Slewed, 0.001, 0.0, bPoll));
    EXPECT_THAT(m_sink.take(), IsEmpty());

    m_events.Append(Success(ClockAction::Slewed, 0.001));
    EXPECT_EQ(m_sink.take().size(), 1u) << "a run that is not a poll always";
}

}  // namespace
