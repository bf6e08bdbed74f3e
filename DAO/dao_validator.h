// Name rules for names written into an MS Access database: no length
// limit, no leading or trailing blank, not empty, and none of the
// characters ` ! [ ] . (which Access reserves for its own syntax).
#pragma once

#include "udb_validator.h"

class udb_schema;
class udb_indexes;

class dao_validator : public udb_validator {
public:
    dao_validator();

    bool is_acceptable(std::u16string_view name) const override;
    // Trims blanks at both ends, then applies the base rules.
    std::u16string get_safe_name(std::u16string_view name) const override;
};

// Column names: the names of the given descriptors count as used.
class dao_fn_validator : public dao_validator {
public:
    explicit dao_fn_validator(const udb_schema& fields);
};

// Index names: the names of the given indexes count as used.
class dao_in_validator : public dao_validator {
public:
    explicit dao_in_validator(const udb_indexes& indexes);
};
