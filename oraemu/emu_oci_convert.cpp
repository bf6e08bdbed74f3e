#include "emu_oci_convert.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <algorithm>

#include "emu_values.h"

namespace emu_oci {

namespace {

const char* client_message(int code)
{
    switch (code) {
    case 600: return "internal error code, arguments: [%s]";
    case 932: return "inconsistent datatypes: expected %s got %s";
    case 1002: return "fetch out of sequence";
    case 1007: return "variable not in select list";
    case 1008: return "not all variables bound";
    case 1036: return "illegal variable name/number";
    case 1403: return "no data found";
    case 1405: return "fetched column value is NULL";
    case 1406: return "fetched column value was truncated";
    case 1426: return "numeric overflow";
    case 1455: return "converting column overflows integer datatype";
    case 1722: return "invalid number";
    case 1858: return "a non-numeric character was found where a numeric was expected";
    case 3114: return "not connected to ORACLE";
    case 3115: return "unsupported network datatype or representation";
    case 4030: return "out of process memory when trying to allocate %s bytes";
    case 22275: return "invalid LOB locator specified";
    case 22926: return "specified trim length is greater than current LOB value's length";
    case 24315: return "illegal attribute type";
    case 24333: return "zero iteration count";
    case 24337: return "statement handle not prepared";
    case 24338: return "statement handle not executed";
    case 24343: return "user defined callback error";
    case 24345: return "A truncation or NULL fetch error occurred";
    case 24369: return "required callbacks not registered for one or more bind handles";
    case 24374: return "define not done before fetch or execute and fetch";
    case 24373: return "invalid length specified for statement";
    case 24381: return "error(s) in array DML";
    case 24801: return "illegal parameter value in OCI lob function";
    case 24811: return "less data provided for writing than indicated";
    default: return "unknown client error";
    }
}

}  // namespace

emu::ora_error client_error(int code, const std::vector<std::string>& args)
{
    std::string text;
    const char* msg = client_message(code);
    size_t next = 0;
    for (const char* p = msg; *p != '\0'; ++p) {
        if (p[0] == '%' && p[1] == 's') {
            text += next < args.size() ? args[next++] : std::string();
            ++p;
        } else {
            text += *p;
        }
    }
    char prefix[16];
    std::snprintf(prefix, sizeof prefix, "ORA-%05d: ", code);
    return emu::ora_error(code, prefix + text);
}


// ---------------------------------------------------------------- UTF

std::u16string utf8_to_utf16(std::string_view s)
{
    std::u16string out;
    out.reserve(s.size());
    size_t i = 0;
    while (i < s.size()) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        uint32_t cp = 0xFFFD;
        size_t extra = 0;
        if (c < 0x80) {
            cp = c;
        } else if ((c & 0xE0) == 0xC0) {
            cp = c & 0x1F, extra = 1;
        } else if ((c & 0xF0) == 0xE0) {
            cp = c & 0x0F, extra = 2;
        } else if ((c & 0xF8) == 0xF0) {
            cp = c & 0x07, extra = 3;
        }
        ++i;
        bool ok = c < 0x80 || extra > 0;
        for (size_t k = 0; ok && k < extra; ++k, ++i) {
            if (i >= s.size() || (static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) {
                ok = false;
                break;
            }
            cp = (cp << 6) | (static_cast<unsigned char>(s[i]) & 0x3F);
        }
        if (!ok || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
        emu::append_utf16(cp, out);
    }
    return out;
}

std::string utf16_to_utf8(std::u16string_view s)
{
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        uint32_t cp = s[i];
        if (cp < 0x80) {  // most text of a load: no call per character
            out.push_back(static_cast<char>(cp));
            continue;
        }
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 &&
            s[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        emu::append_utf8(cp, out);
    }
    return out;
}

namespace {

// ---------------------------------------------------------------- decimals

// A decimal split into its digits: value = 0.digits * 10^point, sign.
struct decimal {
    bool negative = false;
    std::string digits;  // no leading or trailing zeros; empty for zero
    int point = 0;       // position of the decimal point within digits
};

bool parse_decimal(std::string_view text, decimal& d)
{
    size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) d.negative = text[i++] == '-';
    std::string digits;
    int point = -1;
    bool any = false;
    for (; i < text.size(); ++i) {
        char c = text[i];
        if (c >= '0' && c <= '9') {
            digits += c;
            any = true;
        } else if (c == '.' && point < 0) {
            point = static_cast<int>(digits.size());
        } else {
            break;
        }
    }
    if (!any) return false;
    if (point < 0) point = static_cast<int>(digits.size());
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && text[i] == '+') ++i;
        int exp = 0;
        auto r = std::from_chars(text.data() + i, text.data() + text.size(), exp);
        if (r.ec != std::errc()) return false;
        i = static_cast<size_t>(r.ptr - text.data());
        point += exp;
    }
    while (i < text.size() && text[i] == ' ') ++i;
    if (i != text.size()) return false;
    size_t lead = digits.find_first_not_of('0');
    if (lead == std::string::npos) {
        d = decimal{};
        return true;
    }
    digits.erase(0, lead);
    point -= static_cast<int>(lead);
    digits.erase(digits.find_last_not_of('0') + 1);
    d.digits = digits;
    d.point = point;
    return true;
}

