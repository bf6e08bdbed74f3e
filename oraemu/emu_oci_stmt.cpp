// Statements: prepare, bind, define, execute, fetch.
#include <algorithm>
#include <cstring>

#include "emu_oci_handles.h"

using namespace emu_oci;

namespace {

// ---------------------------------------------------------------- names

// Unquoted placeholder names compare without regard to case.
std::string normalize(const std::string& name)
{
    std::string n = name;
    if (n.size() > 1 && n[1] == '"') return n;
    for (char& c : n)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return n;
}

// The placeholder as the text spells it, or empty if the text has none
// of that name.
std::string find_placeholder(const OCIStmt* s, const std::string& name)
{
    std::string key = normalize(name.empty() || name[0] == ':' ? name : ":" + name);
    for (const std::string& p : s->placeholders)
        if (normalize(p) == key) return p;
    return {};
}

// The placeholders after RETURNING ... INTO: outputs of the DML.
std::vector<std::string> returning_targets(const std::string& sql)
{
    std::string up;
    up.reserve(sql.size());
    bool quoted = false;
    for (char c : sql) {
        if (c == '\'') quoted = !quoted;
        up += quoted ? ' ' : static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    }
    auto word_at = [&](size_t pos, size_t len) {
        bool left = pos == 0 || !(std::isalnum(static_cast<unsigned char>(up[pos - 1])) ||
                                  up[pos - 1] == '_');
        size_t end = pos + len;
        bool right = end >= up.size() || !(std::isalnum(static_cast<unsigned char>(up[end])) ||
                                           up[end] == '_');
        return left && right;
    };
    size_t ret = std::string::npos;
    for (const char* kw : {"RETURNING", "RETURN"}) {
        for (size_t p = up.find(kw); p != std::string::npos; p = up.find(kw, p + 1))
            if (word_at(p, std::strlen(kw))) ret = std::min(ret, p);
    }
    if (ret == std::string::npos) return {};
    size_t into = up.find("INTO", ret);
    while (into != std::string::npos && !word_at(into, 4)) into = up.find("INTO", into + 1);
    if (into == std::string::npos) return {};
    std::vector<std::string> out;
    for (const std::string& p : emu::session::placeholders(sql.substr(into + 4)))
        out.push_back(normalize(p));
    return out;
}

// ---------------------------------------------------------------- strides

template <class T>
T* element(void* base, ub4 skip, size_t natural, ub4 i)
{
    if (base == nullptr) return nullptr;
    size_t stride = skip != 0 ? skip : natural;
    return reinterpret_cast<T*>(static_cast<char*>(base) + stride * i);
}

size_t capacity_of(sb4 value_sz)
{
    return value_sz > 0 ? static_cast<size_t>(value_sz) : 0;
}

// ---------------------------------------------------------------- input binds

emu::value locator_value(OCISvcCtx* svc, const OCILobLocator* loc)
{
    if (loc == nullptr || !loc->initialized) throw client_error(22275);
    if (loc->ref) {
        emu::session& ses = *svc->session;
        uint64_t n = ses.lob_length(*loc->ref);
        if (loc->type == emu::col_type::blob)
            return emu::value::make(loc->type, ses.blob_read(*loc->ref, 0, n));
        return emu::value::make(loc->type, utf16_to_utf8(ses.clob_read(*loc->ref, 0, n)));
    }
    if (loc->type == emu::col_type::blob) return emu::value::make(loc->type, loc->temp_bytes);
    return emu::value::make(loc->type, utf16_to_utf8(loc->temp_text));
}

emu::value input_value(OCISvcCtx* svc, OCIBind* b, ub4 iter)
{
    bool utf16 = b->env->utf16;
    if (b->mode & OCI_DATA_AT_EXEC) {
        void* buf = nullptr;
        ub4 alen = 0;
        ub1 piece = OCI_ONE_PIECE;
        void* ind = nullptr;
        if (b->in_cb(b->in_ctx, b, iter, 0, &buf, &alen, &piece, &ind) != OCI_CONTINUE)
            throw client_error(24343);
        if (buf == nullptr || (ind != nullptr && *static_cast<sb2*>(ind) == OCI_IND_NULL))
            return emu::value::make_null(emu::col_type::varchar2);
        return get_value(utf16, b->dty, buf, alen);
    }
    sb2* ind = element<sb2>(b->indp, b->ind_skip, sizeof(sb2), iter);
    void* buf = element<void>(b->valuep, b->value_skip, capacity_of(b->value_sz), iter);
    if ((ind != nullptr && *ind == OCI_IND_NULL) || buf == nullptr)
        return emu::value::make_null(emu::col_type::varchar2);
    if (b->dty == SQLT_CLOB || b->dty == SQLT_BLOB)
        return locator_value(svc, as<OCILobLocator>(*static_cast<void**>(buf), OCI_DTYPE_LOB));
    ub2* alen = element<ub2>(b->alenp, b->alen_skip, sizeof(ub2), iter);
    size_t len = alen != nullptr ? *alen : capacity_of(b->value_sz);
    if (alen != nullptr && b->dty == SQLT_STR) len = std::min(len, capacity_of(b->value_sz));
    return get_value(utf16, b->dty, buf, len);
}

// Per bind of the statement: whether it receives a RETURNING value.
std::vector<bool> output_flags(const OCIStmt* s, const std::vector<std::string>& outputs)
{
    std::vector<bool> flags;
    for (const auto& b : s->binds)
        flags.push_back(std::find(outputs.begin(), outputs.end(), normalize(b->name)) != outputs.end());
    return flags;
}

std::vector<emu::bind_value> collect_binds(OCISvcCtx* svc, OCIStmt* s, ub4 iter, const std::vector<bool>& is_output)
{
    std::vector<emu::bind_value> out;
    out.reserve(s->binds.size());
    for (size_t k = 0; k < s->binds.size(); ++k) {
        const auto& b = s->binds[k];
        emu::bind_value bv;
        bv.name = b->name;
        bv.is_output = is_output[k];
        if (bv.is_output) {
            // OCI asks the in-callback of a RETURNING bind too; what it
            // supplies is not used.
            if ((b->mode & OCI_DATA_AT_EXEC) && b->in_cb != nullptr) {
                void* buf = nullptr;
                ub4 alen = 0;
                ub1 piece = OCI_ONE_PIECE;
                void* ind = nullptr;
                if (b->in_cb(b->in_ctx, b.get(), iter, 0, &buf, &alen, &piece, &ind) != OCI_CONTINUE)
                    throw client_error(24343);
            }
        } else {
            bv.v = input_value(svc, b.get(), iter);
        }
        out.push_back(std::move(bv));
    }
    return out;
}

// ---------------------------------------------------------------- output

struct put_marks {
    sb2* ind = nullptr;
    ub2* rcode = nullptr;
};

// Applies a put_result to indicator and return code. Returns false for a
// NULL that has no indicator to go to.
bool mark(const put_result& r, const put_marks& m, bool& truncated)
{
    if (r.null) {
        if (m.ind == nullptr) {
            if (m.rcode != nullptr) *m.rcode = 1405;
            return false;
        }
        *m.ind = OCI_IND_NULL;
        if (m.rcode != nullptr) *m.rcode = 0;
        return true;
    }
    if (r.truncated) {
        truncated = true;
        if (m.ind != nullptr) *m.ind = r.full > 32767 ? -2 : static_cast<sb2>(r.full);
        if (m.rcode != nullptr) *m.rcode = 1406;
        return true;
    }
    if (m.ind != nullptr) *m.ind = OCI_IND_NOTNULL;
    if (m.rcode != nullptr) *m.rcode = 0;
    return true;
}

bool lob_matches(ub2 dty, emu::col_type t)
{
    if (dty == SQLT_BLOB) return t == emu::col_type::blob;
    return t == emu::col_type::clob || t == emu::col_type::nclob;
}

// Points the caller's locator at a fetched LOB value.
void fill_locator(OCIStmt* s, OCIDefine* d, const emu::value& v, void* slot)
{
    OCILobLocator* loc = as<OCILobLocator>(*static_cast<void**>(slot), OCI_DTYPE_LOB);
    if (loc == nullptr) throw client_error(22275);
    if (!lob_matches(d->dty, v.type))
        throw client_error(932, {d->dty == SQLT_BLOB ? "BLOB" : "CLOB", "LOB"});
    loc->initialized = true;
    loc->streaming = false;
    loc->type = v.type;
    loc->svc = s->exec_svc;
    loc->ref = v.lob;
    loc->temp_text.clear();
    loc->temp_bytes.clear();
    if (!v.lob) {
        if (v.type == emu::col_type::blob) loc->temp_bytes = v.data;
        else loc->temp_text = utf8_to_utf16(v.data);
    }
}

// Writes one fetched row into the defines at array position `r`.
// Returns OCI_ERROR when a NULL meets a define without indicator.
sword put_row(OCIStmt* s, OCIError* err, const std::vector<emu::value>& row, ub4 r,
              bool& truncated)
{
    for (auto& [pos, d] : s->defines) {
        if (pos > row.size()) return fail(err, 1007);
        const emu::value& v = row[pos - 1];
        put_marks m{element<sb2>(d->indp, d->ind_skip, sizeof(sb2), r),
                    element<ub2>(d->rcodep, d->rcode_skip, sizeof(ub2), r)};
        ub2* rlen = element<ub2>(d->rlenp, d->rlen_skip, sizeof(ub2), r);
        if (d->dty == SQLT_CLOB || d->dty == SQLT_BLOB) {
            void* slot = element<void>(d->valuep, d->value_skip, sizeof(void*), r);
            if (!v.null) fill_locator(s, d.get(), v, slot);
            if (!mark(put_result{v.null, false, 0, 0}, m, truncated)) return fail(err, 1405);
            if (rlen != nullptr && !v.null) *rlen = sizeof(void*);
            continue;
        }
        size_t cap = capacity_of(d->value_sz);
        void* buf = element<void>(d->valuep, d->value_skip, cap, r);
        put_result res = put_value(s->env->utf16, v, d->dty, buf, buf != nullptr ? cap : 0);
        if (!mark(res, m, truncated)) return fail(err, 1405);
        if (rlen != nullptr && !res.null)
            *rlen = static_cast<ub2>(std::min<size_t>(res.length, 0xFFFF));
    }
    return OCI_SUCCESS;
}

// One network call of a query: reads up to `want` rows, or the prefetch
// count if that is more, into the statement's row buffer.
void read_ahead(OCIStmt* s, ub4 want)
{
    ub4 n = std::max(want, s->prefetch_rows);
    while (n-- > 0) {
        std::vector<emu::value> row;
        if (!s->rows || !s->rows->fetch(row)) {
            s->cursor_done = true;
            return;
        }
        s->prefetched.push_back(std::move(row));
    }
}

// True when `nrows` rows can be handed out without asking the server.
bool fetch_is_local(const OCIStmt* s, ub4 nrows)
{
    return s->exhausted || s->cursor_done || s->prefetched.size() >= nrows;
}

// Fetches up to `nrows` rows into the defines. The caller has counted the
// round trip if the buffer does not hold them (fetch_is_local).
sword fetch_rows(OCIStmt* s, OCIError* err, ub4 nrows)
{
    s->rows_fetched = 0;
    bool truncated = false;
    if (!fetch_is_local(s, nrows)) read_ahead(s, nrows - static_cast<ub4>(s->prefetched.size()));
    for (ub4 r = 0; r < nrows; ++r) {
        if (s->exhausted || s->prefetched.empty()) {
            s->exhausted = true;
            fail(err, 1403);
            return OCI_NO_DATA;
        }
        std::vector<emu::value> row = std::move(s->prefetched.front());
        s->prefetched.pop_front();
        ++s->rows_fetched;
        ++s->row_count;
        sword rc = put_row(s, err, row, r, truncated);
        if (rc != OCI_SUCCESS) return rc;
    }
    return truncated ? warn(err, client_error(24345)) : OCI_SUCCESS;
}

// Hands a RETURNING value to the bind's out-callback or buffer.
void deliver(OCIBind* b, ub4 iter, const emu::value& v)
{
    bool utf16 = b->env->utf16;
    bool truncated = false;
    if (b->mode & OCI_DATA_AT_EXEC) {
        void* buf = nullptr;
        ub4* alen = nullptr;
        ub1 piece = OCI_ONE_PIECE;
        void* ind = nullptr;
        ub2* rcode = nullptr;
        if (b->out_cb(b->out_ctx, b, iter, 0, &buf, &alen, &piece, &ind, &rcode) != OCI_CONTINUE)
            throw client_error(24343);
        if (buf == nullptr) return;
        size_t cap = alen != nullptr ? *alen : capacity_of(b->value_sz);
        put_result res = put_value(utf16, v, b->dty, buf, cap);
        mark(res, put_marks{static_cast<sb2*>(ind), rcode}, truncated);
        if (alen != nullptr) *alen = static_cast<ub4>(res.length);
        return;
    }
    size_t cap = capacity_of(b->value_sz);
    void* buf = element<void>(b->valuep, b->value_skip, cap, iter);
    if (buf == nullptr) return;
    put_result res = put_value(utf16, v, b->dty, buf, cap);
    mark(res,
         put_marks{element<sb2>(b->indp, b->ind_skip, sizeof(sb2), iter),
                   element<ub2>(b->rcodep, b->rcode_skip, sizeof(ub2), iter)},
         truncated);
    if (ub2* alen = element<ub2>(b->alenp, b->alen_skip, sizeof(ub2), iter))
        *alen = static_cast<ub2>(std::min<size_t>(res.length, 0xFFFF));
}

void deliver_returning(OCIStmt* s, ub4 iter, const emu::exec_result& r, const std::vector<bool>& is_output)
{
    for (size_t i = 0; i < s->binds.size(); ++i) {
        const auto& b = s->binds[i];
        if (!is_output[i]) continue;
        std::string key = normalize(b->name);
        b->rows_returned = 0;
        for (size_t k = 0; k < r.returning_names.size() && k < r.returning.size(); ++k) {
            if (normalize(r.returning_names[k]) != key) continue;
            // A DML that touched no row returns nothing.
            if (r.row_count == 0) break;
            b->rows_returned = 1;
            deliver(b.get(), iter, r.returning[k]);
            break;
        }
    }
}

// ---------------------------------------------------------------- execute

sword check_callbacks(const OCIStmt* s, const std::vector<std::string>& outputs, OCIError* err)
{
    for (const auto& b : s->binds) {
        if (!(b->mode & OCI_DATA_AT_EXEC)) continue;
        bool out = std::find(outputs.begin(), outputs.end(), normalize(b->name)) != outputs.end();
        if (b->in_cb == nullptr || (out && b->out_cb == nullptr)) return fail(err, 24369);
    }
    return OCI_SUCCESS;
}

sword execute_query(OCISvcCtx* svc, OCIStmt* s, OCIError* err, ub4 iters, bool commit)
{
    sword rc = check_callbacks(s, {}, err);
    if (rc != OCI_SUCCESS) return rc;
    emu::exec_result r = svc->session->execute(s->sql, collect_binds(svc, s, 0, output_flags(s, {})), commit);
    s->rows = std::move(r.rows);
    s->executed = true;
    s->set_columns(s->rows ? s->rows->columns() : std::vector<emu::column_info>());
    if (iters == 0) return OCI_SUCCESS;
    // The server has run the query by now: its errors come first.
    if (s->defines.empty()) return fail(err, 24374);
    return fetch_rows(s, err, iters);
}

// Errors that end the session rather than a statement.
bool connection_error(int code)
{
    return code == 3113 || code == 3114 || code == 3135;
}

sword execute_dml(OCISvcCtx* svc, OCIStmt* s, OCIError* err, ub4 iters, ub4 rowoff, ub4 mode)
{
    if (iters == 0) return fail(err, 24333);
    std::vector<std::string> outputs = returning_targets(s->sql);
    sword rc = check_callbacks(s, outputs, err);
    if (rc != OCI_SUCCESS) return rc;
    bool commit = (mode & OCI_COMMIT_ON_SUCCESS) != 0;
    bool single = iters - rowoff <= 1;
    std::optional<emu::ora_error> warning;
    emu::session& ses = *svc->session;
    // All rows of an array travel in one round trip.
    struct array_scope {
        emu::session& s;
        bool on;
        array_scope(emu::session& ses, bool array) : s(ses), on(array) { s.set_array_execution(on); }
        ~array_scope() { if (on) s.set_array_execution(false); }
    } scope(ses, !single);
    const std::vector<bool> is_output = output_flags(s, outputs);
    for (ub4 i = rowoff; i < iters; ++i) {
        try {
            emu::exec_result r = ses.execute(s->sql, collect_binds(svc, s, i, is_output),
                                             commit && single);
            s->row_count += r.row_count;
            if (r.warning) warning = r.warning;
            deliver_returning(s, i, r, is_output);
        } catch (const emu::ora_error& e) {
            // Rows done before a failing one stay in the transaction, as
            // with a server; batch mode records the row and goes on. A
            // lost connection is no row's error: the whole call fails and
            // nothing of the array is committed.
            if (!(mode & OCI_BATCH_ERRORS) || connection_error(e.code)) return fail(err, e);
            s->batch_errors.push_back(row_error{i, diag{e.code, e.text}});
        }
    }
    s->executed = true;
    if (commit && !single) ses.commit();
    err->batch = s->batch_errors;
    if (!s->batch_errors.empty()) return warn(err, client_error(24381));
    if (warning) return warn(err, *warning);
    return OCI_SUCCESS;
}

sword execute(OCISvcCtx* svc, OCIStmt* s, OCIError* err, ub4 iters, ub4 rowoff, ub4 mode)
{
    s->reset_results();
    s->exec_svc = svc;
    err->batch.clear();
    emu::session& ses = *svc->session;
    bool query = s->kind == emu::stmt_kind::select;
    if (mode & OCI_DESCRIBE_ONLY) {
        if (query) s->set_columns(ses.describe(s->sql));
        else ses.parse_only(s->sql);
        return OCI_SUCCESS;
    }
    if (mode & OCI_PARSE_ONLY) {
        ses.parse_only(s->sql);
        return OCI_SUCCESS;
    }
    if (query) return execute_query(svc, s, err, iters, (mode & OCI_COMMIT_ON_SUCCESS) != 0);
    return execute_dml(svc, s, err, iters, rowoff, mode);
}

sword prepare(OCIStmt* s, OCIError* err, const OraText* text, ub4 len)
{
    if (text == nullptr || len == 0) return fail(err, 24373);
    s->reset_results();
    s->binds.clear();
    s->defines.clear();
    s->params.clear();
    s->described = false;
    s->encoded_sql.assign(reinterpret_cast<const char*>(text), len);
    s->sql = client_to_utf8(s->env, text, len);
    s->kind = emu::session::classify(s->sql);
    s->placeholders = emu::session::placeholders(s->sql);
    s->prepared = true;
    return OCI_SUCCESS;
}

// Finds or makes the bind of a placeholder.
OCIBind* bind_for(OCIStmt* s, const std::string& placeholder)
{
    for (auto& b : s->binds)
        if (normalize(b->name) == normalize(placeholder)) return b.get();
    auto b = std::make_unique<OCIBind>(OCI_HTYPE_BIND, s->env);
    b->stmt = s;
    b->name = placeholder;
    s->binds.push_back(std::move(b));
    return s->binds.back().get();
}

void set_bind(OCIBind* b, void* valuep, sb4 value_sz, ub2 dty, void* indp, ub2* alenp,
              ub2* rcodep, ub4 mode)
{
    b->valuep = valuep;
    b->value_sz = value_sz;
    b->dty = dty;
    b->indp = indp;
    b->alenp = alenp;
    b->rcodep = rcodep;
    b->mode = mode;
}

}  // namespace

