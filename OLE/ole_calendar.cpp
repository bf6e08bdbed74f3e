#include "ole_calendar.h"

#include <cmath>

namespace {

// Days from 1970-01-01 to 1899-12-30, the origin of date numbers.
constexpr int32_t origin_offset = -25569;

constexpr int32_t min_days = -657434;  // 0100-01-01
constexpr int32_t max_days = 2958465;  // 9999-12-31
constexpr int32_t seconds_per_day = 86400;

// Civil date to days since 1970-01-01 in the proleptic Gregorian calendar,
// counting in 400-year eras that start on March 1st so that the leap day
// is the last day of its year.
int32_t days_from_1970(int32_t y, uint32_t m, uint32_t d)
{
    y -= m <= 2 ? 1 : 0;
    const int32_t era = (y >= 0 ? y : y - 399) / 400;
    const uint32_t yoe = static_cast<uint32_t>(y - era * 400);             // 0..399
    const uint32_t doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;  // 0..365
    const uint32_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;            // 0..146096
    return era * 146097 + static_cast<int32_t>(doe) - 719468;
}

void civil_from_1970(int32_t z, int32_t& y, uint32_t& m, uint32_t& d)
{
    z += 719468;
    const int32_t era = (z >= 0 ? z : z - 146096) / 146097;
    const uint32_t doe = static_cast<uint32_t>(z - era * 146097);
    const uint32_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const uint32_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const uint32_t mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y = static_cast<int32_t>(yoe) + era * 400 + (m <= 2 ? 1 : 0);
}

}  // namespace

bool ole_is_leap_year(int32_t year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

uint32_t ole_days_in_month(int32_t year, uint32_t month)
{
    static const uint8_t days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) return 0;
    return month == 2 && ole_is_leap_year(year) ? 29u : days[month - 1];
}

int32_t ole_days_from_civil(int32_t year, uint32_t month, uint32_t day)
{
    return days_from_1970(year, month, day) - origin_offset;
}

void ole_civil_from_days(int32_t days, int32_t& year, uint32_t& month, uint32_t& day)
{
    civil_from_1970(days + origin_offset, year, month, day);
}

bool ole_systemtime_to_date(const ole_systemtime& st, double& out)
{
    out = 0.0;
    if (st.year < 100 || st.year > 9999 || st.month < 1 || st.month > 12) return false;
    if (st.day < 1 || st.day > ole_days_in_month(st.year, st.month)) return false;
    if (st.hour > 23 || st.minute > 59 || st.second > 59 || st.milliseconds > 999) return false;
    const int32_t days = ole_days_from_civil(st.year, st.month, st.day);
    const double fraction =
        (st.hour * 3600.0 + st.minute * 60.0 + st.second + st.milliseconds / 1000.0) / seconds_per_day;
    // Before the origin the whole days are negative but the time still
    // counts forward from midnight: day -1 at 06:00 is -1.25.
    out = days >= 0 ? days + fraction : days - fraction;
    return true;
}

bool ole_date_to_systemtime(double date, ole_systemtime& out)
{
    out = ole_systemtime{};
    if (!std::isfinite(date) || date <= min_days - 1.0 || date >= max_days + 1.0) return false;
    double whole = std::trunc(date);
    int32_t days = static_cast<int32_t>(whole);
    int32_t seconds = static_cast<int32_t>(std::lround(std::fabs(date - whole) * seconds_per_day));
    if (seconds >= seconds_per_day) {
        // Rounded up to the next midnight, which is always the later day.
        seconds -= seconds_per_day;
        ++days;
    }
    if (days < min_days || days > max_days) return false;
    int32_t y;
    uint32_t m, d;
    ole_civil_from_days(days, y, m, d);
    out.year = static_cast<uint16_t>(y);
    out.month = static_cast<uint16_t>(m);
    out.day = static_cast<uint16_t>(d);
    out.day_of_week = static_cast<uint16_t>(((days % 7) + 7 + 6) % 7);  // the origin was a Saturday
    out.hour = static_cast<uint16_t>(seconds / 3600);
    out.minute = static_cast<uint16_t>(seconds / 60 % 60);
    out.second = static_cast<uint16_t>(seconds % 60);
    return true;
}
