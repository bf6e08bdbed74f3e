// The error policy: every failure that reaches the conversion driver ends
// here, is turned into one line of text, traced, shown in the way of the
// program at hand, and either lets the work go on, ends the run
// (tk_final_exception) or ends the process.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "error_presenter.h"
#include "tk_error_converter.h"
#include "tk_exception.h"
#include "tk_singleton.h"

class error_handler : public tk_singleton<error_handler> {
public:
    // Longest list of reported errors kept for the finish page.
    static constexpr size_t max_reported_errors = 20;

    // Builds the message map from the first table (the Oracle one).
    error_handler(int count, const tk_error_row* rows);
    ~error_handler() override;

    // Adds a second table (the MS Access one); codes already present keep
    // their first text.
    void load_err_map(int count, const tk_error_row* rows);

    void set_context(std::u16string_view table);
    // "<table>, record #<row>"; `row` counts from 1.
    void set_context(std::u16string_view table, int row);
    void clear_context() { context_.clear(); }
    const std::string& context() const { return context_; }

    void set_silent(bool on) { silent_ = on; }
    bool silent() const { return silent_; }

    // Replaces the presenter; the console one is the default.
    void set_presenter(std::unique_ptr<error_presenter> presenter);
    error_presenter& presenter() { return *presenter_; }

    // Reports `e` and returns when the work is to go on. `top_level` is true
    // only for the outermost handler of a run. Raises tk_final_exception
    // (interactive programs, levels 0 and 1 below the top level) to end the
    // run; ends the process for internal errors, and on the console for
    // level-1 errors.
    void handle(const tk_exception& e, bool top_level);

    // The line handle() shows for `e`: context, then the friendly text for
    // its code or else its own text. Line feeds are kept.
    std::string compose(const tk_exception& e) const;

    // How many errors handle() has shown or listed (levels 0 and 1), and
    // the text of the last one (line feeds as blanks): the run's report and
    // the agent's exit status are built from them.
    int reported_count() const { return reported_; }
    const std::string& last_text() const { return last_text_; }

private:
    void handle_internal(const tk_exception& e);
    void show(const std::string& text);
    void handle_fatal(const std::string& text, bool top_level);
    void handle_recoverable(const std::string& text, bool top_level);

    std::string context_;
    bool silent_ = false;
    int reported_ = 0;
    std::string last_text_;
    tk_error_converter converter_;
    std::unique_ptr<error_presenter> presenter_;
};
