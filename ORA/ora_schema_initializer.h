// Turns a neutral schema into an Oracle table: valid column names, mapped
// types, defaults and NOT NULL flags, and a sequence with a trigger for an
// AutoNumber column.
#pragma once

#include <string>
#include <vector>

#include "ora_validator.h"
#include "udb_names_map.h"
#include "udb_schema.h"

class ora_database;
class udb_indexes;

class ora_schema_initializer {
public:
    ora_schema_initializer(const std::u16string& table_name, const udb_schema& source, const udb_indexes& indexes,
                           bool uppercase);

    // The CREATE TABLE text for `national_lobs` (NCLOB for memo columns).
    std::u16string create_table_text(bool national_lobs) const;
    // Sends CREATE TABLE, then the sequence and trigger. Failures after the
    // table exists are reported through the error policy, not raised.
    void build_schema(ora_database& database);
    // Creates the sequence; returns its name, or empty after 100 names in
    // use. ORA-01031 raises tk_exception (level 0).
    std::u16string create_sequence(const std::u16string& table_name, ora_database& database);
    // The trigger text that fills `column` from `sequence` on `table`.
    static std::u16string trigger_text(const std::u16string& trigger, const std::u16string& table,
                                       const std::u16string& column, const std::u16string& sequence);
    // The Oracle name each column of a table gets, in column order: upper-
    // cased when asked, made valid, and never the name of an earlier column.
    static std::vector<std::u16string> column_names(const std::vector<std::u16string>& source, bool uppercase,
                                                    ora_fn_validator& validator);
    // A trigger name for `table` of at most 30 bytes.
    static std::u16string trigger_name(const std::u16string& table, int attempt);

    const std::u16string& table_name() const { return table_name_; }
    const udb_schema& target_schema() const { return schema_; }
    const std::u16string& auto_increment_column() const { return auto_increment_; }
    // Source column name -> target column name, for every column (renamed
    // or not), so that loading finds each column by its source name.
    const t_names_map& column_map() const { return column_map_; }

private:
    void create_trigger(ora_database& database, const std::u16string& sequence);

    std::u16string table_name_;
    bool uppercase_;
    udb_schema schema_;
    std::u16string auto_increment_;
    ora_fn_validator validator_;
    t_names_map column_map_;
};
