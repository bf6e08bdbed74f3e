// Row writing and reading: value checks, keys, foreign keys, statement
// atomicity, RETURNING ROWID, LOBs and queries.
#include "emu_test_support.h"

class EmuDml : public store_fixture {
protected:
    void make_orders() {
        run("CREATE TABLE \"ORDERS\" (\"ID\" NUMBER(11,0) NOT NULL, \"NAME\" NVARCHAR2(5) , \"PRICE\" NUMBER(5,2), "
            "\"D\" DATE, \"R\" RAW(4), \"MEMO\" CLOB, \"PIC\" BLOB)");
        run("ALTER TABLE \"ORDERS\" ADD CONSTRAINT \"PK_ORDERS\" PRIMARY KEY (\"ID\")");
    }
};

TEST_F(EmuDml, ValueChecksWithOraclesMessages) {
    make_orders();
    EXPECT_EQ(error_of("INSERT INTO \"ORDERS\" (\"ID\", \"NAME\") VALUES (1, 'abcdef')"), 12899);
    EXPECT_EQ(last_error,
              "ORA-12899: value too large for column \"SCOTT\".\"ORDERS\".\"NAME\" (actual: 6, maximum: 5)");
    EXPECT_EQ(error_of("INSERT INTO \"ORDERS\" (\"ID\", \"PRICE\") VALUES (1, 1000)"), 1438);
    EXPECT_EQ(error_of("INSERT INTO \"ORDERS\" (\"ID\", \"PRICE\") VALUES (1, 'abc')"), 1722);
    EXPECT_EQ(error_of("INSERT INTO \"ORDERS\" (\"ID\", \"R\") VALUES (1, HEXTORAW('0102030405'))"), 12899);
    EXPECT_EQ(error_of("INSERT INTO \"ORDERS\" (\"ID\", \"D\") VALUES (1, to_date('2005-02-30', 'YYYY-MM-DD'))"), 1839);
    EXPECT_EQ(error_of("INSERT INTO \"ORDERS\" (\"NAME\") VALUES ('x')"), 1400);
    EXPECT_EQ(last_error, "ORA-01400: cannot insert NULL into (\"SCOTT\".\"ORDERS\".\"ID\")");
    EXPECT_EQ(error_of("INSERT INTO \"ORDERS\" (\"ID\", \"NOPE\") VALUES (1, 2)"), 904);
    EXPECT_EQ(error_of("INSERT INTO \"ORDERS\" (\"ID\", \"NAME\") VALUES (1)"), 947);
    EXPECT_EQ(error_of("INSERT INTO \"ORDERS\" (\"ID\") VALUES (1, 2)"), 913);
    EXPECT_EQ(one("SELECT COUNT(*) FROM ORDERS"), "0");
}

TEST_F(EmuDml, EmptyStringIsNull) {
    make_orders();
    EXPECT_EQ(error_of("INSERT INTO \"ORDERS\" (\"ID\", \"NAME\") VALUES (1, '')"), 0);
    EXPECT_EQ(one("SELECT COUNT(*) FROM ORDERS WHERE NAME IS NULL"), "1");
    EXPECT_EQ(one("SELECT COUNT(*) FROM DUAL WHERE '' IS NULL"), "1");
    run("CREATE TABLE NN (A VARCHAR2(5) NOT NULL)");
    EXPECT_EQ(error_of("INSERT INTO NN (A) VALUES ('')"), 1400);
}

