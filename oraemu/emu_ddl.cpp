// CREATE, ALTER, DROP and TRUNCATE with Oracle's dictionary effects and
// error numbers.
#include "emu_dml.h"
#include "emu_impl.h"
#include "emu_lexer.h"
#include "emu_values.h"

#include <algorithm>

namespace emu {

namespace {

// ---- columns ---------------------------------------------------------------------

void check_length(int n, int max) {
    if (n == 0) throw make_error(1723);
    if (n < 0 || n > max) throw make_error(910);
}

column_meta make_column(const session::impl& s, const column_def& d) {
    column_meta c;
    c.name = d.name;
    const type_spec& t = d.type;
    c.type = t.type;
    c.data_type = type_name(t.type, t.scale < 0 ? 6 : t.scale);
    const bool utf8_national = s.nchar_charset == "UTF8";
    const int bytes_per_char = single_byte_charset(s.db_charset) ? 1 : 4;
    switch (t.type) {
    case col_type::number:
        if (t.precision != -1 && (t.precision < 1 || t.precision > 38)) throw make_error(1727);
        if (t.scale != -1 && (t.scale < -84 || t.scale > 127)) throw make_error(1728);
        c.data_length = 22;
        c.precision = t.precision;
        c.scale = t.has_scale ? t.scale : (t.precision >= 0 ? 0 : t.scale);
        break;
    case col_type::float_:
        if (t.precision < 1 || t.precision > 126) throw make_error(1724);
        c.data_length = 22;
        c.precision = t.precision;
        break;
    case col_type::binary_double: c.data_length = 8; break;
    case col_type::varchar2:
        check_length(t.length, 4000);
        c.char_sem = t.char_sem;
        c.char_length = t.length;
        c.data_length = t.char_sem ? std::min(4000, t.length * bytes_per_char) : t.length;
        break;
    case col_type::char_:
        check_length(t.length, 2000);
        c.char_sem = t.char_sem;
        c.char_length = t.length;
        c.data_length = t.char_sem ? std::min(2000, t.length * bytes_per_char) : t.length;
        break;
    case col_type::nvarchar2:
        check_length(t.length, utf8_national ? 4000 : 2000);
        c.char_sem = true;
        c.char_length = t.length;
        c.data_length = t.length * (utf8_national ? 3 : 2);
        if (c.data_length > 4000) c.data_length = 4000;
        break;
    case col_type::nchar:
        check_length(t.length, utf8_national ? 2000 : 1000);
        c.char_sem = true;
        c.char_length = t.length;
        c.data_length = t.length * (utf8_national ? 3 : 2);
        break;
    case col_type::raw:
        check_length(t.length, 2000);
        c.data_length = t.length;
        break;
    case col_type::date: c.data_length = 7; break;
    case col_type::timestamp:
        if (t.scale < 0 || t.scale > 9) throw make_error(30088);
        c.scale = t.scale;
        c.data_length = 11;
        break;
    case col_type::clob:
    case col_type::nclob:
    case col_type::blob: c.data_length = 4000; break;
    case col_type::long_: c.data_length = 0; break;
    case col_type::rowid: c.data_length = 10; break;
    }
    if (d.has_default) c.data_default = d.default_text;
    return c;
}

const char* sqlite_type(col_type t) { return t == col_type::raw || t == col_type::blob ? "BLOB" : "TEXT"; }

bool table_has_rows(session::impl& s, const table_meta& t, const std::string& where = "") {
    sql_stmt q(s.st->db(), "SELECT 1 FROM " + sq_name(t.sqlite_name()) + (where.empty() ? "" : " WHERE " + where) + " LIMIT 1");
    return q.step();
}

void check_owner(session::impl& s, const std::string& owner) {
    if (!owner.empty() && owner != s.user) throw make_error(1031);
}

bool constraint_exists(session::impl& s, const std::string& name) {
    return s.cat->constraint(s.user, name).has_value();
}

void add_not_null(session::impl& s, table_meta& t, const std::string& column, const std::string& name) {
    std::string cname = name;
    bool generated = cname.empty();
    if (generated) cname = s.cat->system_name();
    else if (constraint_exists(s, cname)) throw make_error(2264);
    constraint_meta c;
    c.name = cname;
    c.type = 'C';
    c.table = t.name;
    c.columns = {column};
    c.search_condition = "\"" + column + "\" IS NOT NULL";
    s.cat->add_constraint(t.owner, c, generated);
    int i = t.find(column);
    t.columns[static_cast<size_t>(i)].nullable = false;
    s.cat->update_column(t.owner, t.name, t.columns[static_cast<size_t>(i)]);
}

// ---- keys ------------------------------------------------------------------------

std::vector<std::string> checked_columns(const table_meta& t, const std::vector<std::string>& cols) {
    std::vector<std::string> out;
    for (const auto& c : cols) {
        if (t.find(c) < 0) throw make_error(904, {"\"" + c + "\""});
        if (std::find(out.begin(), out.end(), c) != out.end()) throw make_error(957);
        out.push_back(c);
    }
    return out;
}

// The longest key an index on `cols` can hold must fit in an 8 KB block:
// Oracle allows 6398 bytes, counting each column at its declared byte
// length plus one length byte.
void check_key_length(const table_meta& t, const std::vector<std::string>& cols) {
    long total = 0;
    for (const auto& c : cols) total += t.columns[static_cast<size_t>(t.find(c))].data_length + 1;
    if (total > 6398) throw make_error(1450, {"6398"});
}

// The type family a foreign key compares: NUMBER and FLOAT are one,
// VARCHAR2 and CHAR another, and so on; keys across families are refused.
int key_family(col_type t) {
    switch (t) {
    case col_type::number:
    case col_type::float_: return 1;
    case col_type::varchar2:
    case col_type::char_: return 2;
    case col_type::nvarchar2:
    case col_type::nchar: return 3;
    default: return 10 + static_cast<int>(t);
    }
}

// An existing index whose leading columns are exactly `cols`.
std::string usable_index(session::impl& s, const table_meta& t, const std::vector<std::string>& cols) {
    for (const auto& [name, icols] : s.cat->indexes_of(t.owner, t.name)) {
        if (icols.size() < cols.size()) continue;
        std::vector<std::string> lead(icols.begin(), icols.begin() + static_cast<long>(cols.size()));
        std::vector<std::string> a = lead, b = cols;
        std::sort(a.begin(), a.end());
        std::sort(b.begin(), b.end());
        if (a == b) return name;
    }
    return "";
}

bool has_duplicates(session::impl& s, const table_meta& t, const std::vector<std::string>& cols) {
    std::string list, notnull;
    for (const auto& c : cols) {
        list += (list.empty() ? "" : ", ") + sq_col(c);
        notnull += (notnull.empty() ? "" : " OR ") + sq_col(c) + " IS NOT NULL";
    }
    sql_stmt q(s.st->db(), "SELECT 1 FROM " + sq_name(t.sqlite_name()) + " WHERE " + notnull + " GROUP BY " + list +
                               " HAVING count(*) > 1 LIMIT 1");
    return q.step();
}

void add_unique_key(session::impl& s, table_meta& t, constraint_meta& c, bool generated) {
    c.columns = checked_columns(t, c.columns);
    for (const auto& col : c.columns)
        if (is_lob(t.columns[static_cast<size_t>(t.find(col))].type) ||
            t.columns[static_cast<size_t>(t.find(col))].type == col_type::long_)
            throw make_error(2329);
    for (const auto& k : t.constraints) {
        if (c.type == 'P' && k.type == 'P') throw make_error(2260);
        if ((k.type == 'P' || k.type == 'U') && k.columns == c.columns) throw make_error(2261);
    }
    if (c.type == 'P') {
        for (const auto& col : c.columns)
            if (table_has_rows(s, t, sq_col(col) + " IS NULL")) throw make_error(1449);
    }
    if (has_duplicates(s, t, c.columns)) throw make_error(c.type == 'P' ? 2437 : 2299, {t.owner, c.name});
    std::string index = usable_index(s, t, c.columns);
    if (index.empty()) {
        check_key_length(t, c.columns);
        if (s.cat->index_exists(t.owner, c.name)) throw make_error(955);
        std::vector<std::pair<std::string, bool>> icols;
        for (const auto& col : c.columns) icols.emplace_back(col, false);
        s.cat->add_index(t.owner, c.name, t.name, icols, true, generated);
        index = c.name;
    }
    c.index_name = index;
    s.cat->add_constraint(t.owner, c, generated);
    if (c.type == 'P') {
        for (const auto& col : c.columns) {
            auto& m = t.columns[static_cast<size_t>(t.find(col))];
            m.nullable = false;
            s.cat->update_column(t.owner, t.name, m);
        }
    }
    t.constraints.push_back(c);
}

void add_foreign_key(session::impl& s, table_meta& t, constraint_meta& c, const constraint_def& d, bool generated) {
    c.columns = checked_columns(t, c.columns);
    std::string rowner = d.ref_owner.empty() ? t.owner : d.ref_owner;
    auto parent = rowner == t.owner && d.ref_table == t.name ? std::optional<table_meta>(t) : s.cat->table(rowner, d.ref_table);
    if (!parent) throw make_error(942);
    const constraint_meta* key = nullptr;
    if (d.ref_columns.empty()) {
        for (const auto& k : parent->constraints)
            if (k.type == 'P') key = &k;
        if (!key) throw make_error(2268);
    } else {
        for (const auto& col : d.ref_columns)
            if (parent->find(col) < 0) throw make_error(904, {"\"" + col + "\""});
        for (const auto& k : parent->constraints) {
            if (k.type != 'P' && k.type != 'U') continue;
            std::vector<std::string> a = k.columns, b = d.ref_columns;
            std::sort(a.begin(), a.end());
            std::sort(b.begin(), b.end());
            if (a == b) key = &k;
        }
        if (!key) throw make_error(2270);
    }
    if (key->columns.size() != c.columns.size()) throw make_error(2256);
    for (size_t i = 0; i < c.columns.size(); ++i) {
        col_type mine = t.columns[static_cast<size_t>(t.find(c.columns[i]))].type;
        col_type theirs = parent->columns[static_cast<size_t>(parent->find(key->columns[i]))].type;
        if (key_family(mine) != key_family(theirs)) throw make_error(2267);
    }
    for (const auto& k : t.constraints)
        if (k.type == 'R' && k.columns == c.columns && k.r_name == key->name) throw make_error(2275);
    c.r_owner = rowner;
    c.r_name = key->name;
    if (c.delete_rule.empty()) c.delete_rule = "NO ACTION";
    // Existing rows must all have their parents.
    std::string notnull, join;
    for (size_t i = 0; i < c.columns.size(); ++i) {
        notnull += (notnull.empty() ? "" : " AND ") + ("c." + sq_col(c.columns[i])) + " IS NOT NULL";
        join += (join.empty() ? "" : " AND ") + ("p." + sq_col(key->columns[i])) + " = c." + sq_col(c.columns[i]);
    }
    sql_stmt q(s.st->db(), "SELECT 1 FROM " + sq_name(t.sqlite_name()) + " c WHERE " + notnull +
                               " AND NOT EXISTS (SELECT 1 FROM " + sq_name(parent->sqlite_name()) + " p WHERE " + join +
                               ") LIMIT 1");
    if (q.step()) throw make_error(2298, {t.owner, c.name});
    s.cat->add_constraint(t.owner, c, generated);
    t.constraints.push_back(c);
}

void add_check(session::impl& s, table_meta& t, constraint_meta& c, const std::string& condition, bool generated) {
    c.type = 'C';
    c.columns = check_condition(s, t, condition);
    c.search_condition = condition;
    // Rows already there must satisfy it (ALTER TABLE ... ADD CHECK).
    table_meta only = t;
    only.constraints = {c};
    row_checker chk(s, only);
    std::string cols;
    for (const auto& col : t.columns) cols += (cols.empty() ? "" : ", ") + sq_col(col.name);
    sql_stmt r(s.st->db(), "SELECT " + cols + " FROM " + sq_name(t.sqlite_name()));
    while (r.step()) {
        stored_row row;
        for (size_t i = 0; i < t.columns.size(); ++i) row.push_back(read_stored(r, static_cast<int>(i), t.columns[i].type));
        try {
            chk.check_conditions(row);
        } catch (const ora_error& e) {
            if (e.code == 2290) throw make_error(2293, {t.owner, c.name});
            throw;
        }
    }
    s.cat->add_constraint(t.owner, c, generated);
    t.constraints.push_back(c);
}

void add_constraint(session::impl& s, table_meta& t, const constraint_def& d) {
    constraint_meta c;
    bool generated = d.name.empty();
    c.name = generated ? s.cat->system_name() : d.name;
    if (!generated && constraint_exists(s, c.name)) throw make_error(2264);
    c.table = t.name;
    if (d.type == 'K') return add_check(s, t, c, d.condition, generated);
    c.type = d.type;
    c.table = t.name;
    c.columns = d.columns;
    c.delete_rule = d.delete_rule;
    if (d.type == 'R') {
        add_foreign_key(s, t, c, d, generated);
    } else {
        add_unique_key(s, t, c, generated);
    }
}


// ---- CREATE TABLE ------------------------------------------------------------------

exec_result create_table(session::impl& s, const statement& st) {
    check_owner(s, st.owner);
    if (!s.cat->object_type(s.user, st.name).empty()) throw make_error(955);
    if (st.column_defs.empty()) throw make_error(904, {""});
    int code = 0;
    if (s.fault("create_fails", st.name, nullptr, &code)) throw make_fault_error(code, s.user, st.name);
    table_meta t;
    t.owner = s.user;
    t.name = st.name;
    int longs = 0;
    std::string cols;
    for (const auto& d : st.column_defs) {
        if (t.find(d.name) >= 0) throw make_error(957);
        if (d.has_default) check_default(s, d.default_text);
        column_meta c = make_column(s, d);
        c.id = static_cast<int>(t.columns.size()) + 1;
        if (c.type == col_type::long_ && ++longs > 1) throw make_error(1754);
        cols += (cols.empty() ? "" : ", ") + sq_col(c.name) + " " + sqlite_type(c.type);
        t.columns.push_back(std::move(c));
    }
    s.st->exec("CREATE TABLE " + sq_name(t.sqlite_name()) + " (" + cols + ")");
    t.obj_id = s.cat->add_object(t.owner, t.name, "TABLE");
    for (const auto& c : t.columns) s.cat->add_column(t.owner, t.name, c);
    for (const auto& d : st.column_defs)
        if (d.not_null) add_not_null(s, t, d.name, d.not_null_name);
    for (const auto& d : st.column_defs)
        for (const auto& c : d.inline_constraints) add_constraint(s, t, c);
    for (const auto& c : st.constraints) add_constraint(s, t, c);
    return exec_result{};
}

// ---- CREATE INDEX ------------------------------------------------------------------

exec_result create_index(session::impl& s, const statement& st) {
    check_owner(s, st.owner);
    if (s.cat->index_exists(s.user, st.name)) throw make_error(955);
    auto t = s.cat->table(s.schema_of(st.table_owner), st.table);
    if (!t) throw make_error(942);
    std::vector<std::string> names;
    for (const auto& [c, desc] : st.index_columns) names.push_back(c);
    names = checked_columns(*t, names);
    for (const auto& c : names) {
        col_type ty = t->columns[static_cast<size_t>(t->find(c))].type;
        if (is_lob(ty) || ty == col_type::long_) throw make_error(2327);
    }
    for (const auto& [iname, icols] : s.cat->indexes_of(t->owner, t->name))
        if (icols == names) throw make_error(1408);
    check_key_length(*t, names);
    if (st.unique && has_duplicates(s, *t, names)) throw make_error(1452);
    s.cat->add_index(t->owner, st.name, t->name, st.index_columns, st.unique, false);
    return exec_result{};
}

// ---- CREATE SEQUENCE -------------------------------------------------------------

std::string canonical_number(const std::optional<std::string>& text, const std::string& fallback) {
    if (!text) return fallback;
    decimal d;
    if (!parse_decimal(*text, d)) throw make_error(1722);
    round_to_scale(d, 0);
    return decimal_text(d);
}

bool less(const std::string& a, const std::string& b) {
    return std::stold(a) < std::stold(b);
}

exec_result create_sequence(session::impl& s, const statement& st) {
    check_owner(s, st.owner);
    if (s.fault("sequence_denied", s.user)) throw make_error(1031);
    if (!s.cat->object_type(s.user, st.name).empty()) throw make_error(955);
    std::string inc = canonical_number(st.seq_increment, "1");
    if (inc == "0") throw make_error(4002);
    bool up = inc[0] != '-';
    std::string lo = st.seq_nomin || !st.seq_min ? (up ? "1" : "-999999999999999999999999999") : canonical_number(st.seq_min, "1");
    std::string hi = st.seq_nomax || !st.seq_max ? (up ? "9999999999999999999999999999" : "-1") : canonical_number(st.seq_max, "1");
    std::string start = canonical_number(st.seq_start, up ? lo : hi);
    if (less(start, lo)) throw make_error(4006);
    if (less(hi, start)) throw make_error(4008);
    int64_t cache = st.seq_nocache ? 0 : std::stoll(canonical_number(st.seq_cache, "20"));
    sql_stmt q(s.st->db(),
               "INSERT INTO oraemu_sequences(owner, sequence_name, min_value, max_value, increment_by, cycle_flag, "
               "order_flag, cache_size, last_number, next_value) VALUES(?,?,?,?,?,?,?,?,?,?)");
    q.bind(1, s.user).bind(2, st.name).bind(3, lo).bind(4, hi).bind(5, inc).bind(6, st.seq_cycle ? "Y" : "N")
        .bind(7, st.seq_order ? "Y" : "N").bind(8, cache).bind(9, start).bind(10, start).run();
    s.cat->add_object(s.user, st.name, "SEQUENCE");
    return exec_result{};
}

// ---- CREATE TRIGGER --------------------------------------------------------------

// Shapes Oracle refuses outright, before compiling the body: row values
// in a statement-level trigger (ORA-04077 for WHEN, ORA-04082 for :new or
// :old) and an AFTER trigger assigning :new (ORA-04084).
void check_trigger_shape(const statement& st) {
    if (!st.for_each_row && !st.when_text.empty()) throw make_error(4077);
    std::vector<token> b;
    try {
        b = tokenize(st.body_text);
    } catch (const ora_error&) {
        return;   // left to the compiler: the trigger is created invalid
    }
    for (size_t i = 0; i < b.size(); ++i) {
        if (b[i].k != token::bind || (b[i].text != "NEW" && b[i].text != "OLD")) continue;
        if (!st.for_each_row) throw make_error(4082);
        bool assigned = (i > 0 && b[i - 1].is("INTO")) ||
                        (i + 3 < b.size() && b[i + 1].is_op(".") && b[i + 3].is_op(":="));
        if (assigned && b[i].text == "NEW" && st.timing == "AFTER") throw make_error(4084);
    }
}

exec_result create_trigger(session::impl& s, const statement& st) {
    check_owner(s, st.owner);
    auto t = s.cat->table(s.schema_of(st.table_owner), st.table);
    if (!t) throw make_error(942);
    sql_stmt e(s.st->db(), "SELECT table_name FROM oraemu_triggers WHERE owner=? AND trigger_name=?");
    e.bind(1, s.user).bind(2, st.name);
    if (e.step()) {
        if (!st.or_replace) throw make_error(4081, {st.name});
        sql_stmt d(s.st->db(), "DELETE FROM oraemu_triggers WHERE owner=? AND trigger_name=?");
        d.bind(1, s.user).bind(2, st.name).run();
    }
    check_trigger_shape(st);
    trigger_action a;
    bool valid = compile_trigger(s, t->owner, t->name, st.when_text, st.body_text, a);
    std::string type = st.timing + (st.for_each_row ? " EACH ROW" : " STATEMENT");
    std::string desc = st.name + " " + st.timing + " " + st.event + " ON " + st.table +
                       (st.for_each_row ? " FOR EACH ROW" : "") + "\n";
    sql_stmt q(s.st->db(),
               "INSERT INTO oraemu_triggers(owner, trigger_name, table_name, trigger_type, triggering_event, "
               "when_clause, trigger_body, description, valid) VALUES(?,?,?,?,?,?,?,?,?)");
    q.bind(1, s.user).bind(2, st.name).bind(3, t->name).bind(4, type).bind(5, st.event);
    st.when_text.empty() ? q.bind_null(6) : q.bind(6, st.when_text);
    q.bind(7, st.body_text).bind(8, desc).bind(9, static_cast<int64_t>(valid ? 1 : 0)).run();
    exec_result r;
    if (!valid) r.warning = make_error(24344);
    return r;
}

// ---- DROP ----------------------------------------------------------------------------

void drop_table_objects(session::impl& s, const table_meta& t) {
    for (const auto& [name, cols] : s.cat->indexes_of(t.owner, t.name)) s.cat->drop_index(t.owner, name);
    for (const auto& c : t.constraints) s.cat->drop_constraint(t.owner, c.name);
    sql_stmt tr(s.st->db(), "DELETE FROM oraemu_triggers WHERE owner=? AND table_name=?");
    tr.bind(1, t.owner).bind(2, t.name).run();
    sql_stmt cols(s.st->db(), "DELETE FROM oraemu_columns WHERE owner=? AND table_name=?");
    cols.bind(1, t.owner).bind(2, t.name).run();
    s.cat->remove_object(t.owner, t.name, "TABLE");
    s.st->exec("DROP TABLE " + sq_name(t.sqlite_name()));
    std::erase_if(s.locked, [&](const auto& k) { return k.first == t.obj_id; });
}

exec_result drop_table(session::impl& s, const statement& st) {
    check_owner(s, st.owner);
    table_meta t = s.need_table(st.owner, st.name);
    if (s.fault("drop_busy", t.name)) throw make_error(54);
    for (const auto& fk : s.cat->referencing(t.owner, t.name)) {
        if (fk.table == t.name) continue;
        if (!st.cascade) throw make_error(2449);
        s.cat->drop_constraint(t.owner, fk.name);
    }
    drop_table_objects(s, t);
    return exec_result{};
}

exec_result drop_other(session::impl& s, const statement& st) {
    check_owner(s, st.owner);
    if (st.k == statement::drop_sequence) {
        if (s.cat->object_type(s.user, st.name) != "SEQUENCE") throw make_error(2289);
        sql_stmt q(s.st->db(), "DELETE FROM oraemu_sequences WHERE owner=? AND sequence_name=?");
        q.bind(1, s.user).bind(2, st.name).run();
        s.cat->remove_object(s.user, st.name, "SEQUENCE");
    } else if (st.k == statement::drop_trigger) {
        sql_stmt q(s.st->db(), "DELETE FROM oraemu_triggers WHERE owner=? AND trigger_name=?");
        q.bind(1, s.user).bind(2, st.name).run();
        if (sqlite3_changes(s.st->db()) == 0) throw make_error(4080, {st.name});
    } else {
        if (!s.cat->index_exists(s.user, st.name)) throw make_error(1418);
        sql_stmt q(s.st->db(), "SELECT 1 FROM oraemu_constraints WHERE owner=? AND index_name=?");
        q.bind(1, s.user).bind(2, st.name);
        if (q.step()) throw make_error(2429);
        s.cat->drop_index(s.user, st.name);
    }
    return exec_result{};
}

exec_result truncate_table(session::impl& s, const statement& st) {
    check_owner(s, st.owner);
    table_meta t = s.need_table(st.owner, st.name);
    for (const auto& fk : s.cat->referencing(t.owner, t.name))
        if (fk.table != t.name) throw make_error(2266);
    s.st->exec("DELETE FROM " + sq_name(t.sqlite_name()));
    return exec_result{};
}

// ---- ALTER TABLE ---------------------------------------------------------------------

void add_columns(session::impl& s, table_meta& t, const statement& st) {
    for (const auto& d : st.column_defs) {
        if (t.find(d.name) >= 0) throw make_error(1430);
        if (d.has_default) check_default(s, d.default_text);
        column_meta c = make_column(s, d);
        c.id = static_cast<int>(t.columns.size()) + 1;
        if (d.not_null && !d.has_default && table_has_rows(s, t)) throw make_error(1758);
        s.st->exec("ALTER TABLE " + sq_name(t.sqlite_name()) + " ADD COLUMN " + sq_col(c.name) + " " + sqlite_type(c.type));
        s.cat->add_column(t.owner, t.name, c);
        t.columns.push_back(c);
        if (d.has_default && table_has_rows(s, t)) {
            auto parsed = parse_statement("UPDATE " + sq_name(t.name) + " SET " + sq_name(c.name) + " = " + *c.data_default,
                                          s.ident_limit);
            s.run_update(*parsed);
        }
        if (d.not_null) add_not_null(s, t, d.name, d.not_null_name);
        for (const auto& k : d.inline_constraints) add_constraint(s, t, k);
    }
    for (const auto& c : st.constraints) add_constraint(s, t, c);
}

bool same_family(col_type a, col_type b) {
    auto fam = [](col_type t) {
        switch (t) {
        case col_type::number: case col_type::float_: return 1;
        case col_type::varchar2: case col_type::char_: case col_type::nvarchar2: case col_type::nchar: return 2;
        case col_type::date: case col_type::timestamp: return 3;
        default: return 10 + static_cast<int>(t);
        }
    };
    return fam(a) == fam(b);
}

void modify_type(session::impl& s, table_meta& t, column_meta& c, const column_def& d) {
    column_meta n = make_column(s, d);
    n.id = c.id;
    n.nullable = c.nullable;
    n.data_default = c.data_default;
    std::string has_values = sq_col(c.name) + " IS NOT NULL";
    if (!same_family(c.type, n.type) && table_has_rows(s, t, has_values)) throw make_error(1439);
    if (n.type == c.type && (n.type == col_type::varchar2 || n.type == col_type::nvarchar2 || n.type == col_type::raw ||
                             n.type == col_type::char_ || n.type == col_type::nchar)) {
        sql_stmt q(s.st->db(), "SELECT " + sq_col(c.name) + " FROM " + sq_name(t.sqlite_name()) + " WHERE " + has_values);
        while (q.step()) {
            incoming v{false, n.type == col_type::raw ? col_type::raw : col_type::varchar2,
                       n.type == col_type::raw ? q.blob(0) : q.text(0)};
            if (n.type == col_type::char_ || n.type == col_type::nchar)
                while (!v.data.empty() && v.data.back() == ' ') v.data.pop_back();
            try {
                coerce(s, v, t, n);
            } catch (const ora_error&) {
                throw make_error(1441);
            }
        }
    } else if (n.type == col_type::number && c.type == col_type::number &&
               (n.precision != c.precision || n.scale != c.scale) && table_has_rows(s, t, has_values)) {
        bool narrower = (n.precision >= 0 && (c.precision < 0 || n.precision < c.precision)) ||
                        (n.scale >= 0 && c.scale >= 0 && n.scale < c.scale);
        if (narrower) throw make_error(1440);
    }
    c = n;
}

void modify_column(session::impl& s, table_meta& t, const column_def& d) {
    int i = t.find(d.name);
    if (i < 0) throw make_error(904, {"\"" + d.name + "\""});
    column_meta& c = t.columns[static_cast<size_t>(i)];
    if (d.has_type) modify_type(s, t, c, d);
    if (d.has_default) {
        check_default(s, d.default_text);
        c.data_default = d.default_text;
    }
    s.cat->update_column(t.owner, t.name, c);
    if (d.null_) {
        bool in_pk = false;
        for (const auto& k : t.constraints)
            if (k.type == 'P' && std::find(k.columns.begin(), k.columns.end(), c.name) != k.columns.end()) in_pk = true;
        if (c.nullable || in_pk) throw make_error(1451);
        for (const auto& k : t.constraints)
            if (is_not_null_check(k) && k.columns[0] == c.name) s.cat->drop_constraint(t.owner, k.name);
        c.nullable = true;
        s.cat->update_column(t.owner, t.name, c);
    }
    if (d.not_null) {
        if (!c.nullable) throw make_error(1442);
        std::string name = d.not_null_name.empty() ? s.cat->system_name() : d.not_null_name;
        if (table_has_rows(s, t, sq_col(c.name) + " IS NULL")) throw make_error(2296, {t.owner, name});
        add_not_null(s, t, c.name, name);
    }
}

void drop_constraint(session::impl& s, table_meta& t, const statement& st) {
    std::optional<constraint_meta> c;
    if (st.object2.empty()) {
        for (const auto& k : t.constraints)
            if (k.type == 'P') c = k;
    } else {
        c = s.cat->constraint(t.owner, st.object2);
    }
    if (!c || c->table != t.name) throw make_error(2443);
    if (c->type == 'P' || c->type == 'U') {
        for (const auto& fk : s.cat->referencing(t.owner, t.name))
            if (fk.r_name == c->name) throw make_error(2273);
    }
    s.cat->drop_constraint(t.owner, c->name);
    if (!c->index_name.empty() && c->index_name == c->name) s.cat->drop_index(t.owner, c->index_name);
    // Dropping a key or a NOT NULL constraint makes its columns nullable
    // unless another NOT NULL constraint holds them.
    if (c->type == 'P' || is_not_null_check(*c)) {
        for (const auto& col : c->columns) {
            bool keep = false;
            for (const auto& k : s.cat->constraints_of(t.owner, t.name))
                if (is_not_null_check(k) && k.columns[0] == col) keep = true;
            auto& m = t.columns[static_cast<size_t>(t.find(col))];
            if (!keep) {
                m.nullable = true;
                s.cat->update_column(t.owner, t.name, m);
            }
        }
    }
}

void drop_columns(session::impl& s, table_meta& t, const statement& st) {
    for (const auto& col : st.columns) {
        int i = t.find(col);
        if (i < 0) throw make_error(904, {"\"" + col + "\""});
        if (t.columns.size() == 1) throw make_error(12983);
        for (const auto& k : t.constraints)
            if (std::find(k.columns.begin(), k.columns.end(), col) != k.columns.end()) s.cat->drop_constraint(t.owner, k.name);
        for (const auto& [name, cols] : s.cat->indexes_of(t.owner, t.name))
            if (std::find(cols.begin(), cols.end(), col) != cols.end()) s.cat->drop_index(t.owner, name);
        s.st->exec("ALTER TABLE " + sq_name(t.sqlite_name()) + " DROP COLUMN " + sq_col(col));
        sql_stmt q(s.st->db(), "DELETE FROM oraemu_columns WHERE owner=? AND table_name=? AND column_name=?");
        q.bind(1, t.owner).bind(2, t.name).bind(3, col).run();
        sql_stmt r(s.st->db(), "UPDATE oraemu_columns SET column_id = column_id - 1 WHERE owner=? AND table_name=? AND column_id > ?");
        r.bind(1, t.owner).bind(2, t.name).bind(3, static_cast<int64_t>(t.columns[static_cast<size_t>(i)].id)).run();
        t = *s.cat->table(t.owner, t.name);
    }
}

void rename_column(session::impl& s, table_meta& t, const statement& st) {
    const std::string& from = st.columns[0];
    if (t.find(from) < 0) throw make_error(904, {"\"" + from + "\""});
    if (t.find(st.object2) >= 0) throw make_error(957);
    s.st->exec("ALTER TABLE " + sq_name(t.sqlite_name()) + " RENAME COLUMN " + sq_col(from) + " TO " + sq_col(st.object2));
    for (const char* tab : {"oraemu_columns", "oraemu_cons_columns", "oraemu_ind_columns"}) {
        sql_stmt q(s.st->db(), std::string("UPDATE ") + tab + " SET column_name=? WHERE owner=? AND table_name=? AND column_name=?");
        q.bind(1, st.object2).bind(2, t.owner).bind(3, t.name).bind(4, from).run();
    }
}

exec_result alter_table(session::impl& s, const statement& st) {
    check_owner(s, st.owner);
    table_meta t = s.need_table(st.owner, st.name);
    switch (st.alter) {
    case statement::add: add_columns(s, t, st); break;
    case statement::modify:
        for (const auto& d : st.column_defs) modify_column(s, t, d);
        break;
    case statement::drop_constraint: drop_constraint(s, t, st); break;
    case statement::drop_column: drop_columns(s, t, st); break;
    case statement::rename_column: rename_column(s, t, st); break;
    }
    return exec_result{};
}

}  // namespace

exec_result session::impl::run_ddl(const statement& st, const std::string&) {
    exec_result r;
    switch (st.k) {
    case statement::create_table: r = create_table(*this, st); break;
    case statement::create_index: r = create_index(*this, st); break;
    case statement::create_sequence: r = create_sequence(*this, st); break;
    case statement::create_trigger: r = create_trigger(*this, st); break;
    case statement::drop_table: r = drop_table(*this, st); break;
    case statement::drop_index:
    case statement::drop_sequence:
    case statement::drop_trigger: r = drop_other(*this, st); break;
    case statement::alter_table: r = alter_table(*this, st); break;
    case statement::truncate_table: r = truncate_table(*this, st); break;
    default: throw make_error(900);
    }
    r.k = exec_result::ddl;
    return r;
}

}  // namespace emu
