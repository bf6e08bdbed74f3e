// Keys and indexes of a table, independent of the database they come from.
#pragma once

#include <string>
#include <string_view>
#include <vector>

using udb_name_list = std::vector<std::u16string>;

class udb_index {
public:
    udb_index() = default;
    udb_index(std::u16string name, bool unique, bool primary, udb_name_list fields);

    // True when the index's first columns are `names`, in order, compared
    // by case folding; an empty list is a prefix of every index.
    bool starts_with_fields(const udb_name_list& names) const;
    // True when the index has exactly as many columns as `names` and each
    // of `names` is one of them (exact comparison, any order).
    bool consists_of_fields(const udb_name_list& names) const;

    std::u16string name;
    bool unique = false;
    bool primary = false;
    udb_name_list fields;  // in key order
};

class udb_indexes : public std::vector<udb_index> {
public:
    // True when no index has `name` (case folded).
    bool is_acceptable_name(std::u16string_view name) const;
    // The index named `name` (case folded); a missing one is an internal error.
    const udb_index& get_index(std::u16string_view name) const;
    udb_index& get_index(std::u16string_view name);
    // Whether `column` is a column of some index (exact comparison); with
    // `primary_only`, of the primary key.
    bool is_idx_field(std::u16string_view column, bool primary_only) const;
    // The first index, in list order, that starts with `names` decides:
    // none gives false; otherwise true, or its unique flag when `unique`
    // is asked for.
    bool has_index_on_fields(const udb_name_list& names, bool unique) const;

private:
    const udb_index* find(std::u16string_view name) const;
};
