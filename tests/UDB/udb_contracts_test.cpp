#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <memory>
#include <stdexcept>

#include "tk_wstring.h"
#include "udb_database.h"
#include "udb_engine.h"
#include "udb_field.h"
#include "udb_ftd.h"
#include "udb_record.h"
#include "udb_recordset.h"
#include "udb_test_support.h"

namespace {

class test_recordset : public udb_recordset {
public:
    using udb_recordset::udb_recordset;
    void append_record(udb_record& record) override
    {
        convert_record(record);
        ++appended;
    }
    int appended = 0;
};

class test_database : public udb_database {
public:
    test_database(bool case_sensitive, std::vector<std::u16string> tables) : udb_database(u"test", 1, case_sensitive)
    {
        table_names = std::move(tables);
    }
    std::unique_ptr<udb_recordset> create_table(const std::u16string& table, const udb_schema& columns,
                                                const udb_indexes&) override
    {
        auto rs = std::make_unique<test_recordset>(table, true);
        rs->schema = columns;
        table_names.push_back(table);
        return rs;
    }
    std::unique_ptr<udb_recordset> get_table(const std::u16string&, int) override { return nullptr; }
    std::unique_ptr<udb_recordset> get_query(const std::u16string& query_name, const std::u16string& text, int) override
    {
        return std::make_unique<test_recordset>(query_name, text, true);
    }
    bool test_query(const std::u16string& text) override { return !text.empty(); }
};

class test_engine : public udb_engine {
public:
    std::unique_ptr<udb_database> open_db(const std::u16string&, int, const std::u16string&) override
    {
        return std::make_unique<test_database>(false, std::vector<std::u16string>{});
    }
};

std::unique_ptr<udb_field> field(std::u16string name, const ole_variant& value)
{
    return std::make_unique<udb_field>(std::move(name), 0, value, false, false);
}

}  // namespace

TEST(udb_database, access_catalogue_ignores_case_oracle_compares_exactly)
{
    test_database access(false, {u"Orders", u"Größe"}), oracle(true, {u"ORDERS", u"Größe"});
    const struct {
        test_database& db;
        const char16_t* name;
        bool found;
    } cases[] = {
        {access, u"Orders", true}, {access, u"ORDERS", true},  {access, u"GRÖSSE", true},  {access, u"Order", false},
        {oracle, u"ORDERS", true}, {oracle, u"Orders", false}, {oracle, u"GRÖSSE", false}, {oracle, u"Größe", true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.db.is_table_exist(c.name), c.found)
            << tk_to_utf8(c.name) << (&c.db == &oracle ? " (Oracle)" : " (Access)");
    }
}

TEST(udb_database, is_table_exist_traces_each_comparison)
{
    trace_capture trace;
    test_database db(false, {u"A", u"B"});
    EXPECT_FALSE(db.is_table_exist(u"C"));
    EXPECT_TRUE(trace.has_line("udb_database::is_table_exist(C)"));
    EXPECT_TRUE(trace.has_line("Compare with A"));
    EXPECT_TRUE(trace.has_line("Compare with B"));
    EXPECT_TRUE(trace.has_line("table not found"));
}

TEST(udb_database, delete_tab_removes_from_catalogue)
{
    test_database access(false, {u"Orders", u"Customers"});
    access.delete_tab(u"ORDERS");
    EXPECT_EQ(access.table_names, std::vector<std::u16string>{u"Customers"});

    test_database oracle(true, {u"ORDERS"});
    expect_assertion([&] { oracle.delete_tab(u"Orders"); }, "udb_database.cpp");
    oracle.delete_tab(u"ORDERS");
    EXPECT_TRUE(oracle.table_names.empty());
    expect_assertion([&] { oracle.delete_tab(u"ORDERS"); }, "udb_database.cpp");
}

TEST(udb_database, base_query_is_not_supported_and_relationships_do_nothing)
{
    test_database db(true, {});
    expect_assertion([&] { db.query(u"DELETE FROM T"); }, "udb_database.cpp");
    udb_relationships rels;
    rels.push_back(udb_relationship{});
    EXPECT_NO_THROW(db.create_relationships(rels));
}

TEST(udb_recordset, base_behaviours)
{
    test_recordset table(u"T", true);
    EXPECT_EQ(table.get_item(), nullptr);
    EXPECT_TRUE(table.is_eof());
    EXPECT_FALSE(table.is_query());
    EXPECT_EQ(table.record_count, 0);
    EXPECT_EQ(table.key_index, -1);
    udb_record r;
    EXPECT_NO_THROW(table.update(r));
    table.move_first();
    table.next();
    table.move_prev();
    EXPECT_TRUE(table.is_eof());

    test_recordset query(u"Q", u"SELECT 1", true);
    EXPECT_TRUE(query.is_query());
    EXPECT_TRUE(query.schema.owns_descriptors());
    EXPECT_FALSE(test_recordset(u"B", false).schema.owns_descriptors());
}

