// Values the Oracle-target tests build by hand.
#pragma once

#include <cstdint>

#include "ole_variant.h"

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
