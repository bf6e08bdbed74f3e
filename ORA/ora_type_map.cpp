#include "ora_type_map.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string>

#include "ole_date.h"
#include "ole_number_text.h"
#include "ole_variant.h"
#include "tk_exception.h"
#include "tk_format.h"
#include "tk_logger.h"
#include "tk_wstring.h"
#include "udb_field.h"
#include "udb_ftd.h"

namespace {

// Values at or beyond this magnitude do not fit Oracle's NUMBER.
constexpr double k_number_limit = 1e126;
// Both forms of the same date text: the literal reads it back with this.
constexpr std::u16string_view k_date_format = u"YYYY-MM-DD HH24:MI:SS";

bool is_hex(char16_t c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

bool is_digit(char16_t c)
{
    return c >= u'0' && c <= u'9';
}

// Bytes of one code point starting at text[i] in UTF-8, and how many UTF-16
// units it takes.
size_t utf8_cost(std::u16string_view text, size_t i, size_t& units)
{
    char16_t c = text[i];
    units = 1;
    if (c < 0x80) return 1;
    if (c < 0x800) return 2;
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size()) {
        units = 2;
        return 4;
    }
    return 3;
}

// A plain decimal number as Oracle reads one: sign, digits, point, digits,
// exponent. Anything else must never reach a statement unquoted.
bool is_number_text(std::u16string_view t)
{
    size_t i = 0, digits = 0;
    if (i < t.size() && (t[i] == u'+' || t[i] == u'-')) ++i;
    while (i < t.size() && is_digit(t[i])) ++i, ++digits;
    if (i < t.size() && t[i] == u'.') {
        ++i;
        while (i < t.size() && is_digit(t[i])) ++i, ++digits;
    }
    if (digits == 0) return false;
    if (i < t.size() && (t[i] == u'e' || t[i] == u'E')) {
        ++i;
        if (i < t.size() && (t[i] == u'+' || t[i] == u'-')) ++i;
        size_t exp = 0;
        while (i < t.size() && is_digit(t[i])) ++i, ++exp;
        if (exp == 0) return false;
    }
    return i == t.size();
}

std::u16string date_text(const ole_systemtime& st)
{
    // A time without a date lies on the Access zero date, 1899-12-30.
    if (st.year == 0 && st.month == 0 && st.day == 0)
        return tk_format(u"1899-12-30 %02d:%02d:%02d", st.hour, st.minute, st.second);
    return tk_format(u"%04d-%02d-%02d %02d:%02d:%02d", st.year, st.month, st.day, st.hour, st.minute, st.second);
}

std::u16string date_literal(const ole_variant& v, const t_ftd* column)
{
    std::u16string text = date_text(v.as_date());
    if (column != nullptr && column->fraction_digits > 0)
        return u"TO_TIMESTAMP('" + text + tk_format(u".%07u", v.date_fraction()) + u"', '" +
               std::u16string(k_date_format) + u".FF7')";
    return u"to_date('" + text + u"', '" + std::u16string(k_date_format) + u"')";
}

std::u16string hex_literal(const ole_variant& v)
{
    std::vector<uint8_t> scratch;
    std::span<const uint8_t> bytes = ora_value_bytes(v, scratch);
    if (bytes.empty()) return u"NULL";
    return u"'" + tk_widen_ascii(tk_hex_text(bytes.data(), bytes.size())) + u"'";
}

std::u16string doubled_quotes(std::u16string_view text)
{
    std::u16string out;
    out.reserve(text.size());
    for (char16_t c : text) {
        out += c;
        if (c == u'\'') out += u'\'';
    }
    return out;
}

bool is_integer_kind(ole_vartype vt)
{
    switch (vt) {
    case VT_I1:
    case VT_I2:
    case VT_I4:
    case VT_INT:
    case VT_UI1:
    case VT_UI2:
    case VT_UI4:
    case VT_UINT:
    case VT_BOOL:
    case VT_I8:
    case VT_UI8: return true;
    default: return false;
    }
}

}  // namespace

