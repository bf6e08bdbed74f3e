#include <gtest/gtest.h>

#include <unistd.h>

#include "tk_exception.h"
#include "tk_file_name.h"
#include "tk_path.h"
#include "tk_test_support.h"
#include "tk_wstring.h"

namespace {

std::string cwd()
{
    char buf[4096];
    return ::getcwd(buf, sizeof buf) ? std::string(buf) : std::string();
}

TEST(tk_file_name, splits_absolute_paths)
{
    struct {
        const char *path, *directory, *name, *extension;
    } const cases[] = {
        {"/data/access/Northwind.backup.mdb", "/data/access/", "Northwind.backup", ".mdb"},
        {"/etc/profile", "/etc/", "profile", ""},
        {"/home/u/.bashrc", "/home/u/", "", ".bashrc"},  // all extension, as the C library splits it
        {"/a.d/file", "/a.d/", "file", ""},              // a dot in a folder is no extension
        {"/var/tmp/", "/var/tmp/", "", ""},              // trailing separator: no file name
        {"/", "/", "", ""},
    };
    tk_file_name n;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        n.initialize(c.path);
        EXPECT_EQ(n.drive(), "");
        EXPECT_EQ(n.directory(), c.directory);
        EXPECT_EQ(n.folder(), c.directory);
        EXPECT_EQ(n.file_name(), c.name);
        EXPECT_EQ(n.extension(), c.extension);
        EXPECT_EQ(n.full_path(), c.path);
    }
}

TEST(tk_file_name, resolves_relative_paths_and_dots)
{
    temp_dir dir;
    scoped_cwd here(dir.path());
    std::string base = cwd();
    tk_file_name n;
    n.initialize("trace.log");
    EXPECT_EQ(n.folder(), base + "/");
    EXPECT_EQ(n.full_path(), base + "/trace.log");
    n.initialize("a/./b/../c.txt");
    EXPECT_EQ(n.full_path(), base + "/a/c.txt");
    n.initialize("/x//y/../../../z.txt");  // ".." above the root stays there
    EXPECT_EQ(n.full_path(), "/z.txt");
    EXPECT_EQ(tk_full_path(std::string(".")), base);
}

TEST(tk_file_name, empty_path_is_the_program_folder)
{
    tk_file_name n;
    n.initialize(std::string());
    std::string self = tk_program_path();
    EXPECT_EQ(n.file_name(), "");
    EXPECT_EQ(n.folder(), self.substr(0, self.rfind('/') + 1));
}

TEST(tk_file_name, length_limit_and_missing_path)
{
    tk_file_name n;
    std::string at_limit = "/" + std::string(tk_max_path - 1, 'a');
    n.initialize(at_limit);
    EXPECT_EQ(n.full_path(), at_limit);
    EXPECT_THROW(n.initialize(at_limit + "b"), tk_mail_assertion);
    EXPECT_THROW(n.initialize(static_cast<const char*>(nullptr)), tk_mail_assertion);
}

TEST(tk_file_wname, splits_wide_paths)
{
    trace_capture trace;
    tk_file_wname n;
    n.initialize(u"/d\u00e5ta/\u0411\u0430\u0437\u0430.accdb");
    EXPECT_EQ(n.directory(), u"/d\u00e5ta/");
    EXPECT_EQ(n.file_name(), u"\u0411\u0430\u0437\u0430");
    EXPECT_EQ(n.extension(), u".accdb");
    EXPECT_EQ(n.drive(), u"");
    EXPECT_TRUE(trace.contains("tk_file_wname::initialize(/d\xc3\xa5ta/"));
    // The limit counts UTF-16 units.
    std::u16string at_limit = u"/" + std::u16string(tk_max_path - 1, u'\u00e9');
    n.initialize(at_limit);
    EXPECT_EQ(n.full_path(), at_limit);
    EXPECT_THROW(n.initialize(at_limit + u"x"), tk_mail_assertion);
    EXPECT_THROW(n.initialize(static_cast<const char16_t*>(nullptr)), tk_mail_assertion);
}

TEST(tk_file_wname, relative_and_empty)
{
    temp_dir dir;
    scoped_cwd here(dir.path());
    tk_file_wname n;
    n.initialize(u"x/../y.mdb");
    EXPECT_EQ(n.full_path(), tk_from_ansi(cwd()) + u"/y.mdb");
    n.initialize(std::u16string());
    EXPECT_EQ(n.file_name(), u"");
    std::u16string self = tk_program_wpath();
    EXPECT_EQ(n.folder(), self.substr(0, self.rfind(u'/') + 1));
}

}  // namespace
