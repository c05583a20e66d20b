#pragma once
// NTP 64-bit time stamps (32 bits of seconds since 1900-01-01 UTC, 32 bits of fraction)
// and their conversions to the wire form, the UTC calendar and seconds.

#include "common/Calendar.h"

#include <array>
#include <cstdint>

constexpr std::int32_t kNtpEpochJulianDay = 2415021;  // 1 January 1900, a Monday
constexpr std::uint32_t kSecondsPerDay = 86400;

// Entry i is i * 2^32 / 1000 rounded to nearest: milliseconds to fraction.
extern const std::array<std::uint32_t, 1000> kMillisecondFraction;

using NtpWire = std::array<std::uint8_t, 8>;

class NtpTimestamp {
public:
    constexpr NtpTimestamp() = default;
    constexpr NtpTimestamp(std::uint32_t seconds, std::uint32_t fraction)
        : m_nSeconds(seconds), m_nFraction(fraction) {}

    static constexpr NtpTimestamp fromValue(std::uint64_t value) {
        return NtpTimestamp(static_cast<std::uint32_t>(value >> 32), static_cast<std::uint32_t>(value));
    }
    constexpr std::uint64_t value() const { return (std::uint64_t{m_nSeconds} << 32) | m_nFraction; }
    constexpr std::uint32_t seconds() const { return m_nSeconds; }
    constexpr std::uint32_t fraction() const { return m_nFraction; }
    // An all-zero time stamp means "unset" on the wire.
    constexpr bool isZero() const { return value() == 0; }

    static NtpTimestamp fromNetwork(const std::uint8_t* bytes);
    NtpWire toNetwork() const;

    // The low 32 bits of the seconds since 1900, so a date in 2036-2104 gives its era-1 value.
    // Day of week is ignored; milliseconds of 1000 or more carry into the seconds (1000 ms is
    // the next second), as out-of-range hours or minutes do.
    static NtpTimestamp fromSystemTime(const CalendarTime& utc);
    // Era rule of RFC 4330: seconds with the top bit clear lie in 2036-2104, set in 1968-2036.
    // The result is always a valid calendar record (milliseconds carry into the next second).
    CalendarTime toSystemTime() const;

    // A platform clock reading at full resolution: seconds and nanoseconds since 1970-01-01 UTC.
    // Nanoseconds become the fraction rounded to nearest (scale 2^32); 10^9 or more carry into
    // the seconds; the seconds keep their low 32 bits (the era).
    static NtpTimestamp fromUnixTime(std::int64_t seconds, std::uint32_t nanoseconds);

    // a - b in seconds, taken as a signed 64-bit wrap-around difference (right across eras).
    static double secondsSince(NtpTimestamp a, NtpTimestamp b);
    // Moves by x seconds modulo 2^64 (so whole seconds count modulo 2^32, one era). The
    // fraction of x is truncated on the 2^32 - 1 scale. NaN and infinities leave it unchanged.
    NtpTimestamp plusSeconds(double x) const;

    friend constexpr bool operator==(NtpTimestamp a, NtpTimestamp b) { return a.value() == b.value(); }
    friend constexpr bool operator!=(NtpTimestamp a, NtpTimestamp b) { return a.value() != b.value(); }

private:
    std::uint32_t m_nSeconds = 0;
    std::uint32_t m_nFraction = 0;
};
static_assert(sizeof(NtpTimestamp) == 8, "an NTP time stamp is 8 bytes");

double fractionToSeconds(std::uint32_t fraction);
// Rounded half up with the 2^32 - 1 scale, so 0 to 1000.
std::uint32_t fractionToMilliseconds(std::uint32_t fraction);