bool ora_is_text_kind(ole_vartype vt)
{
    return vt == VT_BSTR;
}

bool ora_is_binary_kind(ole_vartype vt)
{
    return ole_is_binary_vt(vt);
}

bool ora_is_lob(ole_vartype vt, uint32_t size)
{
    if (!ora_is_text_kind(vt) && !ora_is_binary_kind(vt)) return false;
    return size == 0 || size > ora_max_inline_size;
}

bool ora_is_lob(const t_ftd& field)
{
    return ora_is_lob(field.vartype, field.size);
}

bool ora_is_guid_column(const t_ftd& field)
{
    return ora_is_binary_kind(field.vartype) && field.size == 16 && field.extra == 1;
}

std::u16string get_native_type(const t_ftd& field, bool national_lobs)
{
    tk_trace(1, "get_native_type [Oracle]");
    switch (field.vartype) {
    case VT_BOOL:
    case VT_I1: return u"NUMBER(3,0)";
    case VT_I2:
    case VT_UI1: return u"NUMBER(5,0)";
    case VT_I4:
    case VT_UI2:
    case VT_INT: return u"NUMBER(11,0)";
    case VT_UI4:
    case VT_I8:
    case VT_UINT: return u"NUMBER(19,0)";
    case VT_UI8: return u"NUMBER(20,0)";
    case VT_R4:
    case VT_R8:
    case VT_CY: return u"NUMBER";
    case VT_DECIMAL: {
        int precision = static_cast<int>((field.extra >> 8) & 0xFF);
        int scale = static_cast<int>(field.extra & 0xFF);
        // NUMBER(0,s) does not exist (ORA-01727); without a precision the
        // column keeps whatever the values carry.
        if (precision == 0) return u"NUMBER";
        if (precision > 38) precision = 38;
        return tk_format(u"NUMBER(%d,%d)", precision, scale);
    }
    case VT_DATE:
        if (field.fraction_digits > 0)
            return tk_format(u"TIMESTAMP(%d)", field.fraction_digits > 9 ? 9 : field.fraction_digits);
        return u"DATE";
    case VT_BSTR:
        if (ora_is_lob(field)) return national_lobs ? u"NCLOB" : u"CLOB";
        tk_trace(1, "process as text");
        return tk_format(u"NVARCHAR2(%u) ", field.size);
    case VT_BLOB:
    case VT_BLOB_OBJECT:
    case VT_ARRAY_UI1:
        if (ora_is_lob(field)) return u"BLOB";
        tk_trace(1, "process as binary");
        return tk_format(u"RAW(%u)", field.size);
    default: TK_FAIL();
    }
}

std::u16string ora_text_literal(std::u16string_view text)
{
    std::u16string out;
    size_t i = 0;
    do {
        size_t bytes = 0;
        size_t start = i;
        while (i < text.size()) {
            size_t units = 1;
            size_t cost = utf8_cost(text, i, units);
            if (bytes + cost > ora_max_literal_bytes) break;
            bytes += cost;
            i += units;
        }
        if (!out.empty()) out += u"||";
        out += u"N'" + doubled_quotes(text.substr(start, i - start)) + u"'";
    } while (i < text.size());
    return out;
}

std::string ora_number_text(double value, bool single)
{
    if (!std::isfinite(value)) return {};
    char buffer[64];
    std::to_chars_result r = single ? std::to_chars(buffer, buffer + sizeof buffer, static_cast<float>(value))
                                    : std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, r.ptr);
}

std::span<const uint8_t> ora_value_bytes(const ole_variant& v, std::vector<uint8_t>& scratch)
{
    ole_vartype vt = v.get_vt();
    if (vt == VT_ARRAY_UI1 || vt == VT_SAFEARRAY) return v.as_bytes();
    if (vt != VT_BSTR) return {};
    const std::u16string& t = v.as_wstring();
    if (t.size() < 2 || t[0] != u'0' || (t[1] != u'x' && t[1] != u'X') || t.size() % 2 != 0) return {};
    scratch.clear();
    for (size_t i = 2; i < t.size(); i += 2) {
        if (!is_hex(t[i]) || !is_hex(t[i + 1])) return {};
        auto digit = [](char16_t c) { return c <= u'9' ? c - u'0' : (c | 0x20) - u'a' + 10; };
        scratch.push_back(static_cast<uint8_t>(digit(t[i]) * 16 + digit(t[i + 1])));
    }
    return scratch;
}

