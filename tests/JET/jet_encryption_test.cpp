// The decrypting paths without a sample file: RC4 CryptoAPI encryption of
// an .accdb and Jet's RC4 page encryption of an .mdb. Plain test files are
// encrypted at test time (jet_test_encrypt) into a private temporary folder;
// every table of the encrypted copy must read value for value as the plain
// original does, and damaged encryption data must end in a DAO error.
#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "jet_catalog.h"
#include "jet_database.h"
#include "jet_error.h"
#include "jet_file.h"
#include "jet_fixture.h"
#include "jet_table_reader.h"
#include "jet_test_encrypt.h"
#include "jet_test_util.h"
#include "tk_wstring.h"

namespace {

struct table_reading {
    std::u16string name;
    std::vector<std::u16string> columns;
    std::vector<std::vector<jet_value>> rows;
};

// Every local table (system tables included) as the component reads it.
std::vector<table_reading> read_tables(const jet_file& file)
{
    std::vector<table_reading> out;
    jet_catalog cat(file);
    for (const jet_catalog_entry& e : cat.tables()) {
        MdbCatalogEntry* entry = cat.mdb_entry(e);
        if (entry == nullptr) continue;
        table_reading t;
        t.name = e.name;
        jet_table_reader reader(file, entry, e.properties.get());
        for (const jet_column& c : reader.columns()) t.columns.push_back(c.name);
        std::vector<jet_value> row;
        while (reader.next(row)) t.rows.push_back(row);
        out.push_back(std::move(t));
    }
    return out;
}

bool same_value(const jet_value& a, const jet_value& b)
{
    return a.kind == b.kind && a.i == b.i && std::memcmp(&a.d, &b.d, sizeof a.d) == 0 && a.text == b.text &&
           a.bytes == b.bytes && a.dec.negative == b.dec.negative && a.dec.scale == b.dec.scale &&
           a.dec.hi == b.dec.hi && a.dec.lo == b.dec.lo;
}

// Compares the readings of two files; returns the number of rows compared.
size_t expect_same_tables(const jet_file& plain, const jet_file& copy)
{
    std::vector<table_reading> want = read_tables(plain);
    std::vector<table_reading> got = read_tables(copy);
    EXPECT_EQ(got.size(), want.size());
    size_t rows = 0;
    for (size_t t = 0; t < std::min(got.size(), want.size()); ++t) {
        SCOPED_TRACE(tk_to_utf8(want[t].name));
        EXPECT_EQ(got[t].name, want[t].name);
        EXPECT_EQ(got[t].columns, want[t].columns);
        EXPECT_EQ(got[t].rows.size(), want[t].rows.size());
        for (size_t r = 0; r < std::min(got[t].rows.size(), want[t].rows.size()); ++r) {
            EXPECT_EQ(got[t].rows[r].size(), want[t].rows[r].size());
            for (size_t c = 0; c < std::min(got[t].rows[r].size(), want[t].rows[r].size()); ++c)
                EXPECT_TRUE(same_value(got[t].rows[r][c], want[t].rows[r][c]))
                    << "row " << r << ", column " << tk_to_utf8(want[t].columns[c]);
            ++rows;
        }
    }
    return rows;
}

// The header and the page ciphers see the copy; the reading through the
// database object also runs the crash guard and the catalogue.
void expect_reads_as_plain(const std::string& plain_name, const std::string& copy, std::u16string_view password,
                           std::u16string_view plain_password = u"", size_t min_rows = 10)
{
    jet_file plain(tk_from_utf8(jet_test_data(plain_name)), plain_password);
    jet_file encrypted(tk_from_utf8(copy), password);
    EXPECT_NE(encrypted.header().db_key, 0u);
    EXPECT_GT(expect_same_tables(plain, encrypted), min_rows);
    jet_database db(tk_from_utf8(copy), password, false, true);
    EXPECT_EQ(db.catalog().tables().size(), jet_catalog(plain).tables().size());
}

// ---------------------------------------------------------------------------
// RC4 CryptoAPI (.accdb)

const char16_t k_password[] = u"Geheim wört 7";

class jet_cryptoapi_file_test : public ::testing::TestWithParam<const char*> {};

TEST_P(jet_cryptoapi_file_test, reads_as_the_plain_file_with_128_and_40_bit_keys)
{
    jet_test_temp_dir dir;
    jet_test_bytes plain = jet_test_read_file(jet_test_data(GetParam()));
    for (uint32_t bits : {128u, 40u, 56u}) {
        SCOPED_TRACE("key bits " + std::to_string(bits));
        jet_test_cryptoapi o;
        o.password = k_password;
        o.key_bits = bits;
        std::string copy = dir.file("rc4-" + std::to_string(bits) + ".accdb");
        jet_test_write_file(copy, jet_test_encrypt_cryptoapi(plain, o));
        expect_reads_as_plain(GetParam(), copy, k_password);
    }
}

INSTANTIATE_TEST_SUITE_P(files, jet_cryptoapi_file_test,
                         ::testing::Values("V2007_test.accdb", "V2010_test.accdb", "V2016_bigint.accdb",
                                           "V2016_longtext.accdb"),
                         jet_file_param_name());

TEST(jet_cryptoapi_test, versions_and_provider_defaults)
{
    jet_test_temp_dir dir;
    jet_test_bytes plain = jet_test_read_file(jet_test_data("V2007_test.accdb"));
    struct variant {
        const char* what;
        uint16_t major;
        uint32_t alg_id;
        uint32_t key_bits;
        const char16_t* csp;
        uint32_t expected_bits;
    } variants[] = {
        {"version 2.2", 2, 0x6801, 128, u"Microsoft Enhanced Cryptographic Provider v1.0", 128},
        {"version 3.2", 3, 0x6801, 128, u"Microsoft Enhanced Cryptographic Provider v1.0", 128},
        {"base provider default", 4, 0x6801, 0, u"Microsoft Base Cryptographic Provider v1.0", 40},
        {"base provider in lower case", 4, 0x6801, 0, u"microsoft base cryptographic provider v1.0", 40},
        {"no provider name", 4, 0x6801, 0, u"", 40},
        {"strong provider default", 4, 0x6801, 0, u"Microsoft Strong Cryptographic Provider", 128},
        {"algorithm left to the flags", 4, 0, 128, u"Microsoft Enhanced Cryptographic Provider v1.0", 128},
    };
    for (const variant& v : variants) {
        SCOPED_TRACE(v.what);
        jet_test_cryptoapi o;
        o.password = k_password;
        o.major = v.major;
        o.alg_id = v.alg_id;
        o.key_bits = v.key_bits;
        o.csp = v.csp;
        o.db_key = 0x01020304u * v.major + v.key_bits;
        ASSERT_EQ(o.effective_key_bits(), v.expected_bits);
        std::string copy = dir.file("variant.accdb");
        jet_test_write_file(copy, jet_test_encrypt_cryptoapi(plain, o));
        expect_reads_as_plain("V2007_test.accdb", copy, k_password);
    }
}

TEST(jet_cryptoapi_test, wrong_and_missing_passwords_are_3031)
{
    jet_test_temp_dir dir;
    jet_test_bytes plain = jet_test_read_file(jet_test_data("V2007_test.accdb"));
    for (uint32_t bits : {128u, 40u}) {
        jet_test_cryptoapi o;
        o.password = u"Secret";
        o.key_bits = bits;
        std::string copy = dir.file("pw.accdb");
        jet_test_write_file(copy, jet_test_encrypt_cryptoapi(plain, o));
        EXPECT_EQ(jet_open_error(copy, u"Secret"), 0);
        for (std::u16string_view wrong : {u"", u"secret", u"Secret ", u"Secre", u"wrong"})
            EXPECT_EQ(jet_open_error(copy, wrong), jet_err_invalid_password) << tk_to_utf8(std::u16string(wrong));
    }
    // Only the first 255 characters of a password count.
    jet_test_cryptoapi o;
    o.password = std::u16string(255, u'p');
    std::string copy = dir.file("long.accdb");
    jet_test_write_file(copy, jet_test_encrypt_cryptoapi(plain, o));
    EXPECT_EQ(jet_open_error(copy, std::u16string(300, u'p')), 0);
    EXPECT_EQ(jet_open_error(copy, std::u16string(254, u'p')), jet_err_invalid_password);
}

// A copy of `file` whose encryption blob declares `n` bytes.
jet_test_bytes with_blob_length(jet_test_bytes file, size_t n)
{
    file[0x299] = static_cast<uint8_t>(n);
    file[0x29A] = static_cast<uint8_t>(n >> 8);
    return file;
}

// V2007_test.accdb encrypted with k_password, the layout of its blob, and
// damaged copies of it opened in a private folder.
class jet_cryptoapi_blob_test : public ::testing::Test {
protected:
    jet_cryptoapi_blob_test()
    {
        jet_test_cryptoapi o;
        o.password = k_password;
        good_ = jet_test_encrypt_cryptoapi(jet_test_read_file(jet_test_data("V2007_test.accdb")), o, &l_);
    }
    int32_t open(const jet_test_bytes& bytes)
    {
        jet_test_write_file(dir_.file("damaged.accdb"), bytes);
        return jet_open_error(dir_.file("damaged.accdb"), k_password);
    }
    // `good_` with the blob's byte `at` XORed.
    jet_test_bytes flipped(size_t at) const
    {
        jet_test_bytes bad = good_;
        bad[0x29B + at] ^= 0x5A;
        return bad;
    }
    // `good_` with the blob's 32-bit field at `at` set.
    jet_test_bytes with32(size_t at, uint32_t v) const
    {
        jet_test_bytes bad = good_;
        for (size_t i = 0; i < 4; ++i) bad[0x29B + at + i] = static_cast<uint8_t>(v >> (8 * i));
        return bad;
    }

