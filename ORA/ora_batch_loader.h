// Array loading of one table: one prepared INSERT with bind variables,
// rows collected into per-column buffers and sent N at a time in one
// execution with OCI_BATCH_ERRORS, committed by that same call.
//
// Values are bound in their Oracle types, never as literals: numbers as
// NUMBER bytes (SQLT_VNU) made from their exact decimal text, dates as the
// 7-byte DATE (or text through TO_TIMESTAMP for columns that keep a
// fraction of the second), text as UTF-16 and binary data as bytes. Text,
// binary and LOB columns are bound through call-backs that point at each
// row's own bytes, so no column needs a fixed-width slot: a CLOB or BLOB
// value goes in with its row (the LOB data interface) at its own length.
//
// Memory: the buffers hold one batch and are reused; a batch is also sent
// early when its variable-length data passes a byte budget, so peak memory
// depends on the batch size and the largest values, never on the row
// count of the table.
//
// The loader does not judge failures. After each batch it hands back the
// rows Oracle refused, with their error, in row order; the caller applies
// its per-row rules (and may send a row again through its own path).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ora_number.h"
#include "ora_oci_library.h"

class udb_record;

// A column written by the loader.
struct ora_batch_column {
    std::u16string name;            // exact Oracle name, quoted in the statement
    ole_vartype vartype = VT_BSTR;  // neutral kind the column was made from
    uint32_t size = 0;              // characters or bytes; 0 or above 4000: a LOB
    uint8_t fraction_digits = 0;    // above 0: a TIMESTAMP column
    bool not_null = false;
    // Value for a NOT NULL number column when a number is out of NUMBER's
    // range (the column's default, as decimal text); empty binds NULL.
    std::string out_of_range_default;
    // NVARCHAR2 and NCLOB columns: text bound in the national character
    // set form.
    bool national = false;

    bool is_lob() const { return size == 0 || size > 4000; }
};

// A row Oracle refused.
struct ora_row_failure {
    uint64_t row = 0;          // the caller's row number (see add)
    int32_t oracle_error = 0;  // Oracle error number (1 for a duplicate key)
    std::u16string text;       // "ORA-nnnnn: ..." as the server gave it
};

// What one batch did.
struct ora_batch_outcome {
    uint64_t sent = 0;                      // rows in the batch
    uint64_t committed = 0;                 // rows now stored and committed
    std::vector<ora_row_failure> failures;  // in row order
    // Set when the whole execution failed (a lost connection, say): no row
    // of the batch is stored, and every row is listed in failures with this
    // error.
    bool whole_batch_failed = false;
};

class ora_batch_loader {
public:
    static constexpr size_t default_batch_rows = 1000;
    // Variable-length bytes one batch may hold before it is sent early.
    static constexpr size_t default_byte_budget = 8u << 20;
    // Largest value sent in an array. A larger one in a LOB column is
    // written through its row's locator after the array (the row itself
    // stays in the array); elsewhere it goes the row's own way.
    static constexpr size_t max_value_bytes = 1u << 20;

    // The statement is prepared here; `env` must be a UTF-16 environment.
    // field_of_column[i] is the position in each record of the value for
    // columns[i] (the caller matched the names once).
    ora_batch_loader(const ora_oci_api& oci, OCIEnv* env, OCISvcCtx* svc, OCIError* err, std::u16string table,
                     std::vector<ora_batch_column> columns, std::vector<size_t> field_of_column,
                     size_t batch_rows = default_batch_rows, size_t byte_budget = default_byte_budget);
    ~ora_batch_loader();
    ora_batch_loader(const ora_batch_loader&) = delete;
    ora_batch_loader& operator=(const ora_batch_loader&) = delete;

    // The INSERT text the loader sends.
    const std::u16string& statement_text() const { return sql_; }

    // Whether every value of the record can travel in the array exactly as
    // the row-at-a-time path would store it. Not so: a text value for a
    // number, date or binary column, a value of another kind for a text
    // column, an empty but non-null value for a LOB column (stored as an
    // empty LOB, which a bind cannot express), a value of more than
    // `max_value_bytes`. Such a row is for the caller's own path.
    bool bindable(const udb_record& record);

    // Converts the record's values into the batch as row `row_number` (the
    // caller's count, reported back with failures); the record must be
    // bindable. Returns true when the batch is full or over its byte
    // budget: call flush() then.
    bool add(const udb_record& record, uint64_t row_number);

