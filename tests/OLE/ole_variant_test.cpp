// ole_variant: construction, copying, payloads, numeric readings, byte
// arrays and the canonical text forms.
#include <gtest/gtest.h>

#include "ole_test_support.h"

#include <cmath>
#include <cstring>
#include <type_traits>

#include "ole_exceptions.h"
#include "ole_variant.h"
#include "tk_exception.h"

namespace {

std::vector<uint8_t> pattern(size_t n)
{
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(i * 7 + 3);
    return v;
}

}  // namespace

TEST(OleVariantCtor, EachSourceTypeMakesItsKind)
{
    EXPECT_EQ(ole_variant().get_vt(), VT_EMPTY);
    EXPECT_EQ(ole_variant(true).get_vt(), VT_BOOL);
    EXPECT_EQ(ole_variant(true).as_bool_raw(), 0xFFFF);
    EXPECT_EQ(ole_variant(false).as_bool_raw(), 0);
    EXPECT_EQ(ole_variant('A').get_vt(), VT_I1);
    EXPECT_EQ(ole_variant(static_cast<signed char>(-5)).as_i1(), -5);
    EXPECT_EQ(ole_variant(static_cast<unsigned char>(200)).as_ui1(), 200);
    EXPECT_EQ(ole_variant(static_cast<short>(-300)).as_i2(), -300);
    EXPECT_EQ(ole_variant(static_cast<unsigned short>(65535)).as_ui2(), 65535);
    EXPECT_EQ(ole_variant(-70000).as_i4(), -70000);
    EXPECT_EQ(ole_variant(4000000000u).as_ui4(), 4000000000u);
    EXPECT_EQ(ole_variant(int64_t{INT64_MIN}).as_i8(), INT64_MIN);
    EXPECT_EQ(ole_variant(static_cast<long long>(-2)).get_vt(), VT_I8);
    EXPECT_EQ(ole_variant(uint64_t{UINT64_MAX}).as_ui8(), UINT64_MAX);
    EXPECT_EQ(ole_variant(1.5f).as_r4(), 1.5f);
    EXPECT_EQ(ole_variant(2.5).as_r8(), 2.5);
    EXPECT_EQ(ole_variant(ole_cy{125000}).as_cy().int64, 125000);
    EXPECT_EQ(ole_dec_to_str(ole_variant(dec("-1.5")).as_decimal()), "-1.5");
    EXPECT_EQ(ole_variant(std::string("abc")).as_wstring(), u"abc");
    EXPECT_EQ(ole_variant("abc").as_wstring(), u"abc");
    EXPECT_EQ(ole_variant(static_cast<const char*>(nullptr)).as_wstring(), u"");
    EXPECT_EQ(ole_variant(u"Größe").as_wstring(), u"Größe");
    EXPECT_EQ(ole_variant(std::u16string(u"a\0b", 3)).as_wstring().size(), 3u);
    EXPECT_EQ(ole_variant(static_cast<const char16_t*>(nullptr)).get_vt(), VT_BSTR);
    // Literals assigned or copy-initialised are texts, never booleans.
    ole_variant lit = "abc";
    EXPECT_EQ(lit.get_vt(), VT_BSTR);
    lit = u"xyz";
    EXPECT_EQ(lit.as_wstring(), u"xyz");
    lit = "q";
    EXPECT_EQ(lit.as_wstring(), u"q");
    static_assert(!std::is_constructible_v<ole_variant, const int*>);
}

TEST(OleVariantCtor, DatesKeepTheRecordAndTheNumber)
{
    ole_variant v(make_st(1899, 12, 29, 6, 0));
    EXPECT_EQ(v.get_vt(), VT_DATE);
    EXPECT_EQ(v.as_date_number(), -1.25);
    EXPECT_EQ(v.as_date().hour, 6);

    // A pure time: the fraction of a day, the day of date number 0.
    ole_variant t(make_st(0, 0, 0, 18, 0));
    EXPECT_EQ(t.get_vt(), VT_DATE);
    EXPECT_EQ(t.as_date_number(), 0.75);

    // A record with no date number keeps its kind and its fields.
    ole_variant bad(make_st(2011, 13, 40, 10));
    EXPECT_EQ(bad.get_vt(), VT_DATE);
    EXPECT_EQ(bad.as_date_number(), 0.0);
    EXPECT_EQ(bad.as_date().month, 13);

    ole_variant n;
    EXPECT_TRUE(n.attach_date_number(40760.75));
    EXPECT_EQ(n.to_string(), "2011-08-05 18:00:00");
    EXPECT_EQ(n.as_date().day_of_week, 5);
    EXPECT_FALSE(n.attach_date_number(1e9));
    EXPECT_EQ(n.get_vt(), VT_DATE);
    EXPECT_EQ(n.as_date(), ole_systemtime{});
    EXPECT_EQ(n.to_string(), "0000-00-00 00:00:00");
}

