#include "jet_sql_stream.h"

#include <sqlite3.h>

#include <cstdlib>
#include <string>

#include "jet_sql_row_buffer.h"
#include "tk_wstring.h"

namespace {

thread_local std::exception_ptr t_stream_error;

struct stream_vtab : sqlite3_vtab {
    jet_sql_stream_host* host = nullptr;
    size_t table = 0;
};

struct stream_cursor : sqlite3_vtab_cursor {
    std::unique_ptr<jet_sql_cursor> source;
    std::unique_ptr<jet_sql_row_buffer> row;
    bool eof = true;
    sqlite3_int64 rowid = 0;
};

std::string quote(std::u16string_view name)
{
    std::string out = "\"";
    for (char c : tk_to_utf8(name)) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

int fail(sqlite3_vtab* vtab)
{
    t_stream_error = std::current_exception();
    sqlite3_free(vtab->zErrMsg);
    vtab->zErrMsg = sqlite3_mprintf("jet:stream");
    return SQLITE_ERROR;
}

int connect(sqlite3* db, void* aux, int argc, const char* const* argv, sqlite3_vtab** out, char** err)
{
    if (argc < 4) {
        *err = sqlite3_mprintf("jet_stream needs a table number");
        return SQLITE_ERROR;
    }
    auto* vt = new stream_vtab();
    vt->host = static_cast<jet_sql_stream_host*>(aux);
    vt->table = static_cast<size_t>(std::strtoul(argv[3], nullptr, 10));
    std::string schema = "CREATE TABLE x(";
    const auto& cols = vt->host->stream_columns(vt->table);
    for (size_t i = 0; i < cols.size(); ++i)
        schema += (i > 0 ? ", " : "") + quote(cols[i].name) + " " + jet_sql_column_decl(cols[i].dao_type);
    if (cols.empty()) schema += "\"__jet_none\"";
    int rc = sqlite3_declare_vtab(db, (schema + ")").c_str());
    if (rc != SQLITE_OK) {
        delete vt;
        return rc;
    }
    *out = vt;
    return SQLITE_OK;
}

int best_index(sqlite3_vtab*, sqlite3_index_info* info)
{
    // A full scan; SQLite filters and sorts what it reads. The columns the
    // statement reads go to xFilter as the hex digits of colUsed.
    info->estimatedCost = 1e7;
    info->estimatedRows = 1000000;
    info->idxStr = sqlite3_mprintf("%llx", static_cast<unsigned long long>(info->colUsed));
    info->needToFreeIdxStr = 1;
    return SQLITE_OK;
}

// The columns of colUsed: bit i for column i, the top bit for every column
// from 63 on.
std::vector<bool> used_columns(const char* idx, size_t count)
{
    const unsigned long long mask = idx != nullptr ? std::strtoull(idx, nullptr, 16) : ~0ULL;
    std::vector<bool> wanted(count);
    for (size_t i = 0; i < count; ++i) wanted[i] = ((mask >> (i < 63 ? i : 63)) & 1) != 0;
    return wanted;
}

int disconnect(sqlite3_vtab* vtab)
{
    delete static_cast<stream_vtab*>(vtab);
    return SQLITE_OK;
}

int vt_open(sqlite3_vtab*, sqlite3_vtab_cursor** out)
{
    *out = new stream_cursor();
    return SQLITE_OK;
}

int vt_close(sqlite3_vtab_cursor* cur)
{
    delete static_cast<stream_cursor*>(cur);
    return SQLITE_OK;
}

int fetch(stream_cursor* c)
{
    try {
        c->eof = !c->source->next(*c->row);
        ++c->rowid;
        return SQLITE_OK;
    } catch (...) {
        c->eof = true;
        return fail(c->pVtab);
    }
}

int vt_filter(sqlite3_vtab_cursor* cur, int, const char* idx, int, sqlite3_value**)
{
    auto* c = static_cast<stream_cursor*>(cur);
    auto* vt = static_cast<stream_vtab*>(cur->pVtab);
    try {
        const std::vector<jet_sql_column>& columns = vt->host->stream_columns(vt->table);
        c->row = std::make_unique<jet_sql_row_buffer>(columns);
        c->source = vt->host->stream_open(vt->table, used_columns(idx, columns.size()));
        c->rowid = 0;
    } catch (...) {
        c->eof = true;
        return fail(cur->pVtab);
    }
    return fetch(c);
}

int vt_next(sqlite3_vtab_cursor* cur)
{
    return fetch(static_cast<stream_cursor*>(cur));
}

int vt_eof(sqlite3_vtab_cursor* cur)
{
    return static_cast<stream_cursor*>(cur)->eof ? 1 : 0;
}

int vt_column(sqlite3_vtab_cursor* cur, sqlite3_context* ctx, int i)
{
    auto* c = static_cast<stream_cursor*>(cur);
    if (i < 0 || static_cast<size_t>(i) >= c->row->size()) {
        sqlite3_result_null(ctx);
        return SQLITE_OK;
    }
    c->row->result(ctx, static_cast<size_t>(i));
    return SQLITE_OK;
}

int vt_rowid(sqlite3_vtab_cursor* cur, sqlite_int64* out)
{
    *out = static_cast<stream_cursor*>(cur)->rowid;
    return SQLITE_OK;
}

sqlite3_module make_module()
{
    sqlite3_module m{};
    m.iVersion = 1;
    m.xCreate = connect;
    m.xConnect = connect;
    m.xBestIndex = best_index;
    m.xDisconnect = disconnect;
    m.xDestroy = disconnect;
    m.xOpen = vt_open;
    m.xClose = vt_close;
    m.xFilter = vt_filter;
    m.xNext = vt_next;
    m.xEof = vt_eof;
    m.xColumn = vt_column;
    m.xRowid = vt_rowid;
    return m;
}

const sqlite3_module k_module = make_module();

}  // namespace

const char* jet_sql_column_decl(int32_t dao_type)
{
    switch (dao_type) {
    case jet_dao_boolean:
    case jet_dao_byte:
    case jet_dao_integer:
    case jet_dao_long:
    case jet_dao_bigint:
    case jet_dao_date_time_extended: return "INTEGER";
    case jet_dao_currency:
    case jet_dao_single:
    case jet_dao_double:
    case jet_dao_date: return "REAL";
    // Exact text ordered by value: a REAL would keep only 15 digits.
    case jet_dao_decimal: return "TEXT COLLATE JETDEC";
    case jet_dao_binary:
    case jet_dao_long_binary: return "BLOB";
    default: return "TEXT COLLATE JETTEXT";
    }
}

void jet_sql_register_stream(sqlite3* db, jet_sql_stream_host* host)
{
    sqlite3_create_module(db, "jet_stream", &k_module, host);
}

std::exception_ptr jet_sql_take_stream_error()
{
    std::exception_ptr e = t_stream_error;
    t_stream_error = nullptr;
    return e;
}
