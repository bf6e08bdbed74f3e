// The converter: every setting of a conversion and the run itself. One per
// process; both programs fill it and call operator().
#pragma once

#include <csignal>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "acc_converter_impl.h"
#include "conversion_report.h"
#include "oracle_converter_impl.h"
#include "tk_singleton.h"
#include "udb_converter.h"

class ora_database;
class ora_table;
struct ora_batch_outcome;
class tk_exception;
class udb_database;
class udb_record;
class udb_recordset;
class udb_validator;

class tolvane_convertor final : public udb_converter,
                                public oracle_converter_impl,
                                public acc_converter_impl,
                                public tk_singleton<tolvane_convertor> {
public:
    tolvane_convertor();
    ~tolvane_convertor() override;

    // The conversion run. Handles every failure itself.
    void operator()() override;
    bool is_done() override { return false; }

    // Opens the source and asks it; false on any failure.
    bool test_query(const std::u16string& text) override;
    // The names of all tables of the source.
    void get_all_tables(std::vector<std::u16string>& list);

    // All three halves, then "uppercase". Raises udb_invalid_mode.
    bool load_profile(const udb_profile& profile);
    // All three halves, then "uppercase" from this converter's setting.
    bool store_profile(udb_profile& profile) const;

    // Per-row failure policy, shared by every row loader. `e` is the
    // failure of appending `record` (the row as read, unconverted) as row
    // `row` (from 1) of `entry`. Merge drops a duplicate key silently,
    // synchronize updates the existing row instead; everything else, and a
    // failed update, is reported with "<table>, record #<row>" as context.
    // Errors that are not Oracle's pass on to the entry's handler.
    void handle_row_failure(const tk_exception& e, udb_record& record, udb_recordset& target,
                            conversion_entry_report& entry, int row);

    // Records a failure that was reported outside the run's own handlers
    // (by the source or the target) in the entry in hand, or the run's list.
    void note_reported(const std::string& text);

    // Asks a running conversion to stop between rows; safe in a signal
    // handler.
    static void request_stop(int signal) noexcept;
    static int stop_signal() noexcept { return stop_signal_; }
    static void clear_stop() noexcept { stop_signal_ = 0; }

    bool use_ugl = false;
    bool uppercase = false;
    // Console program: progress lines and missing-table lines on the
    // terminal (the agent); the wizard leaves it off.
    bool console = false;
    // The table list was given explicitly (a list file): an empty one
    // converts nothing instead of every table.
    bool tables_listed = false;
    // Create foreign keys from the source's relationships after the rows.
    bool create_fks = false;
    // Called after each row and each entry; the agent draws its progress.
    std::function<void()> on_progress;

    conversion_report report;

private:
    void run_body();
    void convert_entry(udb_database& source, ora_database& target, udb_validator& names, const std::u16string& name,
                       const std::u16string& text);
    void copy_rows(udb_recordset& source, udb_recordset& target, conversion_entry_report& entry);
    void copy_rows_batched(udb_recordset& source, ora_table& target, conversion_entry_report& entry);
    // Oracle's verdict on a batch: committed rows counted, each refused row
    // through handle_row_failure in row order. `kept` holds the rows a
    // synchronize run needs again, by row number; those up to row `upto`
    // (the batch's last) are dropped here.
    void settle_batch(const ora_batch_outcome& outcome, ora_table& target,
                      std::map<uint64_t, std::unique_ptr<udb_record>>& kept, conversion_entry_report& entry,
                      uint64_t upto = UINT64_MAX);
    // The same for a batch sent without its commit, when an answer to a
    // refused row may stop the run: the rows after the one it stops at are
    // taken back, so that Oracle and the counts are as if the rows had gone
    // one by one.
    void settle_held_batch(const ora_batch_outcome& outcome, ora_table& target,
                           std::map<uint64_t, std::unique_ptr<udb_record>>& kept, conversion_entry_report& entry);
    // The source's current row, counted as read; then on to the next.
    udb_record& take_row(udb_recordset& source, conversion_entry_report& entry);
    void next_row(udb_recordset& source);
    // A row that cannot travel in an array, written on its own.
    void append_alone(udb_recordset& source, udb_record& record, udb_recordset& target, conversion_entry_report& entry,
                      int row);
    void drop_for_overwrite(const std::u16string& name);
    void report_entry_error(const tk_exception& e, conversion_entry_report& entry);
    void commit_entry(conversion_entry_report& entry);
    void create_foreign_keys(udb_database& source, ora_database& target);
    void progress();

    conversion_entry_report* current_entry_ = nullptr;

    static volatile std::sig_atomic_t stop_signal_;
};
