// Queries: predicates, functions, NULL handling, subqueries, outer joins,
// describe data, and the text forms Oracle returns.
#include "emu_test_support.h"

class EmuQuery : public store_fixture {
protected:
    void SetUp() override {
        store_fixture::SetUp();
        run("CREATE TABLE EMP (ID NUMBER(6) CONSTRAINT PK_EMP PRIMARY KEY, NAME VARCHAR2(20), DEPT NUMBER(4), "
            "SAL NUMBER(8,2), HIRED DATE, NOTE VARCHAR2(100))");
        run("CREATE TABLE DEPT (ID NUMBER(4) CONSTRAINT PK_DEPT PRIMARY KEY, DNAME VARCHAR2(20))");
        run("INSERT INTO DEPT (ID, DNAME) VALUES (10, 'Sales')");
        run("INSERT INTO DEPT (ID, DNAME) VALUES (20, 'Research')");
        run("INSERT INTO DEPT (ID, DNAME) VALUES (30, 'Empty')");
        add(1, "King", "10", "5000", "1981-11-17", "'boss'");
        add(2, "Blake", "10", "2850", "1981-05-01", "NULL");
        add(3, "Clark", "20", "2450.5", "1981-06-09", "'50% off'");
        add(4, "Smith", "20", "800", "1980-12-17", "NULL");
        add(5, "Nobody", "NULL", "NULL", "2000-01-01", "'a_b'");
    }

    void add(int id, const std::string& name, const std::string& dept, const std::string& sal,
             const std::string& hired, const std::string& note) {
        run("INSERT INTO EMP (ID, NAME, DEPT, SAL, HIRED, NOTE) VALUES (" + std::to_string(id) + ", '" + name + "', " +
            dept + ", " + sal + ", to_date('" + hired + "', 'YYYY-MM-DD'), " + note + ")");
    }
};

TEST_F(EmuQuery, ComparisonsAndNulls) {
    EXPECT_EQ(rows("SELECT NAME FROM EMP WHERE SAL > 2500 ORDER BY SAL"), (Rows{{"Blake"}, {"King"}}));
    EXPECT_EQ(rows("SELECT NAME FROM EMP WHERE SAL BETWEEN 800 AND 2450.5 ORDER BY ID"), (Rows{{"Clark"}, {"Smith"}}));
    EXPECT_EQ(rows("SELECT NAME FROM EMP WHERE DEPT IN (20, 30) ORDER BY ID"), (Rows{{"Clark"}, {"Smith"}}));
    EXPECT_EQ(rows("SELECT NAME FROM EMP WHERE DEPT NOT IN (10) ORDER BY ID"), (Rows{{"Clark"}, {"Smith"}}));
    EXPECT_EQ(rows("SELECT NAME FROM EMP WHERE DEPT IS NULL"), (Rows{{"Nobody"}}));
    // A comparison with NULL is never true.
    EXPECT_EQ(one("SELECT COUNT(*) FROM EMP WHERE DEPT = NULL"), "0");
    EXPECT_EQ(one("SELECT COUNT(*) FROM EMP WHERE NOT (SAL > 1000)"), "1");
    // A string compared with a number is converted to a number.
    EXPECT_EQ(one("SELECT NAME FROM EMP WHERE ID = '3'"), "Clark");
    EXPECT_EQ(error_of("SELECT NAME FROM EMP WHERE ID = 'x'"), 1722);
}

TEST_F(EmuQuery, LikeIsCaseSensitiveWithEscapes) {
    EXPECT_EQ(rows("SELECT NAME FROM EMP WHERE NAME LIKE 'K%'"), (Rows{{"King"}}));
    EXPECT_EQ(one("SELECT COUNT(*) FROM EMP WHERE NAME LIKE 'k%'"), "0");
    EXPECT_EQ(rows("SELECT NAME FROM EMP WHERE NOTE LIKE '%\\%%' ESCAPE '\\'"), (Rows{{"Clark"}}));
    EXPECT_EQ(rows("SELECT NAME FROM EMP WHERE NOTE LIKE 'a\\_b' ESCAPE '\\'"), (Rows{{"Nobody"}}));
    EXPECT_EQ(rows("SELECT NAME FROM EMP WHERE NAME NOT LIKE '%a%' ORDER BY ID"), (Rows{{"King"}, {"Smith"}, {"Nobody"}}));
}

