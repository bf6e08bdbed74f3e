#include <gtest/gtest.h>

#include "tk_converter.h"
#include "tk_exception.h"
#include "tk_test_support.h"
#include "tk_thread_functor.h"

namespace {

// Counts the default body's calls; done after three idle steps.
class counting_functor : public tk_thread_functor {
public:
    bool is_done() override { return ++asked > 3; }
    void idle() override { ++idled; }
    void finish() override { ++finished; }
    int asked = 0, idled = 0, finished = 0;
};

TEST(tk_thread_functor, default_body_idles_until_done_then_finishes)
{
    counting_functor f;
    f();
    EXPECT_EQ(f.asked, 4);
    EXPECT_EQ(f.idled, 3);
    EXPECT_EQ(f.finished, 1);
    tk_thread_functor plain;  // the base alone is never done
    EXPECT_FALSE(plain.is_done());
    EXPECT_NO_THROW(plain.finish());
}

// The agent's logger: no path of its own, tracing off, level 3.
class tk_converter_logfile : public ::testing::Test {
protected:
    tk_converter_logfile() : logger_(dir_.file("default.log"), false, 3, false) {}

    std::string refusal_of(const std::string& path)
    {
        return message_of([&] { conv_.set_logfile(path); });
    }
    void expect_unchanged()
    {
        EXPECT_TRUE(conv_.logfile.empty());
        EXPECT_FALSE(logger_.enabled);
    }

    temp_dir dir_;
    tk_logger logger_;
    tk_converter conv_;
};

TEST_F(tk_converter_logfile, empty_path_changes_nothing)
{
    conv_.set_logfile(std::string());
    expect_unchanged();
    EXPECT_EQ(logger_.path, dir_.file("default.log"));
    tk_trace(3, "lost");
    EXPECT_FALSE(file_exists(dir_.file("default.log")));
}

TEST_F(tk_converter_logfile, existing_file_is_emptied_and_receives_level_three)
{
    std::string path = dir_.file("trace.txt");
    write_file(path, "previous run");
    conv_.set_logfile(path);
    EXPECT_EQ(conv_.logfile, path);
    EXPECT_EQ(logger_.path, path);
    EXPECT_TRUE(logger_.enabled);
    EXPECT_EQ(logger_.level, 3);
    tk_trace(1, "detail");
    EXPECT_EQ(read_file(path), "");
    tk_trace(3, "Conversion started");
    EXPECT_EQ(read_file(path), "Conversion started\r\n");
    // A second file is emptied too; the first keeps what it received.
    std::string second = dir_.file("second.log");
    write_file(second, "stale");
    conv_.set_logfile(second);
    tk_trace(3, "two");
    EXPECT_EQ(read_file(path), "Conversion started\r\n");
    EXPECT_EQ(read_file(second), "two\r\n");
}

TEST_F(tk_converter_logfile, bare_name_is_checked_in_the_current_directory)
{
    scoped_cwd here(dir_.path());
    conv_.set_logfile("bare.log");
    EXPECT_EQ(conv_.logfile, "bare.log");
    tk_trace(3, "line");
    EXPECT_EQ(read_file(dir_.file("bare.log")), "line\r\n");
}

TEST_F(tk_converter_logfile, missing_folder_and_read_only_file_are_refused)
{
    // A file where the folder should be is no folder either.
    write_file(dir_.file("plain"), "x");
    for (const char* bad : {"absent/trace.log", "plain/trace.log"}) {
        EXPECT_EQ(refusal_of(dir_.file(bad)), "Logfile path does not exist.\nPlease verify the correct path was given.")
            << bad;
    }
    expect_unchanged();
    std::optional<std::string> ro = find_read_only_file(dir_);
    if (!ro) GTEST_SKIP() << "no file here is read-only for this user (root ignores mode 0444, no sysfs)";
    EXPECT_EQ(refusal_of(*ro), "Logfile name specifies an existing read-only file.");
    expect_unchanged();
}

TEST(tk_converter, set_logfile_without_logger_only_stores_the_name)
{
    ASSERT_FALSE(tk_logger::exists());
    temp_dir dir;
    tk_converter conv;
    conv.set_logfile(dir.file("x.log"));
    EXPECT_EQ(conv.logfile, dir.file("x.log"));
    EXPECT_FALSE(file_exists(dir.file("x.log")));
}

}  // namespace
