#include "sntp/ClockAdjustment.h"

#include <cmath>

double AdjustmentStepPpm(std::uint64_t increment) {
    return increment == 0 ? 0.0 : 1e6 / static_cast<double>(increment);
}

std::uint64_t AdjustmentFor(std::uint64_t increment, double ppm) {
    const double adjustment = std::round(static_cast<double>(increment) * (1.0 + ppm * 1e-6));
    return adjustment < 1.0 ? 1 : static_cast<std::uint64_t>(adjustment);
}