extern "C" {

sword OCIStmtPrepare(OCIStmt* stmtp, OCIError* errhp, const OraText* stmt, ub4 stmt_len, ub4,
                     ub4)
{
    OCIStmt* s = as<OCIStmt>(stmtp, OCI_HTYPE_STMT);
    OCIError* err = as<OCIError>(errhp, OCI_HTYPE_ERROR);
    if (s == nullptr || err == nullptr) return OCI_INVALID_HANDLE;
    clear(err);
    return guarded(err, [&] { return prepare(s, err, stmt, stmt_len); });
}

sword OCIStmtPrepare2(OCISvcCtx* svchp, OCIStmt** stmtp, OCIError* errhp, const OraText* stmt,
                      ub4 stmt_len, const OraText*, ub4, ub4, ub4)
{
    OCISvcCtx* svc = as<OCISvcCtx>(svchp, OCI_HTYPE_SVCCTX);
    OCIError* err = as<OCIError>(errhp, OCI_HTYPE_ERROR);
    if (svc == nullptr || err == nullptr || stmtp == nullptr) return OCI_INVALID_HANDLE;
    clear(err);
    auto s = std::make_unique<OCIStmt>(OCI_HTYPE_STMT, svc->env);
    s->from_prepare2 = true;
    s->prepare_svc = svc;
    sword rc = guarded(err, [&] { return prepare(s.get(), err, stmt, stmt_len); });
    if (rc == OCI_SUCCESS) *stmtp = s.release();
    return rc;
}

sword OCIStmtRelease(OCIStmt* stmtp, OCIError* errhp, const OraText*, ub4, ub4)
{
    OCIStmt* s = as<OCIStmt>(stmtp, OCI_HTYPE_STMT);
    if (s == nullptr) return OCI_INVALID_HANDLE;
    clear(as<OCIError>(errhp, OCI_HTYPE_ERROR));
    delete s;
    return OCI_SUCCESS;
}

sword OCIBindByName(OCIStmt* stmtp, OCIBind** bindp, OCIError* errhp, const OraText* placeholder,
                    sb4 placeh_len, void* valuep, sb4 value_sz, ub2 dty, void* indp, ub2* alenp,
                    ub2* rcodep, ub4, ub4*, ub4 mode)
{
    OCIStmt* s = as<OCIStmt>(stmtp, OCI_HTYPE_STMT);
    OCIError* err = as<OCIError>(errhp, OCI_HTYPE_ERROR);
    if (s == nullptr || err == nullptr || bindp == nullptr) return OCI_INVALID_HANDLE;
    clear(err);
    if (!s->prepared) return fail(err, 24337);
    return guarded(err, [&]() -> sword {
        std::string name = client_to_utf8(s->env, placeholder,
                                          placeh_len > 0 ? static_cast<size_t>(placeh_len) : 0);
        std::string found = find_placeholder(s, name);
        if (found.empty()) return fail(err, 1036);
        OCIBind* b = bind_for(s, found);
        set_bind(b, valuep, value_sz, dty, indp, alenp, rcodep, mode);
        *bindp = b;
        return OCI_SUCCESS;
    });
}

sword OCIBindByPos(OCIStmt* stmtp, OCIBind** bindp, OCIError* errhp, ub4 position, void* valuep,
                   sb4 value_sz, ub2 dty, void* indp, ub2* alenp, ub2* rcodep, ub4, ub4*,
                   ub4 mode)
{
    OCIStmt* s = as<OCIStmt>(stmtp, OCI_HTYPE_STMT);
    OCIError* err = as<OCIError>(errhp, OCI_HTYPE_ERROR);
    if (s == nullptr || err == nullptr || bindp == nullptr) return OCI_INVALID_HANDLE;
    clear(err);
    if (!s->prepared) return fail(err, 24337);
    // Positions count the placeholders in order of appearance.
    if (position < 1 || position > s->placeholders.size()) return fail(err, 1036);
    return guarded(err, [&]() -> sword {
        OCIBind* b = bind_for(s, s->placeholders[position - 1]);
        set_bind(b, valuep, value_sz, dty, indp, alenp, rcodep, mode);
        b->position = position;
        *bindp = b;
        return OCI_SUCCESS;
    });
}

sword OCIBindDynamic(OCIBind* bindp, OCIError* errhp, void* ictxp, OCICallbackInBind icbfp,
                     void* octxp, OCICallbackOutBind ocbfp)
{
    OCIBind* b = as<OCIBind>(bindp, OCI_HTYPE_BIND);
    if (b == nullptr) return OCI_INVALID_HANDLE;
    clear(as<OCIError>(errhp, OCI_HTYPE_ERROR));
    b->in_ctx = ictxp;
    b->in_cb = icbfp;
    b->out_ctx = octxp;
    b->out_cb = ocbfp;
    return OCI_SUCCESS;
}

sword OCIBindArrayOfStruct(OCIBind* bindp, OCIError* errhp, ub4 pvskip, ub4 indskip, ub4 alskip,
                           ub4 rcskip)
{
    OCIBind* b = as<OCIBind>(bindp, OCI_HTYPE_BIND);
    if (b == nullptr) return OCI_INVALID_HANDLE;
    clear(as<OCIError>(errhp, OCI_HTYPE_ERROR));
    b->value_skip = pvskip;
    b->ind_skip = indskip;
    b->alen_skip = alskip;
    b->rcode_skip = rcskip;
    return OCI_SUCCESS;
}

sword OCIDefineByPos(OCIStmt* stmtp, OCIDefine** defnp, OCIError* errhp, ub4 position,
                     void* valuep, sb4 value_sz, ub2 dty, void* indp, ub2* rlenp, ub2* rcodep,
                     ub4 mode)
{
    OCIStmt* s = as<OCIStmt>(stmtp, OCI_HTYPE_STMT);
    OCIError* err = as<OCIError>(errhp, OCI_HTYPE_ERROR);
    if (s == nullptr || err == nullptr || defnp == nullptr) return OCI_INVALID_HANDLE;
    clear(err);
    if (position < 1) return fail(err, 1007);
    if (s->described && position > s->params.size()) return fail(err, 1007);
    auto& slot = s->defines[position];
    if (!slot) slot = std::make_unique<OCIDefine>(OCI_HTYPE_DEFINE, s->env);
    OCIDefine* d = slot.get();
    d->position = position;
    d->valuep = valuep;
    d->value_sz = value_sz;
    d->dty = dty;
    d->indp = static_cast<sb2*>(indp);
    d->rlenp = rlenp;
    d->rcodep = rcodep;
    d->mode = mode;
    *defnp = d;
    return OCI_SUCCESS;
}

sword OCIStmtExecute(OCISvcCtx* svchp, OCIStmt* stmtp, OCIError* errhp, ub4 iters, ub4 rowoff,
                     const OCISnapshot*, OCISnapshot*, ub4 mode)
{
    OCISvcCtx* svc = as<OCISvcCtx>(svchp, OCI_HTYPE_SVCCTX);
    OCIStmt* s = as<OCIStmt>(stmtp, OCI_HTYPE_STMT);
    OCIError* err = as<OCIError>(errhp, OCI_HTYPE_ERROR);
    if (svc == nullptr || s == nullptr || err == nullptr) return OCI_INVALID_HANDLE;
    clear(err);
    if (!s->prepared) return fail(err, 24337);
    if (!svc->session) return fail(err, 3114);
    return guarded(err, [&] { return execute(svc, s, err, iters, rowoff, mode); });
}

sword OCIStmtFetch2(OCIStmt* stmtp, OCIError* errhp, ub4 nrows, ub2 orientation, sb4, ub4)
{
    OCIStmt* s = as<OCIStmt>(stmtp, OCI_HTYPE_STMT);
    OCIError* err = as<OCIError>(errhp, OCI_HTYPE_ERROR);
    if (s == nullptr || err == nullptr) return OCI_INVALID_HANDLE;
    clear(err);
    if (!s->executed || s->kind != emu::stmt_kind::select) return fail(err, 24338);
    // Without a scrollable cursor only forward fetching exists.
    if (orientation != OCI_FETCH_NEXT) return fail(err, 1002);
    if (nrows == 0) {
        // Fetching zero rows cancels the cursor.
        s->rows.reset();
        s->exhausted = true;
        return OCI_SUCCESS;
    }
    OCISvcCtx* svc = as<OCISvcCtx>(s->exec_svc, OCI_HTYPE_SVCCTX);
    if (svc == nullptr || !svc->session) return fail(err, 3114);
    return guarded(err, [&]() -> sword {
        if (!fetch_is_local(s, nrows)) svc->session->count_round_trip(emu::rt_kind::fetch);
        return fetch_rows(s, err, nrows);
    });
}

sword OCIStmtFetch(OCIStmt* stmtp, OCIError* errhp, ub4 nrows, ub2 orientation, ub4 mode)
{
    return OCIStmtFetch2(stmtp, errhp, nrows, orientation, 0, mode);
}

}  // extern "C"
