#include "jet_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "jet_crypto.h"
#include "jet_error.h"
#include "tk_logger.h"
#include "tk_wstring.h"

namespace {

// Upper bound of a long value's length (the 24-bit length field allows
// 16 MB per value; Access limits memo and OLE data to 1 GB through chains,
// whose length field then wraps). Chains are followed up to this size.
constexpr size_t k_max_long_value = 1u << 30;

struct fd_closer {
    int fd;
    ~fd_closer()
    {
        if (fd >= 0) ::close(fd);
    }
};

bool read_exact(int fd, uint8_t* buf, size_t n, off_t at)
{
    size_t done = 0;
    while (done < n) {
        ssize_t r = ::pread(fd, buf + done, n - done, at + static_cast<off_t>(done));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) return false;
        done += static_cast<size_t>(r);
    }
    return true;
}

bool write_exact(int fd, const uint8_t* buf, size_t n)
{
    size_t done = 0;
    while (done < n) {
        ssize_t r = ::write(fd, buf + done, n - done);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) return false;
        done += static_cast<size_t>(r);
    }
    return true;
}

uint16_t le16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t le32(const uint8_t* p)
{
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

std::string temp_dir()
{
    const char* t = std::getenv("TMPDIR");
    return (t != nullptr && *t != '\0') ? t : "/tmp";
}

}  // namespace

