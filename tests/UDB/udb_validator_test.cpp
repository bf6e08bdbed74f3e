#include "udb_validator.h"

#include <gtest/gtest.h>

#include <memory>

#include "udb_test_support.h"

namespace {

// Refuses every name: the suffix search must run out and say so.
class refusing_validator : public udb_validator {
public:
    bool is_acceptable(std::u16string_view) const override { return false; }
};

// Refuses the first numbered candidate only, so the search must move on
// by asking the actual class, not the base rules.
class picky_validator : public udb_validator {
public:
    bool is_acceptable(std::u16string_view name) const override
    {
        return !name.ends_with(u"00000") && udb_validator::is_acceptable(name);
    }
};

}  // namespace

TEST(udb_validator, base_rules_accept_empty_and_refuse_long_restricted_illegal)
{
    udb_validator v(10);
    EXPECT_TRUE(v.is_acceptable(u""));
    EXPECT_TRUE(v.is_acceptable(u"ABCDEFGHIJ"));
    EXPECT_FALSE(v.is_acceptable(u"ABCDEFGHIJK"));

    v.restricted_names = {u"Größe"};
    EXPECT_FALSE(v.is_acceptable(u"GRÖSSE"));
    EXPECT_FALSE(v.is_acceptable(u"größe"));
    EXPECT_TRUE(v.is_acceptable(u"Grösse2"));

    v.illegal_chars = {u'#'};
    EXPECT_FALSE(v.is_acceptable(u"a#b"));
    EXPECT_TRUE(v.is_acceptable(u"ab"));
}

TEST(udb_validator, duplicates_compare_by_case_folding)
{
    udb_validator v;
    v.used_names = {u"Orders", u"цена", u"σύνολο", u"Ærø"};
    EXPECT_TRUE(v.is_duplicated(u"ORDERS"));
    EXPECT_TRUE(v.is_duplicated(u"ЦЕНА"));
    EXPECT_TRUE(v.is_duplicated(u"ΣΎΝΟΛΟ"));
    EXPECT_TRUE(v.is_duplicated(u"æRØ"));
    EXPECT_FALSE(v.is_duplicated(u"Order"));
    EXPECT_FALSE(v.is_duplicated(u""));
}

TEST(udb_validator, safe_names)
{
    const std::u16string x5000(5000, u'x');
    struct {
        const char* why;
        uint32_t limit;
        std::vector<std::u16string> used, restricted;
        std::u16string name, safe;
    } const cases[] = {
        {"a free name is kept", 30, {u"Other"}, {}, u"Name", u"Name"},
        {"no limit when zero", 0, {}, {}, x5000, x5000},
        {"first free suffix", 0, {u"Name"}, {}, u"Name", u"Name00000"},
        {"taken candidates differing in case are still taken",
         0,
         {u"Name", u"Name00000", u"NAME00001", u"name00002", u"Name00003"},
         {},
         u"Name",
         u"Name00004"},
        {"a gap is filled before later numbers", 0, {u"Name", u"Name00000", u"Name00002"}, {}, u"Name", u"Name00001"},
        {"a restricted name gets a suffix too", 0, {}, {u"PRIMARY"}, u"primary", u"primary00000"},
        {"a long name is cut to the limit minus one", 10, {}, {}, u"ABCDEFGHIJKL", u"ABCDEFGHI"},
        {"exactly at the limit: no cut", 10, {}, {}, u"ABCDEFGHIJ", u"ABCDEFGHIJ"},
        {"a suffixed base is cut to the limit minus six", 10, {u"ABCDEFGHI"}, {}, u"ABCDEFGHIJKL", u"ABCD00000"},
        {"a base of exactly L - 5 keeps its length", 10, {u"ABCDE"}, {}, u"ABCDE", u"ABCDE00000"},
        {"one more character and the base drops to L - 6", 10, {u"ABCDEF"}, {}, u"ABCDEF", u"ABCD00000"},
        {"thirty characters, as the Oracle side uses it",
         30,
         {u"ABCDEFGHIJKLMNOPQRSTUVWXYZ1234"},
         {},
         u"ABCDEFGHIJKLMNOPQRSTUVWXYZ1234",
         u"ABCDEFGHIJKLMNOPQRSTUVWX00000"},
    };
    for (const auto& c : cases) {
        udb_validator v(c.limit);
        v.used_names = c.used;
        v.restricted_names = c.restricted;
        EXPECT_EQ(v.get_safe_name(c.name), c.safe) << c.why;
    }
    udb_validator v;
    v.illegal_chars = {u'.', u'!'};  // illegal characters become underscores
    EXPECT_EQ(v.get_safe_name(u"a.b!c.d"), u"a_b_c_d");
    EXPECT_TRUE(udb_validator(0).is_acceptable(x5000));
}

TEST(udb_validator, cut_never_splits_a_surrogate_pair)
{
    udb_validator v(4);
    // U+1F600 takes the units at positions 2 and 3; a cut at 3 would keep
    // only its high half.
    const std::u16string name = u"ab\U0001F600c";
    ASSERT_EQ(name.size(), 5u);
    EXPECT_EQ(v.get_safe_name(name), u"ab");
    EXPECT_EQ(udb_cut_name(name, 4), u"ab\U0001F600");
    EXPECT_EQ(udb_cut_name(name, 3), u"ab");
    EXPECT_EQ(udb_cut_name(u"ab", 10), u"ab");
}

TEST(udb_validator, suffix_search_asks_the_actual_class_and_can_run_out)
{
    picky_validator v;
    v.used_names = {u"Name"};
    EXPECT_EQ(v.get_safe_name(u"Name"), u"Name00001");
    EXPECT_THROW(refusing_validator().get_safe_name(u"x"), tk_mail_assertion);
    // A tiny limit leaves no base: every candidate is five digits, longer than it.
    udb_validator tiny(3);
    tiny.used_names = {u"AB"};
    EXPECT_THROW(tiny.get_safe_name(u"AB"), tk_mail_assertion);
}

TEST(udb_validator, mapped_pairs_are_recorded)
{
    udb_validator v;
    v.add_mapped_pair(u"Order Details", u"Order_Details");
    EXPECT_EQ(v.names_map.get_mapped_name(u"order details", false), u"Order_Details");
    EXPECT_EQ(v.names_map.get_mapped_name(u"order details", true), u"order details");
}
