// Recursive-descent parser for the Oracle statements of emu_ast.h.
//
// Error numbers follow what Oracle reports for the same mistakes: an
// unknown statement is ORA-00900, text left over after a complete statement
// ORA-00933 (a trailing ';' on a SQL statement ORA-00911), a missing operand
// ORA-00936, an unclosed parenthesis ORA-00907, a reserved word or a bad
// name where a column name belongs ORA-00904, where a table name belongs
// ORA-00903.
#include "emu_ast.h"
#include "emu_lexer.h"

#include <set>

namespace emu {

namespace {

const std::set<std::string>& reserved_words() {
    static const std::set<std::string> w = {
        "ACCESS", "ADD", "ALL", "ALTER", "AND", "ANY", "AS", "ASC", "AUDIT", "BETWEEN", "BY",
        "CHAR", "CHECK", "CLUSTER", "COLUMN", "COMMENT", "COMPRESS", "CONNECT", "CREATE",
        "CURRENT", "DATE", "DECIMAL", "DEFAULT", "DELETE", "DESC", "DISTINCT", "DROP", "ELSE",
        "EXCLUSIVE", "EXISTS", "FILE", "FLOAT", "FOR", "FROM", "GRANT", "GROUP", "HAVING",
        "IDENTIFIED", "IMMEDIATE", "IN", "INCREMENT", "INDEX", "INITIAL", "INSERT", "INTEGER",
        "INTERSECT", "INTO", "IS", "LEVEL", "LIKE", "LOCK", "LONG", "MAXEXTENTS", "MINUS",
        "MLSLABEL", "MODE", "MODIFY", "NOAUDIT", "NOCOMPRESS", "NOT", "NOWAIT", "NULL", "NUMBER",
        "OF", "OFFLINE", "ON", "ONLINE", "OPTION", "OR", "ORDER", "PCTFREE", "PRIOR",
        "PRIVILEGES", "PUBLIC", "RAW", "RENAME", "RESOURCE", "REVOKE", "ROW", "ROWID", "ROWNUM",
        "ROWS", "SELECT", "SESSION", "SET", "SHARE", "SIZE", "SMALLINT", "START", "SUCCESSFUL",
        "SYNONYM", "SYSDATE", "TABLE", "THEN", "TO", "TRIGGER", "UID", "UNION", "UNIQUE",
        "UPDATE", "USER", "VALIDATE", "VALUES", "VARCHAR", "VARCHAR2", "VIEW", "WHENEVER",
        "WHERE", "WITH"};
    return w;
}

// Words that end a FROM item or a select item and so cannot be its alias.
const std::set<std::string>& clause_words() {
    static const std::set<std::string> w = {"JOIN", "INNER", "LEFT", "RIGHT", "FULL", "CROSS",
                                            "OUTER", "NATURAL", "RETURNING", "RETURN", "LOG",
                                            "FETCH", "OFFSET"};
    return w;
}

class parser {
public:
    parser(const std::string& sql, size_t limit) : sql_(sql), t_(tokenize(sql)), limit_(limit) {}

    std::unique_ptr<statement> run() {
        auto st = std::make_unique<statement>();
        statement_body(*st);
        finish(*st);
        return st;
    }

private:
    // ---- token helpers -------------------------------------------------
    const token& cur() const { return t_[i_]; }
    const token& peek(size_t n = 1) const { return t_[std::min(i_ + n, t_.size() - 1)]; }
    bool at_end() const { return cur().k == token::end; }
    bool is(const char* kw) const { return cur().is(kw); }
    bool is_op(const char* o) const { return cur().is_op(o); }
    bool accept(const char* kw) {
        if (!is(kw)) return false;
        ++i_;
        return true;
    }
    bool accept_op(const char* o) {
        if (!is_op(o)) return false;
        ++i_;
        return true;
    }
    void expect(const char* kw, int code) {
        if (!accept(kw)) throw make_error(code);
    }
    void expect_op(const char* o, int code) {
        if (!accept_op(o)) throw make_error(code);
    }
    void open_paren() { expect_op("(", 906); }
    void close_paren() { expect_op(")", 907); }

    bool is_identifier_token() const {
        return cur().k == token::qident ||
               (cur().k == token::ident && !reserved_words().count(cur().text));
    }

    // A name: unquoted (folded, not reserved) or quoted (exact).
    std::string name(int bad_code) {
        const token& t = cur();
        if (t.k == token::qident) {
            if (t.text.empty()) throw make_error(1741);
        } else if (t.k != token::ident || reserved_words().count(t.text)) {
            if (t.k == token::end) throw make_error(bad_code == 904 ? 904 : bad_code, {""});
            throw make_error(bad_code, {t.text});
        }
        if (t.text.size() > limit_) throw make_error(972);
        ++i_;
        return t.text;
    }
    std::string column_name() { return name(904); }
    std::string object_name() { return name(903); }

    // [owner.]name
    void qualified(std::string& owner, std::string& nm, int bad_code = 903) {
        nm = name(bad_code);
        if (is_op(".")) {
            ++i_;
            owner = nm;
            nm = name(bad_code);
        }
    }

    std::vector<std::string> column_list() {
        open_paren();
        std::vector<std::string> cols;
        do {
            cols.push_back(column_name());
        } while (accept_op(","));
        close_paren();
        return cols;
    }

