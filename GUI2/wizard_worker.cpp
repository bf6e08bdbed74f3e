#include "wizard_worker.h"

#include <exception>
#include <thread>

#include <QApplication>
#include <QCursor>
#include <QDialog>
#include <QEventLoop>
#include <QPointer>
#include <QThread>
#include <QWidget>

#include "wizard_services.h"

namespace {

// Starts `work` on a thread that, when done, calls `done` on the window
// thread. The returned thread must be joined.
std::thread start_worker(const std::function<void()>& work, std::exception_ptr& failure, QObject* receiver,
                         const std::function<void()>& done)
{
    return std::thread([&work, &failure, receiver, done] {
        try {
            work();
        } catch (...) {
            failure = std::current_exception();
        }
        QMetaObject::invokeMethod(receiver, done, Qt::QueuedConnection);
    });
}

}  // namespace

void wizard_run_off_gui(QWidget* busy, const std::function<void()>& work)
{
    QEventLoop loop;
    std::exception_ptr failure;
    QPointer<QWidget> guard(busy);
    if (busy != nullptr) busy->setEnabled(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    std::thread worker = start_worker(work, failure, &loop, [&loop] { loop.quit(); });
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    worker.join();
    QApplication::restoreOverrideCursor();
    if (guard) guard->setEnabled(true);
    if (failure) std::rethrow_exception(failure);
}

void wizard_run_behind_dialog(QDialog& dialog, const std::function<void()>& work)
{
    std::exception_ptr failure;
    QPointer<QDialog> guard(&dialog);
    std::thread worker = start_worker(work, failure, &dialog, [guard] {
        if (guard) guard->done(QDialog::Accepted);
    });
    wizard_services::current().exec_dialog(dialog);
    // The dialog closes only when the worker is done; a scripted dialog in
    // a test may come back sooner, so wait for the worker in any case.
    worker.join();
    QCoreApplication::removePostedEvents(&dialog, QEvent::MetaCall);
    if (failure) std::rethrow_exception(failure);
}

void wizard_on_gui_thread(const std::function<void()>& call)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr || QThread::currentThread() == app->thread()) {
        call();
        return;
    }
    std::exception_ptr failure;
    QMetaObject::invokeMethod(
        app,
        [&] {
            try {
                call();
            } catch (...) {
                failure = std::current_exception();
            }
        },
        Qt::BlockingQueuedConnection);
    if (failure) std::rethrow_exception(failure);
}
