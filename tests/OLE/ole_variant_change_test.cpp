// ole_variant::change_type and OLE Automation's type-change rules.
#include <gtest/gtest.h>

#include "ole_test_support.h"

#include <cmath>
#include <cstring>

#include "ole_coerce.h"
#include "ole_exceptions.h"
#include "ole_variant.h"

namespace {

ole_variant changed(ole_variant v, ole_vartype vt)
{
    v.change_type(vt);
    return v;
}

ole_variant i8(int64_t v)
{
    return ole_variant(static_cast<long long>(v));
}

}  // namespace

TEST(OleChangeType, NothingToDo)
{
    EXPECT_EQ(changed(ole_variant(5), VT_I4).as_i4(), 5);
    for (ole_vartype vt : {VT_I4, VT_BSTR, VT_DATE, VT_ARRAY_UI1}) {
        EXPECT_EQ(changed(ole_variant(), vt).get_vt(), VT_EMPTY);
        ole_variant null;
        null.set_null();
        EXPECT_EQ(changed(null, vt).get_vt(), VT_NULL);
    }
    uint8_t raw[] = {1};
    ole_variant bin(sizeof raw, raw);
    EXPECT_EQ(changed(bin, VT_BLOB).get_vt(), VT_ARRAY_UI1);
    EXPECT_EQ(changed(bin, VT_BLOB_OBJECT).as_bytes(), std::vector<uint8_t>{1});
}

TEST(OleChangeType, FromHyper)
{
    EXPECT_EQ(changed(i8(-100), VT_I2).as_i2(), -100);
    EXPECT_EQ(changed(i8(100), VT_I1).as_i1(), 100);
    EXPECT_EQ(changed(i8(255), VT_UI1).as_ui1(), 255);
    EXPECT_EQ(changed(i8(65535), VT_UI2).as_ui2(), 65535);
    EXPECT_EQ(changed(i8(INT32_MIN), VT_I4).as_i4(), INT32_MIN);
    EXPECT_EQ(changed(i8(-7), VT_INT).get_vt(), VT_INT);
    ole_variant u = changed(i8(4294967295), VT_UI4);
    EXPECT_EQ(u.get_vt(), VT_UINT);  // a request for VT_UI4 yields VT_UINT
    EXPECT_EQ(u.as_ui4(), 4294967295u);
    EXPECT_EQ(changed(i8(5), VT_BOOL).as_bool_raw(), 0xFFFF);
    EXPECT_EQ(changed(i8(0x10000), VT_BOOL).as_bool_raw(), 0xFFFF);
    EXPECT_EQ(changed(i8(0), VT_BOOL).as_bool_raw(), 0);
    EXPECT_EQ(changed(i8(-3), VT_R8).as_r8(), -3.0);
    EXPECT_EQ(changed(i8(16777217), VT_R4).as_r4(), 16777216.0f);
    EXPECT_EQ(changed(i8(5), VT_UI8).as_ui8(), 5u);
    EXPECT_EQ(changed(i8(INT64_MIN), VT_BSTR).as_wstring(), u"-9223372036854775808");
    EXPECT_EQ(changed(i8(5), VT_CY).as_cy().int64, 50000);
    EXPECT_EQ(changed(i8(-922337203685477), VT_CY).as_cy().int64, -9223372036854770000);
    EXPECT_EQ(changed(i8(INT64_MAX), VT_DECIMAL).to_string(), "9223372036854775807");
    EXPECT_EQ(changed(i8(-5), VT_DECIMAL).to_string(), "-5");

    // Values that do not fit fail instead of being cut.
    EXPECT_THROW(changed(i8(70000), VT_I2), ole_cast_exception);
    EXPECT_THROW(changed(i8(-1), VT_UI1), ole_cast_exception);
    EXPECT_THROW(changed(i8(4294967296), VT_UI4), ole_cast_exception);
    EXPECT_THROW(changed(i8(-1), VT_UI8), ole_cast_exception);
    EXPECT_THROW(changed(i8(INT64_MAX), VT_CY), ole_cast_exception);
    EXPECT_THROW(changed(i8(1), VT_DATE), ole_cast_exception);
    EXPECT_THROW(changed(i8(1), VT_ERROR), ole_cast_exception);
}

