// The trace log: one process-wide logger and the two tk_trace forms.
//
// Levels used by callers: 1 detail, 2 entry into a class method, 3 run
// events and errors. A line is written when its level is at least the
// logger's threshold. Each line is one open-append-close, so a crash loses
// nothing already traced. The wizard creates no logger: there every trace
// call returns at once.
#pragma once

#include <cstdint>
#include <string>

#include "tk_format.h"
#include "tk_singleton.h"

class tk_logger : public tk_singleton<tk_logger> {
public:
    // An empty path means the program's own path with the extension ".log".
    tk_logger(const std::string& path, bool enabled, int level, bool timestamps);
    ~tk_logger() override;

    // Empties the file once per process, the first time tracing is active.
    void empty_once()
    {
        if (!created) empty_file();
    }
    void write_line(std::string_view text);     // narrow bytes as given
    void write_line(std::u16string_view text);  // written as UTF-8

    std::string path;
    int32_t level;
    bool line_end = true;
    bool enabled;
    bool created = false;
    bool timestamps;

private:
    void empty_file();
};

// Longest wide trace line, in UTF-16 code units; longer lines are cut.
inline constexpr size_t tk_wide_trace_limit = 10239;

// Returns the logger when a line of `level` would be written; performs the
// one-time emptying even for lines below the threshold.
inline tk_logger* tk_trace_target(int level)
{
    tk_logger* l = tk_logger::instance_ptr();
    if (l == nullptr || !l->enabled) return nullptr;
    l->empty_once();
    return level < l->level ? nullptr : l;
}

// Cuts a wide line to tk_wide_trace_limit units, never inside a surrogate pair.
void tk_cut_wide_line(std::u16string& line);

template <class... A>
void tk_trace(int level, const char* format, const A&... args) noexcept
{
    if (tk_logger* l = tk_trace_target(level)) {
        try {
            l->write_line(tk_format(format, args...));
        } catch (...) {
            // Tracing never raises: a line that cannot be made is lost.
        }
    }
}

template <class... A>
void tk_trace(int level, const char16_t* format, const A&... args) noexcept
{
    if (tk_logger* l = tk_trace_target(level)) {
        try {
            std::u16string line = tk_format(format, args...);
            tk_cut_wide_line(line);
            l->write_line(std::u16string_view(line));
        } catch (...) {}
    }
}
