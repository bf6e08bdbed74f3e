// Statements a real Oracle server refuses must be refused here as well, with
// Oracle's error number: a client tested against the stand-in would
// otherwise pass here and fail in production.
#include "emu_test_support.h"

namespace {

// One statement after some set-up, and the error Oracle gives (0: accepted).
struct refusal_case {
    const char* why;                    // Oracle's documented behaviour
    std::vector<std::string> setup;
    std::string sql;
    int code;
};

std::string text_of(size_t n, char c = 'x') { return std::string(n, c); }

std::string repeat(const std::string& unit, int n) {
    std::string s;
    while (n-- > 0) s += unit;
    return s;
}

}  // namespace

class EmuRefusal : public store_fixture {
protected:
    void check_cases(const std::vector<refusal_case>& cases) {
        for (const auto& c : cases) {
            SCOPED_TRACE(c.why);
            for (const auto& setup : c.setup) ASSERT_EQ(error_of(setup), 0) << setup << ": " << last_error;
            EXPECT_EQ(error_of(c.sql), c.code) << c.sql.substr(0, 200) << ": " << last_error;
            s->rollback();
            for (const auto& t : {"T", "P", "C"}) error_of(std::string("DROP TABLE ") + t + " CASCADE CONSTRAINTS");
        }
    }
};

TEST_F(EmuRefusal, LiteralsKeysAndLengths) {
    const std::string big = text_of(4001), full = text_of(4000);
    check_cases({
        {"Oracle: ORA-01704 string literal too long (over 4000 bytes)", {"CREATE TABLE T (C CLOB)"},
         "INSERT INTO T (C) VALUES ('" + big + "')", 1704},
        {"Oracle: a literal of exactly 4000 bytes is accepted", {"CREATE TABLE T (C CLOB)"},
         "INSERT INTO T (C) VALUES ('" + full + "')", 0},
        {"Oracle: the limit counts bytes, not characters (2001 two-byte letters)", {"CREATE TABLE T (C CLOB)"},
         "INSERT INTO T (C) VALUES ('" + repeat("\xCE\xB1", 2001) + "')",
         1704},
        {"Oracle: ORA-01450 maximum key length (6398) exceeded on an 8 KB block",
         {"CREATE TABLE T (A VARCHAR2(4000), B VARCHAR2(4000))"}, "CREATE INDEX TI ON T (A, B)", 1450},
        {"Oracle: a primary key is an index and has the same limit", {},
         "CREATE TABLE T (A NVARCHAR2(2000), B NVARCHAR2(2000), CONSTRAINT TPK PRIMARY KEY (A, B))", 1450},
        {"Oracle: a unique constraint added later has the same limit",
         {"CREATE TABLE T (A VARCHAR2(4000 CHAR), B VARCHAR2(3000))"}, "ALTER TABLE T ADD CONSTRAINT TU UNIQUE (A, B)",
         1450},
        {"Oracle: keys within the limit are created", {"CREATE TABLE T (A VARCHAR2(4000), B VARCHAR2(2000))"},
         "CREATE INDEX TI ON T (A, B)", 0},
        {"Oracle: one VARCHAR2(4000) key fits", {"CREATE TABLE T (A VARCHAR2(4000), B NUMBER)"},
         "CREATE UNIQUE INDEX TI ON T (A, B)", 0},
        {"Oracle: ORA-02267 column type incompatible with referenced column type",
         {"CREATE TABLE P (ID NUMBER PRIMARY KEY)", "CREATE TABLE C (PID VARCHAR2(10))"},
         "ALTER TABLE C ADD CONSTRAINT CF FOREIGN KEY (PID) REFERENCES P (ID)", 2267},
        {"Oracle: DATE does not refer to NUMBER", {"CREATE TABLE P (ID NUMBER PRIMARY KEY)"},
         "CREATE TABLE C (PID DATE REFERENCES P (ID))", 2267},
        {"Oracle: NUMBER(5) refers to NUMBER(11) (precision may differ)",
         {"CREATE TABLE P (ID NUMBER(11) PRIMARY KEY)"}, "CREATE TABLE C (PID NUMBER(5) REFERENCES P (ID))", 0},
        {"Oracle: ORA-00001 a unique index refuses a duplicate, partly NULL keys included",
         {"CREATE TABLE T (A NUMBER, B NUMBER)", "CREATE UNIQUE INDEX TU ON T (A, B)", "INSERT INTO T VALUES (1, NULL)"},
         "INSERT INTO T VALUES (1, NULL)", 1},
        {"Oracle: rows whose indexed columns are all NULL stay out of a unique index",
         {"CREATE TABLE T (A NUMBER, B NUMBER)", "CREATE UNIQUE INDEX TU ON T (A, B)", "INSERT INTO T VALUES (NULL, NULL)"},
         "INSERT INTO T VALUES (NULL, NULL)", 0},
        {"Oracle: ORA-00001 an update onto another row's key of a unique index",
         {"CREATE TABLE T (A NUMBER)", "CREATE UNIQUE INDEX TU ON T (A)", "INSERT INTO T VALUES (1)",
          "INSERT INTO T VALUES (2)"},
         "UPDATE T SET A = 1 WHERE A = 2", 1},
        {"Oracle: a row keeps its own key of a unique index",
         {"CREATE TABLE T (A NUMBER)", "CREATE UNIQUE INDEX TU ON T (A)", "INSERT INTO T VALUES (1)"},
         "UPDATE T SET A = 1 WHERE A = 1", 0},
        {"Oracle: a plain index refuses nothing",
         {"CREATE TABLE T (A NUMBER)", "CREATE INDEX TI ON T (A)", "INSERT INTO T VALUES (1)"},
         "INSERT INTO T VALUES (1)", 0},
        {"Oracle: ORA-00904 IFNULL is no Oracle function", {}, "SELECT IFNULL(NULL, 1) FROM DUAL", 904},
        {"Oracle: ORA-00907 TRIM takes no second argument after a comma", {}, "SELECT TRIM('xax', 'x') FROM DUAL", 907},
        {"Oracle: LTRIM takes a set of characters", {}, "SELECT LTRIM('xax', 'x') FROM DUAL", 0},
    });
}

