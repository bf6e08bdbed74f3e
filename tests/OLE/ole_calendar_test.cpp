// Calendar fields and OLE Automation date numbers.
#include <gtest/gtest.h>

#include "ole_test_support.h"

#include <cmath>

#include "ole_calendar.h"

namespace {

double to_date(const ole_systemtime& st)
{
    double d = 12345.0;
    EXPECT_TRUE(ole_systemtime_to_date(st, d));
    return d;
}

ole_systemtime from_date(double d)
{
    ole_systemtime st;
    EXPECT_TRUE(ole_date_to_systemtime(d, st)) << d;
    st.day_of_week = 0;  // checked on its own
    return st;
}

}  // namespace

TEST(OleCalendar, AnchorsMatchOleDateNumbers)
{
    EXPECT_EQ(to_date(make_st(1899, 12, 30)), 0.0);
    EXPECT_EQ(to_date(make_st(1899, 12, 31)), 1.0);
    EXPECT_EQ(to_date(make_st(1900, 1, 1)), 2.0);
    EXPECT_EQ(to_date(make_st(1900, 2, 28)), 60.0);
    EXPECT_EQ(to_date(make_st(1900, 3, 1)), 61.0);  // no 1900-02-29 in OLE dates
    EXPECT_EQ(to_date(make_st(2011, 8, 5)), 40760.0);
    EXPECT_EQ(to_date(make_st(2011, 8, 5, 18, 0)), 40760.75);
    EXPECT_EQ(to_date(make_st(100, 1, 1)), -657434.0);
    EXPECT_EQ(to_date(make_st(9999, 12, 31)), 2958465.0);
    EXPECT_NEAR(to_date(make_st(9999, 12, 31, 23, 59, 59)), 2958465.99998843, 1e-8);
}

TEST(OleCalendar, NegativeNumbersCountTheTimeForward)
{
    EXPECT_EQ(to_date(make_st(1899, 12, 29, 6, 0)), -1.25);
    EXPECT_EQ(to_date(make_st(1899, 12, 29)), -1.0);
    EXPECT_EQ(to_date(make_st(1899, 12, 28, 18, 0)), -2.75);

    EXPECT_EQ(from_date(-1.25), make_st(1899, 12, 29, 6, 0));
    EXPECT_EQ(from_date(-2.75).hour, 18);
    EXPECT_EQ(from_date(-2.75).day, 28);
    // Just below 0 is still on 1899-12-30: the whole part is -0.
    EXPECT_EQ(from_date(-0.5), make_st(1899, 12, 30, 12, 0));
    // Rounding to the next midnight always moves to the later day.
    EXPECT_EQ(from_date(-1.9999999999), make_st(1899, 12, 30));
    EXPECT_EQ(from_date(-2.9999999999), make_st(1899, 12, 29));
}

TEST(OleCalendar, RoundsToTheNearestSecond)
{
    ole_systemtime st = from_date(40760.0 + (14 * 3600 + 30 * 60 + 0.6) / 86400.0);
    EXPECT_EQ(st, make_st(2011, 8, 5, 14, 30, 1));
    st = from_date(40760.0 + (14 * 3600 + 30 * 60 + 0.4) / 86400.0);
    EXPECT_EQ(st, make_st(2011, 8, 5, 14, 30, 0));
    EXPECT_EQ(from_date(40760.99999999), make_st(2011, 8, 6));
    // Milliseconds take part in the number.
    EXPECT_NEAR(to_date(make_st(1899, 12, 30, 0, 0, 0, 500)), 0.5 / 86400.0, 1e-15);
}

uint16_t weekday(double d)
{
    ole_systemtime st;
    EXPECT_TRUE(ole_date_to_systemtime(d, st));
    return st.day_of_week;
}

