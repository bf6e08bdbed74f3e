// The streaming scan: an SQLite virtual table ("jet_stream") over a source
// table's cursor, so that a statement that reads a table once reads it
// straight from the file, row by row, without copying it first.
//
// The scan offers no index; the engine uses it only where a statement
// names one table once (a nested loop over it would read the file again
// for every outer row).
#pragma once

#include <cstddef>
#include <exception>
#include <memory>
#include <vector>

#include "jet_sql_source.h"

struct sqlite3;

class jet_sql_stream_host {
public:
    virtual ~jet_sql_stream_host() = default;
    virtual const std::vector<jet_sql_column>& stream_columns(size_t table) = 0;
    // A cursor over the table; only the columns `wanted` flags are read.
    virtual std::unique_ptr<jet_sql_cursor> stream_open(size_t table, const std::vector<bool>& wanted) = 0;
};

// Registers the module; `host` must outlive the connection.
void jet_sql_register_stream(sqlite3* db, jet_sql_stream_host* host);

// The exception a scan met inside SQLite (a damaged page, say), kept for
// jet_sql_raise to rethrow; null when there is none.
std::exception_ptr jet_sql_take_stream_error();

// SQLite's declared type of a column of DAO type `dao_type`.
const char* jet_sql_column_decl(int32_t dao_type);
