// The neutral value that travels between the Access reader and the Oracle
// writer: a tagged value whose tag is an OLE Automation VARIANT type code.
//
// Invariants: the 64-bit kinds keep their value in i8_/ui8_ (the other slot
// is 0); VT_DATE keeps its authoritative value in the calendar record st_,
// with the date number beside it; VT_BSTR owns its text, the byte-array
// kinds (VT_ARRAY_UI1, VT_SAFEARRAY) own their bytes; every other payload
// lives in the union. Payloads not belonging to the current kind are empty.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "ole_calendar.h"
#include "ole_currency.h"
#include "ole_decimal.h"
#include "ole_vartype.h"

class ole_variant {
public:
    // Most bytes of a binary value that its text form shows.
    static constexpr size_t max_binary_text_bytes = 0x50000;  // 327,680

    ole_variant();                          // VT_EMPTY
    ole_variant(bool value);                // VT_BOOL: true is 0xFFFF
    ole_variant(char value);                // VT_I1
    ole_variant(signed char value);         // VT_I1
    ole_variant(unsigned char value);       // VT_UI1
    ole_variant(short value);               // VT_I2
    ole_variant(unsigned short value);      // VT_UI2
    ole_variant(int value);                 // VT_I4
    ole_variant(unsigned int value);        // VT_UI4
    ole_variant(long value);                // VT_I8 (64-bit here)
    ole_variant(unsigned long value);       // VT_UI8
    ole_variant(long long value);           // VT_I8
    ole_variant(unsigned long long value);  // VT_UI8
    ole_variant(float value);               // VT_R4
    ole_variant(double value);              // VT_R8
    // VT_BSTR from narrow text in the process locale's encoding.
    explicit ole_variant(std::string_view text);
    explicit ole_variant(const std::string& text);
    ole_variant(const char* text);  // null gives an empty text
    // VT_BSTR from UTF-16 text, copied with its length.
    explicit ole_variant(std::u16string_view text);
    explicit ole_variant(const std::u16string& text);
    // VT_BSTR from a terminated UTF-16 text (a BSTR); null gives empty text.
    ole_variant(const char16_t* text);
    // Any other pointer would silently become VT_BOOL.
    template <class T>
    ole_variant(T*) = delete;
    ole_variant(const ole_cy& value);       // VT_CY
    ole_variant(const ole_decimal& value);  // VT_DECIMAL
    // VT_DATE; the date number is computed from the record. A record that
    // has no date number (a pure time, out-of-range fields) keeps the kind:
    // its text form reads the record only.
    ole_variant(const ole_systemtime& value);
    // VT_ARRAY_UI1 from bytes; `bytes` must not be null unless length is 0.
    ole_variant(size_t length, const uint8_t* bytes);
    explicit ole_variant(std::span<const uint8_t> bytes);

    // Byte arrays are deep-copied into VT_ARRAY_UI1.
    ole_variant(const ole_variant& other);
    ole_variant(ole_variant&& other) noexcept;
    ole_variant& operator=(const ole_variant& other);
    ole_variant& operator=(ole_variant&& other) noexcept;
    // Replaces the value by the text (kind VT_BSTR).
    ole_variant& operator=(std::u16string_view text);
    ole_variant& operator=(const char16_t* text);

    virtual ~ole_variant();
    // Canonical text forms, used for SQL literals and trace lines.
    virtual std::string to_string() const;
    virtual std::u16string to_wstring() const;

    // Kind.
    ole_vartype get_vt() const { return vt_; }
    bool is_empty() const { return vt_ == VT_EMPTY; }
    bool is_null() const { return vt_ == VT_NULL; }
    bool is_empty_or_null() const { return vt_ == VT_EMPTY || vt_ == VT_NULL; }
    // True for VT_BLOB, VT_BLOB_OBJECT and VT_ARRAY_UI1.
    bool is_binary() const { return ole_is_binary_vt(vt_); }

