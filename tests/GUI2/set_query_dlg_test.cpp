// The query dialog's check, its OK rules and "Test Query".
#include <QLineEdit>
#include <QPlainTextEdit>

#include "gui2_test_support.h"
#include "set_query_dlg.h"

TEST(set_query_dlg, query_check)
{
    struct row {
        QString text;
        bool passes;
        QString kept;
    };
    const row rows[] = {
        {"", true, ""},
        {"  select * from T", true, "select * from T"},
        {"\t\r\n SELECT a FROM T", true, "SELECT a FROM T"},
        {"SeLeCt 1", true, "SeLeCt 1"},
        {"SELEC * FROM T", false, ""},
        {"WITH q AS (SELECT 1) SELECT * FROM q", false, ""},
        {"   ", false, ""},
        {"x SELECT", false, ""},
        {"SELECT a,\r\n b\nFROM T\rWHERE 1", true, "SELECT a,  b FROM T WHERE 1"},
    };
    for (const row& r : rows) {
        QString kept;
        EXPECT_EQ(set_query_dlg::check_query(r.text, kept), r.passes) << r.text.toStdString();
        if (r.passes) {
            EXPECT_EQ(kept, r.kept) << r.text.toStdString();
        }
    }
}

class set_query_dlg_test : public wizard_test {};

TEST_F(set_query_dlg_test, ok_rules_keep_the_dialog_open_with_their_message)
{
    struct row {
        QString name;
        QString text;
        QString error;  // empty: accepted
        QString kept;
    };
    const row rows[] = {
        {"", "SELECT 1", "Table name is empty!", ""},
        {"   ", "SELECT 1", "Table name is empty!", ""},
        {"Q", "DELETE FROM T", "The query must start with SELECT.", ""},
        {"Q", "", "Query is empty!", ""},
        {"Q", "  select *\nfrom T", "", "select * from T"},
    };
    for (const row& r : rows) {
        set_query_dlg d(backend, r.name, r.text);
        d.on_ok();
        std::vector<QString> shown = services.take_texts();
        if (r.error.isEmpty()) {
            EXPECT_EQ(d.result(), QDialog::Accepted);
            EXPECT_TRUE(shown.empty());
            EXPECT_EQ(d.query(), r.kept);
        } else {
            EXPECT_NE(d.result(), QDialog::Accepted) << r.error.toStdString();
            EXPECT_EQ(shown, std::vector<QString>{r.error});
        }
    }
}

TEST_F(set_query_dlg_test, test_query_answers)
{
    struct row {
        QString text;
        QString shown;
        bool asks_source;
    };
    const row rows[] = {
        {"SELECT * FROM Orders", "The query is correct.", true},
        {"SELECT * FROM Nowhere", set_query_dlg::syntax_error_text(), true},
        {"UPDATE Orders SET x = 1", "The query must start with SELECT.", false},
    };
    for (const row& r : rows) {
        backend.calls.clear();
        set_query_dlg d(backend, "Q", r.text);
        d.on_test_query();
        EXPECT_EQ(services.take_texts(), std::vector<QString>{r.shown});
        EXPECT_EQ(!backend.calls.empty(), r.asks_source) << r.text.toStdString();
    }
    EXPECT_TRUE(set_query_dlg::syntax_error_text().endsWith("support@tolvane.dev if the error persists."));
}
