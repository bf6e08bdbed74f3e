// One open Access file: its header, the libmdb handle over its (plain)
// pages and the raw page access the value readers need.
//
// Opening checks what DAO checks before any table is read: the file exists
// and is an Access database, the database password matches, an encrypted
// .accdb decrypts with the password. An encrypted file is decrypted page by
// page into a private temporary file (mode 0600) that is unlinked as soon
// as libmdb has opened it, so no plain copy outlives the handle, not even
// after a crash.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "jet_header.h"
#include "jet_libmdb.h"
#include "jet_text.h"

class jet_file {
public:
    // Raises jet_error 3024 (missing), 3051 (unreadable), 3343 (not an
    // Access file), 3031 (wrong or missing password). A Jet3 file's text
    // and names are read in `jet3_code_page`, or in the code page its header
    // names when that is 0 (see check_code_page for the errors).
    jet_file(const std::u16string& path, std::u16string_view password, int jet3_code_page = 0);

    // Raises jet_error 3001, with a text naming it, for a code page outside
    // 0..65535 or one the system's iconv cannot convert; 0 is accepted.
    static void check_code_page(int code_page);
    // The code page asked for at opening (0: the header's).
    int jet3_code_page() const { return jet3_code_page_; }
    // The code page Jet3 text is read in; 0 for Jet4 and later files.
    uint16_t text_code_page() const { return decoder_ ? decoder_->code_page() : 0; }
    ~jet_file();
    jet_file(const jet_file&) = delete;
    jet_file& operator=(const jet_file&) = delete;

    MdbHandle* mdb() const { return mdb_.get(); }
    const jet_header& header() const { return header_; }
    const std::u16string& path() const { return path_; }
    uint32_t page_count() const { return page_count_; }
    bool is_jet3() const { return header_.is_jet3(); }

    // Text of a Text or Memo value's stored bytes.
    std::u16string decode_text(const uint8_t* p, size_t n) const;

    // Reads page `page` into libmdb's alternate page buffer and returns the
    // bytes of row `row` on it, or false when the page or row slot is not a
    // sound data row (out of the file, wrong page type, bad offsets).
    bool read_alt_row(uint32_t page, uint32_t row, const uint8_t*& data, size_t& length) const;

    // True when page `page` is a table definition libmdb can read safely:
    // its type, column and index counts within Access's limits, and its
    // usage and free-space maps at sound rows.
    bool check_table_definition(uint32_t page) const;

    // Reads a long value (Memo, OLE Object) from its 12-byte reference at
    // `ref` (`n` bytes available there, inline data included); false for a
    // damaged reference or chain. The value is appended to `out`.
    bool read_long_value(const uint8_t* ref, size_t n, std::vector<uint8_t>& out) const;

private:
    void open_plain(const std::string& native);
    void open_decrypted(const std::string& native, std::u16string_view password);
    void use_code_page_for_names();

    std::u16string path_;
    int jet3_code_page_ = 0;
    jet_header header_;
    uint32_t page_count_ = 0;
    jet_mdb_ptr mdb_;
    std::unique_ptr<jet_text_decoder> decoder_;  // Jet3 only
};
