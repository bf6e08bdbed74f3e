// Page 0 of an Access file: format, code page, sort order, database key,
// database password and, for an encrypted .accdb, the encryption blob.
//
// Bytes 0x18 onward (126 bytes for Jet3, 128 for later formats) are masked
// with an RC4 keystream of a fixed key; everything read from that window
// is read after unmasking.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "jet_crypto.h"

enum class jet_format : uint8_t { jet3 = 0, jet4 = 1, ace12 = 2, ace14 = 3, ace15 = 4, ace16 = 5, ace17 = 6 };

class jet_header {
public:
    // Bytes of page 0 that the header needs at most.
    static constexpr size_t k_size = 4096;

    // Parses page 0; raises jet_error 3343 naming `file_name` when the
    // bytes are not an Access database or workgroup file.
    static jet_header parse(const uint8_t* page0, size_t length, std::u16string_view file_name);

    std::string format_id;  // "Standard Jet DB", "Standard ACE DB", "Jet System DB", ...
    jet_format format = jet_format::jet3;
    uint32_t page_size = 2048;
    uint16_t code_page = 0;
    uint16_t lcid = 0;
    uint8_t sort_version = 0;
    uint32_t db_key = 0;
    double creation_date = 0;
    std::u16string password;  // empty when the database has none
    jet_bytes encryption;     // .accdb encryption-info blob, empty if none

    bool is_jet3() const { return format == jet_format::jet3; }
    bool is_workgroup() const { return format_id.starts_with("Jet System DB"); }
    bool is_encrypted_accdb() const { return !encryption.empty(); }
    // The code page Jet3 text is stored in: the header's, else the one of
    // the sort order's locale.
    uint16_t text_code_page() const;
    // A short name of the format: "Jet3", "Jet4", "ACE12", ...
    const char* format_name() const;

    // The fixed masking keystream of bytes 0x18.. (128 bytes).
    static const uint8_t* mask();
};
