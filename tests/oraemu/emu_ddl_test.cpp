// Table, key, index and sequence creation as Oracle records it in its
// dictionary, and the errors it raises.
#include "emu_store.h"
#include "emu_test_support.h"

class EmuDdl : public store_fixture {};

TEST_F(EmuDdl, IdentifiersFoldUnlessQuoted) {
    ASSERT_EQ(error_of("CREATE TABLE orders (id NUMBER)"), 0);
    // "Orders" is another table than ORDERS.
    ASSERT_EQ(error_of("CREATE TABLE \"Orders\" (\"Id\" NUMBER)"), 0);
    EXPECT_EQ(error_of("CREATE TABLE ORDERS (x NUMBER)"), 955);
    EXPECT_EQ(rows("SELECT TABLE_NAME FROM USER_TABLES ORDER BY TABLE_NAME"), (Rows{{"ORDERS"}, {"Orders"}}));
    EXPECT_EQ(one("SELECT COUNT(*) FROM \"Orders\""), "0");
    EXPECT_EQ(error_of("SELECT \"ID\" FROM \"Orders\""), 904);
    EXPECT_EQ(last_error, "ORA-00904: \"ID\": invalid identifier");
}

TEST_F(EmuDdl, IdentifierLengthLimitOf11g) {
    std::string n30(30, 'A'), n31(31, 'A');
    EXPECT_EQ(error_of("CREATE TABLE " + n30 + " (x NUMBER)"), 0);
    EXPECT_EQ(error_of("CREATE TABLE " + n31 + " (x NUMBER)"), 972);
    EXPECT_EQ(last_error, "ORA-00972: identifier is too long");
    EXPECT_EQ(error_of("CREATE TABLE \"\" (x NUMBER)"), 1741);   // invalid on purpose
}

// These statements are wrong on purpose; the Oracle grammar checker
// rejects them as well.
TEST_F(EmuDdl, SyntaxErrors) {
    EXPECT_EQ(error_of("SELECT 1 FROM DUAL;"), 911);   // a trailing ';' is an invalid character
    EXPECT_EQ(error_of("SELEC 1 FROM DUAL"), 900);
    EXPECT_EQ(error_of("SELECT 1 FROM DUAL x y"), 933);
    EXPECT_EQ(error_of("SELECT FROM DUAL"), 936);
    EXPECT_EQ(error_of("SELECT (1 FROM DUAL"), 907);
    EXPECT_EQ(error_of("SELECT 1"), 923);
    EXPECT_EQ(error_of("CREATE TABLE t (date DATE)"), 904);   // DATE is reserved
    EXPECT_EQ(error_of("CREATE TABLE t (c VARCHAR2)"), 906);
    EXPECT_EQ(error_of("SELECT * FROM no_such_table"), 942);
}

TEST_F(EmuDdl, DataDefaultKeepsTheTextAsWritten) {
    ASSERT_EQ(error_of("CREATE TABLE \"T\" (\"A\" NVARCHAR2(10)  DEFAULT 'it''s' NOT NULL, \"B\" NUMBER(11,0) "
                       "DEFAULT 0, \"C\" DATE DEFAULT SYSDATE , \"D\" NUMBER)"),
              0);
    // The default's text runs to the next token, blanks included.
    EXPECT_EQ(rows("select COLUMN_NAME, DATA_DEFAULT, DATA_TYPE from USER_TAB_COLUMNS where table_name = 'T' "
                   "ORDER BY COLUMN_ID"),
              (Rows{{"A", "'it''s' ", "NVARCHAR2"}, {"B", "0", "NUMBER"}, {"C", "SYSDATE ", "DATE"},
                    {"D", "<null>", "NUMBER"}}));
}

