#include "wizard_sample_backend.h"

#include <fstream>
#include <sstream>
#include <thread>

#include "error_handler.h"
#include "ora_exception.h"
#include "tk_wstring.h"

namespace {

// Sets the finished flag on every way out of a run.
struct finish_guard {
    run_counters& counters;
    ~finish_guard() { counters.finished.store(true); }
};

std::u16string upper(std::u16string s)
{
    for (char16_t& c : s)
        if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
    return s;
}

}  // namespace

wizard_sample_backend::wizard_sample_backend()
{
    tables = {{u"Customers", 91}, {u"Employees", 9}, {u"Order Details", 2155}, {u"Orders", 830}, {u"Products", 77}};
}

void wizard_sample_backend::connect_oracle_server(const std::u16string& dest)
{
    calls.push_back("connect " + tk_to_utf8(dest));
    connected_ = false;
    if (connect_failure) throw *connect_failure;
    connected_ = true;
}

void wizard_sample_backend::check_acc_base()
{
    calls.push_back("check " + tk_to_utf8(settings().src));
    if (source_failure) throw *source_failure;
}

std::vector<std::u16string> wizard_sample_backend::get_all_tables()
{
    calls.push_back("tables");
    if (source_failure) throw *source_failure;
    std::vector<std::u16string> names;
    for (const table& t : tables) names.push_back(t.name);
    return names;
}

const wizard_sample_backend::table* wizard_sample_backend::find(const std::u16string& name) const
{
    for (const table& t : tables)
        if (upper(t.name) == upper(name)) return &t;
    return nullptr;
}

const wizard_sample_backend::table* wizard_sample_backend::from_table(const std::u16string& query) const
{
    std::u16string u = upper(query);
    if (u.rfind(u"SELECT", 0) != 0) return nullptr;
    size_t from = u.find(u" FROM ");
    if (from == std::u16string::npos) return nullptr;
    std::u16string rest = tk_trim(std::u16string_view(query).substr(from + 6));
    return find(rest.substr(0, rest.find(u' ')));
}

bool wizard_sample_backend::test_query(const std::u16string& text)
{
    calls.push_back("test " + tk_to_utf8(text));
    return from_table(text) != nullptr;
}

bool wizard_sample_backend::is_workgroup_file(const std::u16string& path)
{
    return path.size() > 4 && upper(path.substr(path.size() - 4)) == u".MDW";
}

void wizard_sample_backend::load_profile(const std::u16string& path)
{
    calls.push_back("load " + tk_to_utf8(path));
    std::ifstream in(tk_to_ansi(path));
    if (!in) throw tk_exception("Profile does not exist. Please verify the correct path/name was given.", 1);
    std::string line;
    wizard_settings& s = settings();
    while (std::getline(in, line)) {
        size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        std::string key = line.substr(0, eq);
        std::u16string value = tk_from_utf8(line.substr(eq + 1));
        if (key == "src")
            s.src = value;
        else if (key == "dest")
            s.dest = value;
        else if (key == "mode")
            s.mode = std::stoi(line.substr(eq + 1));
        else if (key == "table")
            s.selected_tables.push_back(value);
        else if (key == "query") {
            size_t colon = value.find(u':');
            s.selected_queries[value.substr(0, colon)] = value.substr(colon + 1);
        }
    }
}

bool wizard_sample_backend::store_profile(const std::u16string& path)
{
    calls.push_back("store " + tk_to_utf8(path));
    std::ofstream out(tk_to_ansi(path));
    const wizard_settings& s = settings();
    out << "src=" << tk_to_utf8(s.src) << "\ndest=" << tk_to_utf8(s.dest) << "\nmode=" << s.mode << "\n";
    for (const auto& t : s.selected_tables) out << "table=" << tk_to_utf8(t) << "\n";
    for (const auto& [name, text] : s.selected_queries)
        out << "query=" << tk_to_utf8(name) << ":" << tk_to_utf8(text) << "\n";
    out.flush();
    return static_cast<bool>(out);
}

void wizard_sample_backend::run()
{
    finish_guard guard{counters_};
    outcome_ = run_outcome();
    const wizard_settings& s = settings();
    std::map<std::u16string, std::u16string> entries = s.selected_queries;
    for (const auto& t : s.selected_tables) entries.emplace(t, std::u16string());
    outcome_.entries = static_cast<int64_t>(entries.size());
    counters_.tables_total = static_cast<int64_t>(s.selected_tables.size());
    try {
        if (!connected_) throw tk_exception("There is no connection to Oracle.", 1);
        for (const auto& [name, query] : entries) {
            if (stop_requested()) break;
            convert_entry(name, query);
            if (stop_requested()) break;
            counters_.tables_done += 1;
        }
        outcome_.end = stop_requested() ? run_outcome::state::stopped : run_outcome::state::completed;
    } catch (const tk_final_exception&) {
        // Abort in the continue dialog, or a fatal error already shown.
        outcome_.end = run_outcome::state::stopped;
    } catch (const tk_exception& e) {
        error_handler::instance().handle(e, true);
        outcome_.end = run_outcome::state::failed;
        outcome_.failure = e.message;
    }
    if (outcome_.end == run_outcome::state::stopped) {
        outcome_.stop_table = counters_.table();
        outcome_.stop_row = counters_.records_done.load();
    }
    if (error_handler::exists()) error_handler::instance().clear_context();
}

void wizard_sample_backend::convert_entry(const std::u16string& name, const std::u16string& query)
{
    counters_.set_table(name);
    counters_.records_done = 0;
    const table* source = query.empty() ? find(name) : from_table(query);
    int64_t rows = source != nullptr ? source->rows : 10;
    counters_.records_total = rows;
    table_summary summary{name, settings().tab_def ? u"created, no rows" : u"created"};
    if (!settings().tab_def) {
        for (int64_t row = 1; row <= rows; ++row) {
            if (stop_requested()) {
                outcome_.summary.push_back(summary);
                return;
            }
            if (row_time.count() > 0) std::this_thread::sleep_for(row_time);
            if (internal_failure_rows.count({name, row}) != 0) {
                error_handler::instance().handle(tk_mail_assertion(__FILE_NAME__, __LINE__), true);
            }
            if (failing_rows.count({name, row}) != 0) {
                ++summary.failed;
                error_handler::instance().set_context(name, static_cast<int>(row));
                try {
                    error_handler::instance().handle(ora_exception(1, u"ORA-00001: unique constraint violated"), false);
                } catch (...) {
                    outcome_.summary.push_back(summary);
                    throw;
                }
            } else {
                ++summary.inserted;
            }
            counters_.records_done += 1;
        }
    }
    outcome_.summary.push_back(summary);
    ++outcome_.converted;
}
