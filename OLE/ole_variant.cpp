// Construction, copying, payload access and the numeric readings of
// ole_variant. Text forms are in ole_variant_text.cpp, kind changes in
// ole_variant_change.cpp.
#include "ole_variant.h"

#include <cmath>
#include <new>
#include <stdexcept>

#include "ole_date.h"
#include "tk_exception.h"
#include "tk_logger.h"
#include "tk_wstring.h"

namespace {

constexpr uint16_t variant_true = 0xFFFF;

bool is_byte_array(ole_vartype vt)
{
    return vt == VT_ARRAY_UI1 || vt == VT_SAFEARRAY;
}

// Truncation toward zero as the processor's conversion gives it: a value
// outside the 32-bit range (or NaN) yields the "integer indefinite"
// 0x80000000 instead of undefined behaviour.
int32_t truncate_to_i32(double v)
{
    if (!(v > -2147483649.0 && v < 2147483648.0)) return INT32_MIN;
    return static_cast<int32_t>(v);
}

}  // namespace

ole_variant::ole_variant() {}

ole_variant::ole_variant(bool value) : vt_(VT_BOOL)
{
    tk_trace(1, "ole_variant::ctor from bool(%d)", static_cast<int>(value));
    u_.boolean = value ? variant_true : 0;
}

ole_variant::ole_variant(char value) : ole_variant(static_cast<signed char>(value)) {}

ole_variant::ole_variant(signed char value) : vt_(VT_I1)
{
    tk_trace(1, "ole_variant::ctor from char(%d)", static_cast<int>(value));
    u_.i1 = value;
}

ole_variant::ole_variant(unsigned char value) : vt_(VT_UI1)
{
    tk_trace(1, "ole_variant::ctor from byte(%u)", static_cast<unsigned>(value));
    u_.ui1 = value;
}

ole_variant::ole_variant(short value) : vt_(VT_I2)
{
    tk_trace(1, "ole_variant::ctor from short(%d)", static_cast<int>(value));
    u_.i2 = value;
}

ole_variant::ole_variant(unsigned short value) : vt_(VT_UI2)
{
    tk_trace(1, "ole_variant::ctor from unsigned short(%u)", static_cast<unsigned>(value));
    u_.ui2 = value;
}

ole_variant::ole_variant(int value) : vt_(VT_I4)
{
    tk_trace(1, "ole_variant::ctor from int(%d)", value);
    u_.i4 = value;
}

ole_variant::ole_variant(unsigned int value) : vt_(VT_UI4)
{
    tk_trace(1, "ole_variant::ctor from unsigned int(%u)", value);
    u_.ui4 = value;
}

ole_variant::ole_variant(long value) : ole_variant(static_cast<long long>(value)) {}

ole_variant::ole_variant(unsigned long value) : ole_variant(static_cast<unsigned long long>(value)) {}

ole_variant::ole_variant(long long value) : i8_(value), vt_(VT_I8)
{
    tk_trace(1, "ole_variant::ctor(hyper, %I64d)", value);
}

ole_variant::ole_variant(unsigned long long value) : ui8_(value), vt_(VT_UI8)
{
    tk_trace(1, "ole_variant::ctor(uhyper, %I64u)", value);
}

ole_variant::ole_variant(float value) : vt_(VT_R4)
{
    tk_trace(1, "ole_variant::ctor from float(%g)", value);
    u_.r4 = value;
}

ole_variant::ole_variant(double value) : vt_(VT_R8)
{
    tk_trace(1, "ole_variant::ctor from double(%g)", value);
    u_.r8 = value;
}

ole_variant::ole_variant(std::string_view text)
{
    attach_string(text);
}

ole_variant::ole_variant(const std::string& text)
{
    attach_string(text);
}

ole_variant::ole_variant(const char* text)
{
    attach_string(text != nullptr ? std::string_view(text) : std::string_view());
}

ole_variant::ole_variant(std::u16string_view text)
{
    attach_wstring(text);
}

ole_variant::ole_variant(const std::u16string& text)
{
    attach_wstring(text);
}

ole_variant::ole_variant(const char16_t* text)
{
    tk_trace(1, "ole_variant::ctor from BSTR");
    attach_wstring(text != nullptr ? std::u16string_view(text) : std::u16string_view());
}

ole_variant::ole_variant(const ole_cy& value) : vt_(VT_CY)
{
    tk_trace(1, "Construct ole_variant from CY");
    u_.cy = value;
}

