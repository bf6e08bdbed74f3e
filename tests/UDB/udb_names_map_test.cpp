#include "udb_names_map.h"

#include <gtest/gtest.h>

TEST(t_names_map, missing_name_maps_to_itself)
{
    t_names_map m;
    EXPECT_EQ(m.get_mapped_name(u"Orders", false), u"Orders");
    m.add(u"A", u"B");
    EXPECT_EQ(m.get_mapped_name(u"Orders", true), u"Orders");
}

TEST(t_names_map, case_flag_decides_the_comparison)
{
    t_names_map m;
    m.add(u"Orders", u"ORDERS_T");
    EXPECT_EQ(m.get_mapped_name(u"Orders", true), u"ORDERS_T");
    EXPECT_EQ(m.get_mapped_name(u"ORDERS", true), u"ORDERS");
    EXPECT_EQ(m.get_mapped_name(u"ORDERS", false), u"ORDERS_T");
}

TEST(t_names_map, case_folding_is_full_unicode)
{
    t_names_map m;
    m.add(u"Größe", u"GROESSE");
    m.add(u"Цена", u"PRICE");
    m.add(u"Σύνολο", u"TOTAL");
    EXPECT_EQ(m.get_mapped_name(u"GRÖSSE", false), u"GROESSE");
    EXPECT_EQ(m.get_mapped_name(u"ЦЕНА", false), u"PRICE");
    EXPECT_EQ(m.get_mapped_name(u"ΣΎΝΟΛΟ", false), u"TOTAL");
    EXPECT_EQ(m.get_mapped_name(u"GRÖSSE", true), u"GRÖSSE");
}

TEST(t_names_map, first_pair_in_map_order_wins)
{
    t_names_map m;
    // Inserted lower case first, but "NAME" sorts before "name" by code
    // units, so its pair answers a case-insensitive lookup.
    m.add(u"name", u"lower");
    m.add(u"NAME", u"upper");
    EXPECT_EQ(m.get_mapped_name(u"Name", false), u"upper");
    EXPECT_EQ(m.get_mapped_name(u"name", true), u"lower");
    EXPECT_EQ(m.size(), 2u);
}

TEST(t_names_map, a_source_keeps_its_first_target)
{
    t_names_map m;
    m.add(u"Name", u"NAME1");
    m.add(u"Name", u"NAME2");
    EXPECT_EQ(m.size(), 1u);
    EXPECT_EQ(m.get_mapped_name(u"Name", true), u"NAME1");
}

TEST(udb_names_map, table_names_map_or_stay)
{
    udb_names_map m;
    m.add_tn_mapping(u"Order Details", u"Order_Details");
    m.add_tn_mapping(u"2004 Sales", u"A2004_Sales");
    EXPECT_EQ(m.get_tn_mapped_name(u"Order Details", true), u"Order_Details");
    EXPECT_EQ(m.get_tn_mapped_name(u"ORDER DETAILS", true), u"ORDER DETAILS");
    EXPECT_EQ(m.get_tn_mapped_name(u"ORDER DETAILS", false), u"Order_Details");
    EXPECT_EQ(m.get_tn_mapped_name(u"Customers", false), u"Customers");
}

TEST(udb_names_map, field_map_is_found_by_exact_table_name)
{
    udb_names_map m;
    t_names_map columns;
    columns.add(u"Unit Price", u"Unit_Price");
    m.add_fn_map(u"ORDERS", columns);

    EXPECT_EQ(m.get_fn_mapped_name(u"ORDERS", u"Unit Price", true), u"Unit_Price");
    EXPECT_EQ(m.get_fn_mapped_name(u"ORDERS", u"unit price", false), u"Unit_Price");
    EXPECT_EQ(m.get_fn_mapped_name(u"ORDERS", u"unit price", true), u"unit price");
    // The table key is exact even when the field lookup is not.
    EXPECT_EQ(m.get_fn_mapped_name(u"Orders", u"Unit Price", false), u"Unit Price");
    // A missing table or column maps the column to itself.
    EXPECT_EQ(m.get_fn_mapped_name(u"NOPE", u"Qty", false), u"Qty");
    EXPECT_EQ(m.get_fn_mapped_name(u"ORDERS", u"Qty", false), u"Qty");
}

TEST(udb_names_map, storing_a_table_again_replaces_its_columns)
{
    udb_names_map m;
    t_names_map first;
    first.add(u"a b", u"a_b");
    m.add_fn_map(u"T", first);
    t_names_map second;
    second.add(u"a b", u"A_B00000");
    m.add_fn_map(u"T", second);
    EXPECT_EQ(m.get_fn_mapped_name(u"T", u"a b", true), u"A_B00000");
    ASSERT_NE(m.field_map(u"T"), nullptr);
    EXPECT_EQ(m.field_map(u"T")->size(), 1u);
    EXPECT_EQ(m.field_map(u"t"), nullptr);
}