std::u16string ora_guid_hex(std::u16string_view text)
{
    static constexpr std::u16string_view head = u"{guid {";
    static constexpr std::u16string_view tail = u"}}";
    // {guid { + 36 + }}
    if (text.size() != head.size() + 36 + tail.size()) return {};
    if (text.substr(0, head.size()) != head || text.substr(text.size() - 2) != tail) return {};
    std::u16string_view g = text.substr(head.size(), 36);
    std::u16string digits;
    for (size_t i = 0; i < g.size(); ++i) {
        bool dash_place = i == 8 || i == 13 || i == 18 || i == 23;
        if (dash_place ? g[i] != u'-' : !is_hex(g[i])) return {};
        if (!dash_place) digits += g[i];
    }
    // The first three groups lie in memory little-endian.
    static constexpr int order[8] = {6, 4, 2, 0, 10, 8, 14, 12};
    std::u16string out;
    for (int p : order) out += digits.substr(static_cast<size_t>(p), 2);
    out += digits.substr(16);
    tk_trace(1, u"ora_guid=%s", out);
    return out;
}

std::u16string to_oracle_str(std::u16string_view text, ole_vartype vt)
{
    tk_trace(1, u"to_oracle_str(%s,%d)", text, vt);
    if (text.empty()) return u"''";
    if (vt == VT_DATE) {
        ole_date date(text);
        if (!date.is_valid()) return {};
        if (date.kind == ole_date::kind_pure_time) tk_trace(1, "Null date has been found");
        if (date.kind == ole_date::kind_pure_date)
            return tk_format(u"to_date('%04d-%02d-%02d', 'YYYY-MM-DD')", date.st.year, date.st.month, date.st.day);
        ole_systemtime st = date.st;
        if (date.kind == ole_date::kind_pure_time) st.year = st.month = st.day = 0;
        return u"to_date('" + date_text(st) + u"', '" + std::u16string(k_date_format) + u"')";
    }
    if (ora_is_binary_kind(vt)) {
        tk_trace(1, "GOT BLOB");
        if (text.size() < 2 || text[0] != u'0' || (text[1] != u'x' && text[1] != u'X')) return u"''";
        for (size_t i = 2; i < text.size(); ++i)
            if (!is_hex(text[i])) return u"''";
        tk_trace(1, "BLOB IS VALID");
        return u"'" + std::u16string(text.substr(2)) + u"'";
    }
    if (vt == VT_BSTR) return ora_text_literal(text);
    // Numbers, booleans, currency and decimals go unquoted, so their text
    // must be a number and nothing else.
    std::u16string t(text);
    for (char16_t& c : t)
        if (c == u',') c = u'.';
    return is_number_text(t) ? t : std::u16string();
}

std::u16string ora_value_literal(const ole_variant& v, const t_ftd* column)
{
    if (v.is_empty_or_null()) return u"NULL";
    ole_vartype vt = v.get_vt();
    switch (vt) {
    case VT_BSTR: {
        const std::u16string& text = v.as_wstring();
        if (text.empty()) return u"NULL";  // Oracle keeps '' as NULL anyway
        // A GUID is written as its 16 bytes only where bytes belong; in a
        // text column its text is kept.
        bool binary_column = column != nullptr && ora_is_binary_kind(column->vartype);
        if (column == nullptr || binary_column) {
            std::u16string hex = ora_guid_hex(text);
            if (!hex.empty()) {
                tk_trace(1, "FIELD IS A GUID!");
                return u"HEXTORAW('" + hex + u"')";
            }
        }
        if (binary_column) {
            std::u16string literal = hex_literal(v);
            if (literal == u"NULL")
                throw tk_exception("A text value that is neither a GUID nor hexadecimal bytes cannot be "
                                   "stored in a binary column.",
                                   0);
            return literal;
        }
        return ora_text_literal(text);
    }
    case VT_DATE: return date_literal(v, column);
    case VT_BLOB:
    case VT_BLOB_OBJECT:
    case VT_ARRAY_UI1:
    case VT_SAFEARRAY: return hex_literal(v);
    case VT_R4:
    case VT_R8: {
        std::string t = ora_number_text(vt == VT_R4 ? v.as_r4() : v.as_r8(), vt == VT_R4);
        return t.empty() ? u"NULL" : tk_widen_ascii(t);
    }
    default: {
        std::u16string t = to_oracle_str(v.to_wstring(), vt);
        return t.empty() || t == u"''" ? u"NULL" : t;
    }
    }
}

