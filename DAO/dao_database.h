// One open MS Access database: its catalogue of user tables, the foreign
// keys recorded in MSysRelationships, and the recordsets over its tables
// and SELECT queries.
//
// System tables and tables linked to another Access file are left out of
// the catalogue; tables linked through ODBC stay in it. Writing (creating
// and dropping tables) is refused by the component with DAO's error 3251:
// Access files are only ever read.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "jet_database.h"
#include "ole_com_ptr.h"
#include "tk_exception.h"
#include "udb_database.h"

class dao_recordset;
class jet_recordset;
class jet_querydef;

class dao_database : public udb_database {
public:
    // Where a failure while reading the relationships goes: the database
    // opens all the same. The conversion driver installs a sink that sets
    // the error handler's context to `database` and hands the exception to
    // error_handler::handle (not top level); the default sink traces it.
    // The sink may raise (tk_final_exception ends the run).
    using error_sink = void (*)(const std::u16string& database, const tk_exception& e);
    static void set_error_sink(error_sink sink);
    static error_sink get_error_sink();

    // Open-mode bits.
    static constexpr int k_read_only = 1;
    static constexpr int k_open_existing = 8;
    static constexpr int k_skip_relationships = 32 | 64;

    dao_database(const std::u16string& name, std::unique_ptr<jet_database> db, int mode);
    ~dao_database() override;

    std::unique_ptr<udb_recordset> create_table(const std::u16string& name, const udb_schema& schema,
                                                const udb_indexes& indexes) override;
    void delete_tab(const std::u16string& name) override;
    // Null for a linked or system table; an internal error for a name the
    // database does not have at all.
    std::unique_ptr<udb_recordset> get_table(const std::u16string& name, int mode) override;
    std::unique_ptr<udb_recordset> get_query(const std::u16string& name, const std::u16string& text, int mode) override;
    bool test_query(const std::u16string& text) override;

    // The statement a table is read with: SELECT * FROM [name].
    static std::u16string table_statement(const std::u16string& table);
    // True for the tables the catalogue leaves out (linked to another
    // Access file, or system objects).
    static bool is_skipped(int32_t attributes);

    jet_database& dao() const { return *db_; }

private:
    void read_catalogue();
    void init_fkeys();
    void read_relationship_rows(jet_recordset& rs);
    void finish_relationship(udb_relationship& rel);
    // The rows of `sql` in a temporary, unnamed query definition.
    std::unique_ptr<jet_querydef> temp_querydef(const std::u16string& sql);
    uint32_t count_rows(const std::u16string& sql);

    ole_com_ptr<jet_database> db_;
};
