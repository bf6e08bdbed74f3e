// Sessions: logon, statement dispatch, transactions, round-trip counting
// and the statement log.
#include "emu_impl.h"
#include "emu_lexer.h"
#include "emu_query.h"
#include "emu_values.h"
#include "emu_views.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <stdexcept>

namespace emu {

namespace {

struct connect_target {
    std::string host = "localhost";
    std::string service;
    bool easy_connect = false;   // host and service given, not a bare alias
};

// "//host:port/service", "host:port/service", "host/service" or "service".
connect_target parse_connect(const std::string& connect) {
    connect_target t;
    std::string s = connect;
    if (s.rfind("//", 0) == 0) s = s.substr(2);
    size_t slash = s.find('/');
    if (slash == std::string::npos) {
        t.service = s;
    } else {
        t.easy_connect = true;
        std::string hp = s.substr(0, slash);
        t.service = s.substr(slash + 1);
        size_t colon = hp.find(':');
        t.host = colon == std::string::npos ? hp : hp.substr(0, colon);
        size_t extra = t.service.find_first_of(":/");
        if (extra != std::string::npos) t.service = t.service.substr(0, extra);
    }
    if (t.service.empty()) t.service = "XE";
    return t;
}

// User names are folded like unquoted identifiers unless given in quotes.
std::string user_name(const std::string& u) {
    if (u.size() >= 2 && u.front() == '"' && u.back() == '"') return u.substr(1, u.size() - 2);
    return fold_upper(u);
}

size_t limit_for(const std::string& version) { return version == "11g" ? 30 : 128; }

void check_network_faults(store& st, const std::string& host) {
    sql_stmt q(st.db(), "SELECT kind FROM oraemu_faults WHERE kind IN ('unknown_host','no_listener') AND target=?");
    q.bind(1, host);
    while (q.step()) throw make_error(q.text(0) == "unknown_host" ? 12545 : 12541);
}

void check_credentials(store& st, const std::string& user, const std::string& password) {
    sql_stmt q(st.db(), "SELECT password, locked FROM oraemu_users WHERE name=?");
    q.bind(1, user);
    if (!q.step() || q.text(0) != password) throw make_error(1017);
    bool locked = q.int64(1) != 0;
    sql_stmt f(st.db(), "SELECT kind FROM oraemu_faults WHERE kind IN ('logon_refused','account_locked') AND target=?");
    f.bind(1, user);
    while (f.step()) {
        if (f.text(0) == "logon_refused") throw make_error(1017);
        locked = true;
    }
    if (locked) throw make_error(28000);
}

}  // namespace

// ---- logon / logoff -----------------------------------------------------------

session::session(std::unique_ptr<impl> p) : p_(std::move(p)) {}

std::unique_ptr<session> session::logon(const std::string& connect, const std::string& user,
                                        const std::string& password) {
    connect_target t = parse_connect(connect);
    if (!store::exists(t.service)) throw make_error(t.easy_connect ? 12514 : 12154);
    auto p = std::make_unique<impl>();
    p->st = std::make_unique<store>(t.service, false);
    check_network_faults(*p->st, t.host);
    p->service = t.service;
    p->host = t.host;
    p->user = user_name(user);
    check_credentials(*p->st, p->user, password);
    p->cat = std::make_unique<catalog>(*p->st);
    p->version = p->st->setting("version").value_or("11g");
    p->nchar_charset = p->st->setting("nchar_charset").value_or("AL16UTF16");
    p->db_charset = p->st->setting("db_charset").value_or("AL32UTF8");
    p->ident_limit = limit_for(p->version);
    // How long a session waits for another one's transaction before
    // reporting ORA-00054 (default 10 s).
    if (auto wait = p->st->setting("lock_wait_ms")) sqlite3_busy_timeout(p->st->db(), std::atoi(wait->c_str()));
    register_functions(p->st->db(), p.get());
    auto s = std::make_unique<session>(std::move(p));
    s->p_->count(rt_kind::logon);
    return s;
}

session::~session() {
    try {
        p_->rollback();
        p_->flush_counters();
    } catch (...) {
        // A session that cannot reach its store any more has nothing to undo.
    }
}

const std::string& session::user() const { return p_->user; }
const std::string& session::service() const { return p_->service; }
const rt_counters& session::round_trips() const { return p_->rt; }
void session::count_round_trip(rt_kind k) { p_->count(k); }

void session::set_array_execution(bool on) {
    p_->array_execution = on;
    p_->array_counted = false;
    p_->array_sql.clear();
    p_->array_stmt.reset();
    p_->memo = impl::array_memo{};
}

// ---- transactions ---------------------------------------------------------------

void session::impl::begin() {
    if (in_tx) return;
    // Every transaction of a session may write: taking the write lock at
    // once keeps a stale read snapshot from failing on its first write.
    st->exec("BEGIN IMMEDIATE");
    in_tx = true;
}

void session::impl::commit() {
    if (in_tx) {
        ++rt.transactions;
        ++unflushed.transactions;
        flush_counters();
        st->exec("COMMIT");
        in_tx = false;
    }
    locked.clear();
    seq_moved.clear();
}

void session::impl::rollback() {
    if (in_tx) {
        detach_cursors();
        st->exec("ROLLBACK");
        in_tx = false;
    }
    locked.clear();
    reapply_sequences();
    seq_moved.clear();
}

void session::impl::count(rt_kind k) {
    if (array_execution) {
        if (k == rt_kind::commit || (k == rt_kind::execute && array_counted)) return;
        if (k == rt_kind::execute) array_counted = true;
    }
    auto bump = [k](rt_counters& c) {
        switch (k) {
        case rt_kind::execute: ++c.execute; break;
        case rt_kind::fetch: ++c.fetch; break;
        case rt_kind::lob_read: ++c.lob_read; break;
        case rt_kind::lob_write: ++c.lob_write; break;
        case rt_kind::lob_length: ++c.lob_length; break;
        case rt_kind::commit: ++c.commit; break;
        case rt_kind::rollback: ++c.rollback; break;
        case rt_kind::logon: ++c.logon; break;
        case rt_kind::other: ++c.other; break;
        }
    };
    bump(rt);
    bump(unflushed);
}

void session::impl::flush_counters() {
    const std::pair<const char*, uint64_t> rows[] = {
        {"execute", unflushed.execute},     {"fetch", unflushed.fetch},   {"lob_read", unflushed.lob_read},
        {"lob_write", unflushed.lob_write}, {"lob_length", unflushed.lob_length},
        {"commit", unflushed.commit},       {"rollback", unflushed.rollback},
        {"logon", unflushed.logon},         {"other", unflushed.other},
        {"transactions", unflushed.transactions}};
    for (const auto& [kind, n] : rows) {
        if (!n) continue;
        sql_stmt q(st->db(),
                   "INSERT INTO oraemu_stats(kind, count) VALUES(?, ?) "
                   "ON CONFLICT(kind) DO UPDATE SET count = count + excluded.count");
        q.bind(1, kind).bind(2, static_cast<int64_t>(n)).run();
    }
    unflushed = rt_counters{};
}

void session::commit() {
    p_->count(rt_kind::commit);
    if (p_->lost) throw make_error(3114);
    p_->commit();
}

void session::rollback() {
    p_->count(rt_kind::rollback);
    if (p_->lost) throw make_error(3114);
    p_->rollback();
}

// ---- faults and logging ---------------------------------------------------------

bool session::impl::fault(const std::string& kind, const std::string& target, int64_t* n, int* code) {
    std::optional<std::pair<int64_t, int>> found;
    auto memo_at = array_execution ? memo.faults.find(kind + "\n" + target) : memo.faults.end();
    if (memo_at != memo.faults.end()) {
        found = memo_at->second;
    } else {
        sql_stmt q(st->db(), "SELECT n, code FROM oraemu_faults WHERE kind=? AND (target=? OR target='') LIMIT 1");
        q.bind(1, kind).bind(2, target);
        if (q.step()) found = std::make_pair(q.int64(0), static_cast<int>(q.int64(1)));
        if (array_execution) memo.faults.emplace(kind + "\n" + target, found);
    }
    if (!found) return false;
    if (n) *n = found->first;
    if (code) *code = found->second;
    return true;
}

void session::impl::log_statement(const std::string& sql, const std::string& outcome, uint64_t rows) {
    const char* path = std::getenv("ORAEMU_LOG");
    if (!path || !*path) return;
    std::string text;
    for (char c : sql) {
        if (c == '\n') text += "\\n";
        else if (c == '\r') continue;
        else text += c;
    }
    std::ofstream f(path, std::ios::app);
    f << service << '\t' << user << '\t' << outcome << '\t' << rows << '\t' << text << '\n';
}

// ---- statements -----------------------------------------------------------------

table_meta session::impl::need_table(const std::string& owner, const std::string& name) {
    std::string key = schema_of(owner) + "\n" + name;
    if (array_execution) {
        auto at = memo.tables.find(key);
        if (at != memo.tables.end()) return at->second;
    }
    auto t = cat->table(schema_of(owner), name);
    if (!t) throw make_error(942);
    if (array_execution) memo.tables.emplace(key, *t);
    return *t;
}

const table_meta& session::impl::need_table(const std::string& owner, const std::string& name,
                                            table_meta& scratch) {
    if (!array_execution) return scratch = need_table(owner, name);
    auto at = memo.tables.find(schema_of(owner) + "\n" + name);
    if (at != memo.tables.end()) return at->second;
    need_table(owner, name);
    return memo.tables.at(schema_of(owner) + "\n" + name);
}

namespace {

// Runs `fn` inside a savepoint of the open transaction so that a failure
// leaves the transaction as it was before the statement.
template <class F>
exec_result atomically(session::impl& s, F fn, bool single_write = false) {
    const bool opened_here = !s.in_tx;
    s.begin();
    if (single_write && !opened_here) {
        // A statement whose only write to the store is its last step (a
        // one-row INSERT of an array: every check comes before it) needs
        // no savepoint: SQLite undoes a failed statement by itself, and the
        // sequences it moved are put back as after any failed statement.
        try {
            return fn();
        } catch (...) {
            s.reapply_sequences();
            throw;
        }
    }
    // Pooled statements: a savepoint per statement costs no parse.
    sql_stmt(s.st->db(), "SAVEPOINT oraemu_stmt").run();
    try {
        exec_result r = fn();
        sql_stmt(s.st->db(), "RELEASE oraemu_stmt").run();
        return r;
    } catch (...) {
        if (opened_here) {
            // Nothing came before the statement: ending the transaction
            // is the same rollback and gives the store's lock back.
            s.st->exec("ROLLBACK");
            s.in_tx = false;
            s.locked.clear();
        } else {
            s.st->exec("ROLLBACK TO oraemu_stmt; RELEASE oraemu_stmt");
        }
        s.reapply_sequences();
        throw;
    }
}

}  // namespace

namespace {
exec_result dispatch(session::impl& s, const std::string& sql, bool commit_on_success);
}  // namespace

exec_result session::execute(const std::string& sql, const std::vector<bind_value>& binds,
                             bool commit_on_success) {
    impl& s = *p_;
    s.count(rt_kind::execute);
    if (s.lost) throw make_error(3114);
    int64_t after = 0;
    if (s.fault("connection_lost", "", &after) && s.statements >= after) {
        s.lost = true;
        s.log_statement(sql, "ORA-03113", 0);
        // The server ends the dead session's transaction at once, so its
        // uncommitted rows vanish and its locks free other sessions.
        s.rollback();
        throw make_error(3113);
    }
    ++s.statements;
    s.binds = &binds;
    try {
        exec_result r = dispatch(s, sql, commit_on_success);
        s.binds = nullptr;
        s.log_statement(sql, r.warning ? r.warning->text.substr(0, 9) : "OK", r.row_count);
        return r;
    } catch (const ora_error& e) {
        s.binds = nullptr;
        s.log_statement(sql, e.text.substr(0, 9), 0);
        throw;
    }
}

std::string session::impl::literal_text(const expr& e) const {
    if (e.nchar && nchar_literal_replace) return e.text;
    return in_db_charset(e.text, db_charset);
}

void session::set_nchar_literal_replace(bool on) { p_->nchar_literal_replace = on; }

void session::impl::alter_session(const std::string& parameter, const std::string& value) {
    if (parameter != "NLS_DATE_FORMAT" && parameter != "NLS_TIMESTAMP_FORMAT") throw make_error(2248);
    // A format is checked when it is set, as Oracle does (ORA-01821).
    date_to_char("2000-01-01 00:00:00.000000000", value);
    (parameter == "NLS_DATE_FORMAT" ? nls_date_format : nls_timestamp_format) = value;
}

namespace {

// The parsed statement; the rows of an array share the parse of the first.
std::shared_ptr<const statement> parsed(session::impl& s, const std::string& sql) {
    if (s.array_execution && s.array_stmt && s.array_sql == sql) return s.array_stmt;
    std::shared_ptr<const statement> st = parse_statement(sql, s.ident_limit);
    if (s.array_execution) {
        s.array_sql = sql;
        s.array_stmt = st;
    }
    return st;
}

exec_result dispatch(session::impl& s, const std::string& sql, bool commit_on_success) {
    std::shared_ptr<const statement> st = parsed(s, sql);
    exec_result r;
    switch (st->k) {
    case statement::select: {
        translator tr(s);
        compiled_query cq = tr.query(*st->query);
        r.k = exec_result::query;
        r.rows = open_cursor(s, std::move(cq));
        break;
    }
    case statement::insert:
        r = atomically(s, [&] { return s.run_insert(*st); },
                       s.array_execution && !st->query &&
                           std::all_of(st->returning.begin(), st->returning.end(),
                                       [](const auto& e) { return e->k == expr::rowid_; }));
        break;
    case statement::update: r = atomically(s, [&] { return s.run_update(*st); }); break;
    case statement::del: r = atomically(s, [&] { return s.run_delete(*st); }); break;
    case statement::commit: s.commit(); r.k = exec_result::tx; break;
    case statement::rollback:
        if (!st->name.empty()) s.st->exec("ROLLBACK TO " + sq_name("sp_" + st->name));
        else s.rollback();
        r.k = exec_result::tx;
        break;
    case statement::savepoint:
        s.begin();
        s.st->exec("SAVEPOINT " + sq_name("sp_" + st->name));
        r.k = exec_result::tx;
        break;
    case statement::plsql_block: throw make_error(6550, {"1", "7", "PLS-00905: object is invalid"});
    case statement::alter_session:
        // Session settings are no DDL: nothing is committed.
        s.alter_session(st->name, st->object2);
        r.k = exec_result::ddl;
        break;
    default:
        // DDL commits what came before it, whether or not it succeeds.
        s.detach_cursors();
        s.commit();
        r = atomically(s, [&] { return s.run_ddl(*st, sql); });
        s.commit();
        break;
    }
    if (commit_on_success && r.k != exec_result::query) s.commit();
    return r;
}

}  // namespace

std::vector<column_info> session::describe(const std::string& sql) {
    auto st = parse_statement(sql, p_->ident_limit);
    if (st->k != statement::select) return {};
    translator tr(*p_);
    return [&] {
        std::vector<column_info> out;
        for (const auto& c : tr.query(*st->query).cols) out.push_back(c.info);
        return out;
    }();
}

void session::parse_only(const std::string& sql) {
    auto st = parse_statement(sql, p_->ident_limit);
    if (st->k == statement::select) {
        translator tr(*p_);
        tr.query(*st->query);
    } else if (st->k == statement::insert || st->k == statement::update || st->k == statement::del) {
        p_->need_table(st->owner, st->name);
    }
}

stmt_kind session::classify(const std::string& sql) {
    std::vector<token> t;
    try {
        t = tokenize(sql);
    } catch (const ora_error&) {
        return stmt_kind::unknown;
    }
    size_t i = 0;
    while (i < t.size() && t[i].is_op("(")) ++i;
    const token& k = t[i];
    if (k.is("SELECT") || k.is("WITH")) return stmt_kind::select;
    if (k.is("UPDATE")) return stmt_kind::update;
    if (k.is("DELETE")) return stmt_kind::del;
    if (k.is("INSERT")) return stmt_kind::insert;
    if (k.is("CREATE")) return stmt_kind::create;
    if (k.is("DROP")) return stmt_kind::drop;
    if (k.is("ALTER")) return stmt_kind::alter;
    if (k.is("BEGIN")) return stmt_kind::begin;
    if (k.is("DECLARE")) return stmt_kind::declare;
    if (k.is("CALL")) return stmt_kind::call;
    if (k.is("MERGE")) return stmt_kind::merge;
    if (k.is("ROLLBACK")) return stmt_kind::rollback;
    if (k.is("COMMIT")) return stmt_kind::commit;
    return stmt_kind::unknown;
}

std::vector<std::string> session::placeholders(const std::string& sql) {
    std::vector<std::string> out;
    std::vector<token> t;
    try {
        t = tokenize(sql);
    } catch (const ora_error&) {
        return out;
    }
    // A trigger's body speaks of :new and :old, which are no placeholders.
    if (!t.empty() && t[0].is("CREATE")) return out;
    for (const auto& k : t) {
        if (k.k != token::bind) continue;
        std::string n = ":" + k.text;
        bool seen = false;
        for (const auto& o : out) seen = seen || o == n;
        if (!seen) out.push_back(n);
    }
    return out;
}

// ---- versions -------------------------------------------------------------------

std::string session::server_version() { return banner_rows(p_->version).front(); }

uint32_t session::server_release() {
    if (p_->version == "19c") return (19u << 24) | (3u << 16);
    if (p_->version == "23ai") return (23u << 24) | (4u << 16);
    return (11u << 24) | (2u << 20) | (0u << 12) | (2u << 8);
}

// ---- administration -------------------------------------------------------------

void create_service(const std::string& service, const std::string& version) {
    bool existed = store::exists(service);
    store st(service, true);
    if (!existed || !st.setting("version")) st.set_setting("version", version);
}

void create_user(const std::string& service, const std::string& user, const std::string& password) {
    store st(service, false);
    std::string name = user_name(user);
    if (name.empty() || name.find('.') != std::string::npos) throw make_error(1935);
    sql_stmt q(st.db(), "SELECT 1 FROM oraemu_users WHERE name=?");
    q.bind(1, name);
    if (q.step()) throw make_error(1920, {name});
    sql_stmt i(st.db(), "INSERT INTO oraemu_users(name, password) VALUES(?, ?)");
    i.bind(1, name).bind(2, password).run();
}

void set_setting(const std::string& service, const std::string& key, const std::string& value) {
    if (key == "db_charset" && !known_db_charset(value))
        throw std::invalid_argument("db_charset: AL32UTF8, UTF8, WE8MSWIN1252, WE8ISO8859P1 or US7ASCII");
    store st(service, false);
    st.set_setting(key, value);
}

void add_fault(const std::string& service, const fault& f) {
    store st(service, false);
    sql_stmt q(st.db(), "INSERT INTO oraemu_faults(kind, target, n, code) VALUES(?,?,?,?)");
    q.bind(1, f.kind).bind(2, f.target).bind(3, f.n).bind(4, static_cast<int64_t>(f.code)).run();
}

void clear_faults(const std::string& service) {
    store st(service, false);
    st.exec("DELETE FROM oraemu_faults");
}

std::vector<fault> list_faults(const std::string& service) {
    store st(service, false);
    sql_stmt q(st.db(), "SELECT kind, target, n, code FROM oraemu_faults ORDER BY rowid");
    std::vector<fault> out;
    while (q.step()) out.push_back({q.text(0), q.text(1), q.int64(2), static_cast<int>(q.int64(3))});
    return out;
}

rt_counters service_round_trips(const std::string& service) {
    store st(service, false);
    sql_stmt q(st.db(), "SELECT kind, count FROM oraemu_stats");
    rt_counters c;
    while (q.step()) {
        std::string k = q.text(0);
        uint64_t n = static_cast<uint64_t>(q.int64(1));
        if (k == "execute") c.execute = n;
        else if (k == "fetch") c.fetch = n;
        else if (k == "lob_read") c.lob_read = n;
        else if (k == "lob_write") c.lob_write = n;
        else if (k == "lob_length") c.lob_length = n;
        else if (k == "commit") c.commit = n;
        else if (k == "rollback") c.rollback = n;
        else if (k == "logon") c.logon = n;
        else if (k == "transactions") c.transactions = n;
        else c.other += n;
    }
    return c;
}

void reset_round_trips(const std::string& service) {
    store st(service, false);
    st.exec("DELETE FROM oraemu_stats");
}

}  // namespace emu
