// OLE Automation's type-change rules (VariantChangeType without flags,
// English-US) for the kinds this system uses.
//
// Numbers to numbers: integers round half to even (2.5 gives 2, 3.5 gives
// 4) and a value outside the target's range fails with OLE_E_OVERFLOW;
// currency rounds to four places, decimal keeps fifteen digits of a double.
// Text to numbers reads by ole_parse_number's grammar. Numbers to text:
// integers in decimal, doubles with 15 and floats with 7 significant digits
// ("1.5", "1E+20"), currency and decimal without trailing zeros, booleans as
// "-1" and "0" (OLE prints "True"/"False" only when asked by a flag). Text
// to boolean: "True" or "False" in any case, else any number (non-zero is
// true). Any kind to VT_EMPTY or VT_NULL gives that kind; VT_NULL converts
// to nothing else; VT_EMPTY gives 0 or empty text.
#pragma once

#include "ole_variant.h"

// Makes `out` the value of `src` in kind `vt`. On failure `out` is VT_EMPTY
// and the status is OLE_E_TYPEMISMATCH, OLE_E_OVERFLOW or OLE_E_BADVARTYPE.
ole_hresult ole_coerce(const ole_variant& src, ole_vartype vt, ole_variant& out);
