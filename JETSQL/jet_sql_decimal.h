// Decimal values inside the query engine.
//
// SQLite keeps at most 15 significant digits of a REAL, and a Decimal holds
// up to 28. So a Decimal column is stored as exact decimal text under the
// JETDEC collation, which orders and compares such texts by their numeric
// value: ORDER BY, Min, Max, DISTINCT, GROUP BY, joins and comparisons with
// numbers keep every digit. Arithmetic converts the text to a double, as
// SQLite does for any numeric text; Sum is exact (jet_sumdec).
#pragma once

#include <string>
#include <string_view>

#include "ole_decimal.h"

struct sqlite3;

// The exact text of a double, to the 15 significant digits a conversion
// to Decimal keeps; "%.17g" where the value is beyond a Decimal's range.
std::string jet_sql_decimal_text(double value);

// Reads decimal text as the engine stores it (or as SQLite writes a
// number); false for anything else or beyond a Decimal's range.
bool jet_sql_decimal_parse(std::string_view text, ole_decimal& out);

// Orders two texts: numbers by value, before every non-number; non-numbers
// by their bytes. A total order, as a collation must be.
int jet_sql_decimal_compare(std::string_view a, std::string_view b);

// The JETDEC collation and the exact jet_sumdec aggregate.
void jet_sql_register_decimal(sqlite3* db);
