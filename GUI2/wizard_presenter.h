// The error policy's presenter in the wizard. The policy runs on whichever
// thread met the failure (mostly the conversion worker); every box and the
// continue/abort question are shown on the window thread, and the worker
// waits there for the answer.
#pragma once

#include <functional>

#include "error_presenter.h"

class wizard_presenter : public error_presenter {
public:
    // `before_exit` runs on the window thread before the process ends on an
    // internal error (the program stores its settings there).
    explicit wizard_presenter(std::function<void()> before_exit = {});

    bool interactive() const override { return true; }
    void show_error(const std::string& text) override;
    void show_internal_error(const std::string& text) override;
    bool ask_continue(const std::string& text, bool& dont_show_again) override;
    std::vector<std::string>* reported_errors() override;
    [[noreturn]] void terminate(int status) override;

    // How the process ends; tests replace it. The default flushes the
    // output streams and ends without unwinding the worker threads.
    static void set_exit(std::function<void(int)> exit);

private:
    std::function<void()> before_exit_;
};
