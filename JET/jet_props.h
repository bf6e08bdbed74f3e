// The property blobs of MSysObjects.LvProp: DefaultValue, Required,
// Expression and the other properties of a table and its columns.
//
// Layout: a 4-byte signature ("KKD\0" Jet3, "MR2\0" later), then chunks of
// u32 length (the whole chunk), u16 type. Type 0x80 lists the property
// names (u16 length + text each); types 0x00..0x02 are blocks: u32 length,
// u16 length + text of the block's name (a column's name; the table's own
// block comes first), then entries of u16 length, u8 flags, u8 type, u16
// name index, u16 value length, value. Every length is checked against
// what encloses it; a damaged blob yields the properties read before the
// damage.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

class jet_file;

// Property name -> value text (Booleans "yes"/"no", numbers in decimal).
using jet_property_map = std::map<std::string, std::u16string>;

struct jet_properties {
    jet_property_map table;
    // By block name folded to lower case (tk_fold_case), as column names
    // are compared without regard to case.
    std::map<std::u16string, jet_property_map> columns;

    // The properties of a column, or null.
    const jet_property_map* column(std::u16string_view name) const;

    static jet_properties parse(const jet_file& file, const uint8_t* blob, size_t length);
};
