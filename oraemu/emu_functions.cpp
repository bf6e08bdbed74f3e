// SQLite functions that give translated statements Oracle's semantics.
// An Oracle error inside one is reported as SQLite's error message
// "ORA-nnnnn: ..." and turned back into the ora_error by throw_sqlite.
#include "emu_impl.h"
#include "emu_lexer.h"
#include "emu_values.h"

#include <cmath>
#include <ctime>
#include <functional>

namespace emu {

namespace {

using fn_body = std::function<void(sqlite3_context*, int, sqlite3_value**)>;

std::string arg_text(sqlite3_value* v) {
    const auto* p = reinterpret_cast<const char*>(sqlite3_value_text(v));
    return p ? std::string(p, static_cast<size_t>(sqlite3_value_bytes(v))) : std::string();
}

bool is_null(sqlite3_value* v) { return sqlite3_value_type(v) == SQLITE_NULL; }

void result_text(sqlite3_context* c, const std::string& s) {
    if (s.empty()) sqlite3_result_null(c);
    else sqlite3_result_text(c, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
}

// The number an argument holds, as canonical decimal text.
std::string arg_number(sqlite3_value* v) {
    switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER: return std::to_string(sqlite3_value_int64(v));
    case SQLITE_FLOAT: return double_text(sqlite3_value_double(v));
    default: {
        decimal d;
        if (!parse_decimal(arg_text(v), d)) throw make_error(1722);
        return decimal_text(d);
    }
    }
}

void result_number(sqlite3_context* c, const std::string& canonical) {
    if (canonical.find('.') == std::string::npos && canonical.size() < 18)
        sqlite3_result_int64(c, std::stoll(canonical));
    else
        sqlite3_result_double(c, std::stod(canonical));
}

void trampoline(sqlite3_context* c, int n, sqlite3_value** v) {
    auto* f = static_cast<fn_body*>(sqlite3_user_data(c));
    try {
        (*f)(c, n, v);
    } catch (const ora_error& e) {
        sqlite3_result_error(c, e.text.c_str(), -1);
    } catch (const std::exception& e) {
        std::string m = make_error(600, {e.what()}).text;
        sqlite3_result_error(c, m.c_str(), -1);
    }
}

void destroy(void* p) { delete static_cast<fn_body*>(p); }

void add(sqlite3* db, const char* name, int nargs, fn_body body, bool deterministic = true) {
    int flags = SQLITE_UTF8 | (deterministic ? SQLITE_DETERMINISTIC : 0);
    sqlite3_create_function_v2(db, name, nargs, flags, new fn_body(std::move(body)), trampoline, nullptr,
                               nullptr, destroy);
}

void date_functions(sqlite3* db, session::impl* s) {
    // Without a format, text is read with the session's NLS formats.
    add(db, "ora_to_date", 2, [s](sqlite3_context* c, int, sqlite3_value** v) {
        if (is_null(v[0])) return sqlite3_result_null(c);
        std::string fmt = is_null(v[1]) ? s->nls_date_format : arg_text(v[1]);
        std::string d = to_date(arg_text(v[0]), fmt);
        result_text(c, d.substr(0, 19));
    });
    add(db, "ora_to_timestamp", 2, [s](sqlite3_context* c, int, sqlite3_value** v) {
        if (is_null(v[0])) return sqlite3_result_null(c);
        std::string fmt = is_null(v[1]) ? s->nls_timestamp_format : arg_text(v[1]);
        std::string d = to_date(arg_text(v[0]), fmt);
        if (d.size() == 19) d += ".000000000";
        result_text(c, d);
    });
    add(db, "ora_sysdate", 0, [](sqlite3_context* c, int, sqlite3_value**) { result_text(c, now_date()); }, false);
    add(db, "ora_systimestamp", 0,
        [](sqlite3_context* c, int, sqlite3_value**) { result_text(c, now_timestamp()); }, false);
    add(db, "ora_date_add", 2, [](sqlite3_context* c, int, sqlite3_value** v) {
        if (is_null(v[0]) || is_null(v[1])) return sqlite3_result_null(c);
        date_parts p;
        if (!split_date(arg_text(v[0]), p)) throw make_error(1861);
        std::tm tm{};
        tm.tm_year = p.year - 1900;
        tm.tm_mon = p.month - 1;
        tm.tm_mday = p.day;
        tm.tm_hour = p.hour;
        tm.tm_min = p.minute;
        tm.tm_sec = p.second + static_cast<int>(std::llround(sqlite3_value_double(v[1]) * 86400.0));
        timegm(&tm);
        date_parts r{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, 0};
        result_text(c, date_text(r));
    });
    add(db, "ora_date_diff", 2, [](sqlite3_context* c, int, sqlite3_value** v) {
        if (is_null(v[0]) || is_null(v[1])) return sqlite3_result_null(c);
        auto secs = [](const std::string& s) {
            date_parts p;
            if (!split_date(s, p)) throw make_error(1861);
            std::tm tm{};
            tm.tm_year = p.year - 1900;
            tm.tm_mon = p.month - 1;
            tm.tm_mday = p.day;
            tm.tm_hour = p.hour;
            tm.tm_min = p.minute;
            tm.tm_sec = p.second;
            return static_cast<double>(timegm(&tm));
        };
        sqlite3_result_double(c, (secs(arg_text(v[0])) - secs(arg_text(v[1]))) / 86400.0);
    });
    add(db, "ora_date_trunc", 1, [](sqlite3_context* c, int, sqlite3_value** v) {
        if (is_null(v[0])) return sqlite3_result_null(c);
        result_text(c, arg_text(v[0]).substr(0, 10) + " 00:00:00");
    });
}

std::string to_char_number(const std::string& canonical, const std::string& fmt) {
    if (fmt.empty()) return oracle_number_text(canonical);
    // Format models are honoured for their digit count after the point.
    size_t dot = fmt.find_first_of(".D");
    decimal d;
    parse_decimal(canonical, d);
    if (dot != std::string::npos) round_to_scale(d, static_cast<int>(fmt.size() - dot - 1));
    else round_to_scale(d, 0);
    std::string t = decimal_text(d);
    if (dot != std::string::npos) {
        size_t want = fmt.size() - dot - 1;
        size_t have = t.find('.') == std::string::npos ? 0 : t.size() - t.find('.') - 1;
        if (have == 0 && want > 0) t += '.';
        t += std::string(want - have, '0');
    }
    return t;
}

void conversion_functions(sqlite3* db, session::impl* s) {
    add(db, "ora_to_char", 3, [s](sqlite3_context* c, int, sqlite3_value** v) {
        if (is_null(v[0])) return sqlite3_result_null(c);
        std::string kind = arg_text(v[2]);
        std::string fmt = is_null(v[1]) ? "" : arg_text(v[1]);
        if (kind == "N") return result_text(c, to_char_number(arg_number(v[0]), fmt));
        if (kind == "D") return result_text(c, date_to_char(arg_text(v[0]), fmt.empty() ? s->nls_date_format : fmt));
        if (kind == "T")
            return result_text(c, date_to_char(arg_text(v[0]), fmt.empty() ? s->nls_timestamp_format : fmt));
        if (sqlite3_value_type(v[0]) == SQLITE_INTEGER || sqlite3_value_type(v[0]) == SQLITE_FLOAT)
            return result_text(c, oracle_number_text(arg_number(v[0])));
        result_text(c, arg_text(v[0]));
    });
    add(db, "ora_to_number", 1, [](sqlite3_context* c, int, sqlite3_value** v) {
        if (is_null(v[0])) return sqlite3_result_null(c);
        if (sqlite3_value_type(v[0]) == SQLITE_BLOB) throw make_error(932, {"NUMBER", "BINARY"});
        result_number(c, arg_number(v[0]));
    });
    add(db, "ora_hextoraw", 1, [](sqlite3_context* c, int, sqlite3_value** v) {
        if (is_null(v[0])) return sqlite3_result_null(c);
        std::string b = sqlite3_value_type(v[0]) == SQLITE_BLOB
                            ? std::string(static_cast<const char*>(sqlite3_value_blob(v[0])),
                                          static_cast<size_t>(sqlite3_value_bytes(v[0])))
                            : hex_decode(arg_text(v[0]));
        sqlite3_result_blob(c, b.data(), static_cast<int>(b.size()), SQLITE_TRANSIENT);
    });
    add(db, "ora_single_row", 2, [](sqlite3_context* c, int, sqlite3_value** v) {
        if (sqlite3_value_int(v[1]) > 1) throw make_error(1427);
        sqlite3_result_value(c, v[0]);
    });
    add(db, "ora_rowid", 2, [](sqlite3_context* c, int, sqlite3_value** v) {
        result_text(c, make_rowid(sqlite3_value_int64(v[0]), sqlite3_value_int64(v[1])));
    });
    // The row key a ROWID text names in table object v[0]; NULL for text
    // that is no ROWID of that table (so `rowid = ora_rowid_key(..)` holds
    // exactly where ora_rowid(..) would equal the text).
    add(db, "ora_rowid_key", 2, [](sqlite3_context* c, int, sqlite3_value** v) {
        if (is_null(v[1])) return sqlite3_result_null(c);
        std::string text = arg_text(v[1]);
        int64_t obj = 0, key = 0;
        if (!parse_rowid(text, obj, key) || obj != sqlite3_value_int64(v[0]) || make_rowid(obj, key) != text)
            return sqlite3_result_null(c);
        sqlite3_result_int64(c, key);
    });
}

void text_functions(sqlite3* db) {
    add(db, "ora_concat", 2, [](sqlite3_context* c, int, sqlite3_value** v) {
        auto part = [](sqlite3_value* x) {
            if (is_null(x)) return std::string();
            int t = sqlite3_value_type(x);
            if (t == SQLITE_INTEGER || t == SQLITE_FLOAT) return oracle_number_text(arg_number(x));
            return arg_text(x);
        };
        result_text(c, part(v[0]) + part(v[1]));
    });
    add(db, "ora_case", 2, [](sqlite3_context* c, int, sqlite3_value** v) {
        if (is_null(v[0])) return sqlite3_result_null(c);
        std::string s = arg_text(v[0]);
        if (sqlite3_value_int(v[1])) {
            result_text(c, fold_upper(s));
            return;
        }
        for (char& ch : s)
            if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
        result_text(c, s);
    });
    add(db, "ora_substr", -1, [](sqlite3_context* c, int n, sqlite3_value** v) {
        if (is_null(v[0]) || is_null(v[1]) || (n > 2 && is_null(v[2]))) return sqlite3_result_null(c);
        std::u16string s = utf8_to_utf16(arg_text(v[0]));
        long long len = static_cast<long long>(s.size());
        long long p = static_cast<long long>(sqlite3_value_double(v[1]));
        if (p == 0) p = 1;
        if (p < 0) p = len + p + 1;
        if (p < 1 || p > len) return sqlite3_result_null(c);
        long long k = n > 2 ? static_cast<long long>(sqlite3_value_double(v[2])) : len;
        if (k < 1) return sqlite3_result_null(c);
        result_text(c, utf16_to_utf8(s.substr(static_cast<size_t>(p - 1), static_cast<size_t>(k))));
    });
    add(db, "ora_pad", 4, [](sqlite3_context* c, int, sqlite3_value** v) {
        if (is_null(v[0]) || is_null(v[1]) || is_null(v[2])) return sqlite3_result_null(c);
        std::u16string s = utf8_to_utf16(arg_text(v[0]));
        std::u16string pad = utf8_to_utf16(arg_text(v[2]));
        long long n = sqlite3_value_int64(v[1]);
        if (n <= 0 || pad.empty()) return sqlite3_result_null(c);
        size_t want = static_cast<size_t>(n);
        if (s.size() >= want) return result_text(c, utf16_to_utf8(s.substr(0, want)));
        std::u16string fill;
        while (fill.size() < want - s.size()) fill += pad;
        fill.resize(want - s.size());
        result_text(c, utf16_to_utf8(sqlite3_value_int(v[3]) ? fill + s : s + fill));
    });
}

void number_functions(sqlite3* db) {
    add(db, "ora_div", 2, [](sqlite3_context* c, int, sqlite3_value** v) {
        if (is_null(v[0]) || is_null(v[1])) return sqlite3_result_null(c);
        double b = sqlite3_value_double(v[1]);
        if (b == 0) throw make_error(1476);
        double a = sqlite3_value_double(v[0]);
        double r = a / b;
        if (r == std::floor(r) && std::fabs(r) < 9e15) sqlite3_result_int64(c, static_cast<int64_t>(r));
        else sqlite3_result_double(c, r);
    });
    add(db, "ora_mod", 2, [](sqlite3_context* c, int, sqlite3_value** v) {
        if (is_null(v[0]) || is_null(v[1])) return sqlite3_result_null(c);
        double b = sqlite3_value_double(v[1]);
        double a = sqlite3_value_double(v[0]);
        if (b == 0) return sqlite3_result_double(c, a);
        double r = std::fmod(a, b);
        result_number(c, double_text(r));
    });
    auto round_or_trunc = [](bool round) {
        return [round](sqlite3_context* c, int, sqlite3_value** v) {
            if (is_null(v[0]) || is_null(v[1])) return sqlite3_result_null(c);
            decimal d;
            parse_decimal(arg_number(v[0]), d);
            int scale = sqlite3_value_int(v[1]);
            if (round) {
                round_to_scale(d, scale);
            } else {
                int keep = d.point + scale;
                if (keep < static_cast<int>(d.digits.size())) {
                    d.digits.resize(keep < 0 ? 0 : static_cast<size_t>(keep));
                    if (d.digits.empty()) d = decimal{};
                }
            }
            result_number(c, decimal_text(d));
        };
    };
    add(db, "ora_round", 2, round_or_trunc(true));
    add(db, "ora_trunc", 2, round_or_trunc(false));
}

void sequence_functions(sqlite3* db, session::impl* s) {
    add(db, "ora_nextval", 2, [s](sqlite3_context* c, int, sqlite3_value** v) {
        result_text(c, s->nextval(arg_text(v[0]), arg_text(v[1])));
    }, false);
    add(db, "ora_currval", 2, [s](sqlite3_context* c, int, sqlite3_value** v) {
        result_text(c, s->currval_of(arg_text(v[0]), arg_text(v[1])));
    }, false);
}

}  // namespace

void register_functions(sqlite3* db, session::impl* s) {
    date_functions(db, s);
    conversion_functions(db, s);
    text_functions(db);
    number_functions(db);
    sequence_functions(db, s);
}

}  // namespace emu