    void finish(statement& st) {
        if (st.k == statement::create_trigger || st.k == statement::plsql_block) return;
        if (is_op(";")) throw make_error(911);
        if (!at_end()) throw make_error(933);
    }

    // ---- statements ----------------------------------------------------
    void statement_body(statement& st) {
        if (is("SELECT") || is_op("(")) {
            st.k = statement::select;
            st.query = query();
        } else if (accept("INSERT")) {
            insert_stmt(st);
        } else if (accept("UPDATE")) {
            update_stmt(st);
        } else if (accept("DELETE")) {
            delete_stmt(st);
        } else if (accept("COMMIT")) {
            st.k = statement::commit;
            accept("WORK");
        } else if (accept("ROLLBACK")) {
            rollback_stmt(st);
        } else if (accept("SAVEPOINT")) {
            st.k = statement::savepoint;
            st.name = object_name();
        } else if (accept("CREATE")) {
            create_stmt(st);
        } else if (accept("DROP")) {
            drop_stmt(st);
        } else if (accept("ALTER")) {
            if (accept("SESSION")) {
                alter_session(st);
            } else {
                expect("TABLE", 940);
                alter_stmt(st);
            }
        } else if (accept("TRUNCATE")) {
            expect("TABLE", 900);
            st.k = statement::truncate_table;
            qualified(st.owner, st.name);
        } else if (is("BEGIN") || is("DECLARE")) {
            st.k = statement::plsql_block;
        } else {
            throw make_error(900);
        }
    }

    void rollback_stmt(statement& st) {
        st.k = statement::rollback;
        accept("WORK");
        if (accept("TO")) {
            accept("SAVEPOINT");
            st.name = object_name();
        }
    }

    void insert_stmt(statement& st) {
        st.k = statement::insert;
        expect("INTO", 925);
        qualified(st.owner, st.name);
        if (is_identifier_token() && !is("VALUES") && !cur().is("SELECT")) st.alias = object_name();
        if (is_op("(") && !peek().is("SELECT")) st.columns = column_list();
        if (accept("VALUES")) {
            expect_op("(", 906);
            do {
                st.values.push_back(expression());
            } while (accept_op(","));
            close_paren();
        } else if (is("SELECT") || is_op("(")) {
            st.query = query();
        } else {
            throw make_error(926);
        }
        returning(st);
    }

    void returning(statement& st) {
        if (!accept("RETURNING") && !accept("RETURN")) return;
        do {
            st.returning.push_back(expression());
        } while (accept_op(","));
        expect("INTO", 925);
        do {
            if (cur().k != token::bind) throw make_error(1036);
            st.into.push_back(cur().text);
            ++i_;
        } while (accept_op(","));
    }

    void update_stmt(statement& st) {
        st.k = statement::update;
        qualified(st.owner, st.name);
        if (is_identifier_token() && !is("SET")) st.alias = object_name();
        expect("SET", 971);
        do {
            std::string c = column_name();
            if (accept_op(".")) c = column_name();   // alias.column
            expect_op("=", 927);
            st.sets.emplace_back(c, expression());
        } while (accept_op(","));
        if (accept("WHERE")) st.where = strict_condition();
        returning(st);
    }

    void delete_stmt(statement& st) {
        st.k = statement::del;
        accept("FROM");
        qualified(st.owner, st.name);
        if (is_identifier_token() && !is("WHERE") && !is("RETURNING")) st.alias = object_name();
        if (accept("WHERE")) st.where = strict_condition();
        returning(st);
    }

    void create_stmt(statement& st) {
        if (accept("OR")) {
            expect("REPLACE", 922);
            st.or_replace = true;
        }
        if (accept("UNIQUE")) {
            st.unique = true;
            expect("INDEX", 901);
            create_index(st);
        } else if (accept("TABLE")) {
            create_table(st);
        } else if (accept("INDEX")) {
            create_index(st);
        } else if (accept("SEQUENCE")) {
            create_sequence(st);
        } else if (accept("TRIGGER")) {
            create_trigger(st);
        } else {
            throw make_error(901);
        }
        if (st.or_replace && st.k != statement::create_trigger) throw make_error(922);
    }

    void drop_stmt(statement& st) {
        if (accept("TABLE")) {
            st.k = statement::drop_table;
            qualified(st.owner, st.name);
            if (accept("CASCADE")) {
                expect("CONSTRAINTS", 933);
                st.cascade = true;
            }
            if (accept("PURGE")) st.purge = true;
        } else if (accept("INDEX")) {
            st.k = statement::drop_index;
            qualified(st.owner, st.name);
        } else if (accept("SEQUENCE")) {
            st.k = statement::drop_sequence;
            qualified(st.owner, st.name);
        } else if (accept("TRIGGER")) {
            st.k = statement::drop_trigger;
            qualified(st.owner, st.name);
        } else {
            throw make_error(950);
        }
    }

    // ---- CREATE TABLE --------------------------------------------------
    void create_table(statement& st) {
        st.k = statement::create_table;
        qualified(st.owner, st.name);
        open_paren();
        do {
            if (is("CONSTRAINT") || is("PRIMARY") || is("UNIQUE") || is("FOREIGN") || is("CHECK"))
                st.constraints.push_back(table_constraint());
            else
                st.column_defs.push_back(column_definition(true));
        } while (accept_op(","));
        close_paren();
        skip_physical_attributes();
    }

