// The query engine over the Access component itself (jet_file, the
// catalogue and the streaming table reader): the same Access queries must
// give what they give over mdb-export's copy of the tables, the
// relationship query must give the rows of MSysRelationships, and saved
// queries run as views.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "jet_catalog.h"
#include "jet_database.h"
#include "jet_file.h"
#include "jet_querydef.h"
#include "jet_recordset.h"
#include "jet_sql_engine.h"
#include "jet_sql_error.h"
#include "jet_sql_file_source.h"
#include "jet_sql_row_source.h"
#include "jet_sql_saved_query.h"
#include "jet_sql_session.h"
#include "jet_sql_test_source.h"
#include "jet_sql_test_util.h"
#include "jet_test_util.h"

namespace {

// A file's tables as the query engine's source, and the engine over them.
struct file_engine {
    explicit file_engine(const char* name) : db(tk_from_utf8(jet_test_data(name)), u"", false, true) {}
    jet_database db;
    jet_sql_file_source source{db.file(), db.catalog()};
    jet_sql_engine engine{source};
};

class JetSqlFile : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        file_ = std::make_unique<jet_file>(tk_from_utf8(jet_test_data("nwind.mdb")), u"");
        catalog_ = std::make_unique<jet_catalog>(*file_);
        exported_ = std::make_unique<jet_sql_test_source>(jet_test_data("nwind.mdb"));
    }
    static void TearDownTestSuite()
    {
        exported_.reset();
        catalog_.reset();
        file_.reset();
    }

    static inline std::unique_ptr<jet_file> file_;
    static inline std::unique_ptr<jet_catalog> catalog_;
    static inline std::unique_ptr<jet_sql_test_source> exported_;
    jet_sql_file_source source_{*file_, *catalog_};
    jet_sql_engine engine_{source_};
    jet_sql_engine reference_engine_{*exported_};
};

TEST_F(JetSqlFile, SameResultsAsOverTheExportedTables)
{
    const char16_t* queries[] = {
        u"SELECT * FROM Orders ORDER BY OrderID",
        u"SELECT * FROM [Order Details] ORDER BY OrderID, ProductID",
        u"SELECT CustomerID, CompanyName, Region FROM Customers ORDER BY CustomerID",
        u"SELECT ProductName, UnitPrice, Discontinued FROM Products WHERE UnitPrice > 30 ORDER BY ProductID",
        u"SELECT Employees.LastName, Count(*) AS N, Sum(Freight) FROM Employees INNER JOIN Orders ON "
        u"Employees.EmployeeID = Orders.EmployeeID GROUP BY Employees.LastName ORDER BY Employees.LastName",
        u"SELECT Format(BirthDate, 'yyyy-mm-dd'), Notes FROM Employees ORDER BY EmployeeID",
        u"SELECT * FROM [Umsätze] WHERE Freight Between 10 And 20 ORDER BY OrderID",
    };
    for (const char16_t* q : queries) {
        jet_rows a = jet_run(engine_, q);
        jet_rows b = jet_run(reference_engine_, q);
        EXPECT_FALSE(a.empty()) << tk_to_utf8(q);
        EXPECT_EQ(a, b) << tk_to_utf8(q);
    }
}

TEST_F(JetSqlFile, RelationshipQueryGivesMSysRelationships)
{
    jet_rows rows =
        jet_run(engine_, u"SELECT szRelationship, szColumn, szObject, szReferencedObject, szReferencedColumn, "
                         u"grbit FROM MSysRelationships ORDER BY szRelationship");
    std::vector<jet_relationship> rels = catalog_->relationships();
    ASSERT_EQ(rows.size(), rels.size());
    ASSERT_GT(rows.size(), 5u);
    for (size_t i = 0; i + 1 < rows.size(); ++i)
        EXPECT_LE(tk_compare_nocase(tk_from_utf8(rows[i][0]), tk_from_utf8(rows[i + 1][0])), 0);
    for (const jet_relationship& r : rels) {
        std::vector<std::string> want = {tk_to_utf8(r.name),
                                         tk_to_utf8(r.column),
                                         tk_to_utf8(r.object),
                                         tk_to_utf8(r.referenced_object),
                                         tk_to_utf8(r.referenced_column),
                                         std::to_string(r.grbit)};
        EXPECT_NE(std::find(rows.begin(), rows.end(), want), rows.end()) << tk_to_utf8(r.name);
    }
}

