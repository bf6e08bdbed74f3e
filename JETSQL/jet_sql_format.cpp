// Access's Format function: the named formats (General Date, Long Date,
// Medium Date, Short Date, Long Time, Medium Time, Short Time, General
// Number, Currency, Fixed, Standard, Percent, Scientific, Yes/No,
// True/False, On/Off) and custom date and number patterns, English (United
// States) conventions.
#include <cstdio>
#include <vector>

#include "jet_sql_date.h"
#include "jet_sql_function_util.h"
#include "jet_sql_functions.h"
#include "jet_sql_lexer.h"
#include "jet_sql_source.h"

namespace {

const char16_t* const k_months[] = {u"January", u"February", u"March",     u"April",   u"May",      u"June",
                                    u"July",    u"August",   u"September", u"October", u"November", u"December"};
const char16_t* const k_days[] = {u"Sunday", u"Monday", u"Tuesday", u"Wednesday", u"Thursday", u"Friday", u"Saturday"};

std::u16string widen(const std::string& s)
{
    return std::u16string(s.begin(), s.end());
}

std::u16string two(int v)
{
    char b[16];
    std::snprintf(b, sizeof b, "%02d", v);
    return widen(b);
}

std::u16string num(int v)
{
    return widen(std::to_string(v));
}

bool starts_nocase(std::u16string_view s, size_t i, std::u16string_view w)
{
    return s.size() - i >= w.size() && jet_sql_ascii_equal_nocase(s.substr(i, w.size()), w);
}

size_t run_length(std::u16string_view f, size_t i)
{
    size_t n = 1;
    char16_t c = f[i] | 0x20;
    while (i + n < f.size() && (f[i + n] | 0x20) == c) ++n;
    return n;
}

struct date_ctx {
    jet_sql_datetime dt;
    int weekday;  // 0 Sunday
    bool twelve_hour;
};

std::u16string hour_text(const date_ctx& c, bool padded)
{
    int h = c.dt.hour;
    if (c.twelve_hour) h = h % 12 == 0 ? 12 : h % 12;
    return padded ? two(h) : num(h);
}

// Appends the expansion of a run of `n` letters `c`; false when the
// letter is no date token.
bool date_token(const date_ctx& c, char16_t letter, size_t n, bool after_hour, std::u16string& out)
{
    const jet_sql_datetime& dt = c.dt;
    switch (letter) {
    case u'd':
        if (n == 1)
            out += num(dt.day);
        else if (n == 2)
            out += two(dt.day);
        else if (n == 3)
            out += std::u16string(k_days[c.weekday]).substr(0, 3);
        else if (n == 4)
            out += k_days[c.weekday];
        else if (n == 5)
            out += num(dt.month) + u"/" + num(dt.day) + u"/" + num(dt.year);
        else
            out += std::u16string(k_days[c.weekday]) + u", " + k_months[dt.month - 1] + u" " + num(dt.day) + u", " +
                   num(dt.year);
        return true;
    case u'm':
        if (after_hour && n <= 2)
            out += n == 1 ? num(dt.minute) : two(dt.minute);
        else if (n == 1)
            out += num(dt.month);
        else if (n == 2)
            out += two(dt.month);
        else if (n == 3)
            out += std::u16string(k_months[dt.month - 1]).substr(0, 3);
        else
            out += k_months[dt.month - 1];
        return true;
    case u'y':
        if (n == 1)
            out += num(jet_sql_days_from_civil(dt.year, dt.month, dt.day) - jet_sql_days_from_civil(dt.year, 1, 1) + 1);
        else if (n <= 3)
            out += two(dt.year % 100);
        else
            out += num(dt.year);
        return true;
    case u'h': out += hour_text(c, n >= 2); return true;
    case u'n': out += n == 1 ? num(dt.minute) : two(dt.minute); return true;
    case u's': out += n == 1 ? num(dt.second) : two(dt.second); return true;
    case u'q': out += num((dt.month - 1) / 3 + 1); return true;
    case u'w':
        if (n == 1)
            out += num(c.weekday + 1);
        else {
            int32_t jan1 = jet_sql_days_from_civil(dt.year, 1, 1);
            int offset = ((jan1 % 7) + 7 + 6) % 7;
            int doy = jet_sql_days_from_civil(dt.year, dt.month, dt.day) - jan1;
            out += num((doy + offset) / 7 + 1);
        }
        return true;
    default: return false;
    }
}

bool ampm_token(std::u16string_view f, size_t i, const date_ctx& c, std::u16string& out, size_t& used)
{
    bool pm = c.dt.hour >= 12;
    if (starts_nocase(f, i, u"am/pm")) {
        bool upper = f[i] == u'A';
        out += pm ? (upper ? u"PM" : u"pm") : (upper ? u"AM" : u"am");
        used = 5;
        return true;
    }
    if (starts_nocase(f, i, u"a/p")) {
        bool upper = f[i] == u'A';
        out += pm ? (upper ? u"P" : u"p") : (upper ? u"A" : u"a");
        used = 3;
        return true;
    }
    if (starts_nocase(f, i, u"ampm")) {
        out += pm ? u"PM" : u"AM";
        used = 4;
        return true;
    }
    return false;
}

bool has_ampm(std::u16string_view f)
{
    for (size_t i = 0; i < f.size(); ++i)
        if (starts_nocase(f, i, u"am/pm") || starts_nocase(f, i, u"a/p") || starts_nocase(f, i, u"ampm")) return true;
    return false;
}

std::u16string named_format(std::u16string_view f, bool date)
{
    struct row {
        const char16_t* name;
        const char16_t* pattern;
        bool date;
    };
    static const row k_rows[] = {
        {u"Long Date", u"dddddd", true},
        {u"Medium Date", u"dd-mmm-yy", true},
        {u"Short Date", u"ddddd", true},
        {u"Long Time", u"h:nn:ss AM/PM", true},
        {u"Medium Time", u"hh:nn AM/PM", true},
        {u"Short Time", u"hh:nn", true},
        {u"Currency", u"$#,##0.00;($#,##0.00)", false},
        {u"Fixed", u"0.00", false},
        {u"Standard", u"#,##0.00", false},
        {u"Percent", u"0.00%", false},
        {u"Scientific", u"0.00E+00", false},
    };
    for (const row& r : k_rows)
        if (r.date == date && jet_sql_ascii_equal_nocase(f, r.name)) return r.pattern;
    return std::u16string(f);
}

// ---- numbers ----

struct number_section {
    std::u16string prefix, suffix;
    int int_zeros = 0;
    int dec_zeros = 0;
    int dec_total = 0;
    bool has_point = false;
    bool grouping = false;
    bool percent = false;
    bool scientific = false;
    bool exp_plus = false;
    int exp_zeros = 0;
    bool has_digits = false;
};

bool is_placeholder(char16_t c)
{
    return c == u'0' || c == u'#' || c == u'.' || c == u',';
}

// Splits a section into literal prefix, number pattern and literal suffix.
number_section parse_section(std::u16string_view f)
{
    number_section s;
    bool in_number = false, done = false;
    for (size_t i = 0; i < f.size(); ++i) {
        char16_t c = f[i];
        std::u16string& lit = in_number || done ? s.suffix : s.prefix;
        if (c == u'"') {
            size_t e = f.find(u'"', i + 1);
            if (e == std::u16string_view::npos) e = f.size();
            lit += f.substr(i + 1, e - i - 1);
            i = e;
            if (in_number) done = true, in_number = false;
        } else if (c == u'\\' && i + 1 < f.size()) {
            lit += f[++i];
            if (in_number) done = true, in_number = false;
        } else if (!done && is_placeholder(c)) {
            in_number = true;
            if (c == u'.')
                s.has_point = true;
            else if (c == u',')
                s.grouping = !s.has_point;
            else if (s.has_point) {
                ++s.dec_total;
                if (c == u'0') s.dec_zeros = s.dec_total;
            } else {
                s.has_digits = true;
                if (c == u'0') ++s.int_zeros;
            }
        } else if (!done && in_number && (c == u'E' || c == u'e') && i + 1 < f.size() &&
                   (f[i + 1] == u'+' || f[i + 1] == u'-')) {
            s.scientific = true;
            s.exp_plus = f[i + 1] == u'+';
            i += 2;
            while (i < f.size() && (f[i] == u'0' || f[i] == u'#')) ++s.exp_zeros, ++i;
            --i;
        } else {
            if (c == u'%') s.percent = true;
            if (in_number) done = true, in_number = false;
            (done ? s.suffix : s.prefix) += c;
        }
    }
    return s;
}

std::u16string group_thousands(const std::string& digits)
{
    std::string out;
    int n = 0;
    for (size_t i = digits.size(); i > 0; --i) {
        if (n > 0 && n % 3 == 0) out.insert(out.begin(), ',');
        out.insert(out.begin(), digits[i - 1]);
        ++n;
    }
    return widen(out);
}

std::u16string format_section(double v, const number_section& s)
{
    if (s.percent) v *= 100;
    int exponent = 0;
    if (s.scientific && v != 0) {
        exponent = static_cast<int>(std::floor(std::log10(v)));
        v /= std::pow(10.0, exponent);
    }
    // Format rounds half away from zero, unlike Round.
    double scale = std::pow(10.0, s.dec_total);
    double r = std::floor(v * scale + 0.5 + 1e-9) / scale;
    if (s.scientific && r >= 10) {
        r /= 10;
        ++exponent;
    }
    char buf[400];
    std::snprintf(buf, sizeof buf, "%.*f", s.dec_total, r);
    std::string text = buf;
    std::string int_part = text.substr(0, text.find('.'));
    std::string dec_part = s.dec_total > 0 ? text.substr(text.find('.') + 1) : "";
    while (static_cast<int>(dec_part.size()) > s.dec_zeros && !dec_part.empty() && dec_part.back() == '0')
        dec_part.pop_back();
    if (int_part == "0" && s.int_zeros == 0) int_part.clear();
    while (static_cast<int>(int_part.size()) < s.int_zeros) int_part.insert(int_part.begin(), '0');
    std::u16string out = s.prefix;
    out += s.grouping ? group_thousands(int_part) : widen(int_part);
    if (s.has_point) out += u'.';
    out += widen(dec_part);
    if (s.scientific) {
        out += exponent < 0 ? u"E-" : (s.exp_plus ? u"E+" : u"E");
        std::string e = std::to_string(std::abs(exponent));
        while (static_cast<int>(e.size()) < s.exp_zeros) e.insert(e.begin(), '0');
        out += widen(e);
    }
    return out + s.suffix;
}

std::vector<std::u16string> split_sections(std::u16string_view f)
{
    std::vector<std::u16string> out(1);
    bool quoted = false;
    for (size_t i = 0; i < f.size(); ++i) {
        if (f[i] == u'"') quoted = !quoted;
        if (f[i] == u';' && !quoted) {
            out.emplace_back();
            continue;
        }
        out.back() += f[i];
        if (f[i] == u'\\' && i + 1 < f.size()) out.back() += f[++i];
    }
    return out;
}

bool looks_like_date_format(std::u16string_view f)
{
    bool quoted = false;
    for (char16_t c : f) {
        if (c == u'"') quoted = !quoted;
        if (quoted) continue;
        char16_t l = c | 0x20;
        if (c == u'0' || c == u'#') return false;
        if (l == u'd' || l == u'm' || l == u'y' || l == u'h' || l == u'n' || l == u's' || l == u'q' || l == u'w')
            return true;
    }
    return false;
}

std::u16string apply_text_format(std::u16string text, std::u16string_view f)
{
    bool upper = f.find(u'>') != std::u16string_view::npos;
    bool lower = f.find(u'<') != std::u16string_view::npos;
    for (char16_t& c : text) {
        if (upper && c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - 32);
        if (lower && c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 32);
    }
    return text;
}

void fn_format(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    if (jet_fn_is_null(argv[0])) return sqlite3_result_null(ctx);
    int type = sqlite3_value_int(argv[1]);
    std::u16string f = argc > 2 && !jet_fn_is_null(argv[2]) ? std::u16string(jet_fn_text(argv[2])) : std::u16string();
    int vt = sqlite3_value_type(argv[0]);
    double number = 0;
    bool is_number = vt == SQLITE_INTEGER || vt == SQLITE_FLOAT;
    if (is_number) number = sqlite3_value_double(argv[0]);
    std::u16string text = vt == SQLITE_TEXT ? std::u16string(jet_fn_text(argv[0])) : std::u16string();
    if (f.empty() || jet_sql_ascii_equal_nocase(f, u"General Number") ||
        jet_sql_ascii_equal_nocase(f, u"General Date")) {
        if (is_number) return jet_fn_result(ctx, jet_sql_number_text(number, type));
        return sqlite3_result_value(ctx, argv[0]);
    }
    for (const char16_t* w : {u"Yes/No", u"True/False", u"On/Off"}) {
        if (!jet_sql_ascii_equal_nocase(f, w) || !is_number) continue;
        std::u16string names(w);
        size_t slash = names.find(u'/');
        return jet_fn_result(ctx, number != 0 ? names.substr(0, slash) : names.substr(slash + 1));
    }
    double date = 0;
    bool date_value = (is_number && type == jet_dao_date) || (vt == SQLITE_TEXT && jet_sql_date_parse(text, date));
    if (is_number && type == jet_dao_date) date = number;
    std::u16string date_pattern = named_format(f, true);
    if (date_value && (date_pattern != f || looks_like_date_format(f)))
        return jet_fn_result(ctx, jet_sql_format_date(date, date_pattern));
    if (is_number && looks_like_date_format(f) && named_format(f, false) == f)
        return jet_fn_result(ctx, jet_sql_format_date(number, f));
    if (!is_number && vt == SQLITE_TEXT) {
        double parsed;
        char* end = nullptr;
        std::string a(text.begin(), text.end());
        parsed = std::strtod(a.c_str(), &end);
        if (end == a.c_str() || *end != 0) return jet_fn_result(ctx, apply_text_format(text, f));
        number = parsed;
    }
    jet_fn_result(ctx, jet_sql_format_number(number, f));
}

}  // namespace

