// Narrows a value to a kind the Access side can store: the 64-bit kinds and
// VT_UI4 become VT_R8, VT_UI2 becomes VT_I4, VT_I1 becomes VT_I2. Any other
// kind gives VT_EMPTY. The new value is read from the old one's text form.
#pragma once

#include "ole_variant.h"

ole_variant dao_get_valid_variant(const ole_variant& value);
