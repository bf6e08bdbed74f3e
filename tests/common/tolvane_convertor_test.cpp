// The converter's settings as profiles carry them, and the run's report.
#include "tolvane_convertor.h"

#include <gtest/gtest.h>

#include <cstring>
#include <optional>

#include "conversion_report.h"
#include "error_handler.h"
#include "tk_error_tables.h"
#include "udb_profile.h"

namespace {

class converter_profile : public ::testing::Test {
protected:
    error_handler handler_{tk_oracle_error_count, tk_oracle_errors};
    std::optional<tolvane_convertor> conv_{std::in_place};
};

TEST_F(converter_profile, flag_and_mode_values_as_people_write_them)
{
    struct flag_case {
        const char* value;
        bool zero_rule;  // "only definitions" and "skip indexes"
        bool one_rule;   // "uppercase"
    };
    // Switch words win; other texts keep the old reading.
    const flag_case cases[] = {
        {"0", false, false},  {"1", true, true},     {" 0 ", false, false}, {"false", false, false},
        {"No", false, false}, {"OFF", false, false}, {"yes", true, true},   {"On", true, true},
        {"TRUE", true, true}, {"01", true, false},   {"x", true, false},
    };
    for (const flag_case& c : cases) {
        udb_profile p;
        std::u16string v(c.value, c.value + std::strlen(c.value));
        p.set_value(u"Generic settings", u"only definitions", v);
        p.set_value(u"Generic settings", u"skip indexes", v);
        p.set_value(u"Oracle settings", u"uppercase", v);
        conv_->tab_def = !c.zero_rule;
        conv_->skip_idx = !c.zero_rule;
        conv_->uppercase = !c.one_rule;
        conv_->load_profile(p);
        EXPECT_EQ(conv_->tab_def, c.zero_rule) << c.value;
        EXPECT_EQ(conv_->skip_idx, c.zero_rule) << c.value;
        EXPECT_EQ(conv_->uppercase, c.one_rule) << c.value;
    }
    const std::pair<const char*, int> modes[] = {{"2", 2}, {" 4 ", 4}, {"", 4}, {"  ", 4}, {"1", 1}};
    for (const auto& [text, expected] : modes) {
        udb_profile p;
        p.set_value(u"Generic settings", u"mode", std::u16string(text, text + std::strlen(text)));
        conv_->load_profile(p);
        EXPECT_EQ(conv_->mode, expected) << text;
    }
    for (const char* bad : {"0", "5", "12", "x", "-1"}) {
        udb_profile p;
        p.set_value(u"Generic settings", u"mode", std::u16string(bad, bad + std::strlen(bad)));
        EXPECT_THROW(conv_->load_profile(p), udb_invalid_mode) << bad;
        EXPECT_EQ(conv_->mode, 1) << bad;
    }
}

TEST_F(converter_profile, store_and_load_give_the_same_settings)
{
    conv_->src = u"/d/shop.mdb";
    conv_->dest = u"XE";
    conv_->mode = 3;
    conv_->tab_def = true;
    conv_->skip_idx = false;
    conv_->uppercase = true;
    conv_->host = u"db";
    conv_->user = u"scott";
    conv_->password = u"tiger";
    conv_->port = u"1522";
    conv_->sysdb_path = u"/d/system.mdw";
    conv_->ugl_user = u"Admin";
    conv_->ugl_pswd = u"pw";
    conv_->acc_pswd = u"secret";
    conv_->jet3_codepage = 936;
    conv_->selected_tables = {u"Orders", u"Order=Details"};
    conv_->selected_queries = {{u"Q1", u"SELECT * FROM Orders"}};
    conv_->available_queries = {{u"Q2", u"SELECT 1"}};
    udb_profile p;
    ASSERT_TRUE(conv_->store_profile(p));
    EXPECT_EQ(p.get_value(u"Oracle settings", u"uppercase"), u"1");

    udb_profile copy = p;
    // A new converter, with every setting at its default, reads it back.
    conv_.reset();
    conv_.emplace();
    conv_->load_profile(copy);

    EXPECT_EQ(conv_->src, u"/d/shop.mdb");
    EXPECT_EQ(conv_->dest, u"XE");
    EXPECT_EQ(conv_->mode, 3);
    EXPECT_TRUE(conv_->tab_def);
    EXPECT_TRUE(conv_->uppercase);
    EXPECT_EQ(conv_->host + conv_->user + conv_->password + conv_->port, u"dbscotttiger1522");
    EXPECT_EQ(conv_->sysdb_path + conv_->ugl_user + conv_->ugl_pswd + conv_->acc_pswd, u"/d/system.mdwAdminpwsecret");
    EXPECT_EQ(conv_->jet3_codepage, 936);
    // Map order: "Order=Details" sorts before "Orders".
    const std::vector<std::u16string> tables{u"Order=Details", u"Orders"};
    EXPECT_EQ(conv_->selected_tables, tables);
    EXPECT_EQ(conv_->selected_queries.at(u"Q1"), u"SELECT * FROM Orders");
    EXPECT_EQ(conv_->available_queries.at(u"Q2"), u"SELECT 1");
}

TEST_F(converter_profile, settings_stores_and_a_damaged_code_page)
{
    conv_->store_oracle_settings(u"", u" u ", u"p", u"");
    EXPECT_EQ(conv_->host, u"localhost");
    EXPECT_EQ(conv_->user, u" u ");
    conv_->store_ugl_settings(u" /w.mdw ", u" Admin", u"pw ");
    EXPECT_EQ(conv_->sysdb_path + u"|" + conv_->ugl_user + u"|" + conv_->ugl_pswd, u"/w.mdw|Admin|pw");
    EXPECT_TRUE(conv_->uses_ugl());
    conv_->sysdb_path.clear();
    EXPECT_FALSE(conv_->uses_ugl());

    udb_profile p;
    p.set_value(u"MS Access settings", u"jet3 code page", u"9x");
    EXPECT_THROW(conv_->load_profile(p), tk_exception);
    EXPECT_THROW(conv_->check_acc_base(u"", u""), tk_mail_assertion);
}

TEST(conversion_report, json_escapes_and_summary_columns)
{
    conversion_report r;
    conversion_entry_report& e = r.add(u"Tab\"le\\1");
    e.target = u"Tab_le_1";
    e.action = "created";
    e.rows_read = 12;
    e.rows_inserted = 11;
    e.rows_failed = 1;
    for (int i = 0; i < 7; ++i) e.add_error("bad\trow\n" + std::to_string(i));
    EXPECT_EQ(e.errors.size(), conversion_entry_report::max_errors);
    std::string json = r.to_json();
    EXPECT_NE(json.find("\"access\": \"Tab\\\"le\\\\1\", \"oracle\": \"Tab_le_1\", \"action\": \"created\", "
                        "\"read\": 12, \"inserted\": 11, \"updated\": 0, \"duplicates\": 0, \"failed\": 1, "
                        "\"errors\": [\"bad\\trow\\n0\""),
              std::string::npos)
        << json;
    EXPECT_FALSE(r.clean());
    EXPECT_EQ(r.summary_table(),
              "Access        Oracle        action         read  inserted   updated duplicate    failed\n"
              "Tab\"le\\1      Tab_le_1      created          12        11         0         0         1\n");
    conversion_report empty;
    EXPECT_TRUE(empty.clean());
    EXPECT_EQ(empty.to_json(),
              "{\n  \"interrupted\": false,\n  \"aborted\": false,\n  \"errors\": [],\n  \"tables\": []\n}\n");
}

}  // namespace