std::u16string jet_sql_format_date(double date, std::u16string_view f)
{
    date_ctx c;
    if (!jet_sql_date_split(date, c.dt)) return {};
    c.weekday = (((jet_sql_date_day(date) % 7) + 7 + 6) % 7);
    c.twelve_hour = has_ampm(f);
    std::u16string out;
    bool after_hour = false;
    for (size_t i = 0; i < f.size();) {
        char16_t ch = f[i];
        char16_t l = ch | 0x20;
        size_t used = 0;
        if (ch == u'"') {
            size_t e = f.find(u'"', i + 1);
            if (e == std::u16string_view::npos) e = f.size();
            out += f.substr(i + 1, e - i - 1);
            i = e + 1;
        } else if (ch == u'\\' && i + 1 < f.size()) {
            out += f[i + 1];
            i += 2;
        } else if (ampm_token(f, i, c, out, used)) {
            i += used;
        } else if (l == u'c' && (ch == u'c' || ch == u'C')) {
            out += jet_sql_date_general(date);
            ++i;
        } else if (starts_nocase(f, i, u"ttttt")) {
            out += jet_sql_format_date(date, u"h:nn:ss AM/PM");
            i += 5;
        } else if (ch < 0x80 && std::isalpha(ch) && date_token(c, l, run_length(f, i), after_hour, out)) {
            after_hour = l == u'h';
            i += run_length(f, i);
            continue;
        } else {
            out += ch;
            ++i;
        }
        if (ch != u' ' && ch != u':') after_hour = after_hour && (ch == u':' || ch == u' ');
    }
    return out;
}

std::u16string jet_sql_format_number(double v, std::u16string_view format)
{
    std::u16string f = named_format(format, false);
    std::vector<std::u16string> sections = split_sections(f);
    if (v < 0 && sections.size() > 1 && !sections[1].empty()) return format_section(-v, parse_section(sections[1]));
    if (v == 0 && sections.size() > 2 && !sections[2].empty()) return format_section(v, parse_section(sections[2]));
    number_section s = parse_section(sections[0]);
    if (!s.has_digits && !s.has_point) return s.prefix + s.suffix;
    std::u16string body = format_section(std::fabs(v), s);
    // A value that rounds to zero shows no sign.
    bool zero = body.find_first_of(u"123456789") == std::u16string::npos;
    return v < 0 && !zero ? u"-" + body : body;
}

void jet_sql_register_format(sqlite3* db)
{
    sqlite3_create_function(db, "jet_format", -1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, fn_format, nullptr,
                            nullptr);
}