jet_file::jet_file(const std::u16string& path, std::u16string_view password, int jet3_code_page)
    : path_(path), jet3_code_page_(jet3_code_page)
{
    check_code_page(jet3_code_page);
    tk_trace(2, u"jet_file::jet_file(%s)", path);
    std::string native = tk_to_utf8(path);
    if (path.empty()) throw jet_error(jet_err_invalid_file_name);
    struct stat st {};
    if (::stat(native.c_str(), &st) != 0) {
        if (errno == EACCES) throw jet_error(jet_err_file_access_denied, path);
        throw jet_error(jet_err_file_not_found, path);
    }
    if (S_ISDIR(st.st_mode)) throw jet_error(jet_err_file_not_found, path);
    int fd = ::open(native.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw jet_error(jet_err_file_access_denied, path);
    fd_closer closer{fd};

    std::vector<uint8_t> page0(jet_header::k_size, 0);
    size_t head = std::min<size_t>(page0.size(), static_cast<size_t>(st.st_size));
    if (head < 0x200 || !read_exact(fd, page0.data(), head, 0)) throw jet_error(jet_err_unrecognized_format, path);
    header_ = jet_header::parse(page0.data(), head, path);
    page_count_ = static_cast<uint32_t>(static_cast<uint64_t>(st.st_size) / header_.page_size);
    // Page 0, the catalogue's table definition (page 2) and its pages must exist.
    if (page_count_ < 3) throw jet_error(jet_err_unrecognized_format, path);

    if (header_.is_jet3()) {
        // Access 97 records the code page of the system that made the file
        // (often 1252 whatever the text is), so the user's choice wins.
        uint16_t cp = jet3_code_page != 0 ? static_cast<uint16_t>(jet3_code_page) : header_.text_code_page();
        decoder_ = std::make_unique<jet_text_decoder>(cp);
        tk_trace(1, "jet_file: Jet3 text in code page %d", decoder_->code_page());
    }
    if (header_.is_encrypted_accdb()) {
        open_decrypted(native, password);
    } else {
        // The database password of an .mdb; DAO ignores a password given
        // for a database that has none.
        if (!header_.password.empty() && header_.password != password) throw jet_error(jet_err_invalid_password);
        open_plain(native);
    }
    mdb_set_bind_size(mdb_.get(), MDB_BIND_SIZE);
    if (decoder_) use_code_page_for_names();
}

void jet_file::check_code_page(int code_page)
{
    if (code_page == 0) return;
    if (code_page > 0 && code_page <= 0xFFFF && !jet_code_page_iconv_name(static_cast<uint16_t>(code_page)).empty())
        return;
    std::string text = "Code page " + std::to_string(code_page) +
                       " cannot be used to read Access 97 text: the system has no converter for it.";
    throw jet_error::with_text(jet_err_invalid_argument, tk_widen_ascii(text));
}

void jet_file::use_code_page_for_names()
{
    // libmdb converts Jet3 column and index names itself, from a code page
    // it takes from its own table (which lacks some, 949 among them) and
    // never from the user. Give it converters for the code page the text is
    // read in, so that names and values agree.
    const std::string name = jet_code_page_iconv_name(decoder_->code_page());
    if (name.empty()) return;
    iconv_t in = iconv_open("UTF-8", name.c_str());
    iconv_t out = iconv_open(name.c_str(), "UTF-8");
    if (in == reinterpret_cast<iconv_t>(-1) || out == reinterpret_cast<iconv_t>(-1)) {
        if (in != reinterpret_cast<iconv_t>(-1)) iconv_close(in);
        if (out != reinterpret_cast<iconv_t>(-1)) iconv_close(out);
        return;
    }
    mdb_iconv_close(mdb_.get());
    mdb_.get()->iconv_in = in;
    mdb_.get()->iconv_out = out;
}

jet_file::~jet_file() = default;

void jet_file::open_plain(const std::string& native)
{
    mdb_.reset(mdb_open(native.c_str(), MDB_NOFLAGS));
    if (!mdb_) throw jet_error(jet_err_unrecognized_format, path_);
}

void jet_file::open_decrypted(const std::string& native, std::u16string_view password)
{
    std::unique_ptr<jet_page_cipher> cipher =
        jet_page_cipher::for_accdb(header_.encryption, header_.db_key, password, path_);
    int in = ::open(native.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) throw jet_error(jet_err_file_access_denied, path_);
    fd_closer in_closer{in};
    std::string temp = temp_dir() + "/tlvjetXXXXXX";
    int out = ::mkostemp(temp.data(), O_CLOEXEC);  // created with mode 0600
    if (out < 0) throw jet_error(jet_err_disk_error);
    fd_closer out_closer{out};
    struct unlinker {
        const std::string& name;
        ~unlinker() { ::unlink(name.c_str()); }
    } unlink_at_exit{temp};

    std::vector<uint8_t> page(header_.page_size);
    for (uint32_t n = 0; n < page_count_; ++n) {
        if (!read_exact(in, page.data(), page.size(), static_cast<off_t>(n) * header_.page_size))
            throw jet_error(jet_err_disk_error);
        if (n == 0) {
            // Mask the database key to zero so libmdb reads the pages as plain.
            std::memcpy(page.data() + 0x3E, jet_header::mask() + (0x3E - 0x18), 4);
        } else {
            cipher->decrypt_page(n, page.data(), page.size());
        }
        if (!write_exact(out, page.data(), page.size())) throw jet_error(jet_err_disk_error);
    }
    mdb_.reset(mdb_open(temp.c_str(), MDB_NOFLAGS));
    if (!mdb_) throw jet_error(jet_err_unrecognized_format, path_);
    tk_trace(1, "jet_file: decrypted %d pages", page_count_);
}

std::u16string jet_file::decode_text(const uint8_t* p, size_t n) const
{
    return decoder_ ? decoder_->decode(p, n) : jet_decode_unicode(p, n);
}

bool jet_file::read_alt_row(uint32_t page, uint32_t row, const uint8_t*& data, size_t& length) const
{
    MdbHandle* h = mdb_.get();
    const uint32_t pg_size = header_.page_size;
    if (page == 0 || page >= page_count_) return false;
    if (mdb_read_alt_pg(h, page) != static_cast<ssize_t>(pg_size)) return false;
    const uint8_t* buf = h->alt_pg_buf;
    if (buf[0] != 0x01) return false;  // not a data page
    const uint32_t rco = h->fmt->row_count_offset;
    uint32_t rows = le16(buf + rco);
    if (row >= rows || rco + 2 + rows * 2 > pg_size) return false;
    uint32_t start = le16(buf + rco + 2 + row * 2) & 0x1FFF;
    uint32_t end = row == 0 ? pg_size : (le16(buf + rco + row * 2) & 0x1FFF);
    if (start >= end || end > pg_size || start < rco + 2 + rows * 2) return false;
    data = buf + start;
    length = end - start;
    return true;
}

bool jet_file::check_table_definition(uint32_t page) const
{
    MdbHandle* h = mdb_.get();
    const MdbFormatConstants* fmt = h->fmt;
    if (page == 0 || page >= page_count_) return false;
    std::vector<uint8_t> tdef(header_.page_size);
    if (mdb_read_alt_pg(h, page) != static_cast<ssize_t>(header_.page_size)) return false;
    std::memcpy(tdef.data(), h->alt_pg_buf, tdef.size());
    if (tdef[0] != 0x02) return false;
    uint32_t cols = le16(tdef.data() + fmt->tab_num_cols_offset);
    uint32_t idxs = le32(tdef.data() + fmt->tab_num_idxs_offset);
    uint32_t real_idxs = le32(tdef.data() + fmt->tab_num_ridxs_offset);
    // Access allows 255 columns and 32 indexes; deleted columns and
    // relationship indexes add some, never this many.
    if (cols == 0 || cols > 1024 || idxs > 256 || real_idxs > 256) return false;
    for (uint16_t at : {fmt->tab_usage_map_offset, fmt->tab_free_map_offset}) {
        uint32_t pg_row = le32(tdef.data() + at);
        const uint8_t* row = nullptr;
        size_t len = 0;
        if (!read_alt_row(pg_row >> 8, pg_row & 0xFF, row, len) || len < 1) return false;
    }
    return true;
}

bool jet_file::read_long_value(const uint8_t* ref, size_t n, std::vector<uint8_t>& out) const
{
    if (n < 12) return false;
    uint32_t head = le32(ref);
    size_t length = head & 0x00FFFFFF;
    uint8_t flags = static_cast<uint8_t>(head >> 24);
    if (flags & 0x80) {  // inline: the data follows the reference
        size_t avail = n - 12;
        out.insert(out.end(), ref + 12, ref + 12 + std::min(length, avail));
        return length <= avail;
    }
    uint32_t pg_row = le32(ref + 4);
    const uint8_t* data = nullptr;
    size_t len = 0;
    if (flags & 0x40) {  // one long-value row
        if (!read_alt_row(pg_row >> 8, pg_row & 0xFF, data, len)) return false;
        out.insert(out.end(), data, data + std::min(length, len));
        return len >= length;
    }
    // A chain of rows, each starting with the page/row of the next. Access
    // stores the total length modulo 2^24 here, so the chain's end decides.
    // A sound chain visits each row once, so it cannot bring more bytes
    // than the file holds: more means a chain that goes round in circles.
    const size_t limit = std::min<size_t>(k_max_long_value, size_t{page_count_} * header_.page_size);
    const size_t before = out.size();
    size_t hops = 0;
    while (pg_row != 0) {
        if (++hops > page_count_ * 256u || out.size() - before > limit) return false;
        if (!read_alt_row(pg_row >> 8, pg_row & 0xFF, data, len) || len < 4) return false;
        uint32_t next = le32(data);
        out.insert(out.end(), data + 4, data + len);
        pg_row = next;
    }
    return true;
}
