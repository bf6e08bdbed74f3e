// Translation of Oracle queries and expressions into SQLite SQL.
//
// Every Oracle table is read from its SQLite table "OWNER.TABLE"; the
// dictionary views come from the oraemu_* tables, filtered on the session's
// user. NUMBER values are stored as exact decimal text, so a number column
// used in arithmetic, comparison or ordering is cast to a SQLite number,
// while one fetched as it stands keeps its exact text.
#pragma once

#include "emu_impl.h"

#include <set>
#include <string>
#include <vector>

namespace emu {

// A translated expression.
struct scalar {
    std::string sql;
    col_type type = col_type::varchar2;
    bool numeric_sql = false;   // the SQLite value is already a number
    bool is_column = false;
    column_info info;           // for a column reference: its description
    bool text_literal = false;  // a plain string literal (text in `literal`)
    std::string literal;
};

// One column of a translated query.
struct out_column {
    column_info info;
    int rowid_col = -1;         // hidden column holding the row key (LOB columns)
    std::string owner, table;   // LOB source table
    std::string column;         // LOB source column
};

struct compiled_query {
    std::string sql;
    std::vector<out_column> cols;
    std::vector<std::string> binds;                 // placeholder names in order
    std::vector<std::pair<int, int64_t>> lock_cols; // hidden row key column, table object
    bool limited = false;                           // ROWNUM, FETCH FIRST or OFFSET cut its rows
};

struct src_col {
    std::string name;
    column_info info;
    std::string sql;
    bool numeric_sql = false;
};

struct source {
    std::string alias;          // name used to qualify columns
    std::string from_sql;       // "\"U.T\" AS t1" or "(...) AS t1"
    std::string sql_alias;      // t1
    std::vector<src_col> cols;
    bool base = false;          // a user table
    int64_t obj_id = 0;
    std::string owner, table;
};

struct scope {
    std::vector<source> sources;
    scope* parent = nullptr;
};

class translator {
public:
    explicit translator(session::impl& s) : s_(s) {}

    compiled_query query(const select_stmt& q, scope* parent = nullptr);
    scalar expression(const expr& e, scope& sc);
    // A condition (WHERE/ON/HAVING) as SQLite text.
    std::string condition(const expr& e, scope& sc) { return expression(e, sc).sql; }
    // The source for a user table (for UPDATE and DELETE).
    source table_source(const table_meta& t, const std::string& alias);
    std::vector<std::string>& binds() { return binds_; }
    // Sequences whose NEXTVAL the current row has already taken: a later
    // NEXTVAL of the same row gives the same number, as in Oracle. Shared
    // by the translators of one row's expressions (INSERT ... VALUES).
    void share_row_sequences(std::set<std::string>& taken) { taken_ = &taken; }

private:
    scalar column_ref(const expr& e, scope& sc);
    scalar function(const expr& e, scope& sc);
    scalar aggregate(const expr& e, scope& sc);
    scalar binop(const expr& e, scope& sc);
    scalar comparison(const std::string& op, scalar l, scalar r);
    scalar arithmetic(const std::string& op, scalar l, scalar r);
    scalar rowid_ref(const expr& e, scope& sc);
    scalar sequence_ref(const expr& e);
    std::string subquery_sql(const select_stmt& q, scope& sc, compiled_query* out = nullptr);
    std::string num(const scalar& s) const;
    source from_source(const from_item& f, scope* parent);
    source view_source(const std::string& name, const std::string& alias);
    void select_list(const select_stmt& q, scope& sc, compiled_query& cq, std::string& sql,
                     std::vector<std::string>& item_sql);
    std::string order_by(const select_stmt& q, scope& sc, const compiled_query& cq,
                         const std::vector<std::string>& item_sql);
    // The ORDER BY keys and their directions (" ASC NULLS LAST" ...).
    std::vector<std::pair<std::string, std::string>> order_keys(const select_stmt& q, scope& sc,
                                                                const compiled_query& cq,
                                                                const std::vector<std::string>& item_sql);
    std::string next_alias() { return "t" + std::to_string(++alias_no_); }

    session::impl& s_;
    std::vector<std::string> binds_;
    int alias_no_ = 0;
    // Set while the later branches of a compound query are compiled: they
    // must give exactly the columns of the first, without hidden row keys.
    bool compound_branch_ = false;
    std::set<std::string> own_taken_;
    std::set<std::string>* taken_ = &own_taken_;
};

// True when a bind given as `given` (":1", ":x", "X") serves placeholder
// `placeholder` (as the lexer produced it: upper-cased unless quoted).
bool bind_matches(const std::string& given, const std::string& placeholder);
// Binds the statement's placeholders (ORA-01008 for a missing one).
void bind_placeholders(sql_stmt& q, const std::vector<std::string>& names, const std::vector<bind_value>* binds);
// The engine value of column i of the current row, for a column of type t.
value read_value(sql_stmt& q, int i, col_type t);
// The cursor over a compiled query.
std::unique_ptr<cursor> open_cursor(session::impl& s, compiled_query cq);

}  // namespace emu
