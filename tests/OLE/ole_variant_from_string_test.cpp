// ole_variant::from_string and from_wstring for every kind, and the text
// forms under a locale whose decimal point is a comma.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "ole_date.h"
#include "ole_exceptions.h"
#include "ole_variant.h"

namespace {

ole_variant read(const char* text, ole_vartype vt)
{
    ole_variant v(12345);  // replaced in every case
    v.from_string(text, vt);
    return v;
}

}  // namespace

TEST(OleFromString, EmptyTextGivesEmptyExceptForText)
{
    for (ole_vartype vt : {VT_I2,  VT_I4,  VT_R4, VT_R8,  VT_CY,  VT_DATE, VT_BOOL,      VT_DECIMAL, VT_I1,    VT_UI1,
                           VT_UI2, VT_UI4, VT_I8, VT_UI8, VT_INT, VT_UINT, VT_ARRAY_UI1, VT_BLOB,    VT_ERROR, VT_NULL})
        EXPECT_EQ(read("", vt).get_vt(), VT_EMPTY) << vt;
    ole_variant s = read("", VT_BSTR);
    EXPECT_EQ(s.get_vt(), VT_BSTR);
    EXPECT_EQ(s.as_wstring(), u"");
}

TEST(OleFromString, SmallIntegersFollowAtoi)
{
    EXPECT_EQ(read("123abc", VT_I2).as_i2(), 123);
    EXPECT_EQ(read("  -42", VT_I4).as_i4(), -42);
    EXPECT_EQ(read("70000", VT_I2).as_i2(), 4464);  // narrowed as a C cast does
    EXPECT_EQ(read("-3", VT_I1).as_i1(), -3);
    EXPECT_EQ(read("300", VT_UI1).as_ui1(), 44);
    EXPECT_EQ(read("65535", VT_UI2).as_ui2(), 65535);
    EXPECT_EQ(read("abc", VT_I4).as_i4(), 0);
    EXPECT_EQ(read("1.9", VT_I4).as_i4(), 1);
    EXPECT_EQ(read("99999999999", VT_I4).as_i4(), INT32_MAX);
    EXPECT_EQ(read("4294967295", VT_UI4).as_ui4(), 4294967295u);
    EXPECT_EQ(read("18446744073709551615", VT_UI8).as_ui8(), UINT64_MAX);
    EXPECT_EQ(read("-9223372036854775808", VT_I8).as_i8(), INT64_MIN);
    EXPECT_EQ(read("12x", VT_I8).as_i8(), 12);
}

TEST(OleFromString, RealsAcceptADecimalComma)
{
    EXPECT_EQ(read("1,5", VT_R8).as_r8(), 1.5);
    EXPECT_EQ(read("1.5", VT_R8).as_r8(), 1.5);
    EXPECT_EQ(read("2,25", VT_R4).as_r4(), 2.25f);
    EXPECT_EQ(read(" -1e3 ", VT_R8).as_r8(), -1000.0);
    EXPECT_EQ(read("abc", VT_R8).as_r8(), 0.0);
}

TEST(OleFromString, CurrencyAndDecimal)
{
    EXPECT_EQ(read("12,5", VT_CY).as_cy().int64, 125000);
    EXPECT_EQ(read("1.23455", VT_CY).as_cy().int64, 12346);
    EXPECT_EQ(read("abc", VT_CY).get_vt(), VT_EMPTY);
    EXPECT_EQ(read("1e20", VT_CY).get_vt(), VT_EMPTY);
    EXPECT_EQ(read("1,25", VT_DECIMAL).to_string(), "1.25");
    EXPECT_EQ(read("-0,001", VT_DECIMAL).to_string(), "-0.001");
    EXPECT_EQ(read("x", VT_DECIMAL).get_vt(), VT_EMPTY);
    EXPECT_EQ(read("1e40", VT_DECIMAL).get_vt(), VT_EMPTY);
}