TEST_F(JetSqlFile, SavedQueriesRunAsViews)
{
    // "Ten Most Expensive Products": TOP 10 DISTINCTROW ... ORDER BY UnitPrice DESC.
    jet_rows top = jet_run(engine_, u"SELECT * FROM [Ten Most Expensive Products]");
    jet_rows want = jet_reference(exported_->reference(),
                                  "SELECT ProductName, UnitPrice FROM Products ORDER BY UnitPrice DESC LIMIT 10");
    EXPECT_EQ(top, want);
    auto cols = engine_.test(u"SELECT * FROM [Ten Most Expensive Products]").columns;
    ASSERT_EQ(cols.size(), 2u);
    EXPECT_EQ(cols[0].name, u"TenMostExpensiveProducts");
    EXPECT_EQ(cols[1].dao_type, jet_dao_currency);
    // A saved query that reads form controls takes them as parameters.
    EXPECT_EQ(jet_error_of([&] { engine_.open(u"SELECT * FROM [Sales by Year]"); }), jet_err_too_few_parameters);
    jet_rows quarterly = jet_run(engine_, u"SELECT Count(*) FROM [Quarterly Orders]");
    jet_rows expected = jet_reference(
        exported_->reference(), "SELECT count(*) FROM (SELECT DISTINCT c.CustomerID, c.CompanyName, c.City, c.Country "
                                "FROM Orders o LEFT JOIN Customers c ON c.CustomerID = o.CustomerID WHERE "
                                "o.OrderDate BETWEEN '1995-01-01' AND '1995-12-31 00:00:00')");
    EXPECT_EQ(quarterly, expected);
}

TEST_F(JetSqlFile, EverySavedSelectQueryCompilesOrAsksForParameters)
{
    int compiled = 0;
    for (const char16_t* name : {u"Alphabetical List of Products", u"Current Product List", u"Invoices",
                                 u"Order Details Extended", u"Order Subtotals", u"Products by Category",
                                 u"Products Above Average Price", u"Customers and Suppliers by City"}) {
        const int32_t e = jet_error_of([&] { engine_.test(u"SELECT * FROM [" + std::u16string(name) + u"]"); });
        if (e == 0)
            ++compiled;
        else
            EXPECT_TRUE(e == jet_err_too_few_parameters || e == jet_err_input_table_not_found)
                << tk_to_utf8(name) << ": " << e;
    }
    EXPECT_GE(compiled, 5);
}

TEST_F(JetSqlFile, QueryResultsAsARecordset)
{
    const std::u16string sql = u"SELECT OrderID, Freight, OrderDate, ShipRegion, Freight > 50 AS Heavy, "
                               u"CDec(Freight) AS Exact FROM Orders WHERE OrderID < 10255 ORDER BY OrderID DESC";
    jet_recordset rs(std::make_unique<jet_sql_row_source>(engine_, sql));
    EXPECT_EQ(rs.record_count(), 7);
    ASSERT_FALSE(rs.eof());
    const auto& f = rs.fields();
    ASSERT_EQ(f.size(), 6u);
    EXPECT_EQ(f[0].name(), u"OrderID");
    EXPECT_EQ(f[1].type(), jet_dao_currency);
    EXPECT_EQ(f[0].value().as_i4(), 10254);
    EXPECT_EQ(f[1].value().get_vt(), VT_CY);
    EXPECT_EQ(f[1].value().as_cy().int64, 229800);  // 22.98
    EXPECT_EQ(f[2].value().get_vt(), VT_DATE);
    EXPECT_EQ(f[3].value().get_vt(), VT_NULL);
    EXPECT_EQ(f[4].value().get_vt(), VT_BOOL);
    EXPECT_FALSE(f[4].value().as_bool());
    EXPECT_EQ(f[5].value().get_vt(), VT_DECIMAL);
    EXPECT_EQ(ole_dec_to_str(f[5].value().as_decimal()), "22.98");
    int rows = 1;
    for (rs.move_next(); !rs.eof(); rs.move_next()) ++rows;
    EXPECT_EQ(rows, 7);
    EXPECT_THROW(jet_sql_row_source(engine_, u"SELECT * FROM Missing"), jet_error);
}

