#include "emu_values.h"

#include "emu_session.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <vector>

namespace emu {

// ---- numbers ---------------------------------------------------------------

namespace {

void strip(decimal& d) {
    size_t lead = 0;
    while (lead < d.digits.size() && d.digits[lead] == '0') ++lead;
    d.digits.erase(0, lead);
    d.point -= static_cast<int>(lead);
    while (!d.digits.empty() && d.digits.back() == '0') d.digits.pop_back();
    if (d.digits.empty()) {
        d.point = 0;
        d.negative = false;
    }
}

// Keeps the first n digits, rounding half away from zero.
void keep_digits(decimal& d, int n) {
    if (n >= static_cast<int>(d.digits.size())) return;
    if (n < 0) {
        d.digits.clear();
        strip(d);
        return;
    }
    bool up = d.digits[static_cast<size_t>(n)] >= '5';
    d.digits.resize(static_cast<size_t>(n));
    if (up) {
        int i = n - 1;
        while (i >= 0 && d.digits[static_cast<size_t>(i)] == '9') d.digits[static_cast<size_t>(i--)] = '0';
        if (i < 0) {
            d.digits.insert(d.digits.begin(), '1');
            ++d.point;
        } else {
            ++d.digits[static_cast<size_t>(i)];
        }
    }
    strip(d);
}

std::string trim_blanks(std::string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
    return std::string(s.substr(b, e - b));
}

}  // namespace

bool parse_decimal(std::string_view text, decimal& out) {
    std::string s = trim_blanks(text);
    out = decimal{};
    size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) out.negative = s[i++] == '-';
    bool any = false, dot = false;
    int point = 0;
    for (; i < s.size(); ++i) {
        char c = s[i];
        if (std::isdigit(static_cast<unsigned char>(c))) {
            out.digits += c;
            if (!dot) ++point;
            any = true;
        } else if (c == '.' && !dot) {
            dot = true;
        } else {
            break;
        }
    }
    if (!any) return false;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        bool eneg = false;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) eneg = s[i++] == '-';
        if (i >= s.size()) return false;
        int ex = 0;
        for (; i < s.size() && std::isdigit(static_cast<unsigned char>(s[i])); ++i) {
            ex = ex * 10 + (s[i] - '0');
            if (ex > 100000) return false;
        }
        point += eneg ? -ex : ex;
    }
    if (i != s.size()) return false;
    out.point = point;
    strip(out);
    return true;
}

void round_to_scale(decimal& d, int scale) { keep_digits(d, d.point + scale); }

void round_to_significant(decimal& d, int n) { keep_digits(d, n); }

std::string decimal_text(const decimal& d) {
    if (d.zero()) return "0";
    std::string ip, fp;
    const int len = static_cast<int>(d.digits.size());
    if (d.point <= 0) {
        ip = "0";
        fp = std::string(static_cast<size_t>(-d.point), '0') + d.digits;
    } else if (d.point >= len) {
        ip = d.digits + std::string(static_cast<size_t>(d.point - len), '0');
    } else {
        ip = d.digits.substr(0, static_cast<size_t>(d.point));
        fp = d.digits.substr(static_cast<size_t>(d.point));
    }
    return (d.negative ? "-" : "") + ip + (fp.empty() ? "" : "." + fp);
}

std::string oracle_number_text(std::string_view c) {
    std::string s(c);
    if (s.rfind("0.", 0) == 0) return s.substr(1);
    if (s.rfind("-0.", 0) == 0) return "-" + s.substr(2);
    return s;
}