    // TABLESPACE x, PCTFREE n, LOGGING ... are accepted and have no effect.
    void skip_physical_attributes() {
        static const std::set<std::string> words = {"TABLESPACE", "PCTFREE", "PCTUSED", "INITRANS",
                                                    "LOGGING", "NOLOGGING", "COMPRESS", "NOCOMPRESS",
                                                    "STORAGE", "ONLINE", "COMPUTE", "STATISTICS"};
        while (cur().k == token::ident && words.count(cur().text)) {
            ++i_;
            if (cur().k == token::ident && !words.count(cur().text) && !at_end()) ++i_;
            else if (cur().k == token::num) ++i_;
            else if (is_op("(")) skip_parenthesised();
        }
    }

    // The text between a parenthesis and its partner, as written.
    std::string parenthesised_text() {
        if (!is_op("(")) throw make_error(906);
        size_t b = cur().end_pos;
        skip_parenthesised();
        size_t e = t_[i_ - 1].pos;
        return sql_.substr(b, e - b);
    }

    void skip_parenthesised() {
        int depth = 0;
        do {
            if (is_op("(")) ++depth;
            if (is_op(")")) --depth;
            if (at_end()) throw make_error(907);
            ++i_;
        } while (depth > 0);
    }

    constraint_def table_constraint() {
        constraint_def c;
        if (accept("CONSTRAINT")) c.name = object_name();
        if (accept("PRIMARY")) {
            expect("KEY", 906);
            c.type = 'P';
            c.columns = column_list();
        } else if (accept("UNIQUE")) {
            c.type = 'U';
            c.columns = column_list();
        } else if (accept("FOREIGN")) {
            expect("KEY", 906);
            c.type = 'R';
            c.columns = column_list();
            references(c);
        } else if (accept("CHECK")) {
            c.type = 'K';
            c.condition = parenthesised_text();
        } else {
            throw make_error(902);
        }
        constraint_state();
        return c;
    }

    // ENABLE, DISABLE, DEFERRABLE ... and USING INDEX are accepted and ignored.
    void constraint_state() {
        for (;;) {
            if (accept("ENABLE") || accept("VALIDATE") || accept("NOVALIDATE") || accept("RELY")) continue;
            if (accept("USING")) {
                expect("INDEX", 906);
                continue;
            }
            return;
        }
    }

    void references(constraint_def& c) {
        expect("REFERENCES", 905);
        qualified(c.ref_owner, c.ref_table);
        if (is_op("(")) c.ref_columns = column_list();
        if (accept("ON")) {
            expect("DELETE", 905);
            if (accept("CASCADE")) {
                c.delete_rule = "CASCADE";
            } else if (accept("SET")) {
                expect("NULL", 905);
                c.delete_rule = "SET NULL";
            } else {
                throw make_error(905);
            }
        }
    }

    column_def column_definition(bool type_required) {
        column_def d;
        d.name = column_name();
        if (!is("DEFAULT") && !is("NOT") && !is("NULL") && !is("CONSTRAINT") && !is_op(",") &&
            !is_op(")") && !at_end()) {
            d.type = data_type();
        } else if (type_required) {
            throw make_error(902);
        } else {
            d.has_type = false;
        }
        if (accept("DEFAULT")) default_clause(d);
        column_constraints(d);
        return d;
    }

    void default_clause(column_def& d) {
        size_t b = cur().pos;
        expression();
        d.has_default = true;
        d.default_text = sql_.substr(b, cur().pos - b);
        if (at_end()) d.default_text = sql_.substr(b);
    }

    void column_constraints(column_def& d) {
        for (;;) {
            std::string cname;
            if (accept("CONSTRAINT")) cname = object_name();
            if (accept("NOT")) {
                expect("NULL", 905);
                d.not_null = true;
                d.not_null_name = cname;
            } else if (accept("NULL")) {
                d.null_ = true;
            } else if (accept("PRIMARY")) {
                expect("KEY", 906);
                d.inline_constraints.push_back({cname, 'P', {d.name}, "", "", {}, "", ""});
            } else if (accept("UNIQUE")) {
                d.inline_constraints.push_back({cname, 'U', {d.name}, "", "", {}, "", ""});
            } else if (is("REFERENCES")) {
                constraint_def c{cname, 'R', {d.name}, "", "", {}, "", ""};
                references(c);
                d.inline_constraints.push_back(std::move(c));
            } else if (accept("CHECK")) {
                constraint_def c{cname, 'K', {}, "", "", {}, "", ""};
                c.condition = parenthesised_text();
                d.inline_constraints.push_back(std::move(c));
            } else if (!cname.empty()) {
                throw make_error(902);
            } else {
                return;
            }
            constraint_state();
        }
    }

    int integer(int code) {
        if (cur().k != token::num || cur().text.find_first_not_of("0123456789") != std::string::npos)
            throw make_error(code);
        int v = std::stoi(cur().text.size() > 9 ? std::string("999999999") : cur().text);
        ++i_;
        return v;
    }

