// Access's date functions over OLE date numbers: Date, Time, Now, Year,
// Month, Day, Hour, Minute, Second, Weekday, WeekdayName, MonthName,
// DateSerial, TimeSerial, DateAdd, DateDiff, DatePart, DateValue,
// TimeValue, with Access's interval codes (yyyy q m y d w ww h n s).
#include "jet_sql_date.h"
#include "jet_sql_function_util.h"
#include "jet_sql_lexer.h"

namespace {

const char16_t* const k_month_names[] = {u"January", u"February", u"March",     u"April",   u"May",      u"June",
                                         u"July",    u"August",   u"September", u"October", u"November", u"December"};
const char16_t* const k_day_names[] = {u"Sunday",   u"Monday", u"Tuesday", u"Wednesday",
                                       u"Thursday", u"Friday", u"Saturday"};

// A date argument: numbers are date numbers, text is read as a date.
bool date_arg(sqlite3_context* ctx, sqlite3_value* v, double& out)
{
    switch (sqlite3_value_type(v)) {
    case SQLITE_NULL: sqlite3_result_null(ctx); return false;
    case SQLITE_INTEGER:
    case SQLITE_FLOAT: out = sqlite3_value_double(v); break;
    default:
        if (!jet_sql_date_parse(jet_fn_text(v), out)) {
            jet_fn_error(ctx, jet_vb_type_mismatch);
            return false;
        }
    }
    if (out < jet_sql_date_min - 1 || out > jet_sql_date_max + 1) {
        jet_fn_error(ctx, jet_vb_invalid_call);
        return false;
    }
    return true;
}

bool split_arg(sqlite3_context* ctx, sqlite3_value* v, jet_sql_datetime& dt, double& d)
{
    if (!date_arg(ctx, v, d)) return false;
    if (!jet_sql_date_split(d, dt)) {
        jet_fn_error(ctx, jet_vb_invalid_call);
        return false;
    }
    return true;
}

// Seconds on a straight time line (the date number's fraction counts
// forward from midnight also before 1899-12-30).
int64_t linear_seconds(double date)
{
    double day = std::trunc(date);
    double frac = std::fabs(date - day);
    return static_cast<int64_t>(day) * 86400 + std::llround(frac * 86400.0);
}

double from_linear_seconds(int64_t secs)
{
    int64_t day = secs >= 0 ? secs / 86400 : -((-secs + 86399) / 86400);
    int64_t rest = secs - day * 86400;
    return jet_sql_date_compose(static_cast<int32_t>(day), rest / 86400.0);
}

// 1 = Sunday .. 7 = Saturday.
int weekday_sunday(int32_t days)
{
    return ((days % 7) + 7 + 6) % 7 + 1;
}

int weekday_from(int32_t days, int64_t first)
{
    if (first == 0) first = 1;
    return static_cast<int>((weekday_sunday(days) - first + 7) % 7) + 1;
}

void date_part_result(sqlite3_context* ctx, sqlite3_value** argv, int field)
{
    jet_sql_datetime dt;
    double d;
    if (!split_arg(ctx, argv[0], dt, d)) return;
    const int32_t values[] = {dt.year, dt.month, dt.day, dt.hour, dt.minute, dt.second};
    sqlite3_result_int(ctx, values[field]);
}

void fn_year(sqlite3_context* c, int, sqlite3_value** a)
{
    date_part_result(c, a, 0);
}
void fn_month(sqlite3_context* c, int, sqlite3_value** a)
{
    date_part_result(c, a, 1);
}
void fn_day(sqlite3_context* c, int, sqlite3_value** a)
{
    date_part_result(c, a, 2);
}
void fn_hour(sqlite3_context* c, int, sqlite3_value** a)
{
    date_part_result(c, a, 3);
}
void fn_minute(sqlite3_context* c, int, sqlite3_value** a)
{
    date_part_result(c, a, 4);
}
void fn_second(sqlite3_context* c, int, sqlite3_value** a)
{
    date_part_result(c, a, 5);
}

void fn_today(sqlite3_context* ctx, int, sqlite3_value**)
{
    sqlite3_result_double(ctx, std::trunc(jet_sql_date_now()));
}

void fn_time(sqlite3_context* ctx, int, sqlite3_value**)
{
    double now = jet_sql_date_now();
    sqlite3_result_double(ctx, now - std::trunc(now));
}

void fn_now(sqlite3_context* ctx, int, sqlite3_value**)
{
    sqlite3_result_double(ctx, jet_sql_date_now());
}

void fn_weekday(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    double d;
    if (!date_arg(ctx, argv[0], d)) return;
    sqlite3_result_int(ctx, weekday_from(jet_sql_date_day(d), jet_fn_int_arg(argc, argv, 1, 1)));
}

void fn_weekdayname(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    int64_t n = jet_fn_int_arg(argc, argv, 0, 0);
    bool abbr = jet_fn_int_arg(argc, argv, 1, 0) != 0;
    int64_t first = jet_fn_int_arg(argc, argv, 2, 1);
    if (first == 0) first = 1;
    if (n < 1 || n > 7 || first < 1 || first > 7) return jet_fn_error(ctx, jet_vb_invalid_call);
    std::u16string name = k_day_names[(n - 1 + first - 1) % 7];
    jet_fn_result(ctx, abbr ? name.substr(0, 3) : name);
}

void fn_monthname(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    int64_t n = jet_fn_int_arg(argc, argv, 0, 0);
    bool abbr = jet_fn_int_arg(argc, argv, 1, 0) != 0;
    if (n < 1 || n > 12) return jet_fn_error(ctx, jet_vb_invalid_call);
    std::u16string name = k_month_names[n - 1];
    jet_fn_result(ctx, abbr ? name.substr(0, 3) : name);
}

bool serial_date(int64_t y, int64_t m, int64_t d, double& out)
{
    if (y >= 0 && y < 30)
        y += 2000;
    else if (y >= 30 && y < 100)
        y += 1900;
    int64_t total = y * 12 + (m - 1);
    int64_t year = total >= 0 ? total / 12 : -((-total + 11) / 12);
    int64_t month = total - year * 12 + 1;
    if (year < 100 || year > 9999) return false;
    int64_t days = jet_sql_days_from_civil(static_cast<int32_t>(year), static_cast<int32_t>(month), 1) + (d - 1);
    out = static_cast<double>(days);
    return out >= jet_sql_date_min && out <= jet_sql_date_max;
}

void fn_dateserial(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    for (int i = 0; i < 3; ++i)
        if (jet_fn_is_null(argv[i])) return sqlite3_result_null(ctx);
    double out;
    if (!serial_date(jet_fn_int_arg(argc, argv, 0, 0), jet_fn_int_arg(argc, argv, 1, 0),
                     jet_fn_int_arg(argc, argv, 2, 0), out))
        return jet_fn_error(ctx, jet_vb_invalid_call);
    sqlite3_result_double(ctx, out);
}

void fn_timeserial(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    for (int i = 0; i < 3; ++i)
        if (jet_fn_is_null(argv[i])) return sqlite3_result_null(ctx);
    int64_t secs = jet_fn_int_arg(argc, argv, 0, 0) * 3600 + jet_fn_int_arg(argc, argv, 1, 0) * 60 +
                   jet_fn_int_arg(argc, argv, 2, 0);
    sqlite3_result_double(ctx, from_linear_seconds(secs));
}

enum class interval { year, quarter, month, day_of_year, day, weekday, week, hour, minute, second, bad };

interval interval_of(std::u16string_view s)
{
    struct row {
        const char16_t* code;
        interval i;
    };
    static const row k_rows[] = {{u"yyyy", interval::year},     {u"q", interval::quarter}, {u"m", interval::month},
                                 {u"y", interval::day_of_year}, {u"d", interval::day},     {u"w", interval::weekday},
                                 {u"ww", interval::week},       {u"h", interval::hour},    {u"n", interval::minute},
                                 {u"s", interval::second}};
    for (const row& r : k_rows)
        if (jet_sql_ascii_equal_nocase(r.code, s)) return r.i;
    return interval::bad;
}

double add_months(double date, int64_t months, bool& ok)
{
    jet_sql_datetime dt;
    ok = jet_sql_date_split(date, dt);
    if (!ok) return 0;
    int64_t total = dt.year * 12LL + (dt.month - 1) + months;
    int64_t y = total / 12;
    int32_t m = static_cast<int32_t>(total % 12) + 1;
    if (y < 100 || y > 9999) {
        ok = false;
        return 0;
    }
    dt.year = static_cast<int32_t>(y);
    dt.month = m;
    dt.day = std::min(dt.day, jet_sql_days_in_month(dt.year, m));
    return jet_sql_date_make(dt);
}

void fn_dateadd(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (jet_fn_is_null(argv[0]) || jet_fn_is_null(argv[1])) return sqlite3_result_null(ctx);
    interval iv = interval_of(jet_fn_text(argv[0]));
    double n, d;
    if (iv == interval::bad) return jet_fn_error(ctx, jet_vb_invalid_call);
    if (!jet_fn_number(ctx, argv[1], n) || !date_arg(ctx, argv[2], d)) return;
    int64_t k = static_cast<int64_t>(std::trunc(n));
    bool ok = true;
    double r = 0;
    switch (iv) {
    case interval::year: r = add_months(d, k * 12, ok); break;
    case interval::quarter: r = add_months(d, k * 3, ok); break;
    case interval::month: r = add_months(d, k, ok); break;
    case interval::day_of_year:
    case interval::day:
    case interval::weekday: r = from_linear_seconds(linear_seconds(d) + k * 86400); break;
    case interval::week: r = from_linear_seconds(linear_seconds(d) + k * 7 * 86400); break;
    case interval::hour: r = from_linear_seconds(linear_seconds(d) + k * 3600); break;
    case interval::minute: r = from_linear_seconds(linear_seconds(d) + k * 60); break;
    case interval::second: r = from_linear_seconds(linear_seconds(d) + k); break;
    case interval::bad: break;
    }
    if (!ok || r < jet_sql_date_min || r > jet_sql_date_max) return jet_fn_error(ctx, jet_vb_invalid_call);
    sqlite3_result_double(ctx, r);
}

int64_t floor_div(int64_t a, int64_t b)
{
    int64_t q = a / b;
    return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}

void fn_datediff(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    if (jet_fn_is_null(argv[0])) return sqlite3_result_null(ctx);
    interval iv = interval_of(jet_fn_text(argv[0]));
    if (iv == interval::bad) return jet_fn_error(ctx, jet_vb_invalid_call);
    jet_sql_datetime a, b;
    double da, db;
    if (!split_arg(ctx, argv[1], a, da) || !split_arg(ctx, argv[2], b, db)) return;
    int64_t first = jet_fn_int_arg(argc, argv, 3, 1);
    if (first == 0) first = 1;
    int64_t sa = linear_seconds(da), sb = linear_seconds(db);
    int64_t day_a = floor_div(sa, 86400), day_b = floor_div(sb, 86400);
    int64_t r = 0;
    switch (iv) {
    case interval::year: r = b.year - a.year; break;
    case interval::quarter: r = (b.year * 4 + (b.month - 1) / 3) - (a.year * 4 + (a.month - 1) / 3); break;
    case interval::month: r = (b.year * 12 + b.month) - (a.year * 12 + a.month); break;
    case interval::day_of_year:
    case interval::day: r = day_b - day_a; break;
    case interval::weekday: r = (day_b - day_a) / 7; break;
    case interval::week: {
        // Counts the first days of the week crossed; day 1 (1899-12-31)
        // is a Sunday.
        int64_t shift = first - 1;
        r = floor_div(day_b - 1 - shift, 7) - floor_div(day_a - 1 - shift, 7);
        break;
    }
    case interval::hour: r = floor_div(sb, 3600) - floor_div(sa, 3600); break;
    case interval::minute: r = floor_div(sb, 60) - floor_div(sa, 60); break;
    case interval::second: r = sb - sa; break;
    case interval::bad: break;
    }
    sqlite3_result_int64(ctx, r);
}

int day_of_year(const jet_sql_datetime& dt)
{
    return jet_sql_days_from_civil(dt.year, dt.month, dt.day) - jet_sql_days_from_civil(dt.year, 1, 1) + 1;
}

int week_of_year(const jet_sql_datetime& dt, int64_t first_day, int64_t first_week)
{
    int32_t jan1 = jet_sql_days_from_civil(dt.year, 1, 1);
    int offset = weekday_from(jan1, first_day) - 1;  // days of week 1 before Jan 1
    int week = (day_of_year(dt) - 1 + offset) / 7 + 1;
    if (first_week == 2 && offset > 3)
        --week;  // first week with four days
    else if (first_week == 3 && offset > 0)
        --week;  // first full week
    if (week < 1) {
        jet_sql_datetime prev{dt.year - 1, 12, 31, 0, 0, 0};
        return week_of_year(prev, first_day, first_week);
    }
    return week;
}

void fn_datepart(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    if (jet_fn_is_null(argv[0])) return sqlite3_result_null(ctx);
    interval iv = interval_of(jet_fn_text(argv[0]));
    if (iv == interval::bad) return jet_fn_error(ctx, jet_vb_invalid_call);
    jet_sql_datetime dt;
    double d;
    if (!split_arg(ctx, argv[1], dt, d)) return;
    int64_t first_day = jet_fn_int_arg(argc, argv, 2, 1);
    int64_t first_week = jet_fn_int_arg(argc, argv, 3, 1);
    if (first_day == 0) first_day = 1;
    if (first_week == 0) first_week = 1;
    int r = 0;
    switch (iv) {
    case interval::year: r = dt.year; break;
    case interval::quarter: r = (dt.month - 1) / 3 + 1; break;
    case interval::month: r = dt.month; break;
    case interval::day_of_year: r = day_of_year(dt); break;
    case interval::day: r = dt.day; break;
    case interval::weekday: r = weekday_from(jet_sql_date_day(d), first_day); break;
    case interval::week: r = week_of_year(dt, first_day, first_week); break;
    case interval::hour: r = dt.hour; break;
    case interval::minute: r = dt.minute; break;
    case interval::second: r = dt.second; break;
    case interval::bad: break;
    }
    sqlite3_result_int(ctx, r);
}

void fn_datevalue(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    double d;
    if (date_arg(ctx, argv[0], d)) sqlite3_result_double(ctx, std::trunc(d));
}

void fn_timevalue(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    double d;
    if (date_arg(ctx, argv[0], d)) sqlite3_result_double(ctx, jet_sql_date_time_fraction(d));
}

// A stored Date/Time Extended value as a date number.
void fn_xdate(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    sqlite3_result_double(ctx, jet_sql_ticks_date(sqlite3_value_int64(argv[0])));
}

}  // namespace

