// Reading and writing the dictionary of one schema.
#pragma once

#include "emu_session.h"
#include "emu_store.h"

#include <optional>
#include <string>
#include <vector>

namespace emu {

struct column_meta {
    std::string name;
    int id = 0;
    col_type type = col_type::varchar2;
    std::string data_type;       // as USER_TAB_COLUMNS shows it
    int data_length = 0;         // bytes
    int precision = -1;          // -1: NULL
    int scale = -1;              // -1: NULL (TIMESTAMP: fractional digits)
    bool nullable = true;
    std::optional<std::string> data_default;
    int char_length = 0;
    bool char_sem = false;

    column_info info() const;
};

struct constraint_meta {
    std::string name;
    char type = 'P';
    std::string table;
    std::vector<std::string> columns;
    std::string r_owner, r_name;  // referenced constraint
    std::string delete_rule;      // CASCADE, SET NULL, NO ACTION
    std::string index_name;
    std::string search_condition;
};

struct table_meta {
    std::string owner, name;
    int64_t obj_id = 0;
    std::vector<column_meta> columns;
    std::vector<constraint_meta> constraints;
    // UNIQUE indexes made by CREATE UNIQUE INDEX (not a key's own index):
    // Oracle refuses duplicates through them just as through a key.
    std::vector<constraint_meta> unique_indexes;

    // The SQLite table: "OWNER.NAME" (see sqlite_ident for mixed-case names).
    std::string sqlite_name() const { return owner + "." + sqlite_ident(name); }
    int find(const std::string& column) const;   // -1 when absent
};

struct trigger_meta {
    std::string name, table, type, event, when_clause, body;
    bool valid = false;
};

struct sequence_meta {
    std::string name;
    std::string min_value, max_value, increment, last_number, next_value;
    bool cycle = false;
    int64_t cache = 0;
};

class catalog {
public:
    explicit catalog(store& s) : s_(s) {}

    // Object of the table/sequence namespace ("TABLE", "SEQUENCE") or empty.
    std::string object_type(const std::string& owner, const std::string& name);
    std::optional<table_meta> table(const std::string& owner, const std::string& name);
    table_meta table_by_id(int64_t obj_id);
    std::vector<constraint_meta> constraints_of(const std::string& owner, const std::string& table);
    std::optional<constraint_meta> constraint(const std::string& owner, const std::string& name);
    // Foreign keys of any table that reference a key of `table`.
    std::vector<constraint_meta> referencing(const std::string& owner, const std::string& table);
    std::vector<trigger_meta> triggers_of(const std::string& owner, const std::string& table);
    std::optional<sequence_meta> sequence(const std::string& owner, const std::string& name);
    bool index_exists(const std::string& owner, const std::string& name);
    // Indexes of a table: name -> ordered columns.
    std::vector<std::pair<std::string, std::vector<std::string>>> indexes_of(const std::string& owner,
                                                                             const std::string& table);

    int64_t add_object(const std::string& owner, const std::string& name, const std::string& type);
    void remove_object(const std::string& owner, const std::string& name, const std::string& type);
    void add_column(const std::string& owner, const std::string& table, const column_meta& c);
    void update_column(const std::string& owner, const std::string& table, const column_meta& c);
    void add_constraint(const std::string& owner, const constraint_meta& c, bool generated);
    void drop_constraint(const std::string& owner, const std::string& name);
    void add_index(const std::string& owner, const std::string& name, const std::string& table,
                   const std::vector<std::pair<std::string, bool>>& columns, bool unique, bool generated);
    void drop_index(const std::string& owner, const std::string& name);
    std::string system_name();   // SYS_C00nnnn

private:
    store& s_;
};

}  // namespace emu
