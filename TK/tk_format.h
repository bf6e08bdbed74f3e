// Type-safe printf-style formatting.
//
// Trace texts and messages keep their printf-style placeholders, but the
// arguments are captured with their real types, so a placeholder that does
// not match its argument prints the argument sensibly instead of reading
// garbage: %d of a string prints the string, %s of a number prints the
// number, a missing argument leaves the placeholder as written, extra
// arguments are ignored. Narrow and wide strings may be passed to either
// form; they are converted at this border.
//
// Understood: flags "-+ #0", width and precision (digits or '*'), the length
// modifiers hh h l ll L q j z t I I32 I64 (which only select the width of
// unsigned conversions), and the conversions d i u o x X c C s S e E f F g G
// a A p %.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>

class tk_format_arg {
public:
    enum class kind : uint8_t { none, sint, uint, real, text, wtext, pointer };

    tk_format_arg() = default;
    template <class T>
    requires(std::is_integral_v<T>&& std::is_signed_v<T>) tk_format_arg(T v) : kind_(kind::sint), i_(v) {}
    template <class T>
    requires(std::is_integral_v<T> && !std::is_signed_v<T>) tk_format_arg(T v) : kind_(kind::uint), u_(v) {}
    template <class T>
    requires std::is_enum_v<T> tk_format_arg(T v) : tk_format_arg(static_cast<std::underlying_type_t<T>>(v)) {}
    tk_format_arg(float v) : kind_(kind::real), d_(v) {}
    tk_format_arg(double v) : kind_(kind::real), d_(v) {}
    tk_format_arg(long double v) : kind_(kind::real), d_(static_cast<double>(v)) {}
    tk_format_arg(const char* s) : kind_(s ? kind::text : kind::pointer), s_(s ? s : "") {}
    tk_format_arg(char* s) : tk_format_arg(static_cast<const char*>(s)) {}
    tk_format_arg(const std::string& s) : kind_(kind::text), s_(s) {}
    tk_format_arg(std::string_view s) : kind_(kind::text), s_(s) {}
    tk_format_arg(const char16_t* s) : kind_(s ? kind::wtext : kind::pointer), w_(s ? s : u"") {}
    tk_format_arg(char16_t* s) : tk_format_arg(static_cast<const char16_t*>(s)) {}
    tk_format_arg(const std::u16string& s) : kind_(kind::wtext), w_(s) {}
    tk_format_arg(std::u16string_view s) : kind_(kind::wtext), w_(s) {}
    tk_format_arg(const void* p) : kind_(kind::pointer), p_(p) {}
    tk_format_arg(std::nullptr_t) : kind_(kind::pointer), p_(nullptr) {}

    kind type() const { return kind_; }
    int64_t as_sint() const;
    uint64_t as_uint() const;
    double as_real() const;
    std::string_view text() const { return s_; }
    std::u16string_view wtext() const { return w_; }
    const void* pointer() const { return p_; }

private:
    kind kind_ = kind::none;
    union {
        int64_t i_ = 0;
        uint64_t u_;
        double d_;
        const void* p_;
    };
    std::string_view s_;
    std::u16string_view w_;
};

std::string tk_vformat(std::string_view format, std::span<const tk_format_arg> args);
std::u16string tk_vformat(std::u16string_view format, std::span<const tk_format_arg> args);

template <class... A>
std::string tk_format(std::string_view format, const A&... args)
{
    const tk_format_arg a[sizeof...(A) + 1] = {tk_format_arg(args)...};
    return tk_vformat(format, std::span<const tk_format_arg>(a, sizeof...(A)));
}

template <class... A>
std::u16string tk_format(std::u16string_view format, const A&... args)
{
    const tk_format_arg a[sizeof...(A) + 1] = {tk_format_arg(args)...};
    return tk_vformat(format, std::span<const tk_format_arg>(a, sizeof...(A)));
}
