#include "ole_currency.h"

#include <cmath>

#include "ole_number_text.h"

namespace {

using u128 = unsigned __int128;

uint64_t magnitude(int64_t v)
{
    return v < 0 ? static_cast<uint64_t>(-(v + 1)) + 1 : static_cast<uint64_t>(v);
}

// Signed amount from a magnitude; false when outside the 64-bit range.
bool signed_from(u128 m, bool negative, int64_t& out)
{
    if (negative) {
        if (m > static_cast<u128>(INT64_MAX) + 1) return false;
        out = static_cast<int64_t>(-static_cast<__int128>(m));
    } else {
        if (m > static_cast<u128>(INT64_MAX)) return false;
        out = static_cast<int64_t>(m);
    }
    return true;
}

}  // namespace

ole_hresult ole_cy_from_str(std::u16string_view text, ole_cy& out)
{
    out = ole_cy{};
    ole_parsed_number n;
    ole_hresult hr = ole_parse_number(text, n);
    if (hr != OLE_S_OK) return hr;
    // The amount in ten-thousandths, rounded half to even on the fifth place.
    if (!n.digits.empty()) n.exponent += 4;
    int64_t v;
    hr = ole_parsed_to_i8(n, v);
    if (hr != OLE_S_OK) return hr;
    out.int64 = v;
    return OLE_S_OK;
}

ole_hresult ole_cy_from_str(std::string_view text, ole_cy& out)
{
    std::u16string wide;
    for (char c : text) wide.push_back(static_cast<unsigned char>(c) < 0x80 ? static_cast<char16_t>(c) : u'\uFFFD');
    return ole_cy_from_str(std::u16string_view(wide), out);
}

std::string ole_cy_to_str(ole_cy value)
{
    // OLE Automation drops trailing fraction zeros and a bare point:
    // 1.5000 prints "1.5", 12.0000 prints "12".
    uint64_t m = magnitude(value.int64);
    std::string s = value.int64 < 0 ? "-" : "";
    s += std::to_string(m / ole_cy::scale);
    unsigned frac = static_cast<unsigned>(m % ole_cy::scale);
    if (frac != 0) {
        std::string f = std::to_string(frac + ole_cy::scale).substr(1);  // four digits
        while (f.back() == '0') f.pop_back();
        s += "." + f;
    }
    return s;
}

ole_hresult ole_cy_from_r8(double value, ole_cy& out)
{
    out = ole_cy{};
    double scaled = std::nearbyint(value * static_cast<double>(ole_cy::scale));  // half to even
    if (!(scaled >= -9223372036854775808.0 && scaled < 9223372036854775808.0)) return OLE_E_OVERFLOW;
    out.int64 = static_cast<int64_t>(scaled);
    return OLE_S_OK;
}

double ole_cy_to_r8(ole_cy value)
{
    return static_cast<double>(value.int64) / static_cast<double>(ole_cy::scale);
}

ole_hresult ole_cy_from_i8(int64_t value, ole_cy& out)
{
    out = ole_cy{};
    int64_t scaled;
    if (__builtin_mul_overflow(value, ole_cy::scale, &scaled)) return OLE_E_OVERFLOW;
    out.int64 = scaled;
    return OLE_S_OK;
}

ole_hresult ole_cy_from_ui8(uint64_t value, ole_cy& out)
{
    out = ole_cy{};
    if (value > static_cast<uint64_t>(INT64_MAX / ole_cy::scale)) return OLE_E_OVERFLOW;
    out.int64 = static_cast<int64_t>(value) * ole_cy::scale;
    return OLE_S_OK;
}

int64_t ole_cy_to_i8_round_first_digit(ole_cy value)
{
    int64_t whole = value.int64 / ole_cy::scale;  // toward zero
    uint64_t rest = magnitude(value.int64) % ole_cy::scale;
    if (rest / 1000 > 4) whole += value.int64 < 0 ? -1 : 1;
    return whole;
}

int64_t ole_cy_to_i8_half_even(ole_cy value)
{
    int64_t whole = value.int64 / ole_cy::scale;
    uint64_t rest = magnitude(value.int64) % ole_cy::scale;
    bool up = rest > 5000 || (rest == 5000 && (whole & 1) != 0);
    if (up) whole += value.int64 < 0 ? -1 : 1;
    return whole;
}

ole_decimal ole_cy_to_dec(ole_cy value)
{
    ole_decimal d = ole_dec_from_i8(value.int64);
    d.scale = 4;
    return d;
}

ole_hresult ole_cy_from_dec(const ole_decimal& value, ole_cy& out)
{
    out = ole_cy{};
    ole_decimal r;
    ole_hresult hr;
    if (value.scale >= 4) {
        hr = ole_dec_rescale(value, 4, r);
        if (hr != OLE_S_OK) return hr;
    } else {
        r = value;
    }
    u128 m = (static_cast<u128>(r.hi32) << 64) | r.lo64;
    for (unsigned k = r.scale; k < 4; ++k) m *= 10;  // 96 bits times 10^4 fits
    int64_t v;
    if (!signed_from(m, r.is_negative() && m != 0, v)) return OLE_E_OVERFLOW;
    out.int64 = v;
    return OLE_S_OK;
}