TEST_F(EmuDml, StoredValuesReadBackInOracleForms) {
    make_orders();
    run("INSERT /*+ APPEND */ INTO \"ORDERS\" (\"ID\", \"NAME\", \"PRICE\", \"D\", \"R\") VALUES (1, 'O''Br', 0.5, "
        "to_date('2005-03-01 10:20:30', 'YYYY-MM-DD HH24:MI:SS'), HEXTORAW('0A1B'))");
    EXPECT_EQ(rows("SELECT ID, NAME, PRICE, D, R FROM ORDERS"),
              (Rows{{"1", "O'Br", ".5", "2005-03-01 10:20:30", std::string("\x0a\x1b", 2)}}));
    emu::exec_result r = run("SELECT ID, NAME, PRICE, D, R FROM ORDERS");
    const auto& cols = r.rows->columns();
    EXPECT_EQ(cols[0].type, emu::col_type::number);
    EXPECT_EQ(cols[0].precision, 11);
    EXPECT_EQ(cols[0].scale, 0);
    EXPECT_FALSE(cols[0].nullable);
    EXPECT_EQ(cols[1].type, emu::col_type::nvarchar2);
    EXPECT_EQ(cols[1].size, 10u);   // NVARCHAR2(5) in AL16UTF16 bytes
    EXPECT_EQ(cols[3].size, 7u);
}

TEST_F(EmuDml, UniqueAndPrimaryKeys) {
    make_orders();
    run("INSERT INTO ORDERS (ID) VALUES (1)");
    EXPECT_EQ(error_of("INSERT INTO ORDERS (ID) VALUES (1)"), 1);
    EXPECT_EQ(last_error, "ORA-00001: unique constraint (SCOTT.PK_ORDERS) violated");
    // The canonical number text makes 1.0 the same key as 1.
    EXPECT_EQ(error_of("INSERT INTO ORDERS (ID) VALUES (1.0)"), 1);
    run("CREATE TABLE U (A NUMBER, B NUMBER, CONSTRAINT UQ UNIQUE (A, B))");
    run("INSERT INTO U (A, B) VALUES (NULL, NULL)");
    run("INSERT INTO U (A, B) VALUES (NULL, NULL)");   // all-NULL keys are not compared
    run("INSERT INTO U (A, B) VALUES (1, NULL)");
    EXPECT_EQ(error_of("INSERT INTO U (A, B) VALUES (1, NULL)"), 1);   // partly NULL keys are
    EXPECT_EQ(error_of("UPDATE ORDERS SET ID = NULL"), 1407);
    EXPECT_EQ(last_error, "ORA-01407: cannot update (\"SCOTT\".\"ORDERS\".\"ID\") to NULL");
}

TEST_F(EmuDml, ForeignKeysOnInsertUpdateAndDelete) {
    run("CREATE TABLE P (ID NUMBER CONSTRAINT PK_P PRIMARY KEY)");
    run("CREATE TABLE C (ID NUMBER, PID NUMBER, CONSTRAINT FK_C FOREIGN KEY (PID) REFERENCES P (ID))");
    run("INSERT INTO P (ID) VALUES (1)");
    EXPECT_EQ(error_of("INSERT INTO C (ID, PID) VALUES (1, 2)"), 2291);
    EXPECT_EQ(last_error, "ORA-02291: integrity constraint (SCOTT.FK_C) violated - parent key not found");
    EXPECT_EQ(error_of("INSERT INTO C (ID, PID) VALUES (1, NULL)"), 0);
    EXPECT_EQ(error_of("INSERT INTO C (ID, PID) VALUES (2, 1)"), 0);
    EXPECT_EQ(error_of("DELETE FROM P WHERE ID = 1"), 2292);
    EXPECT_EQ(last_error, "ORA-02292: integrity constraint (SCOTT.FK_C) violated - child record found");
    EXPECT_EQ(error_of("UPDATE P SET ID = 5"), 2292);
    EXPECT_EQ(error_of("UPDATE C SET PID = 9 WHERE ID = 2"), 2291);
}

