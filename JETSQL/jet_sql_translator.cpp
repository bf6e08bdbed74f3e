#include "jet_sql_translator.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>

#include "jet_sql_error.h"
#include "jet_sql_lexer.h"
#include "jet_sql_parser.h"
#include "tk_wstring.h"

namespace {

using ek = jet_sql_expr_kind;

// A translated expression: SQLite text, DAO type and size. Type 0 is the
// Null literal, which takes the type of whatever meets it.
struct xt {
    std::string sql;
    int32_t type = 0;
    int32_t size = 0;
    bool aggregate = false;
    // For a Date/Time Extended column (or Min, Max, First, Last of one):
    // the stored integer, with its 100-ns ticks, where `sql` is the date
    // number expressions compute with. An output column of it alone keeps
    // the ticks. Anything that changes the value leaves it empty.
    std::string raw{};
};

// What GROUP BY compares: the stored integer where there is one, so that
// values apart by less than a microsecond stay apart.
const std::string& group_key(const xt& v)
{
    return v.raw.empty() ? v.sql : v.raw;
}

bool is_text(int32_t t)
{
    return t == jet_dao_text || t == jet_dao_memo || t == jet_dao_guid;
}

bool is_numeric(int32_t t)
{
    switch (t) {
    case jet_dao_boolean:
    case jet_dao_byte:
    case jet_dao_integer:
    case jet_dao_long:
    case jet_dao_currency:
    case jet_dao_single:
    case jet_dao_double:
    case jet_dao_bigint:
    case jet_dao_decimal: return true;
    default: return false;
    }
}

int rank_of(int32_t t)
{
    switch (t) {
    case jet_dao_boolean: return 1;
    case jet_dao_byte: return 1;
    case jet_dao_integer: return 2;
    case jet_dao_long: return 3;
    case jet_dao_bigint: return 4;
    case jet_dao_single: return 5;
    case jet_dao_double: return 6;
    case jet_dao_date: return 6;
    case jet_dao_currency: return 7;
    case jet_dao_decimal: return 8;
    default: return 6;
    }
}

// Byte 0x01 marks table references in the generated text; it never
// appears anywhere else in it.
std::string quote_ident(std::u16string_view name)
{
    std::string u = tk_to_utf8(name);
    std::string out = "\"";
    for (char c : u) {
        if (c == '"') out += '"';
        out += c == '\x01' ? '\x02' : c;
    }
    out += '"';
    return out;
}

std::string quote_string(std::u16string_view text)
{
    std::string u = tk_to_utf8(text);
    std::string out = "'";
    for (char c : u) {
        if (c == '\'') out += '\'';
        if (c == '\x01')
            out += "' || char(1) || '";
        else
            out += c;
    }
    out += '\'';
    return out;
}

std::string number_text(double v)
{
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.17g", v);
    std::string s = buf;
    if (s.find_first_of(".eEn") == std::string::npos) s += ".0";
    return s;
}

struct source_col {
    std::u16string name;
    int32_t type = jet_dao_text;
    int32_t size = 255;
};

struct source {
    std::u16string match;       // the name a qualifier must equal
    std::string sql_alias;      // how SQLite names it
    std::u16string base_table;  // empty for a derived table
    int table = -1;             // its position in `tables_`, -1 for a derived table
    std::vector<source_col> cols;
    bool in_output = false;  // some output column comes from it
};

struct scope {
    std::vector<source> sources;
    scope* outer = nullptr;
    const jet_sql_select* select = nullptr;
    std::vector<int> alias_busy;  // items whose alias is being expanded
};

struct fn_entry {
    const char16_t* name;
    int min_args;
    int max_args;
    const char* sql_name;
    const char* args;  // per argument: s text, n number, d date, v value with its type
    int32_t result;    // DAO type; -1 the type of the first argument
};

constexpr int32_t R_ARG0 = -1;

const fn_entry k_functions[] = {
    {u"IsNumeric", 1, 1, "jet_isnumeric", "v", jet_dao_boolean},
    {u"IsDate", 1, 1, "jet_isdate", "v", jet_dao_boolean},
    {u"Len", 1, 1, "jet_len", "s", jet_dao_long},
    {u"Left", 2, 2, "jet_left", "sn", jet_dao_text},
    {u"Right", 2, 2, "jet_right", "sn", jet_dao_text},
    {u"Mid", 2, 3, "jet_mid", "snn", jet_dao_text},
    {u"InStrRev", 2, 4, "jet_instrrev", "ssnn", jet_dao_long},
    {u"Replace", 3, 6, "jet_replace", "sssnnn", jet_dao_text},
    {u"UCase", 1, 1, "jet_ucase", "s", jet_dao_text},
    {u"LCase", 1, 1, "jet_lcase", "s", jet_dao_text},
    {u"Trim", 1, 1, "jet_trim", "s", jet_dao_text},
    {u"LTrim", 1, 1, "jet_ltrim", "s", jet_dao_text},
    {u"RTrim", 1, 1, "jet_rtrim", "s", jet_dao_text},
    {u"Space", 1, 1, "jet_space", "n", jet_dao_text},
    {u"String", 2, 2, "jet_string", "nv", jet_dao_text},
    {u"StrComp", 2, 3, "jet_strcomp", "ssn", jet_dao_integer},
    {u"StrReverse", 1, 1, "jet_strreverse", "s", jet_dao_text},
    {u"Asc", 1, 1, "jet_asc", "s", jet_dao_integer},
    {u"Chr", 1, 1, "jet_chr", "n", jet_dao_text},
    {u"Format", 1, 2, "jet_format", "vs", jet_dao_text},
    {u"Val", 1, 1, "jet_val", "s", jet_dao_double},
    {u"Str", 1, 1, "jet_strn", "v", jet_dao_text},
    {u"CStr", 1, 1, "jet_str", "v", jet_dao_text},
    {u"CInt", 1, 1, "jet_cint", "v", jet_dao_integer},
    {u"CLng", 1, 1, "jet_clng", "v", jet_dao_long},
    {u"CByte", 1, 1, "jet_cbyte", "v", jet_dao_byte},
    {u"CSng", 1, 1, "jet_csng", "v", jet_dao_single},
    {u"CDbl", 1, 1, "jet_cdbl", "v", jet_dao_double},
    {u"CCur", 1, 1, "jet_ccur", "v", jet_dao_currency},
    {u"CDec", 1, 1, "jet_cdec", "v", jet_dao_decimal},
    {u"CDate", 1, 1, "jet_cdate", "v", jet_dao_date},
    {u"CVDate", 1, 1, "jet_cdate", "v", jet_dao_date},
    {u"CBool", 1, 1, "jet_cbool", "v", jet_dao_boolean},
    {u"Int", 1, 1, "jet_int", "n", R_ARG0},
    {u"Fix", 1, 1, "jet_fix", "n", R_ARG0},
    {u"Abs", 1, 1, "jet_abs", "n", R_ARG0},
    {u"Sgn", 1, 1, "jet_sgn", "n", jet_dao_integer},
    {u"Sqr", 1, 1, "jet_sqr", "n", jet_dao_double},
    {u"Exp", 1, 1, "jet_exp", "n", jet_dao_double},
    {u"Log", 1, 1, "jet_log", "n", jet_dao_double},
    {u"Round", 1, 2, "jet_round", "nn", R_ARG0},
    {u"Date", 0, 0, "jet_today", "", jet_dao_date},
    {u"Time", 0, 0, "jet_time", "", jet_dao_date},
    {u"Now", 0, 0, "jet_now", "", jet_dao_date},
    {u"Year", 1, 1, "jet_year", "d", jet_dao_integer},
    {u"Month", 1, 1, "jet_month", "d", jet_dao_integer},
    {u"Day", 1, 1, "jet_day", "d", jet_dao_integer},
    {u"Hour", 1, 1, "jet_hour", "d", jet_dao_integer},
    {u"Minute", 1, 1, "jet_minute", "d", jet_dao_integer},
    {u"Second", 1, 1, "jet_second", "d", jet_dao_integer},
    {u"Weekday", 1, 2, "jet_weekday", "dn", jet_dao_integer},
    {u"WeekdayName", 1, 3, "jet_weekdayname", "nnn", jet_dao_text},
    {u"MonthName", 1, 2, "jet_monthname", "nn", jet_dao_text},
    {u"DateSerial", 3, 3, "jet_dateserial", "nnn", jet_dao_date},
    {u"TimeSerial", 3, 3, "jet_timeserial", "nnn", jet_dao_date},
    {u"DateAdd", 3, 3, "jet_dateadd", "snd", jet_dao_date},
    {u"DateDiff", 3, 5, "jet_datediff", "sddnn", jet_dao_long},
    {u"DatePart", 2, 4, "jet_datepart", "sdnn", jet_dao_integer},
    {u"DateValue", 1, 1, "jet_datevalue", "d", jet_dao_date},
    {u"TimeValue", 1, 1, "jet_timevalue", "d", jet_dao_date},
};

const fn_entry* find_function(std::u16string_view name)
{
    // Left$ is Left typed String; only text functions have such a form.
    const bool dollar = !name.empty() && name.back() == u'$';
    if (dollar) name.remove_suffix(1);
    for (const fn_entry& f : k_functions)
        if (dollar && jet_sql_ascii_equal_nocase(f.name, name)) return f.result == jet_dao_text ? &f : nullptr;
    for (const fn_entry& f : k_functions)
        if (jet_sql_ascii_equal_nocase(f.name, name)) return &f;
    return nullptr;
}

bool is_aggregate_name(std::u16string_view n)
{
    for (const char16_t* a :
         {u"count", u"sum", u"avg", u"min", u"max", u"first", u"last", u"stdev", u"stdevp", u"var", u"varp"})
        if (jet_sql_ascii_equal_nocase(a, n)) return true;
    return false;
}

class translator {
public:
    explicit translator(jet_sql_catalog& catalog, int depth = 0) : catalog_(catalog), depth_(depth) {}

