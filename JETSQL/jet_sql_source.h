// What the query engine reads: the tables (and saved queries) of an open
// database, described with DAO's type numbers, and a forward cursor over
// the rows of one table.
//
// The engine never sees the reader behind this interface; the Access
// component adapts its database to it, and tests adapt other readers. A
// cursor hands each row to a jet_sql_row_sink, one call per column, in
// column order, so that values go from the reader straight into the
// engine's storage without an intermediate value object.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "jet_dao_types.h"

struct jet_sql_column {
    std::u16string name;
    int32_t dao_type = jet_dao_text;
    int32_t size = 0;  // DAO's Field.Size: characters for Text, 0 for Memo
};
// A column of type jet_dao_date_time_extended takes its values through
// put_date_ticks (or put_double, without ticks) and keeps the ticks.

// Receives the values of one row. Dates are OLE date numbers, Booleans
// any non-zero value for True, Currency and Decimal as doubles or exact
// decimal text, GUIDs as text.
class jet_sql_row_sink {
public:
    virtual ~jet_sql_row_sink() = default;
    virtual void put_null(size_t column) = 0;
    virtual void put_int(size_t column, int64_t value) = 0;
    virtual void put_double(size_t column, double value) = 0;
    virtual void put_text(size_t column, std::u16string_view value) = 0;
    virtual void put_utf8(size_t column, std::string_view value) = 0;
    virtual void put_blob(size_t column, const uint8_t* bytes, size_t length) = 0;
    // A date number that holds whole seconds, and the 100-ns ticks below
    // the second (a Date/Time Extended value).
    virtual void put_date_ticks(size_t column, double date, uint32_t ticks)
    {
        (void)ticks;
        put_double(column, date);
    }
};

class jet_sql_cursor {
public:
    virtual ~jet_sql_cursor() = default;
    // Puts the next row into `sink` and returns true, or returns false at
    // the end. Every column must be put exactly once per row.
    virtual bool next(jet_sql_row_sink& sink) = 0;
};

class jet_sql_source {
public:
    virtual ~jet_sql_source() = default;
    // Looks a table up by name without regard to case. On success `name`
    // receives the table's own spelling and `columns` its columns in order.
    virtual bool find_table(std::u16string_view wanted, std::u16string& name, std::vector<jet_sql_column>& columns) = 0;
    // The rows of a table that find_table reported.
    virtual std::unique_ptr<jet_sql_cursor> open_table(const std::u16string& name) = 0;
    // The same rows, where only the columns `wanted` flags (one flag per
    // column) are read: the cursor may put NULL for the others, and spare
    // itself their decoding.
    virtual std::unique_ptr<jet_sql_cursor> open_columns(const std::u16string& name, const std::vector<bool>& wanted)
    {
        (void)wanted;
        return open_table(name);
    }
    // About how many rows that table holds, without reading them; -1 when
    // the reader cannot tell.
    virtual int64_t row_estimate(const std::u16string& name)
    {
        (void)name;
        return -1;
    }
    // The SQL text of a saved query, where the reader can give it.
    virtual bool find_query(std::u16string_view wanted, std::u16string& name, std::u16string& sql)
    {
        (void)wanted;
        (void)name;
        (void)sql;
        return false;
    }
};
