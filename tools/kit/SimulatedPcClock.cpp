#include "tools/kit/SimulatedPcClock.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kPpm = 1e-6;
constexpr double kDaySeconds = 86400.0;
constexpr double kTwoPi = 6.283185307179586;
// The wander and the swing change the frequency in steps of at most this (s).
constexpr double kIntegrationStep = 1.0;
// A rate the platform refuses: further than this from nominal (ppm).
constexpr double kRateLimitPpm = 100000.0;
constexpr unsigned long kInvalidParameter = 87;

double secondsBetween(MonotonicClock::TimePoint from, MonotonicClock::TimePoint to) {
    return std::chrono::duration<double>(to - from).count();
}

}  // namespace

CSimulatedPcClock::CSimulatedPcClock(CVirtualMonotonicClock& monotonic, const SystemClock& trueClock,
                                     const OscillatorModel& model, double granularityPpm,
                                     double initialOffset, std::chrono::nanoseconds readCost)
    : m_monotonic(monotonic),
      m_trueClock(trueClock),
      m_model(model),
      m_dGranularity(granularityPpm),
      m_readCost(readCost),
      m_origin(monotonic.now()),
      m_last(m_origin),
      m_dError(initialOffset),
      m_random(model.seed) {}

double CSimulatedPcClock::frequencyAt(double seconds) const {
    return (m_model.frequencyPpm +
            m_model.swingPpm * std::sin(kTwoPi * seconds / kDaySeconds + m_model.swingPhase)) *
               kPpm +
           m_dWalk;
}

void CSimulatedPcClock::advance() const {
    const MonotonicClock::TimePoint now = m_monotonic.now();
    double left = secondsBetween(m_last, now);
    double at = secondsBetween(m_origin, m_last);
    std::normal_distribution<double> step(0.0, 1.0);
    while (left > 0.0) {
        const double dt = std::min(left, kIntegrationStep);
        // The frequency at the middle of the step: exact for a linear change.
        m_dError += (frequencyAt(at + dt / 2) + m_dCorrectionPpm * kPpm) * dt;
        if (m_model.wander > 0.0) {
            m_dWalk += m_model.wander * std::sqrt(dt) * step(m_random);
        }
        at += dt;
        left -= dt;
    }
    m_last = now;
}

NtpTimestamp CSimulatedPcClock::nowUtc() const {
    if (m_readCost.count() > 0) {
        m_monotonic.advance(m_readCost);
    }
    const std::lock_guard<std::mutex> lock(m_mutex);
    advance();
    return m_trueClock.nowUtc().plusSeconds(m_dError);
}

SystemResult CSimulatedPcClock::setUtc(const CalendarTime& utc) {
    const std::lock_guard<std::mutex> lock(m_mutex);
    advance();
    const double error = NtpTimestamp::secondsSince(NtpTimestamp::fromSystemTime(utc), m_trueClock.nowUtc());
    m_vecSteps.push_back(ClockStepRecord{m_last, error - m_dError});
    m_dError = error;
    return SystemResult::success();
}

SystemResult CSimulatedPcClock::setCorrection(double ppm) {
    if (std::fabs(ppm) > kRateLimitPpm) {
        return SystemResult::failure(kInvalidParameter);
    }
    const std::lock_guard<std::mutex> lock(m_mutex);
    advance();
    // The platform sets whole steps only: what is asked between two is rounded.
    m_dCorrectionPpm = m_dGranularity > 0.0 ? std::round(ppm / m_dGranularity) * m_dGranularity : ppm;
    m_bAdjusted = true;
    ++m_nRateSettings;
    return SystemResult::success();
}

SystemResult CSimulatedPcClock::handBack() {
    const std::lock_guard<std::mutex> lock(m_mutex);
    advance();
    m_dCorrectionPpm = 0.0;
    m_bAdjusted = false;
    return SystemResult::success();
}

double CSimulatedPcClock::error() const {
    const std::lock_guard<std::mutex> lock(m_mutex);
    advance();
    return m_dError;
}

double CSimulatedPcClock::oscillatorPpm() const {
    const std::lock_guard<std::mutex> lock(m_mutex);
    advance();
    return frequencyAt(secondsBetween(m_origin, m_last)) / kPpm;
}

double CSimulatedPcClock::correctionPpm() const {
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_dCorrectionPpm;
}

bool CSimulatedPcClock::isAdjusted() const {
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_bAdjusted;
}

std::vector<ClockStepRecord> CSimulatedPcClock::steps() const {
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_vecSteps;
}

int CSimulatedPcClock::rateSettings() const {
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_nRateSettings;
}