TEST(OleFromString, Dates)
{
    ole_variant v = read("2011-08-05 02:30:00 PM", VT_DATE);
    ASSERT_EQ(v.get_vt(), VT_DATE);
    EXPECT_EQ(v.to_string(), "2011-08-05 14:30:00");
    EXPECT_NEAR(v.as_date_number(), 40760.0 + 14.5 / 24, 1e-9);
    EXPECT_EQ(read("20110805", VT_DATE).to_string(), "2011-08-05");
    v = read("14:30:59.6", VT_DATE);
    EXPECT_EQ(v.to_string(), "0000-00-00 14:31:00");
    EXPECT_EQ(read("garbage", VT_DATE).get_vt(), VT_EMPTY);
}

TEST(OleFromString, Booleans)
{
    for (const char* t : {"yes", "YES", "True", "true", "5", "-1"})
        EXPECT_EQ(read(t, VT_BOOL).as_bool_raw(), 0xFFFF) << t;
    for (const char* t : {"no", "No", "FALSE", "0", "abc", " yes"}) EXPECT_EQ(read(t, VT_BOOL).as_bool_raw(), 0) << t;
}

TEST(OleFromString, BinaryFromHex)
{
    std::vector<uint8_t> ab = {0x0A, 0x0B};
    EXPECT_EQ(read("0x0A0B", VT_ARRAY_UI1).as_bytes(), ab);
    EXPECT_EQ(read("0X0a0b", VT_ARRAY_UI1).as_bytes(), ab);
    EXPECT_EQ(read("0A0B", VT_ARRAY_UI1).as_bytes(), ab);
    EXPECT_EQ(read("0A0B", VT_BLOB).get_vt(), VT_ARRAY_UI1);
    EXPECT_EQ(read("0A0B", VT_BLOB_OBJECT).as_bytes(), ab);
    EXPECT_EQ(read("0A0", VT_ARRAY_UI1).get_vt(), VT_EMPTY);
    EXPECT_EQ(read("0x0A0", VT_ARRAY_UI1).get_vt(), VT_EMPTY);
    EXPECT_EQ(read("0xZZ", VT_ARRAY_UI1).get_vt(), VT_EMPTY);
    ole_variant none = read("0x", VT_ARRAY_UI1);
    EXPECT_EQ(none.get_vt(), VT_ARRAY_UI1);
    EXPECT_EQ(none.get_safe_array_size(), 0u);
}

TEST(OleFromString, OtherKindsGoThroughTheTypeChange)
{
    EXPECT_EQ(read("abc", VT_BSTR).as_wstring(), u"abc");
    ole_variant i = read("12", VT_INT);
    EXPECT_EQ(i.get_vt(), VT_INT);
    EXPECT_EQ(i.as_i4(), 12);
    EXPECT_EQ(read("2.5", VT_UINT).as_ui4(), 2u);
    EXPECT_EQ(read("x", VT_NULL).get_vt(), VT_NULL);
    EXPECT_EQ(read("x", VT_EMPTY).get_vt(), VT_EMPTY);
    ole_variant v;
    EXPECT_THROW(v.from_string("x", VT_ERROR), ole_type_exception);
    EXPECT_THROW(v.from_string("x", VT_INT), ole_type_exception);
    EXPECT_THROW(v.from_string("-1", VT_UINT), ole_type_exception);
    EXPECT_THROW(v.from_string("x", VT_SAFEARRAY), ole_type_exception);
    try {
        v.from_string("x", VT_ERROR);
    } catch (const ole_type_exception& e) {
        EXPECT_STREQ(e.what(), "The operating type is not supported yet");
        EXPECT_EQ(e.level, 1);
    }
}

TEST(OleFromString, WideTextKeepsEveryCharacter)
{
    ole_variant v;
    v.from_wstring(u"Größe – ΑΒΓ", VT_BSTR);
    EXPECT_EQ(v.as_wstring(), u"Größe – ΑΒΓ");
    v.from_wstring(u"2,5", VT_R8);
    EXPECT_EQ(v.as_r8(), 2.5);
    v.from_wstring(u"", VT_I4);
    EXPECT_EQ(v.get_vt(), VT_EMPTY);
}

