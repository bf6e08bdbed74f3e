#include "init_conversion.h"

#include <ctime>

#include "tk_logger.h"

namespace {

void trace_time(const char* format)
{
    std::time_t now = std::time(nullptr);
    std::tm t{};
    localtime_r(&now, &t);
    tk_trace(3, format, t.tm_mday, t.tm_mon + 1, t.tm_year + 1900, t.tm_hour, t.tm_min, t.tm_sec);
}

}  // namespace

init_conversion::init_conversion(bool& finished, bool /*com_ready*/) : finished_(finished)
{
    tk_trace(2, "init_conversion::ctor");
    trace_time("Conversion started on %02d/%02d/%04d at %02d:%02d:%02d\n");
}

init_conversion::~init_conversion()
{
    tk_trace(2, "init_conversion::dtor");
    trace_time("Conversion ended on %02d/%02d/%04d at %02d:%02d:%02d\n");
    finished_ = true;
}
