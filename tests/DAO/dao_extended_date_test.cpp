// Date/Time Extended columns as the converter sees them, in a table and in
// a query's result: the schema entry keeps seven fraction digits and each
// record's value its 100-ns fraction.
#include <gtest/gtest.h>

#include "dao_test_util.h"
#include "jet_database.h"
#include "jet_dbengine.h"
#include "jet_patched_file.h"
#include "udb_field.h"
#include "udb_ftd.h"
#include "udb_record.h"
#include "udb_recordset.h"

namespace {

TEST(dao_extended_date_test, schema_and_records_carry_the_fraction)
{
    const std::string source = dao_test_data("DateTestDatabase.mdb");
    const uint32_t page = [&] {
        auto db = jet_dbengine::create(3)->open_database(tk_from_utf8(source), false, true, u"");
        return db->catalog().find(u"DateTest")->table_page;
    }();
    jet_patched_file file(source);
    const std::string& path = jet_extended_date_copy(file, page);

    auto engine = dao_test_engine();
    std::unique_ptr<udb_database> db = engine->open_db(tk_from_utf8(path), 1, u"");
    // The table, and a query the engine answers from a copy of it.
    std::unique_ptr<udb_recordset> sources[] = {
        db->get_table(u"DateTest", 1),
        db->get_query(u"Joined", u"SELECT d.* FROM DateTest AS d INNER JOIN DateTest AS e ON d.IDCol = e.IDCol", 1)};
    for (const auto& rs : sources) {
        SCOPED_TRACE(rs->is_query() ? "query" : "table");
        ASSERT_EQ(rs->schema.size(), 6u);
        for (size_t i = 0; i < rs->schema.size(); ++i) {
            const t_ftd& ftd = rs->schema[i];
            SCOPED_TRACE(i);
            EXPECT_EQ(ftd.fraction_digits, i == 4 ? 7 : 0);
            if (i == 4) {
                EXPECT_EQ(ftd.vartype, VT_DATE);
            }
        }
        int seen = 0;
        for (; !rs->is_eof(); rs->next()) {
            udb_record* rec = rs->get_item();
            const udb_field& id = rec->at(0);
            const udb_field& value = rec->at(4);
            if (id.to_long() != 5) {
                EXPECT_EQ(value.get_vt(), VT_NULL);
                continue;
            }
            ++seen;
            ASSERT_EQ(value.get_vt(), VT_DATE);
            EXPECT_EQ(value.to_string(), "2021-12-02 13:45:30");
            EXPECT_EQ(value.date_fraction(), 1234567u);
            // Plain date columns of the same row keep none.
            EXPECT_EQ(rec->at(1).date_fraction(), 0u);
        }
        EXPECT_EQ(seen, 1);
    }
}

}  // namespace
