#include "engine/ClockDiscipline.h"

#include "common/LogResult.h"
#include "common/SystemErrorText.h"
#include "common/TextFormat.h"
#include "engine/ClockStep.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double kPpm = 1e-6;
// A PC's oscillator is typically within 50 ppm; nothing is known of this one yet.
constexpr double kUnknownFrequencySigma = 100e-6;
// What the drift file said may have moved since (another temperature, an aged crystal).
constexpr double kRememberedFrequencySigma = 1e-6;
// A jump of the clock that two samples confirm may come with a changed frequency.
constexpr double kJumpFrequencySigma = 5e-6;
// Learning takes at least this long: a frequency measured over minutes may look precise and
// still be a few ppm off.
constexpr double kShortestLearning = 2048.0;
constexpr const char* kRateRefused =
    "Error. The clock's rate cannot be set (system error %lu%s%s): it is stepped at each synchronization.";
// The expected time between two ticks: the last part of a slew is spread over it.
constexpr double kTickSeconds = 1.0;

double secondsOf(MonotonicClock::TimePoint t) {
    return std::chrono::duration<double>(t.time_since_epoch()).count();
}

}  // namespace

CClockDiscipline::CClockDiscipline(const DisciplinePorts& ports)
    : m_ports(ports), m_estimator(0.0, kUnknownFrequencySigma) {}

CClockDiscipline::~CClockDiscipline() {
    std::lock_guard<std::mutex> lock(m_mutex);
    HandBack();
}

double CClockDiscipline::Now() const {
    return secondsOf(m_ports.monotonic.now());
}

void CClockDiscipline::Open() {
    std::lock_guard<std::mutex> lock(m_mutex);
    const std::optional<DriftState> drift = m_ports.drift.Load();
    m_estimator = drift ? CClockEstimator(drift->frequencyPpm * kPpm, kRememberedFrequencySigma)
                        : CClockEstimator(0.0, kUnknownFrequencySigma);
    m_nAppliedOffset = drift ? drift->nOffset : 0;
    m_bLearning = !drift;
    m_bCheckWanted = false;
    m_dLearningSince = Now();
    m_bStored = false;
    m_poll.Restart();
    m_dSlewLeft = 0.0;
    m_dLastIntegration = Now();
}

void CClockDiscipline::Tick() {
    std::lock_guard<std::mutex> lock(m_mutex);
    const double now = Now();
    m_dLastTick = now;
    Integrate(now);
    if (!KeptToSteps() && !m_bDriving) {
        TakeRate(now);
    }
    const double spacing = std::chrono::duration<double>(kDriftStoreSpacing).count();
    if (IsFrequencyKnown() && (!m_bStored || now - m_dLastStore >= spacing)) {
        StoreDrift(now);
    }
}

void CClockDiscipline::Close() {
    std::lock_guard<std::mutex> lock(m_mutex);
    HandBack();
    if (IsFrequencyKnown()) {
        StoreDrift(Now());
    }
}

void CClockDiscipline::Resumed() {
    std::lock_guard<std::mutex> lock(m_mutex);
    const double now = Now();
    ExpectChange(now);
    ForgetPhase(now);
}

bool CClockDiscipline::ClockChanged() {
    const double now = Now();
    if (now - m_dExpectedChangeAt.load() <= kExpectedChangeSeconds) {
        return false;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_dLastSample >= m_dLastTick) {
        // The sample may have seen the change: the frequency it moved is less sure.
        m_estimator.WidenFrequency(kJumpFrequencySigma);
        m_bLearning = true;
        m_dLearningSince = now;
    }
    ForgetPhase(now);
    return true;
}

// What the rate did meanwhile is not counted: the next sample starts the phase afresh.
void CClockDiscipline::ForgetPhase(double now) {
    m_estimator.RestartPhase();
    m_dSlewLeft = 0.0;
    m_dLastIntegration = now;
}

void CClockDiscipline::setStepsOnly(bool stepsOnly) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bStepsOnly = stepsOnly;
    if (stepsOnly) {
        HandBack();
    }
}