    jet_sql_translation run(const jet_sql_query& q)
    {
        jet_sql_translation out;
        out.sql = query_sql(q, nullptr, out.columns);
        if (!params_.empty())
            throw jet_sql_error(jet_err_too_few_parameters, tk_widen_ascii(std::to_string(params_.size())));
        out.tables = tables_;
        out.table_references = refs_;
        out.columns_used = used_;
        out.index_hints = hints_;
        out.plain_inner_join = selects_ == 1 && !outer_join_ && q.parts.size() == 1;
        return out;
    }

private:
    // ---- queries ----

    std::string query_sql(const jet_sql_query& q, scope* outer, std::vector<jet_sql_result_column>& cols)
    {
        // A subquery's values meet date numbers, and a union's parts may
        // mix Date/Time Extended with Date: those give date numbers.
        const bool saved = ticks_out_;
        ticks_out_ = outer == nullptr && q.parts.size() == 1;
        std::string sql = query_parts_sql(q, outer, cols);
        ticks_out_ = saved;
        return sql;
    }

    std::string query_parts_sql(const jet_sql_query& q, scope* outer, std::vector<jet_sql_result_column>& cols)
    {
        if (q.parts.size() == 1) return select_sql(*q.parts[0], &q.order_by, outer, cols);
        std::string sql;
        for (size_t i = 0; i < q.parts.size(); ++i) {
            std::vector<jet_sql_result_column> part_cols;
            std::string part = select_sql(*q.parts[i], nullptr, outer, part_cols);
            if (i == 0) {
                cols = part_cols;
            } else {
                if (part_cols.size() != cols.size()) throw jet_sql_error(jet_err_union_columns);
                sql += q.union_all[i - 1] ? " UNION ALL " : " UNION ";
                for (size_t c = 0; c < cols.size(); ++c)
                    if (cols[c].dao_type != part_cols[c].dao_type) widen_union(cols[c], part_cols[c]);
            }
            sql += "SELECT * FROM (" + part + ")";
        }
        if (!q.order_by.empty()) {
            sql += " ORDER BY ";
            for (size_t i = 0; i < q.order_by.size(); ++i) {
                if (i > 0) sql += ", ";
                sql += union_order_key(*q.order_by[i].expr, cols);
                if (q.order_by[i].descending) sql += " DESC";
            }
        }
        return sql;
    }

    static void widen_union(jet_sql_result_column& a, const jet_sql_result_column& b)
    {
        if (a.dao_type == 0) {
            a = jet_sql_result_column{a.name, b.dao_type, b.size};
        } else if (is_numeric(a.dao_type) && is_numeric(b.dao_type)) {
            a.dao_type = jet_sql_widen(a.dao_type, b.dao_type);
        } else if (b.dao_type != 0) {
            a.dao_type = (a.dao_type == jet_dao_memo || b.dao_type == jet_dao_memo) ? jet_dao_memo : jet_dao_text;
            a.size = a.dao_type == jet_dao_memo ? 0 : 255;
        }
    }

    std::string union_order_key(const jet_sql_expr& e, const std::vector<jet_sql_result_column>& cols)
    {
        if (e.kind == ek::number) return tk_to_utf8(e.text);
        if (e.kind == ek::column) {
            for (size_t i = 0; i < cols.size(); ++i) {
                if (tk_equal_nocase(cols[i].name, e.text)) {
                    std::string key = std::to_string(i + 1);
                    if (is_text(cols[i].dao_type)) key += " COLLATE JETTEXT";
                    return key;
                }
            }
        }
        throw jet_sql_error(jet_err_order_by_syntax);
    }

