#include "dao_get_valid_variant.h"

#include "tk_logger.h"

ole_variant dao_get_valid_variant(const ole_variant& value)
{
    tk_trace(2, "dao_get_valid_variant");
    ole_variant result;
    switch (value.get_vt()) {
    case VT_I8:
    case VT_UI8:
        tk_trace(1, "Converting BIGINT value to double");
        result.from_string(value.to_string(), VT_R8);
        break;
    case VT_UI2:
        tk_trace(1, "Converting VT_UI2 value to integer");
        result.from_string(value.to_string(), VT_I4);
        break;
    case VT_UI4:
        tk_trace(1, "Converting VT_UI4 value to double");
        result.from_string(value.to_string(), VT_R8);
        break;
    case VT_I1:
        tk_trace(1, "Converting VT_I1 value to short");
        result.from_string(value.to_string(), VT_I2);
        break;
    default: break;
    }
    tk_trace(1, ">>> %s", result.to_string());
    return result;
}
