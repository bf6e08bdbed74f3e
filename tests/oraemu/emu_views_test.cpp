// The dictionary views as the converter and its users read them.
#include "emu_test_support.h"

class EmuViews : public store_fixture {
protected:
    void SetUp() override {
        store_fixture::SetUp();
        run("CREATE TABLE P (ID NUMBER(11,0), NAME NVARCHAR2(30), CONSTRAINT PK_P PRIMARY KEY (ID))");
        run("CREATE TABLE C (ID NUMBER, PID NUMBER(11,0))");
        run("ALTER TABLE C ADD CONSTRAINT FK_C FOREIGN KEY (PID) REFERENCES P (ID)");
        run("CREATE INDEX IX_NAME ON P (NAME DESC)");
        run("CREATE SEQUENCE P_0 NOCACHE");
    }
};

TEST_F(EmuViews, UserObjectsListsEveryKind) {
    EXPECT_EQ(rows("SELECT OBJECT_NAME, OBJECT_TYPE, STATUS FROM USER_OBJECTS ORDER BY OBJECT_TYPE, OBJECT_NAME"),
              (Rows{{"IX_NAME", "INDEX", "VALID"},
                    {"PK_P", "INDEX", "VALID"},
                    {"P_0", "SEQUENCE", "VALID"},
                    {"C", "TABLE", "VALID"},
                    {"P", "TABLE", "VALID"}}));
}

TEST_F(EmuViews, ForeignKeyRows) {
    EXPECT_EQ(rows("SELECT CONSTRAINT_TYPE, R_OWNER, R_CONSTRAINT_NAME, DELETE_RULE, INDEX_NAME FROM USER_CONSTRAINTS "
                   "WHERE CONSTRAINT_NAME = 'FK_C'"),
              (Rows{{"R", "SCOTT", "PK_P", "NO ACTION", "<null>"}}));
    EXPECT_EQ(rows("SELECT OWNER, TABLE_NAME, COLUMN_NAME, POSITION FROM USER_CONS_COLUMNS WHERE CONSTRAINT_NAME = "
                   "'FK_C'"),
              (Rows{{"SCOTT", "C", "PID", "1"}}));
    EXPECT_EQ(rows("SELECT INDEX_OWNER, STATUS, DEFERRABLE, VALIDATED FROM USER_CONSTRAINTS WHERE CONSTRAINT_NAME = "
                   "'PK_P'"),
              (Rows{{"SCOTT", "ENABLED", "NOT DEFERRABLE", "VALIDATED"}}));
}

TEST_F(EmuViews, IndexColumns) {
    EXPECT_EQ(rows("SELECT INDEX_NAME, COLUMN_NAME, COLUMN_POSITION, COLUMN_LENGTH, CHAR_LENGTH, DESCEND FROM "
                   "USER_IND_COLUMNS WHERE TABLE_NAME = 'P' ORDER BY INDEX_NAME"),
              (Rows{{"IX_NAME", "NAME", "1", "60", "30", "DESC"}, {"PK_P", "ID", "1", "22", "0", "ASC"}}));
    EXPECT_EQ(rows("SELECT INDEX_TYPE, TABLE_OWNER, TABLE_TYPE, UNIQUENESS FROM USER_INDEXES WHERE INDEX_NAME = "
                   "'IX_NAME'"),
              (Rows{{"NORMAL", "SCOTT", "TABLE", "NONUNIQUE"}}));
}

TEST_F(EmuViews, TablesViewColumns) {
    EXPECT_EQ(rows("SELECT TABLE_NAME, TEMPORARY, NESTED, IOT_TYPE, STATUS FROM USER_TABLES ORDER BY TABLE_NAME"),
              (Rows{{"C", "N", "NO", "<null>", "VALID"}, {"P", "N", "NO", "<null>", "VALID"}}));
    emu::exec_result r = run("SELECT TABLE_NAME FROM USER_TABLES");
    EXPECT_EQ(r.rows->columns()[0].size, 30u);   // VARCHAR2(30) before 12.2
    EXPECT_EQ(one("SELECT COUNT(*) FROM USER_TAB_COLUMNS WHERE table_name = 'P'"), "2");
    EXPECT_EQ(one("SELECT DEFAULT_LENGTH FROM USER_TAB_COLUMNS WHERE TABLE_NAME = 'P' AND COLUMN_NAME = 'ID'"),
              "<null>");
}

TEST_F(EmuViews, ViewsAreReadOnlyNames) {
    EXPECT_EQ(error_of("INSERT INTO USER_TABLES (TABLE_NAME) VALUES ('X')"), 942);
    EXPECT_EQ(error_of("SELECT NOPE FROM USER_TABLES"), 904);
    // A user table of the same name hides the view, as a private object
    // hides a public synonym.
    run("CREATE TABLE USER_INDEXES (A NUMBER)");
    EXPECT_EQ(one("SELECT COUNT(*) FROM USER_INDEXES"), "0");
}
