#include "wizard_presenter.h"

#include <cstdio>
#include <cstdlib>

#include <QString>

#include "dlg_error_continue.h"
#include "dlg_error_ex.h"
#include "wizard_services.h"
#include "wizard_shell.h"
#include "wizard_worker.h"

namespace {

std::function<void(int)>& exit_function()
{
    static std::function<void(int)> exit;
    return exit;
}

QString local(const std::string& text)
{
    return QString::fromLocal8Bit(text.c_str());
}

}  // namespace

wizard_presenter::wizard_presenter(std::function<void()> before_exit) : before_exit_(std::move(before_exit)) {}

void wizard_presenter::show_error(const std::string& text)
{
    wizard_on_gui_thread([&] { wizard_shell::error(local(text)); });
}

void wizard_presenter::show_internal_error(const std::string& text)
{
    wizard_on_gui_thread([&] {
        dlg_error_ex dialog(local(text), wizard_shell::instance_ptr());
        wizard_services::current().exec_dialog(dialog);
    });
}

bool wizard_presenter::ask_continue(const std::string& text, bool& dont_show_again)
{
    bool go_on = true;
    wizard_on_gui_thread([&] {
        dlg_error_continue dialog(local(text), wizard_shell::instance_ptr());
        go_on = wizard_services::current().exec_dialog(dialog) == dlg_error_continue::continue_result;
        dont_show_again = dialog.dont_show_again();
    });
    return go_on;
}

std::vector<std::string>* wizard_presenter::reported_errors()
{
    // Appended to by the worker only; the finish page reads the list after
    // the worker has ended.
    wizard_shell* shell = wizard_shell::instance_ptr();
    return shell != nullptr ? &shell->reported_errors() : nullptr;
}

void wizard_presenter::set_exit(std::function<void(int)> exit)
{
    exit_function() = std::move(exit);
}

void wizard_presenter::terminate(int status)
{
    if (before_exit_) wizard_on_gui_thread(before_exit_);
    int code = status & 0xFF;  // -1 reaches the parent as 255
    if (exit_function()) exit_function()(code);
    std::fflush(nullptr);
    // The worker that met the error may still hold the policy's locks and
    // the window thread may wait on it: end without unwinding either.
    std::_Exit(code);
}
