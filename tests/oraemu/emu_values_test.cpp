// Value rules: NUMBER rounding and precision, Oracle's number text, TO_DATE
// format matching and defaults, ROWID texts.
#include "emu_test_support.h"
#include "emu_values.h"

#include <gtest/gtest.h>

#include <ctime>

using namespace emu;

namespace {

std::string current_month_first_day() {
    std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    char buf[48];
    std::snprintf(buf, sizeof buf, "%04d-%02d-01", tm.tm_year + 1900, tm.tm_mon + 1);
    return buf;
}

}  // namespace

TEST(EmuNumbers, ScaleRoundsHalfAwayFromZero) {
    // NUMBER(5,2): 12.345 is stored as 12.35, -12.345 as -12.35.
    EXPECT_EQ(number_for_column("12.345", 5, 2), "12.35");
    EXPECT_EQ(number_for_column("-12.345", 5, 2), "-12.35");
    // NUMBER(p) has scale 0: 2.5 rounds to 3.
    EXPECT_EQ(number_for_column("2.5", 11, -1), "3");
    // Negative scale rounds to the left of the point.
    EXPECT_EQ(number_for_column("1234", 5, -2), "1200");
}

TEST(EmuNumbers, PrecisionOverflowIsOra01438) {
    EXPECT_EQ(emu_test::code_of([] { number_for_column("1000", 5, 2); }), 1438);
    // 999.995 rounds to 1000.00, which no longer fits NUMBER(5,2).
    EXPECT_EQ(emu_test::code_of([] { number_for_column("999.995", 5, 2); }), 1438);
    EXPECT_EQ(number_for_column("999.994", 5, 2), "999.99");
    // NUMBER(3,0) holds -999 .. 999.
    EXPECT_EQ(number_for_column("-999", 3, 0), "-999");
    EXPECT_EQ(emu_test::code_of([] { number_for_column("-1000", 3, 0); }), 1438);
}