TEST_F(EmuDdl, ColumnSizesPrecisionAndNullability) {
    ASSERT_EQ(error_of("CREATE TABLE T (A NUMBER, B NUMBER(5,2), C NUMBER(11), D NVARCHAR2(50), "
                       "E VARCHAR2(20 CHAR), F RAW(16), G DATE, H CLOB, I FLOAT, J INTEGER, K TIMESTAMP, "
                       "L CHAR(3) NOT NULL)"),
              0);
    Rows r = rows("SELECT COLUMN_NAME, DATA_TYPE, DATA_LENGTH, DATA_PRECISION, DATA_SCALE, NULLABLE, CHAR_LENGTH, "
                  "CHAR_USED FROM USER_TAB_COLUMNS WHERE TABLE_NAME = 'T' ORDER BY COLUMN_ID");
    ASSERT_EQ(r.size(), 12u);
    EXPECT_EQ(r[0], (std::vector<std::string>{"A", "NUMBER", "22", "<null>", "<null>", "Y", "0", "<null>"}));
    EXPECT_EQ(r[1], (std::vector<std::string>{"B", "NUMBER", "22", "5", "2", "Y", "0", "<null>"}));
    EXPECT_EQ(r[2], (std::vector<std::string>{"C", "NUMBER", "22", "11", "0", "Y", "0", "<null>"}));
    // NVARCHAR2 lengths are characters; the data length is bytes of AL16UTF16.
    EXPECT_EQ(r[3], (std::vector<std::string>{"D", "NVARCHAR2", "100", "<null>", "<null>", "Y", "50", "C"}));
    EXPECT_EQ(r[4][7], "C");
    EXPECT_EQ(r[5], (std::vector<std::string>{"F", "RAW", "16", "<null>", "<null>", "Y", "0", "<null>"}));
    EXPECT_EQ(r[6][2], "7");
    EXPECT_EQ(r[7][2], "4000");
    EXPECT_EQ(r[8][3], "126");   // bare FLOAT: binary precision 126
    EXPECT_EQ(r[9][3], "<null>");
    EXPECT_EQ(r[9][4], "0");     // INTEGER is NUMBER(*,0)
    EXPECT_EQ(r[10][1], "TIMESTAMP(6)");
    EXPECT_EQ(r[11][5], "N");
}

TEST_F(EmuDdl, TypeMaxima) {
    // With the AL16UTF16 national character set NVARCHAR2 holds 2000 characters.
    EXPECT_EQ(error_of("CREATE TABLE T1 (A NVARCHAR2(2000))"), 0);
    EXPECT_EQ(error_of("CREATE TABLE T2 (A NVARCHAR2(4000))"), 910);
    EXPECT_EQ(last_error, "ORA-00910: specified length too long for its datatype");
    EXPECT_EQ(error_of("CREATE TABLE T3 (A RAW(2001))"), 910);
    EXPECT_EQ(error_of("CREATE TABLE T4 (A VARCHAR2(4001))"), 910);
    EXPECT_EQ(error_of("CREATE TABLE T5 (A CHAR(2001))"), 910);
    EXPECT_EQ(error_of("CREATE TABLE T6 (A NUMBER(39))"), 1727);
    EXPECT_EQ(error_of("CREATE TABLE T7 (A LONG, B LONG)"), 1754);
    EXPECT_EQ(error_of("CREATE TABLE T8 (A NUMBER, A DATE)"), 957);
}