// The 4000-byte ceiling of VARCHAR2 holds whatever the length semantics:
// VARCHAR2(4000 CHAR) cannot take 4000 two-byte characters.
TEST_F(EmuRefusal, CharSemanticsKeepTheByteCeiling) {
    run("CREATE TABLE T (A VARCHAR2(4000 CHAR), B VARCHAR2(10 CHAR))");
    const std::string alpha2000 = repeat("\xCE\xB1", 2000), alpha2001 = alpha2000 + "\xCE\xB1";
    EXPECT_EQ(error_of("INSERT INTO T (A) VALUES ('" + alpha2000 + "')"), 0);
    EXPECT_EQ(error_of("INSERT INTO T (A) VALUES (:1)",
                       {{":1", emu::value::make(emu::col_type::varchar2, alpha2001), false}}),
              12899);
    EXPECT_NE(last_error.find("actual: 4002, maximum: 4000"), std::string::npos) << last_error;
    // Ten characters of four bytes each fit VARCHAR2(10 CHAR).
    EXPECT_EQ(error_of("INSERT INTO T (B) VALUES ('" + std::string(10 * 1, 'a') + "')"), 0);
    run("INSERT INTO T (B) VALUES (:1)",
        {{":1", emu::value::make(emu::col_type::varchar2, repeat("\xF0\x9F\x98\x80", 10)), false}});
    EXPECT_EQ(one("SELECT COUNT(*) FROM T"), "3");
}

