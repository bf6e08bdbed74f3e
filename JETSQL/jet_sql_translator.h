// Turns a parsed Access SELECT into SQLite SQL over the tables the engine
// loads, resolving every name and computing the DAO schema of the result.
//
// Values in SQLite follow Access: Booleans are -1/0, dates OLE date
// numbers (REAL), Currency and Decimal REAL, text compared with the
// JETTEXT collation (case-insensitive, as Access compares text). Access
// operators and functions whose SQLite counterparts differ are calls of
// the jet_* functions of jet_sql_functions.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "jet_sql_ast.h"
#include "jet_sql_source.h"

struct jet_sql_result_column {
    std::u16string name;
    int32_t dao_type = jet_dao_text;
    int32_t size = 255;
};

// What the translator asks of the engine: the columns of a table (the
// engine makes the table exist in SQLite, empty until it is loaded) and
// the SQL of a saved query.
class jet_sql_catalog {
public:
    virtual ~jet_sql_catalog() = default;
    virtual const std::vector<jet_sql_column>* table(std::u16string_view wanted, std::u16string& name) = 0;
    virtual bool saved_query(std::u16string_view wanted, std::u16string& name, std::u16string& sql) = 0;
};

struct jet_sql_translation {
    // UTF-8. Each table reference is the marker "\x01<i>\x01", i the
    // table's position in `tables`: the engine decides which SQLite table
    // stands for it (a streaming scan or a loaded copy).
    std::string sql;
    std::vector<jet_sql_result_column> columns;
    std::vector<std::u16string> tables;  // base tables read, each once
    std::vector<int> table_references;   // how often each is named
    // Per table, per column: whether the statement reads the column. The
    // engine copies only those; `*` and `t.*` read them all.
    std::vector<std::vector<bool>> columns_used;
    // Columns compared for equality in join conditions: worth an index.
    std::vector<std::pair<std::u16string, std::u16string>> index_hints;
    // One SELECT whose FROM joins base tables by inner joins only: no
    // subquery, derived table, union or outer join. SQLite may then read
    // any one of its tables as the outermost loop, once.
    bool plain_inner_join = false;
};

// The marker of table i in jet_sql_translation::sql.
std::string jet_sql_table_marker(size_t i);

// Raises DAO's errors: 3078 for an unknown table or query, 3061 "Too few
// parameters. Expected n." for names that resolve to nothing (Access takes
// them as parameters), 3079 for an ambiguous column, 3085 for an unknown
// function, 3306 and 3307 for subquery and union shapes, 3122 for a
// column neither grouped nor aggregated.
jet_sql_translation jet_sql_translate(const jet_sql_query& query, jet_sql_catalog& catalog);

// The DAO type of an arithmetic result of two operand types (Access's
// widening: Byte, Integer, Long, Single, Double, Currency, Decimal; Single
// with Long gives Double).
int32_t jet_sql_widen(int32_t a, int32_t b);
