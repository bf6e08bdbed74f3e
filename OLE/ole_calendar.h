// Calendar fields (the layout of the Windows SYSTEMTIME) and their
// conversion to and from OLE Automation date numbers.
//
// A date number counts days since 1899-12-30 00:00; the fraction is the time
// of day. Before that day the number is negative, but its fraction still
// counts forward from midnight: -1.25 is 1899-12-29 06:00, not 1899-12-28
// 18:00. The conversions are exact for every day of 0100-01-01..9999-12-31
// (the proleptic Gregorian calendar).
#pragma once

#include <cstdint>

struct ole_systemtime {
    uint16_t year = 0;
    uint16_t month = 0;
    uint16_t day_of_week = 0;  // 0 Sunday .. 6 Saturday
    uint16_t day = 0;
    uint16_t hour = 0;
    uint16_t minute = 0;
    uint16_t second = 0;
    uint16_t milliseconds = 0;

    friend bool operator==(const ole_systemtime&, const ole_systemtime&) = default;
};

// Smallest and largest date numbers OLE Automation accepts:
// 0100-01-01 00:00:00 and 9999-12-31 23:59:59.
inline constexpr double ole_date_min = -657434.0;
inline constexpr double ole_date_max = 2958465.99999;

// Fields to date number. Year 100..9999, month 1..12, day within the month,
// hour 0..23, minute and second 0..59; day_of_week is ignored; milliseconds
// are included in the fraction. Returns false (leaving `out` 0) for fields
// outside those ranges.
bool ole_systemtime_to_date(const ole_systemtime& st, double& out);

// Date number to fields, rounded to the nearest second as OLE Automation
// does (milliseconds become 0), day_of_week filled in. Returns false for a
// number outside ole_date_min..ole_date_max or not finite (leaving `out`
// zeroed).
bool ole_date_to_systemtime(double date, ole_systemtime& out);

// Days since 1899-12-30 of a valid calendar day, and back.
int32_t ole_days_from_civil(int32_t year, uint32_t month, uint32_t day);
void ole_civil_from_days(int32_t days, int32_t& year, uint32_t& month, uint32_t& day);

bool ole_is_leap_year(int32_t year);
uint32_t ole_days_in_month(int32_t year, uint32_t month);
