#include "agent_main.h"

#include <unistd.h>

#include <clocale>
#include <csignal>
#include <cstdio>
#include <memory>

#include "agent_console.h"
#include "agent_options.h"
#include "error_handler.h"
#include "tk_error_tables.h"
#include "tk_logger.h"
#include "tolvane_convertor.h"

namespace {

// The console presenter, except that ending the process unwinds the stack
// first: the work of the session is committed here, the connection is
// closed and the Access engine's temporary files are removed by the
// destructors on the way to main.
class agent_presenter : public console_error_presenter {
public:
    // An error line must not land behind a progress line on the terminal.
    void show_error(const std::string& text) override
    {
        if (console != nullptr) console->finish_line();
        console_error_presenter::show_error(text);
    }
    [[noreturn]] void terminate(int status) override
    {
        std::fflush(nullptr);
        if (tolvane_convertor* conv = tolvane_convertor::instance_ptr()) conv->close_connection();
        throw agent_exit{status == -1 ? k_exit_fatal : status};
    }

    agent_console* console = nullptr;
};

void on_signal(int signal)
{
    tolvane_convertor::request_stop(signal);
}

void install_signal_handlers()
{
    struct sigaction sa {};
    sa.sa_handler = on_signal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
}

// The exit status of a run that went to its end.
int run_status(const tolvane_convertor& conv, const error_handler& eh)
{
    if (int s = tolvane_convertor::stop_signal()) return 128 + s;
    if (conv.report.aborted) return k_exit_fatal;
    if (eh.reported_count() > 0 || !conv.report.clean()) return k_exit_errors;
    return k_exit_ok;
}

void finish_run(tolvane_convertor& conv)
{
    if (!conv.silent) {
        std::printf("\n%s", conv.report.summary_table().c_str());
        std::fflush(stdout);
    }
    const std::string& path = agent_config().report_file;
    if (!path.empty() && !write_report_file(path, conv.report.to_json()))
        exit_with_message("Cannot write the report file " + path);
}

int convert(int argc, char** argv, agent_presenter& presenter)
{
    tolvane_convertor conv;
    conv.console = true;
    error_handler& eh = error_handler::instance();
    try {
        if (argc < 2 || !parse_cmd_line(argc, argv)) exit_with_message(usage_text());
        // A failed check or logon stops here, whatever its level: nothing
        // was converted, so the status must not claim success.
        int before = eh.reported_count();
        conv.check_acc_base(conv.src, conv.acc_pswd);
        conv.connect_oracle_server(conv.dest);
        if (eh.reported_count() != before) return k_exit_fatal;
    } catch (const tk_exception& e) {
        eh.handle(e, false);
        return k_exit_fatal;
    } catch (const std::exception& e) {
        exit_with_message(e.what());
    }

    agent_console console(isatty(STDOUT_FILENO) && !conv.silent);
    presenter.console = &console;
    struct unlink_console {
        agent_presenter& p;
        ~unlink_console() { p.console = nullptr; }
    } unlink{presenter};
    conv.on_progress = [&] { console.update(conv); };
    install_signal_handlers();
    conv();
    console.finish_line();
    conv.close_connection();
    finish_run(conv);
    return run_status(conv, eh);
}

}  // namespace

int agent_main(int argc, char** argv)
{
    std::setlocale(LC_ALL, "");
    tolvane_convertor::clear_stop();
    tk_logger logger("", false, 3, false);
    error_handler eh(tk_oracle_error_count, tk_oracle_errors);
    eh.load_err_map(tk_access_error_count, tk_access_errors);
    auto presenter = std::make_unique<agent_presenter>();
    agent_presenter& shown = *presenter;
    eh.set_presenter(std::move(presenter));
    try {
        return convert(argc, argv, shown);
    } catch (const agent_exit& x) {
        return x.status;
    }
}
