// The log of a store is copied back by a thread of its own: a long run of
// commits leaves the log bounded, every row readable by a fresh connection,
// and the checkpoints done by that thread rather than by the writer.

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "emu_checkpointer.h"

namespace {

int64_t size_of(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 ? st.st_size : 0;
}

TEST(EmuCheckpointer, LogStaysBoundedAndEveryRowArrives) {
    char tmpl[] = "/tmp/emuckptXXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    const std::string dir = tmpl, path = dir + "/s.db";
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "PRAGMA page_size=4096; PRAGMA journal_mode=WAL; CREATE TABLE t(x TEXT)",
                           nullptr, nullptr, nullptr), SQLITE_OK);
    const int frames = 16;
    int64_t largest_log = 0;
    int done = 0, extra = 0;
    {
        emu::checkpointer cp(path, frames);
        cp.watch(db);
        const std::string row = std::string(3000, 'x');
        for (int i = 0; i < 400; ++i) {
            std::string sql = "BEGIN; INSERT INTO t VALUES('" + row + "'); INSERT INTO t VALUES('" + row + "'); COMMIT";
            ASSERT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
            largest_log = std::max(largest_log, size_of(path + "-wal"));
            // A session between two batches: the checkpointer keeps up.
            if (i % 8 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        // On a busy machine every checkpoint may have met a commit; the
        // log at rest is copied back whole.
        for (int wait = 0; wait < 500 && cp.completed() == 0; ++wait) {
            if (wait % 50 == 0 && sqlite3_exec(db, "INSERT INTO t VALUES('')", nullptr, nullptr, nullptr) == SQLITE_OK)
                ++extra;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        done = cp.completed();
    }
    // 800 rows of 3000 bytes are some 600 pages, and each commit writes
    // its pages anew: without checkpoints the log would hold 800 frames or
    // more. With them it stays near four times the threshold (the writer's
    // own bound), a little beyond while a checkpoint holds the log as a
    // commit arrives.
    EXPECT_LT(largest_log, 12 * frames * 4096) << "the log was not copied back: " << largest_log / 4096;
    EXPECT_GT(done, 0) << "the checkpoints were all the writer's own";
    sqlite3* fresh = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &fresh), SQLITE_OK);
    sqlite3_stmt* q = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(fresh, "SELECT COUNT(*) FROM t", -1, &q, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_step(q), SQLITE_ROW);
    EXPECT_EQ(sqlite3_column_int(q, 0), 800 + extra);
    sqlite3_finalize(q);
    sqlite3_close(fresh);
    sqlite3_close(db);
    std::system(("rm -rf " + dir).c_str());
}

}  // namespace