std::u16string to_oracle_str(const udb_field* field, const t_ftd* column)
{
    tk_trace(1, "to_oracle_str( const udb_field *  )");
    TK_ASSERT(field != nullptr);
    return ora_value_literal(*field, column);
}

bool ora_value_in_range(const ole_variant& v)
{
    double x = 0;
    switch (v.get_vt()) {
    case VT_R4: x = v.as_r4(); break;
    case VT_R8: x = v.as_r8(); break;
    case VT_CY:
    case VT_DECIMAL: x = ole_atof(v.to_string()); break;
    default: return true;
    }
    return std::isfinite(x) && std::fabs(x) < k_number_limit;
}

std::u16string make_ora_def_val(const t_ftd* field)
{
    TK_ASSERT(field != nullptr);
    std::u16string text = field->def_value.is_empty_or_null() ? u"" : field->def_value.to_wstring();
    tk_trace(1, u"make_ora_def_val(%s)", text);
    if (text.empty()) {
        tk_trace(1, "Got empty def value");
        return {};
    }
    ole_vartype vt = field->vartype;
    if (vt == VT_BSTR) {
        tk_trace(1, u"Got BSTR or DATE def value: %s", text);
        if (field->size > 0 && text.size() > field->size) text = text.substr(0, field->size);
        return ora_text_literal(text);
    }
    if (is_integer_kind(vt)) {
        std::string n = tk_to_utf8(text);
        long long value = std::strtoll(n.c_str(), nullptr, 10);
        return std::to_string(value) == n ? text : std::u16string();
    }
    if (vt == VT_DECIMAL || vt == VT_R4 || vt == VT_R8 || vt == VT_CY) {
        std::string n = tk_to_utf8(text);
        double x = ole_atof(n);
        if (x < -k_number_limit || x > k_number_limit) {
            tk_trace(1, "def value is out of range");
            return u"0";
        }
        std::u16string literal = to_oracle_str(text, vt);
        if (x != 0) return literal;
        if (text == u"0") return text;
        for (char16_t c : text)
            if (std::u16string_view(u"eE-+.,0").find(c) == std::u16string_view::npos) return {};
        return literal;
    }
    if (vt == VT_DATE) {
        tk_trace(1, "Got DATE def value");
        ole_date date(text);
        if (!date.is_valid()) return {};
        std::u16string canonical = date.to_wstring();
        tk_trace(1, u"After canonization: %s", canonical);
        if (canonical.empty()) return {};
        return to_oracle_str(canonical, VT_DATE);
    }
    return {};
}

ole_vartype ora_refine_number(int& precision, int& scale)
{
    if (precision == 0 || precision > 38) return VT_R8;
    if (scale != 0) {
        if (precision == scale) ++precision;
        return VT_DECIMAL;
    }
    tk_trace(1, "Refine type mapping for int (prec=%d)", precision);
    if (precision < 3) return VT_I1;
    if (precision < 5) return VT_I2;
    // NUMBER(11,0) is what 32-bit columns become; wider integer columns
    // would not fit a VT_I4.
    if (precision <= 11) return VT_I4;
    if (precision <= 19) return VT_I8;  // wider values fall back to VT_DECIMAL on reading
    return VT_DECIMAL;
}
