#include "progress_page.h"

#include <algorithm>
#include <chrono>

#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

#include "tk_logger.h"
#include "wizard_shell.h"

progress_page::progress_page(wizard_backend& backend, QWidget* parent) : QWizardPage(parent), backend_(backend)
{
    setTitle("Step 5 of 5");
    setSubTitle("Database conversion is in progress");
    // The finish page has no way back to a run that has ended.
    setCommitPage(true);
    setButtonText(QWizard::CommitButton, "&Next >");
    auto* intro = new QLabel("Database conversion is in progress. Please wait until wizard completes\n"
                             "moving your MS Access database to Oracle server.");
    intro->setTextFormat(Qt::PlainText);
    status_ = new QLabel;
    status_->setObjectName("status");
    status_->setTextFormat(Qt::PlainText);
    bar_ = new QProgressBar;
    bar_->setObjectName("bar");
    bar_->setRange(0, 100);
    speed_ = new QLabel;
    speed_->setObjectName("speed");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addSpacing(12);
    layout->addWidget(status_);
    layout->addWidget(bar_);
    layout->addWidget(speed_);
    layout->addStretch();
    timer_.setInterval(tick_ms);
    connect(&timer_, &QTimer::timeout, this, [this] { wizard_shell::guard([this] { on_timer(); }); });
}

progress_page::~progress_page()
{
    if (!worker_.joinable()) return;
    // The window is going away under a running conversion: stop it between
    // rows and let it finish its dialogs, which need this thread's events.
    backend_.request_stop();
    while (!backend_.counters().finished.load()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    worker_.join();
}

void progress_page::initializePage()
{
    tk_trace(2, "progress_page::page_init");
    bar_->setValue(0);
    status_->clear();
    speed_->clear();
    if (!started_) start_run();
}

bool progress_page::isComplete() const
{
    return started_ && !worker_.joinable();
}

void progress_page::start_run()
{
    started_ = true;
    if (auto* shell = qobject_cast<wizard_shell*>(wizard())) shell->set_running(true);
    clock_.start();
    worker_ = std::thread([this] { backend_.run(); });
    timer_.start();
    emit completeChanged();
}

void progress_page::end_run()
{
    timer_.stop();
    worker_.join();
    if (auto* shell = qobject_cast<wizard_shell*>(wizard())) shell->set_running(false);
    emit completeChanged();
    if (wizard() != nullptr) wizard()->next();
}

int progress_page::percent(const run_progress& p)
{
    if (p.tables_total <= 0) return 0;
    int64_t value = p.tables_done * 100 / p.tables_total;
    if (p.records_total > 0) value += p.records_done * 100 / p.records_total / p.tables_total;
    return static_cast<int>(std::clamp<int64_t>(value, 0, 100));
}

void progress_page::on_timer()
{
    run_progress p = backend_.counters().snapshot();
    bar_->setValue(percent(p));
    if (p.table != last_table_) {
        rows_before_ += last_records_;
        last_table_ = p.table;
    }
    last_records_ = p.records_done;
    int64_t rows = rows_before_ + p.records_done;
    qint64 ms = std::max<qint64>(clock_.elapsed(), 1);
    speed_->setText(QString("%1 rows, %2 rows/s, elapsed %3:%4")
                        .arg(rows)
                        .arg(rows * 1000 / ms)
                        .arg(ms / 60000)
                        .arg(ms / 1000 % 60, 2, 10, QChar('0')));
    if (p.finished) {
        end_run();
        return;
    }
    status_->setText(p.table.empty() ? QString()
                                     : QString("Processing table '%1'").arg(QString::fromStdU16String(p.table)));
}
