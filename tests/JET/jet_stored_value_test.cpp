// Values whose stored form is not the plain one: calculated columns (read
// from the stored result, checked against the query engine's evaluation of
// the column's Expression) and Date/Time Extended values with their
// fraction of a second.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <sstream>

#include "jet_patched_file.h"
#include "jet_querydef.h"
#include "jet_test_encrypt.h"
#include "jet_test_util.h"
#include "jet_value.h"
#include "jet_viewer.h"
#include "tk_wstring.h"

namespace {

std::vector<std::vector<ole_variant>> query(jet_database& db, const std::u16string& sql)
{
    std::vector<std::vector<ole_variant>> rows;
    auto rs = db.create_querydef(u"", sql)->open_recordset();
    for (; !rs->eof(); rs->move_next()) {
        rows.emplace_back();
        for (const jet_field& f : rs->fields()) rows.back().push_back(f.value());
    }
    return rows;
}

// Whether the stored result and the engine's result are the same value:
// texts exactly, dates to the second, numbers to 12 significant digits
// (the engine may compute in another binary type than Access did).
::testing::AssertionResult same_value(const ole_variant& stored, const ole_variant& evaluated)
{
    auto fail = [&] {
        return ::testing::AssertionFailure()
               << "stored " << tk_to_utf8(stored.to_wstring()) << " (vt " << stored.get_vt() << "), evaluated "
               << tk_to_utf8(evaluated.to_wstring()) << " (vt " << evaluated.get_vt() << ")";
    };
    const bool stored_null = stored.get_vt() == VT_NULL || stored.get_vt() == VT_EMPTY;
    const bool evaluated_null = evaluated.get_vt() == VT_NULL || evaluated.get_vt() == VT_EMPTY;
    if (stored_null || evaluated_null) return stored_null == evaluated_null ? ::testing::AssertionSuccess() : fail();
    switch (stored.get_vt()) {
    case VT_BSTR: return stored.as_wstring() == evaluated.to_wstring() ? ::testing::AssertionSuccess() : fail();
    case VT_DATE:
        if (evaluated.get_vt() != VT_DATE) return fail();
        return std::fabs(stored.as_date_number() - evaluated.as_date_number()) < 1.0 / 86400
                   ? ::testing::AssertionSuccess()
                   : fail();
    case VT_BOOL: return stored.as_bool() == (evaluated.to_double() != 0) ? ::testing::AssertionSuccess() : fail();
    default: {
        double a = stored.to_double(), b = evaluated.to_double();
        return std::fabs(a - b) <= 1e-12 * std::max(1.0, std::fabs(a)) ? ::testing::AssertionSuccess() : fail();
    }
    }
}

// Every calculated column of every table of the file: its stored values
// against the engine's evaluation of its Expression over the same row.
// Returns the number of values compared.
int check_calculated_columns(const std::string& path)
{
    auto db = jet_test_open(path);
    int compared = 0;
    for (jet_tabledef& t : db->tabledefs()) {
        if (t.attributes() != 0) continue;  // system and linked tables
        for (const jet_field& f : t.fields()) {
            if (!f.column().calculated) continue;
            SCOPED_TRACE(tk_to_utf8(t.name() + u"." + f.name() + u" = " + f.column().expression));
            auto rows =
                query(*db, u"SELECT [" + f.name() + u"], (" + f.column().expression + u") FROM [" + t.name() + u"]");
            for (const auto& row : rows) {
                EXPECT_TRUE(same_value(row[0], row[1]));
                ++compared;
            }
        }
    }
    return compared;
}

TEST(jet_calculated_test, double_result_of_the_sample_file)
{
    auto db = jet_test_open(jet_test_data("calculatedField.accdb"));
    const jet_field markup = [&] {
        for (const jet_field& f : db->tabledef(u"products").fields())
            if (f.name() == u"%markup") return f;
        throw std::runtime_error("no %markup");
    }();
    EXPECT_TRUE(markup.column().calculated);
    EXPECT_EQ(markup.type(), 7);
    EXPECT_EQ(markup.column().expression, u"([retail]/[wholesale]-1)*100");
    auto rows = query(*db, u"SELECT [%markup] FROM products ORDER BY id");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0][0].get_vt(), VT_R8);
    EXPECT_DOUBLE_EQ(rows[0][0].as_r8(), 50.0);
    // Access stored (110/100-1)*100 as the double 10.000000000000009.
    EXPECT_NEAR(rows[1][0].as_r8(), 10.0, 1e-12);
    // No row of this file was stored under an older expression.
    EXPECT_EQ(check_calculated_columns(jet_test_data("calculatedField.accdb")), 2);
}

