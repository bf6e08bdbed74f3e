// The table page: moving entries, queries added and edited through the
// dialog, and what Next hands the converter.
#include <QListWidget>

#include "gui2_test_support.h"
#include "set_query_dlg.h"
#include "tlv_sel_tables_page.h"

namespace {

QStringList entries(QListWidget* list)
{
    QStringList names;
    for (int i = 0; i < list->count(); ++i) names << list->item(i)->text();
    return names;
}

// A dialog handler that types `name` and `text` and presses OK.
script_services::dialog_handler type_query(const QString& name, const QString& text)
{
    return [name, text](QDialog& d) {
        auto& q = dynamic_cast<set_query_dlg&>(d);
        q.set_fields(name, text);
        q.on_ok();
        return q.result();
    };
}

}  // namespace

class tables_page_test : public wizard_test {
protected:
    tlv_sel_tables_page* open_page()
    {
        page = new tlv_sel_tables_page(backend);
        holder.addPage(page);
        holder.show();  // shows the page: initializePage runs
        return page;
    }
    QWizard holder;
    tlv_sel_tables_page* page = nullptr;
};

TEST_F(tables_page_test, moves_keep_lists_sorted_and_selection_in_place)
{
    open_page();
    QListWidget* avail = page->available_list();
    QListWidget* sel = page->selected_list();
    EXPECT_EQ(entries(avail), QStringList({"Customers", "Employees", "Order Details", "Orders", "Products"}));
    EXPECT_EQ(avail->currentRow(), 0);

    avail->setCurrentRow(4);  // the last entry: selection moves to the new last
    page->on_add();
    EXPECT_EQ(avail->currentRow(), 3);
    avail->setCurrentRow(1);
    page->on_add();
    EXPECT_EQ(avail->currentRow(), 1);
    EXPECT_EQ(entries(sel), QStringList({"Employees", "Products"}));

    page->on_add_all();
    EXPECT_EQ(avail->count(), 0);
    EXPECT_EQ(sel->count(), 5);
    sel->setCurrentRow(0);
    page->on_delete();
    EXPECT_EQ(entries(avail), QStringList({"Customers"}));
    page->on_del_all();
    EXPECT_EQ(sel->count(), 0);
    EXPECT_EQ(avail->count(), 5);
}

TEST_F(tables_page_test, queries_added_renamed_and_handed_over)
{
    open_page();
    // A duplicate of a table (in any case) is refused and the dialog reopens
    // with what was typed; a multi-line text is kept on one line.
    services.dialogs.push_back(type_query("orders", "SELECT * FROM Orders"));
    services.dialogs.push_back([](QDialog& d) {
        auto& q = dynamic_cast<set_query_dlg&>(d);
        EXPECT_EQ(q.name(), "orders");
        q.set_fields("Recent", "SELECT *\nFROM Orders\r\nWHERE Year = 2011");
        q.on_ok();
        return q.result();
    });
    page->on_add_query();
    EXPECT_EQ(services.take_texts(), std::vector<QString>{"Duplicate table name. Try again."});
    EXPECT_EQ(entries(page->selected_list()), QStringList({"Recent"}));

    services.dialogs.push_back(type_query("Q2", "SELECT * FROM Products"));
    page->on_add_query();

    // Renaming onto another entry is refused like a new name; renaming to
    // itself with another text is not.
    page->selected_list()->setCurrentRow(entries(page->selected_list()).indexOf("Recent"));
    services.dialogs.push_back(type_query("Customers", "SELECT * FROM Orders"));
    services.dialogs.push_back(type_query("Recent", "SELECT * FROM Customers"));
    page->on_edit_query();
    EXPECT_EQ(services.take_texts(), std::vector<QString>{"Duplicate table name. Try again."});

    // A table entry is not edited.
    page->available_list()->setCurrentRow(0);
    page->on_add();
    page->selected_list()->setCurrentRow(entries(page->selected_list()).indexOf("Customers"));
    page->on_edit_query();
    EXPECT_TRUE(services.dialogs.empty());

    // Q2 goes back to the available list: an available query.
    page->selected_list()->setCurrentRow(entries(page->selected_list()).indexOf("Q2"));
    page->on_delete();

    ASSERT_TRUE(page->validatePage());
    const wizard_settings& s = backend.settings();
    EXPECT_EQ(s.selected_tables, std::vector<std::u16string>{u"Customers"});
    EXPECT_EQ(s.selected_queries, (std::map<std::u16string, std::u16string>{{u"Recent", u"SELECT * FROM Customers"}}));
    EXPECT_EQ(s.available_queries, (std::map<std::u16string, std::u16string>{{u"Q2", u"SELECT * FROM Products"}}));
}

TEST_F(tables_page_test, empty_selection_asks_and_no_stays)
{
    open_page();
    backend.settings().selected_tables = {u"Orders"};
    services.answers = {false, true};
    EXPECT_FALSE(page->validatePage());
    EXPECT_EQ(backend.settings().selected_tables, std::vector<std::u16string>{u"Orders"});  // untouched
    EXPECT_TRUE(page->validatePage());
    EXPECT_TRUE(backend.settings().selected_tables.empty());
    EXPECT_EQ(services.take_texts(), std::vector<QString>(2, "There are no tables selected. Continue anyway?"));
}

TEST_F(tables_page_test, profile_selection_is_preselected)
{
    wizard_settings& s = backend.settings();
    s.selected_tables = {u"Orders", u"Missing"};
    s.selected_queries = {{u"Q1", u"SELECT * FROM Orders"}};
    s.available_queries = {{u"Q2", u"SELECT * FROM Products"}, {u"Orders", u"SELECT 1"}, {u"Blank", u""}};
    open_page();
    EXPECT_EQ(entries(page->selected_list()), QStringList({"Orders", "Q1"}));
    // A query named like a listed table, and one without text, are not offered.
    EXPECT_EQ(entries(page->available_list()),
              QStringList({"Customers", "Employees", "Order Details", "Products", "Q2"}));
}

TEST_F(tables_page_test, unreadable_source_is_reported_not_thrown)
{
    backend.source_failure = std::make_unique<tk_exception>("Could not find file '/x.mdb'.", 1);
    open_page();
    EXPECT_EQ(services.take_texts(), std::vector<QString>{"Could not find file '/x.mdb'."});
    EXPECT_EQ(page->available_list()->count(), 0);
}