    struct item_out {
        xt value;
        std::u16string name;
        const source* from = nullptr;  // plain column reference
    };

    std::string select_sql(const jet_sql_select& s, const std::vector<jet_sql_order>* order, scope* outer,
                           std::vector<jet_sql_result_column>& cols)
    {
        ++selects_;
        scope sc;
        sc.outer = outer;
        sc.select = &s;
        sc.alias_busy.assign(s.items.size(), 0);
        std::string from;
        for (size_t i = 0; i < s.from.size(); ++i) {
            if (i > 0) from += ", ";
            from += from_sql(*s.from[i], sc);
        }
        std::vector<item_out> items = select_items(s, sc);
        std::vector<std::string> order_keys;
        std::vector<bool> order_desc;
        if (order != nullptr) {
            for (const jet_sql_order& o : *order) {
                xt k = expr(*o.expr, sc, false);
                if (is_text(k.type)) k.sql += " COLLATE JETTEXT";
                order_keys.push_back(k.sql);
                order_desc.push_back(o.descending);
            }
        }
        std::string where = s.where ? expr(*s.where, sc, true).sql : std::string();
        std::vector<std::string> groups;
        for (const auto& g : s.group_by) groups.push_back(group_key(expr(*g, sc, false)));
        std::string having = s.having ? expr(*s.having, sc, true).sql : std::string();
        check_grouping(s, sc, items, groups);

        for (const item_out& it : items) cols.push_back({it.name, it.value.type, it.value.size});
        for (auto& c : cols)
            if (c.dao_type == 0) c = {c.name, jet_dao_text, 255};

        bool distinctrow = s.distinctrow && distinctrow_matters(sc);
        bool wrap = s.has_top || distinctrow;
        std::string core = "SELECT ";
        if (s.distinct) core += "DISTINCT ";
        for (size_t i = 0; i < items.size(); ++i) {
            if (i > 0) core += ", ";
            core += items[i].value.sql + " AS " +
                    (wrap ? "\"__jet_c" + std::to_string(i) + "\"" : quote_ident(items[i].name));
        }
        if (wrap) {
            for (size_t i = 0; i < order_keys.size(); ++i)
                core += ", " + order_keys[i] + " AS \"__jet_k" + std::to_string(i) + "\"";
            if (distinctrow) {
                int n = 0;
                for (const source& src : sc.sources)
                    if (src.in_output)
                        core += ", " + src.sql_alias + ".rowid AS \"__jet_r" + std::to_string(n++) + "\"";
            }
        }
        if (!from.empty()) core += " FROM " + from;
        if (!where.empty()) core += " WHERE " + where;
        if (!groups.empty()) {
            core += " GROUP BY ";
            for (size_t i = 0; i < groups.size(); ++i) core += (i > 0 ? ", " : "") + groups[i];
        }
        if (!having.empty()) core += " HAVING " + having;
        if (!wrap) {
            if (!order_keys.empty()) {
                core += " ORDER BY ";
                for (size_t i = 0; i < order_keys.size(); ++i)
                    core += (i > 0 ? ", " : "") + order_keys[i] + (order_desc[i] ? " DESC" : "");
            }
            return core;
        }
        return wrapped(core, s, items, order_keys.size(), order_desc, distinctrow, order_keys);
    }

    std::string wrapped(std::string core, const jet_sql_select& s, const std::vector<item_out>& items, size_t nkeys,
                        const std::vector<bool>& desc, bool distinctrow, const std::vector<std::string>& keys)
    {
        if (distinctrow) core = "SELECT DISTINCT * FROM (" + core + ")";
        std::string order;
        for (size_t i = 0; i < nkeys; ++i) {
            order += (i > 0 ? ", " : "");
            order += "\"__jet_k" + std::to_string(i) + "\"";
            if (keys[i].find(" COLLATE JETTEXT") != std::string::npos) order += " COLLATE JETTEXT";
            if (desc[i]) order += " DESC";
        }
        std::string body = core;
        std::string limit;
        if (s.has_top) {
            if (nkeys == 0) {
                if (s.top_percent)
                    limit = " LIMIT (SELECT CAST(ceil(count(*) * " + number_text(s.top) +
                            " / 100.0) AS INTEGER) FROM (" + core + "))";
                else
                    limit = " LIMIT " + std::to_string(static_cast<long long>(s.top));
            } else {
                // TOP keeps every row that ties with the last one.
                std::string bound = s.top_percent ? "ceil(\"__jet_n\" * " + number_text(s.top) + " / 100.0)"
                                                  : std::to_string(static_cast<long long>(s.top));
                body = "SELECT * FROM (SELECT *, rank() OVER (ORDER BY " + order +
                       ") AS \"__jet_rk\", count(*) OVER () AS \"__jet_n\" FROM (" + core +
                       ")) WHERE \"__jet_rk\" <= " + bound;
            }
        }
        std::string out = "SELECT ";
        for (size_t i = 0; i < items.size(); ++i)
            out += (i > 0 ? ", " : "") + std::string("\"__jet_c") + std::to_string(i) + "\" AS " +
                   quote_ident(items[i].name);
        out += " FROM (" + body + ")";
        if (nkeys > 0) out += " ORDER BY " + order;
        out += limit;
        return out;
    }

    // DISTINCTROW only changes anything when the output takes columns from
    // some, but not all, of the joined base tables.
    static bool distinctrow_matters(const scope& sc)
    {
        size_t used = 0;
        for (const source& s : sc.sources) {
            if (s.base_table.empty()) return false;
            if (s.in_output) ++used;
        }
        return used > 0 && used < sc.sources.size();
    }

    std::vector<item_out> select_items(const jet_sql_select& s, scope& sc)
    {
        std::vector<item_out> items;
        int expr_number = 1000;
        for (size_t i = 0; i < s.items.size(); ++i) {
            const jet_sql_item& it = s.items[i];
            if (it.star) {
                star_items(it, sc, items);
                continue;
            }
            item_out o;
            marking_output_ = true;
            o.value = output(expr(*it.expr, sc, false));
            marking_output_ = false;
            if (!it.alias.empty()) {
                o.name = it.alias;
            } else if (it.expr->kind == ek::column) {
                o.name = resolved_name(*it.expr, sc, o.from);
            } else {
                o.name = u"Expr" + tk_widen_ascii(std::to_string(expr_number++));
            }
            if (it.expr->kind == ek::column && o.from == nullptr) resolved_name(*it.expr, sc, o.from);
            items.push_back(std::move(o));
        }
        qualify_duplicates(items);
        return items;
    }

