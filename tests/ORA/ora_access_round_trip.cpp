// Every table of every Access file in tests/data, created in the stand-in
// from the schema the Access component reads, loaded row by row through
// ora_table, read back through OCI and compared value by value with a
// second reading of the source.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "dao_database.h"
#include "dao_engine.h"
#include "ora_database.h"
#include "ora_engine.h"
#include "ora_stand_in_support.h"
#include "ora_table.h"
#include "ora_type_map.h"
#include "ora_validator.h"
#include "tk_wstring.h"
#include "udb_field.h"
#include "udb_ftd.h"
#include "udb_record.h"

#ifdef ORAEMU_OCI_LIB

namespace {

using ora_test::n;
using ora_test::w;

struct access_file {
    const char* name;
    const char16_t* password;
};

// Every Access file of tests/data; the workgroup file is not a database.
const access_file k_files[] = {
    {"DateTestDatabase.mdb", u""},
    {"V1997_test.mdb", u""},
    {"V2000_empty.mdb", u""},
    {"V2000_test.mdb", u""},
    {"V2000_with-password.mdb", u"password"},
    {"V2003_test.mdb", u""},
    {"V2003_with-password.mdb", u"password"},
    {"V2007_test.accdb", u""},
    {"V2010_test.accdb", u""},
    {"V2010_with-password.accdb", u"password"},
    {"V2016_attachments.accdb", u""},
    {"V2016_bigint.accdb", u""},
    {"V2016_currency.accdb", u""},
    {"V2016_longtext.accdb", u""},
    {"V2016_withdeletedcol.accdb", u""},
    {"V2016_withinsertedcol.accdb", u""},
    {"bigIndexTestV2000.mdb", u""},
    {"compIndexTestV2000.mdb", u""},
    {"delColTestV2000.mdb", u""},
    {"fixedNumericTestV2000.mdb", u""},
    {"fixedTextTestV2000.mdb", u""},
    {"indexTestV2000.mdb", u""},
    {"nwind.mdb", u""},
    {"overflowTestV2000.mdb", u""},
    {"queryTestV2000.mdb", u""},
    {"test2V2000.mdb", u""},
    {"testPromotionV2000.mdb", u""},
    {"calculatedField.accdb", u""},
    {"charsetGBK.mdb", u""},
    {"complex.accdb", u""},
    {"float.accdb", u""},
    {"linked.mdb", u""},
    {"linkee1.mdb", u""},
    {"linkee2.mdb", u""},
    {"password.mdb", u"ucanaccess"},
    {"reservedWordLeave.mdb", u""},
    {"weirdObjectNames.mdb", u""},
};

// A number's text without the forms that differ between writers: no
// leading "0" before the point, no trailing zeros after it.
std::string plain_number(std::string t)
{
    for (char& c : t)
        if (c == ',') c = '.';
    if (t.find('.') != std::string::npos) {
        while (!t.empty() && t.back() == '0') t.pop_back();
        if (!t.empty() && t.back() == '.') t.pop_back();
    }
    if (t.rfind("0.", 0) == 0) t.erase(0, 1);
    if (t.rfind("-0.", 0) == 0) t.erase(1, 1);
    if (t.empty() || t == "-") t = "0";
    return t;
}

bool is_integer_vt(ole_vartype vt)
{
    return vt == VT_I1 || vt == VT_I2 || vt == VT_I4 || vt == VT_I8 || vt == VT_UI1 || vt == VT_UI2 || vt == VT_UI4 ||
           vt == VT_UI8 || vt == VT_INT || vt == VT_UINT;
}

// The expected reading of a source value, or an empty text when it matches.
std::string mismatch(const ole_variant& s, const t_ftd& column, const ole_variant& t)
{
    bool source_null = s.is_empty_or_null() || (s.get_vt() == VT_BSTR && s.as_wstring().empty() && !ora_is_lob(column));
    if (source_null) return t.is_null() ? "" : "expected NULL, got " + n(t.to_wstring());
    if (t.is_null()) {
        // An empty memo or OLE value is an empty LOB or NULL.
        std::vector<uint8_t> scratch;
        bool empty = s.get_vt() == VT_BSTR ? s.as_wstring().empty() : ora_value_bytes(s, scratch).empty();
        return empty ? "" : "got NULL for " + n(s.to_wstring()).substr(0, 60);
    }
    ole_vartype vt = s.get_vt();
    if (vt == VT_BSTR && ora_is_binary_kind(column.vartype)) {
        std::u16string hex = ora_guid_hex(s.as_wstring());
        std::string got = tk_hex_text(t.as_bytes().data(), t.as_bytes().size());
        return n(hex) == got ? "" : "GUID " + n(s.as_wstring()) + " read back as " + got;
    }
    if (vt == VT_BSTR) return s.as_wstring() == t.as_wstring() ? "" : "text differs";
    if (ole_is_binary_vt(vt) || vt == VT_SAFEARRAY) {
        std::vector<uint8_t> scratch;
        auto bytes = ora_value_bytes(s, scratch);
        return std::vector<uint8_t>(bytes.begin(), bytes.end()) == t.as_bytes() ? "" : "bytes differ";
    }
    if (vt == VT_R8 || vt == VT_R4) {
        double expected = vt == VT_R4 ? static_cast<double>(s.as_r4()) : s.as_r8();
        double got = t.to_double();
        if (vt == VT_R4) got = static_cast<double>(static_cast<float>(got));
        return std::memcmp(&expected, &got, sizeof got) == 0 || (expected == 0 && got == 0)
                   ? ""
                   : ora_number_text(expected, false) + " read back as " + ora_number_text(got, false);
    }
    if (vt == VT_CY || vt == VT_DECIMAL) {  // read back with TO_CHAR: every digit
        std::string a = plain_number(s.to_string()), b = plain_number(n(t.to_wstring()));
        return a == b ? "" : a + " read back as " + b;
    }
    if (vt == VT_BOOL) return (s.as_bool() == (t.to_double() != 0)) ? "" : "boolean differs";
    if (is_integer_vt(vt)) {
        std::string a = s.to_string(), b = plain_number(n(t.to_wstring()));
        return a == b ? "" : a + " read back as " + b;
    }
    if (vt == VT_DATE) {
        ole_systemtime a = s.as_date();
        if (a.year == 0 && a.month == 0 && a.day == 0) a.year = 1899, a.month = 12, a.day = 30;
        const ole_systemtime& b = t.as_date();
        bool same = a.year == b.year && a.month == b.month && a.day == b.day && a.hour == b.hour &&
                    a.minute == b.minute && a.second == b.second;
        return same ? "" : n(s.to_wstring()) + " read back as " + n(t.to_wstring());
    }
    return "kind " + std::to_string(vt) + " not compared";
}

class OraAccessRoundTrip : public ::testing::TestWithParam<access_file> {
protected:
    static void SetUpTestSuite()
    {
        ora_test::oci();
        engine_ = new ora_engine();
        dao_ = new dao_engine(true, false);
        dao_->choose_generation();
    }
    static void TearDownTestSuite()
    {
        delete dao_;
        delete engine_;
    }
    static inline ora_engine* engine_ = nullptr;
    static inline dao_engine* dao_ = nullptr;
};

TEST_P(OraAccessRoundTrip, EveryTableLoadsAndReadsBackExactly)
{
    const access_file& file = GetParam();
    std::string path = std::string(TOLVANE_TEST_DATA) + "/" + file.name;
    std::unique_ptr<udb_database> source = dao_->open_db(tk_from_utf8(path), 1, file.password);
    std::unique_ptr<ora_database> target = engine_->open_db(u"//localhost:1521/XE", w(ora_test::new_user()), u"pw");
    ora_in_validator index_names(std::vector<std::u16string>{});
    ora_tn_validator table_names(target->table_names, {});
    size_t tables = 0, rows = 0;
    for (const std::u16string& table : std::vector<std::u16string>(source->table_names)) {
        std::unique_ptr<udb_recordset> in;
        try {
            in = source->get_table(table, 1);
        } catch (const tk_exception& e) {
            ADD_FAILURE() << n(table) << ": " << e.message;
            continue;
        }
        std::u16string name = table;
        if (!table_names.is_acceptable(name)) name = table_names.get_safe_name(name);
        table_names.used_names.push_back(name);
        SCOPED_TRACE(n(table) + " -> " + n(name));
        std::unique_ptr<udb_recordset> created = target->create_table(name, in->schema, in->indexes);
        auto* out = static_cast<ora_table*>(created.get());
        ++tables;
        int row = 0;
        while (!in->is_eof()) {
            udb_record* r = in->get_item();
            ++row;
            try {
                out->append_record(*r);
            } catch (const tk_exception& e) {
                ADD_FAILURE() << "row " << row << ": " << e.message;
            }
            in->next();
        }
        out->finish_loading();
        rows += static_cast<size_t>(row);

        // Second reading of the source beside the rows read back.
        std::unique_ptr<udb_recordset> again = source->get_table(table, 1);
        std::u16string select;
        for (size_t c = 0; c < out->schema.size(); ++c) {
            const t_ftd& src = again->schema[c];
            std::u16string col = u"\"" + out->schema[c].name + u"\"";
            if (src.vartype == VT_CY || src.vartype == VT_DECIMAL) col = u"TO_CHAR(" + col + u")";
            select += (c ? u", " : u"") + col;
        }
        ora_query_results back(0, u"SELECT " + select + u" FROM \"" + name + u"\"");
        int compared = 0;
        while (!again->is_eof()) {
            udb_record* s = again->get_item();
            ASSERT_FALSE(back.is_eof()) << "row " << compared + 1 << " missing";
            udb_record* t = back.get_item();
            ++compared;
            for (size_t c = 0; c < again->schema.size(); ++c) {
                std::string m = mismatch((*s)[c], again->schema[c], (*t)[c]);
                EXPECT_EQ(m, "") << "row " << compared << ", column " << n(again->schema[c].name);
            }
            again->next();
        }
        EXPECT_TRUE(back.is_eof());
        EXPECT_EQ(compared, row);
    }
    RecordProperty("tables", static_cast<int>(tables));
    RecordProperty("rows", static_cast<int>(rows));
}

INSTANTIATE_TEST_SUITE_P(TestData, OraAccessRoundTrip, ::testing::ValuesIn(k_files),
                         [](const ::testing::TestParamInfo<access_file>& info) {
                             std::string s = info.param.name;
                             for (char& c : s)
                                 if (!isalnum(static_cast<unsigned char>(c))) c = '_';
                             return s;
                         });

}  // namespace

#endif
