#include "set_query_dlg.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "tk_error_tables.h"
#include "tk_logger.h"
#include "wizard_backend.h"
#include "wizard_shell.h"
#include "wizard_worker.h"

namespace {

bool is_blank(QChar c)
{
    return c == '\t' || c == '\n' || c == '\r' || c == ' ';
}

QString one_line(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        QChar c = text[i];
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;  // CR LF is one break
        out += (c == '\r' || c == '\n') ? QChar(' ') : c;
    }
    return out;
}

}  // namespace

set_query_dlg::set_query_dlg(wizard_backend& backend, const QString& name, const QString& text, QWidget* parent)
    : QDialog(parent), backend_(backend)
{
    tk_trace(1, "set_query_dlg::set_query_dlg");
    setWindowTitle("Add Query");
    name_edit_ = new QLineEdit;
    name_edit_->setObjectName("name");
    name_edit_->setMaxLength(max_text);
    query_edit_ = new QPlainTextEdit;
    query_edit_->setObjectName("query");
    query_edit_->setTabChangesFocus(true);
    auto* name_label = new QLabel("Store as &Table:");
    name_label->setBuddy(name_edit_);
    auto* query_label = new QLabel("&Query:");
    query_label->setBuddy(query_edit_);

    auto* buttons = new QDialogButtonBox;
    QPushButton* ok = buttons->addButton("OK", QDialogButtonBox::AcceptRole);
    ok->setObjectName("ok");
    ok->setDefault(true);
    QPushButton* cancel = buttons->addButton("Cancel", QDialogButtonBox::RejectRole);
    cancel->setObjectName("cancel");
    QPushButton* test = buttons->addButton("&Test Query", QDialogButtonBox::ActionRole);
    test->setObjectName("test");
    QPushButton* help = buttons->addButton("&Help", QDialogButtonBox::HelpRole);
    help->setObjectName("help");
    connect(ok, &QPushButton::clicked, this, [this] { wizard_shell::guard([this] { on_ok(); }); });
    connect(cancel, &QPushButton::clicked, this, [this] {
        tk_trace(1, "set_query_dlg::on_cancel");
        reject();
    });
    connect(test, &QPushButton::clicked, this, [this] { wizard_shell::guard([this] { on_test_query(); }); });
    connect(help, &QPushButton::clicked, this, [] { wizard_shell::guard([] { wizard_shell::display_help(); }); });

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(name_label);
    layout->addWidget(name_edit_);
    layout->addWidget(query_label);
    layout->addWidget(query_edit_, 1);
    layout->addWidget(buttons);
    resize(480, 320);

    tk_trace(1, "set_query_dlg::on_init");
    set_fields(name, text);
}

void set_query_dlg::set_fields(const QString& name, const QString& text)
{
    name_edit_->setText(name);
    query_edit_->setPlainText(text);
}

bool set_query_dlg::check_query(const QString& text, QString& kept)
{
    qsizetype start = 0;
    while (start < text.size() && is_blank(text[start])) ++start;
    QString rest = text.mid(start);
    kept = one_line(rest);
    if (text.isEmpty()) return true;
    return rest.startsWith("SELECT", Qt::CaseInsensitive);
}

QString set_query_dlg::name() const
{
    return name_edit_->text().left(max_text).trimmed();
}

QString set_query_dlg::raw_query() const
{
    return query_edit_->toPlainText().left(max_text);
}

QString set_query_dlg::syntax_error_text()
{
    return QString("You have an error in your query syntax. Make sure that it is a correct SQL "
                   "SELECT-statement. Contact ") +
           tk_support_address + " if the error persists.";
}

void set_query_dlg::on_ok()
{
    tk_trace(1, "set_query_dlg::on_ok");
    QString kept;
    bool passes = check_query(raw_query(), kept);
    if (name().isEmpty()) {
        wizard_shell::error("Table name is empty!");
        name_edit_->setFocus();
        return;
    }
    if (!passes) {
        wizard_shell::error("The query must start with SELECT.");
        query_edit_->setFocus();
        return;
    }
    if (kept.isEmpty()) {
        wizard_shell::error("Query is empty!");
        query_edit_->setFocus();
        return;
    }
    query_ = kept;
    accept();
}

void set_query_dlg::on_test_query()
{
    QString kept;
    if (!check_query(raw_query(), kept)) {
        wizard_shell::error("The query must start with SELECT.");
        return;
    }
    std::u16string text = kept.toStdU16String();
    bool correct = false;
    wizard_run_off_gui(this, [&] { correct = backend_.test_query(text); });
    if (correct)
        wizard_shell::message("The query is correct.");
    else
        wizard_shell::error(syntax_error_text());
}