// Whether number_for_column would give back `text`, a number in canonical
// form, unchanged: no digit to round away and within the column's range.
// Conservative: false sends the value the long way.
bool number_stored_as_is(std::string_view text, int precision, int scale, int float_bits) {
    size_t i = !text.empty() && text[0] == '-' ? 1 : 0;
    const size_t dot = text.find('.', i);
    const std::string_view ip = text.substr(i, dot == std::string_view::npos ? std::string_view::npos : dot - i);
    const std::string_view fp = dot == std::string_view::npos ? std::string_view() : text.substr(dot + 1);
    const bool whole_zero = ip == "0";
    const size_t int_digits = whole_zero ? 0 : ip.size();
    size_t lead = 0;  // zeros after the point before the first digit
    if (whole_zero) while (lead < fp.size() && fp[lead] == '0') ++lead;
    const size_t significant = int_digits + fp.size() - lead;
    if (int_digits > 38 || lead > 120) return false;  // near the range's ends
    if (float_bits > 0) return significant <= static_cast<size_t>(std::ceil(float_bits * 0.30103));
    if (precision < 0 && scale < 0) return significant <= 38;
    const int s = scale == -1 ? 0 : scale;
    const int p = precision < 0 ? 38 : precision;
    if (s < 0 || s > p) return false;
    return fp.size() <= static_cast<size_t>(s) && int_digits <= static_cast<size_t>(p - s);
}

std::string number_for_column(std::string_view text, int precision, int scale, int float_bits) {
    decimal d;
    if (!parse_decimal(text, d)) throw make_error(1722);
    if (float_bits > 0) {
        round_to_significant(d, static_cast<int>(std::ceil(float_bits * 0.30103)));
    } else if (precision < 0 && scale < 0) {
        round_to_significant(d, 38);
    } else {
        // -1 stands for "no scale" (NUMBER(p)); other negative scales round
        // to the left of the point.
        const int s = scale == -1 ? 0 : scale;
        const int p = precision < 0 ? 38 : precision;
        round_to_scale(d, s);
        if (!d.zero() && d.point > p - s) throw make_error(1438);
    }
    if (!d.zero() && d.point > 126) throw make_error(1426);
    if (!d.zero() && d.point < -129) d = decimal{};
    return decimal_text(d);
}

std::string double_text(double v) {
    if (std::isnan(v) || std::isinf(v)) throw make_error(1426);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15e", v);
    decimal d;
    parse_decimal(buf, d);
    return decimal_text(d);
}

// ---- dates -------------------------------------------------------------------

