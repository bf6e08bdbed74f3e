// Renders every page and dialog of the wizard into PNG files, at a fixed
// size in the Fusion style, over the simulated backend's sample data.
//   tolvane_screens OUTPUT_FOLDER
// Run headless with QT_QPA_PLATFORM=offscreen (tools/screenshots.sh).
#include <clocale>
#include <cstdio>

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QListWidget>
#include <QMessageBox>
#include <QStyleFactory>
#include <QTimer>

#include "connecting_dialog.h"
#include "dlg_error_continue.h"
#include "dlg_error_ex.h"
#include "error_handler.h"
#include "set_query_dlg.h"
#include "tk_error_tables.h"
#include "tlv_sel_tables_page.h"
#include "wizard_presenter.h"
#include "wizard_sample_backend.h"
#include "wizard_services.h"
#include "wizard_shell.h"

namespace {

QDir out_dir;

void save(QWidget& w, const QString& name)
{
    w.grab().save(out_dir.filePath(name + ".png"));
    std::printf("%s\n", qPrintable(out_dir.filePath(name + ".png")));
}

void settle(int ms = 50)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Answers every question with Yes and photographs nothing itself: the
// dialogs are rendered one by one below.
class quiet_services : public wizard_services {
public:
    bool show_box(QWidget*, box, const QString&, const QString&) override { return true; }
    int exec_dialog(QDialog& d) override
    {
        if (dynamic_cast<connecting_dialog*>(&d) != nullptr) return QDialog::Accepted;
        return QDialog::Rejected;
    }
    bool open_url(const QUrl&) override { return true; }
};

void render_box(const QString& caption, const QString& text, QMessageBox::Icon icon, const QString& name,
                bool question = false)
{
    QMessageBox m;
    m.setWindowTitle(caption);
    m.setText(text);
    m.setIcon(icon);
    if (question) m.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    m.show();
    settle();
    save(m, name);
}

void render_dialogs(wizard_backend& backend)
{
    set_query_dlg query(backend, "Orders2011", "SELECT * FROM Orders WHERE Year([OrderDate]) = 2011");
    query.show();
    settle();
    save(query, "dialog-query");
    dlg_error_ex internal("Internal error in module \"ora_tab\" at line 0x1F2. Please contact support.");
    internal.show();
    settle();
    save(internal, "dialog-internal-error");
    dlg_error_continue row_error("Orders, record #7: ORA-00001: unique constraint (SCOTT.PK_ORDERS) violated");
    row_error.show();
    settle();
    save(row_error, "dialog-continue");
    connecting_dialog connecting;
    connecting.show();
    settle();
    save(connecting, "dialog-connecting");
    QString t = wizard_shell::product_title();
    render_box(t + " Message", "You should enter Oracle database name", QMessageBox::Information, "box-message");
    render_box(t + " Error", "Source file does not exist.\nPlease verify the correct path was given.",
               QMessageBox::Critical, "box-error");
    render_box(t + " Question", "Are you sure you want to exit the wizard?", QMessageBox::Question, "box-question",
               true);
}

}  // namespace

int main(int argc, char** argv)
{
    std::setlocale(LC_ALL, "");
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create("Fusion"));
    if (argc < 2) {
        std::fprintf(stderr, "usage: tolvane_screens OUTPUT_FOLDER\n");
        return 2;
    }
    out_dir = QDir(QString::fromLocal8Bit(argv[1]));
    out_dir.mkpath(".");
    // The sample source lives in the home folder the script gives us.
    QDir(QDir::homePath()).mkpath("Documents");
    QString source = QDir::homePath() + "/Documents/Northwind.mdb";
    QFile(source).open(QIODevice::WriteOnly);

    quiet_services services;
    wizard_services::install(&services);
    error_handler handler(tk_oracle_error_count, tk_oracle_errors);
    handler.load_err_map(tk_access_error_count, tk_access_errors);
    handler.set_presenter(std::make_unique<wizard_presenter>());

    wizard_sample_backend backend;
    wizard_settings& s = backend.settings();
    s.oracleh = u"db.example.com";
    s.dest = u"XEPDB1";
    s.oracleu = u"SCOTT";
    s.oraclep = u"tiger";
    s.src = source.toStdU16String();
    s.available_queries[u"Orders2011"] = u"SELECT * FROM Orders WHERE Year([OrderDate]) = 2011";
    backend.row_time = std::chrono::microseconds(2000);
    backend.failing_rows.insert({u"Orders", 7});
    handler.set_silent(true);  // row errors go to the finish page's list only

    wizard_shell shell(backend, false);
    shell.setFixedSize(680, 500);
    shell.show();
    const char* names[] = {"page-1-welcome", "page-2-oracle", "page-3-security", "page-4-source", "page-5-tables"};
    for (int i = 0; i < 5; ++i) {
        settle();
        if (i == 4) {
            auto* tables = static_cast<tlv_sel_tables_page*>(shell.page(wizard_shell::tables_id));
            tables->available_list()->setCurrentRow(1);
            tables->on_add();
            tables->available_list()->setCurrentRow(2);
            tables->on_add();
            tables->available_list()->setCurrentRow(0);
        }
        save(shell, names[i]);
        shell.next();
    }
    settle(650);
    save(shell, "page-6-progress");
    while (shell.currentId() != wizard_shell::finish_id) settle(100);
    settle();
    save(shell, "page-7-finish");
    render_dialogs(backend);
    wizard_services::install(nullptr);
    return 0;
}
