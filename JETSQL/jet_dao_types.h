// DAO's numbers for the kinds of a field, as every layer above the toolkit
// uses them: Field.Type for the query engine's source and result columns,
// the Access component's columns and the dao_ layer's mappings, and the
// Field.Attributes bits the component reports. The one place they are
// written down.
#pragma once

#include <cstdint>

// Field.Type.
enum : int16_t {
    jet_dao_boolean = 1,
    jet_dao_byte = 2,
    jet_dao_integer = 3,
    jet_dao_long = 4,
    jet_dao_currency = 5,
    jet_dao_single = 6,
    jet_dao_double = 7,
    jet_dao_date = 8,
    jet_dao_binary = 9,
    jet_dao_text = 10,
    jet_dao_long_binary = 11,
    jet_dao_memo = 12,
    jet_dao_guid = 15,
    jet_dao_bigint = 16,
    jet_dao_numeric = 19,  // ODBC sources only
    jet_dao_decimal = 20,
    jet_dao_float = 21,  // ODBC sources only
    jet_dao_time = 22,   // ODBC sources only
    jet_dao_date_time_extended = 26,
    jet_dao_attachment = 101,
};

// Field.Attributes bits.
enum : int32_t {
    jet_field_fixed = 0x1,
    jet_field_variable = 0x2,
    jet_field_auto_increment = 0x10,
};
