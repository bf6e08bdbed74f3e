#include "udb_index.h"

#include <gtest/gtest.h>

#include "udb_relationships.h"
#include "udb_test_support.h"

namespace {

udb_relationship make_rel(std::u16string table, std::u16string ref_table, std::u16string name = {})
{
    udb_relationship rel;
    rel.table = std::move(table);
    rel.ref_table = std::move(ref_table);
    rel.name = std::move(name);
    return rel;
}

udb_index make_index(std::u16string name, udb_name_list fields, bool unique = false, bool primary = false)
{
    return udb_index(std::move(name), unique, primary, std::move(fields));
}

}  // namespace

TEST(udb_index, starts_with_fields)
{
    const udb_index idx = make_index(u"ix", {u"Country", u"City", u"Zip"});
    EXPECT_TRUE(idx.starts_with_fields({}));
    EXPECT_TRUE(idx.starts_with_fields({u"Country"}));
    EXPECT_TRUE(idx.starts_with_fields({u"COUNTRY", u"city"}));
    EXPECT_TRUE(idx.starts_with_fields({u"Country", u"City", u"Zip"}));
    EXPECT_FALSE(idx.starts_with_fields({u"City"}));              // not a prefix
    EXPECT_FALSE(idx.starts_with_fields({u"City", u"Country"}));  // wrong order
    EXPECT_FALSE(idx.starts_with_fields({u"Country", u"City", u"Zip", u"X"}));
    EXPECT_TRUE(make_index(u"ix", {u"Größe", u"Цена"}).starts_with_fields({u"GRÖSSE", u"ЦЕНА"}));
    // The empty list is a prefix even of an empty index.
    EXPECT_TRUE(make_index(u"ix", {}).starts_with_fields({}));
    EXPECT_FALSE(make_index(u"ix", {}).starts_with_fields({u"A"}));
}

TEST(udb_index, consists_of_fields_is_exact_and_unordered)
{
    const udb_index idx = make_index(u"ix", {u"A", u"B"});
    EXPECT_TRUE(idx.consists_of_fields({u"A", u"B"}));
    EXPECT_TRUE(idx.consists_of_fields({u"B", u"A"}));
    EXPECT_FALSE(idx.consists_of_fields({u"a", u"B"}));  // case matters here
    EXPECT_FALSE(idx.consists_of_fields({u"A"}));
    EXPECT_FALSE(idx.consists_of_fields({u"A", u"B", u"C"}));
    EXPECT_FALSE(idx.consists_of_fields({}));
    EXPECT_TRUE(make_index(u"none", {}).consists_of_fields({}));
}

TEST(udb_indexes, names_are_found_by_case_folding_or_not_at_all)
{
    udb_indexes list;
    list.push_back(make_index(u"PrimaryKey", {u"ID"}, true, true));
    list.push_back(make_index(u"Größe_ix", {u"Größe"}));
    EXPECT_FALSE(list.is_acceptable_name(u"PRIMARYKEY"));
    EXPECT_FALSE(list.is_acceptable_name(u"GRÖSSE_IX"));
    EXPECT_TRUE(list.is_acceptable_name(u"Other"));
    EXPECT_EQ(&list.get_index(u"primarykey"), &list[0]);
    EXPECT_EQ(list.get_index(u"GRÖSSE_ix").fields, udb_name_list{u"Größe"});
    // A missing index is an internal error.
    expect_assertion([&] { list.get_index(u"nope"); }, "udb_index.cpp");
    const udb_indexes& clist = list;
    expect_assertion([&] { clist.get_index(u"nope"); }, "udb_index.cpp");
}

TEST(udb_indexes, is_idx_field_is_exact_and_can_look_at_primary_only)
{
    udb_indexes list;
    list.push_back(make_index(u"pk", {u"ID"}, true, true));
    list.push_back(make_index(u"ix", {u"Name", u"City"}));
    EXPECT_TRUE(list.is_idx_field(u"ID", false));
    EXPECT_TRUE(list.is_idx_field(u"City", false));
    EXPECT_FALSE(list.is_idx_field(u"city", false));
    EXPECT_FALSE(list.is_idx_field(u"id", true));
    EXPECT_TRUE(list.is_idx_field(u"ID", true));
    EXPECT_FALSE(list.is_idx_field(u"City", true));
    EXPECT_FALSE(udb_indexes().is_idx_field(u"ID", false));
}

TEST(udb_indexes, has_index_on_fields_asks_the_first_matching_index)
{
    udb_indexes list;
    list.push_back(make_index(u"plain", {u"A", u"B"}));
    list.push_back(make_index(u"uniq", {u"A"}, true));
    list.push_back(make_index(u"other", {u"C"}, true));

    EXPECT_TRUE(list.has_index_on_fields({u"A"}, false));
    // "plain" comes first and is not unique; the later unique one is not asked.
    EXPECT_FALSE(list.has_index_on_fields({u"A"}, true));
    EXPECT_TRUE(list.has_index_on_fields({u"c"}, true));
    EXPECT_FALSE(list.has_index_on_fields({u"B"}, false));
    EXPECT_FALSE(list.has_index_on_fields({u"A", u"B", u"C"}, false));
    EXPECT_FALSE(udb_indexes().has_index_on_fields({}, false));
}

TEST(udb_relationships, gen_relship_name_suffix_cycle_accumulates)
{
    udb_relationships list;
    const udb_relationship rel = make_rel(u"Orders", u"Customers");
    const std::u16string expected[] = {
        u"FK_Customers_Orders",       u"FK_Customers_Orders_",       u"FK_Customers_Orders_1",
        u"FK_Customers_Orders_1_",    u"FK_Customers_Orders_1_2",    u"FK_Customers_Orders_1_2_",
        u"FK_Customers_Orders_1_2_3", u"FK_Customers_Orders_1_2_3_",
    };
    for (const std::u16string& want : expected) {
        std::u16string got = list.gen_relship_name(rel);
        ASSERT_EQ(got, want);
        list.push_back(make_rel(rel.table, rel.ref_table, got));
    }
}

TEST(udb_relationships, gen_relship_name_rejects_by_case_folding_and_traces_each_rejection)
{
    udb_relationships list;
    list.push_back(make_rel(u"", u"", u"fk_customers_orders"));
    EXPECT_EQ(list.gen_relship_name(make_rel(u"Orders", u"Customers")), u"FK_Customers_Orders_");
    trace_capture trace;
    list.push_back(make_rel(u"B", u"A", u"FK_A_B"));
    EXPECT_EQ(list.gen_relship_name(list.back()), u"FK_A_B_");
    EXPECT_TRUE(trace.has_line("FK_A_B is not acceptable as a FK name")) << trace.text();
    EXPECT_FALSE(trace.has_line("FK_A_B_ is not acceptable as a FK name"));
}

TEST(udb_relationships, get_index_by_name)
{
    udb_relationships list;
    udb_relationship rel;
    rel.name = u"FK_Customers_Orders";
    rel.fields = {u"CustomerID"};
    list.push_back(rel);
    EXPECT_FALSE(list.is_acceptable_name(u"FK_CUSTOMERS_ORDERS"));
    EXPECT_TRUE(list.is_acceptable_name(u"FK_Other"));
    EXPECT_EQ(list.get_index(u"fk_customers_orders").fields, udb_name_list{u"CustomerID"});
    expect_assertion([&] { list.get_index(u"FK_Other"); }, "udb_relationships.cpp");
}
