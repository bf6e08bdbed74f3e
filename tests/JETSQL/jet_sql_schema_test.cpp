// The schema of query results (names and DAO types), the kinds of the
// values delivered, and DAO's errors for statements that do not compile.
#include <gtest/gtest.h>

#include <memory>

#include "jet_sql_engine.h"
#include "jet_sql_error.h"
#include "jet_sql_test_source.h"
#include "jet_sql_test_util.h"

namespace {

class JetSqlSchema : public jet_sql_northwind_test {
protected:
    std::vector<jet_sql_result_column> schema(const std::u16string& sql) { return engine_->test(sql).columns; }

    // The DAO number of the error the statement raises, 0 if none.
    int32_t error_of(const std::u16string& sql, std::u16string* text = nullptr)
    {
        try {
            auto r = engine_->open(sql);
            while (r->next()) {}
        } catch (const jet_error& e) {
            if (text != nullptr) *text = e.description;
            EXPECT_EQ(e.code, 0x10000u + static_cast<uint32_t>(e.number));
            return e.number;
        }
        return 0;
    }
};

TEST_F(JetSqlSchema, NamesFollowDao)
{
    auto cols = schema(u"SELECT OrderID, Freight * 2, [ShipName] AS Ship, Count(*) FROM Orders GROUP BY OrderID, "
                       u"Freight, ShipName");
    ASSERT_EQ(cols.size(), 4u);
    EXPECT_EQ(cols[0].name, u"OrderID");
    EXPECT_EQ(cols[1].name, u"Expr1000");
    EXPECT_EQ(cols[2].name, u"Ship");
    EXPECT_EQ(cols[3].name, u"Expr1001");
    // Same column name from two tables: qualified as Access does.
    cols =
        schema(u"SELECT Orders.CustomerID, Customers.CustomerID, orders.shipcity FROM Orders INNER JOIN Customers ON "
               u"Orders.CustomerID = Customers.CustomerID");
    EXPECT_EQ(cols[0].name, u"Orders.CustomerID");
    EXPECT_EQ(cols[1].name, u"Customers.CustomerID");
    EXPECT_EQ(cols[2].name, u"ShipCity");  // the column's own spelling
    cols = schema(u"SELECT * FROM Shippers");
    ASSERT_EQ(cols.size(), 3u);
    EXPECT_EQ(cols[1].name, u"CompanyName");
}

TEST_F(JetSqlSchema, TypesOfColumnsAndExpressions)
{
    auto cols =
        schema(u"SELECT CustomerID, OrderDate, Freight, EmployeeID, Freight * 2, EmployeeID / 2, EmployeeID \\ 2, "
               u"ShipName & 'x', OrderDate + 1, OrderDate - OrderDate, Freight > 5, Year(OrderDate), "
               u"DateAdd('d', 1, OrderDate), CCur(1), Left(ShipName, 2) FROM Orders");
    const int32_t expected[] = {jet_dao_text,    jet_dao_date,    jet_dao_currency, jet_dao_long,     jet_dao_currency,
                                jet_dao_double,  jet_dao_long,    jet_dao_text,     jet_dao_date,     jet_dao_double,
                                jet_dao_boolean, jet_dao_integer, jet_dao_date,     jet_dao_currency, jet_dao_text};
    ASSERT_EQ(cols.size(), std::size(expected));
    for (size_t i = 0; i < cols.size(); ++i) EXPECT_EQ(cols[i].dao_type, expected[i]) << i;
    EXPECT_EQ(cols[0].size, 5);    // the source column's size
    EXPECT_EQ(cols[7].size, 255);  // text expressions: Text 255
    cols = schema(u"SELECT Count(*), Sum(Quantity), Avg(Quantity), Sum(UnitPrice), Max(Discount), StDev(Quantity), "
                  u"First(ProductID) FROM [Order Details]");
    const int32_t agg[] = {jet_dao_long,   jet_dao_long,   jet_dao_double, jet_dao_currency,
                           jet_dao_single, jet_dao_double, jet_dao_long};
    for (size_t i = 0; i < cols.size(); ++i) EXPECT_EQ(cols[i].dao_type, agg[i]) << i;
    cols = schema(u"SELECT Description FROM Categories UNION SELECT CategoryName FROM Categories");
    EXPECT_EQ(cols[0].dao_type, jet_dao_memo);
}

TEST_F(JetSqlSchema, ValuesHaveTheKindsOfTheSource)
{
    auto r = engine_->open(u"SELECT Orders.OrderID, OrderDate, Freight, ShipRegion, ShipName, Freight > 10, "
                           u"[Order Details].Quantity, [Order Details].Discount, Count(*) AS N "
                           u"FROM Orders INNER JOIN [Order Details] ON Orders.OrderID = [Order Details].OrderID "
                           u"WHERE Orders.OrderID = 10248 AND ProductID = 11 "
                           u"GROUP BY Orders.OrderID, OrderDate, Freight, ShipRegion, ShipName, Quantity, Discount");
    ASSERT_TRUE(r->next());
    EXPECT_EQ(r->value(0).get_vt(), VT_I4);
    EXPECT_EQ(r->value(1).get_vt(), VT_DATE);
    EXPECT_EQ(jet_canon(r->value(1)), "1994-08-04 00:00:00");
    EXPECT_EQ(r->value(2).get_vt(), VT_CY);
    EXPECT_EQ(r->value(2).as_cy().int64, 323800);  // 32.38 exactly
    EXPECT_EQ(r->value(3).get_vt(), VT_NULL);
    EXPECT_EQ(r->value(4).get_vt(), VT_BSTR);
    EXPECT_EQ(r->value(5).get_vt(), VT_BOOL);
    EXPECT_EQ(r->value(5).as_bool_raw(), 0xFFFF);
    EXPECT_EQ(r->value(6).get_vt(), VT_I2);
    EXPECT_EQ(r->value(7).get_vt(), VT_R4);
    EXPECT_EQ(r->value(8).get_vt(), VT_I4);
    EXPECT_FALSE(r->next());
    auto pic = engine_->open(u"SELECT Picture FROM Categories WHERE CategoryID = 1");
    ASSERT_TRUE(pic->next());
    EXPECT_EQ(pic->value(0).get_vt(), VT_ARRAY_UI1);
    EXPECT_GT(pic->value(0).as_bytes().size(), 1000u);
}

TEST_F(JetSqlSchema, CurrencySumsAreExact)
{
    // 0.1 added 1,000 times as doubles drifts; as Currency it is 100.
    auto r = engine_->open(u"SELECT Sum(CCur(0.1)), Sum(CCur(0.1)) * 1 FROM [Order Details] WHERE OrderID < 10600");
    ASSERT_TRUE(r->next());
    EXPECT_EQ(r->value(0).get_vt(), VT_CY);
    jet_rows n = jet_run(*engine_, u"SELECT Count(*) FROM [Order Details] WHERE OrderID < 10600");
    EXPECT_EQ(r->value(0).as_cy().int64, std::stoll(n[0][0]) * 1000);
    jet_rows sums = jet_run(*engine_, u"SELECT Sum(Freight) FROM Orders");
    jet_rows ref = jet_reference(source_->reference(),
                                 "SELECT sum(CAST(round(Freight * 10000) AS INTEGER)) / 10000.0 FROM Orders");
    EXPECT_EQ(sums, ref);
}

// DAO's error number for each statement (0: it runs), and how its text
// reads where that matters.
TEST_F(JetSqlSchema, ErrorsOfStatements)
{
    enum class text_is { unchecked, equal, prefix, inside };
    const struct {
        const char16_t* sql;
        int32_t number;
        text_is how = text_is::unchecked;
        const char16_t* text = nullptr;
    } rows[] = {
        // Unknown tables, names and functions.
        {u"SELECT * FROM NoSuchTable", jet_err_input_table_not_found, text_is::inside, u"'NoSuchTable'"},
        {u"SELECT Foo, Bar, foo FROM Orders", jet_err_too_few_parameters, text_is::equal,
         u"Too few parameters. Expected 2."},
        {u"SELECT OrderID FROM Orders WHERE Orders.Nothing = 1", jet_err_too_few_parameters, text_is::equal,
         u"Too few parameters. Expected 1."},
        {u"SELECT CustomerID FROM Orders, Customers", jet_err_ambiguous_field},
        {u"SELECT Frobnicate(OrderID) FROM Orders", jet_err_undefined_function, text_is::equal,
         u"Undefined function 'Frobnicate' in expression."},
        // Syntax errors.
        {u"SELECT OrderID Freight FROM Orders", jet_err_query_expression, text_is::equal,
         u"Syntax error (missing operator) in query expression 'OrderID Freight'."},
        {u"SELECT * FROM Orders WHERE ShipName = 'abc", jet_err_query_expression, text_is::prefix,
         u"Syntax error in string in query expression"},
        {u"SELECT * FROM Orders WHERE OrderDate > #13/45/2000#", jet_err_query_expression, text_is::prefix,
         u"Syntax error in date in query expression"},
        {u"SELECT * FROM Orders INNER JOIN Customers", jet_err_from_syntax},
        {u"SELECT * FROM Orders a b c", jet_err_from_syntax},
        {u"SELECT * FROM Orders; garbage", jet_err_trailing_characters},
        {u"SELECT FROM Orders", jet_err_query_expression},
        {u"SELECT * FROM Orders ORDER OrderID", jet_err_order_by_syntax},
        {u"SELECT * Orders", jet_err_query_expression},
        {u"SELECT Left(ShipName) FROM Orders", jet_err_query_expression},
        // Only a SELECT runs.
        {u"DELETE FROM Orders", jet_err_illegal_operation},
        {u"UPDATE Orders SET Freight = 0", jet_err_illegal_operation},
        {u"SELECT * INTO Copy FROM Orders", jet_err_illegal_operation},
        {u"DROP TABLE Orders", jet_err_illegal_operation},
        {u"TRANSFORM Sum(Freight) SELECT ShipCountry FROM Orders GROUP BY ShipCountry PIVOT ShipVia",
         jet_err_not_supported},
        {u"PARAMETERS [From] DateTime, [To] DateTime; SELECT * FROM Orders WHERE OrderDate Between [From] And [To]",
         jet_err_too_few_parameters, text_is::equal, u"Too few parameters. Expected 2."},
        {u"HELLO", jet_err_sql_syntax},
        {u"", jet_err_sql_syntax},
        // The statement separator of SQLite is no way in either.
        {u"SELECT 1; DELETE FROM Orders", jet_err_trailing_characters},
        {u"SELECT Count(*) FROM Orders", 0},
        // Shapes: unions, subqueries, groups and types.
        {u"SELECT OrderID FROM Orders UNION SELECT OrderID, CustomerID FROM Orders", jet_err_union_columns},
        {u"SELECT * FROM Orders WHERE OrderID = (SELECT OrderID, CustomerID FROM Orders)", jet_err_subquery_fields},
        {u"SELECT ShipCountry, ShipCity, Count(*) FROM Orders GROUP BY ShipCountry", jet_err_not_in_aggregate,
         text_is::inside, u"'ShipCity'"},
        {u"SELECT OrderID, Count(*) FROM Orders", jet_err_not_in_aggregate},
        {u"SELECT ShipCountry & '!', Count(*) FROM Orders GROUP BY ShipCountry", 0},
        {u"SELECT * FROM Orders WHERE CustomerID = 5", jet_err_type_mismatch},
        {u"SELECT * FROM Orders WHERE OrderID > '10300'", jet_err_type_mismatch},
        {u"SELECT * FROM Orders WHERE CStr(OrderID) > '10300' AND Val(Nz(ShipPostalCode, '0')) > 5", 0},
        // Run-time errors of functions carry VBA's numbers.
        {u"SELECT 1 / 0", 11},
        {u"SELECT CInt(40000)", 6},
        {u"SELECT CDate('not a date')", 13},
        {u"SELECT Mid('abc', 0)", 5},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(tk_to_utf8(r.sql));
        std::u16string text;
        EXPECT_EQ(error_of(r.sql, &text), r.number);
        switch (r.how) {
        case text_is::unchecked: break;
        case text_is::equal: EXPECT_EQ(text, r.text); break;
        case text_is::prefix: EXPECT_TRUE(text.starts_with(r.text)) << tk_to_utf8(text); break;
        case text_is::inside: EXPECT_NE(text.find(r.text), std::u16string::npos) << tk_to_utf8(text); break;
        }
    }
}

TEST_F(JetSqlSchema, HostileTextIsRefusedCleanly)
{
    std::u16string deep(100000, u'(');
    EXPECT_EQ(error_of(u"SELECT " + deep + u"1"), jet_err_expression_too_complex);
    EXPECT_EQ(error_of(u"SELECT " + std::u16string(5000, u'-') + u"1"), jet_err_expression_too_complex);
    EXPECT_EQ(error_of(u"SELECT 1e999"), jet_err_query_expression);
    EXPECT_EQ(error_of(u"SELECT &H123456789ABCDEF01"), jet_err_query_expression);
    EXPECT_EQ(error_of(u"SELECT TOP 99999999999 * FROM Orders"), jet_err_select_syntax);
    // Quotes in names and texts stay inside their literal.
    EXPECT_EQ(error_of(u"SELECT * FROM [Orders\" where 1=1 --]"), jet_err_input_table_not_found);
    jet_rows r = jet_run(*engine_, u"SELECT 'a'' ); DROP TABLE Orders; --' AS [x\"y]");
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0][0], "a' ); DROP TABLE Orders; --");
    EXPECT_EQ(schema(u"SELECT 1 AS [x\"y]")[0].name, u"x\"y");
    EXPECT_EQ(error_of(u"SELECT Count(*) FROM Orders"), 0);
}

TEST_F(JetSqlSchema, TestQueryResolvesWithoutReading)
{
    int before = source_->table_reads;
    EXPECT_EQ(schema(u"SELECT Employees.LastName FROM Employees").size(), 1u);
    EXPECT_THROW(engine_->test(u"SELECT Nope FROM Employees"), jet_error);
    EXPECT_THROW(engine_->test(u"SELECT * FROM Nowhere"), jet_error);
    EXPECT_EQ(source_->table_reads, before);
}

}  // namespace
