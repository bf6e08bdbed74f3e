#include "jet_sql_functions.h"

#include <unicode/uchar.h>

#include <cstdio>
#include <cstring>

#include "jet_sql_date.h"
#include "jet_sql_decimal.h"
#include "jet_sql_function_util.h"
#include "jet_sql_source.h"

namespace {

// ---- collation ----

uint32_t next_code_point(const unsigned char*& p, const unsigned char* end)
{
    uint32_t c = *p++;
    int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
    if (extra > 0) c &= (0x3F >> extra);
    while (extra-- > 0 && p < end) c = (c << 6) | (*p++ & 0x3F);
    return c;
}

int jettext_compare(void*, int na, const void* a, int nb, const void* b)
{
    const auto* pa = static_cast<const unsigned char*>(a);
    const auto* pb = static_cast<const unsigned char*>(b);
    const unsigned char* ea = pa + na;
    const unsigned char* eb = pb + nb;
    while (pa < ea && pb < eb) {
        uint32_t ca, cb;
        if (*pa < 0x80 && *pb < 0x80) {
            ca = *pa++;
            cb = *pb++;
            if (ca >= 'A' && ca <= 'Z') ca += 32;
            if (cb >= 'A' && cb <= 'Z') cb += 32;
        } else {
            ca = static_cast<uint32_t>(u_foldCase(static_cast<UChar32>(next_code_point(pa, ea)), U_FOLD_CASE_DEFAULT));
            cb = static_cast<uint32_t>(u_foldCase(static_cast<UChar32>(next_code_point(pb, eb)), U_FOLD_CASE_DEFAULT));
        }
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    if (pa < ea) return 1;
    if (pb < eb) return -1;
    return 0;
}

// ---- LIKE ----

char16_t fold(char16_t c)
{
    if (c < 0x80) return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c;
    UChar32 f = u_foldCase(c, U_FOLD_CASE_DEFAULT);
    return f <= 0xFFFF ? static_cast<char16_t>(f) : c;
}

// Matches one character against the bracket list starting after '['; sets
// `end` past the closing bracket. False when the list is unclosed.
bool match_set(std::u16string_view p, size_t start, char16_t c, bool& hit, size_t& end)
{
    size_t close = p.find(u']', start);
    if (close == std::u16string_view::npos) return false;
    size_t i = start;
    bool negate = i < close && p[i] == u'!';
    if (negate) ++i;
    bool found = false;
    char16_t fc = fold(c);
    while (i < close) {
        char16_t lo = fold(p[i]);
        if (i + 2 < close && p[i + 1] == u'-') {
            char16_t hi = fold(p[i + 2]);
            if (fc >= lo && fc <= hi) found = true;
            i += 3;
        } else {
            if (fc == lo) found = true;
            ++i;
        }
    }
    hit = negate ? !found : found;
    end = close + 1;
    return true;
}

// Does pattern element at `pi` match character c? `next` gets the index
// after the element.
bool element_matches(std::u16string_view p, size_t pi, char16_t c, size_t& next)
{
    char16_t pc = p[pi];
    next = pi + 1;
    if (pc == u'?') return true;
    if (pc == u'#') return c >= u'0' && c <= u'9';
    if (pc == u'[') {
        bool hit = false;
        size_t end = 0;
        if (p.substr(pi + 1, 1) == u"]") {  // "[]" matches the empty string only
            next = pi + 2;
            return false;
        }
        if (match_set(p, pi + 1, c, hit, end)) {
            next = end;
            return hit;
        }
    }
    return fold(pc) == fold(c);
}

void fn_like(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (jet_fn_is_null(argv[0]) || jet_fn_is_null(argv[1])) {
        sqlite3_result_null(ctx);
        return;
    }
    std::u16string text(jet_fn_text(argv[0]));
    std::u16string pattern(jet_fn_text(argv[1]));
    sqlite3_result_int(ctx, jet_sql_like(text, pattern) ? 1 : 0);
}

// ---- operators ----

void fn_cat(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    bool n0 = jet_fn_is_null(argv[0]);
    bool n1 = jet_fn_is_null(argv[1]);
    if (n0 && n1) {
        sqlite3_result_null(ctx);
        return;
    }
    std::string out;
    if (!n0) out.append(reinterpret_cast<const char*>(sqlite3_value_text(argv[0])), sqlite3_value_bytes(argv[0]));
    if (!n1) out.append(reinterpret_cast<const char*>(sqlite3_value_text(argv[1])), sqlite3_value_bytes(argv[1]));
    sqlite3_result_text(ctx, out.data(), static_cast<int>(out.size()), SQLITE_TRANSIENT);
}

void fn_str(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    sqlite3_value* v = argv[0];
    int type = sqlite3_value_int(argv[1]);
    switch (sqlite3_value_type(v)) {
    case SQLITE_NULL: sqlite3_result_null(ctx); return;
    case SQLITE_TEXT:
        if (type == jet_dao_decimal) {
            // A Decimal's exact text, as Access writes it: no trailing
            // fraction zeros.
            ole_decimal dec;
            const auto* p = reinterpret_cast<const char*>(sqlite3_value_text(v));
            if (jet_sql_decimal_parse(std::string_view(p, static_cast<size_t>(sqlite3_value_bytes(v))), dec)) {
                std::string s = ole_dec_to_str(dec);
                sqlite3_result_text(ctx, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
                return;
            }
        }
        [[fallthrough]];
    case SQLITE_BLOB:
        if (type != jet_dao_date && type != jet_dao_boolean) {
            sqlite3_result_value(ctx, v);
            return;
        }
        break;
    default: break;
    }
    double d = sqlite3_value_double(v);
    if (sqlite3_value_type(v) == SQLITE_INTEGER && type != jet_dao_date && type != jet_dao_boolean) {
        std::string s = std::to_string(sqlite3_value_int64(v));
        sqlite3_result_text(ctx, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
        return;
    }
    jet_fn_result(ctx, jet_sql_number_text(d, type));
}

bool two_numbers(sqlite3_context* ctx, sqlite3_value** argv, double& a, double& b)
{
    if (jet_fn_is_null(argv[0]) || jet_fn_is_null(argv[1])) {
        sqlite3_result_null(ctx);
        return false;
    }
    return jet_fn_number(ctx, argv[0], a) && jet_fn_number(ctx, argv[1], b);
}

void fn_div(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    double a, b;
    if (!two_numbers(ctx, argv, a, b)) return;
    if (b == 0) return jet_fn_error(ctx, jet_vb_division_by_zero);
    sqlite3_result_double(ctx, a / b);
}

void fn_idiv(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    double a, b;
    if (!two_numbers(ctx, argv, a, b)) return;
    a = std::nearbyint(a);
    b = std::nearbyint(b);
    if (b == 0) return jet_fn_error(ctx, jet_vb_division_by_zero);
    sqlite3_result_int64(ctx, static_cast<sqlite3_int64>(std::trunc(a / b)));
}

void fn_mod(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    double a, b;
    if (!two_numbers(ctx, argv, a, b)) return;
    a = std::nearbyint(a);
    b = std::nearbyint(b);
    if (b == 0) return jet_fn_error(ctx, jet_vb_division_by_zero);
    sqlite3_result_int64(ctx, static_cast<sqlite3_int64>(std::fmod(a, b)));
}

void fn_pow(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    double a, b;
    if (!two_numbers(ctx, argv, a, b)) return;
    double r = std::pow(a, b);
    if (std::isnan(r)) return jet_fn_error(ctx, jet_vb_invalid_call);
    sqlite3_result_double(ctx, r);
}

}  // namespace

bool jet_sql_like(std::u16string_view t, std::u16string_view p)
{
    // Classic wildcard matching with one backtracking point per '*'; every
    // other element consumes exactly one character.
    size_t ti = 0, pi = 0;
    size_t star_p = std::u16string_view::npos, star_t = 0;
    while (ti < t.size()) {
        if (pi < p.size() && p[pi] == u'*') {
            star_p = ++pi;
            star_t = ti;
            continue;
        }
        size_t next = 0;
        if (pi < p.size() && element_matches(p, pi, t[ti], next)) {
            pi = next;
            ++ti;
            continue;
        }
        if (star_p == std::u16string_view::npos) return false;
        pi = star_p;
        ti = ++star_t;
    }
    while (pi < p.size() && (p[pi] == u'*' || p.substr(pi, 2) == u"[]")) pi += p[pi] == u'*' ? 1 : 2;
    return pi == p.size();
}

std::u16string jet_sql_number_text(double value, int32_t dao_type)
{
    if (dao_type == jet_dao_date) return jet_sql_date_general(value);
    if (dao_type == jet_dao_boolean) return value != 0 ? u"True" : u"False";
    char buf[64];
    std::snprintf(buf, sizeof buf, dao_type == jet_dao_single ? "%.7G" : "%.15G", value);
    std::string s = buf;
    // VBA prints exponents with at least two digits and a sign: 1E+20.
    size_t e = s.find('E');
    if (e != std::string::npos && e + 2 < s.size() && s[e + 2] == '0' && s.size() - e > 4) s.erase(e + 2, 1);
    if (s == "-0") s = "0";
    return std::u16string(s.begin(), s.end());
}

void jet_sql_register_functions(sqlite3* db)
{
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    sqlite3_create_collation(db, "JETTEXT", SQLITE_UTF8, nullptr, jettext_compare);
    sqlite3_create_function(db, "jet_like", 2, flags, nullptr, fn_like, nullptr, nullptr);
    sqlite3_create_function(db, "jet_cat", 2, flags, nullptr, fn_cat, nullptr, nullptr);
    sqlite3_create_function(db, "jet_str", 2, flags, nullptr, fn_str, nullptr, nullptr);
    sqlite3_create_function(db, "jet_div", 2, flags, nullptr, fn_div, nullptr, nullptr);
    sqlite3_create_function(db, "jet_idiv", 2, flags, nullptr, fn_idiv, nullptr, nullptr);
    sqlite3_create_function(db, "jet_mod", 2, flags, nullptr, fn_mod, nullptr, nullptr);
    sqlite3_create_function(db, "jet_pow", 2, flags, nullptr, fn_pow, nullptr, nullptr);
    jet_sql_register_text_functions(db);
    jet_sql_register_number_functions(db);
    jet_sql_register_date_functions(db);
    jet_sql_register_aggregates(db);
    jet_sql_register_decimal(db);
    jet_sql_register_format(db);
}
