// A database: its catalogue of tables, the factory of its recordsets and
// the name pairs recorded while converting into it.
//
// Objects returned by the factory operations belong to the caller.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "udb_names_map.h"
#include "udb_recordset.h"
#include "udb_relationships.h"

class udb_database {
public:
    udb_database(std::u16string name, int32_t open_mode, bool case_sensitive_names);
    virtual ~udb_database();
    udb_database(const udb_database&) = delete;
    udb_database& operator=(const udb_database&) = delete;

    // Creates the table with the columns of `schema` and the keys and
    // indexes of `indexes`; returns a recordset on it for appending rows.
    virtual std::unique_ptr<udb_recordset> create_table(const std::u16string& name, const udb_schema& schema,
                                                        const udb_indexes& indexes) = 0;
    // Implementations drop the table, then call this, which removes the
    // name from the catalogue; a name not in it is an internal error.
    virtual void delete_tab(const std::u16string& name);
    // A recordset on an existing table, or null for a table that must not
    // be converted.
    virtual std::unique_ptr<udb_recordset> get_table(const std::u16string& name, int mode) = 0;
    virtual std::unique_ptr<udb_recordset> get_query(const std::u16string& name, const std::u16string& text,
                                                     int mode) = 0;
    virtual bool test_query(const std::u16string& text) = 0;
    // Executes a statement; not supported unless an implementation says so.
    virtual void query(const std::u16string& text);
    virtual void create_relationships(const udb_relationships& relationships);
    // Searches the catalogue, by case folding unless names are case-sensitive.
    virtual bool is_table_exist(const std::u16string& name);

    int32_t open_mode;
    std::u16string name;  // path or service name
    bool case_sensitive_names;
    std::vector<std::u16string> table_names;  // the catalogue
    udb_names_map names_map;
    udb_relationships relationships;

protected:
    bool same_table_name(std::u16string_view a, std::u16string_view b) const;
};
