#include "emu_checkpointer.h"

#include <utility>

namespace emu {

checkpointer::checkpointer(std::string path, int frames)
    : path_(std::move(path)), frames_(frames), thread_([this] { run(); }) {}

checkpointer::~checkpointer() {
    {
        std::lock_guard<std::mutex> hold(m_);
        quit_ = true;
    }
    cv_.notify_all();
    thread_.join();
}

void checkpointer::watch(sqlite3* writer) {
    // Replaces SQLite's own automatic checkpoint, which runs in the
    // committing thread and waits for the disk there.
    sqlite3_wal_hook(writer, &checkpointer::on_commit, this);
}

int checkpointer::on_commit(void* self, sqlite3* db, const char* schema, int frames) {
    auto* c = static_cast<checkpointer*>(self);
    if (frames >= 4 * c->frames_) {
        sqlite3_wal_checkpoint_v2(db, schema, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
        return SQLITE_OK;
    }
    if (frames >= c->frames_) {
        {
            std::lock_guard<std::mutex> hold(c->m_);
            c->due_ = true;
        }
        c->cv_.notify_one();
    }
    return SQLITE_OK;
}

void checkpointer::run() {
    sqlite3* db = nullptr;
    std::unique_lock<std::mutex> hold(m_);
    for (;;) {
        cv_.wait(hold, [this] { return quit_ || due_; });
        if (quit_) break;
        due_ = false;
        hold.unlock();
        // A connection takes the log into account only once it has read
        // the file's header: the schema version is the cheapest read.
        if (db == nullptr &&
            (sqlite3_open_v2(path_.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK ||
             sqlite3_exec(db, "PRAGMA schema_version", nullptr, nullptr, nullptr) != SQLITE_OK)) {
            sqlite3_close(db);
            db = nullptr;
        }
        // A failed checkpoint (the file busy, say) is tried again at the
        // next commit; the writer's own bound keeps the log in check.
        int log = 0, copied = 0;
        if (db != nullptr &&
            sqlite3_wal_checkpoint_v2(db, nullptr, SQLITE_CHECKPOINT_PASSIVE, &log, &copied) == SQLITE_OK &&
            log >= 0 && copied == log)
            ++completed_;
        hold.lock();
    }
    hold.unlock();
    sqlite3_close(db);
}

}  // namespace emu
