// Access's operators, literals and functions, each against the value
// Access gives (worked out by hand from Access's documented rules).
#include <gtest/gtest.h>

#include <memory>

#include "jet_sql_date.h"
#include "jet_sql_engine.h"
#include "jet_sql_functions.h"
#include "jet_sql_test_util.h"

namespace {

// A source without tables: the expressions need none.
class empty_source : public jet_sql_source {
public:
    bool find_table(std::u16string_view, std::u16string&, std::vector<jet_sql_column>&) override { return false; }
    std::unique_ptr<jet_sql_cursor> open_table(const std::u16string&) override { return nullptr; }
};

class JetSqlFunctions : public ::testing::Test {
protected:
    std::string eval(const std::u16string& expr)
    {
        jet_rows rows = jet_run(engine_, u"SELECT " + expr);
        return rows.size() == 1 && rows[0].size() == 1 ? rows[0][0] : "?";
    }
    void expect(std::initializer_list<std::pair<const char16_t*, const char*>> cases)
    {
        for (const auto& [expr, value] : cases) EXPECT_EQ(eval(expr), value) << tk_to_utf8(expr);
    }

    empty_source source_;
    jet_sql_engine engine_{source_};
};

TEST_F(JetSqlFunctions, OperatorsAndPrecedence)
{
    expect({
        {u"7 \\ 2", "3"},
        {u"5.5 \\ 2", "3"},
        {u"7 Mod 3", "1"},
        {u"-7 Mod 3", "-1"},
        {u"2 ^ 10", "1024"},
        {u"-2 ^ 2", "-4"},
        {u"2 ^ -1", "0.5"},
        {u"1 + 2 * 3 ^ 2", "19"},
        {u"10 - 2 - 3", "5"},
        {u"7 / 2", "3.5"},
        {u"1 + 1 & 1", "21"},
        {u"'a' & Null & 'b'", "ab"},
        {u"Null & Null", "NULL"},
        {u"Null + 1", "NULL"},
        {u"'a' + 'b'", "ab"},
        {u"1 Xor 0", "-1"},
        {u"1 = 1 Eqv 2 = 2", "-1"},
        {u"Not 1 = 2", "-1"},
        {u"True And False", "0"},
        {u"True Or Null", "-1"},
        {u"3 Between 5 And 1", "-1"},
        {u"2 In (1, 2)", "-1"},
        {u"2 Not In (1, 2)", "0"},
        {u"Null Is Null", "-1"},
        {u"1 Is Not Null", "-1"},
        {u"'ABC' = 'abc'", "-1"},
        {u"'b' > 'A'", "-1"},
        {u"1.5 & ''", "1.5"},
        {u"#1/31/1995# & ''", "1/31/1995"},
        {u"#1/31/1995 14:30# & ''", "1/31/1995 2:30:00 PM"},
        {u"(1 < 2) * 3", "-3"},
        {u"&H10 + &HFFFF", "15"},
        {u"On + Yes + True", "-3"},
        {u"Off Or No", "0"},
    });
}

TEST_F(JetSqlFunctions, LikePatterns)
{
    expect({
        {u"'ab' Like 'A?'", "-1"},
        {u"'abc' Like 'a*c'", "-1"},
        {u"'abc' Like 'a*d'", "0"},
        {u"'a1' Like 'a#'", "-1"},
        {u"'ab' Like 'a#'", "0"},
        {u"'b' Like '[a-c]'", "-1"},
        {u"'d' Like '[!a-c]'", "-1"},
        {u"'a*' Like 'a[*]'", "-1"},
        {u"'ax' Like 'a[*]'", "0"},
        {u"'50%' Like '50%'", "-1"},
        {u"'50x' Like '50%'", "0"},
        {u"'a_c' Like 'a_c'", "-1"},
        {u"'abc' Like 'ab'", "0"},
        {u"'' Like '*'", "-1"},
        {u"Null Like '*'", "NULL"},
        {u"'ÄBC' Like 'ä*'", "-1"},
        {u"'x' Like '[]'", "0"},
        {u"'' Like '[]'", "-1"},
    });
    EXPECT_TRUE(jet_sql_like(u"Smith", u"*m[a-j]th"));
    EXPECT_FALSE(jet_sql_like(u"Smyth", u"*m[a-j]th"));
    EXPECT_TRUE(jet_sql_like(u"aaab", u"*a*b"));
}

TEST_F(JetSqlFunctions, DateLiterals)
{
    expect({
        {u"#1/31/1995#", "1995-01-31 00:00:00"},
        {u"#1995-01-31 10:00:00#", "1995-01-31 10:00:00"},
        {u"#31 Jan 1995#", "1995-01-31 00:00:00"},
        {u"#January 31, 1995#", "1995-01-31 00:00:00"},
        {u"#1/31/95#", "1995-01-31 00:00:00"},
        {u"#1/31/29#", "2029-01-31 00:00:00"},
        {u"#1/31/30#", "1930-01-31 00:00:00"},
        {u"#13/1/2000#", "2000-01-13 00:00:00"},
        {u"#10:30 PM#", "1899-12-30 22:30:00"},
        {u"#12:00:01 AM#", "1899-12-30 00:00:01"},
        {u"#1/1/1800 6:00#", "1800-01-01 06:00:00"},
        {u"#12/31/9999 23:59:59#", "9999-12-31 23:59:59"},
    });
    double d = 0;
    EXPECT_FALSE(jet_sql_date_parse(u"2/30/2000", d));
    EXPECT_FALSE(jet_sql_date_parse(u"25:00", d));
    EXPECT_TRUE(jet_sql_date_parse(u"1/1/1800 6:00", d));
    EXPECT_DOUBLE_EQ(d, jet_sql_days_from_civil(1800, 1, 1) - 0.25);  // the time counts forward
}

TEST_F(JetSqlFunctions, TextFunctions)
{
    expect({
        {u"Len('héllo')", "5"},
        {u"Left('abcdef', 3)", "abc"},
        {u"Right('abcdef', 2)", "ef"},
        {u"Mid('abcdef', 2, 3)", "bcd"},
        {u"Mid('abcdef', 4)", "def"},
        {u"Mid('abc', 9)", ""},
        {u"InStr('abcabc', 'c')", "3"},
        {u"InStr(4, 'abcabc', 'C')", "6"},
        {u"InStr('abc', '')", "1"},
        {u"InStr('abc', 'x')", "0"},
        {u"InStrRev('abcabc', 'b')", "5"},
        {u"Replace('a.b.c', '.', '-')", "a-b-c"},
        {u"UCase('abc')", "ABC"},
        {u"LCase('ÄB')", "äb"},
        {u"Trim('  a  ')", "a"},
        {u"LTrim('  a  ')", "a  "},
        {u"RTrim('  a  ')", "  a"},
        {u"Space(3)", "   "},
        {u"String(3, 'xy')", "xxx"},
        {u"String(2, 65)", "AA"},
        {u"StrComp('abc', 'ABC')", "0"},
        {u"StrComp('abc', 'ABC', 0)", "1"},
        {u"StrComp('a', 'b')", "-1"},
        {u"Asc('A')", "65"},
        {u"Chr(66)", "B"},
        {u"Len(Null)", "NULL"},
        {u"UCase(12)", "12"},
        {u"Left(#1/31/1995#, 4)", "1/31"},
        {u"StrReverse('abc')", "cba"},
        {u"Left$('abcdef', 3)", "abc"},
        {u"Right$('abcdef', 2)", "ef"},
        {u"UCase$(Mid$('abc', 2))", "BC"},
    });
    // Only text functions have a $ form.
    EXPECT_ANY_THROW(eval(u"Len$('abc')"));
}

TEST_F(JetSqlFunctions, ConversionFunctions)
{
    expect({
        {u"Val('  12.5abc')", "12.5"},
        {u"Val('&H1F')", "31"},
        {u"Val('1 2 3')", "123"},
        {u"Val('abc')", "0"},
        {u"Str(12)", " 12"},
        {u"Str(-3)", "-3"},
        {u"CStr(1.5)", "1.5"},
        {u"CStr(True)", "True"},
        {u"CInt(2.5)", "2"},
        {u"CInt(3.5)", "4"},
        {u"CInt('12')", "12"},
        {u"CLng(-2.5)", "-2"},
        {u"CByte(255)", "255"},
        {u"CDbl('1.25')", "1.25"},
        {u"CCur(1.23456)", "1.2346"},
        {u"CCur(0.00005)", "0"},
        {u"CBool(5)", "-1"},
        {u"CBool('False')", "0"},
        {u"CDate('1/31/1995')", "1995-01-31 00:00:00"},
        {u"CDate(35000.5)", "1995-10-28 12:00:00"},
        {u"CSng(1.1)", "1.1"},
        {u"CDec(1.5)", "1.5"},
        {u"IsNumeric('12')", "-1"},
        {u"IsNumeric('abc')", "0"},
        {u"IsNumeric(Null)", "0"},
        {u"IsDate('1/31/1995')", "-1"},
        {u"IsDate('hello')", "0"},
        {u"IsDate(#1/1/2000#)", "-1"},
        {u"IsNull(Null)", "-1"},
    });
}

TEST_F(JetSqlFunctions, NumberFunctions)
{
    expect({
        {u"Int(-2.5)", "-3"},
        {u"Fix(-2.5)", "-2"},
        {u"Abs(-3)", "3"},
        {u"Sgn(-2)", "-1"},
        {u"Sqr(16)", "4"},
        {u"Exp(0)", "1"},
        {u"Log(1)", "0"},
        {u"Round(2.5)", "2"},
        {u"Round(3.5)", "4"},
        {u"Round(-2.5)", "-2"},
        {u"Round(1.25, 1)", "1.2"},
        {u"Round(1.35, 1)", "1.4"},
        {u"Round(7)", "7"},
        {u"Round(1.005, 2)", "1"},
        {u"Int(7)", "7"},
    });
    EXPECT_DOUBLE_EQ(jet_sql_round(0.125, 2), 0.12);
    EXPECT_DOUBLE_EQ(jet_sql_round(0.375, 2), 0.38);
}

TEST_F(JetSqlFunctions, BranchingFunctions)
{
    expect({
        {u"IIf(1 > 2, 'a', 'b')", "b"},
        {u"IIf(Null, 1, 2)", "2"},
        {u"Nz(Null, 5)", "5"},
        {u"Nz('x', 5)", "x"},
        {u"Switch(1 = 2, 'x', 2 = 2, 'y')", "y"},
        {u"Switch(1 = 2, 'x')", "NULL"},
        {u"Choose(2, 'a', 'b', 'c')", "b"},
        {u"Choose(4, 'a', 'b')", "NULL"},
        {u"IIf(True, 1, 'x')", "1"},
    });
}

TEST_F(JetSqlFunctions, DateFunctions)
{
    expect({
        {u"Year(#1/31/1995#)", "1995"},
        {u"Month(#1/31/1995#)", "1"},
        {u"Day(#1/31/1995#)", "31"},
        {u"Hour(#10:20:30 PM#)", "22"},
        {u"Minute(#10:20:30 PM#)", "20"},
        {u"Second(#10:20:30 PM#)", "30"},
        {u"Weekday(#1/31/1995#)", "3"},
        {u"Weekday(#1/31/1995#, 2)", "2"},
        {u"WeekdayName(1)", "Sunday"},
        {u"WeekdayName(1, True, 2)", "Mon"},
        {u"MonthName(2)", "February"},
        {u"MonthName(12, True)", "Dec"},
        {u"Year('1/31/1995')", "1995"},
        {u"Year(Null)", "NULL"},
        {u"DateSerial(1995, 14, 1)", "1996-02-01 00:00:00"},
        {u"DateSerial(2000, 3, 0)", "2000-02-29 00:00:00"},
        {u"DateSerial(95, 1, 1)", "1995-01-01 00:00:00"},
        {u"TimeSerial(25, 0, 0)", "1899-12-31 01:00:00"},
        {u"TimeSerial(14, 90, 0)", "1899-12-30 15:30:00"},
        {u"DateAdd('m', 1, #1/31/1995#)", "1995-02-28 00:00:00"},
        {u"DateAdd('yyyy', 1, #2/29/2000#)", "2001-02-28 00:00:00"},
        {u"DateAdd('q', -1, #5/15/2000#)", "2000-02-15 00:00:00"},
        {u"DateAdd('h', 25, #1/1/2000#)", "2000-01-02 01:00:00"},
        {u"DateAdd('ww', 2, #1/1/2000#)", "2000-01-15 00:00:00"},
        {u"DateAdd('d', 1, #12/29/1899 18:00#)", "1899-12-30 18:00:00"},
        {u"DateAdd('n', -30, #1/1/2000#)", "1999-12-31 23:30:00"},
        {u"DateDiff('d', #1/1/2000#, #3/1/2000#)", "60"},
        {u"DateDiff('m', #1/31/2000#, #2/1/2000#)", "1"},
        {u"DateDiff('yyyy', #12/31/1999#, #1/1/2000#)", "1"},
        {u"DateDiff('ww', #1/1/2000#, #1/9/2000#)", "2"},
        {u"DateDiff('w', #1/1/2000#, #1/9/2000#)", "1"},
        {u"DateDiff('h', #1/1/2000 23:59#, #1/2/2000 0:01#)", "1"},
        {u"DateDiff('n', #1/1/2000 23:59#, #1/2/2000 0:01#)", "2"},
        {u"DateDiff('d', #3/1/2000#, #1/1/2000#)", "-60"},
        {u"DateDiff('q', #3/31/2000#, #4/1/2000#)", "1"},
        {u"DatePart('q', #5/15/2000#)", "2"},
        {u"DatePart('y', #2/1/2000#)", "32"},
        {u"DatePart('ww', #1/1/2000#)", "1"},
        {u"DatePart('ww', #1/2/2000#)", "2"},
        {u"DatePart('w', #1/31/1995#)", "3"},
        {u"DatePart('yyyy', #1/31/1995#)", "1995"},
        {u"DateValue('1/31/1995 10:00')", "1995-01-31 00:00:00"},
        {u"TimeValue(#1/31/1995 10:30:00#)", "1899-12-30 10:30:00"},
        {u"#1/31/1995# + 1", "1995-02-01 00:00:00"},
        {u"#1/31/1995# - #1/1/1995#", "30"},
    });
}

TEST_F(JetSqlFunctions, FormatPatterns)
{
    expect({
        {u"Format(#1/31/1995#, 'yyyy-mm-dd')", "1995-01-31"},
        {u"Format(#1/31/1995 14:05:09#, 'dd/mm/yy hh:nn:ss')", "31/01/95 14:05:09"},
        {u"Format(#1/31/1995#, 'mmmm d, yyyy')", "January 31, 1995"},
        {u"Format(#1/31/1995#, 'ddd mmm')", "Tue Jan"},
        {u"Format(#1/31/1995#, 'Long Date')", "Tuesday, January 31, 1995"},
        {u"Format(#1/31/1995#, 'Medium Date')", "31-Jan-95"},
        {u"Format(#1/31/1995#, 'Short Date')", "1/31/1995"},
        {u"Format(#14:05:09#, 'h:nn AM/PM')", "2:05 PM"},
        {u"Format(#14:05:09#, 'Short Time')", "14:05"},
        {u"Format(#14:05:09#, 'Long Time')", "2:05:09 PM"},
        {u"Format(#1/31/1995#, '\"Q\"q yyyy')", "Q1 1995"},
        {u"Format('1/31/1995', 'yyyymmdd')", "19950131"},
        {u"Format(1234.5, '#,##0.00')", "1,234.50"},
        {u"Format(0.5, '0%')", "50%"},
        {u"Format(1234.5, 'Currency')", "$1,234.50"},
        {u"Format(-1234.5, 'Currency')", "($1,234.50)"},
        {u"Format(3.14159, '0.00')", "3.14"},
        {u"Format(0.5, '#.##')", ".5"},
        {u"Format(2.5, '0')", "3"},
        {u"Format(-2, '0.0')", "-2.0"},
        {u"Format(5, '000')", "005"},
        {u"Format(12345, '0.00E+00')", "1.23E+04"},
        {u"Format(1234.5, 'Standard')", "1,234.50"},
        {u"Format(0.1234, 'Percent')", "12.34%"},
        {u"Format(1, 'Yes/No')", "Yes"},
        {u"Format(0, 'On/Off')", "Off"},
        {u"Format('abc', '>')", "ABC"},
        {u"Format(1.5)", "1.5"},
        {u"Format(Null, '0')", "NULL"},
        {u"Format(0, '0.0;(0.0);\"zero\"')", "zero"},
        {u"Format(-1, '0.0;(0.0)')", "(1.0)"},
    });
}

}  // namespace
