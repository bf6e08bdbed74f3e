// Logon, versions, faults, the statement log and round-trip counters.
#include "emu_test_support.h"

#include <fstream>
#include <sstream>

namespace {

int logon_error(const std::string& connect, const std::string& user, const std::string& password) {
    return emu_test::code_of([&] { emu::session::logon(connect, user, password); });
}

}  // namespace

class EmuSession : public store_fixture {};

TEST_F(EmuSession, LogonChecks) {
    EXPECT_EQ(logon_error("//localhost:1521/XE", "SCOTT", "tiger"), 0);
    EXPECT_EQ(logon_error("//localhost:1521/XE", "scott", "TIGER"), 1017);   // passwords are case-sensitive
    EXPECT_EQ(logon_error("//localhost:1521/XE", "nobody", "x"), 1017);
    EXPECT_EQ(logon_error("//localhost:1521/NOSERVICE", "scott", "tiger"), 12514);
    EXPECT_EQ(logon_error("XE", "scott", "tiger"), 0);
    EXPECT_EQ(logon_error("NOALIAS", "scott", "tiger"), 12154);   // a bare name is a TNS alias
    // The text is exact, so the password is not in it.
    EXPECT_EQ(emu_test::text_of([] { emu::session::logon("//h/XE", "scott", "wrong"); }),
              "ORA-01017: invalid username/password; logon denied");
    EXPECT_EQ(s->user(), "SCOTT");
    EXPECT_EQ(s->service(), "XE");
}

TEST_F(EmuSession, LogonFaults) {
    emu::add_fault("XE", {"unknown_host", "badhost", 0, 0});
    emu::add_fault("XE", {"no_listener", "deadhost", 0, 0});
    emu::add_fault("XE", {"account_locked", "HR", 0, 0});
    EXPECT_EQ(logon_error("//badhost:1521/XE", "scott", "tiger"), 12545);
    EXPECT_EQ(logon_error("//deadhost:1521/XE", "scott", "tiger"), 12541);
    EXPECT_EQ(logon_error("//localhost:1521/XE", "hr", "hr"), 28000);
    EXPECT_EQ(logon_error("//localhost:1521/XE", "hr", "bad"), 1017);   // the password is checked first
    emu::add_fault("XE", {"logon_refused", "SCOTT", 0, 0});
    EXPECT_EQ(logon_error("//localhost:1521/XE", "scott", "tiger"), 1017);
    EXPECT_EQ(emu::list_faults("XE").size(), 4u);
    emu::clear_faults("XE");
    EXPECT_EQ(logon_error("//badhost:1521/XE", "hr", "hr"), 0);
}

// Known grammar difference: DROP TABLE ... CASCADE CONSTRAINTS (see the DDL tests).
TEST_F(EmuSession, StatementFaults) {
    run("CREATE TABLE T (A NUMBER)");
    emu::add_fault("XE", {"drop_busy", "T", 0, 0});
    emu::add_fault("XE", {"sequence_denied", "", 0, 0});
    emu::add_fault("XE", {"insert_fails", "T", 2, 1653});
    EXPECT_EQ(error_of("DROP TABLE \"T\" CASCADE CONSTRAINTS"), 54);
    EXPECT_EQ(last_error, "ORA-00054: resource busy and acquire with NOWAIT specified or timeout expired");
    EXPECT_EQ(error_of("CREATE SEQUENCE \"T_0\" INCREMENT BY 1 START WITH 1"), 1031);
    EXPECT_EQ(last_error, "ORA-01031: insufficient privileges");
    EXPECT_EQ(error_of("INSERT INTO T (A) VALUES (1)"), 0);
    EXPECT_EQ(error_of("INSERT INTO T (A) VALUES (2)"), 1653);
    EXPECT_EQ(error_of("INSERT INTO T (A) VALUES (3)"), 0);
    EXPECT_EQ(rows("SELECT A FROM T ORDER BY A"), (Rows{{"1"}, {"3"}}));
    s->commit();   // the store has one writer: the tool waits for open transactions
    emu::clear_faults("XE");
    emu::add_fault("XE", {"no_space", "", 0, 0});
    EXPECT_EQ(error_of("INSERT INTO T (A) VALUES (4)"), 1653);
    EXPECT_EQ(last_error, "ORA-01653: unable to extend table SCOTT.T by 128 in tablespace USERS");
    emu::add_fault("XE", {"create_fails", "", 0, 1950});
    EXPECT_EQ(error_of("CREATE TABLE \"U\" (\"A\" NUMBER)"), 1950);
    EXPECT_EQ(last_error, "ORA-01950: no privileges on tablespace 'USERS'");
}

