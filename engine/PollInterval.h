#pragma once
// How long the continuous mode waits between two requests, and the pace of the learning polls
// of the other modes: 64 s at first; twice as long after a run of samples that the estimate
// predicted well, half as long after one it did not, from 64 s to 1024 s. A noisy path needs
// more samples for the same accuracy, so the wait never grows beyond what the path's noise
// allows (the caller's longest), and shrinks when the noise grows beyond it.

#include <chrono>

class CPollInterval {
public:
    static constexpr int kShortestExponent = 6;  // 64 s
    static constexpr int kLongestExponent = 10;  // 1024 s
    // Samples in a row that must be predicted well before the wait doubles.
    static constexpr int kQuietSamplesToLengthen = 3;
    // A sample within this many standard deviations of the prediction was predicted well;
    // beyond kLoudSigmas it was not.
    static constexpr double kQuietSigmas = 2.0;
    static constexpr double kLoudSigmas = 4.0;
    // Doublings by which the wait the noise allows must pass the middle between two waits
    // before the wait follows it.
    static constexpr double kHysteresis = 0.45;

    // A sample was used, surprise standard deviations from the prediction; longest: the
    // longest wait the path's noise allows (s).
    void NoteSample(double surprise, double longest);
    // A sample too far from the prediction to be used.
    void NoteOutlier();
    // Back to the shortest wait (a fresh start, a jump of the clock).
    void Restart();

    std::chrono::seconds Interval() const { return std::chrono::seconds(1LL << m_nExponent); }

private:
    void Shorten();

    int m_nExponent = kShortestExponent;
    int m_nQuiet = 0;
};
