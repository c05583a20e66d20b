#pragma once
// The platform sets the clock's rate only in whole steps (about 6.4 ppm with the legacy call and
// the usual 15.625 ms tick). Rounding every request to the nearest step would leave up to half a
// step of error for as long as the rate holds: 3.2 ppm is 11.5 ms an hour. So what rounding
// loses is owed and paid back at the next updates, and the mean rate is the one wanted; between
// two updates the clock strays by at most about a step times the time between them.
//
// Rates are in ppm (positive: the clock runs faster), times in seconds.

class CRateQuantiser {
public:
    // granularity: the smallest step of rate the platform can set (> 0), or 0 for any rate.
    explicit CRateQuantiser(double granularity) : m_dGranularity(granularity) {}

    // The rate to set now. elapsed: the time since the last call, over which the rate it
    // returned applied; wantedThen: the mean rate wanted over that time; wantedNow: the rate
    // wanted from now on.
    double Next(double elapsed, double wantedThen, double wantedNow);

    // Forgets what is owed: the clock was measured anew, so what it owed is in the measurement.
    void Reset() { m_dOwed = 0.0; }

    double Granularity() const { return m_dGranularity; }
    double Owed() const { return m_dOwed; }

private:
    double m_dGranularity;
    double m_dOwed = 0.0;  // ppm x s: wanted minus set, summed over time
    double m_dLastSet = 0.0;
};
