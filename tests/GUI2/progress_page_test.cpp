// The run: the progress bar's arithmetic, the worker thread with its
// questions on the window thread, stopping, the finish page's states and
// the quick launch.
#include <sys/stat.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QThread>
#include <QTreeWidget>

#include "dlg_error_continue.h"
#include "gui2_test_support.h"
#include "gui_finish_page.h"
#include "progress_page.h"

TEST(progress_page, percent)
{
    struct row {
        int64_t tables, done, records, record;
        int want;
    };
    const row rows[] = {
        {4, 1, 200, 50, 31},  // 25 + 6
        {0, 0, 0, 0, 0},
        {0, 3, 10, 5, 0},
        {1, 0, 0, 0, 0},
        {1, 0, 3, 1, 33},
        {2, 2, 10, 10, 100},
        {1, 3, 0, 0, 100},                         // queries counted as done: clamped
        {1, 0, 10, 25, 100},                       // more rows than counted
        {3, 1, 4'000'000'000, 3'000'000'000, 58},  // 33 + 25, beyond 32 bits
        {1, 0, 50'000'000'000, 49'999'999'999, 99},
        {2, -1, 10, 5, 0},
    };
    for (const row& r : rows) {
        run_progress p;
        p.tables_total = r.tables;
        p.tables_done = r.done;
        p.records_total = r.records;
        p.records_done = r.record;
        EXPECT_EQ(progress_page::percent(p), r.want)
            << r.tables << " " << r.done << " " << r.records << " " << r.record;
    }
}

class run_test : public wizard_test {
protected:
    // Settings for a quick launch of `tables`, written as a profile.
    QString profile(const QStringList& tables)
    {
        QString path = scratch.filePath("setup.tlv");
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(("src=" + touch("shop.mdb") + "\ndest=XE\n").toUtf8());
        for (const QString& t : tables) f.write(("table=" + t + "\n").toUtf8());
        return path;
    }
    void quick_launch(const QStringList& tables)
    {
        wizard_shell::prepare_quick_launch(backend, profile(tables));
        make_shell(true);
    }
    bool finished()
    {
        return wait_for([this] { return shell->currentId() == wizard_shell::finish_id; });
    }
    QString result_text() { return shell->currentPage()->findChild<QLabel*>("result")->text(); }
    QPlainTextEdit* error_box() { return shell->currentPage()->findChild<QPlainTextEdit*>("errors"); }
};

TEST_F(run_test, quick_launch_runs_at_once_and_finishes_clean)
{
    quick_launch({"Orders", "Products"});
    EXPECT_EQ(backend.calls[1].rfind("check ", 0), 0u);
    EXPECT_EQ(backend.calls[2], "connect XE");
    EXPECT_EQ(shell->currentId(), wizard_shell::progress_id);
    EXPECT_EQ(shell->pageIds(), (QList<int>{wizard_shell::progress_id, wizard_shell::finish_id}));
    ASSERT_TRUE(finished());
    EXPECT_EQ(result_text(), "Wizard has migrated your MS Access database to\nOracle server successfully.\n\n"
                             "Click 'Finish' to exit the wizard.");
    EXPECT_FALSE(error_box()->isVisible());
    auto* summary = shell->currentPage()->findChild<QTreeWidget*>("summary");
    ASSERT_EQ(summary->topLevelItemCount(), 2);
    EXPECT_EQ(summary->topLevelItem(0)->text(2), "830");
    EXPECT_FALSE(shell->button(QWizard::CancelButton)->isVisible());
    EXPECT_EQ(shell->exit_code(), wizard_shell::exit_ok);
}

TEST_F(run_test, worker_error_continue_with_dont_show_again)
{
    backend.failing_rows = {{u"Orders", 7}, {u"Orders", 9}, {u"Orders", 11}};
    std::vector<bool> on_gui_thread;
    services.dialogs.push_back([&](QDialog& d) {
        on_gui_thread.push_back(QThread::currentThread() == qApp->thread());
        auto& c = dynamic_cast<dlg_error_continue&>(d);
        EXPECT_TRUE(d.findChild<QLabel*>() != nullptr);
        c.set_dont_show_again(true);
        return dlg_error_continue::continue_result;
    });
    quick_launch({"Orders"});
    ASSERT_TRUE(finished());
    EXPECT_EQ(on_gui_thread, std::vector<bool>{true});  // asked once, on the window thread
    EXPECT_TRUE(services.dialogs.empty());
    EXPECT_EQ(result_text(),
              "There were some errors while converting the database.\nClick 'Finish' to exit the wizard.");
    ASSERT_TRUE(error_box()->isVisible());
    QStringList listed = error_box()->toPlainText().split("\n\n");
    ASSERT_EQ(listed.size(), 3);
    EXPECT_TRUE(listed[0].startsWith("Orders, record #7: ")) << listed[0].toStdString();
    EXPECT_TRUE(listed[2].startsWith("Orders, record #11: "));
    EXPECT_FALSE(error_box()->textInteractionFlags() == Qt::NoTextInteraction);  // can be selected and copied
    EXPECT_EQ(backend.outcome().summary.at(0).failed, 3);
    EXPECT_EQ(backend.outcome().summary.at(0).inserted, 827);
    EXPECT_EQ(shell->exit_code(), wizard_shell::exit_errors);
}

