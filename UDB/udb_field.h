// A cell of a record: a value together with the description of its column.
#pragma once

#include <cstdint>
#include <string>

#include "ole_variant.h"

class udb_field : public ole_variant {
public:
    udb_field();
    udb_field(std::u16string name, int32_t size, const ole_variant& value, bool not_null, bool auto_increment);
    udb_field(const udb_field&) = default;
    udb_field& operator=(const udb_field&) = default;
    udb_field(udb_field&&) noexcept = default;
    udb_field& operator=(udb_field&&) noexcept = default;
    ~udb_field() override;

    // The VARIANT type code of the value.
    virtual ole_vartype get_type() const;

    int32_t size = 0;
    std::u16string name;
    bool b_not_null = false;
    bool b_auto_increment = false;
};
