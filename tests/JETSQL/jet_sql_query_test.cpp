// Access queries over Northwind, each compared with the same question asked
// in plain SQLite of the tables that mdb-export wrote.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "jet_sql_engine.h"
#include "jet_sql_test_source.h"
#include "jet_sql_test_util.h"

namespace {

class JetSqlNorthwind : public jet_sql_northwind_test {
protected:
    jet_rows access(const std::u16string& sql) { return jet_run(*engine_, sql); }
    jet_rows reference(const std::string& sql) { return jet_reference(source_->reference(), sql); }
    void same(const std::u16string& access_sql, const std::string& reference_sql, size_t min_rows = 1)
    {
        jet_rows a = access(access_sql);
        jet_rows r = reference(reference_sql);
        EXPECT_GE(r.size(), min_rows) << reference_sql;
        EXPECT_EQ(a, r) << tk_to_utf8(access_sql);
    }
};

TEST_F(JetSqlNorthwind, AccessAnswersAsSqliteDoes)
{
    // The Access statement, the same question in SQLite, and the fewest rows
    // the answer must have for the comparison to mean something.
    const struct {
        const char16_t* access;
        const char* reference;
        size_t min_rows = 1;
    } rows[] = {
        // Text comparison ignores case.
        {u"SELECT CustomerID, CompanyName FROM Customers WHERE Country = 'germany' ORDER BY CustomerID",
         "SELECT CustomerID, CompanyName FROM Customers WHERE Country = 'Germany' ORDER BY CustomerID", 5},
        {u"SELECT Count(*) FROM Customers WHERE City IN (\"LONDON\", 'paris')",
         "SELECT count(*) FROM Customers WHERE City IN ('London', 'Paris')"},
        // Bracketed names, aliases and arithmetic.
        {u"SELECT [Order Details].OrderID, [Order Details].[UnitPrice]*[Quantity]*(1-[Discount]) AS Total FROM [Order "
         u"Details] AS [Order Details] WHERE OrderID = 10248 ORDER BY [ProductID]",
         "SELECT OrderID, UnitPrice*Quantity*(1-Discount) FROM \"Order Details\" WHERE OrderID = 10248 ORDER BY "
         "ProductID",
         3},
        {u"SELECT od.OrderID FROM [Order Details] od WHERE od!ProductID = 11 ORDER BY 1",
         "SELECT OrderID FROM \"Order Details\" WHERE ProductID = 11 ORDER BY 1", 3},
        // A parenthesised join chain with date literals.
        {u"SELECT Orders.OrderID, Customers.CompanyName, Employees.LastName, Orders.OrderDate FROM (Orders INNER JOIN "
         u"Customers ON Orders.CustomerID = Customers.CustomerID) INNER JOIN Employees ON Orders.EmployeeID = "
         u"Employees.EmployeeID WHERE Orders.OrderDate Between #1/1/1995# And #1995-01-31# ORDER BY Orders.OrderID",
         "SELECT o.OrderID, c.CompanyName, e.LastName, o.OrderDate FROM Orders o JOIN Customers c ON o.CustomerID = "
         "c.CustomerID JOIN Employees e ON o.EmployeeID = e.EmployeeID WHERE o.OrderDate BETWEEN '1995-01-01' AND "
         "'1995-01-31 00:00:00' ORDER BY o.OrderID",
         10},
        // Access takes the bounds of Between in either order.
        {u"SELECT Count(*) FROM Orders WHERE OrderDate Between #1/31/1995# And #1/1/1995#",
         "SELECT count(*) FROM Orders WHERE OrderDate BETWEEN '1995-01-01' AND '1995-01-31 00:00:00'"},
        // Outer joins and Is Null.
        {u"SELECT Customers.CustomerID FROM Customers LEFT JOIN Orders ON Customers.CustomerID = Orders.CustomerID "
         u"WHERE Orders.OrderID Is Null ORDER BY Customers.CustomerID",
         "SELECT c.CustomerID FROM Customers c LEFT JOIN Orders o ON c.CustomerID = o.CustomerID WHERE o.OrderID IS "
         "NULL ORDER BY 1",
         1},
        {u"SELECT Count(*) FROM Orders RIGHT JOIN Customers ON Orders.CustomerID = Customers.CustomerID",
         "SELECT count(*) FROM Customers c LEFT JOIN Orders o ON c.CustomerID = o.CustomerID"},
        {u"SELECT Count(ShipRegion), Count(*) FROM Orders WHERE ShipRegion Is Not Null",
         "SELECT count(ShipRegion), count(*) FROM Orders WHERE ShipRegion IS NOT NULL"},
        // A comma join with WHERE.
        {u"SELECT Products.ProductName, Categories.CategoryName FROM Products, Categories WHERE Products.CategoryID = "
         u"Categories.CategoryID AND Categories.CategoryName = 'Seafood' ORDER BY 1",
         "SELECT p.ProductName, c.CategoryName FROM Products p, Categories c WHERE p.CategoryID = c.CategoryID AND "
         "c.CategoryName = 'Seafood' ORDER BY 1",
         5},
        // GROUP BY, HAVING and aggregates.
        {u"SELECT Country, Count(*) AS N FROM Customers GROUP BY Country HAVING Count(*) > 5 ORDER BY Country",
         "SELECT Country, count(*) FROM Customers GROUP BY Country HAVING count(*) > 5 ORDER BY Country", 3},
        {u"SELECT OrderID, Sum(UnitPrice*Quantity), Avg(Quantity), Min(UnitPrice), Max(Discount), Count(ProductID) "
         u"FROM [Order Details] GROUP BY OrderID ORDER BY OrderID DESC",
         "SELECT OrderID, sum(UnitPrice*Quantity), avg(Quantity), min(UnitPrice), max(Discount), count(ProductID) FROM "
         "\"Order Details\" GROUP BY OrderID ORDER BY OrderID DESC",
         800},
        {u"SELECT Year(OrderDate) AS Y, Sum(Freight) FROM Orders GROUP BY Year(OrderDate) ORDER BY Year(OrderDate)",
         "SELECT substr(OrderDate,1,4)+0, sum(Freight) FROM Orders GROUP BY 1 ORDER BY 1", 3},
        // DISTINCT and DISTINCTROW.
        {u"SELECT DISTINCT Country FROM Customers ORDER BY Country",
         "SELECT DISTINCT Country FROM Customers ORDER BY Country", 20},
        // DISTINCTROW drops rows that repeat the same Customers record.
        {u"SELECT DISTINCTROW Customers.CompanyName FROM Customers INNER JOIN Orders ON Customers.CustomerID = "
         u"Orders.CustomerID ORDER BY Customers.CompanyName",
         "SELECT CompanyName FROM Customers WHERE CustomerID IN (SELECT CustomerID FROM Orders) ORDER BY 1 COLLATE "
         "NOCASE",
         80},
        // With one table it changes nothing.
        {u"SELECT DISTINCTROW Country FROM Customers", "SELECT Country FROM Customers", 90},
        // UNION and UNION ALL.
        {u"SELECT City FROM Customers WHERE Country = 'UK' UNION SELECT City FROM Suppliers WHERE Country = 'UK' ORDER "
         u"BY City",
         "SELECT City FROM Customers WHERE Country = 'UK' UNION SELECT City FROM Suppliers WHERE Country = 'UK' ORDER "
         "BY 1",
         2},
        {u"SELECT Count(*) FROM (SELECT City FROM Customers UNION ALL SELECT City FROM Suppliers)",
         "SELECT count(*) FROM (SELECT City FROM Customers UNION ALL SELECT City FROM Suppliers)"},
        // Subqueries in WHERE and FROM.
        {u"SELECT ProductName FROM Products WHERE UnitPrice > (SELECT Avg(UnitPrice) FROM Products) ORDER BY "
         u"ProductName",
         "SELECT ProductName FROM Products WHERE UnitPrice > (SELECT avg(UnitPrice) FROM Products) ORDER BY 1", 10},
        {u"SELECT CompanyName FROM Customers AS C WHERE EXISTS (SELECT * FROM Orders AS O WHERE O.CustomerID = "
         u"C.CustomerID AND O.ShipCountry <> C.Country) ORDER BY 1",
         "SELECT CompanyName FROM Customers c WHERE EXISTS (SELECT 1 FROM Orders o WHERE o.CustomerID = c.CustomerID "
         "AND o.ShipCountry <> c.Country) ORDER BY 1",
         0},
        {u"SELECT CustomerID FROM Customers WHERE CustomerID NOT IN (SELECT CustomerID FROM Orders) ORDER BY 1",
         "SELECT CustomerID FROM Customers WHERE CustomerID NOT IN (SELECT CustomerID FROM Orders) ORDER BY 1"},
        {u"SELECT T.Country, T.N FROM (SELECT Country, Count(*) AS N FROM Customers GROUP BY Country) AS T WHERE T.N "
         u">= 9 ORDER BY T.Country",
         "SELECT Country, count(*) FROM Customers GROUP BY Country HAVING count(*) >= 9 ORDER BY 1", 3},
        // Concatenation treats Null as empty.
        {u"SELECT City & ', ' & Region, Region & Null, Region + 'x' FROM Customers ORDER BY CustomerID",
         "SELECT City || ', ' || coalesce(Region, ''), Region, Region || 'x' FROM Customers ORDER BY CustomerID", 90},
        {u"SELECT 'Order ' & OrderID & ' of ' & OrderDate FROM Orders WHERE OrderID = 10248",
         "SELECT 'Order 10248 of 8/4/1994'"},
        // Booleans are -1 and 0.
        {u"SELECT Count(*) FROM Products WHERE Discontinued = True",
         "SELECT count(*) FROM Products WHERE Discontinued <> 0"},
        {u"SELECT Count(*) FROM Products WHERE Discontinued = No AND Not Discontinued",
         "SELECT count(*) FROM Products WHERE Discontinued = 0"},
        {u"SELECT Discontinued, UnitPrice > 50 FROM Products WHERE ProductID IN (9, 10) ORDER BY ProductID",
         "SELECT -1, -1 UNION ALL SELECT 0, 0"},
        // A self join, a correlated subquery and aliases.
        {u"SELECT E.LastName, M.LastName AS Manager FROM Employees AS E LEFT JOIN Employees AS M ON E.ReportsTo = "
         u"M.EmployeeID ORDER BY E.EmployeeID",
         "SELECT e.LastName, m.LastName FROM Employees e LEFT JOIN Employees m ON e.ReportsTo = m.EmployeeID ORDER BY "
         "e.EmployeeID",
         9},
        {u"SELECT CustomerID, (SELECT Count(*) FROM Orders WHERE Orders.CustomerID = Customers.CustomerID) AS N FROM "
         u"Customers ORDER BY CustomerID",
         "SELECT CustomerID, (SELECT count(*) FROM Orders o WHERE o.CustomerID = c.CustomerID) FROM Customers c ORDER "
         "BY CustomerID",
         90},
        // An alias may be used by later expressions and by ORDER BY, as in Access.
        {u"SELECT ProductID, UnitPrice * UnitsInStock AS Stock, Stock / 2 AS Half FROM Products WHERE UnitsInStock > "
         u"100 ORDER BY Stock DESC",
         "SELECT ProductID, UnitPrice * UnitsInStock, UnitPrice * UnitsInStock / 2.0 FROM Products WHERE UnitsInStock "
         "> 100 ORDER BY 2 DESC",
         5},
        {u"SELECT OrderID, ShippedDate - OrderDate AS Days FROM Orders WHERE ShippedDate - OrderDate > 30 AND "
         u"OrderDate < #1995-01-01# ORDER BY OrderID",
         "SELECT OrderID, julianday(ShippedDate) - julianday(OrderDate) FROM Orders WHERE julianday(ShippedDate) - "
         "julianday(OrderDate) > 30 AND OrderDate < '1995-01-01' ORDER BY OrderID",
         1},
        // Grouping by formatted dates.
        {u"SELECT Format(OrderDate, 'yyyy-mm') AS M, Count(*) AS N FROM Orders GROUP BY Format(OrderDate, 'yyyy-mm') "
         u"ORDER BY Format(OrderDate, 'yyyy-mm')",
         "SELECT substr(OrderDate, 1, 7), count(*) FROM Orders GROUP BY 1 ORDER BY 1", 20},
        // Text groups and DISTINCT ignore case, as in Access.
        {u"SELECT Count(*) FROM (SELECT DISTINCT LCase(Country) AS C FROM Customers UNION ALL SELECT DISTINCT "
         u"UCase(Country) FROM Suppliers)",
         "SELECT (SELECT count(DISTINCT lower(Country)) FROM Customers) + (SELECT count(DISTINCT upper(Country)) FROM "
         "Suppliers)"},
        {u"SELECT Count(*) FROM (SELECT ShipCity FROM Orders GROUP BY ShipCity)",
         "SELECT count(DISTINCT ShipCity COLLATE NOCASE) FROM Orders"},
        // TOP with DISTINCTROW, ORDER BY of a UNION, In and Between on dates and text.
        {u"SELECT DISTINCTROW TOP 3 Customers.CustomerID FROM Customers INNER JOIN Orders ON Customers.CustomerID = "
         u"Orders.CustomerID ORDER BY Customers.CustomerID",
         "SELECT DISTINCT CustomerID FROM Orders ORDER BY 1 LIMIT 3", 3},
        {u"SELECT CompanyName AS Name, 'C' AS Kind FROM Customers WHERE Country = 'Norway' UNION ALL SELECT "
         u"CompanyName, 'S' FROM Suppliers WHERE Country = 'Norway' ORDER BY Kind DESC, Name",
         "SELECT CompanyName, 'S' FROM Suppliers WHERE Country = 'Norway' UNION ALL SELECT CompanyName, 'C' FROM "
         "Customers WHERE Country = 'Norway' ORDER BY 2 DESC, 1",
         2},
        {u"SELECT Count(*) FROM Orders WHERE OrderDate In (#8/4/1994#, #1994-08-05#) AND ShipCountry Between 'a' And "
         u"'M'",
         "SELECT count(*) FROM Orders WHERE OrderDate IN ('1994-08-04 00:00:00', '1994-08-05 00:00:00') AND "
         "upper(ShipCountry) BETWEEN 'A' AND 'M'"},
    };
    for (const auto& r : rows) same(r.access, r.reference, r.min_rows);
}

TEST_F(JetSqlNorthwind, StatisticalAndPositionalAggregates)
{
    jet_rows a = access(u"SELECT StDev(Freight), StDevP(Freight), Var(Freight), VarP(Freight) FROM Orders");
    jet_rows r = reference(
        "SELECT sqrt(sum((Freight-m)*(Freight-m))/(count(*)-1)), sqrt(sum((Freight-m)*(Freight-m))/count(*)), "
        "sum((Freight-m)*(Freight-m))/(count(*)-1), sum((Freight-m)*(Freight-m))/count(*) FROM Orders, (SELECT "
        "avg(Freight) AS m FROM Orders)");
    ASSERT_EQ(a.size(), 1u);
    ASSERT_EQ(r.size(), 1u);
    for (size_t i = 0; i < 4; ++i) EXPECT_NEAR(std::stod(a[0][i]), std::stod(r[0][i]), 1e-6 * std::stod(r[0][i]));
    // First and Last follow the order the rows arrive in.
    same(u"SELECT First(OrderID), Last(OrderID) FROM (SELECT OrderID FROM Orders ORDER BY OrderID)",
         "SELECT min(OrderID), max(OrderID) FROM Orders");
    // StDev of a single value is Null, StDevP 0.
    same(u"SELECT StDev(Freight), StDevP(Freight) FROM Orders WHERE OrderID = 10248", "SELECT NULL, 0.0");
}

TEST_F(JetSqlNorthwind, TopKeepsTiesAndPercent)
{
    // Every product of category 1 ties with the second one.
    same(u"SELECT TOP 2 ProductID, CategoryID FROM Products ORDER BY CategoryID, ProductName DESC",
         "SELECT ProductID, CategoryID FROM Products ORDER BY CategoryID, ProductName DESC LIMIT 2");
    same(u"SELECT TOP 2 ProductID FROM Products ORDER BY CategoryID",
         "SELECT ProductID FROM Products WHERE CategoryID = 1 ORDER BY CategoryID", 3);
    same(u"SELECT TOP 10 PERCENT ProductName, UnitPrice FROM Products ORDER BY UnitPrice DESC",
         "SELECT ProductName, UnitPrice FROM Products ORDER BY UnitPrice DESC LIMIT 8", 8);
    EXPECT_EQ(access(u"SELECT TOP 5 * FROM Orders").size(), 5u);
}

TEST_F(JetSqlNorthwind, LikeWithAccessWildcards)
{
    struct row {
        const char16_t* access;
        const char* reference;
    };
    const row rows[] = {
        {u"'a*'", "CompanyName LIKE 'a%'"},
        {u"'*market*'", "CompanyName LIKE '%market%'"},
        {u"'?a*'", "CompanyName LIKE '_a%'"},
        {u"'[A-C]*'", "substr(CompanyName,1,1) BETWEEN 'A' AND 'C'"},
        {u"'[!A-C]*'", "NOT (upper(substr(CompanyName,1,1)) BETWEEN 'A' AND 'C')"},
        {u"'*[éè]*'", "(CompanyName LIKE '%é%' OR CompanyName LIKE '%è%')"},
    };
    for (const row& r : rows)
        same(u"SELECT CompanyName FROM Customers WHERE CompanyName Like " + std::u16string(r.access) + u" ORDER BY 1",
             std::string("SELECT CompanyName FROM Customers WHERE ") + r.reference + " ORDER BY 1 COLLATE NOCASE");
    same(u"SELECT PostalCode FROM Customers WHERE PostalCode Like '#####' ORDER BY 1",
         "SELECT PostalCode FROM Customers WHERE PostalCode GLOB '[0-9][0-9][0-9][0-9][0-9]' ORDER BY 1", 10);
    same(u"SELECT Count(*) FROM Customers WHERE Region Not Like '*'", "SELECT 0");
}

TEST_F(JetSqlNorthwind, SavedQueryIsAView)
{
    source_->queries[u"Expensive"] = u"SELECT ProductName, UnitPrice FROM Products WHERE UnitPrice > 50";
    same(u"SELECT Count(*) FROM [Expensive]", "SELECT count(*) FROM Products WHERE UnitPrice > 50");
    same(u"SELECT E.ProductName FROM Expensive AS E ORDER BY E.UnitPrice DESC",
         "SELECT ProductName FROM Products WHERE UnitPrice > 50 ORDER BY UnitPrice DESC", 5);
    source_->queries.clear();
}

TEST_F(JetSqlNorthwind, RowCountFormMatchesRows)
{
    const std::u16string q = u"SELECT Orders.OrderID FROM Orders INNER JOIN [Order Details] ON Orders.OrderID = "
                             u"[Order Details].OrderID WHERE [Order Details].Quantity > 20";
    jet_rows rows = access(q);
    jet_rows count = access(u"select count(*) from (" + q + u")");
    ASSERT_EQ(count.size(), 1u);
    EXPECT_EQ(count[0][0], std::to_string(rows.size()));
    EXPECT_GT(rows.size(), 100u);
    // The text as Access's SQL view writes it, with its final ';'.
    jet_rows with_semicolon = access(u"select count(*) from (" + q + u";\r\n)");
    EXPECT_EQ(with_semicolon, count);
}

TEST_F(JetSqlNorthwind, TablesAreReadOnlyWhenNamedAndStreamedWhenReadOnce)
{
    int before = source_->table_reads;
    engine_->test(u"SELECT * FROM Orders INNER JOIN Customers ON Orders.CustomerID = Customers.CustomerID");
    EXPECT_EQ(source_->table_reads, before);  // compiling reads no row
    // A statement that reads one table once streams it, copying nothing.
    access(u"SELECT Count(*) FROM Shippers");
    access(u"SELECT CompanyName FROM Shippers WHERE ShipperID > 1 ORDER BY Phone");
    EXPECT_EQ(source_->table_reads, before + 2);
    EXPECT_FALSE(engine_->is_loaded(u"Shippers"));
    // A join copies its tables once; later statements use the copy.
    same(u"SELECT Count(*) FROM Orders INNER JOIN Shippers ON Orders.ShipVia = Shippers.ShipperID",
         "SELECT count(*) FROM Orders o JOIN Shippers s ON o.ShipVia = s.ShipperID");
    EXPECT_EQ(source_->table_reads, before + 4);
    EXPECT_TRUE(engine_->is_loaded(u"shippers"));
    // Only the columns a statement reads are read: the streamed Orders
    // gives ShipVia alone.
    EXPECT_EQ(std::count(source_->last_wanted.begin(), source_->last_wanted.end(), true), 1);
    access(u"SELECT Count(*) FROM Shippers");
    EXPECT_EQ(source_->table_reads, before + 4);
    // A column the copy lacks makes a new copy, with every column, while a
    // result over the old one is still open.
    auto open = engine_->open(u"SELECT s.ShipperID FROM Orders AS o, Shippers AS s WHERE o.ShipVia = s.ShipperID");
    ASSERT_TRUE(open->next());
    same(u"SELECT s.CompanyName, Count(*) FROM Orders AS o INNER JOIN Shippers AS s ON o.ShipVia = s.ShipperID "
         u"GROUP BY s.CompanyName",
         "SELECT s.CompanyName, count(*) FROM Orders o JOIN Shippers s ON o.ShipVia = s.ShipperID "
         "GROUP BY s.CompanyName");
    same(u"SELECT Phone FROM Shippers ORDER BY Phone", "SELECT Phone FROM Shippers ORDER BY Phone");
    int rest = 1;
    while (open->next()) ++rest;
    EXPECT_EQ(rest, std::stoi(access(u"SELECT Count(*) FROM Orders WHERE ShipVia IS NOT NULL")[0][0]));
    open.reset();
    // Both scans of a statement and its row count may run at once.
    auto rows = engine_->open(u"SELECT CustomerID FROM Customers");
    ASSERT_TRUE(rows->next());
    jet_rows n = access(u"select count(*) from (SELECT CustomerID FROM Customers)");
    int seen = 1;
    while (rows->next()) ++seen;
    EXPECT_EQ(n[0][0], std::to_string(seen));
}

}  // namespace
