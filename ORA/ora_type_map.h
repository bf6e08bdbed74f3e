// Oracle column types and SQL literals for neutral fields and values.
//
// The functions keep no state. Literals never exceed Oracle's 4000-byte
// limit for one literal (ORA-01704): longer texts are written as several
// concatenated national literals.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "ole_vartype.h"

class t_ftd;
class udb_field;
class ole_variant;

// Longest NVARCHAR2 (characters, AL16UTF16) and RAW (bytes) column; larger
// text and binary columns become LOBs.
constexpr uint32_t ora_max_inline_size = 2000;
// Longest literal Oracle takes, in bytes.
constexpr size_t ora_max_literal_bytes = 4000;
// Longest identifier, in bytes, whatever the server version.
constexpr size_t ora_max_name_bytes = 30;

// The one test for columns kept as CLOB/NCLOB or BLOB: text or binary kinds
// whose size is 0 (unknown) or above the inline limit. Tables read back
// from Oracle report their LOB columns with size 0, so this holds for them
// too.
bool ora_is_lob(ole_vartype vt, uint32_t size);
bool ora_is_lob(const t_ftd& field);
bool ora_is_text_kind(ole_vartype vt);
bool ora_is_binary_kind(ole_vartype vt);
// A binary column of 16 bytes that the Access side marks as a GUID.
bool ora_is_guid_column(const t_ftd& field);

// Oracle type text of a column. `national_lobs` chooses NCLOB for long text,
// used when the database character set cannot hold all of Unicode.
std::u16string get_native_type(const t_ftd& field, bool national_lobs = false);

// Literal of a value given as text and kind.
std::u16string to_oracle_str(std::u16string_view text, ole_vartype vt);
// Literal of a field's current value; NULL and empty values give "NULL".
// `column` (optional) is the target column: it decides the GUID rule and
// whether a date keeps its fraction of a second.
std::u16string to_oracle_str(const udb_field* field, const t_ftd* column = nullptr);
// Literal of a value for a column (the work horse of the above).
std::u16string ora_value_literal(const ole_variant& value, const t_ftd* column);

// False for NaN, infinities and numbers of magnitude 1e126 or more, which
// Oracle cannot store; every non-numeric value is in range.
bool ora_value_in_range(const ole_variant& value);

// Text of the DEFAULT clause for a field's default value; empty for none.
std::u16string make_ora_def_val(const t_ftd* field);

// Neutral kind of an Oracle NUMBER(p, s) column as OCI describes it; p may
// be raised when it equals s.
ole_vartype ora_refine_number(int& precision, int& scale);

// A national string literal (N'...') with inner quotes doubled, split into
// concatenated pieces of at most ora_max_literal_bytes.
std::u16string ora_text_literal(std::u16string_view text);
// Shortest decimal text that reads back as the same double or float, in
// the C locale; empty for NaN and infinities.
std::string ora_number_text(double value, bool single);
// The bytes of a binary value (empty for NULL); a text of the form 0x...
// is read as its bytes, into `scratch`.
std::span<const uint8_t> ora_value_bytes(const ole_variant& value, std::vector<uint8_t>& scratch);

// The 32 hex digits of a value {guid {8-4-4-4-12}} in the byte order of
// the GUID in memory, or empty when the text is not exactly that form.
std::u16string ora_guid_hex(std::u16string_view text);
