#include "oracle_settings_page.h"

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "connecting_dialog.h"
#include "error_handler.h"
#include "tk_error_converter.h"
#include "tk_error_tables.h"
#include "tk_logger.h"
#include "tk_wstring.h"
#include "wizard_backend.h"
#include "wizard_shell.h"
#include "wizard_worker.h"

namespace {

QLineEdit* make_field(const char* name)
{
    auto* edit = new QLineEdit;
    edit->setObjectName(name);
    edit->setMaxLength(260);
    return edit;
}

QString q(const std::u16string& s)
{
    return QString::fromStdU16String(s);
}

}  // namespace

oracle_settings_page::oracle_settings_page(wizard_backend& backend, QWidget* parent)
    : QWizardPage(parent), backend_(backend)
{
    setTitle("Step 1 of 5");
    setSubTitle("Connect to Oracle server");
    auto* intro = new QLabel("If the program has been installed on Oracle server machine, you can leave\n"
                             "'Server' field empty. It is necessary to specify the port only if it differs\n"
                             "from default value 1521.");
    intro->setTextFormat(Qt::PlainText);
    server_ = make_field("server");
    database_ = make_field("database");
    port_ = make_field("port");
    user_ = make_field("user");
    password_ = make_field("password");
    password_->setEchoMode(QLineEdit::Password);

    auto* form = new QFormLayout;
    form->addRow("&Server (IP or network name):", server_);
    form->addRow("&Database name:", database_);
    form->addRow("Po&rt:", port_);
    form->addRow("&Username:", user_);
    form->addRow("&Password:", password_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addLayout(form);
    layout->addStretch();
}

void oracle_settings_page::initializePage()
{
    tk_trace(2, "ora_settings_page2<t_converter>::page_init");
    const wizard_settings& s = backend_.settings();
    server_->setText(q(s.oracleh));
    port_->setText(q(s.port));
    user_->setText(q(s.oracleu));
    password_->setText(q(s.oraclep));
    database_->setText(q(s.dest));
}

void oracle_settings_page::store_settings()
{
    tk_trace(2, "oracle_settings_page2<t_converter>::store_settings");
    backend_.store_oracle_settings(server_->text().toStdU16String(), user_->text().toStdU16String(),
                                   password_->text().toStdU16String(), port_->text().toStdU16String());
    backend_.settings().dest = database_->text().toStdU16String();
}

bool oracle_settings_page::is_listener_error(int oracle_error)
{
    return oracle_error == 12500 || oracle_error == 12505 || oracle_error == 12541 || oracle_error == 12545;
}

bool oracle_settings_page::validatePage()
{
    tk_trace(2, "oracle_settings_page::on_next");
    bool go_on = false;
    wizard_shell::guard([&] {
        store_settings();
        if (backend_.settings().dest.empty()) {
            wizard_shell::message("You should enter Oracle database name");
            return;
        }
        go_on = connect_server();
    });
    return go_on;
}

bool oracle_settings_page::connect_server()
{
    std::u16string dest = backend_.settings().dest;
    connecting_dialog dialog(this);
    try {
        wizard_run_behind_dialog(dialog, [&] {
            tk_trace(2, "oracle_settings_page::animation::operator()");
            tk_trace(1, "Just before calling 'connect_oracle_server', dest=%s", tk_to_ansi(dest));
            backend_.connect_oracle_server(dest);
        });
    } catch (const tk_exception& e) {
        if (e.level == 2) throw;  // the error policy's internal-error dialog ends the process
        // Oracle errors and a missing client library: shown, and the page
        // stays; the failed logon left no connection behind.
        tk_error_converter map(tk_oracle_error_count, tk_oracle_errors);
        std::string text = map.convert(e.code);
        if (text.empty()) text = e.message;
        wizard_shell::error(QString::fromLocal8Bit(text.c_str()));
        int oracle_error = static_cast<int>(e.code & 0xFFFF);
        if ((e.code & 0x100000) != 0 && is_listener_error(oracle_error)) wizard_shell::display_help(1017);
    } catch (const std::exception& e) {
        wizard_shell::error(QString::fromLocal8Bit(e.what()));
        if (error_handler::exists()) error_handler::instance().presenter().terminate(-1);
        throw;
    }
    if (backend_.connected()) {
        tk_trace(2, "Connection has been established");
        return true;
    }
    tk_trace(2, "Cannot connect to Oracle");
    return false;
}
