#include "ole_date.h"

#include <cctype>
#include <cmath>
#include <cstdio>

#include "ole_date_parser.h"
#include "ole_number_text.h"
#include "tk_exception.h"
#include "tk_logger.h"
#include "tk_wstring.h"

namespace {

// Shortest remainder, after the AM/PM marker is cut off, that can hold a
// date or a time ("1:05").
constexpr size_t min_text_length = 5;

// Room for the seconds text of the sscanf patterns; the field is bounded so
// that no text can overrun it.
constexpr size_t seconds_buffer = 64;

bool all_zero_date(const ole_systemtime& st)
{
    return st.year == 0 && st.month == 0 && st.day == 0;
}

}  // namespace

ole_date::ole_date(const ole_systemtime& value) : kind(kind_date_time), st(value)
{
    refine_type();
}

ole_date::ole_date(std::u16string_view text) : ole_date(std::string_view(tk_to_ansi(text))) {}

ole_date::ole_date(std::string_view text)
{
    tk_trace(1, "ole_date::ole_date('%s')", text);
    std::string s = tk_trim(text);
    tk_trace(1, "After tk_trim: %s", s);
    for (const char* marker : {"AM", "PM", "am", "pm"}) {
        size_t at = s.find(marker);
        if (at != std::string::npos) {
            s.erase(at);
            break;
        }
    }
    if (s.size() < min_text_length) {
        tk_trace(2, "Invalid date/time format: '%s'", text);
        return;
    }
    import_from_string(s);
    if (kind == kind_invalid) return;
    if ((kind == kind_date_time || kind == kind_pure_date) && st.day > 31 && st.year < 32) {
        // A day-first text read as year-month-day: put the year back.
        std::swap(st.day, st.year);
    }
    if (text.find("PM") != std::string_view::npos || text.find("pm") != std::string_view::npos) {
        if (st.hour < 12) st.hour = static_cast<uint16_t>(st.hour + 12);
    } else if (text.find("AM") != std::string_view::npos || text.find("am") != std::string_view::npos) {
        // 12:30 AM is half past midnight.
        if (st.hour == 12) st.hour = 0;
    }
}

bool ole_date::is_valid() const
{
    tk_trace(1, "ole_date::is_valid");
    if (kind == kind_invalid) return false;
    if (all_zero_date(st)) {
        tk_trace(1, "DATETIME is a pute time");
    } else {
        if (st.month < 1 || st.month > 12) {
            tk_trace(1, "Invalid month");
            return false;
        }
        // A day above 31 is let through when the year could be a day: the
        // string constructor repairs such day-first texts.
        if (st.day == 0 || st.year == 0 || (st.day > 31 && st.year > 31)) {
            tk_trace(1, "Invalid day and/or year");
            return false;
        }
    }
    if (st.hour > 60 || st.minute > 60 || st.second > 60) {
        tk_trace(1, "Invalid time");
        return false;
    }
    return true;
}

void ole_date::process_milliseconds(const char* seconds)
{
    TK_ASSERT(seconds != nullptr);
    double value = ole_atof(seconds);
    if (!(value >= 0.0 && value < 65536.0)) {
        // Not a count of seconds the record can hold: the time is unusable.
        tk_trace(1, "Invalid time");
        kind = kind_invalid;
        return;
    }
    double whole = std::trunc(value);
    // The small allowance keeps 1.001 from becoming 0 milliseconds through
    // the binary representation of the fraction.
    int ms = static_cast<int>((value - whole) * 1000.0 + 1e-6);
    tk_trace(1, "Got msec: %d", ms);
    uint32_t second = static_cast<uint32_t>(whole);
    uint32_t minute = st.minute;
    uint32_t hour = st.hour;
    st.milliseconds = static_cast<uint16_t>(ms);
    if (ms >= 500) ++second;
    minute += second / 60;
    second %= 60;
    hour += minute / 60;
    minute %= 60;
    hour %= 24;  // the day is never carried into
    st.second = static_cast<uint16_t>(second);
    st.minute = static_cast<uint16_t>(minute);
    st.hour = static_cast<uint16_t>(hour);
}

void ole_date::refine_type()
{
    if (all_zero_date(st)) {
        kind = kind_pure_time;
    } else if (st.hour == 0 && st.minute == 0 && st.second == 0 && st.year != 0 && st.month != 0 && st.day != 0) {
        kind = kind_pure_date;
    }
}

