// Step 4: the tables to convert, and SELECT queries whose results are
// converted as tables of their own. Two lists (available, selected) and two
// query maps; Next hands the converter the selected tables, the selected
// queries and the queries defined but not selected.
#pragma once

#include <map>

#include <QString>
#include <QWizardPage>

class QListWidget;
class QPushButton;
class wizard_backend;

class tlv_sel_tables_page : public QWizardPage {
    Q_OBJECT
public:
    explicit tlv_sel_tables_page(wizard_backend& backend, QWidget* parent = nullptr);

    void initializePage() override;
    bool validatePage() override;

    void on_add();
    void on_add_all();
    void on_delete();
    void on_del_all();
    void on_add_query();
    void on_edit_query();

    QListWidget* available_list() const { return available_; }
    QListWidget* selected_list() const { return selected_; }

private:
    using query_map = std::map<QString, QString>;

    void fill_lists(const std::vector<std::u16string>& tables);
    void move_current(QListWidget* from, QListWidget* to, query_map& from_map, query_map& to_map);
    void move_all(QListWidget* from, QListWidget* to, query_map& from_map, query_map& to_map);
    bool is_listed(const QString& name, const QString& except = QString()) const;
    // Runs the query dialog until it is cancelled or gives a name not yet
    // listed (other than `old_name`); false on Cancel.
    bool ask_query(QString& name, QString& text, const QString& old_name);

    wizard_backend& backend_;
    QListWidget* available_;
    QListWidget* selected_;
    query_map selected_queries_;
    query_map available_queries_;
};
