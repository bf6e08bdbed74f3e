// The tokenizer and parser: names, literals, data type declarations, DEFAULT
// texts, trigger parts and the errors Oracle gives for malformed text.
#include "emu_ast.h"
#include "emu_lexer.h"
#include "emu_test_support.h"

#include <gtest/gtest.h>

using namespace emu;

namespace {

std::unique_ptr<statement> parse(const std::string& sql, size_t limit = 30) { return parse_statement(sql, limit); }

int parse_error(const std::string& sql, size_t limit = 30) { return emu_test::code_of([&] { parse(sql, limit); }); }

}  // namespace

TEST(EmuLexer, FoldsUnquotedNamesOnly) {
    auto t = tokenize("select \"Mixed\", plain, Ärger, :b1, :\"Qb\", n'x', 'it''s', 1.5e3, .5 -- comment\n/*+ hint */ x");
    ASSERT_GE(t.size(), 20u);
    EXPECT_EQ(t[0].text, "SELECT");
    EXPECT_EQ(t[1].k, token::qident);
    EXPECT_EQ(t[1].text, "Mixed");
    EXPECT_EQ(t[3].text, "PLAIN");
    EXPECT_EQ(t[5].text, "ÄRGER");   // every letter is folded, not only ASCII
    EXPECT_EQ(t[7].k, token::bind);
    EXPECT_EQ(t[7].text, "B1");
    EXPECT_EQ(t[9].text, "Qb");
    EXPECT_TRUE(t[11].nchar);
    EXPECT_EQ(t[13].text, "it's");
    EXPECT_EQ(t[15].text, "1.5e3");
    EXPECT_EQ(t[17].text, ".5");
    EXPECT_EQ(t[18].text, "X");      // comments and hints are dropped
    EXPECT_EQ(t.back().k, token::end);
}

TEST(EmuLexer, Errors) {
    auto code = [](const std::string& s) { return emu_test::code_of([&] { tokenize(s); }); };
    EXPECT_EQ(code("select 'open"), 1756);
    EXPECT_EQ(code("select \"open"), 1740);
    EXPECT_EQ(code("select ? from dual"), 911);
    EXPECT_EQ(code("select a != b, c ^= d from t"), 0);
}

TEST(EmuParser, CreateTableColumnsAndDefaults) {
    auto st = parse("CREATE TABLE \"T\" (\"A\" NVARCHAR2(10)  DEFAULT 'x y' NOT NULL, \"B\" NUMBER(5,-2) DEFAULT -1, "
                    "C VARCHAR2(20 CHAR), D NUMBER(*,2), E TIMESTAMP(3), F CHAR, CONSTRAINT PK PRIMARY KEY (A, B))");
    ASSERT_EQ(st->k, statement::create_table);
    EXPECT_EQ(st->name, "T");
    ASSERT_EQ(st->column_defs.size(), 6u);
    const column_def& a = st->column_defs[0];
    EXPECT_EQ(a.type.type, col_type::nvarchar2);
    EXPECT_EQ(a.type.length, 10);
    EXPECT_TRUE(a.has_default);
    EXPECT_EQ(a.default_text, "'x y' ");   // up to the next token, blank included
    EXPECT_TRUE(a.not_null);
    EXPECT_EQ(st->column_defs[1].type.scale, -2);
    EXPECT_TRUE(st->column_defs[1].type.has_scale);
    EXPECT_EQ(st->column_defs[1].default_text, "-1");
    EXPECT_TRUE(st->column_defs[2].type.char_sem);
    EXPECT_TRUE(st->column_defs[3].type.star_precision);
    EXPECT_EQ(st->column_defs[4].type.scale, 3);
    EXPECT_EQ(st->column_defs[5].type.length, 1);   // CHAR alone is CHAR(1)
    ASSERT_EQ(st->constraints.size(), 1u);
    EXPECT_EQ(st->constraints[0].name, "PK");
    EXPECT_EQ(st->constraints[0].columns, (std::vector<std::string>{"A", "B"}));
}