TEST_F(EmuDdl, PrimaryKeyCreatesAnIndexOfTheSameName) {
    ASSERT_EQ(error_of("CREATE TABLE \"T\" (\"ID\" NUMBER(11,0), \"B\" NUMBER(5,0))"), 0);
    ASSERT_EQ(error_of("ALTER TABLE \"T\" ADD CONSTRAINT \"PK_T\" PRIMARY KEY (\"ID\")"), 0);
    EXPECT_EQ(rows("SELECT INDEX_NAME, UNIQUENESS, GENERATED FROM USER_INDEXES WHERE TABLE_NAME = 'T'"),
              (Rows{{"PK_T", "UNIQUE", "N"}}));
    EXPECT_EQ(rows("SELECT CONSTRAINT_TYPE, INDEX_NAME, GENERATED FROM USER_CONSTRAINTS WHERE CONSTRAINT_NAME = 'PK_T'"),
              (Rows{{"P", "PK_T", "USER NAME"}}));
    // Primary key columns become NOT NULL.
    EXPECT_EQ(one("SELECT NULLABLE FROM USER_TAB_COLUMNS WHERE TABLE_NAME = 'T' AND COLUMN_NAME = 'ID'"), "N");
    EXPECT_EQ(error_of("ALTER TABLE \"T\" ADD CONSTRAINT \"PK2\" PRIMARY KEY (\"B\")"), 2260);
    EXPECT_EQ(last_error, "ORA-02260: table can have only one primary key");
    EXPECT_EQ(error_of("ALTER TABLE \"T\" ADD CONSTRAINT \"U1\" UNIQUE (\"ID\")"), 2261);
    EXPECT_EQ(error_of("CREATE INDEX \"I1\" ON \"T\" (\"ID\")"), 1408);
    EXPECT_EQ(last_error, "ORA-01408: such column list already indexed");
    EXPECT_EQ(error_of("ALTER TABLE \"T\" ADD CONSTRAINT \"PK_T\" UNIQUE (\"B\")"), 2264);
}

TEST_F(EmuDdl, UnnamedKeysGetSystemNames) {
    ASSERT_EQ(error_of("CREATE TABLE T (ID NUMBER PRIMARY KEY, C NUMBER NOT NULL)"), 0);
    Rows r = rows("SELECT CONSTRAINT_NAME, CONSTRAINT_TYPE, SEARCH_CONDITION, GENERATED FROM USER_CONSTRAINTS "
                  "WHERE TABLE_NAME = 'T' ORDER BY CONSTRAINT_TYPE");
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[0][0].rfind("SYS_C", 0), 0u);
    EXPECT_EQ(r[0][1], "C");   // NOT NULL is a check constraint
    EXPECT_EQ(r[0][2], "\"C\" IS NOT NULL");
    EXPECT_EQ(r[1][1], "P");
    EXPECT_EQ(r[1][3], "GENERATED NAME");
    // The system-named key's index carries the same name and GENERATED 'Y',
    // so the product's query for user indexes (generated='N') skips it.
    EXPECT_EQ(one("SELECT GENERATED FROM USER_INDEXES WHERE INDEX_NAME = '" + r[1][0] + "'"), "Y");
}

TEST_F(EmuDdl, ExistingIndexServesANewKey) {
    ASSERT_EQ(error_of("CREATE TABLE T (A NUMBER, B NUMBER)"), 0);
    ASSERT_EQ(error_of("CREATE INDEX I1 ON T (A)"), 0);
    ASSERT_EQ(error_of("ALTER TABLE T ADD CONSTRAINT PK_T PRIMARY KEY (A)"), 0);
    EXPECT_EQ(rows("SELECT INDEX_NAME FROM USER_INDEXES WHERE TABLE_NAME = 'T'"), (Rows{{"I1"}}));
    EXPECT_EQ(one("SELECT INDEX_NAME FROM USER_CONSTRAINTS WHERE CONSTRAINT_NAME = 'PK_T'"), "I1");
    EXPECT_EQ(error_of("DROP INDEX I1"), 2429);
    EXPECT_EQ(error_of("DROP INDEX NO_SUCH"), 1418);
}

TEST_F(EmuDdl, IndexColumnsAndErrors) {
    ASSERT_EQ(error_of("CREATE TABLE T (A NUMBER, B VARCHAR2(10), M CLOB)"), 0);
    ASSERT_EQ(error_of("CREATE INDEX \"IX\" ON \"T\" (\"B\", \"A\")"), 0);
    EXPECT_EQ(rows("SELECT COLUMN_NAME, COLUMN_POSITION, DESCEND FROM USER_IND_COLUMNS WHERE INDEX_NAME = 'IX' "
                   "ORDER BY COLUMN_POSITION"),
              (Rows{{"B", "1", "ASC"}, {"A", "2", "ASC"}}));
    EXPECT_EQ(error_of("CREATE INDEX IX ON T (A)"), 955);
    EXPECT_EQ(error_of("CREATE INDEX IX2 ON T (M)"), 2327);
    EXPECT_EQ(error_of("CREATE INDEX IX3 ON T (A, A)"), 957);
    EXPECT_EQ(error_of("CREATE INDEX IX4 ON T (Z)"), 904);
    EXPECT_EQ(error_of("ALTER TABLE T ADD CONSTRAINT U_M UNIQUE (M)"), 2329);
}

