#include "sntp/NtpTimestamp.h"

#include <cmath>

namespace {

constexpr double kFractionScale = 4294967295.0;  // 2^32 - 1: the scale of every reverse direction
constexpr std::uint64_t kEraSeconds = std::uint64_t{1} << 32;
constexpr std::uint32_t kEraBit = 0x80000000u;
constexpr std::uint32_t kNanosecondsPerSecond = 1000000000u;

constexpr std::array<std::uint32_t, 1000> makeMillisecondFractions() {
    std::array<std::uint32_t, 1000> table{};
    for (std::uint64_t i = 0; i < table.size(); ++i) {
        // i * 2^32 / 1000 never ends in exactly .5 (1000 = 8 * 125, 125 odd), so + 500 rounds to nearest.
        table[i] = static_cast<std::uint32_t>(((i << 32) + 500) / 1000);
    }
    return table;
}

constexpr std::array<std::uint32_t, 1000> kTable = makeMillisecondFractions();
static_assert(kTable[0] == 0, "table entry 0");
static_assert(kTable[1] == 4294967u, "table entry 1");
static_assert(kTable[500] == 2147483648u, "table entry 500");
static_assert(kTable[999] == 4290672329u, "table entry 999");

constexpr std::uint32_t readBigEndian(const std::uint8_t* bytes) {
    return (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) |
           (std::uint32_t{bytes[2]} << 8) | std::uint32_t{bytes[3]};
}

void writeBigEndian(std::uint32_t word, std::uint8_t* bytes) {
    bytes[0] = static_cast<std::uint8_t>(word >> 24);
    bytes[1] = static_cast<std::uint8_t>(word >> 16);
    bytes[2] = static_cast<std::uint8_t>(word >> 8);
    bytes[3] = static_cast<std::uint8_t>(word);
}

// The magnitude of a 64-bit fixed-point difference in seconds.
double magnitudeToSeconds(std::uint64_t magnitude) {
    return static_cast<double>(static_cast<std::uint32_t>(magnitude >> 32)) +
           fractionToSeconds(static_cast<std::uint32_t>(magnitude));
}

}  // namespace

// Constant-initialised (no start-up order question) from the compile-time table.
extern const std::array<std::uint32_t, 1000> kMillisecondFraction = kTable;

double fractionToSeconds(std::uint32_t fraction) {
    return static_cast<double>(fraction) / kFractionScale;
}

std::uint32_t fractionToMilliseconds(std::uint32_t fraction) {
    // fraction * 1000 is exact in a double (< 2^42); one rounding in the division.
    return static_cast<std::uint32_t>(static_cast<double>(fraction) * 1000.0 / kFractionScale + 0.5);
}

NtpTimestamp NtpTimestamp::fromNetwork(const std::uint8_t* bytes) {
    return NtpTimestamp(readBigEndian(bytes), readBigEndian(bytes + 4));
}

NtpWire NtpTimestamp::toNetwork() const {
    NtpWire wire{};
    writeBigEndian(m_nSeconds, wire.data());
    writeBigEndian(m_nFraction, wire.data() + 4);
    return wire;
}

NtpTimestamp NtpTimestamp::fromSystemTime(const CalendarTime& utc) {
    // Milliseconds of 1000 or more carry into the seconds, as an hour of 24 carries into the next
    // day below: a record that toSystemTime of an older build gave (ms = 1000) means the next second.
    const std::int64_t carry = utc.wMilliseconds / 1000;
    const std::uint32_t milliseconds = utc.wMilliseconds % 1000u;

    const std::int64_t days =
        std::int64_t{julianDayFromDate(utc.wYear, utc.wMonth, utc.wDay)} - kNtpEpochJulianDay;
    const std::int64_t s = ((days * 24 + utc.wHour) * 60 + utc.wMinute) * 60 + utc.wSecond + carry;
    // The low 32 bits: a date in 2036-2104 gives its era-1 value.
    return NtpTimestamp(static_cast<std::uint32_t>(static_cast<std::uint64_t>(s)), kTable[milliseconds]);
}

