// Column types, literals, defaults and name rules of the Oracle target:
// pure functions, no server needed.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "ole_variant.h"
#include "ora_engine.h"
#include "ora_schema_initializer.h"
#include "ora_test_values.h"
#include "ora_type_map.h"
#include "ora_validator.h"
#include "tk_wstring.h"
#include "udb_field.h"
#include "udb_ftd.h"

namespace {

using ora_test::n;
using ora_test::w;

t_ftd column(ole_vartype vt, uint32_t size = 0, uint32_t extra = 0, uint8_t fraction = 0)
{
    t_ftd f(size, u"C", vt, false, false, ole_variant(), extra);
    f.fraction_digits = fraction;
    return f;
}

// Largest literal piece of a text in UTF-8 bytes.
size_t longest_piece(const std::u16string& literal)
{
    size_t longest = 0;
    size_t start = 0;
    while ((start = literal.find(u"N'", start)) != std::u16string::npos) {
        size_t end = start + 2;
        while (end < literal.size()) {
            if (literal[end] == u'\'' && end + 1 < literal.size() && literal[end + 1] == u'\'') {
                end += 2;
                continue;
            }
            if (literal[end] == u'\'') break;
            ++end;
        }
        std::string piece = n(literal.substr(start + 2, end - start - 2));
        size_t doubled = 0;
        for (size_t p = piece.find("''"); p != std::string::npos; p = piece.find("''", p + 2)) ++doubled;
        longest = std::max(longest, piece.size() - doubled);  // the value, not its spelling
        start = end + 1;
    }
    return longest;
}

TEST(OraTypeMap, ColumnTypes)
{
    struct row {
        ole_vartype vt;
        uint32_t size, extra;
        uint8_t fraction;
        const char* plain;
        const char* national;
    };
    const row rows[] = {
        {VT_BOOL, 0, 0, 0, "NUMBER(3,0)", nullptr},
        {VT_I1, 0, 0, 0, "NUMBER(3,0)", nullptr},
        {VT_UI1, 0, 0, 0, "NUMBER(5,0)", nullptr},
        {VT_I2, 0, 0, 0, "NUMBER(5,0)", nullptr},
        {VT_I4, 0, 0, 0, "NUMBER(11,0)", nullptr},
        {VT_I8, 0, 0, 0, "NUMBER(19,0)", nullptr},
        {VT_UI8, 0, 0, 0, "NUMBER(20,0)", nullptr},
        {VT_R8, 0, 0, 0, "NUMBER", nullptr},
        {VT_CY, 0, 0, 0, "NUMBER", nullptr},
        {VT_DECIMAL, 0, 18 * 256 + 4, 0, "NUMBER(18,4)", nullptr},
        {VT_DECIMAL, 0, 0 * 256 + 0, 0, "NUMBER", nullptr},  // never NUMBER(0,0)
        {VT_DATE, 0, 0, 0, "DATE", nullptr},
        {VT_DATE, 0, 0, 7, "TIMESTAMP(7)", nullptr},
        {VT_BSTR, 50, 0, 0, "NVARCHAR2(50) ", nullptr},
        {VT_BSTR, 2000, 0, 0, "NVARCHAR2(2000) ", nullptr},
        {VT_BSTR, 2001, 0, 0, "CLOB", "NCLOB"},
        {VT_BSTR, 4000, 0, 0, "CLOB", "NCLOB"},
        {VT_BSTR, 0, 0, 0, "CLOB", "NCLOB"},
        {VT_BLOB, 16, 1, 0, "RAW(16)", nullptr},
        {VT_BLOB, 2000, 0, 0, "RAW(2000)", nullptr},
        {VT_BLOB, 2001, 0, 0, "BLOB", nullptr},
        {VT_BLOB_OBJECT, 0, 0, 0, "BLOB", nullptr},
        {VT_ARRAY_UI1, 0, 0, 0, "BLOB", nullptr},
    };
    for (const row& r : rows) {
        t_ftd f = column(r.vt, r.size, r.extra, r.fraction);
        EXPECT_EQ(n(get_native_type(f)), r.plain) << r.vt << "/" << r.size;
        EXPECT_EQ(n(get_native_type(f, true)), r.national ? r.national : r.plain) << r.vt << "/" << r.size;
        EXPECT_EQ(ora_is_lob(f), std::string(r.plain).find("LOB") != std::string::npos);
    }
    EXPECT_THROW(get_native_type(column(VT_ERROR)), tk_mail_assertion);
}

TEST(OraTypeMap, ValueLiterals)
{
    ole_variant pure_time = date_value(0, 0, 0, 10, 20, 30);
    ole_variant extended = date_value(2021, 6, 1, 8, 9, 10);
    extended.set_date_fraction(1234567);
    std::vector<uint8_t> bytes = {0x00, 0x0A, 0xFF};
    t_ftd guid_col = column(VT_BLOB, 16, 1);
    t_ftd text_col = column(VT_BSTR, 100);
    t_ftd date7 = column(VT_DATE, 0, 0, 7);
    const std::u16string guid = u"{guid {12345678-9ABC-DEF0-1122-334455667788}}";
    struct row {
        ole_variant value;
        const t_ftd* col;
        const char* literal;
    };
    const row rows[] = {
        {ole_variant(u"O'Brien"), &text_col, "N'O''Brien'"},
        {ole_variant(w("Ελληνικά 中文")), &text_col, "N'Ελληνικά 中文'"},
        {ole_variant(u""), &text_col, "NULL"},
        {ole_variant(u"\"\""), &text_col, "N'\"\"'"},  // two quote marks are data
        {ole_variant(12.5), nullptr, "12.5"},
        {ole_variant(0.1), nullptr, "0.1"},
        {ole_variant(16777215.0f), nullptr, "16777215"},
        {ole_variant(1.0f / 3.0f), nullptr, "0.33333334"},
        {ole_variant(std::numeric_limits<double>::quiet_NaN()), nullptr, "NULL"},
        {ole_variant(-1e300), nullptr, "-1e+300"},
        {ole_variant(static_cast<long long>(-9223372036854775807LL)), nullptr, "-9223372036854775807"},
        {ole_variant(true), nullptr, "1"},
        {date_value(2005, 3, 1, 10, 20, 30), nullptr, "to_date('2005-03-01 10:20:30', 'YYYY-MM-DD HH24:MI:SS')"},
        {pure_time, nullptr, "to_date('1899-12-30 10:20:30', 'YYYY-MM-DD HH24:MI:SS')"},
        {extended, &date7, "TO_TIMESTAMP('2021-06-01 08:09:10.1234567', 'YYYY-MM-DD HH24:MI:SS.FF7')"},
        {extended, nullptr, "to_date('2021-06-01 08:09:10', 'YYYY-MM-DD HH24:MI:SS')"},
        {ole_variant(guid), &guid_col, "HEXTORAW('78563412BC9AF0DE1122334455667788')"},
        {ole_variant(guid), nullptr, "HEXTORAW('78563412BC9AF0DE1122334455667788')"},
        // Text that looks like a GUID stays text in a text column.
        {ole_variant(guid), &text_col, "N'{guid {12345678-9ABC-DEF0-1122-334455667788}}'"},
        {ole_variant(u"my guid {not-a-guid-at-all-but-long-enough--}"), nullptr,
         "N'my guid {not-a-guid-at-all-but-long-enough--}'"},
        {ole_variant(u"{guid {1234567G-9ABC-DEF0-1122-334455667788}}"), nullptr,
         "N'{guid {1234567G-9ABC-DEF0-1122-334455667788}}'"},
        {ole_variant(std::span<const uint8_t>(bytes)), nullptr, "'000AFF'"},
        {ole_variant(), nullptr, "NULL"},
    };
    for (const row& r : rows) EXPECT_EQ(n(ora_value_literal(r.value, r.col)), r.literal);
}

TEST(OraTypeMap, TextLiteralsStayWithinFourThousandBytes)
{
    struct row {
        std::u16string text;
        size_t pieces;
    };
    std::u16string emoji;
    for (int i = 0; i < 1500; ++i) emoji += u"\U0001F600";  // 4 bytes each
    const row rows[] = {
        {std::u16string(4000, u'a'), 1},
        {std::u16string(4001, u'a'), 2},
        {std::u16string(2000, u'\u4E2D'), 2},  // 6000 bytes
        {std::u16string(3000, u'\''), 1},      // quotes count once
        {emoji, 2},
    };
    for (const row& r : rows) {
        std::u16string literal = ora_text_literal(r.text);
        EXPECT_LE(longest_piece(literal), ora_max_literal_bytes) << n(literal.substr(0, 20));
        size_t pieces = 1;
        for (size_t p = literal.find(u"||"); p != std::u16string::npos; p = literal.find(u"||", p + 2)) ++pieces;
        EXPECT_EQ(pieces, r.pieces);
        // No surrogate pair is cut between two pieces.
        for (size_t p = literal.find(u"'||N'"); p != std::u16string::npos; p = literal.find(u"'||N'", p + 1))
            EXPECT_FALSE(p > 0 && literal[p - 1] >= 0xD800 && literal[p - 1] <= 0xDBFF);
    }
}

TEST(OraTypeMap, TextAndKindLiterals)
{
    struct row {
        const char16_t* text;
        ole_vartype vt;
        const char* literal;
    };
    const row rows[] = {
        {u"", VT_I4, "''"},
        {u"12.5", VT_R8, "12.5"},
        {u"12,5", VT_R8, "12.5"},
        {u"1); DROP TABLE x; --", VT_I4, ""},  // never sent unquoted
        {u"2005-03-01", VT_DATE, "to_date('2005-03-01', 'YYYY-MM-DD')"},
        {u"0x0A1B", VT_BLOB, "'0A1B'"},
        {u"0x", VT_BLOB, "''"},
        {u"0xZZ", VT_BLOB, "''"},
        {u"abc", VT_BSTR, "N'abc'"},
    };
    for (const row& r : rows) EXPECT_EQ(n(to_oracle_str(r.text, r.vt)), r.literal) << n(r.text);
}

TEST(OraTypeMap, Defaults)
{
    struct row {
        ole_vartype vt;
        uint32_t size;
        const char16_t* def;
        const char* result;
    };
    const row rows[] = {
        {VT_I4, 0, u"5", "5"},
        {VT_I4, 0, u"05", ""},
        {VT_I4, 0, u"+5", ""},
        {VT_BOOL, 0, u"-1", "-1"},
        {VT_I8, 0, u"9000000000", "9000000000"},
        {VT_R8, 0, u"1e200", "0"},
        {VT_R8, 0, u"Date()", ""},
        {VT_R8, 0, u"0.00", "0.00"},
        {VT_R8, 0, u"2.5", "2.5"},
        {VT_CY, 0, u"0", "0"},
        {VT_BSTR, 3, u"abcdef", "N'abc'"},
        {VT_BSTR, 10, u"it's", "N'it''s'"},
        {VT_BLOB, 10, u"0x00", ""},
    };
    for (const row& r : rows) {
        t_ftd f(r.size, u"C", r.vt, false, false, ole_variant(r.def), 0);
        EXPECT_EQ(n(make_ora_def_val(&f)), r.result) << n(r.def);
    }
    EXPECT_THROW(make_ora_def_val(nullptr), tk_mail_assertion);
}

TEST(OraTypeMap, NumberRefinement)
{
    struct row {
        int p, s;
        ole_vartype vt;
        int p_after;
    };
    const row rows[] = {
        {0, 0, VT_R8, 0}, {39, 0, VT_R8, 39}, {4, 4, VT_DECIMAL, 5}, {10, 2, VT_DECIMAL, 10}, {2, 0, VT_I1, 2},
        {4, 0, VT_I2, 4}, {5, 0, VT_I4, 5},   {11, 0, VT_I4, 11},    {19, 0, VT_I8, 19},      {20, 0, VT_DECIMAL, 20},
    };
    for (const row& r : rows) {
        int p = r.p, s = r.s;
        EXPECT_EQ(ora_refine_number(p, s), r.vt) << r.p << "," << r.s;
        EXPECT_EQ(p, r.p_after);
    }
}

TEST(OraTypeMap, NumbersOutsideOracleRange)
{
    EXPECT_TRUE(ora_value_in_range(ole_variant(9.99e125)));
    EXPECT_FALSE(ora_value_in_range(ole_variant(1e126)));
    EXPECT_FALSE(ora_value_in_range(ole_variant(-1e127)));
    EXPECT_FALSE(ora_value_in_range(ole_variant(std::numeric_limits<double>::infinity())));
    EXPECT_FALSE(ora_value_in_range(ole_variant(std::numeric_limits<float>::quiet_NaN())));
    EXPECT_TRUE(ora_value_in_range(ole_variant(u"1e300")));  // text is not a number here
}

TEST(OraNames, Acceptance)
{
    ora_validator v;
    struct row {
        std::string name;
        bool acceptable;
        const char* safe;
    };
    const row rows[] = {
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZ1234", true, "ABCDEFGHIJKLMNOPQRSTUVWXYZ1234"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZ12345", false, "ABCDEFGHIJKLMNOPQRSTUVWXYZ123"},
        {"2004 Sales", false, "A2004_Sales"},
        {"Order Details", false, "Order_Details"},
        {"Größe", true, "Größe"},
        {"A\"B", false, "A_B"},
        {"[x]", false, "A_x_"},
        {"", false, "A"},
        // 16 Cyrillic letters are 32 bytes: cut to whole letters within 29.
        {"АБВГДЕЖЗИЙКЛМНОП", false, "АБВГДЕЖЗИЙКЛМН"},
        {"ПРОДАЖИ", true, "ПРОДАЖИ"},
        {"a\U0001F600b", false, "a_b"},
    };
    for (const row& r : rows) {
        std::u16string name = w(r.name);
        EXPECT_EQ(v.is_acceptable(name), r.acceptable) << r.name;
        std::u16string safe = v.get_safe_name(name);
        EXPECT_EQ(n(safe), r.safe) << r.name;
        EXPECT_LE(ora_name_bytes(safe), ora_max_name_bytes);
        EXPECT_TRUE(v.is_acceptable(safe)) << r.name;
    }
}

