#include "jet_crypto.h"

#include <openssl/evp.h>

#include <algorithm>
#include <cctype>
#include <cstring>

#include "jet_error.h"
#include "tk_logger.h"

namespace {

using byte_view = std::basic_string_view<uint8_t>;

byte_view view(const jet_bytes& b)
{
    return byte_view(b.data(), b.size());
}

uint32_t le32(const uint8_t* p)
{
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

jet_bytes le32_bytes(uint32_t v)
{
    return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
            static_cast<uint8_t>(v >> 24)};
}

jet_bytes utf16le(std::u16string_view s)
{
    jet_bytes out;
    out.reserve(s.size() * 2);
    for (char16_t c : s) {
        out.push_back(static_cast<uint8_t>(c));
        out.push_back(static_cast<uint8_t>(c >> 8));
    }
    return out;
}

// Cut to `n` bytes, or pad with 0x36 up to `n`.
jet_bytes fit(jet_bytes b, size_t n)
{
    b.resize(n, 0x36);
    return b;
}

[[noreturn]] void unsupported(std::u16string_view file)
{
    throw jet_error(jet_err_unrecognized_format, file);
}

struct cipher_ctx_deleter {
    void operator()(EVP_CIPHER_CTX* c) const { EVP_CIPHER_CTX_free(c); }
};

const EVP_CIPHER* aes_cbc(int key_bits)
{
    switch (key_bits) {
    case 128: return EVP_aes_128_cbc();
    case 192: return EVP_aes_192_cbc();
    case 256: return EVP_aes_256_cbc();
    default: return nullptr;
    }
}

// AES-CBC decryption without padding; `in` is a multiple of the block size.
bool aes_cbc_decrypt(const EVP_CIPHER* cipher, const jet_bytes& key, const uint8_t* iv, const uint8_t* in, size_t n,
                     uint8_t* out)
{
    std::unique_ptr<EVP_CIPHER_CTX, cipher_ctx_deleter> ctx(EVP_CIPHER_CTX_new());
    int len = 0;
    int tail = 0;
    return ctx && EVP_DecryptInit_ex(ctx.get(), cipher, nullptr, key.data(), iv) == 1 &&
           EVP_CIPHER_CTX_set_padding(ctx.get(), 0) == 1 &&
           EVP_DecryptUpdate(ctx.get(), out, &len, in, static_cast<int>(n)) == 1 &&
           EVP_DecryptFinal_ex(ctx.get(), out + len, &tail) == 1;
}

jet_bytes base64(std::string_view text)
{
    jet_bytes out(text.size() / 4 * 3 + 3);
    int n =
        EVP_DecodeBlock(out.data(), reinterpret_cast<const unsigned char*>(text.data()), static_cast<int>(text.size()));
    if (n < 0) return {};
    size_t pad = 0;
    for (size_t i = text.size(); i > 0 && text[i - 1] == '='; --i) ++pad;
    out.resize(static_cast<size_t>(n) - std::min<size_t>(pad, static_cast<size_t>(n)));
    return out;
}

// The value of attribute `name` in the first element named `element` (any
// namespace prefix) of the XML text; empty when absent.
std::string xml_attribute(std::string_view xml, std::string_view element, std::string_view name)
{
    size_t pos = 0;
    while ((pos = xml.find(element, pos)) != std::string_view::npos) {
        char before = pos > 0 ? xml[pos - 1] : ' ';
        char after = pos + element.size() < xml.size() ? xml[pos + element.size()] : ' ';
        if ((before == '<' || before == ':') && (after == ' ' || after == '\t' || after == '\r' || after == '\n'))
            break;
        pos += element.size();
    }
    if (pos == std::string_view::npos) return {};
    size_t end = xml.find('>', pos);
    std::string_view tag = xml.substr(pos, end == std::string_view::npos ? xml.npos : end - pos);
    std::string key = " " + std::string(name) + "=\"";
    size_t a = tag.find(key);
    if (a == std::string_view::npos) {
        key[0] = '\n';
        a = tag.find(key);
    }
    if (a == std::string_view::npos) return {};
    a += key.size();
    size_t b = tag.find('"', a);
    return b == std::string_view::npos ? std::string() : std::string(tag.substr(a, b - a));
}

std::string digest_name(const std::string& office_name)
{
    if (office_name == "SHA1" || office_name == "SHA-1") return "SHA1";
    if (office_name == "SHA256") return "SHA256";
    if (office_name == "SHA384") return "SHA384";
    if (office_name == "SHA512") return "SHA512";
    if (office_name == "MD5") return "MD5";
    return {};
}

struct agile_params {
    std::string hash;
    jet_bytes salt;
    size_t block_size = 16;
    int key_bits = 0;
};

agile_params read_params(std::string_view xml, std::string_view element)
{
    agile_params p;
    p.hash = digest_name(xml_attribute(xml, element, "hashAlgorithm"));
    p.salt = base64(xml_attribute(xml, element, "saltValue"));
    p.block_size = static_cast<size_t>(std::atoi(xml_attribute(xml, element, "blockSize").c_str()));
    p.key_bits = std::atoi(xml_attribute(xml, element, "keyBits").c_str());
    return p;
}

class agile_cipher : public jet_page_cipher {
public:
    agile_cipher(const EVP_CIPHER* cipher, jet_bytes key, agile_params data, uint32_t db_key)
        : cipher_(cipher), key_(std::move(key)), data_(std::move(data)), db_key_(db_key)
    {}

