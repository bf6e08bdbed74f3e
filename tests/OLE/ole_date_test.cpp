// ole_date: parse steps, repairs, validity, kinds and printing; and the
// free-form English-US date reader.
#include <gtest/gtest.h>

#include "ole_test_support.h"

#include <tuple>

#include "ole_date.h"
#include "ole_date_parser.h"
#include "tk_exception.h"

namespace {

ole_date parse(const char* text)
{
    return ole_date(std::string_view(text));
}

// Kind and printed form of a text.
void expect_date(const char* text, int32_t kind, const char* printed)
{
    ole_date d = parse(text);
    EXPECT_EQ(d.kind, kind) << text;
    EXPECT_EQ(d.to_string(), printed) << text;
}

// The reader with a fixed current year, fields compared without weekday.
bool read(const char* text, ole_systemtime& st)
{
    bool ok = ole_date_parser(2020).parse(text, st);
    st.day_of_week = 0;
    return ok;
}

ole_systemtime read_ok(const char* text)
{
    ole_systemtime st;
    EXPECT_TRUE(read(text, st)) << text;
    return st;
}

}  // namespace

TEST(OleDateParse, CompactForms)
{
    expect_date("20110805143000", ole_date::kind_date_time, "2011-08-05 14:30:00");
    expect_date("20110805", ole_date::kind_pure_date, "2011-08-05");
    // The 14-character form is not refined: midnight stays a date and time,
    // which prints as the date alone.
    ole_date d = parse("20110805000000");
    EXPECT_EQ(d.kind, ole_date::kind_date_time);
    EXPECT_EQ(d.to_string(), "2011-08-05");
    // Out-of-range fields fail the compact step and every later one.
    expect_date("20111305", ole_date::kind_invalid, "");
}

TEST(OleDateParse, PureTimesWithMilliseconds)
{
    // The seconds round; the hour wraps at midnight.
    expect_date("14:30:59.6", ole_date::kind_pure_time, "0000-00-00 14:31:00");
    EXPECT_EQ(parse("14:30:59.6").st, make_st(0, 0, 0, 14, 31, 0, 600));
    expect_date("23:59:59.7", ole_date::kind_pure_time, "0000-00-00 00:00:00");
    EXPECT_EQ(parse("23:59:59.7").st, make_st(0, 0, 0, 0, 0, 0, 700));
    expect_date("14:30:00", ole_date::kind_pure_time, "0000-00-00 14:30:00");
    expect_date("  09:05:07  ", ole_date::kind_pure_time, "0000-00-00 09:05:07");
    // Hour 60 is let through by the loose check; 61 is not.
    EXPECT_EQ(parse("60:00:00").kind, ole_date::kind_pure_time);
}

TEST(OleDateParse, EnglishDatesThroughTheReader)
{
    expect_date("8/5/2011", ole_date::kind_pure_date, "2011-08-05");
    expect_date("2011-08-05", ole_date::kind_pure_date, "2011-08-05");
    expect_date("5 August 2011", ole_date::kind_pure_date, "2011-08-05");
    expect_date("Aug 5, 2011", ole_date::kind_pure_date, "2011-08-05");
    expect_date("August 5, 2011 14:30", ole_date::kind_date_time, "2011-08-05 14:30:00");
    expect_date("2011-08-05 14:30:15", ole_date::kind_date_time, "2011-08-05 14:30:15");
    expect_date("2011-08-05 00:00:00", ole_date::kind_pure_date, "2011-08-05");
    // A time without seconds is not a pure time for the third step; the
    // reader puts it on the day of date number 0, as OLE does.
    expect_date("14:30", ole_date::kind_date_time, "1899-12-30 14:30:00");
}