TEST(OraNames, CollisionsAfterCutting)
{
    ora_validator v;
    v.used_names = {u"ABCDEFGHIJKLMNOPQRSTUVWXYZ1234"};
    v.restricted_names = {u"ABCDEFGHIJKLMNOPQRSTUVWXYZ1234"};
    EXPECT_EQ(n(v.get_safe_name(u"ABCDEFGHIJKLMNOPQRSTUVWXYZ1234")), "ABCDEFGHIJKLMNOPQRSTUVWX00000");
    // Column names of one table: "A B" and "A-B" both make A_B, and "Name"
    // and "NAME" fold together; each keeps a name of its own.
    udb_schema schema;
    for (const char16_t* c : {u"A B", u"A-B", u"Name", u"NAME", u"DATE", u"LEVEL"})
        schema.push_back(std::make_unique<t_ftd>(10, c, VT_I4, false, false, ole_variant(), 0));
    ora_fn_validator fv(schema);
    std::vector<std::u16string> source = {u"A B", u"A-B", u"Name", u"NAME", u"DATE", u"LEVEL"};
    auto names = ora_schema_initializer::column_names(source, false, fv);
    std::vector<std::string> got;
    for (auto& s : names) got.push_back(n(s));
    EXPECT_EQ(got, (std::vector<std::string>{"A_B", "A_B00000", "Name", "NAME00000", "DATE", "LEVEL"}));
    auto upper = ora_schema_initializer::column_names(source, true, *std::make_unique<ora_fn_validator>(schema));
    EXPECT_EQ(n(upper[2]), "NAME");
    EXPECT_EQ(n(upper[3]), "NAME00000");
}

