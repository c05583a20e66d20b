// The automation date: known dates, round trips, the range of valid dates, second steps
// across midnight and the epoch, and the half-second rounding of spans.

#include "engine/AutomationDate.h"
#include "tests/support/CalendarTimePrinter.h"
#include "tests/support/FakeLocalClock.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>

namespace {

CalendarTime calendarOf(const AutomationDate& date) {
    CalendarTime t;
    EXPECT_TRUE(date.toCalendar(t));
    return t;
}

CalendarTime withDayOfWeek(CalendarTime t, int dayOfWeek) {
    t.wDayOfWeek = static_cast<std::uint16_t>(dayOfWeek);
    return t;
}

std::int32_t minutesBetween(const CalendarTime& later, const CalendarTime& earlier) {
    return AutomationSpan::between(AutomationDate::fromCalendar(later), AutomationDate::fromCalendar(earlier))
        .wholeMinutes();
}

}  // namespace

TEST(AutomationDateTest, KnownDatesAndTheirWayBack) {
    const CalendarTime march3 = MakeLocalTime(2005, 3, 3, 14, 7, 9);
    const AutomationDate date = AutomationDate::fromCalendar(march3);
    EXPECT_TRUE(date.isValid());
    EXPECT_NEAR(date.days(), 38414.5882986111, 1e-9);
    EXPECT_EQ(calendarOf(date), withDayOfWeek(march3, 4));  // a Thursday

    EXPECT_EQ(AutomationDate().days(), 0.0);
    EXPECT_EQ(calendarOf(AutomationDate()), withDayOfWeek(MakeLocalTime(1899, 12, 30, 0, 0, 0), 6));

    const CalendarTime withMs = MakeLocalTime(2024, 2, 29, 23, 59, 59, 789);
    EXPECT_EQ(calendarOf(AutomationDate::fromCalendar(withMs)), withDayOfWeek(withMs, 4));
}

TEST(AutomationDateTest, BeforeTheEpochTheTimeOfDayStillRunsForward) {
    const CalendarTime dec29 = MakeLocalTime(1899, 12, 29, 6, 0, 0);
    const AutomationDate date = AutomationDate::fromCalendar(dec29);
    EXPECT_EQ(date.days(), -1.25);
    EXPECT_EQ(calendarOf(date), withDayOfWeek(dec29, 5));
    EXPECT_EQ(calendarOf(AutomationDate(-1.25, 0)), withDayOfWeek(dec29, 5));
}

TEST(AutomationDateTest, ValidRangeIsTheYears100To9999) {
    EXPECT_EQ(AutomationDate::fromCalendar(MakeLocalTime(100, 1, 1, 0, 0, 0)).days(), -657434.0);
    const CalendarTime last = MakeLocalTime(9999, 12, 31, 23, 59, 59);
    EXPECT_EQ(calendarOf(AutomationDate::fromCalendar(last)), withDayOfWeek(last, 5));

    EXPECT_FALSE(AutomationDate::fromCalendar(MakeLocalTime(99, 12, 31, 0, 0, 0)).isValid());
    EXPECT_FALSE(AutomationDate::fromCalendar(MakeLocalTime(10000, 1, 1, 0, 0, 0)).isValid());
    EXPECT_FALSE(AutomationDate(2958466.0, 0).isValid());
    // Found by fuzzing the record file: the last number below the end rounds to its first
    // millisecond, and such a "valid" date had no calendar form for the daily check.
    CalendarTime none;
    EXPECT_FALSE(AutomationDate(std::nextafter(2958466.0, 0.0), 0).isValid());
    EXPECT_FALSE(AutomationDate(std::nextafter(2958466.0, 0.0), 0).toCalendar(none));
    EXPECT_TRUE(AutomationDate(2958465.99999, 0).toCalendar(none));
    EXPECT_FALSE(AutomationDate(-657435.0, 0).isValid());
    EXPECT_FALSE(AutomationDate(std::nan(""), 0).isValid());
    EXPECT_FALSE(AutomationDate(38414.5, 1).isValid());
}