namespace {

const char* const month_names[] = {"JANUARY", "FEBRUARY", "MARCH", "APRIL", "MAY", "JUNE", "JULY",
                                   "AUGUST", "SEPTEMBER", "OCTOBER", "NOVEMBER", "DECEMBER"};

bool leap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int days_in_month(int y, int m) {
    static const int d[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && leap(y) ? 29 : d[m - 1];
}

std::tm local_now() {
    std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    return tm;
}

std::string upper_ascii(std::string_view s) {
    std::string r(s);
    for (char& c : r) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return r;
}

// One element of a format model.
struct fmt_elem {
    std::string code;   // YYYY, MM, ... or "" for literal text
    std::string literal;
};

std::vector<fmt_elem> split_format(std::string_view fmt) {
    static const char* codes[] = {"SYYYY", "YYYY", "RRRR", "MONTH", "HH24", "HH12", "YYY", "MON",
                                  "DDD",   "A.M.", "P.M.", "YY",    "RR",   "MM",   "DD", "HH",
                                  "MI",    "SS",   "AM",   "PM",    "FF1",  "FF2",  "FF3", "FF4",
                                  "FF5",   "FF6",  "FF7",  "FF8",   "FF9",  "FF",   "DY",  "DAY",
                                  "Y",     "FX",   "X"};
    std::vector<fmt_elem> out;
    std::string u = upper_ascii(fmt);
    size_t i = 0;
    while (i < u.size()) {
        if (u[i] == '"') {
            size_t e = u.find('"', i + 1);
            if (e == std::string::npos) throw make_error(1821);
            out.push_back({"", std::string(fmt.substr(i + 1, e - i - 1))});
            i = e + 1;
            continue;
        }
        bool matched = false;
        for (const char* c : codes) {
            size_t n = std::char_traits<char>::length(c);
            if (u.compare(i, n, c) == 0) {
                out.push_back({c, ""});
                i += n;
                matched = true;
                break;
            }
        }
        if (matched) continue;
        if (std::isalnum(static_cast<unsigned char>(u[i]))) throw make_error(1821);
        out.push_back({"", std::string(1, u[i])});
        ++i;
    }
    return out;
}

class date_reader {
public:
    date_reader(std::string_view s) : s_(s) {}

    bool done() {
        return i_ >= s_.size();
    }

    void skip_punct() {
        while (i_ < s_.size() && !std::isalnum(static_cast<unsigned char>(s_[i_]))) ++i_;
    }

    int number(size_t max_digits) {
        skip_punct();
        size_t b = i_;
        bool neg = false;
        if (i_ < s_.size() && s_[i_] == '-') {
            neg = true;
            ++i_;
        }
        while (i_ < s_.size() && i_ - b < max_digits + (neg ? 1 : 0) &&
               std::isdigit(static_cast<unsigned char>(s_[i_])))
            ++i_;
        if (i_ == b || (neg && i_ == b + 1)) throw make_error(1858);
        int v = std::stoi(std::string(s_.substr(b + (neg ? 1 : 0), i_ - b - (neg ? 1 : 0))));
        return neg ? -v : v;
    }

    size_t digits_read_last(size_t b) const { return i_ - b; }
    size_t pos() const { return i_; }

    int month_name(bool full) {
        skip_punct();
        size_t b = i_;
        while (i_ < s_.size() && std::isalpha(static_cast<unsigned char>(s_[i_]))) ++i_;
        std::string w = upper_ascii(s_.substr(b, i_ - b));
        for (int m = 0; m < 12; ++m) {
            std::string full_name = month_names[m];
            if (w == full_name || w == full_name.substr(0, 3)) return m + 1;
        }
        (void)full;
        throw make_error(1843);
    }

    bool meridian_pm() {
        skip_punct();
        std::string w;
        while (i_ < s_.size() && (std::isalpha(static_cast<unsigned char>(s_[i_])) || s_[i_] == '.'))
            w += static_cast<char>(std::toupper(static_cast<unsigned char>(s_[i_++])));
        if (w == "AM" || w == "A.M.") return false;
        if (w == "PM" || w == "P.M.") return true;
        throw make_error(1855);
    }

    void literal(const std::string& lit) {
        if (s_.compare(i_, lit.size(), lit) == 0) i_ += lit.size();
        else if (std::isalnum(static_cast<unsigned char>(lit[0]))) throw make_error(1861);
    }

    bool rest_blank() const {
        for (size_t j = i_; j < s_.size(); ++j)
            if (s_[j] != ' ') return false;
        return true;
    }

private:
    std::string_view s_;
    size_t i_ = 0;
};

int rr_year(int yy) {
    int cur = local_now().tm_year + 1900;
    int century = cur / 100 * 100;
    int cur_yy = cur % 100;
    if (yy < 50) return cur_yy < 50 ? century + yy : century + 100 + yy;
    return cur_yy < 50 ? century - 100 + yy : century + yy;
}

struct date_fields {
    int year = -1, month = -1, day = -1, hour = 0, minute = 0, second = 0;
    int hour12 = -1;
    bool pm = false, has_meridian = false;
    int64_t nanos = 0;
};

void read_element(date_reader& r, const fmt_elem& e, date_fields& f) {
    const std::string& c = e.code;
    if (c.empty()) {
        if (!std::isalnum(static_cast<unsigned char>(e.literal[0]))) r.skip_punct();
        else r.literal(e.literal);
        return;
    }
    if (c == "YYYY" || c == "SYYYY" || c == "RRRR") {
        size_t b = r.pos();
        int v = r.number(4);
        if (c == "RRRR" && r.digits_read_last(b) <= 2) v = rr_year(v);
        f.year = v;
    } else if (c == "YYY") {
        f.year = local_now().tm_year + 1900 - (local_now().tm_year + 1900) % 1000 + r.number(3);
    } else if (c == "YY") {
        f.year = local_now().tm_year + 1900 - (local_now().tm_year + 1900) % 100 + r.number(2);
    } else if (c == "Y") {
        f.year = local_now().tm_year + 1900 - (local_now().tm_year + 1900) % 10 + r.number(1);
    } else if (c == "RR") {
        size_t b = r.pos();
        int v = r.number(4);
        f.year = r.digits_read_last(b) <= 2 ? rr_year(v) : v;
    } else if (c == "MM") {
        f.month = r.number(2);
        if (f.month < 1 || f.month > 12) throw make_error(1843);
    } else if (c == "MON" || c == "MONTH") {
        f.month = r.month_name(c == "MONTH");
    } else if (c == "DD") {
        f.day = r.number(2);
        if (f.day < 1 || f.day > 31) throw make_error(1847);
    } else if (c == "HH24") {
        f.hour = r.number(2);
        if (f.hour > 23 || f.hour < 0) throw make_error(1850);
    } else if (c == "HH" || c == "HH12") {
        f.hour12 = r.number(2);
        if (f.hour12 < 1 || f.hour12 > 12) throw make_error(1849);
    } else if (c == "MI") {
        f.minute = r.number(2);
        if (f.minute > 59 || f.minute < 0) throw make_error(1851);
    } else if (c == "SS") {
        f.second = r.number(2);
        if (f.second > 59 || f.second < 0) throw make_error(1852);
    } else if (c == "AM" || c == "PM" || c == "A.M." || c == "P.M.") {
        f.pm = r.meridian_pm();
        f.has_meridian = true;
    } else if (c.rfind("FF", 0) == 0) {
        // FFn reads at most n digits; a longer fraction is ORA-01830.
        size_t b = r.pos();
        int v = r.number(c.size() > 2 ? static_cast<size_t>(c[2] - '0') : 9);
        size_t n = r.digits_read_last(b);
        int64_t ns = v;
        for (size_t k = n; k < 9; ++k) ns *= 10;
        f.nanos = ns;
    } else if (c == "X") {
        // the radix character, '.' in the session's territory
        r.literal(".");
    } else if (c == "FX") {
        // exact matching is not enforced
    } else {
        throw make_error(1821);
    }
}

}  // namespace

std::string to_date(std::string_view text, std::string_view format) {
    std::vector<fmt_elem> elems = split_format(format);
    date_reader r(text);
    date_fields f;
    for (const auto& e : elems) {
        r.skip_punct();
        if (r.done()) break;
        read_element(r, e, f);
    }
    if (!r.rest_blank()) throw make_error(1830);
    std::tm now = local_now();
    date_parts p;
    p.year = f.year < 0 ? now.tm_year + 1900 : f.year;
    p.month = f.month < 0 ? now.tm_mon + 1 : f.month;
    p.day = f.day < 0 ? 1 : f.day;
    if (p.year == 0 || p.year < -4713 || p.year > 9999) throw make_error(1841);
    if (p.day > days_in_month(p.year, p.month)) throw make_error(1839);
    p.hour = f.hour12 >= 0 ? (f.hour12 % 12) + (f.pm ? 12 : 0) : f.hour;
    p.minute = f.minute;
    p.second = f.second;
    p.nanos = f.nanos;
    return f.nanos ? timestamp_text(p) : date_text(p);
}

namespace {

// "YYYY-MM-DD HH:MI:SS" with every digit in its place, the form stored
// values and bound dates have: read without sscanf.
bool split_plain_date(std::string_view s, date_parts& p) {
    static const char shape[] = "0000-00-00 00:00:00";
    for (size_t i = 0; i < 19; ++i) {
        bool digit = s[i] >= '0' && s[i] <= '9';
        if (shape[i] == '0' ? !digit : s[i] != shape[i]) return false;
    }
    auto num = [&](size_t at, size_t n) {
        int v = 0;
        for (size_t i = at; i < at + n; ++i) v = v * 10 + (s[i] - '0');
        return v;
    };
    p.year = num(0, 4), p.month = num(5, 2), p.day = num(8, 2);
    p.hour = num(11, 2), p.minute = num(14, 2), p.second = num(17, 2);
    return true;
}

void put_digits(std::string& out, int v, int width) {
    char buf[8];
    for (int i = width - 1; i >= 0; --i, v /= 10) buf[i] = static_cast<char>('0' + v % 10);
    out.append(buf, static_cast<size_t>(width));
}

}  // namespace

bool split_date(std::string_view s, date_parts& p) {
    if (s.size() < 19) return false;
    if (split_plain_date(s, p)) {
        p.nanos = 0;
        if (s.size() > 20 && s[19] == '.') {
            std::string fr(s.substr(20));
            fr.resize(9, '0');
            p.nanos = std::stoll(fr);
        }
        return true;
    }
    std::string t(s);
    int n = std::sscanf(t.c_str(), "%d-%d-%d %d:%d:%d", &p.year, &p.month, &p.day, &p.hour, &p.minute,
                        &p.second);
    if (n != 6) return false;
    p.nanos = 0;
    if (t.size() > 20 && t[19] == '.') {
        std::string fr = t.substr(20);
        fr.resize(9, '0');
        p.nanos = std::stoll(fr);
    }
    return true;
}

std::string date_text(const date_parts& p) {
    if (p.year >= 0 && p.year <= 9999 && p.month >= 0 && p.month <= 99 && p.day >= 0 && p.day <= 99 &&
        p.hour >= 0 && p.hour <= 99 && p.minute >= 0 && p.minute <= 99 && p.second >= 0 && p.second <= 99) {
        std::string out;
        out.reserve(19);
        put_digits(out, p.year, 4), out += '-', put_digits(out, p.month, 2), out += '-';
        put_digits(out, p.day, 2), out += ' ', put_digits(out, p.hour, 2), out += ':';
        put_digits(out, p.minute, 2), out += ':', put_digits(out, p.second, 2);
        return out;
    }
    char buf[40];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", p.year, p.month, p.day, p.hour,
                  p.minute, p.second);
    return buf;
}