TEST(OraNames, TriggerAndSequenceNamesFitThirtyBytes)
{
    struct row {
        std::string table;
        int attempt;
        const char* trigger;
    };
    const row rows[] = {
        {"ORDERS", 0, "ORDERS__TRIGGER"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZ", 0, "ABCDEFGHIJKLMNOPQRSTU__TRIGGER"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZ", 3, "ABCDEFGHIJKLMNOPQRS_3__TRIGGER"},
        {"ЗаказыКлиентов", 0, "ЗаказыКлие__TRIGGER"},
    };
    for (const row& r : rows) {
        std::u16string t = ora_schema_initializer::trigger_name(w(r.table), r.attempt);
        EXPECT_EQ(n(t), r.trigger);
        EXPECT_LE(ora_name_bytes(t), ora_max_name_bytes);
    }
    EXPECT_EQ(n(ora_schema_initializer::trigger_text(u"T__TRIGGER", u"T", u"C", u"S")),
              "CREATE OR REPLACE TRIGGER \"T__TRIGGER\" BEFORE INSERT ON \"T\" FOR EACH ROW WHEN "
              "(new.\"C\" IS NULL) BEGIN SELECT \"S\".NEXTVAL INTO :new.\"C\" FROM dual; END;");
}

TEST(OraEngine, ConnectStringAndVersion)
{
    EXPECT_EQ(n(ora_engine::make_connect_string(u"db", u"", u"XE")), "//db:1521/XE");
    EXPECT_EQ(n(ora_engine::make_connect_string(u"db", u"1526", u"XE")), "//db:1526/XE");
    EXPECT_EQ(ora_engine::parse_version(u"Oracle Database 10g Enterprise Edition Release 10.2.0.1.0 - Prod"),
              10u * 65536 + 2 * 256);
    EXPECT_EQ(ora_engine::parse_version(u"Oracle Database without numbers"), 0u);
}

}  // namespace