TEST(JetSqlSavedQuery, RebuildsJoinsFlagsAndClauses)
{
    std::vector<jet_sql_query_row> rows = {
        {1, 1, u"", u"", u""},
        {3, 0x10 | 0x02, u"5", u"", u""},
        {5, 0, u"Orders", u"O", u""},
        {5, 0, u"Customers", u"", u""},
        {5, 0, u"Shippers", u"", u""},
        {6, 0, u"Who", u"", u"Customers.CompanyName"},
        {6, 0, u"", u"", u"Count(*)"},
        {7, 2, u"Customers", u"O", u"Customers.CustomerID = O.CustomerID"},
        {7, 2, u"Customers", u"O", u"Customers.Country = O.ShipCountry"},
        {8, 0, u"", u"", u"O.Freight > 10"},
        {9, 0, u"", u"", u"Customers.CompanyName"},
        {11, 0, u"D", u"", u"Count(*)"},
    };
    std::u16string sql;
    ASSERT_TRUE(jet_sql_rebuild_query(rows, sql));
    EXPECT_EQ(sql, u"SELECT DISTINCT TOP 5 Customers.CompanyName AS [Who], Count(*) FROM ([Customers] LEFT JOIN "
                   u"[Orders] AS [O] ON Customers.CustomerID = O.CustomerID AND Customers.Country = O.ShipCountry), "
                   u"[Shippers] WHERE O.Freight > 10 GROUP BY Customers.CompanyName ORDER BY Count(*) DESC");
    rows[0].flag = 4;  // an update query
    EXPECT_FALSE(jet_sql_rebuild_query(rows, sql));
}

TEST(JetSqlSavedQuery, StarPercentAndWhatCannotBeRebuilt)
{
    std::u16string sql;
    std::vector<jet_sql_query_row> rows = {
        {1, 1, u"", u"", u""},
        {3, 0x01 | 0x10 | 0x20 | 0x08, u"25", u"", u""},
        {5, 0, u"Order Details", u"", u""},
        {6, 0, u"Total", u"", u"[UnitPrice]*[Quantity]"},
        {10, 0, u"", u"", u"Count(*) > 1"},
        {11, 0, u"", u"", u"OrderID"},
    };
    ASSERT_TRUE(jet_sql_rebuild_query(rows, sql));
    EXPECT_EQ(sql, u"SELECT DISTINCTROW TOP 25 PERCENT *, [UnitPrice]*[Quantity] AS [Total] FROM [Order Details] "
                   u"HAVING Count(*) > 1 ORDER BY OrderID");
    auto without = [&](int attribute) {
        std::vector<jet_sql_query_row> r;
        for (const auto& x : rows)
            if (x.attribute != attribute) r.push_back(x);
        return r;
    };
    EXPECT_FALSE(jet_sql_rebuild_query(without(1), sql));  // no query type
    EXPECT_FALSE(jet_sql_rebuild_query(without(5), sql));  // no table
    std::vector<jet_sql_query_row> remote = rows;
    remote.push_back({4, 0, u"C:\\other.mdb", u"", u""});
    EXPECT_FALSE(jet_sql_rebuild_query(remote, sql));
    std::vector<jet_sql_query_row> other_db = rows;
    other_db[2].expression = u"C:\\other.mdb";
    EXPECT_FALSE(jet_sql_rebuild_query(other_db, sql));
    std::vector<jet_sql_query_row> bad_join = rows;
    bad_join.push_back({7, 1, u"Order Details", u"Nowhere", u"a = b"});
    EXPECT_FALSE(jet_sql_rebuild_query(bad_join, sql));
    rows[1].flag = 0;
    rows.erase(rows.begin() + 3);
    EXPECT_FALSE(jet_sql_rebuild_query(rows, sql));  // no column at all
}

