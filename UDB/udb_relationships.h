// Foreign keys between tables, as read from a source database.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "udb_index.h"

struct udb_relationship {
    std::u16string name;        // the foreign-key name used in the target
    std::u16string spare_name;  // not filled by the MS Access side
    std::u16string table;       // the table holding the foreign key
    std::u16string ref_table;   // the table referred to
    // The relationship's name as the source stores it, or for a foreign
    // key read from Oracle "ON DELETE " and its delete rule.
    std::u16string source_text;
    udb_name_list fields;      // the foreign-key columns
    udb_name_list ref_fields;  // the referred columns, in the same order
};

class udb_relationships : public std::vector<udb_relationship> {
public:
    // True when no relationship has `name` (case folded).
    bool is_acceptable_name(std::u16string_view name) const;
    // The relationship named `name` (case folded); a missing one is an
    // internal error.
    const udb_relationship& get_index(std::u16string_view name) const;
    udb_relationship& get_index(std::u16string_view name);
    // "FK_" + referenced table + "_" + table, extended by the suffix cycle
    // "_", "1", "_", "2", "_", "3" until no relationship has the name.
    std::u16string gen_relship_name(const udb_relationship& relationship) const;

private:
    const udb_relationship* find(std::u16string_view name) const;
};
