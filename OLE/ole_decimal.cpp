#include "ole_decimal.h"

#include <algorithm>
#include <cmath>

#include "ole_number_text.h"

namespace {

using u128 = unsigned __int128;

constexpr u128 max_magnitude = (static_cast<u128>(1) << 96) - 1;

u128 pow10(unsigned n)
{
    u128 p = 1;
    while (n-- > 0) p *= 10;
    return p;
}

u128 magnitude(const ole_decimal& d)
{
    return (static_cast<u128>(d.hi32) << 64) | d.lo64;
}

void set_magnitude(ole_decimal& d, u128 m)
{
    d.hi32 = static_cast<uint32_t>(m >> 64);
    d.lo64 = static_cast<uint64_t>(m);
}

// m / 10^drop rounded half to even.
u128 round_half_even(u128 m, unsigned drop)
{
    if (drop == 0) return m;
    if (drop > 38) return 0;
    u128 p = pow10(drop);
    u128 q = m / p;
    u128 r = m % p;
    u128 half = p / 2;
    if (r > half || (r == half && (q & 1) != 0)) ++q;
    return q;
}

std::string digits_of(u128 m)
{
    if (m == 0) return "0";
    std::string s;
    while (m != 0) {
        s.insert(s.begin(), static_cast<char>('0' + static_cast<int>(m % 10)));
        m /= 10;
    }
    return s;
}

// digits * 10^shift rounded half to even to an integer; false when the
// result has more than 29 digits (it could not fit in 96 bits).
bool scaled_mantissa(const std::string& digits, int64_t shift, u128& out)
{
    int64_t len = static_cast<int64_t>(digits.size());
    int64_t keep = len + shift;  // digits of the integer result
    if (keep > 29) return false;
    u128 m = 0;
    for (int64_t k = 0; k < keep; ++k) {
        int d = k < len ? digits[static_cast<size_t>(k)] - '0' : 0;
        m = m * 10 + static_cast<unsigned>(d);
    }
    if (keep >= 0 && keep < len) {
        int first = digits[static_cast<size_t>(keep)] - '0';
        bool rest = keep + 1 < len;
        if (first > 5 || (first == 5 && (rest || (m & 1) != 0))) ++m;
    }
    out = m;
    return true;
}

// Digits * 10^exponent as a decimal: exact when it fits; otherwise the
// fraction is rounded half to even, giving up places until the magnitude
// fits in 96 bits. The scale never exceeds 28.
ole_hresult from_parsed(const ole_parsed_number& n, ole_decimal& out)
{
    out = ole_decimal{};
    if (n.digits.empty()) return OLE_S_OK;
    int64_t scale = std::min<int64_t>(ole_decimal::max_scale, std::max<int64_t>(0, -static_cast<int64_t>(n.exponent)));
    for (;; --scale) {
        u128 m;
        if (scaled_mantissa(n.digits, n.exponent + scale, m) && m <= max_magnitude) {
            set_magnitude(out, m);
            out.scale = static_cast<uint8_t>(scale);
            out.sign = (n.negative && m != 0) ? ole_decimal::sign_negative : 0;
            return OLE_S_OK;
        }
        if (scale == 0) return OLE_E_OVERFLOW;
    }
}

}  // namespace

bool operator==(const ole_decimal& a, const ole_decimal& b)
{
    return ole_dec_compare(a, b) == 0;
}

ole_hresult ole_dec_from_str(std::u16string_view text, ole_decimal& out)
{
    ole_parsed_number n;
    ole_hresult hr = ole_parse_number(text, n);
    if (hr != OLE_S_OK) {
        out = ole_decimal{};
        return hr;
    }
    return from_parsed(n, out);
}

ole_hresult ole_dec_from_str(std::string_view text, ole_decimal& out)
{
    ole_parsed_number n;
    ole_hresult hr = ole_parse_number(text, n);
    if (hr != OLE_S_OK) {
        out = ole_decimal{};
        return hr;
    }
    return from_parsed(n, out);
}

std::string ole_dec_to_str(const ole_decimal& value)
{
    // OLE Automation prints a decimal without trailing fraction zeros:
    // 1.50 (150, scale 2) prints "1.5", 1.000 prints "1".
    std::string digits = digits_of(magnitude(value));
    unsigned scale = value.scale;
    if (digits.size() <= scale) digits.insert(0, scale + 1 - digits.size(), '0');
    std::string int_part = digits.substr(0, digits.size() - scale);
    std::string frac = digits.substr(digits.size() - scale);
    while (!frac.empty() && frac.back() == '0') frac.pop_back();
    std::string s = (value.is_negative() && !value.is_zero()) ? "-" : "";
    s += int_part;
    if (!frac.empty()) s += "." + frac;
    return s;
}

