// Values the Oracle-target tests build by hand.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "ole_variant.h"
#include "tk_wstring.h"

// A VT_DATE from its calendar fields.
inline ole_variant date_value(int y, int mo, int d, int h, int mi, int s)
{
    ole_systemtime st;
    st.year = static_cast<uint16_t>(y);
    st.month = static_cast<uint16_t>(mo);
    st.day = static_cast<uint16_t>(d);
    st.hour = static_cast<uint16_t>(h);
    st.minute = static_cast<uint16_t>(mi);
    st.second = static_cast<uint16_t>(s);
    return ole_variant(st);
}

// A NULL value.
inline ole_variant null_value()
{
    ole_variant v;
    v.set_null();
    return v;
}

namespace ora_test {

inline std::u16string w(std::string_view utf8)
{
    return tk_from_utf8(utf8);
}

inline std::string n(std::u16string_view text)
{
    return tk_to_utf8(text);
}

}  // namespace ora_test
