// Version query of a shared library that exports "DllGetVersion".
#pragma once

#include <cstdint>
#include <string>

// The version record the export fills: five 32-bit fields, the first set
// by the caller to the record's size (20).
struct tk_dll_version_info {
    uint32_t size;
    uint32_t major;
    uint32_t minor;
    uint32_t build;
    uint32_t platform;
};
static_assert(sizeof(tk_dll_version_info) == 20);

// Signature of the export: a negative result is a failure.
using tk_dll_get_version_fn = int32_t (*)(tk_dll_version_info*);

// (major << 16) | minor of `library`, loaded by name for the query and
// released before returning; 0 when the library or its export is missing
// or the call fails.
uint32_t get_dll_version(const std::string& library);