ole_variant::ole_variant(const ole_decimal& value) : vt_(VT_DECIMAL)
{
    tk_trace(1, "Construct ole_variant from DECIMAL");
    u_.dec = value;
}

ole_variant::ole_variant(const ole_systemtime& value) : st_(value), vt_(VT_DATE)
{
    tk_trace(1, "Construct ole_variant from SYSTEMTIME");
    u_.date = 0.0;
    if (!ole_systemtime_to_date(value, u_.date)) {
        // A pure time has no day; its number is the fraction of a day, as
        // Access stores a time on 1899-12-30. Other records stay at 0.
        if (value.year == 0 && value.month == 0 && value.day == 0 && value.hour < 24 && value.minute < 60 &&
            value.second < 60) {
            u_.date = (value.hour * 3600.0 + value.minute * 60.0 + value.second) / 86400.0;
        } else {
            tk_trace(1, "Failed to convert SYSTEMTIME->VARIANT");
        }
    }
}

ole_variant::ole_variant(size_t length, const uint8_t* bytes)
{
    attach_binary(bytes, length);
}

ole_variant::ole_variant(std::span<const uint8_t> bytes)
{
    attach_binary(bytes);
}

ole_variant::ole_variant(const ole_variant& other)
{
    tk_trace(1, "ole_variant::copy ctor");
    copy_from(other);
}

ole_variant::ole_variant(ole_variant&& other) noexcept
{
    move_from(other);
}

ole_variant& ole_variant::operator=(const ole_variant& other)
{
    if (this != &other) {
        reset();
        copy_from(other);
    }
    return *this;
}

ole_variant& ole_variant::operator=(ole_variant&& other) noexcept
{
    if (this != &other) {
        reset();
        move_from(other);
    }
    return *this;
}

ole_variant& ole_variant::operator=(std::u16string_view text)
{
    attach_wstring(text);
    return *this;
}

ole_variant& ole_variant::operator=(const char16_t* text)
{
    attach_wstring(text != nullptr ? std::u16string_view(text) : std::u16string_view());
    return *this;
}

ole_variant::~ole_variant() = default;

void ole_variant::reset()
{
    i8_ = 0;
    ui8_ = 0;
    st_ = ole_systemtime{};
    vt_ = VT_EMPTY;
    date_fraction_ = 0;
    u_ = payload_t{};
    text_.clear();
    text_.shrink_to_fit();
    bytes_.clear();
    bytes_.shrink_to_fit();
}

void ole_variant::copy_from(const ole_variant& other)
{
    i8_ = other.i8_;
    ui8_ = other.ui8_;
    st_ = other.st_;
    u_ = other.u_;
    vt_ = other.vt_;
    date_fraction_ = other.date_fraction_;
    if (vt_ == VT_BSTR) text_ = other.text_;
    if (is_byte_array(vt_)) {
        try {
            bytes_ = other.bytes_;
            vt_ = VT_ARRAY_UI1;
        } catch (const std::bad_alloc&) {
            bytes_.clear();
            vt_ = VT_ERROR;
        }
    }
}

void ole_variant::move_from(ole_variant& other) noexcept
{
    i8_ = other.i8_;
    ui8_ = other.ui8_;
    st_ = other.st_;
    u_ = other.u_;
    vt_ = other.vt_ == VT_SAFEARRAY ? VT_ARRAY_UI1 : other.vt_;
    date_fraction_ = other.date_fraction_;
    text_ = std::move(other.text_);
    bytes_ = std::move(other.bytes_);
    other.reset();
}

void ole_variant::set_date_fraction(uint32_t hundred_ns)
{
    TK_ASSERT(vt_ == VT_DATE && hundred_ns <= 9'999'999);
    date_fraction_ = hundred_ns;
}

void ole_variant::clear()
{
    reset();
}

void ole_variant::set_null()
{
    reset();
    vt_ = VT_NULL;
}

void ole_variant::attach_string(std::string_view text)
{
    tk_trace(1, "ole_variant::attach_string('%s')", text);
    attach_wstring(tk_from_ansi(text));
}

void ole_variant::attach_wstring(std::u16string_view text)
{
    std::u16string copy(text);  // before reset: the text may be our own
    reset();
    text_ = std::move(copy);
    vt_ = VT_BSTR;
}

void ole_variant::attach_binary(const uint8_t* bytes, size_t length)
{
    TK_ASSERT(bytes != nullptr || length == 0);
    tk_trace(1, "ole_variant::attach_binary(%d bytes)", length);
    std::vector<uint8_t> copy(bytes, bytes + length);
    set_bytes_raw(std::move(copy));
}

