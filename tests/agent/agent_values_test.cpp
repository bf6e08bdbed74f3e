// Every Access file of tests/data, converted through tlvagent into the
// stand-in: every user table exists with the source's row count, and every
// value read back equals the source value after the type mapping.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <vector>

#include "agent_test_support.h"
#include "dao_engine.h"
#include "jet_workgroup.h"
#include "ora_database.h"
#include "ora_engine.h"
#include "ora_query_results.h"
#include "tk_wstring.h"
#include "udb_database.h"
#include "udb_field.h"
#include "udb_ftd.h"
#include "udb_record.h"
#include "udb_recordset.h"

namespace {

struct source_file {
    std::string name;
    const char* password;  // database password, empty for none
    bool workgroup;        // open under the test workgroup's admin account
};

// Files without a password, read anonymously (names split at blanks).
const char* const k_plain =
    "DateTestDatabase.mdb V1997_test.mdb V2000_empty.mdb V2000_test.mdb V2003_test.mdb V2007_test.accdb "
    "V2010_test.accdb V2016_attachments.accdb V2016_bigint.accdb V2016_currency.accdb "
    "V2016_longtext.accdb V2016_withdeletedcol.accdb V2016_withinsertedcol.accdb bigIndexTestV2000.mdb "
    "compIndexTestV2000.mdb delColTestV2000.mdb fixedNumericTestV2000.mdb fixedTextTestV2000.mdb "
    "indexTestV2000.mdb overflowTestV2000.mdb queryTestV2000.mdb test2V2000.mdb testPromotionV2000.mdb "
    "calculatedField.accdb charsetGBK.mdb complex.accdb float.accdb linked.mdb linkee1.mdb linkee2.mdb "
    "reservedWordLeave.mdb weirdObjectNames.mdb ";

std::vector<source_file> all_files()
{
    std::vector<source_file> files{{"nwind.mdb", "", true},
                                   {"V2000_with-password.mdb", "password", false},
                                   {"V2003_with-password.mdb", "password", false},
                                   {"V2010_with-password.accdb", "password", false},
                                   {"password.mdb", "ucanaccess", false}};
    std::istringstream in(k_plain);
    for (std::string n; in >> n;) files.push_back({n, "", false});
    return files;
}

std::u16string admin_password()
{
    jet_workgroup wg(tk_from_utf8(test_data("workgroup-jet3.mdw")));
    for (const jet_account& a : wg.accounts())
        if (!a.is_group && tk_equal_nocase(a.name, u"admin")) return a.password;
    return {};
}

// A number's canonical decimal text: no exponent noise, no trailing zeros.
std::string number_text(const ole_variant& v)
{
    std::string t = tk_to_utf8(v.to_wstring());
    if (t.find_first_of("eE") != std::string::npos) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.15g", v.to_double());
        t = buf;
    }
    if (t.find('.') != std::string::npos) {
        while (t.back() == '0') t.pop_back();
        if (t.back() == '.') t.pop_back();
    }
    return t == "-0" ? "0" : t;
}

bool is_number(ole_vartype vt)
{
    for (ole_vartype n :
         {VT_I2, VT_I4, VT_CY, VT_DECIMAL, VT_I1, VT_UI1, VT_UI2, VT_UI4, VT_I8, VT_UI8, VT_INT, VT_UINT})
        if (vt == n) return true;
    return false;
}

// Equal after the type mapping: NULL and the empty text alike (Oracle keeps
// no empty text), binary byte for byte, dates to the second, Yes/No as 1/0,
// Single to its own precision, other numbers exactly, text exactly.
bool same_value(const ole_variant& source, const ole_variant& oracle, std::string& why)
{
    auto blank = [](const ole_variant& v) {
        return v.is_empty_or_null() || (v.get_vt() == VT_BSTR && v.as_wstring().empty()) ||
               (v.is_binary() && v.get_safe_array_size() == 0);
    };
    bool ok;
    if (blank(source) || blank(oracle)) {
        ok = blank(source) && blank(oracle);
    } else if (source.is_binary()) {
        const uint8_t* a = nullptr;
        const uint8_t* b = nullptr;
        size_t na = source.get_bytes(&a), nb = oracle.get_bytes(&b);
        ok = na == nb && std::equal(a, a + na, b);
    } else if (source.get_vt() == VT_DATE) {
        ok = source.to_wstring().substr(0, 19) == oracle.to_wstring().substr(0, 19);
    } else if (source.get_vt() == VT_BOOL) {
        ok = oracle.to_double() == (source.as_bool() ? 1.0 : 0.0);
    } else if (source.get_vt() == VT_R4) {
        ok = static_cast<float>(oracle.to_double()) == source.as_r4();
    } else if (source.get_vt() == VT_R8) {
        ok = oracle.to_double() == source.as_r8();
    } else if (is_number(source.get_vt())) {
        ok = number_text(source) == number_text(oracle);
    } else {
        ok = source.to_wstring() == oracle.to_wstring();
    }
    if (!ok) why = "'" + tk_to_utf8(source.to_wstring()) + "' != '" + tk_to_utf8(oracle.to_wstring()) + "'";
    return ok;
}

