#include "jet_sql_engine.h"

#include <sqlite3.h>

#include <cstdlib>

#include "jet_sql_error.h"
#include "jet_sql_functions.h"
#include "jet_sql_parser.h"
#include "jet_sql_row_buffer.h"
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

struct stmt_guard {
    sqlite3_stmt* stmt = nullptr;
    ~stmt_guard() { sqlite3_finalize(stmt); }
};

}  // namespace

[[noreturn]] void jet_sql_raise(sqlite3* db)
{
    if (std::exception_ptr e = jet_sql_take_stream_error()) std::rethrow_exception(e);
    std::string msg = sqlite3_errmsg(db);
    if (msg.rfind("jet:", 0) == 0) throw jet_sql_error(std::atoi(msg.c_str() + 4));
    tk_trace(3, "SQLite: %s", msg.c_str());
    throw jet_sql_error(jet_err_reserved, tk_from_utf8(msg));
}

// ---- result ----

jet_sql_result::jet_sql_result(sqlite3_stmt* stmt, std::vector<jet_sql_result_column> columns)
    : stmt_(stmt), columns_(std::move(columns))
{}

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
    jet_sql_register_stream(db_, this);
    // The copies live in a second private database with a large cache.
    // The main one holds nothing, and its small cache bounds the sorter's
    // in-memory runs (SQLite sizes them by the main cache): a GROUP BY over
    // many rows then sorts in runs that fit the processor's caches.
    exec("ATTACH DATABASE '' AS copies");
    exec("PRAGMA copies.journal_mode = OFF");
    exec("PRAGMA copies.synchronous = OFF");
    exec("PRAGMA copies.cache_size = -65536");
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
    auto it = by_name_.find(tk_fold_case(name));
    return it == by_name_.end() ? nullptr : tables_[it->second].get();
}

bool jet_sql_engine::is_loaded(std::u16string_view table)
{
    table_state* t = find_state(table);
    return t != nullptr && t->loaded;
}

const std::vector<jet_sql_column>* jet_sql_engine::table(std::u16string_view wanted, std::u16string& name)
{
    if (table_state* t = find_state(wanted)) {
        name = t->name;
        return &t->columns;
    }
    auto t = std::make_unique<table_state>();
    if (!source_.find_table(wanted, t->name, t->columns)) return nullptr;
    t->index = tables_.size();
    name = t->name;
    by_name_[tk_fold_case(t->name)] = t->index;
    tables_.push_back(std::move(t));
    const size_t k = tables_.back()->index;
    // Every table is first known as its streaming scan; compiling a
    // statement needs nothing more.
    exec("CREATE VIRTUAL TABLE \"__jet_v_" + std::to_string(k) + "\" USING jet_stream(" + std::to_string(k) + ")");
    return &tables_.back()->columns;
}

bool jet_sql_engine::saved_query(std::u16string_view wanted, std::u16string& name, std::u16string& sql)
{
    return source_.find_query(wanted, name, sql);
}

const std::vector<jet_sql_column>& jet_sql_engine::stream_columns(size_t table)
{
    TK_ASSERT(table < tables_.size());
    return tables_[table]->columns;
}

std::unique_ptr<jet_sql_cursor> jet_sql_engine::stream_open(size_t table, const std::vector<bool>& wanted)
{
    TK_ASSERT(table < tables_.size());
    tk_trace(1, u"jet_sql_engine::stream_open(%s)", tables_[table]->name);
    std::unique_ptr<jet_sql_cursor> c = source_.open_columns(tables_[table]->name, wanted);
    TK_ASSERT(c != nullptr);
    return c;
}

void jet_sql_engine::create_table(table_state& t)
{
    if (t.created) return;
    std::string sql = "CREATE TABLE " + copy_name(t) + " (";
    for (size_t i = 0; i < t.columns.size(); ++i) {
        if (i > 0) sql += ", ";
        sql += quote_ident(t.columns[i].name) + " " + jet_sql_column_decl(t.columns[i].dao_type);
    }
    if (t.columns.empty()) sql += "\"__jet_none\"";
    exec(sql + ")");
    t.created = true;
}

// Whether some statement is part way through its rows; dropping a table
// would then abort it.
bool jet_sql_engine::reading() const
{
    for (sqlite3_stmt* s = sqlite3_next_stmt(db_, nullptr); s != nullptr; s = sqlite3_next_stmt(db_, s))
        if (sqlite3_stmt_busy(s)) return true;
    return false;
}

std::string jet_sql_engine::copy_name(const table_state& t)
{
    return "\"copies\"." + copy_table(t);
}

std::string jet_sql_engine::copy_table(const table_state& t)
{
    // '!' is never part of an Access name: no source table has the name of
    // a later copy.
    if (t.generation == 0) return quote_ident(t.name);
    return quote_ident(t.name + u"!" + tk_widen_ascii(std::to_string(t.generation)));
}

