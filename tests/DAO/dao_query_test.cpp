// User queries through the database contract: get_query runs any Access
// SELECT through the query engine, with DAO's result schema; the row count
// and the relationship query give what the component reads directly;
// test_query compiles without reading rows; nothing but a SELECT runs and
// the file never changes.
#include <openssl/evp.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "dao_recordset.h"
#include "dao_test_util.h"
#include "jet_database.h"
#include "jet_error.h"
#include "jet_querydef.h"
#include "jet_recordset.h"
#include "jet_sql_session.h"
#include "jet_sql_test_source.h"
#include "jet_sql_test_util.h"
#include "tk_logger.h"
#include "udb_field.h"
#include "udb_ftd.h"
#include "udb_record.h"

namespace {

const char16_t* const k_relationship_query =
    u"SELECT szRelationship, szColumn, szObject, szReferencedObject, szReferencedColumn, grbit FROM "
    u"MSysRelationships ORDER BY szRelationship";

// Every row of a recordset, values in the canonical text form.
jet_rows rows_of(udb_recordset& rs)
{
    jet_rows out;
    for (rs.move_first(); !rs.is_eof(); rs.next()) {
        udb_record* r = rs.get_item();
        std::vector<std::string> row;
        for (size_t i = 0; i < r->size(); ++i) row.push_back(jet_canon((*r)[i]));
        out.push_back(std::move(row));
    }
    return out;
}

jet_rows rows_of(jet_recordset& rs)
{
    jet_rows out;
    for (; !rs.eof(); rs.move_next()) {
        std::vector<std::string> row;
        for (const jet_field& f : rs.fields()) row.push_back(jet_canon(f.value()));
        out.push_back(std::move(row));
    }
    return out;
}

std::string sha256_of(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    unsigned char md[EVP_MAX_MD_SIZE];
    unsigned int n = 0;
    EVP_Digest(bytes.data(), bytes.size(), md, &n, EVP_sha256(), nullptr);
    std::string hex;
    for (unsigned int i = 0; i < n; ++i) {
        char b[3];
        std::snprintf(b, sizeof b, "%02x", md[i]);
        hex += b;
    }
    return hex;
}

class dao_query_test : public ::testing::Test {
protected:
    static void SetUpTestSuite() { reference_ = new jet_sql_test_source(dao_test_data("nwind.mdb")); }
    static void TearDownTestSuite()
    {
        delete reference_;
        reference_ = nullptr;
    }
    void SetUp() override { engine_ = dao_test_engine(); }

    std::unique_ptr<dao_database> open(const char* file, int mode = 1) { return dao_test_open(*engine_, file, mode); }

    // test_query's answer and the number DBEngine.Errors then holds (0
    // when the query passed).
    static std::pair<bool, int32_t> tested(dao_database& db, const std::u16string& sql)
    {
        jet_error::clear_current();
        bool ok = db.test_query(sql);
        int32_t number = jet_error::current().empty() ? 0 : jet_error::current().front().number;
        return {ok, number};
    }

