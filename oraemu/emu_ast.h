// Parsed form of the Oracle statements the stand-in understands.
#pragma once

#include "emu_session.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace emu {

struct select_stmt;
struct expr;
using expr_ptr = std::unique_ptr<expr>;

struct expr {
    enum kind {
        num,       // text: the literal as written
        str,       // text: content ('' is turned into null_ by the parser)
        null_,
        col,       // path: [qualifier...,] name
        bind,      // name: placeholder without colon
        func,      // name (upper), args; star: COUNT(*); distinct
        binop,     // name: + - * / || = <> < <= > >= AND OR LIKE
        neg,       // unary minus
        not_,
        is_null,   // negated: IS NOT NULL
        in_list,   // args[0] IN (args[1..]); negated
        in_sub,    // args[0] IN (sub); negated
        between,   // args[0] BETWEEN args[1] AND args[2]; negated
        case_,     // args: [operand or null] then pairs when/then, then else or null
        subq,      // scalar subquery
        exists,
        seq,       // path: [owner,] sequence; name: NEXTVAL or CURRVAL
        rowid_,    // path: [qualifier]
        rownum
    } k = null_;
    std::string name;
    std::string text;
    std::vector<std::string> path;
    std::vector<expr_ptr> args;
    std::unique_ptr<select_stmt> sub;
    bool star = false;
    bool distinct = false;
    bool negated = false;
    bool nchar = false;
    size_t pos = 0, end_pos = 0;   // source span
};

struct select_item {
    expr_ptr e;                    // null for a star
    std::string alias;             // explicit alias, exact
    bool has_alias = false;
    bool star = false;
    std::string star_qualifier;    // t.* ; empty for *
    std::string heading;           // the column name Oracle shows for it
};

struct from_item {
    std::string owner;             // empty: the session's user
    std::string name;              // table or view name, exact
    std::unique_ptr<select_stmt> sub;
    std::string alias;
    enum join_kind { comma, inner, left, right, cross } join = comma;
    expr_ptr on;
};

struct order_item {
    expr_ptr e;
    bool desc = false;
    int nulls = 0;                 // 0 default, 1 first, 2 last
};

struct select_stmt {
    bool distinct = false;
    std::vector<select_item> items;
    std::vector<from_item> from;
    expr_ptr where;
    std::vector<expr_ptr> group_by;
    expr_ptr having;
    std::vector<order_item> order_by;
    bool for_update = false;
    long long offset = 0;          // OFFSET n ROWS (12c and later)
    long long fetch_first = -1;    // FETCH FIRST n ROWS ONLY (12c and later)
    std::string set_op;            // UNION, UNION ALL, INTERSECT, MINUS: joins `next`
    std::unique_ptr<select_stmt> next;
};

struct type_spec {
    col_type type = col_type::varchar2;
    int length = -1;               // characters or bytes as written; -1 none
    bool char_sem = false;         // VARCHAR2(n CHAR)
    int precision = -1;            // NUMBER(p,s): -1 when not given; FLOAT(p) binary
    int scale = -1;
    bool has_scale = false;        // scale written explicitly
    bool star_precision = false;   // NUMBER(*,s)
    std::string text;              // as written, upper-case, for messages
};

struct constraint_def {
    std::string name;              // empty: system generated
    char type = 'P';               // P U R K(check)
    std::vector<std::string> columns;
    std::string ref_owner, ref_table;
    std::vector<std::string> ref_columns;
    std::string delete_rule;       // CASCADE, SET NULL or empty
    std::string condition;         // CHECK: the condition as written, without its parentheses
};

struct column_def {
    std::string name;
    type_spec type;
    bool has_type = true;          // MODIFY may omit it
    bool has_default = false;
    std::string default_text;      // raw text as written, trailing blanks kept
    bool not_null = false;
    bool null_ = false;
    std::string not_null_name;     // CONSTRAINT n NOT NULL
    std::vector<constraint_def> inline_constraints;
};

struct statement {
    enum kind {
        select, insert, update, del, commit, rollback, create_table, create_index,
        create_sequence, create_trigger, drop_table, drop_index, drop_sequence,
        drop_trigger, alter_table, truncate_table, savepoint, plsql_block, alter_session
    } k = select;

    // SELECT (also the source of INSERT ... SELECT)
    std::unique_ptr<select_stmt> query;

    // target of INSERT/UPDATE/DELETE/ALTER/DROP/TRUNCATE/CREATE INDEX/TRIGGER
    std::string owner, name, alias;

    // INSERT
    std::vector<std::string> columns;
    std::vector<expr_ptr> values;
    std::vector<expr_ptr> returning;
    std::vector<std::string> into;   // bind names

    // UPDATE
    std::vector<std::pair<std::string, expr_ptr>> sets;
    expr_ptr where;

    // CREATE TABLE / ALTER TABLE
    std::vector<column_def> column_defs;
    std::vector<constraint_def> constraints;
    enum alter_kind { add, modify, drop_constraint, drop_column, rename_column } alter = add;
    std::string object2;             // DROP CONSTRAINT name, RENAME COLUMN new name,
                                     // ALTER SESSION SET name = value

    // CREATE INDEX
    std::string table_owner, table;  // also the trigger's table
    bool unique = false;
    std::vector<std::pair<std::string, bool>> index_columns;   // name, descending

    // CREATE SEQUENCE
    std::optional<std::string> seq_increment, seq_start, seq_min, seq_max, seq_cache;
    bool seq_nomin = false, seq_nomax = false, seq_cycle = false, seq_order = false,
         seq_nocache = false;

    // CREATE TRIGGER
    bool or_replace = false;
    std::string timing, event;       // BEFORE, INSERT ...
    bool for_each_row = false;
    std::string when_text;           // condition without parentheses
    std::string body_text;           // from BEGIN to the end
    expr_ptr when;                   // parsed condition

    // DROP TABLE
    bool cascade = false;
    bool purge = false;
};

// Parses one statement. Throws ora_error with Oracle's number for syntax
// errors (ORA-00900, 00933, 00936, 00907, 00904 ...). identifier_limit is
// the longest name in bytes (ORA-00972 beyond).
std::unique_ptr<statement> parse_statement(const std::string& sql, size_t identifier_limit);

}  // namespace emu