std::string decimal_text(const decimal& d)
{
    if (d.digits.empty()) return "0";
    std::string out = d.negative ? "-" : "";
    int n = static_cast<int>(d.digits.size());
    if (d.point <= 0) {
        out += "0.";
        out.append(static_cast<size_t>(-d.point), '0');
        out += d.digits;
    } else if (d.point >= n) {
        out += d.digits;
        out.append(static_cast<size_t>(d.point - n), '0');
    } else {
        out += d.digits.substr(0, static_cast<size_t>(d.point));
        out += '.';
        out += d.digits.substr(static_cast<size_t>(d.point));
    }
    return out;
}

decimal must_parse(const std::string& text)
{
    decimal d;
    if (!parse_decimal(text, d)) throw client_error(1722);
    return d;
}

// ---------------------------------------------------------------- dates

struct civil {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    std::string fraction;  // digits after the point, possibly empty
};

bool parse_civil(const std::string& text, civil& c)
{
    char frac[16] = {};
    int n = std::sscanf(text.c_str(), "%d-%d-%d %d:%d:%d.%15[0-9]", &c.year, &c.month, &c.day,
                        &c.hour, &c.minute, &c.second, frac);
    if (n < 3) return false;
    c.fraction = frac;
    return c.month >= 1 && c.month <= 12 && c.day >= 1 && c.day <= 31 && c.hour >= 0 &&
           c.hour < 24 && c.minute >= 0 && c.minute < 60 && c.second >= 0 && c.second < 60;
}

const char* const k_months[] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};

std::string hex_upper(std::string_view bytes)
{
    static const char k_hex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (unsigned char b : bytes) {
        out += k_hex[b >> 4];
        out += k_hex[b & 15];
    }
    return out;
}

bool is_binary(emu::col_type t)
{
    return t == emu::col_type::raw || t == emu::col_type::blob;
}

bool is_numeric(emu::col_type t)
{
    return t == emu::col_type::number || t == emu::col_type::float_ ||
           t == emu::col_type::binary_double;
}

bool is_datetime(emu::col_type t)
{
    return t == emu::col_type::date || t == emu::col_type::timestamp;
}

std::string_view type_label(emu::col_type t)
{
    switch (t) {
    case emu::col_type::number:
    case emu::col_type::float_:
    case emu::col_type::binary_double: return "NUMBER";
    case emu::col_type::date: return "DATE";
    case emu::col_type::timestamp: return "TIMESTAMP";
    case emu::col_type::raw: return "BINARY";
    case emu::col_type::clob:
    case emu::col_type::nclob: return "CLOB";
    case emu::col_type::blob: return "BLOB";
    case emu::col_type::rowid: return "ROWID";
    default: return "CHAR";
    }
}

[[noreturn]] void inconsistent(std::string_view expected, emu::col_type got)
{
    throw client_error(932, {std::string(expected), std::string(type_label(got))});
}

// ---------------------------------------------------------------- output helpers

// Copies `data` into the buffer, keeping room for `reserve` bytes, in whole
// units of `unit` bytes.
put_result copy_out(std::string_view data, void* buf, size_t capacity, size_t reserve,
                    size_t unit)
{
    put_result r;
    r.full = data.size();
    size_t room = capacity > reserve ? capacity - reserve : 0;
    room -= room % unit;
    size_t n = data.size() < room ? data.size() : room;
    if (n > 0) std::memcpy(buf, data.data(), n);
    r.length = n;
    r.truncated = n < data.size();
    return r;
}

