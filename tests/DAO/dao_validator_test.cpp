#include "dao_validator.h"

#include <gtest/gtest.h>

#include <memory>

#include "tk_wstring.h"
#include "udb_ftd.h"
#include "udb_index.h"
#include "udb_schema.h"
#include "udb_test_support.h"

TEST(dao_validator, trace_names_first_illegal_character_in_list_order)
{
    trace_capture trace;
    dao_validator v;
    // '.' comes first in the name, but the grave accent first in the list.
    EXPECT_FALSE(v.is_acceptable(u"a.b`c"));
    EXPECT_TRUE(trace.has_line("The name contains illegal: `")) << trace.text();
    EXPECT_TRUE(trace.has_line("dao_validator::is_acceptable(a.b`c)")) << trace.text();
}

TEST(dao_validator, names_access_accepts_and_their_safe_forms)
{
    dao_validator v;
    EXPECT_EQ(v.max_length, 0u);
    // Blanks at the edges are trimmed and each of the five characters
    // becomes '_'; only U+0020 is a blank; a blank name becomes the first
    // number; letters of every script pass through.
    const struct {
        std::u16string name;
        bool acceptable;
        std::u16string safe;
    } rows[] = {
        {u"", false, u"00000"},
        {u"   ", false, u"00000"},
        {u" Total", false, u"Total"},
        {u"Total ", false, u"Total"},
        {u"  Cost  ", false, u"Cost"},
        {u"Sub Total", true, u"Sub Total"},
        {u"\tTotal", true, u"\tTotal"},
        {u" Total!", false, u"Total_"},
        {u"a`b", false, u"a_b"},
        {u"a!b", false, u"a_b"},
        {u"a[b", false, u"a_b"},
        {u"a]b", false, u"a_b"},
        {u"a.b", false, u"a_b"},
        {u"a`b!c[d]e.f", false, u"a_b_c_d_e_f"},
        {u"a-b_c$d#e(f)", true, u"a-b_c$d#e(f)"},
        {u"Ærø", true, u"Ærø"},
        {u"Σύνολο", true, u"Σύνολο"},
        {u"Цена", true, u"Цена"},
        {u"Größe", true, u"Größe"},
        {u"日付", true, u"日付"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(tk_to_utf8(r.name));
        EXPECT_EQ(v.is_acceptable(r.name), r.acceptable);
        EXPECT_EQ(v.get_safe_name(r.name), r.safe);
    }
}

TEST(dao_validator, field_validator_counts_descriptors_as_used)
{
    udb_schema schema;
    schema.push_back(std::make_unique<t_ftd>(10, u"NAME", VT_BSTR, false, false, ole_variant(), 0));
    schema.push_back(std::make_unique<t_ftd>(4, u"Größe", VT_I4, false, false, ole_variant(), 0));
    dao_fn_validator v(schema);
    EXPECT_EQ(v.used_names, (std::vector<std::u16string>{u"NAME", u"Größe"}));
    EXPECT_EQ(v.get_safe_name(u"Name"), u"Name00000");
    EXPECT_EQ(v.get_safe_name(u"GRÖSSE"), u"GRÖSSE00000");
    EXPECT_EQ(v.get_safe_name(u"Other."), u"Other_");
}

TEST(dao_validator, index_validator_counts_indexes_as_used)
{
    udb_indexes indexes;
    indexes.emplace_back(u"PrimaryKey", true, true, udb_name_list{u"ID"});
    dao_in_validator v(indexes);
    EXPECT_TRUE(v.is_duplicated(u"primarykey"));
    EXPECT_EQ(v.get_safe_name(u"PRIMARYKEY"), u"PRIMARYKEY00000");
}
