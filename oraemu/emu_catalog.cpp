#include "emu_catalog.h"

#include "emu_values.h"

#include <cstdio>

namespace emu {

column_info column_meta::info() const {
    column_info i;
    i.name = name;
    i.type = type;
    i.size = static_cast<uint32_t>(data_length);
    i.char_length = static_cast<uint32_t>(char_length);
    i.char_semantics = char_sem;
    i.nullable = nullable;
    if (type == col_type::number) {
        i.precision = precision < 0 ? 0 : precision;
        i.scale = precision < 0 && scale < 0 ? -127 : (scale < 0 ? 0 : scale);
    } else if (type == col_type::float_) {
        i.precision = precision;
        i.scale = -127;
    } else if (type == col_type::timestamp) {
        i.scale = scale;
    }
    return i;
}

int table_meta::find(const std::string& column) const {
    for (size_t i = 0; i < columns.size(); ++i)
        if (columns[i].name == column) return static_cast<int>(i);
    return -1;
}

std::string catalog::object_type(const std::string& owner, const std::string& name) {
    sql_stmt q(s_.db(),
               "SELECT type FROM oraemu_objects WHERE owner=? AND name=? AND type IN ('TABLE','SEQUENCE')");
    q.bind(1, owner).bind(2, name);
    return q.step() ? q.text(0) : std::string();
}

namespace {

std::optional<int> opt_int(sql_stmt& q, int i) {
    if (q.is_null(i)) return std::nullopt;
    return static_cast<int>(q.int64(i));
}

}  // namespace

std::optional<table_meta> catalog::table(const std::string& owner, const std::string& name) {
    sql_stmt q(s_.db(), "SELECT obj_id FROM oraemu_objects WHERE owner=? AND name=? AND type='TABLE'");
    q.bind(1, owner).bind(2, name);
    if (!q.step()) return std::nullopt;
    table_meta t;
    t.owner = owner;
    t.name = name;
    t.obj_id = q.int64(0);
    sql_stmt c(s_.db(),
               "SELECT column_name, column_id, type_code, data_type, data_length, data_precision, "
               "data_scale, nullable, data_default, char_length, char_used FROM oraemu_columns "
               "WHERE owner=? AND table_name=? ORDER BY column_id");
    c.bind(1, owner).bind(2, name);
    while (c.step()) {
        column_meta m;
        m.name = c.text(0);
        m.id = static_cast<int>(c.int64(1));
        m.type = static_cast<col_type>(c.int64(2));
        m.data_type = c.text(3);
        m.data_length = static_cast<int>(c.int64(4));
        m.precision = opt_int(c, 5).value_or(-1);
        m.scale = opt_int(c, 6).value_or(-1);
        m.nullable = c.text(7) == "Y";
        m.data_default = c.opt_text(8);
        m.char_length = static_cast<int>(c.int64(9));
        m.char_sem = c.text(10) == "C";
        t.columns.push_back(std::move(m));
    }
    t.constraints = constraints_of(owner, name);
    sql_stmt u(s_.db(),
               "SELECT i.index_name, c.column_name FROM oraemu_indexes i JOIN oraemu_ind_columns c "
               "ON c.owner=i.owner AND c.index_name=i.index_name WHERE i.owner=? AND i.table_name=? "
               "AND i.uniqueness='UNIQUE' ORDER BY i.rowid, c.column_position");
    u.bind(1, owner).bind(2, name);
    while (u.step()) {
        const std::string index = u.text(0);
        bool of_key = false;
        for (const auto& c : t.constraints) of_key = of_key || c.index_name == index;
        if (of_key) continue;
        if (t.unique_indexes.empty() || t.unique_indexes.back().name != index) {
            t.unique_indexes.emplace_back();
            t.unique_indexes.back().name = index;
            t.unique_indexes.back().type = 'U';
        }
        t.unique_indexes.back().columns.push_back(u.text(1));
    }
    return t;
}

table_meta catalog::table_by_id(int64_t obj_id) {
    sql_stmt q(s_.db(), "SELECT owner, name FROM oraemu_objects WHERE obj_id=? AND type='TABLE'");
    q.bind(1, obj_id);
    if (!q.step()) throw make_error(22275);
    auto t = table(q.text(0), q.text(1));
    if (!t) throw make_error(22275);
    return *t;
}

namespace {

constraint_meta read_constraint(sql_stmt& q, sqlite3* db) {
    constraint_meta c;
    c.name = q.text(0);
    c.type = q.text(1).empty() ? 'C' : q.text(1)[0];
    c.table = q.text(2);
    c.r_owner = q.text(3);
    c.r_name = q.text(4);
    c.delete_rule = q.text(5);
    c.index_name = q.text(6);
    c.search_condition = q.text(7);
    sql_stmt cc(db,
                "SELECT column_name FROM oraemu_cons_columns WHERE owner=? AND constraint_name=? "
                "ORDER BY position");
    cc.bind(1, q.text(8)).bind(2, c.name);
    while (cc.step()) c.columns.push_back(cc.text(0));
    return c;
}

const char* const constraint_columns =
    "SELECT constraint_name, constraint_type, table_name, r_owner, r_constraint_name, delete_rule, "
    "index_name, search_condition, owner FROM oraemu_constraints ";

}  // namespace

std::vector<constraint_meta> catalog::constraints_of(const std::string& owner, const std::string& table) {
    sql_stmt q(s_.db(), std::string(constraint_columns) +
                            "WHERE owner=? AND table_name=? ORDER BY rowid");
    q.bind(1, owner).bind(2, table);
    std::vector<constraint_meta> out;
    while (q.step()) out.push_back(read_constraint(q, s_.db()));
    return out;
}

std::optional<constraint_meta> catalog::constraint(const std::string& owner, const std::string& name) {
    sql_stmt q(s_.db(), std::string(constraint_columns) + "WHERE owner=? AND constraint_name=?");
    q.bind(1, owner).bind(2, name);
    if (!q.step()) return std::nullopt;
    return read_constraint(q, s_.db());
}

std::vector<constraint_meta> catalog::referencing(const std::string& owner, const std::string& table) {
    sql_stmt q(s_.db(), std::string(constraint_columns) +
                            "WHERE constraint_type='R' AND r_owner=? AND r_constraint_name IN "
                            "(SELECT constraint_name FROM oraemu_constraints WHERE owner=? AND "
                            "table_name=? AND constraint_type IN ('P','U'))");
    q.bind(1, owner).bind(2, owner).bind(3, table);
    std::vector<constraint_meta> out;
    while (q.step()) out.push_back(read_constraint(q, s_.db()));
    return out;
}

std::vector<trigger_meta> catalog::triggers_of(const std::string& owner, const std::string& table) {
    sql_stmt q(s_.db(),
               "SELECT trigger_name, table_name, trigger_type, triggering_event, when_clause, "
               "trigger_body, valid FROM oraemu_triggers WHERE owner=? AND table_name=? ORDER BY rowid");
    q.bind(1, owner).bind(2, table);
    std::vector<trigger_meta> out;
    while (q.step()) {
        out.push_back({q.text(0), q.text(1), q.text(2), q.text(3), q.text(4), q.text(5), q.int64(6) != 0});
    }
    return out;
}

std::optional<sequence_meta> catalog::sequence(const std::string& owner, const std::string& name) {
    sql_stmt q(s_.db(),
               "SELECT min_value, max_value, increment_by, last_number, cycle_flag, cache_size, next_value "
               "FROM oraemu_sequences WHERE owner=? AND sequence_name=?");
    q.bind(1, owner).bind(2, name);
    if (!q.step()) return std::nullopt;
    sequence_meta m;
    m.name = name;
    m.min_value = q.text(0);
    m.max_value = q.text(1);
    m.increment = q.text(2);
    m.last_number = q.text(3);
    m.cycle = q.text(4) == "Y";
    m.cache = q.int64(5);
    m.next_value = q.text(6);
    return m;
}

bool catalog::index_exists(const std::string& owner, const std::string& name) {
    sql_stmt q(s_.db(), "SELECT 1 FROM oraemu_indexes WHERE owner=? AND index_name=?");
    q.bind(1, owner).bind(2, name);
    return q.step();
}

std::vector<std::pair<std::string, std::vector<std::string>>> catalog::indexes_of(const std::string& owner,
                                                                                  const std::string& table) {
    sql_stmt q(s_.db(),
               "SELECT i.index_name, c.column_name FROM oraemu_indexes i JOIN oraemu_ind_columns c "
               "ON c.owner=i.owner AND c.index_name=i.index_name WHERE i.owner=? AND i.table_name=? "
               "ORDER BY i.rowid, c.column_position");
    q.bind(1, owner).bind(2, table);
    std::vector<std::pair<std::string, std::vector<std::string>>> out;
    while (q.step()) {
        if (out.empty() || out.back().first != q.text(0)) out.push_back({q.text(0), {}});
        out.back().second.push_back(q.text(1));
    }
    return out;
}

int64_t catalog::add_object(const std::string& owner, const std::string& name, const std::string& type) {
    int64_t id = s_.next_counter("object_id", 73001);
    sql_stmt q(s_.db(),
               "INSERT INTO oraemu_objects(obj_id, owner, name, type, created) VALUES(?, ?, ?, ?, ?)");
    q.bind(1, id).bind(2, owner).bind(3, name).bind(4, type).bind(5, now_date()).run();
    return id;
}

void catalog::remove_object(const std::string& owner, const std::string& name, const std::string& type) {
    sql_stmt q(s_.db(), "DELETE FROM oraemu_objects WHERE owner=? AND name=? AND type=?");
    q.bind(1, owner).bind(2, name).bind(3, type).run();
}

namespace {

void bind_column(sql_stmt& q, const column_meta& c) {
    q.bind(1, static_cast<int64_t>(c.id))
        .bind(2, static_cast<int64_t>(c.type))
        .bind(3, c.data_type)
        .bind(4, static_cast<int64_t>(c.data_length));
    c.precision < 0 ? q.bind_null(5) : q.bind(5, static_cast<int64_t>(c.precision));
    c.scale < 0 && c.type != col_type::number ? q.bind_null(6)
    : c.scale < 0                              ? q.bind_null(6)
                                               : q.bind(6, static_cast<int64_t>(c.scale));
    q.bind(7, c.nullable ? "Y" : "N").bind_opt(8, c.data_default).bind(9, static_cast<int64_t>(c.char_length));
    bool chars = c.type == col_type::varchar2 || c.type == col_type::nvarchar2 || c.type == col_type::char_ ||
                 c.type == col_type::nchar;
    chars ? q.bind(10, c.char_sem ? "C" : "B") : q.bind_null(10);
}

}  // namespace

void catalog::add_column(const std::string& owner, const std::string& table, const column_meta& c) {
    sql_stmt q(s_.db(),
               "INSERT INTO oraemu_columns(column_id, type_code, data_type, data_length, data_precision, "
               "data_scale, nullable, data_default, char_length, char_used, owner, table_name, column_name) "
               "VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?)");
    bind_column(q, c);
    q.bind(11, owner).bind(12, table).bind(13, c.name).run();
}

void catalog::update_column(const std::string& owner, const std::string& table, const column_meta& c) {
    sql_stmt q(s_.db(),
               "UPDATE oraemu_columns SET column_id=?, type_code=?, data_type=?, data_length=?, "
               "data_precision=?, data_scale=?, nullable=?, data_default=?, char_length=?, char_used=? "
               "WHERE owner=? AND table_name=? AND column_name=?");
    bind_column(q, c);
    q.bind(11, owner).bind(12, table).bind(13, c.name).run();
}

void catalog::add_constraint(const std::string& owner, const constraint_meta& c, bool generated) {
    sql_stmt q(s_.db(),
               "INSERT INTO oraemu_constraints(owner, constraint_name, constraint_type, table_name, "
               "search_condition, r_owner, r_constraint_name, delete_rule, generated, index_name) "
               "VALUES(?,?,?,?,?,?,?,?,?,?)");
    q.bind(1, owner).bind(2, c.name).bind(3, std::string(1, c.type)).bind(4, c.table);
    c.search_condition.empty() ? q.bind_null(5) : q.bind(5, c.search_condition);
    c.type == 'R' ? q.bind(6, c.r_owner).bind(7, c.r_name).bind(8, c.delete_rule)
                  : q.bind_null(6).bind_null(7).bind_null(8);
    q.bind(9, generated ? "GENERATED NAME" : "USER NAME");
    c.index_name.empty() ? q.bind_null(10) : q.bind(10, c.index_name);
    q.run();
    int pos = 1;
    for (const auto& col : c.columns) {
        sql_stmt cc(s_.db(),
                    "INSERT INTO oraemu_cons_columns(owner, constraint_name, table_name, column_name, "
                    "position) VALUES(?,?,?,?,?)");
        cc.bind(1, owner).bind(2, c.name).bind(3, c.table).bind(4, col);
        c.type == 'C' ? cc.bind_null(5) : cc.bind(5, static_cast<int64_t>(pos));
        cc.run();
        ++pos;
    }
}

void catalog::drop_constraint(const std::string& owner, const std::string& name) {
    sql_stmt a(s_.db(), "DELETE FROM oraemu_constraints WHERE owner=? AND constraint_name=?");
    a.bind(1, owner).bind(2, name).run();
    sql_stmt b(s_.db(), "DELETE FROM oraemu_cons_columns WHERE owner=? AND constraint_name=?");
    b.bind(1, owner).bind(2, name).run();
}

void catalog::add_index(const std::string& owner, const std::string& name, const std::string& table,
                        const std::vector<std::pair<std::string, bool>>& columns, bool unique,
                        bool generated) {
    sql_stmt q(s_.db(),
               "INSERT INTO oraemu_indexes(owner, index_name, table_name, uniqueness, generated) "
               "VALUES(?,?,?,?,?)");
    q.bind(1, owner).bind(2, name).bind(3, table).bind(4, unique ? "UNIQUE" : "NONUNIQUE")
        .bind(5, generated ? "Y" : "N").run();
    int pos = 1;
    std::string cols;
    for (const auto& [col, desc] : columns) {
        sql_stmt c(s_.db(),
                   "INSERT INTO oraemu_ind_columns(owner, index_name, table_name, column_name, "
                   "column_position, descend) VALUES(?,?,?,?,?,?)");
        c.bind(1, owner).bind(2, name).bind(3, table).bind(4, col).bind(5, static_cast<int64_t>(pos++))
            .bind(6, desc ? "DESC" : "ASC").run();
        cols += (cols.empty() ? "" : ", ") + sq_col(col);
    }
    // A SQLite index of the same columns keeps key checks and lookups fast.
    s_.exec("CREATE INDEX " + sq_name(owner + "." + sqlite_ident(table) + "." + sqlite_ident(name)) + " ON " +
            sq_name(owner + "." + sqlite_ident(table)) + "(" + cols + ")");
}

void catalog::drop_index(const std::string& owner, const std::string& name) {
    std::string table;
    {
        sql_stmt t(s_.db(), "SELECT table_name FROM oraemu_indexes WHERE owner=? AND index_name=?");
        t.bind(1, owner).bind(2, name);
        if (t.step()) table = t.text(0);
    }
    // SQLite drops no index while a statement of the connection is active.
    if (!table.empty()) s_.exec("DROP INDEX IF EXISTS " + sq_name(owner + "." + sqlite_ident(table) + "." + sqlite_ident(name)));
    sql_stmt a(s_.db(), "DELETE FROM oraemu_indexes WHERE owner=? AND index_name=?");
    a.bind(1, owner).bind(2, name).run();
    sql_stmt b(s_.db(), "DELETE FROM oraemu_ind_columns WHERE owner=? AND index_name=?");
    b.bind(1, owner).bind(2, name).run();
}

std::string catalog::system_name() {
    int64_t n = s_.next_counter("sys_c", 7101);
    char buf[32];
    std::snprintf(buf, sizeof buf, "SYS_C%06lld", static_cast<long long>(n));
    return buf;
}

}  // namespace emu
