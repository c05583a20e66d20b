#pragma once
// Keeps the clock right between synchronisations instead of only setting it at each one. Every
// sample (a server's offset and round trip) goes to the estimate of the clock's phase and its
// oscillator's frequency error (ClockEstimator.h); the discipline then corrects the frequency
// error through the clock's rate for as long as the service runs, and removes the phase error:
// a small one gradually (a slew: a little more rate, at most kMaxSlewPpm, for a short while),
// one of kStepThreshold or more at once (a step that lands on its target, ClockStep.h).
//
// The clock's target is the servers' time plus the user's offset (nOffset). A change of the
// offset is stepped whatever its size; it is the user's own choice, so it needs no second
// server (the run asks one for a correction beyond kSingleServerLimit of the clock's own).
//
// What it learned is kept in the drift file (at most hourly, and at the stop), so that a restart
// corrects the rate at once. Without one, it asks for extra samples at first (IsLearning): the
// schedules of the hourly and daily modes alone would let the unknown frequency error carry
// the clock far off before the second sample.
//
// Kept to steps (setStepsOnly: the Windows Time service drives the rate), or when the platform
// refuses the rate, it sets the clock to every sample as the service always did, and leaves
// the rate to Windows.
//
// The PC's life: after a wake from sleep the phase is unknown (the clock kept the firmware's time)
// and the next sample starts it afresh, a step allowed; the frequency learned is kept. A clock set
// by somebody else does the same; the frequency too becomes less certain when a sample taken
// since the last tick may straddle the change. Its own steps, and a wake, are not somebody else:
// a notice within kExpectedChangeSeconds of them is theirs.
//
// Thread-safe: samples arrive on the run thread, ticks and questions on the control window's.

#include "common/LogSink.h"
#include "engine/ClockEstimator.h"
#include "engine/DriftFile.h"
#include "engine/PollInterval.h"
#include "engine/RateQuantiser.h"
#include "engine/StepsOnlySwitch.h"
#include "sntp/ClockRate.h"
#include "sntp/MonotonicClock.h"
#include "sntp/SystemClock.h"

#include <atomic>
#include <chrono>
#include <limits>
#include <memory>
#include <mutex>

struct DisciplinePorts {
    SystemClock& clock;
    TimePrivilege& privilege;
    ClockRate& rate;
    const MonotonicClock& monotonic;
    LogSink& log;
    CDriftFile& drift;
};

// What a run did to the clock.
enum class ClockAction {
    None,     // nothing to correct, or the sample was not used
    Slewed,   // the phase is being corrected through the rate
    Stepped,  // the clock was set
    Refused,  // the sample disagrees with what the clock is known to do: not used
    Failed,   // the step was refused by the platform (result says why)
};

struct DisciplineResult {
    ClockAction action = ClockAction::None;
    double correction = 0.0;  // seconds the clock is moved by (stepped or to be slewed)
    int nOffsetChange = 0;    // the part of a step that changes the user's offset
    SystemResult result = SystemResult::success();
};

struct DisciplineStatus {
    bool bStepsOnly = false;
    bool bDrivingRate = false;
    bool bLearning = false;
    double frequencyPpm = 0.0;       // the oscillator's error as estimated
    double frequencySigmaPpm = 0.0;  // its uncertainty
    double rateCorrectionPpm = 0.0;  // the rate set now (frequency and slew)
    double pathNoiseMs = 0.0;        // what round trips typically add to the shortest
    std::chrono::seconds pollInterval{0};
};

class CClockDiscipline final : public StepsOnlySwitch {
public:
    static constexpr double kStepThreshold = 0.5;  // s
    static constexpr double kMaxSlewPpm = 500.0;
    static constexpr double kSingleServerLimit = 1.0;   // s: a larger correction needs a second server
    static constexpr double kServersAgreeWithin = 0.1;  // s
    // A slew lasts this long, or as long as kMaxSlewPpm needs.
    static constexpr double kSlewSeconds = 30.0;
    // A sample delayed by a spike after a wait this long (s) is checked by another soon: until the
    // next one it alone would carry the clock, and the hourly mode's wait stays below it.
    static constexpr double kCheckAfterWait = 4.0 * 3600.0;
    // The frequency is learned once its uncertainty is this small (ppm).
    static constexpr double kLearnedSigmaPpm = 0.5;
    // On a path whose round trips typically exceed the shortest by kQuietPathExcess (s), the
    // continuous mode may wait kLongestWaitOnQuietPath (s) between samples.
    static constexpr double kQuietPathExcess = 1.0e-3;
    static constexpr double kLongestWaitOnQuietPath = 1024.0;
    static constexpr std::chrono::hours kDriftStoreSpacing{1};
    // A notice of a changed clock this long after a step of ours, or a wake, is about that.
    static constexpr double kExpectedChangeSeconds = 10.0;

