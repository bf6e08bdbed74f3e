// The code page of Access 97 text: the header's by default, the user's when
// set (values and names alike), and a clear error for one the system cannot
// convert.
#include <gtest/gtest.h>

#include "jet_database.h"
#include "jet_dbengine.h"
#include "jet_patched_file.h"
#include "jet_querydef.h"
#include "jet_recordset.h"
#include "jet_tabledef.h"
#include "jet_test_util.h"
#include "jet_text.h"
#include "tk_wstring.h"

namespace {

std::unique_ptr<jet_database> open_with(const std::string& path, int code_page)
{
    auto engine = jet_dbengine::create(3);
    engine->set_jet3_code_page(code_page);
    return engine->open_database(tk_from_utf8(path), false, true, u"");
}

TEST(jet_code_page_test, multi_byte_code_pages_libmdb_lacks)
{
    struct text_case {
        uint16_t code_page;
        std::vector<uint8_t> bytes;
        std::u16string text;
    };
    const std::vector<text_case> cases = {
        {949, {0xC7, 0xD1, 0xB1, 0xB9}, u"한국"},
        {936, {'G', 'B', 'K', 0xB1, 0xE0, 0xC2, 0xEB}, u"GBK编码"},
        {950, {0xA4, 0xA4, 0xA4, 0xE5}, u"中文"},
        {1253, {0xE1, 0xE2, 0xE3}, u"αβγ"},
    };
    for (const text_case& c : cases) {
        EXPECT_FALSE(jet_code_page_iconv_name(c.code_page).empty()) << c.code_page;
        jet_text_decoder d(c.code_page);
        EXPECT_EQ(d.code_page(), c.code_page);
        EXPECT_EQ(d.decode(c.bytes.data(), c.bytes.size()), c.text) << c.code_page;
        EXPECT_EQ(d.encode(c.text), std::string(c.bytes.begin(), c.bytes.end())) << c.code_page;
    }
    for (uint16_t none : {0, 1, 12345, 65534}) EXPECT_TRUE(jet_code_page_iconv_name(none).empty()) << none;
}

TEST(jet_code_page_test, values_of_a_gbk_file)
{
    const std::vector<std::pair<int, std::u16string>> cases = {
        {0, u"GBK\u00B1\u00E0\u00C2\u00EB"},  // the header's 1252: what a reader without the setting shows
        {1252, u"GBK\u00B1\u00E0\u00C2\u00EB"},
        {936, u"GBK编码"},
        {949, u"GBK긍쯤"},
    };
    for (const auto& [code_page, text] : cases) {
        SCOPED_TRACE(code_page);
        auto db = open_with(jet_test_data("charsetGBK.mdb"), code_page);
        EXPECT_EQ(db->file().text_code_page(), code_page == 0 ? 1252 : code_page);
        auto rs = db->create_querydef(u"", u"SELECT * FROM [table1]")->open_recordset();
        ASSERT_FALSE(rs->eof());
        EXPECT_EQ(rs->fields().at(1).value().as_wstring(), text);
    }
}

// Names come out in the same code page: a table name read from the
// catalogue (nwind's "Umsätze") and a column name libmdb reads from the
// table definition (charsetGBK's "field1" rewritten as GBK bytes).
TEST(jet_code_page_test, names_use_the_chosen_code_page)
{
    auto has_table = [](jet_database& db, std::u16string_view name) {
        for (jet_tabledef& t : db.tabledefs())
            if (t.name() == name) return true;
        return false;
    };
    EXPECT_TRUE(has_table(*open_with(jet_test_data("nwind.mdb"), 0), u"Umsätze"));
    auto cyrillic = open_with(jet_test_data("nwind.mdb"), 1251);
    EXPECT_TRUE(has_table(*cyrillic, u"Umsдtze"));
    EXPECT_FALSE(has_table(*cyrillic, u"Umsätze"));

    jet_patched_file file(jet_test_data("charsetGBK.mdb"));
    ASSERT_GE(file.replace_all({'f', 'i', 'e', 'l', 'd', '1'}, {0xD7, 0xD6, 0xB6, 0xCE, '1', '2'}), 1);
    const std::string& path = file.write();
    const std::vector<std::pair<int, std::u16string>> cases = {{936, u"字段12"}, {0, u"×Ö¶Î12"}};
    for (const auto& [code_page, name] : cases) {
        auto db = open_with(path, code_page);
        std::vector<jet_field> fields = db->tabledef(u"table1").fields();
        ASSERT_EQ(fields.size(), 2u);
        EXPECT_EQ(fields[1].name(), name) << code_page;
        // The query engine finds the column by that name.
        auto rs = db->create_querydef(u"", u"SELECT [" + name + u"] FROM [table1]")->open_recordset();
        ASSERT_FALSE(rs->eof());
    }
}

TEST(jet_code_page_test, code_pages_that_cannot_be_used)
{
    auto engine = jet_dbengine::create(3);
    engine->set_jet3_code_page(936);
    for (int bad : {12345, -1, 70000, 1}) {
        try {
            engine->set_jet3_code_page(bad);
            ADD_FAILURE() << bad << " accepted";
        } catch (const jet_error& e) {
            EXPECT_EQ(e.number, 3001);
            EXPECT_NE(e.description.find(tk_widen_ascii(std::to_string(bad))), std::u16string::npos)
                << tk_to_utf8(e.description);
            ASSERT_FALSE(engine->errors().empty());
            EXPECT_EQ(engine->errors().front().description, e.description);
        }
        EXPECT_EQ(engine->jet3_code_page(), 936);  // the setting is kept
    }
    // Jet4 and later files keep Unicode text whatever the setting.
    auto db = engine->open_database(tk_from_utf8(jet_test_data("V2010_test.accdb")), false, true, u"");
    EXPECT_EQ(db->file().text_code_page(), 0);
}

}  // namespace
