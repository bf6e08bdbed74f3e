// Ciphers of the Access file formats.
//
// - jet_rc4: plain RC4, used to unmask the header of every file, by Jet's
//   page encryption and by Office's RC4 CryptoAPI encryption. OpenSSL 3
//   keeps RC4 in its legacy provider only, so it is done here.
// - jet_page_cipher: decrypts the pages of an encrypted .accdb ("Encrypt
//   with Password"): Office Agile (AES) or RC4 CryptoAPI. Page 0 is never
//   encrypted; page n uses the block key LE32(db_key XOR n).
// - jet_workgroup_cipher: the fixed-key 2-key Triple-DES (EDE, ECB) with
//   which workgroup files keep account passwords.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

using jet_bytes = std::vector<uint8_t>;

class jet_rc4 {
public:
    jet_rc4(const uint8_t* key, size_t length);
    void apply(uint8_t* data, size_t length);

private:
    uint8_t s_[256];
    uint8_t i_ = 0;
    uint8_t j_ = 0;
};

// Hash of the concatenated parts by OpenSSL digest name ("SHA1", "SHA512",
// ...); raises jet_error 3343 for a digest OpenSSL does not know.
jet_bytes jet_hash(const std::string& algorithm, std::initializer_list<std::basic_string_view<uint8_t>> parts);
// h = hash(LE32(i) || h) for i = 0 .. spin-1, the key stretching of agile
// encryption. One digest context serves the whole loop: fetching the
// algorithm each round made the largest count the format allows
// (10,000,000) take most of a minute.
jet_bytes jet_hash_spin(const std::string& algorithm, jet_bytes h, int spin);

class jet_page_cipher {
public:
    virtual ~jet_page_cipher();
    // Decrypts page `number` in place; `size` is the page size.
    virtual void decrypt_page(uint32_t number, uint8_t* page, size_t size) const = 0;

    // The cipher of an encrypted .accdb from its encryption-info blob and
    // database key, after the password checks; raises jet_error 3031 for a
    // wrong password and 3343 for a scheme the component does not support.
    static std::unique_ptr<jet_page_cipher> for_accdb(const jet_bytes& blob, uint32_t db_key,
                                                      std::u16string_view password, std::u16string_view file_name);
};

class jet_workgroup_cipher {
public:
    // Enciphers `plain` (NUL-padded to a multiple of 8) block by block.
    static jet_bytes encipher(const jet_bytes& plain);
    // Deciphers a stored value (a multiple of 8 bytes).
    static jet_bytes decipher(const jet_bytes& stored);
};