TEST_F(EmuDml, DeleteRulesCascadeAndSetNull) {
    run("CREATE TABLE P (ID NUMBER CONSTRAINT PK_P PRIMARY KEY)");
    run("CREATE TABLE C1 (PID NUMBER, CONSTRAINT FK1 FOREIGN KEY (PID) REFERENCES P (ID) ON DELETE CASCADE)");
    run("CREATE TABLE C2 (PID NUMBER, CONSTRAINT FK2 FOREIGN KEY (PID) REFERENCES P (ID) ON DELETE SET NULL)");
    run("INSERT INTO P (ID) VALUES (1)");
    run("INSERT INTO P (ID) VALUES (2)");
    run("INSERT INTO C1 (PID) VALUES (1)");
    run("INSERT INTO C1 (PID) VALUES (2)");
    run("INSERT INTO C2 (PID) VALUES (1)");
    emu::exec_result r = run("DELETE FROM P WHERE ID = 1");
    EXPECT_EQ(r.row_count, 1u);
    EXPECT_EQ(rows("SELECT PID FROM C1"), (Rows{{"2"}}));
    EXPECT_EQ(rows("SELECT PID FROM C2"), (Rows{{"<null>"}}));
}

TEST_F(EmuDml, AFailingStatementChangesNothing) {
    run("CREATE TABLE S (A NUMBER(1))");
    run("CREATE TABLE T (A NUMBER(1))");
    run("INSERT INTO S (A) VALUES (1)");
    run("INSERT INTO S (A) VALUES (2)");
    run("UPDATE S SET A = 9 WHERE A = 2");
    // The second row overflows NUMBER(1) after the first was inserted.
    EXPECT_EQ(error_of("INSERT INTO T (A) SELECT A + 1 FROM S ORDER BY A"), 1438);
    EXPECT_EQ(one("SELECT COUNT(*) FROM T"), "0");
    // The transaction itself stays open and keeps earlier work.
    EXPECT_EQ(one("SELECT COUNT(*) FROM S"), "2");
    s->rollback();
    EXPECT_EQ(one("SELECT COUNT(*) FROM S"), "0");
}

TEST_F(EmuDml, UncommittedWorkEndsWithTheSession) {
    run("CREATE TABLE T (A NUMBER)");
    run("INSERT INTO T (A) VALUES (1)", {}, true);   // OCI_COMMIT_ON_SUCCESS
    run("INSERT INTO T (A) VALUES (2)");
    s.reset();
    s = emu::session::logon("//localhost:1521/XE", "scott", "tiger");
    EXPECT_EQ(rows("SELECT A FROM T"), (Rows{{"1"}}));
}

TEST_F(EmuDml, DdlCommitsTheOpenTransaction) {
    run("CREATE TABLE T (A NUMBER)");
    run("INSERT INTO T (A) VALUES (1)");
    EXPECT_EQ(error_of("CREATE TABLE T (B NUMBER)"), 955);   // fails, yet commits
    s->rollback();
    EXPECT_EQ(one("SELECT COUNT(*) FROM T"), "1");
}

TEST_F(EmuDml, SchemasAreSeparate) {
    run("CREATE TABLE T (A NUMBER)", {}, true);
    auto hr = emu::session::logon("//localhost:1521/XE", "hr", "hr");
    EXPECT_THROW(hr->execute("SELECT * FROM T", {}, false), emu::ora_error);
    EXPECT_EQ(hr->execute("CREATE TABLE T (B DATE)", {}, false).k, emu::exec_result::ddl);
    EXPECT_EQ(rows("SELECT TABLE_NAME FROM USER_TABLES", hr.get()), (Rows{{"T"}}));
    EXPECT_EQ(rows("SELECT COLUMN_NAME FROM USER_TAB_COLUMNS", hr.get()), (Rows{{"B"}}));
}

TEST_F(EmuDml, ReturningRowidFindsTheRowAgain) {
    make_orders();
    emu::exec_result r = run("INSERT /*+ APPEND */ INTO \"ORDERS\" (\"ID\", \"MEMO\", \"PIC\") VALUES (7, EMPTY_CLOB(), "
                             "EMPTY_BLOB()) RETURNING ROWID INTO :1",
                             {emu_test::bind_out(":1")}, true);
    ASSERT_EQ(r.returning.size(), 1u);
    EXPECT_EQ(r.returning_names[0], ":1");
    std::string rowid = r.returning[0].data;
    EXPECT_EQ(rowid.size(), 18u);
    run("INSERT INTO ORDERS (ID) VALUES (8)", {}, true);
    run("DELETE FROM ORDERS WHERE ID = 8", {}, true);
    EXPECT_EQ(one("SELECT ID FROM ORDERS WHERE ROWID = '" + rowid + "'"), "7");
    EXPECT_EQ(one("SELECT ROWID FROM ORDERS WHERE ID = 7"), rowid);
}

