#include "engine/ClockEstimator.h"

#include <algorithm>
#include <cmath>

namespace {

using Vector = CClockEstimator::Vector;
using Matrix = CClockEstimator::Matrix;
constexpr std::size_t kStates = CClockEstimator::kStates;
enum : std::size_t { kPhase, kFrequency, kDrift, kSwingSine, kSwingCosine };
constexpr double kTwoPi = 6.283185307179586;
constexpr double kSwingOmega = kTwoPi / CClockEstimator::kSwingPeriod;

// The oscillator's error never goes beyond this: a larger estimate is noise.
constexpr double kFrequencyLimit = 500e-6;
// Nor does its daily swing (each of its parts), which warmth and cold move by a few ppm at most.
constexpr double kSwingLimit = 10e-6;
// A first estimate of the path's noise, before any sample: a millisecond.
constexpr double kFirstTypicalExcess = 1e-3;
// A spike counts as at most this in the typical excess.
constexpr double kExcessCap = 10e-3;

Vector times(const Matrix& m, const Vector& v) {
    Vector r{};
    for (std::size_t i = 0; i < kStates; ++i) {
        for (std::size_t j = 0; j < kStates; ++j) {
            r[i] += m[i][j] * v[j];
        }
    }
    return r;
}

// m c m^T.
Matrix sandwich(const Matrix& m, const Matrix& c) {
    Matrix mc{};
    Matrix r{};
    for (std::size_t i = 0; i < kStates; ++i) {
        for (std::size_t j = 0; j < kStates; ++j) {
            for (std::size_t k = 0; k < kStates; ++k) {
                mc[i][j] += m[i][k] * c[k][j];
            }
        }
    }
    for (std::size_t i = 0; i < kStates; ++i) {
        for (std::size_t j = 0; j < kStates; ++j) {
            for (std::size_t k = 0; k < kStates; ++k) {
                r[i][j] += mc[i][k] * m[j][k];
            }
        }
    }
    return r;
}

// Noise of variance q that enters along g (the state's response to it over the interval).
void addNoise(Matrix& c, const Vector& g, double q) {
    for (std::size_t i = 0; i < kStates; ++i) {
        for (std::size_t j = 0; j < kStates; ++j) {
            c[i][j] += q * g[i] * g[j];
        }
    }
}

// A state that knows nothing yet of the drift and the swing.
void forgetDriftAndSwing(Vector& state, Matrix& covariance) {
    state[kDrift] = 0.0;
    state[kSwingSine] = 0.0;
    state[kSwingCosine] = 0.0;
    covariance[kDrift][kDrift] = CClockEstimator::kDriftSigma * CClockEstimator::kDriftSigma;
    covariance[kSwingSine][kSwingSine] = CClockEstimator::kSwingSigma * CClockEstimator::kSwingSigma;
    covariance[kSwingCosine][kSwingCosine] = covariance[kSwingSine][kSwingSine];
}

// The frequency now is the mean one plus the swing at this hour, and as uncertain as both.
ClockEstimate estimateOf(double time, const Vector& state, const Matrix& covariance) {
    const Vector now{0.0, 1.0, 0.0, std::sin(kSwingOmega * time), std::cos(kSwingOmega * time)};
    double frequency = 0.0;
    double variance = 0.0;
    for (std::size_t i = 0; i < kStates; ++i) {
        frequency += now[i] * state[i];
        for (std::size_t j = 0; j < kStates; ++j) {
            variance += now[i] * covariance[i][j] * now[j];
        }
    }
    return ClockEstimate{state[kPhase], frequency, state[kFrequency], covariance[kPhase][kPhase], variance};
}

}  // namespace

CClockEstimator::CClockEstimator(double frequency, double frequencySigma) {
    m_state[kFrequency] = std::clamp(frequency, -kFrequencyLimit, kFrequencyLimit);
    m_cov[kFrequency][kFrequency] = frequencySigma * frequencySigma;
    forgetDriftAndSwing(m_state, m_cov);
    m_dTypicalExcess = kFirstTypicalExcess;
}

void CClockEstimator::WidenFrequency(double sigma) {
    m_cov[kFrequency][kFrequency] += sigma * sigma;
}

ClockEstimate CClockEstimator::Last() const {
    return estimateOf(m_dLastTime, m_state, m_cov);
}

