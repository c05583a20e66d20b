#include "engine/SyncRun.h"

#include "common/LogResult.h"
#include "common/SystemErrorText.h"
#include "common/TextFormat.h"
#include "engine/AutomationDate.h"
#include "settings/SyncMode.h"

namespace {

constexpr const char* kManualLabel = "Manualy";  // the product's spelling

}  // namespace

CSyncRun::CSyncRun(RunSnapshot snapshot, RunServices services)
    : m_snapshot(std::move(snapshot)), m_services(std::move(services)) {}

int CSyncRun::Execute(const std::atomic<bool>& stop) {
    const SyncOutcome outcome = Query(stop);
    std::lock_guard<std::mutex> lock(m_services.commitLock);
    if (stop.load()) {
        return 0;  // broken off: nothing more is logged, set or advanced
    }
    return Commit(outcome);
}

// Success is the exchange's own flag: a delay of 0 is a measurement, not a failure. A server
// that refused us (kiss code) is not asked again in this run.
SyncOutcome CSyncRun::Query(const std::atomic<bool>& stop) {
    SyncOutcome outcome;
    for (int i = 0; i < m_snapshot.nMaxAttempts && !stop.load(); ++i) {
        outcome = m_services.attempt.attempt(m_snapshot.strAddress, stop);
        if (outcome.bSucceeded || outcome.bServerRefused) {
            break;
        }
    }
    return outcome;
}

int CSyncRun::Commit(const SyncOutcome& outcome) {
    const std::string failedLine = FormatText("Failed. Server: %s", m_snapshot.strTitle.c_str());
    if (!outcome.bSucceeded) {
        return Fail(failedLine);
    }
    if (m_snapshot.nOffset != 0) {
        CalendarTime shifted;
        if (!ShiftedLocalTime(shifted)) {
            return Fail("Time conversion error!");
        }
        const SystemResult set = m_services.clock.setLocal(shifted);
        if (!set.bSucceeded) {
            LogRefusedShift(set.nError);
            return Fail(failedLine);
        }
    }
    const char* label = m_snapshot.bManual ? kManualLabel : SyncModeName(m_snapshot.nSynPeriod);
    m_services.log.write(FormatText("%s. Successful. Server: %s.", label, m_snapshot.strTitle.c_str()),
                         LOG_SUCCEEDED, outcome.roundTripDelay);
    return 1;
}

int CSyncRun::Fail(const std::string& text) {
    m_services.log.write(text, LOG_FAILED, 0.0);
    m_services.nextServer();
    return 0;
}

// The freshly set clock moved by nOffset whole seconds, keeping its milliseconds; false when
// the sum lies outside the calendar.
bool CSyncRun::ShiftedLocalTime(CalendarTime& shifted) const {
    CalendarTime local = m_services.clock.nowLocal();
    const std::uint16_t milliseconds = local.wMilliseconds;
    local.wMilliseconds = 0;
    if (!AutomationDate::fromCalendar(local).plusSeconds(m_snapshot.nOffset).toCalendar(shifted)) {
        return false;
    }
    shifted.wMilliseconds = milliseconds;
    return true;
}

// A notice, so that the reason stays in the log even when failures are not logged, and so
// that it comes before the failure line: the console reloads the log when that line is
// announced, and the notice itself is never announced.
void CSyncRun::LogRefusedShift(int error) {
    const std::string reason = ErrorCodeText(error);
    m_services.log.write(FormatText("Error. The clock was not shifted by %d seconds. System error %d%s%s",
                                    m_snapshot.nOffset, error, reason.empty() ? "." : ": ", reason.c_str()),
                         LOG_NOTICE, 0.0);
}