TEST_F(run_test, worker_error_abort_ends_the_run)
{
    backend.failing_rows = {{u"Orders", 7}};
    services.dialogs.push_back([](QDialog&) { return dlg_error_continue::abort_result; });
    quick_launch({"Orders", "Products"});
    ASSERT_TRUE(finished());
    EXPECT_EQ(backend.outcome().end, run_outcome::state::stopped);
    EXPECT_EQ(backend.outcome().summary.size(), 1u);  // Products never started
    EXPECT_EQ(result_text().left(55), "The conversion was stopped in table 'Orders' after reco");
    EXPECT_TRUE(error_box()->isVisible());
    EXPECT_EQ(shell->exit_code(), wizard_shell::exit_errors);
}

// An internal error met on the worker is shown on the window thread, the
// settings are kept, and then the process ends with 255.
TEST_F(run_test, internal_error_on_the_worker_is_shown_then_the_process_ends)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    auto thread = [] { return QThread::currentThread() == qApp->thread() ? "window" : "worker"; };
    auto run = [&] {
        handler->set_presenter(std::make_unique<wizard_presenter>(
            [&] { std::fprintf(stderr, "settings kept on the %s thread\n", thread()); }));
        backend.internal_failure_rows = {{u"Orders", 5}};
        services.dialogs.push_back([&](QDialog& d) {
            std::fprintf(stderr, "%s on the %s thread\n", d.metaObject()->className(), thread());
            return int(QDialog::Accepted);
        });
        quick_launch({"Orders"});
        finished();  // the process ends before the run does
        std::_Exit(0);
    };
    EXPECT_EXIT(run(), ::testing::ExitedWithCode(255),
                "dlg_error_ex on the window thread.*settings kept on the window thread");
}

TEST_F(run_test, cancel_during_run_asks_and_stops_between_rows)
{
    backend.row_time = std::chrono::microseconds(500);
    quick_launch({"Order Details", "Orders"});
    auto* bar = shell->currentPage()->findChild<QProgressBar*>("bar");
    ASSERT_TRUE(wait_for([&] { return backend.counters().records_done.load() > 20; }));
    EXPECT_FALSE(shell->button(QWizard::NextButton)->isEnabled());
    EXPECT_FALSE(shell->button(QWizard::BackButton)->isVisible() && shell->button(QWizard::BackButton)->isEnabled());

    services.answers = {false};  // No: the run goes on
    shell->reject();
    EXPECT_TRUE(shell->running());
    services.answers = {true};
    shell->reject();
    ASSERT_TRUE(finished());
    const run_outcome& o = backend.outcome();
    EXPECT_EQ(o.end, run_outcome::state::stopped);
    EXPECT_EQ(o.stop_table, u"Order Details");
    EXPECT_GT(o.stop_row, 20);
    EXPECT_LT(o.stop_row, 2155);
    EXPECT_TRUE(result_text().startsWith(
        QString("The conversion was stopped in table 'Order Details' after record #%1.").arg(o.stop_row)));
    EXPECT_GE(bar->value(), 0);
    EXPECT_EQ(shell->exit_code(), wizard_shell::exit_errors);
}

TEST_F(run_test, failed_or_empty_runs_are_not_success)
{
    struct row {
        run_outcome::state end;
        int64_t entries, converted;
        size_t errors;
        run_verdict want;
    };
    const row rows[] = {
        {run_outcome::state::completed, 2, 2, 0, run_verdict::success},
        {run_outcome::state::completed, 0, 0, 0, run_verdict::success},
        {run_outcome::state::completed, 2, 0, 0, run_verdict::nothing_converted},
        {run_outcome::state::completed, 2, 1, 1, run_verdict::errors},
        {run_outcome::state::failed, 2, 0, 0, run_verdict::failed},
        {run_outcome::state::stopped, 2, 1, 0, run_verdict::stopped},
        {run_outcome::state::not_run, 0, 0, 0, run_verdict::failed},
    };
    for (const row& r : rows) {
        run_outcome o;
        o.end = r.end;
        o.entries = r.entries;
        o.converted = r.converted;
        EXPECT_EQ(wizard_run_verdict(o, r.errors), r.want);
    }
}

TEST_F(run_test, run_without_connection_fails_as_a_whole)
{
    EXPECT_THROW(wizard_shell::prepare_quick_launch(backend, scratch.filePath("none.tlv")), tk_exception);
    wizard_shell::prepare_quick_launch(backend, profile({"Orders"}));
    backend.disconnect();
    make_shell(true);
    ASSERT_TRUE(finished());
    // The fatal error was shown in a box from the worker, on the window thread.
    EXPECT_EQ(services.take_texts(), std::vector<QString>{"There is no connection to Oracle."});
    EXPECT_EQ(result_text(),
              "The conversion failed: There is no connection to Oracle.\nClick 'Finish' to exit the wizard.");
    EXPECT_EQ(shell->exit_code(), wizard_shell::exit_errors);
}

TEST_F(run_test, save_settings_private_file_and_failure_reported)
{
    quick_launch({"Orders"});
    ASSERT_TRUE(finished());
    QString target = scratch.filePath("saved");
    services.files = {target, scratch.filePath("no/such/folder/x.tlv")};
    auto* save = shell->currentPage()->findChild<QAbstractButton*>("save_settings");
    save->click();
    QFileInfo written(target + ".tlv");
    ASSERT_TRUE(written.exists());
    EXPECT_EQ(file_mode(written.filePath()), 0600);
    EXPECT_TRUE(services.take_texts().empty());
    save->click();
    std::vector<QString> shown = services.take_texts();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_TRUE(shown[0].startsWith("The settings could not be saved to "));
}
