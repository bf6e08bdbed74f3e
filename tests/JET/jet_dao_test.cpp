// The component as the dao_ classes use it: engine, workgroup, database,
// TableDefs, Fields, Indexes, QueryDefs and Recordsets, on real files.
#include <gtest/gtest.h>

#include <tuple>

#include "jet_querydef.h"
#include "jet_recordset.h"
#include "jet_tabledef.h"
#include "jet_test_encrypt.h"
#include "jet_test_util.h"
#include "jet_workgroup.h"
#include "tk_wstring.h"

namespace {

std::u16string data_path(const char* name)
{
    return tk_from_utf8(jet_test_data(name));
}

std::unique_ptr<jet_database> open(const char* name)
{
    return jet_test_open(jet_test_data(name));
}

const jet_field& field(const std::vector<jet_field>& fields, std::u16string_view name)
{
    for (const jet_field& f : fields)
        if (f.name() == name) return f;
    throw std::runtime_error("no field " + tk_to_utf8(name));
}

TEST(jet_dbengine_test, generations)
{
    EXPECT_NE(jet_dbengine::create(3), nullptr);
    for (int older : {0, 1, 2}) EXPECT_EQ(jet_dbengine::create(older), nullptr) << older;
}

TEST(jet_dbengine_test, open_database_passwords_and_errors)
{
    auto engine = jet_dbengine::create(3);
    EXPECT_EQ(jet_dbengine::password_of(u";pwd=secret"), u"secret");
    EXPECT_EQ(jet_dbengine::password_of(u"MS Access;PWD=a b;x=y"), u"a b");
    EXPECT_EQ(jet_dbengine::password_of(u""), u"");
    EXPECT_NO_THROW(engine->open_database(data_path("V2003_with-password.mdb"), false, true, u";pwd=password"));
    EXPECT_EQ(jet_error_of([&] { engine->open_database(data_path("V2003_with-password.mdb"), false, true, u""); }),
              3031);
    ASSERT_EQ(engine->errors().size(), 1u);
    EXPECT_EQ(engine->errors()[0].number, 3031);
    EXPECT_EQ(engine->errors()[0].description, u"Not a valid password.");
    EXPECT_EQ(jet_error_of([&] { engine->open_database(u"/no/such.mdb", false, true, u""); }), 3024);
    EXPECT_EQ(engine->errors()[0].description, u"Could not find file '/no/such.mdb'.");
    EXPECT_EQ(jet_error_of([&] { engine->create_database(u"/tmp/x.mdb", u";LANGID=0x0409;CP=1252;COUNTRY=0"); }), 3251);
}

TEST(jet_database_test, tabledefs_in_catalogue_order_with_attributes)
{
    auto db = open("nwind.mdb");
    std::vector<std::u16string> user;
    int system = 0;
    for (jet_tabledef& t : db->tabledefs()) {
        if (t.attributes() == 0) user.push_back(t.name());
        if (t.attributes() == static_cast<int32_t>(0x80000002u)) ++system;
        if (t.name().starts_with(u"MSys")) {
            EXPECT_EQ(t.attributes(), static_cast<int32_t>(0x80000002u));
        }
    }
    EXPECT_EQ(user, (std::vector<std::u16string>{u"Order Details", u"Orders", u"Products", u"Shippers", u"Categories",
                                                 u"Customers", u"Employees", u"Suppliers", u"Umsätze"}));
    EXPECT_GE(system, 4);
    // Reports share the masked type number of ODBC links; none may pass as a table.
    for (jet_tabledef& t : db->tabledefs()) EXPECT_NE(t.name(), u"Catalog");
    EXPECT_EQ(db->tabledef(u"order details").record_count(), 2155);
    EXPECT_EQ(db->tabledef(u"Umsätze").record_count(), 830);
    EXPECT_EQ(jet_error_of([&] { db->tabledef(u"Nope"); }), 3265);
}

TEST(jet_database_test, temporary_tables_and_hidden_data_tables_are_system)
{
    auto db = open("V2016_withdeletedcol.accdb");
    for (jet_tabledef& t : db->tabledefs()) {
        if (t.name().starts_with(u"~TMPCLP") || t.name().starts_with(u"f_")) {
            EXPECT_EQ(t.attributes(), static_cast<int32_t>(0x80000002u)) << tk_to_utf8(t.name());
        }
    }
    EXPECT_EQ(jet_catalog::attributes_of(6, 0, u"Linked"), 0x40000000);
    EXPECT_EQ(jet_catalog::attributes_of(4, 0, u"Odbc"), 0x20000000);
    EXPECT_EQ(jet_catalog::attributes_of(1, 0, u"MSysCompactError"), static_cast<int32_t>(0x80000002u));
    EXPECT_EQ(jet_catalog::attributes_of(1, 0, u"Plain"), 0);
}

TEST(jet_tabledef_test, field_types_sizes_flags_and_defaults)
{
    auto db = open("V2010_test.accdb");
    std::vector<jet_field> f = db->tabledef(u"Table1").fields();
    ASSERT_EQ(f.size(), 9u);
    struct row {
        const char16_t* name;
        int16_t type;
        int32_t size;
        int32_t attributes;
        const char16_t* default_value;
    } want[] = {
        {u"A", 10, 50, 2, u""}, {u"B", 10, 100, 2, u""}, {u"C", 2, 1, 1, u"0"},
        {u"D", 3, 2, 1, u"0"},  {u"E", 4, 4, 1, u"0"},   {u"F", 7, 8, 1, u"0"},
        {u"G", 8, 8, 1, u""},   {u"H", 5, 8, 1, u"0"},   {u"I", 1, 1, 1, u""},
    };
    for (size_t i = 0; i < 9; ++i) {
        SCOPED_TRACE(tk_to_utf8(want[i].name));
        EXPECT_EQ(f[i].name(), want[i].name);
        EXPECT_EQ(f[i].type(), want[i].type);
        EXPECT_EQ(f[i].size(), want[i].size);
        EXPECT_EQ(f[i].attributes(), want[i].attributes);
        EXPECT_EQ(f[i].default_value(), want[i].default_value);
        EXPECT_FALSE(f[i].required());
        EXPECT_EQ(jet_error_of([&] { (void)f[i].value(); }), 3219);  // no Value on a TableDef field
    }
    std::vector<jet_field> g = db->tabledef(u"Table4").fields();
    EXPECT_EQ(field(g, u"data").type(), 15);
    EXPECT_EQ(field(g, u"data").size(), 16);
    EXPECT_EQ(field(g, u"data").default_value(), u"GenGUID()");
    EXPECT_EQ(field(g, u"data").attributes() & 0x10, 0);  // a GUID AutoNumber is no dbAutoIncrField
}

TEST(jet_tabledef_test, autonumber_bigint_jet3_text_and_raw_defaults)
{
    auto db = open("V2016_bigint.accdb");
    std::vector<jet_field> f = db->tabledef(u"Table").fields();
    EXPECT_EQ(field(f, u"ID").attributes(), 0x11);
    EXPECT_EQ(field(f, u"Numeric").type(), 16);
    EXPECT_EQ(field(f, u"Numeric").size(), 8);
    auto nw = open("nwind.mdb");
    std::vector<jet_field> p = nw->tabledef(u"Products").fields();
    EXPECT_EQ(field(p, u"Discontinued").default_value(), u"=No");
    EXPECT_EQ(field(p, u"ProductName").size(), 40);  // Jet3 sizes are characters already
    EXPECT_TRUE(field(p, u"ProductName").required());
    EXPECT_EQ(field(p, u"ProductID").attributes(), 0x11);
    // Northwind marks ordinary Jet3 columns with the GUID-AutoNumber bit.
    for (const jet_field& x : p)
        if (x.type() != 4) {
            EXPECT_EQ(x.attributes() & 0x10, 0) << tk_to_utf8(x.name());
        }
    auto att = open("V2016_attachments.accdb");
    jet_tabledef t = att->tabledef(u"Table1");
    EXPECT_EQ(t.fields().size(), 2u);
    EXPECT_EQ(t.skipped_columns(), std::vector<std::u16string>{u"Attachments"});
}

TEST(jet_tabledef_test, indexes_with_relationship_side)
{
    auto db = open("nwind.mdb");
    std::vector<jet_index> idx = db->tabledef(u"Order Details").indexes();
    auto find = [&](std::u16string_view n) -> const jet_index* {
        for (const jet_index& x : idx)
            if (x.name == n) return &x;
        return nullptr;
    };
    ASSERT_NE(find(u"PrimaryKey"), nullptr);
    EXPECT_TRUE(find(u"PrimaryKey")->primary);
    EXPECT_TRUE(find(u"PrimaryKey")->unique);
    EXPECT_EQ(find(u"PrimaryKey")->fields, (std::vector<std::u16string>{u"OrderID", u"ProductID"}));
    ASSERT_NE(find(u"OrdersOrder Details"), nullptr);
    EXPECT_TRUE(find(u"OrdersOrder Details")->foreign);
    EXPECT_FALSE(find(u"OrdersOrder Details")->primary);
    EXPECT_EQ(find(u"OrdersOrder Details")->fields, std::vector<std::u16string>{u"OrderID"});
    EXPECT_EQ(find(u"ProductID")->fields, std::vector<std::u16string>{u"ProductID"});
    EXPECT_FALSE(find(u"ProductID")->unique);
    // The referenced side's internal index is not listed.
    for (const jet_index& x : db->tabledef(u"Products").indexes()) EXPECT_FALSE(x.name.starts_with(u".r"));
}

TEST(jet_querydef_test, recognised_texts)
{
    std::u16string t;
    EXPECT_TRUE(jet_querydef::match_table_scan(u"SELECT * FROM [Order Details]", t));
    EXPECT_EQ(t, u"Order Details");
    EXPECT_TRUE(jet_querydef::match_table_scan(u"  select   *\nfrom  [a]] ; ", t) == false);
    EXPECT_TRUE(jet_querydef::match_table_scan(u"select * from Orders;", t));
    EXPECT_EQ(t, u"Orders");
    EXPECT_FALSE(jet_querydef::match_table_scan(u"SELECT * FROM [A] WHERE x=1", t));
    EXPECT_FALSE(jet_querydef::match_table_scan(u"SELECT a FROM [A]", t));
    EXPECT_TRUE(jet_querydef::match_relationships(
        u"SELECT szRelationship, szColumn, szObject, szReferencedObject, szReferencedColumn, grbit FROM "
        u"MSysRelationships ORDER BY szRelationship"));
    std::u16string inner;
    EXPECT_TRUE(jet_querydef::match_count(u"select count(*) from (SELECT * FROM [x])", inner));
    EXPECT_EQ(inner, u"SELECT * FROM [x]");
}

TEST(jet_querydef_test, unsupported_and_missing)
{
    auto db = open("nwind.mdb");
    // Any text but a table scan is the query engine's, with its own errors.
    const std::pair<const char16_t*, int32_t> cases[] = {
        {u"SELECT * FROM [Nope]", 3078},
        {u"SELECT a FROM b WHERE c", 3078},
        {u"TRANSFORM Sum(Freight) SELECT ShipVia FROM Orders GROUP BY ShipVia PIVOT EmployeeID", 3251},
        {u"DELETE FROM Orders", 3219},
        {u"hello", 3129},
    };
    for (const auto& [sql, number] : cases)
        EXPECT_EQ(jet_error_of([&] { db->create_querydef(u"", sql)->open_recordset(); }), number) << tk_to_utf8(sql);
}

TEST(jet_recordset_test, values_typed_as_dao_delivers_them)
{
    auto db = open("V2010_test.accdb");
    auto rs = db->create_querydef(u"", u"SELECT * FROM [Table1]")->open_recordset(2, 4);
    ASSERT_FALSE(rs->eof());
    rs->move_next();
    const std::vector<jet_field>& f = rs->fields();
    // Each kind with the text of its exact value.
    const std::tuple<size_t, ole_vartype, const char*> want[] = {{0, VT_BSTR, "abcdefg"},
                                                                 {2, VT_UI1, "2"},
                                                                 {3, VT_I2, "222"},
                                                                 {4, VT_I4, "333333333"},
                                                                 {5, VT_R8, "4.445550000000000e+02"},
                                                                 {6, VT_DATE, "1974-09-21"},
                                                                 {7, VT_CY, "3.5"},
                                                                 {8, VT_BOOL, "1"}};
    for (const auto& [c, vt, text] : want) {
        EXPECT_EQ(f[c].value().get_vt(), vt) << c;
        EXPECT_EQ(f[c].value().to_string(), text) << c;
    }
    EXPECT_EQ(f[5].value().as_r8(), 444.555);
    rs->move_previous();
    EXPECT_EQ(rs->fields()[8].value().as_bool_raw(), 0);
    EXPECT_EQ(rs->fields()[0].value().as_wstring(), u"a");
    rs->move_previous();
    EXPECT_TRUE(rs->bof());
    EXPECT_EQ(jet_error_of([&] { rs->fields(); }), 3021);
    rs->move_first();
    rs->move_next();
    rs->move_next();
    EXPECT_TRUE(rs->eof());
    EXPECT_EQ(jet_error_of([&] { rs->move_next(); }), 3021);
    rs->move_previous();  // from EOF back to the last row
    EXPECT_EQ(rs->fields()[0].value().as_wstring(), u"abcdefg");
    EXPECT_EQ(rs->record_count(), 2);
}

TEST(jet_recordset_test, null_bigint_and_conversions)
{
    auto db = open("nwind.mdb");
    auto rs = db->create_querydef(u"", u"SELECT * FROM [Orders]")->open_recordset();
    rs->move_next();  // the second order has no ShipRegion
    const jet_field& region = field(rs->fields(), u"ShipRegion");
    EXPECT_EQ(region.value().get_vt(), VT_NULL);
    auto big = open("V2016_bigint.accdb");
    auto rb = big->create_querydef(u"", u"SELECT * FROM [Table]")->open_recordset();
    EXPECT_EQ(rb->fields()[1].value().get_vt(), VT_I8);
    EXPECT_EQ(rb->fields()[1].value().as_i8(), 42);

    jet_value g;
    g.kind = jet_kind::guid;
    g.text = u"{guid {61639904-B023-48C3-AC4D-3D429674E902}}";
    EXPECT_EQ(jet_field::to_variant(g).as_wstring(), g.text);
    jet_value d;
    d.kind = jet_kind::decimal;
    d.dec.negative = true;
    d.dec.scale = 4;
    d.dec.lo = 123456789012345678ull;
    ole_variant dv = jet_field::to_variant(d);
    EXPECT_EQ(dv.get_vt(), VT_DECIMAL);
    EXPECT_EQ(dv.as_decimal().scale, 4);
    EXPECT_EQ(dv.as_decimal().lo64, 123456789012345678ull);
    EXPECT_TRUE(dv.as_decimal().is_negative());
    jet_value t;
    t.kind = jet_kind::date;
    t.d = 0.6041666666666666;  // 14:30 with no date
    ole_variant tv = jet_field::to_variant(t);
    EXPECT_EQ(tv.get_vt(), VT_DATE);
    EXPECT_EQ(tv.as_date().year, 1899);
    EXPECT_EQ(tv.as_date().day, 30);
    EXPECT_EQ(tv.as_date().hour, 14);
    EXPECT_EQ(tv.as_date().minute, 30);
    t.d = -1.25;
    EXPECT_EQ(jet_field::to_variant(t).as_date().hour, 6);
    EXPECT_EQ(jet_field::to_variant(t).as_date().day, 29);
    jet_value b;
    b.kind = jet_kind::binary;
    b.bytes = {0x00, 0x01, 0x00, 0xFF};
    EXPECT_EQ(jet_field::to_variant(b).as_bytes(), b.bytes);
    jet_value n;
    EXPECT_EQ(jet_field::to_variant(n).get_vt(), VT_NULL);
}

TEST(jet_recordset_test, relationship_query_and_count)
{
    auto db = open("nwind.mdb");
    auto rs = db->create_querydef(u"", u"SELECT szRelationship, szColumn, szObject, szReferencedObject, "
                                       u"szReferencedColumn, grbit FROM MSysRelationships ORDER BY szRelationship")
                  ->open_recordset(2, 4);
    std::vector<std::u16string> names;
    bool saw_cascade = false;
    while (!rs->eof()) {
        const auto& f = rs->fields();
        ASSERT_EQ(f.size(), 6u);
        names.push_back(f[0].value().as_wstring());
        if (names.back() == u"CustomersOrders") {
            EXPECT_EQ(f[2].value().as_wstring(), u"Orders");
            EXPECT_EQ(f[3].value().as_wstring(), u"Customers");
            EXPECT_EQ(f[1].value().as_wstring(), u"CustomerID");
            EXPECT_EQ(f[5].value().as_i4(), 256);
            saw_cascade = true;
        }
        rs->move_next();
    }
    EXPECT_TRUE(saw_cascade);
    EXPECT_FALSE(names.empty());
    for (size_t i = 1; i < names.size(); ++i) EXPECT_LE(tk_compare_nocase(names[i - 1], names[i]), 0);
    auto count = db->create_querydef(u"", u"select count(*) from (SELECT * FROM [Order Details])")->open_recordset();
    EXPECT_EQ(count->fields()[0].value().as_i4(), 2155);
}

TEST(jet_recordset_test, two_recordsets_of_one_file_interleave)
{
    auto db = open("nwind.mdb");
    auto a = db->create_querydef(u"", u"SELECT * FROM [Order Details]")->open_recordset();
    auto b = db->create_querydef(u"", u"SELECT * FROM [Orders]")->open_recordset();
    int n = 0;
    int32_t last = 0;
    while (!a->eof()) {
        int32_t order = a->fields()[0].value().as_i4();
        EXPECT_GE(order, 10248);
        EXPECT_LE(order, 11077);
        last = order;
        a->move_next();
        if (!b->eof()) b->move_next();
        ++n;
    }
    EXPECT_EQ(n, 2155);
    EXPECT_NE(last, 0);
}

class jet_workgroup_test : public ::testing::Test {
protected:
    // The recorded passwords of the users, recovered from the file itself.
    static std::u16string password_of(const char16_t* user)
    {
        jet_workgroup wg(data_path("workgroup-jet3.mdw"));
        for (const jet_account& a : wg.accounts())
            if (!a.is_group && tk_equal_nocase(a.name, user)) return a.password;
        return u"\x1";
    }
};

TEST_F(jet_workgroup_test, accounts_and_logon)
{
    jet_workgroup wg(data_path("workgroup-jet3.mdw"));
    int users = 0, groups = 0;
    for (const jet_account& a : wg.accounts()) (a.is_group ? groups : users)++;
    EXPECT_GE(users, 2);
    EXPECT_GE(groups, 3);
    auto engine = jet_dbengine::create(3);
    engine->set_system_db(data_path("workgroup-jet3.mdw"));
    std::u16string pw = password_of(u"admin");
    EXPECT_NO_THROW(engine->create_workspace(u"New Workspace", u"ADMIN", pw));
    EXPECT_EQ(jet_error_of([&] { engine->create_workspace(u"New Workspace", u"admin", pw + u"x"); }), 3029);
    EXPECT_EQ(jet_error_of([&] { engine->create_workspace(u"New Workspace", u"nobody", u""); }), 3029);
    EXPECT_EQ(jet_error_of([&] { engine->create_workspace(u"New Workspace", u"Admins", u""); }), 3029);  // a group
    EXPECT_EQ(engine->errors()[0].description, u"Not a valid account name or password.");
}

TEST_F(jet_workgroup_test, system_db_checks)
{
    auto engine = jet_dbengine::create(3);
    EXPECT_TRUE(jet_workgroup::is_workgroup_file(data_path("workgroup-jet3.mdw")));
    EXPECT_FALSE(jet_workgroup::is_workgroup_file(data_path("nwind.mdb")));
    EXPECT_EQ(jet_error_of([&] { engine->set_system_db(data_path("nwind.mdb")); }), 3358);
    EXPECT_EQ(jet_error_of([&] { engine->set_system_db(u"/no/such.mdw"); }), 3028);
    // Without a workgroup only Admin with an empty password logs on.
    EXPECT_NO_THROW(engine->create_workspace(u"w", u"admin", u""));
    EXPECT_EQ(jet_error_of([&] { engine->create_workspace(u"w", u"admin", u"x"); }), 3029);
}

TEST_F(jet_workgroup_test, builtin_image_is_accepted)
{
    jet_test_temp_dir dir;
    const std::string name = dir.file("builtin.mdw");
    jet_test_write_file(name, jet_workgroup::builtin_image());
    auto engine = jet_dbengine::create(3);
    EXPECT_TRUE(jet_workgroup::is_workgroup_file(tk_from_utf8(name)));
    EXPECT_NO_THROW(engine->set_system_db(tk_from_utf8(name)));
    EXPECT_NO_THROW(engine->create_workspace(u"w", u"Admin", u""));
    EXPECT_EQ(jet_error_of([&] { engine->create_workspace(u"w", u"Admin", u"pw"); }), 3029);
    EXPECT_NO_THROW(engine->open_database(data_path("V2000_test.mdb"), false, true, u""));
}

}  // namespace