TEST(AutomationDateTest, ImpossibleFieldsGiveAnInvalidDateThatDoesNotConvert) {
    for (const CalendarTime& t : {MakeLocalTime(1900, 2, 29, 0, 0, 0), MakeLocalTime(2005, 4, 31, 0, 0, 0),
                                  MakeLocalTime(2005, 13, 1, 0, 0, 0), MakeLocalTime(2005, 0, 1, 0, 0, 0),
                                  MakeLocalTime(2005, 1, 0, 0, 0, 0), MakeLocalTime(2005, 1, 1, 24, 0, 0),
                                  MakeLocalTime(2005, 1, 1, 0, 60, 0), MakeLocalTime(2005, 1, 1, 0, 0, 60),
                                  MakeLocalTime(2005, 1, 1, 0, 0, 0, 1000)}) {
        const AutomationDate date = AutomationDate::fromCalendar(t);
        EXPECT_FALSE(date.isValid()) << ::testing::PrintToString(t);
        CalendarTime untouched = MakeLocalTime(1, 2, 3, 4, 5, 6);
        EXPECT_FALSE(date.toCalendar(untouched));
        EXPECT_EQ(untouched, MakeLocalTime(1, 2, 3, 4, 5, 6));
    }
    EXPECT_TRUE(AutomationDate::fromCalendar(MakeLocalTime(2000, 2, 29, 0, 0, 0)).isValid());
}

TEST(AutomationDateTest, SecondStepsCrossMidnightTheEpochAndTheEndOfTheRange) {
    const auto shifted = [](const CalendarTime& t, int seconds) {
        return calendarOf(AutomationDate::fromCalendar(t).plusSeconds(seconds));
    };
    EXPECT_EQ(shifted(MakeLocalTime(2005, 1, 1, 0, 0, 10), -30),
              withDayOfWeek(MakeLocalTime(2004, 12, 31, 23, 59, 40), 5));
    EXPECT_EQ(shifted(MakeLocalTime(2004, 12, 31, 23, 59, 50), 10),
              withDayOfWeek(MakeLocalTime(2005, 1, 1, 0, 0, 0), 6));
    EXPECT_EQ(shifted(MakeLocalTime(1899, 12, 30, 0, 0, 10), -30),
              withDayOfWeek(MakeLocalTime(1899, 12, 29, 23, 59, 40), 5));
    EXPECT_EQ(shifted(MakeLocalTime(2005, 3, 3, 14, 7, 9), INT_MAX).wYear, 2073);

    EXPECT_FALSE(
        AutomationDate::fromCalendar(MakeLocalTime(9999, 12, 31, 23, 59, 50)).plusSeconds(30).isValid());
    EXPECT_FALSE(AutomationDate::fromCalendar(MakeLocalTime(100, 1, 1, 0, 0, 10)).plusSeconds(-30).isValid());
    EXPECT_FALSE(AutomationDate(1.0, 1).plusSeconds(1).isValid());
}

TEST(AutomationDateTest, SpansRoundByHalfASecondAwayFromZero) {
    const CalendarTime start = MakeLocalTime(2005, 3, 3, 13, 0, 0);
    EXPECT_EQ(minutesBetween(MakeLocalTime(2005, 3, 3, 13, 59, 59), start), 59);
    EXPECT_EQ(minutesBetween(MakeLocalTime(2005, 3, 3, 13, 59, 59, 499), start), 59);
    EXPECT_EQ(minutesBetween(MakeLocalTime(2005, 3, 3, 13, 59, 59, 500), start), 60);
    EXPECT_EQ(minutesBetween(start, MakeLocalTime(2005, 3, 3, 13, 59, 59, 500)), -60);
    EXPECT_EQ(minutesBetween(start, MakeLocalTime(2005, 3, 3, 13, 59, 59, 499)), -59);

    const auto seconds = [&](int ms) {
        return AutomationSpan::between(AutomationDate::fromCalendar(MakeLocalTime(2005, 3, 3, 13, 0, 0, ms)),
                                       AutomationDate::fromCalendar(start))
            .wholeSeconds();
    };
    EXPECT_EQ(seconds(499), 0);
    EXPECT_EQ(seconds(500), 1);
}

TEST(AutomationDateTest, SpansBeyondTheIntRangeSaturate) {
    const AutomationDate now = AutomationDate::fromCalendar(MakeLocalTime(2025, 12, 8, 1, 23, 45));
    EXPECT_EQ(AutomationSpan::between(now, AutomationDate()).wholeSeconds(), INT32_MAX);
    EXPECT_EQ(AutomationSpan::between(AutomationDate(), now).wholeSeconds(), INT32_MIN);
    EXPECT_EQ(AutomationSpan::between(now, AutomationDate()).wholeMinutes(), 66238643);
}
