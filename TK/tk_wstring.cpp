#include "tk_wstring.h"

#include <iconv.h>
#include <langinfo.h>
#include <strings.h>

#include <cerrno>
#include <cstring>

#include <unicode/uchar.h>
#include <unicode/ustring.h>

#include "tk_logger.h"

namespace {

constexpr char16_t k_replacement = 0xFFFD;

bool is_high(char16_t c)
{
    return c >= 0xD800 && c <= 0xDBFF;
}
bool is_low(char16_t c)
{
    return c >= 0xDC00 && c <= 0xDFFF;
}

void put_utf8(char32_t cp, std::string& out)
{
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | (cp >> 18));
        out += char(0x80 | ((cp >> 12) & 0x3F));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

void put_utf16(char32_t cp, std::u16string& out)
{
    if (cp < 0x10000) {
        out += char16_t(cp);
    } else {
        cp -= 0x10000;
        out += char16_t(0xD800 + (cp >> 10));
        out += char16_t(0xDC00 + (cp & 0x3FF));
    }
}

// UTF-16 → UTF-8. A lone surrogate fails, or becomes U+FFFD when `lenient`.
bool utf16_to_utf8(std::u16string_view in, std::string& out, bool lenient)
{
    out.clear();
    out.reserve(in.size() + in.size() / 2);
    for (size_t i = 0; i < in.size(); ++i) {
        char16_t c = in[i];
        if (c < 0x80) {
            out += char(c);
            continue;
        }
        char32_t cp = c;
        if (is_high(c) && i + 1 < in.size() && is_low(in[i + 1])) {
            cp = 0x10000 + ((char32_t(c) - 0xD800) << 10) + (char32_t(in[i + 1]) - 0xDC00);
            ++i;
        } else if (is_high(c) || is_low(c)) {
            if (!lenient) return false;
            cp = k_replacement;
        }
        put_utf8(cp, out);
    }
    return true;
}

// Decodes one UTF-8 sequence at `i`; returns false for an invalid one
// (overlong forms, surrogates and values above U+10FFFF included).
bool next_utf8(std::string_view in, size_t& i, char32_t& cp)
{
    unsigned char b = static_cast<unsigned char>(in[i]);
    int extra;
    char32_t min;
    if (b < 0x80) {
        cp = b;
        ++i;
        return true;
    } else if (b >= 0xC2 && b <= 0xDF) {
        extra = 1, cp = b & 0x1F, min = 0x80;
    } else if (b >= 0xE0 && b <= 0xEF) {
        extra = 2, cp = b & 0x0F, min = 0x800;
    } else if (b >= 0xF0 && b <= 0xF4) {
        extra = 3, cp = b & 0x07, min = 0x10000;
    } else {
        return false;
    }
    if (i + size_t(extra) >= in.size()) return false;
    for (int k = 1; k <= extra; ++k) {
        unsigned char t = static_cast<unsigned char>(in[i + k]);
        if ((t & 0xC0) != 0x80) return false;
        cp = (cp << 6) | (t & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += size_t(extra) + 1;
    return true;
}

bool utf8_to_utf16(std::string_view in, std::u16string& out, bool lenient)
{
    out.clear();
    out.reserve(in.size());
    size_t i = 0;
    while (i < in.size()) {
        char32_t cp;
        if (next_utf8(in, i, cp)) {
            put_utf16(cp, out);
        } else {
            if (!lenient) return false;
            out += k_replacement;
            ++i;
        }
    }
    return true;
}

// The locale's narrow encoding. The C/POSIX locale announces ASCII; we
// read and write UTF-8 there, as most current tools do, rather than
// mangling every non-ASCII name.
enum class narrow_kind { utf8, other };

narrow_kind current_narrow(const char*& codeset)
{
    codeset = nl_langinfo(CODESET);
    if (codeset == nullptr || *codeset == '\0') return narrow_kind::utf8;
    if (strcasecmp(codeset, "UTF-8") == 0 || strcasecmp(codeset, "UTF8") == 0 ||
        strcasecmp(codeset, "ANSI_X3.4-1968") == 0 || strcasecmp(codeset, "ASCII") == 0)
        return narrow_kind::utf8;
    return narrow_kind::other;
}

class iconv_handle {
public:
    iconv_handle(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~iconv_handle()
    {
        if (ok()) iconv_close(cd_);
    }
    iconv_handle(const iconv_handle&) = delete;
    iconv_handle& operator=(const iconv_handle&) = delete;
    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t get() const { return cd_; }

private:
    iconv_t cd_;
};

// UTF-16 → a single- or multi-byte locale encoding; characters the
// encoding lacks become '?'.
bool wide_to_codeset(std::u16string_view in, const char* codeset, std::string& out)
{
    iconv_handle h(codeset, "UTF-16LE");
    if (!h.ok()) return false;
    out.clear();
    size_t i = 0;
    char buf[16];
    while (i < in.size()) {
        size_t units = (is_high(in[i]) && i + 1 < in.size() && is_low(in[i + 1])) ? 2 : 1;
        if (units == 1 && (is_high(in[i]) || is_low(in[i]))) return false;
        char src[4];
        for (size_t k = 0; k < units; ++k) {
            src[2 * k] = char(in[i + k] & 0xFF);
            src[2 * k + 1] = char(in[i + k] >> 8);
        }
        char* ip = src;
        size_t il = units * 2;
        char* op = buf;
        size_t ol = sizeof buf;
        if (iconv(h.get(), &ip, &il, &op, &ol) == size_t(-1)) {
            if (errno != EILSEQ) return false;
            out += '?';
        } else {
            out.append(buf, size_t(op - buf));
        }
        i += units;
    }
    return true;
}

bool codeset_to_wide(std::string_view in, const char* codeset, std::u16string& out)
{
    iconv_handle h("UTF-16LE", codeset);
    if (!h.ok()) return false;
    std::string tmp(in.size() * 4 + 8, '\0');
    char* ip = const_cast<char*>(in.data());
    size_t il = in.size();
    char* op = tmp.data();
    size_t ol = tmp.size();
    if (iconv(h.get(), &ip, &il, &op, &ol) == size_t(-1)) return false;
    size_t bytes = size_t(op - tmp.data());
    out.resize(bytes / 2);
    for (size_t k = 0; k < out.size(); ++k)
        out[k] = char16_t(static_cast<unsigned char>(tmp[2 * k]) | (static_cast<unsigned char>(tmp[2 * k + 1]) << 8));
    return true;
}

template <class Ch>
std::basic_string<Ch> trim_left_impl(std::basic_string_view<Ch> s)
{
    size_t b = 0;
    while (b < s.size() && s[b] == Ch(' ')) ++b;
    return std::basic_string<Ch>(s.substr(b));
}

}  // namespace

bool tk_wide_to_utf8(std::u16string_view in, std::string& out)
{
    return utf16_to_utf8(in, out, false);
}
bool tk_utf8_to_wide(std::string_view in, std::u16string& out)
{
    return utf8_to_utf16(in, out, false);
}

bool tk_wide_to_ansi(std::u16string_view in, std::string& out)
{
    const char* codeset;
    if (current_narrow(codeset) == narrow_kind::utf8) return utf16_to_utf8(in, out, false);
    return wide_to_codeset(in, codeset, out);
}

bool tk_ansi_to_wide(std::string_view in, std::u16string& out)
{
    const char* codeset;
    if (current_narrow(codeset) == narrow_kind::utf8) return utf8_to_utf16(in, out, false);
    return codeset_to_wide(in, codeset, out);
}

std::string tk_to_utf8(std::u16string_view in)
{
    std::string out;
    utf16_to_utf8(in, out, true);
    return out;
}

std::u16string tk_from_utf8(std::string_view in)
{
    std::u16string out;
    utf8_to_utf16(in, out, true);
    return out;
}

std::string tk_to_ansi(std::u16string_view in)
{
    const char* codeset;
    if (current_narrow(codeset) == narrow_kind::utf8) return tk_to_utf8(in);
    std::string out;
    if (wide_to_codeset(in, codeset, out)) return out;
    // Lone surrogates or a missing converter: keep what ASCII we can.
    out.clear();
    for (char16_t c : in) out += c < 0x80 ? char(c) : '?';
    return out;
}

std::u16string tk_from_ansi(std::string_view in)
{
    const char* codeset;
    if (current_narrow(codeset) == narrow_kind::utf8) return tk_from_utf8(in);
    std::u16string out;
    if (codeset_to_wide(in, codeset, out)) return out;
    out.clear();
    for (char c : in) out += static_cast<unsigned char>(c) < 0x80 ? char16_t(c) : k_replacement;
    return out;
}

std::u16string tk_widen_ascii(std::string_view in)
{
    std::u16string out(in.size(), u'\0');
    for (size_t i = 0; i < in.size(); ++i) out[i] = char16_t(static_cast<unsigned char>(in[i]));
    return out;
}

int tk_compare_nocase(std::u16string_view a, std::u16string_view b)
{
    UErrorCode err = U_ZERO_ERROR;
    int r = u_strCaseCompare(a.data(), int32_t(a.size()), b.data(), int32_t(b.size()), U_FOLD_CASE_DEFAULT, &err);
    if (U_FAILURE(err)) return a.compare(b);
    return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

bool tk_equal_nocase(std::u16string_view a, std::u16string_view b)
{
    if (a.size() == b.size() && a == b) return true;
    return tk_compare_nocase(a, b) == 0;
}

std::u16string tk_fold_case(std::u16string_view s)
{
    std::u16string out(s.size() + 8, u'\0');
    for (int attempt = 0; attempt < 2; ++attempt) {
        UErrorCode err = U_ZERO_ERROR;
        int32_t n =
            u_strFoldCase(out.data(), int32_t(out.size()), s.data(), int32_t(s.size()), U_FOLD_CASE_DEFAULT, &err);
        if (err == U_BUFFER_OVERFLOW_ERROR) {
            out.assign(size_t(n), u'\0');
            continue;
        }
        if (U_FAILURE(err)) return std::u16string(s);
        out.resize(size_t(n));
        return out;
    }
    return std::u16string(s);
}

std::string tk_trim_left(std::string_view s)
{
    return trim_left_impl(s);
}
std::u16string tk_trim_left(std::u16string_view s)
{
    return trim_left_impl(s);
}

std::string tk_trim_right(std::string_view s)
{
    size_t e = s.size();
    while (e > 0 && s[e - 1] == ' ') --e;
    if (e == 0 && !s.empty()) tk_trace(1, "Special processing for all-spaces-string");
    return std::string(s.substr(0, e));
}

std::u16string tk_trim_right(std::u16string_view s)
{
    size_t e = s.size();
    while (e > 0 && s[e - 1] == u' ') --e;
    if (e == 0 && !s.empty()) tk_trace(1, "Special processing for all-spaces-string");
    return std::u16string(s.substr(0, e));
}

std::string tk_trim(std::string_view s)
{
    return tk_trim_left(std::string_view(tk_trim_right(s)));
}
std::u16string tk_trim(std::u16string_view s)
{
    return tk_trim_left(std::u16string_view(tk_trim_right(s)));
}

std::u16string tk_wstring::to_upper(std::u16string& text)
{
    tk_trace(1, "tk_wstring::to_upper(%s)", text);
    for (char16_t& c : text)
        if (c >= u'a' && c <= u'z') c = char16_t(c - u'a' + u'A');
    return text;
}

std::string tk_hex_text(const unsigned char* bytes, size_t length)
{
    static const char k_hex[] = "0123456789ABCDEF";
    std::string out(length * 2, '0');
    for (size_t i = 0; i < length; ++i) {
        out[2 * i] = k_hex[bytes[i] >> 4];
        out[2 * i + 1] = k_hex[bytes[i] & 15];
    }
    return out;
}
