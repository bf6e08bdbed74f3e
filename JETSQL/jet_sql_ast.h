// The parsed form of an Access SELECT statement.
//
// Expressions keep the text they were parsed from (`source`), which DAO's
// messages quote and the Expr1000 naming does not need. A query is one
// SELECT or a UNION chain of them; ORDER BY belongs to the query.
#pragma once

#include <memory>
#include <string>
#include <vector>

struct jet_sql_query;

enum class jet_sql_expr_kind {
    null_literal,
    number,    // text: the literal as written
    string,    // text: the value
    date,      // number: the OLE date number
    boolean,   // number: -1 or 0
    column,    // qualifier (may be empty) and name
    star,      // Count(*) argument
    unary,     // op: "-", "+", "not"; args[0]
    binary,    // op: "+", "-", "*", "/", "\\", "mod", "^", "&", "=", "<>", "<", "<=", ">", ">=",
               //     "and", "or", "xor", "eqv", "imp"
    call,      // name, args
    is_null,   // args[0]; negated for Is Not Null
    between,   // args[0] Between args[1] And args[2]; negated
    in_list,   // args[0] In (args[1..]); negated
    in_query,  // args[0] In (query); negated
    like,      // args[0] Like args[1]; negated
    exists,    // Exists (query)
    subquery,  // (query) as a value
};

struct jet_sql_expr {
    jet_sql_expr_kind kind = jet_sql_expr_kind::null_literal;
    std::u16string text;       // literal text, operator or function name
    std::u16string qualifier;  // column: table or alias
    double number = 0;
    bool negated = false;
    std::vector<std::unique_ptr<jet_sql_expr>> args;
    std::unique_ptr<jet_sql_query> query;
    std::u16string source;  // the expression as written
};
using jet_sql_expr_ptr = std::unique_ptr<jet_sql_expr>;

struct jet_sql_item {
    jet_sql_expr_ptr expr;   // null for * and t.*
    std::u16string star_of;  // t of t.* (empty for a bare *)
    bool star = false;
    std::u16string alias;
};

enum class jet_sql_join { none, inner, left, right };

struct jet_sql_from {
    enum class kind_t { table, derived, join } kind = kind_t::table;
    std::u16string name;  // table or saved query
    std::u16string alias;
    std::unique_ptr<jet_sql_query> query;  // derived table
    jet_sql_join join = jet_sql_join::none;
    std::unique_ptr<jet_sql_from> left, right;
    jet_sql_expr_ptr on;
};
using jet_sql_from_ptr = std::unique_ptr<jet_sql_from>;

struct jet_sql_order {
    jet_sql_expr_ptr expr;
    bool descending = false;
};

struct jet_sql_select {
    bool distinct = false;
    bool distinctrow = false;
    bool has_top = false;
    bool top_percent = false;
    double top = 0;
    std::vector<jet_sql_item> items;
    std::vector<jet_sql_from_ptr> from;  // comma-separated entries
    jet_sql_expr_ptr where;
    std::vector<jet_sql_expr_ptr> group_by;
    jet_sql_expr_ptr having;
};

struct jet_sql_query {
    std::vector<std::unique_ptr<jet_sql_select>> parts;
    std::vector<bool> union_all;  // between parts[i] and parts[i + 1]
    std::vector<jet_sql_order> order_by;
};