    void star_items(const jet_sql_item& it, scope& sc, std::vector<item_out>& items)
    {
        bool found = it.star_of.empty();
        for (source& src : sc.sources) {
            if (!it.star_of.empty() && !tk_equal_nocase(src.match, it.star_of)) continue;
            found = true;
            src.in_output = true;
            if (src.table >= 0) used_[static_cast<size_t>(src.table)].assign(src.cols.size(), true);
            for (const source_col& c : src.cols) {
                item_out o;
                o.value = output(column_value(src, c));
                o.name = c.name;
                o.from = &src;
                items.push_back(std::move(o));
            }
        }
        if (!found) throw jet_sql_error(jet_err_input_table_not_found, it.star_of);
        if (sc.sources.empty()) throw jet_sql_error(jet_err_select_syntax);
    }

    // An output column: a Date/Time Extended value as its stored integer,
    // where the statement may hand it on as that.
    xt output(xt v) const
    {
        if (v.raw.empty() || !ticks_out_) return v;
        v.sql = std::move(v.raw);
        v.raw.clear();
        v.type = jet_dao_date_time_extended;
        return v;
    }

    static xt column_value(const source& src, const source_col& c)
    {
        std::string ref = src.sql_alias + "." + quote_ident(c.name);
        if (c.type != jet_dao_date_time_extended) return {ref, c.type, c.size};
        xt v{"jet_xdate(" + ref + ")", jet_dao_date, 8};
        v.raw = std::move(ref);
        return v;
    }

    // Two plain references with the same name are told apart by their
    // table, as Access names them: "Orders.OrderID".
    static void qualify_duplicates(std::vector<item_out>& items)
    {
        std::vector<bool> dup(items.size(), false);
        for (size_t i = 0; i < items.size(); ++i)
            for (size_t j = 0; j < items.size(); ++j)
                if (j != i && items[i].from != nullptr && tk_equal_nocase(items[i].name, items[j].name)) dup[i] = true;
        for (size_t i = 0; i < items.size(); ++i)
            if (dup[i] && !items[i].from->match.empty()) items[i].name = items[i].from->match + u"." + items[i].name;
    }

    std::u16string resolved_name(const jet_sql_expr& e, scope& sc, const source*& from)
    {
        for (const source& src : sc.sources) {
            if (!e.qualifier.empty() && !tk_equal_nocase(src.match, e.qualifier)) continue;
            for (const source_col& c : src.cols) {
                if (tk_equal_nocase(c.name, e.text)) {
                    from = &src;
                    return c.name;
                }
            }
        }
        return e.text;
    }

    // Access refuses an output column that is neither grouped nor inside
    // an aggregate when the query groups or aggregates.
    void check_grouping(const jet_sql_select& s, scope& sc, const std::vector<item_out>& items,
                        const std::vector<std::string>& groups)
    {
        bool aggregate = !s.group_by.empty();
        for (const item_out& it : items) aggregate = aggregate || it.value.aggregate;
        if (!aggregate) return;
        for (const jet_sql_item& it : s.items) {
            if (it.star) throw jet_sql_error(jet_err_not_in_aggregate, u"*");
            ungrouped(*it.expr, sc, groups);
        }
    }

    void ungrouped(const jet_sql_expr& e, scope& sc, const std::vector<std::string>& groups)
    {
        if (e.kind == ek::call && is_aggregate_name(e.text)) return;
        if (e.kind == ek::subquery || e.kind == ek::exists || e.kind == ek::in_query) return;
        if (e.kind == ek::column) {
            xt v = expr(e, sc, false);
            for (const std::string& g : groups)
                if (g == group_key(v)) return;
            if (v.sql.rfind("NULL", 0) == 0 || v.sql.empty()) return;
            if (v.aggregate) return;
            // A reference to an outer query or an output alias is fine.
            if (!is_local_column(e, sc)) return;
            throw jet_sql_error(jet_err_not_in_aggregate, e.source);
        }
        if (!e.args.empty() && e.kind != ek::star) {
            xt v = expr(e, sc, false);
            for (const std::string& g : groups)
                if (g == group_key(v)) return;
        }
        for (const auto& a : e.args)
            if (a) ungrouped(*a, sc, groups);
    }

    static bool is_local_column(const jet_sql_expr& e, const scope& sc)
    {
        for (const source& src : sc.sources) {
            if (!e.qualifier.empty() && !tk_equal_nocase(src.match, e.qualifier)) continue;
            for (const source_col& c : src.cols)
                if (tk_equal_nocase(c.name, e.text)) return true;
        }
        return false;
    }

    // ---- FROM ----

    std::string from_sql(const jet_sql_from& f, scope& sc)
    {
        switch (f.kind) {
        case jet_sql_from::kind_t::table: return table_sql(f, sc);
        case jet_sql_from::kind_t::derived: return derived_sql(*f.query, f.alias, sc);
        case jet_sql_from::kind_t::join: break;
        }
        std::string left = from_sql(*f.left, sc);
        std::string right = from_sql(*f.right, sc);
        const char* op = f.join == jet_sql_join::left    ? " LEFT JOIN "
                         : f.join == jet_sql_join::right ? " RIGHT JOIN "
                                                         : " INNER JOIN ";
        if (f.join == jet_sql_join::left || f.join == jet_sql_join::right) outer_join_ = true;
        note_join_hints(*f.on, sc);
        return "(" + left + op + right + " ON " + expr(*f.on, sc, true).sql + ")";
    }

    std::string table_sql(const jet_sql_from& f, scope& sc)
    {
        std::u16string name;
        if (const std::vector<jet_sql_column>* cols = catalog_.table(f.name, name)) {
            source src;
            src.match = f.alias.empty() ? name : f.alias;
            src.base_table = name;
            src.sql_alias = quote_ident(src.match);
            for (const jet_sql_column& c : *cols) src.cols.push_back({c.name, c.dao_type, c.size});
            size_t index = tables_.size();
            for (size_t i = 0; i < tables_.size(); ++i)
                if (tables_[i] == name) index = i;
            if (index == tables_.size()) {
                tables_.push_back(name);
                refs_.push_back(0);
                used_.emplace_back(cols->size(), false);
            }
            ++refs_[index];
            src.table = static_cast<int>(index);
            add_source(sc, std::move(src));
            return jet_sql_table_marker(index) + " AS " + sc.sources.back().sql_alias;
        }
        std::u16string sql;
        if (depth_ < 16 && catalog_.saved_query(f.name, name, sql)) {
            auto q = jet_sql_parse(sql);
            return derived_sql(*q, f.alias.empty() ? name : f.alias, sc);
        }
        throw jet_sql_error(jet_err_input_table_not_found, f.name);
    }

    std::string derived_sql(const jet_sql_query& q, const std::u16string& alias, scope& sc)
    {
        std::vector<jet_sql_result_column> cols;
        ++depth_;
        std::string inner = query_sql(q, nullptr, cols);
        --depth_;
        source src;
        src.match = alias;
        src.sql_alias = alias.empty() ? "\"__jet_d" + std::to_string(derived_++) + "\"" : quote_ident(alias);
        for (const auto& c : cols) src.cols.push_back({c.name, c.dao_type, c.size});
        add_source(sc, std::move(src));
        return "(" + inner + ") AS " + sc.sources.back().sql_alias;
    }