TEST_F(EmuDdl, KeysOverExistingRowsAreValidated) {
    ASSERT_EQ(error_of("CREATE TABLE T (A NUMBER, B NUMBER)"), 0);
    run("INSERT INTO T (A, B) VALUES (1, NULL)");
    run("INSERT INTO T (A, B) VALUES (1, 2)");
    EXPECT_EQ(error_of("ALTER TABLE T ADD CONSTRAINT PK_T PRIMARY KEY (A)"), 2437);
    EXPECT_EQ(last_error, "ORA-02437: cannot validate (SCOTT.PK_T) - primary key violated");
    EXPECT_EQ(error_of("ALTER TABLE T ADD CONSTRAINT U_B UNIQUE (B)"), 0);
    // A key over the same columns as another is refused before the data is looked at.
    EXPECT_EQ(error_of("ALTER TABLE T ADD CONSTRAINT PK_B PRIMARY KEY (B)"), 2261);
    EXPECT_EQ(error_of("ALTER TABLE T ADD CONSTRAINT PK_BA PRIMARY KEY (B, A)"), 1449);
    EXPECT_EQ(error_of("CREATE UNIQUE INDEX UA ON T (A)"), 1452);
}

TEST_F(EmuDdl, SequencesAndTheirDictionary) {
    std::string create = "CREATE SEQUENCE \"ORDERS_0\" INCREMENT BY 1 START WITH 1 MAXVALUE 1.0E28 MINVALUE 1 "
                         "NOCYCLE NOCACHE ORDER";   // the checker's grammar wants an integer after MAXVALUE
    ASSERT_EQ(error_of(create), 0);
    EXPECT_EQ(error_of(create), 955);
    EXPECT_EQ(last_error, "ORA-00955: name is already used by an existing object");
    EXPECT_EQ(rows("SELECT MIN_VALUE, MAX_VALUE, INCREMENT_BY, CYCLE_FLAG, ORDER_FLAG, CACHE_SIZE, LAST_NUMBER "
                   "FROM USER_SEQUENCES"),
              (Rows{{"1", "10000000000000000000000000000", "1", "N", "Y", "0", "1"}}));
    EXPECT_EQ(one("SELECT ORDERS_0.NEXTVAL FROM DUAL"), "1");
    EXPECT_EQ(one("SELECT ORDERS_0.NEXTVAL FROM DUAL"), "2");
    EXPECT_EQ(one("SELECT ORDERS_0.CURRVAL FROM DUAL"), "2");
    EXPECT_EQ(one("SELECT LAST_NUMBER FROM USER_SEQUENCES"), "3");
    // Tables and sequences share one namespace.
    EXPECT_EQ(error_of("CREATE TABLE \"ORDERS_0\" (A NUMBER)"), 955);
    EXPECT_EQ(error_of("DROP SEQUENCE NO_SUCH"), 2289);
    EXPECT_EQ(error_of("SELECT NO_SUCH.NEXTVAL FROM DUAL"), 2289);
}

TEST_F(EmuDdl, SequenceLimitsAndCurrval) {
    ASSERT_EQ(error_of("CREATE SEQUENCE S2 START WITH 5 MAXVALUE 6 NOCACHE"), 0);
    EXPECT_EQ(error_of("SELECT S2.CURRVAL FROM DUAL"), 8002);
    EXPECT_EQ(one("SELECT S2.NEXTVAL FROM DUAL"), "5");
    EXPECT_EQ(one("SELECT S2.NEXTVAL FROM DUAL"), "6");
    EXPECT_EQ(error_of("SELECT S2.NEXTVAL FROM DUAL"), 8004);
    EXPECT_EQ(error_of("CREATE SEQUENCE S3 START WITH 0"), 4006);
    EXPECT_EQ(error_of("CREATE SEQUENCE S4 INCREMENT BY 0"), 4002);
}

