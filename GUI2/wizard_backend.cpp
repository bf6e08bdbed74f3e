#include "wizard_backend.h"

#include "tk_logger.h"
#include "tk_wstring.h"

void run_counters::set_table(const std::u16string& name)
{
    std::lock_guard<std::mutex> hold(lock_);
    table_ = name;
}

std::u16string run_counters::table() const
{
    std::lock_guard<std::mutex> hold(lock_);
    return table_;
}

run_progress run_counters::snapshot() const
{
    run_progress p;
    // finished first: a run seen as finished has published its last counts.
    p.finished = finished.load();
    p.tables_total = tables_total.load();
    p.tables_done = tables_done.load();
    p.records_total = records_total.load();
    p.records_done = records_done.load();
    p.table = table();
    return p;
}

wizard_backend::~wizard_backend() = default;

void wizard_backend::store_oracle_settings(const std::u16string& host, const std::u16string& user,
                                           const std::u16string& password, const std::u16string& port)
{
    tk_trace(2, "oracle_converter_impl::store_oracle_settings(%s,%s,%s,%s)", tk_to_ansi(host), tk_to_ansi(user), "*",
             tk_to_ansi(port));
    settings_.oracleh = host.empty() ? u"localhost" : host;
    settings_.oracleu = user;
    settings_.oraclep = password;
    settings_.port = port;
}

void wizard_backend::store_ugl_settings(const std::u16string& file, const std::u16string& user,
                                        const std::u16string& password)
{
    tk_trace(2, "acc_converter_impl::store_ugl_settings(%s,%s,%s)", tk_to_ansi(file), tk_to_ansi(user), "*");
    settings_.sysdb_path = tk_trim(file);
    settings_.ugl_user = tk_trim(user);
    settings_.ugl_pswd = password;
}