TEST(OleChangeType, ToHyper)
{
    EXPECT_EQ(changed(ole_variant(static_cast<short>(-5)), VT_I8).as_i8(), -5);
    EXPECT_EQ(changed(ole_variant(true), VT_I8).as_i8(), -1);
    EXPECT_EQ(changed(ole_variant(static_cast<signed char>(-2)), VT_I8).as_i8(), -2);
    EXPECT_EQ(changed(ole_variant(4294967295u), VT_I8).as_i8(), 4294967295);
    EXPECT_EQ(changed(ole_variant(static_cast<unsigned char>(200)), VT_UI8).as_ui8(), 200u);
    EXPECT_EQ(changed(ole_variant(2.9), VT_I8).as_i8(), 2);
    EXPECT_EQ(changed(ole_variant(-2.9f), VT_I8).as_i8(), -2);
    EXPECT_EQ(changed(ole_variant(1.8446744073709550e19), VT_UI8).as_ui8(), 18446744073709549568u);
    EXPECT_EQ(changed(uint64_t{5}, VT_I8).as_i8(), 5);
    EXPECT_EQ(changed(ole_variant(static_cast<long long>(7)), VT_UI8).as_ui8(), 7u);

    // Currency and decimal round on the first dropped digit.
    EXPECT_EQ(changed(ole_variant(ole_cy{24999}), VT_I8).as_i8(), 2);
    EXPECT_EQ(changed(ole_variant(ole_cy{25000}), VT_I8).as_i8(), 3);
    EXPECT_EQ(changed(ole_variant(ole_cy{-25000}), VT_I8).as_i8(), -3);
    EXPECT_EQ(changed(ole_variant(dec("2.5")), VT_I8).as_i8(), 3);
    EXPECT_EQ(changed(ole_variant(dec("2.49")), VT_I8).as_i8(), 2);
    // By way of currency: 2.49995 becomes 2.5000 first.
    EXPECT_EQ(changed(ole_variant(dec("2.49995")), VT_I8).as_i8(), 3);
    // Beyond the currency range the decimal's own digits decide.
    EXPECT_EQ(changed(ole_variant(dec("1234567890123456.7")), VT_I8).as_i8(), 1234567890123457);
    EXPECT_EQ(changed(ole_variant(dec("-1234567890123456.4")), VT_I8).as_i8(), -1234567890123456);
    EXPECT_EQ(changed(ole_variant(dec("12345678901234567890.6")), VT_UI8).as_ui8(), 12345678901234567891u);

    EXPECT_THROW(changed(ole_variant(1e30), VT_I8), ole_cast_exception);
    EXPECT_THROW(changed(ole_variant(std::nan("")), VT_I8), ole_cast_exception);
    EXPECT_THROW(changed(ole_variant(static_cast<short>(-1)), VT_UI8), ole_cast_exception);
    EXPECT_THROW(changed(ole_variant(dec("12345678901234567890.6")), VT_I8), ole_cast_exception);
    EXPECT_THROW(changed(ole_variant(uint64_t{UINT64_MAX}), VT_I8), ole_cast_exception);
    EXPECT_THROW(changed(ole_variant("5"), VT_I8), ole_cast_exception);
    EXPECT_THROW(changed(ole_variant(make_st(2011, 8, 5)), VT_I8), ole_cast_exception);
}

TEST(OleChangeType, DatesOnlyToAndFromText)
{
    EXPECT_EQ(changed(ole_variant(make_st(2011, 8, 5, 14, 30)), VT_BSTR).as_wstring(), u"2011-08-05 14:30:00");
    EXPECT_EQ(changed(ole_variant(make_st(0, 0, 0, 14, 30)), VT_BSTR).as_wstring(), u"0000-00-00 14:30:00");
    EXPECT_THROW(changed(ole_variant(make_st(2011, 8, 5)), VT_R8), ole_cast_exception);

    ole_variant d = changed(ole_variant(u"2011-08-05 14:30:00"), VT_DATE);
    ASSERT_EQ(d.get_vt(), VT_DATE);
    EXPECT_EQ(d.as_date().hour, 14);
    EXPECT_THROW(changed(ole_variant(u"2011-08-05"), VT_DATE), ole_cast_exception);
    EXPECT_THROW(changed(ole_variant(u"2011-13-45 14:30:00"), VT_DATE), ole_cast_exception);
    EXPECT_THROW(changed(ole_variant(40760.0), VT_DATE), ole_cast_exception);
}