// Known grammar difference: the checker's grammar lacks DROP TABLE ...
// CASCADE CONSTRAINTS, which Oracle accepts and the converter sends.
TEST_F(EmuDdl, DropTableReferencedByForeignKeys) {
    ASSERT_EQ(error_of("CREATE TABLE P (ID NUMBER CONSTRAINT PK_P PRIMARY KEY)"), 0);
    ASSERT_EQ(error_of("CREATE TABLE C (ID NUMBER, PID NUMBER)"), 0);
    ASSERT_EQ(error_of("ALTER TABLE \"C\" ADD FOREIGN KEY (\"PID\") REFERENCES \"P\"(\"ID\")"), 0);
    EXPECT_EQ(error_of("DROP TABLE \"P\""), 2449);
    EXPECT_EQ(last_error, "ORA-02449: unique/primary keys in table referenced by foreign keys");
    EXPECT_EQ(error_of("DROP TABLE \"P\" CASCADE CONSTRAINTS"), 0);
    EXPECT_EQ(one("SELECT COUNT(*) FROM USER_CONSTRAINTS WHERE TABLE_NAME = 'C'"), "0");
    EXPECT_EQ(one("SELECT COUNT(*) FROM USER_TABLES WHERE TABLE_NAME = 'P'"), "0");
    EXPECT_EQ(error_of("DROP TABLE \"P\""), 942);
}

// Known grammar difference: REFERENCES P without a column list (the
// parent's primary key) is Oracle syntax the checker's grammar refuses.
TEST_F(EmuDdl, ForeignKeyNeedsAMatchingKey) {
    ASSERT_EQ(error_of("CREATE TABLE P (ID NUMBER, CODE NUMBER)"), 0);
    ASSERT_EQ(error_of("CREATE TABLE C (PID NUMBER)"), 0);
    EXPECT_EQ(error_of("ALTER TABLE C ADD FOREIGN KEY (PID) REFERENCES P (ID)"), 2270);
    EXPECT_EQ(error_of("ALTER TABLE C ADD FOREIGN KEY (PID) REFERENCES P"), 2268);
    EXPECT_EQ(error_of("ALTER TABLE C ADD FOREIGN KEY (PID) REFERENCES NOPE (ID)"), 942);
    run("ALTER TABLE P ADD CONSTRAINT PK_P PRIMARY KEY (ID)");
    run("INSERT INTO C (PID) VALUES (7)");
    EXPECT_EQ(error_of("ALTER TABLE C ADD CONSTRAINT FK_C FOREIGN KEY (PID) REFERENCES P (ID)"), 2298);
    EXPECT_EQ(last_error, "ORA-02298: cannot validate (SCOTT.FK_C) - parent keys not found");
}

TEST_F(EmuDdl, ForeignKeyDictionaryRows) {
    run("CREATE TABLE P (ID NUMBER CONSTRAINT PK_P PRIMARY KEY)");
    run("CREATE TABLE C (PID NUMBER)");
    run("ALTER TABLE C ADD CONSTRAINT FK_C FOREIGN KEY (PID) REFERENCES P (ID) ON DELETE CASCADE");
    EXPECT_EQ(rows("select a.TABLE_NAME,a.CONSTRAINT_NAME,a.DELETE_RULE,b.COLUMN_NAME FROM USER_CONSTRAINTS a, "
                   "USER_CONS_COLUMNS b WHERE a.CONSTRAINT_NAME=b.CONSTRAINT_NAME and a.CONSTRAINT_TYPE='R' and "
                   "a.R_CONSTRAINT_NAME='PK_P'"),
              (Rows{{"C", "FK_C", "CASCADE", "PID"}}));
    EXPECT_EQ(one("select count(*) from USER_CONSTRAINTS where R_CONSTRAINT_NAME='PK_P' and CONSTRAINT_TYPE='R'"), "1");
}

