#include "tk_wstring.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <string>

namespace {

class WstringTest : public ::testing::Test {
protected:
    void SetUp() override { std::setlocale(LC_ALL, "C.UTF-8"); }
    void TearDown() override
    {
        ::unsetenv("LOCPATH");
        std::setlocale(LC_ALL, "C");
    }
};

TEST_F(WstringTest, Utf8RoundTripKeepsEveryPlane)
{
    const std::u16string text = u"Größe ÆØÅ Σύνολο Цена 中文 \U0001F600";
    std::string utf8;
    ASSERT_TRUE(tk_wide_to_utf8(text, utf8));
    EXPECT_EQ(utf8, "Größe ÆØÅ Σύνολο Цена 中文 \xF0\x9F\x98\x80");
    std::u16string back;
    ASSERT_TRUE(tk_utf8_to_wide(utf8, back));
    EXPECT_EQ(back, text);
}

TEST_F(WstringTest, InvalidInputFailsStrictAndIsReplacedLeniently)
{
    std::string out;
    EXPECT_FALSE(tk_wide_to_utf8(std::u16string(1, char16_t(0xD800)), out));
    EXPECT_EQ(tk_to_utf8(std::u16string(u"a") + char16_t(0xDC00) + u"b"), "a\xEF\xBF\xBD"
                                                                          "b");
    std::u16string w;
    EXPECT_FALSE(tk_utf8_to_wide("\xC0\xAF", w));          // overlong '/'
    EXPECT_FALSE(tk_utf8_to_wide("\xED\xA0\x80", w));      // encoded surrogate
    EXPECT_FALSE(tk_utf8_to_wide("\xE2\x82", w));          // truncated sequence
    EXPECT_FALSE(tk_utf8_to_wide("\xF4\x90\x80\x80", w));  // above U+10FFFF
    EXPECT_EQ(tk_from_utf8("a\xFF"
                           "b"),
              u"a\uFFFD"
              "b");
}

// Selects a Latin-1 locale: an installed one, or one compiled with
// localedef into a private folder named by LOCPATH.
bool use_latin1_locale()
{
    if (std::setlocale(LC_ALL, "en_US.ISO-8859-1") != nullptr) return true;
    std::string dir = ::testing::TempDir() + "tolvane-locales";
    std::string cmd =
        "mkdir -p '" + dir + "' && localedef -f ISO-8859-1 -i en_US '" + dir + "/en_US.ISO-8859-1' >/dev/null 2>&1";
    if (std::system(cmd.c_str()) != 0) return false;
    ::setenv("LOCPATH", dir.c_str(), 1);
    return std::setlocale(LC_ALL, "en_US.ISO-8859-1") != nullptr;
}

TEST_F(WstringTest, NarrowFollowsTheLocaleEncoding)
{
    EXPECT_EQ(tk_to_ansi(u"Größe"), "Größe");
    if (!use_latin1_locale()) GTEST_SKIP() << "no Latin-1 locale and no localedef sources";
    EXPECT_EQ(tk_to_ansi(u"Größe"), "Gr\xF6\xDF"
                                    "e");
    EXPECT_EQ(tk_from_ansi("Gr\xF6\xDF"
                           "e"),
              u"Größe");
    // Characters outside the code page become '?', as the system conversion does.
    EXPECT_EQ(tk_to_ansi(u"a中b"), "a?b");
}

TEST_F(WstringTest, CaseFoldingComparesUnicodeNames)
{
    EXPECT_TRUE(tk_equal_nocase(u"Orders", u"ORDERS"));
    EXPECT_TRUE(tk_equal_nocase(u"Größe", u"GRÖSSE"));
    EXPECT_TRUE(tk_equal_nocase(u"ÆØÅ", u"æøå"));
    EXPECT_TRUE(tk_equal_nocase(u"ΣΎΝΟΛΟ", u"σύνολο"));
    EXPECT_TRUE(tk_equal_nocase(u"Цена", u"ЦЕНА"));
    EXPECT_FALSE(tk_equal_nocase(u"Orders", u"Order"));
    EXPECT_LT(tk_compare_nocase(u"abc", u"ABD"), 0);
    EXPECT_EQ(tk_fold_case(u"Größe"), tk_fold_case(u"GRÖSSE"));
}

TEST_F(WstringTest, TrimmingTouchesOnlyBlanks)
{
    EXPECT_EQ(tk_trim(std::string_view("   ")), "");
    EXPECT_EQ(tk_trim(std::string_view("\tx ")), "\tx");
    EXPECT_EQ(tk_trim(std::u16string_view(u"  Total! ")), u"Total!");
    EXPECT_EQ(tk_trim_left(std::u16string_view(u"  a ")), u"a ");
    EXPECT_EQ(tk_trim_right(std::u16string_view(u"  a ")), u"  a");
    EXPECT_EQ(tk_trim(std::u16string_view(u"")), u"");
}

TEST_F(WstringTest, UpperCasingIsAsciiOnlyAndInPlace)
{
    std::u16string s = u"abc_1 ñ";
    std::u16string copy = tk_wstring::to_upper(s);
    EXPECT_EQ(s, u"ABC_1 ñ");
    EXPECT_EQ(copy, s);
}

TEST_F(WstringTest, HexTextIsUpperCaseHighNibbleFirst)
{
    const unsigned char bytes[] = {0x0A, 0xFF, 0x00, 0x5C};
    EXPECT_EQ(tk_hex_text(bytes, 4), "0AFF005C");
    EXPECT_EQ(tk_hex_text(bytes, 0), "");
}

}  // namespace
