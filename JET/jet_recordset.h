// A DAO Recordset over a row source: the table scan or a list of rows the
// component computed (the relationship query, a row count).
//
// The scan streams: the recordset holds the current row only. Moving back
// re-reads from the start, which DAO callers do rarely (MovePrevious).
//
// A recordset's row source reads through its database's open file. When
// the database closes (or is destroyed) first, it closes every recordset
// still registered with it, as DAO's Database.Close does: the source is
// released while the file is still there, and every later call on the
// recordset raises jet_error 3420. Destroying such a recordset is safe.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "jet_field.h"
#include "jet_value.h"

class jet_row_source {
public:
    virtual ~jet_row_source();
    virtual const std::vector<jet_column>& columns() const = 0;
    virtual void rewind() = 0;
    virtual bool next(std::vector<jet_value>& row) = 0;
    // The number of rows, as the source knows it without reading them.
    virtual int32_t count() const = 0;
};

class jet_recordset;

// The recordsets open on one database. Shared between the database and
// its recordsets and querydefs, so that whichever goes last frees it; it
// holds no pointer into the database.
class jet_open_recordsets {
public:
    void add(jet_recordset* rs);
    void remove(jet_recordset* rs);
    // Closes every registered recordset; after it, closed() is true and
    // add() refuses with 3420.
    void close_all();
    bool closed() const;
    // Raises jet_error 3420 once the database is closed.
    void check_open() const;

private:
    mutable std::mutex mutex_;
    std::vector<jet_recordset*> open_;
    bool closed_ = false;
};

class jet_recordset {
public:
    // Registered with `owner` (when given) until closed or destroyed.
    explicit jet_recordset(std::unique_ptr<jet_row_source> source,
                           std::shared_ptr<jet_open_recordsets> owner = nullptr);
    ~jet_recordset();
    jet_recordset(const jet_recordset&) = delete;
    jet_recordset& operator=(const jet_recordset&) = delete;

    // EOF and BOF; 3420 once closed.
    bool eof() const
    {
        check_open();
        return eof_;
    }
    bool bof() const
    {
        check_open();
        return bof_;
    }
    // Each raises jet_error 3021 when there is no row to move to.
    void move_first();
    void move_next();
    void move_previous();
    // The fields with the current row's values; 3021 without a current row.
    const std::vector<jet_field>& fields() const;
    int32_t record_count() const
    {
        check_open();
        return source_->count();
    }
    // Recordset.Close: releases the row source; any later call but the
    // destructor raises 3420. Closing twice is harmless.
    void close();
    bool is_open() const { return source_ != nullptr; }

private:
    friend class jet_open_recordsets;

    bool fetch();
    void check_open() const
    {
        if (!source_) raise_closed();
    }
    [[noreturn]] static void raise_closed();
    // close() without leaving the owner's list; the owner holds its lock.
    void release();

    std::unique_ptr<jet_row_source> source_;
    std::shared_ptr<jet_open_recordsets> owner_;
    std::vector<jet_field> fields_;
    std::vector<jet_value> row_;
    int64_t position_ = -1;  // index of the current row
    bool eof_ = true;
    bool bof_ = true;
};
