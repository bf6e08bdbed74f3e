// Access's dates: OLE date numbers (days since 1899-12-30, the fraction the
// time of day counted forward from midnight even before that day), their
// calendar fields, the text forms Access reads in #...# literals and CDate,
// and the General Date text it prints.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

struct jet_sql_datetime {
    int32_t year = 1899;
    int32_t month = 12;
    int32_t day = 30;
    int32_t hour = 0;
    int32_t minute = 0;
    int32_t second = 0;
};

inline constexpr double jet_sql_date_min = -657434.0;       // 0100-01-01
inline constexpr double jet_sql_date_max = 2958465.999988;  // 9999-12-31 23:59:59

int32_t jet_sql_days_from_civil(int32_t year, int32_t month, int32_t day);
void jet_sql_civil_from_days(int32_t days, int32_t& year, int32_t& month, int32_t& day);
int32_t jet_sql_days_in_month(int32_t year, int32_t month);

// Date number to fields, rounded to the second; false outside the range
// Access accepts or for a value that is not finite.
bool jet_sql_date_split(double date, jet_sql_datetime& out);
// Fields to date number; fields must be in range (no normalisation).
double jet_sql_date_make(const jet_sql_datetime& dt);
// Day part and time part, keeping the forward-counting fraction.
int32_t jet_sql_date_day(double date);
double jet_sql_date_time_fraction(double date);
double jet_sql_date_compose(int32_t days, double time_fraction);

// Reads a date and/or time the way Access reads #...# literals and date
// texts: U.S. order m/d/y, ISO y-m-d, month names ("1 Jan 1995",
// "January 31, 1995"), an impossible m/d repaired as d/m, two-digit years
// 00-29 as 20xx and 30-99 as 19xx, a missing year as the current one, a
// time h:n[:s] with an optional AM/PM. A time alone lies on 1899-12-30.
bool jet_sql_date_parse(std::u16string_view text, double& out);

// General Date under English (United States): "1/31/1995", "1/31/1995
// 2:05:00 PM", "2:05:00 PM" for a time on 1899-12-30.
std::u16string jet_sql_date_general(double date);

// Today at midnight and the current local date and time.
double jet_sql_date_now();

// A Date/Time Extended value as the engine stores it, an INTEGER: the
// seconds of its date number (which holds whole seconds) times 10^7, plus
// its 100-ns ticks below the second (0 to 9,999,999). The integers order
// as the date numbers do.
int64_t jet_sql_ticks_encode(double date, uint32_t ticks);
void jet_sql_ticks_decode(int64_t stored, double& date, uint32_t& ticks);
// The date number of a stored value, with the ticks as far as a double
// holds them (about a microsecond): what expressions compute with.
double jet_sql_ticks_date(int64_t stored);
