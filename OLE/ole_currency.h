// The currency of OLE Automation (CY): a signed 64-bit count of 1/10,000.
//
// Text follows OLE Automation under English (United States). Reading rounds
// to four decimal places half to even, as VarCyFromStr and VarCyFromR8 do;
// printing (VarBstrFromCy) drops trailing zeros and a bare decimal point:
// 1.5, 12, -0.0001.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "ole_decimal.h"
#include "ole_vartype.h"

struct ole_cy {
    static constexpr int64_t scale = 10000;

    int64_t int64 = 0;  // the amount times 10,000

    friend bool operator==(const ole_cy&, const ole_cy&) = default;
};

// The grammar of ole_dec_from_str; OLE_E_OVERFLOW beyond the 64-bit range.
ole_hresult ole_cy_from_str(std::string_view text, ole_cy& out);
ole_hresult ole_cy_from_str(std::u16string_view text, ole_cy& out);

std::string ole_cy_to_str(ole_cy value);

// Half to even at the fourth decimal; OLE_E_OVERFLOW out of range, NaN
// included.
ole_hresult ole_cy_from_r8(double value, ole_cy& out);
double ole_cy_to_r8(ole_cy value);

// A 64-bit integer becomes currency by scaling; OLE_E_OVERFLOW when the
// scaled amount does not fit in 64 bits.
ole_hresult ole_cy_from_i8(int64_t value, ole_cy& out);
ole_hresult ole_cy_from_ui8(uint64_t value, ole_cy& out);

// Currency to a 64-bit integer: the amount rounded on its first dropped
// digit (a digit above 4 rounds away from zero). This is the rule the
// 64-bit value kinds use; the other integer kinds round half to even.
int64_t ole_cy_to_i8_round_first_digit(ole_cy value);
// Half to even, as OLE Automation's VarI4FromCy and friends.
int64_t ole_cy_to_i8_half_even(ole_cy value);

// Exact (scale 4).
ole_decimal ole_cy_to_dec(ole_cy value);
// Rounded half to even to four places; OLE_E_OVERFLOW out of range.
ole_hresult ole_cy_from_dec(const ole_decimal& value, ole_cy& out);
