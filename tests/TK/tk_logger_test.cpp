#include <gtest/gtest.h>

#include <regex>

#include "tk_logger.h"
#include "tk_test_support.h"

namespace {

TEST(tk_logger, tracing_off_touches_nothing)
{
    temp_dir dir;
    std::string path = dir.file("off.log");
    write_file(path, "keep me");
    {
        tk_logger log(path, false, 1, false);
        tk_trace(3, "a line %d", 1);
        tk_trace(3, u"a wide line");
        EXPECT_FALSE(log.created);
    }
    EXPECT_EQ(read_file(path), "keep me");
    std::string missing = dir.file("never.log");
    {
        tk_logger log(missing, false, 1, false);
        tk_trace(3, "x");
    }
    EXPECT_FALSE(file_exists(missing));
    // With no logger at all a trace is no fault either.
    ASSERT_FALSE(tk_logger::exists());
    tk_trace(3, "nobody listens %s", "here");
    tk_trace(3, u"nobody listens %s", u"here");
}

TEST(tk_logger, file_is_emptied_when_enabled_or_on_the_first_call)
{
    temp_dir dir;
    std::string path = dir.file("late.log");
    write_file(path, "old content");
    {
        tk_logger log(path, true, 3, false);
        EXPECT_TRUE(log.created);
        EXPECT_EQ(read_file(path), "");
    }
    write_file(path, "old content");
    tk_logger log(path, false, 3, false);
    log.enabled = true;           // as set_logfile turns it on
    tk_trace(1, "detail %d", 5);  // below the threshold, yet it empties
    EXPECT_EQ(read_file(path), "");
    tk_trace(2, "method");
    tk_trace(3, "event %s", "one");
    tk_trace(3, "event %s", "two");
    EXPECT_EQ(read_file(path), "event one\r\nevent two\r\n");
}

TEST(tk_logger, lines_are_written_as_formatted_from_the_threshold_up)
{
    trace_capture trace(2);
    tk_trace(1, "level one");
    tk_trace(2, "level two");
    tk_trace(3, "level three");
    // A format ending in a newline keeps it; wide lines are UTF-8.
    tk_trace(3, "Run SQL query: %s\n", "SELECT 1");
    tk_trace(2, u"Gr\u00f6\u00dfe %s", u"\u00c6\u00d8\u00c5 \u0416 \U0001F600");
    EXPECT_EQ(trace.text(), "level two\r\nlevel three\r\nRun SQL query: SELECT 1\n\r\n"
                            "Gr\xc3\xb6\xc3\x9f"
                            "e \xc3\x86\xc3\x98\xc3\x85 \xd0\x96 \xf0\x9f\x98\x80\r\n");
}

TEST(tk_logger, long_wide_line_is_cut_not_dropped)
{
    trace_capture trace;
    std::u16string line(20000, u'a');
    tk_trace(1, u"%s", line);
    std::string text = trace.text();
    EXPECT_EQ(text, std::string(tk_wide_trace_limit, 'a') + "\r\n");
    EXPECT_EQ(tk_wide_trace_limit, 10239u);
}

TEST(tk_logger, cut_never_splits_a_surrogate_pair)
{
    std::u16string line(tk_wide_trace_limit - 1, u'b');
    line += u"\U0001F600tail";  // the pair occupies units 10238 and 10239
    tk_cut_wide_line(line);
    EXPECT_EQ(line, std::u16string(tk_wide_trace_limit - 1, u'b'));
    std::u16string short_line = u"short";
    tk_cut_wide_line(short_line);
    EXPECT_EQ(short_line, u"short");
}

TEST(tk_logger, timestamps_prefix_each_line)
{
    trace_capture trace;
    trace.logger().timestamps = true;
    tk_trace(1, "stamped");
    tk_trace(1, u"wide stamped");
    EXPECT_TRUE(std::regex_match(trace.text(), std::regex("[0-2][0-9]:[0-5][0-9]:[0-6][0-9] stamped\r\n"
                                                          "[0-2][0-9]:[0-5][0-9]:[0-6][0-9] wide stamped\r\n")))
        << trace.text();
}

TEST(tk_logger, unwritable_file_loses_lines_silently)
{
    temp_dir dir;
    tk_logger log(dir.file("no/such/folder/x.log"), true, 1, false);
    EXPECT_NO_THROW(tk_trace(3, "lost"));
    EXPECT_FALSE(file_exists(dir.file("no")));
}

TEST(tk_logger, mismatched_arguments_do_not_crash)
{
    trace_capture trace;
    tk_trace(1, "%s and %d and %s", 42, "text");
    std::string text = trace.text();
    EXPECT_NE(text.find("42 and text and"), std::string::npos) << text;
}

TEST(tk_logger, default_path_is_program_path_with_log_extension)
{
    tk_logger log(std::string(), false, 3, false);
    ASSERT_GE(log.path.size(), 4u);
    EXPECT_EQ(log.path.substr(log.path.size() - 4), ".log");
    EXPECT_NE(log.path.find("tk_tests"), std::string::npos) << log.path;
}

}  // namespace
