// The stand-in's OCI handles. ora_oci.h declares the handle structs as
// incomplete types; here they get their bodies. Every handle and
// descriptor starts with an emu_handle carrying a magic number and its
// kind, so a call handed a wrong, freed or foreign pointer answers
// OCI_INVALID_HANDLE instead of misreading memory.
//
// Ownership: the environment owns nothing (children are freed by the
// caller); a statement owns its binds, defines and parameter descriptors;
// a service context made by OCILogon owns its server and session handles
// and the engine session.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "emu_oci_convert.h"
#include "emu_session.h"
#include "ora_oci.h"

namespace emu_oci {

inline constexpr uint32_t k_magic = 0x4f43494dU;  // "MICO"

// Every live handle is registered, so that a pointer to a handle already
// freed (a classic client mistake: freeing what OCILogoff freed) is
// recognised without reading freed memory.
void register_handle(const void* h);
void unregister_handle(const void* h);
bool is_registered(const void* h);

struct emu_handle {
    explicit emu_handle(ub4 k, OCIEnv* e) : kind(k), env(e) { register_handle(this); }
    virtual ~emu_handle()
    {
        magic = 0;
        unregister_handle(this);
    }
    emu_handle(const emu_handle&) = delete;
    emu_handle& operator=(const emu_handle&) = delete;

    // Freed handles keep their memory for a while (a quarantine), so that a
    // pointer freed twice does not meet a new handle at the same address
    // and free it in its place: the second free sees no live handle.
    static void* operator new(size_t bytes);
    static void operator delete(void* p, size_t bytes);

    uint32_t magic = k_magic;
    bool released = false;   // a handle OCILogoff frees, already freed by the caller
    ub4 kind;        // OCI_HTYPE_* or OCI_DTYPE_*
    OCIEnv* env;     // owning environment (itself for an environment)
    std::vector<unsigned char> user_memory;  // xtramem_sz of the allocation
};

// One diagnostic record: the Oracle error number and the complete line
// "ORA-nnnnn: text" without line feed.
struct diag {
    int code = 0;
    std::string text;  // UTF-8
};

// A row that failed in array DML with OCI_BATCH_ERRORS.
struct row_error {
    ub4 row = 0;  // 0-based iteration
    diag error;
};

}  // namespace emu_oci

struct OCIEnv : emu_oci::emu_handle {
    OCIEnv() : emu_handle(OCI_HTYPE_ENV, this) {}
    bool utf16 = false;  // OCI_UTF16 or charset OCI_UTF16ID; else AL32UTF8
    ub4 mode = 0;
    // ORA_NCHAR_LITERAL_REPLACE=TRUE when the environment was created: the
    // client sends N'...' literals as Unicode instead of converting the
    // statement to the database character set.
    bool nchar_literal_replace = false;
    std::vector<emu_oci::diag> records;  // failures of calls without error handle
};

struct OCIError : emu_oci::emu_handle {
    using emu_handle::emu_handle;
    std::vector<emu_oci::diag> records;
    // Per-row errors of the last array DML run with OCI_BATCH_ERRORS,
    // readable with OCIParamGet on this handle.
    std::vector<emu_oci::row_error> batch;
    // Set on a handle filled by OCIParamGet from a batch: the failed row.
    std::optional<ub4> dml_row_offset;
};

struct OCIServer : emu_oci::emu_handle {
    using emu_handle::emu_handle;
    std::string dblink;  // UTF-8
    bool attached = false;
    bool owned_by_logon = false;
};

struct OCISession : emu_oci::emu_handle {
    using emu_handle::emu_handle;
    std::u16string username, password;  // as set through OCIAttrSet, in client units
    std::string user_attr, password_attr;  // raw bytes as set
    bool owned_by_logon = false;
};

struct OCITrans : emu_oci::emu_handle {
    using emu_handle::emu_handle;
};

struct OCISvcCtx : emu_oci::emu_handle {
    using emu_handle::emu_handle;
    ~OCISvcCtx() override;
    // Closes the open cursors of this context's statements, then the
    // engine session (which rolls back what is not committed).
    void end_session();
    std::unique_ptr<emu::session> session;  // null until logged on
    OCIServer* server = nullptr;
    OCISession* user_session = nullptr;
    bool made_by_logon = false;
};

// A LOB locator: refers to a LOB cell of a table row, or holds the value
// of a temporary LOB (a LOB computed by the query rather than stored).
struct OCILobLocator : emu_oci::emu_handle {
    using emu_handle::emu_handle;
    bool initialized = false;
    emu::col_type type = emu::col_type::clob;
    std::optional<emu::lob_ref> ref;
    std::u16string temp_text;  // temporary CLOB content
    std::string temp_bytes;    // temporary BLOB content
    OCISvcCtx* svc = nullptr;  // the session that fetched it
    // Streaming state of a piecewise write or a polling read in progress.
    bool streaming = false;
    uint64_t stream_pos = 0;     // 0-based position of the next unit
    uint64_t stream_total = 0;   // units handled so far
    uint64_t stream_end = 0;     // read: position after the last unit to deliver
};

struct OCIRowid : emu_oci::emu_handle {
    using emu_handle::emu_handle;
    std::string text;
};

