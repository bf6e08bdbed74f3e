// The free-form date reader behind ole_date's fourth parse step: the
// formats an English (United States) reader accepts.
//
// A text holds at most one date and one time, in either order, separated by
// blanks, commas, '/', '-' or '.':
//  - numeric dates: month/day/year (8/5/2011), year-month-day (2011-08-05,
//    recognised by a first number of three or more digits or above 31), a
//    day first when the first number cannot be a month (13/8/2011), and the
//    short forms month/day (current year) and month/year (day 1);
//  - dates with an English month name, full or abbreviated to three letters
//    ("5 August 2011", "Aug 5, 2011", "August 2011", "5-Aug-11");
//  - weekday names, full or abbreviated, are ignored;
//  - times h:mm or h:mm:ss, 24-hour, or 12-hour with AM/PM (or A/P), also
//    a bare hour with AM/PM ("5 PM").
// Two-digit years follow OLE Automation: 00-29 are 2000-2029, 30-99 are
// 1930-1999. Years must lie in 100..9999 and days must exist in their month.
// A time without a date lies on 1899-12-30, the day of date number 0; a date
// without a time is at midnight. Fractions of seconds are not accepted.
#pragma once

#include <cstdint>
#include <string_view>

#include "ole_calendar.h"

class ole_date_parser {
public:
    // The year used when a text gives none; 0 means the current local year.
    explicit ole_date_parser(int32_t default_year = 0);

    // Fills `out` (day_of_week included, milliseconds 0) and returns true
    // when the whole text is read.
    bool parse(std::string_view text, ole_systemtime& out) const;

private:
    int32_t default_year_;
};
