// The SQL text of a saved query, rebuilt from its rows in MSysQueries.
//
// Access keeps a saved SELECT as one row per element (attribute 1 the
// query type, 3 the DISTINCT/TOP flags, 5 the tables, 6 the output
// columns, 7 the joins, 8 WHERE, 9 GROUP BY, 10 HAVING, 11 ORDER BY), in
// storage order. Only plain SELECT queries are rebuilt; the other kinds
// (unions, crosstabs, action queries, queries on other databases) are not,
// and the engine then treats the name as unknown.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct jet_sql_query_row {
    int32_t attribute = 0;
    int32_t flag = 0;
    std::u16string name1;
    std::u16string name2;
    std::u16string expression;
};

// False when the rows do not describe a SELECT query this can rebuild.
bool jet_sql_rebuild_query(const std::vector<jet_sql_query_row>& rows, std::u16string& sql);