TEST(OleChangeType, ToBinaryGivesTheRawBytes)
{
    using bytes = std::vector<uint8_t>;
    EXPECT_EQ(changed(ole_variant(static_cast<short>(0x0102)), VT_ARRAY_UI1).as_bytes(), bytes({0x02, 0x01}));
    EXPECT_EQ(changed(ole_variant(true), VT_BLOB).as_bytes(), bytes({0xFF, 0xFF}));
    EXPECT_EQ(changed(ole_variant(static_cast<unsigned char>(7)), VT_BLOB).as_bytes(), bytes({7}));
    EXPECT_EQ(changed(ole_variant(0x01020304), VT_BLOB).as_bytes(), bytes({4, 3, 2, 1}));
    EXPECT_EQ(changed(ole_variant(1.0), VT_BLOB).as_bytes(), bytes({0, 0, 0, 0, 0, 0, 0xF0, 0x3F}));
    EXPECT_EQ(changed(ole_variant(1.0f), VT_BLOB).as_bytes(), bytes({0, 0, 0x80, 0x3F}));
    EXPECT_EQ(changed(ole_variant(ole_cy{1}), VT_BLOB).as_bytes(), bytes({1, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(changed(i8(-2), VT_BLOB).as_bytes(), bytes({0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(changed(ole_variant(u"AB"), VT_BLOB).as_bytes(), bytes({'A', 0, 'B', 0}));
    bytes date = changed(ole_variant(make_st(2011, 8, 5, 14)), VT_BLOB).as_bytes();
    ASSERT_EQ(date.size(), 16u);
    EXPECT_EQ(date[0] | date[1] << 8, 2011);
    EXPECT_EQ(date[8], 14);
    bytes d = changed(ole_variant(dec("-1.5")), VT_BLOB).as_bytes();
    ASSERT_EQ(d.size(), 16u);
    EXPECT_EQ(d[2], 1);     // scale
    EXPECT_EQ(d[3], 0x80);  // sign
    EXPECT_EQ(d[8], 15);    // low byte of the magnitude
    ole_variant err;
    err.set_error(5);
    EXPECT_THROW(changed(err, VT_BLOB), ole_cast_exception);
}

TEST(OleChangeType, OleRulesForTheRest)
{
    EXPECT_EQ(changed(ole_variant(300), VT_I2).as_i2(), 300);
    EXPECT_THROW(changed(ole_variant(70000), VT_I2), ole_cast_exception);
    EXPECT_THROW(changed(ole_variant(-1), VT_UI4), ole_cast_exception);
    EXPECT_EQ(changed(ole_variant(2.5), VT_I4).as_i4(), 2);
    EXPECT_EQ(changed(ole_variant(3.5), VT_I4).as_i4(), 4);
    EXPECT_EQ(changed(ole_variant(-2.5), VT_I2).as_i2(), -2);
    EXPECT_EQ(changed(ole_variant(ole_cy{25000}), VT_I4).as_i4(), 2);
    EXPECT_EQ(changed(ole_variant(0.03125), VT_CY).as_cy().int64, 312);
    EXPECT_EQ(changed(ole_variant(0.1), VT_DECIMAL).to_string(), "0.1");
    EXPECT_EQ(changed(ole_variant(0.1f), VT_DECIMAL).to_string(), "0.1");
    EXPECT_EQ(changed(ole_variant(dec("1.23455")), VT_CY).as_cy().int64, 12346);
    EXPECT_EQ(changed(ole_variant(ole_cy{15000}), VT_DECIMAL).to_string(), "1.5");
    EXPECT_EQ(changed(ole_variant(7), VT_R4).as_r4(), 7.0f);
    EXPECT_THROW(changed(ole_variant(1e40), VT_R4), ole_cast_exception);
    EXPECT_EQ(changed(ole_variant(uint64_t{7}), VT_I4).as_i4(), 7);
    EXPECT_EQ(changed(ole_variant(2.0), VT_BOOL).as_bool_raw(), 0xFFFF);
    EXPECT_EQ(changed(ole_variant(dec("0.0")), VT_BOOL).as_bool_raw(), 0);
    EXPECT_EQ(changed(ole_variant(true), VT_I4).as_i4(), -1);
    EXPECT_EQ(changed(ole_variant(5), VT_EMPTY).get_vt(), VT_EMPTY);
    EXPECT_EQ(changed(ole_variant(5), VT_NULL).get_vt(), VT_NULL);
    EXPECT_THROW(changed(ole_variant(5), VT_ERROR), ole_cast_exception);
    EXPECT_THROW(changed(ole_variant(5), 99), ole_cast_exception);
}

TEST(OleChangeType, TextBothWays)
{
    EXPECT_EQ(changed(ole_variant(true), VT_BSTR).as_wstring(), u"-1");
    EXPECT_EQ(changed(ole_variant(false), VT_BSTR).as_wstring(), u"0");
    EXPECT_EQ(changed(ole_variant(42), VT_BSTR).as_wstring(), u"42");
    EXPECT_EQ(changed(ole_variant(static_cast<unsigned short>(65535)), VT_BSTR).as_wstring(), u"65535");
    EXPECT_EQ(changed(ole_variant(0.1), VT_BSTR).as_wstring(), u"0.1");
    EXPECT_EQ(changed(ole_variant(1e20), VT_BSTR).as_wstring(), u"1E+20");
    EXPECT_EQ(changed(ole_variant(1.1f), VT_BSTR).as_wstring(), u"1.1");
    EXPECT_EQ(changed(ole_variant(ole_cy{-1}), VT_BSTR).as_wstring(), u"-0.0001");
    EXPECT_EQ(changed(ole_variant(dec("1.50")), VT_BSTR).as_wstring(), u"1.5");
    EXPECT_EQ(changed(ole_variant(uint64_t{UINT64_MAX}), VT_BSTR).as_wstring(), u"18446744073709551615");

    EXPECT_EQ(changed(ole_variant(u"12.5"), VT_R8).as_r8(), 12.5);
    EXPECT_EQ(changed(ole_variant(u" 1,234 "), VT_I4).as_i4(), 1234);
    EXPECT_EQ(changed(ole_variant(u"2.5"), VT_I4).as_i4(), 2);
    EXPECT_EQ(changed(ole_variant(u"(7)"), VT_I2).as_i2(), -7);
    EXPECT_EQ(changed(ole_variant(u"&HFF"), VT_UI1).as_ui1(), 255);
    EXPECT_EQ(changed(ole_variant(u"1.23455"), VT_CY).as_cy().int64, 12346);
    EXPECT_EQ(changed(ole_variant(u"-1.50"), VT_DECIMAL).to_string(), "-1.5");
    EXPECT_EQ(changed(ole_variant(u"True"), VT_BOOL).as_bool_raw(), 0xFFFF);
    EXPECT_EQ(changed(ole_variant(u" false "), VT_BOOL).as_bool_raw(), 0);
    EXPECT_EQ(changed(ole_variant(u"2"), VT_BOOL).as_bool_raw(), 0xFFFF);
    EXPECT_EQ(changed(ole_variant(u"0.0"), VT_BOOL).as_bool_raw(), 0);
    EXPECT_THROW(changed(ole_variant(u"abc"), VT_I4), ole_cast_exception);
    EXPECT_THROW(changed(ole_variant(u"256"), VT_UI1), ole_cast_exception);
    EXPECT_THROW(changed(ole_variant(u"maybe"), VT_BOOL), ole_cast_exception);
    EXPECT_THROW(changed(ole_variant(u""), VT_R8), ole_cast_exception);
    try {
        changed(ole_variant(u"abc"), VT_I4);
    } catch (const ole_cast_exception& e) {
        EXPECT_STREQ(e.what(), "Cannot cast from source type to destination type");
        EXPECT_EQ(e.level, 1);
    }
}

TEST(OleCoerce, FailureLeavesAnEmptyValueAndTheStatus)
{
    ole_variant out(5);
    EXPECT_EQ(ole_coerce(ole_variant(u"abc"), VT_I4, out), OLE_E_TYPEMISMATCH);
    EXPECT_EQ(out.get_vt(), VT_EMPTY);
    EXPECT_EQ(ole_coerce(ole_variant(70000), VT_I2, out), OLE_E_OVERFLOW);
    EXPECT_EQ(ole_coerce(ole_variant(1), 99, out), OLE_E_BADVARTYPE);
    ole_variant null;
    null.set_null();
    EXPECT_EQ(ole_coerce(null, VT_I4, out), OLE_E_TYPEMISMATCH);
    EXPECT_EQ(ole_coerce(ole_variant(), VT_I4, out), OLE_S_OK);
    EXPECT_EQ(out.as_i4(), 0);
    EXPECT_EQ(ole_coerce(ole_variant(), VT_BSTR, out), OLE_S_OK);
    EXPECT_EQ(out.as_wstring(), u"");
    EXPECT_EQ(ole_coerce(ole_variant(40760.75), VT_DATE, out), OLE_S_OK);
    EXPECT_EQ(out.to_string(), "2011-08-05 18:00:00");
    EXPECT_EQ(ole_coerce(ole_variant(u"Aug 5, 2011"), VT_DATE, out), OLE_S_OK);
    EXPECT_EQ(out.to_string(), "2011-08-05");
    // Source and result may be the same object.
    ole_variant same(3.5);
    EXPECT_EQ(ole_coerce(same, VT_I4, same), OLE_S_OK);
    EXPECT_EQ(same.as_i4(), 4);
}
