#include "tolvane_convertor.h"

#include <algorithm>
#include <cstdio>
#include <map>

#include "dao_database.h"
#include "dao_engine.h"
#include "error_handler.h"
#include "init_conversion.h"
#include "ora_exception.h"
#include "ora_report.h"
#include "ora_table.h"
#include "ora_validator.h"
#include "tk_logger.h"
#include "tk_wstring.h"
#include "udb_database.h"
#include "udb_field.h"
#include "udb_profile.h"
#include "udb_record.h"
#include "udb_recordset.h"

volatile std::sig_atomic_t tolvane_convertor::stop_signal_ = 0;

namespace {

constexpr uint32_t k_oracle_base = 0x100000;
constexpr uint32_t k_unique_violated = k_oracle_base + 1;
constexpr uint32_t k_resource_busy = k_oracle_base + 54;

bool is_oracle_error(const tk_exception& e)
{
    return (e.code & 0xFFF00000u) == k_oracle_base;
}

// The session is gone: nothing after this can reach Oracle, so the run ends
// instead of failing every remaining row and table one by one.
bool is_session_lost(const tk_exception& e)
{
    if (!is_oracle_error(e)) return false;
    switch (e.code - k_oracle_base) {
    case 28:    // session killed
    case 1012:  // not logged on
    case 3113:  // end-of-file on communication channel
    case 3114:  // not connected
    case 3135:  // connection lost contact
        return true;
    default: return false;
    }
}

// The same failure, raised to the level that ends the run.
tk_exception run_ending(const tk_exception& e)
{
    tk_exception fatal(e);
    fatal.level = 1;
    return fatal;
}

// Relationship-reading failures of the source: reported, and the database
// opens all the same.
void source_error_sink(const std::u16string& database, const tk_exception& e)
{
    error_handler& eh = error_handler::instance();
    eh.set_context(database);
    eh.handle(e, false);
    eh.clear_context();
    if (tolvane_convertor* c = tolvane_convertor::instance_ptr()) c->report.run_errors.push_back(eh.last_text());
}

// The names of a table list as the catalogue spells them: a list typed by
// hand may differ in case. Names the source does not have stay as given
// (the run reports them).
std::vector<std::u16string> catalogue_spelling(const udb_database& source, const std::vector<std::u16string>& names)
{
    const std::vector<std::u16string>& catalogue = source.table_names;
    std::vector<std::u16string> out;
    for (const std::u16string& n : names) {
        if (std::find(catalogue.begin(), catalogue.end(), n) != catalogue.end()) {
            out.push_back(n);
            continue;
        }
        auto hit = std::find_if(catalogue.begin(), catalogue.end(),
                                [&](const std::u16string& t) { return tk_equal_nocase(t, n); });
        out.push_back(hit == catalogue.end() ? n : *hit);
    }
    return out;
}

// What the Oracle side refuses and then works around (an index, a
// sequence, a foreign key): reported, and the work goes on.
void target_error_sink(const tk_exception& e, std::u16string_view context)
{
    error_handler& eh = error_handler::instance();
    eh.set_context(context);
    eh.handle(e, false);
    if (tolvane_convertor* c = tolvane_convertor::instance_ptr()) c->note_reported(eh.last_text());
}

}  // namespace

tolvane_convertor::tolvane_convertor()
{
    tk_trace(1, "tolvane_convertor::ctor");
    dao_database::set_error_sink(source_error_sink);
    ora_set_reporter(target_error_sink);
}

tolvane_convertor::~tolvane_convertor()
{
    ora_set_reporter(nullptr);
    dao_database::set_error_sink(nullptr);
}

void tolvane_convertor::note_reported(const std::string& text)
{
    if (current_entry_ != nullptr)
        current_entry_->add_error(text);
    else
        report.run_errors.push_back(text);
}

void tolvane_convertor::request_stop(int signal) noexcept
{
    stop_signal_ = signal;
}

bool tolvane_convertor::test_query(const std::u16string& text)
{
    try {
        std::unique_ptr<dao_engine> engine = open_engine(true);
        std::unique_ptr<udb_database> db = engine->open_db(src, 97, acc_pswd);
        return db->test_query(text);
    } catch (...) {
        return false;
    }
}

void tolvane_convertor::get_all_tables(std::vector<std::u16string>& list)
{
    tk_trace(2, "tolvane_convertor::get_all_tables");
    std::unique_ptr<dao_engine> engine = open_engine(true);
    std::unique_ptr<udb_database> db = engine->open_db(src, 33, acc_pswd);
    list = db->table_names;
}

