#include "jet_header.h"

#include <cmath>
#include <cstring>

#include "jet_error.h"
#include "jet_text.h"
#include "tk_logger.h"

namespace {

constexpr size_t k_masked_at = 0x18;
constexpr size_t k_mask_len = 128;

uint16_t le16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t le32(const uint8_t* p)
{
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

bool known_format_id(std::string_view id)
{
    return id.starts_with("Standard Jet DB") || id.starts_with("Standard ACE DB") || id.starts_with("Jet System DB") ||
           id.starts_with("Temp Jet DB");
}

std::u16string decode_password(const uint8_t* field, bool jet3, double created, uint16_t code_page)
{
    uint8_t bytes[40];
    size_t n = jet3 ? 20 : 40;
    std::memcpy(bytes, field, n);
    if (!jet3) {
        // Jet4 masks the password once more with the creation date.
        int32_t seed = static_cast<int32_t>(std::isfinite(created) && std::fabs(created) < 2e9 ? created : 0);
        uint8_t m[4] = {static_cast<uint8_t>(seed), static_cast<uint8_t>(seed >> 8), static_cast<uint8_t>(seed >> 16),
                        static_cast<uint8_t>(seed >> 24)};
        for (size_t i = 0; i < n; ++i) bytes[i] ^= m[i % 4];
    }
    std::u16string out;
    if (jet3) {
        size_t len = 0;
        while (len < n && bytes[len] != 0) ++len;
        return jet_text_decoder(code_page).decode(bytes, len);
    }
    out = jet_decode_unicode(bytes, n);
    size_t nul = out.find(u'\0');
    if (nul != std::u16string::npos) out.resize(nul);
    return out;
}

}  // namespace

const uint8_t* jet_header::mask()
{
    static const uint8_t* k_mask = [] {
        static uint8_t m[k_mask_len] = {};
        static const uint8_t k_key[4] = {0xC7, 0xDA, 0x39, 0x6B};
        jet_rc4(k_key, 4).apply(m, k_mask_len);
        return m;
    }();
    return k_mask;
}

jet_header jet_header::parse(const uint8_t* page0, size_t length, std::u16string_view file_name)
{
    if (length < 0x200 || page0[0] != 0) throw jet_error(jet_err_unrecognized_format, file_name);
    jet_header h;
    h.format_id.assign(reinterpret_cast<const char*>(page0 + 4), 15);
    if (!known_format_id(h.format_id) || page0[0x14] > 6) throw jet_error(jet_err_unrecognized_format, file_name);
    h.format = static_cast<jet_format>(page0[0x14]);
    h.page_size = h.is_jet3() ? 2048 : 4096;

    uint8_t plain[k_mask_len];
    std::memcpy(plain, page0 + k_masked_at, k_mask_len);
    const uint8_t* m = mask();
    size_t masked = h.is_jet3() ? 126 : 128;
    for (size_t i = 0; i < masked; ++i) plain[i] ^= m[i];
    auto at = [&](size_t offset) { return plain + (offset - k_masked_at); };

    h.code_page = le16(at(0x3C));
    h.db_key = le32(at(0x3E));
    if (h.is_jet3()) {
        h.lcid = le16(at(0x3A));
    } else {
        h.lcid = le16(at(0x6E));
        h.sort_version = at(0x71)[0];
        std::memcpy(&h.creation_date, at(0x72), sizeof(double));
    }
    h.password = decode_password(at(0x42), h.is_jet3(), h.creation_date, h.text_code_page());

    if (!h.is_jet3() && h.format >= jet_format::ace12 && h.db_key != 0) {
        // An encrypted .accdb: the blob lies outside the masked window.
        if (length < 0x29B) throw jet_error(jet_err_unrecognized_format, file_name);
        size_t blob_len = le16(page0 + 0x299);
        if (blob_len == 0 || 0x29B + blob_len > length || 0x29B + blob_len > h.page_size)
            throw jet_error(jet_err_unrecognized_format, file_name);
        h.encryption.assign(page0 + 0x29B, page0 + 0x29B + blob_len);
    }
    tk_trace(1, "jet_header::parse: %s, code page %d, lcid %04X, key %08X, encrypted %d", h.format_name(), h.code_page,
             h.lcid, h.db_key, h.is_encrypted_accdb() ? 1 : 0);
    return h;
}

uint16_t jet_header::text_code_page() const
{
    return code_page != 0 ? code_page : jet_code_page_for_lcid(lcid);
}

const char* jet_header::format_name() const
{
    switch (format) {
    case jet_format::jet3: return "Jet3";
    case jet_format::jet4: return "Jet4";
    case jet_format::ace12: return "ACE12";
    case jet_format::ace14: return "ACE14";
    case jet_format::ace15: return "ACE15";
    case jet_format::ace16: return "ACE16";
    case jet_format::ace17: return "ACE17";
    }
    return "unknown";
}
