// Numbers in Oracle's own NUMBER format, built on the client so that a
// bound value reaches the server exactly, whatever the session's decimal
// separator.
//
// A NUMBER is an exponent byte and up to 20 base-100 digits (40 decimal
// digits). The external type SQLT_VNU puts one length byte in front, so a
// bound value needs at most 22 bytes.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "ole_variant.h"

using ora_vnu = std::array<unsigned char, 22>;

// Encodes a plain decimal text: optional sign, digits with at most one '.',
// optional exponent (e or E, optional sign, digits). Digits beyond the 40th
// significant one are rounded half up; magnitudes below 1e-130 become zero,
// as in Oracle. Returns false for any other text and for magnitudes of
// 1e126 and above.
bool ora_number_encode(std::string_view text, ora_vnu& out);

// The exact decimal text of a numeric value: integers and booleans as
// printed, Currency with its four decimals, Decimal with all its digits,
// doubles and floats as the shortest text that reads back to the same
// bits. A text value is returned as it stands (the encoder judges it).
// Nothing for NULL, empty and non-numeric kinds (dates, binary data).
std::optional<std::string> ora_exact_number_text(const ole_variant& value);
