#include "emu_store.h"

#include "emu_session.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <unordered_map>

namespace emu {

void throw_sqlite(sqlite3* db, int rc) {
    const char* msg = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    if (std::strncmp(msg, "ORA-", 4) == 0) {
        ora_error e;
        e.code = std::atoi(msg + 4);
        e.text = msg;
        throw e;
    }
    if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED) throw make_error(54);
    if (rc == SQLITE_FULL) throw make_error(1653, {"SYS", "STORE", "128", "USERS"});
    throw make_error(600, {msg});
}

// ---- statement pools ------------------------------------------------------------
//
// Each open connection has a pool of idle prepared statements keyed by
// their text. A statement in use is out of the pool, so nested use of the
// same text prepares a second copy. A pool outlives its connection only as
// a closed shell: statements given back to it then are finalized.

struct stmt_pool {
    std::mutex m;
    bool closed = false;
    size_t size = 0;
    stmt_map idle;
};

namespace {

constexpr size_t pool_limit = 256;

std::mutex& pools_mutex() {
    static std::mutex m;
    return m;
}

std::map<sqlite3*, std::shared_ptr<stmt_pool>>& pools() {
    static std::map<sqlite3*, std::shared_ptr<stmt_pool>> p;
    return p;
}

std::shared_ptr<stmt_pool> pool_of(sqlite3* db) {
    std::lock_guard<std::mutex> lock(pools_mutex());
    auto it = pools().find(db);
    return it == pools().end() ? nullptr : it->second;
}

void open_pool(sqlite3* db) {
    std::lock_guard<std::mutex> lock(pools_mutex());
    pools()[db] = std::make_shared<stmt_pool>();
}

void close_pool(sqlite3* db) {
    std::shared_ptr<stmt_pool> p;
    {
        std::lock_guard<std::mutex> lock(pools_mutex());
        auto it = pools().find(db);
        if (it == pools().end()) return;
        p = it->second;
        pools().erase(it);
    }
    std::lock_guard<std::mutex> lock(p->m);
    p->closed = true;
    for (auto& [sql, s] : p->idle) sqlite3_finalize(s);
    p->idle.clear();
}

}  // namespace

sql_stmt::sql_stmt(sqlite3* db, const std::string& sql) : db_(db), pool_(pool_of(db)) {
    if (pool_) {
        std::lock_guard<std::mutex> lock(pool_->m);
        auto it = pool_->idle.find(sql);
        if (it != pool_->idle.end()) {
            node_ = pool_->idle.extract(it);
            s_ = node_.mapped();
            --pool_->size;
            return;
        }
    }
    sql_ = sql;
    int rc = sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &s_, nullptr);
    if (rc != SQLITE_OK) throw_sqlite(db, rc);
}

sql_stmt::~sql_stmt() {
    if (!s_) return;
    sqlite3_reset(s_);
    sqlite3_clear_bindings(s_);
    if (pool_) {
        std::lock_guard<std::mutex> lock(pool_->m);
        if (!pool_->closed && pool_->size < pool_limit) {
            if (node_) pool_->idle.insert(std::move(node_));
            else pool_->idle.emplace(std::move(sql_), s_);
            ++pool_->size;
            return;
        }
    }
    sqlite3_finalize(s_);
}

