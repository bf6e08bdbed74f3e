// Step 5: the conversion runs on a worker thread; the page's own 200 ms
// timer reads the run's counters, moves the bar and, once the run has
// ended, goes on to the finish page. No button leads away while it runs;
// Cancel asks whether to stop the run.
#pragma once

#include <thread>

#include <QElapsedTimer>
#include <QTimer>
#include <QWizardPage>

#include "wizard_backend.h"

class QLabel;
class QProgressBar;

class progress_page : public QWizardPage {
    Q_OBJECT
public:
    static constexpr int tick_ms = 200;

    explicit progress_page(wizard_backend& backend, QWidget* parent = nullptr);
    ~progress_page() override;

    void initializePage() override;
    bool isComplete() const override;

    // The bar's value: tables done out of the total, plus the part of the
    // current table done; computed in 64 bits and kept within 0..100.
    static int percent(const run_progress& p);

    // One timer tick (public for tests that step the page by hand).
    void on_timer();

    bool running() const { return worker_.joinable(); }

private:
    void start_run();
    void end_run();

    wizard_backend& backend_;
    QLabel* status_;
    QLabel* speed_;
    QProgressBar* bar_;
    QTimer timer_;
    QElapsedTimer clock_;
    std::thread worker_;
    bool started_ = false;
    // Rows of the tables finished before the current one, for the speed.
    std::u16string last_table_;
    int64_t last_records_ = 0;
    int64_t rows_before_ = 0;
};