TEST(OleVariantCtor, BinaryNeedsBytes)
{
    uint8_t raw[] = {1, 2, 3};
    ole_variant v(sizeof raw, raw);
    EXPECT_EQ(v.get_vt(), VT_ARRAY_UI1);
    EXPECT_EQ(v.as_bytes(), std::vector<uint8_t>({1, 2, 3}));
    std::vector<uint8_t> seq = {9, 8};
    EXPECT_EQ(ole_variant(std::span<const uint8_t>(seq)).as_bytes(), seq);
    EXPECT_THROW(ole_variant(size_t{5}, nullptr), tk_mail_assertion);
    EXPECT_EQ(ole_variant(size_t{0}, nullptr).get_safe_array_size(), 0u);
}

TEST(OleVariantCtor, TakesBuffersOver)
{
    std::vector<uint8_t> bytes = pattern(1000);
    const uint8_t* data = bytes.data();
    ole_variant v(7);
    v.take_binary(std::move(bytes));
    EXPECT_EQ(v.get_vt(), VT_ARRAY_UI1);
    const uint8_t* p = nullptr;
    EXPECT_EQ(v.get_bytes(&p), 1000u);
    EXPECT_EQ(p, data);  // no copy was made
    std::u16string text(5000, u'x');
    v.take_wstring(std::move(text));
    EXPECT_EQ(v.get_vt(), VT_BSTR);
    EXPECT_EQ(v.as_wstring().size(), 5000u);
    EXPECT_THROW(v.get_safe_array_size(), tk_mail_assertion);
}

TEST(OleVariantCopy, DeepCopiesAndKeepsSlots)
{
    std::vector<uint8_t> bytes = pattern(10);
    ole_variant a{std::span<const uint8_t>(bytes)};
    ole_variant b(a);
    uint8_t* p = nullptr;
    ASSERT_EQ(a.get_bytes(&p), 10u);
    p[0] = 0xEE;
    EXPECT_EQ(b.as_bytes(), bytes);

    ole_variant i8(int64_t{-42});
    ole_variant c = i8;
    EXPECT_EQ(c.as_i8(), -42);
    c = ole_variant(uint64_t{7});
    EXPECT_EQ(c.as_ui8(), 7u);
    c = ole_variant(make_st(2011, 8, 5, 1, 2, 3));
    ole_variant d(c);
    EXPECT_EQ(d.to_string(), "2011-08-05 01:02:03");

    ole_variant& self = d;
    d = self;
    EXPECT_EQ(d.to_string(), "2011-08-05 01:02:03");

    ole_variant moved(std::move(d));
    EXPECT_EQ(moved.get_vt(), VT_DATE);
    EXPECT_EQ(d.get_vt(), VT_EMPTY);  // NOLINT: the moved-from state is defined

    moved = std::u16string_view(u"text");
    EXPECT_EQ(moved.get_vt(), VT_BSTR);
    EXPECT_EQ(moved.as_wstring(), u"text");
    // Assigning a value's own text to it.
    moved = std::u16string_view(moved.as_wstring());
    EXPECT_EQ(moved.as_wstring(), u"text");
}

TEST(OleVariantAccess, WrongKindIsAnInternalError)
{
    ole_variant v(5);
    EXPECT_THROW(v.as_i2(), tk_mail_assertion);
    EXPECT_THROW(v.as_wstring(), tk_mail_assertion);
    EXPECT_THROW(v.as_bytes(), tk_mail_assertion);
    EXPECT_THROW(v.as_date(), tk_mail_assertion);
    EXPECT_THROW(v.as_cy(), tk_mail_assertion);
    EXPECT_THROW(v.as_decimal(), tk_mail_assertion);
    EXPECT_THROW(v.as_i8(), tk_mail_assertion);
    EXPECT_THROW(v.set_integer(VT_I1, 200), tk_mail_assertion);
    EXPECT_THROW(v.set_integer(VT_BSTR, 1), tk_mail_assertion);
    v.set_integer(VT_INT, -3);
    EXPECT_EQ(v.get_vt(), VT_INT);
    EXPECT_EQ(v.as_i4(), -3);
    v.set_error(0x80020004);
    EXPECT_EQ(v.as_error(), static_cast<int32_t>(0x80020004));
    v.set_null();
    EXPECT_TRUE(v.is_null());
    EXPECT_TRUE(v.is_empty_or_null());
    v.clear();
    EXPECT_TRUE(v.is_empty());
}