    // The same in two steps, converting each value once: stage() converts
    // the record into the batch and says whether it is bindable (if not,
    // nothing of it stays); queue_staged() then makes the staged row part
    // of the batch as row `row_number`. A staged row not queued is dropped
    // by the next stage() or flush().
    bool stage(const udb_record& record);
    bool queue_staged(uint64_t row_number);

    size_t pending() const { return rows_.size(); }

    // The column was altered to take NULL: an out-of-range number is sent as
    // NULL from now on, no longer as the column's default.
    void relax_column(size_t column) { columns_.at(column).not_null = false; }

    // Sends the collected rows in one execution and commits them. Raises
    // ora_exception only for a failure of the local calls (a bind refused);
    // Oracle's verdict on the rows comes back in the outcome. The buffers
    // are empty afterwards, whatever happened.
    //
    // With `commit` false the rows are sent but the transaction stays open
    // (`committed` then counts the rows stored in it), and the batch is
    // held until release_held() or resend_held(): the caller can still
    // take back the rows after one it decides to stop at.
    ora_batch_outcome flush(bool commit = true);
    bool holding() const { return held_; }
    // The held rows are done with; the caller commits the transaction.
    void release_held();
    // Rolls the transaction back and sends again, without committing, the
    // held rows numbered below `before` that are not in `skip`.
    ora_batch_outcome resend_held(uint64_t before, const std::vector<uint64_t>& skip);

private:
    struct column_buffer;

    void prepare();
    void bind_all();
    bool convert(size_t column, const ole_variant& value);
    void discard_staged();
    ora_batch_outcome execute(bool commit);
    void compact(const std::vector<size_t>& keep);
    bool has_empty_lobs() const;
    void fill_empty_lobs(const ora_batch_outcome& outcome, bool commit);
    struct big_lob;
    bool hold_big_lob(size_t column, const void* data, size_t n);
    void write_big_lobs(ora_batch_outcome& outcome);
    void write_lob(const big_lob& lob);
    void collect_row_errors(ora_batch_outcome& outcome);
    void reset();

    static int32_t in_bind(void* ctx, OCIBind* bind, ub4 iter, ub4 index, void** buf, ub4* len, ub1* piece, void** ind);
    static int32_t rowid_in(void* ctx, OCIBind* bind, ub4 iter, ub4 index, void** buf, ub4* len, ub1* piece,
                            void** ind);
    static int32_t rowid_out(void* ctx, OCIBind* bind, ub4 iter, ub4 index, void** buf, ub4** len, ub1* piece,
                             void** ind, ub2** rcode);

    const ora_oci_api& oci_;
    OCIEnv* env_;
    OCISvcCtx* svc_;
    OCIError* err_;
    OCIStmt* stmt_ = nullptr;
    std::u16string table_;
    std::vector<ora_batch_column> columns_;
    std::vector<size_t> field_of_column_;
    size_t batch_rows_;
    size_t byte_budget_;
    std::u16string sql_;
    std::vector<std::unique_ptr<column_buffer>> buffers_;
    std::vector<uint64_t> rows_;  // the caller's number of each row in the batch
    size_t variable_bytes_ = 0;
    // Tables with LOB columns: each inserted row's ROWID comes back, so
    // that the rows whose LOB value was empty (bound as NULL) get their
    // empty LOB afterwards, as the row path stores them. Fixed-size slots
    // of rowid_units UTF-16 units.
    static constexpr size_t rowid_units = 64;
    bool returns_rowids_ = false;
    std::vector<char16_t> rowids_;
    std::vector<ub4> rowid_lengths_;
    // Per column: the batch positions whose LOB value was empty.
    std::vector<std::vector<ub4>> empty_lobs_;
    // A row converted by stage() sits in the buffers at position
    // rows_.size() until it is queued or dropped.
    // LOB values beyond max_value_bytes, kept until the array has gone.
    struct big_lob {
        size_t position;  // in the batch
        size_t column;
        std::vector<unsigned char> bytes;  // UTF-16 for text
    };
    std::vector<big_lob> big_lobs_;
    bool staged_ = false;
    bool held_ = false;  // sent without a commit, kept for resend_held()
    size_t staged_bytes_mark_ = 0;
    std::vector<uint8_t> scratch_;  // a text's bytes for a binary column
};