    jet_test_temp_dir dir_;
    jet_test_blob_layout l_;
    jet_test_bytes good_;
};

TEST_F(jet_cryptoapi_blob_test, damaged_verifier_is_3031)
{
    // Every byte of the encrypted verifier and of its encrypted hash matters;
    // so do the salt's.
    for (size_t at = l_.verifier_at + 4; at < l_.encrypted_hash_at + 20; ++at) {
        if (at >= l_.encrypted_verifier_at + 16 && at < l_.encrypted_hash_at) continue;  // the hash size
        EXPECT_EQ(open(flipped(at)), jet_err_invalid_password) << "byte " << at;
    }
    // A key size that differs from the one the file was written with.
    EXPECT_EQ(open(with32(l_.key_bits_at, 40)), jet_err_invalid_password);
}

TEST_F(jet_cryptoapi_blob_test, truncated_or_malformed_blob_is_a_clean_error)
{
    // The blob cut at every length: the rest of the page is left as it was.
    const size_t length = good_[0x299] | (good_[0x29A] << 8);
    for (size_t n = 0; n < length; ++n)
        EXPECT_EQ(open(with_blob_length(good_, n)), jet_err_unrecognized_format) << "length " << n;
    const struct {
        const char* what;
        size_t at;
        uint32_t value;
    } damages[] = {
        {"header size beyond the blob", l_.header_size_at, 0xFFFFFFF0u},
        {"header size too small", l_.header_size_at, 8},
        {"header size zero", l_.header_size_at, 0},
        {"key size not a multiple of 8", l_.key_bits_at, 44},
        {"key size below 40", l_.key_bits_at, 32},
        {"key size above 512", l_.key_bits_at, 1024},
        {"AES algorithm", l_.key_bits_at - 8, 0x660E},
        {"unknown hash", l_.key_bits_at - 4, 0x8003},
        {"salt size", l_.verifier_at, 15},
        {"huge salt size", l_.verifier_at, 0xFFFFFFFFu},
        {"hash size", l_.encrypted_verifier_at + 16, 32},
        {"version 5.2", 0, 0x00020005},
        {"AES flag", 4, 0x24},
        {"no CryptoAPI flag", 4, 0},
    };
    for (const auto& d : damages) EXPECT_EQ(open(with32(d.at, d.value)), jet_err_unrecognized_format) << d.what;
    // A declared length running past page 0.
    EXPECT_EQ(open(with_blob_length(good_, 0xFFFF)), jet_err_unrecognized_format);
    // The file cut inside the blob.
    EXPECT_EQ(open(jet_test_bytes(good_.begin(), good_.begin() + 0x29B + 20)), jet_err_unrecognized_format);
}

// Open descriptors of the process on files in `folder`, with their modes
// and link counts.
struct open_file {
    std::string target;
    mode_t mode = 0;
    nlink_t links = 0;
};

std::vector<open_file> open_files_in(const std::string& folder)
{
    std::vector<open_file> out;
    if (DIR* d = opendir("/proc/self/fd")) {
        while (dirent* e = readdir(d)) {
            std::string fd = std::string("/proc/self/fd/") + e->d_name;
            char buf[4096];
            ssize_t n = readlink(fd.c_str(), buf, sizeof buf - 1);
            if (n <= 0) continue;
            std::string target(buf, static_cast<size_t>(n));
            struct stat st {};
            if (target.starts_with(folder + "/") && stat(fd.c_str(), &st) == 0)
                out.push_back({target, st.st_mode & 07777, st.st_nlink});
        }
        closedir(d);
    }
    return out;
}

size_t entries_in(const std::string& folder)
{
    size_t n = 0;
    if (DIR* d = opendir(folder.c_str())) {
        while (dirent* e = readdir(d))
            if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0) ++n;
        closedir(d);
    }
    return n;
}

