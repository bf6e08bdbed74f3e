#include "udb_profile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include "../TK/tk_test_support.h"
#include "tk_exception.h"
#include "tk_wstring.h"

namespace {

// A profile file in a private folder, removed with the fixture.
class profile_file : public ::testing::Test {
protected:
    void write(const std::string& bytes) { write_file(path_, bytes); }
    std::string read() const { return read_file(path_); }
    std::u16string wpath() const { return tk_from_utf8(path_); }

    temp_dir tmp_;
    const std::string dir_ = tmp_.path(), path_ = tmp_.file("p.tlv");
};

TEST(udb_profile, new_profile_holds_three_sections_and_first_value_wins)
{
    udb_profile p;
    ASSERT_EQ(p.sections().size(), 3u);
    EXPECT_EQ(p.sections().begin()->first, u"Available Queries");
    p.set_value(u"Generic settings", u"mode", u"2");
    p.set_value(u"Generic settings", u"mode", u"3");
    EXPECT_EQ(p.get_value(u"Generic settings", u"mode"), u"2");
    EXPECT_EQ(p.get_value(u"Nowhere", u"mode"), u"");
    EXPECT_TRUE(p.section(u"Nowhere").empty());
}

TEST_F(profile_file, lines_are_parsed_by_the_file_rules)
{
    write("\xEF\xBB\xBF[Generic settings]\r\n"
          "  src = /data/a.mdb  \r\n"
          "mode=3\n"
          "\n"
          "[Selected Tables]\r\n"
          "Customers\r\n"
          "Q1=SELECT * FROM T\r\n"
          "Order=Details\r\n"
          "[ odd ]\r\n"
          "k=v\r\n");
    udb_profile p;
    ASSERT_TRUE(p.load(wpath()));
    EXPECT_EQ(p.get_value(u"Generic settings", u"src"), u" /data/a.mdb");
    EXPECT_EQ(p.get_value(u"Generic settings", u"mode"), u"3");
    const auto& sel = p.section(u"Selected Tables");
    ASSERT_EQ(sel.size(), 3u);
    EXPECT_EQ(sel.at(u"Customers"), u"");
    EXPECT_EQ(sel.at(u"Q1"), u"SELECT * FROM T");
    // Not a SELECT text: a table whose name holds "=".
    EXPECT_EQ(sel.at(u"Order=Details"), u"");
    EXPECT_EQ(p.get_value(u" odd ", u"k"), u"v");
}

TEST_F(profile_file, broken_files_fail_without_an_internal_error)
{
    const std::pair<const char*, std::string> cases[] = {
        {"entry before any section", "mode=1\r\n[Generic settings]\r\n"},
        {"invalid UTF-8", "[Generic settings]\r\nsrc=\xC3\x28\r\n"},
        {"line above the cap", "[Generic settings]\r\nsrc=" + std::string(udb_profile::max_line_bytes, 'a') + "\r\n"},
    };
    for (const auto& [what, bytes] : cases) {
        write(bytes);
        udb_profile p;
        EXPECT_FALSE(p.load(wpath())) << what;
    }
    // A long query below the cap loads whole.
    write("[Available Queries]\r\nQ=SELECT " + std::string(10000, 'x') + "\r\n");
    udb_profile p;
    ASSERT_TRUE(p.load(wpath()));
    EXPECT_EQ(p.get_value(u"Available Queries", u"Q").size(), 10007u);
}

TEST_F(profile_file, missing_file_is_a_user_error)
{
    udb_profile p;
    EXPECT_EQ(message_of([&] { p.load(tk_from_utf8(dir_ + "/none.tlv")); }),
              "Profile does not exist. Please verify the correct path/name was given.");
}

TEST_F(profile_file, store_writes_owner_only_one_line_entries_and_reloads)
{
    udb_profile p;
    p.set_value(u"Generic settings", u"src", u"/d/Größe.mdb");
    p.set_value(u"Selected Tables", u"Orders", u"");
    p.set_value(u"Selected Tables", u"Order=Details", u"");
    p.set_value(u"Selected Tables", u"Q", u"SELECT a\r\nFROM b");
    p.set_value(u"MS Access settings", u"database password", u"");
    ASSERT_TRUE(p.store(wpath()));

    struct stat st;
    ASSERT_EQ(::stat(path_.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(read(), "[Available Queries]\r\n\r\n"
                      "[Generic settings]\r\nsrc=/d/Größe.mdb\r\n\r\n"
                      "[MS Access settings]\r\ndatabase password=\r\n\r\n"
                      "[Selected Tables]\r\nOrder=Details\r\nOrders\r\nQ=SELECT a  FROM b\r\n\r\n");

    udb_profile back;
    ASSERT_TRUE(back.load(wpath()));
    EXPECT_EQ(back.section(u"Selected Tables").size(), 3u);
    EXPECT_EQ(back.get_value(u"Selected Tables", u"Order=Details"), u"");
    EXPECT_EQ(back.get_value(u"Generic settings", u"src"), u"/d/Größe.mdb");
}

TEST_F(profile_file, failed_store_reports_and_leaves_no_temporary)
{
    // The target is a folder with a file in it: the final rename fails.
    std::string target = dir_ + "/taken";
    ASSERT_EQ(::mkdir(target.c_str(), 0700), 0);
    std::ofstream(target + "/x") << "x";
    udb_profile p;
    EXPECT_FALSE(p.store(tk_from_utf8(target)));
    int entries = 0;
    for (const char* name : {"/p.tlv", "/taken/x"}) entries += ::access((dir_ + name).c_str(), F_OK) == 0;
    EXPECT_EQ(entries, 1);
    EXPECT_EQ(std::system(("test $(ls " + dir_ + " | wc -l) -eq 1").c_str()), 0) << "temporary file left";
}

}  // namespace