std::string timestamp_text(const date_parts& p) {
    char buf[48];
    std::snprintf(buf, sizeof buf, "%s.%09lld", date_text(p).c_str(), static_cast<long long>(p.nanos));
    return buf;
}

std::string now_date() {
    std::tm t = local_now();
    date_parts p{t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec, 0};
    return date_text(p);
}

std::string now_timestamp() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    std::tm t{};
    localtime_r(&ts.tv_sec, &t);
    date_parts p{t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec, ts.tv_nsec};
    return timestamp_text(p);
}

namespace {

void add_second(date_parts& p) {
    if (++p.second < 60) return;
    p.second = 0;
    if (++p.minute < 60) return;
    p.minute = 0;
    if (++p.hour < 24) return;
    p.hour = 0;
    if (++p.day <= days_in_month(p.year, p.month)) return;
    p.day = 1;
    if (++p.month <= 12) return;
    p.month = 1;
    ++p.year;
}

}  // namespace

std::string date_for_column(std::string_view internal, bool timestamp, int fraction_digits) {
    date_parts p;
    if (!split_date(internal, p)) throw make_error(1858);
    // Every field is checked: an impossible date is never stored.
    if (p.year == 0 || p.year < -4713 || p.year > 9999) throw make_error(1841);
    if (p.month < 1 || p.month > 12) throw make_error(1843);
    if (p.day < 1 || p.day > days_in_month(p.year, p.month)) throw make_error(1847);
    if (p.hour < 0 || p.hour > 23) throw make_error(1850);
    if (p.minute < 0 || p.minute > 59) throw make_error(1851);
    if (p.second < 0 || p.second > 59) throw make_error(1852);
    if (!timestamp) return date_text(p);
    // The fraction is rounded to the column's precision, half up; a carry
    // moves on through the seconds up to the year.
    int64_t scale = 1;
    for (int k = fraction_digits; k < 9; ++k) scale *= 10;
    p.nanos = (p.nanos + scale / 2) / scale * scale;
    if (p.nanos >= 1000000000) {
        p.nanos = 0;
        add_second(p);
    }
    return timestamp_text(p);
}

