// A DAO QueryDef and the SQL texts the component runs itself.
//
// Recognised texts (keywords and names without regard to case, blanks
// free, an optional final ';'):
// - SELECT * FROM [name] (or a plain name): the table scan, streaming the
//   table's rows in storage order;
// - SELECT szRelationship, szColumn, szObject, szReferencedObject,
//   szReferencedColumn, grbit FROM MSysRelationships ORDER BY
//   szRelationship: the relationship rows;
// - select count(*) from (<one of the above>): the number of rows.
// Any other SELECT raises jet_error 3251, an action or DDL statement
// 3219, any other text 3129; the general query engine takes over there.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "jet_field.h"
#include "jet_recordset.h"

class jet_database;

class jet_querydef {
public:
    jet_querydef(jet_database& db, std::u16string name, std::u16string sql);
    ~jet_querydef();

    const std::u16string& name() const { return name_; }
    const std::u16string& sql() const { return sql_; }
    // The result's fields (no values).
    std::vector<jet_field> fields();
    // Type and options as DAO takes them; the component's recordsets are
    // read-only whatever they ask for.
    std::unique_ptr<jet_recordset> open_recordset(int32_t type = 2, int32_t options = 0);

    // The table of a "SELECT * FROM [name]" text, or false.
    static bool match_table_scan(std::u16string_view sql, std::u16string& table);
    static bool match_relationships(std::u16string_view sql);
    // The inner text of "select count(*) from (inner)", or false.
    static bool match_count(std::u16string_view sql, std::u16string& inner);

private:
    std::unique_ptr<jet_row_source> make_source(std::u16string_view sql);
    std::unique_ptr<jet_row_source> table_scan(const std::u16string& table);
    std::unique_ptr<jet_row_source> relationship_rows();
    std::unique_ptr<jet_row_source> row_count(std::u16string_view inner);

    jet_database* db_;
    std::u16string name_;
    std::u16string sql_;
};
