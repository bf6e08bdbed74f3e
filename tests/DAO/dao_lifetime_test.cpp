// dao_recordsets destroyed or used after their dao_database: DAO's error
// 3420 on every call, never a read of the freed file.
#include "dao_recordset.h"
#include "dao_test_util.h"
#include "udb_field.h"
#include "udb_record.h"

namespace {

constexpr uint32_t k_object_invalid = 0x10000u + 3420u;

class dao_lifetime_test : public ::testing::Test {
protected:
    void SetUp() override { engine_ = dao_test_engine(); }

    // Every call of the conversion's read loop, each raising 3420.
    static void expect_closed(udb_recordset& rs)
    {
        EXPECT_EQ(dao_code_of([&] { (void)rs.is_eof(); }), k_object_invalid);
        EXPECT_EQ(dao_code_of([&] { rs.get_item(); }), k_object_invalid);
        EXPECT_EQ(dao_code_of([&] { rs.next(); }), k_object_invalid);
        EXPECT_EQ(dao_code_of([&] { rs.move_first(); }), k_object_invalid);
        EXPECT_EQ(dao_code_of([&] { rs.move_prev(); }), k_object_invalid);
    }

    std::unique_ptr<dao_engine> engine_;
};

TEST_F(dao_lifetime_test, table_and_query_recordsets_after_the_database_is_destroyed)
{
    auto db = dao_test_open(*engine_, "nwind.mdb");
    std::unique_ptr<udb_recordset> table = db->get_table(u"Order Details", 1);
    std::unique_ptr<udb_recordset> query =
        db->get_query(u"Q", u"SELECT ProductName FROM Products WHERE UnitPrice > 50 ORDER BY ProductName", 1);
    ASSERT_TRUE(table && query);
    // Mid-scan: the sources hold their position in the file.
    table->move_first();
    table->next();
    ASSERT_FALSE(table->is_eof());
    EXPECT_EQ(table->get_item()->size(), table->schema.size());
    query->move_first();
    ASSERT_FALSE(query->is_eof());
    EXPECT_EQ((*query->get_item())[0].to_wstring(), u"Carnarvon Tigers");

    db.reset();

    expect_closed(*table);
    expect_closed(*query);
    // What was read before stays: schema and count are the recordset's own.
    EXPECT_EQ(query->record_count, 7);
    EXPECT_EQ(table->schema.size(), 5u);
    query.reset();
    table.reset();
}

TEST_F(dao_lifetime_test, recordset_at_its_end_and_unread_ones)
{
    auto db = dao_test_open(*engine_, "nwind.mdb");
    std::unique_ptr<udb_recordset> unread = db->get_table(u"Shippers", 1);
    std::unique_ptr<udb_recordset> done = db->get_table(u"Categories", 1);
    int rows = 0;
    for (done->move_first(); !done->is_eof(); done->next()) ++rows;
    EXPECT_EQ(rows, 8);
    // A recordset destroyed while the database lives is simply gone.
    db->get_table(u"Employees", 1).reset();
    db.reset();
    expect_closed(*done);
    expect_closed(*unread);
}

}  // namespace
