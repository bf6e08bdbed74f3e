// Helpers shared by the SQLite functions of the query engine: reading
// arguments as Access reads them and reporting Access's errors.
#pragma once

#include <sqlite3.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>

// VBA run-time errors the functions raise; the engine maps them to
// jet_sql_error with these numbers.
enum : int32_t {
    jet_vb_invalid_call = 5,
    jet_vb_overflow = 6,
    jet_vb_division_by_zero = 11,
    jet_vb_type_mismatch = 13,
};

inline void jet_fn_error(sqlite3_context* ctx, int32_t number)
{
    std::string text = "jet:" + std::to_string(number);
    sqlite3_result_error(ctx, text.c_str(), -1);
}

inline bool jet_fn_is_null(sqlite3_value* v)
{
    return sqlite3_value_type(v) == SQLITE_NULL;
}

// A numeric argument; text must read as a number (else Type mismatch).
// Returns false after setting the result (NULL or the error).
inline bool jet_fn_number(sqlite3_context* ctx, sqlite3_value* v, double& out)
{
    switch (sqlite3_value_numeric_type(v)) {
    case SQLITE_INTEGER:
    case SQLITE_FLOAT: out = sqlite3_value_double(v); return true;
    case SQLITE_NULL: sqlite3_result_null(ctx); return false;
    default: jet_fn_error(ctx, jet_vb_type_mismatch); return false;
    }
}

inline std::u16string_view jet_fn_text(sqlite3_value* v)
{
    const void* p = sqlite3_value_text16(v);
    int bytes = sqlite3_value_bytes16(v);
    if (p == nullptr) return {};
    return std::u16string_view(static_cast<const char16_t*>(p), static_cast<size_t>(bytes) / 2);
}

inline void jet_fn_result(sqlite3_context* ctx, std::u16string_view text)
{
    sqlite3_result_text16(ctx, text.data(), static_cast<int>(text.size() * 2), SQLITE_TRANSIENT);
}

// An optional integer argument (default when absent or Null).
inline int64_t jet_fn_int_arg(int argc, sqlite3_value** argv, int i, int64_t fallback)
{
    if (i >= argc || jet_fn_is_null(argv[i])) return fallback;
    return static_cast<int64_t>(std::nearbyint(sqlite3_value_double(argv[i])));
}

// Whole-number result when it fits, else REAL.
inline void jet_fn_number_result(sqlite3_context* ctx, double v)
{
    if (std::trunc(v) == v && std::fabs(v) < 9.0e15)
        sqlite3_result_int64(ctx, static_cast<sqlite3_int64>(v));
    else
        sqlite3_result_double(ctx, v);
}

void jet_sql_register_text_functions(sqlite3* db);
void jet_sql_register_number_functions(sqlite3* db);
void jet_sql_register_date_functions(sqlite3* db);
void jet_sql_register_aggregates(sqlite3* db);
void jet_sql_register_format(sqlite3* db);
