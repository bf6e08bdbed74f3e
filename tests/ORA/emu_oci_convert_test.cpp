// The stand-in's conversions between engine values and client buffers,
// checked against Oracle's documented encodings.
#include "emu_oci_convert.h"

#include <gtest/gtest.h>

#include <cstring>

using emu::col_type;
using emu::value;
using namespace emu_oci;

namespace {

std::string bytes(std::initializer_list<int> b)
{
    std::string s;
    for (int x : b) s += static_cast<char>(x);
    return s;
}

value num(const char* text)
{
    return value::make(col_type::number, text);
}

}  // namespace

TEST(emu_oci_number, internal_format_matches_oracle_examples)
{
    EXPECT_EQ(number_to_oranum("0"), bytes({0x80}));
    EXPECT_EQ(number_to_oranum("1"), bytes({0xC1, 0x02}));
    EXPECT_EQ(number_to_oranum("100"), bytes({0xC2, 0x02}));
    EXPECT_EQ(number_to_oranum("123"), bytes({0xC2, 0x02, 0x18}));
    EXPECT_EQ(number_to_oranum("0.5"), bytes({0xC0, 0x33}));
    EXPECT_EQ(number_to_oranum("-1"), bytes({0x3E, 0x64, 0x66}));
    EXPECT_EQ(number_to_oranum("-123"), bytes({0x3D, 0x64, 0x4E, 0x66}));
    EXPECT_THROW(number_to_oranum("12a"), emu::ora_error);
}

TEST(emu_oci_number, internal_format_round_trips)
{
    for (const char* t : {"0", "1", "-1", "99", "100", "101", "123.45", "-0.001", "1000000", "3.14159265358979",
                          "-98765432109876543210", "0.0000123"}) {
        std::string b = number_to_oranum(t);
        EXPECT_EQ(oranum_to_number(reinterpret_cast<const unsigned char*>(b.data()), b.size()), t);
    }
}

TEST(emu_oci_date, seven_byte_layout_is_excess_100_and_excess_1)
{
    unsigned char d[7];
    text_to_oradate("1992-11-30 15:17:00", d);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(d), 7), bytes({119, 192, 11, 30, 16, 18, 1}));
    text_to_oradate("2000-01-01 00:00:00", d);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(d), 7), bytes({120, 100, 1, 1, 1, 1, 1}));
    text_to_oradate("2005-06-07 23:59:59.123456789", d);  // a TIMESTAMP loses its fraction
    EXPECT_EQ(std::string(reinterpret_cast<char*>(d), 7), bytes({120, 105, 6, 7, 24, 60, 60}));
    EXPECT_EQ(oradate_to_text(d), "2005-06-07 23:59:59");
    unsigned char bad[7] = {120, 100, 13, 1, 1, 1, 1};
    EXPECT_THROW(oradate_to_text(bad), emu::ora_error);
}

TEST(emu_oci_display, default_nls_texts)
{
    EXPECT_EQ(display_text(num("0.5")), ".5");
    EXPECT_EQ(display_text(num("-0.25")), "-.25");
    EXPECT_EQ(display_text(num("42")), "42");
    EXPECT_EQ(display_text(value::make(col_type::date, "2026-12-05 10:20:30")), "05-DEC-26");
    EXPECT_EQ(display_text(value::make(col_type::timestamp, "2026-12-05 13:20:30.500000000")),
              "05-DEC-26 01.20.30.500000 PM");
    EXPECT_EQ(display_text(value::make(col_type::raw, bytes({0x00, 0xAB, 0x10}))), "00AB10");
}

