#include "tk_format.h"

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>

#include "tk_wstring.h"

int64_t tk_format_arg::as_sint() const
{
    switch (kind_) {
    case kind::sint: return i_;
    case kind::uint: return static_cast<int64_t>(u_);
    case kind::real:
        if (std::isnan(d_)) return 0;
        if (d_ >= 9.2233720368547758e18) return std::numeric_limits<int64_t>::max();
        if (d_ <= -9.2233720368547758e18) return std::numeric_limits<int64_t>::min();
        return static_cast<int64_t>(d_);
    case kind::pointer: return static_cast<int64_t>(reinterpret_cast<uintptr_t>(p_));
    default: return 0;
    }
}

uint64_t tk_format_arg::as_uint() const
{
    return kind_ == kind::uint ? u_ : static_cast<uint64_t>(as_sint());
}

double tk_format_arg::as_real() const
{
    switch (kind_) {
    case kind::sint: return static_cast<double>(i_);
    case kind::uint: return static_cast<double>(u_);
    case kind::real: return d_;
    default: return 0.0;
    }
}

namespace {

// One parsed directive: "%" flags width .precision length conversion.
struct directive {
    std::string flags;
    int width = -1;
    int precision = -1;
    bool wide64 = false;  // the length modifier asks for 64-bit integers
    char conv = 0;
};

bool is_flag(char32_t c)
{
    return c == '-' || c == '+' || c == ' ' || c == '#' || c == '0';
}
bool is_digit(char32_t c)
{
    return c >= '0' && c <= '9';
}

// Builds text of the output's character type. Narrow output keeps narrow
// arguments byte for byte and converts wide ones to the locale encoding;
// wide output does the reverse.
template <class Ch>
class formatter {
public:
    using sv = std::basic_string_view<Ch>;
    using str = std::basic_string<Ch>;

    formatter(sv format, std::span<const tk_format_arg> args) : fmt_(format), args_(args) {}

    str run()
    {
        out_.reserve(fmt_.size() + 16 * args_.size());
        while (pos_ < fmt_.size()) {
            Ch c = fmt_[pos_];
            if (c != Ch('%')) {
                out_ += c;
                ++pos_;
                continue;
            }
            directive_at(pos_);
        }
        return std::move(out_);
    }

private:
    void append_narrow(std::string_view s)
    {
        if constexpr (sizeof(Ch) == 1)
            out_.append(s.data(), s.size());
        else
            out_ += tk_from_ansi(s);
    }
    void append_wide(std::u16string_view s)
    {
        if constexpr (sizeof(Ch) == 1)
            out_ += tk_to_ansi(s);
        else
            out_.append(s.data(), s.size());
    }
    // ASCII text made by snprintf.
    void append_ascii(const char* s, size_t n)
    {
        for (size_t i = 0; i < n; ++i) out_ += static_cast<Ch>(static_cast<unsigned char>(s[i]));
    }

    bool take_int(int& v)
    {
        if (next_ >= args_.size()) return false;
        int64_t x = args_[next_++].as_sint();
        v = static_cast<int>(std::clamp<int64_t>(x, -100000, 100000));
        return true;
    }

    // Parses the directive starting at `start` (a '%') and writes its output;
    // a directive that cannot be honoured is copied as written.
    void directive_at(size_t start)
    {
        size_t p = start + 1;
        directive d;
        auto at = [&](size_t i) -> char32_t { return i < fmt_.size() ? char32_t(fmt_[i]) : 0; };
        while (is_flag(at(p))) d.flags += static_cast<char>(at(p++));
        if (at(p) == '*') {
            ++p;
            if (!take_int(d.width)) return copy_literal(start, p);
            if (d.width < 0) {
                d.flags += '-';
                d.width = -d.width;
            }
        } else {
            while (is_digit(at(p))) d.width = std::max(d.width, 0) * 10 + int(at(p++) - '0');
            d.width = std::min(d.width, 100000);
        }
        if (at(p) == '.') {
            ++p;
            d.precision = 0;
            if (at(p) == '*') {
                ++p;
                if (!take_int(d.precision)) return copy_literal(start, p);
                if (d.precision < 0) d.precision = -1;
            } else {
                while (is_digit(at(p))) d.precision = std::min(d.precision * 10 + int(at(p++) - '0'), 100000);
            }
        }
        p = parse_length(p, d);
        char32_t conv = at(p);
        if (conv == 0) return copy_literal(start, fmt_.size());
        ++p;
        if (conv == '%') {
            out_ += Ch('%');
            pos_ = p;
            return;
        }
        static const std::string_view k_convs = "diuoxXcCsSeEfFgGaAp";
        if (conv > 0x7F || k_convs.find(static_cast<char>(conv)) == std::string_view::npos || next_ >= args_.size())
            return copy_literal(start, p);
        d.conv = static_cast<char>(conv);
        pos_ = p;
        emit(d, args_[next_++]);
    }

    size_t parse_length(size_t p, directive& d)
    {
        auto at = [&](size_t i) -> char32_t { return i < fmt_.size() ? char32_t(fmt_[i]) : 0; };
        char32_t c = at(p);
        if (c == 'I') {
            if (at(p + 1) == '6' && at(p + 2) == '4') {
                d.wide64 = true;
                return p + 3;
            }
            if (at(p + 1) == '3' && at(p + 2) == '2') return p + 3;
            return p + 1;
        }
        if (c == 'l' && at(p + 1) == 'l') {
            d.wide64 = true;
            return p + 2;
        }
        if (c == 'h' && at(p + 1) == 'h') return p + 2;
        if (c == 'q' || c == 'j' || c == 'z' || c == 't') {
            d.wide64 = true;
            return p + 1;
        }
        // 'l' keeps 32 bits for unsigned conversions, as "%lu" and "%lX"
        // print a 32-bit value in the traces that use them.
        if (c == 'h' || c == 'l' || c == 'L' || c == 'w') return p + 1;
        return p;
    }