bool tolvane_convertor::load_profile(const udb_profile& profile)
{
    udb_converter::load_profile(profile);
    acc_converter_impl::load_profile(profile);
    oracle_converter_impl::load_profile(profile);
    std::u16string value = tk_trim(profile.get_value(udb_profile::k_oracle, u"uppercase"));
    if (!value.empty() && !parse_switch(value, uppercase)) uppercase = value == u"1";
    return true;
}

bool tolvane_convertor::store_profile(udb_profile& profile) const
{
    udb_converter::store_profile(profile);
    acc_converter_impl::store_profile(profile);
    oracle_converter_impl::store_profile(profile);
    profile.set_value(udb_profile::k_oracle, u"uppercase", uppercase ? u"1" : u"0");
    return true;
}

void tolvane_convertor::progress()
{
    if (on_progress) on_progress();
}

void tolvane_convertor::operator()()
{
    tk_trace(2, "tolvane_convertor::operator()");
    init_conversion guard(finished, true);
    report = conversion_report{};
    error_handler& eh = error_handler::instance();
    try {
        run_body();
    } catch (const tk_final_exception&) {
        // Reported already; the run just ends.
        report.aborted = true;
    } catch (const tk_exception& e) {
        // The context names the entry in hand, if any.
        report.aborted = true;
        eh.handle(e, true);
        report.run_errors.push_back(eh.last_text());
    } catch (const std::exception& e) {
        report.aborted = true;
        tk_trace(3, "ERROR:\n%s", e.what());
        if (!silent) std::fprintf(stderr, "ERROR:\n%s\n", e.what());
        report.run_errors.push_back(e.what());
    }
    eh.clear_context();
    tables_total = 0;
    tables_done = 0;
}

void tolvane_convertor::run_body()
{
    ora_database* target = database();
    TK_ASSERT(target != nullptr);
    ora_in_validator index_names;
    set_database_uppercase(uppercase);

    std::unique_ptr<dao_engine> engine = open_engine(false);
    tk_trace(3, "Opening MS Access database '%s'", src);
    std::unique_ptr<udb_database> source = engine->open_db(src, 1, acc_pswd);

    // No list and no query chosen: every table of the source, as the usage
    // text promises. An explicitly empty list converts nothing.
    std::vector<std::u16string> tables = catalogue_spelling(*source, selected_tables);
    if (tables.empty() && selected_queries.empty() && !tables_listed) tables = source->table_names;
    tables_total = static_cast<int32_t>(tables.size());
    tk_trace(3, "Converting database %s (%d tables)", src, tables_total);
    if (console && !silent) {
        std::printf("Converting database %s(%d tables)\n", tk_to_ansi(src).c_str(), tables_total);
        if (tables.empty() && selected_queries.empty()) std::printf("No tables selected: nothing to convert.\n");
        std::fflush(stdout);
    }

    // Only the names of this run are reserved: a table Oracle already has
    // must keep the name it got on the last run, so that the chosen mode
    // applies to it; suffixes only settle clashes inside one run.
    std::vector<std::u16string> query_names;
    for (const auto& [name, text] : selected_queries) query_names.push_back(name);
    ora_tn_validator names(tables, query_names);

    std::map<std::u16string, std::u16string> entries = selected_queries;
    for (const std::u16string& t : tables) {
        if (!entries.try_emplace(t, u"").second && !entries[t].empty()) {
            conversion_entry_report& shadowed = report.add(t);
            shadowed.action = "skipped";
            shadowed.reason = "a selected query has its name";
        }
    }
    // Chosen tables join the selection, so that a profile saved after the
    // run lists them; "every table" by default is no choice to remember.
    if (tables_listed || !selected_tables.empty())
        for (const std::u16string& t : tables) selected_queries.try_emplace(t, u"");

    for (const auto& [name, text] : entries) {
        if (stop_signal_ != 0) {
            report.interrupted = true;
            break;
        }
        convert_entry(*source, *target, names, name, text);
        ++tables_done;
        progress();
    }
    if (create_fks && stop_signal_ == 0) create_foreign_keys(*source, *target);
    tk_trace(1, "Right after converting table");
    error_handler::instance().clear_context();
    source.reset();  // before its engine
}

