#include "error_presenter.h"

#include <cstdio>
#include <cstdlib>

error_presenter::~error_presenter() = default;

void console_error_presenter::show_error(const std::string& text)
{
    std::printf("Error:\n%s\n", text.c_str());
    std::fflush(stdout);
}

void console_error_presenter::show_internal_error(const std::string& text)
{
    std::printf("Internal error: %s\n", text.c_str());
    std::fflush(stdout);
}

bool console_error_presenter::ask_continue(const std::string&, bool& dont_show_again)
{
    // Nobody to ask on the console: the run goes on.
    dont_show_again = false;
    return true;
}

void console_error_presenter::terminate(int status)
{
    std::fflush(nullptr);
    std::exit(status);
}
