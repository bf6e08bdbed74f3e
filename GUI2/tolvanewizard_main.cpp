// tolvanewizard: the desktop wizard. With a profile path as its argument
// (quick launch) it checks the source, connects and starts converting at
// once, showing only the progress and finish pages.
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include <QApplication>
#include <QFileInfo>
#include <QIcon>
#include <QStringList>

#include "error_handler.h"
#include "tk_error_tables.h"
#include "tk_logger.h"
#include "tolvane_convertor.h"
#include "wizard_engine_backend.h"
#include "wizard_presenter.h"
#include "wizard_settings_store.h"
#include "wizard_shell.h"

namespace {

// Qt needs a display; without one it would abort inside QApplication.
bool have_display()
{
    const char* vars[] = {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"};
    for (const char* v : vars) {
        const char* value = std::getenv(v);
        if (value != nullptr && *value != '\0') return true;
    }
    return false;
}

int run_wizard(wizard_backend& backend, const QStringList& args)
{
    bool quick = args.size() > 1;
    if (quick) wizard_shell::prepare_quick_launch(backend, args.at(1));
    wizard_shell shell(backend, quick);
    shell.show();
    QApplication::exec();
    return shell.exit_code();
}

}  // namespace

int main(int argc, char** argv)
{
    std::setlocale(LC_ALL, "");
    if (!have_display()) {
        std::fprintf(stderr, "Failed to initialize GUI library: no display (DISPLAY or WAYLAND_DISPLAY).\n");
        return wizard_shell::exit_fatal;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName("tolvanewizard");
    QApplication::setDesktopFileName("tolvanewizard");
    QApplication::setWindowIcon(QIcon::fromTheme("tolvane"));

    // The error handler first, then the converter; destroyed the other way.
    error_handler handler(tk_oracle_error_count, tk_oracle_errors);
    handler.load_err_map(tk_access_error_count, tk_access_errors);
    tolvane_convertor converter;
    wizard_engine_backend backend(converter);
    auto save_settings = [&backend] { wizard_settings_store::serialize(backend.settings(), true); };
    // Before the process ends on an internal error: keep the settings, and
    // commit what the run loaded.
    handler.set_presenter(std::make_unique<wizard_presenter>([&] {
        save_settings();
        converter.close_connection();
    }));
    wizard_settings_store::serialize(backend.settings(), false);

    // A failed quick launch (profile, source, logon) is shown like any
    // other error; an internal one ends the process in the error policy.
    int status = wizard_shell::exit_fatal;
    if (!wizard_shell::guard([&] { status = run_wizard(backend, QApplication::arguments()); }))
        status = wizard_shell::exit_fatal;
    // Written whatever came of the run, also after Cancel.
    save_settings();
    return status;
}
