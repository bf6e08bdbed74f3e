// Columns and indexes of a table as DAO describes them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "jet_dao_types.h"
#include "jet_libmdb.h"

class jet_file;
struct jet_properties;
struct jet_relationship;

// Column type bytes of the file format.
enum : uint8_t {
    jet_col_bool = 0x01,
    jet_col_byte = 0x02,
    jet_col_int = 0x03,
    jet_col_long = 0x04,
    jet_col_money = 0x05,
    jet_col_float = 0x06,
    jet_col_double = 0x07,
    jet_col_datetime = 0x08,
    jet_col_binary = 0x09,
    jet_col_text = 0x0A,
    jet_col_ole = 0x0B,
    jet_col_memo = 0x0C,
    jet_col_guid = 0x0F,
    jet_col_numeric = 0x10,
    jet_col_complex = 0x12,
    jet_col_bigint = 0x13,
    jet_col_ext_datetime = 0x14,
};

struct jet_column {
    std::u16string name;
    int index = 0;         // position in libmdb's column list (column order)
    uint8_t jet_type = 0;  // the stored type byte (a calculated column's result type)
    int16_t dao_type = 0;
    int32_t size = 0;  // Field.Size: characters for Text, 0 for Memo/OLE
    bool required = false;
    bool fixed = false;
    bool auto_long = false;        // Long AutoNumber
    bool auto_guid = false;        // GUID AutoNumber (ReplicationID)
    bool calculated = false;       // Access 2010+ calculated column
    uint8_t precision = 0;         // Decimal only
    uint8_t scale = 0;             // Decimal only
    std::u16string default_value;  // the DefaultValue property as stored
    std::u16string expression;     // a calculated column's Expression property

    // Field.Attributes: dbFixedField or dbVariableField, plus
    // dbAutoIncrField for a Long AutoNumber.
    int32_t attributes() const;
};

struct jet_index {
    std::u16string name;
    bool primary = false;
    bool unique = false;
    bool foreign = false;
    bool ignore_nulls = false;
    bool required = false;
    std::vector<std::u16string> fields;
};

// The DAO type of a stored type byte; 0 for bytes DAO has no type for.
int16_t jet_dao_type_of(uint8_t jet_type);
// The stored type byte of a DAO type number; 0 for numbers with none.
uint8_t jet_type_of_dao(int16_t dao_type);

// The columns DAO lists for the table, in column order. Columns whose data
// the component cannot deliver (attachments, multi-valued fields, unknown
// types) are left out and their names added to `skipped`.
std::vector<jet_column> jet_read_columns(const jet_file& file, MdbTableDef* table, const jet_properties* props,
                                         std::vector<std::u16string>& skipped);

// The indexes DAO lists for the table: every index with its fields in key
// order, including the foreign-key index Access keeps on the referencing
// side of each enforced relationship (its fields come from the
// relationship, since the file records none for it). The internal indexes
// on the referenced side (".rB", ...) are not listed, as in DAO.
std::vector<jet_index> jet_read_indexes(MdbTableDef* table, const std::u16string& table_name,
                                        const std::vector<jet_relationship>& relationships);
