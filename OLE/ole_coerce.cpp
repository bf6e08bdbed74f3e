#include "ole_coerce.h"

#include <cfloat>
#include <cmath>

#include "ole_date.h"
#include "ole_date_parser.h"
#include "ole_number_text.h"
#include "tk_wstring.h"

namespace {

constexpr uint16_t variant_true = 0xFFFF;

// A numeric source: exact values as a decimal, binary floating point as a
// double (with the float flag: a float keeps 7 digits when made decimal).
struct number {
    bool real = false;
    bool single = false;
    double r = 0.0;
    ole_decimal d;
};

bool numeric_source(const ole_variant& v, number& n)
{
    switch (v.get_vt()) {
    case VT_EMPTY: n.d = ole_decimal{}; return true;
    case VT_I1: n.d = ole_dec_from_i8(v.as_i1()); return true;
    case VT_UI1: n.d = ole_dec_from_i8(v.as_ui1()); return true;
    case VT_I2: n.d = ole_dec_from_i8(v.as_i2()); return true;
    case VT_UI2: n.d = ole_dec_from_i8(v.as_ui2()); return true;
    case VT_I4:
    case VT_INT: n.d = ole_dec_from_i8(v.as_i4()); return true;
    case VT_UI4:
    case VT_UINT: n.d = ole_dec_from_i8(v.as_ui4()); return true;
    case VT_I8: n.d = ole_dec_from_i8(v.as_i8()); return true;
    case VT_UI8: n.d = ole_dec_from_ui8(v.as_ui8()); return true;
    case VT_BOOL: n.d = ole_dec_from_i8(static_cast<int16_t>(v.as_bool_raw())); return true;
    case VT_CY: n.d = ole_cy_to_dec(v.as_cy()); return true;
    case VT_DECIMAL: n.d = v.as_decimal(); return true;
    case VT_R4:
        n.real = n.single = true;
        n.r = v.as_r4();
        return true;
    case VT_R8:
        n.real = true;
        n.r = v.as_r8();
        return true;
    case VT_DATE:
        n.real = true;
        n.r = v.as_date_number();
        return true;
    default: return false;
    }
}

bool is_integer_kind(ole_vartype vt)
{
    switch (vt) {
    case VT_I1:
    case VT_UI1:
    case VT_I2:
    case VT_UI2:
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
    case VT_I8:
    case VT_UI8: return true;
    default: return false;
    }
}

bool integer_range(ole_vartype vt, int64_t& lo, uint64_t& hi)
{
    switch (vt) {
    case VT_I1:
        lo = INT8_MIN;
        hi = INT8_MAX;
        return true;
    case VT_UI1:
        lo = 0;
        hi = UINT8_MAX;
        return true;
    case VT_I2:
        lo = INT16_MIN;
        hi = INT16_MAX;
        return true;
    case VT_UI2:
        lo = 0;
        hi = UINT16_MAX;
        return true;
    case VT_I4:
    case VT_INT:
        lo = INT32_MIN;
        hi = INT32_MAX;
        return true;
    case VT_UI4:
    case VT_UINT:
        lo = 0;
        hi = UINT32_MAX;
        return true;
    case VT_I8:
        lo = INT64_MIN;
        hi = INT64_MAX;
        return true;
    case VT_UI8:
        lo = 0;
        hi = UINT64_MAX;
        return true;
    default: return false;
    }
}

// An integer result as sign and magnitude so that the whole of VT_UI8 and
// VT_I8 fits.
struct whole {
    bool negative = false;
    uint64_t magnitude = 0;
};

ole_hresult whole_from_decimal(const ole_decimal& d, whole& w)
{
    if (d.is_negative()) {
        int64_t v;
        ole_hresult hr = ole_dec_to_i8(d, v);
        if (hr != OLE_S_OK) return hr;
        w.negative = v < 0;
        w.magnitude = v < 0 ? static_cast<uint64_t>(-(v + 1)) + 1 : static_cast<uint64_t>(v);
        return OLE_S_OK;
    }
    return ole_dec_to_ui8(d, w.magnitude);
}

ole_hresult whole_from_double(double r, whole& w)
{
    double x = std::nearbyint(r);  // half to even under the default rounding mode
    if (!(x > -18446744073709551616.0 && x < 18446744073709551616.0)) return OLE_E_OVERFLOW;
    w.negative = x < 0;
    w.magnitude = static_cast<uint64_t>(std::fabs(x));
    return OLE_S_OK;
}

ole_hresult whole_from_text(const std::u16string& text, whole& w)
{
    ole_parsed_number n;
    ole_hresult hr = ole_parse_number(text, n);
    if (hr != OLE_S_OK) return hr;
    bool negative = n.negative;
    n.negative = false;
    hr = ole_parsed_to_ui8(n, w.magnitude);
    w.negative = negative && w.magnitude != 0;
    return hr;
}

ole_hresult make_integer(const whole& w, ole_vartype vt, ole_variant& out)
{
    int64_t lo = 0;
    uint64_t hi = 0;
    if (!integer_range(vt, lo, hi)) return OLE_E_BADVARTYPE;
    if (w.negative) {
        uint64_t limit = static_cast<uint64_t>(-(lo + 1)) + 1;
        if (lo == 0 || w.magnitude > limit) return OLE_E_OVERFLOW;
        out.set_integer(vt, static_cast<int64_t>(-static_cast<__int128>(w.magnitude)));
    } else {
        if (w.magnitude > hi) return OLE_E_OVERFLOW;
        if (vt == VT_UI8)
            out = ole_variant(static_cast<unsigned long long>(w.magnitude));
        else
            out.set_integer(vt, static_cast<int64_t>(w.magnitude));
    }
    return OLE_S_OK;
}

ole_hresult to_integer(const ole_variant& src, ole_vartype vt, ole_variant& out)
{
    whole w;
    ole_hresult hr;
    number n;
    if (src.get_vt() == VT_BSTR)
        hr = whole_from_text(src.as_wstring(), w);
    else if (!numeric_source(src, n))
        hr = OLE_E_TYPEMISMATCH;
    else
        hr = n.real ? whole_from_double(n.r, w) : whole_from_decimal(n.d, w);
    if (hr != OLE_S_OK) return hr;
    return make_integer(w, vt, out);
}

ole_hresult to_double(const ole_variant& src, double& r)
{
    if (src.get_vt() == VT_BSTR) return ole_r8_from_str(src.as_wstring(), r);
    number n;
    if (!numeric_source(src, n)) return OLE_E_TYPEMISMATCH;
    r = n.real ? n.r : ole_dec_to_r8(n.d);
    return OLE_S_OK;
}

ole_hresult to_real(const ole_variant& src, ole_vartype vt, ole_variant& out)
{
    double r;
    ole_hresult hr = to_double(src, r);
    if (hr != OLE_S_OK) return hr;
    if (vt == VT_R8) {
        out = ole_variant(r);
        return OLE_S_OK;
    }
    if (std::isfinite(r) && std::fabs(r) > FLT_MAX) return OLE_E_OVERFLOW;
    out = ole_variant(static_cast<float>(r));
    return OLE_S_OK;
}

ole_hresult to_currency(const ole_variant& src, ole_variant& out)
{
    ole_cy cy;
    ole_hresult hr;
    number n;
    if (src.get_vt() == VT_BSTR)
        hr = ole_cy_from_str(std::u16string_view(src.as_wstring()), cy);
    else if (!numeric_source(src, n))
        hr = OLE_E_TYPEMISMATCH;
    else
        hr = n.real ? ole_cy_from_r8(n.r, cy) : ole_cy_from_dec(n.d, cy);
    if (hr == OLE_S_OK) out = ole_variant(cy);
    return hr;
}

ole_hresult to_decimal(const ole_variant& src, ole_variant& out)
{
    ole_decimal d;
    ole_hresult hr;
    number n;
    if (src.get_vt() == VT_BSTR) {
        hr = ole_dec_from_str(std::u16string_view(src.as_wstring()), d);
    } else if (!numeric_source(src, n)) {
        hr = OLE_E_TYPEMISMATCH;
    } else if (n.single) {
        // A float carries 7 significant digits.
        if (!std::isfinite(n.r)) return OLE_E_OVERFLOW;
        hr = ole_dec_from_str(std::string_view(ole_format_e(n.r, 6)), d);
    } else if (n.real) {
        hr = ole_dec_from_r8(n.r, d);
    } else {
        d = n.d;
        hr = OLE_S_OK;
    }
    if (hr == OLE_S_OK) out = ole_variant(d);
    return hr;
}

bool equal_word(std::u16string_view text, std::u16string_view word)
{
    return tk_equal_nocase(tk_trim(text), word);
}

ole_hresult to_bool(const ole_variant& src, ole_variant& out)
{
    if (src.get_vt() == VT_BSTR) {
        const std::u16string& t = src.as_wstring();
        if (equal_word(t, u"True")) {
            out.set_bool_raw(variant_true);
            return OLE_S_OK;
        }
        if (equal_word(t, u"False")) {
            out.set_bool_raw(0);
            return OLE_S_OK;
        }
        double r;
        ole_hresult hr = ole_r8_from_str(t, r);
        if (hr != OLE_S_OK) return OLE_E_TYPEMISMATCH;
        out.set_bool_raw(r != 0.0 ? variant_true : 0);
        return OLE_S_OK;
    }
    number n;
    if (!numeric_source(src, n)) return OLE_E_TYPEMISMATCH;
    bool nonzero = n.real ? n.r != 0.0 : !n.d.is_zero();
    out.set_bool_raw(nonzero ? variant_true : 0);
    return OLE_S_OK;
}

ole_hresult to_text(const ole_variant& src, ole_variant& out)
{
    std::string s;
    switch (src.get_vt()) {
    case VT_EMPTY: break;
    case VT_BOOL: s = std::to_string(static_cast<int16_t>(src.as_bool_raw())); break;
    case VT_R4: s = ole_r4_to_str(src.as_r4()); break;
    case VT_R8: s = ole_r8_to_str(src.as_r8()); break;
    case VT_CY: s = ole_cy_to_str(src.as_cy()); break;
    case VT_DECIMAL: s = ole_dec_to_str(src.as_decimal()); break;
    case VT_DATE: s = ole_date(src.as_date()).to_string(); break;
    case VT_UI8: s = std::to_string(src.as_ui8()); break;
    default: {
        if (!is_integer_kind(src.get_vt())) return OLE_E_TYPEMISMATCH;
        number n;
        numeric_source(src, n);
        s = ole_dec_to_str(n.d);
    }
    }
    out = ole_variant(tk_widen_ascii(s));
    return OLE_S_OK;
}

ole_hresult to_date(const ole_variant& src, ole_variant& out)
{
    if (src.get_vt() == VT_BSTR) {
        ole_systemtime st;
        if (!ole_date_parser().parse(tk_to_ansi(src.as_wstring()), st)) return OLE_E_TYPEMISMATCH;
        out = ole_variant(st);
        return OLE_S_OK;
    }
    double r;
    ole_hresult hr = to_double(src, r);
    if (hr != OLE_S_OK) return hr;
    ole_variant v;
    if (!v.attach_date_number(r)) return OLE_E_OVERFLOW;
    out = std::move(v);
    return OLE_S_OK;
}

}  // namespace