// Points TMPDIR elsewhere for the life of the object.
class tmpdir_override {
public:
    explicit tmpdir_override(const std::string& folder)
    {
        const char* old = std::getenv("TMPDIR");
        had_ = old != nullptr;
        if (had_) saved_ = old;
        setenv("TMPDIR", folder.c_str(), 1);
    }
    ~tmpdir_override()
    {
        if (had_)
            setenv("TMPDIR", saved_.c_str(), 1);
        else
            unsetenv("TMPDIR");
    }

private:
    bool had_ = false;
    std::string saved_;
};

TEST(jet_cryptoapi_test, decrypted_pages_live_only_in_an_unlinked_private_file)
{
    jet_test_temp_dir dir;
    jet_test_temp_dir scratch;
    jet_test_cryptoapi o;
    o.password = k_password;
    std::string copy = dir.file("private.accdb");
    jet_test_write_file(copy, jet_test_encrypt_cryptoapi(jet_test_read_file(jet_test_data("V2007_test.accdb")), o));

    std::string folder = scratch.file("");
    folder.pop_back();
    tmpdir_override tmpdir(folder);
    {
        jet_file f(tk_from_utf8(copy), k_password);
        EXPECT_EQ(entries_in(folder), 0u) << "the plain copy has a name";
        std::vector<open_file> held = open_files_in(folder);
        ASSERT_EQ(held.size(), 1u);
        EXPECT_EQ(held[0].mode, 0600u);
        EXPECT_EQ(held[0].links, 0u);
        EXPECT_GT(read_tables(f).size(), 0u);
    }
    EXPECT_TRUE(open_files_in(folder).empty()) << "the plain copy outlives the handle";
    // A wrong password stops before any page is decrypted.
    EXPECT_EQ(jet_open_error(copy, u"wrong"), jet_err_invalid_password);
    EXPECT_EQ(entries_in(folder), 0u);
    EXPECT_TRUE(open_files_in(folder).empty());
}

