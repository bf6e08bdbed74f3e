#include <gtest/gtest.h>

#include <cerrno>

#include "tk_exception.h"
#include "tk_singleton.h"
#include "tk_test_support.h"

namespace {

std::string hex_of(const std::string& s)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char b : s) {
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

TEST(tk_mail_assertion, encodes_source_and_line_and_traces_the_source)
{
    trace_capture trace;
    tk_mail_assertion traced("udb_sche", 12);
    EXPECT_TRUE(trace.contains("tk_mail_assertion::ctor(udb_sche)\r\n"));
    tk_mail_assertion a("x", 7);
    EXPECT_EQ(a.message, "Internal error: \ncode=785c37");
    EXPECT_EQ(a.level, 2);
    EXPECT_EQ(a.code, 0u);
    EXPECT_STREQ(a.what(), a.message.c_str());
    tk_mail_assertion b("ab", 1234);
    EXPECT_EQ(b.message, "Internal error: \ncode=" + hex_of("ab\\1234"));
}

TEST(tk_mail_assertion, macro_names_this_file_without_folders)
{
    const int line = __LINE__ + 1;
    const std::string message = assertion_message([] { TK_ASSERT(1 + 1 == 3); });
    EXPECT_EQ(message, "Internal error: \ncode=" + hex_of("tk_exception_test.cpp\\" + std::to_string(line)));
    EXPECT_NO_THROW(TK_ASSERT(true));
}

TEST(tk_exception, empty_texts_become_unknown)
{
    EXPECT_EQ(tk_exception(1).message, "Unknown exception");
    EXPECT_EQ(tk_exception(std::string(), 0).message, "Unknown exception");
    EXPECT_EQ(tk_exception(std::u16string_view(), 0).message, "Unknown exception");
    EXPECT_EQ(tk_exception(static_cast<const char*>(nullptr), 1).message, "Unknown exception");
    tk_exception e(u"Table Orders", 0);
    EXPECT_EQ(e.message, "Table Orders");
    EXPECT_EQ(e.level, 0);
    EXPECT_EQ(e.code, 0u);
}

TEST(tk_exception, ex_carries_the_system_error)
{
    errno = ENOENT;
    tk_exception_ex e;
    EXPECT_EQ(e.code, uint32_t(ENOENT));
    EXPECT_EQ(e.level, 1);
    EXPECT_NE(e.message, "Unknown exception");
    errno = 0;
    EXPECT_EQ(tk_exception_ex().message, "Unknown exception");
}

struct lonely : tk_singleton<lonely> {};

TEST(tk_singleton, second_instance_and_missing_instance_are_assertions)
{
    EXPECT_FALSE(lonely::exists());
    EXPECT_EQ(assertion_message([] { lonely::instance(); }), "Internal error: \ncode=" + hex_of("tk_singl\\59"));
    {
        lonely first;
        EXPECT_EQ(&lonely::instance(), &first);
        EXPECT_EQ(assertion_message([] { lonely second; }), "Internal error: \ncode=" + hex_of("tk_singl\\35"));
        // The refused instance must not have taken the registration away.
        EXPECT_EQ(&lonely::instance(), &first);
    }
    EXPECT_FALSE(lonely::exists());
    lonely again;
    EXPECT_TRUE(lonely::exists());
}

}  // namespace
