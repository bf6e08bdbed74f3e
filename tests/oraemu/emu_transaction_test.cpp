// Transactions across sessions: visibility, locks, savepoints, and the
// row locks that LOB writing needs.
#include "emu_test_support.h"

class EmuTransaction : public store_fixture {
protected:
    void SetUp() override {
        store_fixture::SetUp();
        emu::set_setting("XE", "lock_wait_ms", "100");
        s = emu::session::logon("//localhost:1521/XE", "scott", "tiger");
        other = emu::session::logon("//localhost:1521/XE", "scott", "tiger");
        run("CREATE TABLE T (A NUMBER, C CLOB)");
    }
    void TearDown() override {
        other.reset();
        store_fixture::TearDown();
    }
    std::unique_ptr<emu::session> other;
};

TEST_F(EmuTransaction, UncommittedRowsAreInvisibleToOtherSessions) {
    run("INSERT INTO T (A) VALUES (1)");
    EXPECT_EQ(rows("SELECT COUNT(*) FROM T", other.get()), (Rows{{"0"}}));
    EXPECT_EQ(one("SELECT COUNT(*) FROM T"), "1");   // the session sees its own work
    s->commit();
    EXPECT_EQ(rows("SELECT COUNT(*) FROM T", other.get()), (Rows{{"1"}}));
}

TEST_F(EmuTransaction, AWriterWaitsForTheOpenTransaction) {
    run("INSERT INTO T (A) VALUES (1)");
    EXPECT_EQ(emu_test::code_of([&] { other->execute("INSERT INTO T (A) VALUES (2)", {}, false); }), 54);
    s->commit();
    EXPECT_NO_THROW(other->execute("INSERT INTO T (A) VALUES (2)", {}, true));
    EXPECT_EQ(rows("SELECT A FROM T ORDER BY A"), (Rows{{"1"}, {"2"}}));
}

TEST_F(EmuTransaction, OpenCursorsSurviveDdlAndRollback) {
    for (int i = 1; i <= 3; ++i) run("INSERT INTO T (A) VALUES (" + std::to_string(i) + ")", {}, true);
    emu::exec_result r = run("SELECT A FROM T ORDER BY A");
    std::vector<emu::value> row;
    ASSERT_TRUE(r.rows->fetch(row));
    EXPECT_EQ(row[0].data, "1");
    // DDL on another table while the cursor is open, then a rollback.
    run("CREATE TABLE U (B NUMBER)");
    run("DROP TABLE U");
    run("INSERT INTO T (A) VALUES (9)");
    s->rollback();
    ASSERT_TRUE(r.rows->fetch(row));
    EXPECT_EQ(row[0].data, "2");
    ASSERT_TRUE(r.rows->fetch(row));
    EXPECT_EQ(row[0].data, "3");
    EXPECT_FALSE(r.rows->fetch(row));
}

TEST_F(EmuTransaction, SavepointsUndoPartOfTheWork) {
    run("INSERT INTO T (A) VALUES (1)");
    run("SAVEPOINT one");
    run("INSERT INTO T (A) VALUES (2)");
    run("ROLLBACK TO SAVEPOINT one");
    run("COMMIT");
    EXPECT_EQ(rows("SELECT A FROM T", other.get()), (Rows{{"1"}}));
    EXPECT_EQ(run("ROLLBACK").k, emu::exec_result::tx);
}

TEST_F(EmuTransaction, CommitReleasesRowLocks) {
    run("INSERT INTO T (A, C) VALUES (1, EMPTY_CLOB())", {}, true);
    std::vector<emu::value> row = first_row("SELECT C FROM T FOR UPDATE");
    s->clob_write(*row[0].lob, 0, u"first");
    s->commit();
    // The locator still reads, but writing needs a new lock.
    EXPECT_EQ(s->clob_read(*row[0].lob, 0, 10), u"first");
    EXPECT_EQ(emu_test::text_of([&] { s->clob_write(*row[0].lob, 0, u"second"); }),
              "ORA-22920: row containing the LOB value is not locked");
}

TEST_F(EmuTransaction, RollbackUndoesLobWrites) {
    run("INSERT INTO T (A, C) VALUES (1, 'kept')", {}, true);
    std::vector<emu::value> row = first_row("SELECT C FROM T FOR UPDATE");
    s->clob_write(*row[0].lob, 0, u"LOST");
    s->rollback();
    EXPECT_EQ(one("SELECT C FROM T"), "kept");
}

TEST_F(EmuTransaction, RowsInsertedInTheTransactionAreLocked) {
    // A row this transaction inserted may have its LOBs written without a
    // SELECT ... FOR UPDATE, as in Oracle.
    emu::exec_result ins = run("INSERT INTO T (A, C) VALUES (1, EMPTY_CLOB()) RETURNING ROWID INTO :1",
                               {emu_test::bind_out(":1")});
    std::vector<emu::value> row = first_row("SELECT C FROM T WHERE ROWID = '" + ins.returning[0].data + "'");
    EXPECT_NO_THROW(s->clob_write(*row[0].lob, 0, u"ok"));
    s->commit();
    EXPECT_EQ(rows("SELECT C FROM T", other.get()), (Rows{{"ok"}}));
}