TEST_F(EmuDdl, ModifyColumnNullability) {
    run("CREATE TABLE \"T\" (\"A\" NVARCHAR2(10) NOT NULL, \"B\" NUMBER)");
    EXPECT_EQ(error_of("ALTER TABLE \"T\" MODIFY \"A\" NVARCHAR2(10)  NULL"), 0);
    EXPECT_EQ(one("SELECT NULLABLE FROM USER_TAB_COLUMNS WHERE COLUMN_NAME = 'A'"), "Y");
    EXPECT_EQ(error_of("ALTER TABLE \"T\" MODIFY \"A\" NVARCHAR2(10)  NULL"), 1451);
    run("INSERT INTO T (A, B) VALUES (NULL, 1)");
    EXPECT_EQ(error_of("ALTER TABLE T MODIFY A NOT NULL"), 2296);
    EXPECT_EQ(error_of("ALTER TABLE T MODIFY B NOT NULL"), 0);
    EXPECT_EQ(error_of("ALTER TABLE T MODIFY B NOT NULL"), 1442);
    EXPECT_EQ(error_of("ALTER TABLE T MODIFY B DATE"), 1439);
    EXPECT_EQ(error_of("ALTER TABLE T ADD (C NUMBER DEFAULT 5)"), 0);
    EXPECT_EQ(one("SELECT C FROM T"), "5");
    EXPECT_EQ(error_of("ALTER TABLE T ADD (D NUMBER NOT NULL)"), 1758);
}

TEST_F(EmuDdl, TriggerOfTheConverterFillsTheKey) {
    run("CREATE TABLE \"ORDERS\" (\"ID\" NUMBER(11,0), \"NAME\" NVARCHAR2(20) )");
    run("CREATE SEQUENCE \"ORDERS_0\" INCREMENT BY 1 START WITH 1 MAXVALUE 1.0E28 MINVALUE 1 NOCYCLE NOCACHE ORDER");
    emu::exec_result r = run(
        "CREATE OR REPLACE TRIGGER ORDERS__TRIGGER BEFORE INSERT ON ORDERS FOR EACH ROW WHEN (new.ID IS NULL) "
        "BEGIN select ORDERS_0.nextval into :new.ID from dual; END;");
    EXPECT_FALSE(r.warning.has_value());
    run("INSERT INTO \"ORDERS\" (\"NAME\") VALUES ('a')");
    run("INSERT INTO \"ORDERS\" (\"ID\", \"NAME\") VALUES (100, 'b')");
    run("INSERT INTO \"ORDERS\" (\"NAME\") VALUES ('c')");
    EXPECT_EQ(rows("SELECT ID, NAME FROM ORDERS ORDER BY NAME"), (Rows{{"1", "a"}, {"100", "b"}, {"2", "c"}}));
    EXPECT_EQ(rows("SELECT TRIGGER_NAME, TRIGGER_TYPE, TRIGGERING_EVENT, TABLE_NAME, WHEN_CLAUSE FROM USER_TRIGGERS"),
              (Rows{{"ORDERS__TRIGGER", "BEFORE EACH ROW", "INSERT", "ORDERS", "new.ID IS NULL"}}));
}

TEST_F(EmuDdl, TriggerOnMixedCaseTableFails) {
    // Unquoted names in the trigger text are upper-cased, so a table
    // created as "Orders" is not found.
    run("CREATE TABLE \"Orders\" (\"ID\" NUMBER(11,0))");
    run("CREATE SEQUENCE \"Orders_0\" NOCACHE");
    EXPECT_EQ(error_of("CREATE OR REPLACE TRIGGER Orders__TRIGGER BEFORE INSERT ON Orders FOR EACH ROW WHEN "
                       "(new.ID IS NULL) BEGIN select Orders_0.nextval into :new.ID from dual; END;"),
              942);
}