// Oracle compiles a CHECK condition and a DEFAULT expression when they are
// created; a bad one is refused then, not at the first row.
TEST_F(EmuRefusal, ConditionsAndDefaultsAreCheckedWhenCreated) {
    check_cases({
        {"Oracle: ORA-00904 a CHECK on a column the table lacks", {}, "CREATE TABLE T (A NUMBER CHECK (B > 0))", 904},
        {"Oracle: ORA-00904 a CHECK calling an unknown function", {},
         "CREATE TABLE T (A NUMBER, CONSTRAINT TC CHECK (NOFUNC(A) > 0))", 904},
        {"Oracle: ORA-02436 SYSDATE in a CHECK", {}, "CREATE TABLE T (D DATE CHECK (D < SYSDATE))", 2436},
        {"Oracle: ORA-02251 subquery in a CHECK", {},
         "CREATE TABLE T (A NUMBER CHECK (A IN (SELECT 1 FROM DUAL)))", 2251},
        {"Oracle: a valid CHECK is created", {},
         "CREATE TABLE T (A NUMBER CONSTRAINT TA CHECK (A BETWEEN 1 AND 9), B VARCHAR2(3) CHECK (B IN ('Y', 'N')))", 0},
        {"Oracle: ORA-00984 a DEFAULT naming a column", {}, "CREATE TABLE T (A NUMBER, B NUMBER DEFAULT A)", 984},
        {"Oracle: ORA-00984 a DEFAULT with an unknown name", {}, "CREATE TABLE T (A NUMBER DEFAULT NOSUCH)", 984},
        {"Oracle: ORA-00904 a DEFAULT calling an unknown function", {}, "CREATE TABLE T (A NUMBER DEFAULT NOFUNC(1))",
         904},
        {"Oracle 11g: ORA-00984 a sequence in a DEFAULT", {"CREATE SEQUENCE S"},
         "CREATE TABLE T (A NUMBER DEFAULT S.NEXTVAL)", 984},
        {"Oracle: ALTER TABLE ... ADD checks the default as well", {"CREATE TABLE T (A NUMBER)"},
         "ALTER TABLE T ADD (B NUMBER DEFAULT A + 1)", 984},
        {"Oracle: ALTER TABLE ... MODIFY checks the default as well", {"CREATE TABLE T (A NUMBER)"},
         "ALTER TABLE T MODIFY (A DEFAULT NOFUNC())", 904},
        {"Oracle: expression defaults are accepted", {},
         "CREATE TABLE T (A NUMBER DEFAULT -1, D DATE DEFAULT SYSDATE, S VARCHAR2(30) DEFAULT USER, "
         "N NUMBER DEFAULT ROUND(2.5) + 1, C VARCHAR2(5) DEFAULT 'it''s')",
         0},
    });
    // The accepted defaults work.
    run("CREATE TABLE T (A NUMBER DEFAULT -1, N NUMBER DEFAULT ROUND(2.5) + 1, C VARCHAR2(5) DEFAULT 'it''s', X NUMBER)");
    run("INSERT INTO T (X) VALUES (0)");
    EXPECT_EQ(rows("SELECT A, N, C FROM T"), (Rows{{"-1", "4", "it's"}}));
}

TEST_F(EmuRefusal, CheckConstraintsAreEnforced) {
    run("CREATE TABLE T (ID NUMBER, QTY NUMBER CONSTRAINT QTY_POS CHECK (QTY > 0), "
        "FLAG CHAR(1), CONSTRAINT FLAG_YN CHECK (FLAG IN ('Y', 'N')), CONSTRAINT QTY_ID CHECK (QTY <> ID))");
    struct {
        const char* sql;
        int code;
        const char* constraint;
    } cases[] = {
        {"INSERT INTO T (ID, QTY, FLAG) VALUES (1, 5, 'Y')", 0, ""},
        {"INSERT INTO T (ID, QTY, FLAG) VALUES (2, 0, 'Y')", 2290, "SCOTT.QTY_POS"},
        {"INSERT INTO T (ID, QTY, FLAG) VALUES (3, 5, 'x')", 2290, "SCOTT.FLAG_YN"},
        {"INSERT INTO T (ID, QTY, FLAG) VALUES (4, 4, 'N')", 2290, "SCOTT.QTY_ID"},
        // A condition that is unknown (NULL) is no violation.
        {"INSERT INTO T (ID, QTY, FLAG) VALUES (5, NULL, NULL)", 0, ""},
        {"UPDATE T SET QTY = -1 WHERE ID = 1", 2290, "SCOTT.QTY_POS"},
        {"UPDATE T SET QTY = 10 WHERE ID = 1", 0, ""},
        {"INSERT INTO T (ID, QTY) SELECT 6, -6 FROM DUAL", 2290, "SCOTT.QTY_POS"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sql);
        EXPECT_EQ(error_of(c.sql), c.code);
        if (c.code) {
            EXPECT_EQ(last_error, std::string("ORA-02290: check constraint (") + c.constraint + ") violated");
        }
    }
    EXPECT_EQ(rows("SELECT ID, QTY, FLAG FROM T ORDER BY ID"), (Rows{{"1", "10", "Y"}, {"5", "<null>", "<null>"}}));
    // The dictionary shows it as Oracle does: type C with its condition.
    EXPECT_EQ(one("SELECT SEARCH_CONDITION FROM USER_CONSTRAINTS WHERE CONSTRAINT_NAME = 'QTY_POS'"), "QTY > 0");
    EXPECT_EQ(one("SELECT CONSTRAINT_TYPE FROM USER_CONSTRAINTS WHERE CONSTRAINT_NAME = 'FLAG_YN'"), "C");
    // Added later, it must hold for the rows already there (ORA-02293).
    EXPECT_EQ(error_of("ALTER TABLE T ADD CONSTRAINT BIG CHECK (QTY > 100)"), 2293);
    EXPECT_EQ(error_of("ALTER TABLE T ADD CONSTRAINT SMALL CHECK (QTY < 100)"), 0);
    EXPECT_EQ(error_of("INSERT INTO T (ID, QTY) VALUES (7, 500)"), 2290);
    // Dropping a CHECK or making a checked column nullable keeps the others.
    EXPECT_EQ(error_of("ALTER TABLE T DROP CONSTRAINT SMALL"), 0);
    EXPECT_EQ(error_of("INSERT INTO T (ID, QTY) VALUES (7, 500)"), 0);
    EXPECT_EQ(error_of("INSERT INTO T (ID, QTY) VALUES (8, -8)"), 2290);
}

