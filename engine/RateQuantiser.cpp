#include "engine/RateQuantiser.h"

#include <algorithm>
#include <cmath>

namespace {

// The debt is paid over about a second, the time to the next update; at most a step at a time,
// so that a long pause between updates does not turn into a burst of rate.
constexpr double kPaybackSeconds = 1.0;

}  // namespace

double CRateQuantiser::Next(double elapsed, double wantedThen, double wantedNow) {
    m_dOwed += (wantedThen - m_dLastSet) * std::max(0.0, elapsed);
    double payback = m_dOwed / kPaybackSeconds;
    if (m_dGranularity > 0.0) {
        payback = std::clamp(payback, -m_dGranularity, m_dGranularity);
        m_dLastSet = std::round((wantedNow + payback) / m_dGranularity) * m_dGranularity;
    } else {
        m_dLastSet = wantedNow + payback;
    }
    return m_dLastSet;
}
