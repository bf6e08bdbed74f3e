// One cell of an Access row (or one column of a table or query without a
// value): name, size, flags and the value as the component delivers it,
// with the type mappings between DAO's field types and the neutral kinds.
#pragma once

#include <cstdint>
#include <string>

#include "udb_field.h"

class jet_field;

class dao_field : public udb_field {
public:
    // Reads Name, Size, Required, Attributes and, with `with_value`, the
    // value of the current row. A value that cannot be read leaves the
    // field VT_EMPTY.
    dao_field(const jet_field& field, bool with_value);
    dao_field(const dao_field&) = default;
    dao_field& operator=(const dao_field&) = default;
    ~dao_field() override;

    // A date on 1899-12-30 (Access's time without a date) prints as
    // "0000-00-00 HH:MM:SS", or "00:00:00" at midnight; every other value
    // prints as ole_variant does.
    std::string to_string() const override;
    std::u16string to_wstring() const override;
    // The kind of the value; without one (VT_EMPTY), the kind of the
    // column's DAO type. A NULL value reports VT_NULL.
    ole_vartype get_type() const override;

    int16_t dao_type() const { return dao_type_; }

    // DAO field type → neutral kind. Decimal is VT_DECIMAL (exact), BigInt
    // VT_I8, Date/Time Extended VT_DATE; types without a kind are VT_BLOB.
    static ole_vartype get_vartype(int dao_type);
    // Neutral kind → DAO field type for a new column of `size`; a kind
    // Access cannot hold raises ole_type_exception.
    static int16_t get_native_type(ole_vartype vt, uint32_t size);

    // The fake-date rewriting of a date text (see to_string).
    static std::string rewrite_fake_date(std::string text);
    static std::u16string rewrite_fake_date(std::u16string text);

private:
    void read_value(const jet_field& field);

    int16_t dao_type_ = 0;
    bool spare_ = false;
};
