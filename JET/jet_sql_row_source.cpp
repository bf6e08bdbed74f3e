#include "jet_sql_row_source.h"

#include <sqlite3.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "jet_sql_date.h"
#include "jet_sql_decimal.h"
#include "tk_logger.h"
#include "tk_wstring.h"

namespace {

uint8_t stored_type_of(int32_t dao_type)
{
    switch (dao_type) {
    case jet_dao_boolean: return jet_col_bool;
    case jet_dao_byte: return jet_col_byte;
    case jet_dao_integer: return jet_col_int;
    case jet_dao_long: return jet_col_long;
    case jet_dao_currency: return jet_col_money;
    case jet_dao_single: return jet_col_float;
    case jet_dao_double: return jet_col_double;
    case jet_dao_date: return jet_col_datetime;
    case jet_dao_date_time_extended: return jet_col_ext_datetime;
    case jet_dao_binary: return jet_col_binary;
    case jet_dao_long_binary: return jet_col_ole;
    case jet_dao_memo: return jet_col_memo;
    case jet_dao_guid: return jet_col_guid;
    case jet_dao_bigint: return jet_col_bigint;
    case jet_dao_decimal: return jet_col_numeric;
    default: return jet_col_text;
    }
}

// A double as an exact decimal of its 15 significant digits.
jet_decimal decimal_of(double d)
{
    jet_decimal out;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15e", std::fabs(d));
    // buf: d.dddddddddddddddde±XX
    std::string digits;
    for (const char* p = buf; *p != 'e'; ++p)
        if (*p != '.') digits += *p;
    int exponent = std::atoi(std::strchr(buf, 'e') + 1);
    int scale = 15 - exponent;
    while (scale > 0 && digits.size() > 1 && digits.back() == '0') {
        digits.pop_back();
        --scale;
    }
    while (scale < 0) {
        digits += '0';
        ++scale;
    }
    if (scale > 28) return out;  // too small to keep: zero
    unsigned __int128 mag = 0;
    for (char c : digits) mag = mag * 10 + static_cast<unsigned>(c - '0');
    out.negative = d < 0;
    out.scale = static_cast<uint8_t>(scale);
    out.lo = static_cast<uint64_t>(mag);
    out.hi = static_cast<uint32_t>(mag >> 64);
    return out;
}

}  // namespace

jet_value jet_sql_row_source::value_of(const jet_sql_result& r, size_t c)
{
    jet_value v;
    const int storage = r.storage(c);
    if (storage == SQLITE_NULL) return v;
    const int32_t type = r.columns()[c].dao_type;
    if (storage == SQLITE_BLOB) {
        v.kind = jet_kind::binary;
        v.bytes = r.as_bytes(c);
        return v;
    }
    if (storage == SQLITE_TEXT && type == jet_dao_decimal) {
        // A Decimal travels as exact text; the text keeps its scale.
        ole_decimal d;
        if (jet_sql_decimal_parse(tk_to_utf8(r.as_text(c)), d)) {
            v.kind = jet_kind::decimal;
            v.dec.negative = d.is_negative();
            v.dec.scale = d.scale;
            v.dec.hi = d.hi32;
            v.dec.lo = d.lo64;
            return v;
        }
    }
    if (storage == SQLITE_TEXT) {
        v.kind = type == jet_dao_guid ? jet_kind::guid : jet_kind::text;
        v.text = r.as_text(c);
        return v;
    }
    if (type == jet_dao_date_time_extended && storage == SQLITE_INTEGER) {
        v.kind = jet_kind::date;
        jet_sql_ticks_decode(r.as_int(c), v.d, v.ticks);
        return v;
    }
    const double d = r.as_double(c);
    const bool integral = storage == SQLITE_INTEGER;
    v.i = integral ? r.as_int(c) : static_cast<int64_t>(std::trunc(d));
    v.d = d;
    switch (type) {
    case jet_dao_boolean:
        v.kind = jet_kind::boolean;
        v.i = d != 0 ? 1 : 0;
        break;
    case jet_dao_byte: v.kind = jet_kind::byte; break;
    case jet_dao_integer: v.kind = jet_kind::int16; break;
    case jet_dao_long: v.kind = jet_kind::int32; break;
    case jet_dao_bigint: v.kind = jet_kind::int64; break;
    case jet_dao_currency:
        v.kind = jet_kind::currency;
        v.i = std::llround(d * 10000.0);
        break;
    case jet_dao_single:
        v.kind = jet_kind::single;
        v.d = static_cast<float>(d);
        break;
    case jet_dao_date: v.kind = jet_kind::date; break;
    case jet_dao_decimal:
        v.kind = jet_kind::decimal;
        v.dec = decimal_of(d);
        break;
    default: v.kind = jet_kind::dbl; break;
    }
    // An integer value beyond its column's kind stays exact as a Double.
    if ((v.kind == jet_kind::byte && (v.i < 0 || v.i > 255)) ||
        (v.kind == jet_kind::int16 && (v.i < -32768 || v.i > 32767)) ||
        (v.kind == jet_kind::int32 && (v.i < INT32_MIN || v.i > INT32_MAX)) ||
        ((v.kind == jet_kind::byte || v.kind == jet_kind::int16 || v.kind == jet_kind::int32) && !integral &&
         std::trunc(d) != d))
        v.kind = jet_kind::dbl;
    return v;
}

jet_column jet_sql_row_source::column_of(const jet_sql_result_column& rc)
{
    jet_column c;
    c.name = rc.name;
    c.dao_type = static_cast<int16_t>(rc.dao_type);
    c.jet_type = stored_type_of(rc.dao_type);
    c.size = rc.size;
    c.fixed = c.jet_type != jet_col_text && c.jet_type != jet_col_memo && c.jet_type != jet_col_binary &&
              c.jet_type != jet_col_ole;
    return c;
}

jet_sql_row_source::jet_sql_row_source(jet_sql_engine& engine, std::u16string sql)
    : engine_(engine), sql_(std::move(sql))
{
    tk_trace(2, u"jet_sql_row_source::jet_sql_row_source(%s)", sql_);
    result_ = engine_.open(sql_);
    for (const jet_sql_result_column& rc : result_->columns()) columns_.push_back(column_of(rc));
}

jet_sql_row_source::~jet_sql_row_source() = default;

void jet_sql_row_source::rewind()
{
    result_.reset();
    result_ = engine_.open(sql_);
}

bool jet_sql_row_source::next(std::vector<jet_value>& row)
{
    if (!result_->next()) return false;
    row.resize(columns_.size());
    for (size_t i = 0; i < columns_.size(); ++i) row[i] = value_of(*result_, i);
    return true;
}

int32_t jet_sql_row_source::count() const
{
    if (count_ < 0) {
        auto r = engine_.open(u"select count(*) from (" + sql_ + u")");
        count_ = r->next() ? static_cast<int32_t>(r->as_int(0)) : 0;
    }
    return count_;
}
