// NtpTimestamp: the millisecond table and both scales, the calendar conversion with the RFC 4330
// eras and the 999.5 ms carry, differences and moves in seconds, the wire form, Unix time.

#include "sntp/NtpTimestamp.h"
#include "tests/support/CalendarTimePrinter.h"
#include "tests/support/FakeLocalClock.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <tuple>
#include <vector>

namespace {

constexpr std::uint32_t kLastNoCarryFraction = 4292819811u;  // 999.4999999 ms
constexpr std::uint32_t kFirstCarryFraction = 4292819812u;   // 999.5000002 ms
constexpr std::uint32_t kHalf = 0x80000000u;
constexpr std::uint32_t kEra0Last = 0xFFFFFFFFu;  // 2036-02-07 06:28:15
constexpr std::int64_t kUnixToNtp = 2208988800;

CalendarTime at(int year, int month, int day, int hour, int minute, int second, int ms = 0,
                int dayOfWeek = 0) {
    CalendarTime t = MakeLocalTime(year, month, day, hour, minute, second, ms);
    t.wDayOfWeek = static_cast<std::uint16_t>(dayOfWeek);
    return t;
}

// ---- the millisecond table and the two scales ----

TEST(NtpMillisecondTable, NamedEntries) {
    EXPECT_EQ(kMillisecondFraction[0], 0u);
    EXPECT_EQ(kMillisecondFraction[1], 4294967u);
    EXPECT_EQ(kMillisecondFraction[500], 2147483648u);
    EXPECT_EQ(kMillisecondFraction[999], 4290672329u);
}

TEST(NtpMillisecondTable, EveryEntryIsTheNearestFraction) {
    for (std::uint64_t i = 0; i < kMillisecondFraction.size(); ++i) {
        // |entry * 1000 - i * 2^32| < 500 is "rounded to nearest" without dividing.
        const auto scaled = static_cast<std::int64_t>(std::uint64_t{kMillisecondFraction[i]} * 1000);
        const auto exact = static_cast<std::int64_t>(i << 32);
        ASSERT_LT(std::llabs(scaled - exact), 500) << "entry " << i;
    }
}

TEST(NtpMillisecondTable, EveryMillisecondSurvivesTheTableAndBack) {
    for (std::uint32_t ms = 0; ms < 1000; ++ms) {
        ASSERT_EQ(fractionToMilliseconds(kMillisecondFraction[ms]), ms);
    }
}

TEST(NtpFraction, HalfUsesTheScaleTwoToThe32MinusOne) {
    EXPECT_EQ(fractionToMilliseconds(kHalf), 500u);
    EXPECT_NEAR(fractionToSeconds(kHalf), 0.50000000012, 1e-11);
    EXPECT_GT(fractionToSeconds(kHalf), 0.5 + 1e-10);
}

TEST(NtpFraction, Ends) {
    EXPECT_EQ(fractionToSeconds(0), 0.0);
    EXPECT_EQ(fractionToSeconds(0xFFFFFFFFu), 1.0);
    EXPECT_EQ(fractionToMilliseconds(0), 0u);
    EXPECT_EQ(fractionToMilliseconds(kLastNoCarryFraction), 999u);
    EXPECT_EQ(fractionToMilliseconds(kFirstCarryFraction), 1000u);  // hence the carry in toSystemTime
    EXPECT_EQ(fractionToMilliseconds(0xFFFFFFFFu), 1000u);
}

// ---- calendar <-> time stamp at known instants ----

struct KnownInstant {
    CalendarTime utc;  // with the right day of week
    std::uint32_t seconds;
};

class NtpKnownInstant : public testing::TestWithParam<KnownInstant> {};

TEST_P(NtpKnownInstant, BothWays) {
    const KnownInstant& k = GetParam();
    const NtpTimestamp t = NtpTimestamp::fromSystemTime(k.utc);
    EXPECT_EQ(t.seconds(), k.seconds);
    EXPECT_EQ(t.fraction(), kMillisecondFraction[k.utc.wMilliseconds]);
    EXPECT_EQ(t.toSystemTime(), k.utc);
}

INSTANTIATE_TEST_SUITE_P(
    Eras, NtpKnownInstant,
    testing::Values(KnownInstant{at(1968, 1, 20, 3, 14, 8, 0, 6),
                                 0x80000000u},  // first second of era 0's half
                    KnownInstant{at(1970, 1, 1, 0, 0, 0, 0, 4), 2208988800u},
                    KnownInstant{at(2000, 1, 1, 0, 0, 0, 0, 6), 3155673600u},
                    KnownInstant{at(2005, 3, 3, 14, 7, 9, 250, 4), 3318847629u},
                    KnownInstant{at(2036, 2, 7, 6, 28, 15, 999, 4), 4294967295u},  // era 0 ends
                    KnownInstant{at(2036, 2, 7, 6, 28, 16, 0, 4), 0u},             // era 1 begins
                    KnownInstant{at(2050, 6, 15, 12, 0, 0, 0, 3), 452928704u},
                    KnownInstant{at(2100, 3, 1, 0, 0, 0, 0, 1), 2021563904u},
                    KnownInstant{at(2104, 1, 1, 0, 0, 0, 0, 2), 2142610304u},
                    KnownInstant{at(2104, 2, 26, 9, 42, 23, 0, 2), 0x7FFFFFFFu}));  // era 1 ends

TEST(NtpCalendar, NtpEpochGivesZeroWhichReadsAsEra1) {
    EXPECT_TRUE(NtpTimestamp::fromSystemTime(at(1900, 1, 1, 0, 0, 0)).isZero());
    EXPECT_EQ(NtpTimestamp().toSystemTime(), at(2036, 2, 7, 6, 28, 16, 0, 4));
}

TEST(NtpCalendar, DayOfWeekIsIgnoredOnTheWayIn) {
    EXPECT_EQ(NtpTimestamp::fromSystemTime(at(2000, 1, 1, 0, 0, 0, 0, 6)),
              NtpTimestamp::fromSystemTime(at(2000, 1, 1, 0, 0, 0, 0, 3)));
}

TEST(NtpCalendar, MillisecondsOf1000OrMoreCarryIntoTheSeconds) {
    EXPECT_EQ(NtpTimestamp::fromSystemTime(at(1999, 12, 31, 23, 59, 59, 1000)),
              NtpTimestamp::fromSystemTime(at(2000, 1, 1, 0, 0, 0, 0)));
    EXPECT_EQ(NtpTimestamp::fromSystemTime(at(2000, 1, 1, 0, 0, 0, 65535)),
              NtpTimestamp::fromSystemTime(at(2000, 1, 1, 0, 1, 5, 535)));
    EXPECT_EQ(NtpTimestamp::fromSystemTime(at(2036, 2, 7, 6, 28, 15, 1000)), NtpTimestamp(0, 0));
}

// Every millisecond 0..999 survives fromSystemTime -> toSystemTime, at instants of both eras.
class NtpEveryMillisecond : public testing::TestWithParam<CalendarTime> {};

TEST_P(NtpEveryMillisecond, SurvivesTheRoundTrip) {
    CalendarTime utc = GetParam();
    for (std::uint16_t ms = 0; ms < 1000; ++ms) {
        utc.wMilliseconds = ms;
        ASSERT_EQ(NtpTimestamp::fromSystemTime(utc).toSystemTime(), utc);
    }
}

INSTANTIATE_TEST_SUITE_P(BothEras, NtpEveryMillisecond,
                         testing::Values(at(1968, 1, 20, 3, 14, 8, 0, 6), at(1999, 12, 31, 23, 59, 59, 0, 5),
                                         at(2000, 2, 29, 12, 0, 0, 0, 2), at(2036, 2, 7, 6, 28, 15, 0, 4),
                                         at(2036, 2, 7, 6, 28, 16, 0, 4), at(2050, 6, 15, 12, 0, 0, 0, 3),
                                         at(2104, 2, 26, 9, 42, 23, 0, 2)));

// ---- the 999.5 ms carry ----

struct CarryCase {
    CalendarTime from;      // whole second, milliseconds 0
    CalendarTime expected;  // the next second, milliseconds 0
};

class NtpCarry : public testing::TestWithParam<std::tuple<CarryCase, std::uint32_t>> {};

TEST_P(NtpCarry, IntoTheNextSecond) {
    const CarryCase& c = std::get<0>(GetParam());
    const std::uint32_t fraction = std::get<1>(GetParam());
    const NtpTimestamp t(NtpTimestamp::fromSystemTime(c.from).seconds(), fraction);
    EXPECT_EQ(t.toSystemTime(), c.expected);
}

TEST_P(NtpCarry, NotJustBelow) {
    const CarryCase& c = std::get<0>(GetParam());
    CalendarTime expected = c.from;
    expected.wMilliseconds = 999;
    const NtpTimestamp t(NtpTimestamp::fromSystemTime(c.from).seconds(), kLastNoCarryFraction);
    EXPECT_EQ(t.toSystemTime(), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Boundaries, NtpCarry,
    testing::Combine(
        testing::Values(
            CarryCase{at(2000, 1, 1, 0, 0, 0, 0, 6), at(2000, 1, 1, 0, 0, 1, 0, 6)},         // second
            CarryCase{at(2000, 1, 1, 0, 0, 59, 0, 6), at(2000, 1, 1, 0, 1, 0, 0, 6)},        // minute
            CarryCase{at(2000, 1, 1, 0, 59, 59, 0, 6), at(2000, 1, 1, 1, 0, 0, 0, 6)},       // hour
            CarryCase{at(2000, 1, 1, 23, 59, 59, 0, 6), at(2000, 1, 2, 0, 0, 0, 0, 0)},      // day
            CarryCase{at(2000, 2, 28, 23, 59, 59, 0, 1), at(2000, 2, 29, 0, 0, 0, 0, 2)},    // leap day
            CarryCase{at(2000, 2, 29, 23, 59, 59, 0, 2), at(2000, 3, 1, 0, 0, 0, 0, 3)},     // month
            CarryCase{at(2100, 2, 28, 23, 59, 59, 0, 0), at(2100, 3, 1, 0, 0, 0, 0, 1)},     // no leap
            CarryCase{at(1999, 12, 31, 23, 59, 59, 0, 5), at(2000, 1, 1, 0, 0, 0, 0, 6)},    // year
            CarryCase{at(2099, 12, 31, 23, 59, 59, 0, 4), at(2100, 1, 1, 0, 0, 0, 0, 5)},    // year, era 1
            CarryCase{at(2036, 2, 7, 6, 28, 15, 0, 4), at(2036, 2, 7, 6, 28, 16, 0, 4)},     // era 0 -> 1
            CarryCase{at(2104, 2, 26, 9, 42, 23, 0, 2), at(2104, 2, 26, 9, 42, 24, 0, 2)}),  // era 1 end
        testing::Values(kFirstCarryFraction, 4292819813u, 0xFFFFFFFFu)));

TEST(NtpCarry, AcrossTheEraBoundaryFromTheRawValue) {
    EXPECT_EQ(NtpTimestamp(kEra0Last, 0xFFFFFFFFu).toSystemTime(), at(2036, 2, 7, 6, 28, 16, 0, 4));
}

TEST(NtpCarry, MillisecondsAreAlwaysBelow1000) {
    const NtpTimestamp base = NtpTimestamp::fromSystemTime(at(2024, 12, 31, 23, 59, 59));
    for (std::uint64_t f = 0; f <= 0xFFFFFFFFu; f += 999983) {  // a prime step through the fractions
        const CalendarTime utc = NtpTimestamp(base.seconds(), static_cast<std::uint32_t>(f)).toSystemTime();
        ASSERT_LT(utc.wMilliseconds, 1000) << f;
    }
}

// ---- secondsSince ----

struct Difference {
    NtpTimestamp a;
    NtpTimestamp b;
    double seconds;
};

class NtpSecondsSince : public testing::TestWithParam<Difference> {};

TEST_P(NtpSecondsSince, IsTheSignedDifference) {
    const Difference& d = GetParam();
    EXPECT_EQ(NtpTimestamp::secondsSince(d.a, d.b), d.seconds);
    EXPECT_EQ(NtpTimestamp::secondsSince(d.b, d.a), -d.seconds);
}

const NtpTimestamp kEraEnd = NtpTimestamp::fromSystemTime(at(2036, 2, 7, 6, 28, 15));     // 0xFFFFFFFF
const NtpTimestamp kEraStart2 = NtpTimestamp::fromSystemTime(at(2036, 2, 7, 6, 28, 17));  // 1 in era 1

INSTANTIATE_TEST_SUITE_P(
    Cases, NtpSecondsSince,
    testing::Values(Difference{NtpTimestamp(100, 5), NtpTimestamp(100, 5), 0.0},
                    Difference{NtpTimestamp(101, 0), NtpTimestamp(100, 0), 1.0},
                    Difference{NtpTimestamp(100, 7), NtpTimestamp(101, 7), -1.0},
                    Difference{NtpTimestamp(100, kHalf), NtpTimestamp(100, 0), fractionToSeconds(kHalf)},
                    // a borrow from the seconds
                    Difference{NtpTimestamp(101, 0), NtpTimestamp(100, kHalf), fractionToSeconds(kHalf)},
                    Difference{NtpTimestamp(101, 1), NtpTimestamp(100, 0xFFFFFFFFu), fractionToSeconds(2)},
                    Difference{NtpTimestamp(3155673600u, 0), NtpTimestamp(2208988800u, 0), 946684800.0},
                    // across the era boundary: 06:28:15 (era 0) and 06:28:17 (era 1)
                    Difference{kEraEnd, kEraStart2, -2.0},
                    Difference{NtpTimestamp(0, 0), NtpTimestamp(kEra0Last, kHalf), fractionToSeconds(kHalf)},
                    // the largest forward difference, just under 2^31 s
                    Difference{NtpTimestamp(0x7FFFFFFFu, 0), NtpTimestamp(0, 0), 2147483647.0}));

TEST(NtpSecondsSince, EraBoundaryNamedCase) {
    EXPECT_EQ(NtpTimestamp::secondsSince(kEraStart2, kEraEnd), 2.0);
    EXPECT_EQ(NtpTimestamp::secondsSince(kEraEnd, kEraStart2), -2.0);
}

TEST(NtpSecondsSince, HalfTheRingCountsAsBackwards) {
    // A difference of exactly 2^63 has its sign bit set: the far side of the ring, -2^31 s.
    EXPECT_EQ(NtpTimestamp::secondsSince(NtpTimestamp(0x80000000u, 0), NtpTimestamp(0, 0)), -2147483648.0);
}

// ---- plusSeconds ----

struct Move {
    NtpTimestamp from;
    double x;
    NtpTimestamp expected;
};

class NtpPlusSeconds : public testing::TestWithParam<Move> {};

TEST_P(NtpPlusSeconds, MovesByTheFixedPointAmount) {
    const Move& m = GetParam();
    EXPECT_EQ(m.from.plusSeconds(m.x), m.expected)
        << "got " << m.from.plusSeconds(m.x).seconds() << '.' << m.from.plusSeconds(m.x).fraction();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NtpPlusSeconds,
    testing::Values(Move{NtpTimestamp(100, 0), -0.5,
                         NtpTimestamp(99, 2147483649u)},  // half a second back across a whole second
                    Move{NtpTimestamp(100, 0), 0.5, NtpTimestamp(100, 2147483647u)},
                    Move{NtpTimestamp(100, 0), 0.0, NtpTimestamp(100, 0)},
                    Move{NtpTimestamp(100, 9), -0.0, NtpTimestamp(100, 9)},
                    Move{NtpTimestamp(100, 0), 1.0, NtpTimestamp(101, 0)},
                    Move{NtpTimestamp(100, 0), -1.0, NtpTimestamp(99, 0)},
                    Move{NtpTimestamp(100, 0xFFFFFFFFu), 1e-9, NtpTimestamp(101, 3)},  // carry: F = 4
                    Move{NtpTimestamp(100, 1), -1e-9, NtpTimestamp(99, 0xFFFFFFFDu)},  // borrow
                    Move{NtpTimestamp(100, 0), 3600.25, NtpTimestamp(3700, 1073741823u)},
                    // across the era boundary both ways
                    Move{NtpTimestamp(kEra0Last, 0), 2.0, NtpTimestamp(1, 0)},
                    Move{NtpTimestamp(1, 0), -2.0, NtpTimestamp(kEra0Last, 0)},
                    Move{NtpTimestamp(0, 0), -0.5, NtpTimestamp(kEra0Last, 2147483649u)},
                    // whole seconds count modulo 2^32 (the value wraps modulo 2^64)
                    Move{NtpTimestamp(100, 0), 4294967296.0, NtpTimestamp(100, 0)},
                    Move{NtpTimestamp(100, 0), 4294967297.0, NtpTimestamp(101, 0)},
                    Move{NtpTimestamp(100, 0), -4294967297.0, NtpTimestamp(99, 0)},
                    Move{NtpTimestamp(100, 0), 1e300,
                         NtpTimestamp(100, 0).plusSeconds(std::fmod(1e300, 4294967296.0))}));

TEST(NtpPlusSeconds, NonFiniteLeavesTheTimeStampUnchanged) {
    const NtpTimestamp t(3900000000u, 12345);
    EXPECT_EQ(t.plusSeconds(std::numeric_limits<double>::quiet_NaN()), t);
    EXPECT_EQ(t.plusSeconds(std::numeric_limits<double>::infinity()), t);
    EXPECT_EQ(t.plusSeconds(-std::numeric_limits<double>::infinity()), t);
}

TEST(NtpPlusSeconds, HugeValuesStayDefined) {
    const NtpTimestamp t(3900000000u, 12345);
    for (const double x :
         {std::numeric_limits<double>::max(), -std::numeric_limits<double>::max(), 1.8446744073709552e19,
          -9.2233720368547758e18, std::numeric_limits<double>::denorm_min()}) {
        const NtpTimestamp moved = t.plusSeconds(x);
        EXPECT_EQ(moved.fraction(), 12345u)
            << x;  // no fractional part in any of them that survives the scale
    }
}

TEST(NtpPlusSeconds, AgreesWithSecondsSince) {
    const NtpTimestamp t = NtpTimestamp::fromSystemTime(at(2036, 2, 7, 6, 28, 15, 900));
    for (const double x : {0.25, -0.25, 1.5, -1.5, 0.1, -0.1, 86400.001, -86400.001, 3.0e8, -3.0e8}) {
        EXPECT_NEAR(NtpTimestamp::secondsSince(t.plusSeconds(x), t), x, 1e-9 + std::fabs(x) * 1e-15) << x;
    }
}

// ---- wire form ----

TEST(NtpWire, SecondsFirstMostSignificantByteFirst) {
    const NtpWire wire = NtpTimestamp(0x01020304u, 0x05060708u).toNetwork();
    const NtpWire expected = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08};
    EXPECT_EQ(wire, expected);
    const std::uint8_t bytes[8] = {0xE4, 0x5A, 0x00, 0x01, 0x80, 0x00, 0x00, 0xFF};
    EXPECT_EQ(NtpTimestamp::fromNetwork(bytes), NtpTimestamp(0xE45A0001u, 0x800000FFu));
}

TEST(NtpWire, RoundTrip) {
    for (const std::uint64_t v : {std::uint64_t{0}, std::uint64_t{1}, ~std::uint64_t{0},
                                  std::uint64_t{0x8000000000000000u}, std::uint64_t{0x00000000FFFFFFFFu},
                                  std::uint64_t{0xFFFFFFFF00000000u}, std::uint64_t{0xC5F2A1B3D4E59687u}}) {
        const NtpTimestamp t = NtpTimestamp::fromValue(v);
        EXPECT_EQ(NtpTimestamp::fromNetwork(t.toNetwork().data()), t) << std::hex << v;
        EXPECT_EQ(t.value(), v);
    }
}

// ---- Unix time ----

TEST(NtpUnixTime, KnownInstant) {
    const NtpTimestamp t = NtpTimestamp::fromUnixTime(1109858829, 0);  // 2005-03-03 14:07:09 UTC
    EXPECT_EQ(t, NtpTimestamp(3318847629u, 0));
    EXPECT_EQ(t.toSystemTime(), at(2005, 3, 3, 14, 7, 9, 0, 4));
    EXPECT_EQ(NtpTimestamp::fromUnixTime(0, 0), NtpTimestamp(2208988800u, 0));
    EXPECT_EQ(NtpTimestamp::fromUnixTime(-1, 0), NtpTimestamp(2208988799u, 0));
}

TEST(NtpUnixTime, EraWrap) {
    const std::int64_t eraStart = (std::int64_t{1} << 32) - kUnixToNtp;  // 2036-02-07 06:28:16
    EXPECT_EQ(NtpTimestamp::fromUnixTime(eraStart - 1, 0), NtpTimestamp(kEra0Last, 0));
    EXPECT_EQ(NtpTimestamp::fromUnixTime(eraStart, 0), NtpTimestamp(0, 0));
    EXPECT_EQ(NtpTimestamp::fromUnixTime(eraStart, 0).toSystemTime(), at(2036, 2, 7, 6, 28, 16, 0, 4));
    EXPECT_EQ(NtpTimestamp::secondsSince(NtpTimestamp::fromUnixTime(eraStart + 1, 0),
                                         NtpTimestamp::fromUnixTime(eraStart - 1, 0)),
              2.0);
}

TEST(NtpUnixTime, NanosecondResolution) {
    EXPECT_EQ(NtpTimestamp::fromUnixTime(0, 1).fraction(), 4u);  // 4.29 units a nanosecond
    EXPECT_EQ(NtpTimestamp::fromUnixTime(0, 500000000).fraction(), kHalf);
    EXPECT_EQ(NtpTimestamp::fromUnixTime(0, 999999999).fraction(), 4294967292u);
    // Each nanosecond is a distinct, rising fraction that reads back as the same nanosecond.
    std::vector<std::uint32_t> starts = {0, 123456789, 499990000, 999900000};
    for (const std::uint32_t start : starts) {
        std::uint32_t previous = NtpTimestamp::fromUnixTime(0, start).fraction();
        for (std::uint32_t ns = start + 1; ns < start + 100000; ++ns) {
            const std::uint32_t f = NtpTimestamp::fromUnixTime(0, ns).fraction();
            ASSERT_TRUE(f - previous == 4 || f - previous == 5) << ns;
            const std::uint64_t back = ((std::uint64_t{f} * 1000000000u) + (std::uint64_t{1} << 31)) >> 32;
            ASSERT_EQ(back, ns);
            previous = f;
        }
    }
}

TEST(NtpUnixTime, WholeMillisecondsMatchTheTable) {
    for (std::uint32_t ms = 0; ms < 1000; ++ms) {
        ASSERT_EQ(NtpTimestamp::fromUnixTime(0, ms * 1000000u).fraction(), kMillisecondFraction[ms]) << ms;
    }
}

TEST(NtpUnixTime, NanosecondsOfASecondOrMoreCarry) {
    EXPECT_EQ(NtpTimestamp::fromUnixTime(0, 1000000000u), NtpTimestamp::fromUnixTime(1, 0));
    EXPECT_EQ(NtpTimestamp::fromUnixTime(0, 4294967295u), NtpTimestamp::fromUnixTime(4, 294967295u));
}

// Whatever a platform clock reads, only the era's seconds count: the low 32 bits, without an
// overflow on the way that would spoil them.
TEST(NtpUnixTime, ExtremeSecondsKeepTheirLowThirtyTwoBits) {
    // 2^63 - 1 ends in 32 one bits: one second before the Unix epoch, in the era.
    EXPECT_EQ(NtpTimestamp::fromUnixTime(std::numeric_limits<std::int64_t>::max(), 999999999u),
              NtpTimestamp(2208988799u, 4294967292u));
    EXPECT_EQ(NtpTimestamp::fromUnixTime(std::numeric_limits<std::int64_t>::min(), 0),
              NtpTimestamp::fromUnixTime(0, 0));
}

// ---- CalendarTime equality ----

TEST(CalendarTimeEquality, EveryFieldCounts) {
    const CalendarTime base = at(2024, 5, 6, 7, 8, 9, 10, 1);
    EXPECT_TRUE(base == base);
    EXPECT_FALSE(base != base);
    std::uint16_t CalendarTime::*const fields[] = {&CalendarTime::wYear,      &CalendarTime::wMonth,
                                                   &CalendarTime::wDayOfWeek, &CalendarTime::wDay,
                                                   &CalendarTime::wHour,      &CalendarTime::wMinute,
                                                   &CalendarTime::wSecond,    &CalendarTime::wMilliseconds};
    for (const auto field : fields) {
        CalendarTime other = base;
        other.*field = static_cast<std::uint16_t>(other.*field + 1);
        EXPECT_FALSE(base == other);
        EXPECT_TRUE(base != other);
    }
}

}  // namespace