TEST(OleDateParse, AmPmMarkers)
{
    expect_date("2011-08-05 02:30:00 PM", ole_date::kind_date_time, "2011-08-05 14:30:00");
    expect_date("2011-08-05 02:30:00 pm", ole_date::kind_date_time, "2011-08-05 14:30:00");
    expect_date("2011-08-05 12:30:00 PM", ole_date::kind_date_time, "2011-08-05 12:30:00");
    expect_date("2011-08-05 02:30:00 AM", ole_date::kind_date_time, "2011-08-05 02:30:00");
    // Half past midnight, not half past noon.
    expect_date("2011-08-05 12:30:00 AM", ole_date::kind_date_time, "2011-08-05 00:30:00");
    expect_date("August 5, 2011 2:30 PM", ole_date::kind_date_time, "2011-08-05 14:30:00");
    expect_date("02:30:00 PM", ole_date::kind_pure_time, "0000-00-00 14:30:00");
    // Wide texts read the same.
    EXPECT_EQ(ole_date(std::u16string_view(u"2011-08-05 02:30:00 PM")).to_wstring(), u"2011-08-05 14:30:00");
}

TEST(OleDateParse, DayFirstTextsAreRepaired)
{
    // Fractions of seconds keep these from the reader; the dash, slash and
    // dot patterns read them as year 5, month 8, day 2011.
    expect_date("5-8-2011 10:20:30.4", ole_date::kind_date_time, "2011-08-05 10:20:30");
    expect_date("5/8/2011 10:20:30.4", ole_date::kind_date_time, "2011-08-05 10:20:30");
    expect_date("5.8.2011 10:20:30.6", ole_date::kind_date_time, "2011-08-05 10:20:31");
    expect_date("2011.08.05 10:20:30.4", ole_date::kind_date_time, "2011-08-05 10:20:30");
    expect_date("2011-08-05 00:00:00.2", ole_date::kind_pure_date, "2011-08-05");
}

TEST(OleDateParse, RejectsWhatIsNoDate)
{
    for (const char* bad :
         {"", "    ", "1:05", "AM", "12 PM", "hello world", "2011-13-45", "2/30/2011 x", "99:99:99:99"})
        expect_date(bad, ole_date::kind_invalid, "");
    // ISO 8601's 'T' separates date and time; the time must not be dropped.
    expect_date("2011-08-05T14:30:00", ole_date::kind_date_time, "2011-08-05 14:30:00");
    expect_date("2011-08-05T00:00:00", ole_date::kind_pure_date, "2011-08-05");
    // Seconds that cannot be a count of seconds.
    EXPECT_EQ(parse("10:20:-5").kind, ole_date::kind_invalid);
}

TEST(OleDateRules, ValidityIsLooseOnPurpose)
{
    EXPECT_FALSE(ole_date().is_valid());  // kind 0
    struct {
        int32_t kind;
        ole_systemtime st;
        bool valid;
    } const cases[] = {
        {ole_date::kind_date_time, make_st(2011, 2, 31, 60, 60, 60), true},
        {ole_date::kind_date_time, make_st(2011, 2, 31, 61, 60, 60), false},
        {ole_date::kind_date_time, make_st(2011, 2, 31, 0, 61), false},
        {ole_date::kind_date_time, make_st(2011, 2, 31, 0, 0, 61), false},
        {ole_date::kind_date_time, make_st(2011, 13, 1), false},
        {ole_date::kind_date_time, make_st(2011, 0, 1), false},
        {ole_date::kind_date_time, make_st(0, 8, 5), false},
        {ole_date::kind_date_time, make_st(2011, 8, 0), false},
        {ole_date::kind_date_time, make_st(2011, 8, 32), false},
        {ole_date::kind_date_time, make_st(5, 8, 2011), true},  // the day-first shape a repair fixes later
        {ole_date::kind_date_time, make_st(32, 8, 2011), false},
        // A pure time: only the time counts.
        {ole_date::kind_date_time, make_st(0, 0, 0, 60, 0, 0), true},
        {ole_date::kind_date_time, make_st(0, 0, 0, 61, 0, 0), false},
    };
    for (const auto& c : cases) {
        ole_date d;
        d.kind = c.kind;
        d.st = c.st;
        EXPECT_EQ(d.is_valid(), c.valid) << c.st.year << "-" << c.st.month << "-" << c.st.day << " " << c.st.hour << ":"
                                         << c.st.minute << ":" << c.st.second;
    }
}