sql_stmt& sql_stmt::bind(int i, std::string_view text) {
    sqlite3_bind_text(s_, i, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
    return *this;
}

sql_stmt& sql_stmt::bind_blob(int i, std::string_view bytes) {
    sqlite3_bind_blob(s_, i, bytes.data(), static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
    return *this;
}

sql_stmt& sql_stmt::bind_held(int i, std::string_view text) {
    sqlite3_bind_text(s_, i, text.data(), static_cast<int>(text.size()), SQLITE_STATIC);
    return *this;
}

sql_stmt& sql_stmt::bind_blob_held(int i, std::string_view bytes) {
    sqlite3_bind_blob(s_, i, bytes.data(), static_cast<int>(bytes.size()), SQLITE_STATIC);
    return *this;
}

sql_stmt& sql_stmt::bind(int i, int64_t v) {
    sqlite3_bind_int64(s_, i, v);
    return *this;
}

sql_stmt& sql_stmt::bind_null(int i) {
    sqlite3_bind_null(s_, i);
    return *this;
}

sql_stmt& sql_stmt::bind_opt(int i, const std::optional<std::string>& text) {
    return text ? bind(i, *text) : bind_null(i);
}

bool sql_stmt::step() {
    int rc = sqlite3_step(s_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    sqlite3_reset(s_);
    throw_sqlite(db_, rc);
}

void sql_stmt::run() {
    while (step()) {
    }
}

void sql_stmt::reset() {
    sqlite3_reset(s_);
    sqlite3_clear_bindings(s_);
}

std::string sql_stmt::text(int i) const {
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(s_, i));
    return p ? std::string(p, static_cast<size_t>(sqlite3_column_bytes(s_, i))) : std::string();
}

std::string sql_stmt::blob(int i) const {
    const auto* p = static_cast<const char*>(sqlite3_column_blob(s_, i));
    return p ? std::string(p, static_cast<size_t>(sqlite3_column_bytes(s_, i))) : std::string();
}

std::optional<std::string> sql_stmt::opt_text(int i) const {
    if (is_null(i)) return std::nullopt;
    return text(i);
}

std::string sq_name(std::string_view name) {
    std::string out = "\"";
    for (char c : name) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

std::string sqlite_ident(std::string_view name) {
    bool lower = false;
    for (char c : name) lower = lower || (c >= 'a' && c <= 'z');
    if (!lower) return std::string(name);
    uint32_t h = 2166136261u;
    for (char c : name) h = (h ^ static_cast<unsigned char>(c)) * 16777619u;
    std::string out(name);
    out += '#';
    for (int shift = 28; shift >= 0; shift -= 4) out += "0123456789abcdef"[(h >> shift) & 15];
    return out;
}

std::string sq_col(std::string_view name) { return sq_name(sqlite_ident(name)); }

std::string sq_text(std::string_view text) {
    std::string out = "'";
    for (char c : text) {
        if (c == '\'') out += '\'';
        out += c;
    }
    return out + "'";
}

// ---- store -------------------------------------------------------------------

namespace {

void make_dirs(const std::string& path) {
    for (size_t i = 1; i <= path.size(); ++i) {
        // Private: the stores hold the emulated users' passwords.
        if (i == path.size() || path[i] == '/') mkdir(path.substr(0, i).c_str(), 0700);
    }
}

}  // namespace

std::string home_dir() {
    if (const char* h = std::getenv("ORAEMU_HOME"); h && *h) return h;
    if (const char* x = std::getenv("XDG_DATA_HOME"); x && *x) return std::string(x) + "/tolvane/oraemu";
    const char* home = std::getenv("HOME");
    return std::string(home ? home : ".") + "/.local/share/tolvane/oraemu";
}

std::string store::path_of(const std::string& service) {
    return home_dir() + "/" + service + ".db";
}

bool store::exists(const std::string& service) {
    struct stat st {};
    return stat(path_of(service).c_str(), &st) == 0;
}

store::store(const std::string& service, bool create) {
    if (service.empty() || service.find('/') != std::string::npos || service[0] == '.')
        throw make_error(12514);
    if (!create && !exists(service)) throw make_error(12514);
    if (create) {
        make_dirs(home_dir());
        // Created readable by the owner only before SQLite opens it; SQLite
        // gives its WAL and shared-memory files the same mode.
        int fd = ::open(path_of(service).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd >= 0) ::close(fd);
    }
    int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0) | SQLITE_OPEN_FULLMUTEX;
    int rc = sqlite3_open_v2(path_of(service).c_str(), &db_, flags, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_close(db_);
        db_ = nullptr;
        throw make_error(12514);
    }
    sqlite3_busy_timeout(db_, 10000);
    open_pool(db_);
    try {
        // A bulk load rewrites the same index pages batch after batch: a
        // larger page cache and checkpoints of 4000 pages keep them from
        // going through the WAL file again and again; large pages mean
        // fewer writes. The checkpoints run beside the session (see
        // checkpointer).
        if (create) exec("PRAGMA page_size=16384;");
        exec("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; PRAGMA case_sensitive_like=ON; "
             "PRAGMA cache_size=-16384;");
        checkpointer_ = std::make_unique<checkpointer>(path_of(service), 4000);
        checkpointer_->watch(db_);
        if (create) create_dictionary();
    } catch (...) {
        close_pool(db_);
        sqlite3_close_v2(db_);
        throw;
    }
}

store::~store() {
    close_pool(db_);
    sqlite3_close_v2(db_);
    checkpointer_.reset();  // after the writer: its last commit may wake it
}

void store::exec(const std::string& sql) {
    char* err = nullptr;
    int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &err);
    if (rc != SQLITE_OK) {
        sqlite3_free(err);
        throw_sqlite(db_, rc);
    }
}

void store::create_dictionary() {
    exec(R"(
CREATE TABLE IF NOT EXISTS oraemu_settings(key TEXT PRIMARY KEY, value TEXT);
CREATE TABLE IF NOT EXISTS oraemu_counters(name TEXT PRIMARY KEY, value INTEGER);
CREATE TABLE IF NOT EXISTS oraemu_users(name TEXT PRIMARY KEY, password TEXT, locked INTEGER DEFAULT 0);
CREATE TABLE IF NOT EXISTS oraemu_objects(obj_id INTEGER PRIMARY KEY, owner TEXT, name TEXT,
  type TEXT, status TEXT DEFAULT 'VALID', created TEXT);
CREATE INDEX IF NOT EXISTS oraemu_objects_name ON oraemu_objects(owner, name);
CREATE TABLE IF NOT EXISTS oraemu_columns(owner TEXT, table_name TEXT, column_id INTEGER,
  column_name TEXT, type_code INTEGER, data_type TEXT, data_length INTEGER, data_precision INTEGER,
  data_scale INTEGER, nullable TEXT, data_default TEXT, char_length INTEGER, char_used TEXT,
  PRIMARY KEY(owner, table_name, column_name));
CREATE TABLE IF NOT EXISTS oraemu_constraints(owner TEXT, constraint_name TEXT, constraint_type TEXT,
  table_name TEXT, search_condition TEXT, r_owner TEXT, r_constraint_name TEXT, delete_rule TEXT,
  status TEXT DEFAULT 'ENABLED', generated TEXT, index_name TEXT, PRIMARY KEY(owner, constraint_name));
CREATE TABLE IF NOT EXISTS oraemu_cons_columns(owner TEXT, constraint_name TEXT, table_name TEXT,
  column_name TEXT, position INTEGER);
CREATE TABLE IF NOT EXISTS oraemu_indexes(owner TEXT, index_name TEXT, table_name TEXT,
  uniqueness TEXT, generated TEXT, PRIMARY KEY(owner, index_name));
CREATE TABLE IF NOT EXISTS oraemu_ind_columns(owner TEXT, index_name TEXT, table_name TEXT,
  column_name TEXT, column_position INTEGER, descend TEXT);
CREATE TABLE IF NOT EXISTS oraemu_sequences(owner TEXT, sequence_name TEXT, min_value TEXT,
  max_value TEXT, increment_by TEXT, cycle_flag TEXT, order_flag TEXT, cache_size INTEGER,
  last_number TEXT, next_value TEXT, PRIMARY KEY(owner, sequence_name));
CREATE TABLE IF NOT EXISTS oraemu_triggers(owner TEXT, trigger_name TEXT, table_name TEXT,
  trigger_type TEXT, triggering_event TEXT, when_clause TEXT, trigger_body TEXT, description TEXT,
  valid INTEGER, PRIMARY KEY(owner, trigger_name));
CREATE TABLE IF NOT EXISTS oraemu_faults(kind TEXT, target TEXT, n INTEGER, code INTEGER);
CREATE TABLE IF NOT EXISTS oraemu_stats(kind TEXT PRIMARY KEY, count INTEGER);
)");
}

std::optional<std::string> store::setting(const std::string& key) {
    sql_stmt s(db_, "SELECT value FROM oraemu_settings WHERE key=?");
    s.bind(1, key);
    if (!s.step()) return std::nullopt;
    return s.text(0);
}

void store::set_setting(const std::string& key, const std::string& value) {
    sql_stmt s(db_, "INSERT OR REPLACE INTO oraemu_settings(key, value) VALUES(?, ?)");
    s.bind(1, key).bind(2, value).run();
}

int64_t store::next_counter(const std::string& name, int64_t first) {
    sql_stmt u(db_,
               "INSERT INTO oraemu_counters(name, value) VALUES(?, ?) "
               "ON CONFLICT(name) DO UPDATE SET value = value + 1 RETURNING value");
    u.bind(1, name).bind(2, first);
    if (!u.step()) return first;
    int64_t v = u.int64(0);
    u.run();
    return v;
}

}  // namespace emu