TEST_F(EmuQuery, AggregatesIgnoreNulls) {
    EXPECT_EQ(rows("SELECT COUNT(*), COUNT(DEPT), COUNT(DISTINCT DEPT) FROM EMP"), (Rows{{"5", "4", "2"}}));
    EXPECT_EQ(rows("SELECT MIN(SAL), MAX(SAL), SUM(SAL) FROM EMP"), (Rows{{"800", "5000", "11100.5"}}));
    EXPECT_EQ(one("SELECT AVG(SAL) FROM EMP WHERE DEPT = 20"), "1625.25");
    EXPECT_EQ(rows("SELECT MIN(NAME), MAX(HIRED) FROM EMP"), (Rows{{"Blake", "2000-01-01 00:00:00"}}));
    EXPECT_EQ(rows("SELECT DEPT, COUNT(*) FROM EMP GROUP BY DEPT HAVING COUNT(*) > 1 ORDER BY DEPT"),
              (Rows{{"10", "2"}, {"20", "2"}}));
    EXPECT_EQ(one("SELECT SUM(SAL) FROM EMP WHERE 1 = 0"), "<null>");
}

TEST_F(EmuQuery, JoinsAndSubqueries) {
    EXPECT_EQ(rows("SELECT d.DNAME, e.NAME FROM DEPT d LEFT JOIN EMP e ON e.DEPT = d.ID WHERE d.ID = 30"),
              (Rows{{"Empty", "<null>"}}));
    EXPECT_EQ(rows("SELECT DNAME FROM DEPT d WHERE EXISTS (SELECT 1 FROM EMP e WHERE e.DEPT = d.ID) ORDER BY DNAME"),
              (Rows{{"Research"}, {"Sales"}}));
    EXPECT_EQ(rows("SELECT DNAME FROM DEPT WHERE ID NOT IN (SELECT DEPT FROM EMP WHERE DEPT IS NOT NULL)"),
              (Rows{{"Empty"}}));
    EXPECT_EQ(rows("SELECT NAME FROM EMP WHERE SAL = (SELECT MAX(SAL) FROM EMP)"), (Rows{{"King"}}));
    EXPECT_EQ(error_of("SELECT NAME FROM EMP WHERE SAL = (SELECT SAL FROM EMP WHERE DEPT = 10)"), 1427);
    EXPECT_EQ(last_error, "ORA-01427: single-row subquery returns more than one row");
    EXPECT_EQ(one("SELECT (SELECT DNAME FROM DEPT WHERE ID = 99) FROM DUAL"), "<null>");
    EXPECT_EQ(rows("SELECT x.DNAME, x.N FROM (SELECT d.DNAME, COUNT(e.ID) N FROM DEPT d, EMP e WHERE e.DEPT = d.ID "
                   "GROUP BY d.DNAME) x ORDER BY x.N DESC, x.DNAME"),
              (Rows{{"Research", "2"}, {"Sales", "2"}}));
    EXPECT_EQ(rows("SELECT e.NAME, d.DNAME FROM EMP e INNER JOIN DEPT d ON d.ID = e.DEPT WHERE e.ID = 4"),
              (Rows{{"Smith", "Research"}}));
    EXPECT_EQ(error_of("SELECT e.NOPE FROM EMP e"), 904);
    EXPECT_EQ(last_error, "ORA-00904: \"E\".\"NOPE\": invalid identifier");
}

TEST_F(EmuQuery, SingleRowFunctions) {
    EXPECT_EQ(rows("SELECT UPPER(NAME), LOWER(NAME), LENGTH(NAME), SUBSTR(NAME, 2, 3), SUBSTR(NAME, -2) FROM EMP "
                   "WHERE ID = 3"),
              (Rows{{"CLARK", "clark", "5", "lar", "rk"}}));
    EXPECT_EQ(rows("SELECT NVL(DEPT, -1), NVL2(DEPT, 'y', 'n'), DECODE(DEPT, 10, 'ten', 20, 'twenty', 'other') FROM "
                   "EMP WHERE ID IN (1, 5) ORDER BY ID"),
              (Rows{{"10", "y", "ten"}, {"-1", "n", "other"}}));
    EXPECT_EQ(rows("SELECT CASE WHEN SAL > 3000 THEN 'high' WHEN SAL > 1000 THEN 'mid' ELSE 'low' END FROM EMP "
                   "WHERE ID < 5 ORDER BY ID"),
              (Rows{{"high"}, {"mid"}, {"mid"}, {"low"}}));
    EXPECT_EQ(rows("SELECT NAME || ' (' || DEPT || ')' FROM EMP WHERE ID IN (1, 5) ORDER BY ID"),
              (Rows{{"King (10)"}, {"Nobody ()"}}));   // || treats NULL as an empty string
    EXPECT_EQ(rows("SELECT TRIM('  x  '), LTRIM('xxy', 'x'), RTRIM('yxx', 'x'), REPLACE('abcabc', 'b', 'XY'), "
                   "LPAD('7', 3, '0'), RPAD('ab', 4, '-') FROM DUAL"),
              (Rows{{"x", "y", "y", "aXYcaXYc", "007", "ab--"}}));
    EXPECT_EQ(rows("SELECT ROUND(2.567, 2), TRUNC(2.567, 2), ROUND(-2.5), MOD(17, 5), ABS(-3), CEIL(1.2), FLOOR(-1.2) "
                   "FROM DUAL"),
              (Rows{{"2.57", "2.56", "-3", "2", "3", "2", "-2"}}));
    EXPECT_EQ(rows("SELECT TO_CHAR(HIRED, 'YYYY/MM/DD'), TO_CHAR(HIRED), TO_CHAR(SAL), TO_NUMBER('12.50') FROM EMP "
                   "WHERE ID = 3"),
              (Rows{{"1981/06/09", "09-JUN-81", "2450.5", "12.5"}}));
    EXPECT_EQ(one("SELECT RAWTOHEX(HEXTORAW('0aff')) FROM DUAL"), "0AFF");
    EXPECT_EQ(error_of("SELECT HEXTORAW('xyz') FROM DUAL"), 1465);
    EXPECT_EQ(error_of("SELECT NO_SUCH_FUNCTION(1) FROM DUAL"), 904);
    EXPECT_EQ(error_of("SELECT NVL(1) FROM DUAL"), 909);
}