    static jet_sql_test_source* reference_;
    std::unique_ptr<dao_engine> engine_;
};

jet_sql_test_source* dao_query_test::reference_ = nullptr;

TEST_F(dao_query_test, join_and_group_by_with_dao_schema_and_values)
{
    auto db = open("nwind.mdb", 33);
    const std::u16string sql =
        u"SELECT Categories.CategoryName, Count(*), Sum([Order Details].Quantity) AS Units, "
        u"Avg([Order Details].Quantity), Max(Products.UnitPrice), Min(Orders.OrderDate) "
        u"FROM ((Categories INNER JOIN Products ON Categories.CategoryID = Products.CategoryID) "
        u"INNER JOIN [Order Details] ON Products.ProductID = [Order Details].ProductID) "
        u"INNER JOIN Orders ON [Order Details].OrderID = Orders.OrderID "
        u"WHERE Orders.ShipCountry <> 'USA' GROUP BY Categories.CategoryName ORDER BY Categories.CategoryName";
    std::unique_ptr<udb_recordset> q = db->get_query(u"Sales", sql, 1);
    EXPECT_TRUE(q->is_query());
    EXPECT_EQ(q->query_text, sql);
    EXPECT_TRUE(q->indexes.empty());
    EXPECT_EQ(q->record_count, 8);

    // Names: the source column's for a plain reference, the alias, else
    // Expr1000, Expr1001 ... in order; kinds from DAO's types.
    ASSERT_EQ(q->schema.size(), 6u);
    const struct {
        const char16_t* name;
        ole_vartype vt;
    } want[] = {{u"CategoryName", VT_BSTR}, {u"Expr1000", VT_I4}, {u"Units", VT_I4},
                {u"Expr1001", VT_R8},       {u"Expr1002", VT_CY}, {u"Expr1003", VT_DATE}};
    for (size_t i = 0; i < std::size(want); ++i) {
        EXPECT_EQ(q->schema[i].name, want[i].name) << i;
        EXPECT_EQ(q->schema[i].vartype, want[i].vt) << i;
    }
    EXPECT_EQ(q->schema[0].size, 15u);  // Text(15), as the table declares it
    EXPECT_EQ(q->schema[5].extra, 1u);  // every Date column of a query
    EXPECT_EQ(q->schema[4].extra, 0u);

    // The same question asked of SQLite over mdb-export's copy of the tables.
    jet_rows expected = jet_reference(
        reference_->reference(),
        "SELECT c.CategoryName, count(*), sum(d.Quantity), avg(d.Quantity), max(p.UnitPrice), min(o.OrderDate) "
        "FROM Categories c JOIN Products p ON c.CategoryID = p.CategoryID "
        "JOIN \"Order Details\" d ON p.ProductID = d.ProductID JOIN Orders o ON d.OrderID = o.OrderID "
        "WHERE o.ShipCountry <> 'USA' GROUP BY c.CategoryName ORDER BY c.CategoryName");
    jet_rows got = rows_of(*q);
    ASSERT_EQ(got.size(), 8u);
    ASSERT_EQ(expected.size(), 8u);
    for (size_t r = 0; r < got.size(); ++r) {
        // Columns 0 to 4 compare as they stand; the reference keeps dates as
        // mdb-export's text, so compare the date's first 10 characters.
        for (size_t c = 0; c < 5; ++c) EXPECT_EQ(got[r][c], expected[r][c]) << r << "," << c;
        EXPECT_EQ(got[r][5].substr(0, 10), expected[r][5].substr(0, 10)) << r;
    }
    // Values arrive with the kinds of the schema.
    q->move_first();
    udb_record* first = q->get_item();
    EXPECT_EQ((*first)[0].get_vt(), VT_BSTR);
    EXPECT_EQ((*first)[1].get_vt(), VT_I4);
    EXPECT_EQ((*first)[4].get_vt(), VT_CY);
    EXPECT_EQ((*first)[5].get_vt(), VT_DATE);
}

TEST_F(dao_query_test, saved_queries_and_derived_tables_through_get_query)
{
    auto db = open("nwind.mdb", 33);
    // A saved query is no table: the engine runs it as a view.
    std::unique_ptr<udb_recordset> top = db->get_query(u"Top", u"SELECT * FROM [Ten Most Expensive Products]", 1);
    EXPECT_EQ(top->record_count, 10);
    EXPECT_EQ(rows_of(*top), jet_reference(reference_->reference(), "SELECT ProductName, UnitPrice FROM Products "
                                                                    "ORDER BY UnitPrice DESC LIMIT 10"));
    std::unique_ptr<udb_recordset> derived = db->get_query(
        u"D",
        u"SELECT T.Country, T.N FROM (SELECT Country, Count(*) AS N FROM Customers GROUP BY Country) AS T "
        u"WHERE T.N >= 5 ORDER BY T.N DESC, T.Country",
        1);
    jet_rows want = jet_reference(reference_->reference(),
                                  "SELECT Country, count(*) AS N FROM Customers GROUP BY Country HAVING count(*) >= 5 "
                                  "ORDER BY N DESC, Country");
    EXPECT_EQ(derived->record_count, static_cast<int32_t>(want.size()));
    EXPECT_EQ(rows_of(*derived), want);
    EXPECT_EQ(derived->schema[0].name, u"Country");
    EXPECT_EQ(derived->schema[1].name, u"N");
}

TEST_F(dao_query_test, relationship_query_through_the_engine_equals_the_direct_reading)
{
    for (const char* file : {"nwind.mdb", "V2003_test.mdb", "V2010_test.accdb", "indexTestV2000.mdb"}) {
        jet_database db(dao_test_path(file), u"", false, true);
        auto qd = db.create_querydef(u"", k_relationship_query);
        jet_rows a = rows_of(*qd->open_recordset(2, 4));
        jet_recordset engine(db.sql().open(k_relationship_query));
        jet_rows b = rows_of(engine);
        // ORDER BY szRelationship leaves the pairs of one relationship in
        // any order: both must be sorted by name, and hold the same rows.
        for (const jet_rows* rows : {&a, &b})
            for (size_t i = 0; i + 1 < rows->size(); ++i)
                EXPECT_LE(tk_compare_nocase(tk_from_utf8((*rows)[i][0]), tk_from_utf8((*rows)[i + 1][0])), 0) << file;
        std::sort(a.begin(), a.end());
        std::sort(b.begin(), b.end());
        EXPECT_EQ(a, b) << file;
        if (std::string(file) == "nwind.mdb") {
            EXPECT_GT(a.size(), 5u);
        }
    }
}

TEST_F(dao_query_test, row_count_form_through_the_engine_equals_the_direct_reading)
{
    jet_database db(dao_test_path("nwind.mdb"), u"", false, true);
    std::vector<std::u16string> inner = {k_relationship_query};
    for (const jet_tabledef& t : db.tabledefs())
        if ((t.attributes() & 0xC0000002) == 0) inner.push_back(u"SELECT * FROM [" + t.name() + u"]");
    ASSERT_GT(inner.size(), 8u);
    for (const std::u16string& text : inner) {
        const std::u16string count = u"select count(*) from (" + text + u")";
        auto direct = db.create_querydef(u"", count)->open_recordset(2, 4);
        jet_recordset engine(db.sql().open(count));
        ASSERT_FALSE(direct->eof());
        ASSERT_FALSE(engine.eof());
        EXPECT_EQ(direct->fields().at(0).value().to_long(), engine.fields().at(0).value().to_long())
            << tk_to_utf8(text);
        // And both equal the rows a walk over the text finds.
        auto walk = db.create_querydef(u"", text)->open_recordset(2, 4);
        int32_t n = 0;
        for (; !walk->eof(); walk->move_next()) ++n;
        EXPECT_EQ(direct->fields().at(0).value().to_long(), n) << tk_to_utf8(text);
    }
    // get_query counts a general statement through the engine.
    auto dao = open("nwind.mdb", 33);
    std::unique_ptr<udb_recordset> q =
        dao->get_query(u"Q", u"SELECT DISTINCT ShipCountry FROM Orders WHERE Freight > 100", 1);
    jet_rows want =
        jet_reference(reference_->reference(), "SELECT count(DISTINCT ShipCountry) FROM Orders WHERE Freight > 100");
    EXPECT_EQ(std::to_string(q->record_count), want.at(0).at(0));
    EXPECT_EQ(static_cast<int32_t>(rows_of(*q).size()), q->record_count);
}

TEST_F(dao_query_test, test_query_answers_with_dao_errors_and_reads_no_rows)
{
    char name[] = "/tmp/dao_query_traceXXXXXX";
    int fd = mkstemp(name);
    ASSERT_GE(fd, 0);
    close(fd);
    {
        tk_logger logger(name, true, 1, false);
        auto db = open("nwind.mdb", 97);
        // The DAO number, 0 when the query passes, and DBEngine.Errors'
        // text, DAO's and not the catch-all (null: not compared).
        const struct {
            const char16_t* sql;
            int32_t number;
            const char16_t* text;
        } rows[] = {
            {u"SELECT Customers.CompanyName, Count(*) FROM Customers INNER JOIN Orders ON "
             u"Customers.CustomerID = Orders.CustomerID GROUP BY Customers.CompanyName",
             0, nullptr},
            {u"SELECT * FROM [Order Details]", 0, nullptr},
            {u"SELECT * FROM [Ten Most Expensive Products]", 0, nullptr},
            {u"select count(*) from (SELECT * FROM Orders)", 0, nullptr},
            {u"SELECT * FROM [Nope]", 3078, nullptr},
            {u"SELECT * FROM Orders INNER JOIN Nope ON Orders.OrderID = Nope.ID", 3078, nullptr},
            {u"SELECT Nothing FROM Orders", 3061, u"Too few parameters. Expected 1."},
            {u"SELECT OrderID FROM Orders WHERE OrderID = = 1", 3075,
             u"Syntax error (missing operator) in query expression 'OrderID = = 1'."},
            {u"SELECT * FROM", 3131, u"Syntax error in FROM clause."},
            {u"SELECT TOP x * FROM Orders", 3141, nullptr},
            {u"SELECT * FROM Orders; x", 3142, u"Characters found after end of SQL statement."},
            {u"SELECT Frob(OrderID) FROM Orders", 3085, nullptr},
            {u"hello", 3129, nullptr},
        };
        for (const auto& r : rows) {
            SCOPED_TRACE(tk_to_utf8(r.sql));
            EXPECT_EQ(tested(*db, r.sql), std::make_pair(r.number == 0, r.number));
            if (r.text != nullptr) {
                EXPECT_EQ(jet_error::current().at(0).description, r.text);
            }
        }
        // get_query raises the same error as a dao_exception with DAO's text.
        const dao_test_error e = dao_error_of([&] { db->get_query(u"Q", u"SELECT Frob(OrderID) FROM Orders", 1); });
        EXPECT_EQ(e.code, 0x10000u + 3085u);
        EXPECT_EQ(e.message, "Undefined function 'Frob' in expression.");
    }
    std::ifstream in(name);
    std::string trace((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::remove(name);
    EXPECT_NE(trace.find("jet_sql_engine::test("), std::string::npos);  // the engine compiled them
    // No table was copied into the engine or scanned.
    EXPECT_EQ(trace.find("jet_sql_engine::load("), std::string::npos);
    EXPECT_EQ(trace.find("jet_sql_engine::stream_open("), std::string::npos);
}

TEST_F(dao_query_test, run_time_errors_of_access_functions_keep_their_texts)
{
    auto db = open("nwind.mdb", 33);
    const std::pair<const char16_t*, std::pair<int32_t, const char*>> cases[] = {
        {u"SELECT OrderID \\ 0 FROM Orders", {11, "Division by zero"}},
        {u"SELECT CInt(100000) FROM Orders", {6, "Overflow"}},
    };
    for (const auto& [sql, want] : cases) {
        SCOPED_TRACE(tk_to_utf8(sql));
        jet_error::clear_current();
        const dao_test_error e = dao_error_of([&] { db->get_query(u"Q", sql, 1); });
        EXPECT_EQ(e.code, 0x10000u + want.first);
        EXPECT_EQ(e.message, want.second);
        ASSERT_FALSE(jet_error::current().empty());
        EXPECT_EQ(tk_to_utf8(jet_error::current().front().description), want.second);
    }
}

TEST_F(dao_query_test, only_select_runs_and_the_file_never_changes)
{
    const std::string copy = std::filesystem::temp_directory_path() / "dao_query_test_nwind.mdb";
    std::filesystem::copy_file(dao_test_data("nwind.mdb"), copy, std::filesystem::copy_options::overwrite_existing);
    std::filesystem::permissions(copy, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    const std::string before = sha256_of(copy);
    {
        // Opened for writing: the component still writes nothing.
        std::unique_ptr<udb_database> raw = engine_->open_db(tk_from_utf8(copy), 32, u"");
        auto& rw = static_cast<dao_database&>(*raw);
        const char16_t* statements[] = {
            u"DELETE FROM Orders",
            u"DELETE * FROM [Order Details] WHERE OrderID > 0",
            u"UPDATE Orders SET Freight = 0",
            u"INSERT INTO Shippers (CompanyName) VALUES ('x')",
            u"SELECT * INTO OrdersCopy FROM Orders",
            u"CREATE TABLE T (a LONG)",
            u"DROP TABLE Orders",
            u"ALTER TABLE Orders ADD COLUMN x TEXT",
        };
        for (const char16_t* s : statements) {
            EXPECT_EQ(dao_code_of([&] { rw.get_query(u"Q", s, 0); }), 0x10000u + 3219u) << tk_to_utf8(s);
            EXPECT_FALSE(rw.test_query(s)) << tk_to_utf8(s);
        }
        // A statement cannot smuggle a second one past the parser.
        for (const char16_t* s : {u"SELECT * FROM Orders; DELETE FROM Orders",
                                  u"SELECT * FROM Orders WHERE 1 = 1); DROP TABLE Orders; --"}) {
            EXPECT_NE(dao_code_of([&] { rw.get_query(u"Q", s, 0); }), 0u) << tk_to_utf8(s);
            EXPECT_FALSE(rw.test_query(s)) << tk_to_utf8(s);
        }
        // Reading works all the same, and still finds every row.
        std::unique_ptr<udb_recordset> q = rw.get_query(u"Q", u"SELECT Count(*) FROM Orders", 0);
        q->move_first();
        EXPECT_EQ((*q->get_item())[0].to_long(), 830);
    }
    EXPECT_EQ(sha256_of(copy), before);
    EXPECT_EQ(before, sha256_of(dao_test_data("nwind.mdb")));
    std::filesystem::remove(copy);
}

}  // namespace