class agent_values : public ::testing::TestWithParam<source_file> {};

TEST_P(agent_values, every_table_every_value)
{
    const source_file& f = GetParam();
    emu_service emu;
    std::string report = emu.home() + "/report.json";
    std::vector<std::string> more{"--report=" + report};
    std::map<std::string, std::string> env;
    if (*f.password) more.push_back("--accp=-");
    std::u16string ugl;
    if (f.workgroup) {
        ugl = admin_password();
        more.push_back("--sysdb=" + test_data("workgroup-jet3.mdw"));
        more.push_back("--uglu=Admin");
        env["TOLVANE_WORKGROUP_PASSWORD"] = tk_to_utf8(ugl);
    }
    std::vector<std::string> args{"--src=" + test_data(f.name), "--dest=XE", "--oraclh=localhost", "--oraclu=scott",
                                  "--oraclp=tiger"};
    args.insert(args.end(), more.begin(), more.end());
    agent_result r = emu.agent(args, env, std::string(f.password) + "\n");
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    std::map<std::u16string, std::u16string> targets = report_targets(read_file(report));

    ::setenv("TOLVANE_OCI_LIB", ORAEMU_OCI_LIB, 1);
    ::setenv("ORAEMU_HOME", emu.home().c_str(), 1);
    dao_engine dao;
    dao.choose_generation();
    if (f.workgroup)
        dao.set_ugl_info(tk_from_utf8(test_data("workgroup-jet3.mdw")), u"Admin", ugl);
    else
        dao.set_anonymous_sys_db();
    std::unique_ptr<udb_database> source = dao.open_db(tk_from_utf8(test_data(f.name)), 1, tk_from_utf8(f.password));
    ora_engine ora;
    std::unique_ptr<ora_database> target = ora.open_db(u"localhost", u"scott", u"tiger", u"1521", u"XE");

    for (const std::u16string& table : source->table_names) {
        std::unique_ptr<udb_recordset> from = source->get_table(table, 1);
        if (!from) continue;  // linked or system
        SCOPED_TRACE(tk_to_utf8(table));
        ASSERT_TRUE(targets.count(table)) << "not converted";
        const std::u16string& name = targets[table];
        ASSERT_TRUE(target->is_table_exist(name));
        ora_query_results back(name, u"");
        back.initialize(0, u"SELECT * FROM \"" + name + u"\"");
        int row = 0, mismatches = 0;
        for (from->move_first(); !from->is_eof(); from->next(), ++row) {
            udb_record* s = from->get_item();
            ASSERT_FALSE(back.is_eof()) << "Oracle has only " << row << " rows";
            udb_record* o = back.get_item();
            ASSERT_EQ(s->size(), o->size());
            for (size_t c = 0; c < s->size() && mismatches < 5; ++c) {
                std::string why;
                if (!same_value((*s)[c], (*o)[c], why)) {
                    ++mismatches;
                    ADD_FAILURE() << "row " << row + 1 << " column " << tk_to_utf8(from->schema[c].name) << ": " << why;
                }
            }
        }
        EXPECT_TRUE(back.is_eof()) << "Oracle has more rows than " << row;
    }
}

INSTANTIATE_TEST_SUITE_P(files, agent_values, ::testing::ValuesIn(all_files()),
                         [](const ::testing::TestParamInfo<source_file>& info) {
                             std::string n;
                             for (char c : info.param.name) n += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             return n;
                         });

}  // namespace
