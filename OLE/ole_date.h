// A calendar date or time with its kind, and its text forms.
//
// The kind tells how much of the fields is meaningful: a date and time, a
// pure date (time fields 0) or a pure time (year, month and day 0). Text
// forms: "YYYY-MM-DD HH:MM:SS", the date alone for a pure date or a midnight
// date and time, "0000-00-00 HH:MM:SS" for a pure time, empty when invalid.
// Milliseconds are kept but never printed.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "ole_calendar.h"

class ole_date {
public:
    enum kind_t : int32_t {
        kind_invalid = 0,
        kind_date_time = 1,
        kind_pure_date = 2,
        kind_pure_time = 3,
    };

    ole_date() = default;
    // Kind date-and-time, then refined (pure date or pure time).
    explicit ole_date(const ole_systemtime& st);
    // Parses text: blanks trimmed, an AM/PM marker honoured, the formats of
    // import_from_string, a day-first date repaired. Kind 0 when unreadable.
    explicit ole_date(std::string_view text);
    explicit ole_date(std::u16string_view text);
    ole_date(const ole_date&) = default;
    ole_date& operator=(const ole_date&) = default;

    // Structural check, loose on purpose: a day up to 31 in any month, and
    // hour, minute and second up to 60 each. A day above 31 passes when the
    // year is at most 31 so that a day-first text can be repaired later.
    bool is_valid() const;

    // Seconds text such as "59.6": the whole seconds, the milliseconds
    // (truncated), a millisecond of 500 or more rounding up one second, and
    // the carries into minute and hour (an hour of 24 wraps to 0; the day is
    // never carried into). A null text is an internal error.
    void process_milliseconds(const char* seconds);

    // Pure time when year, month and day are all 0; pure date when the time
    // fields are all 0 and the date fields all non-zero.
    void refine_type();

    // The parse steps: "YYYYMMDDhhmmss", "YYYYMMDD", "h:m:s[.fff]", the
    // English-US date parser, then "Y-M-D h:m:s" with '-', '/' or '.'.
    void import_from_string(std::string_view text);

    std::string to_string() const;
    std::u16string to_wstring() const;

    int32_t kind = kind_invalid;
    ole_systemtime st;
};