TEST_F(EmuDml, LobWritingNeedsTheRowLocked) {
    make_orders();
    emu::exec_result ins = run("INSERT INTO ORDERS (ID, MEMO, PIC) VALUES (1, EMPTY_CLOB(), EMPTY_BLOB()) RETURNING "
                               "ROWID INTO :1",
                               {emu_test::bind_out(":1")}, true);
    std::string rowid = ins.returning[0].data;
    // Without FOR UPDATE the locator may be read but not written.
    std::vector<emu::value> row = first_row("SELECT \"MEMO\" FROM \"ORDERS\" WHERE ROWID='" + rowid + "'");
    ASSERT_TRUE(row[0].lob.has_value());
    EXPECT_FALSE(row[0].null);   // an empty LOB is not NULL
    EXPECT_EQ(s->lob_length(*row[0].lob), 0u);
    EXPECT_EQ(emu_test::code_of([&] { s->clob_write(*row[0].lob, 0, u"x"); }), 22920);
    row = first_row("SELECT \"MEMO\", \"PIC\" FROM \"ORDERS\" WHERE ROWID='" + rowid + "' FOR UPDATE");
    std::u16string text = u"Ελληνικά 中文 \U0001F600 end";
    s->clob_write(*row[0].lob, 0, text);
    std::string blob(1 << 20, '\0');
    for (size_t i = 0; i < blob.size(); ++i) blob[i] = static_cast<char>(i * 7 + 3);
    s->blob_write(*row[1].lob, 0, blob);
    s->commit();
    EXPECT_EQ(s->lob_length(*row[0].lob), text.size());   // UTF-16 units: the emoji counts 2
    EXPECT_EQ(s->clob_read(*row[0].lob, 0, 1000), text);
    EXPECT_EQ(s->clob_read(*row[0].lob, 9, 2), u"中文");
    EXPECT_EQ(s->clob_read(*row[0].lob, 5000, 10), u"");
    EXPECT_EQ(s->lob_length(*row[1].lob), blob.size());
    EXPECT_EQ(s->blob_read(*row[1].lob, 0, blob.size()), blob);
    EXPECT_EQ(s->blob_read(*row[1].lob, 1000, 4), blob.substr(1000, 4));
    // The stored CLOB is plain UTF-8 text.
    EXPECT_EQ(one("SELECT MEMO FROM ORDERS"), "Ελληνικά 中文 \xF0\x9F\x98\x80 end");
}