// The noise of the frequency, of its drift and of the swing is taken to arrive at the start of
// the interval, so that across a long interval the sample that ends it tells the mean frequency
// over it.
void CClockEstimator::Propagate(double from, double dt, Vector& state, Matrix& covariance) {
    const double fade = std::exp(-dt / kDriftSeconds);
    const double driftToFrequency = kDriftSeconds * (1.0 - fade);
    const double driftToPhase = kDriftSeconds * (dt - driftToFrequency);
    const double to = from + dt;
    const double sineToPhase = (std::cos(kSwingOmega * from) - std::cos(kSwingOmega * to)) / kSwingOmega;
    const double cosineToPhase = (std::sin(kSwingOmega * to) - std::sin(kSwingOmega * from)) / kSwingOmega;
    const Matrix transition{{{1.0, dt, driftToPhase, sineToPhase, cosineToPhase},
                             {0.0, 1.0, driftToFrequency, 0.0, 0.0},
                             {0.0, 0.0, fade, 0.0, 0.0},
                             {0.0, 0.0, 0.0, 1.0, 0.0},
                             {0.0, 0.0, 0.0, 0.0, 1.0}}};
    state = times(transition, state);
    covariance = sandwich(transition, covariance);
    addNoise(covariance, Vector{dt, 1.0, 0.0, 0.0, 0.0}, kFrequencyWander * dt);
    addNoise(covariance, Vector{driftToPhase, driftToFrequency, fade, 0.0, 0.0},
             kDriftSigma * kDriftSigma * (1.0 - fade * fade));
    addNoise(covariance, Vector{sineToPhase, 0.0, 0.0, 1.0, 0.0}, kSwingWander * dt);
    addNoise(covariance, Vector{cosineToPhase, 0.0, 0.0, 0.0, 1.0}, kSwingWander * dt);
}

ClockEstimate CClockEstimator::At(double time) const {
    Vector state = m_state;
    Matrix covariance = m_cov;
    Propagate(m_dLastTime, std::max(0.0, time - m_dLastTime), state, covariance);
    state[kPhase] += m_dPendingCorrection;
    return estimateOf(time, state, covariance);
}

void CClockEstimator::Predict(double time) {
    Propagate(m_dLastTime, std::max(0.0, time - m_dLastTime), m_state, m_cov);
    m_state[kPhase] += m_dPendingCorrection;
    m_dPendingCorrection = 0.0;
    m_dLastTime = time;
}

void CClockEstimator::Start(double time, double phase, double variance) {
    m_state[kPhase] = phase;
    for (std::size_t i = 0; i < kStates; ++i) {
        m_cov[kPhase][i] = 0.0;
        m_cov[i][kPhase] = 0.0;
    }
    m_cov[kPhase][kPhase] = variance;
    m_dLastTime = time;
    m_dPendingCorrection = 0.0;
    m_bHasPhase = true;
    m_vecOutliers.clear();
}

double CClockEstimator::ShortestDelay() const {
    return *std::min_element(m_arrDelays.begin(),
                             m_arrDelays.begin() + static_cast<std::ptrdiff_t>(m_nDelays));
}

// The shortest of n round trips seen lies about a typical excess over n above the path's own,
// and with exponential waits as much again is not rare.
double CClockEstimator::Excess(double delay) const {
    const double shortest = m_nDelays > 0 ? std::min(delay, ShortestDelay()) : delay;
    const double seen = static_cast<double>(m_nDelays + 1);
    return delay - shortest + kShortestRoundTripSlack + 2.0 * m_dTypicalExcess / seen;
}

double CClockEstimator::SpikePart(double delay) const {
    return std::max(0.0, Excess(delay) - kSpikeExcesses * m_dTypicalExcess);
}

// The offset error of a sample lies anywhere within half of what its path added to the
// shortest round trip (evenly, when both legs wait alike): a variance of a twelfth of its square.
// A spike's part of the excess sat on one leg: it moves the offset by half of itself, a variance
// of a quarter of its square.
double CClockEstimator::SampleVariance(double delay) const {
    const double spike = SpikePart(delay);
    const double usual = Excess(delay) - spike;
    return kSampleNoiseFloor * kSampleNoiseFloor + usual * usual / 12.0 + spike * spike / 4.0;
}

// The typical excess is the mean over the round trips remembered, each against the shortest of
// them, a spike counting as at most kExcessCap.
void CClockEstimator::NoteDelay(double delay) {
    m_arrDelays[m_nNextDelay] = delay;
    m_nNextDelay = (m_nNextDelay + 1) % kDelayMemory;
    m_nDelays = std::min(m_nDelays + 1, kDelayMemory);
    const double shortest = ShortestDelay();
    double sum = 0.0;
    for (std::size_t i = 0; i < m_nDelays; ++i) {
        sum += std::min(m_arrDelays[i] - shortest, kExcessCap);
    }
    m_dTypicalExcess = m_nDelays > 1 ? sum / static_cast<double>(m_nDelays - 1) : kFirstTypicalExcess;
}