void jet_sql_register_date_functions(sqlite3* db)
{
    struct row {
        const char* name;
        int args;
        void (*fn)(sqlite3_context*, int, sqlite3_value**);
        bool deterministic;
    };
    static const row k_rows[] = {
        {"jet_year", 1, fn_year, true},
        {"jet_month", 1, fn_month, true},
        {"jet_day", 1, fn_day, true},
        {"jet_hour", 1, fn_hour, true},
        {"jet_minute", 1, fn_minute, true},
        {"jet_second", 1, fn_second, true},
        {"jet_today", 0, fn_today, false},
        {"jet_time", 0, fn_time, false},
        {"jet_now", 0, fn_now, false},
        {"jet_weekday", -1, fn_weekday, true},
        {"jet_weekdayname", -1, fn_weekdayname, true},
        {"jet_monthname", -1, fn_monthname, true},
        {"jet_dateserial", 3, fn_dateserial, true},
        {"jet_timeserial", 3, fn_timeserial, true},
        {"jet_dateadd", 3, fn_dateadd, true},
        {"jet_datediff", -1, fn_datediff, true},
        {"jet_datepart", -1, fn_datepart, true},
        {"jet_datevalue", 1, fn_datevalue, true},
        {"jet_timevalue", 1, fn_timevalue, true},
        {"jet_xdate", 1, fn_xdate, true},
    };
    for (const row& r : k_rows)
        sqlite3_create_function(db, r.name, r.args, SQLITE_UTF8 | (r.deterministic ? SQLITE_DETERMINISTIC : 0), nullptr,
                                r.fn, nullptr, nullptr);
}
