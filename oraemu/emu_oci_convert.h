// Conversions between the engine's values and the client's buffers of an
// external data type (SQLT_*), as the client library performs them.
//
// Engine values carry NUMBERs as exact decimal text, DATEs as
// "YYYY-MM-DD HH24:MI:SS", TIMESTAMPs with ".FFFFFFFFF" appended, character
// data as UTF-8 and binary data as bytes. Client character data is UTF-16
// (native order) in an OCI_UTF16 environment, UTF-8 otherwise.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "emu_session.h"
#include "ora_oci.h"

namespace emu_oci {

// The errors this library raises itself, with Oracle's texts
// ("ORA-24374: define not done before fetch or execute and fetch").
emu::ora_error client_error(int code, const std::vector<std::string>& args = {});

// UTF-8 <-> UTF-16 (invalid sequences become U+FFFD).
std::u16string utf8_to_utf16(std::string_view s);
std::string utf16_to_utf8(std::u16string_view s);

// Oracle's internal NUMBER format (SQLT_NUM): an exponent byte and up to 20
// base-100 digits; negative numbers complement their digits and end with
// byte 102 when shorter than 21 bytes. Zero is the single byte 0x80.
// Throws ora_error ORA-01722 for text that is not a number.
std::string number_to_oranum(const std::string& decimal);
// The exact decimal text of an internal NUMBER. Throws ORA-01722 if the
// bytes are not a valid NUMBER.
std::string oranum_to_number(const unsigned char* bytes, size_t length);

// The 7-byte DATE (SQLT_DAT): century and year excess-100, month, day,
// hour, minute and second excess-1. A TIMESTAMP's fraction is dropped.
// Throws ORA-01858 for text that is not a date.
void text_to_oradate(const std::string& text, unsigned char out[7]);
std::string oradate_to_text(const unsigned char in[7]);

// Texts a value takes when converted to a character type with the
// session's default NLS settings (AMERICAN, DD-MON-RR): NUMBER without a
// leading zero (".5"), DATE "05-DEC-26", TIMESTAMP "05-DEC-26 10.20.30.000000 AM",
// RAW/BLOB/LONG RAW upper-case hexadecimal.
std::string display_text(const emu::value& v);

// Outcome of writing one value into a client buffer.
struct put_result {
    bool null = false;       // nothing written: the value is NULL
    bool truncated = false;  // the buffer was too small
    size_t length = 0;       // bytes stored (for SQLT_STR without terminator)
    size_t full = 0;         // bytes the whole value needs
};

// Writes `v` into `buf` of `capacity` bytes as external type `dty`.
// LOB locator types are not handled here. Throws ora_error for a
// conversion that Oracle refuses (ORA-00932, ORA-01722, ORA-01455,
// ORA-03115 for an unsupported type).
put_result put_value(bool utf16, const emu::value& v, ub2 dty, void* buf, size_t capacity);

// Reads a client value of external type `dty` from `len` bytes at `buf`.
// For SQLT_STR, `len` is the buffer size and the value ends at the first
// terminator. A zero-length character value is NULL, as in Oracle.
emu::value get_value(bool utf16, ub2 dty, const void* buf, size_t len);

// True for the external types that carry character data.
bool is_char_type(ub2 dty);

}  // namespace emu_oci
