#pragma once
// What the samples say about the clock: its phase (how far it is from where it should be), its
// oscillator's frequency error, how fast that error is drifting and how it swings over the day,
// each with its uncertainty. A Kalman filter over those: the phase grows with the frequency
// error and with the corrections we make (which we know), the frequency follows its drift and
// its daily swing and wanders besides, and each sample measures the phase.
//
// The oscillator's model: its frequency may drift by up to about 1e-10 per second for a few
// hours (a room warming up), by a random walk besides, and it swings with the day's warmth and
// cold (about 1 ppm) in a 24-hour sine whose size and hour are learned. Samples an hour apart
// learn the swing within a day or two, and then the clock's course between them is known well
// enough that the drift's short memory no longer has to follow it. Samples a day apart never see
// the swing; for them the drift is forgotten over several hours, so that they are not thrown far
// by a drift that has long turned; across such a gap the frequency simply counts as less known,
// and the next sample's offset is taken for the mean frequency since.
//
// A sample's noise comes from its round trip: what the path added to the shortest round trip seen
// lately was split between the two legs in some unknown way, so the offset is wrong by up to half
// of it. What goes far beyond the path's usual excess is a spike: it waited in one queue, on one
// leg, so it moves the offset by half of itself, not anywhere up to that. A sample delayed by a
// spike therefore counts for little, and the least delayed samples carry the estimate. While few
// round trips are known, the shortest one seen may itself be well above the path's, so a sample
// counts for less: two samples a minute apart do not pin the frequency to a ppm. A sample far
// outside what the estimate predicts is an outlier and is not used; two in a row that agree with
// each other under the frequency known mean that the clock has really moved (someone set it, or
// the machine slept), and the phase starts afresh from them. Outliers in a row that lie on one
// course of their own mean that the estimate itself went wrong: it starts afresh from them, phase
// and frequency.
//
// Times are seconds on a monotonic scale; phase is the clock minus where it should be
// (positive: ahead); frequency is seconds gained per second without correction.

#include <array>
#include <cstddef>
#include <vector>

struct ClockEstimate {
    double phase = 0.0;              // s
    double frequency = 0.0;          // s/s, the daily swing included
    double meanFrequency = 0.0;      // s/s, over the day (what a restart at any hour may assume)
    double phaseVariance = 0.0;      // s^2
    double frequencyVariance = 0.0;  // (s/s)^2, of the frequency with its swing
};

enum class SampleVerdict {
    Used,      // the estimate took it in
    First,     // it started the estimate (the first sample, or one after a restart of the phase)
    Outlier,   // too far from the prediction; held, not used
    Confirmed  // outliers that confirm each other: the estimate starts afresh from them
};

class CClockEstimator {
public:
    // Seconds of phase error the noise of a sample never goes below (time-stamp resolution,
    // the server's own error).
    static constexpr double kSampleNoiseFloor = 30e-6;
    // The shortest round trip seen lately is itself a little above the path's true shortest:
    // every sample's excess counts this much more.
    static constexpr double kShortestRoundTripSlack = 0.25e-3;
    // An excess beyond this many typical excesses is a spike's, on one leg.
    static constexpr double kSpikeExcesses = 3.0;
    // Round trips remembered for the shortest one seen lately.
    static constexpr std::size_t kDelayMemory = 128;
    // The frequency's random walk: the variance it gains per second.
    static constexpr double kFrequencyWander = 1e-18;
    // The drift of the frequency: its typical size (s/s per s) and how long it lasts (s).
    static constexpr double kDriftSigma = 6e-11;
    static constexpr double kDriftSeconds = 20000.0;
    // The daily swing: its period (s), its size at first (s/s, each of its sine and cosine parts)
    // and the variance its parts gain per second (the seasons, another room).
    static constexpr double kSwingPeriod = 86400.0;
    static constexpr double kSwingSigma = 1e-6;
    static constexpr double kSwingWander = 0.1e-6 * 0.1e-6 / 86400.0;
    // An innovation beyond this many standard deviations (and beyond kOutlierFloor, and beyond
    // what kPlausibleFrequencyError could have done since the last sample) is an outlier.
    static constexpr double kOutlierSigmas = 5.0;
    static constexpr double kOutlierFloor = 2e-3;
    static constexpr double kPlausibleFrequencyError = 5e-6;
    // Outliers in a row that, on a course of their own, restart the phase and the frequency.
    static constexpr std::size_t kOutliersOnACourse = 3;

    // The frequency known at the start (from an earlier run, or 0 when unknown), and how
    // uncertain it is (standard deviation, s/s).
    CClockEstimator(double frequency, double frequencySigma);

    // Our own corrections moved the clock by seconds since the last sample (rate and steps).
    void AddCorrection(double seconds) { m_dPendingCorrection += seconds; }

    // A sample taken at time (monotonic seconds): the clock was phase seconds from where it
    // should be, over a round trip of delay seconds.
    SampleVerdict AddSample(double time, double phase, double delay);

    // Forgets the phase: the next sample starts it afresh (after a step of unknown effect).
    void RestartPhase() { m_bHasPhase = false; }
    // Makes the frequency less certain (a confirmed jump of the clock).
    void WidenFrequency(double sigma);

    bool HasPhase() const { return m_bHasPhase; }
    // The estimate at time, with the corrections made since the last sample.
    ClockEstimate At(double time) const;
    // The estimate as of the last sample (corrections since then not included).
    ClockEstimate Last() const;
    // The last sample's innovation in standard deviations (0 for a first sample).
    double LastSurprise() const { return m_dLastSurprise; }

    // The variance of a sample's phase error for a round trip of delay.
    double SampleVariance(double delay) const;
    // A round trip of delay waited far beyond the path's usual excess, somewhere on one leg.
    bool IsSpike(double delay) const { return SpikePart(delay) > 0.0; }
    // What the round trips add to the shortest one, typically (s): the noise of the path.
    double TypicalExcess() const { return m_dTypicalExcess; }

    // Phase, frequency, drift of the frequency, the swing's sine and cosine parts.
    static constexpr std::size_t kStates = 5;
    using Vector = std::array<double, kStates>;
    using Matrix = std::array<Vector, kStates>;

private:
    // The state and covariance carried from time dt seconds on.
    static void Propagate(double from, double dt, Vector& state, Matrix& covariance);
    void Predict(double time);
    void Start(double time, double phase, double variance);
    SampleVerdict HoldOutlier(double time, double phase, double variance);
    bool ConfirmsJump(double time, double phase, double variance) const;
    bool RestartFromCourse();
    double OutlierLimit(double spread, double elapsed) const;
    double ShortestDelay() const;
    // What a round trip of delay adds to the shortest seen, and the part of that beyond the
    // path's usual excess.
    double Excess(double delay) const;
    double SpikePart(double delay) const;
    void NoteDelay(double delay);

    Vector m_state{};
    Matrix m_cov{};
    bool m_bHasPhase = false;
    double m_dLastTime = 0.0;
    double m_dPendingCorrection = 0.0;
    double m_dLastSurprise = 0.0;
    struct HeldOutlier {
        double time;
        double phase;
        double variance;
        double correctionSince;  // our corrections after it was taken
    };
    std::vector<HeldOutlier> m_vecOutliers;  // the outliers in a row, oldest first
    std::array<double, kDelayMemory> m_arrDelays{};
    std::size_t m_nDelays = 0;  // delays noted so far, up to kDelayMemory
    std::size_t m_nNextDelay = 0;
    double m_dTypicalExcess = 0.0;
};