    static void add_source(scope& sc, source src)
    {
        for (const source& s : sc.sources)
            if (!src.match.empty() && tk_equal_nocase(s.match, src.match)) throw jet_sql_error(jet_err_from_syntax);
        sc.sources.push_back(std::move(src));
    }

    void note_join_hints(const jet_sql_expr& on, scope& sc)
    {
        if (on.kind == ek::binary && jet_sql_ascii_equal_nocase(on.text, u"and")) {
            note_join_hints(*on.args[0], sc);
            note_join_hints(*on.args[1], sc);
            return;
        }
        if (on.kind != ek::binary || on.text != u"=") return;
        for (const auto& side : on.args) {
            if (side->kind != ek::column) continue;
            for (const source& src : sc.sources) {
                if (src.base_table.empty()) continue;
                if (!side->qualifier.empty() && !tk_equal_nocase(src.match, side->qualifier)) continue;
                for (const source_col& c : src.cols)
                    if (tk_equal_nocase(c.name, side->text)) hints_.emplace_back(src.base_table, c.name);
            }
        }
    }

    // ---- expressions ----

    xt expr(const jet_sql_expr& e, scope& sc, bool cond)
    {
        switch (e.kind) {
        case ek::null_literal: return {"NULL", 0, 0};
        case ek::number: return number_literal(e);
        case ek::string: return {quote_string(e.text), jet_dao_text, 255};
        case ek::date: return {number_text(e.number), jet_dao_date, 8};
        case ek::boolean: return {e.number != 0 ? "-1" : "0", jet_dao_boolean, 1};
        case ek::column: return column(e, sc);
        case ek::star: return {"*", jet_dao_long, 4};
        case ek::unary: return unary(e, sc, cond);
        case ek::binary: return binary(e, sc, cond);
        case ek::call: return call(e, sc, cond);
        case ek::is_null: {
            xt a = expr(*e.args[0], sc, false);
            return boolean("(" + a.sql + (e.negated ? " IS NOT NULL)" : " IS NULL)"), cond, a.aggregate);
        }
        case ek::between: return between(e, sc, cond);
        case ek::in_list: return in_list(e, sc, cond);
        case ek::in_query: {
            xt a = expr(*e.args[0], sc, false);
            std::string sub = subquery(*e.query, sc, true).sql;
            std::string coll = is_text(a.type) ? " COLLATE JETTEXT" : "";
            return boolean("(" + a.sql + coll + (e.negated ? " NOT IN " : " IN ") + sub + ")", cond, a.aggregate);
        }
        case ek::like: {
            xt a = to_text(expr(*e.args[0], sc, false));
            xt p = to_text(expr(*e.args[1], sc, false));
            std::string s = "jet_like(" + a.sql + ", " + p.sql + ")";
            if (e.negated) s = "(NOT " + s + ")";
            return boolean(s, cond, a.aggregate || p.aggregate);
        }
        case ek::exists: return boolean("(EXISTS " + subquery(*e.query, sc, false).sql + ")", cond, false);
        case ek::subquery: return subquery(*e.query, sc, true);
        }
        TK_FAIL();
    }

    static xt boolean(std::string sql, bool cond, bool aggregate)
    {
        xt r;
        r.sql = cond ? std::move(sql) : "(-" + sql + ")";
        r.type = jet_dao_boolean;
        r.size = 1;
        r.aggregate = aggregate;
        return r;
    }

    static xt number_literal(const jet_sql_expr& e)
    {
        std::string t = tk_to_utf8(e.text);
        if (t.size() > 2 && (t[1] == 'H' || t[1] == 'h')) {
            // &H literals are Integer up to four digits, Long up to eight,
            // with the sign in the top bit as VBA reads them.
            std::string digits = t.substr(2);
            while (digits.size() > 1 && digits[0] == '0') digits.erase(0, 1);
            if (digits.size() > 8) throw jet_sql_error::expression(u"Overflow", e.source);
            unsigned long v = std::strtoul(digits.c_str(), nullptr, 16);
            bool small = t.size() - 2 <= 4;
            long long s = small ? static_cast<int16_t>(v) : static_cast<int32_t>(v);
            return {std::to_string(s), small ? jet_dao_integer : jet_dao_long, small ? 2 : 4};
        }
        if (t.find_first_of(".eE") == std::string::npos && t.size() <= 10) {
            long long v = std::strtoll(t.c_str(), nullptr, 10);
            if (v <= 2147483647LL) return {t, v <= 32767 ? jet_dao_integer : jet_dao_long, v <= 32767 ? 2 : 4};
        }
        double d = std::strtod(t.c_str(), nullptr);
        if (!std::isfinite(d)) throw jet_sql_error::expression(u"Overflow", e.source);
        return {number_text(d), jet_dao_double, 8};
    }

    xt column(const jet_sql_expr& e, scope& sc)
    {
        for (scope* s = &sc; s != nullptr; s = s->outer) {
            const source* hit = nullptr;
            const source_col* col = nullptr;
            for (source& src : s->sources) {
                if (!e.qualifier.empty() && !tk_equal_nocase(src.match, e.qualifier)) continue;
                for (const source_col& c : src.cols) {
                    if (!tk_equal_nocase(c.name, e.text)) continue;
                    if (hit != nullptr && hit != &src) throw jet_sql_error(jet_err_ambiguous_field, e.text);
                    hit = &src;
                    col = &c;
                    if (s == &sc && marking_output_) src.in_output = true;
                    if (src.table >= 0)
                        used_[static_cast<size_t>(src.table)][static_cast<size_t>(&c - src.cols.data())] = true;
                }
            }
            if (hit != nullptr) return column_value(*hit, *col);
            if (e.qualifier.empty() && s == &sc) {
                if (auto aliased = alias_reference(e, sc)) return *aliased;
            }
        }
        // Access takes a name it cannot resolve as a parameter.
        std::u16string key = tk_fold_case(e.qualifier.empty() ? e.text : e.qualifier + u"." + e.text);
        bool known = false;
        for (const auto& p : params_) known = known || p == key;
        if (!known) params_.push_back(key);
        return {"NULL", 0, 0};
    }

    std::unique_ptr<xt> alias_reference(const jet_sql_expr& e, scope& sc)
    {
        if (sc.select == nullptr) return nullptr;
        const auto& items = sc.select->items;
        for (size_t i = 0; i < items.size(); ++i) {
            if (items[i].star || !tk_equal_nocase(items[i].alias, e.text) || sc.alias_busy[i] != 0) continue;
            sc.alias_busy[i] = 1;
            xt v = expr(*items[i].expr, sc, false);
            sc.alias_busy[i] = 0;
            v.sql = "(" + v.sql + ")";
            if (!v.raw.empty()) v.raw = "(" + v.raw + ")";
            return std::make_unique<xt>(v);
        }
        return nullptr;
    }

