// Environments, handles, descriptors, attributes and diagnostics.
#include "emu_oci_handles.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <deque>
#include <mutex>
#include <unordered_set>

using namespace emu_oci;

namespace {

// Copies `len` bytes of attribute text into OCI-owned storage semantics:
// the caller receives a pointer into the handle.
sword text_attr(void* attributep, ub4* sizep, const std::string& encoded)
{
    *static_cast<const OraText**>(attributep) = reinterpret_cast<const OraText*>(encoded.data());
    if (sizep != nullptr) *sizep = static_cast<ub4>(encoded.size());
    return OCI_SUCCESS;
}

template <class T>
sword scalar_attr(void* attributep, ub4* sizep, T v)
{
    std::memcpy(attributep, &v, sizeof v);
    if (sizep != nullptr) *sizep = sizeof v;
    return OCI_SUCCESS;
}

ub2 external_code(emu::col_type t)
{
    using emu::col_type;
    switch (t) {
    case col_type::number:
    case col_type::float_: return SQLT_NUM;
    case col_type::binary_double: return SQLT_IBDOUBLE;
    case col_type::varchar2:
    case col_type::nvarchar2: return SQLT_CHR;
    case col_type::char_:
    case col_type::nchar: return SQLT_AFC;
    case col_type::date: return SQLT_DAT;
    case col_type::timestamp: return SQLT_TIMESTAMP;
    case col_type::raw: return SQLT_BIN;
    case col_type::clob:
    case col_type::nclob: return SQLT_CLOB;
    case col_type::blob: return SQLT_BLOB;
    case col_type::long_: return SQLT_LNG;
    case col_type::rowid: return SQLT_RDD;
    }
    return SQLT_CHR;
}

bool is_character(emu::col_type t)
{
    using emu::col_type;
    return t == col_type::varchar2 || t == col_type::nvarchar2 || t == col_type::char_ ||
           t == col_type::nchar || t == col_type::clob || t == col_type::nclob ||
           t == col_type::long_;
}

sword param_attr(OCIParam* p, void* attributep, ub4* sizep, ub4 attr, OCIError* err)
{
    const emu::column_info& c = p->column;
    switch (attr) {
    case OCI_ATTR_DATA_TYPE: return scalar_attr<ub2>(attributep, sizep, external_code(c.type));
    case OCI_ATTR_DATA_SIZE: return scalar_attr<ub2>(attributep, sizep, static_cast<ub2>(c.size));
    case OCI_ATTR_DISP_SIZE:
        return scalar_attr<ub2>(attributep, sizep,
                                static_cast<ub2>(c.char_length ? c.char_length : c.size));
    case OCI_ATTR_NAME: return text_attr(attributep, sizep, p->encoded_name);
    case OCI_ATTR_PRECISION: return scalar_attr<sb2>(attributep, sizep, static_cast<sb2>(c.precision));
    case OCI_ATTR_SCALE: return scalar_attr<sb1>(attributep, sizep, static_cast<sb1>(c.scale));
    case OCI_ATTR_IS_NULL: return scalar_attr<ub1>(attributep, sizep, c.nullable ? 1 : 0);
    case OCI_ATTR_CHAR_SIZE:
        return scalar_attr<ub2>(attributep, sizep, static_cast<ub2>(c.char_length));
    case OCI_ATTR_CHAR_USED: return scalar_attr<ub1>(attributep, sizep, c.char_semantics ? 1 : 0);
    case OCI_ATTR_CHARSET_FORM:
        return scalar_attr<ub1>(attributep, sizep,
                                emu::is_national(c.type) ? SQLCS_NCHAR
                                : is_character(c.type)   ? SQLCS_IMPLICIT
                                                         : 0);
    case OCI_ATTR_CHARSET_ID:
        return scalar_attr<ub2>(attributep, sizep,
                                is_character(c.type) ? (p->env->utf16 ? OCI_UTF16ID
                                                                      : ORA_CHARSET_AL32UTF8)
                                                     : 0);
    default: return fail(err, 24315);
    }
}

sword stmt_attr(OCIStmt* s, void* attributep, ub4* sizep, ub4 attr, OCIError* err)
{
    switch (attr) {
    case OCI_ATTR_ROW_COUNT: return scalar_attr<ub4>(attributep, sizep, static_cast<ub4>(s->row_count));
    case OCI_ATTR_UB8_ROW_COUNT: return scalar_attr<ub8>(attributep, sizep, s->row_count);
    case OCI_ATTR_ROWS_FETCHED: return scalar_attr<ub4>(attributep, sizep, s->rows_fetched);
    case OCI_ATTR_PARAM_COUNT:
        return scalar_attr<ub4>(attributep, sizep, static_cast<ub4>(s->params.size()));
    case OCI_ATTR_STMT_TYPE: return scalar_attr<ub2>(attributep, sizep, static_cast<ub2>(s->kind));
    case OCI_ATTR_NUM_DML_ERRORS:
        return scalar_attr<ub4>(attributep, sizep, static_cast<ub4>(s->batch_errors.size()));
    case OCI_ATTR_PREFETCH_ROWS: return scalar_attr<ub4>(attributep, sizep, s->prefetch_rows);
    case OCI_ATTR_PARSE_ERROR_OFFSET: return scalar_attr<ub2>(attributep, sizep, 0);
    case OCI_ATTR_STATEMENT: return text_attr(attributep, sizep, s->encoded_sql);
    default: return fail(err, 24315);
    }
}

void* alloc_user_memory(emu_handle* h, size_t xtramem_sz, void** usrmempp)
{
    if (xtramem_sz > 0) h->user_memory.assign(xtramem_sz, 0);
    void* mem = xtramem_sz > 0 ? h->user_memory.data() : nullptr;
    if (usrmempp != nullptr) *usrmempp = mem;
    return mem;
}

sword new_env(OCIEnv** envhpp, ub4 mode, bool utf16, size_t xtramem_sz, void** usrmempp)
{
    if (envhpp == nullptr) return OCI_INVALID_HANDLE;
    try {
        auto* env = new OCIEnv();
        env->mode = mode;
        env->utf16 = utf16;
        const char* nlr = std::getenv("ORA_NCHAR_LITERAL_REPLACE");
        env->nchar_literal_replace = nlr && (std::strcmp(nlr, "TRUE") == 0 || std::strcmp(nlr, "true") == 0);
        alloc_user_memory(env, xtramem_sz, usrmempp);
        *envhpp = env;
        return OCI_SUCCESS;
    } catch (...) {
        *envhpp = nullptr;
        return OCI_ERROR;
    }
}

}  // namespace

