#pragma once
// Copies a store's write-ahead log back into the store file on a thread of
// its own, so that the session's commits never wait for the disk: the
// writer only appends to the log and, once the log has grown past
// `frames` pages, wakes the checkpointer. Its checkpoints are PASSIVE (they
// never block a writer or a reader) and go through a connection of its own.
// Should the log still reach four times that size, the writer copies it
// itself, so the log stays bounded whatever the checkpointer manages.

#include <sqlite3.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

namespace emu {

class checkpointer {
public:
    checkpointer(std::string path, int frames);
    ~checkpointer();
    checkpointer(const checkpointer&) = delete;
    checkpointer& operator=(const checkpointer&) = delete;

    // Installs the commit hook on the writer's connection.
    void watch(sqlite3* writer);
    // Checkpoints this thread has completed (every frame then in the log
    // copied back).
    int completed() const { return completed_; }

private:
    static int on_commit(void* self, sqlite3* db, const char* schema, int frames);
    void run();

    std::string path_;
    int frames_;
    std::mutex m_;
    std::condition_variable cv_;
    bool due_ = false;
    bool quit_ = false;
    std::atomic<int> completed_{0};
    std::thread thread_;  // last: starts once the members above exist
};

}  // namespace emu