    int signed_integer(int code) {
        bool neg = accept_op("-");
        if (!neg) accept_op("+");
        int v = integer(code);
        return neg ? -v : v;
    }

    void length_spec(type_spec& t, bool semantics) {
        open_paren();
        t.length = integer(910);
        if (semantics) {
            if (accept("CHAR")) t.char_sem = true;
            else accept("BYTE");
        }
        close_paren();
    }

    void number_spec(type_spec& t) {
        if (!accept_op("(")) return;
        if (accept_op("*")) t.star_precision = true;
        else t.precision = integer(1727);
        if (accept_op(",")) {
            t.scale = signed_integer(1728);
            t.has_scale = true;
        }
        close_paren();
    }

    type_spec data_type() {
        type_spec t;
        size_t b = cur().pos;
        if (cur().k != token::ident) throw make_error(902);
        std::string w = cur().text;
        ++i_;
        if (w == "NUMBER" || w == "NUMERIC" || w == "DECIMAL" || w == "DEC") {
            t.type = col_type::number;
            number_spec(t);
            if (w != "NUMBER" && t.precision < 0 && !t.star_precision) t.scale = 0;
            if (w != "NUMBER" && t.scale < 0) t.scale = 0;
        } else if (w == "INTEGER" || w == "INT" || w == "SMALLINT") {
            t.type = col_type::number;
            t.scale = 0;
        } else if (w == "FLOAT") {
            t.type = col_type::float_;
            t.precision = 126;
            if (accept_op("(")) {
                t.precision = integer(1724);
                close_paren();
            }
        } else if (w == "REAL") {
            t.type = col_type::float_;
            t.precision = 63;
        } else if (w == "DOUBLE") {
            expect("PRECISION", 902);
            t.type = col_type::float_;
            t.precision = 126;
        } else if (w == "BINARY_DOUBLE" || w == "BINARY_FLOAT") {
            t.type = col_type::binary_double;
        } else if (w == "VARCHAR2" || w == "VARCHAR") {
            t.type = col_type::varchar2;
            length_spec(t, true);
        } else if (w == "NVARCHAR2") {
            t.type = col_type::nvarchar2;
            length_spec(t, false);
        } else if (w == "CHAR" || w == "CHARACTER") {
            t.type = col_type::char_;
            if (is_op("(")) length_spec(t, true);
            else t.length = 1;
        } else if (w == "NCHAR") {
            t.type = col_type::nchar;
            if (is_op("(")) length_spec(t, false);
            else t.length = 1;
        } else if (w == "DATE") {
            t.type = col_type::date;
        } else if (w == "TIMESTAMP") {
            t.type = col_type::timestamp;
            t.scale = 6;
            if (accept_op("(")) {
                t.scale = integer(30088);
                close_paren();
            }
            if (is("WITH")) throw make_error(902);
        } else if (w == "RAW") {
            t.type = col_type::raw;
            length_spec(t, false);
        } else if (w == "CLOB") {
            t.type = col_type::clob;
        } else if (w == "NCLOB") {
            t.type = col_type::nclob;
        } else if (w == "BLOB") {
            t.type = col_type::blob;
        } else if (w == "LONG") {
            if (is("RAW")) throw make_error(902);
            t.type = col_type::long_;
        } else {
            throw make_error(902);
        }
        t.text = fold_upper(sql_.substr(b, cur().pos - b));
        return t;
    }

    // ---- ALTER SESSION SET parameter = value ---------------------------
    void alter_session(statement& st) {
        st.k = statement::alter_session;
        expect("SET", 922);
        if (cur().k != token::ident) throw make_error(922);
        st.name = cur().text;
        ++i_;
        expect_op("=", 922);
        if (cur().k != token::str && cur().k != token::ident && cur().k != token::num) throw make_error(922);
        st.object2 = cur().text;
        ++i_;
    }

    // ---- ALTER TABLE ---------------------------------------------------
    void alter_stmt(statement& st) {
        st.k = statement::alter_table;
        qualified(st.owner, st.name);
        if (accept("ADD")) {
            st.alter = statement::add;
            alter_add(st);
        } else if (accept("MODIFY")) {
            st.alter = statement::modify;
            if (accept_op("(")) {
                do {
                    st.column_defs.push_back(column_definition(false));
                } while (accept_op(","));
                close_paren();
            } else {
                st.column_defs.push_back(column_definition(false));
            }
        } else if (accept("DROP")) {
            alter_drop(st);
        } else if (accept("RENAME")) {
            expect("COLUMN", 14155);
            st.alter = statement::rename_column;
            st.columns.push_back(column_name());
            expect("TO", 923);
            st.object2 = column_name();
        } else {
            throw make_error(1735);
        }
    }

    void alter_add(statement& st) {
        if (is("CONSTRAINT") || is("PRIMARY") || is("UNIQUE") || is("FOREIGN") || is("CHECK")) {
            st.constraints.push_back(table_constraint());
        } else if (accept_op("(")) {
            do {
                if (is("CONSTRAINT") || is("PRIMARY") || is("UNIQUE") || is("FOREIGN"))
                    st.constraints.push_back(table_constraint());
                else
                    st.column_defs.push_back(column_definition(true));
            } while (accept_op(","));
            close_paren();
        } else {
            st.column_defs.push_back(column_definition(true));
        }
    }

