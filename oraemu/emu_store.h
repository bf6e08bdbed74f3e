// The SQLite file of one service: connection, prepared statements and the
// dictionary tables (oraemu_*).
#pragma once

#include <sqlite3.h>

#include "emu_checkpointer.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace emu {

struct stmt_pool;
using stmt_map = std::unordered_multimap<std::string, sqlite3_stmt*>;

// One prepared statement, taken from and given back to the connection's
// pool of prepared statements (a statement of the same text is prepared
// once). Errors become ora_error: a message that SQLite
// function code raised as "ORA-nnnnn: ..." keeps its number, a busy store is
// ORA-00054, anything else ORA-00600 with SQLite's text.
class sql_stmt {
public:
    sql_stmt(sqlite3* db, const std::string& sql);
    ~sql_stmt();
    sql_stmt(const sql_stmt&) = delete;
    sql_stmt& operator=(const sql_stmt&) = delete;

    sql_stmt& bind(int i, std::string_view text);
    sql_stmt& bind_blob(int i, std::string_view bytes);
    // The same without a copy: the caller keeps the bytes alive until the
    // statement is done with (reset or destroyed).
    sql_stmt& bind_held(int i, std::string_view text);
    sql_stmt& bind_blob_held(int i, std::string_view bytes);
    sql_stmt& bind(int i, int64_t v);
    sql_stmt& bind_null(int i);
    sql_stmt& bind_opt(int i, const std::optional<std::string>& text);

    bool step();   // true while a row is available
    void run();    // steps to the end
    void reset();

    int columns() const { return sqlite3_column_count(s_); }
    bool is_null(int i) const { return sqlite3_column_type(s_, i) == SQLITE_NULL; }
    int type(int i) const { return sqlite3_column_type(s_, i); }
    std::string text(int i) const;
    std::string blob(int i) const;
    int64_t int64(int i) const { return sqlite3_column_int64(s_, i); }
    double real(int i) const { return sqlite3_column_double(s_, i); }
    std::optional<std::string> opt_text(int i) const;
    sqlite3_stmt* raw() { return s_; }

private:
    sqlite3* db_;
    sqlite3_stmt* s_ = nullptr;
    std::shared_ptr<stmt_pool> pool_;
    // The pool's entry while the statement is out of it (given back without
    // copying its text), else the text of a statement prepared here.
    stmt_map::node_type node_;
    std::string sql_;
};

// Throws the ora_error for SQLite result `rc` on `db`.
[[noreturn]] void throw_sqlite(sqlite3* db, int rc);

class store {
public:
    // Opens the store file of `service`; ORA-12514 when it does not exist
    // and create is false.
    store(const std::string& service, bool create);
    ~store();
    store(const store&) = delete;
    store& operator=(const store&) = delete;

    sqlite3* db() { return db_; }
    void exec(const std::string& sql);
    std::unique_ptr<sql_stmt> prepare(const std::string& sql) {
        return std::make_unique<sql_stmt>(db_, sql);
    }

    std::optional<std::string> setting(const std::string& key);
    void set_setting(const std::string& key, const std::string& value);
    // Next value of a named counter (object numbers, SYS_C names ...).
    int64_t next_counter(const std::string& name, int64_t first);

    static std::string path_of(const std::string& service);
    static bool exists(const std::string& service);

private:
    void create_dictionary();
    sqlite3* db_ = nullptr;
    std::unique_ptr<checkpointer> checkpointer_;
};

// Quotes a name for SQLite: "name" with inner quotes doubled.
std::string sq_name(std::string_view name);
// The SQLite name of an Oracle name. SQLite compares names without regard
// to ASCII case while Oracle keeps "Orders" and ORDERS apart, so a name
// with a lower-case ASCII letter gets a suffix '#' and eight hexadecimal
// digits of a hash of its exact text: "Orders" is stored as "Orders#7872110c".
std::string sqlite_ident(std::string_view name);
// sq_name(sqlite_ident(name)): a column as SQLite knows it.
std::string sq_col(std::string_view name);
// Quotes a text for SQLite: 'text' with inner quotes doubled.
std::string sq_text(std::string_view text);

}  // namespace emu
