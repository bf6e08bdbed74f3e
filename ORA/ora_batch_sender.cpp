#include "ora_batch_sender.h"

#include <utility>

ora_batch_sender::ora_batch_sender() : thread_([this] { run(); }) {}

ora_batch_sender::~ora_batch_sender()
{
    if (busy_) {
        try {
            wait();
        } catch (...) {
            // The owner is going away; the batch's own error has no one to reach.
        }
    }
    {
        std::lock_guard<std::mutex> hold(mutex_);
        quit_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

void ora_batch_sender::start(std::function<ora_batch_outcome()> send)
{
    {
        std::lock_guard<std::mutex> hold(mutex_);
        task_ = std::move(send);
        done_.reset();
        failed_ = nullptr;
    }
    busy_ = true;
    changed_.notify_all();
}

ora_batch_outcome ora_batch_sender::wait()
{
    if (!busy_) return {};
    std::unique_lock<std::mutex> hold(mutex_);
    changed_.wait(hold, [this] { return done_.has_value() || failed_ != nullptr; });
    busy_ = false;
    if (failed_) std::rethrow_exception(std::exchange(failed_, nullptr));
    ora_batch_outcome outcome = std::move(*done_);
    done_.reset();
    return outcome;
}

void ora_batch_sender::run()
{
    std::unique_lock<std::mutex> hold(mutex_);
    for (;;) {
        changed_.wait(hold, [this] { return quit_ || task_ != nullptr; });
        if (task_ == nullptr) return;  // quit with nothing to send
        std::function<ora_batch_outcome()> send = std::exchange(task_, nullptr);
        hold.unlock();
        std::optional<ora_batch_outcome> outcome;
        std::exception_ptr failed;
        try {
            outcome = send();
        } catch (...) {
            failed = std::current_exception();
        }
        hold.lock();
        done_ = std::move(outcome);
        failed_ = failed;
        changed_.notify_all();
    }
}
