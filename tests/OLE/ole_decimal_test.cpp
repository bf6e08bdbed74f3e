// Decimal, currency and number-text conversions against OLE Automation's
// published results.
#include <gtest/gtest.h>

#include "ole_test_support.h"

#include <cmath>
#include <tuple>
#include <type_traits>

#include "ole_currency.h"
#include "ole_decimal.h"
#include "ole_number_text.h"

namespace {

ole_decimal make_dec(uint8_t scale, bool negative, uint32_t hi, uint64_t lo)
{
    ole_decimal d;
    d.scale = scale;
    d.sign = negative ? ole_decimal::sign_negative : 0;
    d.hi32 = hi;
    d.lo64 = lo;
    return d;
}

std::string dec_text(const char* text)
{
    return ole_dec_to_str(dec(text));
}

ole_cy cy(const char* text)
{
    ole_cy c;
    EXPECT_EQ(ole_cy_from_str(std::string_view(text), c), OLE_S_OK) << text;
    return c;
}

// What a conversion that must succeed writes.
template <class T, class In>
T ok(ole_hresult (*convert)(In, T&), std::type_identity_t<In> in)
{
    T out{};
    EXPECT_EQ(convert(in, out), OLE_S_OK);
    return out;
}

}  // namespace

TEST(OleDecimalText, PrintsWithoutTrailingZerosAsOleDoes)
{
    EXPECT_EQ(ole_dec_to_str(make_dec(0, false, 0, 0)), "0");
    EXPECT_EQ(ole_dec_to_str(make_dec(3, false, 0, 1000)), "1");
    EXPECT_EQ(ole_dec_to_str(make_dec(2, false, 0, 150)), "1.5");
    EXPECT_EQ(ole_dec_to_str(make_dec(1, true, 0, 15)), "-1.5");
    EXPECT_EQ(ole_dec_to_str(make_dec(7, false, 0, 9000)), "0.0009");
    EXPECT_EQ(ole_dec_to_str(make_dec(10, false, 0, 1)), "0.0000000001");
    EXPECT_EQ(ole_dec_to_str(make_dec(0, false, 1, 0)), "18446744073709551616");
    EXPECT_EQ(ole_dec_to_str(make_dec(0, false, 0xFFFFFFFF, UINT64_MAX)), "79228162514264337593543950335");
    EXPECT_EQ(ole_dec_to_str(make_dec(28, false, 0xFFFFFFFF, UINT64_MAX)), "7.9228162514264337593543950335");
    EXPECT_EQ(ole_dec_to_str(make_dec(10, false, 0xFFFFFFFF, UINT64_MAX)), "7922816251426433759.3543950335");
    // A negative zero prints without its sign.
    EXPECT_EQ(ole_dec_to_str(make_dec(2, true, 0, 0)), "0");
}

TEST(OleDecimalText, ReadsTheOleNumberGrammar)
{
    const std::pair<const char*, const char*> cases[] = {
        {"1.5", "1.5"},      {"  -12.340  ", "-12.34"},
        {"+7", "7"},         {"7-", "-7"},
        {"(7.25)", "-7.25"}, {"$1,234.5", "1234.5"},
        {"1e3", "1000"},     {"1.5E-3", "0.0015"},
        {"2.5d2", "250"},    {".5", "0.5"},
        {"5.", "5"},         {"&HFF", "255"},
        {"&O17", "15"},      {"-0", "0"},
    };
    for (const auto& [text, printed] : cases) EXPECT_EQ(dec_text(text), printed) << text;

    ole_decimal d;
    for (const char* bad : {"", " ", "abc", "1.2.3", "1e", "--1", "(-1)", "1 2", ".", "(1", "&H", "1,5x"})
        EXPECT_EQ(ole_dec_from_str(std::string_view(bad), d), OLE_E_TYPEMISMATCH) << bad;
}

