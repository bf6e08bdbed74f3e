// How the error policy shows things to the user. The policy itself (what
// is composed, traced, shown and what stops) lives in error_handler; a
// presenter only carries texts to the screen and ends the process.
#pragma once

#include <string>
#include <vector>

class error_presenter {
public:
    virtual ~error_presenter();

    // True for a program with dialogs (the wizard), false for the console.
    virtual bool interactive() const = 0;

    // Console: the "Error:" lines. Dialogs: the error message box.
    virtual void show_error(const std::string& text) = 0;
    // Console: the "Internal error: " line. Dialogs: the internal-error box.
    virtual void show_internal_error(const std::string& text) = 0;
    // The continue dialog: true for Continue, false for Abort; sets
    // `dont_show_again` to the state of its check box.
    virtual bool ask_continue(const std::string& text, bool& dont_show_again) = 0;
    // The list of reported errors the finish page shows, or null when there
    // is none (no wizard frame, or a console program).
    virtual std::vector<std::string>* reported_errors() = 0;
    // Ends the process with `status`.
    [[noreturn]] virtual void terminate(int status) = 0;
};

// The console agent's presenter: standard output and exit().
class console_error_presenter : public error_presenter {
public:
    bool interactive() const override { return false; }
    void show_error(const std::string& text) override;
    void show_internal_error(const std::string& text) override;
    bool ask_continue(const std::string& text, bool& dont_show_again) override;
    std::vector<std::string>* reported_errors() override { return nullptr; }
    [[noreturn]] void terminate(int status) override;
};