CalendarTime NtpTimestamp::toSystemTime() const {
    // RFC 4330 section 3: top bit set -> era 0 (1968-2036), clear -> era 1 (2036-2104).
    std::uint64_t s = m_nSeconds;
    if ((m_nSeconds & kEraBit) == 0) {
        s += kEraSeconds;
    }
    std::uint32_t milliseconds = fractionToMilliseconds(m_nFraction);
    if (milliseconds == 1000) {  // 999.5 ms or more: carry, so the record is always valid
        milliseconds = 0;
        s += 1;
    }

    const auto days = static_cast<std::int32_t>(s / kSecondsPerDay);
    const std::int32_t j = days + kNtpEpochJulianDay;
    const CalendarDate date = dateFromJulianDay(j);

    CalendarTime utc;
    utc.wYear = static_cast<std::uint16_t>(date.year);
    utc.wMonth = static_cast<std::uint16_t>(date.month);
    utc.wDayOfWeek = static_cast<std::uint16_t>((j + 1) % 7);
    utc.wDay = static_cast<std::uint16_t>(date.day);
    utc.wHour = static_cast<std::uint16_t>(s / 3600 % 24);
    utc.wMinute = static_cast<std::uint16_t>(s / 60 % 60);
    utc.wSecond = static_cast<std::uint16_t>(s % 60);
    utc.wMilliseconds = static_cast<std::uint16_t>(milliseconds);
    return utc;
}

NtpTimestamp NtpTimestamp::fromUnixTime(std::int64_t seconds, std::uint32_t nanoseconds) {
    constexpr std::uint64_t kUnixEpochNtpSeconds = 2208988800u;  // 1900-01-01 to 1970-01-01
    // Unsigned arithmetic wraps instead of overflowing; only the low 32 bits are kept (the era).
    const std::uint64_t s =
        static_cast<std::uint64_t>(seconds) + kUnixEpochNtpSeconds + nanoseconds / kNanosecondsPerSecond;
    const std::uint64_t ns = nanoseconds % kNanosecondsPerSecond;
    // ns * 2^32 < 2^62; rounded to nearest, at most 4294967292, so no carry into the seconds.
    const auto fraction =
        static_cast<std::uint32_t>(((ns << 32) + kNanosecondsPerSecond / 2) / kNanosecondsPerSecond);
    return NtpTimestamp(static_cast<std::uint32_t>(s), fraction);
}

double NtpTimestamp::secondsSince(NtpTimestamp a, NtpTimestamp b) {
    // The signed 64-bit wrap-around difference: right across the era boundary as long as the two
    // lie less than 68 years apart. The branch is chosen by its sign, the magnitude converted.
    const std::uint64_t d = a.value() - b.value();
    const bool negative = (d >> 63) != 0;
    if (!negative) {
        return magnitudeToSeconds(d);
    }
    return -magnitudeToSeconds(0 - d);  // 2^63 itself stays 2^63 unsigned: -2^31 s
}

NtpTimestamp NtpTimestamp::plusSeconds(double x) const {
    if (!std::isfinite(x)) {
        return *this;  // NaN or infinity: no move at all
    }
    double whole = 0.0;
    const double part = std::modf(std::fabs(x), &whole);
    // The value wraps modulo 2^64, so whole seconds count modulo 2^32 (one era); fmod is exact.
    const auto wholeSeconds = static_cast<std::uint64_t>(std::fmod(whole, static_cast<double>(kEraSeconds)));
    const auto fraction = static_cast<std::uint64_t>(part * kFractionScale);  // part < 1, so < 2^32
    const std::uint64_t delta = (wholeSeconds << 32) + fraction;
    return fromValue(x >= 0 ? value() + delta : value() - delta);
}
