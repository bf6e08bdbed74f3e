#include "tk_format.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdint>

#include "tk_wstring.h"

namespace {

class FormatTest : public ::testing::Test {
protected:
    void SetUp() override { std::setlocale(LC_ALL, "C.UTF-8"); }
};

TEST_F(FormatTest, MatchingArgumentsFollowPrintf)
{
    EXPECT_EQ(tk_format("t_ftd %s vartype=%d size=%d", "a", 8, 255u), "t_ftd a vartype=8 size=255");
    EXPECT_EQ(tk_format("%05d|%-4d|%+d", 42, 7, 3), "00042|7   |+3");
    EXPECT_EQ(tk_format("%s%05d", std::string("NAME"), 17), "NAME00017");
    EXPECT_EQ(tk_format("%.15e", 0.1), "1.000000000000000e-01");
    EXPECT_EQ(tk_format("%.6e", 2.5f), "2.500000e+00");
    EXPECT_EQ(tk_format("100%%"), "100%");
    EXPECT_EQ(tk_format("%c%c", 'o', 'k'), "ok");
    EXPECT_EQ(tk_format("%.3s|%5s|%-5s|", "abcdef", "ab", "ab"), "abc|   ab|ab   |");
}

TEST_F(FormatTest, WindowsLengthModifiersSelectIntegerWidth)
{
    int64_t big = -9000000000LL;
    EXPECT_EQ(tk_format("%I64d", big), "-9000000000");
    EXPECT_EQ(tk_format("%I64u", uint64_t(18446744073709551615ULL)), "18446744073709551615");
    // An HRESULT printed with %08X shows its 32 bits, not a sign-extended 64-bit value.
    EXPECT_EQ(tk_format("%08X", int32_t(0x80020005)), "80020005");
    EXPECT_EQ(tk_format("%lu", 4294967295u), "4294967295");
    EXPECT_EQ(tk_format("%I64X", int64_t(-1)), "FFFFFFFFFFFFFFFF");
}

TEST_F(FormatTest, MismatchedArgumentsNeverCrashAndStayReadable)
{
    EXPECT_EQ(tk_format("%d", "text"), "text");
    EXPECT_EQ(tk_format("%s", 12), "12");
    EXPECT_EQ(tk_format("%s", 1.5), "1.5");
    EXPECT_EQ(tk_format("%d", 2.9), "2");
    EXPECT_EQ(tk_format("a=%d b=%s"), "a=%d b=%s");
    EXPECT_EQ(tk_format("a=%d b=%s", 1), "a=1 b=%s");
    EXPECT_EQ(tk_format("x", 1, 2, 3), "x");
    EXPECT_EQ(tk_format("%s", static_cast<const char*>(nullptr)), "(null)");
    EXPECT_EQ(tk_format("%*d|", 4, 5), "   5|");
    EXPECT_EQ(tk_format("%*d|"), "%*d|");
    EXPECT_EQ(tk_format("trailing %"), "trailing %");
    EXPECT_EQ(tk_format("%q", 1), "%q");
    EXPECT_EQ(tk_format("%n", 1), "%n");
}

TEST_F(FormatTest, StringsOfEitherWidthMeetAtTheBorder)
{
    EXPECT_EQ(tk_format("name=%s", std::u16string(u"Größe")), "name=Größe");
    EXPECT_EQ(tk_format(u"name=%s", "Größe"), u"name=Größe");
    EXPECT_EQ(tk_format(u"%s/%d/%s", std::u16string(u"Σύνολο"), 3, u"Цена"), u"Σύνολο/3/Цена");
    EXPECT_EQ(tk_format(u"%c", char16_t(u'Ж')), u"Ж");
    EXPECT_EQ(tk_format("%c", char16_t(u'Ж')), "Ж");
    EXPECT_EQ(tk_format(u"%c", char32_t(0x1F600)), u"\U0001F600");
    EXPECT_EQ(tk_format(u"%5s|", u"ab"), u"   ab|");
}

TEST_F(FormatTest, HugeWidthIsBoundedNotAllocatedBlindly)
{
    std::string s = tk_format("%999999999d", 1);
    EXPECT_LE(s.size(), 100001u);
    EXPECT_EQ(s.back(), '1');
}

}  // namespace
