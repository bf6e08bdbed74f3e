// The query engine: runs Access SELECT statements over the tables of a
// jet_sql_source through SQLite.
//
// Tables are copied into a private temporary SQLite database the first
// time a statement names them, and only then: compiling a statement
// (test) creates the tables it names empty, running it loads their rows,
// with only the columns the statement reads (the others stay NULL until a
// statement wants them). A table a statement reads once is not copied but
// streamed, again with only the columns read. SQLite keeps that database
// in memory up to its cache size and spills to a temporary file beyond,
// so big tables do not have to fit in memory.
// Joined columns get an index when a join names them, so joins, GROUP BY
// and ORDER BY stay n log n. Nothing is ever written to the source.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "jet_sql_source.h"
#include "jet_sql_stream.h"
#include "jet_sql_translator.h"

struct sqlite3;
struct sqlite3_stmt;
class ole_variant;

// A forward-only result: its schema as DAO gives it, and its rows.
class jet_sql_result {
public:
    jet_sql_result(sqlite3_stmt* stmt, std::vector<jet_sql_result_column> columns);
    jet_sql_result(const jet_sql_result&) = delete;
    jet_sql_result& operator=(const jet_sql_result&) = delete;
    ~jet_sql_result();

    const std::vector<jet_sql_result_column>& columns() const { return columns_; }
    // Moves to the next row; false at the end. Errors of Access's
    // functions raise their jet_sql_error.
    bool next();

    bool is_null(size_t column) const;
    // SQLite's storage class of the value (SQLITE_INTEGER, SQLITE_FLOAT,
    // SQLITE_TEXT, SQLITE_BLOB or SQLITE_NULL).
    int storage(size_t column) const;
    int64_t as_int(size_t column) const;
    double as_double(size_t column) const;
    std::u16string as_text(size_t column) const;
    std::vector<uint8_t> as_bytes(size_t column) const;
    // The value with the kind DAO delivers for the column's type: VT_NULL,
    // VT_BOOL, VT_UI1, VT_I2, VT_I4, VT_I8, VT_R4, VT_R8, VT_CY,
    // VT_DECIMAL, VT_DATE, VT_BSTR or a byte array.
    ole_variant value(size_t column) const;

private:
    sqlite3_stmt* stmt_;
    std::vector<jet_sql_result_column> columns_;
};

class jet_sql_engine : private jet_sql_catalog, private jet_sql_stream_host {
public:
    explicit jet_sql_engine(jet_sql_source& source);
    jet_sql_engine(const jet_sql_engine&) = delete;
    jet_sql_engine& operator=(const jet_sql_engine&) = delete;
    ~jet_sql_engine() override;

    // Compiles and starts the statement: a statement that names a single
    // table once streams it from the source; any other first loads the
    // tables it names. The result must be destroyed before the engine.
    std::unique_ptr<jet_sql_result> open(std::u16string_view sql);
    // Compiles the statement and resolves every name without reading a
    // row; raises the error DAO would give.
    jet_sql_translation test(std::u16string_view sql);
    // The SQLite text a statement becomes (for traces and tests).
    std::string translate(std::u16string_view sql);
    // Whether a table has been copied into the engine (tests, traces).
    bool is_loaded(std::u16string_view table);

private:
    struct table_state {
        size_t index = 0;
        std::u16string name;
        std::vector<jet_sql_column> columns;
        bool created = false;  // the SQLite copy exists
        bool loaded = false;   // and holds the rows, with the columns `filled` flags
        std::vector<bool> filled;
        int generation = 0;  // copies made before the current one
        std::vector<std::u16string> indexed;
    };

    const std::vector<jet_sql_column>* table(std::u16string_view wanted, std::u16string& name) override;
    bool saved_query(std::u16string_view wanted, std::u16string& name, std::u16string& sql) override;
    const std::vector<jet_sql_column>& stream_columns(size_t table) override;
    std::unique_ptr<jet_sql_cursor> stream_open(size_t table, const std::vector<bool>& wanted) override;

    jet_sql_translation compile(std::u16string_view sql, bool run);
    static std::string copy_name(const table_state& t);   // qualified with its database
    static std::string copy_table(const table_state& t);  // unqualified
    bool reading() const;
    void create_table(table_state& t);
    void load(table_state& t, const std::vector<bool>& wanted);
    void ensure_index(table_state& t, const std::u16string& column);
    void exec(const std::string& sql);
    table_state* find_state(std::u16string_view name);

    jet_sql_source& source_;
    sqlite3* db_ = nullptr;
    std::vector<std::unique_ptr<table_state>> tables_;
    std::map<std::u16string, size_t> by_name_;  // folded name → index
};

// Raises the jet_sql_error for a failed SQLite call: the Access function
// error it carries ("jet:<n>") or DAO's catch-all with SQLite's text.
[[noreturn]] void jet_sql_raise(sqlite3* db);
