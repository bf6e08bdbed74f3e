// Recordsets and QueryDefs that outlive their database: closing or
// destroying the database closes them, and every later call raises 3420.
#include <gtest/gtest.h>

#include "jet_querydef.h"
#include "jet_recordset.h"
#include "jet_test_util.h"
#include "tk_wstring.h"

namespace {

std::unique_ptr<jet_database> open_nwind()
{
    return jet_test_open(jet_test_data("nwind.mdb"));
}

// Every call a caller may make on a closed recordset, each raising 3420.
void expect_closed(jet_recordset& rs)
{
    EXPECT_FALSE(rs.is_open());
    EXPECT_EQ(jet_error_of([&] { (void)rs.eof(); }), jet_err_object_invalid);
    EXPECT_EQ(jet_error_of([&] { (void)rs.bof(); }), jet_err_object_invalid);
    EXPECT_EQ(jet_error_of([&] { rs.move_next(); }), jet_err_object_invalid);
    EXPECT_EQ(jet_error_of([&] { rs.move_first(); }), jet_err_object_invalid);
    EXPECT_EQ(jet_error_of([&] { rs.move_previous(); }), jet_err_object_invalid);
    EXPECT_EQ(jet_error_of([&] { (void)rs.fields(); }), jet_err_object_invalid);
    EXPECT_EQ(jet_error_of([&] { (void)rs.record_count(); }), jet_err_object_invalid);
}

// Opens `sql` and moves to its second row, so that a source is mid-scan.
std::unique_ptr<jet_recordset> open_mid_scan(jet_querydef& qd)
{
    std::unique_ptr<jet_recordset> rs = qd.open_recordset();
    EXPECT_FALSE(rs->eof());
    rs->move_next();
    EXPECT_FALSE(rs->eof());
    return rs;
}

TEST(jet_lifetime_test, destroying_the_database_closes_table_and_query_recordsets)
{
    auto db = open_nwind();
    auto table_qd = db->create_querydef(u"", u"SELECT * FROM [Orders]");
    // Not answered by the table scan: runs in the query engine, whose
    // source reads through the database's session.
    auto query_qd = db->create_querydef(u"", u"SELECT OrderID, CustomerID FROM Orders WHERE OrderID > 10300 "
                                             u"ORDER BY OrderID");
    auto rel_qd = db->create_querydef(u"", u"SELECT szRelationship, szColumn, szObject, szReferencedObject, "
                                           u"szReferencedColumn, grbit FROM MSysRelationships ORDER BY "
                                           u"szRelationship");
    auto table = open_mid_scan(*table_qd);
    auto query = open_mid_scan(*query_qd);
    auto rels = open_mid_scan(*rel_qd);
    EXPECT_EQ(query->fields().at(0).value().to_long(), 10302);

    db.reset();

    expect_closed(*table);
    expect_closed(*query);
    expect_closed(*rels);
    // The QueryDefs refuse as well, instead of reaching the freed database.
    EXPECT_EQ(jet_error_of([&] { table_qd->open_recordset(); }), jet_err_object_invalid);
    EXPECT_EQ(jet_error_of([&] { (void)query_qd->fields(); }), jet_err_object_invalid);
    EXPECT_EQ(jet_error_of([&] { query_qd->test(); }), jet_err_object_invalid);
    EXPECT_EQ(table_qd->sql(), u"SELECT * FROM [Orders]");
    // Closing again and destroying in any order are harmless.
    table->close();
    query_qd.reset();
    query.reset();
    table.reset();
    table_qd.reset();
    rels.reset();
}

TEST(jet_lifetime_test, close_keeps_the_database_object_but_closes_its_recordsets)
{
    auto db = open_nwind();
    auto qd = db->create_querydef(u"", u"SELECT * FROM [Customers]");
    auto rs = open_mid_scan(*qd);
    db->close();
    expect_closed(*rs);
    EXPECT_EQ(jet_error_of([&] { db->create_querydef(u"", u"SELECT * FROM [Orders]"); }), jet_err_object_invalid);
    EXPECT_EQ(jet_error_of([&] { qd->open_recordset(); }), jet_err_object_invalid);
    db->close();  // twice: nothing left to close
    db.reset();
    rs.reset();
}

TEST(jet_lifetime_test, recordset_close_leaves_the_others_and_the_database_usable)
{
    auto db = open_nwind();
    auto qd = db->create_querydef(u"", u"SELECT * FROM [Shippers]");
    auto first = qd->open_recordset();
    auto second = qd->open_recordset();
    first->close();
    expect_closed(*first);
    first->close();

    // The other recordset still reads all its rows.
    int rows = 0;
    for (second->move_first(); !second->eof(); second->move_next()) ++rows;
    EXPECT_EQ(rows, 3);
    EXPECT_EQ(second->record_count(), 3);

    // A recordset destroyed before the database leaves its list: closing
    // the database afterwards touches only the live one.
    auto third = qd->open_recordset();
    second.reset();
    db.reset();
    expect_closed(*third);
    first.reset();
    third.reset();
}

TEST(jet_lifetime_test, open_list_refuses_after_close_all)
{
    auto list = std::make_shared<jet_open_recordsets>();
    EXPECT_FALSE(list->closed());
    EXPECT_NO_THROW(list->check_open());
    list->close_all();
    EXPECT_TRUE(list->closed());
    EXPECT_EQ(jet_error_of([&] { list->check_open(); }), jet_err_object_invalid);
    // A recordset made over a source after its database closed is refused
    // by the list, and the source is freed with the failed constructor.
    class one_row : public jet_row_source {
    public:
        const std::vector<jet_column>& columns() const override { return columns_; }
        void rewind() override {}
        bool next(std::vector<jet_value>&) override { return false; }
        int32_t count() const override { return 0; }

    private:
        std::vector<jet_column> columns_;
    };
    EXPECT_EQ(jet_error_of([&] { jet_recordset rs(std::make_unique<one_row>(), list); }), jet_err_object_invalid);
}

}  // namespace
