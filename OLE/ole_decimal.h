// The 96-bit scaled decimal of OLE Automation (DECIMAL) and its conversions.
//
// Value = (-1)^negative * magnitude / 10^scale, magnitude < 2^96, scale 0..28.
// Text follows OLE Automation under English (United States): '.' is the
// decimal point, ',' groups thousands when reading. Printing drops trailing
// fraction zeros as OLE Automation's decimal-to-text does: 1.50 (magnitude
// 150, scale 2) prints "1.5", 1.000 prints "1", 0.0009 keeps its zeros.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "ole_vartype.h"

struct ole_decimal {
    static constexpr uint8_t sign_negative = 0x80;
    static constexpr uint8_t max_scale = 28;

    uint8_t scale = 0;
    uint8_t sign = 0;   // 0 or sign_negative
    uint32_t hi32 = 0;  // bits 64..95 of the magnitude
    uint64_t lo64 = 0;  // bits 0..63 of the magnitude

    bool is_negative() const { return sign == sign_negative; }
    bool is_zero() const { return hi32 == 0 && lo64 == 0; }

    // Equality of value (1.5 equals 1.50, -0 equals 0).
    friend bool operator==(const ole_decimal& a, const ole_decimal& b);
};

// Reads text as OLE Automation does (VarDecFromStr, English-US): blanks
// around the number, a leading or trailing sign, parentheses for a negative
// amount, a leading '$', thousands separators, a decimal point, an exponent
// (e/E/d/D with optional sign) and the hexadecimal/octal forms &H.. and &O..;
// the whole text must be used. More significant digits than fit are rounded
// half to even. Fails with OLE_E_TYPEMISMATCH for a text that is not a number
// and OLE_E_OVERFLOW for a value beyond 96 bits.
ole_hresult ole_dec_from_str(std::string_view text, ole_decimal& out);
ole_hresult ole_dec_from_str(std::u16string_view text, ole_decimal& out);

// Text with '.' and no grouping, without trailing fraction zeros; "-"
// before a negative non-zero amount.
std::string ole_dec_to_str(const ole_decimal& value);

// Exact conversions from integers (always succeed).
ole_decimal ole_dec_from_i8(int64_t value);
ole_decimal ole_dec_from_ui8(uint64_t value);

// From a double: at most 15 significant digits are kept, as OLE Automation
// does (VarDecFromR8). OLE_E_OVERFLOW for magnitudes beyond 96 bits, NaN or
// infinity.
ole_hresult ole_dec_from_r8(double value, ole_decimal& out);

// To a double: the nearest double to the exact value (always succeeds).
double ole_dec_to_r8(const ole_decimal& value);

// To integers: rounded half to even (OLE Automation's rule); OLE_E_OVERFLOW
// out of range.
ole_hresult ole_dec_to_i4(const ole_decimal& value, int32_t& out);
ole_hresult ole_dec_to_i8(const ole_decimal& value, int64_t& out);
ole_hresult ole_dec_to_ui8(const ole_decimal& value, uint64_t& out);

// Changes the scale to `scale` (0..28): more digits are added exactly when
// they fit in 96 bits, fewer are rounded half to even. OLE_E_OVERFLOW when
// the magnitude would exceed 96 bits.
ole_hresult ole_dec_rescale(const ole_decimal& value, uint8_t scale, ole_decimal& out);

// -1, 0 or 1.
int ole_dec_compare(const ole_decimal& a, const ole_decimal& b);
