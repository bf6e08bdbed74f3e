// The query engine of one open database: what a jet_database keeps to run
// the SELECT statements that are neither a table scan nor one of the texts
// it answers itself. Made on first use; destroyed before the database.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "jet_recordset.h"
#include "jet_sql_engine.h"
#include "jet_sql_file_source.h"

class jet_database;

class jet_sql_session {
public:
    explicit jet_sql_session(jet_database& db);
    ~jet_sql_session();
    jet_sql_session(const jet_sql_session&) = delete;
    jet_sql_session& operator=(const jet_sql_session&) = delete;

    // The rows of a statement, as a row source for a jet_recordset; raises
    // the statement's DAO error.
    std::unique_ptr<jet_row_source> open(std::u16string_view sql);
    // Compiles the statement and resolves its names without reading rows.
    void test(std::u16string_view sql);
    // The result's columns, found as test() finds them: no row is read.
    std::vector<jet_column> describe(std::u16string_view sql);
    jet_sql_engine& engine() { return engine_; }

private:
    jet_sql_file_source source_;
    jet_sql_engine engine_;
};
