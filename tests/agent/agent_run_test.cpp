// tlvagent runs on the stand-in: the four modes on existing tables, the
// options that shape a run, table lists and profiles, and each fault of the
// stand-in with the exact console output and exit status.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sstream>

#include "agent_test_support.h"

namespace {

const std::string k_header =
    "\nAccess        Oracle        action         read  inserted   updated duplicate    failed\n";

std::string shippers_line(const char* action, int read, int inserted, int updated, int duplicate, int failed)
{
    char buf[160];
    std::snprintf(buf, sizeof buf, "Shippers      Shippers      %-12s %6d %9d %9d %9d %9d\n", action, read, inserted,
                  updated, duplicate, failed);
    return buf;
}

class agent_run : public ::testing::Test {
protected:
    void SetUp() override { list_ = emu_.file("list.txt", "Shippers\n"); }

    agent_result shippers(std::vector<std::string> more = {}) const
    {
        more.push_back("--tab_file=" + list_);
        return emu_.convert("nwind.mdb", more);
    }
    std::string database_line(int tables) const
    {
        return "Converting database " + test_data("nwind.mdb") + "(" + std::to_string(tables) + " tables)\n";
    }
    std::string count(const std::string& table) const { return emu_.scalar("SELECT COUNT(*) FROM \"" + table + "\""); }
    std::string sql(const std::string& text) const { return emu_.oraemu({"sql", "XE", "scott", "tiger", text}); }

