#include "error_handler.h"

#include <algorithm>

#include "tk_logger.h"
#include "tk_wstring.h"

namespace {

tk_error_converter traced_converter(int count, const tk_error_row* rows)
{
    tk_trace(2, "error_handler::ctor");
    return tk_error_converter(count, rows);
}

}  // namespace

error_handler::error_handler(int count, const tk_error_row* rows)
    : converter_(traced_converter(count, rows)), presenter_(std::make_unique<console_error_presenter>())
{}

error_handler::~error_handler() = default;

void error_handler::load_err_map(int count, const tk_error_row* rows)
{
    tk_trace(2, "error_handler::load_err_map");
    converter_.load_map(count, rows);
}

void error_handler::set_context(std::u16string_view table)
{
    context_ = tk_to_ansi(table);
}

void error_handler::set_context(std::u16string_view table, int row)
{
    context_ = tk_format("%s, record #%d", tk_to_ansi(table), row);
}

void error_handler::set_presenter(std::unique_ptr<error_presenter> presenter)
{
    TK_ASSERT(presenter != nullptr);
    presenter_ = std::move(presenter);
}

std::string error_handler::compose(const tk_exception& e) const
{
    std::string text;
    if (!context_.empty()) text = context_ + ": ";
    std::string friendly = converter_.convert(e.code);
    text += friendly.empty() ? e.message : friendly;
    return text;
}

void error_handler::handle(const tk_exception& e, bool top_level)
{
    tk_trace(2, "error_handler::handle");
    if (e.level == 2) {
        handle_internal(e);
        return;  // not reached: the process has ended
    }

    std::string text = compose(e);
    tk_trace(3, "Error:\n%s", text);
    std::replace(text.begin(), text.end(), '\n', ' ');
    ++reported_;
    last_text_ = text;
    show(text);

    if (e.level == 1)
        handle_fatal(text, top_level);
    else
        handle_recoverable(text, top_level);
}

void error_handler::handle_internal(const tk_exception& e)
{
    tk_trace(3, "Internal error:\n%s", e.message);
    // Shown whatever the silent flag: the process is about to end.
    presenter_->show_internal_error(e.message);
    presenter_->terminate(-1);
}

void error_handler::show(const std::string& text)
{
    if (!presenter_->interactive()) {
        if (!silent_) presenter_->show_error(text);
        return;
    }
    // Interactive: the text waits for the finish page.
    std::vector<std::string>* list = presenter_->reported_errors();
    if (list != nullptr && list->size() < max_reported_errors) list->push_back(text);
}

void error_handler::handle_fatal(const std::string& text, bool top_level)
{
    tk_trace(1, "Got 1-level error");
    if (!presenter_->interactive()) presenter_->terminate(-1);
    if (!silent_) {
        tk_trace(1, "Step 1");
        presenter_->show_error(text);
    }
    tk_trace(1, "Step 2");
    if (!top_level) throw tk_final_exception();
}

void error_handler::handle_recoverable(const std::string& text, bool top_level)
{
    tk_trace(1, "Got 0-level error");
    if (!presenter_->interactive() || silent_) return;
    bool dont_show_again = false;
    bool go_on = presenter_->ask_continue(text, dont_show_again);
    if (!go_on && !top_level) throw tk_final_exception();
    silent_ = dont_show_again;
}
