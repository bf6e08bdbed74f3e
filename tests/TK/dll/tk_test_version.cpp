// A shared library that answers the version query like a system library
// of version 5.82, but only when the caller sets the record's size field.
#include <cstdint>

struct version_record {
    uint32_t size, major, minor, build, platform;
};

extern "C" __attribute__((visibility("default"))) int32_t DllGetVersion(version_record* info)
{
    if (info == nullptr || info->size != sizeof(version_record)) return int32_t(0x80070057u);  // bad argument
    info->major = 5;
    info->minor = 82;
    info->build = 3790;
    info->platform = 2;
    return TK_TEST_VERSION_RESULT;
}