    // Replacing the value.
    void clear();                                   // VT_EMPTY
    void set_null();                                // VT_NULL
    void attach_string(std::string_view text);      // narrow → VT_BSTR
    void attach_wstring(std::u16string_view text);  // VT_BSTR
    void attach_binary(const uint8_t* bytes, size_t length);
    void attach_binary(std::span<const uint8_t> bytes);
    // The same, taking over the caller's buffer instead of copying it (long
    // texts and large binary values).
    void take_wstring(std::u16string&& text);
    void take_binary(std::vector<uint8_t>&& bytes);
    // VT_DATE from a date number; the record is computed from it. When the
    // number has no calendar form the record stays zero and false returns.
    bool attach_date_number(double date);
    // VT_ERROR with the given status code.
    void set_error(int32_t scode);
    // An integer of kind VT_I1, VT_UI1, VT_I2, VT_UI2, VT_I4, VT_UI4, VT_INT,
    // VT_UINT or VT_I8; the value must lie in the kind's range (internal
    // error otherwise). VT_UI8 values are made by the constructor.
    void set_integer(ole_vartype vt, int64_t value);
    // VT_BOOL with a raw payload: 0xFFFF is true, 0 false; anything else is
    // kept as given (it prints as "0", as OLE Automation's payload would).
    void set_bool_raw(uint16_t payload);

    // Payload accessors; each is an internal error on another kind.
    int8_t as_i1() const;
    uint8_t as_ui1() const;
    int16_t as_i2() const;
    uint16_t as_ui2() const;
    int32_t as_i4() const;    // VT_I4 or VT_INT
    uint32_t as_ui4() const;  // VT_UI4 or VT_UINT
    int64_t as_i8() const;
    uint64_t as_ui8() const;
    float as_r4() const;
    double as_r8() const;
    ole_cy as_cy() const;
    const ole_decimal& as_decimal() const;
    const ole_systemtime& as_date() const;  // the calendar record
    double as_date_number() const;
    uint16_t as_bool_raw() const;  // 0xFFFF, 0 or whatever was stored
    bool as_bool() const { return as_bool_raw() != 0; }
    const std::u16string& as_wstring() const;
    const std::vector<uint8_t>& as_bytes() const;  // VT_ARRAY_UI1 or VT_SAFEARRAY
    int32_t as_error() const;
    // Sub-second part of a VT_DATE value in 100-nanosecond units
    // (0..9,999,999), for dates read from Date/Time Extended columns; the
    // date number and the calendar record keep whole seconds. 0 elsewhere.
    uint32_t date_fraction() const { return date_fraction_; }
    // Internal error on a kind other than VT_DATE or a value above 9,999,999.
    void set_date_fraction(uint32_t hundred_ns);

    // Numeric readings (see the rules in the source); another kind is an
    // internal error.
    int32_t to_long() const;
    double to_double() const;

    // Byte arrays. get_bytes stores the address of the first byte (null when
    // there is none) and returns the count; VT_EMPTY and VT_NULL give 0.
    size_t get_bytes(const uint8_t** out) const;
    size_t get_bytes(uint8_t** out);
    size_t get_safe_array_size() const;
    // Makes the value a zero-filled byte array of `size` elements, or resizes
    // it when it already is one.
    void allocate_safe_array(size_t size);

    // Replaces the value by `text` read as kind `vt`; unreadable currency,
    // decimal, date and binary texts give VT_EMPTY, an unsupported change
    // raises ole_type_exception.
    void from_string(std::string_view text, ole_vartype vt);
    void from_wstring(std::u16string_view text, ole_vartype vt);

    // Changes the kind in place; ole_cast_exception when the pair is not
    // supported or the value does not fit.
    void change_type(ole_vartype vt);

private:
    void reset();
    void copy_from(const ole_variant& other);
    void move_from(ole_variant& other) noexcept;
    void set_bytes_raw(std::vector<uint8_t> bytes);
    // The per-kind readers of from_string.
    void from_currency_text(const std::string& text);
    void from_decimal_text(const std::string& text);
    void from_date_text(const std::string& text);
    void from_bool_text(const std::string& text);
    void from_hex_text(const std::string& text);
    // The steps of change_type.
    void change_from_i8(ole_vartype vt);
    void change_to_64(ole_vartype vt);
    void change_to_binary();

    int64_t i8_ = 0;
    uint64_t ui8_ = 0;
    ole_systemtime st_;
    ole_vartype vt_ = VT_EMPTY;
    uint32_t date_fraction_ = 0;
    union payload_t {
        int8_t i1;
        uint8_t ui1;
        int16_t i2;
        uint16_t ui2;
        int32_t i4;
        uint32_t ui4;
        float r4;
        double r8;
        double date;
        uint16_t boolean;
        int32_t scode;
        ole_cy cy;
        ole_decimal dec;
    } u_{};
    std::u16string text_;
    std::vector<uint8_t> bytes_;
};
