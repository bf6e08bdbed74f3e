// Internal state of a session, shared by the engine's modules.
#pragma once

#include "emu_ast.h"
#include "emu_catalog.h"
#include "emu_session.h"
#include "emu_store.h"

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace emu {

// A cursor that can let go of its SQLite statement by reading its
// remaining rows into memory. SQLite refuses DDL while a statement of the
// connection is active and aborts reads on ROLLBACK, where an Oracle
// session keeps its open cursors; cursors are detached before either.
struct detachable {
    virtual ~detachable() = default;
    virtual void detach() = 0;
};

struct trigger_action;

struct session::impl {
    std::string service, user, host;
    std::unique_ptr<store> st;
    std::unique_ptr<catalog> cat;
    size_t ident_limit = 30;
    std::string version = "11g";
    std::string nchar_charset = "AL16UTF16";
    std::string db_charset = "AL32UTF8";
    // The client sends N'...' literals as Unicode (ORA_NCHAR_LITERAL_REPLACE);
    // otherwise they pass through the database character set like all text
    // of the statement.
    bool nchar_literal_replace = false;
    // The text of a literal as the server receives it.
    std::string literal_text(const expr& e) const;
    // Formats for text that becomes a date or timestamp without an explicit
    // format, and for dates shown as text (ALTER SESSION SET NLS_...).
    std::string nls_date_format = "DD-MON-RR";
    std::string nls_timestamp_format = "DD-MON-RR HH.MI.SSXFF AM";
    void alter_session(const std::string& parameter, const std::string& value);

    bool in_tx = false;
    std::set<std::pair<int64_t, int64_t>> locked;       // (table object, row key)
    std::map<std::string, std::string> currval;          // "OWNER.SEQ" -> value
    // Sequence state to keep across rollbacks: "OWNER.SEQ" -> (next value, LAST_NUMBER).
    std::map<std::string, std::pair<std::string, std::string>> seq_moved;
    rt_counters rt;                                      // since logon
    rt_counters unflushed;                               // not yet in the store
    int64_t statements = 0;
    std::map<std::string, int64_t> insert_counts;        // INSERTs per table, for faults
    bool lost = false;
    const std::vector<bind_value>* binds = nullptr;      // of the running statement
    std::set<detachable*> cursors;                       // open cursors of the session

    void detach_cursors() {
        for (detachable* c : std::vector<detachable*>(cursors.begin(), cursors.end())) c->detach();
    }

    // Transactions. begin() opens the SQLite transaction lazily; every
    // statement runs inside a savepoint so that a failure undoes only it.
    void begin();
    void commit();
    void rollback();
    void flush_counters();
    void count(rt_kind k);
    bool array_execution = false;  // see session::set_array_execution
    bool array_counted = false;
    // The statement of the array in progress, parsed by its first row.
    std::string array_sql;
    std::shared_ptr<const statement> array_stmt;
    // What the rows of one array execution look up alike: nothing they do
    // changes the dictionary or the faults, so the first row's answers
    // serve the others. Empty outside an array.
    struct array_memo {
        std::map<std::string, table_meta> tables;  // "OWNER\nNAME"
        std::map<std::string, std::optional<std::pair<int64_t, int>>> faults;  // "KIND\nTARGET"
        std::map<std::string, std::vector<trigger_meta>> triggers;  // "OWNER\nTABLE"
        std::map<std::string, std::shared_ptr<const trigger_action>> actions;  // "OWNER\nTRIGGER", compiled
        std::map<std::string, std::string> sql;  // SQLite texts made for a table, by purpose
        std::map<std::string, std::vector<int>> columns;  // "OWNER\nTABLE": the INSERT's target columns
        // The bind each placeholder of the array's statement took: every
        // row binds the same names in the same places.
        std::map<const expr*, size_t> bind_slots;
    } memo;

    // Statement handlers (emu_dml.cpp, emu_ddl.cpp).
    exec_result run_insert(const statement& s);
    exec_result run_update(const statement& s);
    exec_result run_delete(const statement& s);
    exec_result run_ddl(const statement& s, const std::string& sql);

    // Names: the schema of an optional owner, checked against the user.
    std::string schema_of(const std::string& owner) const { return owner.empty() ? user : owner; }
    table_meta need_table(const std::string& owner, const std::string& name);
    // The same without a copy inside an array (the answer then lives in the
    // memo); outside one it is kept in `scratch`.
    const table_meta& need_table(const std::string& owner, const std::string& name, table_meta& scratch);

    // Sequences: the next value (advancing it) and the current one.
    std::string nextval(const std::string& owner, const std::string& name);
    std::string currval_of(const std::string& owner, const std::string& name);
    void reapply_sequences();

    // Faults.
    bool fault(const std::string& kind, const std::string& target, int64_t* n = nullptr, int* code = nullptr);
    void check_insert_faults(const table_meta& t);

    // ORAEMU_LOG.
    void log_statement(const std::string& sql, const std::string& outcome, uint64_t rows);
};

// SQLite functions of the Oracle dialect (emu_functions.cpp).
void register_functions(sqlite3* db, session::impl* s);

}  // namespace emu