    // Everything given must outlive the discipline.
    explicit CClockDiscipline(const DisciplinePorts& ports);
    // Hands the rate back.
    ~CClockDiscipline() override;

    CClockDiscipline(const CClockDiscipline&) = delete;
    CClockDiscipline& operator=(const CClockDiscipline&) = delete;

    // The service starts: what the drift file holds (a damaged one is ignored with a notice).
    // The rate is taken at the first tick.
    void Open();
    // Once a second: the slew goes on, the rate follows, the drift file is kept.
    void Tick();
    // The service stops: the rate goes back to Windows, and what was learned to the drift file.
    void Close();

    // The PC woke from sleep or hibernation: the phase is measured afresh at the next sample.
    void Resumed();
    // Windows says the clock was set. False when that was our own step or the wake's; true
    // (and the phase forgotten) when somebody else set it. Never waits for a run: the notice
    // of our own step may come while the step is being made.
    bool ClockChanged();

    // Kept to steps, or free to drive the rate again. Kept to steps, it hands the rate back.
    void setStepsOnly(bool stepsOnly) override;
    bool IsDrivingRate() const;

    // The correction of the clock's own (without a change of the user's offset) that a sample
    // of offset (server minus clock, s) asks for, and whether a second server must confirm it.
    double OwnCorrection(double offset) const;
    static bool NeedsSecondServer(double ownCorrection) {
        return ownCorrection > kSingleServerLimit || ownCorrection < -kSingleServerLimit;
    }
    static bool Agree(double offset, double otherOffset) {
        const double difference = offset - otherOffset;
        return difference <= kServersAgreeWithin && difference >= -kServersAgreeWithin;
    }

    // A sample: offset (server minus clock) and round trip delay in seconds, the user's offset
    // now. confirmed: a second server agreed with it, so it is used even when it contradicts
    // everything before.
    DisciplineResult Apply(double offset, double delay, int nOffset, bool confirmed);

    // How long to wait before the next sample, in the continuous mode and while learning.
    std::chrono::seconds PollInterval() const;
    // Extra samples are wanted: the frequency is not known yet, or the last sample, taken after
    // a long wait, was delayed by a spike.
    bool IsLearning() const;
    DisciplineStatus Status() const;

private:
    double Now() const;
    bool KeptToSteps() const { return m_bStepsOnly || m_bRateRefused; }
    void Integrate(double now);
    void TakeRate(double now);
    void SetRate(double ppm);
    void HandBack();
    double WantedNow(double now) const;
    void PlanSlew(double correction);
    DisciplineResult Step(double seconds, int offsetChange, int nOffset);
    DisciplineResult ApplyStepsOnly(double phase, int nOffset);
    double LongestWait() const;
    void StoreDrift(double now);
    bool IsFrequencyKnown() const;
    void ForgetPhase(double now);
    void ExpectChange(double now) { m_dExpectedChangeAt.store(now); }

    const DisciplinePorts m_ports;
    mutable std::mutex m_mutex;
    CClockEstimator m_estimator;
    CPollInterval m_poll;
    std::unique_ptr<CRateQuantiser> m_quantiser;  // made when the rate is taken
    bool m_bStepsOnly = false;
    bool m_bRateRefused = false;
    bool m_bDriving = false;
    bool m_bLearning = true;
    bool m_bCheckWanted = false;  // a spiked sample after a long wait wants another soon
    int m_nAppliedOffset = 0;
    double m_dLastIntegration = 0.0;
    double m_dSetPpm = 0.0;    // the rate set
    double m_dSlewLeft = 0.0;  // s still to slew
    double m_dSlewRate = 0.0;  // s/s, signed
    double m_dLastStore = 0.0;
    double m_dLearningSince = 0.0;
    bool m_bStored = false;
    double m_dLastTick = 0.0;
    double m_dLastSample = -std::numeric_limits<double>::infinity();
    // When the clock last changed in a way we know of (a step of ours, a wake).
    std::atomic<double> m_dExpectedChangeAt{-std::numeric_limits<double>::infinity()};
};
