#pragma once
// A PC's clock on virtual time, for the tests and the clock simulator: an oscillator with a
// frequency error, a random-walk wander and a daily swing, whose rate can be corrected
// (ClockRate, in whole steps of a chosen granularity) and which can be set (SystemClock). It
// keeps the truth a real PC hides: how far it is from the true time at any moment, and every
// step it was set by. Reading it costs a little virtual time, as reading a real clock costs a
// little real time, so that a wait that spins on the clock ends.

#include <cstdint>
#include <mutex>
#include <random>
#include <vector>

#include "sntp/ClockRate.h"
#include "sntp/SystemClock.h"
#include "tools/kit/VirtualMonotonicClock.h"

struct OscillatorModel {
    double frequencyPpm = 0.0;  // how fast the oscillator runs without correction
    double wander = 0.0;        // random walk of its frequency, per square root of a second (s/s)
    double swingPpm = 0.0;      // amplitude of a daily sinusoid of its frequency
    double swingPhase = 0.0;    // radians at the start
    std::uint64_t seed = 1;     // of the wander
};

struct ClockStepRecord {
    MonotonicClock::TimePoint at;
    double seconds;  // positive: forward
};

class CSimulatedPcClock final : public SystemClock, public ClockRate {
public:
    static constexpr std::chrono::nanoseconds kDefaultReadCost{100};

    // trueClock is the simulation's true time (read at monotonic's moments); both must outlive
    // the clock. The clock starts initialOffset seconds ahead of the true time; granularity is
    // the smallest step of rate it sets (ppm, 0 for any rate).
    CSimulatedPcClock(CVirtualMonotonicClock& monotonic, const SystemClock& trueClock,
                      const OscillatorModel& model, double granularityPpm, double initialOffset = 0.0,
                      std::chrono::nanoseconds readCost = kDefaultReadCost);

    NtpTimestamp nowUtc() const override;
    SystemResult setUtc(const CalendarTime& utc) override;

    double granularityPpm() const override { return m_dGranularity; }
    SystemResult setCorrection(double ppm) override;
    SystemResult handBack() override;

    // The truth at the present moment: the clock minus the true time (s), the oscillator's
    // frequency error and the rate correction set (ppm).
    double error() const;
    double oscillatorPpm() const;
    double correctionPpm() const;
    bool isAdjusted() const;
    std::vector<ClockStepRecord> steps() const;
    int rateSettings() const;

private:
    // Brings the error up to the monotonic clock's present moment. Under the lock.
    void advance() const;
    double frequencyAt(double seconds) const;

    CVirtualMonotonicClock& m_monotonic;
    const SystemClock& m_trueClock;
    const OscillatorModel m_model;
    const double m_dGranularity;
    const std::chrono::nanoseconds m_readCost;
    const MonotonicClock::TimePoint m_origin;

    mutable std::mutex m_mutex;
    mutable MonotonicClock::TimePoint m_last;
    mutable double m_dError;
    mutable double m_dWalk = 0.0;
    mutable std::mt19937_64 m_random;
    double m_dCorrectionPpm = 0.0;
    bool m_bAdjusted = false;
    int m_nRateSettings = 0;
    std::vector<ClockStepRecord> m_vecSteps;
};
