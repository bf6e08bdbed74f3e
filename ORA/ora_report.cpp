#include "ora_report.h"

#include "tk_logger.h"

namespace {

ora_reporter g_reporter = nullptr;

}  // namespace

void ora_set_reporter(ora_reporter reporter)
{
    g_reporter = reporter;
}

void ora_report(const tk_exception& e, std::u16string_view context)
{
    tk_exception reported = e;
    reported.level = 0;
    tk_trace(3, u"%s", context);
    tk_trace(3, "%s", e.message);
    if (g_reporter != nullptr) g_reporter(reported, context);
}