SampleVerdict CClockEstimator::AddSample(double time, double phase, double delay) {
    const double variance = SampleVariance(delay);
    NoteDelay(delay);
    for (HeldOutlier& held : m_vecOutliers) {
        held.correctionSince += m_dPendingCorrection;
    }
    if (!m_bHasPhase) {
        Start(time, phase, variance);
        m_dLastSurprise = 0.0;
        return SampleVerdict::First;
    }
    const double elapsed = time - m_dLastTime;
    Predict(time);
    const double spread = m_cov[kPhase][kPhase] + variance;
    const double innovation = phase - m_state[kPhase];
    m_dLastSurprise = innovation / std::sqrt(spread);
    if (std::fabs(innovation) > OutlierLimit(spread, elapsed)) {
        return HoldOutlier(time, phase, variance);
    }
    m_vecOutliers.clear();
    Vector gain{};
    for (std::size_t i = 0; i < kStates; ++i) {
        gain[i] = m_cov[i][kPhase] / spread;
    }
    Matrix updated = m_cov;
    for (std::size_t i = 0; i < kStates; ++i) {
        m_state[i] += gain[i] * innovation;
        for (std::size_t j = 0; j < kStates; ++j) {
            updated[i][j] -= gain[i] * m_cov[kPhase][j];
        }
    }
    m_cov = updated;
    m_state[kFrequency] = std::clamp(m_state[kFrequency], -kFrequencyLimit, kFrequencyLimit);
    m_state[kSwingSine] = std::clamp(m_state[kSwingSine], -kSwingLimit, kSwingLimit);
    m_state[kSwingCosine] = std::clamp(m_state[kSwingCosine], -kSwingLimit, kSwingLimit);
    return SampleVerdict::Used;
}

// Beyond what the spread allows, and beyond what a frequency error the estimate does not know
// of could have done since the last sample: an estimate learned over minutes, or carried over a
// day, may well be a few ppm off, and that is no reason to refuse the sample.
double CClockEstimator::OutlierLimit(double spread, double elapsed) const {
    return std::max(kOutlierSigmas * std::sqrt(spread), kOutlierFloor) + kPlausibleFrequencyError * elapsed;
}

// An outlier that the outlier before it predicts (its phase carried forward by the frequency
// and our corrections since) means the clock has moved: start afresh from the newer one. When
// they do not agree under the frequency known but several lie on a course of their own, that
// frequency was wrong: start afresh from them.
SampleVerdict CClockEstimator::HoldOutlier(double time, double phase, double variance) {
    if (ConfirmsJump(time, phase, variance)) {
        Start(time, phase, variance);
        return SampleVerdict::Confirmed;
    }
    if (m_vecOutliers.size() == kOutliersOnACourse) {
        m_vecOutliers.erase(m_vecOutliers.begin());
    }
    m_vecOutliers.push_back(HeldOutlier{time, phase, variance, 0.0});
    return RestartFromCourse() ? SampleVerdict::Confirmed : SampleVerdict::Outlier;
}

bool CClockEstimator::ConfirmsJump(double time, double phase, double variance) const {
    if (m_vecOutliers.empty()) {
        return false;
    }
    const HeldOutlier& last = m_vecOutliers.back();
    const double dt = time - last.time;
    const double expected = last.phase + m_state[kFrequency] * dt + last.correctionSince;
    const double spread = last.variance + variance + dt * dt * m_cov[kFrequency][kFrequency];
    return std::fabs(phase - expected) <= OutlierLimit(spread, 0.0);
}

// The held outliers on the clock's own course (their phases with our corrections since taken
// out) fitted by a straight line: when each lies within the limit of its noise from it, the
// line's slope is the frequency, as uncertain as the fit over their span makes it.
bool CClockEstimator::RestartFromCourse() {
    if (m_vecOutliers.size() < kOutliersOnACourse) {
        return false;
    }
    const double n = static_cast<double>(m_vecOutliers.size());
    double meanTime = 0.0;
    double meanCourse = 0.0;
    double noise = 0.0;
    for (const HeldOutlier& held : m_vecOutliers) {
        meanTime += held.time / n;
        meanCourse += (held.phase + held.correctionSince) / n;
        noise = std::max(noise, held.variance);
    }
    double spanSquares = 0.0;
    double product = 0.0;
    for (const HeldOutlier& held : m_vecOutliers) {
        spanSquares += (held.time - meanTime) * (held.time - meanTime);
        product += (held.time - meanTime) * (held.phase + held.correctionSince - meanCourse);
    }
    if (spanSquares <= 0.0) {
        return false;
    }
    const double slope = product / spanSquares;
    const double limit = OutlierLimit(2.0 * noise, 0.0);
    for (const HeldOutlier& held : m_vecOutliers) {
        const double residual =
            held.phase + held.correctionSince - meanCourse - slope * (held.time - meanTime);
        if (std::fabs(residual) > limit) {
            return false;
        }
        noise = std::max(noise, residual * residual);
    }
    const HeldOutlier newest = m_vecOutliers.back();
    Start(newest.time, newest.phase, newest.variance);
    m_state[kFrequency] = std::clamp(slope, -kFrequencyLimit, kFrequencyLimit);
    m_cov = Matrix{};
    m_cov[kPhase][kPhase] = newest.variance;
    m_cov[kFrequency][kFrequency] = noise / spanSquares;
    forgetDriftAndSwing(m_state, m_cov);
    return true;
}