TEST(OleCalendar, FillsTheDayOfWeek)
{
    EXPECT_EQ(weekday(40760.0), 5);    // 2011-08-05, a Friday
    EXPECT_EQ(weekday(0.0), 6);        // 1899-12-30, a Saturday
    EXPECT_EQ(weekday(-657434.0), 5);  // 0100-01-01, a Friday
    EXPECT_EQ(weekday(-1.0), 5);
}

TEST(OleCalendar, RejectsWhatHasNoDateNumber)
{
    double d = 1.0;
    for (const ole_systemtime& st :
         {make_st(99, 12, 31), make_st(10000, 1, 1), make_st(2011, 0, 1), make_st(2011, 13, 1), make_st(2011, 2, 29),
          make_st(1900, 2, 29), make_st(2100, 2, 29), make_st(2011, 4, 31), make_st(2011, 1, 0),
          make_st(2011, 1, 1, 24), make_st(2011, 1, 1, 0, 60), make_st(2011, 1, 1, 0, 0, 60),
          make_st(2011, 1, 1, 0, 0, 0, 1000), make_st(0, 0, 0, 12)}) {
        EXPECT_FALSE(ole_systemtime_to_date(st, d)) << st.year << "-" << st.month << "-" << st.day;
        EXPECT_EQ(d, 0.0);
    }
    EXPECT_TRUE(ole_systemtime_to_date(make_st(2000, 2, 29), d));

    ole_systemtime st;
    for (double bad :
         {-657435.0, 2958466.0, double(NAN), double(INFINITY), -double(INFINITY), 1e300, 2958465.999999999}) {
        EXPECT_FALSE(ole_date_to_systemtime(bad, st)) << bad;
        EXPECT_EQ(st, ole_systemtime{});
    }
    EXPECT_EQ(from_date(-657434.5), make_st(100, 1, 1, 12, 0));
}

TEST(OleCalendar, LeapYearsAndMonthLengths)
{
    for (int32_t year : {2000, 2004}) EXPECT_TRUE(ole_is_leap_year(year)) << year;
    for (int32_t year : {1900, 2011}) EXPECT_FALSE(ole_is_leap_year(year)) << year;
    EXPECT_EQ(ole_days_in_month(2000, 2), 29u);
    EXPECT_EQ(ole_days_in_month(1900, 2), 28u);
    EXPECT_EQ(ole_days_in_month(2011, 4), 30u);
    EXPECT_EQ(ole_days_in_month(2011, 12), 31u);
    EXPECT_EQ(ole_days_in_month(2011, 13), 0u);
}

// Every day from 0100-01-01 to 9999-12-31: the day after each day is the
// next calendar day, and fields -> number -> fields is exact, with a time of
// day that varies from day to day (on both sides of 1899-12-30).
TEST(OleCalendar, WholeRangeRoundTripsExactly)
{
    int32_t y = 100;
    uint32_t m = 1, d = 1;
    for (int32_t days = -657434; days <= 2958465; ++days) {
        ASSERT_EQ(ole_days_from_civil(y, m, d), days) << y << "-" << m << "-" << d;
        int32_t cy;
        uint32_t cm, cd;
        ole_civil_from_days(days, cy, cm, cd);
        ASSERT_TRUE(cy == y && cm == m && cd == d) << days;

        const uint32_t secs = static_cast<uint32_t>((static_cast<int64_t>(days) * 7919 % 86400 + 86400) % 86400);
        const ole_systemtime st = make_st(y, int(m), int(d), int(secs / 3600), int(secs / 60 % 60), int(secs % 60));
        double number;
        ASSERT_TRUE(ole_systemtime_to_date(st, number));
        ASSERT_EQ(std::trunc(number), days == 0 ? 0.0 : static_cast<double>(days)) << days;
        ole_systemtime back;
        ASSERT_TRUE(ole_date_to_systemtime(number, back));
        back.day_of_week = 0;
        ASSERT_EQ(back, st) << days;

        // Next calendar day.
        if (++d > ole_days_in_month(y, m)) {
            d = 1;
            if (++m > 12) m = 1, ++y;
        }
    }
    EXPECT_EQ(y, 10000);
}
