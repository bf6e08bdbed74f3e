#include "agent_console.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

#include "tk_format.h"
#include "tk_wstring.h"
#include "tolvane_convertor.h"

agent_console::agent_console(bool live) : live_(live) {}

std::string agent_console::progress_text(const std::u16string& table, long done, long total, double seconds)
{
    long rate = seconds > 0.05 ? static_cast<long>(done / seconds) : 0;
    long s = static_cast<long>(seconds);
    return tk_format("  %s: %ld of %ld rows, %ld rows/s, %ld:%02ld", tk_to_ansi(table), done, total, rate, s / 60,
                     s % 60);
}

void agent_console::update(const tolvane_convertor& conv)
{
    if (!live_) return;
    auto now = std::chrono::steady_clock::now();
    if (conv.tables_done != tables_done_) {
        // The entry is over: its line goes before the next entry's text.
        tables_done_ = conv.tables_done;
        finish_line();
        table_.clear();
        return;
    }
    if (conv.current_table != table_) {
        finish_line();
        table_ = conv.current_table;
        table_start_ = now;
    }
    // A few redraws a second are enough for the eye and cost nothing.
    if (drawn_ && now - last_draw_ < std::chrono::milliseconds(100)) return;
    last_draw_ = now;
    double seconds = std::chrono::duration<double>(now - table_start_).count();
    std::string text = progress_text(table_, conv.records_done, conv.records_total, seconds);
    std::printf("\r%s\x1b[K", text.c_str());
    std::fflush(stdout);
    drawn_ = true;
}

void agent_console::finish_line()
{
    if (!drawn_) return;
    std::printf("\r\x1b[K");
    std::fflush(stdout);
    drawn_ = false;
}

bool write_report_file(const std::string& path, const std::string& text)
{
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    size_t done = 0;
    bool ok = true;
    while (ok && done < text.size()) {
        ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0)
            ok = false;
        else
            done += static_cast<size_t>(n);
    }
    return ::close(fd) == 0 && ok;
}
