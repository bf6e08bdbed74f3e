// VARIANT type codes (VARTYPE) and the status codes of the value conversions.
//
// The numbers are those published for OLE Automation; the type tables of the
// Access reader and the Oracle writer are keyed by them, so they must never
// change.
#pragma once

#include <cstdint>

using ole_vartype = uint16_t;

inline constexpr ole_vartype VT_EMPTY = 0;
inline constexpr ole_vartype VT_NULL = 1;
inline constexpr ole_vartype VT_I2 = 2;
inline constexpr ole_vartype VT_I4 = 3;
inline constexpr ole_vartype VT_R4 = 4;
inline constexpr ole_vartype VT_R8 = 5;
inline constexpr ole_vartype VT_CY = 6;
inline constexpr ole_vartype VT_DATE = 7;
inline constexpr ole_vartype VT_BSTR = 8;
inline constexpr ole_vartype VT_DISPATCH = 9;
inline constexpr ole_vartype VT_ERROR = 10;
inline constexpr ole_vartype VT_BOOL = 11;
inline constexpr ole_vartype VT_VARIANT = 12;
inline constexpr ole_vartype VT_UNKNOWN = 13;
inline constexpr ole_vartype VT_DECIMAL = 14;
inline constexpr ole_vartype VT_I1 = 16;
inline constexpr ole_vartype VT_UI1 = 17;
inline constexpr ole_vartype VT_UI2 = 18;
inline constexpr ole_vartype VT_UI4 = 19;
inline constexpr ole_vartype VT_I8 = 20;
inline constexpr ole_vartype VT_UI8 = 21;
inline constexpr ole_vartype VT_INT = 22;
inline constexpr ole_vartype VT_UINT = 23;
inline constexpr ole_vartype VT_SAFEARRAY = 27;
inline constexpr ole_vartype VT_BLOB = 65;
inline constexpr ole_vartype VT_BLOB_OBJECT = 70;
inline constexpr ole_vartype VT_ARRAY = 0x2000;
// A one-dimensional byte array with lower bound 0: the binary value kind.
inline constexpr ole_vartype VT_ARRAY_UI1 = VT_ARRAY | VT_UI1;  // 8209

// True for the kinds that hold bytes: VT_BLOB, VT_BLOB_OBJECT, VT_ARRAY_UI1.
constexpr bool ole_is_binary_vt(ole_vartype vt)
{
    return vt == VT_BLOB || vt == VT_BLOB_OBJECT || vt == VT_ARRAY_UI1;
}

// Result of a conversion, with the values OLE Automation gives the same
// outcomes (the numbers appear in trace lines such as "VarCyFromStr failed:
// %08X").
using ole_hresult = uint32_t;

inline constexpr ole_hresult OLE_S_OK = 0;
inline constexpr ole_hresult OLE_E_TYPEMISMATCH = 0x80020005;  // not a number / wrong kind
inline constexpr ole_hresult OLE_E_OVERFLOW = 0x8002000A;      // out of the target's range
inline constexpr ole_hresult OLE_E_INVALIDARG = 0x80070057;
inline constexpr ole_hresult OLE_E_BADVARTYPE = 0x80020008;

constexpr bool ole_succeeded(ole_hresult hr)
{
    return (hr & 0x80000000u) == 0;
}