void tolvane_convertor::convert_entry(udb_database& source, ora_database& target, udb_validator& names,
                                      const std::u16string& name, const std::u16string& text)
{
    current_table = name;
    records_total = 0;
    records_done = 0;
    conversion_entry_report& entry = report.add(name);
    error_handler& eh = error_handler::instance();
    // Failures the target reports on its own belong to this entry.
    current_entry_ = &entry;
    struct entry_scope {
        tolvane_convertor& conv;
        ~entry_scope() { conv.current_entry_ = nullptr; }
    } scope{*this};

    if (text.empty() && !source.is_table_exist(name)) {
        entry.action = "missing";
        if (console) {
            if (!silent) std::fprintf(stderr, "Table %s not exists\n", tk_to_ansi(name).c_str());
            entry.add_error("Table " + tk_to_ansi(name) + " not exists");
        } else {
            eh.set_context(name);
            eh.handle(tk_exception("Table does not exist in the MS Access database", 0), false);
            entry.add_error(eh.last_text());
        }
        return;
    }

    bool dropped = false;
    try {
        std::unique_ptr<udb_recordset> from =
            text.empty() ? source.get_table(name, 1) : source.get_query(name, text, 1);
        if (!from) {
            tk_trace(3, u"Skip system/linked table '%s'", name);
            entry.action = "skipped";
            entry.reason = "system or linked table";
            return;
        }
        std::u16string target_name = names.is_acceptable(name) ? name : names.get_safe_name(name);
        if (uppercase) tk_wstring::to_upper(target_name);
        entry.target = target_name;
        // Reserved at once: no later entry may take this name, whatever
        // becomes of this one.
        names.restricted_names.push_back(target_name);
        if (target_name != name) {
            tk_trace(2, u"Store generated table name '%s'", target_name);
            names.used_names.push_back(target_name);
            target.names_map.add_tn_mapping(name, target_name);
        }

        bool existed = target.is_table_exist(target_name);
        if (existed) {
            tk_trace(2, u"Table %s already exists", target_name);
            if (mode == k_overwrite) {
                tk_trace(2, "Overwrite existing table");
                drop_for_overwrite(target_name);
                dropped = true;
            } else if (mode == k_skip) {
                tk_trace(2, "Skip existing table");
                entry.action = "skipped";
                entry.reason = "exists in Oracle";
                return;
            }
        }
        std::unique_ptr<udb_recordset> to;
        if (target.is_table_exist(target_name)) {
            to = target.get_table(target_name, 8);
            TK_ASSERT(to != nullptr);
            entry.action = mode == k_synchronize ? "synchronized" : "merged";
        } else {
            udb_indexes none;
            to = target.create_table(target_name, from->schema, skip_idx ? none : from->indexes);
            entry.action = dropped ? "overwritten" : "created";
        }
        dropped = false;

        records_total = from->record_count;
        tk_trace(3, u"Converting table %s (%d records)", name, records_total);
        if (console && !silent) {
            std::printf("Converting table %s(%d records)\n", tk_to_ansi(name).c_str(), records_total);
            std::fflush(stdout);
        }
        // The count a source reports may be stale: the rows decide.
        if (!tab_def) copy_rows(*from, *to, entry);
        to.reset();
        // An application's next insert continues after the loaded keys.
        if (entry.rows_inserted > 0) target.continue_sequence(target_name);
        from.reset();
    } catch (const tk_final_exception&) {
        commit_entry(entry);
        throw;
    } catch (const tk_exception& e) {
        if (dropped) {
            eh.set_context(name);
            eh.handle(tk_exception("The table was dropped and could not be recreated", 0), false);
            entry.add_error(eh.last_text());
        }
        if (is_session_lost(e)) {
            if (entry.action.empty()) entry.action = "failed";
            eh.set_context(name);
            throw run_ending(e);
        }
        report_entry_error(e, entry);
    } catch (const std::exception& e) {
        report_entry_error(tk_exception(std::string(e.what()), 0), entry);
    }
    commit_entry(entry);
}

void tolvane_convertor::drop_for_overwrite(const std::u16string& name)
{
    std::vector<std::u16string> index_names;
    if (ora_in_validator::exists()) index_names = ora_in_validator::names_of_table(name);
    try {
        drop_table(name);
        if (ora_in_validator::exists()) ora_in_validator::instance().release(index_names);
    } catch (const tk_exception& e) {
        if (e.code != k_resource_busy) throw;
        throw tk_exception("Cannot delete table because it is busy with another process", 0);
    }
}

void tolvane_convertor::report_entry_error(const tk_exception& e, conversion_entry_report& entry)
{
    error_handler& eh = error_handler::instance();
    eh.set_context(entry.source);
    eh.handle(e, false);
    entry.add_error(eh.last_text());
    if (entry.action.empty()) entry.action = "failed";
}

void tolvane_convertor::commit_entry(conversion_entry_report& entry)
{
    // What the console reported for this entry is in Oracle even when a
    // later entry ends the process.
    try {
        commit();
    } catch (const tk_exception& e) {
        report_entry_error(e, entry);
    }
}