TEST_F(EmuDdl, TriggerThatDoesNotCompileIsCreatedInvalid) {
    run("CREATE TABLE T (ID NUMBER, V NUMBER)");
    emu::exec_result r = run("CREATE OR REPLACE TRIGGER T__TRIGGER BEFORE INSERT ON T FOR EACH ROW WHEN (new.ID IS NULL) "
                             "BEGIN select MISSING_SEQ.nextval into :new.ID from dual; END;");
    ASSERT_TRUE(r.warning.has_value());
    EXPECT_EQ(r.warning->code, 24344);
    EXPECT_EQ(one("SELECT STATUS FROM USER_OBJECTS WHERE OBJECT_NAME = 'T__TRIGGER'"), "INVALID");
    EXPECT_EQ(error_of("INSERT INTO T (V) VALUES (1)"), 4098);
    EXPECT_EQ(last_error, "ORA-04098: trigger 'SCOTT.T__TRIGGER' is invalid and failed re-validation");
    // Once the sequence exists the trigger compiles on its next use.
    run("CREATE SEQUENCE MISSING_SEQ");
    EXPECT_EQ(error_of("INSERT INTO T (V) VALUES (1)"), 0);
    EXPECT_EQ(one("SELECT ID FROM T"), "1");
}

TEST_F(EmuDdl, MixedCaseNamesAreStoredApartInSqlite) {
    run("CREATE TABLE \"Orders\" (\"Id\" NUMBER, \"ID\" NUMBER)");
    run("INSERT INTO \"Orders\" (\"Id\", \"ID\") VALUES (1, 2)", {}, true);
    EXPECT_EQ(rows("SELECT \"Id\", \"ID\" FROM \"Orders\""), (Rows{{"1", "2"}}));
    // The store keeps the Oracle names; a name SQLite would confuse with its
    // upper-case form carries a hash suffix.
    EXPECT_EQ(emu::sqlite_ident("ORDERS"), "ORDERS");
    EXPECT_EQ(emu::sqlite_ident("Orders"), "Orders#7872110c");
    emu::store st("XE", false);
    emu::sql_stmt q(st.db(), "SELECT \"Id#" + emu::sqlite_ident("Id").substr(3) + "\", \"ID\" FROM \"SCOTT.Orders#7872110c\"");
    ASSERT_TRUE(q.step());
    EXPECT_EQ(q.text(0), "1");
    EXPECT_EQ(q.text(1), "2");
}

TEST_F(EmuDdl, TriggerWithQuotedNames) {
    run("CREATE TABLE \"Orders\" (\"Id\" NUMBER(11,0), \"Name\" NVARCHAR2(20))");
    run("CREATE SEQUENCE \"Orders_0\" NOCACHE");
    emu::exec_result r = run("CREATE OR REPLACE TRIGGER \"Orders__TRIGGER\" BEFORE INSERT ON \"Orders\" FOR EACH ROW "
                             "WHEN (new.\"Id\" IS NULL) BEGIN select \"Orders_0\".nextval into :new.\"Id\" from dual; END;");
    EXPECT_FALSE(r.warning.has_value());
    run("INSERT INTO \"Orders\" (\"Name\") VALUES ('a')");
    run("INSERT INTO \"Orders\" (\"Name\") VALUES ('b')");
    EXPECT_EQ(rows("SELECT \"Id\", \"Name\" FROM \"Orders\" ORDER BY 1"), (Rows{{"1", "a"}, {"2", "b"}}));
    // Replacing the trigger keeps one trigger of that name.
    run("CREATE OR REPLACE TRIGGER \"Orders__TRIGGER\" BEFORE INSERT ON \"Orders\" FOR EACH ROW "
        "WHEN (new.\"Id\" IS NULL) BEGIN select \"Orders_0\".nextval into :new.\"Id\" from dual; END;");
    EXPECT_EQ(one("SELECT COUNT(*) FROM USER_TRIGGERS WHERE TABLE_NAME = 'Orders'"), "1");
}