std::string client_bytes(bool utf16, const std::string& utf8)
{
    if (!utf16) return utf8;
    std::u16string w = utf8_to_utf16(utf8);
    return std::string(reinterpret_cast<const char*>(w.data()), w.size() * 2);
}

put_result put_text(bool utf16, const emu::value& v, ub2 dty, void* buf, size_t capacity)
{
    std::string data = client_bytes(utf16, display_text(v));
    size_t unit = utf16 ? 2 : 1;
    auto* out = static_cast<unsigned char*>(buf);
    switch (dty) {
    case SQLT_STR: {
        put_result r = copy_out(data, buf, capacity, unit, unit);
        if (capacity >= unit) std::memset(out + r.length, 0, unit);
        return r;
    }
    case SQLT_AFC: {
        put_result r = copy_out(data, buf, capacity, 0, unit);
        // Fixed-length character output is padded with blanks.
        for (size_t p = r.length; p + unit <= capacity; p += unit) {
            out[p] = ' ';
            if (utf16) out[p + 1] = 0;
        }
        if (!r.truncated) r.length = capacity - capacity % unit;
        return r;
    }
    case SQLT_VCS: {
        if (capacity < 2) return put_result{false, true, 0, data.size()};
        put_result r = copy_out(data, out + 2, capacity - 2, 0, unit);
        ub2 n = static_cast<ub2>(r.length);
        std::memcpy(out, &n, 2);
        return r;
    }
    case SQLT_LVC: {
        if (capacity < 4) return put_result{false, true, 0, data.size()};
        put_result r = copy_out(data, out + 4, capacity - 4, 0, unit);
        ub4 n = static_cast<ub4>(r.length);
        std::memcpy(out, &n, 4);
        return r;
    }
    default:  // SQLT_CHR, SQLT_AVC, SQLT_LNG
        return copy_out(data, buf, capacity, 0, unit);
    }
}

put_result put_binary(const emu::value& v, ub2 dty, void* buf, size_t capacity)
{
    if (is_numeric(v.type) || is_datetime(v.type)) inconsistent("BINARY", v.type);
    const std::string& data = v.data;
    auto* out = static_cast<unsigned char*>(buf);
    if (dty == SQLT_VBI) {
        if (capacity < 2) return put_result{false, true, 0, data.size()};
        put_result r = copy_out(data, out + 2, capacity - 2, 0, 1);
        ub2 n = static_cast<ub2>(r.length);
        std::memcpy(out, &n, 2);
        return r;
    }
    if (dty == SQLT_LVB) {
        if (capacity < 4) return put_result{false, true, 0, data.size()};
        put_result r = copy_out(data, out + 4, capacity - 4, 0, 1);
        ub4 n = static_cast<ub4>(r.length);
        std::memcpy(out, &n, 4);
        return r;
    }
    return copy_out(data, buf, capacity, 0, 1);
}

decimal numeric_of(const emu::value& v)
{
    if (is_datetime(v.type) || is_binary(v.type)) inconsistent("NUMBER", v.type);
    return must_parse(v.data);
}

put_result put_integer(const emu::value& v, ub2 dty, void* buf, size_t capacity)
{
    decimal d = numeric_of(v);
    // The fraction is cut off, as for any fetch into an integer.
    __int128 n = 0;
    for (int i = 0; i < d.point; ++i) {
        int digit = i < static_cast<int>(d.digits.size()) ? d.digits[static_cast<size_t>(i)] - '0'
                                                          : 0;
        n = n * 10 + digit;
        if (n > (static_cast<__int128>(1) << 64)) throw client_error(1455);
    }
    if (d.negative) n = -n;
    size_t width = capacity;
    if (width != 1 && width != 2 && width != 4 && width != 8) throw client_error(3115);
    bool is_unsigned = dty == SQLT_UIN;
    __int128 lo = is_unsigned ? 0 : -(static_cast<__int128>(1) << (width * 8 - 1));
    __int128 hi = is_unsigned ? (static_cast<__int128>(1) << (width * 8)) - 1
                              : (static_cast<__int128>(1) << (width * 8 - 1)) - 1;
    if (n < lo || n > hi) throw client_error(1455);
    uint64_t bits = static_cast<uint64_t>(n);
    std::memcpy(buf, &bits, width);  // little-endian: the low bytes come first
    return put_result{false, false, width, width};
}