ole_decimal ole_dec_from_i8(int64_t value)
{
    ole_decimal d;
    if (value < 0) {
        d.sign = ole_decimal::sign_negative;
        d.lo64 = static_cast<uint64_t>(-(value + 1)) + 1;
    } else {
        d.lo64 = static_cast<uint64_t>(value);
    }
    return d;
}

ole_decimal ole_dec_from_ui8(uint64_t value)
{
    ole_decimal d;
    d.lo64 = value;
    return d;
}

ole_hresult ole_dec_from_r8(double value, ole_decimal& out)
{
    out = ole_decimal{};
    if (!std::isfinite(value)) return OLE_E_OVERFLOW;
    // Fifteen significant digits, as OLE Automation keeps from a double.
    ole_parsed_number n;
    if (ole_parse_number(std::string_view(ole_format_e(value, 14)), n) != OLE_S_OK) return OLE_E_OVERFLOW;
    return from_parsed(n, out);
}

double ole_dec_to_r8(const ole_decimal& value)
{
    // The text form holds the exact value; reading it back rounds correctly.
    return ole_atof(ole_dec_to_str(value));
}

namespace {

// The value rounded half to even to an integer: magnitude and sign.
u128 integer_magnitude(const ole_decimal& value)
{
    return round_half_even(magnitude(value), value.scale);
}

}  // namespace

ole_hresult ole_dec_to_i8(const ole_decimal& value, int64_t& out)
{
    out = 0;
    u128 m = integer_magnitude(value);
    if (value.is_negative()) {
        if (m > static_cast<u128>(INT64_MAX) + 1) return OLE_E_OVERFLOW;
        out = static_cast<int64_t>(-static_cast<__int128>(m));
    } else {
        if (m > static_cast<u128>(INT64_MAX)) return OLE_E_OVERFLOW;
        out = static_cast<int64_t>(m);
    }
    return OLE_S_OK;
}

ole_hresult ole_dec_to_ui8(const ole_decimal& value, uint64_t& out)
{
    out = 0;
    u128 m = integer_magnitude(value);
    if (m > UINT64_MAX || (value.is_negative() && m != 0)) return OLE_E_OVERFLOW;
    out = static_cast<uint64_t>(m);
    return OLE_S_OK;
}

ole_hresult ole_dec_to_i4(const ole_decimal& value, int32_t& out)
{
    out = 0;
    int64_t v;
    ole_hresult hr = ole_dec_to_i8(value, v);
    if (hr != OLE_S_OK) return hr;
    if (v < INT32_MIN || v > INT32_MAX) return OLE_E_OVERFLOW;
    out = static_cast<int32_t>(v);
    return OLE_S_OK;
}

ole_hresult ole_dec_rescale(const ole_decimal& value, uint8_t scale, ole_decimal& out)
{
    if (scale > ole_decimal::max_scale) return OLE_E_INVALIDARG;
    u128 m = magnitude(value);
    if (scale < value.scale) {
        m = round_half_even(m, static_cast<unsigned>(value.scale - scale));
    } else {
        for (unsigned k = value.scale; k < scale; ++k) {
            if (m > max_magnitude / 10) return OLE_E_OVERFLOW;
            m *= 10;
        }
    }
    if (m > max_magnitude) return OLE_E_OVERFLOW;
    out = value;
    out.scale = scale;
    set_magnitude(out, m);
    if (m == 0) out.sign = 0;
    return OLE_S_OK;
}

int ole_dec_compare(const ole_decimal& a, const ole_decimal& b)
{
    bool an = a.is_negative() && !a.is_zero();
    bool bn = b.is_negative() && !b.is_zero();
    if (an != bn) return an ? -1 : 1;
    // Same sign: compare magnitudes, integer parts first, then the fractions
    // brought to 28 places (a fraction below 10^28 times 10^k stays in range).
    u128 pa = pow10(a.scale), pb = pow10(b.scale);
    u128 ia = magnitude(a) / pa, ib = magnitude(b) / pb;
    int mag = 0;
    if (ia != ib) {
        mag = ia < ib ? -1 : 1;
    } else {
        u128 fa = (magnitude(a) % pa) * pow10(ole_decimal::max_scale - a.scale);
        u128 fb = (magnitude(b) % pb) * pow10(ole_decimal::max_scale - b.scale);
        mag = fa == fb ? 0 : (fa < fb ? -1 : 1);
    }
    return an ? -mag : mag;
}
