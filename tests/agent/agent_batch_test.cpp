// Array loading against row-by-row loading, end to end: for each scenario
// tlvagent runs with the default batch, with --batch=1 and with a small
// odd batch, each in a fresh stand-in service, and every run must leave
// the same exit status, console output, report and Oracle contents.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <sstream>

#include "agent_test_support.h"

namespace {

// Every user table's rows, one sorted line each, under the table's name.
std::string contents(const emu_service& emu)
{
    std::string out;
    std::istringstream tables(
        emu.oraemu({"sql", "XE", "scott", "tiger", "SELECT table_name FROM user_tables ORDER BY table_name"}));
    std::string table;
    std::getline(tables, table);  // header
    while (std::getline(tables, table)) {
        std::istringstream rows(emu.oraemu({"sql", "XE", "scott", "tiger", "SELECT * FROM \"" + table + "\""}));
        std::vector<std::string> lines;
        for (std::string line; std::getline(rows, line);) lines.push_back(line);
        std::sort(lines.begin(), lines.end());
        out += "== " + table + " (" + std::to_string(lines.empty() ? 0 : lines.size() - 1) + ")\n";
        for (const std::string& line : lines) out += line + "\n";
    }
    return out;
}

void sql(const emu_service& emu, const std::string& text)
{
    int status = 0;
    emu.oraemu({"sql", "XE", "scott", "tiger", text}, &status);
    ASSERT_EQ(status, 0) << text;
}

struct run_result {
    agent_result agent;
    std::string report;
    std::string oracle;
    uint64_t executes = 0;
};

struct scenario {
    const char* name;
    // Makes the service's state before the run compared.
    std::function<void(const emu_service&)> prepare;
    std::vector<std::string> args;
    // What the row-by-row report must and must not say: the scenario
    // really meets its rule.
    const char* report_has;
    const char* report_lacks;
};

// One table of Northwind (91 rows, 13 batches of 7) keeps the runs short.
std::vector<std::string> with_tables(const emu_service& emu, std::vector<std::string> args)
{
    args.push_back("--tab_file=" + emu.file("tables.txt", "Customers\n"));
    return args;
}

run_result run(const scenario& s, const std::string& batch)
{
    emu_service emu;
    s.prepare(emu);
    emu.oraemu({"stats", "XE", "--reset"});
    std::string report = emu.home() + "/report.json";
    std::vector<std::string> args = with_tables(emu, s.args);
    args.push_back("--report=" + report);
    if (!batch.empty()) args.push_back("--batch=" + batch);
    run_result r;
    r.agent = emu.convert("nwind.mdb", args);
    emu.oraemu({"clear-faults", "XE"});
    r.report = read_file(report);
    r.oracle = contents(emu);
    std::istringstream stats(emu.oraemu({"stats", "XE"}));
    for (std::string key, value; stats >> key >> value;)
        if (key == "execute") r.executes = std::stoull(value);
    return r;
}

void first_load(const emu_service& emu)
{
    agent_result r = emu.convert("nwind.mdb", with_tables(emu, {"--uppercase", "--batch=1"}));
    ASSERT_EQ(r.status, 0) << r.err;
}

const scenario k_scenarios[] = {
    {"plain", [](const emu_service&) {}, {"--uppercase"}, "\"inserted\": 91,", "\"failed\": 1"},
    {"merge_drops_duplicates",
     [](const emu_service& emu) {
         first_load(emu);
         sql(emu, "DELETE FROM CUSTOMERS WHERE CUSTOMERID < 'D' OR CUSTOMERID > 'W'");
     },
     {"--uppercase", "--mode=3"},
     "\"action\": \"merged\"",
     "\"duplicates\": 0,"},
    {"synchronize_updates_existing_rows",
     [](const emu_service& emu) {
         first_load(emu);
         sql(emu, "UPDATE CUSTOMERS SET CITY = 'Nowhere'");
         sql(emu, "DELETE FROM CUSTOMERS WHERE COUNTRY = 'Germany'");
     },
     {"--uppercase", "--mode=4"},
     "\"action\": \"synchronized\"",
     "\"updated\": 0,"},
    {"null_into_not_null_relaxes_the_column",
     [](const emu_service& emu) {
         agent_result r = emu.convert("nwind.mdb", with_tables(emu, {"--uppercase", "--tab_def"}));
         ASSERT_EQ(r.status, 0) << r.err;
         sql(emu, "ALTER TABLE CUSTOMERS MODIFY REGION NOT NULL");
         sql(emu, "ALTER TABLE CUSTOMERS MODIFY FAX NOT NULL");
     },
     {"--uppercase", "--mode=3"},
     "\"inserted\": 91,",
     "\"failed\": 1"},
    // Text for a NUMBER column cannot travel in an array: such rows go
    // alone, between batches, each stored or refused as the row path does.
    {"text_into_a_number_column_goes_alone",
     [](const emu_service& emu) {
         sql(emu, "CREATE TABLE CUSTOMERS (CUSTOMERID NVARCHAR2(5) PRIMARY KEY, COMPANYNAME NVARCHAR2(40), "
                  "CONTACTNAME NVARCHAR2(30), CONTACTTITLE NVARCHAR2(30), ADDRESS NVARCHAR2(60), CITY NVARCHAR2(15), "
                  "REGION NVARCHAR2(15), POSTALCODE NUMBER(10), COUNTRY NVARCHAR2(15), PHONE NVARCHAR2(24), "
                  "FAX NVARCHAR2(24))");
     },
     {"--uppercase", "--mode=3"},
     "\"duplicates\": 0,",
     "\"failed\": 0,"},
    {"injected_insert_faults",
     [](const emu_service& emu) {
         emu.oraemu({"fault", "XE", "insert_fails", "CUSTOMERS", "37", "1653"});
     },
     {"--uppercase"},
     "\"failed\": 1,",
     "\"failed\": 0,"},
};

class agent_batch : public ::testing::TestWithParam<scenario> {};

TEST_P(agent_batch, same_outcome_as_row_by_row)
{
    const scenario& s = GetParam();
    run_result by_row = run(s, "1");
    ASSERT_NE(by_row.oracle.find("== CUSTOMERS"), std::string::npos);
    EXPECT_NE(by_row.report.find(s.report_has), std::string::npos) << by_row.report;
    EXPECT_EQ(by_row.report.find(s.report_lacks), std::string::npos) << by_row.report;
    for (const char* batch : {"", "7"}) {
        SCOPED_TRACE(std::string("batch ") + (*batch ? batch : "default"));
        run_result batched = run(s, batch);
        EXPECT_EQ(batched.agent.status, by_row.agent.status);
        EXPECT_EQ(batched.agent.out, by_row.agent.out);
        EXPECT_EQ(batched.agent.err, by_row.agent.err);
        EXPECT_EQ(batched.report, by_row.report);
        EXPECT_EQ(batched.oracle, by_row.oracle);
        if (!*batch && s.args.size() == 1) {
            EXPECT_LT(batched.executes * 5, by_row.executes) << "arrays save round trips";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(scenarios, agent_batch, ::testing::ValuesIn(k_scenarios),
                         [](const ::testing::TestParamInfo<scenario>& info) { return std::string(info.param.name); });

// A session lost in the middle of a batch ends the run; Oracle keeps the
// batches committed before it, whole, and nothing of the batch it broke.
TEST(agent_batch_lost, only_whole_batches_before_the_loss_stay)
{
    auto order_details_after_loss = [](const char* batch) {
        emu_service emu;
        // Some 300 statements in: inside the rows of Order Details.
        emu.oraemu({"fault", "XE", "connection_lost", "-", "300"});
        agent_result r = emu.convert("nwind.mdb", {"--uppercase", std::string("--batch=") + batch});
        emu.oraemu({"clear-faults", "XE"});
        EXPECT_EQ(r.status, 255);
        EXPECT_NE(r.out.find("ORA-03113"), std::string::npos) << r.out;
        EXPECT_EQ(emu.scalar("SELECT COUNT(*) FROM CATEGORIES"), "8");
        return std::stol(emu.scalar("SELECT COUNT(*) FROM ORDER_DETAILS"));
    };
    long by_row = order_details_after_loss("1");
    long batched = order_details_after_loss("50");
    EXPECT_GT(by_row, 0);
    EXPECT_LT(by_row, 2155);
    EXPECT_EQ(batched % 50, 0);
    EXPECT_LE(batched, by_row);
    EXPECT_GT(batched + 50, by_row);
}

}  // namespace
