#include "jet_test_encrypt.h"

#include <dirent.h>
#include <openssl/evp.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace {

constexpr size_t k_masked_at = 0x18;
constexpr size_t k_db_key_at = 0x3E;
constexpr size_t k_blob_length_at = 0x299;
constexpr size_t k_blob_at = 0x29B;

void put16(jet_test_bytes& out, uint16_t v)
{
    const jet_test_bytes b = jet_test_le(v, 2);
    out.insert(out.end(), b.begin(), b.end());
}

void put32(jet_test_bytes& out, uint32_t v)
{
    const jet_test_bytes b = jet_test_le(v, 4);
    out.insert(out.end(), b.begin(), b.end());
}

jet_test_bytes sha1(const jet_test_bytes& a, const jet_test_bytes& b = {})
{
    jet_test_bytes data = a;
    data.insert(data.end(), b.begin(), b.end());
    jet_test_bytes out(EVP_MAX_MD_SIZE);
    unsigned int len = 0;
    if (EVP_Digest(data.data(), data.size(), out.data(), &len, EVP_sha1(), nullptr) != 1)
        throw std::runtime_error("SHA-1 failed");
    out.resize(len);
    return out;
}

// The RC4 key of block `block`: the first key_bits/8 bytes of
// SHA1(SHA1(salt || password) || LE32(block)); 40-bit keys zero-padded to
// 16 bytes (one source's rule, not checked against an Access-made file).
jet_test_bytes block_key(const jet_test_cryptoapi& o, uint32_t block)
{
    std::u16string pw = o.password.substr(0, 255);
    jet_test_bytes h0 = sha1(jet_test_bytes(o.salt, o.salt + 16), jet_test_utf16le(pw));
    jet_test_bytes k = sha1(h0, jet_test_le(block, 4));
    uint32_t bits = o.effective_key_bits();
    k.resize(bits / 8);
    if (bits == 40) k.resize(16, 0);
    return k;
}

}  // namespace

