#include "tlv_sel_tables_page.h"

#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "set_query_dlg.h"
#include "tk_logger.h"
#include "wizard_backend.h"
#include "wizard_services.h"
#include "wizard_shell.h"
#include "wizard_worker.h"

namespace {

QListWidget* make_list(const char* name)
{
    auto* list = new QListWidget;
    list->setObjectName(name);
    list->setSortingEnabled(true);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    return list;
}

QPushButton* make_button(const char* text, const char* name)
{
    auto* button = new QPushButton(text);
    button->setAutoDefault(false);  // Enter stays Next
    button->setObjectName(name);
    return button;
}

QString q(const std::u16string& s)
{
    return QString::fromStdU16String(s);
}

}  // namespace

tlv_sel_tables_page::tlv_sel_tables_page(wizard_backend& backend, QWidget* parent)
    : QWizardPage(parent), backend_(backend)
{
    setTitle("Step 4 of 5");
    setSubTitle("Select tables to convert");
    // Next starts the run: the progress page has no way back to the settings.
    setCommitPage(true);
    setButtonText(QWizard::CommitButton, "&Next >");
    auto* intro = new QLabel("Select MS Access tables to convert into Oracle format.");
    available_ = make_list("available");
    selected_ = make_list("selected");
    auto* available_label = new QLabel("&Available tables:");
    available_label->setBuddy(available_);
    auto* selected_label = new QLabel("&Selected tables:");
    selected_label->setBuddy(selected_);
    QPushButton* add = make_button("A&dd >", "add");
    QPushButton* add_all = make_button("Add a&ll >", "add_all");
    QPushButton* remove = make_button("< &Remove", "remove");
    QPushButton* remove_all = make_button("< Re&move all", "remove_all");
    // Alt+A is shared with the list's label: Qt then moves the focus between
    // the two on each press instead of clicking.
    QPushButton* add_query = make_button("&Add Query", "add_query");

    auto* buttons = new QVBoxLayout;
    buttons->addStretch();
    for (QPushButton* b : {add, add_all, remove, remove_all}) buttons->addWidget(b);
    buttons->addStretch();
    auto* grid = new QGridLayout;
    grid->addWidget(available_label, 0, 0);
    grid->addWidget(selected_label, 0, 2);
    grid->addWidget(available_, 1, 0);
    grid->addLayout(buttons, 1, 1);
    grid->addWidget(selected_, 1, 2);
    grid->addWidget(add_query, 2, 0, Qt::AlignLeft);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addLayout(grid);

    auto hook = [this](void (tlv_sel_tables_page::*f)()) {
        return [this, f] { wizard_shell::guard([this, f] { (this->*f)(); }); };
    };
    connect(add, &QPushButton::clicked, this, hook(&tlv_sel_tables_page::on_add));
    connect(add_all, &QPushButton::clicked, this, hook(&tlv_sel_tables_page::on_add_all));
    connect(remove, &QPushButton::clicked, this, hook(&tlv_sel_tables_page::on_delete));
    connect(remove_all, &QPushButton::clicked, this, hook(&tlv_sel_tables_page::on_del_all));
    connect(add_query, &QPushButton::clicked, this, hook(&tlv_sel_tables_page::on_add_query));
    connect(selected_, &QListWidget::itemDoubleClicked, this, hook(&tlv_sel_tables_page::on_edit_query));
    connect(available_, &QListWidget::itemDoubleClicked, this, hook(&tlv_sel_tables_page::on_add));
}

void tlv_sel_tables_page::initializePage()
{
    wizard_shell::guard([this] {
        tk_trace(2, "tolvane_convertor::get_all_tables");
        available_->clear();
        selected_->clear();
        std::vector<std::u16string> tables;
        try {
            wizard_run_off_gui(wizard(), [&] { tables = backend_.get_all_tables(); });
        } catch (...) {
            fill_lists({});
            throw;
        }
        fill_lists(tables);
    });
}

void tlv_sel_tables_page::fill_lists(const std::vector<std::u16string>& tables)
{
    const wizard_settings& s = backend_.settings();
    available_queries_.clear();
    selected_queries_.clear();
    for (const auto& name : tables) available_->addItem(q(name));
    // What the converter holds already (a loaded profile, or this page's
    // last Next) starts out selected.
    for (const auto& name : s.selected_tables) {
        auto found = available_->findItems(q(name), Qt::MatchExactly);
        if (found.isEmpty()) continue;
        selected_->addItem(available_->takeItem(available_->row(found.first())));
    }
    for (const auto& [name, text] : s.selected_queries) {
        if (text.empty() || is_listed(q(name))) continue;
        selected_queries_[q(name)] = q(text);
        selected_->addItem(q(name));
    }
    for (const auto& [name, text] : s.available_queries) {
        if (text.empty() || is_listed(q(name))) continue;
        available_queries_[q(name)] = q(text);
        available_->addItem(q(name));
    }
    if (available_->count() > 0) available_->setCurrentRow(0);
}