// The Agile sample file with its encryption blob damaged: a cut blob is a
// clean error (or, once every value the password check needs is there, the
// file opens); a changed verifier value is a wrong password.
TEST(jet_agile_test, truncated_or_damaged_blob_of_the_sample_file)
{
    jet_test_temp_dir dir;
    const jet_test_bytes good = jet_test_read_file(jet_test_data("V2010_with-password.accdb"));
    const size_t length = good[0x299] | (good[0x29A] << 8);
    const std::string xml(good.begin() + 0x29B + 8, good.begin() + 0x29B + static_cast<long>(length));
    const size_t key_value = xml.find("encryptedKeyValue=\"");
    ASSERT_NE(key_value, std::string::npos);
    // Blob bytes up to the closing quote of the last value the check needs.
    const size_t complete = 8 + xml.find('"', key_value + 19) + 1;
    std::string copy = dir.file("agile.accdb");
    for (size_t n = 0; n < length; n += (n + 40 < complete || n > complete + 40) ? 29 : 1) {
        jet_test_write_file(copy, with_blob_length(good, n));
        EXPECT_EQ(jet_open_error(copy, u"password"), n < complete ? jet_err_unrecognized_format : 0) << "length " << n;
    }
    // One character of the encrypted verifier hash changed (still base64).
    const size_t value = xml.find("encryptedVerifierHashValue=\"");
    ASSERT_NE(value, std::string::npos);
    jet_test_bytes bad = good;
    uint8_t& c = bad[0x29B + 8 + value + 30];
    c = c == 'A' ? 'B' : 'A';
    jet_test_write_file(copy, bad);
    EXPECT_EQ(jet_open_error(copy, u"password"), jet_err_invalid_password);
    // A spin count beyond the bound is a clean error, not rounds of hashing
    // without end; the declaration gives up the two characters it gains.
    std::string rounds = xml;
    rounds.replace(rounds.find("version=\"1.0\""), 13, "version=\"1\"");
    rounds.replace(rounds.find("spinCount=\"100000\""), 18, "spinCount=\"99999999\"");
    ASSERT_EQ(rounds.size(), xml.size());
    bad = good;
    std::copy(rounds.begin(), rounds.end(), bad.begin() + 0x29B + 8);
    jet_test_write_file(copy, bad);
    EXPECT_EQ(jet_open_error(copy, u"password"), jet_err_unrecognized_format);
}

// ---------------------------------------------------------------------------
// Jet RC4 page encryption (.mdb)

class jet_page_encryption_test : public ::testing::TestWithParam<const char*> {};

