#include "jet_sql_date.h"

#include <cmath>
#include <cstdio>
#include <ctime>
#include <vector>

#include "jet_sql_lexer.h"

int32_t jet_sql_days_from_civil(int32_t y, int32_t m, int32_t d)
{
    // Days since 1970-01-01 in the proleptic Gregorian calendar, then moved
    // to 1899-12-30 (25569 days earlier).
    y -= m <= 2 ? 1 : 0;
    const int32_t era = (y >= 0 ? y : y - 399) / 400;
    const int32_t yoe = y - era * 400;
    const int32_t mp = (m + 9) % 12;
    const int32_t doy = (153 * mp + 2) / 5 + d - 1;
    const int32_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468 + 25569;
}

void jet_sql_civil_from_days(int32_t days, int32_t& year, int32_t& month, int32_t& day)
{
    int32_t z = days - 25569 + 719468;
    const int32_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int32_t doe = z - era * 146097;
    const int32_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int32_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int32_t mp = (5 * doy + 2) / 153;
    day = doy - (153 * mp + 2) / 5 + 1;
    month = mp < 10 ? mp + 3 : mp - 9;
    year = yoe + era * 400 + (month <= 2 ? 1 : 0);
}

int32_t jet_sql_days_in_month(int32_t year, int32_t month)
{
    static const int32_t k_days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month == 2 && ((year % 4 == 0 && year % 100 != 0) || year % 400 == 0)) return 29;
    return k_days[(month - 1) % 12];
}

int32_t jet_sql_date_day(double date)
{
    return static_cast<int32_t>(std::trunc(date));
}

double jet_sql_date_time_fraction(double date)
{
    return std::fabs(date - std::trunc(date));
}

double jet_sql_date_compose(int32_t days, double fraction)
{
    return days >= 0 ? days + fraction : days - fraction;
}

bool jet_sql_date_split(double date, jet_sql_datetime& out)
{
    if (!std::isfinite(date) || date < jet_sql_date_min - 1 || date > jet_sql_date_max + 1) return false;
    int32_t days = jet_sql_date_day(date);
    int64_t secs = std::llround(jet_sql_date_time_fraction(date) * 86400.0);
    if (secs >= 86400) {
        // The carry moves one calendar day forward, whichever side of
        // 1899-12-30 the value lies on.
        secs -= 86400;
        days += 1;
    }
    jet_sql_civil_from_days(days, out.year, out.month, out.day);
    if (out.year < 100 || out.year > 9999) return false;
    out.hour = static_cast<int32_t>(secs / 3600);
    out.minute = static_cast<int32_t>(secs / 60 % 60);
    out.second = static_cast<int32_t>(secs % 60);
    return true;
}

double jet_sql_date_make(const jet_sql_datetime& dt)
{
    int32_t days = jet_sql_days_from_civil(dt.year, dt.month, dt.day);
    double fraction = (dt.hour * 3600.0 + dt.minute * 60.0 + dt.second) / 86400.0;
    return jet_sql_date_compose(days, fraction);
}

