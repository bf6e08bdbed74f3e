// The definitions of a new Access table made from a neutral schema and
// index list: DAO field types and sizes, defaults as Access takes them,
// and names Access accepts (a name it refuses is replaced by a generated
// one). Used by dao_database::create_table.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "udb_index.h"

class udb_schema;
class ole_variant;

struct dao_field_def {
    std::u16string name;
    int16_t type = 0;
    int32_t size = 0;
    bool required = false;
    bool allow_zero_length = true;
    int32_t attributes = 0;        // 0x10 for a Long AutoNumber
    std::u16string default_value;  // empty for none
};

class dao_schema_initializer {
public:
    explicit dao_schema_initializer(const udb_schema& schema) : schema_(schema) {}
    // One definition per schema entry, in order; a kind Access cannot hold
    // raises ole_type_exception.
    std::vector<dao_field_def> initialize() const;

    // Access's DefaultValue text for a default of the given kind: integers
    // the Access side cannot store narrowed first, dates in their
    // canonical text, other values quoted; binary kinds have none.
    static std::u16string default_text(const ole_variant& value);
    // "..." with inner double quotes doubled, as Access reads a string.
    static std::u16string quote_def_value(const std::u16string& text);

private:
    const udb_schema& schema_;
};

class dao_indexes_initializer {
public:
    dao_indexes_initializer(const udb_indexes& indexes, const udb_schema& schema) : indexes_(indexes), schema_(schema)
    {}
    // The indexes with names Access accepts and without the columns that
    // cannot be indexed (binary, or text of 256 characters and more).
    udb_indexes initialize() const;

private:
    const udb_indexes& indexes_;
    const udb_schema& schema_;
};
