// The query editor of the table page: the name the query's result gets as
// an Oracle table, and its SELECT text; "Test Query" compiles the text
// against the MS Access source on a worker thread.
#pragma once

#include <QDialog>
#include <QString>

class QLineEdit;
class QPlainTextEdit;
class wizard_backend;

class set_query_dlg : public QDialog {
    Q_OBJECT
public:
    // Both fields are read up to this many characters.
    static constexpr int max_text = 2048;

    set_query_dlg(wizard_backend& backend, const QString& name, const QString& text, QWidget* parent = nullptr);

    // The query check. An empty text passes. Otherwise, after the leading
    // blanks (tab, line feed, carriage return, space), the text must begin
    // with SELECT in any case. `kept` receives the text from its first
    // non-blank character on, each line break turned into one blank: the
    // profile format has no multi-line values.
    static bool check_query(const QString& text, QString& kept);

    // The name and the checked text after OK.
    QString name() const;
    QString query() const { return query_; }

    void set_fields(const QString& name, const QString& text);

    void on_ok();
    void on_test_query();

    static QString syntax_error_text();

private:
    QString raw_query() const;

    wizard_backend& backend_;
    QLineEdit* name_edit_;
    QPlainTextEdit* query_edit_;
    QString query_;
};