// Copies the columns `wanted` flags of a table's rows; the others stay
// NULL. A later statement that reads a column not yet copied gets a new
// copy with every column: a result still open may be reading the old one,
// so that is dropped only when no statement is reading, else kept until
// the engine closes. A table is thus copied at most twice.
void jet_sql_engine::load(table_state& t, const std::vector<bool>& wanted)
{
    TK_ASSERT(wanted.size() == t.columns.size());
    std::vector<bool> columns = wanted;
    if (t.loaded) {
        bool missing = false;
        for (size_t i = 0; i < columns.size(); ++i) missing = missing || (columns[i] && !t.filled[i]);
        if (!missing) return;
        if (!reading()) exec("DROP TABLE " + copy_name(t));
        ++t.generation;
        t.created = false;
        t.loaded = false;
        t.indexed.clear();
        columns.assign(columns.size(), true);
    }
    tk_trace(1, u"jet_sql_engine::load(%s)", t.name);
    create_table(t);
    std::vector<size_t> copied;
    std::string names, slots;
    for (size_t i = 0; i < columns.size(); ++i) {
        if (!columns[i]) continue;
        names += (copied.empty() ? "" : ", ") + quote_ident(t.columns[i].name);
        slots += copied.empty() ? "?" : ", ?";
        copied.push_back(i);
    }
    std::string sql = "INSERT INTO " + copy_name(t) +
                      (copied.empty() ? std::string(" DEFAULT VALUES") : " (" + names + ") VALUES (" + slots + ")");
    stmt_guard ins;
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &ins.stmt, nullptr) != SQLITE_OK) jet_sql_raise(db_);
    std::unique_ptr<jet_sql_cursor> cursor = source_.open_columns(t.name, columns);
    TK_ASSERT(cursor != nullptr);
    jet_sql_row_buffer row(t.columns);
    exec("BEGIN");
    try {
        while (cursor->next(row)) {
            for (size_t k = 0; k < copied.size(); ++k) row.bind(ins.stmt, copied[k], static_cast<int>(k) + 1);
            if (sqlite3_step(ins.stmt) != SQLITE_DONE) jet_sql_raise(db_);
            sqlite3_reset(ins.stmt);
        }
    } catch (...) {
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        exec("DELETE FROM " + copy_name(t));
        throw;
    }
    exec("COMMIT");
    t.filled = std::move(columns);
    t.loaded = true;
}

void jet_sql_engine::ensure_index(table_state& t, const std::u16string& column)
{
    for (const auto& c : t.indexed)
        if (tk_equal_nocase(c, column)) return;
    std::string name = "__jet_ix_" + std::to_string(t.index) + "_" + std::to_string(t.generation) + "_" +
                       std::to_string(t.indexed.size());
    exec("CREATE INDEX \"copies\".\"" + name + "\" ON " + copy_table(t) + " (" + quote_ident(column) + ")");
    t.indexed.push_back(column);
}

jet_sql_translation jet_sql_engine::compile(std::u16string_view sql, bool run)
{
    std::unique_ptr<jet_sql_query> q = jet_sql_parse(sql);
    jet_sql_translation tr = jet_sql_translate(*q, *this);
    // One table named once is read by a single scan: stream it. A table
    // named more often, or beside others, may be scanned once per row of
    // another: copy it into SQLite, with indexes on its join columns.
    int references = 0;
    for (int n : tr.table_references) references += n;
    const bool stream = !run || references == 1;
    // Inner joins of tables named once each: the largest one, not yet
    // copied, is read once by a streaming scan as SQLite's outer loop (it
    // cannot be searched, the copies can), the others are copied.
    size_t outer = tr.tables.size();
    if (run && !stream && tr.plain_inner_join && references == static_cast<int>(tr.tables.size())) {
        int64_t largest = -1;
        for (size_t i = 0; i < tr.tables.size(); ++i) {
            table_state* t = find_state(tr.tables[i]);
            int64_t rows = t != nullptr && !t->loaded ? source_.row_estimate(t->name) : -1;
            if (rows > largest) {
                largest = rows;
                outer = i;
            }
        }
    }
    std::vector<std::string> names;
    for (size_t i = 0; i < tr.tables.size(); ++i) {
        const std::u16string& name = tr.tables[i];
        table_state* t = find_state(name);
        TK_ASSERT(t != nullptr);
        if ((stream || i == outer) && !t->loaded) {
            names.push_back("\"__jet_v_" + std::to_string(t->index) + "\"");
            continue;
        }
        // Compiling alone reads no row: a copy, even without some column's
        // values, has every column declared.
        if (run) load(*t, tr.columns_used[i]);
        names.push_back(copy_name(*t));
    }
    if (run) {
        for (const auto& [table, column] : tr.index_hints)
            if (table_state* t = find_state(table); t != nullptr && t->loaded) ensure_index(*t, column);
    }
    std::string out;
    out.reserve(tr.sql.size());
    for (size_t i = 0; i < tr.sql.size(); ++i) {
        if (tr.sql[i] != '\x01') {
            out += tr.sql[i];
            continue;
        }
        size_t end = tr.sql.find('\x01', i + 1);
        TK_ASSERT(end != std::string::npos);
        out += names.at(std::stoul(tr.sql.substr(i + 1, end - i - 1)));
        i = end;
    }
    tr.sql = std::move(out);
    return tr;
}

jet_sql_translation jet_sql_engine::test(std::u16string_view sql)
{
    tk_trace(2, u"jet_sql_engine::test(%s)", std::u16string(sql));
    jet_sql_translation tr = compile(sql, false);
    stmt_guard st;
    if (sqlite3_prepare_v2(db_, tr.sql.c_str(), -1, &st.stmt, nullptr) != SQLITE_OK) jet_sql_raise(db_);
    return tr;
}

std::string jet_sql_engine::translate(std::u16string_view sql)
{
    return compile(sql, false).sql;
}

std::unique_ptr<jet_sql_result> jet_sql_engine::open(std::u16string_view sql)
{
    tk_trace(2, u"jet_sql_engine::open(%s)", std::u16string(sql));
    jet_sql_translation tr = compile(sql, true);
    tk_trace(1, "SQLite text: %s", tr.sql.c_str());
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db_, tr.sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
        sqlite3_finalize(stmt);
        jet_sql_raise(db_);
    }
    return std::make_unique<jet_sql_result>(stmt, std::move(tr.columns));
}
