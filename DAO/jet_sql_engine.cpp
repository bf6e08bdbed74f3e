#include "jet_sql_engine.h"

#include <sqlite3.h>

#include <cstdlib>

#include "jet_sql_error.h"
#include "jet_sql_functions.h"
#include "jet_sql_parser.h"
#include "tk_logger.h"
#include "tk_wstring.h"

namespace {

std::string quote_ident(std::u16string_view name)
{
    std::string u = tk_to_utf8(name);
    std::string out = "\"";
    for (char c : u) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

const char* column_decl(int32_t dao_type)
{
    switch (dao_type) {
    case jet_dao_boolean:
    case jet_dao_byte:
    case jet_dao_integer:
    case jet_dao_long:
    case jet_dao_bigint: return "INTEGER";
    case jet_dao_currency:
    case jet_dao_single:
    case jet_dao_double:
    case jet_dao_date:
    case jet_dao_decimal: return "REAL";
    case jet_dao_binary:
    case jet_dao_long_binary: return "BLOB";
    default: return "TEXT COLLATE JETTEXT";
    }
}

// Binds one row of a source table into the INSERT statement, turning the
// reader's values into the engine's conventions (Booleans -1/0, exact
// decimal text into numbers).
class inserter final : public jet_sql_row_sink {
public:
    inserter(sqlite3_stmt* stmt, const std::vector<jet_sql_column>& cols) : stmt_(stmt), cols_(cols) {}

    void put_null(size_t c) override { sqlite3_bind_null(stmt_, slot(c)); }
    void put_int(size_t c, int64_t v) override
    {
        if (cols_[c].dao_type == jet_dao_boolean) v = v != 0 ? -1 : 0;
        sqlite3_bind_int64(stmt_, slot(c), v);
    }
    void put_double(size_t c, double v) override
    {
        if (cols_[c].dao_type == jet_dao_boolean) return put_int(c, v != 0 ? -1 : 0);
        sqlite3_bind_double(stmt_, slot(c), v);
    }
    void put_text(size_t c, std::u16string_view v) override
    {
        if (numeric(c)) return put_utf8(c, tk_to_utf8(v));
        sqlite3_bind_text16(stmt_, slot(c), v.data(), static_cast<int>(v.size() * 2), SQLITE_TRANSIENT);
    }
    void put_utf8(size_t c, std::string_view v) override
    {
        if (numeric(c)) {
            std::string s(v);
            char* end = nullptr;
            double d = std::strtod(s.c_str(), &end);
            if (end != s.c_str()) return put_double(c, d);
        }
        sqlite3_bind_text(stmt_, slot(c), v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
    }
    void put_blob(size_t c, const uint8_t* bytes, size_t length) override
    {
        sqlite3_bind_blob64(stmt_, slot(c), bytes, length, SQLITE_TRANSIENT);
    }

private:
    int slot(size_t c) const
    {
        TK_ASSERT(c < cols_.size());
        return static_cast<int>(c) + 1;
    }
    bool numeric(size_t c) const
    {
        int32_t t = cols_[c].dao_type;
        return t == jet_dao_currency || t == jet_dao_decimal || t == jet_dao_double || t == jet_dao_single ||
               t == jet_dao_bigint;
    }

    sqlite3_stmt* stmt_;
    const std::vector<jet_sql_column>& cols_;
};

struct stmt_guard {
    sqlite3_stmt* stmt = nullptr;
    ~stmt_guard() { sqlite3_finalize(stmt); }
};

}  // namespace

[[noreturn]] void jet_sql_raise(sqlite3* db)
{
    std::string msg = sqlite3_errmsg(db);
    if (msg.rfind("jet:", 0) == 0) throw jet_sql_error(std::atoi(msg.c_str() + 4));
    tk_trace(3, "SQLite: %s", msg.c_str());
    throw jet_sql_error(jet_err_reserved, tk_from_utf8(msg));
}

// ---- result ----

jet_sql_result::jet_sql_result(sqlite3_stmt* stmt, std::vector<jet_sql_result_column> columns)
    : stmt_(stmt), columns_(std::move(columns))
{
}

jet_sql_result::~jet_sql_result()
{
    sqlite3_finalize(stmt_);
}

bool jet_sql_result::next()
{
    int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    jet_sql_raise(sqlite3_db_handle(stmt_));
}

bool jet_sql_result::is_null(size_t c) const
{
    return sqlite3_column_type(stmt_, static_cast<int>(c)) == SQLITE_NULL;
}

int jet_sql_result::storage(size_t c) const
{
    return sqlite3_column_type(stmt_, static_cast<int>(c));
}

int64_t jet_sql_result::as_int(size_t c) const
{
    return sqlite3_column_int64(stmt_, static_cast<int>(c));
}

double jet_sql_result::as_double(size_t c) const
{
    return sqlite3_column_double(stmt_, static_cast<int>(c));
}

std::u16string jet_sql_result::as_text(size_t c) const
{
    const void* p = sqlite3_column_text16(stmt_, static_cast<int>(c));
    if (p == nullptr) return {};
    int bytes = sqlite3_column_bytes16(stmt_, static_cast<int>(c));
    return std::u16string(static_cast<const char16_t*>(p), static_cast<size_t>(bytes) / 2);
}

std::vector<uint8_t> jet_sql_result::as_bytes(size_t c) const
{
    const auto* p = static_cast<const uint8_t*>(sqlite3_column_blob(stmt_, static_cast<int>(c)));
    int n = sqlite3_column_bytes(stmt_, static_cast<int>(c));
    return p == nullptr ? std::vector<uint8_t>() : std::vector<uint8_t>(p, p + n);
}

// ---- engine ----

jet_sql_engine::jet_sql_engine(jet_sql_source& source) : source_(source)
{
    // An empty file name gives a private temporary database: cached in
    // memory, spilled to a file that SQLite deletes when it closes.
    int rc = sqlite3_open_v2("", &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_close(db_);
        db_ = nullptr;
        throw jet_sql_error(jet_err_reserved, u"SQLite cannot open its work database");
    }
    jet_sql_register_functions(db_);
    exec("PRAGMA journal_mode = OFF");
    exec("PRAGMA synchronous = OFF");
    exec("PRAGMA cache_size = -65536");
    exec("PRAGMA temp_store = FILE");
}

jet_sql_engine::~jet_sql_engine()
{
    sqlite3_close_v2(db_);
}

void jet_sql_engine::exec(const std::string& sql)
{
    char* err = nullptr;
    if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
        sqlite3_free(err);
        jet_sql_raise(db_);
    }
}

jet_sql_engine::table_state* jet_sql_engine::find_state(std::u16string_view name)
{
    auto it = tables_.find(tk_fold_case(name));
    return it == tables_.end() ? nullptr : &it->second;
}

const std::vector<jet_sql_column>* jet_sql_engine::table(std::u16string_view wanted, std::u16string& name)
{
    if (table_state* t = find_state(wanted)) {
        name = t->name;
        return &t->columns;
    }
    table_state t;
    if (!source_.find_table(wanted, t.name, t.columns)) return nullptr;
    create_table(t);
    name = t.name;
    auto& slot = tables_[tk_fold_case(t.name)];
    slot = std::move(t);
    return &slot.columns;
}

bool jet_sql_engine::saved_query(std::u16string_view wanted, std::u16string& name, std::u16string& sql)
{
    return source_.find_query(wanted, name, sql);
}

void jet_sql_engine::create_table(const table_state& t)
{
    std::string sql = "CREATE TABLE " + quote_ident(t.name) + " (";
    for (size_t i = 0; i < t.columns.size(); ++i) {
        if (i > 0) sql += ", ";
        sql += quote_ident(t.columns[i].name) + " " + column_decl(t.columns[i].dao_type);
    }
    if (t.columns.empty()) sql += "\"__jet_none\"";
    exec(sql + ")");
}

void jet_sql_engine::load(table_state& t)
{
    if (t.loaded) return;
    tk_trace(1, u"jet_sql_engine::load(%s)", t.name);
    std::string sql = "INSERT INTO " + quote_ident(t.name) + " VALUES (";
    for (size_t i = 0; i < t.columns.size(); ++i) sql += i > 0 ? ", ?" : "?";
    if (t.columns.empty()) sql += "NULL";
    sql += ")";
    stmt_guard ins;
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &ins.stmt, nullptr) != SQLITE_OK) jet_sql_raise(db_);
    std::unique_ptr<jet_sql_cursor> cursor = source_.open_table(t.name);
    TK_ASSERT(cursor != nullptr);
    inserter sink(ins.stmt, t.columns);
    exec("BEGIN");
    try {
        while (cursor->next(sink)) {
            if (sqlite3_step(ins.stmt) != SQLITE_DONE) jet_sql_raise(db_);
            sqlite3_reset(ins.stmt);
            sqlite3_clear_bindings(ins.stmt);
        }
    } catch (...) {
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
    exec("COMMIT");
    t.loaded = true;
}