    void decrypt_page(uint32_t number, uint8_t* page, size_t size) const override
    {
        jet_bytes block = le32_bytes(db_key_ ^ number);
        jet_bytes iv = fit(jet_hash(data_.hash, {view(data_.salt), view(block)}), data_.block_size);
        std::vector<uint8_t> out(size);
        if (!aes_cbc_decrypt(cipher_, key_, iv.data(), page, size, out.data())) throw jet_error(jet_err_disk_error);
        std::memcpy(page, out.data(), size);
    }

private:
    const EVP_CIPHER* cipher_;
    jet_bytes key_;
    agile_params data_;
    uint32_t db_key_;
};

std::unique_ptr<jet_page_cipher> make_agile(const jet_bytes& blob, uint32_t db_key, std::u16string_view password,
                                            std::u16string_view file)
{
    if (blob.size() < 8) unsupported(file);
    std::string_view xml(reinterpret_cast<const char*>(blob.data()) + 8, blob.size() - 8);
    agile_params data = read_params(xml, "keyData");
    agile_params enc = read_params(xml, "encryptedKey");
    int spin = std::atoi(xml_attribute(xml, "encryptedKey", "spinCount").c_str());
    jet_bytes v_input = base64(xml_attribute(xml, "encryptedKey", "encryptedVerifierHashInput"));
    jet_bytes v_value = base64(xml_attribute(xml, "encryptedKey", "encryptedVerifierHashValue"));
    jet_bytes k_value = base64(xml_attribute(xml, "encryptedKey", "encryptedKeyValue"));
    const EVP_CIPHER* enc_cipher = aes_cbc(enc.key_bits);
    const EVP_CIPHER* data_cipher = aes_cbc(data.key_bits);
    if (data.hash.empty() || enc.hash.empty() || enc_cipher == nullptr || data_cipher == nullptr || spin < 0 ||
        spin > 10000000 || enc.salt.size() < 16 || data.salt.empty() || enc.block_size != 16 || data.block_size != 16 ||
        v_input.empty() || v_input.size() % 16 != 0 || v_value.empty() || v_value.size() % 16 != 0 || k_value.empty() ||
        k_value.size() % 16 != 0)
        unsupported(file);

    jet_bytes pw = utf16le(password.substr(0, 255));
    jet_bytes h = jet_hash_spin(enc.hash, jet_hash(enc.hash, {view(enc.salt), view(pw)}), spin);
    size_t key_len = static_cast<size_t>(enc.key_bits) / 8;
    auto derive = [&](const jet_bytes& block) { return fit(jet_hash(enc.hash, {view(h), view(block)}), key_len); };
    auto decrypt = [&](const jet_bytes& block, const jet_bytes& in) {
        jet_bytes out(in.size());
        if (!aes_cbc_decrypt(enc_cipher, derive(block), enc.salt.data(), in.data(), in.size(), out.data()))
            unsupported(file);
        return out;
    };
    static const jet_bytes k_verifier_input = {0xFE, 0xA7, 0xD2, 0x76, 0x3B, 0x4B, 0x9E, 0x79};
    static const jet_bytes k_verifier_value = {0xD7, 0xAA, 0x0F, 0x6D, 0x30, 0x61, 0x34, 0x4E};
    static const jet_bytes k_key_value = {0x14, 0x6E, 0x0B, 0xE7, 0xAB, 0xAC, 0xD0, 0xD6};

    jet_bytes input = decrypt(k_verifier_input, v_input);
    input.resize(std::min(input.size(), enc.salt.size()));
    jet_bytes expected = jet_hash(enc.hash, {view(input)});
    jet_bytes stored = decrypt(k_verifier_value, v_value);
    if (stored.size() < expected.size() || !std::equal(expected.begin(), expected.end(), stored.begin()))
        throw jet_error(jet_err_invalid_password);
    jet_bytes key = decrypt(k_key_value, k_value);
    if (key.size() < static_cast<size_t>(data.key_bits) / 8) unsupported(file);
    key.resize(static_cast<size_t>(data.key_bits) / 8);
    tk_trace(1, "jet_page_cipher: agile, key bits %d, hash %s", data.key_bits, data.hash);
    return std::make_unique<agile_cipher>(data_cipher, std::move(key), std::move(data), db_key);
}

// True when the CryptoAPI provider named (UTF-16LE, NUL-terminated) in
// blob[from, to) is absent or a "base" provider, whose default RC4 key is
// 40 bits; stronger providers default to 128. The name is compared without
// regard to case or surrounding blanks.
bool base_provider(const jet_bytes& blob, size_t from, size_t to)
{
    std::string name;
    for (size_t i = from; i + 1 < to; i += 2) {
        char16_t c = static_cast<char16_t>(blob[i] | (blob[i + 1] << 8));
        if (c == 0) break;
        name += c < 0x80 ? static_cast<char>(std::tolower(static_cast<int>(c))) : '?';
    }
    size_t first = name.find_first_not_of(' ');
    if (first == std::string::npos) return true;
    name = name.substr(first, name.find_last_not_of(' ') - first + 1);
    return name.find(" base ") != std::string::npos;
}

class cryptoapi_cipher : public jet_page_cipher {
public:
    cryptoapi_cipher(jet_bytes h0, size_t key_len, uint32_t db_key)
        : h0_(std::move(h0)), key_len_(key_len), db_key_(db_key)
    {}

