// parse_cmd_line and process_tab_file in this process: what reaches the
// converter, and what is left of the password arguments.
#include "agent_options.h"

#include <gtest/gtest.h>

#include "agent_console.h"
#include "agent_test_support.h"
#include "error_handler.h"
#include "tk_error_tables.h"
#include "tolvane_convertor.h"

namespace {

class agent_options : public ::testing::Test {
protected:
    bool parse(std::vector<std::string> args)
    {
        args_ = std::move(args);
        args_.insert(args_.begin(), "tlvagent");
        argv_.clear();
        for (std::string& a : args_) argv_.push_back(a.data());
        return parse_cmd_line(static_cast<int>(argv_.size()), argv_.data());
    }
    std::string arg(size_t i) const { return argv_.at(i); }

    emu_service files_;  // a private folder
    error_handler handler_{tk_oracle_error_count, tk_oracle_errors};
    tolvane_convertor conv_;
    std::vector<std::string> args_;
    std::vector<char*> argv_;
};

TEST_F(agent_options, passwords_are_blanked_in_argv_and_ports_default_only_when_absent)
{
    ASSERT_TRUE(parse({"--src=a.mdb", "--dest=XE", "--oraclh=h", "--oraclp=tiger", "--accp=s3", "--uglp=pw"}));
    EXPECT_EQ(arg(4), "--oraclp=*****");
    EXPECT_EQ(arg(5), "--accp=**");
    EXPECT_EQ(arg(6), "--uglp=**");
    EXPECT_EQ(conv_.password, u"tiger");
    EXPECT_EQ(conv_.acc_pswd, u"s3");
    EXPECT_EQ(conv_.ugl_pswd, u"pw");
    EXPECT_EQ(conv_.port, u"1521");
    conv_.port.clear();
    ASSERT_TRUE(parse({"--src=a.mdb", "--dest=XE", "--oraclh=h", "--port="}));
    EXPECT_EQ(conv_.port, u"");
    EXPECT_FALSE(parse({"--src=a.mdb", "--dest=XE", "--oraclh=h", "--nope"}));
}

TEST_F(agent_options, an_explicit_option_wins_over_a_profile_wherever_it_stands)
{
    std::string profile = files_.file("p.tlv", "[Generic settings]\r\nsrc=from_profile.mdb\r\ndest=PROF\r\nmode=2\r\n"
                                               "only definitions=1\r\nskip indexes=1\r\n"
                                               "[Oracle settings]\r\nhost=profhost\r\nuser=profuser\r\nport=1600\r\n"
                                               "uppercase=1\r\n");
    ASSERT_TRUE(parse(
        {"--mode=4", "--oraclh=cmdhost", "--uppercase=off", "--profile=" + profile, "--tab_def=0", "--dest=CMD"}));
    EXPECT_EQ(conv_.src, u"from_profile.mdb");
    EXPECT_EQ(conv_.dest, u"CMD");
    EXPECT_EQ(conv_.mode, 4);
    EXPECT_FALSE(conv_.tab_def);
    EXPECT_TRUE(conv_.skip_idx);
    EXPECT_FALSE(conv_.uppercase);
    EXPECT_EQ(conv_.host, u"cmdhost");
    EXPECT_EQ(conv_.user, u"profuser");
    EXPECT_EQ(conv_.port, u"1600");
}

TEST_F(agent_options, list_files_keep_names_as_written_but_line_ends)
{
    process_tab_file(files_.file("l.txt", "\xEF\xBB\xBF\r\nOrder Details\r\n\r\nTrailing  \nUmsätze\r\n"));
    const std::vector<std::u16string> expected{u"Order Details", u"Trailing  ", u"Umsätze"};
    EXPECT_EQ(conv_.selected_tables, expected);
    EXPECT_TRUE(conv_.tables_listed);
    process_tab_file(files_.file("e.txt", "\r\n\n"));
    EXPECT_TRUE(conv_.selected_tables.empty());
}

TEST(agent_console, progress_text_shows_rows_rate_and_time)
{
    EXPECT_EQ(agent_console::progress_text(u"Orders", 400, 830, 2.0), "  Orders: 400 of 830 rows, 200 rows/s, 0:02");
    EXPECT_EQ(agent_console::progress_text(u"T", 5, 0, 0.0), "  T: 5 of 0 rows, 0 rows/s, 0:00");
    EXPECT_EQ(agent_console::progress_text(u"T", 7200, 9000, 125.0), "  T: 7200 of 9000 rows, 57 rows/s, 2:05");
}

}  // namespace
