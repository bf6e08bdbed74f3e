// Name maps: where a source name ended up in the target.
//
// A t_names_map remembers the pairs (source name -> target name) of one
// scope, for example the columns of one table; a udb_names_map holds the
// table pairs of a database and one column map per target table. Lookups
// never fail: a name without a pair maps to itself.
#pragma once

#include <map>
#include <string>
#include <string_view>

class t_names_map {
public:
    using pairs_type = std::map<std::u16string, std::u16string, std::less<>>;

    // Records source -> target. A source already present keeps its first
    // target: the first name given to an object is the one the target
    // database was built with.
    void add(std::u16string_view source, std::u16string_view target);

    // The target of the first pair, in map order, whose source equals
    // `name` (exactly when `case_sensitive`, else by case folding);
    // `name` itself when no pair matches.
    std::u16string get_mapped_name(std::u16string_view name, bool case_sensitive) const;

    const pairs_type& pairs() const { return pairs_; }
    size_t size() const { return pairs_.size(); }
    bool empty() const { return pairs_.empty(); }

private:
    pairs_type pairs_;  // ordered by the source's UTF-16 code units
};

class udb_names_map {
public:
    // Records the target name of a source table.
    void add_tn_mapping(std::u16string_view source, std::u16string_view target);
    // Stores the column map of a target table, replacing an earlier map of
    // the same table (a table created again gets its new columns).
    void add_fn_map(std::u16string_view table, const t_names_map& field_map);

    std::u16string get_tn_mapped_name(std::u16string_view name, bool case_sensitive) const;
    // The column map is found by the exact table name; the column is then
    // looked up as t_names_map::get_mapped_name does.
    std::u16string get_fn_mapped_name(std::u16string_view table, std::u16string_view field, bool case_sensitive) const;

    const t_names_map& table_map() const { return tables_; }
    // The column map of `table` (exact name), or null when none was stored.
    const t_names_map* field_map(std::u16string_view table) const;

private:
    t_names_map tables_;
    std::map<std::u16string, t_names_map, std::less<>> fields_;
};
