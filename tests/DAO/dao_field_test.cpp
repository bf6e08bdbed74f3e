// Type mappings, default cleaning, the text forms of field values (the
// time-only rewriting above all) and the value preparation for writing.
#include <gtest/gtest.h>

#include "dao_default_value.h"
#include "dao_field.h"
#include "dao_recordset.h"
#include "dao_schema_initializer.h"
#include "jet_field.h"
#include "ole_exceptions.h"
#include "tk_wstring.h"
#include "udb_ftd.h"
#include "udb_schema.h"

namespace {

jet_field make_field(int16_t dao_type, jet_value v, int32_t size = 0, bool required = false, bool auto_long = false)
{
    jet_column c;
    c.name = u"F";
    c.dao_type = dao_type;
    c.size = size;
    c.required = required;
    c.auto_long = auto_long;
    jet_field f(c);
    f.set_value(v);
    return f;
}

jet_value date_value(double number)
{
    jet_value v;
    v.kind = jet_kind::date;
    v.d = number;
    return v;
}

TEST(dao_field_test, dao_type_to_kind_for_every_dao_type)
{
    struct row {
        int dao_type;
        ole_vartype vt;
    } rows[] = {
        {1, VT_BOOL},  {2, VT_UI1},   {3, VT_I2},    {4, VT_I4},    {5, VT_CY},     {6, VT_R4},
        {7, VT_R8},    {8, VT_DATE},  {9, VT_BLOB},  {10, VT_BSTR}, {11, VT_BLOB},  {12, VT_BSTR},
        {15, VT_BLOB}, {16, VT_I8},   {17, VT_BLOB}, {18, VT_BLOB}, {19, VT_R8},    {20, VT_DECIMAL},
        {21, VT_R8},   {22, VT_DATE}, {23, VT_BLOB}, {26, VT_DATE}, {101, VT_BLOB}, {0, VT_BLOB},
    };
    for (const row& r : rows) EXPECT_EQ(dao_field::get_vartype(r.dao_type), r.vt) << "DAO type " << r.dao_type;
}

TEST(dao_field_test, kind_to_dao_type_for_new_columns)
{
    // Text and binary: short columns up to 255, long ones beyond and at 0.
    struct row {
        ole_vartype vt;
        uint32_t size;
        int dao_type;
    } rows[] = {
        {VT_I2, 2, 3},           {VT_I1, 1, 3},
        {VT_I4, 4, 4},           {VT_UI2, 2, 4},
        {VT_R4, 4, 6},           {VT_R8, 8, 7},
        {VT_UI4, 4, 7},          {VT_UI8, 8, 7},
        {VT_DECIMAL, 16, 20},    {VT_I8, 8, 16},
        {VT_CY, 8, 5},           {VT_DATE, 8, 8},
        {VT_BOOL, 1, 1},         {VT_UI1, 1, 2},
        {VT_BSTR, 1, 10},        {VT_BSTR, 255, 10},
        {VT_BSTR, 256, 12},      {VT_BSTR, 0, 12},
        {VT_BLOB, 16, 9},        {VT_ARRAY_UI1, 255, 9},
        {VT_BLOB_OBJECT, 0, 11}, {VT_ARRAY_UI1, 1000, 11},
    };
    for (const row& r : rows)
        EXPECT_EQ(dao_field::get_native_type(r.vt, r.size), r.dao_type) << "kind " << r.vt << ", size " << r.size;
    EXPECT_THROW(dao_field::get_native_type(VT_EMPTY, 0), ole_type_exception);
    EXPECT_THROW(dao_field::get_native_type(VT_ERROR, 0), ole_type_exception);
    // Every kind a read column can have maps back to the same DAO type.
    for (int t : {1, 2, 3, 4, 5, 6, 7, 8, 16, 20})
        EXPECT_EQ(dao_field::get_native_type(dao_field::get_vartype(t), 8), t == 8 ? 8 : t) << t;
}

TEST(dao_default_value_test, table_defaults_as_access_stores_them)
{
    struct row {
        const char16_t* text;
        int16_t dao_type;
        int32_t size;
        int index;
        const char16_t* cleaned;
        uint32_t extra;
    } rows[] = {
        {u"=\"abc\"", 10, 10, 0, u"abc", 0},
        {u"\"abc\"", 10, 10, 0, u"abc", 0},
        {u"'abc'", 10, 10, 0, u"'abc'", 0},
        {u"='abc'", 10, 10, 0, u"abc", 0},
        {u"=abc", 10, 10, 0, u"abc", 0},
        // After "=" only one pair of quotes goes; the text rule does not run again.
        {u"=\"\"abc\"\"", 10, 10, 0, u"\"abc\"", 0},
        {u"\"", 10, 10, 0, u"\"", 0},
        {u"=No", 1, 1, 0, u"No", 0},
        {u"0", 5, 8, 0, u"0", 0},
        // A default longer than the text column is dropped.
        {u"\"abcdefg\"", 10, 5, 3, u"", 0},
        {u"\"abcde\"", 10, 5, 3, u"abcde", 0},
        {u"\"abcdefg\"", 10, 0, 3, u"abcdefg", 0},
        // Memo defaults lose their quotes as text defaults do.
        {u"\"long\"", 12, 0, 0, u"long", 0},
        // Dates keep the extra word when they have a default, none without.
        {u"#2011-08-05#", 8, 8, 0, u"2011-08-05", 1},
        {u"Now()", 8, 8, 0, u"Now()", 1},
        {u"", 8, 8, 0, u"", 0},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(tk_to_utf8(r.text));
        uint32_t extra = 0;
        EXPECT_EQ(dao_default_value::clean_table(r.text, r.dao_type, r.size, r.index, extra), r.cleaned);
        EXPECT_EQ(extra, r.extra);
    }
    // In a query every date column carries the extra word.
    uint32_t extra = 0;
    EXPECT_EQ(dao_default_value::clean_query(u"", 8, extra), u"");
    EXPECT_EQ(extra, 1u);
    extra = 0;
    EXPECT_EQ(dao_default_value::clean_query(u"\"q\"", 10, extra), u"q");
    EXPECT_EQ(extra, 0u);
}

TEST(dao_default_value_test, defaults_read_as_the_column_kind)
{
    ole_variant d = dao_default_value::make(u"2011-08-05", VT_DATE);
    ASSERT_EQ(d.get_vt(), VT_DATE);
    EXPECT_EQ(d.to_string(), "2011-08-05");
    EXPECT_EQ(dao_default_value::make(u"Now()", VT_DATE).get_vt(), VT_EMPTY);
    ole_variant cy = dao_default_value::make(u"0", VT_CY);
    ASSERT_EQ(cy.get_vt(), VT_CY);
    EXPECT_EQ(cy.as_cy().int64, 0);
    ole_variant no = dao_default_value::make(u"No", VT_BOOL);
    ASSERT_EQ(no.get_vt(), VT_BOOL);
    EXPECT_EQ(no.as_bool_raw(), 0);
    EXPECT_EQ(dao_default_value::make(u"Yes", VT_BOOL).as_bool_raw(), 0xFFFF);
    EXPECT_EQ(dao_default_value::make(u"", VT_I4).get_vt(), VT_EMPTY);
    EXPECT_EQ(dao_default_value::make(u"GenGUID()", VT_BLOB).get_vt(), VT_EMPTY);
    ole_variant big = dao_default_value::make(u"9007199254740993", VT_I8);
    ASSERT_EQ(big.get_vt(), VT_I8);
    EXPECT_EQ(big.as_i8(), 9007199254740993LL);
    ole_variant dec = dao_default_value::make(u"12345678901234567.89", VT_DECIMAL);
    ASSERT_EQ(dec.get_vt(), VT_DECIMAL);
    EXPECT_EQ(dec.to_string(), "12345678901234567.89");
    // Text defaults keep every character, whatever the locale.
    ole_variant text = dao_default_value::make(u"Größe 🙂", VT_BSTR);
    EXPECT_EQ(text.as_wstring(), u"Größe 🙂");
}

TEST(dao_field_test, reads_name_size_flags_and_value)
{
    jet_value v;
    v.kind = jet_kind::int32;
    v.i = 42;
    dao_field f(make_field(4, v, 4, true, true), true);
    EXPECT_EQ(f.name, u"F");
    EXPECT_EQ(f.size, 4);
    EXPECT_TRUE(f.b_not_null);
    EXPECT_TRUE(f.b_auto_increment);
    EXPECT_EQ(f.get_type(), VT_I4);
    EXPECT_EQ(f.as_i4(), 42);
    // Without a value the kind comes from the DAO type.
    dao_field schema_only(make_field(20, v), false);
    EXPECT_EQ(schema_only.get_vt(), VT_EMPTY);
    EXPECT_EQ(schema_only.get_type(), VT_DECIMAL);
    // NULL reports VT_NULL whatever the column.
    dao_field null(make_field(8, jet_value{}), true);
    EXPECT_EQ(null.get_type(), VT_NULL);
    EXPECT_EQ(null.to_string(), "");
    // A field of a table definition has no value: it stays empty.
    jet_column c;
    c.dao_type = 10;
    dao_field tabledef_field(jet_field(c), true);
    EXPECT_EQ(tabledef_field.get_vt(), VT_EMPTY);
    EXPECT_EQ(tabledef_field.get_type(), VT_BSTR);
}

TEST(dao_field_test, time_without_a_date_prints_as_a_pure_time)
{
    dao_field t(make_field(8, date_value(14.5 / 24)), true);
    ASSERT_EQ(t.get_type(), VT_DATE);
    EXPECT_EQ(t.as_date().year, 1899);
    EXPECT_EQ(t.to_string(), "0000-00-00 14:30:00");
    EXPECT_EQ(t.to_wstring(), u"0000-00-00 14:30:00");
    // The day before is a real date, no rewriting. Access counts a negative
    // number's fraction forward from midnight: -0.75 is 18:00 of the zero
    // day, a time without a date.
    const std::pair<double, const char*> rows[] = {
        {0, "00:00:00"},
        {40760, "2011-08-05"},
        {40760 + 14.5 / 24, "2011-08-05 14:30:00"},
        {-1.25, "1899-12-29 06:00:00"},
        {-0.75, "0000-00-00 18:00:00"},
    };
    for (const auto& [number, text] : rows) {
        dao_field f(make_field(8, date_value(number)), true);
        EXPECT_EQ(f.to_string(), text) << number;
        EXPECT_EQ(f.to_wstring(), tk_from_utf8(text)) << number;
    }
    EXPECT_EQ(dao_field::rewrite_fake_date(std::string("1899-12-30 08:00:00")), "0000-00-00 08:00:00");
    EXPECT_EQ(dao_field::rewrite_fake_date(std::u16string(u"1899-12-30")), u"00:00:00");
    EXPECT_EQ(dao_field::rewrite_fake_date(std::string("1999-12-30")), "1999-12-30");
}

TEST(dao_field_test, values_keep_their_exact_kinds)
{
    const std::u16string text = u"Käse \u0416 \U0001F600 \u4E2D";  // Latin-1, Cyrillic, an emoji (surrogate pair), CJK
    const std::u16string guid = u"{guid {61639904-B023-48C3-AC4D-3D429674E902}}";
    struct row {
        int16_t dao_type;
        jet_kind kind;
        int64_t i;
        std::u16string text;
        std::vector<uint8_t> bytes;
        ole_vartype vt;
        std::u16string printed;
    } rows[] = {
        // The largest currency amount.
        {5, jet_kind::currency, 922337203685477LL * 10000 + 5807, u"", {}, VT_CY, u"922337203685477.5807"},
        {20, jet_kind::decimal, 0, u"", {}, VT_DECIMAL, u"-12345678901234567.89"},
        {16, jet_kind::int64, 9007199254740993LL, u"", {}, VT_I8, u"9007199254740993"},
        {15, jet_kind::guid, 0, guid, {}, VT_BSTR, guid},
        {12, jet_kind::text, 0, text, {}, VT_BSTR, text},
        {1, jet_kind::boolean, 1, u"", {}, VT_BOOL, u"1"},
        {11, jet_kind::binary, 0, u"", {0x00, 0xAB, 0x00}, VT_ARRAY_UI1, u"0x00AB00"},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.dao_type);
        jet_value v;
        v.kind = r.kind;
        v.i = r.i;
        v.text = r.text;
        v.bytes = r.bytes;
        if (r.kind == jet_kind::decimal) {
            v.dec.negative = true;
            v.dec.scale = 2;
            v.dec.lo = 1234567890123456789ULL;  // 19 digits: beyond a double
        }
        dao_field f(make_field(r.dao_type, v), true);
        EXPECT_EQ(f.get_type(), r.vt);
        EXPECT_EQ(f.to_wstring(), r.printed);
        EXPECT_EQ(f.to_string(), tk_to_utf8(r.printed));
        if (r.vt == VT_BSTR) {
            EXPECT_EQ(f.as_wstring(), r.printed);  // the emoji's surrogate pair is two units
        }
        if (r.vt == VT_BOOL) {
            EXPECT_EQ(f.as_bool_raw(), 0xFFFF);
        }
    }
}