TEST(OleDateRules, RefineTypeAndPrinting)
{
    const std::tuple<ole_systemtime, int32_t, const char*> records[] = {
        {make_st(2011, 8, 5), ole_date::kind_pure_date, "2011-08-05"},
        {make_st(2011, 8, 5, 14, 30), ole_date::kind_date_time, "2011-08-05 14:30:00"},
        {make_st(0, 0, 0, 14, 30), ole_date::kind_pure_time, "0000-00-00 14:30:00"},
        // Milliseconds neither refine nor print.
        {make_st(2011, 8, 5, 0, 0, 0, 250), ole_date::kind_pure_date, "2011-08-05"},
        // A zero record is a pure time at midnight.
        {ole_systemtime{}, ole_date::kind_pure_time, "0000-00-00 00:00:00"},
    };
    for (const auto& [st, kind, printed] : records) {
        EXPECT_EQ(ole_date(st).kind, kind) << printed;
        EXPECT_EQ(ole_date(st).to_string(), printed);
    }
    ole_date d;
    // A date-and-time at midnight prints as the date alone.
    d.kind = ole_date::kind_date_time;
    d.st = make_st(2011, 8, 5);
    EXPECT_EQ(d.to_string(), "2011-08-05");
    // A partial date does not become a pure date.
    d.st = make_st(2011, 0, 5);
    d.refine_type();
    EXPECT_EQ(d.kind, ole_date::kind_date_time);
    d.kind = ole_date::kind_invalid;
    EXPECT_EQ(d.to_string(), "");
    EXPECT_EQ(d.to_wstring(), u"");
}

TEST(OleDateRules, MillisecondsCarry)
{
    ole_date d;
    d.st = make_st(2011, 8, 5, 23, 59);
    d.kind = ole_date::kind_date_time;
    d.process_milliseconds("59.5");
    // The hour wraps; the day is never carried into.
    EXPECT_EQ(d.st, make_st(2011, 8, 5, 0, 0, 0, 500));
    d.st = make_st(2011, 8, 5, 10, 10);
    d.process_milliseconds("1.001");
    EXPECT_EQ(d.st.milliseconds, 1);
    EXPECT_EQ(d.st.second, 1);
    d.process_milliseconds("5.499");
    EXPECT_EQ(d.st.second, 5);
    EXPECT_EQ(d.st.milliseconds, 499);
    d.process_milliseconds("125");
    EXPECT_EQ(d.st, make_st(2011, 8, 5, 10, 12, 5));
    EXPECT_THROW(d.process_milliseconds(nullptr), tk_mail_assertion);
    d.process_milliseconds("nan");
    EXPECT_EQ(d.kind, ole_date::kind_invalid);
}

TEST(OleDateParser, NumericDates)
{
    EXPECT_EQ(read_ok("8/5/2011"), make_st(2011, 8, 5));
    EXPECT_EQ(read_ok("08-05-2011"), make_st(2011, 8, 5));
    EXPECT_EQ(read_ok("13/8/2011"), make_st(2011, 8, 13));
    EXPECT_EQ(read_ok("2011/8/5"), make_st(2011, 8, 5));
    EXPECT_EQ(read_ok("2011-13-5"), make_st(2011, 5, 13));
    EXPECT_EQ(read_ok("5.8.2011"), make_st(2011, 5, 8));
    EXPECT_EQ(read_ok("8/5"), make_st(2020, 8, 5));
    EXPECT_EQ(read_ok("8/2011"), make_st(2011, 8, 1));
    EXPECT_EQ(read_ok("2011-8"), make_st(2011, 8, 1));
    EXPECT_EQ(read_ok("1/1/100"), make_st(100, 1, 1));
    EXPECT_EQ(read_ok("12/31/9999"), make_st(9999, 12, 31));
    EXPECT_EQ(read_ok("2/29/2000"), make_st(2000, 2, 29));
}

