#include "ole_number_text.h"

#include <charconv>
#include <cmath>

namespace {

bool is_blank(char16_t c)
{
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}
bool is_digit(char16_t c)
{
    return c >= u'0' && c <= u'9';
}

int hex_value(char16_t c)
{
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

// A cursor over the text with the few look-ahead helpers the grammar needs.
struct scanner {
    std::u16string_view s;
    size_t i = 0;

    bool at_end() const { return i >= s.size(); }
    char16_t peek() const { return at_end() ? u'\0' : s[i]; }
    bool take(char16_t c)
    {
        if (peek() != c || at_end()) return false;
        ++i;
        return true;
    }
    void skip_blanks()
    {
        while (!at_end() && is_blank(s[i])) ++i;
    }
};

// Exponents beyond this bound make every result overflow or vanish; keeping
// them bounded keeps the arithmetic on them safe.
constexpr int32_t exponent_bound = 100000;

void normalise(ole_parsed_number& n)
{
    size_t first = n.digits.find_first_not_of('0');
    if (first == std::string::npos) {
        n.digits.clear();
        n.exponent = 0;
        n.negative = false;
        return;
    }
    n.digits.erase(0, first);
    size_t last = n.digits.find_last_not_of('0');
    n.exponent += static_cast<int32_t>(n.digits.size() - 1 - last);
    n.digits.erase(last + 1);
}

// &H.. or &O.. (or & followed by octal digits): an unsigned 64-bit amount.
ole_hresult parse_radix(scanner& sc, ole_parsed_number& out)
{
    int radix = 8;
    if (sc.take(u'H') || sc.take(u'h'))
        radix = 16;
    else if (sc.take(u'O') || sc.take(u'o'))
        radix = 8;
    uint64_t value = 0;
    size_t count = 0;
    for (; !sc.at_end(); ++sc.i, ++count) {
        int d = hex_value(sc.peek());
        if (d < 0 || d >= radix) break;
        if (value > (UINT64_MAX - static_cast<uint64_t>(d)) / static_cast<uint64_t>(radix)) return OLE_E_OVERFLOW;
        value = value * static_cast<uint64_t>(radix) + static_cast<uint64_t>(d);
    }
    if (count == 0) return OLE_E_TYPEMISMATCH;
    out.digits = std::to_string(value);
    out.exponent = 0;
    return OLE_S_OK;
}

// Integer part with thousands separators, fraction, exponent.
ole_hresult parse_decimal(scanner& sc, ole_parsed_number& out)
{
    size_t digit_count = 0;
    while (!sc.at_end()) {
        char16_t c = sc.peek();
        if (is_digit(c)) {
            out.digits.push_back(static_cast<char>(c));
            ++digit_count;
        } else if (c == u',' && digit_count > 0) {
            // thousands separator: only between digits of the integer part
        } else {
            break;
        }
        ++sc.i;
    }
    if (sc.take(u'.')) {
        while (!sc.at_end() && is_digit(sc.peek())) {
            out.digits.push_back(static_cast<char>(sc.peek()));
            --out.exponent;
            ++digit_count;
            ++sc.i;
        }
    }
    if (digit_count == 0) return OLE_E_TYPEMISMATCH;
    char16_t e = sc.peek();
    if (e == u'e' || e == u'E' || e == u'd' || e == u'D') {
        size_t mark = sc.i++;
        bool neg = false;
        if (sc.take(u'-'))
            neg = true;
        else
            sc.take(u'+');
        if (!is_digit(sc.peek())) {
            sc.i = mark;  // not an exponent: left for the caller to reject
            return OLE_S_OK;
        }
        int32_t value = 0;
        while (!sc.at_end() && is_digit(sc.peek())) {
            if (value < exponent_bound) value = value * 10 + (sc.peek() - u'0');
            ++sc.i;
        }
        out.exponent += neg ? -value : value;
    }
    return OLE_S_OK;
}

}  // namespace

ole_hresult ole_parse_number(std::u16string_view text, ole_parsed_number& out)
{
    out = ole_parsed_number{};
    scanner sc{text};
    sc.skip_blanks();
    bool paren = sc.take(u'(');
    if (paren) sc.skip_blanks();
    bool sign_seen = false;
    sc.take(u'$');
    if (sc.take(u'-')) {
        out.negative = sign_seen = true;
    } else if (sc.take(u'+')) {
        sign_seen = true;
    }
    if (sign_seen) sc.take(u'$');
    ole_hresult hr;
    if (sc.take(u'&')) {
        if (sign_seen) return OLE_E_TYPEMISMATCH;
        hr = parse_radix(sc, out);
    } else {
        hr = parse_decimal(sc, out);
    }
    if (hr != OLE_S_OK) return hr;
    if (!sign_seen && !paren) {
        if (sc.take(u'-'))
            out.negative = true;
        else
            sc.take(u'+');
    }
    sc.take(u'$');
    sc.skip_blanks();
    if (paren) {
        if (!sc.take(u')') || out.negative) return OLE_E_TYPEMISMATCH;
        out.negative = true;
        sc.skip_blanks();
    }
    if (!sc.at_end()) return OLE_E_TYPEMISMATCH;
    normalise(out);
    return OLE_S_OK;
}

ole_hresult ole_parse_number(std::string_view text, ole_parsed_number& out)
{
    std::u16string wide;
    wide.reserve(text.size());
    for (char c : text) {
        // Only ASCII can take part in a number; other bytes make the text
        // fail, as any character outside the grammar does.
        wide.push_back(static_cast<unsigned char>(c) < 0x80 ? static_cast<char16_t>(c) : u'\uFFFD');
    }
    return ole_parse_number(std::u16string_view(wide), out);
}

ole_hresult ole_parsed_to_r8(const ole_parsed_number& number, double& out)
{
    out = 0.0;
    if (number.digits.empty()) return OLE_S_OK;
    // from_chars rounds correctly; the exponent is bounded, so the text is
    // short. It reports both overflow and underflow as out of range.
    std::string text = number.digits + "e" + std::to_string(number.exponent);
    double v = 0.0;
    auto r = std::from_chars(text.data(), text.data() + text.size(), v);
    if (r.ec == std::errc::result_out_of_range) {
        if (static_cast<int64_t>(number.digits.size()) + number.exponent > 0) return OLE_E_OVERFLOW;
        v = 0.0;
    } else if (r.ec != std::errc{} || std::isinf(v)) {
        return OLE_E_OVERFLOW;
    }
    out = number.negative ? -v : v;
    return OLE_S_OK;
}

namespace {

// Magnitude rounded half to even to an integer; false when above `limit`.
bool rounded_magnitude(const ole_parsed_number& n, unsigned __int128 limit, unsigned __int128& out)
{
    out = 0;
    if (n.digits.empty()) return true;
    int64_t int_len = static_cast<int64_t>(n.digits.size()) + n.exponent;  // digits before the point
    if (int_len > 40) return false;
    unsigned __int128 value = 0;
    for (int64_t k = 0; k < int_len; ++k) {
        int d = k < static_cast<int64_t>(n.digits.size()) ? n.digits[static_cast<size_t>(k)] - '0' : 0;
        value = value * 10 + static_cast<unsigned>(d);
        if (value > limit) return false;
    }
    if (int_len < static_cast<int64_t>(n.digits.size())) {
        // Dropped digits: above half, or exactly half with an odd last digit.
        size_t first_dropped = int_len < 0 ? 0 : static_cast<size_t>(int_len);
        int first = int_len < 0 ? 0 : n.digits[first_dropped] - '0';
        bool rest_nonzero = int_len < 0 || n.digits.size() > first_dropped + 1;
        bool up = first > 5 || (first == 5 && (rest_nonzero || (value & 1) != 0));
        if (int_len < 0) up = false;  // below 0.1: rounds to 0
        if (up) ++value;
        if (value > limit) return false;
    }
    out = value;
    return true;
}

}  // namespace

ole_hresult ole_parsed_to_i8(const ole_parsed_number& number, int64_t& out)
{
    out = 0;
    unsigned __int128 m;
    unsigned __int128 limit = number.negative ? (static_cast<unsigned __int128>(INT64_MAX) + 1) : INT64_MAX;
    if (!rounded_magnitude(number, limit, m)) return OLE_E_OVERFLOW;
    out = number.negative ? static_cast<int64_t>(-static_cast<__int128>(m)) : static_cast<int64_t>(m);
    return OLE_S_OK;
}

ole_hresult ole_parsed_to_ui8(const ole_parsed_number& number, uint64_t& out)
{
    out = 0;
    unsigned __int128 m;
    if (!rounded_magnitude(number, UINT64_MAX, m)) return OLE_E_OVERFLOW;
    if (number.negative && m != 0) return OLE_E_OVERFLOW;
    out = static_cast<uint64_t>(m);
    return OLE_S_OK;
}

ole_hresult ole_r8_from_str(std::u16string_view text, double& out)
{
    ole_parsed_number n;
    ole_hresult hr = ole_parse_number(text, n);
    if (hr != OLE_S_OK) return hr;
    return ole_parsed_to_r8(n, out);
}

ole_hresult ole_i8_from_str(std::u16string_view text, int64_t& out)
{
    ole_parsed_number n;
    ole_hresult hr = ole_parse_number(text, n);
    if (hr != OLE_S_OK) return hr;
    return ole_parsed_to_i8(n, out);
}

ole_hresult ole_ui8_from_str(std::u16string_view text, uint64_t& out)
{
    ole_parsed_number n;
    ole_hresult hr = ole_parse_number(text, n);
    if (hr != OLE_S_OK) return hr;
    return ole_parsed_to_ui8(n, out);
}

double ole_atof(std::string_view text)
{
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    const char* first = text.data() + i;
    const char* last = text.data() + text.size();
    double v = 0.0;
    std::chars_format fmt = std::chars_format::general;
    if (last - first > 2 && first[0] == '0' && (first[1] == 'x' || first[1] == 'X')) {
        first += 2;
        fmt = std::chars_format::hex;
    }
    auto r = std::from_chars(first, last, v, fmt);
    if (r.ec == std::errc::result_out_of_range) {
        // Same results as strtod: HUGE_VAL on overflow, 0 on underflow.
        std::string_view digits(first, static_cast<size_t>(r.ptr - first));
        bool tiny = digits.find_first_of("eEpP") != std::string_view::npos &&
                    digits.find('-', digits.find_first_of("eEpP")) != std::string_view::npos;
        v = tiny ? 0.0 : HUGE_VAL;
    } else if (r.ec != std::errc{}) {
        return 0.0;
    }
    return negative ? -v : v;
}

std::string ole_format_e(double value, int precision)
{
    char buf[400];
    auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, precision);
    return std::string(buf, r.ptr);
}

namespace {

std::string real_to_str(double value, int digits)
{
    if (std::isnan(value)) return "NaN";
    if (std::isinf(value)) return value < 0 ? "-1.#INF" : "1.#INF";
    if (value == 0.0) return "0";
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, digits);
    std::string s(buf, r.ptr);
    for (char& c : s)
        if (c == 'e') c = 'E';
    return s;
}

}  // namespace

std::string ole_r8_to_str(double value)
{
    return real_to_str(value, 15);
}

std::string ole_r4_to_str(float value)
{
    return real_to_str(value, 7);
}
