// Access's text functions: Len, Left, Right, Mid, InStr, InStrRev,
// Replace, UCase, LCase, Trim, LTrim, RTrim, Space, String, StrComp,
// StrReverse, Asc, Chr. Positions and lengths count UTF-16 units, as VBA
// does; comparisons with compare mode 1 ignore case.
#include <unicode/uchar.h>

#include "jet_sql_function_util.h"

namespace {

char16_t fold(char16_t c)
{
    UChar32 f = u_foldCase(c, U_FOLD_CASE_DEFAULT);
    return f <= 0xFFFF ? static_cast<char16_t>(f) : c;
}

std::u16string folded(std::u16string_view s)
{
    std::u16string out(s);
    for (char16_t& c : out) c = fold(c);
    return out;
}

// Reads argument i as text; false (result Null) when it is Null.
bool text_arg(sqlite3_context* ctx, sqlite3_value** argv, int i, std::u16string& out)
{
    if (jet_fn_is_null(argv[i])) {
        sqlite3_result_null(ctx);
        return false;
    }
    out = jet_fn_text(argv[i]);
    return true;
}

// A count or position argument: Null gives Null, a negative count an
// error.
bool count_arg(sqlite3_context* ctx, sqlite3_value* v, int64_t min, int64_t& out)
{
    double d;
    if (!jet_fn_number(ctx, v, d)) return false;
    out = static_cast<int64_t>(std::nearbyint(d));
    if (out < min) {
        jet_fn_error(ctx, jet_vb_invalid_call);
        return false;
    }
    return true;
}

void fn_len(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    std::u16string s;
    if (text_arg(ctx, argv, 0, s)) sqlite3_result_int64(ctx, static_cast<sqlite3_int64>(s.size()));
}

void fn_left(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    std::u16string s;
    int64_t n;
    if (!text_arg(ctx, argv, 0, s) || !count_arg(ctx, argv[1], 0, n)) return;
    jet_fn_result(ctx, std::u16string_view(s).substr(0, static_cast<size_t>(n)));
}

void fn_right(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    std::u16string s;
    int64_t n;
    if (!text_arg(ctx, argv, 0, s) || !count_arg(ctx, argv[1], 0, n)) return;
    size_t k = std::min(s.size(), static_cast<size_t>(n));
    jet_fn_result(ctx, std::u16string_view(s).substr(s.size() - k));
}

void fn_mid(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    std::u16string s;
    int64_t start, len = -1;
    if (!text_arg(ctx, argv, 0, s) || !count_arg(ctx, argv[1], 1, start)) return;
    if (argc > 2 && !count_arg(ctx, argv[2], 0, len)) return;
    size_t b = static_cast<size_t>(start - 1);
    if (b >= s.size()) return jet_fn_result(ctx, u"");
    jet_fn_result(ctx, std::u16string_view(s).substr(b, len < 0 ? std::u16string::npos : static_cast<size_t>(len)));
}

size_t find_in(const std::u16string& hay, const std::u16string& needle, size_t from, bool text_compare)
{
    if (!text_compare) return hay.find(needle, from);
    return folded(hay).find(folded(needle), from);
}

void fn_instr(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    int64_t start;
    if (jet_fn_is_null(argv[0])) return jet_fn_error(ctx, jet_vb_invalid_call);
    if (!count_arg(ctx, argv[0], 1, start)) return;
    std::u16string a, b;
    if (!text_arg(ctx, argv, 1, a) || !text_arg(ctx, argv, 2, b)) return;
    bool text = jet_fn_int_arg(4, argv, 3, 1) != 0;
    if (static_cast<size_t>(start) > a.size()) return sqlite3_result_int(ctx, 0);
    if (b.empty()) return sqlite3_result_int64(ctx, start);
    size_t pos = find_in(a, b, static_cast<size_t>(start - 1), text);
    sqlite3_result_int64(ctx, pos == std::u16string::npos ? 0 : static_cast<sqlite3_int64>(pos + 1));
}

void fn_instrrev(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    std::u16string a, b;
    if (!text_arg(ctx, argv, 0, a) || !text_arg(ctx, argv, 1, b)) return;
    int64_t start = jet_fn_int_arg(argc, argv, 2, -1);
    bool text = jet_fn_int_arg(argc, argv, 3, 1) != 0;
    if (start == 0 || start < -1) return jet_fn_error(ctx, jet_vb_invalid_call);
    if (start == -1) start = static_cast<int64_t>(a.size());
    if (static_cast<size_t>(start) > a.size()) return sqlite3_result_int(ctx, 0);
    if (b.empty()) return sqlite3_result_int64(ctx, start);
    std::u16string ha = text ? folded(a) : a;
    std::u16string hb = text ? folded(b) : b;
    if (static_cast<size_t>(start) < hb.size()) return sqlite3_result_int(ctx, 0);
    size_t pos = ha.rfind(hb, static_cast<size_t>(start) - hb.size());
    sqlite3_result_int64(ctx, pos == std::u16string::npos ? 0 : static_cast<sqlite3_int64>(pos + 1));
}

void fn_replace(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    std::u16string s, find, repl;
    if (!text_arg(ctx, argv, 0, s) || !text_arg(ctx, argv, 1, find) || !text_arg(ctx, argv, 2, repl)) return;
    int64_t start = jet_fn_int_arg(argc, argv, 3, 1);
    int64_t count = jet_fn_int_arg(argc, argv, 4, -1);
    bool text = jet_fn_int_arg(argc, argv, 5, 1) != 0;
    if (start < 1 || count < -1) return jet_fn_error(ctx, jet_vb_invalid_call);
    // VBA returns the text from `start` on, replacements made.
    if (static_cast<size_t>(start) > s.size()) return jet_fn_result(ctx, u"");
    s = s.substr(static_cast<size_t>(start - 1));
    if (find.empty() || count == 0) return jet_fn_result(ctx, s);
    std::u16string hay = text ? folded(s) : s;
    std::u16string needle = text ? folded(find) : find;
    std::u16string out;
    size_t pos = 0;
    for (int64_t done = 0; count < 0 || done < count; ++done) {
        size_t hit = hay.find(needle, pos);
        if (hit == std::u16string::npos) break;
        out.append(s, pos, hit - pos);
        out += repl;
        pos = hit + needle.size();
    }
    out.append(s, pos, std::u16string::npos);
    jet_fn_result(ctx, out);
}

void fn_case(sqlite3_context* ctx, sqlite3_value** argv, bool upper)
{
    std::u16string s;
    if (!text_arg(ctx, argv, 0, s)) return;
    for (char16_t& c : s) {
        UChar32 m = upper ? u_toupper(c) : u_tolower(c);
        if (m <= 0xFFFF) c = static_cast<char16_t>(m);
    }
    jet_fn_result(ctx, s);
}

void fn_ucase(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    fn_case(ctx, argv, true);
}

void fn_lcase(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    fn_case(ctx, argv, false);
}

void fn_trim_sides(sqlite3_context* ctx, sqlite3_value** argv, bool left, bool right)
{
    std::u16string s;
    if (!text_arg(ctx, argv, 0, s)) return;
    size_t b = 0, e = s.size();
    if (left)
        while (b < e && s[b] == u' ') ++b;
    if (right)
        while (e > b && s[e - 1] == u' ') --e;
    jet_fn_result(ctx, std::u16string_view(s).substr(b, e - b));
}

void fn_trim(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    fn_trim_sides(ctx, argv, true, true);
}

void fn_ltrim(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    fn_trim_sides(ctx, argv, true, false);
}

void fn_rtrim(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    fn_trim_sides(ctx, argv, false, true);
}

void fn_space(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    int64_t n;
    if (!count_arg(ctx, argv[0], 0, n)) return;
    jet_fn_result(ctx, std::u16string(static_cast<size_t>(n), u' '));
}

void fn_string(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    int64_t n;
    if (!count_arg(ctx, argv[0], 0, n)) return;
    if (jet_fn_is_null(argv[1])) return sqlite3_result_null(ctx);
    char16_t c;
    int type = sqlite3_value_type(argv[1]);
    if (type == SQLITE_INTEGER || type == SQLITE_FLOAT) {
        c = static_cast<char16_t>(static_cast<int64_t>(std::nearbyint(sqlite3_value_double(argv[1]))) & 0xFF);
    } else {
        std::u16string_view s = jet_fn_text(argv[1]);
        if (s.empty()) return jet_fn_error(ctx, jet_vb_invalid_call);
        c = s[0];
    }
    jet_fn_result(ctx, std::u16string(static_cast<size_t>(n), c));
}

void fn_strcomp(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    std::u16string a, b;
    if (!text_arg(ctx, argv, 0, a) || !text_arg(ctx, argv, 1, b)) return;
    if (jet_fn_int_arg(argc, argv, 2, 1) != 0) {
        a = folded(a);
        b = folded(b);
    }
    int c = a.compare(b);
    sqlite3_result_int(ctx, c < 0 ? -1 : c > 0 ? 1 : 0);
}

void fn_strreverse(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    std::u16string s;
    if (!text_arg(ctx, argv, 0, s)) return;
    jet_fn_result(ctx, std::u16string(s.rbegin(), s.rend()));
}

void fn_asc(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    std::u16string s;
    if (!text_arg(ctx, argv, 0, s)) return;
    if (s.empty()) return jet_fn_error(ctx, jet_vb_invalid_call);
    sqlite3_result_int(ctx, s[0]);
}

void fn_chr(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    int64_t n;
    if (!count_arg(ctx, argv[0], 0, n)) return;
    if (n > 0xFFFF) return jet_fn_error(ctx, jet_vb_invalid_call);
    jet_fn_result(ctx, std::u16string(1, static_cast<char16_t>(n)));
}

}  // namespace

void jet_sql_register_text_functions(sqlite3* db)
{
    struct row {
        const char* name;
        int args;
        void (*fn)(sqlite3_context*, int, sqlite3_value**);
    };
    static const row k_rows[] = {
        {"jet_len", 1, fn_len},          {"jet_left", 2, fn_left},
        {"jet_right", 2, fn_right},      {"jet_mid", -1, fn_mid},
        {"jet_instr", 4, fn_instr},      {"jet_instrrev", -1, fn_instrrev},
        {"jet_replace", -1, fn_replace}, {"jet_ucase", 1, fn_ucase},
        {"jet_lcase", 1, fn_lcase},      {"jet_trim", 1, fn_trim},
        {"jet_ltrim", 1, fn_ltrim},      {"jet_rtrim", 1, fn_rtrim},
        {"jet_space", 1, fn_space},      {"jet_string", 3, fn_string},
        {"jet_strcomp", -1, fn_strcomp}, {"jet_strreverse", 1, fn_strreverse},
        {"jet_asc", 1, fn_asc},          {"jet_chr", 1, fn_chr},
    };
    for (const row& r : k_rows)
        sqlite3_create_function(db, r.name, r.args, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, r.fn, nullptr,
                                nullptr);
}
