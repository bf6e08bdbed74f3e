// A recordset walks the rows of a table or query of the source, or
// receives the rows of a table of the target.
//
// The record returned by get_item belongs to the recordset and stays valid
// until the next get_item or the recordset's destruction.
#pragma once

#include <cstdint>
#include <string>

#include "udb_index.h"
#include "udb_schema.h"

class udb_record;

class udb_recordset {
public:
    udb_recordset(std::u16string name, std::u16string query_text, bool schema_owns_descriptors);
    udb_recordset(std::u16string name, bool schema_owns_descriptors);
    virtual ~udb_recordset();
    udb_recordset(const udb_recordset&) = delete;
    udb_recordset& operator=(const udb_recordset&) = delete;

    // Writes `record` as a new row; a target converts it with
    // convert_record first, which changes the values in place.
    virtual void append_record(udb_record& record) = 0;
    // Changes the row with the key of `record`; nothing in the base.
    virtual void update(udb_record& record);
    // The record of the current row, or null (the base has no rows).
    virtual udb_record* get_item();
    virtual bool is_eof();
    virtual bool is_query() const;
    virtual void next();
    virtual void move_prev();
    virtual void move_first();

    // Appends `index` unless one of the same name (case folded) is already
    // there; the first primary or unique index becomes the key index.
    void add_index(const udb_index& index);
    // Changes each field of `record`, in place, to the type of the schema
    // column at the same position. Fields and columns are paired by
    // position; a field without a column raises std::out_of_range.
    void convert_record(udb_record& record) const;

    std::u16string query_text;  // empty for a table
    std::u16string name;
    udb_schema schema;
    udb_indexes indexes;
    int32_t record_count = 0;
    int32_t key_index = -1;  // position in `indexes`, -1 while none
};