// Oracle: ORA-00932 inconsistent datatypes: expected - got CLOB. A LOB is
// not compared, sorted, grouped or made distinct; IS NULL, LIKE and
// functions such as LENGTH still take it.
TEST_F(EmuRefusal, LobsAreNotComparedSortedOrGrouped) {
    run("CREATE TABLE L (ID NUMBER, C CLOB, N NCLOB, B BLOB)");
    run("INSERT INTO L (ID, C, N, B) VALUES (1, 'text', N'text', HEXTORAW('00'))");
    struct {
        const char* sql;
        const char* got;   // nullptr: accepted
    } cases[] = {
        {"SELECT ID FROM L WHERE C = 'text'", "CLOB"},
        {"SELECT ID FROM L WHERE 'text' <> N", "NCLOB"},
        {"SELECT ID FROM L WHERE B = HEXTORAW('00')", "BLOB"},
        {"SELECT ID FROM L WHERE C IN ('a', 'b')", "CLOB"},
        {"SELECT ID FROM L WHERE C BETWEEN 'a' AND 'z'", "CLOB"},
        {"SELECT ID FROM L WHERE C IN (SELECT C FROM L)", "CLOB"},
        {"SELECT ID, C FROM L ORDER BY C", "CLOB"},
        {"SELECT ID, C FROM L ORDER BY 2", "CLOB"},
        {"SELECT DISTINCT C FROM L", "CLOB"},
        {"SELECT C FROM L UNION SELECT C FROM L", "CLOB"},
        {"SELECT C, COUNT(*) FROM L GROUP BY C", "CLOB"},
        {"SELECT MAX(C) FROM L", "CLOB"},
        {"SELECT COUNT(DISTINCT B) FROM L", "BLOB"},
        {"SELECT C FROM L UNION ALL SELECT C FROM L", nullptr},
        {"SELECT ID FROM L WHERE C IS NOT NULL AND C LIKE 't%'", nullptr},
        {"SELECT LENGTH(C), COUNT(C) FROM L GROUP BY LENGTH(C)", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sql);
        EXPECT_EQ(error_of(c.sql), c.got ? 932 : 0) << last_error;
        if (c.got) {
            EXPECT_EQ(last_error, std::string("ORA-00932: inconsistent datatypes: expected - got ") + c.got);
        }
    }
}

// Oracle gives ROWNUM to rows as they are found, before ORDER BY: the
// classic "WHERE ROWNUM <= 3 ORDER BY K" sorts the first three rows found,
// which is why top-n queries put the ORDER BY in an inline view.
TEST_F(EmuRefusal, RownumLimitsBeforeSorting) {
    run("CREATE TABLE R (K NUMBER, C CLOB)");
    for (int k : {5, 3, 9, 1, 7}) run("INSERT INTO R (K, C) VALUES (" + std::to_string(k) + ", 'c" + std::to_string(k) + "')");
    EXPECT_EQ(rows("SELECT K FROM R WHERE ROWNUM <= 3 ORDER BY K"), (Rows{{"3"}, {"5"}, {"9"}}));
    EXPECT_EQ(rows("SELECT K FROM R WHERE ROWNUM < 3 AND K > 1 ORDER BY K DESC"), (Rows{{"5"}, {"3"}}));
    EXPECT_EQ(rows("SELECT K, C FROM R WHERE ROWNUM <= 2 ORDER BY 1"), (Rows{{"3", "c3"}, {"5", "c5"}}));
    // A limited inline view keeps its rows when the outer query sorts.
    EXPECT_EQ(rows("SELECT K FROM (SELECT K FROM R WHERE ROWNUM <= 3) ORDER BY K"), (Rows{{"3"}, {"5"}, {"9"}}));
    // The top-n form sorts first.
    EXPECT_EQ(rows("SELECT K FROM (SELECT K FROM R ORDER BY K) WHERE ROWNUM <= 3"), (Rows{{"1"}, {"3"}, {"5"}}));
    // A LOB of such a row still has its locator.
    std::vector<emu::value> row = first_row("SELECT C FROM R WHERE ROWNUM <= 1 ORDER BY K");
    ASSERT_TRUE(row[0].lob.has_value());
    EXPECT_EQ(s->clob_read(*row[0].lob, 0, 10), u"c5");
}