    void alter_drop(statement& st) {
        if (accept("CONSTRAINT")) {
            st.alter = statement::drop_constraint;
            st.object2 = object_name();
            accept("CASCADE");
        } else if (accept("PRIMARY")) {
            expect("KEY", 906);
            st.alter = statement::drop_constraint;
            st.object2.clear();
            st.unique = false;
        } else if (accept("COLUMN")) {
            st.alter = statement::drop_column;
            st.columns.push_back(column_name());
        } else if (is_op("(")) {
            st.alter = statement::drop_column;
            st.columns = column_list();
        } else {
            throw make_error(905);
        }
    }

    // ---- CREATE INDEX / SEQUENCE / TRIGGER ----------------------------
    void create_index(statement& st) {
        st.k = statement::create_index;
        qualified(st.owner, st.name);
        expect("ON", 969);
        qualified(st.table_owner, st.table);
        open_paren();
        do {
            std::string c = column_name();
            bool desc = false;
            if (accept("DESC")) desc = true;
            else accept("ASC");
            st.index_columns.emplace_back(c, desc);
        } while (accept_op(","));
        close_paren();
        skip_physical_attributes();
    }

    std::string signed_number_text() {
        std::string s;
        if (accept_op("-")) s = "-";
        else accept_op("+");
        if (cur().k != token::num) throw make_error(2286);
        s += cur().text;
        ++i_;
        return s;
    }

    void create_sequence(statement& st) {
        st.k = statement::create_sequence;
        qualified(st.owner, st.name);
        for (;;) {
            if (accept("INCREMENT")) {
                expect("BY", 2286);
                st.seq_increment = signed_number_text();
            } else if (accept("START")) {
                expect("WITH", 2286);
                st.seq_start = signed_number_text();
            } else if (accept("MAXVALUE")) {
                st.seq_max = signed_number_text();
            } else if (accept("MINVALUE")) {
                st.seq_min = signed_number_text();
            } else if (accept("NOMAXVALUE")) {
                st.seq_nomax = true;
            } else if (accept("NOMINVALUE")) {
                st.seq_nomin = true;
            } else if (accept("CYCLE")) {
                st.seq_cycle = true;
            } else if (accept("NOCYCLE")) {
                st.seq_cycle = false;
            } else if (accept("CACHE")) {
                st.seq_cache = signed_number_text();
            } else if (accept("NOCACHE")) {
                st.seq_nocache = true;
            } else if (accept("ORDER")) {
                st.seq_order = true;
            } else if (accept("NOORDER")) {
                st.seq_order = false;
            } else {
                return;
            }
        }
    }

    void create_trigger(statement& st) {
        st.k = statement::create_trigger;
        qualified(st.owner, st.name);
        if (accept("BEFORE")) st.timing = "BEFORE";
        else if (accept("AFTER")) st.timing = "AFTER";
        else if (accept("INSTEAD")) {
            expect("OF", 969);
            st.timing = "INSTEAD OF";
        } else {
            throw make_error(969);
        }
        trigger_events(st);
        expect("ON", 969);
        qualified(st.table_owner, st.table);
        if (accept("REFERENCING")) {
            while (accept("NEW") || accept("OLD") || accept("PARENT")) {
                accept("AS");
                object_name();
            }
        }
        if (accept("FOR")) {
            expect("EACH", 969);
            expect("ROW", 969);
            st.for_each_row = true;
        }
        if (accept("WHEN")) {
            size_t b = cur().pos;
            expect_op("(", 906);
            st.when = strict_condition();
            size_t e = cur().pos;
            close_paren();
            st.when_text = sql_.substr(b + 1, e - b - 1);
        }
        if (!is("BEGIN") && !is("DECLARE")) throw make_error(969);
        // The body runs to the end of the text. A "/" after it is a command
        // of SQL*Plus, not PL/SQL: sent to the server it stays in the body
        // and the trigger does not compile.
        std::string body = sql_.substr(cur().pos);
        while (!body.empty() && (body.back() == ' ' || body.back() == '\n' || body.back() == '\r' ||
                                 body.back() == '\t'))
            body.pop_back();
        st.body_text = body;
    }

    void trigger_events(statement& st) {
        do {
            if (accept("INSERT")) st.event += st.event.empty() ? "INSERT" : " OR INSERT";
            else if (accept("DELETE")) st.event += st.event.empty() ? "DELETE" : " OR DELETE";
            else if (accept("UPDATE")) {
                st.event += st.event.empty() ? "UPDATE" : " OR UPDATE";
                if (accept("OF")) {
                    do {
                        column_name();
                    } while (accept_op(","));
                }
            } else {
                throw make_error(969);
            }
        } while (accept("OR"));
    }