// Saved queries of every kind (queryTestV2000.mdb): the SELECT one runs as
// a view, the others are no tables to read from.
TEST(JetSqlSavedQueries, OnlySelectQueriesAreViews)
{
    file_engine f("queryTestV2000.mdb");
    std::u16string name, sql;
    ASSERT_TRUE(f.source.find_query(u"selectquery", name, sql));
    EXPECT_EQ(name, u"SelectQuery");
    EXPECT_EQ(sql.rfind(u"SELECT DISTINCT Table1.*, Table2.col1", 0), 0u) << tk_to_utf8(sql);
    EXPECT_EQ(jet_run(f.engine, u"SELECT * FROM SelectQuery"), jet_run(f.engine, sql));
    for (const char16_t* other : {u"UpdateQuery", u"AppendQuery", u"DeleteQuery", u"MakeTableQuery", u"CrosstabQuery",
                                  u"UnionQuery", u"PassthroughQuery", u"DataDefinitionQuery"}) {
        EXPECT_EQ(jet_error_of([&] { f.engine.test(u"SELECT * FROM [" + std::u16string(other) + u"]"); }),
                  jet_err_input_table_not_found)
            << tk_to_utf8(other);
    }
}

// Every table of every plain test file, read through the engine, gives the
// values the component's own table scan gives, of the same kinds and in
// the same order.
void expect_same_value(const ole_variant& mine, const ole_variant& scan, const std::string& where)
{
    ASSERT_EQ(mine.get_vt(), scan.get_vt()) << where;
    if (mine.get_vt() == VT_DECIMAL) {
        // Decimals travel through the engine exactly, scale included.
        EXPECT_EQ(ole_dec_compare(mine.as_decimal(), scan.as_decimal()), 0) << where;
        EXPECT_EQ(mine.as_decimal().scale, scan.as_decimal().scale) << where;
        return;
    }
    EXPECT_EQ(mine.to_string(), scan.to_string()) << where;
}

TEST(JetSqlEveryTable, SameValuesAsTheTableScan)
{
    const char* files[] = {"nwind.mdb",
                           "V1997_test.mdb",
                           "V2000_test.mdb",
                           "V2003_test.mdb",
                           "V2007_test.accdb",
                           "V2010_test.accdb",
                           "V2016_bigint.accdb",
                           "V2016_currency.accdb",
                           "V2016_longtext.accdb",
                           "DateTestDatabase.mdb",
                           "fixedNumericTestV2000.mdb",
                           "testPromotionV2000.mdb"};
    int tables = 0;
    for (const char* name : files) {
        file_engine f(name);
        jet_database& db = f.db;
        for (const jet_catalog_entry& e : db.catalog().tables()) {
            if (e.is_system() || e.is_linked()) continue;
            ++tables;
            const std::u16string sql = u"SELECT * FROM [" + e.name + u"]";
            auto mine = f.engine.open(sql);
            auto scan = db.create_querydef(u"", sql)->open_recordset();
            int64_t row = 0;
            for (; !scan->eof(); scan->move_next()) {
                ASSERT_TRUE(mine->next()) << name << " " << tk_to_utf8(e.name);
                const auto& fields = scan->fields();
                ASSERT_EQ(fields.size(), mine->columns().size());
                for (size_t c = 0; c < fields.size(); ++c)
                    expect_same_value(mine->value(c), fields[c].value(),
                                      std::string(name) + " " + tk_to_utf8(e.name) + " row " + std::to_string(row) +
                                          " " + tk_to_utf8(fields[c].name()));
                ++row;
            }
            EXPECT_FALSE(mine->next()) << name << " " << tk_to_utf8(e.name);
        }
    }
    EXPECT_GT(tables, 10);
}

