// INSERT, UPDATE and DELETE with Oracle's checks.
#include "emu_dml.h"

#include "emu_lexer.h"
#include "emu_query.h"
#include "emu_values.h"

#include <algorithm>
#include <functional>
#include <map>
#include <set>

namespace emu {

std::string column_path(const table_meta& t, const std::string& column) {
    return "\"" + t.owner + "\".\"" + t.name + "\".\"" + column + "\"";
}

// ---- conversion -----------------------------------------------------------------

namespace {

bool numeric(col_type t) {
    return t == col_type::number || t == col_type::float_ || t == col_type::binary_double;
}
bool dated(col_type t) { return t == col_type::date || t == col_type::timestamp; }
bool binary(col_type t) { return t == col_type::raw || t == col_type::blob; }

const char* type_word(col_type t) {
    if (numeric(t)) return "NUMBER";
    if (dated(t)) return "DATE";
    if (binary(t)) return "BINARY";
    return "CHAR";
}

std::string as_text(const session::impl& s, const incoming& v) {
    if (numeric(v.type)) return oracle_number_text(v.data);
    if (v.type == col_type::date) return date_to_char(v.data, s.nls_date_format);
    if (v.type == col_type::timestamp) return date_to_char(v.data, s.nls_timestamp_format);
    if (binary(v.type)) return hex_encode(v.data);
    return v.data;
}

std::optional<std::string> character_value(const session::impl& ses, const incoming& v, const table_meta& t,
                                           const column_meta& c) {
    std::string s = as_text(ses, v);
    if (s.empty()) return std::nullopt;
    if (!is_national(c.type)) s = in_db_charset(s, ses.db_charset);
    size_t actual;
    size_t max = static_cast<size_t>(c.char_length);
    const size_t bytes = db_charset_bytes(s, ses.db_charset);
    if (is_national(c.type)) actual = utf16_units(s);
    else if (c.char_sem) actual = utf8_chars(s);
    else actual = bytes, max = static_cast<size_t>(c.data_length);
    if (actual > max)
        throw make_error(12899, {column_path(t, c.name), std::to_string(actual), std::to_string(max)});
    // Character length semantics do not lift the byte limit of the type:
    // VARCHAR2(4000 CHAR) still holds at most 4000 bytes.
    if (c.char_sem && !is_national(c.type) && bytes > static_cast<size_t>(c.data_length))
        throw make_error(12899, {column_path(t, c.name), std::to_string(bytes), std::to_string(c.data_length)});
    if (c.type == col_type::char_ || c.type == col_type::nchar) s.append(max - actual, ' ');
    return s;
}

}  // namespace

std::optional<std::string> coerce(const session::impl& s, const incoming& v, const table_meta& t,
                                  const column_meta& c) {
    if (v.null) return std::nullopt;
    switch (c.type) {
    case col_type::number:
    case col_type::float_:
    case col_type::binary_double:
        if (dated(v.type) || binary(v.type)) throw make_error(932, {"NUMBER", type_word(v.type)});
        if (v.canonical && c.type != col_type::binary_double &&
            number_stored_as_is(v.data, c.precision, c.type == col_type::float_ ? -1 : c.scale,
                         c.type == col_type::float_ ? c.precision : 0))
            return v.data;
        if (c.type == col_type::binary_double) return double_text(std::stod(number_for_column(v.data, -1, -1)));
        return number_for_column(v.data, c.precision, c.type == col_type::float_ ? -1 : c.scale,
                                 c.type == col_type::float_ ? c.precision : 0);
    case col_type::date:
    case col_type::timestamp:
        if (numeric(v.type) || binary(v.type)) throw make_error(932, {"DATE", type_word(v.type)});
        if (v.data.empty()) return std::nullopt;
        if (dated(v.type))
            return date_for_column(v.data, c.type == col_type::timestamp, c.scale < 0 ? 6 : c.scale);
        return date_for_column(to_date(v.data, c.type == col_type::timestamp ? s.nls_timestamp_format
                                                                             : s.nls_date_format),
                               c.type == col_type::timestamp, c.scale < 0 ? 6 : c.scale);
    case col_type::raw: {
        if (numeric(v.type) || dated(v.type)) throw make_error(932, {"BINARY", type_word(v.type)});
        std::string b = binary(v.type) ? v.data : hex_decode(v.data);
        if (b.empty()) return std::nullopt;
        if (b.size() > static_cast<size_t>(c.data_length))
            throw make_error(12899, {column_path(t, c.name), std::to_string(b.size()), std::to_string(c.data_length)});
        return b;
    }
    case col_type::blob:
        if (numeric(v.type) || dated(v.type)) throw make_error(932, {"BLOB", type_word(v.type)});
        return binary(v.type) ? v.data : hex_decode(v.data);
    case col_type::clob:
    case col_type::nclob:
    case col_type::long_:
        if (binary(v.type) && v.type == col_type::blob) throw make_error(932, {"CLOB", "BLOB"});
        if (c.type == col_type::nclob) return as_text(s, v);
        return in_db_charset(as_text(s, v), s.db_charset);
    case col_type::rowid: return v.data;
    default: return character_value(s, v, t, c);
    }
}

void bind_stored(sql_stmt& q, int pos, const std::optional<std::string>& v, col_type t, bool held) {
    if (!v) q.bind_null(pos);
    else if (binary(t)) held ? q.bind_blob_held(pos, *v) : q.bind_blob(pos, *v);
    else held ? q.bind_held(pos, *v) : q.bind(pos, *v);
}

std::optional<std::string> read_stored(sql_stmt& q, int i, col_type t) {
    if (q.is_null(i)) return std::nullopt;
    if (binary(t)) return q.type(i) == SQLITE_BLOB ? q.blob(i) : q.text(i);
    if (q.type(i) == SQLITE_INTEGER) return std::to_string(q.int64(i));
    if (q.type(i) == SQLITE_FLOAT) return double_text(q.real(i));
    return q.text(i);
}

// ---- key checks -----------------------------------------------------------------

namespace {

// A SQLite text made from a table's definition: inside an array (whose
// rows cannot change the dictionary) made once, otherwise into `scratch`.
template <class F>
const std::string& memo_sql(session::impl& s, const table_meta& t, const char* purpose, std::string& scratch,
                            F make) {
    if (!s.array_execution) return scratch = make();
    auto [at, fresh] = s.memo.sql.try_emplace(t.owner + "\n" + t.name + "\n" + purpose);
    if (fresh) at->second = make();
    return at->second;
}

}  // namespace

namespace {

// "c1 = ? AND c2 = ?" for the key columns; false when a key value is NULL
// in every column (such rows are not checked).
bool key_filter(const table_meta& t, const std::vector<std::string>& cols, const stored_row& row,
                std::string& where, std::vector<std::pair<std::optional<std::string>, col_type>>& args,
                bool any_null_skips) {
    bool all_null = true, any_null = false;
    for (const auto& c : cols) {
        int i = t.find(c);
        if (i < 0) continue;
        const auto& v = row[static_cast<size_t>(i)];
        where += (where.empty() ? "" : " AND ") + sq_col(c) + (v ? " = ?" : " IS NULL");
        if (v) args.emplace_back(v, t.columns[static_cast<size_t>(i)].type), all_null = false;
        else any_null = true;
    }
    return any_null_skips ? !any_null : !all_null;
}

std::vector<std::string> referenced_columns(session::impl& s, const constraint_meta& fk, table_meta& parent) {
    auto key = s.cat->constraint(fk.r_owner, fk.r_name);
    if (!key) return {};
    auto p = s.cat->table(fk.r_owner, key->table);
    if (!p) return {};
    parent = *p;
    return key->columns;
}

bool rows_exist(session::impl& s, const table_meta& t, const std::string& where,
                const std::vector<std::pair<std::optional<std::string>, col_type>>& args, int64_t except) {
    std::string sql = "SELECT 1 FROM " + sq_name(t.sqlite_name()) + " WHERE " + where;
    if (except) sql += " AND rowid <> ?";
    sql += " LIMIT 1";
    sql_stmt q(s.st->db(), sql);
    int pos = 1;
    for (const auto& [v, ty] : args) bind_stored(q, pos++, v, ty);
    if (except) q.bind(pos, except);
    return q.step();
}

}  // namespace

void row_checker::check_keys(const stored_row& row, int64_t self) {
    for (const auto* list : {&t_.constraints, &t_.unique_indexes})
        for (const auto& c : *list) check_key(c, row, self);
}

void row_checker::check_key(const constraint_meta& c, const stored_row& row, int64_t self) {
    if (c.type != 'P' && c.type != 'U') return;
    if (self == 0 && c.columns.size() == 1 && t_.find(c.columns[0]) >= 0 &&
        row[static_cast<size_t>(t_.find(c.columns[0]))]) {
        if (single_key_taken(c, row)) throw make_error(1, {t_.owner, c.name});
        return;
    }
    std::string where;
    std::vector<std::pair<std::optional<std::string>, col_type>> args;
    if (!key_filter(t_, c.columns, row, where, args, false)) return;
    if (rows_exist(s_, t_, where, args, self)) throw make_error(1, {t_.owner, c.name});
}

bool row_checker::single_key_taken(const constraint_meta& c, const stored_row& row) {
    // One key column, not NULL: the common case of every row of a load,
    // its text made once per array.
    int i = t_.find(c.columns[0]);
    const auto& v = row[static_cast<size_t>(i)];
    std::string scratch;
    const std::string& sql = memo_sql(s_, t_, ("key " + c.name).c_str(), scratch, [&] {
        return "SELECT 1 FROM " + sq_name(t_.sqlite_name()) + " WHERE " + sq_col(c.columns[0]) + " = ? LIMIT 1";
    });
    sql_stmt q(s_.st->db(), sql);
    bind_stored(q, 1, v, t_.columns[static_cast<size_t>(i)].type, true);  // v outlives q
    return q.step();
}

void row_checker::check_parents(const stored_row& row, const stored_row* old_row) {
    for (const auto& c : t_.constraints) {
        if (c.type != 'R') continue;
        table_meta parent;
        std::vector<std::string> pcols = referenced_columns(s_, c, parent);
        if (pcols.size() != c.columns.size()) continue;
        bool changed = !old_row;
        std::string where;
        std::vector<std::pair<std::optional<std::string>, col_type>> args;
        bool any_null = false;
        for (size_t k = 0; k < c.columns.size(); ++k) {
            int i = t_.find(c.columns[k]);
            const auto& v = row[static_cast<size_t>(i)];
            if (old_row && (*old_row)[static_cast<size_t>(i)] != v) changed = true;
            if (!v) any_null = true;
            int pi = parent.find(pcols[k]);
            where += (where.empty() ? "" : " AND ") + sq_col(pcols[k]) + " = ?";
            args.emplace_back(v, pi >= 0 ? parent.columns[static_cast<size_t>(pi)].type : col_type::varchar2);
        }
        if (any_null || !changed) continue;
        if (!rows_exist(s_, parent, where, args, 0)) throw make_error(2291, {t_.owner, c.name});
    }
}

void row_checker::check_children(const stored_row& old_row, const stored_row& new_row) {
    for (const auto& fk : s_.cat->referencing(t_.owner, t_.name)) {
        table_meta parent;
        std::vector<std::string> pcols = referenced_columns(s_, fk, parent);
        bool changed = false;
        for (const auto& pc : pcols) {
            int i = t_.find(pc);
            if (i >= 0 && old_row[static_cast<size_t>(i)] != new_row[static_cast<size_t>(i)]) changed = true;
        }
        if (!changed) continue;
        auto child = s_.cat->table(t_.owner, fk.table);   // foreign keys stay within a schema
        if (!child) continue;
        std::string where;
        std::vector<std::pair<std::optional<std::string>, col_type>> args;
        bool skip = false;
        for (size_t k = 0; k < fk.columns.size() && k < pcols.size(); ++k) {
            const auto& v = old_row[static_cast<size_t>(t_.find(pcols[k]))];
            if (!v) skip = true;
            int ci = child->find(fk.columns[k]);
            where += (where.empty() ? "" : " AND ") + sq_col(fk.columns[k]) + " = ?";
            args.emplace_back(v, ci >= 0 ? child->columns[static_cast<size_t>(ci)].type : col_type::varchar2);
        }
        if (!skip && rows_exist(s_, *child, where, args, 0)) throw make_error(2292, {t_.owner, fk.name});
    }
}

// ---- CHECK conditions and defaults --------------------------------------------------

namespace {

std::unique_ptr<statement> parse_condition(session::impl& s, const std::string& condition) {
    auto st = parse_statement("SELECT 1 FROM DUAL WHERE " + condition, s.ident_limit);
    if (!st->query || !st->query->where || !st->query->group_by.empty() || !st->query->order_by.empty() ||
        st->query->next)
        throw make_error(920);
    return st;
}

// Walks an expression for what a stored condition or default may not hold.
void walk(const expr& e, const std::function<void(const expr&)>& visit) {
    visit(e);
    for (const auto& a : e.args)
        if (a) walk(*a, visit);
}

}  // namespace

bool is_not_null_check(const constraint_meta& c) {
    return c.type == 'C' && c.columns.size() == 1 && c.search_condition == "\"" + c.columns[0] + "\" IS NOT NULL";
}

std::vector<std::string> check_condition(session::impl& s, const table_meta& t, const std::string& condition) {
    auto st = parse_condition(s, condition);
    std::vector<std::string> cols;
    walk(*st->query->where, [&](const expr& e) {
        if (e.k == expr::subq || e.k == expr::exists || e.k == expr::in_sub) throw make_error(2251);
        if (e.k == expr::seq) throw make_error(2287);
        if (e.k == expr::rownum) throw make_error(2436);
        if (e.k == expr::func && (e.name == "SYSDATE" || e.name == "SYSTIMESTAMP" || e.name == "CURRENT_TIMESTAMP" ||
                                  e.name == "USER" || e.name == "UID"))
            throw make_error(2436);
        if (e.k == expr::col && std::find(cols.begin(), cols.end(), e.path.back()) == cols.end())
            cols.push_back(e.path.back());
    });
    translator tr(s);
    scope sc;
    sc.sources.push_back(tr.table_source(t, ""));
    tr.condition(*st->query->where, sc);   // unknown columns and functions: ORA-00904
    return cols;
}

void check_default(session::impl& s, const std::string& default_text) {
    auto st = parse_statement("SELECT " + default_text + " FROM DUAL", s.ident_limit);
    if (st->query->items.size() != 1 || !st->query->items[0].e) throw make_error(936);
    const expr& e = *st->query->items[0].e;
    walk(e, [&](const expr& x) {
        if (x.k == expr::col || x.k == expr::rownum || x.k == expr::rowid_) throw make_error(984);
        // Sequences in defaults came with 12c.
        if (x.k == expr::seq && s.version == "11g") throw make_error(984);
        if (x.k == expr::subq || x.k == expr::exists || x.k == expr::in_sub) throw make_error(22818);
    });
    translator tr(s);
    scope sc;
    tr.expression(e, sc);   // unknown functions: ORA-00904
}

void row_checker::check_conditions(const stored_row& row) {
    for (const auto& c : t_.constraints) {
        if (c.type != 'C' || is_not_null_check(c)) continue;
        auto st = parse_condition(s_, c.search_condition);
        translator tr(s_);
        scope sc;
        sc.sources.push_back(tr.table_source(t_, ""));
        source& src = sc.sources.back();
        // The row is checked before it is written: its values stand in for
        // the table under the same column names.
        std::string values;
        for (const auto& col : t_.columns) values += (values.empty() ? "? AS " : ", ? AS ") + sq_col(col.name);
        src.from_sql = "(SELECT " + values + ") AS " + src.sql_alias;
        std::string cond = tr.condition(*st->query->where, sc);
        sql_stmt q(s_.st->db(), "SELECT 1 FROM " + src.from_sql + " WHERE NOT (" + cond + ")");
        for (size_t i = 0; i < row.size(); ++i) bind_stored(q, static_cast<int>(i + 1), row[i], t_.columns[i].type);
        if (q.step()) throw make_error(2290, {t_.owner, c.name});
    }
}

// ---- delete ---------------------------------------------------------------------

namespace {

std::vector<std::pair<int64_t, stored_row>> select_rows(session::impl& s, const table_meta& t,
                                                        const std::string& where,
                                                        const std::vector<std::pair<std::optional<std::string>, col_type>>& args) {
    std::string cols;
    for (const auto& c : t.columns) cols += ", " + sq_col(c.name);
    sql_stmt q(s.st->db(), "SELECT rowid" + cols + " FROM " + sq_name(t.sqlite_name()) + " WHERE " + where);
    int pos = 1;
    for (const auto& [v, ty] : args) bind_stored(q, pos++, v, ty);
    std::vector<std::pair<int64_t, stored_row>> out;
    while (q.step()) {
        stored_row r;
        for (size_t i = 0; i < t.columns.size(); ++i) r.push_back(read_stored(q, static_cast<int>(i + 1), t.columns[i].type));
        out.emplace_back(q.int64(0), std::move(r));
    }
    return out;
}

}  // namespace

void delete_row(session::impl& s, const table_meta& t, int64_t key, const stored_row& row, int depth) {
    if (depth > 64) throw make_error(600, {"cascade depth"});
    for (const auto& fk : s.cat->referencing(t.owner, t.name)) {
        table_meta parent;
        std::vector<std::string> pcols = referenced_columns(s, fk, parent);
        auto child = s.cat->table(t.owner, fk.table);
        if (!child || pcols.size() != fk.columns.size()) continue;
        std::string where;
        std::vector<std::pair<std::optional<std::string>, col_type>> args;
        bool skip = false;
        for (size_t k = 0; k < fk.columns.size(); ++k) {
            const auto& v = row[static_cast<size_t>(t.find(pcols[k]))];
            if (!v) skip = true;
            int ci = child->find(fk.columns[k]);
            where += (where.empty() ? "" : " AND ") + sq_col(fk.columns[k]) + " = ?";
            args.emplace_back(v, ci >= 0 ? child->columns[static_cast<size_t>(ci)].type : col_type::varchar2);
        }
        if (skip) continue;
        auto rows = select_rows(s, *child, where, args);
        if (child->name == t.name) {
            // A row may refer to itself; that reference goes with it.
            std::erase_if(rows, [key](const auto& r) { return r.first == key; });
        }
        if (rows.empty()) continue;
        if (fk.delete_rule == "CASCADE") {
            for (const auto& [k, r] : rows) delete_row(s, *child, k, r, depth + 1);
        } else if (fk.delete_rule == "SET NULL") {
            std::string set;
            for (const auto& c : fk.columns) {
                int ci = child->find(c);
                if (ci >= 0 && !child->columns[static_cast<size_t>(ci)].nullable)
                    throw make_error(1407, {column_path(*child, c)});
                set += (set.empty() ? "" : ", ") + sq_col(c) + " = NULL";
            }
            for (const auto& [k, r] : rows) {
                sql_stmt u(s.st->db(), "UPDATE " + sq_name(child->sqlite_name()) + " SET " + set + " WHERE rowid=?");
                u.bind(1, k).run();
            }
        } else {
            throw make_error(2292, {t.owner, fk.name});
        }
    }
    sql_stmt d(s.st->db(), "DELETE FROM " + sq_name(t.sqlite_name()) + " WHERE rowid=?");
    d.bind(1, key).run();
    s.locked.erase({t.obj_id, key});
}

// ---- triggers -------------------------------------------------------------------

bool compile_trigger(session::impl& s, const std::string& owner, const std::string& table,
                     const std::string& when_clause, const std::string& body, trigger_action& out) {
    auto t = s.cat->table(owner, table);
    if (!t) return false;
    try {
        if (!when_clause.empty()) {
            auto w = tokenize(when_clause);
            // NEW . C IS [NOT] NULL
            if (w.size() < 5 || !w[0].is("NEW") || !w[1].is_op(".") || !w[3].is("IS")) return false;
            out.has_when = true;
            out.when_column = w[2].text;
            size_t i = 4;
            if (w[i].is("NOT")) out.when_not_null = true, ++i;
            if (!w[i].is("NULL") || w[i + 1].k != token::end) return false;
            if (t->find(out.when_column) < 0) return false;
        }
        auto b = tokenize(body);
        size_t i = 0;
        auto is = [&](const char* kw) { return i < b.size() && b[i].is(kw); };
        auto op = [&](const char* o) { return i < b.size() && b[i].is_op(o); };
        if (!is("BEGIN")) return false;
        ++i;
        std::vector<std::string> seq;
        auto read_seq = [&]() {
            while (i < b.size() && (b[i].k == token::ident || b[i].k == token::qident)) {
                if (b[i].is("NEXTVAL")) return true;
                seq.push_back(b[i].text);
                ++i;
                if (!op(".")) return false;
                ++i;
            }
            return false;
        };
        if (is("SELECT")) {
            ++i;
            if (!read_seq()) return false;
            ++i;
            if (!is("INTO")) return false;
            ++i;
            if (i >= b.size() || b[i].k != token::bind || b[i].text != "NEW") return false;
            ++i;
            if (!op(".")) return false;
            ++i;
            out.target_column = b[i++].text;
            if (!is("FROM")) return false;
            ++i;
            if (!is("DUAL")) return false;
            ++i;
        } else if (i < b.size() && b[i].k == token::bind && b[i].text == "NEW") {
            ++i;
            if (!op(".")) return false;
            ++i;
            out.target_column = b[i++].text;
            if (!op(":=")) return false;
            ++i;
            if (!read_seq()) return false;
            ++i;
        } else {
            return false;
        }
        if (!op(";")) return false;
        ++i;
        if (!is("END")) return false;
        ++i;
        if (i < b.size() && b[i].k == token::ident) ++i;   // END name;
        if (!op(";")) return false;
        if (i + 1 >= b.size() || b[i + 1].k != token::end) return false;   // nothing after END;
        if (seq.empty() || seq.size() > 2) return false;
        out.seq_name = seq.back();
        out.seq_owner = seq.size() == 2 ? seq[0] : owner;
        if (!s.cat->sequence(out.seq_owner, out.seq_name)) return false;
        return t->find(out.target_column) >= 0;
    } catch (const ora_error&) {
        return false;
    }
}

// ---- INSERT ---------------------------------------------------------------------

namespace {

incoming from_value(const value& v) {
    incoming in;
    in.null = v.null;
    in.type = v.type;
    in.data = v.data;
    if (!v.null && numeric(v.type)) {
        if (!v.canonical) {
            decimal d;
            if (!parse_decimal(v.data, d)) throw make_error(1722);
            in.data = decimal_text(d);
        }
        in.canonical = true;
    }
    if (!v.null && v.data.empty() && !is_lob(v.type)) in.null = true;
    return in;
}

// The bind a placeholder names; inside an array the place found by the
// first row serves the others.
const bind_value* find_bind(session::impl& s, const expr& e) {
    if (!s.binds) return nullptr;
    const auto& binds = *s.binds;
    if (s.array_execution) {
        auto at = s.memo.bind_slots.find(&e);
        if (at != s.memo.bind_slots.end() && at->second < binds.size() &&
            bind_matches(binds[at->second].name, e.name))
            return &binds[at->second];
    }
    for (size_t i = 0; i < binds.size(); ++i)
        if (bind_matches(binds[i].name, e.name)) {
            if (s.array_execution) s.memo.bind_slots[&e] = i;
            return &binds[i];
        }
    return nullptr;
}

// Values a statement can give without asking SQLite.
bool direct_value(session::impl& s, const expr& e, incoming& out) {
    switch (e.k) {
    case expr::null_: out = incoming{}; return true;
    case expr::num: {
        decimal d;
        if (!parse_decimal(e.text, d)) throw make_error(1722);
        out = {false, col_type::number, decimal_text(d)};
        out.canonical = true;
        return true;
    }
    case expr::str: out = {false, col_type::varchar2, s.literal_text(e)}; return true;
    case expr::neg:
        if (e.args[0]->k != expr::num) return false;
        direct_value(s, *e.args[0], out);
        if (out.data != "0") out.data = "-" + out.data;
        return true;
    case expr::bind:
        if (const bind_value* b = find_bind(s, e)) {
            out = from_value(b->v);
            return true;
        }
        throw make_error(1008);
    case expr::func:
        if (e.name == "EMPTY_CLOB" && e.args.empty()) return out = {false, col_type::clob, ""}, true;
        if (e.name == "EMPTY_BLOB" && e.args.empty()) return out = {false, col_type::blob, ""}, true;
        if (e.name == "TO_DATE" && e.args.size() == 2 && e.args[0]->k == expr::str && e.args[1]->k == expr::str) {
            out = {false, col_type::date, to_date(e.args[0]->text, e.args[1]->text).substr(0, 19)};
            return true;
        }
        if (e.name == "HEXTORAW" && e.args.size() == 1 && e.args[0]->k == expr::str) {
            out = {false, col_type::raw, hex_decode(e.args[0]->text)};
            out.null = out.data.empty();
            return true;
        }
        return false;
    default: return false;
    }
}

incoming read_incoming(sql_stmt& q, int i, col_type t) {
    value v = read_value(q, i, t);
    incoming in;
    in.null = v.null;
    in.type = t;
    in.data = v.data;
    if (!v.null && numeric(t)) {
        decimal d;
        parse_decimal(v.data, d);
        in.data = decimal_text(d);
    }
    if (!v.null && (t == col_type::clob || t == col_type::blob) && v.data.empty()) in.null = false;
    return in;
}

incoming evaluate(session::impl& s, const expr& e, std::set<std::string>* row_sequences = nullptr) {
    incoming out;
    if (direct_value(s, e, out)) return out;
    translator tr(s);
    if (row_sequences) tr.share_row_sequences(*row_sequences);
    scope sc;
    scalar x = tr.expression(e, sc);
    sql_stmt q(s.st->db(), "SELECT " + x.sql);
    bind_placeholders(q, tr.binds(), s.binds);
    q.step();
    col_type t = x.type == col_type::char_ ? col_type::varchar2 : x.type;
    return read_incoming(q, 0, t);
}

// Evaluates a column's DEFAULT text.
incoming default_value(session::impl& s, const column_meta& c) {
    if (!c.data_default) return incoming{};
    auto st = parse_statement("SELECT " + *c.data_default + " FROM DUAL", s.ident_limit);
    return evaluate(s, *st->query->items[0].e);
}

std::vector<trigger_meta>& triggers_of(session::impl& s, const table_meta& t) {
    std::string key = t.owner + "\n" + t.name;
    auto at = s.memo.triggers.find(key);
    if (at != s.memo.triggers.end() && s.array_execution) return at->second;
    // Outside an array the entry is only a place to hold the answer.
    return s.memo.triggers[key] = s.cat->triggers_of(t.owner, t.name);
}

void fire_triggers(session::impl& s, const table_meta& t, std::vector<incoming>& row) {
    for (auto& tr : triggers_of(s, t)) {
        if (tr.event.find("INSERT") == std::string::npos) continue;
        std::shared_ptr<const trigger_action>& compiled = s.memo.actions[t.owner + "\n" + tr.name];
        if (!compiled || !s.array_execution) {
            auto fresh = std::make_shared<trigger_action>();
            if (!compile_trigger(s, t.owner, t.name, tr.when_clause, tr.body, *fresh))
                throw make_error(4098, {t.owner, tr.name});
            compiled = std::move(fresh);
        }
        const trigger_action& a = *compiled;
        if (!tr.valid) {
            sql_stmt u(s.st->db(), "UPDATE oraemu_triggers SET valid=1 WHERE owner=? AND trigger_name=?");
            u.bind(1, t.owner).bind(2, tr.name).run();
            tr.valid = true;
        }
        if (tr.type.rfind("BEFORE", 0) != 0) continue;
        if (a.has_when) {
            bool is_null = row[static_cast<size_t>(t.find(a.when_column))].null;
            if (is_null == a.when_not_null) continue;
        }
        row[static_cast<size_t>(t.find(a.target_column))] = {false, col_type::number, s.nextval(a.seq_owner, a.seq_name)};
    }
}

std::vector<int> target_columns(const table_meta& t, const std::vector<std::string>& names) {
    std::vector<int> idx;
    if (names.empty()) {
        for (size_t i = 0; i < t.columns.size(); ++i) idx.push_back(static_cast<int>(i));
        return idx;
    }
    for (const auto& n : names) {
        int i = t.find(n);
        if (i < 0) throw make_error(904, {"\"" + n + "\""});
        for (int k : idx)
            if (k == i) throw make_error(957);
        idx.push_back(i);
    }
    return idx;
}

// The target columns of the array's statement, found by its first row.
const std::vector<int>& memo_columns(session::impl& s, const table_meta& t, const std::vector<std::string>& names) {
    auto [at, fresh] = s.memo.columns.try_emplace(t.owner + "\n" + t.name);
    if (fresh) {
        try {
            at->second = target_columns(t, names);
        } catch (...) {
            s.memo.columns.erase(at);
            throw;
        }
    }
    return at->second;
}

int64_t insert_row(session::impl& s, const table_meta& t, std::vector<incoming> in) {
    fire_triggers(s, t, in);
    stored_row row;
    for (size_t i = 0; i < t.columns.size(); ++i) {
        row.push_back(coerce(s, in[i], t, t.columns[i]));
        if (!row.back() && !t.columns[i].nullable) throw make_error(1400, {column_path(t, t.columns[i].name)});
    }
    row_checker chk(s, t);
    chk.check_conditions(row);
    chk.check_keys(row, 0);
    chk.check_parents(row, nullptr);
    auto text = [&] {
        std::string cols, marks;
        for (const auto& c : t.columns) {
            cols += (cols.empty() ? "" : ", ") + sq_col(c.name);
            marks += marks.empty() ? "?" : ", ?";
        }
        return "INSERT INTO " + sq_name(t.sqlite_name()) + "(" + cols + ") VALUES(" + marks + ")";
    };
    std::string scratch;
    sql_stmt q(s.st->db(), memo_sql(s, t, "insert", scratch, text));
    // `row` outlives q: its values are bound without a copy.
    for (size_t i = 0; i < row.size(); ++i) bind_stored(q, static_cast<int>(i + 1), row[i], t.columns[i].type, true);
    q.run();
    int64_t key = sqlite3_last_insert_rowid(s.st->db());
    s.locked.emplace(t.obj_id, key);
    return key;
}

void returning_values(session::impl& s, const statement& st, const table_meta& t, int64_t key, exec_result& r) {
    if (st.returning.empty()) return;
    if (st.returning.size() != st.into.size()) throw make_error(st.returning.size() > st.into.size() ? 947 : 913);
    for (size_t i = 0; i < st.returning.size(); ++i) {
        const expr& e = *st.returning[i];
        r.returning_names.push_back(":" + st.into[i]);
        if (e.k == expr::rowid_) {
            r.returning.push_back(value::make(col_type::rowid, make_rowid(t.obj_id, key)));
            continue;
        }
        translator tr(s);
        scope sc;
        sc.sources.push_back(tr.table_source(t, st.alias));
        scalar x = tr.expression(e, sc);
        sql_stmt q(s.st->db(), "SELECT " + x.sql + " FROM " + sc.sources[0].from_sql + " WHERE " +
                                   sc.sources[0].sql_alias + ".rowid = " + std::to_string(key));
        bind_placeholders(q, tr.binds(), s.binds);
        if (!q.step()) {
            r.returning.push_back(value::make_null(x.type));
            continue;
        }
        r.returning.push_back(read_value(q, 0, x.type == col_type::char_ ? col_type::varchar2 : x.type));
    }
}

}  // namespace

void session::impl::check_insert_faults(const table_meta& t) {
    int64_t n = 0;
    int code = 0;
    if (fault("no_space", t.name)) throw make_error(1653, {t.owner, t.name, "128", "USERS"});
    if (fault("insert_fails", t.name, &n, &code)) {
        int64_t seen = ++insert_counts[t.owner + "." + t.name];
        if (seen == n) throw make_fault_error(code, t.owner, t.name);
    }
}

exec_result session::impl::run_insert(const statement& st) {
    table_meta scratch;
    const table_meta& t = need_table(st.owner, st.name, scratch);
    std::vector<int> fresh;
    const std::vector<int>& idx = array_execution ? memo_columns(*this, t, st.columns)
                                                  : (fresh = target_columns(t, st.columns));
    check_insert_faults(t);
    exec_result r;
    r.k = exec_result::dml;
    auto build = [&](std::vector<incoming> given) {
        std::vector<incoming> row(t.columns.size());
        std::vector<bool> set(t.columns.size(), false);
        for (size_t k = 0; k < idx.size(); ++k) {
            row[static_cast<size_t>(idx[k])] = std::move(given[k]);
            set[static_cast<size_t>(idx[k])] = true;
        }
        for (size_t i = 0; i < t.columns.size(); ++i)
            if (!set[i]) row[i] = default_value(*this, t.columns[i]);
        return row;
    };
    if (!st.query) {
        if (st.values.size() < idx.size()) throw make_error(947);
        if (st.values.size() > idx.size()) throw make_error(913);
        std::vector<incoming> given;
        std::set<std::string> row_sequences;
        for (const auto& e : st.values) given.push_back(evaluate(*this, *e, &row_sequences));
        int64_t key = insert_row(*this, t, build(std::move(given)));
        r.row_count = 1;
        returning_values(*this, st, t, key, r);
        return r;
    }
    translator tr(*this);
    compiled_query cq = tr.query(*st.query);
    if (cq.cols.size() < idx.size()) throw make_error(947);
    if (cq.cols.size() > idx.size()) throw make_error(913);
    sql_stmt q(this->st->db(), cq.sql);
    bind_placeholders(q, cq.binds, binds);
    std::vector<std::vector<incoming>> rows;
    while (q.step()) {
        std::vector<incoming> given;
        for (size_t i = 0; i < cq.cols.size(); ++i)
            given.push_back(read_incoming(q, static_cast<int>(i), cq.cols[i].info.type == col_type::char_
                                                                      ? col_type::varchar2
                                                                      : cq.cols[i].info.type));
        rows.push_back(std::move(given));
    }
    for (const auto& g : rows) insert_row(*this, t, build(g));
    r.row_count = rows.size();
    return r;
}

// ---- UPDATE and DELETE ------------------------------------------------------------

exec_result session::impl::run_update(const statement& st) {
    table_meta t = need_table(st.owner, st.name);
    translator tr(*this);
    scope sc;
    sc.sources.push_back(tr.table_source(t, st.alias));
    const source& src = sc.sources[0];
    std::string sql = "SELECT " + src.sql_alias + ".rowid";
    for (const auto& c : src.cols) sql += ", " + c.sql;
    std::vector<int> targets;
    std::vector<col_type> set_types;
    for (const auto& [col, e] : st.sets) {
        int i = t.find(col);
        if (i < 0) throw make_error(904, {"\"" + col + "\""});
        targets.push_back(i);
        scalar x = tr.expression(*e, sc);
        set_types.push_back(x.type == col_type::char_ ? col_type::varchar2 : x.type);
        sql += ", " + x.sql;
    }
    sql += " FROM " + src.from_sql;
    if (st.where) sql += " WHERE " + tr.condition(*st.where, sc);
    sql_stmt q(this->st->db(), sql);
    bind_placeholders(q, tr.binds(), binds);
    struct pending {
        int64_t key;
        stored_row old_row;
        std::vector<incoming> sets;
    };
    std::vector<pending> rows;
    const int ncols = static_cast<int>(t.columns.size());
    while (q.step()) {
        pending p{q.int64(0), {}, {}};
        for (int i = 0; i < ncols; ++i) p.old_row.push_back(read_stored(q, i + 1, t.columns[static_cast<size_t>(i)].type));
        for (size_t k = 0; k < targets.size(); ++k) p.sets.push_back(read_incoming(q, ncols + 1 + static_cast<int>(k), set_types[k]));
        rows.push_back(std::move(p));
    }
    row_checker chk(*this, t);
    for (const auto& p : rows) {
        stored_row row = p.old_row;
        for (size_t k = 0; k < targets.size(); ++k) {
            const column_meta& c = t.columns[static_cast<size_t>(targets[k])];
            row[static_cast<size_t>(targets[k])] = coerce(*this, p.sets[k], t, c);
            if (!row[static_cast<size_t>(targets[k])] && !c.nullable) throw make_error(1407, {column_path(t, c.name)});
        }
        chk.check_conditions(row);
        chk.check_keys(row, p.key);
        chk.check_parents(row, &p.old_row);
        chk.check_children(p.old_row, row);
        std::string set;
        for (int i : targets) set += (set.empty() ? "" : ", ") + sq_col(t.columns[static_cast<size_t>(i)].name) + " = ?";
        sql_stmt u(this->st->db(), "UPDATE " + sq_name(t.sqlite_name()) + " SET " + set + " WHERE rowid=?");
        int pos = 1;
        for (int i : targets) bind_stored(u, pos++, row[static_cast<size_t>(i)], t.columns[static_cast<size_t>(i)].type);
        u.bind(pos, p.key).run();
        locked.emplace(t.obj_id, p.key);
    }
    exec_result r;
    r.k = exec_result::dml;
    r.row_count = rows.size();
    if (rows.size() == 1) returning_values(*this, st, t, rows[0].key, r);
    return r;
}

exec_result session::impl::run_delete(const statement& st) {
    table_meta t = need_table(st.owner, st.name);
    translator tr(*this);
    scope sc;
    sc.sources.push_back(tr.table_source(t, st.alias));
    const source& src = sc.sources[0];
    std::string sql = "SELECT " + src.sql_alias + ".rowid";
    for (const auto& c : src.cols) sql += ", " + c.sql;
    sql += " FROM " + src.from_sql;
    if (st.where) sql += " WHERE " + tr.condition(*st.where, sc);
    sql_stmt q(this->st->db(), sql);
    bind_placeholders(q, tr.binds(), binds);
    std::vector<std::pair<int64_t, stored_row>> rows;
    while (q.step()) {
        stored_row r;
        for (size_t i = 0; i < t.columns.size(); ++i) r.push_back(read_stored(q, static_cast<int>(i + 1), t.columns[i].type));
        rows.emplace_back(q.int64(0), std::move(r));
    }
    for (const auto& [key, row] : rows) delete_row(*this, t, key, row);
    exec_result r;
    r.k = exec_result::dml;
    r.row_count = rows.size();
    return r;
}

}  // namespace emu
