// Reading numbers from text by OLE Automation's rules (VarParseNumFromStr
// with the standard flags under English, United States).
//
// Accepted: blanks (space, tab, CR, LF) before and after; one sign, leading
// or trailing; a negative amount in parentheses; a '$' before or after the
// leading sign; ',' between digits of the integer part (thousands, ignored);
// '.' as decimal point; an exponent e/E/d/D with optional sign; the forms
// &H<hex> and &O<octal> (or &<octal>). The whole text must be used and at
// least one digit must appear.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "ole_vartype.h"

struct ole_parsed_number {
    bool negative = false;
    // Significant digits without leading or trailing zeros ("" for zero).
    std::string digits;
    // Value = digits * 10^exponent.
    int32_t exponent = 0;
};

// OLE_E_TYPEMISMATCH when the text is not a number in the grammar above.
ole_hresult ole_parse_number(std::u16string_view text, ole_parsed_number& out);
ole_hresult ole_parse_number(std::string_view text, ole_parsed_number& out);

// The parsed number as the nearest double; OLE_E_OVERFLOW beyond its range.
ole_hresult ole_parsed_to_r8(const ole_parsed_number& number, double& out);

// The parsed number rounded half to even to an integer, in the range of the
// result; OLE_E_OVERFLOW outside it.
ole_hresult ole_parsed_to_i8(const ole_parsed_number& number, int64_t& out);
ole_hresult ole_parsed_to_ui8(const ole_parsed_number& number, uint64_t& out);

// Text straight to a value (VarR8FromStr, VarI8FromStr, VarUI8FromStr).
ole_hresult ole_r8_from_str(std::u16string_view text, double& out);
ole_hresult ole_i8_from_str(std::u16string_view text, int64_t& out);
ole_hresult ole_ui8_from_str(std::u16string_view text, uint64_t& out);

// Locale-independent forms of the C library's atof and printf("%.*e"):
// the process runs under the user's locale, whose decimal point may be a
// comma, but every number this system writes or reads uses '.'.
// ole_atof skips leading white space, takes an optional sign and the longest
// decimal or hexadecimal floating-point number, "inf" or "nan"; 0 when there
// is none.
double ole_atof(std::string_view text);
std::string ole_format_e(double value, int precision);

// Text of a double as OLE Automation prints it (VarBstrFromR8): at most 15
// significant digits, exponent form "1E+20" for large and small magnitudes.
std::string ole_r8_to_str(double value);
// The same for a float with 7 digits (VarBstrFromR4).
std::string ole_r4_to_str(float value);
