// What the wizard needs of the converter: the settings its pages fill, the
// checks of the MS Access source, the Oracle connection, profiles and the
// conversion run with its progress. The program's backend drives the real
// converter; the pages see nothing else, so they can be tested over a
// simulated run.
//
// Threads: every operation but progress() and request_stop() is called by
// one thread at a time. The wizard calls the long ones (connect, checks,
// table list, query test, run) from a worker thread while the window stays
// responsive; progress() and request_stop() are called from the window's
// thread while run() works.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

// The settings the wizard collects and keeps between runs.
struct wizard_settings {
    std::u16string acc_pswd;  // MS Access database password
    std::u16string dest;      // Oracle service name
    int mode = 1;             // 1 overwrite, 2 skip, 3 merge, 4 synchronize
    std::u16string oracleh;   // Oracle host
    std::u16string oraclep;   // Oracle password
    std::u16string oracleu;   // Oracle user
    std::u16string port = u"1521";
    bool skip_idx = false;
    std::u16string src;         // MS Access database path
    std::u16string sysdb_path;  // workgroup information file
    bool tab_def = false;
    std::u16string ugl_user;
    std::u16string ugl_pswd;
    bool uppercase = true;
    bool use_ugl = false;
    int jet3_codepage = 0;  // code page of Access 97 text; 0: the file's own

    // What to convert, in the converter's shape: tables in the order given,
    // selected and offered queries by name (ordered by UTF-16 code units).
    std::vector<std::u16string> selected_tables;
    std::map<std::u16string, std::u16string> selected_queries;
    std::map<std::u16string, std::u16string> available_queries;
};

// One point of the run's progress, read by the progress page's timer.
struct run_progress {
    int64_t tables_total = 0;
    int64_t tables_done = 0;
    int64_t records_total = 0;
    int64_t records_done = 0;
    std::u16string table;
    bool finished = false;
};

// What one table of the run came to, for the finish page.
struct table_summary {
    std::u16string name;
    std::u16string action;  // "created", "skipped", "merged", ...
    int64_t inserted = 0;
    int64_t updated = 0;
    int64_t dropped = 0;
    int64_t failed = 0;
};

// How the run ended as a whole.
struct run_outcome {
    enum class state { not_run, completed, stopped, failed };
    state end = state::not_run;
    std::u16string stop_table;  // where a stopped run ended
    int64_t stop_row = 0;       // rows of stop_table done when it stopped
    int64_t entries = 0;        // tables and queries the run was asked for
    int64_t converted = 0;      // entries that reached Oracle
    std::string failure;        // text of a failure of the run as a whole
    std::vector<table_summary> summary;
};

// The run's counters: written by the worker, read by the window's timer.
// Each counter is read whole; the table name is rewritten while the page
// formats it, so it is read under a lock.
class run_counters {
public:
    void set_table(const std::u16string& name);
    std::u16string table() const;

    std::atomic<int64_t> tables_total{0};
    std::atomic<int64_t> tables_done{0};
    std::atomic<int64_t> records_total{0};
    std::atomic<int64_t> records_done{0};
    std::atomic<bool> finished{false};

    run_progress snapshot() const;

private:
    mutable std::mutex lock_;
    std::u16string table_;
};

class wizard_backend {
public:
    virtual ~wizard_backend();

    wizard_settings& settings() { return settings_; }
    const wizard_settings& settings() const { return settings_; }

    // The Oracle page's values; an empty host becomes "localhost". Blanks
    // around the values are kept.
    void store_oracle_settings(const std::u16string& host, const std::u16string& user, const std::u16string& password,
                               const std::u16string& port);
    // The security page's values: file and user without blanks at either
    // end; the password exactly as typed (blanks may belong to it).
    void store_ugl_settings(const std::u16string& file, const std::u16string& user, const std::u16string& password);

    // Closes the current connection, then opens a new one to `dest` with
    // the stored host, port, user and password. Raises the Oracle layer's
    // exceptions; after a failure there is no connection.
    virtual void connect_oracle_server(const std::u16string& dest) = 0;
    virtual bool connected() const = 0;
    virtual void disconnect() = 0;

    // Opens and closes the MS Access database with the stored settings;
    // raises what the Access layer raises.
    virtual void check_acc_base() = 0;
    // The names of the source's tables.
    virtual std::vector<std::u16string> get_all_tables() = 0;
    // Compiles `text` against the source without reading rows; never
    // raises.
    virtual bool test_query(const std::u16string& text) = 0;
    // Whether `path` is an MS Access workgroup information file.
    virtual bool is_workgroup_file(const std::u16string& path) = 0;

    // Profiles: load merges the file into the settings (raises a level-1
    // tk_exception for a missing file); store writes the settings. The
    // wizard makes the stored file readable by its owner only.
    virtual void load_profile(const std::u16string& path) = 0;
    virtual bool store_profile(const std::u16string& path) = 0;

    // The conversion of the selected tables and queries. Runs on a worker
    // thread, reports every failure through the error policy and never
    // raises; counters().finished is set on every way out.
    virtual void run() = 0;
    // Asks a running conversion to end between two rows; what was loaded
    // stays committed.
    virtual void request_stop() { stop_.store(true); }
    bool stop_requested() const { return stop_.load(); }

    run_counters& counters() { return counters_; }
    const run_outcome& outcome() const { return outcome_; }

protected:
    run_outcome outcome_;
    run_counters counters_;

private:
    wizard_settings settings_;
    std::atomic<bool> stop_{false};
};
