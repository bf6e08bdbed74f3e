#include "wizard_engine_backend.h"

#include <csignal>

#include "dao_check_sysdb.h"
#include "tk_logger.h"
#include "tk_wstring.h"
#include "tolvane_convertor.h"
#include "udb_profile.h"

wizard_engine_backend::wizard_engine_backend(tolvane_convertor& converter) : converter_(converter) {}

void wizard_engine_backend::apply()
{
    const wizard_settings& s = settings();
    tolvane_convertor& c = converter_;
    c.src = s.src;
    c.dest = s.dest;
    c.mode = s.mode;
    c.tab_def = s.tab_def;
    c.skip_idx = s.skip_idx;
    c.uppercase = s.uppercase;
    c.use_ugl = s.use_ugl;
    c.acc_pswd = s.acc_pswd;
    c.jet3_codepage = s.jet3_codepage;
    // Workgroup security is used only when the security page says so.
    c.sysdb_path = s.use_ugl ? s.sysdb_path : std::u16string();
    c.ugl_user = s.use_ugl ? s.ugl_user : std::u16string();
    c.ugl_pswd = s.use_ugl ? s.ugl_pswd : std::u16string();
    c.host = s.oracleh;
    c.user = s.oracleu;
    c.password = s.oraclep;
    c.port = s.port;
    c.selected_tables = s.selected_tables;
    c.selected_queries = s.selected_queries;
    c.available_queries = s.available_queries;
    // The table page's list is the whole choice: an empty one converts
    // nothing rather than every table.
    c.tables_listed = true;
    c.console = false;
}

void wizard_engine_backend::absorb()
{
    wizard_settings& s = settings();
    const tolvane_convertor& c = converter_;
    s.src = c.src;
    s.dest = c.dest;
    s.mode = c.mode;
    s.tab_def = c.tab_def;
    s.skip_idx = c.skip_idx;
    s.uppercase = c.uppercase;
    s.acc_pswd = c.acc_pswd;
    s.jet3_codepage = c.jet3_codepage;
    if (c.uses_ugl()) {
        // A profile naming a workgroup and a user asks for security.
        s.use_ugl = true;
        s.sysdb_path = c.sysdb_path;
        s.ugl_user = c.ugl_user;
        s.ugl_pswd = c.ugl_pswd;
    }
    s.oracleh = c.host;
    s.oracleu = c.user;
    s.oraclep = c.password;
    s.port = c.port;
    s.selected_tables = c.selected_tables;
    s.selected_queries = c.selected_queries;
    s.available_queries = c.available_queries;
}

void wizard_engine_backend::connect_oracle_server(const std::u16string& dest)
{
    apply();
    converter_.connect_oracle_server(dest);
}

bool wizard_engine_backend::connected() const
{
    return converter_.database() != nullptr;
}

void wizard_engine_backend::disconnect()
{
    converter_.close_connection();
}

void wizard_engine_backend::check_acc_base()
{
    apply();
    converter_.check_acc_base(converter_.src, converter_.acc_pswd);
}

std::vector<std::u16string> wizard_engine_backend::get_all_tables()
{
    apply();
    std::vector<std::u16string> list;
    converter_.get_all_tables(list);
    return list;
}

bool wizard_engine_backend::test_query(const std::u16string& text)
{
    apply();
    return converter_.test_query(text);
}

bool wizard_engine_backend::is_workgroup_file(const std::u16string& path)
{
    return dao_check_sysdb(path);
}

void wizard_engine_backend::load_profile(const std::u16string& path)
{
    udb_profile profile;
    if (!profile.load(path))
        throw tk_exception("The profile could not be read completely: a line before the first [section].", 1);
    apply();
    converter_.load_profile(profile);
    absorb();
}

bool wizard_engine_backend::store_profile(const std::u16string& path)
{
    apply();
    udb_profile profile;
    converter_.store_profile(profile);
    return profile.store(path);
}

void wizard_engine_backend::request_stop()
{
    wizard_backend::request_stop();
    tolvane_convertor::request_stop(SIGINT);
}

void wizard_engine_backend::publish_progress()
{
    // On the worker, after each row and each entry: the converter's plain
    // counters are copied into the ones the window reads.
    const tolvane_convertor& c = converter_;
    counters_.tables_total = c.tables_total;
    counters_.tables_done = c.tables_done;
    counters_.records_total = c.records_total;
    counters_.records_done = c.records_done;
    if (c.current_table != last_table_) {
        last_table_ = c.current_table;
        counters_.set_table(last_table_);
    }
}

void wizard_engine_backend::run()
{
    outcome_ = run_outcome();
    last_table_.clear();
    counters_.set_table(u"");
    counters_.finished = false;
    try {
        apply();
        tolvane_convertor::clear_stop();
        if (stop_requested()) tolvane_convertor::request_stop(SIGINT);
        converter_.report = conversion_report();
        converter_.on_progress = [this] { publish_progress(); };
        counters_.tables_total = static_cast<int64_t>(converter_.selected_tables.size());
        converter_();
        converter_.on_progress = nullptr;
        make_outcome();
    } catch (const std::exception& e) {
        // The run handles its failures; this is only the adapter's own.
        outcome_.end = run_outcome::state::failed;
        outcome_.failure = e.what();
    }
    tolvane_convertor::clear_stop();
    counters_.finished = true;  // last: the window reads the outcome after it
}

void wizard_engine_backend::make_outcome()
{
    const conversion_report& r = converter_.report;
    for (const conversion_entry_report& e : r.entries) {
        table_summary t;
        t.name = e.source;
        std::string action = e.reason.empty() ? e.action : e.action + " (" + e.reason + ")";
        tk_ansi_to_wide(action, t.action);
        t.inserted = e.rows_inserted;
        t.updated = e.rows_updated;
        t.dropped = e.rows_duplicate;
        t.failed = e.rows_failed;
        outcome_.summary.push_back(t);
        if (e.action != "failed" && e.action != "missing") ++outcome_.converted;
    }
    outcome_.entries = static_cast<int64_t>(r.entries.size());
    if (r.interrupted || (r.aborted && r.run_errors.empty())) {
        outcome_.end = run_outcome::state::stopped;
        outcome_.stop_table = counters_.table();
        outcome_.stop_row = counters_.records_done.load();
    } else if (r.aborted) {
        outcome_.end = run_outcome::state::failed;
        outcome_.failure = r.run_errors.back();
    } else {
        outcome_.end = run_outcome::state::completed;
    }
}