TEST(udb_recordset, add_index_keeps_first_of_a_name)
{
    test_recordset rs(u"T", true);
    rs.add_index(udb_index(u"ix", false, false, {u"A"}));
    rs.add_index(udb_index(u"IX", true, false, {u"B"}));
    ASSERT_EQ(rs.indexes.size(), 1u);
    EXPECT_EQ(rs.indexes[0].fields, udb_name_list{u"A"});
    // The dropped duplicate was unique, yet it did not become the key.
    EXPECT_EQ(rs.key_index, -1);
}

TEST(udb_recordset, key_index_is_the_first_primary_or_unique)
{
    test_recordset rs(u"T", true);
    rs.add_index(udb_index(u"plain", false, false, {u"A"}));
    EXPECT_EQ(rs.key_index, -1);
    rs.add_index(udb_index(u"PrimaryKey", true, true, {u"ID"}));
    EXPECT_EQ(rs.key_index, 1);
    rs.add_index(udb_index(u"uniq", true, false, {u"Code"}));
    EXPECT_EQ(rs.key_index, 1);
    EXPECT_EQ(rs.indexes.size(), 3u);

    test_recordset unique_first(u"U", true);
    unique_first.add_index(udb_index(u"uniq", true, false, {u"Code"}));
    unique_first.add_index(udb_index(u"pk", true, true, {u"ID"}));
    EXPECT_EQ(unique_first.key_index, 0);
}

TEST(udb_recordset, convert_record_pairs_by_position)
{
    test_recordset rs(u"T", true);
    rs.schema.push_back(column(u"Amount", VT_I4));
    rs.schema.push_back(column(u"Label", VT_BSTR));
    udb_record r;
    r.push_back(field(u"Label", ole_variant(short(5))));  // names crossed on purpose
    r.push_back(field(u"Amount", ole_variant(7)));
    rs.append_record(r);
    EXPECT_EQ(rs.appended, 1);
    ASSERT_EQ(r[0].get_type(), VT_I4);
    EXPECT_EQ(r[0].as_i4(), 5);
    ASSERT_EQ(r[1].get_type(), VT_BSTR);
    EXPECT_EQ(r[1].as_wstring(), u"7");
    // The description of the field is untouched.
    EXPECT_EQ(r[0].name, u"Label");
}

TEST(udb_recordset, convert_record_converts_what_it_has_and_refuses_more_fields)
{
    test_recordset rs(u"T", true);
    rs.schema.push_back(column(u"A", VT_R8));
    rs.schema.push_back(column(u"B", VT_I4));
    udb_record fewer;
    fewer.push_back(field(u"A", ole_variant(3)));
    rs.convert_record(fewer);
    EXPECT_EQ(fewer[0].get_type(), VT_R8);
    EXPECT_DOUBLE_EQ(fewer[0].as_r8(), 3.0);
    udb_record more;
    for (int i : {1, 2, 3}) more.push_back(field(u"F", ole_variant(i)));
    EXPECT_THROW(rs.convert_record(more), std::out_of_range);
    EXPECT_EQ(more[1].get_type(), VT_I4);  // the fields before the fault are done
    EXPECT_EQ(more[0].get_type(), VT_R8);
}

TEST(udb_recordset, factory_results_belong_to_the_caller)
{
    std::unique_ptr<udb_database> db = test_engine().open_db(u"x.mdb", 1, u"");
    udb_schema columns;
    columns.push_back(column(u"ID", VT_I4));
    std::unique_ptr<udb_recordset> rs = db->create_table(u"NEW", columns, udb_indexes());
    EXPECT_TRUE(db->is_table_exist(u"new"));
    ASSERT_EQ(rs->schema.size(), 1u);
    EXPECT_NE(&rs->schema[0], &columns[0]);  // the recordset's own copy
    EXPECT_EQ(db->get_table(u"MSysObjects", 1), nullptr);
    EXPECT_TRUE(db->get_query(u"Q", u"SELECT 1", 1)->is_query());
}

TEST(udb_engine, file_tests_and_removal)
{
    temp_dir dir;
    write_file(dir.file("x.mdb"), "x");
    const std::u16string path = tk_from_ansi(dir.file("x.mdb"));
    test_engine engine;
    EXPECT_TRUE(engine.is_db_file_exist(path));
    engine.remove_db_file(path);
    EXPECT_FALSE(engine.is_db_file_exist(path));
    try {
        engine.remove_db_file(path);
        ADD_FAILURE() << "removing a missing file succeeded";
    } catch (const tk_exception_ex& e) {
        EXPECT_EQ(e.code, static_cast<uint32_t>(ENOENT));
        EXPECT_EQ(e.level, 1);
    }
    // A folder is not removed as a database.
    EXPECT_THROW(engine.remove_db_file(tk_from_ansi(dir.path())), tk_exception_ex);
    EXPECT_TRUE(std::filesystem::is_directory(dir.path()));
}
