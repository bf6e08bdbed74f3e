#include "jet_sql_row_buffer.h"

#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "jet_sql_date.h"
#include "jet_sql_decimal.h"
#include "tk_exception.h"
#include "tk_wstring.h"

jet_sql_row_buffer::jet_sql_row_buffer(const std::vector<jet_sql_column>& columns)
    : columns_(columns), cells_(columns.size())
{}

jet_sql_row_buffer::cell& jet_sql_row_buffer::at(size_t c)
{
    TK_ASSERT(c < cells_.size());
    return cells_[c];
}

bool jet_sql_row_buffer::numeric(size_t c) const
{
    int32_t t = columns_[c].dao_type;
    return t == jet_dao_currency || t == jet_dao_decimal || t == jet_dao_double || t == jet_dao_single ||
           t == jet_dao_bigint;
}

void jet_sql_row_buffer::put_null(size_t c)
{
    at(c).k = kind::null;
}

void jet_sql_row_buffer::put_int(size_t c, int64_t v)
{
    if (columns_[c].dao_type == jet_dao_decimal) return put_utf8(c, std::to_string(v));
    cell& x = at(c);
    x.k = kind::integer;
    x.i = columns_[c].dao_type == jet_dao_boolean ? (v != 0 ? -1 : 0) : v;
}

void jet_sql_row_buffer::put_date_ticks(size_t c, double date, uint32_t ticks)
{
    if (columns_[c].dao_type != jet_dao_date_time_extended) return put_double(c, date);
    cell& x = at(c);
    x.k = kind::integer;
    x.i = jet_sql_ticks_encode(date, ticks);
}

void jet_sql_row_buffer::put_double(size_t c, double v)
{
    if (columns_[c].dao_type == jet_dao_boolean) return put_int(c, v != 0 ? -1 : 0);
    if (columns_[c].dao_type == jet_dao_date_time_extended) {
        // The part below the second, as ticks.
        const double seconds = v * 86400.0;
        const double whole = v < 0 ? std::ceil(seconds) : std::floor(seconds);
        const auto ticks = static_cast<uint32_t>(std::min(9999999.0, std::round(std::fabs(seconds - whole) * 1e7)));
        return put_date_ticks(c, whole / 86400.0, ticks);
    }
    if (columns_[c].dao_type == jet_dao_decimal) return put_utf8(c, jet_sql_decimal_text(v));
    cell& x = at(c);
    x.k = kind::real;
    x.d = v;
}

void jet_sql_row_buffer::put_text(size_t c, std::u16string_view v)
{
    put_utf8(c, tk_to_utf8(v));
}

void jet_sql_row_buffer::put_utf8(size_t c, std::string_view v)
{
    if (numeric(c) && columns_[c].dao_type != jet_dao_decimal) {
        // Currency may arrive as exact text. Decimal stays exact text,
        // which the JETDEC collation orders by value.
        std::string s(v);
        char* end = nullptr;
        double d = std::strtod(s.c_str(), &end);
        if (end != s.c_str()) return put_double(c, d);
    }
    cell& x = at(c);
    x.k = kind::text;
    x.bytes.assign(v.data(), v.size());
}

void jet_sql_row_buffer::put_blob(size_t c, const uint8_t* bytes, size_t length)
{
    cell& x = at(c);
    x.k = kind::blob;
    x.bytes.assign(reinterpret_cast<const char*>(bytes), length);
}

void jet_sql_row_buffer::bind(sqlite3_stmt* stmt, size_t c, int slot) const
{
    const cell& x = cells_[c];
    switch (x.k) {
    case kind::null: sqlite3_bind_null(stmt, slot); break;
    case kind::integer: sqlite3_bind_int64(stmt, slot, x.i); break;
    case kind::real: sqlite3_bind_double(stmt, slot, x.d); break;
    case kind::text: sqlite3_bind_text64(stmt, slot, x.bytes.data(), x.bytes.size(), SQLITE_STATIC, SQLITE_UTF8); break;
    case kind::blob: sqlite3_bind_blob64(stmt, slot, x.bytes.data(), x.bytes.size(), SQLITE_STATIC); break;
    }
}

void jet_sql_row_buffer::result(sqlite3_context* ctx, size_t c) const
{
    const cell& x = cells_[c];
    switch (x.k) {
    case kind::null: sqlite3_result_null(ctx); break;
    case kind::integer: sqlite3_result_int64(ctx, x.i); break;
    case kind::real: sqlite3_result_double(ctx, x.d); break;
    case kind::text: sqlite3_result_text64(ctx, x.bytes.data(), x.bytes.size(), SQLITE_TRANSIENT, SQLITE_UTF8); break;
    case kind::blob: sqlite3_result_blob64(ctx, x.bytes.data(), x.bytes.size(), SQLITE_TRANSIENT); break;
    }
}