jet_test_bytes jet_test_le(uint64_t v, int n)
{
    jet_test_bytes out;
    for (int i = 0; i < n; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
    return out;
}

jet_test_bytes jet_test_utf16le(const std::u16string& s)
{
    jet_test_bytes out;
    for (char16_t c : s) put16(out, static_cast<uint16_t>(c));
    return out;
}

uint32_t jet_test_cryptoapi::effective_key_bits() const
{
    if (key_bits != 0) return key_bits;
    std::string lower;
    for (char16_t c : csp) lower += static_cast<char>(c < 128 ? std::tolower(static_cast<int>(c)) : '?');
    return lower.empty() || lower.find(" base ") != std::string::npos ? 40 : 128;
}

jet_test_bytes jet_test_read_file(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    return jet_test_bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void jet_test_write_file(const std::string& path, const jet_test_bytes& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

void jet_test_rc4(const uint8_t* key, size_t key_length, uint8_t* data, size_t length)
{
    uint8_t s[256];
    for (int i = 0; i < 256; ++i) s[i] = static_cast<uint8_t>(i);
    for (int i = 0, j = 0; i < 256; ++i) {
        j = (j + s[i] + key[static_cast<size_t>(i) % key_length]) & 0xFF;
        std::swap(s[i], s[j]);
    }
    int i = 0;
    int j = 0;
    for (size_t n = 0; n < length; ++n) {
        i = (i + 1) & 0xFF;
        j = (j + s[i]) & 0xFF;
        std::swap(s[i], s[j]);
        data[n] ^= s[(s[i] + s[j]) & 0xFF];
    }
}

size_t jet_test_page_size(const jet_test_bytes& file)
{
    if (file.size() < 0x200) throw std::runtime_error("not an Access file");
    return file[0x14] == 0 ? 2048 : 4096;
}

namespace {

// The header window from 0x18 is XORed with the keystream of RC4 keyed
// C7 DA 39 6B; `at` is an absolute offset in page 0.
uint8_t header_mask(size_t at)
{
    static const uint8_t k_mask_key[4] = {0xC7, 0xDA, 0x39, 0x6B};
    static const jet_test_bytes mask = [] {
        jet_test_bytes m(128, 0);
        jet_test_rc4(k_mask_key, 4, m.data(), m.size());
        return m;
    }();
    return mask.at(at - k_masked_at);
}

}  // namespace

void jet_test_set_db_key(jet_test_bytes& file, uint32_t db_key)
{
    for (size_t i = 0; i < 4; ++i)
        file[k_db_key_at + i] = static_cast<uint8_t>((db_key >> (8 * i)) ^ header_mask(k_db_key_at + i));
}

void jet_test_set_password(jet_test_bytes& file, const std::u16string& password, const std::string& ansi)
{
    constexpr size_t k_password_at = 0x42;
    constexpr size_t k_created_at = 0x72;
    const bool jet3 = file.at(0x14) == 0;
    jet_test_bytes field = jet3 ? jet_test_bytes(ansi.begin(), ansi.end()) : jet_test_utf16le(password);
    field.resize(jet3 ? 20 : 40, 0);
    if (!jet3) {
        uint8_t raw[8];
        for (size_t i = 0; i < 8; ++i) raw[i] = file[k_created_at + i] ^ header_mask(k_created_at + i);
        double created = 0;
        std::memcpy(&created, raw, sizeof created);
        const uint32_t seed = static_cast<uint32_t>(static_cast<int32_t>(created));
        for (size_t i = 0; i < field.size(); ++i) field[i] ^= static_cast<uint8_t>(seed >> (8 * (i % 4)));
    }
    for (size_t i = 0; i < field.size(); ++i) file[k_password_at + i] = field[i] ^ header_mask(k_password_at + i);
}

jet_test_bytes jet_test_cryptoapi_blob(const jet_test_cryptoapi& o, jet_test_blob_layout* layout)
{
    const uint32_t k_crypto_api = 0x04;
    jet_test_bytes header;        // EncryptionHeader
    put32(header, k_crypto_api);  // flags
    put32(header, 0);             // sizeExtra
    put32(header, o.alg_id);
    put32(header, 0x8004);  // SHA-1
    put32(header, o.key_bits);
    put32(header, 1);  // provider type: PROV_RSA_FULL
    put32(header, 0);
    put32(header, 0);
    jet_test_bytes csp = jet_test_utf16le(o.csp);
    header.insert(header.end(), csp.begin(), csp.end());
    put16(header, 0);

    jet_test_bytes blob;
    put16(blob, o.major);
    put16(blob, 2);
    put32(blob, k_crypto_api);
    put32(blob, static_cast<uint32_t>(header.size()));
    jet_test_blob_layout l;
    l.key_bits_at = blob.size() + 16;
    blob.insert(blob.end(), header.begin(), header.end());

    // EncryptionVerifier: the verifier and its SHA-1 under one RC4 stream
    // keyed with block 0.
    jet_test_bytes secret(o.verifier, o.verifier + 16);
    jet_test_bytes hash = sha1(secret);
    secret.insert(secret.end(), hash.begin(), hash.end());
    jet_test_bytes k = block_key(o, 0);
    jet_test_rc4(k.data(), k.size(), secret.data(), secret.size());
    l.verifier_at = blob.size();
    put32(blob, 16);
    blob.insert(blob.end(), o.salt, o.salt + 16);
    l.encrypted_verifier_at = blob.size();
    blob.insert(blob.end(), secret.begin(), secret.begin() + 16);
    put32(blob, 20);
    l.encrypted_hash_at = blob.size();
    blob.insert(blob.end(), secret.begin() + 16, secret.end());
    if (layout != nullptr) *layout = l;
    return blob;
}

jet_test_bytes jet_test_encrypt_cryptoapi(const jet_test_bytes& plain, const jet_test_cryptoapi& o,
                                          jet_test_blob_layout* layout)
{
    jet_test_bytes file = plain;
    const size_t page = jet_test_page_size(file);
    jet_test_bytes blob = jet_test_cryptoapi_blob(o, layout);
    if (file[0x14] < 2 || k_blob_at + blob.size() > page) throw std::runtime_error("not an .accdb or blob too big");
    jet_test_set_db_key(file, o.db_key);
    file[k_blob_length_at] = static_cast<uint8_t>(blob.size());
    file[k_blob_length_at + 1] = static_cast<uint8_t>(blob.size() >> 8);
    std::copy(blob.begin(), blob.end(), file.begin() + k_blob_at);
    for (size_t n = 1; n < file.size() / page; ++n) {
        jet_test_bytes k = block_key(o, o.db_key ^ static_cast<uint32_t>(n));
        jet_test_rc4(k.data(), k.size(), file.data() + n * page, page);
    }
    return file;
}

jet_test_bytes jet_test_encrypt_jet(const jet_test_bytes& plain, uint32_t db_key)
{
    jet_test_bytes file = plain;
    const size_t page = jet_test_page_size(file);
    jet_test_set_db_key(file, db_key);
    for (size_t n = 1; n < file.size() / page; ++n) {
        jet_test_bytes k = jet_test_le(db_key ^ static_cast<uint32_t>(n), 4);
        jet_test_rc4(k.data(), k.size(), file.data() + n * page, page);
    }
    return file;
}

jet_test_temp_dir::jet_test_temp_dir()
{
    const char* t = std::getenv("TMPDIR");
    std::string name = std::string(t != nullptr && *t != '\0' ? t : "/tmp") + "/tlvcryptXXXXXX";
    if (::mkdtemp(name.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = name;
}

jet_test_temp_dir::~jet_test_temp_dir()
{
    if (DIR* d = ::opendir(path_.c_str())) {
        while (dirent* e = ::readdir(d)) {
            std::string n = e->d_name;
            if (n != "." && n != "..") ::unlink(file(n).c_str());
        }
        ::closedir(d);
    }
    ::rmdir(path_.c_str());
}