// ---------------------------------------------------------------- helpers

namespace emu_oci {

namespace {
std::mutex& registry_lock()
{
    static std::mutex m;
    return m;
}
std::unordered_set<const void*>& registry()
{
    static auto* live = new std::unordered_set<const void*>();
    return *live;
}
}  // namespace

void* emu_handle::operator new(size_t bytes) { return ::operator new(bytes); }

void emu_handle::operator delete(void* p, size_t bytes)
{
    static std::mutex m;
    static auto* quarantine = new std::deque<std::pair<void*, size_t>>();
    std::lock_guard<std::mutex> lock(m);
    quarantine->emplace_back(p, bytes);
    if (quarantine->size() <= 4096) return;
    ::operator delete(quarantine->front().first, quarantine->front().second);
    quarantine->pop_front();
}

void register_handle(const void* h)
{
    std::lock_guard<std::mutex> lock(registry_lock());
    registry().insert(h);
}

void unregister_handle(const void* h)
{
    std::lock_guard<std::mutex> lock(registry_lock());
    registry().erase(h);
}

bool is_registered(const void* h)
{
    std::lock_guard<std::mutex> lock(registry_lock());
    return registry().count(h) != 0;
}

std::string client_to_utf8(const OCIEnv* env, const void* text, size_t bytes)
{
    if (text == nullptr || bytes == 0) return {};
    if (!env->utf16) return std::string(static_cast<const char*>(text), bytes);
    return utf16_to_utf8(std::u16string_view(static_cast<const char16_t*>(text), bytes / 2));
}

std::string utf8_to_client(const OCIEnv* env, const std::string& utf8)
{
    if (!env->utf16) return utf8;
    std::u16string w = utf8_to_utf16(utf8);
    return std::string(reinterpret_cast<const char*>(w.data()), w.size() * 2);
}

void clear(OCIError* err)
{
    if (err == nullptr) return;
    err->records.clear();
}

sword fail(OCIError* err, const emu::ora_error& e)
{
    if (err != nullptr) err->records.push_back(diag{e.code, e.text});
    return OCI_ERROR;
}

sword fail(OCIError* err, int code, const std::vector<std::string>& args)
{
    return fail(err, client_error(code, args));
}

sword warn(OCIError* err, const emu::ora_error& e)
{
    if (err != nullptr) err->records.push_back(diag{e.code, e.text});
    return OCI_SUCCESS_WITH_INFO;
}

}  // namespace emu_oci