// A fraction finer than microseconds (TIMESTAMP(7) to (9)) is shown with
// the digits it has, so that the text read back is the same value.
TEST(emu_oci_display, timestamp_fractions_keep_every_digit)
{
    struct {
        const char* stored;
        const char* shown;
    } cases[] = {
        {"2021-05-06 22:45:12.345678900", "06-MAY-21 10.45.12.3456789 PM"},
        {"2021-05-06 00:00:00.000000001", "06-MAY-21 12.00.00.000000001 AM"},
        {"2021-05-06 12:00:00.000000000", "06-MAY-21 12.00.00.000000 PM"},
        {"2021-05-06 12:00:00.123456780", "06-MAY-21 12.00.00.12345678 PM"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(display_text(value::make(col_type::timestamp, c.stored)), c.shown) << c.stored;
}

TEST(emu_oci_put, utf16_string_is_terminated_and_measured_in_bytes)
{
    char16_t buf[8];
    std::memset(buf, 0x55, sizeof buf);
    put_result r = put_value(true, value::make(col_type::varchar2, "\xCE\x94\xCE\xB5"), SQLT_STR, buf, sizeof buf);
    EXPECT_FALSE(r.null);
    EXPECT_FALSE(r.truncated);
    EXPECT_EQ(r.length, 4u);
    EXPECT_EQ(buf[0], u'\u0394');
    EXPECT_EQ(buf[1], u'\u03B5');
    EXPECT_EQ(buf[2], 0);
}

TEST(emu_oci_put, too_small_buffer_truncates_and_reports_the_full_length)
{
    char16_t buf[4];  // room for 3 units and the terminator
    put_result r = put_value(true, value::make(col_type::varchar2, "abcdef"), SQLT_STR, buf, sizeof buf);
    EXPECT_TRUE(r.truncated);
    EXPECT_EQ(r.length, 6u);
    EXPECT_EQ(r.full, 12u);
    EXPECT_EQ(std::u16string(buf), u"abc");
}

TEST(emu_oci_put, null_leaves_the_buffer_untouched)
{
    char buf[4] = {'x', 'y', 'z', 'w'};
    put_result r = put_value(false, value::make_null(col_type::varchar2), SQLT_STR, buf, 4);
    EXPECT_TRUE(r.null);
    EXPECT_EQ(std::string(buf, 4), "xyzw");
}

TEST(emu_oci_put, fixed_char_output_is_blank_padded)
{
    char buf[6];
    put_result r = put_value(false, value::make(col_type::char_, "ab"), SQLT_AFC, buf, 6);
    EXPECT_FALSE(r.truncated);
    EXPECT_EQ(std::string(buf, 6), "ab    ");
}

TEST(emu_oci_put, integer_cuts_the_fraction_and_checks_the_range)
{
    int32_t i = 0;
    put_value(false, num("12.9"), SQLT_INT, &i, sizeof i);
    EXPECT_EQ(i, 12);
    put_value(false, num("-7.5"), SQLT_INT, &i, sizeof i);
    EXPECT_EQ(i, -7);
    int16_t s = 0;
    EXPECT_THROW(put_value(false, num("40000"), SQLT_INT, &s, sizeof s), emu::ora_error);
    int64_t l = 0;
    put_value(false, num("9223372036854775807"), SQLT_INT, &l, sizeof l);
    EXPECT_EQ(l, INT64_MAX);
    EXPECT_THROW(put_value(false, value::make(col_type::varchar2, "abc"), SQLT_INT, &i, 4), emu::ora_error);
}

TEST(emu_oci_put, float_number_and_date_forms)
{
    double d = 0;
    put_value(false, num("2.5"), SQLT_FLT, &d, sizeof d);
    EXPECT_DOUBLE_EQ(d, 2.5);
    unsigned char vnu[22] = {};
    put_result r = put_value(false, num("123"), SQLT_VNU, vnu, sizeof vnu);
    EXPECT_EQ(r.length, 4u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(vnu), 4), bytes({3, 0xC2, 0x02, 0x18}));
    unsigned char dat[7];
    put_value(false, value::make(col_type::date, "1992-11-30 15:17:00"), SQLT_DAT, dat, 7);
    EXPECT_EQ(dat[0], 119);
    EXPECT_EQ(dat[6], 1);
    EXPECT_THROW(put_value(false, num("1"), SQLT_DAT, dat, 7), emu::ora_error);
}

TEST(emu_oci_get, strings_end_at_the_terminator_and_empty_is_null)
{
    char16_t text[6] = {u'a', u'\u4E2D', 0, u'x', u'y', 0};
    value v = get_value(true, SQLT_STR, text, sizeof text);
    EXPECT_FALSE(v.null);
    EXPECT_EQ(v.data, "a\xE4\xB8\xAD");
    char16_t empty[2] = {0, 0};
    EXPECT_TRUE(get_value(true, SQLT_STR, empty, sizeof empty).null);
    EXPECT_TRUE(get_value(false, SQLT_CHR, "", 0).null);
}

TEST(emu_oci_get, binary_scalars_become_engine_values)
{
    int64_t i = -42;
    EXPECT_EQ(get_value(false, SQLT_INT, &i, sizeof i).data, "-42");
    double d = 0.1;
    EXPECT_EQ(get_value(false, SQLT_FLT, &d, sizeof d).data, "0.1");
    unsigned char dat[7] = {120, 126, 2, 28, 11, 21, 31};
    value v = get_value(false, SQLT_DAT, dat, 7);
    EXPECT_EQ(v.type, col_type::date);
    EXPECT_EQ(v.data, "2026-02-28 10:20:30");
    EXPECT_THROW(get_value(false, SQLT_INT, &i, 3), emu::ora_error);
}

TEST(emu_oci_utf, supplementary_characters_take_two_units)
{
    std::u16string w = utf8_to_utf16("\xF0\x9F\x98\x80");  // U+1F600
    ASSERT_EQ(w.size(), 2u);
    EXPECT_EQ(w[0], 0xD83D);
    EXPECT_EQ(utf16_to_utf8(w), "\xF0\x9F\x98\x80");
}