// A column of a select list, as OCIParamGet hands it out.
struct OCIParam : emu_oci::emu_handle {
    using emu_handle::emu_handle;
    emu::column_info column;
    std::string encoded_name;  // the name in the client encoding
    bool owned_by_statement = true;
};

struct OCIBind : emu_oci::emu_handle {
    using emu_handle::emu_handle;
    OCIStmt* stmt = nullptr;
    std::string name;  // placeholder as bound (":1", ":X"), UTF-8; empty when by position
    ub4 position = 0;  // 1-based when bound by position
    void* valuep = nullptr;
    sb4 value_sz = 0;
    ub2 dty = 0;
    void* indp = nullptr;
    ub2* alenp = nullptr;
    ub2* rcodep = nullptr;
    ub4 mode = 0;
    ub4 value_skip = 0, ind_skip = 0, alen_skip = 0, rcode_skip = 0;  // 0: natural stride
    void* in_ctx = nullptr;
    OCICallbackInBind in_cb = nullptr;
    void* out_ctx = nullptr;
    OCICallbackOutBind out_cb = nullptr;
    ub4 rows_returned = 0;
};

struct OCIDefine : emu_oci::emu_handle {
    using emu_handle::emu_handle;
    ub4 position = 0;
    void* valuep = nullptr;
    sb4 value_sz = 0;
    ub2 dty = 0;
    sb2* indp = nullptr;
    ub2* rlenp = nullptr;
    ub2* rcodep = nullptr;
    ub4 mode = 0;
    ub4 value_skip = 0, ind_skip = 0, rlen_skip = 0, rcode_skip = 0;
};

struct OCIStmt : emu_oci::emu_handle {
    using emu_handle::emu_handle;
    ~OCIStmt() override;
    bool prepared = false;
    bool from_prepare2 = false;
    OCISvcCtx* prepare_svc = nullptr;  // OCIStmtPrepare2's service context
    std::string sql;                   // UTF-8
    std::string encoded_sql;           // as given, for OCI_ATTR_STATEMENT
    emu::stmt_kind kind = emu::stmt_kind::unknown;
    std::vector<std::string> placeholders;

    std::vector<std::unique_ptr<OCIBind>> binds;
    std::map<ub4, std::unique_ptr<OCIDefine>> defines;  // by position
    std::vector<std::unique_ptr<OCIParam>> params;
    bool described = false;

    // The open query.
    std::unique_ptr<emu::cursor> rows;
    OCISvcCtx* exec_svc = nullptr;
    bool executed = false;
    bool exhausted = false;

    uint64_t row_count = 0;   // rows processed (DML) or fetched so far (query)
    ub4 rows_fetched = 0;     // rows delivered by the last call
    ub4 prefetch_rows = 1;
    // Rows a network call brought along beyond those asked for (as many as
    // OCI_ATTR_PREFETCH_ROWS says), handed out by later fetches without a
    // round trip; cursor_done once a call came back short.
    std::deque<std::vector<emu::value>> prefetched;
    bool cursor_done = false;
    std::vector<emu_oci::row_error> batch_errors;

    void reset_results();
    void set_columns(const std::vector<emu::column_info>& cols);
};

namespace emu_oci {

// Validates a handle pointer of the expected kind.
template <class T>
T* as(const void* p, ub4 kind)
{
    if (p == nullptr || !is_registered(p)) return nullptr;
    auto* h = static_cast<emu_handle*>(const_cast<void*>(p));
    if (h->magic != k_magic || h->kind != kind) return nullptr;
    return static_cast<T*>(h);
}

// A registered handle of any kind, or null.
inline emu_handle* any_handle(const void* p)
{
    if (p == nullptr || !is_registered(p)) return nullptr;
    auto* h = static_cast<emu_handle*>(const_cast<void*>(p));
    return h->magic == k_magic ? h : nullptr;
}

// Text in the client encoding of `env` (UTF-16 or UTF-8) from and to UTF-8.
std::string client_to_utf8(const OCIEnv* env, const void* text, size_t bytes);
std::string utf8_to_client(const OCIEnv* env, const std::string& utf8);
// Size in bytes of one code unit of the client encoding (2 or 1).
inline size_t unit_size(const OCIEnv* env) { return env->utf16 ? 2 : 1; }

// Error records.
void clear(OCIError* err);
// Records the error in `err` and returns OCI_ERROR.
sword fail(OCIError* err, const emu::ora_error& e);
sword fail(OCIError* err, int code, const std::vector<std::string>& args = {});
// Records a warning and returns OCI_SUCCESS_WITH_INFO.
sword warn(OCIError* err, const emu::ora_error& e);

// Runs `body`, turning an escaping engine error into an error record and
// anything else into ORA-00600 so that no exception crosses the C border.
template <class F>
sword guarded(OCIError* err, F&& body)
{
    try {
        return body();
    } catch (const emu::ora_error& e) {
        return fail(err, e);
    } catch (const std::bad_alloc&) {
        return fail(err, client_error(4030));
    } catch (const std::exception& e) {
        return fail(err, client_error(600, {e.what()}));
    }
}

}  // namespace emu_oci