TEST(OleDecimalText, KeepsTwentyNineDigitsAndReportsOverflow)
{
    EXPECT_EQ(dec_text("79228162514264337593543950335"), "79228162514264337593543950335");
    ole_decimal d;
    EXPECT_EQ(ole_dec_from_str(std::string_view("79228162514264337593543950336"), d), OLE_E_OVERFLOW);
    EXPECT_EQ(ole_dec_from_str(std::string_view("1e29"), d), OLE_E_OVERFLOW);
    EXPECT_EQ(ole_dec_from_str(std::string_view("-1e100000000"), d), OLE_E_OVERFLOW);
    // 28 integer digits and two fraction digits: the fraction gives way.
    EXPECT_EQ(dec_text("7922816251426433759354395033.56"), "7922816251426433759354395034");
    // Scale is capped at 28; the rest rounds half to even.
    EXPECT_EQ(dec_text("0.00000000000000000000000000001"), "0");
    EXPECT_EQ(dec_text("0.00000000000000000000000000005"), "0");
    EXPECT_EQ(dec_text("0.00000000000000000000000000015"), "0.0000000000000000000000000002");
    EXPECT_EQ(dec_text("0.000000000000000000000000000151"), "0.0000000000000000000000000002");
    EXPECT_EQ(dec_text("1.23456789012345678901234567890123"), "1.2345678901234567890123456789");
    EXPECT_EQ(dec_text("1e-1000000"), "0");
    EXPECT_EQ(dec(".1234567890123456789012345678").scale, 28);
}

TEST(OleDecimalConvert, RoundsHalfToEvenToIntegers)
{
    int64_t v;
    const std::pair<const char*, int64_t> cases[] = {{"2.5", 2},   {"3.5", 4},  {"-2.5", -2},
                                                     {"-3.5", -4}, {"2.51", 3}, {"2.49", 2},
                                                     {"0.5", 0},   {"1.5", 2},  {"-9223372036854775808", INT64_MIN}};
    for (const auto& [text, expected] : cases) {
        ASSERT_EQ(ole_dec_to_i8(dec(text), v), OLE_S_OK) << text;
        EXPECT_EQ(v, expected) << text;
    }
    EXPECT_EQ(ole_dec_to_i8(dec("9223372036854775808"), v), OLE_E_OVERFLOW);
    EXPECT_EQ(ok(ole_dec_to_ui8, dec("18446744073709551615.4")), UINT64_MAX);
    uint64_t u;
    EXPECT_EQ(ole_dec_to_ui8(dec("-1"), u), OLE_E_OVERFLOW);
    EXPECT_EQ(ok(ole_dec_to_i4, dec("-2147483648.4")), INT32_MIN);
    int32_t i;
    EXPECT_EQ(ole_dec_to_i4(dec("2147483647.5"), i), OLE_E_OVERFLOW);
}

TEST(OleDecimalConvert, DoublesKeepFifteenDigits)
{
    EXPECT_EQ(ole_dec_to_str(ok(ole_dec_from_r8, 0.1)), "0.1");
    EXPECT_EQ(ok(ole_dec_from_r8, 0.1).scale, 1);
    EXPECT_EQ(ole_dec_to_str(ok(ole_dec_from_r8, 1.0 / 3.0)), "0.333333333333333");
    EXPECT_EQ(ole_dec_to_str(ok(ole_dec_from_r8, -123456789012345678.0)), "-123456789012346000");
    ole_decimal d;
    for (double big : {1e30, double(NAN), double(INFINITY)}) EXPECT_EQ(ole_dec_from_r8(big, d), OLE_E_OVERFLOW) << big;

    EXPECT_EQ(ole_dec_to_r8(dec("0.1")), 0.1);
    EXPECT_EQ(ole_dec_to_r8(dec("-1234.5678")), -1234.5678);
    EXPECT_EQ(ole_dec_to_r8(dec("79228162514264337593543950335")), 79228162514264337593543950335.0);
}

