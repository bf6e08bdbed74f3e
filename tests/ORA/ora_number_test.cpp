// Oracle NUMBER bytes made on the client: known encodings, range limits,
// rejected texts, and the exact decimal text of each numeric kind.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "ora_number.h"

namespace {

std::vector<int> bytes_of(std::string_view text)
{
    ora_vnu n;
    if (!ora_number_encode(text, n)) return {-1};
    return std::vector<int>(n.begin() + 1, n.begin() + 1 + n[0]);
}

TEST(ora_number, encodes_as_oracle_stores_numbers)
{
    struct {
        const char* text;
        std::vector<int> bytes;
    } cases[] = {
        {"0", {0x80}},
        {"-0.000", {0x80}},
        {"1", {0xC1, 0x02}},
        {"-1", {0x3E, 0x64, 0x66}},
        {"100", {0xC2, 0x02}},
        {"0.5", {0xC0, 0x33}},
        {".5", {0xC0, 0x33}},
        {"123.45", {0xC2, 0x02, 0x18, 0x2E}},
        {"-123.45", {0x3D, 0x64, 0x4E, 0x38, 0x66}},
        {"1e125", {0xFF, 0x0B}},
        {"1E-130", {0x80, 0x02}},
        {"+12.5e1", {0xC2, 0x02, 0x1A}},
        {"0001.2300", {0xC1, 0x02, 0x18}},
        // Below NUMBER's smallest magnitude Oracle stores zero.
        {"1e-131", {0x80}},
        {"-4.9e-324", {0x80}},
    };
    for (const auto& c : cases) EXPECT_EQ(bytes_of(c.text), c.bytes) << c.text;
}

TEST(ora_number, refuses_texts_and_magnitudes_number_cannot_hold)
{
    for (const char* text :
         {"", "-", ".", "1e", "1e+", "12a", "1.2.3", "1,5", " 1", "0x10", "1e126", "-1e126", "NaN", "inf"})
        EXPECT_EQ(bytes_of(text), std::vector<int>{-1}) << text;
}

TEST(ora_number, forty_digits_kept_and_the_rest_rounded)
{
    // 40 nines survive; a 41st digit 5 rounds them up to 1e40.
    std::string forty(40, '9');
    std::vector<int> kept = bytes_of(forty);
    ASSERT_EQ(kept.size(), 21u);
    EXPECT_EQ(kept[0], 0xC0 + 20);
    EXPECT_EQ(bytes_of(forty + "5"), bytes_of("1e41"));
    EXPECT_EQ(bytes_of(forty + "4"), bytes_of(forty + "0"));
    // A negative number of 20 base-100 digits has no terminator.
    EXPECT_EQ(bytes_of("-" + forty).size(), 21u);
    // With an odd power of ten the first pair holds one digit: 39 fit.
    const std::string twos(38, '2');
    EXPECT_EQ(bytes_of("1" + twos + "45").size(), 21u);  // 41 digits
    EXPECT_EQ(bytes_of("1" + twos + "45"), bytes_of("1" + twos + "00"));
    EXPECT_EQ(bytes_of("1" + twos + "50"), bytes_of("1" + twos.substr(1) + "300"));
}

TEST(ora_number, exact_text_of_each_numeric_kind)
{
    ole_decimal big;
    ASSERT_EQ(ole_dec_from_str("-1234567890123456789012345.678", big), OLE_S_OK);
    ole_cy cy{-123456789};  // -12345.6789
    struct {
        ole_variant value;
        std::optional<std::string> text;
    } cases[] = {
        {ole_variant(0.1), "0.1"},
        {ole_variant(1.0 / 3.0), "0.3333333333333333"},
        {ole_variant(0.1f), "0.1"},
        {ole_variant(5e-324), "5e-324"},
        {ole_variant(big), "-1234567890123456789012345.678"},
        {ole_variant(cy), "-12345.6789"},
        {ole_variant(static_cast<long long>(-9223372036854775807LL - 1)), "-9223372036854775808"},
        {ole_variant(static_cast<unsigned long long>(18446744073709551615ULL)), "18446744073709551615"},
        {ole_variant(true), "1"},
        {ole_variant(u"42.5"), "42.5"},
        {ole_variant(u""), std::nullopt},
        {ole_variant(), std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(ora_exact_number_text(c.value), c.text) << c.value.to_string();
}

TEST(ora_number, shortest_double_text_reads_back_to_the_same_bits)
{
    for (double x : {0.1, 2.0 / 3.0, 1e-300, 123456789.123456789, -4.9406564584124654e-320,
                     std::numeric_limits<double>::max() / 1e200}) {
        std::optional<std::string> text = ora_exact_number_text(ole_variant(x));
        ASSERT_TRUE(text);
        EXPECT_EQ(std::strtod(text->c_str(), nullptr), x) << *text;
        ora_vnu n;
        EXPECT_TRUE(ora_number_encode(*text, n)) << *text;
    }
}

}  // namespace
