// ole_variant::change_type: the kind changes the system performs, layered
// over OLE Automation's rules (ole_coerce) for the pairs it treats alike.
//
// Where the plain rule would lose data silently the change fails instead
// (ole_cast_exception): a 64-bit value that does not fit the narrower kind,
// a negative value to VT_UI8, a date text that does not read as a date.
#include <cmath>
#include <cstring>

#include "ole_coerce.h"
#include "ole_date.h"
#include "ole_exceptions.h"
#include "ole_variant.h"
#include "tk_logger.h"

namespace {

constexpr uint16_t variant_true = 0xFFFF;
constexpr size_t date_text_length = 19;  // "YYYY-MM-DD hh:mm:ss"

bool in_range(ole_vartype vt, int64_t v)
{
    switch (vt) {
    case VT_I1: return v >= INT8_MIN && v <= INT8_MAX;
    case VT_UI1: return v >= 0 && v <= UINT8_MAX;
    case VT_I2: return v >= INT16_MIN && v <= INT16_MAX;
    case VT_UI2: return v >= 0 && v <= UINT16_MAX;
    case VT_I4:
    case VT_INT: return v >= INT32_MIN && v <= INT32_MAX;
    case VT_UINT: return v >= 0 && v <= UINT32_MAX;
    default: return false;
    }
}

// A decimal reaches the 64-bit kinds by way of currency, rounded on the
// first dropped digit; one beyond the currency range rounds the same way
// from its own digits instead of failing.
__int128 decimal_to_integer_first_digit(const ole_decimal& d)
{
    ole_cy cy;
    if (ole_cy_from_dec(d, cy) == OLE_S_OK) return ole_cy_to_i8_round_first_digit(cy);
    unsigned __int128 m = (static_cast<unsigned __int128>(d.hi32) << 64) | d.lo64;
    if (d.scale > 0) {
        for (unsigned k = 1; k < d.scale; ++k) m /= 10;
        unsigned first_dropped = static_cast<unsigned>(m % 10);
        m /= 10;
        if (first_dropped > 4) ++m;
    }
    __int128 v = static_cast<__int128>(m);  // below 2^96
    return d.is_negative() ? -v : v;
}

void append_le(std::vector<uint8_t>& out, uint64_t v, size_t bytes)
{
    for (size_t i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

}  // namespace

void ole_variant::change_type(ole_vartype vt)
{
    tk_trace(1, "ole_variant::change_type(old=%d,new=%d)", vt_, vt);
    if (vt_ == vt || vt_ == VT_EMPTY || vt_ == VT_NULL) return;
    if (ole_is_binary_vt(vt) && is_binary()) return;
    if (ole_is_binary_vt(vt)) {
        // Raw bytes, for every kind that has them (dates and hypers too).
        change_to_binary();
    } else if (vt_ == VT_I8) {
        change_from_i8(vt);
    } else if (vt == VT_I8 || vt == VT_UI8) {
        change_to_64(vt);
    } else if (vt_ == VT_DATE) {
        if (vt != VT_BSTR) throw ole_cast_exception();
        attach_wstring(ole_date(st_).to_wstring());
    } else if (vt == VT_DATE) {
        if (vt_ != VT_BSTR || text_.size() != date_text_length) throw ole_cast_exception();
        ole_variant result;
        result.from_wstring(text_, VT_DATE);
        if (result.get_vt() != VT_DATE) throw ole_cast_exception();
        *this = std::move(result);
    } else {
        ole_variant result;
        if (ole_coerce(*this, vt, result) != OLE_S_OK) throw ole_cast_exception();
        *this = std::move(result);
    }
}

void ole_variant::change_from_i8(ole_vartype vt)
{
    const int64_t v = i8_;
    switch (vt) {
    case VT_BOOL: set_bool_raw(v != 0 ? variant_true : 0); return;
    case VT_UI4: vt = VT_UINT; [[fallthrough]];  // the same 32 bits
    case VT_I2:
    case VT_I4:
    case VT_I1:
    case VT_UI1:
    case VT_UI2:
    case VT_INT:
    case VT_UINT:
        if (!in_range(vt, v)) throw ole_cast_exception();
        set_integer(vt, v);
        return;
    case VT_R4: *this = ole_variant(static_cast<float>(v)); return;
    case VT_R8: *this = ole_variant(static_cast<double>(v)); return;
    case VT_UI8:
        if (v < 0) throw ole_cast_exception();
        *this = ole_variant(static_cast<unsigned long long>(v));
        return;
    case VT_BSTR: attach_string(std::to_string(v)); return;
    case VT_CY: {
        ole_cy cy;
        if (ole_cy_from_i8(v, cy) != OLE_S_OK) throw ole_cast_exception();
        *this = ole_variant(cy);
        return;
    }
    case VT_DECIMAL: *this = ole_variant(ole_dec_from_i8(v)); return;
    default: throw ole_cast_exception();
    }
}

void ole_variant::change_to_64(ole_vartype vt)
{
    __int128 v = 0;
    switch (vt_) {
    case VT_I2: v = u_.i2; break;
    case VT_I4:
    case VT_INT: v = u_.i4; break;
    case VT_BOOL: v = static_cast<int16_t>(u_.boolean); break;
    case VT_I1: v = u_.i1; break;
    case VT_UI1: v = u_.ui1; break;
    case VT_UI2: v = u_.ui2; break;
    case VT_UI4:
    case VT_UINT: v = u_.ui4; break;
    case VT_R4:
    case VT_R8: {
        double t = std::trunc(vt_ == VT_R4 ? u_.r4 : u_.r8);
        if (!(t > -18446744073709551616.0 && t < 18446744073709551616.0)) throw ole_cast_exception();
        v = static_cast<__int128>(t);
        break;
    }
    case VT_CY: v = ole_cy_to_i8_round_first_digit(u_.cy); break;
    case VT_DECIMAL: v = decimal_to_integer_first_digit(u_.dec); break;
    case VT_UI8: v = ui8_; break;  // only to VT_I8 here
    default: throw ole_cast_exception();
    }
    if (vt == VT_UI8) {
        if (v < 0 || v > static_cast<__int128>(UINT64_MAX)) throw ole_cast_exception();
        *this = ole_variant(static_cast<unsigned long long>(v));
    } else {
        if (v < INT64_MIN || v > INT64_MAX) throw ole_cast_exception();
        *this = ole_variant(static_cast<long long>(v));
    }
}

void ole_variant::change_to_binary()
{
    std::vector<uint8_t> raw;
    switch (vt_) {
    case VT_I1:
    case VT_UI1: append_le(raw, u_.ui1, 1); break;
    case VT_I2:
    case VT_BOOL:
    case VT_UI2: append_le(raw, u_.ui2, 2); break;
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT: append_le(raw, u_.ui4, 4); break;
    case VT_R4: {
        uint32_t bits;
        std::memcpy(&bits, &u_.r4, sizeof bits);
        append_le(raw, bits, 4);
        break;
    }
    case VT_R8: {
        uint64_t bits;
        std::memcpy(&bits, &u_.r8, sizeof bits);
        append_le(raw, bits, 8);
        break;
    }
    case VT_CY: append_le(raw, static_cast<uint64_t>(u_.cy.int64), 8); break;
    case VT_I8: append_le(raw, static_cast<uint64_t>(i8_), 8); break;
    case VT_UI8: append_le(raw, ui8_, 8); break;
    case VT_DATE:
        // The calendar record, eight 16-bit fields in order.
        for (uint16_t f :
             {st_.year, st_.month, st_.day_of_week, st_.day, st_.hour, st_.minute, st_.second, st_.milliseconds})
            append_le(raw, f, 2);
        break;
    case VT_DECIMAL:
        // The DECIMAL layout: reserved word, scale, sign, Hi32, Lo64. The
        // reserved word holds the type code, as it does inside a VARIANT.
        append_le(raw, VT_DECIMAL, 2);
        append_le(raw, u_.dec.scale, 1);
        append_le(raw, u_.dec.sign, 1);
        append_le(raw, u_.dec.hi32, 4);
        append_le(raw, u_.dec.lo64, 8);
        break;
    case VT_BSTR:
        for (char16_t c : text_) append_le(raw, c, 2);
        break;
    default: throw ole_cast_exception();
    }
    set_bytes_raw(std::move(raw));
}