    jet_bytes block_key(uint32_t block) const
    {
        jet_bytes b = le32_bytes(block);
        jet_bytes k = jet_hash("SHA1", {view(h0_), view(b)});
        k.resize(key_len_);
        // A 40-bit key is zero-padded to a 16-byte RC4 key. One published
        // implementation does so and another keeps the 5 bytes; no file
        // written by Access has confirmed either, so this stays unverified.
        if (key_len_ == 5) k.resize(16, 0);
        return k;
    }

    void decrypt_page(uint32_t number, uint8_t* page, size_t size) const override
    {
        jet_bytes k = block_key(db_key_ ^ number);
        jet_rc4(k.data(), k.size()).apply(page, size);
    }

private:
    jet_bytes h0_;
    size_t key_len_;
    uint32_t db_key_;
};

std::unique_ptr<jet_page_cipher> make_cryptoapi(const jet_bytes& blob, uint32_t db_key, std::u16string_view password,
                                                std::u16string_view file)
{
    if (blob.size() < 12) unsupported(file);
    uint32_t header_size = le32(&blob[8]);
    size_t header = 12;
    if (header_size < 32 || header_size > blob.size() - header) unsupported(file);
    uint32_t header_flags = le32(&blob[header]);
    uint32_t alg = le32(&blob[header + 8]);
    uint32_t alg_hash = le32(&blob[header + 12]);
    uint32_t key_bits = le32(&blob[header + 16]);
    // Algorithm and hash 0 leave the choice to the flags: RC4 and SHA-1 for
    // CryptoAPI without AES, an external provider (unsupported) otherwise.
    const bool external = (header_flags & 0x10) != 0;
    if (alg == 0 && (header_flags & 0x04) && !(header_flags & 0x20) && !external) alg = 0x6801;
    if (alg_hash == 0 && !external) alg_hash = 0x8004;
    if (key_bits == 0) key_bits = base_provider(blob, header + 32, header + header_size) ? 40 : 128;
    if (alg != 0x6801 || alg_hash != 0x8004 || key_bits < 40 || key_bits > 512 || key_bits % 8) unsupported(file);
    size_t v = header + header_size;
    if (blob.size() < v + 4 + 16 + 16 + 4 + 20 || le32(&blob[v]) != 16) unsupported(file);
    jet_bytes salt(blob.begin() + v + 4, blob.begin() + v + 20);
    jet_bytes verifier(blob.begin() + v + 20, blob.begin() + v + 36);
    uint32_t hash_size = le32(&blob[v + 36]);
    if (hash_size != 20) unsupported(file);
    jet_bytes verifier_hash(blob.begin() + v + 40, blob.begin() + v + 60);

    jet_bytes pw = utf16le(password.substr(0, 255));
    auto cipher = std::make_unique<cryptoapi_cipher>(jet_hash("SHA1", {view(salt), view(pw)}), key_bits / 8, db_key);
    jet_bytes k = cipher->block_key(0);
    jet_rc4 rc4(k.data(), k.size());
    rc4.apply(verifier.data(), verifier.size());
    rc4.apply(verifier_hash.data(), verifier_hash.size());
    if (jet_hash("SHA1", {view(verifier)}) != verifier_hash) throw jet_error(jet_err_invalid_password);
    tk_trace(1, "jet_page_cipher: RC4 CryptoAPI, key bits %d", key_bits);
    return cipher;
}

}  // namespace