void tolvane_convertor::copy_rows(udb_recordset& source, udb_recordset& target, conversion_entry_report& entry)
{
    if (auto* table = dynamic_cast<ora_table*>(&target); table != nullptr && batch_rows > 1)
        return copy_rows_batched(source, *table, entry);
    source.move_first();
    while (!source.is_eof()) {
        if (stop_signal_ != 0) {
            report.interrupted = true;
            return;
        }
        udb_record& record = take_row(source, entry);
        append_alone(source, record, target, entry, records_done + 1);
        next_row(source);
    }
}

udb_record& tolvane_convertor::take_row(udb_recordset& source, conversion_entry_report& entry)
{
    tk_trace(1, "Converting %d record", records_done);
    udb_record* record = source.get_item();
    TK_ASSERT(record != nullptr);
    ++entry.rows_read;
    return *record;
}

void tolvane_convertor::next_row(udb_recordset& source)
{
    source.next();
    ++records_done;
    progress();
}

void tolvane_convertor::append_alone(udb_recordset& source, udb_record& record, udb_recordset& target,
                                     conversion_entry_report& entry, int row)
{
    try {
        target.append_record(record);
        ++entry.rows_inserted;
    } catch (const tk_exception& e) {
        if (!is_oracle_error(e) || is_session_lost(e)) throw;
        // The append converted the record in place; the row is read
        // again as the source has it.
        udb_record* again = source.get_item();
        TK_ASSERT(again != nullptr);
        handle_row_failure(e, *again, target, entry, row);
    }
}

namespace {

std::unique_ptr<udb_record> copy_of(const udb_record& record)
{
    auto copy = std::make_unique<udb_record>();
    for (size_t i = 0; i < record.size(); ++i) copy->push_back(std::make_unique<udb_field>(record[i]));
    return copy;
}

}  // namespace

// The rows go to Oracle N at a time, yet every row meets the same rules, in
// the same order, as when each is written alone: a row is looked at (and a
// NOT NULL column it brings NULL to relaxed) when it is read; Oracle's
// verdict on the rows of a batch is applied row by row as soon as the batch
// has gone; a row that cannot travel in an array is written alone after
// the rows before it have gone. Rows are counted as inserted only once
// committed.
//
// While a full batch is on its way to Oracle the next one is read and
// queued (Oracle works while the source is read); its verdict is settled
// before the next batch leaves, so the statements and the answers to
// refused rows keep the order of a run without overlap. Where a refused
// row can be answered with Abort, nothing overlaps: the batch is held open
// until its refused rows are settled.
void tolvane_convertor::copy_rows_batched(udb_recordset& source, ora_table& target, conversion_entry_report& entry)
{
    target.begin_batches(batch_rows);
    std::map<uint64_t, std::unique_ptr<udb_record>> kept;
    const bool may_stop = error_handler::instance().presenter().interactive();
    uint64_t launched_upto = 0;  // the last row of the batch on its way
    auto land = [&] { settle_batch(target.land_batch(), target, kept, entry, launched_upto); };
    // Everything queued reaches Oracle and is settled.
    auto settle = [&] {
        land();
        if (may_stop)
            settle_held_batch(target.flush_batch_held(), target, kept, entry);
        else
            settle_batch(target.flush_batch(), target, kept, entry);
    };
    auto launch = [&](uint64_t last_row) {
        if (may_stop) return settle();
        land();
        target.launch_batch();
        launched_upto = last_row;
    };
    try {
        source.move_first();
        while (!source.is_eof()) {
            if (stop_signal_ != 0) {
                settle();
                report.interrupted = true;
                return;
            }
            udb_record& record = take_row(source, entry);
            const int row = records_done + 1;
            bool batchable = false, failed = false;
            try {
                batchable = target.batchable(record);
            } catch (const tk_exception& e) {
                // The row's own failure (its column could not be relaxed,
                // say): the rows before it are settled first.
                settle();
                if (!is_oracle_error(e) || is_session_lost(e)) throw;
                handle_row_failure(e, record, target, entry, row);
                failed = true;
            }
            if (failed) {
                // reported above
            } else if (batchable) {
                if (mode == k_synchronize) kept.emplace(row, copy_of(record));
                if (target.queue_batched(static_cast<uint64_t>(row))) launch(static_cast<uint64_t>(row));
            } else {
                settle();
                append_alone(source, record, target, entry, row);
            }
            next_row(source);
        }
    } catch (...) {
        // A batch on its way, or one that landed while the table waited
        // for it, counts: its rows are in Oracle, its refused rows come
        // before the failure in row order. With nothing there this only
        // drops the rows kept for it.
        land();
        throw;
    }
    settle();
}