// The session a database keeps: Access statements as Recordsets, and the
// compile-only test that reads nothing.
TEST(JetSqlSession, RecordsetsAndTestsOverADatabase)
{
    file_engine f("nwind.mdb");
    jet_sql_session session(f.db);
    jet_recordset rs(
        session.open(u"SELECT CategoryName, Count(*) AS N FROM Categories INNER JOIN Products ON "
                     u"Categories.CategoryID = Products.CategoryID GROUP BY CategoryName ORDER BY CategoryName"));
    EXPECT_EQ(rs.record_count(), 8);
    ASSERT_FALSE(rs.eof());
    EXPECT_EQ(rs.fields()[0].value().as_wstring(), u"Beverages");
    EXPECT_EQ(rs.fields()[1].value().as_i4(), 12);
    EXPECT_NO_THROW(session.test(u"SELECT * FROM Suppliers WHERE Country = 'Japan'"));
    EXPECT_FALSE(session.engine().is_loaded(u"Suppliers"));
    EXPECT_THROW(session.test(u"SELECT * FROM Suppliers WHERE Nonsense = 1"), jet_error);
}

TEST(JetSqlFileDecimal, AggregatesOfARealDecimalColumnStayDecimal)
{
    // fixedNumericTestV2000.mdb: one row of Decimal(18, 0) values 1, 0, 0, 4, -1, 1.
    file_engine f("fixedNumericTestV2000.mdb");
    jet_sql_row_source rs(f.engine,
                          u"SELECT Max(col5), Min(col6), Sum(col7), col2 FROM test GROUP BY col2 ORDER BY col2");
    std::vector<jet_value> row;
    ASSERT_TRUE(rs.next(row));
    const char* expected[] = {"4", "-1", "1", "1"};
    for (size_t c = 0; c < 4; ++c) {
        ASSERT_EQ(row[c].kind, jet_kind::decimal) << c;
        EXPECT_EQ(jet_decimal_text(row[c].dec), expected[c]) << c;
    }
    EXPECT_FALSE(rs.next(row));
}

// Inner joins of tables named once: the largest is streamed as the outer
// loop and only the others are copied; anything else copies every table.
// The results are those of the engine that copies everything.
TEST(JetSqlJoinPlan, largest_table_of_an_inner_join_is_streamed)
{
    const std::string path = jet_test_data("nwind.mdb");
    jet_file file(tk_from_utf8(path), u"");
    jet_catalog catalog(file);
    jet_sql_test_source exported(path);
    struct plan_case {
        const char16_t* sql;
        bool details_streamed;  // [Order Details] (2155 rows) beside Orders (830)
    };
    const plan_case cases[] = {
        {u"SELECT o.CustomerID, Count(*) AS N, Sum(d.Quantity * d.UnitPrice) AS Amount FROM Orders AS o "
         u"INNER JOIN [Order Details] AS d ON o.OrderID = d.OrderID GROUP BY o.CustomerID ORDER BY o.CustomerID",
         true},
        {u"SELECT d.OrderID, d.ProductID, o.ShipCity FROM [Order Details] AS d, Orders AS o "
         u"WHERE d.OrderID = o.OrderID AND d.Quantity > 50 ORDER BY d.OrderID, d.ProductID",
         true},
        {u"SELECT o.OrderID, Count(d.ProductID) AS N FROM Orders AS o LEFT JOIN [Order Details] AS d "
         u"ON o.OrderID = d.OrderID GROUP BY o.OrderID ORDER BY o.OrderID",
         false},
        {u"SELECT o.OrderID FROM Orders AS o WHERE o.OrderID IN (SELECT OrderID FROM [Order Details] "
         u"WHERE Quantity > 100) ORDER BY o.OrderID",
         false},
    };
    for (const plan_case& c : cases) {
        SCOPED_TRACE(tk_to_utf8(c.sql));
        jet_sql_file_source source(file, catalog);
        EXPECT_EQ(source.row_estimate(u"Order Details"), 2155);
        jet_sql_engine engine(source);
        jet_sql_engine reference(exported);
        const jet_rows rows = jet_run(engine, c.sql);
        EXPECT_FALSE(rows.empty());
        EXPECT_EQ(rows, jet_run(reference, c.sql));
        EXPECT_EQ(engine.is_loaded(u"Order Details"), !c.details_streamed);
        EXPECT_TRUE(engine.is_loaded(u"Orders"));
    }
}

}  // namespace