TEST_F(EmuDml, QueriesJoinsGroupingAndOrdering) {
    run("CREATE TABLE D (ID NUMBER, NAME VARCHAR2(10))");
    run("CREATE TABLE E (ID NUMBER, DID NUMBER, SAL NUMBER(7,2))");
    run("INSERT INTO D (ID, NAME) VALUES (1, 'A')");
    run("INSERT INTO D (ID, NAME) VALUES (2, 'B')");
    for (int i = 1; i <= 12; ++i)
        run("INSERT INTO E (ID, DID, SAL) VALUES (" + std::to_string(i) + ", " + (i % 2 ? "1" : "2") + ", " +
            std::to_string(i * 10) + ".5)");
    // Numbers order numerically, not as text.
    EXPECT_EQ(rows("SELECT ID FROM E WHERE ID > 9 ORDER BY ID DESC"), (Rows{{"12"}, {"11"}, {"10"}}));
    EXPECT_EQ(rows("SELECT d.NAME, COUNT(*), SUM(e.SAL) FROM D d, E e WHERE d.ID = e.DID GROUP BY d.NAME ORDER BY 1"),
              (Rows{{"A", "6", "363"}, {"B", "6", "423"}}));
    EXPECT_EQ(rows("SELECT d.NAME FROM D d JOIN E e ON e.DID = d.ID WHERE e.ID = 3"), (Rows{{"A"}}));
    EXPECT_EQ(one("SELECT COUNT(*) FROM (SELECT ID FROM E WHERE SAL > 60)"), "7");
    EXPECT_EQ(one("SELECT MAX(ID) FROM E WHERE DID IN (SELECT ID FROM D WHERE NAME = 'B')"), "12");
    EXPECT_EQ(error_of("SELECT ID FROM D, E"), 918);
    EXPECT_EQ(error_of("SELECT DID, COUNT(*) FROM E"), 937);
    EXPECT_EQ(error_of("SELECT DID, SAL, COUNT(*) FROM E GROUP BY DID"), 979);
    EXPECT_EQ(one("SELECT COUNT(*) FROM D, D"), "4");
    EXPECT_EQ(rows("SELECT ID FROM D UNION SELECT 7 FROM DUAL ORDER BY 1 DESC"), (Rows{{"7"}, {"2"}, {"1"}}));   // the same table twice is allowed
    EXPECT_EQ(rows("SELECT ID FROM E WHERE ROWNUM <= 2 ORDER BY ID"), (Rows{{"1"}, {"2"}}));
    EXPECT_EQ(one("SELECT COUNT(*) FROM (SELECT ID FROM E WHERE ROWNUM > 1)"), "0");
    EXPECT_EQ(one("SELECT COUNT(*) FROM (SELECT ID FROM E WHERE ROWNUM >= 1)"), "12");
    emu::exec_result r = run("SELECT COUNT(*), 'x' lit, NVL(NULL, 3) FROM DUAL");
    EXPECT_EQ(r.rows->columns()[0].name, "COUNT(*)");
    EXPECT_EQ(r.rows->columns()[1].name, "LIT");
    EXPECT_EQ(r.rows->columns()[2].name, "NVL(NULL,3)");
}

TEST_F(EmuDml, BindsByNameAndPosition) {
    run("CREATE TABLE T (A NUMBER, B VARCHAR2(10))");
    emu::bind_value a{":1", emu::value::make(emu::col_type::number, "5"), false};
    emu::bind_value b{":name", emu::value::make(emu::col_type::varchar2, "five"), false};
    run("INSERT INTO T (A, B) VALUES (:1, :name)", {a, b});
    EXPECT_EQ(rows("SELECT A, B FROM T"), (Rows{{"5", "five"}}));
    EXPECT_EQ(error_of("SELECT A FROM T WHERE A = :2"), 1008);
    EXPECT_EQ((emu::session::placeholders("SELECT :a, :b, :a FROM DUAL")), (std::vector<std::string>{":A", ":B"}));
}

TEST_F(EmuDml, DescribeHasNoSideEffects) {
    run("CREATE TABLE T (A NUMBER(4,1), B DATE)");
    std::vector<emu::column_info> cols = s->describe("SELECT * FROM T");
    ASSERT_EQ(cols.size(), 2u);
    EXPECT_EQ(cols[0].name, "A");
    EXPECT_EQ(cols[0].precision, 4);
    EXPECT_EQ(cols[0].scale, 1);
    EXPECT_EQ(cols[1].type, emu::col_type::date);
    EXPECT_THROW(s->parse_only("SELECT NOPE FROM T"), emu::ora_error);
    EXPECT_EQ(emu::session::classify("  select 1 from dual"), emu::stmt_kind::select);
    EXPECT_EQ(emu::session::classify("INSERT INTO T VALUES (1)"), emu::stmt_kind::insert);
    EXPECT_EQ(emu::session::classify("CREATE TABLE X (A NUMBER)"), emu::stmt_kind::create);
}
