// Every table of every test file read the way the conversion run reads it
// (dao_engine → dao_database::get_table → udb_recordset rows) against what
// an independent reader (mdb-reader, the fixtures of tests/data/fixtures)
// read from the same files. Where the fixtures and DAO differ the
// component follows DAO, as jet_reader_fixture_test explains: attachment
// columns are left out, ~TMPCLP tables are system objects, and dates
// before 1899-12-30 with a time of day follow mdb-reader's own rule here.
#include <dirent.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "dao_test_util.h"
#include "jet_crypto.h"
#include "jet_json.h"
#include "jet_value.h"
#include "udb_field.h"
#include "udb_ftd.h"
#include "udb_record.h"
#include "udb_recordset.h"

namespace {

std::string read_text(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::string hex(const uint8_t* b, size_t n)
{
    static const char k[] = "0123456789ABCDEF";
    std::string s;
    for (size_t i = 0; i < n; ++i) {
        s += k[b[i] >> 4];
        s += k[b[i] & 15];
    }
    return s;
}

bool same_large(const jet_json& ref, const std::string& bytes, size_t length)
{
    if (ref.get("len") == nullptr || static_cast<size_t>(ref.at("len").num) != length) return false;
    std::basic_string_view<uint8_t> v(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    jet_bytes h = jet_hash("SHA256", {v});
    std::string s = hex(h.data(), h.size());
    std::transform(s.begin(), s.end(), s.begin(), [](char c) { return static_cast<char>(std::tolower(c)); });
    return ref.at("sha256").str == s;
}

std::string iso(const jet_date_parts& p)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", p.year, p.month, p.day, p.hour, p.minute,
                  p.second, p.millisecond);
    return buf;
}

// mdb-reader takes a date number as a plain signed offset of milliseconds.
std::string signed_offset_date(double number)
{
    double ms = std::round((number - 25569.0) * 86400000.0);
    double day = std::floor(ms / 86400000.0);
    jet_date_parts p;
    jet_split_date(day + 25569.0, p);
    int64_t rest = static_cast<int64_t>(ms - day * 86400000.0);
    p.hour = static_cast<int32_t>(rest / 3600000);
    p.minute = static_cast<int32_t>(rest / 60000 % 60);
    p.second = static_cast<int32_t>(rest / 1000 % 60);
    p.millisecond = static_cast<int32_t>(rest % 1000);
    return iso(p);
}

std::string compare_date(const udb_field& f, const jet_json& ref)
{
    if (ref.get("date") == nullptr) return "expected a date";
    double number = f.as_date_number();
    jet_date_parts p;
    if (!jet_split_date(number, p)) return "date out of range";
    std::string want = number < 0 && number != std::trunc(number) ? signed_offset_date(number) : iso(p);
    return ref.at("date").str == want ? "" : "date " + want + " vs " + ref.at("date").str;
}

std::string compare_text(const udb_field& f, const jet_json& ref)
{
    std::u16string text = f.as_wstring();
    // GUIDs arrive as DAO gives them: {guid {...}}.
    if (text.starts_with(u"{guid {") && text.size() == 46) text = text.substr(6, 38);
    std::string u = tk_to_utf8(text);
    if (ref.kind == jet_json::type::string) return ref.str == u ? "" : "text '" + u.substr(0, 60) + "'";
    return same_large(ref, u, text.size()) ? "" : "long text differs";
}

std::string compare_bytes(const udb_field& f, const jet_json& ref)
{
    const std::vector<uint8_t>& b = f.as_bytes();
    if (ref.get("hex")) return ref.at("hex").str == hex(b.data(), b.size()) ? "" : "binary differs";
    return same_large(ref, std::string(b.begin(), b.end()), b.size()) ? "" : "long binary differs";
}

// One value against the reference; empty when equal.
std::string compare(const udb_field& f, const jet_json& ref)
{
    using T = jet_json::type;
    switch (f.get_vt()) {
    case VT_NULL: return ref.kind == T::null ? "" : "unexpected NULL";
    case VT_BOOL: return ref.kind == T::boolean && ref.b == (f.as_bool_raw() == 0xFFFF) ? "" : "boolean differs";
    case VT_UI1: case VT_I2: case VT_I4:
        return ref.kind == T::number && ref.num == f.to_double() ? "" : "integer differs";
    case VT_I8: return ref.get("i8") && ref.at("i8").str == std::to_string(f.as_i8()) ? "" : "big integer differs";
    case VT_CY: return ref.str == jet_currency_text(f.as_cy().int64) ? "" : "currency " + f.to_string();
    case VT_DECIMAL: {
        jet_decimal d{f.as_decimal().is_negative(), f.as_decimal().scale, f.as_decimal().hi32, f.as_decimal().lo64};
        return ref.str == jet_decimal_text(d) ? "" : "decimal " + jet_decimal_text(d);
    }
    case VT_R4: return ref.kind == T::number && static_cast<float>(ref.num) == f.as_r4() ? "" : "single differs";
    case VT_R8: return ref.kind == T::number && ref.num == f.as_r8() ? "" : "double differs";
    case VT_DATE: return compare_date(f, ref);
    case VT_BSTR: return compare_text(f, ref);
    case VT_ARRAY_UI1: return compare_bytes(f, ref);
    default: return "unexpected kind " + std::to_string(f.get_vt());
    }
}

std::vector<std::string> fixture_files()
{
    std::vector<std::string> out;
    if (DIR* d = opendir((std::string(TOLVANE_TEST_DATA) + "/fixtures").c_str())) {
        while (dirent* e = readdir(d)) {
            std::string n = e->d_name;
            if (n.size() > 5 && n.ends_with(".json")) out.push_back(n.substr(0, n.size() - 5));
        }
        closedir(d);
    }
    std::sort(out.begin(), out.end());
    return out;
}

// The reference positions of the columns the component delivers.
std::vector<size_t> delivered_columns(const jet_json& table)
{
    std::vector<size_t> pos;
    const auto& cols = table.at("columns").arr;
    for (size_t c = 0; c < cols.size(); ++c)
        if (cols[c].at("type").str != "complex") pos.push_back(c);
    return pos;
}

void compare_table(udb_recordset& rs, const jet_json& table)
{
    std::vector<size_t> pos = delivered_columns(table);
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
    jet_json ref = jet_json::parse(read_text(dao_test_data(("fixtures/" + file + ".json").c_str())));
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

INSTANTIATE_TEST_SUITE_P(files, dao_fixture_test, ::testing::ValuesIn(fixture_files()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                             std::string n = info.param;
                             for (char& c : n)
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             return n;
                         });

}  // namespace
