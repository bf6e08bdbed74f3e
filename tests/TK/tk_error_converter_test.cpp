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
    EXPECT_EQ(oracle, (std::set<uint32_t>{1048577, 1049593, 1050234, 1050526, 1050874, 1060730, 1061076, 1061081,
                                          1061090, 1061117, 1061121, 1076576}));
    EXPECT_EQ(access, (std::set<uint32_t>{68591, 68558, 68565, 68648, 68709, 68894, 68957}));
    // Oracle codes are 0x100000 + ORA number, MS Access codes 0x10000 + DAO number.
    EXPECT_EQ(1048576u + 12154u, 1060730u);
    EXPECT_EQ(65536u + 3421u, 68957u);
}

TEST(tk_error_converter, finds_rows_of_both_tables)
{
    tk_error_converter c = both_tables();
    EXPECT_EQ(c.size(), 19u);
    EXPECT_EQ(c.convert(1049593), "Invalid user name or password.");
    EXPECT_EQ(c.convert(1061090), "Cannot resolve Oracle service name. Check to verify the correct name was given.\n");
    EXPECT_EQ(c.convert(1076576),
              "Wrong password was entered the maximum number of times or\nthe DBA has locked the account.");
    EXPECT_EQ(c.convert(68565),
              "Not a valid account name or password has been specified\nin MS Access user-level security settings");
}

TEST(tk_error_converter, shared_texts_are_equal)
{
    tk_error_converter c = both_tables();
    EXPECT_EQ(c.convert(68894), c.convert(68709));
    EXPECT_EQ(c.convert(68709), "Invalid workgroup information file. Return to the previous\n"
                                "wizard page and verify the correct path was given.");
    EXPECT_EQ(c.convert(68558), c.convert(1048577));
    EXPECT_EQ(c.convert(1048577), k_duplicate);
}

TEST(tk_error_converter, conversion_text_names_the_support_address)
{
    tk_error_converter c = both_tables();
    EXPECT_EQ(c.convert(68957),
              std::string("Data type conversion error. Please contact ") + tk_support_address + "\nfor the solution.");
    EXPECT_STREQ(tk_support_address, "support@tolvane.dev");
}

TEST(tk_error_converter, unknown_code_gives_empty_text_and_trace)
{
    trace_capture trace;
    tk_error_converter c = both_tables();
    EXPECT_EQ(c.convert(0), "");
    EXPECT_EQ(c.convert(1048576 + 942), "");  // ORA-00942 has no row
    // No range matching: neighbours of a known code are unknown.
    EXPECT_EQ(c.convert(1048578), "");
    EXPECT_EQ(c.convert(68957 + 0x100000), "");
    std::string log = trace.text();
    EXPECT_NE(log.find("tk_error_converter::convert(1049518)\r\nError message not found!\r\n"), std::string::npos);
    c.convert(1049593);
    EXPECT_TRUE(trace.contains("Error message has been found: Invalid user name or password.\r\n"));
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

TEST(tk_error_converter, traces_its_construction)
{
    trace_capture trace;
    tk_error_converter c(tk_oracle_error_count, tk_oracle_errors);
    EXPECT_TRUE(trace.contains("tk_error_converter::ctor (map size=12)\r\n"
                               "tk_error_converter::load_map (map size=12)\r\n"));
}

}  // namespace