std::vector<uint8_t> doubjet_test_le(double d)
{
    uint64_t bits;
    std::memcpy(&bits, &d, 8);
    return jet_test_le(bits, 8);
}

std::vector<uint8_t> float_bytes(float f)
{
    uint32_t bits;
    std::memcpy(&bits, &f, 4);
    return jet_test_le(bits, 4);
}

// A calculated value as a row of the sample file holds it: 20 bytes of
// header with the value's length at 16, the value, 3 bytes, padding to at
// least 31 bytes.
std::vector<uint8_t> wrapped(const std::vector<uint8_t>& value)
{
    std::vector<uint8_t> out(std::max<size_t>(31, 20 + value.size() + 3), 0);
    out[16] = static_cast<uint8_t>(value.size());
    out[17] = static_cast<uint8_t>(value.size() >> 8);
    std::copy(value.begin(), value.end(), out.begin() + 20);
    return out;
}

// A calculated Long Text as a row holds it: a long-value reference with
// its data in the row (flag 0x80), the data wrapped as any calculated value.
std::vector<uint8_t> long_text(const std::string& text)
{
    std::vector<uint8_t> data = {0xFF, 0xFE};  // compressed: one byte a character
    data.insert(data.end(), text.begin(), text.end());
    data = wrapped(data);
    std::vector<uint8_t> out = jet_test_le(data.size() | 0x80000000u, 4);
    out.resize(12, 0);
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

// The sample's %markup column rewritten to other result types: type byte,
// ResultType, Expression (same length, blank-padded) and both stored values
// (the rows rebuilt where a value needs more room than the sample's), read
// back as the text of each row's value.
TEST(jet_calculated_test, every_result_type_from_its_stored_value)
{
    const std::string x300(300, 'x');
    const struct {
        const char* label;
        int16_t result_type;  // ResultType (DAO type number)
        uint8_t jet_type;     // the stored column type byte
        const char16_t* expression;
        std::vector<uint8_t> row1, row2;  // stored values of rows 1 and 2 (Long Text: as the row holds them)
        ole_vartype vt;
        std::string text1, text2;
        // No Expression that fits the sample's 28 characters gives a GUID:
        // the stored value alone is checked.
        bool evaluated = true;
    } cases[] = {
        {"yes/no", 1, 0x01, u"[retail]>50", {0x00}, {0xFF}, VT_BOOL, "0", "1"},
        {"byte", 2, 0x02, u"CByte([retail])", {15}, {110}, VT_UI1, "15", "110"},
        {"integer", 3, 0x03, u"CInt([retail]*-100)", jet_test_le(static_cast<uint16_t>(-1500), 2),
         jet_test_le(static_cast<uint16_t>(-11000), 2), VT_I2, "-1500", "-11000"},
        {"long", 4, 0x04, u"CLng([retail]*1000)", jet_test_le(15000, 4), jet_test_le(110000, 4), VT_I4, "15000",
         "110000"},
        {"currency", 5, 0x05, u"[retail]*2", jet_test_le(300000, 8), jet_test_le(2200000, 8), VT_CY, "30", "220"},
        {"single", 6, 0x06, u"CSng([retail]/4)", float_bytes(3.75f), float_bytes(27.5f), VT_R4, "3.750000e+00",
         "2.750000e+01"},
        {"date", 8, 0x08, u"DateSerial(2020,1,[id])", doubjet_test_le(43831.0), doubjet_test_le(43832.0), VT_DATE,
         "2020-01-01", "2020-01-02"},
        {"text",
         10,
         0x0A,
         u"CStr([retail])",
         {0xFF, 0xFE, '1', '5'},
         {0xFF, 0xFE, '1', '1', '0'},
         VT_BSTR,
         "15",
         "110"},
        // Length 6, scale 1, positive, one 32-bit word; then scale 0.
        {"decimal",
         20,
         0x10,
         u"CDec([retail]*1.5)",
         {6, 0, 1, 0, 225, 0, 0, 0},
         {6, 0, 0, 0, 165, 0, 0, 0},
         VT_DECIMAL,
         "22.5",
         "165"},
        {"long text", 12, 0x0C, u"String(300,'x') & [id]", long_text(x300 + "1"), long_text(x300 + "2"), VT_BSTR,
         x300 + "1", x300 + "2"},
        {"guid",
         15,
         0x0F,
         u"[id]",
         {0x04, 0x99, 0x63, 0x61, 0x23, 0xB0, 0xC3, 0x48, 0xAC, 0x4D, 0x3D, 0x42, 0x96, 0x74, 0xE9, 0x02},
         std::vector<uint8_t>(16, 0xAB),
         VT_BSTR,
         "{guid {61639904-B023-48C3-AC4D-3D429674E902}}",
         "{guid {ABABABAB-ABAB-ABAB-ABAB-ABABABABABAB}}",
         false},
    };
    auto original = jet_test_open(jet_test_data("calculatedField.accdb"));
    const uint32_t page = original->catalog().find(u"products")->table_page;
    original.reset();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        jet_patched_file file(jet_test_data("calculatedField.accdb"));
        file.set_column_type(page, 3, c.jet_type);
        ASSERT_GE(file.set_property(u"%markup", u"ResultType", jet_test_le(static_cast<uint16_t>(c.result_type), 2)),
                  1);
        std::u16string expression = c.expression;
        expression.resize(28, u' ');
        ASSERT_GE(file.set_property(u"%markup", u"Expression", jet_test_utf16le(expression)), 1);
        const std::vector<uint32_t> data = file.data_pages(page);
        ASSERT_EQ(data.size(), 1u);
        const bool memo = c.jet_type == 0x0C;
        file.set_variable_values(data[0], {memo ? c.row1 : wrapped(c.row1), memo ? c.row2 : wrapped(c.row2)});
        const std::string& path = file.write();
        auto db = jet_test_open(path);
        auto rows = query(*db, u"SELECT [%markup] FROM products ORDER BY id");
        ASSERT_EQ(rows.size(), 2u);
        EXPECT_EQ(rows[0][0].get_vt(), c.vt);
        EXPECT_EQ(rows[1][0].get_vt(), c.vt);
        EXPECT_EQ(tk_to_utf8(rows[0][0].to_wstring()), c.text1);
        EXPECT_EQ(tk_to_utf8(rows[1][0].to_wstring()), c.text2);
        if (c.evaluated) {
            EXPECT_EQ(check_calculated_columns(path), 2);
        }
    }
}

