// Shared helpers of the query-engine tests: results in a canonical text
// form so that engine results and reference results compare directly.
#pragma once

#include <sqlite3.h>

#include <cstdio>
#include <string>
#include <vector>

#include "jet_sql_date.h"
#include "jet_sql_engine.h"
#include "ole_variant.h"
#include "tk_wstring.h"

using jet_rows = std::vector<std::vector<std::string>>;

inline std::string jet_canon_number(double d, int digits = 10)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*g", digits, d);
    return buf;
}

inline std::string jet_canon_date(double d)
{
    jet_sql_datetime dt;
    if (!jet_sql_date_split(d, dt)) return "bad date";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", dt.year, dt.month, dt.day, dt.hour, dt.minute,
                  dt.second);
    return buf;
}

inline std::string jet_canon(const ole_variant& v)
{
    switch (v.get_vt()) {
    case VT_NULL: return "NULL";
    case VT_BOOL: return v.as_bool() ? "-1" : "0";
    case VT_UI1: return std::to_string(v.as_ui1());
    case VT_I2: return std::to_string(v.as_i2());
    case VT_I4: return std::to_string(v.as_i4());
    case VT_I8: return std::to_string(v.as_i8());
    case VT_R4: return jet_canon_number(v.as_r4(), 8);
    case VT_R8: return jet_canon_number(v.as_r8());
    case VT_CY: return jet_canon_number(ole_cy_to_r8(v.as_cy()));
    case VT_DECIMAL: return jet_canon_number(ole_dec_to_r8(v.as_decimal()));
    case VT_DATE: return jet_canon_date(v.as_date_number());
    case VT_BSTR: return tk_to_utf8(v.as_wstring());
    default: return "kind " + std::to_string(v.get_vt());
    }
}

inline jet_rows jet_run(jet_sql_engine& engine, const std::u16string& sql)
{
    jet_rows out;
    auto r = engine.open(sql);
    while (r->next()) {
        std::vector<std::string> row;
        for (size_t i = 0; i < r->columns().size(); ++i) row.push_back(jet_canon(r->value(i)));
        out.push_back(std::move(row));
    }
    return out;
}

inline jet_rows jet_reference(sqlite3* db, const std::string& sql)
{
    jet_rows out;
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) {
        out.push_back({std::string("reference error: ") + sqlite3_errmsg(db)});
        return out;
    }
    while (sqlite3_step(st) == SQLITE_ROW) {
        std::vector<std::string> row;
        for (int i = 0; i < sqlite3_column_count(st); ++i) {
            switch (sqlite3_column_type(st, i)) {
            case SQLITE_NULL: row.push_back("NULL"); break;
            case SQLITE_INTEGER: row.push_back(std::to_string(sqlite3_column_int64(st, i))); break;
            case SQLITE_FLOAT: row.push_back(jet_canon_number(sqlite3_column_double(st, i))); break;
            default: row.push_back(reinterpret_cast<const char*>(sqlite3_column_text(st, i))); break;
            }
        }
        out.push_back(std::move(row));
    }
    sqlite3_finalize(st);
    return out;
}
