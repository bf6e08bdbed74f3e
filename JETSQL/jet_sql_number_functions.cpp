// Access's numeric and conversion functions: IsNumeric, IsDate, Val, Str,
// CInt, CLng, CByte, CSng, CDbl, CCur, CDec, CDate, CBool, Int, Fix, Abs,
// Sgn, Sqr, Exp, Log, Round. Conversions take (value, DAO type of value).
#include <cfloat>
#include <cstdio>
#include <cstdlib>

#include "jet_sql_date.h"
#include "jet_sql_function_util.h"
#include "jet_sql_functions.h"
#include "jet_sql_lexer.h"
#include "jet_sql_source.h"

namespace {

// Reads a whole text as a number (blanks around allowed, &H and &O
// forms); false when it is not one.
bool parse_number(std::u16string_view s, double& out)
{
    std::string a;
    for (char16_t c : s) {
        if (c > 0x7F) return false;
        a += static_cast<char>(c);
    }
    size_t b = a.find_first_not_of(" \t");
    size_t e = a.find_last_not_of(" \t");
    if (b == std::string::npos) return false;
    a = a.substr(b, e - b + 1);
    if (a.size() > 2 && a[0] == '&' && (a[1] == 'H' || a[1] == 'h' || a[1] == 'O' || a[1] == 'o')) {
        char* end = nullptr;
        long long v = std::strtoll(a.c_str() + 2, &end, (a[1] == 'H' || a[1] == 'h') ? 16 : 8);
        if (*end != 0) return false;
        out = static_cast<double>(v);
        return true;
    }
    char* end = nullptr;
    out = std::strtod(a.c_str(), &end);
    return end != a.c_str() && *end == 0 && a.find_first_of("xXnN") == std::string::npos;
}

// A conversion argument as a number: numbers as they are, Booleans
// -1/0, text read as a number or, failing that, as a date.
bool convert_number(sqlite3_context* ctx, sqlite3_value** argv, double& out)
{
    switch (sqlite3_value_type(argv[0])) {
    case SQLITE_NULL: sqlite3_result_null(ctx); return false;
    case SQLITE_INTEGER:
    case SQLITE_FLOAT: out = sqlite3_value_double(argv[0]); return true;
    default: break;
    }
    std::u16string_view s = jet_fn_text(argv[0]);
    if (parse_number(s, out)) return true;
    if (jet_sql_ascii_equal_nocase(s, u"true")) {
        out = -1;
        return true;
    }
    if (jet_sql_ascii_equal_nocase(s, u"false")) {
        out = 0;
        return true;
    }
    if (jet_sql_date_parse(s, out)) return true;
    jet_fn_error(ctx, jet_vb_type_mismatch);
    return false;
}

void fn_isnumeric(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    int type = sqlite3_value_int(argv[1]);
    double d;
    switch (sqlite3_value_type(argv[0])) {
    case SQLITE_NULL: sqlite3_result_int(ctx, 0); return;
    case SQLITE_INTEGER:
    case SQLITE_FLOAT: sqlite3_result_int(ctx, type == jet_dao_date ? 0 : -1); return;
    default: sqlite3_result_int(ctx, parse_number(jet_fn_text(argv[0]), d) ? -1 : 0); return;
    }
}

void fn_isdate(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    int type = sqlite3_value_int(argv[1]);
    double d;
    switch (sqlite3_value_type(argv[0])) {
    case SQLITE_NULL: sqlite3_result_int(ctx, 0); return;
    case SQLITE_TEXT: sqlite3_result_int(ctx, jet_sql_date_parse(jet_fn_text(argv[0]), d) ? -1 : 0); return;
    default: sqlite3_result_int(ctx, type == jet_dao_date ? -1 : 0); return;
    }
}

void fn_val(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (jet_fn_is_null(argv[0])) return jet_fn_error(ctx, 94);  // Invalid use of Null
    std::u16string_view s = jet_fn_text(argv[0]);
    // Val skips blanks anywhere and reads as far as the text is a number.
    std::string a;
    for (char16_t c : s) {
        if (c == u' ' || c == u'\t' || c == u'\n' || c == u'\r') continue;
        a += c < 0x80 ? static_cast<char>(c) : '?';
    }
    double v = 0;
    if (a.size() > 2 && a[0] == '&' && (a[1] == 'H' || a[1] == 'h')) {
        v = static_cast<double>(std::strtoll(a.c_str() + 2, nullptr, 16));
    } else if (a.size() > 2 && a[0] == '&' && (a[1] == 'O' || a[1] == 'o')) {
        v = static_cast<double>(std::strtoll(a.c_str() + 2, nullptr, 8));
    } else {
        size_t n = 0;
        if (n < a.size() && (a[n] == '+' || a[n] == '-')) ++n;
        while (n < a.size() && (isdigit(static_cast<unsigned char>(a[n])) || a[n] == '.')) ++n;
        if (n < a.size() && (a[n] == 'e' || a[n] == 'E' || a[n] == 'd' || a[n] == 'D')) {
            size_t m = n + 1;
            if (m < a.size() && (a[m] == '+' || a[m] == '-')) ++m;
            if (m < a.size() && isdigit(static_cast<unsigned char>(a[m]))) {
                a[n] = 'e';
                n = m;
                while (n < a.size() && isdigit(static_cast<unsigned char>(a[n]))) ++n;
            }
        }
        v = std::strtod(a.substr(0, n).c_str(), nullptr);
    }
    sqlite3_result_double(ctx, v);
}

void fn_strn(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    double d;
    if (!convert_number(ctx, argv, d)) return;
    int type = sqlite3_value_int(argv[1]);
    std::u16string s = jet_sql_number_text(d, type == jet_dao_date ? jet_dao_date : jet_dao_double);
    if (type != jet_dao_date && d >= 0) s.insert(s.begin(), u' ');
    jet_fn_result(ctx, s);
}

void integer_conversion(sqlite3_context* ctx, sqlite3_value** argv, double lo, double hi)
{
    double d;
    if (!convert_number(ctx, argv, d)) return;
    d = std::nearbyint(d);
    if (d < lo || d > hi) return jet_fn_error(ctx, jet_vb_overflow);
    sqlite3_result_int64(ctx, static_cast<sqlite3_int64>(d));
}

void fn_cint(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    integer_conversion(ctx, argv, -32768, 32767);
}

void fn_clng(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    integer_conversion(ctx, argv, -2147483648.0, 2147483647.0);
}

void fn_cbyte(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    integer_conversion(ctx, argv, 0, 255);
}

void fn_csng(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    double d;
    if (!convert_number(ctx, argv, d)) return;
    if (std::fabs(d) > FLT_MAX) return jet_fn_error(ctx, jet_vb_overflow);
    sqlite3_result_double(ctx, static_cast<float>(d));
}

void fn_cdbl(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    double d;
    if (convert_number(ctx, argv, d)) sqlite3_result_double(ctx, d);
}

void fn_ccur(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    double d;
    if (!convert_number(ctx, argv, d)) return;
    if (std::fabs(d) > 922337203685477.0) return jet_fn_error(ctx, jet_vb_overflow);
    sqlite3_result_double(ctx, jet_sql_round(d, 4));
}

void fn_cdate(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    double d;
    int type = sqlite3_value_type(argv[0]);
    if (type == SQLITE_NULL) return sqlite3_result_null(ctx);
    if (type == SQLITE_TEXT) {
        std::u16string_view s = jet_fn_text(argv[0]);
        if (!jet_sql_date_parse(s, d) && !parse_number(s, d)) return jet_fn_error(ctx, jet_vb_type_mismatch);
    } else {
        d = sqlite3_value_double(argv[0]);
    }
    if (d < jet_sql_date_min || d > jet_sql_date_max) return jet_fn_error(ctx, jet_vb_overflow);
    sqlite3_result_double(ctx, d);
}

void fn_cbool(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    double d;
    if (convert_number(ctx, argv, d)) sqlite3_result_int(ctx, d != 0 ? -1 : 0);
}

// Int, Fix, Abs and Round keep an integer an integer.
void rounding(sqlite3_context* ctx, sqlite3_value* v, double (*f)(double))
{
    double d;
    if (!jet_fn_number(ctx, v, d)) return;
    if (sqlite3_value_numeric_type(v) == SQLITE_INTEGER)
        sqlite3_result_int64(ctx, static_cast<sqlite3_int64>(f(d)));
    else
        sqlite3_result_double(ctx, f(d));
}

void fn_int(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    rounding(ctx, argv[0], [](double d) { return std::floor(d); });
}

void fn_fix(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    rounding(ctx, argv[0], [](double d) { return std::trunc(d); });
}

void fn_abs(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    rounding(ctx, argv[0], [](double d) { return std::fabs(d); });
}

void fn_sgn(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    double d;
    if (jet_fn_number(ctx, argv[0], d)) sqlite3_result_int(ctx, d > 0 ? 1 : d < 0 ? -1 : 0);
}

void fn_sqr(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    double d;
    if (!jet_fn_number(ctx, argv[0], d)) return;
    if (d < 0) return jet_fn_error(ctx, jet_vb_invalid_call);
    sqlite3_result_double(ctx, std::sqrt(d));
}

void fn_exp(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    double d;
    if (!jet_fn_number(ctx, argv[0], d)) return;
    double r = std::exp(d);
    if (std::isinf(r)) return jet_fn_error(ctx, jet_vb_overflow);
    sqlite3_result_double(ctx, r);
}

void fn_log(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    double d;
    if (!jet_fn_number(ctx, argv[0], d)) return;
    if (d <= 0) return jet_fn_error(ctx, jet_vb_invalid_call);
    sqlite3_result_double(ctx, std::log(d));
}

void fn_round(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    double d;
    if (!jet_fn_number(ctx, argv[0], d)) return;
    int64_t digits = jet_fn_int_arg(argc, argv, 1, 0);
    if (digits < 0 || digits > 22) return jet_fn_error(ctx, jet_vb_invalid_call);
    if (sqlite3_value_numeric_type(argv[0]) == SQLITE_INTEGER) return sqlite3_result_value(ctx, argv[0]);
    sqlite3_result_double(ctx, jet_sql_round(d, static_cast<int>(digits)));
}

}  // namespace

