#include "service/ServiceEvents.h"

#include "common/LogResult.h"
#include "common/ProductFacts.h"
#include "common/TextFormat.h"
#include "service/ServiceRules.h"

#include <string>

namespace {

// Offsets and steps carry their sign.
std::string Signed(double value) {
    return FormatText("%+.3f", value);
}

EventReport SuccessEvent(const RunRecord& record) {
    return {kEventIdSynchronized,
            event_type::kInformation,
            {record.strServer, Signed(record.sample.clockOffset * 1000.0),
             FormatText("%.3f", record.sample.roundTripDelay * 1000.0),
             std::string(HistoryActionName(HistoryActionOf(record.action)))}};
}

// A second server's disagreement is an event of its own; every other refusal is a failure.
EventReport FailureEvent(const RunRecord& record) {
    if (!record.strRival.empty()) {
        return {
            kEventIdRivalRefused,
            event_type::kWarning,
            {record.strServer, Signed(record.correction), record.strRival, Signed(record.rivalCorrection)}};
    }
    return {kEventIdSyncFailed, event_type::kWarning, {record.strServer, RunFailureReason(record)}};
}

}  // namespace

CServiceEvents::CServiceEvents(EventSink& sink, const MonotonicClock& monotonic)
    : m_sink(sink), m_monotonic(monotonic) {}

bool CServiceEvents::Append(const RunRecord& record) {
    std::lock_guard<std::mutex> lock(m_runMutex);
    if (record.action == ClockAction::Failed || record.action == ClockAction::Refused) {
        m_bFailedSince = true;
        m_sink.report(FailureEvent(record));
        return true;
    }
    if (record.action == ClockAction::Stepped) {
        m_sink.report({kEventIdStepped, event_type::kInformation, {Signed(record.correction)}});
    }
    const MonotonicClock::TimePoint now = m_monotonic.now();
    if (SuccessDue(record, now)) {
        m_sink.report(SuccessEvent(record));
        m_lastSuccessEvent = now;
        m_bFailedSince = false;
    }
    return true;
}

bool CServiceEvents::SuccessDue(const RunRecord& record, MonotonicClock::TimePoint now) const {
    return !record.bPoll || m_bFailedSince || !m_lastSuccessEvent ||
           now - *m_lastSuccessEvent >= kPollSuccessSpacing;
}

// A wait only shrinks while it lasts: one that grew is a new one. Kept to steps from the start
// is news; disciplining from the start is how most PCs run.
void CServiceEvents::publish(const ClockStatus& report) {
    if (report.backoffLeft > m_nBackoffLeft) {
        m_sink.report({kEventIdBackoffBegun, event_type::kWarning, {std::to_string(report.backoffLeft)}});
    }
    m_nBackoffLeft = report.backoffLeft;
    const bool bStepsOnly = report.stepsOnly != 0;
    if (bStepsOnly != m_bStepsOnly) {
        m_sink.report(
            {bStepsOnly ? kEventIdStepsOnly : kEventIdDisciplineBack, event_type::kInformation, {}});
    }
    m_bStepsOnly = bStepsOnly;
}

void CServiceEvents::notifyResult(int resultCode) {
    if (resultCode == LOG_UNWRITTEN) {
        m_sink.report({kEventIdLogUnwritten, event_type::kError, {kLogFileName}});
    }
}