std::string date_to_char(std::string_view date, std::string_view format) {
    date_parts p;
    if (!split_date(date, p)) return std::string(date);
    std::string fmt = format.empty() ? "DD-MON-RR" : std::string(format);
    std::string out;
    char buf[16];
    for (const auto& e : split_format(fmt)) {
        const std::string& c = e.code;
        if (c.empty()) out += e.literal;
        else if (c == "YYYY" || c == "SYYYY" || c == "RRRR") std::snprintf(buf, sizeof buf, "%04d", p.year), out += buf;
        else if (c == "YY" || c == "RR") std::snprintf(buf, sizeof buf, "%02d", p.year % 100), out += buf;
        else if (c == "MM") std::snprintf(buf, sizeof buf, "%02d", p.month), out += buf;
        else if (c == "MON") out += std::string(month_names[p.month - 1]).substr(0, 3);
        else if (c == "MONTH") {
            std::string m = month_names[p.month - 1];
            m.resize(9, ' ');
            out += m;
        } else if (c == "DD") std::snprintf(buf, sizeof buf, "%02d", p.day), out += buf;
        else if (c == "HH24") std::snprintf(buf, sizeof buf, "%02d", p.hour), out += buf;
        else if (c == "HH" || c == "HH12") std::snprintf(buf, sizeof buf, "%02d", p.hour % 12 == 0 ? 12 : p.hour % 12), out += buf;
        else if (c == "MI") std::snprintf(buf, sizeof buf, "%02d", p.minute), out += buf;
        else if (c == "SS") std::snprintf(buf, sizeof buf, "%02d", p.second), out += buf;
        else if (c == "AM" || c == "PM") out += p.hour < 12 ? "AM" : "PM";
        else if (c == "X") out += '.';
        else if (c.rfind("FF", 0) == 0) {
            std::snprintf(buf, sizeof buf, "%09lld", static_cast<long long>(p.nanos));
            size_t n = c.size() > 2 ? static_cast<size_t>(c[2] - '0') : 9;
            out += std::string(buf).substr(0, n);
        } else throw make_error(1821);
    }
    return out;
}

