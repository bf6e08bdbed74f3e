#include "tk_logger.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <mutex>
#include <string>

#include "tk_path.h"
#include "tk_wstring.h"

namespace {

// The program's own path with its extension replaced by ".log".
std::string default_log_path()
{
    std::string path;
    try {
        path = tk_program_path();
    } catch (const tk_exception&) {
        path = "tolvane";  // a program path beyond the length limit
    }
    size_t slash = path.rfind('/');
    size_t dot = path.rfind('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) path.resize(dot);
    return path + ".log";
}

// Trace files may hold names and texts of the user's data: they are made
// readable by the owner only, and a symbolic link planted at the path is
// never followed (the open fails and the line is lost).
FILE* open_trace(const std::string& path, bool truncate)
{
    int flags = O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC | (truncate ? O_TRUNC : O_APPEND);
    int fd = ::open(path.c_str(), flags, 0600);
    if (fd < 0) return nullptr;
    FILE* f = ::fdopen(fd, truncate ? "wb" : "ab");
    if (f == nullptr) ::close(fd);
    return f;
}

}  // namespace

tk_logger::tk_logger(const std::string& p, bool on, int lvl, bool stamps)
    : path(p.empty() ? default_log_path() : p), level(lvl), enabled(on), timestamps(stamps)
{
    if (enabled) empty_file();
}

tk_logger::~tk_logger() = default;

void tk_logger::empty_file()
{
    // Marked first, so a file that cannot be opened is not retried per line.
    created = true;
    if (FILE* f = open_trace(path, true)) std::fclose(f);
}

void tk_logger::write_line(std::string_view text)
{
    // A load sends a batch on a thread of its own while the next is read:
    // lines of the two must not be mixed within one line.
    static std::mutex lines;
    std::lock_guard<std::mutex> hold(lines);
    FILE* f = open_trace(path, false);
    if (f == nullptr) return;
    if (timestamps) {
        std::time_t now = std::time(nullptr);
        std::tm local{};
        localtime_r(&now, &local);
        std::fprintf(f, "%02d:%02d:%02d ", local.tm_hour, local.tm_min, local.tm_sec);
    }
    std::fwrite(text.data(), 1, text.size(), f);
    if (line_end) std::fwrite("\r\n", 1, 2, f);
    std::fclose(f);
}

void tk_logger::write_line(std::u16string_view text)
{
    write_line(std::string_view(tk_to_utf8(text)));
}

void tk_cut_wide_line(std::u16string& line)
{
    if (line.size() <= tk_wide_trace_limit) return;
    line.resize(tk_wide_trace_limit);
    char16_t last = line.back();
    if (last >= 0xD800 && last <= 0xDBFF) line.pop_back();
}