TEST_F(EmuQuery, DatesAndArithmetic) {
    EXPECT_EQ(one("SELECT HIRED + 1 FROM EMP WHERE ID = 4"), "1980-12-18 00:00:00");
    EXPECT_EQ(one("SELECT TO_DATE('2005-03-02', 'YYYY-MM-DD') - TO_DATE('2005-03-01', 'YYYY-MM-DD') FROM DUAL"), "1");
    EXPECT_EQ(one("SELECT COUNT(*) FROM EMP WHERE HIRED < TO_DATE('1981-01-01', 'YYYY-MM-DD')"), "1");
    EXPECT_EQ(one("SELECT TRUNC(TO_DATE('2005-03-01 10:20:30', 'YYYY-MM-DD HH24:MI:SS')) FROM DUAL"),
              "2005-03-01 00:00:00");
    EXPECT_EQ(one("SELECT DATE '2024-02-29' FROM DUAL"), "2024-02-29 00:00:00");
    EXPECT_EQ(one("SELECT 7 / 2 FROM DUAL"), "3.5");
    EXPECT_EQ(one("SELECT (1 + 2) * 3 - 4 FROM DUAL"), "5");
    EXPECT_EQ(one("SELECT 0.1 + 0.2 FROM DUAL"), ".3");
    EXPECT_EQ(error_of("SELECT 1 / 0 FROM DUAL"), 1476);
    EXPECT_EQ(one("SELECT COUNT(*) FROM DUAL WHERE SYSDATE > DATE '2020-01-01'"), "1");
}

TEST_F(EmuQuery, DescribedColumns) {
    emu::exec_result r = run("SELECT ID, NAME, SAL * 2 DOUBLE_SAL, HIRED, 'abc', COUNT(*) OVER_ALL FROM EMP GROUP BY ID, "
                             "NAME, SAL, HIRED");
    const auto& c = r.rows->columns();
    ASSERT_EQ(c.size(), 6u);
    EXPECT_EQ(c[0].name, "ID");
    EXPECT_EQ(c[0].precision, 6);
    EXPECT_FALSE(c[0].nullable);   // primary key column
    EXPECT_EQ(c[1].type, emu::col_type::varchar2);
    EXPECT_EQ(c[1].size, 20u);
    EXPECT_EQ(c[2].name, "DOUBLE_SAL");
    EXPECT_EQ(c[2].type, emu::col_type::number);
    EXPECT_EQ(c[2].precision, 0);      // a computed NUMBER has no precision
    EXPECT_EQ(c[2].scale, -127);
    EXPECT_EQ(c[3].size, 7u);
    EXPECT_EQ(c[4].name, "'ABC'");     // an unaliased literal is named after its text
    EXPECT_EQ(c[4].type, emu::col_type::char_);
    EXPECT_EQ(c[4].size, 3u);
    EXPECT_EQ(c[5].name, "OVER_ALL");
}

TEST_F(EmuQuery, QuotedAndSpecialIdentifiers) {
    run("CREATE TABLE \"My Table\" (\"a b\" NUMBER, \"Mixed\" VARCHAR2(5), COL$1 NUMBER, COL#2 NUMBER)");
    run("INSERT INTO \"My Table\" (\"a b\", \"Mixed\", COL$1, col#2) VALUES (1, 'x', 2, 3)");
    EXPECT_EQ(rows("SELECT \"a b\", \"Mixed\", col$1, COL#2 FROM \"My Table\""), (Rows{{"1", "x", "2", "3"}}));
    EXPECT_EQ(error_of("SELECT mixed FROM \"My Table\""), 904);
    emu::exec_result r = run("SELECT * FROM \"My Table\"");
    EXPECT_EQ(r.rows->columns()[1].name, "Mixed");
    EXPECT_EQ(one("SELECT COLUMN_NAME FROM USER_TAB_COLUMNS WHERE TABLE_NAME = 'My Table' AND COLUMN_ID = 1"), "a b");
}