put_result put_float(const emu::value& v, void* buf, size_t capacity)
{
    decimal d = numeric_of(v);
    double x = std::strtod(decimal_text(d).c_str(), nullptr);
    if (capacity == sizeof(float)) {
        float f = static_cast<float>(x);
        std::memcpy(buf, &f, sizeof f);
    } else if (capacity == sizeof(double)) {
        std::memcpy(buf, &x, sizeof x);
    } else {
        throw client_error(3115);
    }
    return put_result{false, false, capacity, capacity};
}

put_result put_number(const emu::value& v, ub2 dty, void* buf, size_t capacity)
{
    std::string bytes = number_to_oranum(decimal_text(numeric_of(v)));
    auto* out = static_cast<unsigned char*>(buf);
    if (dty == SQLT_VNU) {
        if (capacity < bytes.size() + 1) return put_result{false, true, 0, bytes.size() + 1};
        out[0] = static_cast<unsigned char>(bytes.size());
        std::memcpy(out + 1, bytes.data(), bytes.size());
        return put_result{false, false, bytes.size() + 1, bytes.size() + 1};
    }
    if (capacity < bytes.size()) return put_result{false, true, 0, bytes.size()};
    std::memcpy(out, bytes.data(), bytes.size());
    return put_result{false, false, bytes.size(), bytes.size()};
}

put_result put_date(const emu::value& v, ub2 dty, void* buf, size_t capacity)
{
    if (!is_datetime(v.type) && is_numeric(v.type)) inconsistent("DATE", v.type);
    unsigned char d[7];
    text_to_oradate(v.data, d);
    if (dty == SQLT_ODT) {
        // OCIDate: sb2 year, ub1 month, ub1 day, ub1 hour, minute, second.
        if (capacity < 8) return put_result{false, true, 0, 8};
        unsigned char o[8] = {};
        sb2 year = static_cast<sb2>((d[0] - 100) * 100 + (d[1] - 100));
        std::memcpy(o, &year, 2);
        o[2] = d[2], o[3] = d[3], o[4] = static_cast<unsigned char>(d[4] - 1),
        o[5] = static_cast<unsigned char>(d[5] - 1), o[6] = static_cast<unsigned char>(d[6] - 1);
        std::memcpy(buf, o, 8);
        return put_result{false, false, 8, 8};
    }
    if (capacity < 7) return put_result{false, true, 0, 7};
    std::memcpy(buf, d, 7);
    return put_result{false, false, 7, 7};
}

std::string scalar_text(const void* buf, size_t len)
{
    return std::string(static_cast<const char*>(buf), len);
}

}  // namespace

// ---------------------------------------------------------------- NUMBER

std::string number_to_oranum(const std::string& text)
{
    decimal d = must_parse(text);
    if (d.digits.empty()) return std::string(1, '\x80');
    // Align the digits on base-100 pairs around the decimal point.
    std::string digits = d.digits;
    int point = d.point;
    if (point % 2 != 0) {
        digits.insert(0, 1, '0');
        ++point;
    }
    if (digits.size() % 2 != 0) digits += '0';
    std::vector<int> pairs;
    for (size_t i = 0; i < digits.size(); i += 2)
        pairs.push_back((digits[i] - '0') * 10 + (digits[i + 1] - '0'));
    int exponent = point / 2 - 1;
    while (!pairs.empty() && pairs.front() == 0) {
        pairs.erase(pairs.begin());
        --exponent;
    }
    if (pairs.size() > 20) {
        // Round to the 20 base-100 digits a NUMBER holds.
        bool up = pairs[20] >= 50;
        pairs.resize(20);
        for (size_t i = pairs.size(); up && i-- > 0;) {
            if (++pairs[i] == 100) {
                pairs[i] = 0;
            } else {
                up = false;
            }
        }
        if (up) {
            pairs.insert(pairs.begin(), 1);
            pairs.resize(20);
            ++exponent;
        }
    }
    while (!pairs.empty() && pairs.back() == 0) pairs.pop_back();
    if (exponent > 62 || exponent < -65) throw client_error(1426);
    std::string out;
    if (!d.negative) {
        out += static_cast<char>(0xC1 + exponent);
        for (int p : pairs) out += static_cast<char>(p + 1);
    } else {
        out += static_cast<char>(0x3E - exponent);
        for (int p : pairs) out += static_cast<char>(101 - p);
        if (pairs.size() < 20) out += static_cast<char>(102);
    }
    return out;
}