TEST(OleDecimalConvert, ComparesAndRescalesByValue)
{
    EXPECT_TRUE(dec("1.5") == make_dec(2, false, 0, 150));
    EXPECT_TRUE(make_dec(0, true, 0, 0) == make_dec(3, false, 0, 0));
    EXPECT_EQ(ole_dec_compare(dec("1.05"), dec("1.5")), -1);
    EXPECT_EQ(ole_dec_compare(dec("-1.05"), dec("-1.5")), 1);
    EXPECT_EQ(ole_dec_compare(dec("-0.0001"), dec("0")), -1);
    EXPECT_EQ(ole_dec_compare(dec("79228162514264337593543950335"), dec("7.9228162514264337593543950335")), 1);

    ole_decimal r;
    for (const auto& [text, scale, want] : {std::tuple{"1.25", 1, "1.2"}, {"1.35", 1, "1.4"}, {"1.5", 5, "1.5"}}) {
        ASSERT_EQ(ole_dec_rescale(dec(text), uint8_t(scale), r), OLE_S_OK) << text;
        EXPECT_EQ(ole_dec_to_str(r), want) << text;
        EXPECT_EQ(r.scale, scale) << text;
    }
    EXPECT_EQ(ole_dec_rescale(dec("79228162514264337593543950335"), 1, r), OLE_E_OVERFLOW);
    EXPECT_EQ(ole_dec_to_str(ole_dec_from_i8(INT64_MIN)), "-9223372036854775808");
    EXPECT_EQ(ole_dec_to_str(ole_dec_from_ui8(UINT64_MAX)), "18446744073709551615");
}

TEST(OleCurrency, PrintsWithoutTrailingZeros)
{
    EXPECT_EQ(ole_cy_to_str({15000}), "1.5");
    EXPECT_EQ(ole_cy_to_str({120000}), "12");
    EXPECT_EQ(ole_cy_to_str({-1}), "-0.0001");
    EXPECT_EQ(ole_cy_to_str({0}), "0");
    EXPECT_EQ(ole_cy_to_str({123456}), "12.3456");
    EXPECT_EQ(ole_cy_to_str({INT64_MIN}), "-922337203685477.5808");
    EXPECT_EQ(ole_cy_to_str({INT64_MAX}), "922337203685477.5807");
}

TEST(OleCurrency, ReadsAndRoundsHalfToEvenAtTheFourthPlace)
{
    EXPECT_EQ(cy("12.5").int64, 125000);
    EXPECT_EQ(cy("1.23455").int64, 12346);
    EXPECT_EQ(cy("1.23445").int64, 12344);
    EXPECT_EQ(cy("1.234451").int64, 12345);
    EXPECT_EQ(cy("-1.23455").int64, -12346);
    EXPECT_EQ(cy(" ($3.00005) ").int64, -30000);
    EXPECT_EQ(cy("922337203685477.5807").int64, INT64_MAX);
    EXPECT_EQ(cy("-922337203685477.5808").int64, INT64_MIN);
    ole_cy c;
    EXPECT_EQ(ole_cy_from_str(std::string_view("922337203685477.5808"), c), OLE_E_OVERFLOW);
    EXPECT_EQ(ole_cy_from_str(std::string_view("1e20"), c), OLE_E_OVERFLOW);
    EXPECT_EQ(ole_cy_from_str(std::string_view("12,5x"), c), OLE_E_TYPEMISMATCH);
    EXPECT_EQ(ole_cy_from_str(std::u16string_view(u"7.25"), c), OLE_S_OK);
    EXPECT_EQ(c.int64, 72500);
}

