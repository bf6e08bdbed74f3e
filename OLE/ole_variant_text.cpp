// Text forms of ole_variant: to_string, to_wstring, from_string,
// from_wstring.
#include <algorithm>
#include <cstdlib>

#include "ole_coerce.h"
#include "ole_date.h"
#include "ole_exceptions.h"
#include "ole_number_text.h"
#include "ole_variant.h"
#include "tk_logger.h"
#include "tk_wstring.h"

namespace {

constexpr uint16_t variant_true = 0xFFFF;

std::string hex_text(const std::vector<uint8_t>& bytes)
{
    if (bytes.empty()) return std::string();
    size_t n = std::min(bytes.size(), ole_variant::max_binary_text_bytes);
    return "0x" + tk_hex_text(bytes.data(), n);
}

std::string with_points(std::string s)
{
    std::replace(s.begin(), s.end(), ',', '.');
    return s;
}

// The C library's atoi, whose result on overflow is the nearest int.
int32_t c_atoi(const std::string& s)
{
    long long v = std::strtoll(s.c_str(), nullptr, 10);
    return static_cast<int32_t>(std::clamp<long long>(v, INT32_MIN, INT32_MAX));
}

bool equal_nocase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

int hex_digit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::string ole_variant::to_string() const
{
    tk_trace(1, "ole_variant::to_string (vt=%08X)", vt_);
    switch (vt_) {
    case VT_ARRAY_UI1:
    case VT_SAFEARRAY: return hex_text(bytes_);
    case VT_DECIMAL: return with_points(ole_dec_to_str(u_.dec));
    case VT_CY: return with_points(ole_cy_to_str(u_.cy));
    case VT_DATE: return ole_date(st_).to_string();
    case VT_BSTR: return tk_to_ansi(text_);
    case VT_BOOL: return u_.boolean == variant_true ? "1" : "0";
    case VT_I1: return std::to_string(u_.i1);
    case VT_I2: return std::to_string(u_.i2);
    case VT_I4:
    case VT_INT: return std::to_string(u_.i4);
    case VT_UI1: return std::to_string(u_.ui1);
    case VT_UI2: return std::to_string(u_.ui2);
    case VT_UI4:
    case VT_UINT: return std::to_string(u_.ui4);
    case VT_R4: return ole_format_e(u_.r4, 6);
    case VT_R8: return ole_format_e(u_.r8, 15);
    case VT_I8: return std::to_string(i8_);
    case VT_UI8: return std::to_string(ui8_);
    default: return std::string();
    }
}

std::u16string ole_variant::to_wstring() const
{
    if (vt_ == VT_BSTR) return text_;
    return tk_from_ansi(to_string());
}

void ole_variant::from_wstring(std::u16string_view text, ole_vartype vt)
{
    if (vt == VT_BSTR) {
        // Text stays UTF-16: narrowing it would lose every character the
        // locale's encoding lacks.
        tk_trace(1, u"ole_variant::from_wstring('%s', 0x%08X)", text, vt);
        attach_wstring(text);
        return;
    }
    from_string(tk_to_ansi(text), vt);
}

void ole_variant::from_string(std::string_view text_in, ole_vartype vt)
{
    tk_trace(1, "ole_variant::from_string('%s', 0x%08X)", text_in, vt);
    const std::string text(text_in);
    if (text.empty() && vt != VT_BSTR) {
        clear();
        return;
    }
    switch (vt) {
    case VT_I2:
    case VT_I4:
    case VT_I1:
    case VT_UI1:
    case VT_UI2: {
        // atoi's value narrowed to the kind, as a C cast would.
        int32_t v = c_atoi(text);
        int64_t narrowed = vt == VT_I2    ? static_cast<int16_t>(v)
                           : vt == VT_I1  ? static_cast<int8_t>(v)
                           : vt == VT_UI1 ? static_cast<uint8_t>(v)
                           : vt == VT_UI2 ? static_cast<uint16_t>(v)
                                          : v;
        set_integer(vt, narrowed);
        return;
    }
    case VT_UI4: {
        unsigned long long v = std::strtoull(text.c_str(), nullptr, 10);
        set_integer(VT_UI4, static_cast<uint32_t>(v));
        return;
    }
    case VT_UI8: *this = ole_variant(static_cast<unsigned long long>(std::strtoull(text.c_str(), nullptr, 10))); return;
    case VT_I8: *this = ole_variant(static_cast<long long>(std::strtoll(text.c_str(), nullptr, 10))); return;
    case VT_R4: *this = ole_variant(static_cast<float>(ole_atof(with_points(text)))); return;
    case VT_R8: *this = ole_variant(ole_atof(with_points(text))); return;
    case VT_CY: from_currency_text(text); return;
    case VT_DECIMAL: from_decimal_text(text); return;
    case VT_DATE: from_date_text(text); return;
    case VT_BOOL: from_bool_text(text); return;
    case VT_ARRAY_UI1:
    case VT_BLOB:
    case VT_BLOB_OBJECT: from_hex_text(text); return;
    default: break;
    }
    ole_variant result;
    if (ole_coerce(ole_variant(text_in), vt, result) != OLE_S_OK) throw ole_type_exception();
    tk_trace(1, "VariantChangeType succeeded");
    *this = std::move(result);
}

void ole_variant::from_currency_text(const std::string& text)
{
    tk_trace(1, "GOT VT_CY");
    ole_cy cy;
    ole_hresult hr = ole_cy_from_str(std::string_view(with_points(text)), cy);
    if (hr != OLE_S_OK) {
        tk_trace(3, "VarCyFromStr failed: %08X", hr);
        clear();
        return;
    }
    *this = ole_variant(cy);
}

void ole_variant::from_decimal_text(const std::string& text)
{
    tk_trace(1, "GOT VT_DECIMAL");
    ole_decimal d;
    ole_hresult hr = ole_dec_from_str(std::string_view(with_points(text)), d);
    if (hr != OLE_S_OK) {
        tk_trace(3, "VarDecFromStr failed: %08X", hr);
        clear();
        return;
    }
    *this = ole_variant(d);
}

void ole_variant::from_date_text(const std::string& text)
{
    tk_trace(1, "GOT VT_DATE");
    ole_date date{std::string_view(text)};
    if (!date.is_valid()) {
        clear();
        return;
    }
    *this = ole_variant(date.st);
}

void ole_variant::from_bool_text(const std::string& text)
{
    bool value;
    if (equal_nocase(text, "yes") || equal_nocase(text, "true"))
        value = true;
    else if (equal_nocase(text, "no") || equal_nocase(text, "false"))
        value = false;
    else
        value = c_atoi(text) != 0;
    set_bool_raw(value ? variant_true : 0);
}

void ole_variant::from_hex_text(const std::string& text)
{
    if (text.size() % 2 != 0) {
        tk_trace(2, "Incorrect BLOB (size is odd)");
        clear();
        return;
    }
    tk_trace(1, "Got BLOB size: %d", text.size());
    size_t start = text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X') ? 2 : 0;
    std::vector<uint8_t> bytes;
    bytes.reserve((text.size() - start) / 2);
    for (size_t i = start; i < text.size(); i += 2) {
        int hi = hex_digit(text[i]), lo = hex_digit(text[i + 1]);
        if (hi < 0 || lo < 0) {
            // Not a byte: no value rather than a made-up one.
            tk_trace(2, "Incorrect BLOB (not hexadecimal)");
            clear();
            return;
        }
        bytes.push_back(static_cast<uint8_t>(hi * 16 + lo));
    }
    set_bytes_raw(std::move(bytes));
}
