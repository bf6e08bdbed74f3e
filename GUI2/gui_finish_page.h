// The last page: whether the run succeeded, failed as a whole, was stopped
// or reported errors (listed, selectable and copyable), what each table
// came to, and "Save Settings" to keep the setup as a profile.
#pragma once

#include <QWizardPage>

#include "wizard_backend.h"

class QLabel;
class QPlainTextEdit;
class QTreeWidget;

// How a run came out, for the finish page and the exit status.
enum class run_verdict { success, errors, stopped, failed, nothing_converted };

run_verdict wizard_run_verdict(const run_outcome& outcome, size_t reported_errors);

class gui_finish_page : public QWizardPage {
    Q_OBJECT
public:
    explicit gui_finish_page(wizard_backend& backend, QWidget* parent = nullptr);

    void initializePage() override;

    void on_save_settings();

    // The result text for `verdict`.
    static QString result_text(run_verdict verdict, const run_outcome& outcome);

private:
    void fill_summary(const run_outcome& outcome);

    wizard_backend& backend_;
    QLabel* result_;
    QPlainTextEdit* errors_;
    QTreeWidget* summary_;
};
