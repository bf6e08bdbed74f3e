// Shared helpers of the value-type tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string_view>

#include "ole_calendar.h"
#include "ole_decimal.h"

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

// A decimal from its text, which must read.
inline ole_decimal dec(const char* text)
{
    ole_decimal d;
    EXPECT_EQ(ole_dec_from_str(std::string_view(text), d), OLE_S_OK) << text;
    return d;
}
