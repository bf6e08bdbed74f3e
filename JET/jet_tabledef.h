// A DAO TableDef: a table of the catalogue with its attributes, record
// count, fields and indexes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "jet_catalog.h"
#include "jet_column.h"
#include "jet_field.h"

class jet_database;
class jet_table_reader;

class jet_tabledef {
public:
    jet_tabledef(jet_database& db, const jet_catalog_entry& entry);
    ~jet_tabledef();
    jet_tabledef(jet_tabledef&&) noexcept;
    jet_tabledef& operator=(jet_tabledef&&) noexcept;

    const std::u16string& name() const { return entry_.name; }
    int32_t attributes() const { return entry_.attributes; }
    const std::u16string& connect() const { return entry_.connect; }
    const std::u16string& source_table_name() const { return entry_.foreign_name; }
    // The row count the table definition stores; a stored 0 is checked by
    // reading, so that a stale count never hides rows. -1 for a linked
    // table, as DAO reports it.
    int32_t record_count();
    std::vector<jet_field> fields();
    std::vector<jet_index> indexes();
    // Columns left out of fields() (attachments, multi-valued fields).
    std::vector<std::u16string> skipped_columns();

    // A reader over the table's rows (the table scan); raises jet_error
    // 3078 for a table the component cannot scan (linked tables).
    std::unique_ptr<jet_table_reader> open_reader() const;

private:
    jet_table_reader& reader();

    jet_database* db_;
    jet_catalog_entry entry_;
    std::unique_ptr<jet_table_reader> reader_;
};
