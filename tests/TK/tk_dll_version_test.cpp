#include <gtest/gtest.h>

#include "tk_dll_version.h"
#include "tk_test_support.h"

namespace {

TEST(get_dll_version, reads_major_and_minor_and_a_failing_call_gives_zero)
{
    EXPECT_EQ(get_dll_version(TK_TEST_VERSION_LIBRARY), 0x50052u);
    EXPECT_EQ(get_dll_version(TK_TEST_FAILING_LIBRARY), 0u);
}

TEST(get_dll_version, missing_library_or_export)
{
    trace_capture trace;
    EXPECT_EQ(get_dll_version("/nonexistent/libnothing.so"), 0u);
    EXPECT_TRUE(trace.contains("get_dll_version failed to load DLL\r\n"));
    EXPECT_EQ(get_dll_version("libm.so.6"), 0u);
    EXPECT_TRUE(trace.contains("get_dll_version failed to obtain DllGetVersion\r\n"));
}

}  // namespace
