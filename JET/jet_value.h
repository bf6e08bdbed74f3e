// A value read from an Access row, in the component's own form, and the
// helpers that turn stored bytes into calendar dates and GUID texts.
//
// jet_value keeps exactly what the file holds (the raw date number, the
// scaled currency integer, the decimal's 96-bit magnitude); the DAO-facing
// classes turn it into an ole_variant.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class jet_kind : uint8_t {
    null,
    boolean,
    byte,
    int16,
    int32,
    int64,
    currency,
    single,
    dbl,
    date,
    text,
    binary,
    guid,
    decimal
};

struct jet_decimal {
    bool negative = false;
    uint8_t scale = 0;
    uint32_t hi = 0;  // bits 64..95 of the magnitude
    uint64_t lo = 0;  // bits 0..63
};

struct jet_value {
    jet_kind kind = jet_kind::null;
    int64_t i = 0;               // boolean (0/1), byte, int16, int32, int64, currency (scaled by 10^4)
    double d = 0;                // dbl, date (days since 1899-12-30), single (widened exactly)
    uint32_t ticks = 0;          // date: 100-ns units below the second (Date/Time Extended only)
    jet_decimal dec;             // decimal
    std::u16string text;         // text, memo; guid as DAO's "{guid {...}}"
    std::vector<uint8_t> bytes;  // binary, OLE object; guid's 16 stored bytes

    bool is_null() const { return kind == jet_kind::null; }
    void set_null()
    {
        kind = jet_kind::null;
        ticks = 0;
        text.clear();
        bytes.clear();
    }
};

// Calendar fields of an Access date number. The integer part counts days
// from 1899-12-30 (negative before it); the fraction is the time of day
// counted forward from that day's midnight, also for negative numbers, so
// -1.25 is 1899-12-29 06:00. Rounded to the millisecond.
struct jet_date_parts {
    int32_t year = 0;
    int32_t month = 0;
    int32_t day = 0;
    int32_t hour = 0;
    int32_t minute = 0;
    int32_t second = 0;
    int32_t millisecond = 0;
    int32_t day_of_week = 0;  // 0 = Sunday
};

// False when the number is not finite or lies outside years 100..9999
// (with a margin the file format can hold).
bool jet_split_date(double number, jet_date_parts& out);
// The date number of calendar fields (inverse of jet_split_date).
double jet_join_date(const jet_date_parts& parts);

// Date/Time Extended (Access 2019+) is stored as ASCII: 19 digits of days
// since 0001-01-01, ':', 12 digits of seconds into the day, 7 digits of
// 100-nanosecond ticks. Gives the date number, to the second, and the
// ticks below it (0 when the value stops before them); false for a damaged
// value.
bool jet_extended_date(const uint8_t* p, size_t n, double& out, uint32_t& ticks);

// The value of an Access 2010+ calculated Decimal, unwrapped from its
// calculated-value header: u16 length of what follows it, scale, sign
// (non-zero: negative), then the magnitude as little-endian words, most
// significant first (one 32-bit word when the magnitude's length is not a
// multiple of 8, then 64-bit words). False when it is damaged or exceeds
// 96 bits.
bool jet_calculated_decimal(const uint8_t* p, size_t n, jet_decimal& out);

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" of 16 stored GUID bytes (the
// first three groups little-endian, as Windows stores a GUID).
std::u16string jet_guid_text(const uint8_t* bytes);

// Exact decimal text of a scaled integer magnitude: "-12.3400" for
// negative, magnitude 123400, scale 4.
std::string jet_decimal_text(const jet_decimal& value);
std::string jet_currency_text(int64_t scaled);