void ole_variant::attach_binary(std::span<const uint8_t> bytes)
{
    attach_binary(bytes.data(), bytes.size());
}

void ole_variant::take_wstring(std::u16string&& text)
{
    std::u16string taken(std::move(text));
    reset();
    text_ = std::move(taken);
    vt_ = VT_BSTR;
}

void ole_variant::take_binary(std::vector<uint8_t>&& bytes)
{
    tk_trace(1, "ole_variant::attach_binary(%d bytes)", bytes.size());
    set_bytes_raw(std::move(bytes));
}

void ole_variant::set_bytes_raw(std::vector<uint8_t> bytes)
{
    reset();
    bytes_ = std::move(bytes);
    vt_ = VT_ARRAY_UI1;
}

bool ole_variant::attach_date_number(double date)
{
    reset();
    vt_ = VT_DATE;
    u_.date = date;
    if (ole_date_to_systemtime(date, st_)) return true;
    tk_trace(1, "Failed to convert VARIANT->SYSTEMTIME");
    return false;
}

void ole_variant::set_error(int32_t scode)
{
    reset();
    vt_ = VT_ERROR;
    u_.scode = scode;
}

void ole_variant::set_integer(ole_vartype vt, int64_t value)
{
    reset();
    switch (vt) {
    case VT_I1:
        TK_ASSERT(value >= INT8_MIN && value <= INT8_MAX);
        u_.i1 = static_cast<int8_t>(value);
        break;
    case VT_UI1:
        TK_ASSERT(value >= 0 && value <= UINT8_MAX);
        u_.ui1 = static_cast<uint8_t>(value);
        break;
    case VT_I2:
        TK_ASSERT(value >= INT16_MIN && value <= INT16_MAX);
        u_.i2 = static_cast<int16_t>(value);
        break;
    case VT_UI2:
        TK_ASSERT(value >= 0 && value <= UINT16_MAX);
        u_.ui2 = static_cast<uint16_t>(value);
        break;
    case VT_I4:
    case VT_INT:
        TK_ASSERT(value >= INT32_MIN && value <= INT32_MAX);
        u_.i4 = static_cast<int32_t>(value);
        break;
    case VT_UI4:
    case VT_UINT:
        TK_ASSERT(value >= 0 && value <= UINT32_MAX);
        u_.ui4 = static_cast<uint32_t>(value);
        break;
    case VT_I8: i8_ = value; break;
    default: TK_FAIL();
    }
    vt_ = vt;
}

void ole_variant::set_bool_raw(uint16_t payload)
{
    reset();
    vt_ = VT_BOOL;
    u_.boolean = payload;
}

int8_t ole_variant::as_i1() const
{
    TK_ASSERT(vt_ == VT_I1);
    return u_.i1;
}

uint8_t ole_variant::as_ui1() const
{
    TK_ASSERT(vt_ == VT_UI1);
    return u_.ui1;
}

int16_t ole_variant::as_i2() const
{
    TK_ASSERT(vt_ == VT_I2);
    return u_.i2;
}

uint16_t ole_variant::as_ui2() const
{
    TK_ASSERT(vt_ == VT_UI2);
    return u_.ui2;
}

int32_t ole_variant::as_i4() const
{
    TK_ASSERT(vt_ == VT_I4 || vt_ == VT_INT);
    return u_.i4;
}

uint32_t ole_variant::as_ui4() const
{
    TK_ASSERT(vt_ == VT_UI4 || vt_ == VT_UINT);
    return u_.ui4;
}

int64_t ole_variant::as_i8() const
{
    TK_ASSERT(vt_ == VT_I8);
    return i8_;
}

uint64_t ole_variant::as_ui8() const
{
    TK_ASSERT(vt_ == VT_UI8);
    return ui8_;
}

float ole_variant::as_r4() const
{
    TK_ASSERT(vt_ == VT_R4);
    return u_.r4;
}

double ole_variant::as_r8() const
{
    TK_ASSERT(vt_ == VT_R8);
    return u_.r8;
}

ole_cy ole_variant::as_cy() const
{
    TK_ASSERT(vt_ == VT_CY);
    return u_.cy;
}

const ole_decimal& ole_variant::as_decimal() const
{
    TK_ASSERT(vt_ == VT_DECIMAL);
    return u_.dec;
}

