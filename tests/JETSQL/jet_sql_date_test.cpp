// Access date numbers, their calendar fields and texts, and the text forms
// of numbers the query functions print.
#include <gtest/gtest.h>

#include <cmath>

#include "jet_sql_date.h"
#include "jet_sql_functions.h"
#include "jet_sql_source.h"

namespace {

jet_sql_datetime fields(int y, int mo, int d, int h = 0, int mi = 0, int s = 0)
{
    jet_sql_datetime dt;
    dt.year = y;
    dt.month = mo;
    dt.day = d;
    dt.hour = h;
    dt.minute = mi;
    dt.second = s;
    return dt;
}

void expect_fields(double date, const jet_sql_datetime& want)
{
    jet_sql_datetime got;
    ASSERT_TRUE(jet_sql_date_split(date, got)) << date;
    EXPECT_EQ(got.year, want.year) << date;
    EXPECT_EQ(got.month, want.month) << date;
    EXPECT_EQ(got.day, want.day) << date;
    EXPECT_EQ(got.hour, want.hour) << date;
    EXPECT_EQ(got.minute, want.minute) << date;
    EXPECT_EQ(got.second, want.second) << date;
}

TEST(JetSqlDate, CivilDaysAroundTheEpochAndTheEnds)
{
    EXPECT_EQ(jet_sql_days_from_civil(1899, 12, 30), 0);
    EXPECT_EQ(jet_sql_days_from_civil(1900, 1, 1), 2);
    EXPECT_EQ(jet_sql_days_from_civil(1995, 1, 31), 34730);
    EXPECT_EQ(jet_sql_days_from_civil(100, 1, 1), -657434);
    EXPECT_EQ(jet_sql_days_from_civil(9999, 12, 31), 2958465);
    for (int32_t d : {-657434, -1, 0, 1, 59, 60, 61, 36525, 2958465}) {
        int32_t y, m, day;
        jet_sql_civil_from_days(d, y, m, day);
        EXPECT_EQ(jet_sql_days_from_civil(y, m, day), d);
    }
    EXPECT_EQ(jet_sql_days_in_month(2000, 2), 29);
    EXPECT_EQ(jet_sql_days_in_month(1900, 2), 28);
    EXPECT_EQ(jet_sql_days_in_month(2024, 12), 31);
}

TEST(JetSqlDate, TimeCountsForwardBeforeTheEpoch)
{
    // -1.25 is 1899-12-29 06:00, not 18:00 of the day before.
    expect_fields(-1.25, fields(1899, 12, 29, 6));
    expect_fields(-0.5, fields(1899, 12, 30, 12));
    expect_fields(0.75, fields(1899, 12, 30, 18));
    EXPECT_DOUBLE_EQ(jet_sql_date_make(fields(1899, 12, 29, 6)), -1.25);
    EXPECT_DOUBLE_EQ(jet_sql_date_make(fields(1800, 1, 1, 6)), jet_sql_days_from_civil(1800, 1, 1) - 0.25);
    EXPECT_EQ(jet_sql_date_day(-1.25), -1);
    EXPECT_DOUBLE_EQ(jet_sql_date_time_fraction(-1.25), 0.25);
    EXPECT_DOUBLE_EQ(jet_sql_date_compose(-1, 0.25), -1.25);
}

// A Date/Time Extended value's stored integer gives back its date number
// and ticks, orders as the date numbers do, and its date number carries
// the ticks forward in time on both sides of the epoch.
TEST(JetSqlDate, ExtendedValuesKeepTheirTicks)
{
    const struct {
        double date;
        uint32_t ticks;
    } values[] = {{-657434.0, 5000000},
                  {-1.5, 9999999},
                  {-1.25, 5000000},
                  {0, 0},
                  {0.75, 1234567},
                  {44532.5, 1},
                  {2958465.0 - 1.0 / 86400, 9999999}};
    int64_t before = INT64_MIN;
    for (const auto& v : values) {
        SCOPED_TRACE(v.date);
        const int64_t stored = jet_sql_ticks_encode(v.date, v.ticks);
        EXPECT_GT(stored, before);
        before = stored;
        double date = 0;
        uint32_t ticks = 0;
        jet_sql_ticks_decode(stored, date, ticks);
        EXPECT_DOUBLE_EQ(date, v.date);
        EXPECT_EQ(ticks, v.ticks);
        const double seconds = (jet_sql_ticks_date(stored) - v.date) * 86400.0;
        EXPECT_NEAR(std::fabs(seconds), v.ticks / 1e7, 1e-4);  // a double holds tens of microseconds in year 9999
        EXPECT_EQ(seconds < 0, v.date < 0 && v.ticks != 0);
    }
}

TEST(JetSqlDate, RoundingToTheSecondCarriesIntoTheDay)
{
    // 23:59:59.8 rounds to midnight of the next day, on both sides.
    expect_fields(1.0 - 0.2 / 86400.0, fields(1899, 12, 31));
    expect_fields(-(2.0 - 0.2 / 86400.0), fields(1899, 12, 30));  // 12/29 23:59:59.8
    jet_sql_datetime dt;
    EXPECT_FALSE(jet_sql_date_split(std::nan(""), dt));
    EXPECT_FALSE(jet_sql_date_split(1e9, dt));
    EXPECT_TRUE(jet_sql_date_split(jet_sql_date_max, dt));
    EXPECT_EQ(dt.year, 9999);
}

TEST(JetSqlDate, ReadsTheTextsAccessReads)
{
    double d = 0;
    ASSERT_TRUE(jet_sql_date_parse(u"Jan 31 1995 2:05:09 pm", d));
    expect_fields(d, fields(1995, 1, 31, 14, 5, 9));
    ASSERT_TRUE(jet_sql_date_parse(u"1995-1-31", d));
    expect_fields(d, fields(1995, 1, 31));
    ASSERT_TRUE(jet_sql_date_parse(u"31.1.1995", d));  // day-first repaired
    expect_fields(d, fields(1995, 1, 31));
    ASSERT_TRUE(jet_sql_date_parse(u"12:00 AM", d));
    EXPECT_DOUBLE_EQ(d, 0);
    ASSERT_TRUE(jet_sql_date_parse(u"12:30 PM", d));
    expect_fields(d, fields(1899, 12, 30, 12, 30));
    for (const char16_t* bad : {u"", u"hello", u"1/2/3/4", u"13:61", u"2/29/1999", u"0/1/2000", u"1995-13-01",
                                u"10:00 XM", u"#1/1/2000#", u"1/1/2000;"})
        EXPECT_FALSE(jet_sql_date_parse(bad, d)) << std::string(bad, bad + std::char_traits<char16_t>::length(bad));
}

TEST(JetSqlDate, GeneralDateText)
{
    EXPECT_EQ(jet_sql_date_general(jet_sql_date_make(fields(1995, 1, 31))), u"1/31/1995");
    EXPECT_EQ(jet_sql_date_general(jet_sql_date_make(fields(1995, 1, 31, 0, 0, 1))), u"1/31/1995 12:00:01 AM");
    EXPECT_EQ(jet_sql_date_general(jet_sql_date_make(fields(1995, 1, 31, 12, 0, 0))), u"1/31/1995 12:00:00 PM");
    EXPECT_EQ(jet_sql_date_general(0.75), u"6:00:00 PM");
    EXPECT_EQ(jet_sql_date_general(0), u"12/30/1899");
    EXPECT_EQ(jet_sql_date_general(1e12), u"");
}

TEST(JetSqlNumberText, AsVbaPrintsThem)
{
    EXPECT_EQ(jet_sql_number_text(1.5, jet_dao_double), u"1.5");
    EXPECT_EQ(jet_sql_number_text(0.1 + 0.2, jet_dao_double), u"0.3");
    EXPECT_EQ(jet_sql_number_text(1e20, jet_dao_double), u"1E+20");
    EXPECT_EQ(jet_sql_number_text(1.5e-7, jet_dao_double), u"1.5E-07");
    EXPECT_EQ(jet_sql_number_text(-0.0, jet_dao_double), u"0");
    EXPECT_EQ(jet_sql_number_text(static_cast<float>(1.1), jet_dao_single), u"1.1");
    EXPECT_EQ(jet_sql_number_text(-1, jet_dao_boolean), u"True");
    EXPECT_EQ(jet_sql_number_text(0, jet_dao_boolean), u"False");
    EXPECT_EQ(jet_sql_number_text(34730.5, jet_dao_date), u"1/31/1995 12:00:00 PM");
}

TEST(JetSqlFormat, DateAndNumberPatternsDirectly)
{
    double d = jet_sql_date_make(fields(2007, 3, 4, 5, 6, 7));
    EXPECT_EQ(jet_sql_format_date(d, u"d/m/yy h:n:s"), u"4/3/07 5:6:7");
    EXPECT_EQ(jet_sql_format_date(d, u"dddd, mmmm dd"), u"Sunday, March 04");
    EXPECT_EQ(jet_sql_format_date(d, u"hh:mm"), u"05:06");  // m after h is minutes
    EXPECT_EQ(jet_sql_format_date(d, u"yyyy\\Qq"), u"2007Q1");
    EXPECT_EQ(jet_sql_format_date(d, u"y"), u"63");  // day of the year
    EXPECT_EQ(jet_sql_format_date(d, u"ww"), u"10");
    EXPECT_EQ(jet_sql_format_number(1234567.891, u"#,##0.0"), u"1,234,567.9");
    EXPECT_EQ(jet_sql_format_number(-0.004, u"0.00"), u"0.00");
    EXPECT_EQ(jet_sql_format_number(42, u"\"No. \"000"), u"No. 042");
    EXPECT_EQ(jet_sql_format_number(0.000123, u"0.0E-00"), u"1.2E-04");
}

}  // namespace