// ---- text ----------------------------------------------------------------------

void append_utf8(uint32_t cp, std::string& out) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

void append_utf16(uint32_t cp, std::u16string& out) {
    if (cp >= 0x10000) {
        cp -= 0x10000;
        out += static_cast<char16_t>(0xD800 + (cp >> 10));
        out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
        out += static_cast<char16_t>(cp);
    }
}

std::u16string utf8_to_utf16(std::string_view s) {
    std::u16string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size();) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        uint32_t cp;
        size_t n;
        if (c < 0x80) cp = c, n = 1;
        else if ((c >> 5) == 6) cp = c & 0x1F, n = 2;
        else if ((c >> 4) == 14) cp = c & 0x0F, n = 3;
        else if ((c >> 3) == 30) cp = c & 0x07, n = 4;
        else {
            out += u'\xFFFD';
            ++i;
            continue;
        }
        if (i + n > s.size()) {
            out += u'\xFFFD';
            break;
        }
        for (size_t k = 1; k < n; ++k) cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
        i += n;
        emu::append_utf16(cp, out);
    }
    return out;
}

std::string utf16_to_utf8(std::u16string_view s) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        uint32_t cp = s[i];
        // A lone surrogate is kept as its own 3-byte sequence, so that a
        // CLOB written in pieces that split a pair comes together again.
        if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        }
        emu::append_utf8(cp, out);
    }
    return out;
}

size_t utf8_chars(std::string_view s) {
    size_t n = 0;
    for (char c : s)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++n;
    return n;
}

size_t utf16_units(std::string_view s) {
    size_t n = 0;
    for (char c : s) {
        unsigned char u = static_cast<unsigned char>(c);
        if ((u & 0xC0) != 0x80) n += (u >= 0xF0) ? 2 : 1;
    }
    return n;
}

