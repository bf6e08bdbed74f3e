#include "ora_number.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

namespace {

// A decimal text split into its significant digits (no leading or trailing
// zeros) and the power of ten of the place before the first digit: the
// value is 0.DIGITS * 10^point.
struct decimal_parts {
    bool negative = false;
    std::string digits;
    long point = 0;
};

bool split(std::string_view text, decimal_parts& d)
{
    size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) d.negative = text[i++] == '-';
    std::string all;
    long before_dot = 0;
    bool dot = false, any = false;
    for (; i < text.size(); ++i) {
        char c = text[i];
        if (c >= '0' && c <= '9') {
            all += c;
            any = true;
            if (!dot) ++before_dot;
        } else if (c == '.' && !dot) {
            dot = true;
        } else {
            break;
        }
    }
    if (!any) return false;
    long exponent = 0;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        bool neg = false;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) neg = text[i++] == '-';
        if (i == text.size()) return false;
        for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
            exponent = exponent * 10 + (text[i] - '0');
            if (exponent > 100000) return false;
        }
        if (neg) exponent = -exponent;
    }
    if (i != text.size()) return false;
    size_t first = all.find_first_not_of('0');
    if (first == std::string::npos) return true;  // zero: no digits
    size_t last = all.find_last_not_of('0');
    d.digits = all.substr(first, last - first + 1);
    d.point = before_dot - static_cast<long>(first) + exponent;
    return true;
}

// Keeps at most `limit` significant digits, rounding half up. A carry out
// of the first digit leaves the single digit 1.
void round_to(decimal_parts& d, size_t limit)
{
    if (d.digits.size() <= limit) return;
    bool up = d.digits[limit] >= '5';
    d.digits.resize(limit);
    for (size_t k = limit; up && k-- > 0;) {
        if (d.digits[k] == '9') {
            d.digits[k] = '0';
        } else {
            ++d.digits[k];
            up = false;
        }
    }
    if (up) {
        d.digits.insert(d.digits.begin(), '1');
        d.digits.pop_back();
        ++d.point;
    }
    size_t last = d.digits.find_last_not_of('0');
    d.digits.resize(last + 1);
}

}  // namespace

bool ora_number_encode(std::string_view text, ora_vnu& out)
{
    decimal_parts d;
    if (!split(text, d)) return false;
    out.fill(0);
    if (d.digits.empty()) {
        out[0] = 1;
        out[1] = 0x80;
        return true;
    }
    // Base-100 digits need an even power of ten before the first pair; with
    // an odd one the first pair holds a single digit, so of the 20 pairs a
    // NUMBER holds only 39 digits are left.
    round_to(d, d.point % 2 != 0 ? 39 : 40);
    if (d.point % 2 != 0) {
        d.digits.insert(d.digits.begin(), '0');
        ++d.point;
    }
    if (d.digits.size() % 2 != 0) d.digits += '0';
    long e100 = d.point / 2;
    // The first pair counts 100^(e100-1); NUMBER's exponents run from -65
    // to 62.
    if (e100 - 1 > 62) return false;
    if (e100 - 1 < -65) {
        out[0] = 1;
        out[1] = 0x80;
        return true;
    }
    size_t pairs = d.digits.size() / 2;
    out[1] = static_cast<unsigned char>(d.negative ? 0x3F - e100 : 0xC0 + e100);
    for (size_t k = 0; k < pairs; ++k) {
        int m = (d.digits[2 * k] - '0') * 10 + (d.digits[2 * k + 1] - '0');
        out[2 + k] = static_cast<unsigned char>(d.negative ? 101 - m : m + 1);
    }
    size_t length = 1 + pairs;
    // A negative number shorter than the maximum ends with 102.
    if (d.negative && pairs < 20) out[1 + length++] = 102;
    out[0] = static_cast<unsigned char>(length);
    return true;
}

namespace {

template <class T>
std::string shortest(T x)
{
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, x);
    return std::string(buf, r.ptr);
}

}  // namespace

std::optional<std::string> ora_exact_number_text(const ole_variant& value)
{
    switch (value.get_vt()) {
    case VT_R4: return shortest(value.as_r4());
    case VT_R8: return shortest(value.as_r8());
    case VT_CY: return ole_cy_to_str(value.as_cy());
    case VT_DECIMAL: return ole_dec_to_str(value.as_decimal());
    case VT_BOOL:
    case VT_I1:
    case VT_UI1:
    case VT_I2:
    case VT_UI2:
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
    case VT_I8:
    case VT_UI8: return value.to_string();
    case VT_BSTR: {
        std::string text = value.to_string();
        if (text.empty()) return std::nullopt;
        return text;
    }
    default: return std::nullopt;
    }
}
