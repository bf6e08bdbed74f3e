// Every table of every test file read the way the conversion run reads it
// (dao_engine → dao_database::get_table → udb_recordset rows) against what
// an independent reader (mdb-reader, the fixtures of tests/data/fixtures)
// read from the same files. Where the fixtures and DAO differ the
// component follows DAO, as jet_reader_fixture_test explains: attachment
// columns are left out, ~TMPCLP tables are system objects, and dates
// before 1899-12-30 with a time of day follow mdb-reader's own rule here.
#include <cctype>
#include <string>
#include <vector>

#include "dao_test_util.h"
#include "jet_fixture.h"
#include "udb_field.h"
#include "udb_ftd.h"
#include "udb_record.h"
#include "udb_recordset.h"

namespace {

std::string compare_text(const udb_field& f, const jet_json& ref)
{
    std::u16string text = f.as_wstring();
    // GUIDs arrive as DAO gives them: {guid {...}}.
    if (text.starts_with(u"{guid {") && text.size() == 46) text = text.substr(6, 38);
    return jet_fixture_compare_text(tk_to_utf8(text), text.size(), ref);
}

// One value against the reference; empty when equal.
std::string compare(const udb_field& f, const jet_json& ref)
{
    switch (f.get_vt()) {
    case VT_NULL: return ref.kind == jet_json::type::null ? "" : "unexpected NULL";
    case VT_BOOL: return jet_fixture_compare_boolean(f.as_bool_raw() == 0xFFFF, ref);
    case VT_UI1:
    case VT_I2:
    case VT_I4: return jet_fixture_compare_number(f.to_double(), ref, "integer");
    case VT_I8: return jet_fixture_compare_big_int(f.as_i8(), ref);
    case VT_CY: return jet_fixture_compare_currency(f.as_cy().int64, ref);
    case VT_DECIMAL: {
        const jet_decimal d{f.as_decimal().is_negative(), f.as_decimal().scale, f.as_decimal().hi32,
                            f.as_decimal().lo64};
        return jet_fixture_compare_decimal(d, ref);
    }
    case VT_R4: return jet_fixture_compare_single(f.as_r4(), ref);
    case VT_R8: return jet_fixture_compare_number(f.as_r8(), ref, "double");
    case VT_DATE: return jet_fixture_compare_date(f.as_date_number(), ref);
    case VT_BSTR: return compare_text(f, ref);
    case VT_ARRAY_UI1: return jet_fixture_compare_bytes(f.as_bytes(), ref);
    default: return "unexpected kind " + std::to_string(f.get_vt());
    }
}

void compare_table(udb_recordset& rs, const jet_json& table)
{
    const std::vector<size_t> pos = jet_fixture_delivered_columns(table);
    ASSERT_EQ(rs.schema.size(), pos.size());
    for (size_t c = 0; c < pos.size(); ++c)
        EXPECT_EQ(tk_to_utf8(rs.schema[c].name), table.at("columns").arr[pos[c]].at("name").str);
    EXPECT_EQ(rs.record_count, static_cast<int32_t>(table.at("rowCount").num));
    const auto& rows = table.at("rows").arr;
    size_t n = 0;
    for (rs.move_first(); !rs.is_eof(); rs.next()) {
        ASSERT_LT(n, rows.size()) << "more rows than the reference";
        udb_record* r = rs.get_item();
        ASSERT_EQ(r->size(), pos.size());
        for (size_t c = 0; c < pos.size(); ++c)
            EXPECT_EQ(compare((*r)[c], rows[n].arr[pos[c]]), "") << "row " << n << ", column " << c;
        ++n;
    }
    EXPECT_EQ(n, rows.size());
}

class dao_fixture_test : public ::testing::TestWithParam<std::string> {};

TEST_P(dao_fixture_test, every_table_equals_independent_reading)
{
    const std::string file = GetParam();
    const jet_json ref = jet_fixture_of(file);
    const std::u16string password = file.find("with-password") != std::string::npos ? u"password" : u"";
    auto engine = dao_test_engine();
    std::unique_ptr<udb_database> db = engine->open_db(dao_test_path(file.c_str()), 1, password);

    std::vector<std::string> theirs;
    for (const jet_json& t : ref.at("tables").arr)
        if (!t.at("name").str.starts_with("~TMPCLP")) theirs.push_back(t.at("name").str);
    std::vector<std::string> ours;
    for (const std::u16string& t : db->table_names) ours.push_back(tk_to_utf8(t));
    ASSERT_EQ(ours, theirs);

    for (const jet_json& t : ref.at("tables").arr) {
        if (t.at("name").str.starts_with("~TMPCLP")) continue;
        SCOPED_TRACE(file + " / " + t.at("name").str);
        std::unique_ptr<udb_recordset> rs = db->get_table(tk_from_utf8(t.at("name").str), 1);
        ASSERT_NE(rs, nullptr);
        compare_table(*rs, t);
    }
}

INSTANTIATE_TEST_SUITE_P(files, dao_fixture_test, ::testing::ValuesIn(jet_fixture_files()), jet_file_param_name());

}  // namespace
