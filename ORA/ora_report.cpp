#include "ora_report.h"

#include "error_handler.h"
#include "tk_logger.h"
#include "tk_wstring.h"

void ora_report(const tk_exception& e, std::u16string_view context)
{
    tk_exception reported = e;
    reported.level = 0;
    tk_trace(3, u"%s: ", context);
    tk_trace(3, "%s", e.message);
    error_handler* handler = error_handler::instance_ptr();
    if (handler == nullptr) return;
    std::string saved = handler->context();
    handler->set_context(context);
    try {
        handler->handle(reported, false);
    } catch (...) {
        handler->set_context(tk_from_ansi(saved));
        throw;
    }
    handler->set_context(tk_from_ansi(saved));
}