std::string oranum_to_number(const unsigned char* b, size_t len)
{
    if (len == 0 || len > 22) throw client_error(1722);
    if (len == 1 && b[0] == 0x80) return "0";
    bool negative = b[0] < 0x80;
    int exponent = negative ? 0x3E - b[0] : b[0] - 0xC1;
    size_t end = len;
    if (negative && end > 1 && b[end - 1] == 102) --end;
    decimal d;
    d.negative = negative;
    std::string digits;
    for (size_t i = 1; i < end; ++i) {
        int p = negative ? 101 - b[i] : b[i] - 1;
        if (p < 0 || p > 99) throw client_error(1722);
        digits += static_cast<char>('0' + p / 10);
        digits += static_cast<char>('0' + p % 10);
    }
    d.point = (exponent + 1) * 2;
    size_t lead = digits.find_first_not_of('0');
    if (lead == std::string::npos) return "0";
    digits.erase(0, lead);
    d.point -= static_cast<int>(lead);
    digits.erase(digits.find_last_not_of('0') + 1);
    d.digits = digits;
    return decimal_text(d);
}

// ---------------------------------------------------------------- DATE

void text_to_oradate(const std::string& text, unsigned char out[7])
{
    civil c;
    if (!parse_civil(text, c) || c.year < 1 || c.year > 9999) throw client_error(1858);
    out[0] = static_cast<unsigned char>(c.year / 100 + 100);
    out[1] = static_cast<unsigned char>(c.year % 100 + 100);
    out[2] = static_cast<unsigned char>(c.month);
    out[3] = static_cast<unsigned char>(c.day);
    out[4] = static_cast<unsigned char>(c.hour + 1);
    out[5] = static_cast<unsigned char>(c.minute + 1);
    out[6] = static_cast<unsigned char>(c.second + 1);
}

std::string oradate_to_text(const unsigned char in[7])
{
    int year = (in[0] - 100) * 100 + (in[1] - 100);
    if (in[0] < 100 || in[1] < 100 || in[2] < 1 || in[2] > 12 || in[3] < 1 || in[3] > 31 ||
        in[4] < 1 || in[4] > 24 || in[5] < 1 || in[5] > 60 || in[6] < 1 || in[6] > 60 ||
        year < 1)
        throw client_error(1858);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", year, in[2], in[3],
                  in[4] - 1, in[5] - 1, in[6] - 1);
    return buf;
}

// ---------------------------------------------------------------- display

std::string display_text(const emu::value& v)
{
    using emu::col_type;
    if (is_numeric(v.type)) {
        decimal d;
        if (!parse_decimal(v.data, d)) return v.data;
        std::string t = decimal_text(d);
        // Oracle writes no zero before the decimal point.
        if (t.rfind("0.", 0) == 0) t.erase(0, 1);
        else if (t.rfind("-0.", 0) == 0) t.erase(1, 1);
        return t;
    }
    if (is_datetime(v.type)) {
        civil c;
        if (!parse_civil(v.data, c)) return v.data;
        char buf[64];
        if (v.type == col_type::date) {
            std::snprintf(buf, sizeof buf, "%02d-%s-%02d", c.day, k_months[c.month - 1],
                          c.year % 100);
        } else {
            // Six digits as Oracle's default shows a TIMESTAMP(6); more when
            // the value has them (TIMESTAMP(7) to (9)), so that text read
            // back gives the same value to the nanosecond.
            std::string frac = (c.fraction + "000000000").substr(0, 9);
            while (frac.size() > 6 && frac.back() == '0') frac.pop_back();
            int h12 = c.hour % 12 == 0 ? 12 : c.hour % 12;
            std::snprintf(buf, sizeof buf, "%02d-%s-%02d %02d.%02d.%02d.%s %s", c.day,
                          k_months[c.month - 1], c.year % 100, h12, c.minute, c.second,
                          frac.c_str(), c.hour < 12 ? "AM" : "PM");
        }
        return buf;
    }
    if (is_binary(v.type)) return hex_upper(v.data);
    return v.data;
}

bool is_char_type(ub2 dty)
{
    switch (dty) {
    case SQLT_CHR:
    case SQLT_STR:
    case SQLT_VCS:
    case SQLT_LNG:
    case SQLT_AFC:
    case SQLT_AVC:
    case SQLT_LVC: return true;
    default: return false;
    }
}

