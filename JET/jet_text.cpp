#include "jet_text.h"

#include <iconv.h>

#include <cerrno>
#include <string>

namespace {

const iconv_t k_no_iconv = reinterpret_cast<iconv_t>(-1);

// Opens a converter for the Windows code page `cp`, trying the names glibc
// knows it by.
iconv_t open_code_page(uint16_t cp, bool to_utf16)
{
    const std::string name = jet_code_page_iconv_name(cp);
    if (name.empty()) return k_no_iconv;
    return to_utf16 ? iconv_open("UTF-16LE", name.c_str()) : iconv_open(name.c_str(), "UTF-16LE");
}

bool is_multi_byte(uint16_t cp)
{
    return cp == 932 || cp == 936 || cp == 949 || cp == 950 || cp == 1361 || cp == 65001;
}

// Runs iconv over the whole input; an undecodable byte becomes `bad` and is
// skipped, so a damaged text still yields everything around it.
std::string run_iconv(iconv_t cd, const char* in, size_t n, const char* bad, size_t bad_len, size_t unit)
{
    std::string out;
    out.resize(n * 4 + 8);
    char* src = const_cast<char*>(in);
    size_t left = n;
    char* dst = out.data();
    size_t room = out.size();
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    while (left > 0) {
        if (iconv(cd, &src, &left, &dst, &room) != static_cast<size_t>(-1)) break;
        if (errno == E2BIG) {
            size_t used = out.size() - room;
            out.resize(out.size() * 2);
            dst = out.data() + used;
            room = out.size() - used;
            continue;
        }
        // EILSEQ or EINVAL: replace one input unit and go on.
        if (room < bad_len) continue;
        for (size_t i = 0; i < bad_len; ++i) *dst++ = bad[i];
        room -= bad_len;
        size_t skip = left < unit ? left : unit;
        src += skip;
        left -= skip;
    }
    out.resize(out.size() - room);
    return out;
}

}  // namespace

std::u16string jet_decode_unicode(const uint8_t* p, size_t n)
{
    std::u16string out;
    if (n >= 2 && p[0] == 0xFF && p[1] == 0xFE) {
        out.reserve(n);
        bool compressed = true;
        size_t i = 2;
        while (i < n) {
            if (p[i] == 0) {
                compressed = !compressed;
                ++i;
            } else if (compressed) {
                out += static_cast<char16_t>(p[i++]);
            } else if (n - i >= 2) {
                out += static_cast<char16_t>(p[i] | (p[i + 1] << 8));
                i += 2;
            } else {
                break;
            }
        }
        return out;
    }
    out.resize(n / 2);
    for (size_t i = 0; i < n / 2; ++i) out[i] = static_cast<char16_t>(p[2 * i] | (p[2 * i + 1] << 8));
    return out;
}

std::string jet_code_page_iconv_name(uint16_t cp)
{
    if (cp == 0) return {};
    const std::string names[] = {"CP" + std::to_string(cp), "WINDOWS-" + std::to_string(cp)};
    for (const std::string& name : names) {
        iconv_t to = iconv_open("UTF-16LE", name.c_str());
        if (to == k_no_iconv) continue;
        iconv_close(to);
        iconv_t from = iconv_open(name.c_str(), "UTF-16LE");
        if (from == k_no_iconv) continue;
        iconv_close(from);
        return name;
    }
    return {};
}

uint16_t jet_code_page_for_lcid(uint16_t lcid)
{
    switch (lcid & 0x3FF) {  // the primary language decides
    case 0x19:
    case 0x22:
    case 0x23:
    case 0x02:
    case 0x2F: return 1251;
    case 0x05:
    case 0x0E:
    case 0x15:
    case 0x18:
    case 0x1B:
    case 0x24:
    case 0x1C: return 1250;
    case 0x08: return 1253;
    case 0x1F: return 1254;
    case 0x0D: return 1255;
    case 0x01:
    case 0x29:
    case 0x20: return 1256;
    case 0x25:
    case 0x26:
    case 0x27: return 1257;
    case 0x2A: return 1258;
    case 0x11: return 932;
    case 0x12: return 949;
    case 0x1E: return 874;
    case 0x04: return (lcid == 0x0404 || lcid == 0x0C04 || lcid == 0x1404) ? 950 : 936;
    default: return 1252;
    }
}

jet_text_decoder::jet_text_decoder(uint16_t code_page) : code_page_(code_page == 0 ? 1252 : code_page)
{
    iconv_t to = open_code_page(code_page_, true);
    if (to == k_no_iconv) {
        code_page_ = 1252;
        to = open_code_page(code_page_, true);
    }
    iconv_t from = open_code_page(code_page_, false);
    single_byte_ = !is_multi_byte(code_page_);
    if (single_byte_) {
        for (int b = 0; b < 256; ++b) {
            char in = static_cast<char>(b);
            std::string u = run_iconv(to, &in, 1, "\xFD\xFF", 2, 1);
            table_[b] = u.size() >= 2
                            ? static_cast<char16_t>(static_cast<uint8_t>(u[0]) | (static_cast<uint8_t>(u[1]) << 8))
                            : u'\xFFFD';
        }
        iconv_close(to);
    } else {
        to_utf16_ = to;
    }
    from_utf16_ = from == k_no_iconv ? nullptr : from;
}

jet_text_decoder::~jet_text_decoder()
{
    if (to_utf16_ != nullptr) iconv_close(static_cast<iconv_t>(to_utf16_));
    if (from_utf16_ != nullptr) iconv_close(static_cast<iconv_t>(from_utf16_));
}

std::u16string jet_text_decoder::decode(const uint8_t* p, size_t n) const
{
    std::u16string out;
    if (single_byte_) {
        out.resize(n);
        for (size_t i = 0; i < n; ++i) out[i] = table_[p[i]];
        return out;
    }
    std::string u = run_iconv(static_cast<iconv_t>(to_utf16_), reinterpret_cast<const char*>(p), n, "\xFD\xFF", 2, 1);
    return jet_decode_unicode(reinterpret_cast<const uint8_t*>(u.data()), u.size());
}

std::string jet_text_decoder::encode(std::u16string_view text) const
{
    if (from_utf16_ == nullptr) {
        std::string out;
        for (char16_t c : text) out += c < 0x80 ? static_cast<char>(c) : '?';
        return out;
    }
    std::string bytes;
    for (char16_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    return run_iconv(static_cast<iconv_t>(from_utf16_), bytes.data(), bytes.size(), "?", 1, 2);
}