bool CClockDiscipline::IsDrivingRate() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_bDriving;
}

double CClockDiscipline::OwnCorrection(double offset) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return offset + m_nAppliedOffset;
}

// The corrections of the rate since the last look go to the estimate, the slew moves on, and
// the rate follows what is wanted from now on.
void CClockDiscipline::Integrate(double now) {
    const double elapsed = now - m_dLastIntegration;
    if (elapsed <= 0.0) {
        return;
    }
    m_dLastIntegration = now;
    if (!m_bDriving) {
        return;
    }
    m_estimator.AddCorrection(m_dSetPpm * kPpm * elapsed);
    const double slewed =
        std::copysign(std::min(std::fabs(m_dSlewLeft), std::fabs(m_dSlewRate) * elapsed), m_dSlewLeft);
    m_dSlewLeft -= slewed;
    const double frequencyPpm = -m_estimator.At(now).frequency / kPpm;
    SetRate(m_quantiser->Next(elapsed, frequencyPpm + slewed / elapsed / kPpm, WantedNow(now)));
}

// The frequency's correction, and the slew spread so that its last part ends at the next tick.
double CClockDiscipline::WantedNow(double now) const {
    const double slew =
        std::copysign(std::min(std::fabs(m_dSlewRate), std::fabs(m_dSlewLeft) / kTickSeconds), m_dSlewLeft);
    return (-m_estimator.At(now).frequency + slew) / kPpm;
}

void CClockDiscipline::TakeRate(double now) {
    m_quantiser = std::make_unique<CRateQuantiser>(m_ports.rate.granularityPpm());
    m_dSetPpm = std::numeric_limits<double>::quiet_NaN();  // nothing set yet: the first setting goes out
    m_bDriving = true;
    SetRate(m_quantiser->Next(0.0, 0.0, WantedNow(now)));
}

void CClockDiscipline::SetRate(double ppm) {
    if (!m_bDriving || ppm == m_dSetPpm) {
        return;
    }
    const SystemResult set = m_ports.rate.setCorrection(ppm);
    if (set.bSucceeded) {
        m_dSetPpm = ppm;
        return;
    }
    // Without the rate there is no slewing: the clock is stepped at every sample, as before.
    m_bRateRefused = true;
    m_bDriving = m_bDriving && !std::isnan(m_dSetPpm);  // a rate never taken is not handed back
    HandBack();
    const std::string reason = ErrorCodeText(static_cast<int>(set.nError));
    m_ports.log.write(FormatText(kRateRefused, set.nError, reason.empty() ? "" : ": ", reason.c_str()),
                      LOG_NOTICE, 0.0);
}

void CClockDiscipline::HandBack() {
    if (!m_bDriving) {
        return;
    }
    m_bDriving = false;
    m_dSetPpm = 0.0;
    m_dSlewLeft = 0.0;
    const SystemResult back = m_ports.rate.handBack();
    if (!back.bSucceeded) {
        m_ports.log.write(
            FormatText("Error. The clock's rate was not handed back to Windows (system error %lu).",
                       back.nError),
            LOG_NOTICE, 0.0);
    }
}

void CClockDiscipline::PlanSlew(double correction) {
    const double seconds = std::max(kSlewSeconds, std::fabs(correction) / (kMaxSlewPpm * kPpm));
    m_dSlewLeft = correction;
    m_dSlewRate = correction / seconds;
}

DisciplineResult CClockDiscipline::Step(double seconds, int offsetChange, int nOffset) {
    DisciplineResult outcome;
    outcome.correction = seconds;
    outcome.nOffsetChange = offsetChange;
    // Windows tells every window of the change, ours too, perhaps before the step returns.
    ExpectChange(Now());
    outcome.result = StepClock(m_ports.clock, m_ports.privilege, seconds);
    ExpectChange(Now());
    if (!outcome.result.bSucceeded) {
        outcome.action = ClockAction::Failed;
        return outcome;
    }
    outcome.action = ClockAction::Stepped;
    m_estimator.AddCorrection(seconds - offsetChange);
    m_dSlewLeft = 0.0;
    if (offsetChange != 0) {
        m_nAppliedOffset = nOffset;
        if (IsFrequencyKnown()) {
            StoreDrift(Now());
        }
    }
    return outcome;
}

