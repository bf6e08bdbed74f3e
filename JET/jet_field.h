// A DAO Field: a column's description and, in a Recordset, its value in
// the current row as DAO delivers it.
#pragma once

#include <cstdint>
#include <string>

#include "jet_column.h"
#include "jet_value.h"
#include "ole_variant.h"

class jet_field {
public:
    // A TableDef or QueryDef field: no value.
    explicit jet_field(const jet_column& column);

    const std::u16string& name() const { return column_.name; }
    int16_t type() const { return column_.dao_type; }
    int32_t size() const { return column_.size; }
    bool required() const { return column_.required; }
    int32_t attributes() const { return column_.attributes(); }
    const std::u16string& default_value() const { return column_.default_value; }
    const jet_column& column() const { return column_; }

    // The value in the current row; raises jet_error 3219 on a field that
    // has none (a TableDef's).
    const ole_variant& value() const;
    const jet_value& raw_value() const;
    void set_value(const jet_value& v);

    // The value as DAO types it: NULL as VT_NULL, Yes/No as VT_BOOL (true
    // all bits set), Currency as exact VT_CY, Decimal as exact VT_DECIMAL
    // with its scale, dates as VT_DATE, GUIDs as the text "{guid {...}}",
    // binary data as byte arrays, BigInt as VT_I8.
    static ole_variant to_variant(const jet_value& v);

private:
    jet_column column_;
    bool has_value_ = false;
    jet_value raw_;
    ole_variant value_;
};
