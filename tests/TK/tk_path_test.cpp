#include <gtest/gtest.h>

#include <unistd.h>

#include "tk_path.h"
#include "tk_test_support.h"
#include "tk_wstring.h"

namespace {

TEST(tk_is_file_exist, existing_and_missing)
{
    temp_dir dir;
    std::string path = dir.file("f.mdb");
    write_file(path, "x");
    EXPECT_TRUE(tk_is_file_exist(path, tk_access_read));
    EXPECT_TRUE(tk_is_file_exist(path, tk_access_read_write));
    EXPECT_TRUE(tk_is_file_exist(path, 7));
    EXPECT_FALSE(tk_is_file_exist(dir.file("g.mdb"), tk_access_read));
    EXPECT_FALSE(tk_is_file_exist(std::string(), tk_access_read));
    // A folder is not a file.
    EXPECT_FALSE(tk_is_file_exist(dir.path(), tk_access_read));
}

TEST(tk_is_file_exist, read_only_file_is_missing_for_writing)
{
    temp_dir dir;
    std::optional<std::string> ro = find_read_only_file(dir);
    if (!ro) GTEST_SKIP() << "no file here is read-only for this user (root ignores mode 0444, no sysfs)";
    trace_capture trace;
    EXPECT_FALSE(tk_is_file_exist(*ro, tk_access_read_write));
    EXPECT_TRUE(trace.contains("tk_is_file_exist(" + *ro + ")\r\nFile not exists!\r\n"));
    EXPECT_TRUE(tk_is_file_exist(*ro, tk_access_read));
    EXPECT_TRUE(tk_is_file_exist(*ro, 2));
}

TEST(tk_is_file_exist, wide_names)
{
    temp_dir dir;
    std::string name = dir.file("plain_name.mdb");
    write_file(name, "x");
    EXPECT_TRUE(tk_is_file_exist(tk_from_ansi(name), tk_access_read_write));
    EXPECT_FALSE(tk_is_file_exist(tk_from_ansi(dir.file("other.mdb")), tk_access_read));
}

TEST(tk_is_path_exist, folders_only)
{
    temp_dir dir;
    write_file(dir.file("file"), "x");
    char before[4096];
    ASSERT_NE(::getcwd(before, sizeof before), nullptr);
    EXPECT_TRUE(tk_is_path_exist(dir.path()));
    EXPECT_TRUE(tk_is_path_exist(dir.path() + "/"));
    EXPECT_FALSE(tk_is_path_exist(dir.file("file")));
    EXPECT_FALSE(tk_is_path_exist(dir.file("absent")));
    EXPECT_TRUE(tk_is_path_exist(std::string()));  // the program's folder
    char after[4096];
    ASSERT_NE(::getcwd(after, sizeof after), nullptr);
    EXPECT_STREQ(before, after);
}

TEST(tk_program_path, names_this_test_program)
{
    std::string self = tk_program_path();
    ASSERT_FALSE(self.empty());
    EXPECT_EQ(self.front(), '/');
    EXPECT_EQ(self.substr(self.rfind('/') + 1), "tk_tests");
    EXPECT_EQ(tk_program_wpath(), tk_from_ansi(self));
    EXPECT_TRUE(tk_is_file_exist(self, tk_access_read));
}

}  // namespace
