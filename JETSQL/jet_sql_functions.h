// Access's operators and functions as SQLite functions, and the JETTEXT
// collation (text compared without regard to case, as Access compares).
//
// Conventions of the values they see: Booleans -1/0, dates OLE date
// numbers, text UTF-8 in SQLite and UTF-16 inside the functions. A
// function that fails the way Access would raise an error reports the
// SQLite error text "jet:<number>", which the engine turns back into
// jet_sql_error with that number.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

struct sqlite3;

// Registers every function, aggregate and the collation on `db`.
void jet_sql_register_functions(sqlite3* db);

// Access's text of a value of DAO type `dao_type` (CStr): dates in General
// Date form, Booleans "True"/"False", numbers as VBA prints them.
std::u16string jet_sql_number_text(double value, int32_t dao_type);

// Access's LIKE (* ? # [list] [!list] [a-z]), compared without regard to
// case. An unclosed bracket matches itself.
bool jet_sql_like(std::u16string_view text, std::u16string_view pattern);

// Half-to-even rounding at `digits` decimal places, as Access's Round.
double jet_sql_round(double value, int digits);

// Access's Format for dates and numbers ("yyyy-mm-dd", "mmmm d, yyyy",
// "0.00", "#,##0.00", "Currency", "Short Date" ...).
std::u16string jet_sql_format_date(double date, std::u16string_view format);
std::u16string jet_sql_format_number(double value, std::u16string_view format);