    void copy_literal(size_t from, size_t to)
    {
        out_.append(fmt_.substr(from, to - from));
        pos_ = to;
    }

    std::string c_spec(const directive& d, const char* length, char conv) const
    {
        std::string s = "%" + d.flags;
        if (d.width >= 0) s += std::to_string(d.width);
        if (d.precision >= 0) s += "." + std::to_string(d.precision);
        s += length;
        s += conv;
        return s;
    }

    template <class T>
    void print_c(const directive& d, const char* length, char conv, T value)
    {
        std::string spec = c_spec(d, length, conv);
        char small[128];
        int n = std::snprintf(small, sizeof small, spec.c_str(), value);
        if (n < 0) return;
        if (size_t(n) < sizeof small) return append_ascii(small, size_t(n));
        std::string big(size_t(n) + 1, '\0');
        std::snprintf(big.data(), big.size(), spec.c_str(), value);
        append_ascii(big.data(), size_t(n));
    }

    void emit(const directive& d, const tk_format_arg& a)
    {
        using K = tk_format_arg::kind;
        const bool is_text = a.type() == K::text || a.type() == K::wtext;
        switch (d.conv) {
        case 's':
        case 'S': return emit_string(d, a);
        case 'c':
        case 'C': return is_text ? emit_string(d, a) : emit_char(d, a);
        case 'p': return print_c(d, "", 'p', a.pointer());
        default: break;
        }
        if (is_text) return emit_string(directive{d.flags, d.width, -1, false, 's'}, a);
        if (d.conv == 'd' || d.conv == 'i') {
            if (a.type() == K::uint && a.as_uint() > uint64_t(std::numeric_limits<int64_t>::max()))
                return print_c(d, "ll", 'u', static_cast<unsigned long long>(a.as_uint()));
            return print_c(d, "ll", 'd', static_cast<long long>(a.as_sint()));
        }
        if (d.conv == 'u' || d.conv == 'o' || d.conv == 'x' || d.conv == 'X') {
            uint64_t v = a.as_uint();
            if (!d.wide64 && a.type() == K::sint && a.as_sint() >= INT32_MIN && a.as_sint() <= INT32_MAX)
                v = static_cast<uint32_t>(a.as_sint());
            return print_c(d, "ll", d.conv, static_cast<unsigned long long>(v));
        }
        print_c(d, "", d.conv, a.as_real());
    }

    void emit_char(const directive& d, const tk_format_arg& a)
    {
        char32_t cp = static_cast<char32_t>(a.as_uint() & 0x1FFFFF);
        std::u16string w;
        if (cp >= 0x10000 && cp <= 0x10FFFF) {
            cp -= 0x10000;
            w += char16_t(0xD800 + (cp >> 10));
            w += char16_t(0xDC00 + (cp & 0x3FF));
        } else {
            w += char16_t(cp);
        }
        str piece;
        if constexpr (sizeof(Ch) == 1) {
            piece = cp < 0x80 ? std::string(1, char(cp)) : tk_to_ansi(w);
        } else {
            piece = w;
        }
        pad(d, piece);
    }

    void emit_string(const directive& d, const tk_format_arg& a)
    {
        using K = tk_format_arg::kind;
        str piece;
        if (a.type() == K::text) {
            if constexpr (sizeof(Ch) == 1)
                piece = std::string(a.text());
            else
                piece = tk_from_ansi(a.text());
        } else if (a.type() == K::wtext) {
            if constexpr (sizeof(Ch) == 1)
                piece = tk_to_ansi(a.wtext());
            else
                piece = std::u16string(a.wtext());
        } else if (a.type() == K::pointer && a.pointer() == nullptr) {
            for (char c : std::string_view("(null)")) piece += Ch(c);
        } else {
            // A number where text was expected: print the number.
            formatter<Ch> f(sv(), {});
            directive nd;
            nd.conv = a.type() == K::real ? 'g' : (a.type() == K::uint ? 'u' : 'd');
            nd.wide64 = true;
            f.emit(nd, a);
            piece = std::move(f.out_);
        }
        if (d.precision >= 0 && size_t(d.precision) < piece.size()) piece.resize(size_t(d.precision));
        pad(d, piece);
    }

    void pad(const directive& d, const str& piece)
    {
        size_t width = d.width > 0 ? size_t(d.width) : 0;
        size_t fill = width > piece.size() ? width - piece.size() : 0;
        bool left = d.flags.find('-') != std::string::npos;
        if (!left) out_.append(fill, Ch(' '));
        out_ += piece;
        if (left) out_.append(fill, Ch(' '));
    }

    sv fmt_;
    std::span<const tk_format_arg> args_;
    size_t pos_ = 0;
    size_t next_ = 0;
    str out_;
};

}  // namespace

std::string tk_vformat(std::string_view format, std::span<const tk_format_arg> args)
{
    return formatter<char>(format, args).run();
}

std::u16string tk_vformat(std::u16string_view format, std::span<const tk_format_arg> args)
{
    return formatter<char16_t>(format, args).run();
}
