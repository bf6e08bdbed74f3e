#include "jet_sql_decimal.h"

#include <sqlite3.h>

#include <cstdio>
#include <cstring>

#include "jet_sql_function_util.h"

namespace {

// A number as 0.d1d2d3... x 10^exponent, without leading or trailing zero
// digits; zero has no digits.
struct decimal_form {
    bool negative = false;
    std::string digits;
    long exponent = 0;
    long fraction_digits = 0;  // as written, trailing zeros included
    bool scientific = false;
};

// [+-]digits[.digits][e[+-]digits], at least one mantissa digit, nothing
// around it: the text the engine stores and the text SQLite makes of a
// number.
bool read_form(std::string_view s, decimal_form& out)
{
    size_t i = 0;
    out = decimal_form();
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) out.negative = s[i++] == '-';
    long point = -1;
    long mantissa_digits = 0;
    long leading = 0;  // zeros before the first significant digit
    for (; i < s.size(); ++i) {
        char c = s[i];
        if (c == '.' && point < 0) {
            point = mantissa_digits;
        } else if (c >= '0' && c <= '9') {
            if (out.digits.empty() && c == '0')
                ++leading;
            else
                out.digits += c;
            ++mantissa_digits;
        } else {
            break;
        }
    }
    if (mantissa_digits == 0) return false;
    if (point < 0) point = mantissa_digits;
    out.fraction_digits = mantissa_digits - point;
    long exp10 = 0;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        out.scientific = true;
        ++i;
        bool neg = false;
        if (i < s.size() && (s[i] == '-' || s[i] == '+')) neg = s[i++] == '-';
        size_t start = i;
        for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i)
            if (exp10 < 100000000) exp10 = exp10 * 10 + (s[i] - '0');
        if (i == start) return false;
        if (neg) exp10 = -exp10;
    }
    if (i != s.size()) return false;
    while (!out.digits.empty() && out.digits.back() == '0') out.digits.pop_back();
    if (out.digits.empty()) {
        out.negative = false;
        return true;
    }
    out.exponent = point - leading + exp10;
    return true;
}

int compare_forms(const decimal_form& a, const decimal_form& b)
{
    const bool za = a.digits.empty(), zb = b.digits.empty();
    if (za || zb) {
        if (za && zb) return 0;
        if (za) return b.negative ? 1 : -1;
        return a.negative ? -1 : 1;
    }
    if (a.negative != b.negative) return a.negative ? -1 : 1;
    int m = 0;
    if (a.exponent != b.exponent)
        m = a.exponent < b.exponent ? -1 : 1;
    else
        m = a.digits.compare(b.digits) < 0 ? -1 : (a.digits == b.digits ? 0 : 1);
    return a.negative ? -m : m;
}

int collate_decimal(void*, int na, const void* pa, int nb, const void* pb)
{
    return jet_sql_decimal_compare(std::string_view(static_cast<const char*>(pa), static_cast<size_t>(na)),
                                   std::string_view(static_cast<const char*>(pb), static_cast<size_t>(nb)));
}

// The exact Sum of Decimal values: a signed 128-bit total at the largest
// scale seen so far. The state lives in SQLite's aggregate memory, which is
// only 8-byte aligned, so the total is copied in and out.
struct decimal_sum {
    unsigned char total[16];
    int scale;
    bool seen;
    int error;  // the VB error number that ends the sum, or 0
};

using wide = __int128;

const wide k_max96 = (static_cast<wide>(1) << 96) - 1;

// v * 10; false, and v unchanged, where that would overflow.
bool times10(wide& v)
{
    wide r = 0;
    if (__builtin_mul_overflow(v, 10, &r)) return false;
    v = r;
    return true;
}

// v / 10, rounded half to even.
wide div10(wide v)
{
    wide q = v / 10, r = v % 10;
    if (r < 0) r = -r;
    if (r > 5 || (r == 5 && (q % 2) != 0)) q += v < 0 ? -1 : 1;
    return q;
}

std::string wide_text(wide v, int scale)
{
    const bool negative = v < 0;
    unsigned __int128 m = negative ? -static_cast<unsigned __int128>(v) : static_cast<unsigned __int128>(v);
    std::string digits;
    do {
        digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(m % 10)));
        m /= 10;
    } while (m != 0);
    while (static_cast<int>(digits.size()) <= scale) digits.insert(digits.begin(), '0');
    if (scale > 0) digits.insert(digits.end() - scale, '.');
    return (negative && v != 0 ? "-" : "") + digits;
}