namespace {

// Freeing an environment frees what was allocated from it: statements
// first (their cursors need the session), then descriptors, then service
// contexts and the remaining handles. Handles owned by another handle
// (binds, defines, parameters, the server and session of a log-on) go with
// their owner.
void free_children(OCIEnv* env)
{
    std::vector<emu_handle*> children;
    {
        std::lock_guard<std::mutex> lock(emu_oci::registry_lock());
        for (const void* p : emu_oci::registry()) {
            auto* h = static_cast<emu_handle*>(const_cast<void*>(p));
            if (h->env != env || h == env) continue;
            switch (h->kind) {
            case OCI_HTYPE_BIND:
            case OCI_HTYPE_DEFINE:
            case OCI_DTYPE_PARAM: continue;
            case OCI_HTYPE_SERVER:
                if (static_cast<OCIServer*>(h)->owned_by_logon) continue;
                break;
            case OCI_HTYPE_SESSION:
                if (static_cast<OCISession*>(h)->owned_by_logon) continue;
                break;
            default: break;
            }
            children.push_back(h);
        }
    }
    auto rank = [](const emu_handle* h) {
        return h->kind == OCI_HTYPE_STMT ? 0 : h->kind == OCI_HTYPE_SVCCTX ? 2 : 1;
    };
    std::stable_sort(children.begin(), children.end(),
                     [&](const emu_handle* a, const emu_handle* b) { return rank(a) < rank(b); });
    for (emu_handle* h : children)
        if (emu_oci::is_registered(h)) delete h;
}

}  // namespace

void OCISvcCtx::end_session()
{
    if (!session) return;
    std::vector<OCIStmt*> open;
    {
        std::lock_guard<std::mutex> lock(emu_oci::registry_lock());
        for (const void* p : emu_oci::registry()) {
            auto* h = static_cast<emu_handle*>(const_cast<void*>(p));
            if (h->kind == OCI_HTYPE_STMT && static_cast<OCIStmt*>(h)->exec_svc == this)
                open.push_back(static_cast<OCIStmt*>(h));
        }
    }
    for (OCIStmt* s : open) {
        s->rows.reset();
        s->exhausted = true;
    }
    session.reset();
}

OCISvcCtx::~OCISvcCtx()
{
    end_session();
    if (made_by_logon) {
        delete server;
        delete user_session;
    }
}

OCIStmt::~OCIStmt() = default;

void OCIStmt::reset_results()
{
    rows.reset();
    executed = false;
    exhausted = false;
    row_count = 0;
    rows_fetched = 0;
    batch_errors.clear();
    prefetched.clear();
    cursor_done = false;
}

void OCIStmt::set_columns(const std::vector<emu::column_info>& cols)
{
    params.clear();
    for (const auto& c : cols) {
        auto p = std::make_unique<OCIParam>(OCI_DTYPE_PARAM, env);
        p->column = c;
        p->encoded_name = utf8_to_client(env, c.name);
        params.push_back(std::move(p));
    }
    described = true;
}

// ---------------------------------------------------------------- exported