// As the service always did: the clock is set to every sample.
DisciplineResult CClockDiscipline::ApplyStepsOnly(double phase, int nOffset) {
    return Step(-phase + (nOffset - m_nAppliedOffset), nOffset - m_nAppliedOffset, nOffset);
}

DisciplineResult CClockDiscipline::Apply(double offset, double delay, int nOffset, bool confirmed) {
    std::lock_guard<std::mutex> lock(m_mutex);
    const double now = Now();
    Integrate(now);
    m_bCheckWanted = now - m_dLastSample >= kCheckAfterWait && m_estimator.IsSpike(delay);
    m_dLastSample = now;
    const int offsetChange = nOffset - m_nAppliedOffset;
    const double phase = -offset - m_nAppliedOffset;
    if (confirmed) {
        m_estimator.RestartPhase();
    }
    const SampleVerdict verdict = m_estimator.AddSample(now, phase, delay);
    if (KeptToSteps()) {
        return ApplyStepsOnly(phase, nOffset);
    }
    if (verdict == SampleVerdict::Outlier) {
        m_poll.NoteOutlier();
        DisciplineResult refused;
        refused.action = ClockAction::Refused;
        refused.correction = -phase;
        return refused;
    }
    if (verdict == SampleVerdict::Confirmed) {
        // The clock moved without us: perhaps its frequency was not what we thought either.
        m_estimator.WidenFrequency(kJumpFrequencySigma);
        m_bLearning = true;
        m_dLearningSince = now;
        m_poll.Restart();
    } else {
        m_poll.NoteSample(m_estimator.LastSurprise(), LongestWait());
    }
    m_bLearning = m_bLearning && !(IsFrequencyKnown() && now - m_dLearningSince >= kShortestLearning);
    if (!m_bDriving) {
        TakeRate(now);
    }
    const double estimated = m_estimator.Last().phase;
    DisciplineResult outcome;
    if (std::fabs(estimated) >= kStepThreshold || offsetChange != 0) {
        outcome = Step(-estimated + offsetChange, offsetChange, nOffset);
    } else {
        PlanSlew(-estimated);
        outcome.action = ClockAction::Slewed;
        outcome.correction = -estimated;
    }
    m_quantiser->Reset();
    SetRate(m_quantiser->Next(0.0, 0.0, WantedNow(now)));
    return outcome;
}

// The noise of a sample grows with the path's typical excess, and the samples needed for the
// same accuracy with its square.
double CClockDiscipline::LongestWait() const {
    const double ratio = kQuietPathExcess / m_estimator.TypicalExcess();
    return kLongestWaitOnQuietPath * ratio * ratio;
}

bool CClockDiscipline::IsFrequencyKnown() const {
    return std::sqrt(m_estimator.Last().frequencyVariance) <= kLearnedSigmaPpm * kPpm;
}

void CClockDiscipline::StoreDrift(double now) {
    m_ports.drift.Store(DriftState{m_estimator.Last().meanFrequency / kPpm, m_nAppliedOffset});
    m_dLastStore = now;
    m_bStored = true;
}

std::chrono::seconds CClockDiscipline::PollInterval() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_poll.Interval();
}

bool CClockDiscipline::IsLearning() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return (m_bLearning || m_bCheckWanted) && !KeptToSteps();
}

DisciplineStatus CClockDiscipline::Status() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    DisciplineStatus status;
    status.bStepsOnly = KeptToSteps();
    status.bDrivingRate = m_bDriving;
    status.bLearning = m_bLearning && !KeptToSteps();
    status.frequencyPpm = m_estimator.Last().frequency / kPpm;
    status.frequencySigmaPpm = std::sqrt(m_estimator.Last().frequencyVariance) / kPpm;
    status.rateCorrectionPpm = m_dSetPpm;
    status.pollInterval = m_poll.Interval();
    status.pathNoiseMs = m_estimator.TypicalExcess() * 1e3;
    return status;
}
