#include "ole_date_parser.h"

#include <ctime>
#include <string>
#include <vector>

namespace {

struct token {
    enum kind_t { number, month, colon, ampm } kind;
    int32_t value = 0;       // number, month 1..12, or 0 AM / 1 PM
    int32_t digits = 0;      // for numbers: how many digits were written
    bool after_dot = false;  // a number that directly follows '.'
    bool spaced = false;     // separators stand between it and the token before
};

bool is_alpha(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool is_digit(char c)
{
    return c >= '0' && c <= '9';
}

std::string lower(std::string_view s)
{
    std::string r(s);
    for (char& c : r)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return r;
}

const char* const month_names[12] = {"january", "february", "march",     "april",   "may",      "june",
                                     "july",    "august",   "september", "october", "november", "december"};
const char* const day_names[7] = {"sunday", "monday", "tuesday", "wednesday", "thursday", "friday", "saturday"};

// A full name or its first three letters ("sept" is accepted too).
bool matches_name(const std::string& word, const char* name)
{
    std::string_view n(name);
    if (word == n) return true;
    if (word.size() == 3 && n.substr(0, 3) == word) return true;
    return word == "sept" && n == "september";
}

// Classifies a word; false for a word that has no place in a date.
bool classify_word(const std::string& word, std::vector<token>& out)
{
    for (int m = 0; m < 12; ++m) {
        if (matches_name(word, month_names[m])) {
            out.push_back({token::month, m + 1});
            return true;
        }
    }
    for (const char* d : day_names)
        if (matches_name(word, d)) return true;  // weekday: ignored
    if (word == "am" || word == "a") {
        out.push_back({token::ampm, 0});
        return true;
    }
    if (word == "pm" || word == "p") {
        out.push_back({token::ampm, 1});
        return true;
    }
    return false;
}

bool tokenize(std::string_view text, std::vector<token>& out)
{
    size_t i = 0;
    bool dot_before = false;
    bool spaced = false;
    while (i < text.size()) {
        char c = text[i];
        const size_t count = out.size();
        if (is_digit(c)) {
            token t{token::number};
            while (i < text.size() && is_digit(text[i])) {
                if (t.digits >= 9) return false;  // no date field is that long
                t.value = t.value * 10 + (text[i] - '0');
                ++t.digits;
                ++i;
            }
            t.after_dot = dot_before;
            out.push_back(t);
        } else if (is_alpha(c)) {
            size_t start = i;
            while (i < text.size() && is_alpha(text[i])) ++i;
            std::string word = lower(text.substr(start, i - start));
            if (i < text.size() && text[i] == '.') ++i;  // "Aug." abbreviations
            if (!classify_word(word, out)) return false;
        } else if (c == ':') {
            out.push_back({token::colon});
            ++i;
        } else if (c == ' ' || c == ',' || c == '/' || c == '-' || c == '.' || c == '\t') {
            ++i;
        } else {
            return false;
        }
        if (out.size() > count) out.back().spaced = spaced;
        spaced = out.size() == count;
        dot_before = c == '.';
    }
    return true;
}

struct pieces {
    std::vector<token> date_numbers;
    int32_t month_name = 0;
    bool has_time = false;
    int32_t hour = 0, minute = 0, second = 0;
    int32_t ampm = -1;  // -1 none, 0 AM, 1 PM
};

// True when tokens i and i+1 are a colon and a number written right
// after the token before them ("10:20", not "10: 20" or "10:-20").
bool colon_number_at(const std::vector<token>& t, size_t i)
{
    return i + 1 < t.size() && t[i].kind == token::colon && !t[i].spaced && t[i + 1].kind == token::number &&
           !t[i + 1].spaced;
}

// Splits the tokens into the time group, the AM/PM marker and the date parts.
bool split(const std::vector<token>& t, pieces& p)
{
    for (size_t i = 0; i < t.size(); ++i) {
        const token& k = t[i];
        if (k.kind == token::number && colon_number_at(t, i + 1)) {
            if (p.has_time) return false;
            p.has_time = true;
            p.hour = k.value;
            p.minute = t[i + 2].value;
            i += 2;
            if (colon_number_at(t, i + 1)) {
                p.second = t[i + 2].value;
                i += 2;
            } else if (i + 1 < t.size() && t[i + 1].kind == token::colon) {
                return false;
            }
            // A fraction of a second ("10:00:00.5") is not part of this grammar.
            if (i + 1 < t.size() && t[i + 1].kind == token::number && t[i + 1].after_dot) return false;
        } else if (k.kind == token::number) {
            p.date_numbers.push_back(k);
        } else if (k.kind == token::month) {
            if (p.month_name != 0) return false;
            p.month_name = k.value;
        } else if (k.kind == token::ampm) {
            if (p.ampm >= 0) return false;
            if (!p.has_time) {
                // "5 PM": the number just before the marker is the hour.
                if (p.date_numbers.empty() || i == 0 || t[i - 1].kind != token::number) return false;
                p.has_time = true;
                p.hour = p.date_numbers.back().value;
                p.date_numbers.pop_back();
            }
            p.ampm = k.value;
        } else {
            return false;  // a stray colon
        }
    }
    return true;
}

bool apply_ampm(pieces& p)
{
    if (p.ampm < 0) return p.hour <= 23;
    if (p.hour > 12) return false;
    if (p.hour == 12) p.hour = 0;
    if (p.ampm == 1) p.hour += 12;
    return true;
}

bool looks_like_year(const token& t)
{
    return t.digits >= 3 || t.value > 31;
}

int32_t full_year(const token& t)
{
    if (t.digits <= 2) return t.value < 30 ? 2000 + t.value : 1900 + t.value;
    return t.value;
}

struct ymd {
    int32_t y = 0, m = 0, d = 0;
};

bool resolve_numeric(const std::vector<token>& n, int32_t default_year, ymd& r)
{
    if (n.size() == 3) {
        if (looks_like_year(n[0])) {
            r = {full_year(n[0]), n[1].value, n[2].value};
            if (r.m > 12 && r.d <= 12) std::swap(r.m, r.d);
        } else {
            r = {full_year(n[2]), n[0].value, n[1].value};
            if (r.m > 12 && r.d <= 12) std::swap(r.m, r.d);
        }
        return true;
    }
    if (n.size() == 2) {
        if (looks_like_year(n[0])) {
            r = {full_year(n[0]), n[1].value, 1};
        } else if (looks_like_year(n[1])) {
            r = {full_year(n[1]), n[0].value, 1};
        } else {
            r = {default_year, n[0].value, n[1].value};
            if (r.m > 12 && r.d <= 12) std::swap(r.m, r.d);
        }
        return true;
    }
    return false;
}

bool resolve_named(const std::vector<token>& n, int32_t month, int32_t default_year, ymd& r)
{
    if (n.size() == 1) {
        if (looks_like_year(n[0]))
            r = {full_year(n[0]), month, 1};
        else
            r = {default_year, month, n[0].value};
        return true;
    }
    if (n.size() == 2) {
        if (looks_like_year(n[0]))
            r = {full_year(n[0]), month, n[1].value};
        else
            r = {full_year(n[1]), month, n[0].value};
        return true;
    }
    return false;
}

int32_t current_year()
{
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    return tm.tm_year + 1900;
}

}  // namespace

ole_date_parser::ole_date_parser(int32_t default_year) : default_year_(default_year) {}

bool ole_date_parser::parse(std::string_view text, ole_systemtime& out) const
{
    out = ole_systemtime{};
    std::vector<token> tokens;
    pieces p;
    if (!tokenize(text, tokens) || tokens.empty() || !split(tokens, p)) return false;
    if (p.has_time && (!apply_ampm(p) || p.minute > 59 || p.second > 59)) return false;

    ymd r{1899, 12, 30};
    const int32_t year = default_year_ != 0 ? default_year_ : current_year();
    if (p.month_name != 0) {
        if (!resolve_named(p.date_numbers, p.month_name, year, r)) return false;
    } else if (!p.date_numbers.empty()) {
        if (!resolve_numeric(p.date_numbers, year, r)) return false;
    } else if (!p.has_time) {
        return false;
    }
    if (r.y < 100 || r.y > 9999 || r.m < 1 || r.m > 12) return false;
    if (r.d < 1 || static_cast<uint32_t>(r.d) > ole_days_in_month(r.y, static_cast<uint32_t>(r.m))) return false;

    out.year = static_cast<uint16_t>(r.y);
    out.month = static_cast<uint16_t>(r.m);
    out.day = static_cast<uint16_t>(r.d);
    out.hour = static_cast<uint16_t>(p.hour);
    out.minute = static_cast<uint16_t>(p.minute);
    out.second = static_cast<uint16_t>(p.second);
    int32_t days = ole_days_from_civil(r.y, static_cast<uint32_t>(r.m), static_cast<uint32_t>(r.d));
    out.day_of_week = static_cast<uint16_t>(((days % 7) + 7 + 6) % 7);
    return true;
}