TEST(EmuParser, InlineConstraintsAndReferences) {
    auto st = parse("CREATE TABLE C (ID NUMBER CONSTRAINT PK_C PRIMARY KEY, P NUMBER REFERENCES PARENT (ID) ON DELETE "
                    "SET NULL, U NUMBER UNIQUE, CONSTRAINT FK FOREIGN KEY (U) REFERENCES HR.P2 ON DELETE CASCADE)");
    ASSERT_EQ(st->column_defs[0].inline_constraints.size(), 1u);
    EXPECT_EQ(st->column_defs[0].inline_constraints[0].type, 'P');
    EXPECT_EQ(st->column_defs[0].inline_constraints[0].name, "PK_C");
    const auto& r = st->column_defs[1].inline_constraints[0];
    EXPECT_EQ(r.type, 'R');
    EXPECT_EQ(r.ref_table, "PARENT");
    EXPECT_EQ(r.delete_rule, "SET NULL");
    EXPECT_EQ(st->column_defs[2].inline_constraints[0].type, 'U');
    EXPECT_EQ(st->constraints[0].ref_owner, "HR");
    EXPECT_EQ(st->constraints[0].delete_rule, "CASCADE");
    EXPECT_TRUE(st->constraints[0].ref_columns.empty());
    EXPECT_EQ(parse_error("ALTER TABLE C ADD FOREIGN KEY (A) REFERENCES P (B) ON DELETE NO ACTION"), 905);
}

TEST(EmuParser, SequenceOptions) {
    auto st = parse("CREATE SEQUENCE \"ORDERS_0\" INCREMENT BY 1 START WITH 1 MAXVALUE 1.0E28 MINVALUE 1 NOCYCLE "
                    "NOCACHE ORDER");
    ASSERT_EQ(st->k, statement::create_sequence);
    EXPECT_EQ(*st->seq_max, "1.0E28");
    EXPECT_EQ(*st->seq_min, "1");
    EXPECT_TRUE(st->seq_nocache);
    EXPECT_TRUE(st->seq_order);
    EXPECT_FALSE(st->seq_cycle);
    auto neg = parse("CREATE SEQUENCE S INCREMENT BY -1 MINVALUE -10");
    EXPECT_EQ(*neg->seq_increment, "-1");
    EXPECT_EQ(*neg->seq_min, "-10");
}

TEST(EmuParser, TriggerParts) {
    auto st = parse("CREATE OR REPLACE TRIGGER T__TRIGGER BEFORE INSERT ON T FOR EACH ROW WHEN (new.ID IS NULL) "
                    "BEGIN select S.nextval into :new.ID from dual; END;");
    ASSERT_EQ(st->k, statement::create_trigger);
    EXPECT_TRUE(st->or_replace);
    EXPECT_EQ(st->name, "T__TRIGGER");
    EXPECT_EQ(st->timing, "BEFORE");
    EXPECT_EQ(st->event, "INSERT");
    EXPECT_EQ(st->table, "T");
    EXPECT_TRUE(st->for_each_row);
    EXPECT_EQ(st->when_text, "new.ID IS NULL");
    EXPECT_EQ(st->body_text, "BEGIN select S.nextval into :new.ID from dual; END;");
    auto multi = parse("CREATE TRIGGER X AFTER INSERT OR UPDATE OF A OR DELETE ON T BEGIN NULL; END;\n/\n");
    EXPECT_EQ(multi->event, "INSERT OR UPDATE OR DELETE");
    // "/" ends a block in SQL*Plus only; sent to the server it is part of the body.
    EXPECT_EQ(multi->body_text, "BEGIN NULL; END;\n/");
    EXPECT_EQ(parse_error("CREATE OR REPLACE TABLE T (A NUMBER)"), 922);
}

TEST(EmuParser, InsertForms) {
    auto st = parse("INSERT /*+ APPEND */ INTO \"ORDERS\" (\"A\", \"B\") VALUES('O''Brien', EMPTY_CLOB()) RETURNING "
                    "ROWID INTO :1");
    ASSERT_EQ(st->k, statement::insert);
    EXPECT_EQ(st->columns, (std::vector<std::string>{"A", "B"}));
    ASSERT_EQ(st->values.size(), 2u);
    EXPECT_EQ(st->values[0]->text, "O'Brien");
    EXPECT_EQ(st->values[1]->name, "EMPTY_CLOB");
    ASSERT_EQ(st->returning.size(), 1u);
    EXPECT_EQ(st->returning[0]->k, expr::rowid_);
    EXPECT_EQ(st->into, (std::vector<std::string>{"1"}));
    auto sel = parse("INSERT INTO T SELECT * FROM U");
    EXPECT_TRUE(sel->columns.empty());
    EXPECT_TRUE(sel->query != nullptr);
    EXPECT_EQ(parse_error("INSERT INTO T (A) VALUE (1)"), 926);
    EXPECT_EQ(parse_error("INSERT T VALUES (1)"), 925);
    // '' is NULL already in the parsed form.
    EXPECT_EQ(parse("INSERT INTO T VALUES ('')")->values[0]->k, expr::null_);
}

