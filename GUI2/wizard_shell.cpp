#include "wizard_shell.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QKeySequence>
#include <QShortcut>

#include "error_handler.h"
#include "gui_finish_page.h"
#include "oracle_settings_page.h"
#include "progress_page.h"
#include "sel_file_page.h"
#include "tk_logger.h"
#include "tlv_sel_tables_page.h"
#include "ugl_page.h"
#include "welcome_page.h"
#include "wizard_backend.h"
#include "wizard_paths.h"
#include "wizard_services.h"

namespace {

QString& help_dir_override()
{
    static QString dir;
    return dir;
}

QString caption(const char* word)
{
    if (!wizard_shell::is_initialized()) return word;
    return wizard_shell::product_title() + " " + word;
}

QWidget* owner()
{
    return wizard_shell::instance_ptr();
}

}  // namespace

wizard_shell::wizard_shell(wizard_backend& backend, bool quick_launch, QWidget* parent)
    : QWizard(parent), backend_(backend)
{
    setWindowTitle(product_title());
    setWizardStyle(QWizard::ModernStyle);
    setOption(QWizard::HaveHelpButton, true);
    setOption(QWizard::NoBackButtonOnStartPage, true);
    if (!quick_launch) {
        setPage(welcome_id, new welcome_page(backend));
        setPage(oracle_id, new oracle_settings_page(backend));
        setPage(ugl_id, new ugl_page(backend));
        setPage(sel_file_id, new sel_file_page(backend));
        setPage(tables_id, new tlv_sel_tables_page(backend));
    }
    setPage(progress_id, new progress_page(backend));
    setPage(finish_id, new gui_finish_page(backend));
    setStartId(quick_launch ? progress_id : welcome_id);

    connect(this, &QWizard::helpRequested, this, [] { guard([] { display_help(); }); });
    auto* f1 = new QShortcut(QKeySequence::HelpContents, this);
    connect(f1, &QShortcut::activated, this, [] { guard([] { display_help(); }); });
    connect(this, &QWizard::currentIdChanged, this, [this](int id) { on_page_changed(id); });
}

wizard_shell::~wizard_shell() = default;

QString wizard_shell::product_title()
{
    return QStringLiteral("Tolvane 4.1");
}

void wizard_shell::prepare_quick_launch(wizard_backend& backend, const QString& path)
{
    tk_trace(2, "QUICK LAUNCH: profile=%s", path.toStdString());
    backend.load_profile(wizard_expand_path(path).toStdU16String());
    backend.check_acc_base();
    backend.connect_oracle_server(backend.settings().dest);
}

bool wizard_shell::is_initialized()
{
    tk_trace(1, "wizard_shell::is_initialized");
    if (exists()) {
        tk_trace(1, "Singleton has been initialized");
        return true;
    }
    tk_trace(1, "Before return false");
    return false;
}

void wizard_shell::error(const QString& text)
{
    tk_trace(1, "wizard_shell::error(%s)", text.toStdString());
    wizard_services::current().show_box(owner(), wizard_services::box::error, caption("Error"), text);
    tk_trace(3, "%s", text.toStdString());
}

void wizard_shell::message(const QString& text)
{
    tk_trace(1, "wizard_shell::message(%s)", text.toStdString());
    wizard_services::current().show_box(owner(), wizard_services::box::message, caption("Message"), text);
    tk_trace(3, "%s", text.toStdString());
}

bool wizard_shell::question(const QString& text)
{
    tk_trace(1, "wizard_shell::question(%s)", text.toStdString());
    bool yes = wizard_services::current().show_box(owner(), wizard_services::box::question, caption("Question"), text);
    tk_trace(3, "%s", text.toStdString());
    return yes;
}

void wizard_shell::set_help_dir(const QString& dir)
{
    help_dir_override() = dir;
}

QString wizard_shell::help_file(int topic)
{
    QString name = topic == 1017 ? "troubleshooting.html" : "index.html";
    QStringList dirs;
    if (!help_dir_override().isEmpty()) {
        dirs << help_dir_override();
    } else {
        dirs << QCoreApplication::applicationDirPath() + "/../share/tolvane/help";
#ifdef TOLVANE_SOURCE_HELP_DIR
        dirs << QStringLiteral(TOLVANE_SOURCE_HELP_DIR);
#endif
    }
    for (const QString& dir : dirs) {
        QFileInfo file(QDir(dir), name);
        if (file.isFile()) return file.absoluteFilePath();
    }
    return QString();
}

void wizard_shell::display_help(int topic)
{
    if (topic == 0)
        tk_trace(1, "wizard_shell::display_help");
    else
        tk_trace(1, "wizard_shell::display_help(%d)", topic);
    QString file = help_file(topic);
    if (file.isEmpty()) {
        error("Help file does not exist. Reinstall the program.");
        return;
    }
    if (!wizard_services::current().open_url(QUrl::fromLocalFile(file)))
        error("No program could show the help page " + file + ".");
}

int wizard_shell::exit_code() const
{
    const run_outcome& o = backend_.outcome();
    if (o.end == run_outcome::state::not_run) return cancelled_ ? exit_cancelled : exit_ok;
    return wizard_run_verdict(o, reported_errors_.size()) == run_verdict::success ? exit_ok : exit_errors;
}

bool wizard_shell::guard(const std::function<void()>& body)
{
    try {
        body();
        return true;
    } catch (const tk_exception& e) {
        if (e.level == 2 && error_handler::exists()) {
            error_handler::instance().handle(e, true);  // ends the process
            return false;
        }
        std::string text = error_handler::exists() ? error_handler::instance().compose(e) : e.message;
        error(QString::fromLocal8Bit(text.c_str()));
    } catch (const tk_final_exception&) {
        // Already reported by the error policy.
    } catch (const std::exception& e) {
        error(QString::fromLocal8Bit(e.what()));
    }
    return false;
}

void wizard_shell::reject()
{
    guard([this] {
        if (running_) {
            if (question("The conversion is still running. Do you want to stop it?\n"
                         "The rows loaded so far stay in Oracle."))
                backend_.request_stop();
            return;
        }
        if (currentId() == finish_id) {
            QWizard::reject();
            return;
        }
        if (question("Are you sure you want to exit the wizard?")) {
            cancelled_ = true;
            QWizard::reject();
        }
    });
}

void wizard_shell::on_page_changed(int id)
{
    // QWizard fills a page only when it is reached with Next; after Back
    // the page shows again what the converter holds, as on the way in.
    bool back = id >= 0 && id < last_id_;
    last_id_ = id;
    if (back) guard([this, id] { page(id)->initializePage(); });
    // Numbered pages offer help; the welcome and finish pages do not.
    bool numbered = id >= oracle_id && id <= progress_id;
    if (QAbstractButton* help = button(QWizard::HelpButton)) help->setVisible(numbered);
    if (QAbstractButton* cancel = button(QWizard::CancelButton)) cancel->setVisible(id != finish_id);
}