    emu_service emu_;
    std::string list_;
};

TEST_F(agent_run, modes_on_an_existing_table_with_a_key)
{
    ASSERT_EQ(shippers().status, 0);
    const std::string index_names_sql = "SELECT index_name FROM user_indexes ORDER BY index_name";
    const std::string index_names = sql(index_names_sql);
    sql("UPDATE \"Shippers\" SET \"CompanyName\" = 'changed' WHERE \"ShipperID\" = 1");
    sql("DELETE FROM \"Shippers\" WHERE \"ShipperID\" = 3");
    struct step {
        const char* mode;
        std::string line;
        const char* rows;
        const char* name_of_1;
    };
    const step steps[] = {
        {"--mode=2", "", "2", "changed"},
        {"--mode=3", shippers_line("merged", 3, 1, 0, 2, 0), "3", "changed"},
        {"--mode=4", shippers_line("synchronized", 3, 0, 3, 0, 0), "3", "Speedy Express"},
        {"--mode=1", shippers_line("overwritten", 3, 3, 0, 0, 0), "3", "Speedy Express"},
    };
    for (const step& s : steps) {
        agent_result r = shippers({s.mode});
        EXPECT_EQ(r.status, 0) << s.mode << r.out << r.err;
        if (!s.line.empty()) {
            EXPECT_NE(r.out.find(s.line), std::string::npos) << s.mode << r.out;
        }
        EXPECT_EQ(count("Shippers"), s.rows) << s.mode;
        EXPECT_EQ(emu_.scalar("SELECT \"CompanyName\" FROM \"Shippers\" WHERE \"ShipperID\" = 1"), s.name_of_1)
            << s.mode;
        // Overwriting gives the indexes their names again, not numbered ones.
        EXPECT_EQ(sql(index_names_sql), index_names) << s.mode;
    }
    // Skip reads nothing and says so.
    agent_result r = shippers({"--mode=2"});
    EXPECT_NE(r.out.find("skipped"), std::string::npos);
    EXPECT_EQ(r.out.find("Converting table"), std::string::npos);
}

TEST_F(agent_run, modes_on_an_existing_table_without_keys)
{
    ASSERT_EQ(shippers({"--skip_idx"}).status, 0);
    EXPECT_EQ(emu_.scalar("SELECT COUNT(*) FROM user_constraints WHERE constraint_type = 'P'"), "0");
    EXPECT_EQ(emu_.scalar("SELECT COUNT(*) FROM user_indexes"), "0");
    // No key: nothing is a duplicate, merge and synchronize append.
    const std::pair<const char*, const char*> appended[] = {{"--mode=3", "6"}, {"--mode=4", "9"}, {"--mode=1", "3"}};
    for (const auto& [mode, rows] : appended) {
        ASSERT_EQ(shippers({mode}).status, 0);
        EXPECT_EQ(count("Shippers"), rows) << mode;
    }
    EXPECT_EQ(emu_.scalar("SELECT COUNT(*) FROM user_constraints WHERE constraint_type = 'P'"), "1");
}

TEST_F(agent_run, definitions_only_uppercase_and_stable_names)
{
    emu_.file("list2.txt", "Order Details\n");
    agent_result r = emu_.convert("nwind.mdb", {"--tab_file=" + emu_.home() + "/list2.txt", "--tab_def=yes"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(count("Order_Details"), "0");
    // A second run finds the same safe name, so the mode applies to it.
    r = emu_.convert("nwind.mdb", {"--tab_file=" + emu_.home() + "/list2.txt", "--mode=3", "--tab_def=0"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("Order Details  Order_Details  merged"), std::string::npos) << r.out;
    EXPECT_EQ(count("Order_Details"), "2155");
    EXPECT_EQ(emu_.scalar("SELECT COUNT(*) FROM user_tables"), "1");

    ASSERT_EQ(shippers({"--uppercase"}).status, 0);
    EXPECT_EQ(count("SHIPPERS"), "3");
    EXPECT_EQ(
        emu_.scalar(
            "SELECT COUNT(*) FROM user_tab_columns WHERE table_name = 'SHIPPERS' AND column_name = 'COMPANYNAME'"),
        "1");
}

TEST_F(agent_run, list_files_in_every_spelling_select_the_same_tables)
{
    const char* const lists[] = {
        "Shippers\nCategories\n", "Shippers\r\nCategories\r\n", "\xEF\xBB\xBFShippers\r\n\r\nCategories",
        "\xEF\xBB\xBF\nshippers\nCATEGORIES\n",  // catalogue spelling replaces the list's
    };
    for (const char* list : lists) {
        emu_service emu;
        agent_result r = emu.convert("nwind.mdb", {"--tab_file=" + emu.file("l.txt", list)});
        EXPECT_EQ(r.status, 0) << r.out << r.err;
        EXPECT_EQ(emu.scalar("SELECT COUNT(*) FROM \"Shippers\""), "3") << list;
        EXPECT_EQ(emu.scalar("SELECT COUNT(*) FROM \"Categories\""), "8") << list;
        EXPECT_EQ(emu.scalar("SELECT COUNT(*) FROM user_tables"), "2") << list;
    }
    // An explicitly empty list converts nothing; a missing table is an error.
    agent_result r = emu_.convert("nwind.mdb", {"--tab_file=" + emu_.file("empty.txt", "")});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("No tables selected: nothing to convert."), std::string::npos);
    r = emu_.convert("nwind.mdb", {"--tab_file=" + emu_.file("bad.txt", "Nothing\n")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Table Nothing not exists\n");
}

TEST_F(agent_run, profile_settings_queries_and_options_that_win)
{
    std::string profile =
        emu_.file("p.tlv", "[Generic settings]\r\nsrc=" + test_data("nwind.mdb") +
                               "\r\ndest=XE\r\nmode = 2 \r\nonly definitions = 0\r\nskip indexes = off\r\n"
                               "[Oracle settings]\r\nhost=localhost\r\nuser=scott\r\npassword=tiger\r\n"
                               "[Selected Tables]\r\nShippers\r\nCheap=SELECT ProductName, UnitPrice FROM Products "
                               "WHERE UnitPrice < 10\r\n");
    agent_result r = emu_.agent({"--profile=" + profile});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(count("Shippers"), "3");  // not definitions only
    EXPECT_EQ(count("Cheap"), "11");
    EXPECT_EQ(emu_.scalar("SELECT COUNT(*) FROM user_constraints WHERE constraint_type = 'P'"), "1");
    // Mode 2 from the profile skips; an explicit --mode placed before the
    // profile still wins, as does a host given beside it.
    r = emu_.agent({"--profile=" + profile});
    EXPECT_NE(r.out.find(shippers_line("skipped", 0, 0, 0, 0, 0).substr(0, 40)), std::string::npos) << r.out;
    sql("DELETE FROM \"Shippers\"");
    r = emu_.agent({"--mode=1", "--profile=" + profile});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(count("Shippers"), "3");
    r = emu_.agent({"--profile=" + profile, "--oraclp=wrong"});
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.out, "Error:\nInvalid user name or password.\n");

    const std::pair<const char*, const char*> broken[] = {
        {"[Generic settings]\r\nmode=7\r\n", "Invalid merge/overwrite mode\n"},
        {"src=x\r\n", ""},
        {"[Generic settings]\r\nsrc=\xC3\x28\r\n", ""},
    };
    r = emu_.agent({"--profile=" + emu_.home() + "/none.tlv"});
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.out, "Error:\nProfile does not exist. Please verify the correct path/name was given.\n");
    for (const auto& [text, err] : broken) {
        r = emu_.agent({"--profile=" + emu_.file("b.tlv", text)});
        EXPECT_EQ(r.status, 255) << text;
        EXPECT_EQ(r.err, err) << text;
        if (!*err) {
            EXPECT_EQ(r.out, "Error:\nProfile is damaged: it must be UTF-8 text, with a [section] line before the "
                             "first entry and no line longer than 1 MiB.\n");
        }
    }
}

TEST_F(agent_run, secrets_from_stdin_and_environment_never_reach_the_trace)
{
    std::string trace = emu_.home() + "/trace.log";
    std::vector<std::string> args{"--src=" + test_data("password.mdb"),
                                  "--dest=XE",
                                  "--oraclh=localhost",
                                  "--oraclu=scott",
                                  "--oraclp=-",
                                  "--logfile=" + trace};
    agent_result r = emu_.agent(args, {{"TOLVANE_ACCESS_PASSWORD", "ucanaccess"}}, "tiger\n");
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    std::string text = read_file(trace);
    EXPECT_NE(text.find("Connecting to Oracle data source"), std::string::npos);
    EXPECT_EQ(text.find("tiger"), std::string::npos);
    EXPECT_EQ(text.find("ucanaccess"), std::string::npos);
    struct stat st;
    ASSERT_EQ(::stat(trace.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    // A wrong database password stops before Oracle is touched.
    r = emu_.agent({args[0], args[1], args[2], args[3], "--oraclp=tiger", "--accp=wrong"});
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.out.find("wrong"), std::string::npos);
}

TEST_F(agent_run, foreign_keys_only_when_asked_and_each_failure_reported)
{
    std::vector<std::string> list{"--tab_file=" + emu_.file("fk.txt", "Categories\nProducts\nSuppliers\n")};
    const std::string fks = "SELECT COUNT(*) FROM user_constraints WHERE constraint_type = 'R'";
    ASSERT_EQ(emu_.convert("nwind.mdb", list).status, 0);
    EXPECT_EQ(emu_.scalar(fks), "0");
    // An orphan row makes one of the two keys fail; the other is made.
    sql("INSERT INTO \"Products\" (\"ProductID\", \"ProductName\", \"CategoryID\") VALUES (999, 'x', 77)");
    list.push_back("--mode=2");
    list.push_back("--fk");
    agent_result r = emu_.convert("nwind.mdb", list);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("Error:\nForeign key 'FK_Categories_Products': There are orphaned records"), std::string::npos)
        << r.out;
    EXPECT_EQ(emu_.scalar(fks), "1");
}

TEST_F(agent_run, a_query_shadows_the_table_of_its_name)
{
    std::string profile = emu_.file("q.tlv", "[Selected Tables]\r\n"
                                             "Shippers=SELECT * FROM Shippers WHERE ShipperID < 3\r\n");
    agent_result r = shippers({"--profile=" + profile});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(count("Shippers"), "2");
    EXPECT_NE(r.out.find(k_header +
                         "Shippers                    skipped           0         0         0         0         0"
                         "  (a selected query has its name)\n" +
                         shippers_line("created", 2, 2, 0, 0, 0)),
              std::string::npos)
        << r.out;
}

TEST_F(agent_run, access97_code_page_from_option_or_profile)
{
    const std::string value = "SELECT \"field1\" FROM \"table1\"";
    agent_result r = emu_.convert("charsetGBK.mdb", {"--jet3_codepage=936"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(emu_.scalar(value), "GBK编码");
    std::string profile = emu_.file("gbk.tlv", "[Generic settings]\r\nsrc=" + test_data("charsetGBK.mdb") +
                                                   "\r\ndest=XE\r\n[Oracle settings]\r\nhost=localhost\r\n"
                                                   "user=scott\r\npassword=tiger\r\n"
                                                   "[MS Access settings]\r\njet3 code page=936\r\n");
    sql("DROP TABLE \"table1\"");
    ASSERT_EQ(emu_.agent({"--profile=" + profile}).status, 0);
    EXPECT_EQ(emu_.scalar(value), "GBK编码");
    // The file's own code page (1252) reads the bytes as Latin letters.
    ASSERT_EQ(emu_.convert("charsetGBK.mdb", {"--jet3_codepage=0"}).status, 0);
    EXPECT_NE(emu_.scalar(value), "GBK编码");

    r = emu_.convert("charsetGBK.mdb", {"--jet3_codepage=1234"});
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.out,
              "Error:\nCode page 1234 cannot be used to read Access 97 text: the system has no converter for it.\n");
}

struct fault_case {
    const char* what;
    const char* fault;    // the oraemu fault's words
    bool existing;        // convert once before the fault is set
    std::string out;      // up to the summary
    std::string summary;  // empty when the process ends before it
    int status;
    const char* report = nullptr;  // a part of the --report file, which is then asked for
};

TEST_F(agent_run, each_fault_of_the_stand_in)
{
    const std::string db = database_line(1);
    const std::string conv = "Converting table Shippers(3 records)\n";
    const std::string space = "ORA-01653: unable to extend table SCOTT.Shippers by 128 in tablespace USERS\n";
    const fault_case cases[] = {
        {"logon refused", "logon_refused SCOTT", false, "Error:\nInvalid user name or password.\n", "", 255},
        {"no listener", "no_listener localhost", false,
         "Error:\nORA-12541: no listener. For more information see Troubleshooting article of the product "
         "documentation.\n",
         "", 255},
        {"busy table", "drop_busy Shippers", true,
         db + "Error:\nShippers: Cannot delete table because it is busy with another process\n",
         k_header + shippers_line("failed", 0, 0, 0, 0, 0), 1},
        {"sequence refused", "sequence_denied", false,
         db +
             "Error:\nSequence for table 'Shippers': Insufficient privileges to create sequence. Auto increment "
             "will not be converted.\n" +
             conv,
         k_header + shippers_line("created", 3, 3, 0, 0, 0), 1},
        {"second insert fails", "insert_fails Shippers 2 1438", false,
         db + conv +
             "Error:\nShippers, record #2: ORA-01438: value larger than specified precision allowed for "
             "this column\n",
         k_header + shippers_line("created", 3, 2, 0, 0, 1), 1,
         "\"access\": \"Shippers\", \"oracle\": \"Shippers\", \"action\": \"created\", \"read\": 3, \"inserted\": 2, "
         "\"updated\": 0, \"duplicates\": 0, \"failed\": 1, \"errors\": [\"Shippers, record #2: ORA-01438: value "
         "larger than specified precision allowed for this column\"]"},
        {"connection lost while loading", "connection_lost - 20", false,
         db + conv + "Error:\nShippers: ORA-03113: end-of-file on communication channel\n", "", 255},
        {"connection lost before the first table", "connection_lost - 3", false,
         "Error:\nORA-03113: end-of-file on communication channel\n", k_header, 255},
        {"no space", "no_space Shippers", false,
         db + conv + "Error:\nShippers, record #1: " + space + "Error:\nShippers, record #2: " + space +
             "Error:\nShippers, record #3: " + space,
         k_header + shippers_line("created", 3, 0, 0, 0, 3), 1},
    };
    for (const fault_case& c : cases) {
        emu_service emu;
        std::vector<std::string> args{"--tab_file=" + emu.file("l.txt", "Shippers\n")};
        if (c.existing) {
            ASSERT_EQ(emu.convert("nwind.mdb", args).status, 0) << c.what;
        }
        std::vector<std::string> fault{"fault", "XE"};
        std::istringstream words(c.fault);
        for (std::string w; words >> w;) fault.push_back(w);
        emu.oraemu(fault);
        const std::string report = emu.home() + "/r.json";
        if (c.report != nullptr) args.push_back("--report=" + report);
        agent_result r = emu.convert("nwind.mdb", args);
        EXPECT_EQ(r.out, c.out + c.summary) << c.what;
        EXPECT_EQ(r.status, c.status) << c.what;
        EXPECT_EQ(r.err, "") << c.what;
        if (c.report != nullptr) {
            EXPECT_NE(read_file(report).find(c.report), std::string::npos) << read_file(report);
            struct stat st;
            ASSERT_EQ(::stat(report.c_str(), &st), 0);
            EXPECT_EQ(st.st_mode & 0777, 0600u);
        }
    }
}

TEST_F(agent_run, sigterm_stops_between_rows_commits_and_reports)
{
    std::string out = emu_.home() + "/out";
    pid_t pid = ::fork();
    if (pid == 0) {
        ::setenv("TOLVANE_OCI_LIB", ORAEMU_OCI_LIB, 1);
        ::setenv("ORAEMU_HOME", emu_.home().c_str(), 1);
        int fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(fd, 1);
        std::string src = "--src=" + test_data("nwind.mdb");
        ::execl(TLVAGENT, TLVAGENT, src.c_str(), "--dest=XE", "--oraclh=localhost", "--oraclu=scott", "--oraclp=tiger",
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    // Wait for the first table to start loading, then stop the run.
    for (int i = 0; i < 400 && read_file(out).find("Converting table") == std::string::npos; ++i) ::usleep(10000);
    ::kill(pid, SIGTERM);
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 143);
    std::string text = read_file(out);
    EXPECT_NE(text.find("Interrupted: the remaining entries were not converted."), std::string::npos) << text;
    // What the summary says was inserted into the first table is in Oracle,
    // however far the run had come.
    size_t line = text.find("\nCategories ");
    ASSERT_NE(line, std::string::npos) << text;
    int read = 0, inserted = -1;
    ASSERT_EQ(std::sscanf(text.c_str() + line, "\nCategories Categories %*s %d %d", &read, &inserted), 2) << text;
    EXPECT_LE(inserted, read);
    EXPECT_EQ(count("Categories"), std::to_string(inserted));
}

}  // namespace