// ---------------------------------------------------------------- put / get

put_result put_value(bool utf16, const emu::value& v, ub2 dty, void* buf, size_t capacity)
{
    if (v.null) return put_result{true, false, 0, 0};
    if (is_char_type(dty)) return put_text(utf16, v, dty, buf, capacity);
    switch (dty) {
    case SQLT_INT:
    case SQLT_UIN: return put_integer(v, dty, buf, capacity);
    case SQLT_FLT:
    case SQLT_BFLOAT:
    case SQLT_BDOUBLE: return put_float(v, buf, capacity);
    case SQLT_NUM:
    case SQLT_VNU: return put_number(v, dty, buf, capacity);
    case SQLT_DAT:
    case SQLT_ODT: return put_date(v, dty, buf, capacity);
    case SQLT_BIN:
    case SQLT_LBI:
    case SQLT_VBI:
    case SQLT_LVB: return put_binary(v, dty, buf, capacity);
    default: throw client_error(3115);
    }
}

namespace {

// oranum_to_number writes the shortest text of a number.
emu::value canonical(emu::value v)
{
    v.canonical = true;
    return v;
}

}  // namespace

emu::value get_value(bool utf16, ub2 dty, const void* buf, size_t len)
{
    using emu::col_type;
    using emu::value;
    const auto* in = static_cast<const unsigned char*>(buf);
    if (is_char_type(dty)) {
        size_t unit = utf16 ? 2 : 1;
        size_t start = 0;
        if (dty == SQLT_VCS && len >= 2) {
            ub2 n;
            std::memcpy(&n, in, 2);
            start = 2, len = std::min<size_t>(len - 2, n);
        } else if (dty == SQLT_LVC && len >= 4) {
            ub4 n;
            std::memcpy(&n, in, 4);
            start = 4, len = std::min<size_t>(len - 4, n);
        } else if (dty == SQLT_STR) {
            size_t n = 0;
            while (n + unit <= len &&
                   !(in[n] == 0 && (unit == 1 || in[n + 1] == 0)))
                n += unit;
            len = n;
        }
        len -= len % unit;
        if (len == 0) return value::make_null(col_type::varchar2);
        std::string utf8 = utf16 ? utf16_to_utf8(std::u16string_view(
                                       reinterpret_cast<const char16_t*>(in + start), len / 2))
                                 : scalar_text(in + start, len);
        return value::make(col_type::varchar2, std::move(utf8));
    }
    switch (dty) {
    case SQLT_INT: {
        int64_t n = 0;
        if (len == 1) n = *reinterpret_cast<const int8_t*>(in);
        else if (len == 2) { int16_t x; std::memcpy(&x, in, 2); n = x; }
        else if (len == 4) { int32_t x; std::memcpy(&x, in, 4); n = x; }
        else if (len == 8) { std::memcpy(&n, in, 8); }
        else throw client_error(3115);
        return value::make(col_type::number, std::to_string(n));
    }
    case SQLT_UIN: {
        uint64_t n = 0;
        if (len != 1 && len != 2 && len != 4 && len != 8) throw client_error(3115);
        std::memcpy(&n, in, len);
        return value::make(col_type::number, std::to_string(n));
    }
    case SQLT_FLT:
    case SQLT_BFLOAT:
    case SQLT_BDOUBLE: {
        double x;
        if (len == sizeof(float)) { float f; std::memcpy(&f, in, sizeof f); x = f; }
        else if (len == sizeof(double)) std::memcpy(&x, in, sizeof x);
        else throw client_error(3115);
        char text[64];
        auto r = std::to_chars(text, text + sizeof text, x);
        decimal d = must_parse(std::string(text, r.ptr));
        return value::make(col_type::number, decimal_text(d));
    }
    case SQLT_NUM: return canonical(value::make(col_type::number, oranum_to_number(in, len)));
    case SQLT_VNU:
        if (len < 1 || in[0] + 1u > len) throw client_error(1722);
        return canonical(value::make(col_type::number, oranum_to_number(in + 1, in[0])));
    case SQLT_DAT:
        if (len < 7) throw client_error(1858);
        return value::make(col_type::date, oradate_to_text(in));
    case SQLT_BIN:
    case SQLT_LBI:
        return len == 0 ? value::make_null(col_type::raw)
                        : value::make(col_type::raw, scalar_text(in, len));
    default: throw client_error(3115);
    }
}

}  // namespace emu_oci
