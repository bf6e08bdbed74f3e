#include "jet_guard.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "jet_catalog.h"
#include "jet_error.h"
#include "jet_file.h"
#include "jet_table_reader.h"
#include "tk_logger.h"
#include "tk_wstring.h"

bool jet_guard::enabled = true;

uint64_t jet_guard::read_everything(const jet_file& file, bool all_rows)
{
    uint64_t rows = 0;
    jet_catalog cat(file);
    for (const jet_catalog_entry& e : cat.tables()) {
        MdbCatalogEntry* entry = cat.mdb_entry(e);
        if (entry == nullptr) continue;
        jet_table_reader reader(file, entry, e.properties.get());
        jet_read_indexes(reader.table(), e.name, cat.relationships());
        std::vector<jet_value> row;
        uint32_t n = 0;
        while ((all_rows || n < probe_sample_rows) && reader.next(row)) ++n;
        rows += n;
    }
    return rows;
}

namespace {

uint64_t file_size(const jet_file& file)
{
    struct stat st {};
    return ::stat(tk_to_utf8(file.path()).c_str(), &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
}

int64_t now_ms()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

// Another thread may hold a lock (the allocator's, a library's) at the
// moment of fork; the child would then wait for it until the time limit and
// a sound file would be reported damaged. So the guard runs only in a
// process of one thread (the agent); the wizard reads without it.
bool single_threaded()
{
    FILE* f = std::fopen("/proc/self/status", "r");
    if (f == nullptr) return false;
    char line[256];
    int threads = 0;
    while (std::fgets(line, sizeof line, f) != nullptr)
        if (std::sscanf(line, "Threads: %d", &threads) == 1) break;
    std::fclose(f);
    return threads == 1;
}

}  // namespace

void jet_guard::probe(const jet_file& file)
{
    if (!enabled) return;
    if (!single_threaded()) {
        tk_trace(2, "jet_guard: more than one thread, reading without the guard");
        return;
    }
    const uint64_t size = file_size(file);
    const bool all_rows = size <= probe_all_rows_limit;
    const int64_t limit_ms = 30000 + static_cast<int64_t>(size >> 20) * 1000;
    tk_trace(2, u"jet_guard::probe(%s)", file.path());

    pid_t child = ::fork();
    if (child < 0) {
        tk_trace(3, "jet_guard: fork failed, reading without the guard");
        return;
    }
    if (child == 0) {
        // The child: libmdb's diagnostics would repeat the parent's.
        int null = ::open("/dev/null", O_WRONLY);
        if (null >= 0) ::dup2(null, 2);
        try {
            read_everything(file, all_rows);
        } catch (...) {
            // A reported error is the parent's to report again.
        }
        ::_exit(0);
    }
    int status = 0;
    const int64_t start = now_ms();
    while (true) {
        pid_t r = ::waitpid(child, &status, WNOHANG);
        if (r == child) break;
        if (r < 0 && errno != EINTR) throw jet_error(jet_err_unrecognized_format, file.path());
        if (now_ms() - start > limit_ms) {
            ::kill(child, SIGKILL);
            ::waitpid(child, &status, 0);
            tk_trace(3, u"Reading '%s' did not end in time", file.path());
            throw jet_error(jet_err_unrecognized_format, file.path());
        }
        ::usleep(2000);
    }
    if (WIFSIGNALED(status) || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        tk_trace(3, u"Reading '%s' crashed (status %d)", file.path(), status);
        throw jet_error(jet_err_unrecognized_format, file.path());
    }
}