    xt subquery(const jet_sql_query& q, scope& sc, bool one_column)
    {
        std::vector<jet_sql_result_column> cols;
        std::string sql = query_sql(q, &sc, cols);
        if (one_column && cols.size() != 1) throw jet_sql_error(jet_err_subquery_fields);
        xt r;
        r.sql = "(" + sql + ")";
        r.type = cols.empty() ? jet_dao_text : cols[0].dao_type;
        r.size = cols.empty() ? 255 : cols[0].size;
        return r;
    }

    // Non-text operands of text operations become text as Access prints
    // them (dates in General Date form, Booleans True/False).
    static xt to_text(xt v)
    {
        v.raw.clear();
        if (is_text(v.type) || v.type == 0) return v;
        v.sql = "jet_str(" + v.sql + ", " + std::to_string(v.type) + ")";
        v.type = jet_dao_text;
        v.size = 255;
        return v;
    }

    static xt to_date(xt v)
    {
        if (is_text(v.type)) v.sql = "jet_cdate(" + v.sql + ")";
        v.type = jet_dao_date;
        return v;
    }

    xt unary(const jet_sql_expr& e, scope& sc, bool cond)
    {
        if (e.text == u"not") {
            xt a = expr(*e.args[0], sc, true);
            return boolean("(NOT " + a.sql + ")", cond, a.aggregate);
        }
        xt a = expr(*e.args[0], sc, false);
        a.raw.clear();
        if (e.text == u"-") a.sql = "(-" + a.sql + ")";
        if (a.type == jet_dao_boolean) a.type = jet_dao_integer;
        return a;
    }

    xt binary(const jet_sql_expr& e, scope& sc, bool cond)
    {
        const std::u16string& op = e.text;
        if (op == u"and" || op == u"or" || op == u"xor" || op == u"eqv" || op == u"imp") return logical(e, sc, cond);
        xt a = expr(*e.args[0], sc, false);
        xt b = expr(*e.args[1], sc, false);
        bool agg = a.aggregate || b.aggregate;
        if (op == u"=" || op == u"<>" || op == u"<" || op == u"<=" || op == u">" || op == u">=")
            return comparison(tk_to_utf8(op), a, b, cond);
        xt r;
        r.aggregate = agg;
        if (op == u"&") {
            bool memo = a.type == jet_dao_memo || b.type == jet_dao_memo;
            r.sql = "jet_cat(" + to_text(a).sql + ", " + to_text(b).sql + ")";
            r.type = memo ? jet_dao_memo : jet_dao_text;
            r.size = memo ? 0 : 255;
            return r;
        }
        int32_t ta = a.type == 0 ? b.type : a.type;
        int32_t tb = b.type == 0 ? a.type : b.type;
        if (op == u"+" && is_text(ta) && is_text(tb)) {
            r.sql = "(" + a.sql + " || " + b.sql + ")";
            r.type = jet_dao_text;
            r.size = 255;
            return r;
        }
        r.size = 8;
        if (op == u"+" || op == u"-" || op == u"*") {
            r.sql = "(" + a.sql + " " + tk_to_utf8(op) + " " + b.sql + ")";
            if (ta == jet_dao_date || tb == jet_dao_date)
                r.type = (op == u"-" && ta == jet_dao_date && tb == jet_dao_date) ? jet_dao_double
                         : op == u"*"                                             ? jet_dao_double
                                                                                  : jet_dao_date;
            else
                r.type = jet_sql_widen(ta, tb);
            return r;
        }
        if (op == u"/") {
            r.sql = "jet_div(" + a.sql + ", " + b.sql + ")";
            r.type = (ta == jet_dao_currency || tb == jet_dao_currency) ? jet_dao_currency
                     : (ta == jet_dao_decimal || tb == jet_dao_decimal) ? jet_dao_decimal
                     : (ta == jet_dao_single && rank_of(tb) <= rank_of(jet_dao_single) && tb != jet_dao_long)
                         ? jet_dao_single
                         : jet_dao_double;
            return r;
        }
        if (op == u"\\" || op == u"mod") {
            r.sql = std::string(op == u"\\" ? "jet_idiv(" : "jet_mod(") + a.sql + ", " + b.sql + ")";
            r.type = (rank_of(ta) <= 2 && rank_of(tb) <= 2) ? jet_dao_integer : jet_dao_long;
            r.size = r.type == jet_dao_integer ? 2 : 4;
            return r;
        }
        // ^
        r.sql = "jet_pow(" + a.sql + ", " + b.sql + ")";
        r.type = jet_dao_double;
        return r;
    }

    static xt comparison(const std::string& op, const xt& a, const xt& b, bool cond)
    {
        int32_t ta = a.type == 0 ? b.type : a.type;
        int32_t tb = b.type == 0 ? a.type : b.type;
        std::string rhs = b.sql;
        std::string lhs = a.sql;
        // Access compares no text with a number: "Data type mismatch".
        if ((is_text(ta) && is_numeric(tb)) || (is_numeric(ta) && is_text(tb)))
            throw jet_sql_error(jet_err_type_mismatch);
        if (is_text(ta) && is_text(tb)) {
            rhs += " COLLATE JETTEXT";
        } else if (is_text(ta) && tb == jet_dao_date) {
            lhs = "jet_cdate(" + lhs + ")";
        } else if (ta == jet_dao_date && is_text(tb)) {
            rhs = "jet_cdate(" + rhs + ")";
        }
        return boolean("(" + lhs + " " + op + " " + rhs + ")", cond, a.aggregate || b.aggregate);
    }

    xt logical(const jet_sql_expr& e, scope& sc, bool cond)
    {
        xt a = expr(*e.args[0], sc, true);
        xt b = expr(*e.args[1], sc, true);
        const std::u16string& op = e.text;
        std::string s;
        if (op == u"and")
            s = "(" + a.sql + " AND " + b.sql + ")";
        else if (op == u"or")
            s = "(" + a.sql + " OR " + b.sql + ")";
        else if (op == u"xor")
            s = "((" + a.sql + " <> 0) <> (" + b.sql + " <> 0))";
        else if (op == u"eqv")
            s = "((" + a.sql + " <> 0) = (" + b.sql + " <> 0))";
        else
            s = "((NOT " + a.sql + ") OR " + b.sql + ")";
        return boolean(s, cond, a.aggregate || b.aggregate);
    }

