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

TEST(dao_validator, refuses_empty_and_edge_blanks)
{
    dao_validator v;
    EXPECT_FALSE(v.is_acceptable(u""));
    EXPECT_FALSE(v.is_acceptable(u" Total"));
    EXPECT_FALSE(v.is_acceptable(u"Total "));
    EXPECT_TRUE(v.is_acceptable(u"Sub Total"));
    // Only U+0020 is a blank.
    EXPECT_TRUE(v.is_acceptable(u"\tTotal"));
}

TEST(dao_validator, refuses_each_of_its_five_characters)
{
    dao_validator v;
    EXPECT_EQ(v.max_length, 0u);
    for (std::u16string bad : {u"a`b", u"a!b", u"a[b", u"a]b", u"a.b"})
        EXPECT_FALSE(v.is_acceptable(bad)) << tk_to_utf8(bad);
    EXPECT_TRUE(v.is_acceptable(u"a-b_c$d#e(f)"));
}

TEST(dao_validator, unicode_letters_pass_through)
{
    dao_validator v;
    for (std::u16string name : {u"Ærø", u"Σύνολο", u"Цена", u"Größe", u"日付"}) {
        EXPECT_TRUE(v.is_acceptable(name)) << tk_to_utf8(name);
        EXPECT_EQ(v.get_safe_name(name), name) << tk_to_utf8(name);
    }
}

TEST(dao_validator, safe_name_trims_then_replaces)
{
    dao_validator v;
    EXPECT_EQ(v.get_safe_name(u" Total!"), u"Total_");
    EXPECT_EQ(v.get_safe_name(u"a`b!c[d]e.f"), u"a_b_c_d_e_f");
    EXPECT_EQ(v.get_safe_name(u"  Cost  "), u"Cost");
}

TEST(dao_validator, blank_name_becomes_first_number)
{
    dao_validator v;
    EXPECT_EQ(v.get_safe_name(u"   "), u"00000");
    EXPECT_EQ(v.get_safe_name(u""), u"00000");
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
