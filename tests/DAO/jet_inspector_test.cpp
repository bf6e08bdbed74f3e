// tlvinspect's document: it parses as JSON and holds the component's view.
#include <gtest/gtest.h>

#include <sstream>

#include "jet_error.h"
#include "jet_inspector.h"
#include "jet_json.h"
#include "tk_wstring.h"

namespace {

const std::string k_data = TOLVANE_TEST_DATA;

jet_json inspect(const char* file, const char16_t* password = u"", const char16_t* table = u"", bool rows = true)
{
    jet_inspect_options o;
    o.file = tk_from_utf8(k_data + "/" + file);
    o.password = password;
    o.table = table;
    o.rows = rows;
    std::ostringstream out;
    jet_inspector::inspect(o, out);
    return jet_json::parse(out.str());
}

TEST(jet_inspector_test, text_forms)
{
    EXPECT_EQ(jet_inspector::shortest(0.1), "0.1");
    EXPECT_EQ(jet_inspector::shortest(1.7976931348623157e308), "1.7976931348623157e+308");
    EXPECT_EQ(jet_inspector::shortest(0.1f), "0.1");
    EXPECT_EQ(jet_inspector::json_string(u"a\"b\\c\n\U0001F600"), "\"a\\\"b\\\\c\\u000a\xF0\x9F\x98\x80\"");
    EXPECT_EQ(jet_inspector::neutral_kind(20), 14);  // Decimal stays exact
    EXPECT_EQ(jet_inspector::neutral_kind(16), 20);  // BigInt as VT_I8
    EXPECT_EQ(jet_inspector::neutral_kind(8), 7);
    EXPECT_EQ(jet_inspector::neutral_kind(15), 65);  // GUID as binary kind
}

TEST(jet_inspector_test, document_of_real_files)
{
    jet_json d = inspect("V2016_bigint.accdb");
    EXPECT_EQ(d.at("format").str, "ACE16");
    const jet_json& t = d.at("tables").arr.at(0);
    EXPECT_EQ(t.at("name").str, "Table");
    EXPECT_EQ(t.at("columns").arr.at(0).at("auto_increment").b, true);
    EXPECT_EQ(t.at("rows").arr.at(0).arr.at(1).str, "42");

    jet_json n = inspect("nwind.mdb", u"", u"Products", false);
    ASSERT_EQ(n.at("tables").arr.size(), 1u);
    EXPECT_EQ(n.at("tables").arr[0].get("rows"), nullptr);
    EXPECT_FALSE(n.at("relationships").arr.empty());

    jet_json p = inspect("V2010_with-password.accdb", u"password");
    EXPECT_EQ(p.at("tables").arr.size(), 1u);
    EXPECT_THROW(inspect("V2010_with-password.accdb", u"nope"), jet_error);
    EXPECT_THROW(inspect("nwind.mdb", u"", u"NoSuchTable"), jet_error);
}

}  // namespace
