// The Oracle stand-in's engine: one emulated Oracle server per "service",
// kept in a SQLite file, reached through sessions.
//
// This header is the whole contract between the engine and its two
// clients, the OCI library (emu_oci*.cpp) and the `oraemu` tool.
//
// Store layout (one SQLite file per service, "$ORAEMU_HOME/<SERVICE>.db";
// ORAEMU_HOME defaults to $XDG_DATA_HOME/tolvane/oraemu, that is
// ~/.local/share/tolvane/oraemu):
//   - every Oracle table of user U named T is the SQLite table "U.T"
//     (schema prefix, a dot, the exact Oracle name), with one SQLite column
//     per Oracle column under the exact Oracle column name; SQLite ignores
//     ASCII case in names, so a name with a lower-case letter carries a
//     suffix "#" + 8 hex digits ("Orders" is "SCOTT.Orders#7872110c");
//   - values: NUMBER/FLOAT/BINARY_DOUBLE as the exact decimal text, character
//     types (and CLOB/NCLOB/LONG) as UTF-8 text, DATE as
//     "YYYY-MM-DD HH24:MI:SS", TIMESTAMP as "YYYY-MM-DD HH24:MI:SS.FFFFFFFFF",
//     RAW/BLOB as blobs, NULL as NULL;
//   - the dictionary lives in tables named oraemu_* (users, objects, columns,
//     constraints, indexes, sequences, triggers, settings, faults, stats);
//     a user table never clashes with them because its name contains a dot.
// So `sqlite3 ~/.local/share/tolvane/oraemu/XE.db 'select * from "SCOTT.EMP"'`
// shows a table's rows.
//
// Thread safety: one session is used by one thread at a time; sessions of
// the same service may live in several threads and processes at once
// (SQLite locking; a writer waiting too long gets ORA-00054).
#pragma once

#include <cstdint>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace emu {

// Oracle column types as the server knows them. The OCI layer maps them to
// the external codes of OCI_ATTR_DATA_TYPE (varchar2/nvarchar2 1, number and
// float_ 2, long_ 8, date 12, raw 23, char_/nchar 96, binary_double 101,
// clob/nclob 112, blob 113, timestamp 187, rowid 104).
enum class col_type {
    number, float_, binary_double, varchar2, nvarchar2, char_, nchar,
    date, timestamp, raw, clob, nclob, blob, long_, rowid
};

// True for the types whose character set form is SQLCS_NCHAR.
bool is_national(col_type t);
// True for clob, nclob and blob.
bool is_lob(col_type t);
// The type's name as USER_TAB_COLUMNS.DATA_TYPE shows it ("TIMESTAMP(6)" etc.).
std::string type_name(col_type t, int scale_or_fraction = 6);

// One column of a result set, as an implicit describe reports it.
struct column_info {
    std::string name;          // exact, UTF-8 ("COUNT(*)", "ID", "Mixed")
    col_type type = col_type::varchar2;
    uint32_t size = 0;         // OCI_ATTR_DATA_SIZE: database bytes (NUMBER 22,
                               // DATE 7, NVARCHAR2(n) 2n, CLOB/BLOB 4000, ...)
    uint32_t char_length = 0;  // OCI_ATTR_CHAR_SIZE: characters for character types, else 0
    bool char_semantics = false; // OCI_ATTR_CHAR_USED
    int precision = 0;         // NUMBER(p,s) p; bare NUMBER 0; FLOAT binary precision
    int scale = 0;             // NUMBER(p,s) s; bare NUMBER and FLOAT -127;
                               // TIMESTAMP fractional digits
    bool nullable = true;      // OCI_ATTR_IS_NULL
};

// Identifies one LOB cell. Valid while its row lives; the row is found
// again by the table's internal object number and the row's key.
struct lob_ref {
    std::string owner;         // schema of the table
    std::string table;         // exact Oracle table name
    std::string column;        // exact Oracle column name
    int64_t row_key = 0;       // the SQLite rowid of the row
    col_type type = col_type::clob;
};

// One value crossing the engine's border.
//   data: NUMBER/FLOAT/BINARY_DOUBLE exact decimal text. Values the engine
//         returns use Oracle's own text form, as TO_CHAR without a format
//         gives it ("12.5", "-3", ".001", "-.5"); values given to it may be
//         any decimal or exponent text ("0.001", "1.0E28");
//         character types, CLOB and NCLOB UTF-8 text;
//         DATE "YYYY-MM-DD HH24:MI:SS"; TIMESTAMP "YYYY-MM-DD HH24:MI:SS.FFFFFFFFF";
//         RAW and BLOB the raw bytes; ROWID its 18-character text.
//   lob:  set for CLOB/NCLOB/BLOB values of a table column (also when null is
//         false and data holds the current content), empty for computed values.
// A NULL has null == true; '' never comes back as a non-null value.
struct value {
    bool null = true;
    col_type type = col_type::varchar2;
    std::string data;
    std::optional<lob_ref> lob;
    // A number whose text is already in its shortest form (made from
    // NUMBER bytes): it need not be read and written again.
    bool canonical = false;