double jet_sql_round(double value, int digits)
{
    if (!std::isfinite(value)) return value;
    // Decide on the decimal digits the value prints with (15 significant,
    // as Access shows it), so 2.675 is treated as written, not as its
    // binary neighbour.
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*e", 14, value);
    double exact = std::strtod(buf, nullptr);
    double scale = std::pow(10.0, digits);
    double scaled = exact * scale;
    double r = std::nearbyint(scaled);
    // nearbyint rounds half to even in the default rounding mode; a
    // product that lands a hair off .5 is snapped back first.
    double frac = scaled - std::trunc(scaled);
    if (std::fabs(std::fabs(frac) - 0.5) < 1e-9 * std::max(1.0, std::fabs(scaled))) {
        double t = std::trunc(scaled);
        double away = t + (scaled < 0 ? -1 : 1);
        r = std::fmod(t, 2.0) == 0 ? t : away;
    }
    return r / scale;
}

void jet_sql_register_number_functions(sqlite3* db)
{
    struct row {
        const char* name;
        int args;
        void (*fn)(sqlite3_context*, int, sqlite3_value**);
    };
    static const row k_rows[] = {
        {"jet_isnumeric", 2, fn_isnumeric},
        {"jet_isdate", 2, fn_isdate},
        {"jet_val", 1, fn_val},
        {"jet_strn", 2, fn_strn},
        {"jet_cint", 2, fn_cint},
        {"jet_clng", 2, fn_clng},
        {"jet_cbyte", 2, fn_cbyte},
        {"jet_csng", 2, fn_csng},
        {"jet_cdbl", 2, fn_cdbl},
        {"jet_ccur", 2, fn_ccur},
        {"jet_cdec", 2, fn_cdbl},
        {"jet_cdate", 2, fn_cdate},
        {"jet_cdate", 1, fn_cdate},
        {"jet_cbool", 2, fn_cbool},
        {"jet_int", 1, fn_int},
        {"jet_fix", 1, fn_fix},
        {"jet_abs", 1, fn_abs},
        {"jet_sgn", 1, fn_sgn},
        {"jet_sqr", 1, fn_sqr},
        {"jet_exp", 1, fn_exp},
        {"jet_log", 1, fn_log},
        {"jet_round", -1, fn_round},
    };
    for (const row& r : k_rows)
        sqlite3_create_function(db, r.name, r.args, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, r.fn, nullptr,
                                nullptr);
}