TEST_F(EmuSession, ConnectionLossAfterNStatements) {
    emu::add_fault("XE", {"connection_lost", "", 2, 0});
    auto c = emu::session::logon("//localhost/XE", "hr", "hr");
    EXPECT_NO_THROW(c->execute("SELECT 1 FROM DUAL", {}, false));
    EXPECT_NO_THROW(c->execute("SELECT 2 FROM DUAL", {}, false));
    EXPECT_EQ(emu_test::text_of([&] { c->execute("SELECT 3 FROM DUAL", {}, false); }),
              "ORA-03113: end-of-file on communication channel");
    EXPECT_EQ(emu_test::code_of([&] { c->execute("SELECT 4 FROM DUAL", {}, false); }), 3114);
}

TEST_F(EmuSession, VersionBanner11g) {
    EXPECT_EQ(s->server_version(), "Oracle Database 11g Express Edition Release 11.2.0.2.0 - 64bit Production");
    Rows r = rows("select * from v$version");
    ASSERT_EQ(r.size(), 5u);   // before 18c V$VERSION has five rows
    EXPECT_EQ(r[1][0], "PL/SQL Release 11.2.0.2.0 - Production");
}

TEST_F(EmuSession, RoundTripsAreCountedAndFlushed) {
    emu::reset_round_trips("XE");
    run("CREATE TABLE T (A NUMBER)");
    run("INSERT INTO T (A) VALUES (1)", {}, true);
    s->count_round_trip(emu::rt_kind::fetch);
    EXPECT_EQ(s->round_trips().execute, 2u);
    EXPECT_EQ(s->round_trips().fetch, 1u);
    s.reset();
    emu::rt_counters c = emu::service_round_trips("XE");
    EXPECT_EQ(c.execute, 2u);
    EXPECT_EQ(c.fetch, 1u);
}

TEST_F(EmuSession, StatementLog) {
    std::string log = home_ + "/statements.log";
    setenv("ORAEMU_LOG", log.c_str(), 1);
    run("CREATE TABLE T (A NUMBER)");
    error_of("SELECT * FROM NOPE");
    unsetenv("ORAEMU_LOG");
    std::ifstream f(log);
    std::stringstream text;
    text << f.rdbuf();
    EXPECT_EQ(text.str(), "XE\tSCOTT\tOK\t0\tCREATE TABLE T (A NUMBER)\nXE\tSCOTT\tORA-00942\t0\tSELECT * FROM NOPE\n");
}

class EmuSession19c : public store_fixture {
protected:
    std::string version() const override { return "19c"; }
};

TEST_F(EmuSession19c, BannerAndLongIdentifiers) {
    Rows r = rows("select * from v$version");
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0][0], "Oracle Database 19c Enterprise Edition Release 19.0.0.0.0 - Production");
    EXPECT_EQ(r[0][1], "Oracle Database 19c Enterprise Edition Release 19.0.0.0.0 - Production\nVersion 19.3.0.0.0");
    EXPECT_EQ(error_of("CREATE TABLE " + std::string(128, 'B') + " (x NUMBER)"), 0);
    EXPECT_EQ(error_of("CREATE TABLE " + std::string(129, 'C') + " (x NUMBER)"), 972);
}

TEST_F(EmuSession19c, RowLimitingClause) {
    run("CREATE TABLE T (A NUMBER)");
    for (int i = 1; i <= 5; ++i) run("INSERT INTO T (A) VALUES (" + std::to_string(i) + ")");
    EXPECT_EQ(rows("SELECT A FROM T ORDER BY A DESC FETCH FIRST 2 ROWS ONLY"), (Rows{{"5"}, {"4"}}));
    EXPECT_EQ(rows("SELECT A FROM T ORDER BY A OFFSET 3 ROWS"), (Rows{{"4"}, {"5"}}));
}

TEST_F(EmuSession, RowLimitingClauseIsUnknownTo11g) {
    run("CREATE TABLE T (A NUMBER)");
    EXPECT_EQ(error_of("SELECT A FROM T FETCH FIRST 2 ROWS ONLY"), 933);
}

// The store keeps the emulated users' passwords: only its owner may read it.
TEST_F(EmuSession, StoreIsPrivateToItsOwner) {
    namespace fs = std::filesystem;
    const fs::path store = fs::path(std::getenv("ORAEMU_HOME")) / "XE.db";
    ASSERT_TRUE(fs::exists(store));
    auto perms = fs::status(store).permissions();
    EXPECT_EQ(perms & (fs::perms::group_all | fs::perms::others_all), fs::perms::none);

    const fs::path home = fs::path(std::getenv("ORAEMU_HOME")) / "nested" / "home";
    setenv("ORAEMU_HOME", home.c_str(), 1);
    emu::create_service("PRIV", "11g");
    EXPECT_EQ(fs::status(home).permissions() & (fs::perms::group_all | fs::perms::others_all), fs::perms::none);
    EXPECT_EQ(fs::status(home / "PRIV.db").permissions() & (fs::perms::group_all | fs::perms::others_all),
              fs::perms::none);
}