    // ---- SELECT --------------------------------------------------------
    std::unique_ptr<select_stmt> query() {
        std::unique_ptr<select_stmt> q;
        if (accept_op("(")) {
            q = query();
            close_paren();
        } else {
            q = select_core();
        }
        if (is("UNION") || is("INTERSECT") || is("MINUS")) {
            q->set_op = cur().text;
            ++i_;
            if (q->set_op == "UNION" && accept("ALL")) q->set_op = "UNION ALL";
            q->next = query();
            // ORDER BY and the clauses after it belong to the whole compound
            // query, though they follow its last member.
            select_stmt* last = q->next.get();
            while (last->next) last = last->next.get();
            q->order_by = std::move(last->order_by);
            last->order_by.clear();
            std::swap(q->for_update, last->for_update);
            std::swap(q->fetch_first, last->fetch_first);
            std::swap(q->offset, last->offset);
            return q;
        }
        if (accept("ORDER")) {
            expect("BY", 924);
            order_by(*q);
        }
        row_limiting(*q);
        if (accept("FOR")) {
            expect("UPDATE", 924);
            q->for_update = true;
            if (accept("OF")) {
                do {
                    column_name();
                    if (accept_op(".")) column_name();
                } while (accept_op(","));
            }
            if (accept("WAIT")) integer(30005);
            else if (accept("SKIP")) expect("LOCKED", 933);
            else accept("NOWAIT");
        }
        return q;
    }

    // OFFSET n ROWS / FETCH FIRST n ROWS ONLY exist from 12c on (servers
    // whose names may be 128 bytes long); 11g reports ORA-00933 for them.
    void row_limiting(select_stmt& q) {
        if (!is("OFFSET") && !is("FETCH")) return;
        if (limit_ <= 30) throw make_error(933);
        if (accept("OFFSET")) {
            q.offset = integer(933);
            if (!accept("ROWS")) expect("ROW", 933);
        }
        if (accept("FETCH")) {
            if (!accept("FIRST")) expect("NEXT", 933);
            q.fetch_first = integer(933);
            if (!accept("ROWS")) expect("ROW", 933);
            expect("ONLY", 933);
        }
    }

    std::unique_ptr<select_stmt> select_core() {
        expect("SELECT", 928);
        auto q = std::make_unique<select_stmt>();
        if (accept("DISTINCT") || accept("UNIQUE")) q->distinct = true;
        else accept("ALL");
        do {
            q->items.push_back(select_item_());
        } while (accept_op(","));
        if (!accept("FROM")) throw make_error(923);
        do {
            from_list(*q);
        } while (accept_op(","));
        if (accept("WHERE")) q->where = strict_condition();
        if (accept("GROUP")) {
            expect("BY", 924);
            do {
                q->group_by.push_back(expression());
            } while (accept_op(","));
        }
        if (accept("HAVING")) q->having = strict_condition();
        return q;
    }

    select_item select_item_() {
        select_item it;
        if (accept_op("*")) {
            it.star = true;
            return it;
        }
        if (is_identifier_token() && peek().is_op(".") && peek(2).is_op("*")) {
            it.star = true;
            it.star_qualifier = cur().text;
            i_ += 3;
            return it;
        }
        size_t b = cur().pos;
        it.e = expression();
        size_t e = t_[i_ - 1].end_pos;
        if (accept("AS")) {
            it.alias = column_name();
            it.has_alias = true;
        } else if (is_identifier_token() && !clause_words().count(cur().text)) {
            it.alias = column_name();
            it.has_alias = true;
        }
        it.heading = it.has_alias ? it.alias : heading_text(b, e, *it.e);
        return it;
    }

    // The name Oracle gives an unaliased select item: a column's own name,
    // otherwise the item's text without blanks, upper-cased except for
    // quoted identifiers (string literals are upper-cased too: 'abc' is
    // named 'ABC').
    std::string heading_text(size_t b, size_t e, const expr& x) const {
        if (x.k == expr::col) return x.path.back();
        std::string raw = sql_.substr(b, e - b), out, chunk;
        char quote = 0;
        for (char c : raw) {
            if (quote == '"') {
                if (c == '"') quote = 0;
                else out += c;
                continue;
            }
            if (quote == '\'') {
                chunk += c;
                if (c == '\'') quote = 0;
                continue;
            }
            if (c == '"') {
                out += fold_upper(chunk);
                chunk.clear();
                quote = c;
                continue;
            }
            if (c == '\'') quote = c;
            if (c == ' ' || c == '\t' || c == '\n' || c == '\r') continue;
            chunk += c;
        }
        return out + fold_upper(chunk);
    }

    void from_list(select_stmt& q) {
        q.from.push_back(from_item_(from_item::comma));
        for (;;) {
            from_item::join_kind j;
            if (accept("JOIN")) j = from_item::inner;
            else if (accept("INNER")) {
                expect("JOIN", 905);
                j = from_item::inner;
            } else if (accept("LEFT")) {
                accept("OUTER");
                expect("JOIN", 905);
                j = from_item::left;
            } else if (accept("RIGHT")) {
                accept("OUTER");
                expect("JOIN", 905);
                j = from_item::right;
            } else if (accept("CROSS")) {
                expect("JOIN", 905);
                j = from_item::cross;
            } else {
                return;
            }
            from_item f = from_item_(j);
            if (j != from_item::cross) {
                expect("ON", 905);
                f.on = strict_condition();
            }
            q.from.push_back(std::move(f));
        }
    }

    from_item from_item_(from_item::join_kind j) {
        from_item f;
        f.join = j;
        if (accept_op("(")) {
            f.sub = query();
            close_paren();
        } else {
            qualified(f.owner, f.name);
        }
        if (is_identifier_token() && !clause_words().count(cur().text)) f.alias = object_name();
        return f;
    }

