#include "engine/SyncRun.h"

#include "common/LogResult.h"
#include "common/SystemErrorText.h"
#include "common/TextFormat.h"
#include "settings/SyncMode.h"

namespace {

constexpr const char* kManualLabel = "Manualy";  // the product's spelling
// Why a server's answer was not used (each text whole in one literal, as the guide quotes it).
constexpr const char* kDisagreement =
    "Error. Server %s would step the clock %+.3f s; server %s disagrees (%+.3f s): clock left as it is.";
constexpr const char* kUnconfirmed =
    "Error. Server %s would step the clock %+.3f s; no second server confirms it: clock left as it is.";
constexpr const char* kOffCourse =
    "Error. Server %s is %+.3f s off the clock's course: its answer is not used.";

}  // namespace

CSyncRun::CSyncRun(RunSnapshot snapshot, RunServices services)
    : m_snapshot(std::move(snapshot)), m_services(std::move(services)) {}

int CSyncRun::Execute(const std::atomic<bool>& stop) {
    const SyncOutcome sample = Query(stop);
    const Confirmation confirmation = sample.bSucceeded ? Confirm(sample, stop) : Confirmation{};
    std::lock_guard<std::mutex> lock(m_services.commitLock);
    if (stop.load()) {
        return kFailed;  // broken off: nothing more is logged, set or advanced
    }
    return Commit(sample, confirmation);
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

// The other servers in turn, one sample each, until one at another address answers.
CSyncRun::Confirmation CSyncRun::Confirm(const SyncOutcome& sample, const std::atomic<bool>& stop) {
    Confirmation confirmation;
    confirmation.bNeeded =
        CClockDiscipline::NeedsSecondServer(m_services.discipline.OwnCorrection(sample.clockOffset)) &&
        !m_snapshot.vecOthers.empty();
    for (std::size_t i = 0;
         confirmation.bNeeded && i < m_snapshot.vecOthers.size() && i < kMaxConfirmingServers && !stop.load();
         ++i) {
        const CTimeServer& other = m_snapshot.vecOthers[i];
        const SyncOutcome answer = m_services.attempt.attempt(other.m_strAddress, stop);
        if (answer.bSucceeded && answer.address != sample.address) {
            confirmation.bAnswered = true;
            confirmation.strServer = other.m_strTitle;
            confirmation.sample = answer;
            break;
        }
    }
    return confirmation;
}

RunRecord CSyncRun::StartRecord(const SyncOutcome& sample) const {
    RunRecord record;
    record.utc = m_services.clock.nowUtc();
    record.strLabel = m_snapshot.bManual ? kManualLabel : SyncModeName(m_snapshot.nSynPeriod);
    record.strServer = m_snapshot.strTitle;
    record.sample = sample;
    record.frequencyPpm = m_services.discipline.Status().frequencyPpm;  // also for a run that fails
    record.bPoll = m_snapshot.bPoll;
    return record;
}

int CSyncRun::Commit(const SyncOutcome& sample, const Confirmation& confirmation) {
    RunRecord record = StartRecord(sample);
    if (!sample.bSucceeded) {
        return Fail(record);
    }
    CClockDiscipline& discipline = m_services.discipline;
    const char* title = m_snapshot.strTitle.c_str();
    const double correction = discipline.OwnCorrection(sample.clockOffset);
    if (confirmation.bNeeded && !confirmation.bAnswered) {
        return Refuse(record, FormatText(kUnconfirmed, title, correction));
    }
    if (confirmation.bNeeded &&
        !CClockDiscipline::Agree(sample.clockOffset, confirmation.sample.clockOffset)) {
        record.correction = correction;
        record.strRival = confirmation.strServer;
        record.rivalCorrection = discipline.OwnCorrection(confirmation.sample.clockOffset);
        return Refuse(record, FormatText(kDisagreement, title, correction, record.strRival.c_str(),
                                         record.rivalCorrection));
    }
    const DisciplineResult result =
        discipline.Apply(sample.clockOffset, sample.roundTripDelay, m_snapshot.nOffset, confirmation.bNeeded);
    record.action = result.action;
    record.correction = result.correction;
    record.frequencyPpm = discipline.Status().frequencyPpm;
    if (result.action == ClockAction::Refused) {
        Refuse(record, FormatText(kOffCourse, title, result.correction));
        return m_snapshot.bPoll ? kAnsweredOffCourse : kFailed;
    }
    if (result.action == ClockAction::Failed) {
        if (result.nOffsetChange != 0) {
            LogRefusedShift(result.nOffsetChange, result.result.nError);
        }
        record.strReason = FormatText("The clock was not set: system error %lu.", result.result.nError);
        return Fail(record);
    }
    m_services.log.write(FormatText("%s. Successful. Server: %s.", record.strLabel.c_str(), title),
                         LOG_SUCCEEDED, sample.roundTripDelay);
    m_services.report(record);
    return kSucceeded;
}

// The reason goes first, as a notice: it stays in the log even when failures are not logged,
// and the console, which reloads the log when the failure line is announced, finds it there.
int CSyncRun::Refuse(RunRecord& record, const std::string& reason) {
    m_services.log.write(reason, LOG_NOTICE, 0.0);
    record.strReason = reason;
    record.action = ClockAction::Refused;
    return Fail(record);
}

int CSyncRun::Fail(RunRecord& record) {
    m_services.log.write(FormatText("Failed. Server: %s", m_snapshot.strTitle.c_str()), LOG_FAILED, 0.0);
    m_services.nextServer();
    if (record.action != ClockAction::Refused) {
        record.action = ClockAction::Failed;
    }
    m_services.report(record);
    return kFailed;
}

void CSyncRun::LogRefusedShift(int offsetChange, unsigned long error) {
    const std::string reason = ErrorCodeText(static_cast<int>(error));
    m_services.log.write(FormatText("Error. The clock was not shifted by %d seconds. System error %lu%s%s",
                                    offsetChange, error, reason.empty() ? "." : ": ", reason.c_str()),
                         LOG_NOTICE, 0.0);
}