    static bool literal_value(const jet_sql_expr& e, double& v)
    {
        if (e.kind == ek::date || e.kind == ek::boolean) {
            v = e.number;
            return true;
        }
        if (e.kind == ek::number && e.text.find(u'&') == std::u16string::npos) {
            v = std::strtod(tk_to_utf8(e.text).c_str(), nullptr);
            return true;
        }
        return false;
    }

    xt between(const jet_sql_expr& e, scope& sc, bool cond)
    {
        xt x = expr(*e.args[0], sc, false);
        xt lo = expr(*e.args[1], sc, false);
        xt hi = expr(*e.args[2], sc, false);
        double l = 0, h = 0;
        std::string coll = is_text(x.type) ? " COLLATE JETTEXT" : "";
        if (x.type == jet_dao_date) {
            lo = to_date(lo);
            hi = to_date(hi);
        }
        std::string range;
        if (literal_value(*e.args[1], l) && literal_value(*e.args[2], h)) {
            // Access accepts the bounds in either order.
            if (l > h) std::swap(lo, hi);
            range = lo.sql + " AND " + hi.sql;
        } else if (e.args[1]->kind == ek::string && e.args[2]->kind == ek::string) {
            range = lo.sql + " AND " + hi.sql;
            if (tk_compare_nocase(e.args[1]->text, e.args[2]->text) > 0) range = hi.sql + " AND " + lo.sql;
        } else {
            range = "min(" + lo.sql + ", " + hi.sql + ")" + coll + " AND max(" + lo.sql + ", " + hi.sql + ")" + coll;
        }
        return boolean("(" + x.sql + coll + (e.negated ? " NOT BETWEEN " : " BETWEEN ") + range + ")", cond,
                       x.aggregate || lo.aggregate || hi.aggregate);
    }

    xt in_list(const jet_sql_expr& e, scope& sc, bool cond)
    {
        xt x = expr(*e.args[0], sc, false);
        std::string list;
        bool agg = x.aggregate;
        for (size_t i = 1; i < e.args.size(); ++i) {
            xt v = expr(*e.args[i], sc, false);
            if (x.type == jet_dao_date) v = to_date(v);
            agg = agg || v.aggregate;
            list += (i > 1 ? ", " : "") + v.sql;
        }
        std::string coll = is_text(x.type) ? " COLLATE JETTEXT" : "";
        return boolean("(" + x.sql + coll + (e.negated ? " NOT IN (" : " IN (") + list + "))", cond, agg);
    }

    // ---- calls ----

    xt call(const jet_sql_expr& e, scope& sc, bool cond)
    {
        const std::u16string& n = e.text;
        if (is_aggregate_name(n)) return aggregate(e, sc);
        if (jet_sql_ascii_equal_nocase(n, u"IIf")) return iif(e, sc);
        if (jet_sql_ascii_equal_nocase(n, u"Nz")) return nz(e, sc);
        if (jet_sql_ascii_equal_nocase(n, u"IsNull")) {
            arity(e, 1, 1);
            xt a = expr(*e.args[0], sc, false);
            return boolean("(" + a.sql + " IS NULL)", cond, a.aggregate);
        }
        if (jet_sql_ascii_equal_nocase(n, u"Switch")) return switch_call(e, sc);
        if (jet_sql_ascii_equal_nocase(n, u"Choose")) return choose(e, sc);
        if (jet_sql_ascii_equal_nocase(n, u"InStr")) return instr(e, sc);
        const fn_entry* f = find_function(n);
        if (f == nullptr) throw jet_sql_error(jet_err_undefined_function, n);
        arity(e, f->min_args, f->max_args);
        xt r;
        r.sql = std::string(f->sql_name) + "(";
        for (size_t i = 0; i < e.args.size(); ++i) {
            xt a = expr(*e.args[i], sc, false);
            r.aggregate = r.aggregate || a.aggregate;
            char conv = f->args[i];
            if (i == 0 && f->result == R_ARG0) {
                r.type = a.type == 0 || a.type == jet_dao_boolean ? jet_dao_integer : a.type;
                if (is_text(r.type)) r.type = jet_dao_double;
            }
            if (conv == 's') a = to_text(a);
            if (conv == 'd') a = to_date(a);
            r.sql += (i > 0 ? ", " : "") + a.sql;
            if (conv == 'v') r.sql += ", " + std::to_string(a.type);
        }
        r.sql += ")";
        if (f->result != R_ARG0) r.type = f->result;
        r.size = r.type == jet_dao_text ? 255 : 8;
        return r;
    }

    static void arity(const jet_sql_expr& e, int lo, int hi)
    {
        int n = static_cast<int>(e.args.size());
        if (n < lo || n > hi)
            throw jet_sql_error::expression(u"Wrong number of arguments used with function", e.source);
    }

    xt aggregate(const jet_sql_expr& e, scope& sc)
    {
        arity(e, 1, 1);
        std::u16string n = e.text;
        xt a = expr(*e.args[0], sc, false);
        if (a.aggregate) throw jet_sql_error(jet_err_not_in_aggregate, e.source);
        xt r;
        r.aggregate = true;
        r.size = a.size;
        auto is = [&](const char16_t* w) { return jet_sql_ascii_equal_nocase(n, w); };
        if (is(u"count")) {
            r.sql = "count(" + a.sql + ")";
            r.type = jet_dao_long;
            r.size = 4;
            return r;
        }
        if (e.args[0]->kind == ek::star) throw jet_sql_error::expression(u"Syntax error (missing operator)", e.source);
        int32_t t = a.type == 0 ? jet_dao_double : a.type;
        if (is(u"sum")) {
            r.sql = (t == jet_dao_currency  ? "jet_sumcur("
                     : t == jet_dao_decimal ? "jet_sumdec("
                                            : "sum(") +
                    a.sql + ")";
            r.type = rank_of(t) <= 3 ? jet_dao_long : (t == jet_dao_single ? jet_dao_double : t);
        } else if (is(u"avg")) {
            r.sql = "avg(" + a.sql + ")";
            r.type = (t == jet_dao_currency || t == jet_dao_decimal) ? t : jet_dao_double;
        } else if (is(u"min") || is(u"max") || is(u"first") || is(u"last")) {
            const std::string fn = is(u"min")     ? "min("
                                   : is(u"max")   ? "max("
                                   : is(u"first") ? "jet_first("
                                                  : "jet_last(";
            r.type = t;
            // The stored integers order as the date numbers do.
            if (!a.raw.empty()) {
                r.raw = fn + a.raw + ")";
                r.sql = "jet_xdate(" + r.raw + ")";
            } else {
                r.sql = fn + a.sql + ")";
            }
        } else {
            std::string fn = "jet_" + tk_to_utf8(tk_fold_case(n));
            r.sql = fn + "(" + a.sql + ")";
            r.type = jet_dao_double;
        }
        if (r.type == jet_dao_boolean && !is(u"min") && !is(u"max") && !is(u"first") && !is(u"last"))
            r.type = jet_dao_long;
        r.size = is_text(r.type) ? (r.type == jet_dao_memo ? 0 : a.size) : 8;
        return r;
    }

