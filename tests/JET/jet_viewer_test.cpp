// tlvinspect's document: it parses as JSON and holds the component's view.
#include <gtest/gtest.h>

#include <sstream>

#include "jet_error.h"
#include "jet_json.h"
#include "jet_test_util.h"
#include "jet_viewer.h"
#include "tk_wstring.h"

namespace {

jet_json inspect(const char* file, const char16_t* password = u"", const char16_t* table = u"", bool rows = true)
{
    jet_inspect_options o;
    o.file = tk_from_utf8(jet_test_data(file));
    o.password = password;
    o.table = table;
    o.rows = rows;
    return jet_json::parse(jet_test_inspect(o));
}

TEST(jet_viewer_test, text_forms)
{
    EXPECT_EQ(jet_viewer::shortest(0.1), "0.1");
    EXPECT_EQ(jet_viewer::shortest(1.7976931348623157e308), "1.7976931348623157e+308");
    EXPECT_EQ(jet_viewer::shortest(0.1f), "0.1");
    EXPECT_EQ(jet_viewer::json_string(u"a\"b\\c\n\U0001F600"), "\"a\\\"b\\\\c\\u000a\xF0\x9F\x98\x80\"");
    EXPECT_EQ(jet_viewer::neutral_kind(20), 14);  // Decimal stays exact
    EXPECT_EQ(jet_viewer::neutral_kind(16), 20);  // BigInt as VT_I8
    EXPECT_EQ(jet_viewer::neutral_kind(8), 7);
    EXPECT_EQ(jet_viewer::neutral_kind(15), 65);  // GUID as binary kind
}

TEST(jet_viewer_test, document_of_real_files)
{
    jet_json d = inspect("V2016_bigint.accdb");
    EXPECT_EQ(d.at("format").str, "ACE16");
    const jet_json& t = d.at("tables").arr.at(0);
    EXPECT_EQ(t.at("name").str, "Table");
    EXPECT_EQ(t.at("columns").arr.at(0).at("auto_increment").b, true);
    EXPECT_EQ(t.at("rows").arr.at(0).arr.at(1).str, "42");

    jet_json n = inspect("nwind.mdb", u"", u"Products", false);
    ASSERT_EQ(n.at("tables").arr.size(), 1u);
    EXPECT_EQ(n.at("tables").arr[0].get("rows"), nullptr);
    EXPECT_FALSE(n.at("relationships").arr.empty());

    jet_json p = inspect("V2010_with-password.accdb", u"password");
    EXPECT_EQ(p.at("tables").arr.size(), 1u);
    EXPECT_THROW(inspect("V2010_with-password.accdb", u"nope"), jet_error);
    EXPECT_THROW(inspect("nwind.mdb", u"", u"NoSuchTable"), jet_error);
}

// --query: the statement's result as a table, in the same value forms.
TEST(jet_viewer_test, query_result_as_a_table)
{
    jet_inspect_options o;
    o.file = tk_from_utf8(jet_test_data("nwind.mdb"));
    o.query = u"SELECT CategoryName, Count(*), Max(UnitPrice) AS Top, Min(Discontinued) FROM Categories INNER JOIN "
              u"Products ON Categories.CategoryID = Products.CategoryID GROUP BY CategoryName ORDER BY CategoryName";
    jet_json d = jet_json::parse(jet_test_inspect(o));
    EXPECT_EQ(d.at("format").str, "Jet3");
    EXPECT_EQ(d.at("record_count").num, 8);
    const auto& cols = d.at("columns").arr;
    ASSERT_EQ(cols.size(), 4u);
    EXPECT_EQ(cols[0].at("name").str, "CategoryName");
    EXPECT_EQ(cols[0].at("dao_type").num, 10);
    EXPECT_EQ(cols[0].at("size").num, 15);
    EXPECT_EQ(cols[1].at("name").str, "Expr1000");
    EXPECT_EQ(cols[1].at("kind").num, 3);  // VT_I4
    EXPECT_EQ(cols[2].at("name").str, "Top");
    EXPECT_EQ(cols[2].at("dao_type").num, 5);
    const auto& rows = d.at("rows").arr;
    ASSERT_EQ(rows.size(), 8u);
    EXPECT_EQ(rows[0].arr.at(0).str, "Beverages");
    EXPECT_EQ(rows[0].arr.at(1).num, 12);
    EXPECT_EQ(rows[0].arr.at(2).str, "263.5000");  // Currency exact, four places
    EXPECT_EQ(rows[0].arr.at(3).kind, jet_json::type::boolean);

    o.rows = false;
    EXPECT_EQ(jet_json::parse(jet_test_inspect(o)).get("rows"), nullptr);

    o.query = u"SELECT Nothing FROM Orders";
    EXPECT_EQ(jet_error_of([&] { jet_test_inspect(o); }), 3061);
}

// --test-query: "ok", or the DAO error of the statement.
TEST(jet_viewer_test, test_query_compiles_only)
{
    jet_inspect_options o;
    o.file = tk_from_utf8(jet_test_data("nwind.mdb"));
    o.test_query = u"SELECT * FROM Orders INNER JOIN Customers ON Orders.CustomerID = Customers.CustomerID";
    EXPECT_EQ(jet_test_inspect(o), "ok\n");
    const std::pair<const char16_t*, int32_t> failing[] = {{u"SELECT * FROM Nope", 3078},
                                                           {u"SELECT * FROM", 3131},
                                                           {u"DELETE FROM Orders", 3219},
                                                           {u"SELECT * FROM Orders; x", 3142}};
    for (const auto& [sql, number] : failing) {
        o.test_query = sql;
        std::ostringstream ignored;
        EXPECT_EQ(jet_error_of([&] { jet_viewer::inspect(o, ignored); }), number) << tk_to_utf8(sql);
        EXPECT_TRUE(ignored.str().empty());
    }
}

}  // namespace
