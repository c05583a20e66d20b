#include "engine/RateQuantiser.h"

#include <algorithm>
#include <cmath>

namespace {

// The debt is paid over the time to the next update: about a second, or as long as the last
// pause, which the next one is likely to match (paid faster, it would be overpaid, and owed back
// the other way, growing at every update). At most a step at a time, so that a long pause
// between updates does not turn into a burst of rate.
constexpr double kPaybackSeconds = 1.0;

}  // namespace

double CRateQuantiser::Next(double elapsed, double wantedThen, double wantedNow) {
    m_dOwed += (wantedThen - m_dLastSet) * std::max(0.0, elapsed);
    double payback = m_dOwed / std::max(kPaybackSeconds, elapsed);
    if (m_dGranularity > 0.0) {
        payback = std::clamp(payback, -m_dGranularity, m_dGranularity);
        m_dLastSet = std::round((wantedNow + payback) / m_dGranularity) * m_dGranularity;
    } else {
        m_dLastSet = wantedNow + payback;
    }
    return m_dLastSet;
}
