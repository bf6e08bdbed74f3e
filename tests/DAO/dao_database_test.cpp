// The catalogue, relationships, schema, indexes and rows of real Access
// files, read through the contracts the conversion run uses.
#include <algorithm>

#include "dao_recordset.h"
#include "dao_test_util.h"
#include "udb_field.h"
#include "udb_ftd.h"
#include "udb_record.h"

namespace {

class dao_database_test : public ::testing::Test {
protected:
    void SetUp() override { engine_ = dao_test_engine(); }
    void TearDown() override { dao_database::set_error_sink(nullptr); }

    std::unique_ptr<dao_database> open(const char* file, int mode = 1) { return dao_test_open(*engine_, file, mode); }
    static std::unique_ptr<dao_recordset> table(dao_database& db, const char16_t* name)
    {
        std::unique_ptr<udb_recordset> rs = db.get_table(name, 1);
        return std::unique_ptr<dao_recordset>(static_cast<dao_recordset*>(rs.release()));
    }
    static const t_ftd& column(const udb_recordset& rs, const char16_t* name) { return rs.schema.get_field(name); }

    std::unique_ptr<dao_engine> engine_;
};

TEST_F(dao_database_test, catalogue_lists_user_tables_only)
{
    auto db = open("nwind.mdb");
    EXPECT_EQ(db->table_names,
              (std::vector<std::u16string>{u"Order Details", u"Orders", u"Products", u"Shippers", u"Categories",
                                           u"Customers", u"Employees", u"Suppliers", u"Umsätze"}));
    EXPECT_TRUE(db->is_table_exist(u"ORDERS"));
    EXPECT_TRUE(db->is_table_exist(u"UMSÄTZE"));
    EXPECT_FALSE(db->is_table_exist(u"MSysObjects"));
    // A system table of the file is answered with none, not opened.
    EXPECT_EQ(db->get_table(u"MSysObjects", 1), nullptr);
    EXPECT_EQ(db->get_table(u"MSysRelationships", 1), nullptr);
    EXPECT_THROW(db->get_table(u"No Such Table", 1), tk_mail_assertion);

    // Temporary and compaction leftovers pass for system objects.
    auto tmp = open("V2016_withdeletedcol.accdb");
    EXPECT_EQ(tmp->table_names, std::vector<std::u16string>{u"Table1"});
    auto empty = open("V2000_empty.mdb");
    EXPECT_TRUE(empty->table_names.empty());
}

TEST_F(dao_database_test, skipped_attributes)
{
    EXPECT_TRUE(dao_database::is_skipped(0x40000000));                         // linked Access table
    EXPECT_TRUE(dao_database::is_skipped(static_cast<int32_t>(0x80000002u)));  // system object
    EXPECT_TRUE(dao_database::is_skipped(2));
    EXPECT_FALSE(dao_database::is_skipped(0x20000000));  // ODBC links stay in the catalogue
    EXPECT_FALSE(dao_database::is_skipped(0));
    EXPECT_EQ(dao_database::table_statement(u"Order Details"), u"SELECT * FROM [Order Details]");
}

TEST_F(dao_database_test, relationships_read_from_msysrelationships)
{
    bool sink_called = false;
    static bool* called = nullptr;
    called = &sink_called;
    dao_database::set_error_sink([](const std::u16string&, const tk_exception&) { *called = true; });
    auto db = open("nwind.mdb");
    EXPECT_FALSE(sink_called);
    ASSERT_EQ(db->relationships.size(), 7u);
    const udb_relationship& r = db->relationships.get_index(u"fk_customers_orders");
    EXPECT_EQ(r.name, u"FK_Customers_Orders");
    EXPECT_EQ(r.source_text, u"CustomersOrders");
    EXPECT_EQ(r.table, u"Orders");
    EXPECT_EQ(r.ref_table, u"Customers");
    EXPECT_EQ(r.fields, std::vector<std::u16string>{u"CustomerID"});
    EXPECT_EQ(r.ref_fields, std::vector<std::u16string>{u"CustomerID"});
    // In the order of their names; the last one is not lost.
    EXPECT_EQ(db->relationships.front().source_text, u"CategoriesProducts");
    EXPECT_EQ(db->relationships.back().source_text, u"SuppliersProducts");
    // Listing tables and checking a database read none.
    EXPECT_TRUE(open("nwind.mdb", 33)->relationships.empty());
    EXPECT_TRUE(open("nwind.mdb", 97)->relationships.empty());
    EXPECT_TRUE(open("nwind.mdb", 65)->relationships.empty());
}

TEST_F(dao_database_test, error_sink_is_replaceable)
{
    dao_database::error_sink original = dao_database::get_error_sink();
    auto mine = [](const std::u16string&, const tk_exception&) {};
    dao_database::set_error_sink(mine);
    EXPECT_EQ(dao_database::get_error_sink(), static_cast<dao_database::error_sink>(mine));
    dao_database::set_error_sink(nullptr);
    EXPECT_EQ(dao_database::get_error_sink(), original);
}

TEST_F(dao_database_test, schema_kinds_sizes_flags_and_defaults)
{
    auto db = open("V2010_test.accdb");
    auto rs = table(*db, u"Table1");
    struct want {
        const char16_t* name;
        ole_vartype vt;
        uint32_t size;
    } cols[] = {{u"A", VT_BSTR, 50}, {u"B", VT_BSTR, 100}, {u"C", VT_UI1, 1}, {u"D", VT_I2, 2},  {u"E", VT_I4, 4},
                {u"F", VT_R8, 8},    {u"G", VT_DATE, 8},   {u"H", VT_CY, 8},  {u"I", VT_BOOL, 1}};
    ASSERT_EQ(rs->schema.size(), 9u);
    for (size_t i = 0; i < 9; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(rs->schema[i].name, cols[i].name);
        EXPECT_EQ(rs->schema[i].vartype, cols[i].vt);
        EXPECT_EQ(rs->schema[i].size, cols[i].size);
        EXPECT_FALSE(rs->schema[i].b_not_null);
        EXPECT_FALSE(rs->schema[i].b_auto_increment);
    }
    EXPECT_EQ(column(*rs, u"H").def_value.get_vt(), VT_CY);
    EXPECT_EQ(column(*rs, u"H").def_value.as_cy().int64, 0);
    EXPECT_EQ(column(*rs, u"G").def_value.get_vt(), VT_EMPTY);
    EXPECT_EQ(column(*rs, u"G").extra, 0u);  // a date without default
    EXPECT_EQ(rs->record_count, 2);
    EXPECT_FALSE(rs->is_query());

    auto guid = table(*db, u"Table4");
    EXPECT_EQ(column(*guid, u"data").vartype, VT_BLOB);
    EXPECT_EQ(column(*guid, u"data").extra, 1u);
    EXPECT_EQ(column(*guid, u"data").size, 16u);
    EXPECT_EQ(column(*guid, u"data").def_value.get_vt(), VT_EMPTY);  // GenGUID() is no value

    auto nw = open("nwind.mdb", 33);
    auto products = table(*nw, u"Products");
    const t_ftd& discontinued = column(*products, u"Discontinued");  // =No
    ASSERT_EQ(discontinued.def_value.get_vt(), VT_BOOL);
    EXPECT_EQ(discontinued.def_value.as_bool_raw(), 0);
    EXPECT_TRUE(column(*products, u"ProductName").b_not_null);
    EXPECT_TRUE(column(*products, u"ProductID").b_auto_increment);
    EXPECT_FALSE(column(*products, u"SupplierID").b_auto_increment);
}

TEST_F(dao_database_test, indexes_with_keys_and_relationship_sides)
{
    auto db = open("nwind.mdb", 33);
    auto rs = table(*db, u"Order Details");
    const udb_index& pk = rs->indexes.get_index(u"PrimaryKey");
    EXPECT_TRUE(pk.primary);
    EXPECT_TRUE(pk.unique);
    EXPECT_EQ(pk.fields, (std::vector<std::u16string>{u"OrderID", u"ProductID"}));
    ASSERT_GE(rs->key_index, 0);
    EXPECT_EQ(rs->indexes[static_cast<size_t>(rs->key_index)].name, u"PrimaryKey");
    const udb_index& fk = rs->indexes.get_index(u"OrdersOrder Details");
    EXPECT_FALSE(fk.primary);
    EXPECT_FALSE(fk.unique);
    EXPECT_EQ(fk.fields, std::vector<std::u16string>{u"OrderID"});
    auto categories = table(*db, u"Categories");
    EXPECT_TRUE(categories->indexes.get_index(u"CategoryName").unique);
    EXPECT_FALSE(categories->indexes.get_index(u"CategoryName").primary);
    auto comp = open("compIndexTestV2000.mdb", 33);
    for (const std::u16string& t : comp->table_names) {
        auto r = comp->get_table(t, 1);
        for (const udb_index& x : r->indexes) EXPECT_FALSE(x.fields.empty()) << tk_to_utf8(x.name);
    }
}

TEST_F(dao_database_test, decimal_bigint_and_unreadable_columns)
{
    auto db = open("fixedNumericTestV2000.mdb", 33);
    auto rs = table(*db, u"test");
    const t_ftd& d = column(*rs, u"col2");
    EXPECT_EQ(d.vartype, VT_DECIMAL);
    EXPECT_EQ(d.extra, 18u * 256u + 0u);  // precision 18, scale 0
    rs->move_first();
    ASSERT_FALSE(rs->is_eof());
    udb_record* row = rs->get_item();
    EXPECT_EQ((*row)[1].get_type(), VT_DECIMAL);
    EXPECT_EQ((*row)[5].to_string(), "-1");

    auto big = open("V2016_bigint.accdb", 33);
    auto b = table(*big, u"Table");
    EXPECT_EQ(column(*b, u"Numeric").vartype, VT_I8);
    EXPECT_EQ(column(*b, u"Numeric").def_value.get_vt(), VT_I8);
    b->move_first();
    EXPECT_EQ((*b->get_item())[1].get_type(), VT_I8);
    EXPECT_EQ((*b->get_item())[1].as_i8(), 42);

    auto att = open("V2016_attachments.accdb", 33);
    auto a = table(*att, u"Table1");
    ASSERT_EQ(a->schema.size(), 2u);
    EXPECT_FALSE(a->schema.find_field(u"Attachments"));
    EXPECT_EQ(a->skipped_columns(), std::vector<std::u16string>{u"Attachments"});
    for (const udb_index& x : a->indexes)
        EXPECT_EQ(std::count(x.fields.begin(), x.fields.end(), u"Attachments"), 0) << tk_to_utf8(x.name);
    EXPECT_TRUE(a->indexes.is_idx_field(u"ID", true));
    a->move_first();
    int rows = 0;
    while (!a->is_eof()) {
        EXPECT_EQ(a->get_item()->size(), 2u);
        a->next();
        ++rows;
    }
    EXPECT_EQ(rows, 3);
}

TEST_F(dao_database_test, walking_a_recordset)
{
    auto db = open("V2010_test.accdb", 33);
    auto rs = table(*db, u"Table1");
    EXPECT_FALSE(rs->is_eof());
    rs->move_first();
    udb_record* first = rs->get_item();
    EXPECT_EQ((*first)[0].to_wstring(), u"a");
    rs->next();
    udb_record* second = rs->get_item();
    EXPECT_EQ((*second)[0].to_wstring(), u"abcdefg");
    EXPECT_EQ((*second)[8].to_string(), "1");  // Yes/No
    EXPECT_EQ((*second)[7].to_string(), "3.5");
    rs->next();
    EXPECT_TRUE(rs->is_eof());
    EXPECT_THROW(rs->next(), dao_exception);  // no current record
    // Back from the end: the last row is current again.
    rs->move_prev();
    EXPECT_FALSE(rs->is_eof());
    EXPECT_EQ((*rs->get_item())[0].to_wstring(), u"abcdefg");
    rs->move_first();
    EXPECT_FALSE(rs->is_eof());
    EXPECT_EQ((*rs->get_item())[0].to_wstring(), u"a");
    rs->move_prev();  // before the first row: stays
    auto empty = table(*db, u"Table2");
    EXPECT_EQ(empty->record_count, 0);
    EXPECT_TRUE(empty->is_eof());
    empty->move_first();
    EXPECT_TRUE(empty->is_eof());
    EXPECT_THROW(empty->get_item(), dao_exception);
}

TEST_F(dao_database_test, queries_and_their_counts)
{
    auto db = open("nwind.mdb", 33);
    std::unique_ptr<udb_recordset> q = db->get_query(u"Q", u"SELECT * FROM [Orders]", 1);
    EXPECT_TRUE(q->is_query());
    EXPECT_EQ(q->query_text, u"SELECT * FROM [Orders]");
    EXPECT_EQ(q->name, u"Q");
    EXPECT_EQ(q->record_count, 830);
    EXPECT_TRUE(q->indexes.empty());
    // Every date column of a query carries the extra word.
    EXPECT_EQ(q->schema.get_field(u"OrderDate").extra, 1u);
    EXPECT_EQ(q->schema.get_field(u"OrderDate").vartype, VT_DATE);
    EXPECT_EQ(q->schema.get_field(u"Freight").extra, 0u);
    int n = 0;
    for (q->move_first(); !q->is_eof(); q->next()) ++n;
    EXPECT_EQ(n, 830);
    EXPECT_EQ(dao_code_of([&] { db->get_query(u"Q", u"SELECT * FROM [Nope]", 1); }), 0x10000u + 3078u);
}

TEST_F(dao_database_test, writing_is_refused_with_a_dao_error)
{
    auto ro = open("V2010_test.accdb", 33);
    EXPECT_THROW(ro->delete_tab(u"Table1"), tk_mail_assertion);  // read-only
    EXPECT_THROW(ro->create_table(u"New", udb_schema(), udb_indexes()), tk_mail_assertion);

    auto rw = dao_test_open(*engine_, "V2010_test.accdb", 32);
    EXPECT_THROW(rw->delete_tab(u"Nope"), tk_mail_assertion);
    EXPECT_EQ(dao_code_of([&] { rw->delete_tab(u"Table1"); }), 0x10000u + 3251u);
    EXPECT_TRUE(rw->is_table_exist(u"Table1"));
    udb_schema schema;
    schema.push_back(std::make_unique<t_ftd>(4, u"ID", VT_I4, true, true, ole_variant(), 0));
    EXPECT_EQ(dao_code_of([&] { rw->create_table(u"New", schema, udb_indexes()); }), 0x10000u + 3251u);
    EXPECT_FALSE(rw->is_table_exist(u"New"));
    EXPECT_THROW(rw->create_table(u"Table1", schema, udb_indexes()), tk_mail_assertion);
    // With bit 3 an existing table is opened instead.
    auto existing = dao_test_open(*engine_, "V2010_test.accdb", 40);
    std::unique_ptr<udb_recordset> t = existing->create_table(u"Table1", schema, udb_indexes());
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->name, u"Table1");

    udb_record wrong;
    wrong.push_back(std::make_unique<udb_field>(u"x", 4, ole_variant(1), false, false));
    try {
        t->append_record(wrong);
        ADD_FAILURE();
    } catch (const dao_exception&) {
        ADD_FAILURE() << "the structure check comes first";
    } catch (const tk_exception& e) {
        EXPECT_EQ(e.message, "The structures of data source does not conform to the destination table.");
    }
    t->move_first();
    udb_record* row = t->get_item();
    EXPECT_EQ(dao_code_of([&] { t->append_record(*row); }), 0x10000u + 3251u);
}

}  // namespace