namespace {

// The parse steps share this: fields as read, then the kind if valid.
bool accept(ole_date& d, int32_t kind)
{
    d.kind = kind;
    if (d.is_valid()) return true;
    d.kind = ole_date::kind_invalid;
    d.st = ole_systemtime{};
    return false;
}

bool read_compact(ole_date& d, const std::string& s)
{
    int y = 0, mo = 0, da = 0, h = 0, mi = 0, se = 0;
    if (s.size() == 14) {
        if (std::sscanf(s.c_str(), "%4d%02d%02d%02d%02d%02d", &y, &mo, &da, &h, &mi, &se) != 6) return false;
        d.st = {static_cast<uint16_t>(y),
                static_cast<uint16_t>(mo),
                0,
                static_cast<uint16_t>(da),
                static_cast<uint16_t>(h),
                static_cast<uint16_t>(mi),
                static_cast<uint16_t>(se),
                0};
        return accept(d, ole_date::kind_date_time);
    }
    if (s.size() == 8) {
        if (std::sscanf(s.c_str(), "%4d%02d%02d", &y, &mo, &da) != 3) return false;
        d.st = {static_cast<uint16_t>(y), static_cast<uint16_t>(mo), 0, static_cast<uint16_t>(da), 0, 0, 0, 0};
        return accept(d, ole_date::kind_pure_date);
    }
    return false;
}

bool read_pure_time(ole_date& d, const std::string& s)
{
    short h = 0, mi = 0;
    char seconds[seconds_buffer] = {};
    if (std::sscanf(s.c_str(), "%hd:%hd:%63s", &h, &mi, seconds) != 3) return false;
    d.st = ole_systemtime{};
    d.st.hour = static_cast<uint16_t>(h);
    d.st.minute = static_cast<uint16_t>(mi);
    if (!accept(d, ole_date::kind_pure_time)) return false;
    d.process_milliseconds(seconds);
    return d.kind != ole_date::kind_invalid;
}

bool read_free_form(ole_date& d, const std::string& s)
{
    ole_systemtime st;
    if (!ole_date_parser().parse(s, st)) return false;
    tk_trace(1, "Got datetime using Microsoft API");
    d.st = st;
    d.kind = ole_date::kind_date_time;
    d.refine_type();
    return true;
}

// ISO 8601 writes "2011-08-05T14:30:00"; the patterns below would stop at
// the 'T' and silently drop the time, so the separator becomes a blank.
std::string iso_separator_as_blank(std::string s)
{
    size_t t = s.find_first_of("Tt");
    if (t != std::string::npos && t > 0 && t + 1 < s.size() && std::isdigit(static_cast<unsigned char>(s[t - 1])) &&
        std::isdigit(static_cast<unsigned char>(s[t + 1])))
        s[t] = ' ';
    return s;
}

bool read_patterns(ole_date& d, const std::string& text)
{
    const std::string s = iso_separator_as_blank(text);
    static const char* const patterns[] = {"%hd-%hd-%hd %hd:%hd:%63s", "%hd/%hd/%hd %hd:%hd:%63s",
                                           "%hd.%hd.%hd %hd:%hd:%63s"};
    int number = 0;
    for (const char* pattern : patterns) {
        ++number;
        short y = 0, mo = 0, da = 0, h = 0, mi = 0;
        char seconds[seconds_buffer] = {};
        int items = std::sscanf(s.c_str(), pattern, &y, &mo, &da, &h, &mi, seconds);
        d.st = {static_cast<uint16_t>(y), static_cast<uint16_t>(mo), 0, static_cast<uint16_t>(da),
                static_cast<uint16_t>(h), static_cast<uint16_t>(mi), 0, 0};
        if (items == 3) {
            tk_trace(1, "Format #%d succeeded (3 items)", number);
            d.st.hour = d.st.minute = 0;
            if (accept(d, ole_date::kind_pure_date)) return true;
        } else if (items == 6) {
            tk_trace(1, "Format #%d succeeded (6 items)", number);
            if (accept(d, ole_date::kind_date_time)) {
                d.process_milliseconds(seconds);
                if (d.kind != ole_date::kind_invalid) {
                    d.refine_type();
                    return true;
                }
            }
        }
        d.st = ole_systemtime{};
        d.kind = ole_date::kind_invalid;
    }
    return false;
}

}  // namespace

void ole_date::import_from_string(std::string_view text)
{
    const std::string s(text);
    kind = kind_invalid;
    st = ole_systemtime{};
    if (read_compact(*this, s) || read_pure_time(*this, s) || read_free_form(*this, s) || read_patterns(*this, s))
        return;
    kind = kind_invalid;
    st = ole_systemtime{};
    tk_trace(2, "Invalid date/time format: '%s'", text);
}

std::string ole_date::to_string() const
{
    char buf[64];
    switch (kind) {
    case kind_date_time:
        if (st.hour != 0 || st.minute != 0 || st.second != 0) {
            std::snprintf(buf, sizeof buf, "%04u-%02u-%02u %02u:%02u:%02u", st.year, st.month, st.day, st.hour,
                          st.minute, st.second);
            return buf;
        }
        [[fallthrough]];  // midnight prints as the date alone
    case kind_pure_date: std::snprintf(buf, sizeof buf, "%04u-%02u-%02u", st.year, st.month, st.day); return buf;
    case kind_pure_time:
        std::snprintf(buf, sizeof buf, "0000-00-00 %02u:%02u:%02u", st.hour, st.minute, st.second);
        return buf;
    default: return std::string();
    }
}

std::u16string ole_date::to_wstring() const
{
    return tk_widen_ascii(to_string());
}
