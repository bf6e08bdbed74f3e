// Field type descriptor: the description of one column of a schema.
#pragma once

#include <cstdint>
#include <string>

#include "ole_variant.h"

class udb_field;

class t_ftd {
public:
    // From a field of a record: size, name, flags and the kind of its value.
    t_ftd(const udb_field& field, const ole_variant& def_value, uint32_t extra);
    t_ftd(uint32_t size, std::u16string name, ole_vartype vartype, bool not_null, bool auto_increment,
          const ole_variant& def_value, uint32_t extra);

    uint32_t size;  // characters for text, bytes for binary data
    std::u16string name;
    ole_vartype vartype;
    bool b_auto_increment;
    bool b_not_null;
    ole_variant def_value;  // VT_EMPTY when the column has no default
    // From MS Access: 1 for a Date column with a default (every Date column
    // of a query) and for a GUID column. From Oracle, for a NUMBER column:
    // precision * 256 + scale.
    uint32_t extra;
    // Digits of the second's fraction a date column keeps: 7 for an Access
    // Date/Time Extended column (Oracle TIMESTAMP(7)), 0 for plain dates.
    uint8_t fraction_digits = 0;

private:
    void trace_created() const;
};