TEST(jet_calculated_test, decimal_layouts)
{
    struct decimal_case {
        std::vector<uint8_t> bytes;
        bool ok;
        std::string text;
    };
    const std::vector<decimal_case> cases = {
        // What Access writes for a 39-byte column: 16 bytes, a 12-byte
        // magnitude as one 32-bit word and one 64-bit word.
        {{14, 0, 2, 0x80, 0, 0, 0, 0, 0x39, 0x30, 0, 0, 0, 0, 0, 0}, true, "-123.45"},
        {{14, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, true, "18446744073709551616"},
        {{6, 0, 3, 0, 0x39, 0x30, 0, 0}, true, "12.345"},
        // 16-byte magnitude beyond 96 bits; damaged scale; cut short.
        {{18, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0}, false, ""},
        {{6, 0, 29, 0, 1, 0, 0, 0}, false, ""},
        {{14, 0, 0, 0, 1, 0}, false, ""},
        {{6, 0}, false, ""},
    };
    for (const decimal_case& c : cases) {
        jet_decimal d;
        ASSERT_EQ(jet_calculated_decimal(c.bytes.data(), c.bytes.size(), d), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(jet_decimal_text(d), c.text);
        }
    }
}

// The other rows' values are too short for the type: read as NULL. The
// table scan and the query engine's results keep the ticks wherever a
// result column is the stored value (plain, through a copy, a derived
// table or Min/Max/First/Last); computed dates keep what a date number
// holds, and the comparison sees the fraction.
TEST(jet_extended_date_test, fraction_kept_through_field_values_and_queries)
{
    auto original = jet_test_open(jet_test_data("DateTestDatabase.mdb"));
    const uint32_t page = original->catalog().find(u"DateTest")->table_page;
    original.reset();
    jet_patched_file file(jet_test_data("DateTestDatabase.mdb"));
    const std::string& path = jet_extended_date_copy(file, page);
    auto db = jet_test_open(path);
    // tlvinspect prints the ticks, of the table's rows and of a query's.
    for (const char16_t* sql : {u"", u"SELECT LongTextCol FROM DateTest"}) {
        jet_inspect_options o;
        o.file = tk_from_utf8(path);
        o.query = sql;
        const std::string out = jet_test_inspect(o);
        EXPECT_NE(out.find("\"2021-12-02 13:45:30.1234567\""), std::string::npos) << out;
        if (*sql == 0) {
            EXPECT_NE(out.find("\"2021-12-02 00:00:00\""), std::string::npos);  // a plain date has none
        }
    }
    const jet_field col = db->tabledef(u"DateTest").fields().at(4);
    EXPECT_EQ(col.type(), 26);
    const char* const k_stored = "2021-12-02 13:45:30";
    const struct {
        const char16_t* sql;
        size_t rows;
        int16_t type;  // of the date column: the second, or LongTextCol for *
        const char* text;
        uint32_t ticks;  // of row 5's value
    } cases[] = {
        {u"SELECT * FROM [DateTest]", 6, 26, k_stored, 1234567},
        {u"SELECT IDCol, LongTextCol FROM DateTest ORDER BY LongTextCol DESC, IDCol", 6, 26, k_stored, 1234567},
        {u"SELECT a.IDCol, b.LongTextCol FROM DateTest AS a INNER JOIN DateTest AS b ON a.IDCol = b.IDCol", 6, 26,
         k_stored, 1234567},
        {u"SELECT IDCol, X FROM (SELECT IDCol, LongTextCol AS X FROM DateTest) AS d", 6, 26, k_stored, 1234567},
        {u"SELECT IDCol, Max(LongTextCol) FROM DateTest GROUP BY IDCol", 6, 26, k_stored, 1234567},
        {u"SELECT IDCol, LongTextCol FROM DateTest WHERE LongTextCol > #2021-12-02 13:45:30#", 1, 26, k_stored,
         1234567},
        {u"SELECT IDCol, LongTextCol FROM DateTest WHERE LongTextCol IN (SELECT Max(LongTextCol) FROM DateTest)", 1, 26,
         k_stored, 1234567},
        {u"SELECT IDCol, LongTextCol FROM DateTest UNION SELECT IDCol, DateCol FROM DateTest WHERE IDCol = 0", 6, 8,
         k_stored, 0},
        {u"SELECT IDCol, DateAdd('s', 1, LongTextCol) FROM DateTest", 6, 8, "2021-12-02 13:45:31", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(tk_to_utf8(c.sql));
        const size_t at = c.sql[7] == u'*' ? 4 : 1;
        EXPECT_EQ(db->create_querydef(u"", c.sql)->open_recordset()->fields().at(at).type(), c.type);
        auto rows = query(*db, c.sql);
        ASSERT_EQ(rows.size(), c.rows);
        for (const auto& row : rows) {
            const ole_variant& date = row.at(at);
            if (row[0].to_long() != 5) {
                EXPECT_EQ(date.get_vt(), VT_NULL);
                continue;
            }
            ASSERT_EQ(date.get_vt(), VT_DATE);
            EXPECT_EQ(date.to_string(), c.text);
            EXPECT_EQ(date.date_fraction(), c.ticks);
            ole_variant copy = date;
            EXPECT_EQ(copy.date_fraction(), c.ticks);
        }
    }
}

}  // namespace