TEST(EmuParser, SelectStructure) {
    auto st = parse("SELECT DISTINCT a.x, COUNT(*) n, b.* FROM t1 a, (SELECT y FROM t2) b WHERE a.x = b.y AND "
                    "(a.z > 1 OR a.z IS NULL) GROUP BY a.x HAVING COUNT(*) > 1 ORDER BY 2 DESC NULLS LAST FOR UPDATE");
    const select_stmt& q = *st->query;
    EXPECT_TRUE(q.distinct);
    ASSERT_EQ(q.items.size(), 3u);
    EXPECT_EQ(q.items[0].heading, "X");
    EXPECT_EQ(q.items[1].heading, "N");
    EXPECT_TRUE(q.items[2].star);
    EXPECT_EQ(q.items[2].star_qualifier, "B");
    ASSERT_EQ(q.from.size(), 2u);
    EXPECT_EQ(q.from[0].alias, "A");
    EXPECT_TRUE(q.from[1].sub != nullptr);
    EXPECT_EQ(q.where->name, "AND");   // AND binds tighter than OR
    EXPECT_EQ(q.group_by.size(), 1u);
    ASSERT_EQ(q.order_by.size(), 1u);
    EXPECT_TRUE(q.order_by[0].desc);
    EXPECT_EQ(q.order_by[0].nulls, 2);
    EXPECT_TRUE(q.for_update);
}

TEST(EmuParser, PrecedenceOfTheCatalogueQuery) {
    auto st = parse("select TABLE_NAME, IOT_TYPE from user_tables where TEMPORARY='N' and NESTED='NO' and IOT_TYPE IS "
                    "NULL OR IOT_TYPE='IOT'");
    const expr& w = *st->query->where;
    // (TEMPORARY='N' AND NESTED='NO' AND IOT_TYPE IS NULL) OR IOT_TYPE='IOT'
    ASSERT_EQ(w.name, "OR");
    EXPECT_EQ(w.args[0]->name, "AND");
    EXPECT_EQ(w.args[1]->name, "=");
}

TEST(EmuParser, HeadingsOfExpressions) {
    auto st = parse("SELECT count( * ), a + b, \"Quoted\" , nvl(x, 'a b'), 'lit' FROM t");
    const auto& it = st->query->items;
    EXPECT_EQ(it[0].heading, "COUNT(*)");
    EXPECT_EQ(it[1].heading, "A+B");
    EXPECT_EQ(it[2].heading, "Quoted");
    EXPECT_EQ(it[3].heading, "NVL(X,'A B')");
    EXPECT_EQ(it[4].heading, "'LIT'");
}

// The statements below are wrong on purpose (the checker's grammar rejects
// them too), except BEGIN NULL; END;, a PL/SQL block.
TEST(EmuParser, ErrorNumbers) {
    EXPECT_EQ(parse_error("SELECT * FROM t;"), 911);
    EXPECT_EQ(parse_error("SELECT * FROM t WHERE"), 936);
    EXPECT_EQ(parse_error("SELECT a b c FROM t"), 923);
    EXPECT_EQ(parse_error("SELECT * FROM t AS x"), 933);   // Oracle has no AS before a table alias
    EXPECT_EQ(parse_error("SELECT * FROM t WHERE a NOT 1"), 920);
    EXPECT_EQ(parse_error("CREATE TABLE t (a NUMBER"), 907);
    EXPECT_EQ(parse_error("CREATE TABLE t (a FOO)"), 902);
    EXPECT_EQ(parse_error("CREATE VIEW v AS SELECT 1 FROM dual"), 901);
    EXPECT_EQ(parse_error("DROP USER x"), 950);
    EXPECT_EQ(parse_error("UPDATE t a = 1"), 971);
    EXPECT_EQ(parse_error("UPDATE t SET a 1"), 927);
    EXPECT_EQ(parse_error("ALTER TABLE t FROB"), 1735);
    EXPECT_EQ(parse_error("CREATE TABLE select (a NUMBER)"), 903);
    EXPECT_EQ(parse_error("SELECT t.\"\" FROM t"), 1741);
    EXPECT_EQ(parse_error("CREATE INDEX " + std::string(31, 'I') + " ON t (a)"), 972);
    EXPECT_EQ(parse_error("CREATE INDEX " + std::string(31, 'I') + " ON t (a)", 128), 0);
    EXPECT_EQ(parse_error("BEGIN NULL; END;"), 0);
}
