#pragma once
// The clock's rate as Windows counts it: at each clock interrupt the time moves on by an
// adjustment, against the increment that an interrupt stands for (both in the same unit: 100 ns
// for the legacy calls, 100 ns per interrupt with the usual 156250, i.e. 15.625 ms). One unit
// more than the increment runs the clock faster by a millionth of its increment: about 6.4 ppm.

#include <cstdint>

// The rate that one unit of adjustment makes (ppm); 0 when the increment is unknown (0).
double AdjustmentStepPpm(std::uint64_t increment);

// The adjustment that runs the clock ppm faster (slower when negative), to the nearest unit;
// never below 1, which would stop the clock.
std::uint64_t AdjustmentFor(std::uint64_t increment, double ppm);
