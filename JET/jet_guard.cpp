#include "jet_guard.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <iterator>
#include <mutex>
#include <set>
#include <tuple>
#include <vector>

#include "jet_catalog.h"
#include "jet_error.h"
#include "jet_file.h"
#include "jet_table_reader.h"
#include "tk_logger.h"
#include "tk_wstring.h"

extern char** environ;

bool jet_guard::enabled = true;
std::string jet_guard::program;
int64_t jet_guard::base_limit_ms = 30000;

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

int jet_guard::probe_main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: tlvjetprobe FILE CODE_PAGE ALL_ROWS (password on standard input)\n");
        return 2;
    }
    std::string password((std::istreambuf_iterator<char>(std::cin)), std::istreambuf_iterator<char>());
    try {
        jet_file file(tk_from_utf8(argv[1]), tk_from_utf8(password), std::atoi(argv[2]));
        read_everything(file, argv[3][0] == '1');
    } catch (...) {
        // The caller opens the file itself and reports what it finds.
    }
    return 0;
}

namespace {

uint64_t file_size(const jet_file& file)
{
    struct stat st {};
    return ::stat(tk_to_utf8(file.path()).c_str(), &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
}

// Files this process has seen read to the end, as they were then. A run
// opens its source more than once (the check, the conversion, a workgroup
// beside it); each probe of a file under the row limit reads every row, so
// a second probe of the same unchanged file doubles the reading for
// nothing. The key holds the file's identity and change times, the code
// page and a digest of the password (pages decrypted with another
// password are other bytes).
using probe_key = std::tuple<dev_t, ino_t, off_t, int64_t, int64_t, int, size_t>;
std::mutex probed_lock;
std::set<probe_key> probed;

bool probe_key_of(const jet_file& file, std::u16string_view password, probe_key& key)
{
    struct stat st {};
    if (::stat(tk_to_utf8(file.path()).c_str(), &st) != 0) return false;
    auto ns = [](const timespec& t) { return static_cast<int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec; };
    key = {st.st_dev,
           st.st_ino,
           st.st_size,
           ns(st.st_mtim),
           ns(st.st_ctim),
           file.jet3_code_page(),
           std::hash<std::u16string_view>{}(password)};
    return true;
}

int64_t now_ms()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

bool executable(const std::string& path)
{
    return !path.empty() && ::access(path.c_str(), X_OK) == 0;
}

std::string probe_program()
{
    if (!jet_guard::program.empty()) return executable(jet_guard::program) ? jet_guard::program : std::string();
    char self[4096];
    ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (n > 0) {
        std::string dir(self, static_cast<size_t>(n));
        dir.erase(dir.rfind('/') + 1);
        for (const char* rel : {"tlvjetprobe", "../libexec/tolvane/tlvjetprobe"})
            if (executable(dir + rel)) return dir + rel;
    }
#ifdef TOLVANE_JET_PROBE_BUILT
    if (executable(TOLVANE_JET_PROBE_BUILT)) return TOLVANE_JET_PROBE_BUILT;
#endif
    return {};
}

// A fork is safe only in a process of one thread: another thread may hold
// a lock (the allocator's, a library's) at the moment of fork, and the
// child would wait for it until the time limit.
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

// Anonymous memory holding the password, read by the probe as its
// standard input; -1 when none can be made.
int password_fd(std::u16string_view password)
{
    int fd = ::memfd_create("tlvjetprobe", MFD_CLOEXEC);
    if (fd < 0) return -1;
    const std::string text = tk_to_utf8(std::u16string(password));
    if (::write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size()) || ::lseek(fd, 0, SEEK_SET) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Starts `program` on the file; 0 when it could not be started.
pid_t spawn_probe(const std::string& program, const jet_file& file, std::u16string_view password, bool all_rows)
{
    int input = password_fd(password);
    if (input < 0) return 0;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input, 0);
    // libmdb's diagnostics would repeat the caller's.
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    const std::string path = tk_to_utf8(file.path()), code_page = std::to_string(file.jet3_code_page());
    char* argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>(path.c_str()),
                    const_cast<char*>(code_page.c_str()), const_cast<char*>(all_rows ? "1" : "0"), nullptr};
    pid_t child = 0;
    if (posix_spawn(&child, program.c_str(), &actions, nullptr, argv, environ) != 0) child = 0;
    posix_spawn_file_actions_destroy(&actions);
    ::close(input);
    return child;
}

pid_t fork_probe(const jet_file& file, bool all_rows)
{
    pid_t child = ::fork();
    if (child != 0) return child < 0 ? 0 : child;
    int null = ::open("/dev/null", O_WRONLY);
    if (null >= 0) ::dup2(null, 2);
    try {
        jet_guard::read_everything(file, all_rows);
    } catch (...) {
        // A reported error is the parent's to report again.
    }
    ::_exit(0);
}

// Waits for the probe; raises 3343 when it crashed, failed or ran too long.
void await_probe(pid_t child, const jet_file& file, int64_t limit_ms)
{
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

}  // namespace

void jet_guard::forget_probed()
{
    std::lock_guard<std::mutex> hold(probed_lock);
    probed.clear();
}

void jet_guard::probe(const jet_file& file, std::u16string_view password)
{
    if (!enabled) return;
    probe_key key;
    const bool known = probe_key_of(file, password, key);
    if (known) {
        std::lock_guard<std::mutex> hold(probed_lock);
        if (probed.count(key) != 0) return;
    }
    const uint64_t size = file_size(file);
    const bool all_rows = size <= probe_all_rows_limit;
    const int64_t limit_ms = base_limit_ms + static_cast<int64_t>(size >> 20) * 1000;
    tk_trace(2, u"jet_guard::probe(%s)", file.path());

    pid_t child = 0;
    const std::string prog = probe_program();
    if (!prog.empty()) child = spawn_probe(prog, file, password, all_rows);
    if (child == 0) {
        if (!single_threaded()) {
            tk_trace(2, "jet_guard: no probe program and more than one thread, reading without the guard");
            return;
        }
        child = fork_probe(file, all_rows);
    }
    if (child == 0) {
        tk_trace(3, "jet_guard: the probe could not be started, reading without the guard");
        return;
    }
    await_probe(child, file, limit_ms);
    if (known) {
        std::lock_guard<std::mutex> hold(probed_lock);
        probed.insert(key);
    }
}