    static value make_null(col_type t) { value v; v.type = t; return v; }
    static value make(col_type t, std::string d) {
        value v; v.null = false; v.type = t; v.data = std::move(d); return v;
    }
};

// An Oracle error. text is the complete message line without a trailing
// newline, e.g. "ORA-00942: table or view does not exist".
struct ora_error : std::exception {
    int code = 0;
    std::string text;
    ora_error() = default;
    ora_error(int c, std::string t) : code(c), text(std::move(t)) {}
    const char* what() const noexcept override { return text.c_str(); }
};

// Builds the error with Oracle's standard text for `code`; the arguments
// fill its %s placeholders in order.
ora_error make_error(int code, const std::vector<std::string>& args = {});
// The error an injected fault raises for an object of `owner`: Oracle's
// text for `code` with plausible placeholders (tablespace USERS ...).
ora_error make_fault_error(int code, const std::string& owner, const std::string& table);

// A bind variable. name is the placeholder as written (":1", ":X", ":new",
// compared without regard to case for unquoted names); a bind given by
// position has the name ":<position>" with position counted from 1 in the
// order the placeholders appear in the text. is_output marks a RETURNING
// target; its value is ignored on input and comes back in exec_result::returning.
struct bind_value {
    std::string name;
    value v;
    bool is_output = false;
};

// Rows of a query. Rows are produced lazily; a cursor stays usable after
// later statements of the same session (it holds its own SQLite statement).
class cursor {
public:
    virtual ~cursor();
    virtual const std::vector<column_info>& columns() const = 0;
    // Fills `row` with the next row (one value per column); false at the end.
    // Throws ora_error (for example ORA-03113 after an injected connection loss).
    virtual bool fetch(std::vector<value>& row) = 0;
};

// Statement kinds as OCI_ATTR_STMT_TYPE reports them (same numbers).
enum class stmt_kind : uint16_t {
    unknown = 0, select = 1, update = 2, del = 3, insert = 4, create = 5,
    drop = 6, alter = 7, begin = 8, declare = 9, call = 10, merge = 16,
    rollback = 17, commit = 21
};

struct exec_result {
    enum kind { query, dml, ddl, plsql, tx } k = ddl;
    uint64_t row_count = 0;              // rows inserted/updated/deleted
    std::unique_ptr<cursor> rows;        // set for a query
    std::vector<value> returning;        // RETURNING values of a single-row DML, in INTO order
    std::vector<std::string> returning_names; // their placeholders (":1" ...)
    std::optional<ora_error> warning;    // success with info, e.g. ORA-24344
};

// Round trips: the calls that would cross the network to a real server.
enum class rt_kind { execute, fetch, lob_read, lob_write, lob_length, commit, rollback, logon, other };

struct rt_counters {
    uint64_t execute = 0, fetch = 0, lob_read = 0, lob_write = 0, lob_length = 0,
             commit = 0, rollback = 0, logon = 0, other = 0;
    // Transactions that ended in a commit, however the commit travelled
    // (its own call, OCI_COMMIT_ON_SUCCESS, DDL): not a round trip kind,
    // so total() leaves it out.
    uint64_t transactions = 0;
    uint64_t total() const {
        return execute + fetch + lob_read + lob_write + lob_length + commit + rollback + logon + other;
    }
};

class session {
public:
    // connect: "//host:port/service", "host:port/service", "host/service"
    // or a bare service name (host localhost). Throws ora_error:
    // ORA-12545 / ORA-12541 (faults for the host), ORA-12514 (no such
    // service in an Easy Connect string), ORA-12154 (a bare name that is no
    // service), ORA-01017 (unknown user or wrong password, or fault),
    // ORA-28000 (account locked).
    static std::unique_ptr<session> logon(const std::string& connect,
                                          const std::string& user,
                                          const std::string& password);
    // Ends the session; uncommitted work is rolled back (a client that wants
    // OCILogoff's commit calls commit() first).
    ~session();

    // Runs one statement. commit_on_success commits the transaction when
    // the statement succeeds (OCI_COMMIT_ON_SUCCESS). A failing statement
    // changes nothing (statement-level rollback) and throws ora_error.
    // DDL commits the open transaction first, as Oracle does.
    exec_result execute(const std::string& sql, const std::vector<bind_value>& binds,
                        bool commit_on_success = false);
    // The select list of a query without running it (OCI_DESCRIBE_ONLY);
    // empty for other statements. Throws ora_error for bad text or names.
    std::vector<column_info> describe(const std::string& sql);
    // Checks syntax and names without side effects (OCI_PARSE_ONLY).
    void parse_only(const std::string& sql);
    // The kind of statement (local: no round trip, no name checks).
    static stmt_kind classify(const std::string& sql);
    // The placeholders of the text in order of appearance (":1", ":X"),
    // each once; local.
    static std::vector<std::string> placeholders(const std::string& sql);