void jet_sql_engine::ensure_index(table_state& t, const std::u16string& column)
{
    for (const auto& c : t.indexed)
        if (tk_equal_nocase(c, column)) return;
    std::string name = "__jet_ix_" + std::to_string(reinterpret_cast<uintptr_t>(&t)) + "_" + std::to_string(t.indexed.size());
    exec("CREATE INDEX " + quote_ident(tk_from_utf8(name)) + " ON " + quote_ident(t.name) + " (" + quote_ident(column) + ")");
    t.indexed.push_back(column);
}

jet_sql_translation jet_sql_engine::compile(std::u16string_view sql)
{
    std::unique_ptr<jet_sql_query> q = jet_sql_parse(sql);
    return jet_sql_translate(*q, *this);
}

jet_sql_translation jet_sql_engine::test(std::u16string_view sql)
{
    tk_trace(2, u"jet_sql_engine::test(%s)", std::u16string(sql));
    jet_sql_translation tr = compile(sql);
    stmt_guard st;
    if (sqlite3_prepare_v2(db_, tr.sql.c_str(), -1, &st.stmt, nullptr) != SQLITE_OK) jet_sql_raise(db_);
    return tr;
}

std::string jet_sql_engine::translate(std::u16string_view sql)
{
    return compile(sql).sql;
}

std::unique_ptr<jet_sql_result> jet_sql_engine::open(std::u16string_view sql)
{
    tk_trace(2, u"jet_sql_engine::open(%s)", std::u16string(sql));
    jet_sql_translation tr = compile(sql);
    tk_trace(1, "SQLite text: %s", tr.sql.c_str());
    for (const std::u16string& name : tr.tables)
        if (table_state* t = find_state(name)) load(*t);
    for (const auto& [table, column] : tr.index_hints)
        if (table_state* t = find_state(table)) ensure_index(*t, column);
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db_, tr.sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
        sqlite3_finalize(stmt);
        jet_sql_raise(db_);
    }
    return std::make_unique<jet_sql_result>(stmt, std::move(tr.columns));
}
