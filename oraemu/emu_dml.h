// Row checks shared by INSERT, UPDATE, DELETE and the DDL that validates
// existing rows: value conversion to a column's type, NOT NULL, keys and
// foreign keys, with Oracle's error numbers and texts.
#pragma once

#include "emu_impl.h"

#include <optional>
#include <string>
#include <vector>

namespace emu {

// A value on its way into a column, with the type it had in the statement.
struct incoming {
    bool null = true;
    col_type type = col_type::varchar2;
    std::string data;   // canonical number text, UTF-8 text, date text or raw bytes
    // A number known to be in canonical form (decimal_text's): a column
    // that needs no rounding for it can store the text as it is.
    bool canonical = false;
};

// Stored form of a row: one entry per table column, nullopt for NULL.
using stored_row = std::vector<std::optional<std::string>>;

// "OWNER"."TABLE"."COLUMN" as Oracle names a column in messages.
std::string column_path(const table_meta& t, const std::string& column);

// Converts a value for column c of t: ORA-12899, 01438, 01722, 018xx, 00932.
// Text becomes a date with the session's NLS_DATE_FORMAT (or
// NLS_TIMESTAMP_FORMAT), as in Oracle.
std::optional<std::string> coerce(const session::impl& s, const incoming& v, const table_meta& t,
                                  const column_meta& c);

// The compiled action of a trigger of the supported form:
//   [WHEN (new.C IS [NOT] NULL)] BEGIN SELECT [owner.]S.NEXTVAL INTO :new.C FROM dual; END;
// or the body ":new.C := S.NEXTVAL;".
struct trigger_action {
    bool has_when = false;
    std::string when_column;
    bool when_not_null = false;
    std::string target_column;
    std::string seq_owner, seq_name;
};

// Compiles a trigger against the current dictionary; false when it does not
// compile (unknown column or sequence, unsupported body).
bool compile_trigger(session::impl& s, const std::string& owner, const std::string& table,
                     const std::string& when_clause, const std::string& body, trigger_action& out);

class row_checker {
public:
    row_checker(session::impl& s, const table_meta& t) : s_(s), t_(t) {}

    // Unique and primary keys; `self` is the row's own key (0 for a new row).
    void check_keys(const stored_row& row, int64_t self);
    // The parents of every foreign key of the row must exist (ORA-02291).
    void check_parents(const stored_row& row, const stored_row* old_row);
    // No child may still refer to the old key values (ORA-02292).
    void check_children(const stored_row& old_row, const stored_row& new_row);
    // No CHECK condition of the table may be false for the row (ORA-02290);
    // a condition that is unknown (NULL) passes, as in Oracle.
    void check_conditions(const stored_row& row);

private:
    // One key or unique index (ORA-00001 names it).
    void check_key(const constraint_meta& c, const stored_row& row, int64_t self);
    // Whether a new row's value for a one-column key is taken already.
    bool single_key_taken(const constraint_meta& c, const stored_row& row);

    session::impl& s_;
    const table_meta& t_;
};

// CHECK conditions and DEFAULT expressions are compiled when they are
// created, so that a bad one is refused then and not at the first row:
// a condition may use only the table's columns and no SYSDATE, USER,
// sequence or subquery (ORA-00904, 02436, 02287, 02251); a default may
// use no column (ORA-00984). check_condition returns the columns used.
std::vector<std::string> check_condition(session::impl& s, const table_meta& t, const std::string& condition);
void check_default(session::impl& s, const std::string& default_text);
// True for the CHECK constraints a NOT NULL column keeps ("C" IS NOT NULL).
bool is_not_null_check(const constraint_meta& c);

// Deletes one row, applying the delete rules of foreign keys that refer to it.
void delete_row(session::impl& s, const table_meta& t, int64_t key, const stored_row& row, int depth = 0);

// Binds a stored value for column type t.
void bind_stored(sql_stmt& q, int pos, const std::optional<std::string>& v, col_type t, bool held = false);
// Reads a stored value of column type t.
std::optional<std::string> read_stored(sql_stmt& q, int i, col_type t);

}  // namespace emu
