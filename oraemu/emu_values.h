// Value rules of the emulated server: exact decimal numbers with Oracle's
// rounding and precision checks, dates with format models, text encodings,
// hexadecimal and ROWID texts.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace emu {

// ---- numbers ---------------------------------------------------------------
// A decimal number 0.D x 10^point (D without leading or trailing zeros;
// zero has an empty D).
struct decimal {
    bool negative = false;
    std::string digits;
    int point = 0;

    bool zero() const { return digits.empty(); }
};

// Reads "12.5", "-.5", "1.0E28", " 7 " (blanks around are allowed).
bool parse_decimal(std::string_view text, decimal& out);
// Rounds half away from zero to `scale` digits after the point (negative:
// before it).
void round_to_scale(decimal& d, int scale);
// Rounds to `n` significant digits.
void round_to_significant(decimal& d, int n);
// Canonical storage text: "0.5", "-12", "100".
std::string decimal_text(const decimal& d);
// Oracle's own text form, as TO_CHAR without a format gives it: ".5", "-.5".
std::string oracle_number_text(std::string_view canonical);

// Converts text to a value for a NUMBER(p,s) column (p, s < 0 when not
// given; float_bits > 0 for FLOAT(b)). Returns the canonical text. Throws
// ORA-01722 for text that is no number and ORA-01438 for a value too
// large for the precision.
std::string number_for_column(std::string_view text, int precision, int scale, int float_bits = 0);
// Whether number_for_column would give back `canonical` (decimal_text's
// form) unchanged: no digit to round away and within the column's range.
// False when unsure, so that the value goes the long way.
bool number_stored_as_is(std::string_view canonical, int precision, int scale, int float_bits = 0);
// Canonical text of a double as a NUMBER computation result (15 significant digits).
std::string double_text(double v);

// ---- dates -------------------------------------------------------------------
// Dates travel as "YYYY-MM-DD HH24:MI:SS"; timestamps add ".FFFFFFFFF".
struct date_parts {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    int64_t nanos = 0;
};

// TO_DATE(text, format): Oracle's lenient matching (punctuation may differ,
// trailing fields may be missing); a missing year or month is the current
// one, a missing day the first. Throws the ORA-018xx errors of Oracle.
std::string to_date(std::string_view text, std::string_view format);
// TO_CHAR(date, format); format empty: DD-MON-RR.
std::string date_to_char(std::string_view date, std::string_view format);
bool split_date(std::string_view date, date_parts& p);
std::string date_text(const date_parts& p);
std::string timestamp_text(const date_parts& p);
std::string now_date();
std::string now_timestamp();
// Normalises a date or timestamp in the internal form for a column of the
// given kind, refusing impossible fields (ORA-01843, 01847, 01850 ...).
// Text from a statement is first read with to_date and a format.
std::string date_for_column(std::string_view internal, bool timestamp, int fraction_digits);

// ---- text ----------------------------------------------------------------------
std::u16string utf8_to_utf16(std::string_view s);
// One code point appended in either encoding (a surrogate value in UTF-8
// becomes its own 3-byte sequence).
void append_utf8(uint32_t cp, std::string& out);
void append_utf16(uint32_t cp, std::u16string& out);
// Lone surrogates are encoded as 3-byte sequences (not replaced), so text
// cut in the middle of a pair survives a round trip.
std::string utf16_to_utf8(std::u16string_view s);
size_t utf8_chars(std::string_view s);
size_t utf16_units(std::string_view utf8);

// The database character sets the stand-in knows: AL32UTF8 and UTF8 hold
// every character; WE8MSWIN1252, WE8ISO8859P1 and US7ASCII hold one byte
// per character.
bool known_db_charset(std::string_view name);
bool single_byte_charset(std::string_view name);
bool db_charset_holds(uint32_t code_point, std::string_view charset);
// UTF-8 text as it comes back after conversion to the character set:
// characters the set cannot hold become '?', as Oracle converts them.
std::string in_db_charset(std::string_view utf8, std::string_view charset);
// The bytes text takes in the character set.
size_t db_charset_bytes(std::string_view utf8, std::string_view charset);

std::string hex_encode(std::string_view bytes);   // upper case
// Decodes hexadecimal text (odd length: a leading 0 is assumed, as Oracle
// does); throws ORA-01465 for other characters.
std::string hex_decode(std::string_view text);

// ---- ROWIDs ---------------------------------------------------------------------
// The 18-character extended ROWID of row `key` of the object `obj_id`.
std::string make_rowid(int64_t obj_id, int64_t key);
// Reverses make_rowid; false for text that is no ROWID.
bool parse_rowid(std::string_view text, int64_t& obj_id, int64_t& key);

}  // namespace emu
