// The wizard frame: a QWizard in the modern style whose header shows
// "Step n of 5" and the page's subtitle, the message boxes and help of the
// program, the list of errors the run reported, and the exit status.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include <QString>
#include <QWizard>

#include "tk_singleton.h"

class wizard_backend;

class wizard_shell : public QWizard, public tk_singleton<wizard_shell> {
    Q_OBJECT
public:
    enum page_id { welcome_id, oracle_id, ugl_id, sel_file_id, tables_id, progress_id, finish_id };

    // Exit statuses of the program.
    static constexpr int exit_ok = 0;         // a run finished without errors
    static constexpr int exit_errors = 1;     // a run reported errors or was stopped
    static constexpr int exit_cancelled = 2;  // the user left with Cancel
    static constexpr int exit_fatal = 255;    // the process ended on an error

    // The five pages before the run are left out in a quick launch, so the
    // wizard starts with the run.
    wizard_shell(wizard_backend& backend, bool quick_launch, QWidget* parent = nullptr);
    ~wizard_shell() override;

    static QString product_title();  // "Tolvane 4.1"

    // A quick launch's preparation, before the window exists: loads the
    // profile at `path` ("~" expanded), checks the MS Access source and
    // connects to Oracle. Raises what those raise.
    static void prepare_quick_launch(wizard_backend& backend, const QString& path);
    static bool is_initialized();

    // Modal message boxes owned by the frame when it exists; the caption is
    // the title followed by " Error", " Message" or " Question", or the
    // bare word without a frame. Callable from the window thread only.
    static void error(const QString& text);
    static void message(const QString& text);
    static bool question(const QString& text);

    // Opens the help at its default topic (0) or at `topic` (1017: the
    // troubleshooting of connections).
    static void display_help(int topic = 0);
    // Where the help pages are looked for first; tests point it elsewhere.
    static void set_help_dir(const QString& dir);
    static QString help_file(int topic);

    wizard_backend& backend() { return backend_; }

    // The texts the error policy reported during the run, in order.
    std::vector<std::string>& reported_errors() { return reported_errors_; }

    // The progress page says whether a run is under way: Cancel then asks
    // whether to stop it instead of leaving.
    void set_running(bool running) { running_ = running; }
    bool running() const { return running_; }

    // The program's exit status after the wizard closed.
    int exit_code() const;

    // Runs a page hook or a slot body; an exception is reported (an
    // internal error ends the process through the error policy) and false
    // is returned. No exception leaves a Qt slot this way.
    static bool guard(const std::function<void()>& body);

    void reject() override;

private:
    void on_page_changed(int id);

    wizard_backend& backend_;
    std::vector<std::string> reported_errors_;
    int last_id_ = -1;
    bool running_ = false;
    bool cancelled_ = false;
};
