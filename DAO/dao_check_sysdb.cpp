#include "dao_check_sysdb.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <fstream>

#include "tk_logger.h"
#include "tk_wstring.h"

namespace {

// The first 1,040 bytes of the file (fewer when it is shorter) and its size.
struct file_head {
    std::array<uint8_t, 1040> bytes{};
    uint64_t size = 0;
};

bool read_head(const std::u16string& file, file_head& head)
{
    std::ifstream in(tk_to_ansi(file), std::ios::binary);
    if (!in) return false;
    in.seekg(0, std::ios::end);
    std::streamoff end = in.tellg();
    if (end < 0) return false;
    head.size = static_cast<uint64_t>(end);
    in.seekg(0);
    size_t want = head.size < head.bytes.size() ? static_cast<size_t>(head.size) : head.bytes.size();
    in.read(reinterpret_cast<char*>(head.bytes.data()), static_cast<std::streamsize>(want));
    return static_cast<size_t>(in.gcount()) == want;
}

uint16_t word_at(const file_head& head, size_t offset)
{
    return static_cast<uint16_t>(head.bytes[offset] | (head.bytes[offset + 1] << 8));
}

bool is_access2_workgroup(const file_head& head)
{
    if (head.size < 1040) return false;
    static const uint8_t k_old_magic[4] = {0x77, 0x2C, 0x53, 0x20};
    bool rich =
        std::memcmp(head.bytes.data() + 1030, "Rich", 4) == 0 && word_at(head, 0) == 1 && word_at(head, 1038) == 0;
    return rich || std::memcmp(head.bytes.data(), k_old_magic, 4) == 0;
}

}  // namespace

bool dao_check_sysdb(const std::u16string& file)
{
    tk_trace(2, u"dao_check_sysdb(%s)", file);
    file_head head;
    if (!read_head(file, head)) {
        tk_trace(2, "Invalid file size");
        return false;
    }
    if (is_access2_workgroup(head)) {
        tk_trace(2, "Got MS Access 2.0 system database");
        return true;
    }
    if (head.size < 21) {
        tk_trace(2, "Invalid file size");
        return false;
    }
    static const char k_header[16] = {'J', 'e', 't', ' ', 'S', 'y', 's', 't', 'e', 'm', ' ', 'D', 'B', ' ', ' ', 0};
    if (std::memcmp(head.bytes.data() + 4, k_header, sizeof k_header) != 0) {
        tk_trace(2, "Failed to find header");
        return false;
    }
    return true;
}
