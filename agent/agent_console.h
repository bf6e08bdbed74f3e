// What the agent shows while and after a run: a progress line redrawn in
// place on a terminal, the summary table and the JSON report.
#pragma once

#include <chrono>
#include <string>

class tolvane_convertor;

class agent_console {
public:
    // `live`: standard output is a terminal and the agent is not silent.
    explicit agent_console(bool live);

    // Hooked to the converter's progress callback.
    void update(const tolvane_convertor& conv);
    // Clears a progress line still on screen.
    void finish_line();

    // "   120 of 830 rows   1500 rows/s   0:03" for the current table.
    static std::string progress_text(const std::u16string& table, long done, long total, double seconds);

private:
    bool live_;
    bool drawn_ = false;
    std::u16string table_;
    int tables_done_ = 0;
    std::chrono::steady_clock::time_point table_start_;
    std::chrono::steady_clock::time_point last_draw_;
};

// Writes `text` to `path`, owner-only; false when it cannot.
bool write_report_file(const std::string& path, const std::string& text);
