#include "dao_exception.h"

#include "dao_engine.h"
#include "tk_logger.h"
#include "tk_wstring.h"

namespace {

[[noreturn]] void fail_step(int step)
{
    tk_trace(2, "Failed on step #%d", step);
    dao_raise_unknown();
}

}  // namespace

void dao_raise_unknown()
{
    throw tk_exception("Unknown exception", 1);
}

dao_exception::dao_exception() : tk_exception("Unknown exception", 0)
{
    tk_trace(2, "dao_exception::dao_exception");
    dao_engine& engine = dao_engine::instance();
    const jet_dbengine* dbengine = engine.dbengine();
    if (dbengine == nullptr) fail_step(1);
    const std::vector<jet_error_entry>& errors = dbengine->errors();
    if (errors.empty()) fail_step(2);
    const jet_error_entry& first = errors.front();
    message = tk_to_ansi(first.description);
    tk_trace(2, "Got error: %s", message);
    code = 0x10000u | (static_cast<uint32_t>(first.number) & 0xFFFFu);
    tk_trace(2, "Got error code: %08X", code);
}

dao_exception::dao_exception(const jet_error& error) : tk_exception(error.message, 0)
{
    code = 0x10000u | (static_cast<uint32_t>(error.number) & 0xFFFFu);
    tk_trace(2, "Got error: %s", message);
}

dao_exception::~dao_exception() = default;