jet_rc4::jet_rc4(const uint8_t* key, size_t length)
{
    for (int i = 0; i < 256; ++i) s_[i] = static_cast<uint8_t>(i);
    uint8_t j = 0;
    for (int i = 0; i < 256; ++i) {
        j = static_cast<uint8_t>(j + s_[i] + key[static_cast<size_t>(i) % length]);
        std::swap(s_[i], s_[j]);
    }
}

void jet_rc4::apply(uint8_t* data, size_t length)
{
    for (size_t n = 0; n < length; ++n) {
        i_ = static_cast<uint8_t>(i_ + 1);
        j_ = static_cast<uint8_t>(j_ + s_[i_]);
        std::swap(s_[i_], s_[j_]);
        data[n] ^= s_[static_cast<uint8_t>(s_[i_] + s_[j_])];
    }
}

jet_bytes jet_hash(const std::string& algorithm, std::initializer_list<std::basic_string_view<uint8_t>> parts)
{
    EVP_MD* md = EVP_MD_fetch(nullptr, algorithm.c_str(), nullptr);
    if (md == nullptr) throw jet_error(jet_err_unrecognized_format, u"");
    EVP_MD_CTX* ctx = EVP_MD_CTX_new();
    jet_bytes out(static_cast<size_t>(EVP_MD_get_size(md)));
    unsigned int len = 0;
    bool ok = ctx != nullptr && EVP_DigestInit_ex(ctx, md, nullptr) == 1;
    for (auto p : parts) ok = ok && EVP_DigestUpdate(ctx, p.data(), p.size()) == 1;
    ok = ok && EVP_DigestFinal_ex(ctx, out.data(), &len) == 1;
    EVP_MD_CTX_free(ctx);
    EVP_MD_free(md);
    if (!ok) throw jet_error(jet_err_unrecognized_format, u"");
    out.resize(len);
    return out;
}