// Oracle: every NEXTVAL of one sequence in one row gives the same number.
TEST_F(EmuRefusal, NextvalOncePerRow) {
    run("CREATE SEQUENCE S");
    run("CREATE TABLE N (A NUMBER, B NUMBER, C NUMBER)");
    run("INSERT INTO N (A, B, C) VALUES (S.NEXTVAL, S.NEXTVAL, S.CURRVAL)");
    run("INSERT INTO N (A, B, C) VALUES (S.NEXTVAL, S.NEXTVAL * 10, 0)");
    EXPECT_EQ(rows("SELECT A, B, C FROM N ORDER BY A"), (Rows{{"1", "1", "1"}, {"2", "20", "0"}}));
    EXPECT_EQ(rows("SELECT S.NEXTVAL, S.NEXTVAL FROM DUAL"), (Rows{{"3", "3"}}));
    // Each row of a query takes its own.
    run("INSERT INTO N (A, B, C) SELECT S.NEXTVAL, S.NEXTVAL, 1 FROM N WHERE C = 0 OR C = 1");
    EXPECT_EQ(rows("SELECT A, B FROM N WHERE A > 3 ORDER BY A"), (Rows{{"4", "4"}, {"5", "5"}}));
}

// Trigger shapes Oracle refuses at CREATE, or creates with compilation
// errors (ORA-24344, success with info) so that every insert then fails
// with ORA-04098.
TEST_F(EmuRefusal, TriggerShapes) {
    run("CREATE TABLE T (ID NUMBER, V NUMBER)");
    run("CREATE SEQUENCE S");
    const std::string body = " BEGIN SELECT S.NEXTVAL INTO :new.ID FROM dual; END;";
    struct {
        const char* why;
        std::string sql;
        int code;            // raised by CREATE
        bool created_valid;  // when created: compiles
    } cases[] = {
        {"Oracle: ORA-04082 :new in a table-level trigger", "CREATE TRIGGER TR BEFORE INSERT ON T" + body, 4082, false},
        {"Oracle: ORA-04077 WHEN in a table-level trigger",
         "CREATE TRIGGER TR BEFORE INSERT ON T WHEN (new.ID IS NULL)" + body, 4077, false},
        {"Oracle: ORA-04084 an AFTER trigger cannot change :new",
         "CREATE TRIGGER TR AFTER INSERT ON T FOR EACH ROW" + body, 4084, false},
        {"Oracle: ORA-04084 also for an assignment",
         "CREATE TRIGGER TR AFTER INSERT ON T FOR EACH ROW BEGIN :new.V := 1; END;", 4084, false},
        {"Oracle: a trailing / is sent as part of the body and does not compile",
         "CREATE TRIGGER TR BEFORE INSERT ON T FOR EACH ROW" + body + "\n/", 0, false},
        {"Oracle: the form without / compiles", "CREATE TRIGGER TR BEFORE INSERT ON T FOR EACH ROW" + body, 0, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        emu::exec_result r;
        int code = 0;
        try {
            r = run(c.sql);
        } catch (const emu::ora_error& e) {
            code = e.code;
        }
        EXPECT_EQ(code, c.code);
        if (code) {
            EXPECT_EQ(one("SELECT COUNT(*) FROM USER_TRIGGERS"), "0");
            continue;
        }
        EXPECT_EQ(r.warning.has_value(), !c.created_valid);
        EXPECT_EQ(error_of("INSERT INTO T (V) VALUES (1)"), c.created_valid ? 0 : 4098);
        run("DROP TRIGGER TR");
    }
    EXPECT_EQ(rows("SELECT ID, V FROM T"), (Rows{{"1", "1"}}));
}
