// Shared helpers of the value-type tests.
#pragma once

#include <cstdint>

#include "ole_calendar.h"

// A calendar record from its fields; the weekday is left 0.
inline ole_systemtime make_st(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0)
{
    ole_systemtime st;
    st.year = static_cast<uint16_t>(y);
    st.month = static_cast<uint16_t>(mo);
    st.day = static_cast<uint16_t>(d);
    st.hour = static_cast<uint16_t>(h);
    st.minute = static_cast<uint16_t>(mi);
    st.second = static_cast<uint16_t>(s);
    st.milliseconds = static_cast<uint16_t>(ms);
    return st;
}
