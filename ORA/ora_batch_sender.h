// One thread that sends batches while the caller reads the next rows.
//
// The thread lives as long as the sender, so a load of a million rows does
// not start a thousand threads (each with a fresh stack and malloc arena
// to fault in). At most one batch is on its way: start() requires that the
// previous one has been waited for.
#pragma once

#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

#include "ora_batch_loader.h"

class ora_batch_sender {
public:
    ora_batch_sender();
    // Waits for a batch still on its way; its verdict is lost.
    ~ora_batch_sender();
    ora_batch_sender(const ora_batch_sender&) = delete;
    ora_batch_sender& operator=(const ora_batch_sender&) = delete;

    // Runs `send` on the thread. Invariant: nothing is on its way.
    void start(std::function<ora_batch_outcome()> send);
    bool busy() const { return busy_; }
    // The verdict of the batch on its way; raises what `send` raised.
    // Afterwards nothing is on its way.
    ora_batch_outcome wait();

private:
    void run();

    std::mutex mutex_;
    std::condition_variable changed_;
    std::function<ora_batch_outcome()> task_;  // set: a batch to send
    std::optional<ora_batch_outcome> done_;
    std::exception_ptr failed_;
    bool busy_ = false;  // only the caller's thread reads and writes it
    bool quit_ = false;
    std::thread thread_;  // last: starts once the members above exist
};
