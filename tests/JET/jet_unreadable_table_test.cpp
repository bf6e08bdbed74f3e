// A table that cannot be read does not end an inspection: it is reported
// with its DAO error and the other tables are read to the end. Files made
// at test time: linked.mdb with one link turned into an ODBC link, and
// V2010_test.accdb with one table definition or one table's rows damaged.
#include <gtest/gtest.h>

#include <regex>
#include <sstream>

#include "jet_error.h"
#include "jet_libmdb.h"
#include "jet_patched_file.h"
#include "jet_table_reader.h"
#include "jet_test_util.h"
#include "jet_viewer.h"
#include "tk_wstring.h"

namespace {

// The file offset of the MSysObjects.Type value of object `name`.
size_t type_offset(const std::string& path, std::u16string_view name)
{
    auto db = jet_test_open(path);
    jet_table_reader reader(db->file(), db->catalog().mdb_entry(*db->catalog().find(u"MSysObjects")));
    const int c_name = reader.find_column(u"Name"), c_type = reader.find_column(u"Type");
    std::vector<jet_value> row;
    std::vector<MdbField> fields(reader.table()->num_cols + 1);
    while (reader.next(row)) {
        if (row[c_name].text != name) continue;
        MdbTableDef* t = reader.table();
        int start = 0;
        size_t size = 0;
        if (mdb_find_row(db->file().mdb(), static_cast<int>(t->cur_row) - 1, &start, &size) != 0 ||
            mdb_crack_row(t, start & 0x1FFF, size, fields.data()) < 0)
            break;
        return static_cast<size_t>(t->cur_phys_pg) * db->file().header().page_size +
               static_cast<size_t>(fields[reader.columns()[c_type].index].start);
    }
    throw std::runtime_error("no MSysObjects row for the object");
}

std::string inspect(const std::string& path)
{
    jet_inspect_options o;
    o.file = tk_from_utf8(path);
    return jet_test_inspect(o);
}

TEST(jet_unreadable_table_test, odbc_link_reported_with_3151)
{
    const std::string source = jet_test_data("linked.mdb");
    const size_t at = type_offset(source, u"table2");
    jet_patched_file file(source);
    ASSERT_EQ(file.bytes()[at], 6);  // a link to another Access file
    file.bytes()[at] = 4;            // now an ODBC link
    const std::string& path = file.write();
    {
        auto db = jet_test_open(path);
        EXPECT_EQ(db->tabledef(u"table2").attributes(), 0x20000000);
    }
    const std::string json = inspect(path);
    EXPECT_TRUE(std::regex_search(json, std::regex(R"(\{"name": "table2", "attributes": 536870912, "linked": true,)"
                                                   R"(\s*"error": \{"number": 3151, "description": "ODBC)")))
        << json;
    // The Access link is still listed as linked, and the document is whole.
    EXPECT_NE(json.find(R"({"name": "Table1", "reason": "linked"})"), std::string::npos) << json;
    EXPECT_NE(json.find("\"relationships\""), std::string::npos);
}

enum class damage { definition, row_offsets, row_count };

// Damages the data pages of the table whose definition is on `tdef_page`:
// every row offset, or the row count; returns how many pages it changed.
int damage_rows(jet_patched_file& file, uint32_t tdef_page, damage what)
{
    const std::vector<uint32_t> pages = file.data_pages(tdef_page);
    for (uint32_t page : pages) {
        uint8_t* p = file.bytes().data() + static_cast<size_t>(page) * 4096;
        if (what == damage::row_count) {
            p[12] = p[13] = 0xFF;  // an offset table far beyond the page
            continue;
        }
        for (int r = 0; r < (p[12] | (p[13] << 8)); ++r) {
            p[14 + 2 * r] = 0xFE;  // two bytes before the page's end: no row fits
            p[15 + 2 * r] = 0x0F;
        }
    }
    return static_cast<int>(pages.size());
}

// A damaged table definition (Table2), and a sound one whose rows cannot be
// read (Table1): libmdb passes over such rows as if there were none, the
// reader makes them the table's error. Either way the table is reported
// with its error and the tables around it are read in full.
TEST(jet_unreadable_table_test, damaged_table_between_sound_ones)
{
    const std::string source = jet_test_data("V2010_test.accdb");
    const struct {
        const char16_t* table;
        damage what;
    } cases[] = {{u"Table2", damage::definition}, {u"Table1", damage::row_offsets}, {u"Table1", damage::row_count}};
    for (const auto& c : cases) {
        SCOPED_TRACE(tk_to_utf8(c.table));
        uint32_t page = 0;
        {
            auto db = jet_test_open(source);
            page = db->catalog().find(c.table)->table_page;
        }
        jet_patched_file file(source);
        const bool rows = c.what != damage::definition;
        if (rows)
            ASSERT_EQ(damage_rows(file, page, c.what), 1);
        else
            file.bytes()[static_cast<size_t>(page) * 4096] = 0x07;  // no longer a table definition
        const std::string& path = file.write();
        const std::string json = inspect(path);
        EXPECT_TRUE(
            std::regex_search(json, std::regex(R"(\{"name": ")" + tk_to_utf8(c.table) +
                                               R"(", "attributes": 0, "linked": false,\s*"error": \{"number": 3343,)")))
            << json;
        // The others are read in full.
        EXPECT_EQ(json.find(R"(["abcdefg", "hijklmnop", 2, 222, 333333333)") != std::string::npos, !rows);
        for (const char* other : {"Table2", "Table3"}) {
            if (tk_from_utf8(other) == c.table) continue;
            EXPECT_TRUE(
                std::regex_search(json, std::regex(std::string(R"("name": ")") + other + R"("[^}]*"record_count")")))
                << json;
        }
        if (rows) {
            // The reader itself: the definition reads, reading the rows raises.
            auto db = jet_test_open(path);
            jet_table_reader reader(db->file(), db->catalog().mdb_entry(*db->catalog().find(c.table)));
            EXPECT_FALSE(reader.columns().empty());
            std::vector<jet_value> row;
            EXPECT_THROW(while (reader.next(row)){}, jet_error);
        }
    }
}

}  // namespace