void tolvane_convertor::settle_batch(const ora_batch_outcome& outcome, ora_table& target,
                                     std::map<uint64_t, std::unique_ptr<udb_record>>& kept,
                                     conversion_entry_report& entry, uint64_t upto)
{
    entry.rows_inserted += static_cast<int64_t>(outcome.committed);
    for (const ora_row_failure& f : outcome.failures) {
        ora_exception e(f.oracle_error, f.text);
        // Nothing after a lost session reaches Oracle: the run ends as it
        // does when a single row meets it. No row of the batch is stored.
        if (is_session_lost(e)) {
            kept.clear();
            throw e;
        }
        auto it = kept.find(f.row);
        udb_record none;
        handle_row_failure(e, it != kept.end() ? *it->second : none, target, entry, static_cast<int>(f.row));
    }
    kept.erase(kept.begin(), kept.upper_bound(upto));
}

void tolvane_convertor::settle_held_batch(const ora_batch_outcome& outcome, ora_table& target,
                                          std::map<uint64_t, std::unique_ptr<udb_record>>& kept,
                                          conversion_entry_report& entry)
{
    if (!target.holding_batch()) return settle_batch(outcome, target, kept, entry);
    std::vector<uint64_t> settled;
    std::vector<udb_record*> updated;  // refused rows that became updates
    uint64_t at = 0;
    bool lost = false;
    try {
        for (const ora_row_failure& f : outcome.failures) {
            at = f.row;
            ora_exception e(f.oracle_error, f.text);
            if (is_session_lost(e)) {
                lost = true;
                throw e;
            }
            auto it = kept.find(f.row);
            udb_record none;
            const int64_t updates = entry.rows_updated;
            handle_row_failure(e, it != kept.end() ? *it->second : none, target, entry, static_cast<int>(f.row));
            if (entry.rows_updated != updates) updated.push_back(it->second.get());
            settled.push_back(f.row);
        }
    } catch (const tk_final_exception&) {
        // Stopped at row `at`: Oracle keeps what the rows before it did,
        // nothing of the rows after it, which count as never read.
        settled.push_back(at);
        ora_batch_outcome again = target.resend_batch(at, settled);
        for (udb_record* record : updated) target.update(*record);
        commit();
        entry.rows_inserted += static_cast<int64_t>(again.committed);
        entry.rows_read = static_cast<int64_t>(at);
        records_done = static_cast<int>(at) - 1;
        progress();
        kept.clear();
        throw;
    } catch (...) {
        // A lost session took the batch with it; otherwise the rows stay
        // in the open transaction, which the entry's end commits.
        target.release_batch();
        if (!lost) entry.rows_inserted += static_cast<int64_t>(outcome.committed);
        kept.clear();
        throw;
    }
    target.release_batch();
    commit();
    entry.rows_inserted += static_cast<int64_t>(outcome.committed);
    kept.clear();
}

void tolvane_convertor::handle_row_failure(const tk_exception& e, udb_record& record, udb_recordset& target,
                                           conversion_entry_report& entry, int row)
{
    tk_trace(1, "GOT ERROR: %s (%08X)", e.message, e.code);
    tk_trace(1, "mode=%d", mode);
    error_handler& eh = error_handler::instance();
    if (e.code == k_unique_violated && mode == k_merge) {
        ++entry.rows_duplicate;
        return;
    }
    if (e.code == k_unique_violated && mode == k_synchronize) {
        try {
            target.update(record);
            ++entry.rows_updated;
            return;
        } catch (const tk_exception& u) {
            if ((!is_oracle_error(u) && u.level == 2) || is_session_lost(u)) throw;
            eh.set_context(entry.source, row);
            eh.handle(u, false);
            entry.add_error(eh.last_text());
            ++entry.rows_failed;
            return;
        }
    }
    eh.set_context(entry.source, row);
    eh.handle(e, false);
    entry.add_error(eh.last_text());
    ++entry.rows_failed;
}

void tolvane_convertor::create_foreign_keys(udb_database& source, ora_database& target)
{
    error_handler& eh = error_handler::instance();
    try {
        target.create_relationships(source.relationships);
    } catch (const tk_final_exception&) {
        throw;
    } catch (const tk_exception& e) {
        eh.set_context(u"foreign keys");
        eh.handle(e, false);
        report.run_errors.push_back(eh.last_text());
    }
    try {
        commit();
    } catch (const tk_exception& e) {
        eh.handle(e, false);
        report.run_errors.push_back(eh.last_text());
    }
}
