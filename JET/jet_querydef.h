// A DAO QueryDef: the SQL texts the component answers itself, and every
// other text through the database's query engine.
//
// Answered directly (keywords and names without regard to case, blanks
// free, an optional final ';'):
// - SELECT * FROM [name] (or a plain name) where name is a table of the
//   catalogue: the table scan, streaming the table's rows in storage
//   order, linked Access tables read from their own file;
// - SELECT szRelationship, szColumn, szObject, szReferencedObject,
//   szReferencedColumn, grbit FROM MSysRelationships ORDER BY
//   szRelationship: the relationship rows the catalogue already holds;
// - select count(*) from (<one of the above>): the number of rows.
// Everything else is the engine's (jet_sql_session), which raises DAO's
// errors for what it cannot run: 3219 for an action or DDL statement,
// 3129 for a text that is no statement, 3078, 3061, 3075 ... for a SELECT
// it cannot compile. Nothing is ever written to the file.
//
// A QueryDef may outlive its database: every call then raises 3420, and
// the recordsets it opened are closed with the database.
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
    // The result's fields (no values); reads no row.
    std::vector<jet_field> fields();
    // Compiles the text and resolves every name it uses without reading a
    // row; raises the jet_error that opening it would raise.
    void test();
    // Type and options as DAO takes them; the component's recordsets are
    // read-only whatever they ask for.
    std::unique_ptr<jet_recordset> open_recordset(int32_t type = 2, int32_t options = 0);

    // The table of a "SELECT * FROM [name]" text, or false.
    static bool match_table_scan(std::u16string_view sql, std::u16string& table);
    static bool match_relationships(std::u16string_view sql);
    // The inner text of "select count(*) from (inner)", or false.
    static bool match_count(std::u16string_view sql, std::u16string& inner);

private:
    // The table of a table scan the component answers itself, or false.
    bool own_table_scan(std::u16string_view sql, std::u16string& table);
    bool answers_itself(std::u16string_view sql);
    std::unique_ptr<jet_row_source> make_source(std::u16string_view sql);
    std::vector<jet_column> describe(std::u16string_view sql);
    std::unique_ptr<jet_row_source> table_scan(const std::u16string& table);
    std::unique_ptr<jet_row_source> relationship_rows();
    std::unique_ptr<jet_row_source> row_count(std::u16string_view inner);

    // Raises 3420 once the database is closed or gone.
    void check_open() const;

    jet_database* db_;  // valid while open_ is not closed
    std::shared_ptr<jet_open_recordsets> open_;
    std::u16string name_;
    std::u16string sql_;
};
