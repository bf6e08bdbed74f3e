// A DAO Recordset over a row source: the table scan or a list of rows the
// component computed (the relationship query, a row count).
//
// The scan streams: the recordset holds the current row only. Moving back
// re-reads from the start, which DAO callers do rarely (MovePrevious).
#pragma once

#include <cstdint>
#include <memory>
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

class jet_recordset {
public:
    explicit jet_recordset(std::unique_ptr<jet_row_source> source);
    ~jet_recordset();
    jet_recordset(const jet_recordset&) = delete;
    jet_recordset& operator=(const jet_recordset&) = delete;

    bool eof() const { return eof_; }
    bool bof() const { return bof_; }
    // Each raises jet_error 3021 when there is no row to move to.
    void move_first();
    void move_next();
    void move_previous();
    // The fields with the current row's values; 3021 without a current row.
    const std::vector<jet_field>& fields() const;
    int32_t record_count() const { return source_->count(); }
    void close();

private:
    bool fetch();

    std::unique_ptr<jet_row_source> source_;
    std::vector<jet_field> fields_;
    std::vector<jet_value> row_;
    int64_t position_ = -1;  // index of the current row
    bool eof_ = true;
    bool bof_ = true;
};
