// The oraemu tool: administration commands and the tab-separated output of
// the sql command.
#include "emu_test_support.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#ifdef ORAEMU_TOOL

namespace {

struct outcome {
    int status = 0;
    std::string out;
};

class EmuCli : public emu_test::home_fixture {
protected:
    // Runs the tool; stdout and stderr are captured together.
    outcome tool(const std::string& args) {
        std::string cmd = std::string(ORAEMU_TOOL) + " " + args + " 2>&1";
        outcome o;
        FILE* p = popen(cmd.c_str(), "r");
        if (!p) return o;
        std::array<char, 4096> buf{};
        size_t n;
        while ((n = fread(buf.data(), 1, buf.size(), p)) > 0) o.out.append(buf.data(), n);
        int st = pclose(p);
        o.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
        return o;
    }

    outcome sql(const std::string& statement) {
        std::string quoted = "'";
        for (char c : statement) {
            if (c == '\'') quoted += "'\\''";
            else quoted += c;
        }
        return tool("sql XE scott tiger " + quoted + "'");
    }

    // Service XE of `version` with user scott/tiger.
    void service(const std::string& version = "") {
        tool("create-service XE " + version);
        tool("create-user XE scott tiger");
    }
};

TEST_F(EmuCli, CreatesServicesAndUsers) {
    EXPECT_EQ(tool("create-service XE").status, 0);
    EXPECT_EQ(tool("create-service XE").status, 0);   // no error when it exists
    EXPECT_TRUE(std::filesystem::exists(home_ + "/XE.db"));
    EXPECT_EQ(tool("create-user XE scott tiger").status, 0);
    outcome again = tool("create-user XE SCOTT other");
    EXPECT_EQ(again.status, 1);
    EXPECT_EQ(again.out, "ORA-01920: user name 'SCOTT' conflicts with another user or role name\n");
    EXPECT_EQ(tool("home").out, home_ + "\n");
}

TEST_F(EmuCli, SelectOutputIsTabSeparatedWithAHeader) {
    service();
    ASSERT_EQ(sql("CREATE TABLE T (ID NUMBER, NAME NVARCHAR2(10), D DATE, R RAW(4), M CLOB, B BLOB)").status, 0);
    ASSERT_EQ(sql("INSERT INTO T (ID, NAME, D, R, M, B) VALUES (1, 'Ελλάδα', to_date('2005-03-01 10:20:30', "
                  "'YYYY-MM-DD HH24:MI:SS'), HEXTORAW('0a1b'), 'memo text', HEXTORAW('ff00'))")
                  .status,
              0);
    ASSERT_EQ(sql("INSERT INTO T (ID) VALUES (2.5)").status, 0);
    outcome o = sql("SELECT * FROM T ORDER BY ID");
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out, "ID\tNAME\tD\tR\tM\tB\n"
                     "1\tΕλλάδα\t2005-03-01 10:20:30\t0A1B\tmemo text\tFF00\n"
                     "2.5\t\t\t\t\t\n");
}

TEST_F(EmuCli, ErrorsGoToStderrWithStatusOne) {
    service();
    outcome o = sql("SELECT * FROM NOPE");
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.out, "ORA-00942: table or view does not exist\n");
    outcome bad = tool("sql XE scott wrong 'SELECT 1 FROM DUAL'");
    EXPECT_EQ(bad.out, "ORA-01017: invalid username/password; logon denied\n");
    EXPECT_EQ(tool("sql NOSERVICE scott tiger 'SELECT 1 FROM DUAL'").out,
              "ORA-12514: TNS:listener does not currently know of service requested in connect descriptor\n");
    EXPECT_EQ(tool("frobnicate").status, 2);
}

TEST_F(EmuCli, FaultsAndStats) {
    service();
    EXPECT_EQ(tool("fault XE drop_busy T").status, 0);
    EXPECT_EQ(tool("fault XE insert_fails T 3 1653").status, 0);
    EXPECT_EQ(tool("fault XE no_such_kind").status, 2);
    EXPECT_EQ(tool("faults XE").out, "drop_busy\tT\t0\t0\ninsert_fails\tT\t3\t1653\n");
    sql("CREATE TABLE T (A NUMBER)");
    EXPECT_EQ(sql("DROP TABLE T").out,
              "ORA-00054: resource busy and acquire with NOWAIT specified or timeout expired\n");
    EXPECT_EQ(tool("clear-faults XE").status, 0);
    EXPECT_EQ(tool("faults XE").out, "");
    EXPECT_EQ(sql("DROP TABLE T").status, 0);
    outcome stats = tool("stats XE");
    EXPECT_NE(stats.out.find("execute\t3\n"), std::string::npos) << stats.out;
    EXPECT_NE(stats.out.find("logon\t3\n"), std::string::npos) << stats.out;
    tool("stats XE --reset");
    EXPECT_NE(tool("stats XE").out.find("total\t0\n"), std::string::npos);
}

TEST_F(EmuCli, VersionSettingChangesTheBanner) {
    service("19c");
    outcome o = sql("SELECT BANNER FROM V$VERSION");
    EXPECT_EQ(o.out, "BANNER\nOracle Database 19c Enterprise Edition Release 19.0.0.0.0 - Production\n");
    tool("set XE version 23ai");
    EXPECT_EQ(sql("SELECT BANNER FROM V$VERSION").out,
              "BANNER\nOracle Database 23ai Free Release 23.0.0.0.0 - Develop, Learn, and Run for Free\n");
}

}  // namespace

#endif
