#include "engine/PollInterval.h"

#include <algorithm>
#include <cmath>

// The wait follows the one the noise allows (on a log scale, to the nearest power of two), but
// only once that lies kHysteresis of a doubling past the middle between the two waits: it
// lengthens when the noise allows nearly the longer wait, and shortens when it allows hardly
// more than the shorter one, so that a noise near the middle does not toggle the wait.
void CPollInterval::NoteSample(double surprise, double longest) {
    const double size = std::fabs(surprise);
    const double level = std::log2(std::max(longest, 1.0)) + 0.5;
    if (size > kLoudSigmas || m_nExponent > level + kHysteresis) {
        Shorten();
        return;
    }
    m_nQuiet = size < kQuietSigmas ? m_nQuiet + 1 : 0;
    if (m_nQuiet >= kQuietSamplesToLengthen && m_nExponent < kLongestExponent &&
        m_nExponent + 1 <= level - kHysteresis) {
        ++m_nExponent;
        m_nQuiet = 0;
    }
}

void CPollInterval::NoteOutlier() {
    Shorten();
}

void CPollInterval::Restart() {
    m_nExponent = kShortestExponent;
    m_nQuiet = 0;
}

void CPollInterval::Shorten() {
    if (m_nExponent > kShortestExponent) {
        --m_nExponent;
    }
    m_nQuiet = 0;
}