bool value_decimal(sqlite3_value* v, ole_decimal& out)
{
    switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER: out = ole_dec_from_i8(sqlite3_value_int64(v)); return true;
    case SQLITE_FLOAT: return ole_dec_from_r8(sqlite3_value_double(v), out) == OLE_S_OK;
    default: break;
    }
    const auto* p = reinterpret_cast<const char*>(sqlite3_value_text(v));
    return p != nullptr && jet_sql_decimal_parse(std::string_view(p, static_cast<size_t>(sqlite3_value_bytes(v))), out);
}

void sumdec_step(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (jet_fn_is_null(argv[0])) return;
    auto* st = static_cast<decimal_sum*>(sqlite3_aggregate_context(ctx, sizeof(decimal_sum)));
    if (st == nullptr) return sqlite3_result_error_nomem(ctx);
    if (st->error != 0) return;
    ole_decimal d;
    if (!value_decimal(argv[0], d)) {
        st->error = sqlite3_value_numeric_type(argv[0]) == SQLITE_TEXT ? jet_vb_type_mismatch : jet_vb_overflow;
        return;
    }
    wide x = (static_cast<wide>(d.hi32) << 64) | static_cast<wide>(d.lo64);
    if (d.is_negative()) x = -x;
    int xs = d.scale;
    wide total = 0;
    std::memcpy(&total, st->total, sizeof total);
    if (!st->seen) {
        total = x;
        st->scale = xs;
        st->seen = true;
    } else {
        // Bring both to one scale; where a value cannot grow, the other
        // loses a digit instead (only past 38 significant digits).
        while (xs > st->scale) {
            if (times10(total))
                ++st->scale;
            else
                x = div10(x), --xs;
        }
        while (xs < st->scale) {
            if (times10(x))
                ++xs;
            else
                total = div10(total), --st->scale;
        }
        if (__builtin_add_overflow(total, x, &total)) st->error = jet_vb_overflow;
    }
    std::memcpy(st->total, &total, sizeof total);
}

void sumdec_final(sqlite3_context* ctx)
{
    auto* st = static_cast<decimal_sum*>(sqlite3_aggregate_context(ctx, 0));
    if (st == nullptr || !st->seen) return sqlite3_result_null(ctx);
    if (st->error != 0) return jet_fn_error(ctx, st->error);
    wide total = 0;
    std::memcpy(&total, st->total, sizeof total);
    int scale = st->scale;
    while ((total > k_max96 || total < -k_max96) && scale > 0) total = div10(total), --scale;
    if (total > k_max96 || total < -k_max96) return jet_fn_error(ctx, jet_vb_overflow);
    std::string text = wide_text(total, scale);
    sqlite3_result_text(ctx, text.c_str(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

}  // namespace

std::string jet_sql_decimal_text(double value)
{
    ole_decimal d;
    if (ole_dec_from_r8(value, d) == OLE_S_OK) return ole_dec_to_str(d);
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.17g", value);
    return buf;
}

bool jet_sql_decimal_parse(std::string_view text, ole_decimal& out)
{
    decimal_form f;
    if (!read_form(text, f) || ole_dec_from_str(text, out) != OLE_S_OK) return false;
    // Trailing fraction zeros are part of a Decimal's scale: 2.50 has 2.
    if (!f.scientific && f.fraction_digits > out.scale && f.fraction_digits <= ole_decimal::max_scale) {
        ole_decimal scaled;
        if (ole_dec_rescale(out, static_cast<uint8_t>(f.fraction_digits), scaled) == OLE_S_OK) out = scaled;
    }
    return true;
}

int jet_sql_decimal_compare(std::string_view a, std::string_view b)
{
    decimal_form fa, fb;
    const bool na = read_form(a, fa), nb = read_form(b, fb);
    if (na && nb) return compare_forms(fa, fb);
    if (na != nb) return na ? -1 : 1;
    const int c = a.compare(b);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

void jet_sql_register_decimal(sqlite3* db)
{
    sqlite3_create_collation(db, "JETDEC", SQLITE_UTF8, nullptr, collate_decimal);
    sqlite3_create_function(db, "jet_sumdec", 1, SQLITE_UTF8, nullptr, nullptr, sumdec_step, sumdec_final);
}