    void order_by(select_stmt& q) {
        do {
            order_item o;
            o.e = expression();
            if (accept("DESC")) o.desc = true;
            else accept("ASC");
            if (accept("NULLS")) {
                if (accept("FIRST")) o.nulls = 1;
                else if (accept("LAST")) o.nulls = 2;
                else throw make_error(933);
            }
            q.order_by.push_back(std::move(o));
        } while (accept_op(","));
    }

    // ---- expressions ---------------------------------------------------
    expr_ptr make(expr::kind k, size_t pos) {
        auto e = std::make_unique<expr>();
        e->k = k;
        e->pos = pos;
        return e;
    }

    expr_ptr binary(const std::string& op, expr_ptr l, expr_ptr r) {
        auto e = make(expr::binop, l->pos);
        e->name = op;
        e->end_pos = r->end_pos;
        e->args.push_back(std::move(l));
        e->args.push_back(std::move(r));
        return e;
    }

    expr_ptr condition() { return or_expr(); }

    // A condition where Oracle wants one (WHERE, ON, HAVING, WHEN): a bare
    // value there is ORA-00920. Inside parentheses the parser cannot tell
    // yet whether a condition or a value follows, so it is lenient there.
    expr_ptr strict_condition() {
        int saved = lenient_;
        lenient_ = 0;
        auto c = condition();
        lenient_ = saved;
        return c;
    }

    static bool is_predicate(const expr& e) {
        switch (e.k) {
        case expr::not_: case expr::is_null: case expr::in_list: case expr::in_sub: case expr::between:
        case expr::exists: return true;
        case expr::binop: return e.name != "+" && e.name != "-" && e.name != "*" && e.name != "/" && e.name != "||";
        default: return false;
        }
    }

    expr_ptr or_expr() {
        auto l = and_expr();
        while (accept("OR")) l = binary("OR", std::move(l), and_expr());
        return l;
    }

    expr_ptr and_expr() {
        auto l = not_expr();
        while (accept("AND")) l = binary("AND", std::move(l), not_expr());
        return l;
    }

    expr_ptr not_expr() {
        if (is("NOT")) {
            size_t p = cur().pos;
            ++i_;
            auto e = make(expr::not_, p);
            e->args.push_back(not_expr());
            return e;
        }
        return predicate();
    }

    expr_ptr predicate() {
        if (is("EXISTS")) {
            auto e = make(expr::exists, cur().pos);
            ++i_;
            open_paren();
            e->sub = query();
            close_paren();
            return e;
        }
        auto l = expression();
        return predicate_tail(std::move(l));
    }

    expr_ptr predicate_tail(expr_ptr l) {
        static const char* cmp[] = {"=", "<>", "<", "<=", ">", ">="};
        for (const char* o : cmp) {
            if (accept_op(o)) {
                if (is("ANY") || is("ALL") || is("SOME")) throw make_error(936);
                return binary(o, std::move(l), expression());
            }
        }
        bool neg = false;
        if (is("NOT") && (peek().is("IN") || peek().is("LIKE") || peek().is("BETWEEN"))) {
            ++i_;
            neg = true;
        }
        if (accept("IS")) {
            auto e = make(expr::is_null, l->pos);
            e->negated = accept("NOT");
            expect("NULL", 908);
            e->args.push_back(std::move(l));
            return e;
        }
        if (accept("LIKE")) {
            auto e = binary("LIKE", std::move(l), expression());
            if (accept("ESCAPE")) e->args.push_back(expression());
            if (!neg) return e;
            auto n = make(expr::not_, e->pos);
            n->args.push_back(std::move(e));
            return n;
        }
        if (accept("BETWEEN")) {
            auto e = make(expr::between, l->pos);
            e->negated = neg;
            e->args.push_back(std::move(l));
            e->args.push_back(expression());
            expect("AND", 905);
            e->args.push_back(expression());
            return e;
        }
        if (accept("IN")) return in_tail(std::move(l), neg);
        if (neg || (!lenient_ && !is_predicate(*l))) throw make_error(920);
        return l;
    }

    expr_ptr in_tail(expr_ptr l, bool neg) {
        open_paren();
        if (is("SELECT")) {
            auto e = make(expr::in_sub, l->pos);
            e->negated = neg;
            e->args.push_back(std::move(l));
            e->sub = query();
            close_paren();
            return e;
        }
        auto e = make(expr::in_list, l->pos);
        e->negated = neg;
        e->args.push_back(std::move(l));
        do {
            e->args.push_back(expression());
        } while (accept_op(","));
        close_paren();
        return e;
    }

    expr_ptr expression() {
        auto l = term();
        for (;;) {
            if (is_op("+") || is_op("-") || is_op("||")) {
                std::string o = cur().text;
                ++i_;
                l = binary(o, std::move(l), term());
            } else {
                return l;
            }
        }
    }

    expr_ptr term() {
        auto l = unary();
        while (is_op("*") || is_op("/")) {
            std::string o = cur().text;
            ++i_;
            l = binary(o, std::move(l), unary());
        }
        return l;
    }

    expr_ptr unary() {
        if (is_op("-")) {
            auto e = make(expr::neg, cur().pos);
            ++i_;
            e->args.push_back(unary());
            e->end_pos = e->args[0]->end_pos;
            return e;
        }
        if (accept_op("+")) return unary();
        auto e = primary();
        e->end_pos = t_[i_ - 1].end_pos;
        return e;
    }