    void commit();
    void rollback();

    // Whether N'...' literals arrive as Unicode (the client's
    // ORA_NCHAR_LITERAL_REPLACE=TRUE) or through the database character set.
    void set_nchar_literal_replace(bool on);

    // LOBs. CLOB/NCLOB lengths, offsets and amounts count UTF-16 code units
    // (a character outside the BMP counts 2, as in Oracle's UCS-2 LOB
    // storage); BLOB ones count bytes. Offsets are 0-based here (OCI's are
    // 1-based). Writing needs the row locked by this session (SELECT ... FOR
    // UPDATE or an earlier DML on the row in the open transaction), else
    // ORA-22920. Reading past the end returns an empty result. Writing past
    // the end pads a CLOB with blanks and a BLOB with zero bytes.
    uint64_t lob_length(const lob_ref& lob);
    std::u16string clob_read(const lob_ref& lob, uint64_t offset, uint64_t amount);
    void clob_write(const lob_ref& lob, uint64_t offset, std::u16string_view data);
    std::string blob_read(const lob_ref& lob, uint64_t offset, uint64_t amount);
    void blob_write(const lob_ref& lob, uint64_t offset, std::string_view data);
    void lob_trim(const lob_ref& lob, uint64_t new_length);

    // The first row of V$VERSION (e.g. "Oracle Database 11g Express Edition
    // Release 11.2.0.2.0 - 64bit Production").
    std::string server_version();
    // Packed like OCIServerRelease: major<<24 | minor<<20 | update<<12 | ...
    uint32_t server_release();

    // Counts a round trip that only the caller knows of (OCIStmtFetch of
    // the OCI layer, OCIPing ...). execute, commit, rollback, logon and the
    // LOB calls above count themselves.
    void count_round_trip(rt_kind k);
    // Array DML sends all its rows, and the commit of OCI_COMMIT_ON_SUCCESS,
    // in one network call: while on, only the first execute counts and
    // commits are free, and the statement text is parsed once for all
    // rows. Turned off by the caller when the array is done.
    void set_array_execution(bool on);
    // This session's round trips since logon.
    const rt_counters& round_trips() const;

    const std::string& user() const;     // upper-case schema name
    const std::string& service() const;

    // Implementation, opaque to clients.
    struct impl;
    explicit session(std::unique_ptr<impl> p);
    impl& internals() { return *p_; }

private:
    std::unique_ptr<impl> p_;
};

// Administration of stores (used by the `oraemu` tool and by tests).
// The folder holding the stores: ORAEMU_HOME or its default.
std::string home_dir();
// Creates the store of a service; no error if it exists. version: "11g"
// (default: 11g Express Edition, 30-byte identifiers), "19c" or "23ai"
// (128-byte identifiers).
void create_service(const std::string& service, const std::string& version = "11g");
// Creates a user (schema); ORA-01920 if the name is taken.
void create_user(const std::string& service, const std::string& user, const std::string& password);
// Stores a setting of the service: "version" (11g, 19c, 23ai),
// "nchar_charset" (AL16UTF16 or UTF8: NVARCHAR2 limits of 2000 or 4000
// characters), "lock_wait_ms" (how long a session waits for another one's
// open transaction before ORA-00054; default 10000).
void set_setting(const std::string& service, const std::string& key, const std::string& value);

// Faults stored in a service's store, acted on by the engine:
//   logon_refused  target=user                 ORA-01017 at logon
//   account_locked target=user                 ORA-28000 at logon
//   no_listener    target=host                 ORA-12541 at logon
//   unknown_host   target=host                 ORA-12545 at logon
//   drop_busy      target=table                ORA-00054 on DROP TABLE
//   sequence_denied target=user ("" = any)     ORA-01031 on CREATE SEQUENCE
//   insert_fails   target=table, n, code       the n-th INSERT into the table
//                                              (counted per session) fails with ORA-<code>
//   connection_lost n                          after n statements of a session:
//                                              ORA-03113, then ORA-03114
//   no_space       target=table ("" = any)     ORA-01653 on INSERT
//   create_fails   target=table ("" = any), code  CREATE TABLE fails with ORA-<code>
//                                              (e.g. 1658, 1950)
// Names are matched exactly after folding unquoted-style (upper case).
struct fault {
    std::string kind;
    std::string target;
    int64_t n = 0;
    int code = 0;
};
void add_fault(const std::string& service, const fault& f);
void clear_faults(const std::string& service);
std::vector<fault> list_faults(const std::string& service);

// Round trips of every session of the service since the counters were
// last reset (flushed at commit and at the end of each session).
rt_counters service_round_trips(const std::string& service);
void reset_round_trips(const std::string& service);

// Statement log: when the environment variable ORAEMU_LOG names a file,
// every statement executed is appended to it as one line:
//   "<service>\t<user>\t<OK|ORA-nnnnn>\t<rows>\t<statement text>"
// (newlines inside the text written as "\n").

}  // namespace emu