// Under a locale with a decimal comma the text forms still use a point and
// reading still accepts both. The locale is built from the system's locale
// sources when it is not installed; without them the test cannot run.
class OleCommaLocale : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8"}) {
            if (std::setlocale(LC_ALL, name) != nullptr) return;
        }
        std::string dir = ::testing::TempDir() + "ole_comma_locale";
        std::filesystem::create_directories(dir);
        // Built once per machine: later runs find it in the temporary folder.
        std::string target = dir + "/de_DE.UTF-8";
        std::string cmd = "localedef -i de_DE -f UTF-8 '" + target + "' >/dev/null 2>&1";
        if (std::filesystem::exists(target + "/LC_NUMERIC") || std::system(cmd.c_str()) == 0 ||
            std::filesystem::exists(target + "/LC_NUMERIC")) {
            setenv("LOCPATH", dir.c_str(), 1);
            if (std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr) return;
        }
        GTEST_SKIP() << "no locale with a decimal comma can be made here";
    }
    void TearDown() override
    {
        std::setlocale(LC_ALL, "C");
        unsetenv("LOCPATH");
    }
};

TEST_F(OleCommaLocale, TextFormsUseAPoint)
{
    char probe[16];
    std::snprintf(probe, sizeof probe, "%.1f", 1.5);
    ASSERT_STREQ(probe, "1,5");  // the locale is really in force

    ole_decimal d;
    ASSERT_EQ(ole_dec_from_str(std::string_view("12.5"), d), OLE_S_OK);
    EXPECT_EQ(ole_variant(d).to_string(), "12.5");
    EXPECT_EQ(ole_variant(ole_cy{125000}).to_string(), "12.5");
    EXPECT_EQ(ole_variant(1.5).to_string(), "1.500000000000000e+00");
    EXPECT_EQ(ole_variant(1.5f).to_string(), "1.500000e+00");

    ole_variant v;
    v.from_string("1,5", VT_R8);
    EXPECT_EQ(v.as_r8(), 1.5);
    v.from_string("1.5", VT_R8);
    EXPECT_EQ(v.as_r8(), 1.5);
    v.from_string("12,5", VT_CY);
    EXPECT_EQ(v.to_string(), "12.5");
    v = ole_variant(0.25);
    v.change_type(VT_BSTR);
    EXPECT_EQ(v.as_wstring(), u"0.25");
}

// Access keeps a time without a date on 1899-12-30, the day of date number
// 0 (the "fake date"); its reader prints such values as "0000-00-00 hh:mm:ss"
// or "00:00:00", and those texts must come back as pure times.
TEST(OleFakeDate, TimesOnTheDayOfNumberZero)
{
    ole_variant v;
    ASSERT_TRUE(v.attach_date_number(14.5 / 24));
    EXPECT_EQ(v.to_string(), "1899-12-30 14:30:00");
    ASSERT_TRUE(v.attach_date_number(0.0));
    EXPECT_EQ(v.to_string(), "1899-12-30");

    ole_date t(std::string_view("0000-00-00 14:30:00"));
    EXPECT_EQ(t.kind, ole_date::kind_pure_time);
    EXPECT_EQ(t.to_string(), "0000-00-00 14:30:00");
    ole_date midnight(std::string_view("00:00:00"));
    EXPECT_EQ(midnight.kind, ole_date::kind_pure_time);
    EXPECT_EQ(midnight.to_string(), "0000-00-00 00:00:00");

    // Written back, the fake date gets its day again.
    v.from_string("1899-12-30 14:30:00", VT_DATE);
    ASSERT_EQ(v.get_vt(), VT_DATE);
    EXPECT_DOUBLE_EQ(v.as_date_number(), 14.5 / 24);
    v.from_string("1899-12-30", VT_DATE);
    EXPECT_EQ(v.as_date_number(), 0.0);
    // A pure time read as a value keeps its record and takes the fraction
    // of a day as its number.
    v.from_string("0000-00-00 06:00:00", VT_DATE);
    ASSERT_EQ(v.get_vt(), VT_DATE);
    EXPECT_EQ(v.as_date_number(), 0.25);
    EXPECT_EQ(v.to_string(), "0000-00-00 06:00:00");
}
