// The streaming scan of one table: rows in storage order, one at a time,
// each value read from its stored bytes.
//
// libmdb walks the data pages and locates each row's fields; the values
// themselves are decoded here, because libmdb's bound strings cannot tell
// NULL from an empty text, cut memos and binary data, print dates wrongly
// far from 1900 and do not know the newer types. Memory stays flat: one
// page, one row.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "jet_column.h"
#include "jet_libmdb.h"
#include "jet_props.h"
#include "jet_value.h"

class jet_file;

class jet_table_reader {
public:
    // Reads the table definition of `entry`, with the column properties of
    // `props` (may be null); raises jet_error 3343 when it is not a sound
    // table definition.
    jet_table_reader(const jet_file& file, MdbCatalogEntry* entry, const jet_properties* props = nullptr);
    ~jet_table_reader();
    jet_table_reader(const jet_table_reader&) = delete;
    jet_table_reader& operator=(const jet_table_reader&) = delete;

    const std::vector<jet_column>& columns() const { return columns_; }
    const std::vector<std::u16string>& skipped() const { return skipped_; }
    MdbTableDef* table() const { return table_.get(); }
    // The row count the table definition stores (may be stale).
    uint32_t stored_row_count() const { return table_->num_rows; }
    // Position of a column by name (without regard to case), or -1.
    int find_column(std::u16string_view name) const;

    void rewind();
    // Reads the next row into `row` (one value per column); false at the end.
    bool next(std::vector<jet_value>& row);
    // From now on decodes only the columns `wanted` flags (one flag per
    // column); the others read NULL. Empty: every column.
    void set_wanted(std::vector<bool> wanted);

private:
    void check_skipped(uint32_t from_page, unsigned from_slot, uint32_t to_page, unsigned to_slot);
    void check_slots(uint32_t page, unsigned first, unsigned end);
    unsigned page_slots() const;
    void decode(const jet_column& col, const MdbField& field, jet_value& out) const;
    void decode_calculated(const jet_column& col, const uint8_t* p, size_t n, jet_value& out) const;
    void decode_fixed(const jet_column& col, const uint8_t* p, size_t n, jet_value& out) const;
    void decode_long(const jet_column& col, const uint8_t* p, size_t n, jet_value& out) const;

    const jet_file& file_;
    jet_table_ptr table_;
    std::vector<jet_column> columns_;
    std::vector<std::u16string> skipped_;
    std::vector<MdbField> fields_;
    std::vector<bool> wanted_;
    unsigned slots_ = 0;  // row slots of the page the last row came from
    bool at_end_ = false;
    // Pages the scan has entered; a sound scan enters each data page once,
    // so more than the file holds means libmdb is going round in circles
    // (a damaged usage map it reads by brute force).
    uint32_t last_page_ = 0;
    uint32_t pages_entered_ = 0;
};