    expr_ptr primary() {
        const token& t = cur();
        size_t p = t.pos;
        switch (t.k) {
        case token::num: {
            auto e = make(expr::num, p);
            e->text = t.text;
            ++i_;
            return e;
        }
        case token::str: {
            auto e = make(t.text.empty() ? expr::null_ : expr::str, p);
            e->text = t.text;
            e->nchar = t.nchar;
            ++i_;
            return e;
        }
        case token::bind: {
            auto e = make(expr::bind, p);
            e->name = t.text;
            ++i_;
            return e;
        }
        case token::op:
            if (t.text == "(") return parenthesised();
            if (t.text == ")" || t.text == ",") throw make_error(936);
            throw make_error(936);
        case token::end:
            throw make_error(936);
        default:
            return name_or_call();
        }
    }

    expr_ptr parenthesised() {
        size_t p = cur().pos;
        ++i_;
        if (is("SELECT")) {
            auto e = make(expr::subq, p);
            e->sub = query();
            close_paren();
            return e;
        }
        int saved = lenient_;
        lenient_ = 1;
        auto e = condition();
        lenient_ = saved;
        close_paren();
        return e;
    }

    expr_ptr keyword_primary() {
        const token& t = cur();
        size_t p = t.pos;
        if (t.is("NULL")) {
            ++i_;
            return make(expr::null_, p);
        }
        if (t.is("CASE")) return case_expr();
        if (t.is("ROWNUM")) {
            ++i_;
            return make(expr::rownum, p);
        }
        if (t.is("ROWID")) {
            ++i_;
            return make(expr::rowid_, p);
        }
        if (t.is("SYSDATE") || t.is("USER") || t.is("UID")) {
            auto e = make(expr::func, p);
            e->name = t.text;
            ++i_;
            return e;
        }
        if ((t.is("DATE") || t.is("TIMESTAMP")) && peek().k == token::str) {
            auto e = make(expr::func, p);
            e->name = t.is("DATE") ? "DATE LITERAL" : "TIMESTAMP LITERAL";
            ++i_;
            auto s = make(expr::str, cur().pos);
            s->text = cur().text;
            ++i_;
            e->args.push_back(std::move(s));
            return e;
        }
        return nullptr;
    }

    expr_ptr name_or_call() {
        if (auto k = keyword_primary()) return k;
        if (cur().k == token::ident && reserved_words().count(cur().text)) {
            // Reserved words that are also function names.
            if (!(peek().is_op("(") && (is("CHAR") || is("FLOAT")))) throw make_error(936);
        }
        size_t p = cur().pos;
        std::vector<std::string> path;
        path.push_back(cur().k == token::qident ? cur().text : cur().text);
        bool quoted_last = cur().k == token::qident;
        if (cur().k == token::qident && cur().text.empty()) throw make_error(1741);
        ++i_;
        while (is_op(".")) {
            ++i_;
            if (is("ROWID")) {
                ++i_;
                auto e = make(expr::rowid_, p);
                e->path = path;
                return e;
            }
            if (is("NEXTVAL") || is("CURRVAL")) {
                auto e = make(expr::seq, p);
                e->name = cur().text;
                ++i_;
                e->path = path;
                return e;
            }
            if (cur().k != token::ident && cur().k != token::qident) throw make_error(904, {""});
            if (cur().k == token::qident && cur().text.empty()) throw make_error(1741);
            quoted_last = cur().k == token::qident;
            path.push_back(cur().text);
            ++i_;
        }
        if (is_op("(") && !quoted_last && path.size() <= 2) return call(path.back(), p);
        for (const auto& s : path)
            if (s.size() > limit_) throw make_error(972);
        auto e = make(expr::col, p);
        e->path = std::move(path);
        return e;
    }

    expr_ptr call(const std::string& fn, size_t p) {
        auto e = make(expr::func, p);
        e->name = fn;
        ++i_;   // (
        if (accept_op(")")) return e;
        if (accept_op("*")) {
            e->star = true;
            close_paren();
            return e;
        }
        if (accept("DISTINCT")) e->distinct = true;
        else accept("ALL");
        do {
            e->args.push_back(expression());
        } while (accept_op(","));
        close_paren();
        return e;
    }

    expr_ptr case_expr() {
        auto e = make(expr::case_, cur().pos);
        ++i_;
        if (!is("WHEN")) e->args.push_back(expression());
        else e->args.push_back(nullptr);
        if (!is("WHEN")) throw make_error(905);
        while (accept("WHEN")) {
            e->args.push_back(strict_condition());
            expect("THEN", 905);
            e->args.push_back(expression());
        }
        if (accept("ELSE")) e->args.push_back(expression());
        else e->args.push_back(nullptr);
        expect("END", 905);
        return e;
    }

    const std::string& sql_;
    std::vector<token> t_;
    size_t i_ = 0;
    size_t limit_;
    int lenient_ = 1;   // outside conditions (select lists, VALUES) values are fine
};

}  // namespace

std::unique_ptr<statement> parse_statement(const std::string& sql, size_t identifier_limit) {
    return parser(sql, identifier_limit).run();
}

}  // namespace emu