TEST_F(EmuQuery, UpdateAndDeleteCounts) {
    emu::exec_result u = run("UPDATE EMP SET SAL = SAL * 2 WHERE DEPT = 10");
    EXPECT_EQ(u.row_count, 2u);
    EXPECT_EQ(one("SELECT SAL FROM EMP WHERE ID = 2"), "5700");
    EXPECT_EQ(error_of("UPDATE EMP SET SAL = 1000000 WHERE ID = 1"), 1438);
    EXPECT_EQ(one("SELECT SAL FROM EMP WHERE ID = 1"), "10000");
    emu::exec_result d = run("DELETE FROM EMP WHERE SAL IS NULL");
    EXPECT_EQ(d.row_count, 1u);
    EXPECT_EQ(run("DELETE EMP WHERE ID = 99").row_count, 0u);
    EXPECT_EQ(one("SELECT COUNT(*) FROM EMP"), "4");
    run("UPDATE EMP e SET e.NOTE = 'n' || e.ID WHERE e.ID = 4");
    EXPECT_EQ(one("SELECT NOTE FROM EMP WHERE ID = 4"), "n4");
}

TEST_F(EmuQuery, ForUpdateAndRowidPseudoColumn) {
    Rows r = rows("SELECT ROWID, ID FROM EMP WHERE ID = 2 FOR UPDATE");
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0][0].size(), 18u);
    EXPECT_EQ(one("SELECT NAME FROM EMP WHERE ROWID = '" + r[0][0] + "'"), "Blake");
    // A ROWID of another table finds nothing here.
    std::string other = one("SELECT ROWID FROM DEPT WHERE ID = 10");
    EXPECT_EQ(one("SELECT COUNT(*) FROM EMP WHERE ROWID = '" + other + "'"), "0");
    EXPECT_EQ(error_of("SELECT NAME FROM EMP WHERE ROWID = 'bad'"), 1410);
    // A bound ROWID finds its row through the key; text that is no ROWID of
    // this table, a NULL or a number finds nothing, as a text comparison would.
    std::string tweaked = r[0][0];
    tweaked[8] = tweaked[8] == 'E' ? 'F' : 'E';  // another file number: no ROWID this table gives
    const struct {
        emu::value v;
        Rows want;
    } cases[] = {{emu::value::make(emu::col_type::varchar2, r[0][0]), {{"Blake"}}},
                 {emu::value::make(emu::col_type::varchar2, other), {}},
                 {emu::value::make(emu::col_type::varchar2, tweaked), {}},
                 {emu::value::make(emu::col_type::varchar2, "bad"), {}},
                 {emu::value::make_null(emu::col_type::varchar2), {}},
                 {emu::value::make(emu::col_type::number, "2"), {}}};
    for (const auto& c : cases) {
        for (const char* sql : {"SELECT NAME FROM EMP WHERE ROWID = :1", "SELECT NAME FROM EMP WHERE :1 = ROWID"}) {
            Rows got;
            emu::exec_result q = run(sql, {emu::bind_value{":1", c.v, false}});
            std::vector<emu::value> row;
            while (q.rows->fetch(row)) got.push_back({row.at(0).data});
            EXPECT_EQ(got, c.want) << sql << " with " << c.v.data;
        }
    }
    // Through UPDATE as well (the loader gives empty LOBs their value so).
    run("UPDATE EMP SET NOTE = 'found' WHERE ROWID = :1",
        {emu::bind_value{":1", emu::value::make(emu::col_type::varchar2, r[0][0]), false}});
    EXPECT_EQ(one("SELECT NOTE FROM EMP WHERE ID = 2"), "found");
}

TEST_F(EmuQuery, CharColumnsArePaddedAndTimestampsKeepFractions) {
    run("CREATE TABLE C (A CHAR(5), B NCHAR(3), T TIMESTAMP(3))");
    run("INSERT INTO C (A, B, T) VALUES ('ab', 'x', TIMESTAMP '2020-01-02 03:04:05.123456')");
    EXPECT_EQ(rows("SELECT A, B, T FROM C"), (Rows{{"ab   ", "x  ", "2020-01-02 03:04:05.123000000"}}));
    EXPECT_EQ(one("SELECT DATA_TYPE FROM USER_TAB_COLUMNS WHERE TABLE_NAME = 'C' AND COLUMN_NAME = 'T'"), "TIMESTAMP(3)");
}
