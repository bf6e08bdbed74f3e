// An Oracle table: its columns, keys and rows for reading, and the writing
// of rows (INSERT with the LOBs after it, UPDATE by key).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ora_batch_loader.h"
#include "ora_batch_sender.h"
#include "ora_get_rowid.h"
#include "ora_query_results.h"

class ora_database;
class udb_field;
class t_ftd;

class ora_table : public ora_query_results {
public:
    // An existing table; reads its columns, defaults and (unless the
    // engine's skip-keys flag is set) keys.
    ora_table(ora_database& database, const std::u16string& name, int mode);
    // The result of a SELECT text, named `name`.
    ora_table(ora_database& database, const std::u16string& name, const std::u16string& query_text, int mode);
    ~ora_table() override;

    // Writes one row. Every column finds its field by the column map stored
    // when the table was made here, else by the Oracle name the field's name
    // becomes. Raises tk_exception when the record does not fit the table.
    void append_record(udb_record& record) override;
    // Writes the row over the one with the same key; a key that matches no
    // row is reported as an error (level 0).
    void update(udb_record& record) override;
    void next() override;

    // Value text of column `column` for `field`: a literal, NULL, the
    // column default for an out-of-range number in a NOT NULL column, or
    // the empty-LOB placeholder.
    std::u16string get_fld_append_wstr(size_t column, const udb_field& field, const t_ftd& descriptor);
    // Lets the column take NULL (ALTER TABLE ... MODIFY ... NULL), once.
    void reset_not_null_flag(size_t column);
    int32_t get_columns_cnt();
    // Commits what the table wrote and moves its sequence past the loaded
    // values. The run calls it after the last row of a table.
    void finish_loading();

    // Array loading, the same rows as append_record stores, sent N at a
    // time. For each row: batchable() says whether it can travel in the
    // array (else the caller sends what is queued with flush_batch() and
    // then the row itself with append_record), converting it on the way;
    // queue_batched() then adds that row, converted as it was, and says
    // when the batch is full; flush_batch() sends the queue and hands
    // back Oracle's verdict on each row. A NULL for a NOT NULL column
    // outside the primary key relaxes the column when the row is looked at,
    // as append_record does before it sends. The first row fixes which
    // field feeds which column (structure mismatch: tk_exception).
    void begin_batches(size_t rows);
    bool batchable(const udb_record& record);
    bool queue_batched(uint64_t row);
    ora_batch_outcome flush_batch();
    // The same with the sending overlapped: launch_batch() sends the queue
    // on a thread of its own, committed as flush_batch() commits it, while
    // the caller reads and queues the next rows; land_batch() waits for it
    // and hands back the verdict. At most one batch is ever on its way:
    // every call of this table that speaks to Oracle (launch_batch itself
    // included) first waits for it, keeping its verdict for land_batch(),
    // so the statements reach Oracle in the order of a run without
    // overlap. The caller settles each verdict before it launches again.
    void launch_batch();
    ora_batch_outcome land_batch();
    // The same, the transaction left open and the batch held, so that a
    // run that stops at one of its refused rows can take back the rows
    // after it: then resend_batch() (rolls back and sends again, without
    // committing, the rows numbered below `before` not in `skip`), else
    // release_batch(). While a batch is held, update() does not commit.
    ora_batch_outcome flush_batch_held();
    void release_batch();
    ora_batch_outcome resend_batch(uint64_t before, const std::vector<uint64_t>& skip);
    bool holding_batch() const { return loader_ && loader_->holding(); }
    size_t batch_rows() const { return batch_rows_; }

    // The default a DATA_DEFAULT text gives a column of kind `vt`.
    static ole_variant get_def_value(ole_vartype vt, const std::u16string& text);

    uint32_t rows_read = 0;
    int32_t rows_written = 0;

private:
    void init_schema();
    void init_indexes();
    void init_foreign_keys(const std::u16string& key_name);
    // For each column, the position of its field in `record` (-1: none).
    const std::vector<int>& match_columns(const udb_record& record);
    std::vector<int> compute_match(const udb_record& record) const;
    bool is_key_column(const std::u16string& column, bool primary_only) const;
    void make_loader(const udb_record& record);
    std::unique_ptr<ora_batch_loader> new_loader() const;
    // Waits for the batch on its way, if any, keeping its verdict.
    void wait_for_batch();
    bool batch_in_flight() const { return sender_ && sender_->busy(); }
    // True when append_record would write NULL for the field in column c.
    bool sends_null(size_t column, const udb_field& field) const;
    void relax_for_nulls(const udb_record& record);

    // The last layout matched: records of one source share it.
    std::vector<std::u16string> match_names_;
    std::vector<int> match_pos_;
    ora_database& database_;
    ora_get_rowid rowid_;
    bool dirty_ = false;
    size_t batch_rows_ = 0;
    int32_t held_rows_ = 0;                     // rows_written counted for the held batch
    std::unique_ptr<ora_batch_loader> loader_;  // the batch being queued
    std::unique_ptr<ora_batch_loader> spare_;   // the batch on its way, or idle
    std::unique_ptr<ora_batch_sender> sender_;  // sends spare_ while loader_ fills
    ora_batch_outcome landed_;                  // verdicts not yet handed back
    std::vector<ora_batch_column> loader_columns_;
    std::vector<size_t> loader_fields_;
    std::vector<int> batch_pos_;         // field of each column, -1: none
    std::vector<size_t> loader_column_;  // column of the loader for each schema column
};