TEST(dao_recordset_test, values_prepared_for_writing)
{
    t_ftd required_text(10, u"T", VT_BSTR, true, false, ole_variant(), 0);
    t_ftd optional_int(4, u"I", VT_I4, false, false, ole_variant(), 0);
    t_ftd date_col(8, u"D", VT_DATE, false, false, ole_variant(), 0);
    dao_field null_text(make_field(10, jet_value{}), true);
    ole_variant v = dao_recordset::value_to_store(null_text, required_text);
    EXPECT_EQ(v.get_vt(), VT_BSTR);
    EXPECT_EQ(v.as_wstring(), u"");
    EXPECT_EQ(dao_recordset::value_to_store(null_text, optional_int).get_vt(), VT_NULL);
    dao_field time_only(make_field(8, date_value(0.75)), true);
    ole_variant t = dao_recordset::value_to_store(time_only, date_col);
    ASSERT_EQ(t.get_vt(), VT_DATE);
    EXPECT_EQ(t.as_date().year, 1899);
    EXPECT_EQ(t.as_date().hour, 18);
    udb_field big(u"B", 8, ole_variant(static_cast<long long>(5)), false, false);
    EXPECT_EQ(dao_recordset::value_to_store(big, optional_int).get_vt(), VT_R8);
}

TEST(dao_schema_initializer_test, definitions_access_can_hold)
{
    udb_schema schema;
    schema.push_back(std::make_unique<t_ftd>(4, u"ID", VT_I4, true, true, ole_variant(), 0));
    schema.push_back(std::make_unique<t_ftd>(40, u" Total!", VT_BSTR, false, false, ole_variant(u"a\"b"), 0));
    schema.push_back(std::make_unique<t_ftd>(0, u"Blob", VT_ARRAY_UI1, false, false, ole_variant(), 0));
    schema.push_back(std::make_unique<t_ftd>(8, u"Big", VT_UI8, false, false, ole_variant(7ULL), 0));
    std::vector<dao_field_def> defs = dao_schema_initializer(schema).initialize();
    ASSERT_EQ(defs.size(), 4u);
    EXPECT_EQ(defs[0].type, 4);
    EXPECT_EQ(defs[0].attributes, 0x10);
    EXPECT_TRUE(defs[0].required);
    EXPECT_EQ(defs[1].name, u"Total_");
    EXPECT_EQ(defs[1].type, 10);
    EXPECT_EQ(defs[1].default_value, u"\"a\"\"b\"");
    EXPECT_EQ(defs[2].type, 11);
    EXPECT_EQ(defs[3].type, 7);
    EXPECT_EQ(defs[3].default_value, u"7.000000000000000e+00");  // narrowed to a double first

    udb_indexes indexes;
    indexes.push_back(udb_index(u"Primary.Key", true, true, {u"ID", u"Blob"}));
    udb_indexes made = dao_indexes_initializer(indexes, schema).initialize();
    ASSERT_EQ(made.size(), 1u);
    EXPECT_EQ(made[0].name, u"Primary_Key");
    EXPECT_EQ(made[0].fields, std::vector<std::u16string>{u"ID"});
}

}  // namespace