bool tlv_sel_tables_page::is_listed(const QString& name, const QString& except) const
{
    for (QListWidget* list : {available_, selected_})
        for (int i = 0; i < list->count(); ++i) {
            QString entry = list->item(i)->text();
            if (entry.compare(name, Qt::CaseInsensitive) == 0 && entry != except) return true;
        }
    return false;
}

void tlv_sel_tables_page::move_current(QListWidget* from, QListWidget* to, query_map& from_map, query_map& to_map)
{
    int row = from->currentRow();
    if (row < 0) return;
    QListWidgetItem* item = from->takeItem(row);
    auto query = from_map.find(item->text());
    if (query != from_map.end()) {
        to_map[query->first] = query->second;
        from_map.erase(query);
    }
    to->addItem(item);
    to->setCurrentItem(item);
    if (from->count() == 0) {
        to->setFocus();
        return;
    }
    from->setCurrentRow(std::min(row, from->count() - 1));
}

void tlv_sel_tables_page::move_all(QListWidget* from, QListWidget* to, query_map& from_map, query_map& to_map)
{
    while (from->count() > 0) {
        from->setCurrentRow(0);
        move_current(from, to, from_map, to_map);
    }
}

void tlv_sel_tables_page::on_add()
{
    tk_trace(2, "sel_tables_page::on_add");
    move_current(available_, selected_, available_queries_, selected_queries_);
}

void tlv_sel_tables_page::on_add_all()
{
    tk_trace(2, "sel_tables_page::on_add_all");
    move_all(available_, selected_, available_queries_, selected_queries_);
}

void tlv_sel_tables_page::on_delete()
{
    tk_trace(2, "sel_tables_page::on_delete");
    move_current(selected_, available_, selected_queries_, available_queries_);
}

void tlv_sel_tables_page::on_del_all()
{
    tk_trace(2, "sel_tables_page::on_del_all");
    move_all(selected_, available_, selected_queries_, available_queries_);
}

bool tlv_sel_tables_page::ask_query(QString& name, QString& text, const QString& old_name)
{
    for (;;) {
        set_query_dlg dialog(backend_, name, text, this);
        if (wizard_services::current().exec_dialog(dialog) != QDialog::Accepted) return false;
        name = dialog.name();
        text = dialog.query();
        if (!is_listed(name, old_name)) return true;
        wizard_shell::message("Duplicate table name. Try again.");
    }
}

void tlv_sel_tables_page::on_add_query()
{
    tk_trace(2, "sel_tables_page::on_add_query");
    QString name, text;
    if (!ask_query(name, text, QString())) return;
    selected_queries_[name] = text;
    selected_->addItem(name);
    selected_->setCurrentItem(selected_->findItems(name, Qt::MatchExactly).first());
}

void tlv_sel_tables_page::on_edit_query()
{
    QListWidgetItem* item = selected_->currentItem();
    if (item == nullptr) return;
    auto query = selected_queries_.find(item->text());
    if (query == selected_queries_.end()) return;  // a table: nothing to edit
    tk_trace(2, "sel_tables_page::on_edit_query");
    QString old_name = query->first;
    QString name = old_name, text = query->second;
    if (!ask_query(name, text, old_name)) return;
    selected_queries_.erase(old_name);
    delete selected_->takeItem(selected_->row(item));
    selected_queries_[name] = text;
    selected_->addItem(name);
}

bool tlv_sel_tables_page::validatePage()
{
    bool go_on = false;
    wizard_shell::guard([&] {
        if (selected_->count() == 0 && !wizard_shell::question("There are no tables selected. Continue anyway?"))
            return;
        wizard_settings& s = backend_.settings();
        s.selected_tables.clear();
        s.selected_queries.clear();
        s.available_queries.clear();
        for (int i = 0; i < selected_->count(); ++i) {
            QString name = selected_->item(i)->text();
            if (selected_queries_.count(name) == 0) s.selected_tables.push_back(name.toStdU16String());
        }
        for (const auto& [name, text] : selected_queries_)
            s.selected_queries[name.toStdU16String()] = text.toStdU16String();
        for (const auto& [name, text] : available_queries_)
            s.available_queries[name.toStdU16String()] = text.toStdU16String();
        go_on = true;
    });
    return go_on;
}