TEST(OleCurrency, ConvertsToAndFromOtherNumbers)
{
    ole_cy c;
    // 0.03125 and 0.09375 are exact in binary: true halves at the fourth place.
    EXPECT_EQ(ok(ole_cy_from_r8, 0.03125).int64, 312);
    EXPECT_EQ(ok(ole_cy_from_r8, 0.09375).int64, 938);
    EXPECT_EQ(ole_cy_from_r8(1e15, c), OLE_E_OVERFLOW);
    EXPECT_EQ(ole_cy_from_r8(NAN, c), OLE_E_OVERFLOW);
    EXPECT_EQ(ole_cy_to_r8({125000}), 12.5);

    EXPECT_EQ(ok(ole_cy_from_i8, -5).int64, -50000);
    EXPECT_EQ(ole_cy_from_i8(INT64_MAX / 10000 + 1, c), OLE_E_OVERFLOW);
    EXPECT_EQ(ole_cy_from_ui8(UINT64_MAX, c), OLE_E_OVERFLOW);

    EXPECT_EQ(ole_cy_to_i8_round_first_digit({24999}), 2);
    EXPECT_EQ(ole_cy_to_i8_round_first_digit({25000}), 3);
    EXPECT_EQ(ole_cy_to_i8_round_first_digit({-25000}), -3);
    EXPECT_EQ(ole_cy_to_i8_round_first_digit({34999}), 3);
    EXPECT_EQ(ole_cy_to_i8_half_even({25000}), 2);
    EXPECT_EQ(ole_cy_to_i8_half_even({35000}), 4);
    EXPECT_EQ(ole_cy_to_i8_half_even({-25001}), -3);

    EXPECT_EQ(ole_dec_to_str(ole_cy_to_dec({-15000})), "-1.5");
    EXPECT_EQ(ok(ole_cy_from_dec, dec("1.23455")).int64, 12346);
    EXPECT_EQ(ok(ole_cy_from_dec, dec("-7")).int64, -70000);
    EXPECT_EQ(ole_cy_from_dec(dec("1e18"), c), OLE_E_OVERFLOW);
}

TEST(OleNumberText, PrintsDoublesAsOleDoes)
{
    EXPECT_EQ(ole_r8_to_str(1.5), "1.5");
    EXPECT_EQ(ole_r8_to_str(0.1), "0.1");
    EXPECT_EQ(ole_r8_to_str(1e20), "1E+20");
    EXPECT_EQ(ole_r8_to_str(1e-5), "1E-05");
    EXPECT_EQ(ole_r8_to_str(1.0 / 3.0), "0.333333333333333");
    EXPECT_EQ(ole_r8_to_str(123456789012345678.0), "1.23456789012346E+17");
    EXPECT_EQ(ole_r8_to_str(-0.0), "0");
    EXPECT_EQ(ole_r4_to_str(1.1f), "1.1");
    EXPECT_EQ(ole_r4_to_str(1234567.0f), "1234567");
    EXPECT_EQ(ole_r4_to_str(16777216.0f), "1.677722E+07");
    EXPECT_EQ(ole_format_e(1.5, 15), "1.500000000000000e+00");
    EXPECT_EQ(ole_format_e(-2.5e-300, 6), "-2.500000e-300");
}

TEST(OleNumberText, ReadsLikeAtofWithoutLocale)
{
    EXPECT_EQ(ole_atof("  -1.5e3xyz"), -1500.0);
    EXPECT_EQ(ole_atof("+.25"), 0.25);
    EXPECT_EQ(ole_atof("1,5"), 1.0);
    EXPECT_EQ(ole_atof("abc"), 0.0);
    EXPECT_EQ(ole_atof(""), 0.0);
    EXPECT_EQ(ole_atof("0x10"), 16.0);
    EXPECT_TRUE(std::isinf(ole_atof("1e400")));
    EXPECT_EQ(ole_atof("1e-400"), 0.0);

    double r;
    EXPECT_EQ(ok(ole_r8_from_str, u" 1,234.5 "), 1234.5);
    EXPECT_EQ(ole_r8_from_str(u"1e400", r), OLE_E_OVERFLOW);
    EXPECT_EQ(ok(ole_r8_from_str, u"1e-400"), 0.0);
    EXPECT_EQ(ok(ole_i8_from_str, u"2.5"), 2);
    EXPECT_EQ(ok(ole_i8_from_str, u"-0.5"), 0);
    EXPECT_EQ(ok(ole_i8_from_str, u"0.51"), 1);
    EXPECT_EQ(ok(ole_i8_from_str, u"0.05"), 0);
    int64_t i;
    EXPECT_EQ(ole_i8_from_str(u"9223372036854775807.5", i), OLE_E_OVERFLOW);
    uint64_t u;
    EXPECT_EQ(ole_ui8_from_str(u"-1", u), OLE_E_OVERFLOW);
    EXPECT_EQ(ok(ole_ui8_from_str, u"&HFFFFFFFFFFFFFFFF"), UINT64_MAX);
    EXPECT_EQ(ole_ui8_from_str(u"&H10000000000000000", u), OLE_E_OVERFLOW);
}
