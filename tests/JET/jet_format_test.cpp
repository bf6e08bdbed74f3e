// File-format pieces on their own: header and passwords, text decoding,
// dates, GUIDs, exact decimals, the ciphers.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <tuple>

#include "jet_crypto.h"
#include "jet_error.h"
#include "jet_file.h"
#include "jet_header.h"
#include "jet_test_encrypt.h"
#include "jet_test_util.h"
#include "jet_text.h"
#include "jet_value.h"
#include "tk_wstring.h"

namespace {

std::vector<uint8_t> read_page0(const char* name)
{
    std::ifstream in(jet_test_data(name), std::ios::binary);
    std::vector<uint8_t> b(jet_header::k_size);
    in.read(reinterpret_cast<char*>(b.data()), static_cast<std::streamsize>(b.size()));
    return b;
}

TEST(jet_header_test, formats_code_pages_and_passwords)
{
    struct row {
        const char* file;
        jet_format format;
        const char16_t* password;
    } rows[] = {
        {"nwind.mdb", jet_format::jet3, u""},
        {"V2000_test.mdb", jet_format::jet4, u""},
        {"V2003_with-password.mdb", jet_format::jet4, u"password"},
        {"V2000_with-password.mdb", jet_format::jet4, u"password"},
        {"V2007_test.accdb", jet_format::ace12, u""},
        {"V2016_bigint.accdb", jet_format::ace16, u""},
    };
    for (const row& r : rows) {
        std::vector<uint8_t> p = read_page0(r.file);
        jet_header h = jet_header::parse(p.data(), p.size(), u"x");
        EXPECT_EQ(h.format, r.format) << r.file;
        EXPECT_EQ(h.password, std::u16string(r.password)) << r.file;
        EXPECT_EQ(h.code_page, 1252) << r.file;
        EXPECT_EQ(h.lcid, 0x409) << r.file;
        EXPECT_FALSE(h.is_encrypted_accdb()) << r.file;
    }
    std::vector<uint8_t> p = read_page0("V2010_with-password.accdb");
    jet_header h = jet_header::parse(p.data(), p.size(), u"x");
    EXPECT_TRUE(h.is_encrypted_accdb());
    p = read_page0("workgroup-jet3.mdw");
    EXPECT_TRUE(jet_header::parse(p.data(), p.size(), u"x").is_workgroup());
}

TEST(jet_header_test, rejects_what_is_not_an_access_file)
{
    std::vector<uint8_t> zeros(4096, 0);
    try {
        jet_header::parse(zeros.data(), zeros.size(), u"/tmp/z.mdb");
        FAIL() << "a page of zeros passed";
    } catch (const jet_error& e) {
        EXPECT_EQ(e.number, 3343);
        EXPECT_EQ(e.description, u"Unrecognized database format '/tmp/z.mdb'.");
        EXPECT_EQ(e.code, 0x10000u + 3343);
        EXPECT_EQ(e.level, 0);
    }
    std::vector<uint8_t> p = read_page0("V2000_test.mdb");
    p[0x14] = 9;  // a version byte no Access wrote
    EXPECT_THROW(jet_header::parse(p.data(), p.size(), u"x"), jet_error);
    EXPECT_THROW(jet_header::parse(p.data(), 100, u"x"), jet_error);
}

TEST(jet_file_test, database_passwords_right_wrong_and_missing)
{
    for (const char* name : {"V2000_with-password.mdb", "V2003_with-password.mdb", "V2010_with-password.accdb"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(jet_open_error(jet_test_data(name), u"password"), 0);
        EXPECT_EQ(jet_open_error(jet_test_data(name), u"wrong"), 3031);
        EXPECT_EQ(jet_open_error(jet_test_data(name), u""), 3031);
        EXPECT_EQ(jet_open_error(jet_test_data(name), u"Password"), 3031);  // case counts
    }
    // A password given for a database without one is ignored, as by DAO.
    EXPECT_EQ(jet_open_error(jet_test_data("V2000_test.mdb"), u"anything"), 0);
    try {
        jet_file f(tk_from_utf8(jet_test_data("V2010_with-password.accdb")), u"nope");
    } catch (const jet_error& e) {
        EXPECT_EQ(e.description, u"Not a valid password.");
        ASSERT_EQ(jet_error::current().size(), 1u);
        EXPECT_EQ(jet_error::current()[0].number, 3031);
    }
}

TEST(jet_file_test, missing_and_foreign_files)
{
    EXPECT_EQ(jet_open_error("/nonexistent/dir/x.mdb", u""), 3024);
    try {
        jet_file f(u"/nonexistent/x.mdb", u"");
    } catch (const jet_error& e) {
        EXPECT_EQ(e.description, u"Could not find file '/nonexistent/x.mdb'.");
    }
    jet_test_temp_dir dir;
    jet_test_write_file(dir.file("junk.mdb"), jet_test_bytes(10000, 'x'));
    EXPECT_EQ(jet_open_error(dir.file("junk.mdb"), u""), 3343);
}

TEST(jet_text_test, compressed_and_plain_unicode)
{
    // "Ab" compressed, then a switch to two-byte units for U+20AC and an
    // emoji (a surrogate pair), then back.
    const uint8_t compressed[] = {0xFF, 0xFE, 'A', 'b', 0x00, 0xAC, 0x20, 0x3D, 0xD8, 0x0A, 0xDE, 0x00, 'z'};
    EXPECT_EQ(jet_decode_unicode(compressed, sizeof compressed), u"Ab\u20AC\U0001F60Az");
    const uint8_t plain[] = {'h', 0, 'i', 0, 0x3D, 0xD8, 0x00, 0xDE, 0x7F};  // odd last byte dropped
    EXPECT_EQ(jet_decode_unicode(plain, sizeof plain), u"hi\U0001F600");
    EXPECT_EQ(jet_decode_unicode(compressed, 2), u"");
}

TEST(jet_text_test, jet3_code_pages)
{
    const uint8_t latin[] = {'U', 'm', 's', 0xE4, 't', 'z', 'e', 0x80};
    EXPECT_EQ(jet_text_decoder(1252).decode(latin, sizeof latin), u"Umsätze€");
    const uint8_t cyrillic[] = {0xCF, 0xF0, 0xE8};
    EXPECT_EQ(jet_text_decoder(1251).decode(cyrillic, sizeof cyrillic), u"При");
    const uint8_t sjis[] = {0x93, 0xFA, 0x96, 0x7B};
    EXPECT_EQ(jet_text_decoder(932).decode(sjis, sizeof sjis), u"日本");
    EXPECT_EQ(jet_text_decoder(1252).encode(u"Grüße"), "Gr\xFC\xDF"
                                                       "e");
    EXPECT_EQ(jet_code_page_for_lcid(0x419), 1251);
    EXPECT_EQ(jet_code_page_for_lcid(0x411), 932);
    EXPECT_EQ(jet_code_page_for_lcid(0x409), 1252);
}

TEST(jet_value_test, dates_time_only_and_far_from_1900)
{
    const struct {
        double number;
        std::tuple<int, int, int, int, int, int> parts;
    } splits[] = {
        {0.6041666666666666, {1899, 12, 30, 14, 30, 0}},  // 14:30 without a date
        // Before 1899-12-30 the time still counts forward from midnight.
        {-1.25, {1899, 12, 29, 6, 0, 0}},
        {2958465.9999884259, {9999, 12, 31, 23, 59, 59}},
        {-657434.0, {100, 1, 1, 0, 0, 0}},
        {40760.999999999, {2011, 8, 6, 0, 0, 0}},  // rounds up to the next midnight
    };
    jet_date_parts p;
    for (const auto& c : splits) {
        ASSERT_TRUE(jet_split_date(c.number, p)) << c.number;
        EXPECT_EQ(std::tie(p.year, p.month, p.day, p.hour, p.minute, p.second), c.parts) << c.number;
    }
    EXPECT_FALSE(jet_split_date(1e300, p));
    EXPECT_FALSE(jet_split_date(std::nan(""), p));
    jet_date_parts q{2011, 8, 5, 14, 30, 0, 0, 0};
    EXPECT_DOUBLE_EQ(jet_join_date(q), 40760.0 + 14.5 / 24);
    q = {1899, 12, 29, 6, 0, 0, 0, 0};
    EXPECT_DOUBLE_EQ(jet_join_date(q), -1.25);
    ASSERT_TRUE(jet_split_date(40760.0, p));
    EXPECT_EQ(p.day_of_week, 5);  // 2011-08-05 was a Friday
}

TEST(jet_value_test, guid_and_exact_numbers)
{
    const uint8_t g[16] = {0x04, 0x99, 0x63, 0x61, 0x23, 0xB0, 0xC3, 0x48,
                           0xAC, 0x4D, 0x3D, 0x42, 0x96, 0x74, 0xE9, 0x02};
    EXPECT_EQ(jet_guid_text(g), u"{61639904-B023-48C3-AC4D-3D429674E902}");
    EXPECT_EQ(jet_currency_text(125000), "12.5000");
    EXPECT_EQ(jet_currency_text(-1), "-0.0001");
    EXPECT_EQ(jet_currency_text(INT64_MIN), "-922337203685477.5808");
    jet_decimal d;
    d.hi = 0x204FCE5E;  // 10^28 - 1 = 0x204FCE5E_3E250261_0FFFFFFF
    d.lo = 0x3E2502610FFFFFFFull;
    d.scale = 10;
    d.negative = true;
    EXPECT_EQ(jet_decimal_text(d), "-999999999999999999.9999999999");
    jet_decimal zero;
    zero.negative = true;
    zero.scale = 2;
    EXPECT_EQ(jet_decimal_text(zero), "0.00");
}

TEST(jet_crypto_test, rc4_and_workgroup_cipher)
{
    // The published vector key "Key", plaintext "Plaintext", through the
    // component's RC4 and the test encryptor's own (jet_test_encrypt).
    const uint8_t key[] = {'K', 'e', 'y'};
    const std::vector<uint8_t> plain = {'P', 'l', 'a', 'i', 'n', 't', 'e', 'x', 't'};
    const std::vector<uint8_t> want = {0xBB, 0xF3, 0x16, 0xE8, 0xD9, 0x40, 0xAF, 0x0A, 0xD3};
    std::vector<uint8_t> text = plain;
    jet_rc4(key, 3).apply(text.data(), text.size());
    EXPECT_EQ(text, want);
    text = plain;
    jet_test_rc4(key, 3, text.data(), text.size());
    EXPECT_EQ(text, want);
    // The header mask starts with the documented bytes.
    EXPECT_EQ(jet_header::mask()[0], 0xB5);
    EXPECT_EQ(jet_header::mask()[1], 0x6F);
    // An empty workgroup password enciphers to this block.
    jet_bytes empty = jet_workgroup_cipher::encipher(jet_bytes(8, 0));
    EXPECT_EQ(empty, (jet_bytes{0x69, 0x52, 0xAD, 0x67, 0xF3, 0xD5, 0xE1, 0xE6}));
    jet_bytes pw = {'t', 'i', 'g', 'g', 'e', 'r'};
    jet_bytes enc = jet_workgroup_cipher::encipher(pw);
    ASSERT_EQ(enc.size(), 8u);
    jet_bytes dec = jet_workgroup_cipher::decipher(enc);
    EXPECT_EQ(std::string(dec.begin(), dec.begin() + 6), "tigger");
    EXPECT_EQ(dec[6], 0);
}

TEST(jet_value_test, extended_dates)
{
    // 2020-02-29 13:45:30 is day 737483 after 0001-01-01.
    // 19 digits of days, ':', 12 digits of seconds and 7 of 100-ns ticks,
    // ':', the precision digit, a blank: 42 bytes.
    std::string text = "0000000000000737483:0000000495301234567:7 ";
    double d = 0;
    uint32_t ticks = 0;
    ASSERT_TRUE(jet_extended_date(reinterpret_cast<const uint8_t*>(text.data()), text.size(), d, ticks));
    jet_date_parts p;
    ASSERT_TRUE(jet_split_date(d, p));
    EXPECT_EQ(std::tie(p.year, p.month, p.day, p.hour, p.minute, p.second, p.millisecond),
              std::make_tuple(2020, 2, 29, 13, 45, 30, 0));
    EXPECT_EQ(ticks, 1234567u);
    // A value cut before the ticks keeps the seconds.
    ASSERT_TRUE(jet_extended_date(reinterpret_cast<const uint8_t*>(text.data()), 32, d, ticks));
    EXPECT_EQ(ticks, 0u);
    text[35] = 'x';
    EXPECT_FALSE(jet_extended_date(reinterpret_cast<const uint8_t*>(text.data()), text.size(), d, ticks));
    text[5] = 'x';
    EXPECT_FALSE(jet_extended_date(reinterpret_cast<const uint8_t*>(text.data()), 32, d, ticks));
    EXPECT_FALSE(jet_extended_date(reinterpret_cast<const uint8_t*>(text.data()), 10, d, ticks));
}

}  // namespace