TEST(OleDateParser, TwoDigitYearsFollowOle)
{
    EXPECT_EQ(read_ok("8/5/00").year, 2000);
    EXPECT_EQ(read_ok("8/5/11").year, 2011);
    EXPECT_EQ(read_ok("8/5/29").year, 2029);
    EXPECT_EQ(read_ok("8/5/30").year, 1930);
    EXPECT_EQ(read_ok("8/5/99").year, 1999);
    EXPECT_EQ(read_ok("5 Aug 11").year, 2011);
}

TEST(OleDateParser, MonthNames)
{
    EXPECT_EQ(read_ok("5 August 2011"), make_st(2011, 8, 5));
    EXPECT_EQ(read_ok("August 5, 2011"), make_st(2011, 8, 5));
    EXPECT_EQ(read_ok("Aug 5, 2011"), make_st(2011, 8, 5));
    EXPECT_EQ(read_ok("aug. 5 2011"), make_st(2011, 8, 5));
    EXPECT_EQ(read_ok("5-Aug-2011"), make_st(2011, 8, 5));
    EXPECT_EQ(read_ok("2011 Aug 5"), make_st(2011, 8, 5));
    EXPECT_EQ(read_ok("Friday, August 5, 2011"), make_st(2011, 8, 5));
    EXPECT_EQ(read_ok("Sept 30 2011"), make_st(2011, 9, 30));
    EXPECT_EQ(read_ok("DECEMBER 2011"), make_st(2011, 12, 1));
    EXPECT_EQ(read_ok("Feb 3"), make_st(2020, 2, 3));
}

TEST(OleDateParser, Times)
{
    EXPECT_EQ(read_ok("August 5, 2011 14:30"), make_st(2011, 8, 5, 14, 30));
    EXPECT_EQ(read_ok("14:30:15 8/5/2011"), make_st(2011, 8, 5, 14, 30, 15));
    EXPECT_EQ(read_ok("8/5/2011 2:30 PM"), make_st(2011, 8, 5, 14, 30));
    EXPECT_EQ(read_ok("8/5/2011 2:30:01 p"), make_st(2011, 8, 5, 14, 30, 1));
    EXPECT_EQ(read_ok("8/5/2011 12:15 AM"), make_st(2011, 8, 5, 0, 15));
    EXPECT_EQ(read_ok("8/5/2011 12:15 PM"), make_st(2011, 8, 5, 12, 15));
    EXPECT_EQ(read_ok("8/5/2011 5 PM"), make_st(2011, 8, 5, 17, 0));
    EXPECT_EQ(read_ok("14:30"), make_st(1899, 12, 30, 14, 30));
    EXPECT_EQ(read_ok("2:30 am"), make_st(1899, 12, 30, 2, 30));
}

TEST(OleDateParser, Rejections)
{
    ole_systemtime st;
    // clang-format off
    const char* const bad_texts[] = {
        "", "August", "2/30/2011", "2/29/2011", "13/13/2011", "32/1/2011", "1/1/99999", "1/1/0099",
        "8/5/2011 24:00", "8/5/2011 13:00 PM", "8/5/2011 10:60", "10:00:00.5", "8/5/2011 10:00:00.5",
        "2011-08-05T14:30", "Aug Sep 5 2011", "1/2/3/4", "5", "8/5/2011 10:00 10:00", "8/5/2011 €",
        "12345678901/1/1", "10::00", "AM 5", "10: 20", "10:-20", "8/5/2011 10:20: 30"};
    // clang-format on
    for (const char* bad : bad_texts) EXPECT_FALSE(read(bad, st)) << bad;
    EXPECT_EQ(st, ole_systemtime{});
}

TEST(OleDateParser, WeekdayIsFilledIn)
{
    ole_systemtime st;
    ASSERT_TRUE(ole_date_parser(2020).parse("8/5/2011", st));
    EXPECT_EQ(st.day_of_week, 5);
}
