// Julian Day Numbers and the day of week against an independent calendar: a running day counter
// with the Gregorian leap rule, cross-checked by Zeller's congruence.

#include "sntp/NtpTimestamp.h"
#include "tests/support/CalendarTimePrinter.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace {

bool isLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysInMonth(int year, int month) {
    static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeapYear(year) ? 29 : kDays[month - 1];
}

// Zeller's congruence, shifted to 0 = Sunday.
int zellerDayOfWeek(int year, int month, int day) {
    if (month < 3) {
        month += 12;
        year -= 1;
    }
    const int k = year % 100;
    const int j = year / 100;
    const int h = (day + 13 * (month + 1) / 5 + k + k / 4 + j / 4 + 5 * j) % 7;  // 0 = Saturday
    return (h + 6) % 7;
}

CalendarTime midnight(int year, int month, int day, int dayOfWeek) {
    CalendarTime t;
    t.wYear = static_cast<std::uint16_t>(year);
    t.wMonth = static_cast<std::uint16_t>(month);
    t.wDay = static_cast<std::uint16_t>(day);
    t.wDayOfWeek = static_cast<std::uint16_t>(dayOfWeek);
    return t;
}

struct KnownDay {
    int year;
    int month;
    int day;
    std::int32_t julianDay;
    int dayOfWeek;  // 0 = Sunday
};

class JulianDayKnown : public testing::TestWithParam<KnownDay> {};

TEST_P(JulianDayKnown, DateToDayNumberAndBack) {
    const KnownDay& k = GetParam();
    EXPECT_EQ(julianDayFromDate(k.year, k.month, k.day), k.julianDay);
    const CalendarDate date = dateFromJulianDay(k.julianDay);
    EXPECT_EQ(date.year, k.year);
    EXPECT_EQ(date.month, k.month);
    EXPECT_EQ(date.day, k.day);
    EXPECT_EQ(zellerDayOfWeek(k.year, k.month, k.day), k.dayOfWeek);
}

INSTANTIATE_TEST_SUITE_P(Calendar, JulianDayKnown,
                         testing::Values(KnownDay{1900, 1, 1, 2415021, 1},   // NTP epoch, a Monday
                                         KnownDay{1970, 1, 1, 2440588, 4},   // Unix epoch
                                         KnownDay{2000, 1, 1, 2451545, 6},   // J2000
                                         KnownDay{2000, 2, 29, 2451604, 2},  // leap day of a 400 year
                                         KnownDay{2000, 3, 1, 2451605, 3},
                                         KnownDay{1858, 11, 17, 2400001, 3},  // MJD 0
                                         KnownDay{1600, 3, 1, 2305508, 3},
                                         KnownDay{1968, 1, 20, 2439876, 6},  // era 0 top bit set from here
                                         KnownDay{2036, 2, 7, 2464731, 4},   // era 1 begins
                                         KnownDay{2100, 2, 28, 2488128, 0},  // 2100 is no leap year
                                         KnownDay{2100, 3, 1, 2488129, 1},
                                         KnownDay{2104, 2, 26, 2489586, 2}));  // era 1 ends

// Every day of 1900-2104: the day number counts up by one, converts back to the same date, and
// Zeller agrees with the running day of week. Where a time stamp can express the day (RFC 4330
// eras: 1968-01-20 03:14:08 to 2104-02-26 09:42:23) toSystemTime gives the full record with
// that day of week; earlier days never come from a live clock.
TEST(Calendar, EveryDayFrom1900To2104) {
    constexpr std::int64_t kFirstEraSecond = std::int64_t{1} << 31;
    constexpr std::int64_t kLastEraSecond = (std::int64_t{3} << 31) - 1;
    std::int32_t julianDay = kNtpEpochJulianDay;
    int dayOfWeek = 1;  // 1900-01-01 was a Monday
    int daysThroughToSystemTime = 0;
    for (int year = 1900; year <= 2104; ++year) {
        for (int month = 1; month <= 12; ++month) {
            for (int day = 1; day <= daysInMonth(year, month); ++day) {
                ASSERT_EQ(julianDayFromDate(year, month, day), julianDay)
                    << year << '-' << month << '-' << day;
                const CalendarDate date = dateFromJulianDay(julianDay);
                ASSERT_EQ(date.year, year) << julianDay;
                ASSERT_EQ(date.month, month) << julianDay;
                ASSERT_EQ(date.day, day) << julianDay;
                ASSERT_EQ(zellerDayOfWeek(year, month, day), dayOfWeek) << year << '-' << month << '-' << day;

                const std::int64_t secondsSince1900 = std::int64_t{julianDay - kNtpEpochJulianDay} * 86400;
                if (secondsSince1900 >= kFirstEraSecond && secondsSince1900 + 86399 <= kLastEraSecond) {
                    CalendarTime expected = midnight(year, month, day, dayOfWeek);
                    ASSERT_EQ(NtpTimestamp::fromSystemTime(expected).toSystemTime(), expected);
                    expected.wHour = 23;
                    expected.wMinute = 59;
                    expected.wSecond = 59;
                    expected.wMilliseconds = 999;
                    ASSERT_EQ(NtpTimestamp::fromSystemTime(expected).toSystemTime(), expected);
                    ++daysThroughToSystemTime;
                }
                ++julianDay;
                dayOfWeek = (dayOfWeek + 1) % 7;
            }
        }
    }
    EXPECT_EQ(julianDay, 2489896);                          // 2105-01-01
    EXPECT_EQ(daysThroughToSystemTime, 2489586 - 2439877);  // 1968-01-21 .. 2104-02-25
}

// The rules run in 64 bits: the largest 32-bit day number is a date that converts back to it,
// and fields far out of range carry into the next larger unit as small excesses do.
TEST(Calendar, TheLargestDayNumberRoundTripsAndAbsurdFieldsCarry) {
    constexpr std::int32_t kLargest = std::numeric_limits<std::int32_t>::max();
    const CalendarDate top = dateFromJulianDay(kLargest);
    EXPECT_EQ(top.year, 5874898);
    EXPECT_EQ(top.month, 6);
    EXPECT_EQ(top.day, 3);
    EXPECT_EQ(julianDayFromDate(top.year, top.month, top.day), kLargest);

    const CalendarTime newYear = midnight(2000, 1, 1, 6);
    CalendarTime wild = newYear;
    wild.wHour = wild.wMinute = wild.wSecond = wild.wMilliseconds = 65535;
    const std::uint32_t carried = 65535u * 3600 + 65535u * 60 + 65535 + 65;  // 65535 ms: 65 s 535 ms
    const NtpTimestamp t = NtpTimestamp::fromSystemTime(wild);
    EXPECT_EQ(t.seconds(), NtpTimestamp::fromSystemTime(newYear).seconds() + carried);
    CalendarTime rest = newYear;
    rest.wMilliseconds = 535;
    EXPECT_EQ(t.fraction(), NtpTimestamp::fromSystemTime(rest).fraction());
}

}  // namespace