    static int32_t common_type(const xt& a, const xt& b)
    {
        if (a.type == 0) return b.type;
        if (b.type == 0 || a.type == b.type) return a.type;
        if (is_numeric(a.type) && is_numeric(b.type)) return jet_sql_widen(a.type, b.type);
        if (a.type == jet_dao_memo || b.type == jet_dao_memo) return jet_dao_memo;
        return jet_dao_text;
    }

    xt iif(const jet_sql_expr& e, scope& sc)
    {
        arity(e, 3, 3);
        xt c = expr(*e.args[0], sc, true);
        xt a = expr(*e.args[1], sc, false);
        xt b = expr(*e.args[2], sc, false);
        xt r;
        r.type = common_type(a, b);
        if (is_text(r.type)) {
            a = to_text(a);
            b = to_text(b);
        }
        r.sql = "(CASE WHEN " + c.sql + " THEN " + a.sql + " ELSE " + b.sql + " END)";
        r.size = is_text(r.type) ? 255 : 8;
        r.aggregate = c.aggregate || a.aggregate || b.aggregate;
        return r;
    }

    xt nz(const jet_sql_expr& e, scope& sc)
    {
        arity(e, 1, 2);
        xt a = expr(*e.args[0], sc, false);
        xt b;
        if (e.args.size() == 2) {
            b = expr(*e.args[1], sc, false);
        } else {
            b = is_numeric(a.type) || a.type == jet_dao_date ? xt{"0", jet_dao_long, 4} : xt{"''", jet_dao_text, 255};
        }
        xt r;
        r.type = e.args.size() == 2 ? common_type(a, b) : a.type;
        if (is_text(r.type)) {
            a = to_text(a);
            b = to_text(b);
        }
        r.sql = "coalesce(" + a.sql + ", " + b.sql + ")";
        r.size = is_text(r.type) ? 255 : 8;
        r.aggregate = a.aggregate || b.aggregate;
        return r;
    }

    xt switch_call(const jet_sql_expr& e, scope& sc)
    {
        if (e.args.empty() || e.args.size() % 2 != 0) arity(e, -1, -1);
        xt r;
        std::vector<xt> values;
        std::string sql = "(CASE";
        for (size_t i = 0; i < e.args.size(); i += 2) {
            xt c = expr(*e.args[i], sc, true);
            xt v = expr(*e.args[i + 1], sc, false);
            r.type = i == 0 ? v.type : common_type(r, v);
            r.aggregate = r.aggregate || c.aggregate || v.aggregate;
            values.push_back(v);
            sql += " WHEN " + c.sql + " THEN @" + std::to_string(values.size() - 1) + "@";
        }
        sql += " END)";
        return finish_branches(r, sql, values);
    }

    xt choose(const jet_sql_expr& e, scope& sc)
    {
        arity(e, 2, 1000);
        xt idx = expr(*e.args[0], sc, false);
        xt r;
        r.aggregate = idx.aggregate;
        std::vector<xt> values;
        std::string sql = "(CASE jet_fix(" + idx.sql + ")";
        for (size_t i = 1; i < e.args.size(); ++i) {
            xt v = expr(*e.args[i], sc, false);
            r.type = i == 1 ? v.type : common_type(r, v);
            r.aggregate = r.aggregate || v.aggregate;
            values.push_back(v);
            sql += " WHEN " + std::to_string(i) + " THEN @" + std::to_string(values.size() - 1) + "@";
        }
        sql += " END)";
        return finish_branches(r, sql, values);
    }

    // Puts the branch values, converted to the common type, into the
    // CASE text at their @n@ marks.
    static xt finish_branches(xt r, const std::string& sql, std::vector<xt>& values)
    {
        std::string out;
        for (size_t i = 0; i < sql.size(); ++i) {
            if (sql[i] != '@') {
                out += sql[i];
                continue;
            }
            size_t end = sql.find('@', i + 1);
            size_t n = std::stoul(sql.substr(i + 1, end - i - 1));
            out += is_text(r.type) ? to_text(values[n]).sql : values[n].sql;
            i = end;
        }
        r.sql = out;
        r.size = is_text(r.type) ? 255 : 8;
        return r;
    }

    xt instr(const jet_sql_expr& e, scope& sc)
    {
        arity(e, 2, 4);
        std::vector<xt> a;
        for (const auto& x : e.args) a.push_back(expr(*x, sc, false));
        xt r;
        r.type = jet_dao_long;
        r.size = 4;
        for (const xt& x : a) r.aggregate = r.aggregate || x.aggregate;
        // InStr([start, ]string1, string2[, compare]): a leading number is
        // the start position.
        bool has_start = a.size() >= 3;
        std::string start = has_start ? a[0].sql : "1";
        size_t first = has_start ? 1 : 0;
        std::string compare = a.size() == 4 ? a[3].sql : "1";
        r.sql = "jet_instr(" + start + ", " + to_text(a[first]).sql + ", " + to_text(a[first + 1]).sql + ", " +
                compare + ")";
        return r;
    }

    jet_sql_catalog& catalog_;
    int depth_;
    int derived_ = 0;
    bool marking_output_ = false;  // resolving output columns (DISTINCTROW)
    bool ticks_out_ = true;        // output columns may be stored Date/Time Extended integers
    std::vector<std::u16string> params_;
    std::vector<std::u16string> tables_;
    std::vector<int> refs_;
    std::vector<std::vector<bool>> used_;  // per table, per column: read by the statement
    int selects_ = 0;                      // SELECTs translated, subqueries included
    bool outer_join_ = false;              // a LEFT or RIGHT JOIN was seen
    std::vector<std::pair<std::u16string, std::u16string>> hints_;
};

}  // namespace

int32_t jet_sql_widen(int32_t a, int32_t b)
{
    if (a == 0) return b == 0 ? jet_dao_long : b;
    if (b == 0) return a;
    if (!is_numeric(a) || !is_numeric(b)) return jet_dao_double;
    if ((a == jet_dao_single && (b == jet_dao_long || b == jet_dao_bigint)) ||
        (b == jet_dao_single && (a == jet_dao_long || a == jet_dao_bigint)))
        return jet_dao_double;
    int32_t r = rank_of(a) >= rank_of(b) ? a : b;
    if (r == jet_dao_boolean) r = jet_dao_integer;
    return r;
}

std::string jet_sql_table_marker(size_t i)
{
    std::string marker(1, '\x01');
    marker += std::to_string(i);
    marker += '\x01';
    return marker;
}

jet_sql_translation jet_sql_translate(const jet_sql_query& query, jet_sql_catalog& catalog)
{
    return translator(catalog).run(query);
}