// The short way for numbers already in canonical form must answer exactly
// as the long way does, or refuse: a value it passes is stored as given.
TEST(EmuNumbers, StoredAsIsOnlyWhereNothingWouldChange) {
    struct { const char* text; int p, s, bits; bool as_is; } cases[] = {
        {"12.34", 5, 2, 0, true},       {"12.345", 5, 2, 0, false},  // a digit to round
        {"999.99", 5, 2, 0, true},      {"1000", 5, 2, 0, false},    // too large: ORA-01438
        {"-999", 3, -1, 0, true},       {"2.5", 11, -1, 0, false},
        {"1200", 5, -2, 0, false},      {"0.00012", 3, 5, 0, false},  // scales outside 0..p
        {"0.5", 1, 1, 0, true},         {"0", 1, 0, 0, true},
        {"12345678901234567890123456789012345678", -1, -1, 0, true},
        {"123456789012345678901234567890123456789", -1, -1, 0, false},  // 39 digits
        {"0.1234567890123456789012345678901234567", -1, -1, 0, true},
        {"3.14159", 10, -1, 24, true},  {"3.141592653589793", 10, -1, 24, false},  // FLOAT(24): 8 digits
        {"-0.000000000000000000000000000000001", -1, -1, 0, true},
        {"922337203685477.5807", 19, 4, 0, true}, {"-922337203685477.58", 19, 4, 0, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(number_stored_as_is(c.text, c.p, c.s, c.bits), c.as_is);
        if (c.as_is) {
            EXPECT_EQ(number_for_column(c.text, c.p, c.s, c.bits), c.text);
        }
    }
}

TEST(EmuNumbers, TextThatIsNoNumberIsOra01722) {
    EXPECT_EQ(emu_test::code_of([] { number_for_column("abc", -1, -1); }), 1722);
    EXPECT_EQ(emu_test::code_of([] { number_for_column("1.2.3", -1, -1); }), 1722);
    EXPECT_EQ(emu_test::code_of([] { number_for_column("", -1, -1); }), 1722);
    // Blanks around a number and exponent forms are accepted.
    EXPECT_EQ(number_for_column(" 42 ", -1, -1), "42");
    EXPECT_EQ(number_for_column("1.0E28", -1, -1), "10000000000000000000000000000");
}

TEST(EmuNumbers, OracleTextFormDropsTheLeadingZero) {
    // TO_CHAR(0.5) is '.5' and TO_CHAR(-0.5) is '-.5' in Oracle.
    EXPECT_EQ(oracle_number_text("0.5"), ".5");
    EXPECT_EQ(oracle_number_text("-0.5"), "-.5");
    EXPECT_EQ(oracle_number_text("10.5"), "10.5");
    EXPECT_EQ(oracle_number_text("0"), "0");
}

TEST(EmuNumbers, ComputedDoublesKeepFifteenDigits) {
    EXPECT_EQ(double_text(0.1 + 0.2), "0.3");
    EXPECT_EQ(double_text(1e20), "100000000000000000000");
    EXPECT_EQ(double_text(-2.5), "-2.5");
}

TEST(EmuDates, FullFormats) {
    EXPECT_EQ(to_date("2005-03-01 10:20:30", "YYYY-MM-DD HH24:MI:SS"), "2005-03-01 10:20:30");
    EXPECT_EQ(to_date("2005-03-01", "YYYY-MM-DD"), "2005-03-01 00:00:00");
    EXPECT_EQ(to_date("30-NOV-1992 03:17:00 PM", "DD-MON-YYYY HH:MI:SS AM"), "1992-11-30 15:17:00");
}

TEST(EmuDates, LenientMatching) {
    // Oracle: a date without a date part is the first day of the current
    // month; separators of the input need not match the format's.
    EXPECT_EQ(to_date("10:20:30", "HH24-MI-SS"), current_month_first_day() + " 10:20:30");
    // Trailing time fields may be missing; other punctuation may be used.
    EXPECT_EQ(to_date("2005/03/01", "YYYY-MM-DD HH24:MI:SS"), "2005-03-01 00:00:00");
    EXPECT_EQ(to_date("10/march/26", "dd-mon-yy").substr(4), "-03-10 00:00:00");
}

TEST(EmuDates, InvalidDatesRaiseOraclesErrors) {
    EXPECT_EQ(emu_test::code_of([] { to_date("2005-13-01", "YYYY-MM-DD"); }), 1843);
    EXPECT_EQ(emu_test::code_of([] { to_date("2005-01-32", "YYYY-MM-DD"); }), 1847);
    EXPECT_EQ(emu_test::code_of([] { to_date("2023-02-29", "YYYY-MM-DD"); }), 1839);
    EXPECT_EQ(to_date("2024-02-29", "YYYY-MM-DD"), "2024-02-29 00:00:00");
    EXPECT_EQ(emu_test::code_of([] { to_date("2005-01-01 99", "YYYY-MM-DD"); }), 1830);
    EXPECT_EQ(emu_test::code_of([] { to_date("x005-01-01", "YYYY-MM-DD"); }), 1858);
    EXPECT_EQ(emu_test::code_of([] { to_date("25:00:00", "HH24:MI:SS"); }), 1850);
    EXPECT_EQ(emu_test::code_of([] { to_date("2005-01-01", "YYYY-QQ-DD"); }), 1821);
}

TEST(EmuDates, ToCharDefaultFormatIsDdMonRr) {
    EXPECT_EQ(date_to_char("2005-03-01 10:20:30", ""), "01-MAR-05");
    EXPECT_EQ(date_to_char("2005-03-01 10:20:30", "YYYY-MM-DD HH24:MI:SS"), "2005-03-01 10:20:30");
}

TEST(EmuRowids, EighteenCharactersAndReversible) {
    std::string r = make_rowid(73001, 5000);
    EXPECT_EQ(r.size(), 18u);
    for (char c : r) EXPECT_TRUE(std::isalnum(static_cast<unsigned char>(c)) || c == '+' || c == '/');
    int64_t obj = 0, key = 0;
    ASSERT_TRUE(parse_rowid(r, obj, key));
    EXPECT_EQ(obj, 73001);
    EXPECT_EQ(key, 5000);
    EXPECT_FALSE(parse_rowid("not a rowid", obj, key));
    EXPECT_NE(make_rowid(73001, 1), make_rowid(73001, 2));
}

TEST(EmuText, HexAndUtf16) {
    EXPECT_EQ(hex_encode(std::string("\x0a\x1b\xff", 3)), "0A1BFF");
    EXPECT_EQ(hex_decode("0a1B"), std::string("\x0a\x1b", 2));
    EXPECT_EQ(emu_test::code_of([] { hex_decode("0G"); }), 1465);
    // An emoji is one character but two UTF-16 units.
    std::string s = "a\xce\xb1\xe4\xb8\xad\xf0\x9f\x98\x80";   // a, alpha, zhong, grinning face
    EXPECT_EQ(utf8_chars(s), 4u);
    EXPECT_EQ(utf16_units(s), 5u);
    EXPECT_EQ(utf16_to_utf8(utf8_to_utf16(s)), s);
}

TEST(EmuErrors, TextsCarryTheOraPrefix) {
    EXPECT_EQ(make_error(942).text, "ORA-00942: table or view does not exist");
    EXPECT_EQ(make_error(1, {"SCOTT", "PK_T"}).text, "ORA-00001: unique constraint (SCOTT.PK_T) violated");
    EXPECT_EQ(make_error(12899, {"\"SCOTT\".\"T\".\"C\"", "5", "3"}).text,
              "ORA-12899: value too large for column \"SCOTT\".\"T\".\"C\" (actual: 5, maximum: 3)");
    EXPECT_EQ(make_error(24344).text, "ORA-24344: Success with compilation error");
}