TEST(OleVariantNumbers, ToLong)
{
    EXPECT_EQ(ole_variant().to_long(), 0);
    ole_variant null;
    null.set_null();
    EXPECT_EQ(null.to_long(), 0);
    EXPECT_EQ(ole_variant(true).to_long(), -1);
    EXPECT_EQ(ole_variant(static_cast<short>(-7)).to_long(), -7);
    EXPECT_EQ(ole_variant(0xFFFFFFFFu).to_long(), -1);
    EXPECT_EQ(ole_variant(-2.9).to_long(), -2);
    EXPECT_EQ(ole_variant(2.9f).to_long(), 2);
    EXPECT_EQ(ole_variant(1e20).to_long(), INT32_MIN);
    EXPECT_EQ(ole_variant(std::nan("")).to_long(), INT32_MIN);
    EXPECT_EQ(ole_variant(dec("2.5")).to_long(), 2);
    EXPECT_EQ(ole_variant(dec("3.5")).to_long(), 4);
    EXPECT_EQ(ole_variant(dec("1e20")).to_long(), 0);  // out of range: no value
    EXPECT_EQ(ole_variant(static_cast<signed char>(-1)).to_long(), -1);
    EXPECT_EQ(ole_variant(static_cast<unsigned char>(255)).to_long(), 255);
    EXPECT_EQ(ole_variant(static_cast<unsigned short>(65535)).to_long(), 65535);
    EXPECT_EQ(ole_variant(int64_t{0x100000005}).to_long(), 5);
    EXPECT_EQ(ole_variant(uint64_t{0xFFFFFFFF00000007}).to_long(), 7);
    EXPECT_THROW(ole_variant("5").to_long(), tk_mail_assertion);
    EXPECT_THROW(ole_variant(ole_cy{10000}).to_long(), tk_mail_assertion);
    EXPECT_THROW(ole_variant(make_st(2011, 8, 5)).to_long(), tk_mail_assertion);
}

TEST(OleVariantNumbers, ToDouble)
{
    EXPECT_EQ(ole_variant().to_double(), 0.0);
    EXPECT_EQ(ole_variant(0xFFFFFFFFu).to_double(), 4294967295.0);
    EXPECT_EQ(ole_variant(static_cast<short>(-7)).to_double(), -7.0);
    EXPECT_EQ(ole_variant(0.1f).to_double(), static_cast<double>(0.1f));
    EXPECT_EQ(ole_variant(ole_cy{125000}).to_double(), 12.5);
    EXPECT_EQ(ole_variant(dec("0.1")).to_double(), 0.1);
    EXPECT_EQ(ole_variant(int64_t{-5}).to_double(), -5.0);
    EXPECT_EQ(ole_variant(uint64_t{UINT64_MAX}).to_double(), 18446744073709551615.0);
    EXPECT_THROW(ole_variant("1").to_double(), tk_mail_assertion);
    EXPECT_THROW(ole_variant(make_st(2011, 8, 5)).to_double(), tk_mail_assertion);
}

TEST(OleVariantBytes, GetAndAllocate)
{
    const uint8_t* p = reinterpret_cast<const uint8_t*>(1);
    EXPECT_EQ(ole_variant().get_bytes(&p), 0u);
    EXPECT_EQ(p, nullptr);
    EXPECT_THROW(ole_variant(5).get_bytes(&p), tk_mail_assertion);

    ole_variant v(5);
    v.allocate_safe_array(4);
    EXPECT_EQ(v.get_vt(), VT_ARRAY_UI1);
    EXPECT_EQ(v.as_bytes(), std::vector<uint8_t>(4, 0));
    uint8_t* w = nullptr;
    ASSERT_EQ(v.get_bytes(&w), 4u);
    std::memcpy(w, "\x01\x02\x03\x04", 4);
    v.allocate_safe_array(6);  // redimension keeps the bytes
    EXPECT_EQ(v.as_bytes(), std::vector<uint8_t>({1, 2, 3, 4, 0, 0}));
    v.allocate_safe_array(2);
    EXPECT_EQ(v.as_bytes(), std::vector<uint8_t>({1, 2}));
    EXPECT_EQ(v.get_safe_array_size(), 2u);
    v.allocate_safe_array(0);
    EXPECT_EQ(v.get_bytes(&w), 0u);
    EXPECT_EQ(w, nullptr);
    EXPECT_TRUE(v.is_binary());
    EXPECT_FALSE(ole_variant(1).is_binary());
    EXPECT_TRUE(ole_is_binary_vt(VT_BLOB));
    EXPECT_TRUE(ole_is_binary_vt(VT_BLOB_OBJECT));
    EXPECT_TRUE(ole_is_binary_vt(8209));
    EXPECT_FALSE(ole_is_binary_vt(VT_SAFEARRAY));
}