TEST_P(jet_page_encryption_test, reads_as_the_plain_file_without_a_password)
{
    jet_test_temp_dir dir;
    jet_test_bytes plain = jet_test_read_file(jet_test_data(GetParam()));
    for (uint32_t key : {0x12345678u, 0x00000001u, 0xFFFFFFFFu}) {
        SCOPED_TRACE("key " + std::to_string(key));
        std::string copy = dir.file("encrypted.mdb");
        jet_test_write_file(copy, jet_test_encrypt_jet(plain, key));
        expect_reads_as_plain(GetParam(), copy, u"");
        // DAO ignores a password given for a database that has none.
        EXPECT_EQ(jet_open_error(copy, u"anything"), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(files, jet_page_encryption_test,
                         ::testing::Values("V1997_test.mdb", "nwind.mdb", "V2000_test.mdb", "V2003_test.mdb",
                                           "DateTestDatabase.mdb"),
                         jet_file_param_name());

TEST(jet_page_encryption_test, database_password_still_checked)
{
    jet_test_temp_dir dir;
    for (const char* name : {"V2000_with-password.mdb", "V2003_with-password.mdb"}) {
        SCOPED_TRACE(name);
        std::string copy = dir.file("pw.mdb");
        jet_test_write_file(copy, jet_test_encrypt_jet(jet_test_read_file(jet_test_data(name)), 0x0BADF00Du));
        EXPECT_EQ(jet_open_error(copy, u""), jet_err_invalid_password);
        EXPECT_EQ(jet_open_error(copy, u"wrong"), jet_err_invalid_password);
        EXPECT_EQ(jet_open_error(copy, u"Password"), jet_err_invalid_password);
        expect_reads_as_plain(name, copy, u"password", u"password", 0);
    }
}

TEST(jet_page_encryption_test, passwords_set_on_jet3_and_jet4_files)
{
    // The Jet4 form reproduces the stored field of a real file exactly.
    jet_test_bytes real = jet_test_read_file(jet_test_data("V2003_with-password.mdb"));
    jet_test_bytes rewritten = real;
    jet_test_set_password(rewritten, u"password");
    EXPECT_TRUE(std::equal(real.begin() + 0x42, real.begin() + 0x6A, rewritten.begin() + 0x42));

    jet_test_temp_dir dir;
    struct row {
        const char* file;
        const char16_t* password;
        const char* ansi;
    } rows[] = {
        {"V1997_test.mdb", u"Zugang\u00e4", "Zugang\xe4"},  // Jet3: code page 1252 bytes
        {"nwind.mdb", u"12345678901234567890", "12345678901234567890"},
        {"V2000_test.mdb", u"\u00c4rger \u20ac", ""},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.file);
        jet_test_bytes f = jet_test_read_file(jet_test_data(r.file));
        jet_test_set_password(f, r.password, r.ansi);
        std::string copy = dir.file("pw.mdb");
        jet_test_write_file(copy, jet_test_encrypt_jet(f, 0x2468ACE0u));
        EXPECT_EQ(jet_open_error(copy, r.password), 0);
        EXPECT_EQ(jet_open_error(copy, u""), jet_err_invalid_password);
        EXPECT_EQ(jet_open_error(copy, std::u16string(r.password).substr(1)), jet_err_invalid_password);
        expect_reads_as_plain(r.file, copy, r.password);
    }
}

TEST(jet_page_encryption_test, wrong_database_key_is_a_clean_error)
{
    // Pages encrypted with one key and read with another are garbage to the
    // reader: an error, never a crash, through the guarded open.
    jet_test_temp_dir dir;
    jet_test_bytes f = jet_test_encrypt_jet(jet_test_read_file(jet_test_data("V2000_test.mdb")), 0x12345678u);
    jet_test_set_db_key(f, 0x12345679u);
    std::string copy = dir.file("wrongkey.mdb");
    jet_test_write_file(copy, f);
    try {
        jet_database db(tk_from_utf8(copy), u"", false, true);
        ADD_FAILURE() << "a file read with the wrong page key opened";
    } catch (const jet_error& e) {
        EXPECT_EQ(e.number, jet_err_unrecognized_format);
    }
}

TEST(jet_test_encrypt_test, header_mask_matches_the_component)
{
    // The test RC4 is checked against the published vector in
    // jet_crypto_test; here the database key as the header reads it back.
    jet_test_bytes f = jet_test_read_file(jet_test_data("V2000_test.mdb"));
    jet_test_set_db_key(f, 0xA0BE38A3u);
    EXPECT_EQ(jet_header::parse(f.data(), 4096, u"x").db_key, 0xA0BE38A3u);
}

}  // namespace
