#include <gtest/gtest.h>

#include <set>

#include "tk_error_converter.h"
#include "tk_error_tables.h"
#include "tk_exception.h"
#include "tk_test_support.h"

namespace {

const std::string k_duplicate = "Duplicate field values being used for an unique index were found.\n"
                                "See 'Troubleshooting' article of the product documentation\nfor solution.";

tk_error_converter both_tables()
{
    tk_error_converter c(tk_oracle_error_count, tk_oracle_errors);
    c.load_map(tk_access_error_count, tk_access_errors);
    return c;
}

TEST(tk_error_tables, hold_the_expected_codes)
{
    std::set<uint32_t> oracle, access;
    for (const tk_error_row& r : tk_oracle_errors) oracle.insert(r.code);
    for (const tk_error_row& r : tk_access_errors) access.insert(r.code);
    // Oracle codes are 0x100000 + ORA number, MS Access codes 0x10000 + DAO number.
    EXPECT_EQ(oracle, (std::set<uint32_t>{1048577, 1049593, 1050234, 1050526, 1050874, 1060730, 1061076, 1061081,
                                          1061090, 1061117, 1061121, 1076576}));
    EXPECT_EQ(access, (std::set<uint32_t>{68591, 68558, 68565, 68648, 68709, 68894, 68957}));
}

TEST(tk_error_converter, finds_rows_of_both_tables_and_nothing_else)
{
    trace_capture trace;
    tk_error_converter c = both_tables();
    EXPECT_EQ(c.size(), 19u);
    const std::string workgroup = "Invalid workgroup information file. Return to the previous\n"
                                  "wizard page and verify the correct path was given.";
    const std::pair<uint32_t, std::string> cases[] = {
        {1049593, "Invalid user name or password."},
        {1061090, "Cannot resolve Oracle service name. Check to verify the correct name was given.\n"},
        {1076576, "Wrong password was entered the maximum number of times or\nthe DBA has locked the account."},
        {68565, "Not a valid account name or password has been specified\nin MS Access user-level security settings"},
        // Codes sharing a text.
        {68894, workgroup},
        {68709, workgroup},
        {68558, k_duplicate},
        {1048577, k_duplicate},
        {68957,
         std::string("Data type conversion error. Please contact ") + tk_support_address + "\nfor the solution."},
        // Unknown codes: ORA-00942 has no row, and there is no range matching.
        {0, ""},
        {1048576 + 942, ""},
        {1048578, ""},
        {68957 + 0x100000, ""},
    };
    for (const auto& [code, text] : cases) EXPECT_EQ(c.convert(code), text) << code;
    EXPECT_STREQ(tk_support_address, "support@tolvane.dev");
    EXPECT_TRUE(trace.contains("tk_error_converter::convert(1049518)\r\nError message not found!\r\n"));
    EXPECT_TRUE(trace.contains("Error message has been found: Invalid user name or password.\r\n"));
    EXPECT_TRUE(trace.contains("tk_error_converter::ctor (map size=12)\r\n"
                               "tk_error_converter::load_map (map size=12)\r\n"));
}

TEST(tk_error_converter, first_text_for_a_code_wins)
{
    const tk_error_row rows[] = {{5, "first"}, {6, "six"}, {5, "second"}};
    tk_error_converter c(3, rows);
    EXPECT_EQ(c.convert(5), "first");
    const tk_error_row later[] = {{6, "other"}, {7, "seven"}};
    c.load_map(2, later);
    EXPECT_EQ(c.convert(6), "six");
    EXPECT_EQ(c.convert(7), "seven");
    EXPECT_EQ(c.size(), 3u);
}

TEST(tk_error_converter, counts_and_missing_tables)
{
    const tk_error_row rows[] = {{1, "one"}, {2, "two"}};
    tk_error_converter c(1, rows);  // only the first row
    EXPECT_EQ(c.convert(2), "");
    c.load_map(0, rows);
    c.load_map(-3, rows);
    EXPECT_EQ(c.size(), 1u);
    EXPECT_THROW(c.load_map(2, nullptr), tk_mail_assertion);
    EXPECT_THROW(tk_error_converter(0, nullptr), tk_mail_assertion);
}

}  // namespace
