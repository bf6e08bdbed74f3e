// Encrypted copies of plain test files, for the decrypting paths no sample
// file covers: Office RC4 CryptoAPI encryption of an .accdb and Jet's RC4
// page encryption of an .mdb ("Encrypt database" in Jet 3 and Jet 4).
//
// Test code only; the component never writes encrypted files. The encryptor
// is built from the published format facts on its own (its own RC4, SHA-1
// straight from OpenSSL) rather than from jet_crypto, so that a mistake in
// the component's reading is not repeated here and cancelled out.
//
// The 40-bit RC4 CryptoAPI rule (the 5 key bytes zero-padded to a 16-byte
// RC4 key) follows one published implementation and has not been checked
// against a file written by Access; a file of that kind would settle it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

using jet_test_bytes = std::vector<uint8_t>;

// The parameters of an RC4 CryptoAPI encryption-info blob.
struct jet_test_cryptoapi {
    std::u16string password;
    uint32_t db_key = 0x5A3C9E17;
    uint16_t major = 4;        // 2, 3 or 4; the minor version is always 2
    uint32_t alg_id = 0x6801;  // RC4; 0 leaves the choice to the flags
    uint32_t key_bits = 128;   // as written; 0 = the provider's default
    std::u16string csp = u"Microsoft Enhanced Cryptographic Provider v1.0";
    uint8_t salt[16] = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xF0, 0x01};
    uint8_t verifier[16] = {'t', 'o', 'l', 'v', 'a', 'n', 'e', ' ', 'v', 'e', 'r', 'i', 'f', 'i', 'e', 'r'};

    // The key size a reader must use: key_bits, or for 0 the default of
    // the provider (40 bits for a "base" provider or none, else 128).
    uint32_t effective_key_bits() const;
};

// Offsets in the encryption-info blob of the fields the tests damage.
struct jet_test_blob_layout {
    size_t header_size_at = 8;  // uint32 size of the EncryptionHeader
    size_t key_bits_at = 0;     // uint32 keySize in the EncryptionHeader
    size_t verifier_at = 0;     // start of the EncryptionVerifier (uint32 salt size)
    size_t encrypted_verifier_at = 0;
    size_t encrypted_hash_at = 0;
};

// `n` bytes of `v`, little-endian; a text as UTF-16LE.
jet_test_bytes jet_test_le(uint64_t v, int n);
jet_test_bytes jet_test_utf16le(const std::u16string& s);

jet_test_bytes jet_test_read_file(const std::string& path);
void jet_test_write_file(const std::string& path, const jet_test_bytes& bytes);

// RC4 keystream XORed over `data` (an independent implementation).
void jet_test_rc4(const uint8_t* key, size_t key_length, uint8_t* data, size_t length);

// Page size of a file from its version byte.
size_t jet_test_page_size(const jet_test_bytes& file);

// Stores `db_key` in the masked header window of page 0.
void jet_test_set_db_key(jet_test_bytes& file, uint32_t db_key);

// Stores a database password in the masked header of an .mdb: Jet3 keeps
// it as 20 single-byte characters (`ansi`, NUL-padded), Jet4 as 20 UTF-16LE
// characters XORed once more with the 4 bytes of the truncated creation
// date. The Jet3 form has no sample file with a password to confirm it.
void jet_test_set_password(jet_test_bytes& file, const std::u16string& password, const std::string& ansi = "");

// The RC4 CryptoAPI encryption-info blob for `o`, with its layout.
jet_test_bytes jet_test_cryptoapi_blob(const jet_test_cryptoapi& o, jet_test_blob_layout* layout = nullptr);

// A copy of the plain .accdb `plain` encrypted as Access's "Encrypt with
// Password" does with RC4 CryptoAPI: the blob at 0x299, the database key
// in the header, pages n >= 1 RC4-encrypted with the key of block
// (db_key XOR n).
jet_test_bytes jet_test_encrypt_cryptoapi(const jet_test_bytes& plain, const jet_test_cryptoapi& o,
                                          jet_test_blob_layout* layout = nullptr);

// A copy of the plain .mdb `plain` with Jet's page encryption: the database
// key in the header and pages n >= 1 RC4-encrypted with the 4-byte key
// LE32(db_key XOR n).
jet_test_bytes jet_test_encrypt_jet(const jet_test_bytes& plain, uint32_t db_key);

// A private temporary folder, removed with its files when destroyed.
class jet_test_temp_dir {
public:
    jet_test_temp_dir();
    ~jet_test_temp_dir();
    jet_test_temp_dir(const jet_test_temp_dir&) = delete;
    jet_test_temp_dir& operator=(const jet_test_temp_dir&) = delete;

    // The path of `name` in the folder.
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};
