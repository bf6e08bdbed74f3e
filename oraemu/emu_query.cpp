#include "emu_query.h"

#include "emu_values.h"
#include "emu_views.h"

#include <cstdlib>
#include <limits>

namespace emu {

namespace {

bool numeric_type(col_type t) {
    return t == col_type::number || t == col_type::float_ || t == col_type::binary_double;
}

column_info computed_info(const std::string& name, col_type t) {
    column_info i;
    i.name = name;
    i.type = t;
    switch (t) {
    case col_type::number:
    case col_type::float_: i.size = 22; i.scale = -127; break;
    case col_type::binary_double: i.size = 8; break;
    case col_type::date: i.size = 7; break;
    case col_type::timestamp: i.size = 11; i.scale = 6; break;
    case col_type::rowid: i.size = 10; break;
    case col_type::clob: case col_type::nclob: case col_type::blob: i.size = 4000; break;
    default: i.size = 4000; i.char_length = 4000; break;
    }
    return i;
}

scalar make_scalar(std::string sql, col_type t, bool numeric = false) {
    scalar s;
    s.sql = std::move(sql);
    s.type = t;
    s.numeric_sql = numeric;
    return s;
}

// LOBs cannot be compared, sorted, grouped or made distinct.
void refuse_lob(col_type t) {
    if (is_lob(t)) throw make_error(932, {"-", type_name(t)});
}

// Flattens a chain of ANDs.
void conjuncts(const expr& e, std::vector<const expr*>& out) {
    if (e.k == expr::binop && e.name == "AND") {
        conjuncts(*e.args[0], out);
        conjuncts(*e.args[1], out);
    } else {
        out.push_back(&e);
    }
}

// ROWNUM <= n, ROWNUM < n and ROWNUM = 1 become a LIMIT; ROWNUM > n,
// ROWNUM >= n (n > 1) and ROWNUM = n (n > 1) select nothing, since ROWNUM
// is given to a row only when it is returned.
bool rownum_limit(const expr& e, long long& limit) {
    if (e.k != expr::binop || e.args.size() != 2) return false;
    if (e.args[0]->k != expr::rownum || e.args[1]->k != expr::num) return false;
    long long n = std::atoll(e.args[1]->text.c_str());
    if (e.name == "<=") limit = n;
    else if (e.name == "<") limit = n - 1;
    else if (e.name == "=" && n == 1) limit = 1;
    else if ((e.name == ">" && n < 1) || (e.name == ">=" && n <= 1)) limit = std::numeric_limits<long long>::max();
    else if (e.name == ">" || e.name == ">=" || e.name == "=") limit = 0;
    else return false;
    if (limit < 0) limit = 0;
    return true;
}

bool has_rownum_limit(const select_stmt& q) {
    if (!q.where) return false;
    std::vector<const expr*> parts;
    conjuncts(*q.where, parts);
    long long l;
    for (const expr* p : parts)
        if (rownum_limit(*p, l)) return true;
    return false;
}

}  // namespace

std::string translator::num(const scalar& s) const {
    if (s.numeric_sql || !numeric_type(s.type)) return s.sql;
    return "CAST(" + s.sql + " AS NUMERIC)";
}

// ---- sources -------------------------------------------------------------------

source translator::table_source(const table_meta& t, const std::string& alias) {
    source src;
    src.alias = alias.empty() ? t.name : alias;
    src.sql_alias = next_alias();
    src.from_sql = sq_name(t.sqlite_name()) + " AS " + src.sql_alias;
    src.base = true;
    src.obj_id = t.obj_id;
    src.owner = t.owner;
    src.table = t.name;
    for (const auto& c : t.columns) {
        src_col sc;
        sc.name = c.name;
        sc.info = c.info();
        sc.sql = src.sql_alias + "." + sq_col(c.name);
        src.cols.push_back(std::move(sc));
    }
    return src;
}

source translator::view_source(const std::string& name, const std::string& alias) {
    std::vector<src_col> cols;
    std::string sql;
    if (!view_columns(name, s_.user, s_.version, s_.ident_limit, cols, sql)) throw make_error(942);
    source src;
    src.alias = alias.empty() ? name : alias;
    src.sql_alias = next_alias();
    std::string names;
    for (auto& c : cols) {
        names += (names.empty() ? "" : ", ") + sq_name(c.name);
        c.sql = src.sql_alias + "." + sq_name(c.name);
    }
    src.from_sql = "(WITH v(" + names + ") AS (" + sql + ") SELECT * FROM v) AS " + src.sql_alias;
    src.cols = std::move(cols);
    return src;
}

source translator::from_source(const from_item& f, scope* parent) {
    if (f.sub) {
        translator inner(s_);
        inner.alias_no_ = alias_no_ + 100;
        compiled_query cq = inner.query(*f.sub, parent);
        alias_no_ = inner.alias_no_;
        binds_.insert(binds_.end(), inner.binds_.begin(), inner.binds_.end());
        source src;
        src.alias = f.alias;
        src.sql_alias = next_alias();
        // A limited view is materialized: flattened into the outer query,
        // SQLite would apply the outer ORDER BY before the limit.
        src.from_sql = cq.limited ? "(WITH lv AS MATERIALIZED (" + cq.sql + ") SELECT * FROM lv) AS " + src.sql_alias
                                  : "(" + cq.sql + ") AS " + src.sql_alias;
        for (size_t i = 0; i < cq.cols.size(); ++i) {
            src_col c;
            c.name = cq.cols[i].info.name;
            c.info = cq.cols[i].info;
            c.sql = src.sql_alias + ".c" + std::to_string(i + 1);
            src.cols.push_back(std::move(c));
        }
        return src;
    }
    const std::string owner = s_.schema_of(f.owner);
    if (f.owner.empty() || f.owner == s_.user) {
        if (auto t = s_.cat->table(owner, f.name)) return table_source(*t, f.alias);
    }
    if (f.owner.empty() || f.owner == "SYS" || f.owner == "PUBLIC") return view_source(f.name, f.alias);
    throw make_error(942);
}

// ---- expressions ---------------------------------------------------------------

scalar translator::column_ref(const expr& e, scope& sc) {
    const std::string& name = e.path.back();
    for (scope* s = &sc; s; s = s->parent) {
        const src_col* found = nullptr;
        for (const auto& src : s->sources) {
            if (e.path.size() >= 2 && src.alias != e.path[e.path.size() - 2]) continue;
            for (const auto& c : src.cols) {
                if (c.name != name) continue;
                if (found) throw make_error(918);
                found = &c;
            }
        }
        if (found) {
            scalar r = make_scalar(found->sql, found->info.type, found->numeric_sql);
            r.is_column = true;
            r.info = found->info;
            return r;
        }
    }
    std::string shown;
    for (const auto& p : e.path) shown += (shown.empty() ? "" : ".") + ("\"" + p + "\"");
    throw make_error(904, {shown});
}

scalar translator::rowid_ref(const expr& e, scope& sc) {
    const source* src = nullptr;
    for (const auto& s : sc.sources) {
        if (!e.path.empty() && s.alias != e.path.back()) continue;
        if (!s.base) continue;
        if (src) throw make_error(918);
        src = &s;
    }
    if (!src) throw make_error(904, {"\"ROWID\""});
    return make_scalar("ora_rowid(" + std::to_string(src->obj_id) + ", " + src->sql_alias + ".rowid)",
                       col_type::rowid);
}

scalar translator::sequence_ref(const expr& e) {
    std::string owner = e.path.size() >= 2 ? e.path[0] : s_.user;
    const std::string& name = e.path.back();
    if (!s_.cat->sequence(owner, name)) throw make_error(2289);
    // The first NEXTVAL of a sequence in a row advances it; the others of
    // the same row read the value it gave (evaluated left to right).
    std::string fn = "ora_currval";
    if (e.name == "NEXTVAL" && taken_->insert(owner + "." + name).second) fn = "ora_nextval";
    return make_scalar(fn + "(" + sq_text(owner) + ", " + sq_text(name) + ")", col_type::number);
}

scalar translator::comparison(const std::string& op, scalar l, scalar r) {
    refuse_lob(l.type);
    refuse_lob(r.type);
    std::string o = op == "<>" ? "<>" : op;
    if (numeric_type(l.type) || numeric_type(r.type)) {
        for (scalar* s : {&l, &r}) {
            if (s->text_literal) {
                decimal d;
                if (!parse_decimal(s->literal, d)) throw make_error(1722);
                s->sql = decimal_text(d);
                s->numeric_sql = true;
                s->type = col_type::number;
            } else if (!numeric_type(s->type) && s->type != col_type::rowid) {
                s->sql = "ora_to_number(" + s->sql + ")";
                s->numeric_sql = true;
                s->type = col_type::number;
            }
        }
        return make_scalar("(" + num(l) + " " + o + " " + num(r) + ")", col_type::number, true);
    }
    // Text compared with a date is read with the session's format.
    if (r.text_literal && (l.type == col_type::date || l.type == col_type::timestamp))
        r.sql = std::string(l.type == col_type::date ? "ora_to_date(" : "ora_to_timestamp(") + r.sql + ", NULL)";
    if (l.text_literal && (r.type == col_type::date || r.type == col_type::timestamp))
        l.sql = std::string(r.type == col_type::date ? "ora_to_date(" : "ora_to_timestamp(") + l.sql + ", NULL)";
    return make_scalar("(" + l.sql + " " + o + " " + r.sql + ")", col_type::number, true);
}

scalar translator::arithmetic(const std::string& op, scalar l, scalar r) {
    bool ldate = l.type == col_type::date || l.type == col_type::timestamp;
    bool rdate = r.type == col_type::date || r.type == col_type::timestamp;
    if (ldate && rdate && op == "-")
        return make_scalar("ora_date_diff(" + l.sql + ", " + r.sql + ")", col_type::number, true);
    if (ldate && (op == "+" || op == "-"))
        return make_scalar("ora_date_add(" + l.sql + ", " + (op == "-" ? "-" : "") + "(" + num(r) + "))",
                           col_type::date);
    if (rdate && op == "+")
        return make_scalar("ora_date_add(" + r.sql + ", " + num(l) + ")", col_type::date);
    for (scalar* s : {&l, &r}) {
        if (!numeric_type(s->type)) {
            s->sql = "ora_to_number(" + s->sql + ")";
            s->numeric_sql = true;
        }
    }
    if (op == "/")
        return make_scalar("ora_div(" + num(l) + ", " + num(r) + ")", col_type::number, true);
    return make_scalar("(" + num(l) + " " + op + " " + num(r) + ")", col_type::number, true);
}

scalar translator::binop(const expr& e, scope& sc) {
    const std::string& op = e.name;
    if (op == "=" && (e.args[0]->k == expr::rowid_ || e.args[1]->k == expr::rowid_)) {
        // ROWID = 'literal' is answered through the row key directly.
        const expr& rid = e.args[0]->k == expr::rowid_ ? *e.args[0] : *e.args[1];
        const expr& lit = e.args[0]->k == expr::rowid_ ? *e.args[1] : *e.args[0];
        if (lit.k == expr::str) {
            scalar r = rowid_ref(rid, sc);
            int64_t obj = 0, key = 0;
            std::string alias = r.sql.substr(r.sql.find(", ") + 2);
            alias = alias.substr(0, alias.size() - 1);
            if (!parse_rowid(lit.text, obj, key)) throw make_error(1410);
            std::string want = std::to_string(obj);
            if (r.sql.find("(" + want + ",") == std::string::npos) return make_scalar("(0)", col_type::number, true);
            return make_scalar("(" + alias + " = " + std::to_string(key) + ")", col_type::number, true);
        }
        if (lit.k == expr::bind) {
            // ROWID = :b finds the row through its key, as the literal does,
            // instead of making every row's ROWID text to compare. A bound
            // text that is no ROWID of this table matches nothing, as the
            // text comparison would.
            scalar r = rowid_ref(rid, sc);
            scalar b = expression(lit, sc);
            if (!numeric_type(b.type)) {
                refuse_lob(b.type);
                std::string obj = r.sql.substr(r.sql.find('(') + 1);
                obj = obj.substr(0, obj.find(','));
                std::string alias = r.sql.substr(r.sql.find(", ") + 2);
                alias = alias.substr(0, alias.size() - 1);
                return make_scalar("(" + alias + " = ora_rowid_key(" + obj + ", " + b.sql + "))", col_type::number,
                                   true);
            }
            return comparison(op, e.args[0]->k == expr::rowid_ ? r : b, e.args[0]->k == expr::rowid_ ? b : r);
        }
    }
    scalar l = expression(*e.args[0], sc);
    scalar r = expression(*e.args[1], sc);
    if (op == "AND" || op == "OR") return make_scalar("(" + l.sql + " " + op + " " + r.sql + ")", col_type::number, true);
    if (op == "||") return make_scalar("ora_concat(" + l.sql + ", " + r.sql + ")", col_type::varchar2);
    if (op == "LIKE") {
        std::string sql = "(" + l.sql + " LIKE " + r.sql;
        if (e.args.size() > 2) sql += " ESCAPE " + expression(*e.args[2], sc).sql;
        return make_scalar(sql + ")", col_type::number, true);
    }
    if (op == "+" || op == "-" || op == "*" || op == "/") return arithmetic(op, l, r);
    return comparison(op, l, r);
}

std::string translator::subquery_sql(const select_stmt& q, scope& sc, compiled_query* out) {
    translator inner(s_);
    inner.alias_no_ = alias_no_ + 100;
    compiled_query cq = inner.query(q, &sc);
    alias_no_ = inner.alias_no_;
    binds_.insert(binds_.end(), inner.binds_.begin(), inner.binds_.end());
    if (out) *out = cq;
    return cq.sql;
}

scalar translator::expression(const expr& e, scope& sc) {
    switch (e.k) {
    case expr::num: {
        decimal d;
        if (!parse_decimal(e.text, d)) throw make_error(1722);
        scalar s = make_scalar(decimal_text(d), col_type::number, true);
        s.literal = decimal_text(d);
        return s;
    }
    case expr::str: {
        std::string text = s_.literal_text(e);
        scalar s = make_scalar(sq_text(text), e.nchar ? col_type::nchar : col_type::char_);
        s.text_literal = true;
        s.literal = text;
        return s;
    }
    case expr::null_: return make_scalar("NULL", col_type::varchar2);
    case expr::col: return column_ref(e, sc);
    case expr::bind: {
        binds_.push_back(e.name);
        col_type t = col_type::varchar2;
        if (s_.binds) {
            for (const auto& b : *s_.binds) {
                std::string n = b.name.size() && b.name[0] == ':' ? b.name.substr(1) : b.name;
                if (bind_matches(b.name, e.name)) t = b.v.type;
            }
        }
        return make_scalar("?", t, numeric_type(t));
    }
    case expr::func: return function(e, sc);
    case expr::binop: return binop(e, sc);
    case expr::neg: {
        scalar a = expression(*e.args[0], sc);
        if (a.type == col_type::number && a.numeric_sql && !a.literal.empty() && a.literal[0] != '-') {
            scalar s = make_scalar("-" + a.sql, col_type::number, true);
            s.literal = "-" + a.literal;
            return s;
        }
        return make_scalar("(-" + num(a) + ")", col_type::number, true);
    }
    case expr::not_: return make_scalar("(NOT " + expression(*e.args[0], sc).sql + ")", col_type::number, true);
    case expr::is_null:
        return make_scalar("(" + expression(*e.args[0], sc).sql + (e.negated ? " IS NOT NULL)" : " IS NULL)"),
                           col_type::number, true);
    case expr::in_list: {
        scalar l = expression(*e.args[0], sc);
        std::string sql;
        for (size_t i = 1; i < e.args.size(); ++i) {
            scalar c = comparison("=", l, expression(*e.args[i], sc));
            sql += (sql.empty() ? "" : " OR ") + c.sql;
        }
        sql = "(" + sql + ")";
        return make_scalar(e.negated ? "(NOT " + sql + ")" : sql, col_type::number, true);
    }
    case expr::in_sub: {
        scalar l = expression(*e.args[0], sc);
        refuse_lob(l.type);
        compiled_query cq;
        std::string sub = subquery_sql(*e.sub, sc, &cq);
        std::string left = l.sql;
        if (!cq.cols.empty() && numeric_type(cq.cols[0].info.type)) {
            left = num(l);
            sub = "SELECT CAST(c1 AS NUMERIC) FROM (" + sub + ")";
        }
        return make_scalar("(" + left + (e.negated ? " NOT IN (" : " IN (") + sub + "))", col_type::number, true);
    }
    case expr::between: {
        scalar a = expression(*e.args[0], sc);
        scalar lo = comparison(">=", a, expression(*e.args[1], sc));
        scalar hi = comparison("<=", a, expression(*e.args[2], sc));
        std::string sql = "(" + lo.sql + " AND " + hi.sql + ")";
        return make_scalar(e.negated ? "(NOT " + sql + ")" : sql, col_type::number, true);
    }
    case expr::case_: {
        std::string sql = "CASE";
        col_type t = col_type::varchar2;
        if (e.args[0]) sql += " " + expression(*e.args[0], sc).sql;
        const size_t pairs = (e.args.size() - 2) / 2;
        for (size_t p = 0; p < pairs; ++p) {
            scalar w = expression(*e.args[1 + 2 * p], sc);
            scalar th = expression(*e.args[2 + 2 * p], sc);
            if (p == 0) t = th.type;
            sql += " WHEN " + w.sql + " THEN " + th.sql;
        }
        if (e.args.back()) sql += " ELSE " + expression(*e.args.back(), sc).sql;
        return make_scalar(sql + " END", t);
    }
    case expr::subq: {
        // A scalar subquery with more than one row is ORA-01427: its rows
        // are counted (up to two) beside taking the first.
        compiled_query cq;
        size_t first_bind = binds_.size();
        std::string sub = subquery_sql(*e.sub, sc, &cq);
        std::vector<std::string> again(binds_.begin() + static_cast<long>(first_bind), binds_.end());
        binds_.insert(binds_.end(), again.begin(), again.end());
        col_type t = cq.cols.empty() ? col_type::varchar2 : cq.cols[0].info.type;
        return make_scalar("ora_single_row((" + sub + "), (SELECT count(*) FROM (SELECT 1 FROM (" + sub +
                               ") LIMIT 2)))",
                           t);
    }
    case expr::exists: return make_scalar("(EXISTS (" + subquery_sql(*e.sub, sc) + "))", col_type::number, true);
    case expr::seq: return sequence_ref(e);
    case expr::rowid_: return rowid_ref(e, sc);
    case expr::rownum: return make_scalar("(row_number() OVER ())", col_type::number, true);
    }
    throw make_error(936);
}

// ---- functions -----------------------------------------------------------------

namespace {

void need_args(const expr& e, size_t lo, size_t hi) {
    if (e.args.size() < lo || e.args.size() > hi) throw make_error(909);
}

}  // namespace

scalar translator::aggregate(const expr& e, scope& sc) {
    const std::string& f = e.name;
    std::string d = e.distinct ? "DISTINCT " : "";
    if (f == "COUNT") {
        if (e.star) return make_scalar("count(*)", col_type::number, true);
        need_args(e, 1, 1);
        scalar a = expression(*e.args[0], sc);
        if (e.distinct) refuse_lob(a.type);
        return make_scalar("count(" + d + a.sql + ")", col_type::number, true);
    }
    need_args(e, 1, 1);
    scalar a = expression(*e.args[0], sc);
    refuse_lob(a.type);
    if (f == "SUM" || f == "AVG")
        return make_scalar((f == "SUM" ? "sum(" : "avg(") + d + num(a) + ")", col_type::number, true);
    std::string fn = f == "MIN" ? "min(" : "max(";
    if (numeric_type(a.type)) return make_scalar(fn + num(a) + ")", col_type::number, true);
    scalar r = make_scalar(fn + a.sql + ")", a.type);
    r.info = a.info;
    return r;
}

scalar translator::function(const expr& e, scope& sc) {
    const std::string& f = e.name;
    if (f == "COUNT" || f == "SUM" || f == "AVG" || f == "MIN" || f == "MAX") return aggregate(e, sc);
    std::vector<scalar> a;
    for (const auto& x : e.args) a.push_back(expression(*x, sc));
    auto arg = [&](size_t i) { return a[i].sql; };
    if (f == "SYSDATE") return make_scalar("ora_sysdate()", col_type::date);
    if (f == "SYSTIMESTAMP" || f == "CURRENT_TIMESTAMP") return make_scalar("ora_systimestamp()", col_type::timestamp);
    if (f == "USER") return make_scalar(sq_text(s_.user), col_type::varchar2);
    if (f == "UID") return make_scalar("1", col_type::number, true);
    if (f == "DATE LITERAL") return make_scalar("ora_to_date(" + arg(0) + ", 'YYYY-MM-DD')", col_type::date);
    if (f == "TIMESTAMP LITERAL")
        return make_scalar("ora_to_timestamp(" + arg(0) + ", 'YYYY-MM-DD HH24:MI:SS.FF')", col_type::timestamp);
    if (f == "EMPTY_CLOB") return make_scalar("''", col_type::clob);
    if (f == "EMPTY_BLOB") return make_scalar("x''", col_type::blob);
    if (f == "NVL" || f == "COALESCE") {
        need_args(e, 2, f == "NVL" ? 2 : 64);
        std::string sql = "coalesce(";
        for (size_t i = 0; i < a.size(); ++i) sql += (i ? ", " : "") + arg(i);
        return make_scalar(sql + ")", a[0].type);
    }
    if (f == "NVL2") {
        need_args(e, 3, 3);
        return make_scalar("CASE WHEN " + arg(0) + " IS NOT NULL THEN " + arg(1) + " ELSE " + arg(2) + " END", a[1].type);
    }
    if (f == "DECODE") {
        if (a.size() < 3) throw make_error(909);
        std::string sql = "CASE";
        size_t i = 1;
        for (; i + 1 < a.size(); i += 2) sql += " WHEN " + arg(0) + " IS " + arg(i) + " THEN " + arg(i + 1);
        if (i < a.size()) sql += " ELSE " + arg(i);
        return make_scalar(sql + " END", a[2].type);
    }
    if (f == "UPPER" || f == "LOWER") {
        need_args(e, 1, 1);
        return make_scalar("ora_case(" + arg(0) + ", " + (f == "UPPER" ? "1" : "0") + ")", col_type::varchar2);
    }
    if (f == "LENGTH" || f == "LENGTHB") {
        need_args(e, 1, 1);
        std::string inner = f == "LENGTHB" ? "length(CAST(" + arg(0) + " AS BLOB))" : "length(" + arg(0) + ")";
        return make_scalar(inner, col_type::number, true);
    }
    if (f == "SUBSTR") {
        need_args(e, 2, 3);
        return make_scalar("ora_substr(" + arg(0) + ", " + num(a[1]) + (a.size() > 2 ? ", " + num(a[2]) : "") + ")",
                           col_type::varchar2);
    }
    if (f == "INSTR") {
        need_args(e, 2, 2);
        return make_scalar("instr(" + arg(0) + ", " + arg(1) + ")", col_type::number, true);
    }
    if (f == "TRIM" || f == "LTRIM" || f == "RTRIM") {
        // TRIM takes one argument (the trimmed character comes with FROM);
        // a comma there is where Oracle expects the closing parenthesis.
        if (f == "TRIM" && e.args.size() > 1) throw make_error(907);
        need_args(e, 1, 2);
        std::string fn = f == "TRIM" ? "trim(" : f == "LTRIM" ? "ltrim(" : "rtrim(";
        return make_scalar("nullif(" + fn + arg(0) + (a.size() > 1 ? ", " + arg(1) : "") + "), '')", col_type::varchar2);
    }
    if (f == "REPLACE") {
        need_args(e, 2, 3);
        return make_scalar("nullif(replace(" + arg(0) + ", coalesce(" + arg(1) + ", ''), " +
                               (a.size() > 2 ? "coalesce(" + arg(2) + ", '')" : "''") + "), '')",
                           col_type::varchar2);
    }
    if (f == "LPAD" || f == "RPAD") {
        need_args(e, 2, 3);
        return make_scalar("ora_pad(" + arg(0) + ", " + num(a[1]) + ", " + (a.size() > 2 ? arg(2) : "' '") + ", " +
                               (f == "LPAD" ? "1" : "0") + ")",
                           col_type::varchar2);
    }
    if (f == "CONCAT") {
        need_args(e, 2, 2);
        return make_scalar("ora_concat(" + arg(0) + ", " + arg(1) + ")", col_type::varchar2);
    }
    if (f == "ABS" || f == "FLOOR" || f == "CEIL" || f == "SIGN" || f == "SQRT") {
        need_args(e, 1, 1);
        std::string fn = f == "CEIL" ? "ceil" : f == "FLOOR" ? "floor" : f == "SQRT" ? "sqrt" : f == "SIGN" ? "sign" : "abs";
        return make_scalar(fn + "(" + num(a[0]) + ")", col_type::number, true);
    }
    if (f == "MOD" || f == "POWER") {
        need_args(e, 2, 2);
        std::string fn = f == "MOD" ? "ora_mod(" : "pow(";
        return make_scalar(fn + num(a[0]) + ", " + num(a[1]) + ")", col_type::number, true);
    }
    if (f == "ROUND" || f == "TRUNC") {
        need_args(e, 1, 2);
        bool date = a[0].type == col_type::date || a[0].type == col_type::timestamp;
        if (date) return make_scalar("ora_date_trunc(" + arg(0) + ")", col_type::date);
        std::string fn = f == "ROUND" ? "ora_round(" : "ora_trunc(";
        return make_scalar(fn + num(a[0]) + ", " + (a.size() > 1 ? num(a[1]) : "0") + ")", col_type::number, true);
    }
    if (f == "TO_CHAR") {
        need_args(e, 1, 2);
        std::string kind = numeric_type(a[0].type)                ? "'N'"
                           : a[0].type == col_type::date      ? "'D'"
                           : a[0].type == col_type::timestamp ? "'T'"
                                                              : "'C'";
        return make_scalar("ora_to_char(" + arg(0) + ", " + (a.size() > 1 ? arg(1) : "NULL") + ", " + kind + ")",
                           col_type::varchar2);
    }
    if (f == "TO_NUMBER") {
        need_args(e, 1, 2);
        return make_scalar("ora_to_number(" + arg(0) + ")", col_type::number, true);
    }
    if (f == "TO_DATE") {
        need_args(e, 1, 3);
        return make_scalar("ora_to_date(" + arg(0) + ", " + (a.size() > 1 ? arg(1) : "NULL") + ")", col_type::date);
    }
    if (f == "TO_TIMESTAMP") {
        need_args(e, 1, 2);
        return make_scalar("ora_to_timestamp(" + arg(0) + ", " + (a.size() > 1 ? arg(1) : "NULL") + ")", col_type::timestamp);
    }
    if (f == "HEXTORAW") {
        need_args(e, 1, 1);
        return make_scalar("ora_hextoraw(" + arg(0) + ")", col_type::raw);
    }
    if (f == "RAWTOHEX") {
        need_args(e, 1, 1);
        return make_scalar("nullif(hex(" + arg(0) + "), '')", col_type::varchar2);
    }
    if (f == "TO_CLOB" || f == "TO_NCLOB" || f == "TO_BLOB") {
        need_args(e, 1, 1);
        return make_scalar(arg(0), f == "TO_BLOB" ? col_type::blob : col_type::clob);
    }
    throw make_error(904, {"\"" + f + "\""});
}

// ---- queries -------------------------------------------------------------------

namespace {

bool aggregate_name(const std::string& n) {
    return n == "COUNT" || n == "SUM" || n == "AVG" || n == "MIN" || n == "MAX";
}

// Finds aggregates and the column references outside them (subqueries
// are their own query blocks and are not entered).
void grouping_walk(const expr& e, bool in_agg, bool& has_agg, std::vector<const expr*>& bare) {
    if (e.k == expr::func && aggregate_name(e.name)) {
        has_agg = true;
        in_agg = true;
    }
    if (e.k == expr::col && !in_agg) bare.push_back(&e);
    for (const auto& a : e.args)
        if (a) grouping_walk(*a, in_agg, has_agg, bare);
}

bool same_column(const expr& a, const expr& b) {
    if (a.path.back() != b.path.back()) return false;
    if (a.path.size() >= 2 && b.path.size() >= 2) return a.path[a.path.size() - 2] == b.path[b.path.size() - 2];
    return true;
}

// ORA-00937 for columns beside aggregates without GROUP BY, ORA-00979 for
// columns that are not grouped.
void check_grouping(const select_stmt& q) {
    bool has_agg = false;
    std::vector<const expr*> bare;
    bool star = false;
    for (const auto& it : q.items) {
        if (it.star) star = true;
        else grouping_walk(*it.e, false, has_agg, bare);
    }
    if (q.having) grouping_walk(*q.having, false, has_agg, bare);
    if (q.group_by.empty()) {
        if (has_agg && (!bare.empty() || star)) throw make_error(937);
        return;
    }
    std::vector<const expr*> grouped;
    bool dummy = false;
    for (const auto& g : q.group_by) grouping_walk(*g, false, dummy, grouped);
    if (star) throw make_error(979);
    for (const expr* b : bare) {
        bool ok = false;
        for (const expr* g : grouped) ok = ok || same_column(*b, *g);
        if (!ok) throw make_error(979);
    }
}

}  // namespace

void translator::select_list(const select_stmt& q, scope& sc, compiled_query& cq, std::string& sql,
                             std::vector<std::string>& item_sqls) {
    auto add = [&](const std::string& item_sql, const column_info& info, const source* lob_src,
                   const std::string& lob_column) {
        item_sqls.push_back(item_sql);
        out_column oc;
        oc.info = info;
        if (lob_src && is_lob(info.type) && lob_src->base) {
            oc.owner = lob_src->owner;
            oc.table = lob_src->table;
            oc.column = lob_column;
            oc.rowid_col = -2;   // resolved below
        }
        sql += (cq.cols.empty() ? "" : ", ") + item_sql + " AS c" + std::to_string(cq.cols.size() + 1);
        cq.cols.push_back(std::move(oc));
    };
    std::vector<const source*> lob_sources;
    for (const auto& it : q.items) {
        if (it.star) {
            bool any = false;
            for (const auto& src : sc.sources) {
                if (!it.star_qualifier.empty() && src.alias != it.star_qualifier) continue;
                any = true;
                for (const auto& c : src.cols) {
                    add(c.sql, c.info, &src, c.name);
                    lob_sources.push_back(&src);
                }
            }
            if (!any) throw make_error(904, {"\"" + it.star_qualifier + "\""});
            continue;
        }
        scalar s = expression(*it.e, sc);
        column_info info = s.is_column ? s.info : computed_info(it.heading, s.type);
        const std::string column_name = s.is_column ? s.info.name : std::string();
        if (s.text_literal) {
            info.type = col_type::char_;
            info.size = static_cast<uint32_t>(s.literal.size());
            info.char_length = static_cast<uint32_t>(utf8_chars(s.literal));
        }
        info.name = it.heading;
        const source* src = nullptr;
        if (s.is_column && is_lob(s.type)) {
            for (const auto& so : sc.sources)
                if (s.sql.rfind(so.sql_alias + ".", 0) == 0) src = &so;
        }
        add(s.sql, info, src, column_name);
        lob_sources.push_back(src);
    }
    // Hidden row keys: for LOB columns (their locators) and for FOR UPDATE.
    bool plain = !q.distinct && q.group_by.empty() && q.set_op.empty() && !compound_branch_;
    int next = static_cast<int>(cq.cols.size());
    std::string hidden;
    for (size_t i = 0; i < cq.cols.size(); ++i) {
        if (cq.cols[i].rowid_col != -2) continue;
        if (!plain || !lob_sources[i]) {
            cq.cols[i].rowid_col = -1;
            continue;
        }
        hidden += ", " + lob_sources[i]->sql_alias + ".rowid AS h" + std::to_string(next);
        cq.cols[i].rowid_col = next++;
    }
    if (q.for_update) {
        for (const auto& src : sc.sources) {
            if (!src.base) continue;
            hidden += ", " + src.sql_alias + ".rowid AS h" + std::to_string(next);
            cq.lock_cols.emplace_back(next++, src.obj_id);
        }
    }
    sql += hidden;
}

namespace {

// The ORDER BY key for output column i: numbers sort as numbers. A compound
// query is ordered from outside, where its columns are c1, c2 ...
std::string output_key(const select_stmt& q, const compiled_query& cq, const std::vector<std::string>& item_sql,
                       size_t i) {
    std::string col = q.set_op.empty() ? item_sql[i] : "c" + std::to_string(i + 1);
    return numeric_type(cq.cols[i].info.type) ? "CAST(" + col + " AS NUMERIC)" : col;
}

}  // namespace

std::string translator::order_by(const select_stmt& q, scope& sc, const compiled_query& cq,
                                 const std::vector<std::string>& item_sql) {
    std::string sql;
    for (const auto& [key, direction] : order_keys(q, sc, cq, item_sql))
        sql += (sql.empty() ? " ORDER BY " : ", ") + key + direction;
    return sql;
}

std::vector<std::pair<std::string, std::string>> translator::order_keys(const select_stmt& q, scope& sc,
                                                                        const compiled_query& cq,
                                                                        const std::vector<std::string>& item_sql) {
    std::vector<std::pair<std::string, std::string>> keys;
    for (const auto& o : q.order_by) {
        std::string key;
        const expr& e = *o.e;
        if (e.k == expr::num) {
            size_t n = static_cast<size_t>(std::atoll(e.text.c_str()));
            if (n < 1 || n > cq.cols.size()) throw make_error(1785);
            refuse_lob(cq.cols[n - 1].info.type);
            key = output_key(q, cq, item_sql, n - 1);
        } else {
            int match = -1;
            if (e.k == expr::col && e.path.size() == 1) {
                for (size_t i = 0; i < q.items.size(); ++i)
                    if (q.items[i].has_alias && q.items[i].alias == e.path[0]) match = static_cast<int>(i);
            }
            if (match >= 0 || !q.set_op.empty()) {
                if (match < 0) {
                    for (size_t i = 0; i < cq.cols.size(); ++i)
                        if (e.k == expr::col && cq.cols[i].info.name == e.path.back()) match = static_cast<int>(i);
                    if (match < 0) throw make_error(904, {"\"" + (e.path.empty() ? "" : e.path.back()) + "\""});
                }
                refuse_lob(cq.cols[static_cast<size_t>(match)].info.type);
                key = output_key(q, cq, item_sql, static_cast<size_t>(match));
            } else {
                scalar k = expression(e, sc);
                refuse_lob(k.type);
                key = num(k);
            }
        }
        bool nulls_first = o.nulls == 1 || (o.nulls == 0 && o.desc);
        keys.emplace_back(key, std::string(o.desc ? " DESC" : " ASC") + (nulls_first ? " NULLS FIRST" : " NULLS LAST"));
    }
    return keys;
}

compiled_query translator::query(const select_stmt& q, scope* parent) {
    check_grouping(q);
    scope sc;
    sc.parent = parent;
    std::string from;
    for (const auto& f : q.from) {
        sc.sources.push_back(from_source(f, parent));
        const source& src = sc.sources.back();
        if (from.empty()) {
            from = src.from_sql;
        } else {
            switch (f.join) {
            case from_item::comma: from += ", " + src.from_sql; break;
            case from_item::cross: from += " CROSS JOIN " + src.from_sql; break;
            case from_item::inner: from += " JOIN " + src.from_sql; break;
            case from_item::left: from += " LEFT JOIN " + src.from_sql; break;
            case from_item::right: from += " RIGHT JOIN " + src.from_sql; break;
            }
            if (f.on) from += " ON " + condition(*f.on, sc);
        }
    }
    compiled_query cq;
    std::string items;
    std::vector<std::string> item_sql;
    select_list(q, sc, cq, items, item_sql);
    // ROWNUM is given to rows as they are found, before ORDER BY sorts them:
    // "WHERE ROWNUM <= n ORDER BY k" sorts the first n rows found, not the
    // whole table. The keys then travel out of a limited inner query.
    std::vector<std::pair<std::string, std::string>> late_keys;
    const bool rownum_first = !q.order_by.empty() && q.set_op.empty() && !q.distinct && q.group_by.empty() &&
                              has_rownum_limit(q);
    if (rownum_first) {
        late_keys = order_keys(q, sc, cq, item_sql);
        for (size_t k = 0; k < late_keys.size(); ++k) items += ", " + late_keys[k].first + " AS o" + std::to_string(k + 1);
    }
    if (q.distinct || (!q.set_op.empty() && q.set_op != "UNION ALL"))
        for (const auto& c : cq.cols) refuse_lob(c.info.type);
    std::string sql = std::string("SELECT ") + (q.distinct ? "DISTINCT " : "") + items + " FROM " + from;
    long long limit = -1;
    if (q.where) {
        std::vector<const expr*> parts;
        conjuncts(*q.where, parts);
        std::string where;
        for (const expr* p : parts) {
            long long l;
            if (rownum_limit(*p, l)) {
                limit = limit < 0 ? l : std::min(limit, l);
                continue;
            }
            where += (where.empty() ? "" : " AND ") + condition(*p, sc);
        }
        if (!where.empty()) sql += " WHERE " + where;
    }
    if (!q.group_by.empty()) {
        std::string g;
        for (const auto& e : q.group_by) {
            scalar k = expression(*e, sc);
            refuse_lob(k.type);
            g += (g.empty() ? "" : ", ") + k.sql;
        }
        sql += " GROUP BY " + g;
    }
    if (q.having) sql += " HAVING " + condition(*q.having, sc);
    if (!q.set_op.empty()) {
        const bool was_branch = compound_branch_;
        compound_branch_ = true;
        compiled_query next = query(*q.next, parent);
        compound_branch_ = was_branch;
        if (next.cols.size() != cq.cols.size()) throw make_error(1789);
        std::string op = q.set_op == "MINUS" ? "EXCEPT" : q.set_op;
        sql += " " + op + " " + next.sql;
        binds_.insert(binds_.end(), next.binds.begin(), next.binds.end());
        sql = "SELECT * FROM (" + sql + ")";
    }
    if (rownum_first) {
        std::string outer;
        for (size_t i = 0; i < cq.cols.size(); ++i) outer += (i ? ", c" : "c") + std::to_string(i + 1);
        for (const auto& c : cq.cols)
            if (c.rowid_col >= 0) outer += ", h" + std::to_string(c.rowid_col);
        for (const auto& [col, obj] : cq.lock_cols) outer += ", h" + std::to_string(col);
        std::string order;
        for (size_t k = 0; k < late_keys.size(); ++k)
            order += (k ? ", o" : " ORDER BY o") + std::to_string(k + 1) + late_keys[k].second;
        // MATERIALIZED: SQLite would otherwise flatten the limited query
        // into the sorted one and sort before limiting.
        sql = "WITH rownum_rows AS MATERIALIZED (" + sql + " LIMIT " + std::to_string(limit) + ") SELECT " + outer +
              " FROM rownum_rows" + order;
        cq.limited = true;
        limit = -1;
    } else {
        sql += order_by(q, sc, cq, item_sql);
    }
    if (q.fetch_first >= 0) limit = limit < 0 ? q.fetch_first : std::min(limit, q.fetch_first);
    if (limit >= 0 || q.offset > 0) {
        sql += " LIMIT " + std::to_string(limit);
        cq.limited = true;
    }
    if (q.offset > 0) sql += " OFFSET " + std::to_string(q.offset);
    cq.sql = sql;
    cq.binds = binds_;
    return cq;
}

}  // namespace emu
