#pragma once
// UTC that moves with a virtual monotonic clock from a chosen start: the true time of a test or
// a simulation, which the scripted servers read. It cannot be set; a client's clock that can
// is a CVirtualClock over it.

#include <chrono>
#include <cstdint>

#include "sntp/MonotonicClock.h"
#include "sntp/SystemClock.h"

class CVirtualUtcClock final : public SystemClock {
public:
    // The clock reads start at the monotonic clock's present moment; monotonic must outlive it.
    CVirtualUtcClock(const MonotonicClock& monotonic, NtpTimestamp start)
        : m_monotonic(monotonic), m_origin(monotonic.now()), m_start(start) {}

    // Exact to the time stamp's unit (2^-32 s), however long the simulation runs.
    NtpTimestamp nowUtc() const override {
        const auto elapsed =
            std::chrono::duration_cast<std::chrono::nanoseconds>(m_monotonic.now() - m_origin);
        const auto seconds = static_cast<std::uint64_t>(elapsed.count() / kNanosPerSecond);
        const auto nanos = static_cast<std::uint64_t>(elapsed.count() % kNanosPerSecond);
        return NtpTimestamp::fromValue(m_start.value() + (seconds << 32) + (nanos << 32) / kNanosPerSecond);
    }
    SystemResult setUtc(const CalendarTime&) override { return SystemResult::failure(kRefused); }

private:
    static constexpr unsigned long kRefused = 5;  // the platform's "access denied"
    static constexpr std::int64_t kNanosPerSecond = 1000000000;

    const MonotonicClock& m_monotonic;
    const MonotonicClock::TimePoint m_origin;
    const NtpTimestamp m_start;
};