namespace {

// Windows-1252 places these characters at 0x80-0x9F.
bool in_cp1252_extras(uint32_t cp) {
    static const uint32_t extras[] = {0x20AC, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030,
                                      0x0160, 0x2039, 0x0152, 0x017D, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
                                      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x017E, 0x0178};
    for (uint32_t e : extras)
        if (e == cp) return true;
    return false;
}

// Calls f(code point, its UTF-8 bytes) for each character of valid UTF-8;
// a byte that starts no sequence is passed on alone with code point 0xFFFD.
template <class F>
void each_code_point(std::string_view s, F f) {
    for (size_t i = 0; i < s.size();) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (n == 0 || i + n > s.size()) {
            f(0xFFFD, s.substr(i, 1));
            ++i;
            continue;
        }
        uint32_t cp = n == 1 ? c : c & (0x7F >> n);
        for (size_t k = 1; k < n; ++k) cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
        f(cp, s.substr(i, n));
        i += n;
    }
}

}  // namespace

bool db_charset_holds(uint32_t cp, std::string_view charset) {
    if (charset == "US7ASCII") return cp < 0x80;
    if (charset == "WE8ISO8859P1") return cp < 0x100;
    if (charset == "WE8MSWIN1252") return cp < 0x80 || (cp >= 0xA0 && cp < 0x100) || in_cp1252_extras(cp);
    return cp < 0xD800 || cp >= 0xE000;
}

bool known_db_charset(std::string_view name) {
    return name == "AL32UTF8" || name == "UTF8" || single_byte_charset(name);
}

bool single_byte_charset(std::string_view name) {
    return name == "WE8MSWIN1252" || name == "WE8ISO8859P1" || name == "US7ASCII";
}

std::string in_db_charset(std::string_view utf8, std::string_view charset) {
    if (!single_byte_charset(charset)) return std::string(utf8);
    std::string out;
    out.reserve(utf8.size());
    each_code_point(utf8, [&](uint32_t cp, std::string_view bytes) {
        if (db_charset_holds(cp, charset)) out += bytes;
        else out += '?';
    });
    return out;
}

size_t db_charset_bytes(std::string_view utf8, std::string_view charset) {
    return single_byte_charset(charset) ? utf8_chars(utf8) : utf8.size();
}

std::string hex_encode(std::string_view bytes) {
    static const char* d = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (unsigned char c : bytes) {
        out += d[c >> 4];
        out += d[c & 15];
    }
    return out;
}

std::string hex_decode(std::string_view text) {
    auto val = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        throw make_error(1465);
    };
    std::string t(text);
    if (t.size() % 2) t.insert(t.begin(), '0');
    std::string out;
    out.reserve(t.size() / 2);
    for (size_t i = 0; i < t.size(); i += 2) out += static_cast<char>(val(t[i]) * 16 + val(t[i + 1]));
    return out;
}

// ---- ROWIDs ---------------------------------------------------------------------

namespace {
const char* const b64 = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
void put_b64(std::string& out, int64_t v, int width) {
    std::string s(static_cast<size_t>(width), 'A');
    for (int i = width - 1; i >= 0; --i) {
        s[static_cast<size_t>(i)] = b64[v & 63];
        v >>= 6;
    }
    out += s;
}
bool get_b64(std::string_view s, int64_t& v) {
    v = 0;
    for (char c : s) {
        const char* p = std::char_traits<char>::find(b64, 64, c);
        if (!p) return false;
        v = (v << 6) | (p - b64);
    }
    return true;
}
}  // namespace

std::string make_rowid(int64_t obj_id, int64_t key) {
    std::string out;
    put_b64(out, obj_id, 6);
    put_b64(out, 4, 3);
    put_b64(out, key >> 12, 6);
    put_b64(out, key & 4095, 3);
    return out;
}

bool parse_rowid(std::string_view text, int64_t& obj_id, int64_t& key) {
    if (text.size() != 18) return false;
    int64_t file, block, row;
    if (!get_b64(text.substr(0, 6), obj_id) || !get_b64(text.substr(6, 3), file) ||
        !get_b64(text.substr(9, 6), block) || !get_b64(text.substr(15, 3), row))
        return false;
    key = (block << 12) | row;
    return true;
}

}  // namespace emu