const ole_systemtime& ole_variant::as_date() const
{
    TK_ASSERT(vt_ == VT_DATE);
    return st_;
}

double ole_variant::as_date_number() const
{
    TK_ASSERT(vt_ == VT_DATE);
    return u_.date;
}

uint16_t ole_variant::as_bool_raw() const
{
    TK_ASSERT(vt_ == VT_BOOL);
    return u_.boolean;
}

const std::u16string& ole_variant::as_wstring() const
{
    TK_ASSERT(vt_ == VT_BSTR);
    return text_;
}

const std::vector<uint8_t>& ole_variant::as_bytes() const
{
    TK_ASSERT(is_byte_array(vt_));
    return bytes_;
}

int32_t ole_variant::as_error() const
{
    TK_ASSERT(vt_ == VT_ERROR);
    return u_.scode;
}

int32_t ole_variant::to_long() const
{
    switch (vt_) {
    case VT_EMPTY:
    case VT_NULL: return 0;
    case VT_I2: return u_.i2;
    case VT_BOOL: return static_cast<int16_t>(u_.boolean);
    case VT_I4:
    case VT_INT: return u_.i4;
    case VT_UI4:
    case VT_UINT: return static_cast<int32_t>(u_.ui4);
    case VT_R4: return truncate_to_i32(u_.r4);
    case VT_R8: return truncate_to_i32(u_.r8);
    case VT_DECIMAL: {
        int32_t v = 0;
        ole_hresult hr = ole_dec_to_i4(u_.dec, v);
        tk_trace(1, "from DECIMAL, hr=%08X", hr);
        return v;
    }
    case VT_I1: return u_.i1;
    case VT_UI1: return u_.ui1;
    case VT_UI2: return u_.ui2;
    case VT_I8: return static_cast<int32_t>(static_cast<uint32_t>(i8_));
    case VT_UI8: return static_cast<int32_t>(static_cast<uint32_t>(ui8_));
    default: TK_FAIL();
    }
}

double ole_variant::to_double() const
{
    switch (vt_) {
    case VT_EMPTY:
    case VT_NULL: return 0.0;
    case VT_I1: return u_.i1;
    case VT_UI1: return u_.ui1;
    case VT_I2: return u_.i2;
    case VT_UI2: return u_.ui2;
    case VT_BOOL: return static_cast<int16_t>(u_.boolean);
    case VT_I4:
    case VT_INT: return u_.i4;
    case VT_UI4:
    case VT_UINT: return u_.ui4;
    case VT_R4: return u_.r4;
    case VT_R8: return u_.r8;
    case VT_CY: {
        double r = ole_cy_to_r8(u_.cy);
        tk_trace(1, "from CURRECY: res=%lg, hr=%08X", r, OLE_S_OK);
        return r;
    }
    case VT_DECIMAL: {
        double r = ole_dec_to_r8(u_.dec);
        tk_trace(1, "from DECIMAL: res=%lg, hr=%08X", r, OLE_S_OK);
        return r;
    }
    case VT_I8: return static_cast<double>(i8_);
    case VT_UI8: return static_cast<double>(ui8_);
    default: TK_FAIL();
    }
}

size_t ole_variant::get_bytes(const uint8_t** out) const
{
    TK_ASSERT(out != nullptr);
    *out = nullptr;
    if (vt_ == VT_EMPTY || vt_ == VT_NULL) return 0;
    TK_ASSERT(is_byte_array(vt_));
    *out = bytes_.empty() ? nullptr : bytes_.data();
    return bytes_.size();
}

size_t ole_variant::get_bytes(uint8_t** out)
{
    TK_ASSERT(out != nullptr);
    const uint8_t* p = nullptr;
    size_t n = static_cast<const ole_variant*>(this)->get_bytes(&p);
    *out = const_cast<uint8_t*>(p);
    return n;
}

size_t ole_variant::get_safe_array_size() const
{
    TK_ASSERT(is_byte_array(vt_));
    return bytes_.size();
}

void ole_variant::allocate_safe_array(size_t size)
{
    try {
        if (vt_ == VT_ARRAY_UI1) {
            if (bytes_.size() != size) {
                tk_trace(1, "Redimension array");
                bytes_.resize(size, 0);
            }
            return;
        }
        set_bytes_raw(std::vector<uint8_t>(size, 0));
    } catch (const std::bad_alloc&) {
        TK_FAIL();
    } catch (const std::length_error&) {
        TK_FAIL();
    }
}