extern "C" {

sword OCIEnvCreate(OCIEnv** envhpp, ub4 mode, void*, OCIMallocFn, OCIReallocFn, OCIFreeFn,
                   size_t xtramem_sz, void** usrmempp)
{
    return new_env(envhpp, mode, (mode & OCI_UTF16) != 0, xtramem_sz, usrmempp);
}

sword OCIEnvNlsCreate(OCIEnv** envhpp, ub4 mode, void*, OCIMallocFn, OCIReallocFn, OCIFreeFn,
                      size_t xtramem_sz, void** usrmempp, ub2 charset, ub2 ncharset)
{
    if ((charset == 0) != (ncharset == 0)) return OCI_ERROR;
    bool utf16 = (mode & OCI_UTF16) != 0 || charset == OCI_UTF16ID;
    return new_env(envhpp, mode, utf16, xtramem_sz, usrmempp);
}

sword OCIHandleAlloc(const void* parenth, void** hndlpp, ub4 type, size_t xtramem_sz,
                     void** usrmempp)
{
    OCIEnv* env = as<OCIEnv>(parenth, OCI_HTYPE_ENV);
    if (env == nullptr || hndlpp == nullptr) return OCI_INVALID_HANDLE;
    emu_handle* h = nullptr;
    try {
        switch (type) {
        case OCI_HTYPE_ERROR: h = new OCIError(type, env); break;
        case OCI_HTYPE_SVCCTX: h = new OCISvcCtx(type, env); break;
        case OCI_HTYPE_STMT: h = new OCIStmt(type, env); break;
        case OCI_HTYPE_SERVER: h = new OCIServer(type, env); break;
        case OCI_HTYPE_SESSION: h = new OCISession(type, env); break;
        case OCI_HTYPE_TRANS: h = new OCITrans(type, env); break;
        default: return OCI_ERROR;
        }
    } catch (...) {
        return OCI_ERROR;
    }
    alloc_user_memory(h, xtramem_sz, usrmempp);
    *hndlpp = h;
    return OCI_SUCCESS;
}

sword OCIHandleFree(void* hndlp, ub4 type)
{
    emu_handle* h = any_handle(hndlp);
    if (h == nullptr || h->kind != type) return OCI_INVALID_HANDLE;
    // Binds and defines belong to their statement and die with it.
    if (type == OCI_HTYPE_BIND || type == OCI_HTYPE_DEFINE) return OCI_SUCCESS;
    // The server and session handles of OCILogon are freed by OCILogoff; the
    // caller freeing one is tolerated once, a second time is an error.
    const bool logon_owned = (type == OCI_HTYPE_SERVER && static_cast<OCIServer*>(h)->owned_by_logon) ||
                             (type == OCI_HTYPE_SESSION && static_cast<OCISession*>(h)->owned_by_logon);
    if (logon_owned) {
        if (h->released) return OCI_INVALID_HANDLE;
        h->released = true;
        return OCI_SUCCESS;
    }
    if (type == OCI_HTYPE_ENV) free_children(static_cast<OCIEnv*>(h));
    delete h;
    return OCI_SUCCESS;
}

sword OCIDescriptorAlloc(const void* parenth, void** descpp, ub4 type, size_t xtramem_sz,
                         void** usrmempp)
{
    OCIEnv* env = as<OCIEnv>(parenth, OCI_HTYPE_ENV);
    if (env == nullptr || descpp == nullptr) return OCI_INVALID_HANDLE;
    emu_handle* h = nullptr;
    try {
        switch (type) {
        case OCI_DTYPE_LOB: h = new OCILobLocator(type, env); break;
        case OCI_DTYPE_ROWID: h = new OCIRowid(type, env); break;
        default: return OCI_ERROR;
        }
    } catch (...) {
        return OCI_ERROR;
    }
    alloc_user_memory(h, xtramem_sz, usrmempp);
    *descpp = h;
    return OCI_SUCCESS;
}

sword OCIDescriptorFree(void* descp, ub4 type)
{
    emu_handle* h = any_handle(descp);
    if (h == nullptr || h->kind != type) return OCI_INVALID_HANDLE;
    // Select-list parameters live as long as their statement.
    if (type == OCI_DTYPE_PARAM && static_cast<OCIParam*>(h)->owned_by_statement) return OCI_SUCCESS;
    delete h;
    return OCI_SUCCESS;
}

sword OCIAttrSet(void* trgthndlp, ub4 trghndltyp, void* attributep, ub4 size, ub4 attrtype,
                 OCIError* errhp)
{
    emu_handle* h = any_handle(trgthndlp);
    if (h == nullptr || h->kind != trghndltyp) return OCI_INVALID_HANDLE;
    clear(errhp);
    switch (trghndltyp) {
    case OCI_HTYPE_SVCCTX: {
        auto* svc = static_cast<OCISvcCtx*>(h);
        if (attrtype == OCI_ATTR_SERVER) {
            svc->server = as<OCIServer>(attributep, OCI_HTYPE_SERVER);
            return OCI_SUCCESS;
        }
        if (attrtype == OCI_ATTR_SESSION) {
            svc->user_session = as<OCISession>(attributep, OCI_HTYPE_SESSION);
            return OCI_SUCCESS;
        }
        if (attrtype == OCI_ATTR_TRANS) return OCI_SUCCESS;
        break;
    }
    case OCI_HTYPE_SESSION: {
        auto* ses = static_cast<OCISession*>(h);
        std::string bytes(static_cast<const char*>(attributep), size);
        if (attrtype == OCI_ATTR_USERNAME) {
            ses->user_attr = bytes;
            return OCI_SUCCESS;
        }
        if (attrtype == OCI_ATTR_PASSWORD) {
            ses->password_attr = bytes;
            return OCI_SUCCESS;
        }
        break;
    }
    case OCI_HTYPE_STMT:
        if (attrtype == OCI_ATTR_PREFETCH_ROWS) {
            std::memcpy(&static_cast<OCIStmt*>(h)->prefetch_rows, attributep, sizeof(ub4));
            return OCI_SUCCESS;
        }
        if (attrtype == OCI_ATTR_PREFETCH_MEMORY) return OCI_SUCCESS;
        break;
    case OCI_HTYPE_BIND:
    case OCI_HTYPE_DEFINE:
        // Character-set form and id, maximum sizes: the client's encoding
        // is fixed by the environment here, so these change nothing.
        if (attrtype == OCI_ATTR_CHARSET_FORM || attrtype == OCI_ATTR_CHARSET_ID ||
            attrtype == OCI_ATTR_MAXDATA_SIZE)
            return OCI_SUCCESS;
        break;
    default: break;
    }
    return fail(errhp, 24315);
}

sword OCIAttrGet(const void* trgthndlp, ub4 trghndltyp, void* attributep, ub4* sizep,
                 ub4 attrtype, OCIError* errhp)
{
    emu_handle* h = any_handle(trgthndlp);
    if (h == nullptr || attributep == nullptr || h->kind != trghndltyp) return OCI_INVALID_HANDLE;
    clear(errhp);
    switch (trghndltyp) {
    case OCI_DTYPE_PARAM:
        return param_attr(static_cast<OCIParam*>(h), attributep, sizep, attrtype, errhp);
    case OCI_HTYPE_STMT:
        return stmt_attr(static_cast<OCIStmt*>(h), attributep, sizep, attrtype, errhp);
    case OCI_HTYPE_SVCCTX: {
        auto* svc = static_cast<OCISvcCtx*>(h);
        if (attrtype == OCI_ATTR_SERVER) return scalar_attr<void*>(attributep, sizep, svc->server);
        if (attrtype == OCI_ATTR_SESSION)
            return scalar_attr<void*>(attributep, sizep, svc->user_session);
        break;
    }
    case OCI_HTYPE_ENV:
        if (attrtype == OCI_ATTR_ENV_UTF16)
            return scalar_attr<ub1>(attributep, sizep, static_cast<OCIEnv*>(h)->utf16 ? 1 : 0);
        if (attrtype == OCI_ATTR_CHARSET_ID)
            return scalar_attr<ub2>(attributep, sizep,
                                    static_cast<OCIEnv*>(h)->utf16 ? OCI_UTF16ID
                                                                   : ORA_CHARSET_AL32UTF8);
        break;
    case OCI_HTYPE_BIND:
        if (attrtype == OCI_ATTR_ROWS_RETURNED)
            return scalar_attr<ub4>(attributep, sizep, static_cast<OCIBind*>(h)->rows_returned);
        break;
    case OCI_HTYPE_ERROR: {
        auto* e = static_cast<OCIError*>(h);
        if (attrtype == OCI_ATTR_DML_ROW_OFFSET && e->dml_row_offset)
            return scalar_attr<ub4>(attributep, sizep, *e->dml_row_offset);
        break;
    }
    case OCI_HTYPE_SESSION: {
        auto* s = static_cast<OCISession*>(h);
        if (attrtype == OCI_ATTR_USERNAME) return text_attr(attributep, sizep, s->user_attr);
        break;
    }
    default: break;
    }
    return fail(errhp, 24315);
}

sword OCIParamGet(const void* hndlp, ub4 htype, OCIError* errhp, void** parmdpp, ub4 pos)
{
    if (hndlp == nullptr || parmdpp == nullptr) return OCI_INVALID_HANDLE;
    if (htype == OCI_HTYPE_ERROR) {
        // Batch errors: the statement's error handle hands out its per-row
        // records into a caller-allocated error handle, counted from 0.
        OCIError* src = as<OCIError>(hndlp, OCI_HTYPE_ERROR);
        OCIError* dst = as<OCIError>(*parmdpp, OCI_HTYPE_ERROR);
        if (src == nullptr || dst == nullptr) return OCI_INVALID_HANDLE;
        if (pos >= src->batch.size()) return OCI_NO_DATA;
        dst->records.assign(1, src->batch[pos].error);
        dst->dml_row_offset = src->batch[pos].row;
        return OCI_SUCCESS;
    }
    OCIStmt* stmt = as<OCIStmt>(hndlp, OCI_HTYPE_STMT);
    if (stmt == nullptr || htype != OCI_HTYPE_STMT) return OCI_INVALID_HANDLE;
    clear(errhp);
    if (!stmt->described) return fail(errhp, 24338);
    if (pos < 1 || pos > stmt->params.size()) return OCI_NO_DATA;
    *parmdpp = stmt->params[pos - 1].get();
    return OCI_SUCCESS;
}

sword OCIErrorGet(void* hndlp, ub4 recordno, OraText*, sb4* errcodep, OraText* bufp, ub4 bufsiz,
                  ub4 type)
{
    if (hndlp == nullptr) return OCI_INVALID_HANDLE;
    const std::vector<diag>* records = nullptr;
    const OCIEnv* env = nullptr;
    if (type == OCI_HTYPE_ERROR) {
        OCIError* e = as<OCIError>(hndlp, OCI_HTYPE_ERROR);
        if (e == nullptr) return OCI_INVALID_HANDLE;
        records = &e->records;
        env = e->env;
    } else if (type == OCI_HTYPE_ENV) {
        OCIEnv* e = as<OCIEnv>(hndlp, OCI_HTYPE_ENV);
        if (e == nullptr) return OCI_INVALID_HANDLE;
        records = &e->records;
        env = e;
    } else {
        return OCI_INVALID_HANDLE;
    }
    if (recordno < 1 || recordno > records->size()) return OCI_NO_DATA;
    const diag& d = (*records)[recordno - 1];
    if (errcodep != nullptr) *errcodep = d.code;
    if (bufp != nullptr && bufsiz > 0) {
        std::string text = utf8_to_client(env, d.text + "\n");
        size_t unit = unit_size(env);
        size_t room = bufsiz >= unit ? bufsiz - unit : 0;
        room -= room % unit;
        size_t n = text.size() < room ? text.size() : room;
        std::memcpy(bufp, text.data(), n);
        if (bufsiz >= unit) std::memset(bufp + n, 0, unit);
    }
    return OCI_SUCCESS;
}

}  // extern "C"