TEST(OleVariantText, EveryRowOfTheTable)
{
    EXPECT_EQ(ole_variant().to_string(), "");
    ole_variant null;
    null.set_null();
    EXPECT_EQ(null.to_string(), "");
    EXPECT_EQ(ole_variant(dec("-12.50")).to_string(), "-12.5");
    EXPECT_EQ(ole_variant(ole_cy{125000}).to_string(), "12.5");
    EXPECT_EQ(ole_variant(make_st(2011, 8, 5, 14, 30)).to_string(), "2011-08-05 14:30:00");
    EXPECT_EQ(ole_variant(make_st(2011, 8, 5)).to_string(), "2011-08-05");
    EXPECT_EQ(ole_variant("plain text").to_string(), "plain text");
    EXPECT_EQ(ole_variant(true).to_string(), "1");
    EXPECT_EQ(ole_variant(false).to_string(), "0");
    ole_variant one;
    one.set_bool_raw(1);
    EXPECT_EQ(one.to_string(), "0");
    EXPECT_EQ(ole_variant(static_cast<short>(-32768)).to_string(), "-32768");
    EXPECT_EQ(ole_variant(static_cast<signed char>(-128)).to_string(), "-128");
    EXPECT_EQ(ole_variant(INT32_MIN).to_string(), "-2147483648");
    EXPECT_EQ(ole_variant(static_cast<unsigned char>(255)).to_string(), "255");
    EXPECT_EQ(ole_variant(static_cast<unsigned short>(65535)).to_string(), "65535");
    EXPECT_EQ(ole_variant(4294967295u).to_string(), "4294967295");
    EXPECT_EQ(ole_variant(1.5f).to_string(), "1.500000e+00");
    EXPECT_EQ(ole_variant(-0.1f).to_string(), "-1.000000e-01");
    EXPECT_EQ(ole_variant(1.5).to_string(), "1.500000000000000e+00");
    EXPECT_EQ(ole_variant(0.1).to_string(), "1.000000000000000e-01");
    EXPECT_EQ(ole_variant(-1e-300).to_string(), "-1.000000000000000e-300");
    EXPECT_EQ(ole_variant(int64_t{INT64_MIN}).to_string(), "-9223372036854775808");
    EXPECT_EQ(ole_variant(uint64_t{UINT64_MAX}).to_string(), "18446744073709551615");
    ole_variant err;
    err.set_error(1);
    EXPECT_EQ(err.to_string(), "");
    ole_variant i;
    i.set_integer(VT_UINT, 4000000000);
    EXPECT_EQ(i.to_string(), "4000000000");
}

TEST(OleVariantText, BinaryIsHexAndCapped)
{
    uint8_t raw[] = {0x0A, 0xFF, 0x00, 0xB1};
    EXPECT_EQ(ole_variant(sizeof raw, raw).to_string(), "0x0AFF00B1");
    EXPECT_EQ(ole_variant(size_t{0}, raw).to_string(), "");

    std::vector<uint8_t> big = pattern(400000);
    std::string s = ole_variant(std::span<const uint8_t>(big)).to_string();
    ASSERT_EQ(s.size(), 2u + 655360u);
    EXPECT_EQ(s.substr(0, 8), "0x030A11");
    // The last byte written is number 327,679.
    char last[3];
    std::snprintf(last, sizeof last, "%02X", big[327679]);
    EXPECT_EQ(s.substr(s.size() - 2), last);

    std::vector<uint8_t> exact = pattern(327680);
    EXPECT_EQ(ole_variant(std::span<const uint8_t>(exact)).to_string().size(), 2u + 655360u);
}

TEST(OleVariantText, WideFormKeepsTheText)
{
    EXPECT_EQ(ole_variant(u"Größe ÆØÅ").to_wstring(), u"Größe ÆØÅ");
    EXPECT_EQ(ole_variant(12).to_wstring(), u"12");
    EXPECT_EQ(ole_variant(make_st(0, 0, 0, 14, 30)).to_wstring(), u"0000-00-00 14:30:00");
}

TEST(OleVariantDateFraction, TravelsWithTheDateAndNothingElse)
{
    ole_variant d;
    ASSERT_TRUE(d.attach_date_number(45000.5));
    d.set_date_fraction(3456789);
    ole_variant copy(d);
    EXPECT_EQ(copy.date_fraction(), 3456789u);
    ole_variant moved(std::move(copy));
    EXPECT_EQ(moved.date_fraction(), 3456789u);
    moved.set_null();
    EXPECT_EQ(moved.date_fraction(), 0u);
    // Only a date has a fraction, and never a whole second of it.
    EXPECT_THROW(ole_variant(12).set_date_fraction(1), tk_mail_assertion);
    EXPECT_THROW(d.set_date_fraction(10'000'000), tk_mail_assertion);
}