ole_hresult ole_coerce(const ole_variant& src, ole_vartype vt, ole_variant& out)
{
    ole_variant result;
    ole_hresult hr = OLE_S_OK;
    if (vt == src.get_vt()) {
        result = src;
    } else if (vt == VT_EMPTY) {
        // result stays empty
    } else if (vt == VT_NULL) {
        result.set_null();
    } else if (src.get_vt() == VT_NULL) {
        hr = OLE_E_TYPEMISMATCH;
    } else if (is_integer_kind(vt)) {
        hr = to_integer(src, vt, result);
    } else {
        switch (vt) {
        case VT_R4:
        case VT_R8: hr = to_real(src, vt, result); break;
        case VT_CY: hr = to_currency(src, result); break;
        case VT_DECIMAL: hr = to_decimal(src, result); break;
        case VT_BOOL: hr = to_bool(src, result); break;
        case VT_BSTR: hr = to_text(src, result); break;
        case VT_DATE: hr = to_date(src, result); break;
        case VT_ERROR:
        case VT_DISPATCH:
        case VT_UNKNOWN:
        case VT_VARIANT: hr = OLE_E_TYPEMISMATCH; break;
        default: hr = OLE_E_BADVARTYPE; break;
        }
    }
    if (hr != OLE_S_OK) result.clear();
    out = std::move(result);
    return hr;
}