jet_bytes jet_hash_spin(const std::string& algorithm, jet_bytes h, int spin)
{
    EVP_MD* md = EVP_MD_fetch(nullptr, algorithm.c_str(), nullptr);
    EVP_MD_CTX* ctx = EVP_MD_CTX_new();
    bool ok = md != nullptr && ctx != nullptr && h.size() == static_cast<size_t>(EVP_MD_get_size(md));
    unsigned int len = 0;
    for (int i = 0; ok && i < spin; ++i) {
        const uint8_t n[4] = {static_cast<uint8_t>(i), static_cast<uint8_t>(i >> 8), static_cast<uint8_t>(i >> 16),
                              static_cast<uint8_t>(i >> 24)};
        ok = EVP_DigestInit_ex(ctx, md, nullptr) == 1 && EVP_DigestUpdate(ctx, n, sizeof n) == 1 &&
             EVP_DigestUpdate(ctx, h.data(), h.size()) == 1 && EVP_DigestFinal_ex(ctx, h.data(), &len) == 1 &&
             len == h.size();
    }
    EVP_MD_CTX_free(ctx);
    EVP_MD_free(md);
    if (!ok) throw jet_error(jet_err_unrecognized_format, u"");
    return h;
}

jet_page_cipher::~jet_page_cipher() = default;

std::unique_ptr<jet_page_cipher> jet_page_cipher::for_accdb(const jet_bytes& blob, uint32_t db_key,
                                                            std::u16string_view password, std::u16string_view file)
{
    if (blob.size() < 8) unsupported(file);
    uint16_t major = static_cast<uint16_t>(blob[0] | (blob[1] << 8));
    uint16_t minor = static_cast<uint16_t>(blob[2] | (blob[3] << 8));
    uint32_t flags = le32(&blob[4]);
    tk_trace(1, "jet_page_cipher::for_accdb: version %d.%d, flags %08X", major, minor, flags);
    if (major == 4 && minor == 4) return make_agile(blob, db_key, password, file);
    if (minor == 2 && (major >= 2 && major <= 4) && (flags & 0x04) && !(flags & 0x20))
        return make_cryptoapi(blob, db_key, password, file);
    unsupported(file);
}

namespace {

jet_bytes des_ede(const jet_bytes& in, bool encrypt)
{
    static const uint8_t k_key[16] = {'k', 'j', 'h', 'g', 'g', 'a', 'u', 't', 'n', 'i', 't', 'r', 'e', 'm', 'v', 'k'};
    jet_bytes data = in;
    data.resize((data.size() + 7) / 8 * 8, 0);
    jet_bytes out(data.size() + 8);
    std::unique_ptr<EVP_CIPHER_CTX, cipher_ctx_deleter> ctx(EVP_CIPHER_CTX_new());
    int len = 0;
    int tail = 0;
    if (!ctx || EVP_CipherInit_ex(ctx.get(), EVP_des_ede_ecb(), nullptr, k_key, nullptr, encrypt ? 1 : 0) != 1 ||
        EVP_CIPHER_CTX_set_padding(ctx.get(), 0) != 1 ||
        EVP_CipherUpdate(ctx.get(), out.data(), &len, data.data(), static_cast<int>(data.size())) != 1 ||
        EVP_CipherFinal_ex(ctx.get(), out.data() + len, &tail) != 1)
        throw jet_error(jet_err_sysdb_open);
    out.resize(static_cast<size_t>(len + tail));
    return out;
}

}  // namespace

jet_bytes jet_workgroup_cipher::encipher(const jet_bytes& plain)
{
    return des_ede(plain, true);
}

jet_bytes jet_workgroup_cipher::decipher(const jet_bytes& stored)
{
    return des_ede(stored, false);
}