namespace {

struct date_token {
    bool is_number = false;
    int32_t value = 0;
    int32_t digits = 0;
    std::u16string word;
    char16_t sep = 0;  // the separator that follows
};

const char16_t* const k_months[] = {u"january", u"february", u"march",     u"april",   u"may",      u"june",
                                    u"july",    u"august",   u"september", u"october", u"november", u"december"};

int32_t month_of_word(const std::u16string& w)
{
    if (w.size() < 3) return 0;
    for (int32_t i = 0; i < 12; ++i) {
        std::u16string_view full(k_months[i]);
        if (w.size() <= full.size() && jet_sql_ascii_equal_nocase(full.substr(0, w.size()), w)) return i + 1;
    }
    return 0;
}

bool split_tokens(std::u16string_view text, std::vector<date_token>& out)
{
    size_t i = 0;
    while (i < text.size()) {
        char16_t c = text[i];
        if (c >= u'0' && c <= u'9') {
            date_token t;
            t.is_number = true;
            while (i < text.size() && text[i] >= u'0' && text[i] <= u'9') {
                if (t.digits < 9) t.value = t.value * 10 + (text[i] - u'0');
                ++t.digits;
                ++i;
            }
            out.push_back(std::move(t));
        } else if ((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z')) {
            date_token t;
            while (i < text.size() && ((text[i] >= u'a' && text[i] <= u'z') || (text[i] >= u'A' && text[i] <= u'Z')))
                t.word += text[i++];
            if (i < text.size() && text[i] == u'.') ++i;  // "Jan."
            out.push_back(std::move(t));
        } else if (c == u' ' || c == u'\t') {
            ++i;
        } else if (c == u'/' || c == u'-' || c == u'.' || c == u':' || c == u',') {
            if (out.empty() || out.back().sep != 0) return false;
            out.back().sep = c;
            ++i;
        } else {
            return false;
        }
    }
    return true;
}

int32_t expand_year(const date_token& t)
{
    if (t.digits <= 2) return t.value < 30 ? 2000 + t.value : 1900 + t.value;
    return t.value;
}

int32_t current_year()
{
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    return tm.tm_year + 1900;
}

// Takes the time tokens (numbers joined by ':' and an optional AM/PM) out
// of `tokens`.
bool take_time(std::vector<date_token>& tokens, jet_sql_datetime& dt, bool& has_time)
{
    has_time = false;
    for (size_t i = 0; i < tokens.size(); ++i) {
        if (!tokens[i].is_number || tokens[i].sep != u':') continue;
        size_t j = i;
        int32_t parts[3] = {0, 0, 0};
        int32_t n = 0;
        while (j < tokens.size() && tokens[j].is_number && n < 3) {
            parts[n++] = tokens[j].value;
            if (tokens[j].sep != u':') break;
            ++j;
        }
        if (n < 2 || j >= tokens.size()) return false;
        size_t last = j;
        if (last + 1 < tokens.size() && !tokens[last + 1].is_number) {
            const std::u16string& w = tokens[last + 1].word;
            bool pm = jet_sql_ascii_equal_nocase(w, u"pm") || jet_sql_ascii_equal_nocase(w, u"p");
            bool am = jet_sql_ascii_equal_nocase(w, u"am") || jet_sql_ascii_equal_nocase(w, u"a");
            if (pm || am) {
                if (parts[0] < 1 || parts[0] > 12) return false;
                if (pm && parts[0] != 12) parts[0] += 12;
                if (am && parts[0] == 12) parts[0] = 0;
                ++last;
            }
        }
        if (parts[0] > 23 || parts[1] > 59 || parts[2] > 59) return false;
        dt.hour = parts[0];
        dt.minute = parts[1];
        dt.second = parts[2];
        tokens.erase(tokens.begin() + static_cast<std::ptrdiff_t>(i),
                     tokens.begin() + static_cast<std::ptrdiff_t>(last) + 1);
        has_time = true;
        return true;
    }
    return true;
}

bool valid_day(int32_t y, int32_t m, int32_t d)
{
    return y >= 100 && y <= 9999 && m >= 1 && m <= 12 && d >= 1 && d <= jet_sql_days_in_month(y, m);
}

bool take_date(const std::vector<date_token>& t, jet_sql_datetime& dt)
{
    std::vector<const date_token*> nums;
    int32_t month_word = 0;
    for (const date_token& x : t) {
        if (x.is_number) {
            nums.push_back(&x);
        } else {
            int32_t m = month_of_word(x.word);
            if (m == 0 || month_word != 0) return false;
            month_word = m;
        }
    }
    int32_t y = 0, m = 0, d = 0;
    if (month_word != 0) {
        if (nums.empty() || nums.size() > 2) return false;
        m = month_word;
        if (nums.size() == 1) {
            d = nums[0]->value;
            y = current_year();
        } else if (nums[0]->digits >= 3 || nums[0]->value > 31) {
            y = expand_year(*nums[0]);
            d = nums[1]->value;
        } else {
            d = nums[0]->value;
            y = expand_year(*nums[1]);
        }
    } else if (nums.size() == 3) {
        if (nums[0]->digits >= 3 || nums[0]->value > 31) {
            y = expand_year(*nums[0]);
            m = nums[1]->value;
            d = nums[2]->value;
        } else {
            m = nums[0]->value;
            d = nums[1]->value;
            y = expand_year(*nums[2]);
            if (!valid_day(y, m, d) && valid_day(y, d, m)) std::swap(m, d);
        }
    } else if (nums.size() == 2) {
        m = nums[0]->value;
        d = nums[1]->value;
        y = current_year();
        if (!valid_day(y, m, d) && valid_day(y, d, m)) std::swap(m, d);
    } else {
        return false;
    }
    if (!valid_day(y, m, d)) return false;
    dt.year = y;
    dt.month = m;
    dt.day = d;
    return true;
}

}  // namespace

bool jet_sql_date_parse(std::u16string_view text, double& out)
{
    std::vector<date_token> tokens;
    if (!split_tokens(text, tokens) || tokens.empty()) return false;
    jet_sql_datetime dt;
    bool has_time = false;
    if (!take_time(tokens, dt, has_time)) return false;
    if (!tokens.empty()) {
        if (!take_date(tokens, dt)) return false;
    } else if (!has_time) {
        return false;
    }
    out = jet_sql_date_make(dt);
    return true;
}

std::u16string jet_sql_date_general(double date)
{
    jet_sql_datetime dt;
    if (!jet_sql_date_split(date, dt)) return {};
    std::string s;
    char buf[64];
    bool time_only = dt.year == 1899 && dt.month == 12 && dt.day == 30;
    bool has_time = dt.hour != 0 || dt.minute != 0 || dt.second != 0;
    if (!time_only || !has_time) {
        std::snprintf(buf, sizeof buf, "%d/%d/%d", dt.month, dt.day, dt.year);
        s = buf;
    }
    if (has_time) {
        int32_t h12 = dt.hour % 12 == 0 ? 12 : dt.hour % 12;
        std::snprintf(buf, sizeof buf, "%s%d:%02d:%02d %s", s.empty() ? "" : " ", h12, dt.minute, dt.second,
                      dt.hour < 12 ? "AM" : "PM");
        s += buf;
    }
    return std::u16string(s.begin(), s.end());
}

double jet_sql_date_now()
{
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    jet_sql_datetime dt;
    dt.year = tm.tm_year + 1900;
    dt.month = tm.tm_mon + 1;
    dt.day = tm.tm_mday;
    dt.hour = tm.tm_hour;
    dt.minute = tm.tm_min;
    dt.second = tm.tm_sec;
    return jet_sql_date_make(dt);
}

int64_t jet_sql_ticks_encode(double date, uint32_t ticks)
{
    return std::llround(date * 86400.0) * 10000000 + static_cast<int64_t>(ticks % 10000000);
}

void jet_sql_ticks_decode(int64_t stored, double& date, uint32_t& ticks)
{
    // Floor division: the ticks count forward from the second.
    int64_t seconds = stored / 10000000;
    int64_t rest = stored % 10000000;
    if (rest < 0) {
        --seconds;
        rest += 10000000;
    }
    date = static_cast<double>(seconds) / 86400.0;
    ticks = static_cast<uint32_t>(rest);
}

double jet_sql_ticks_date(int64_t stored)
{
    double date = 0;
    uint32_t ticks = 0;
    jet_sql_ticks_decode(stored, date, ticks);
    // Before 1899-12-30 the time of day runs away from zero.
    const double fraction = static_cast<double>(ticks) / 864e9;
    return date < 0 ? date - fraction : date + fraction;
}
