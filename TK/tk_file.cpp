#include "tk_file.h"

#include <sys/types.h>

#include <algorithm>
#include <limits>

#include "tk_exception.h"
#include "tk_file_name.h"
#include "tk_logger.h"
#include "tk_path.h"

namespace {

const char* const k_read_error = "Error reading from file";
const char* const k_write_error = "Cannot write into file";

// Offsets and the length are 32-bit: a file this system writes stays
// within what get_length() can report.
constexpr uint64_t k_longest_file = std::numeric_limits<uint32_t>::max();

const char* open_mode(uint8_t flags)
{
    if ((flags & tk_file_writable) && (flags & tk_file_create)) return "w+b";
    if (flags & tk_file_writable) return "r+b";
    return "rb";
}

}  // namespace

tk_file::tk_file(const std::string& name, uint8_t flags) : flags_(flags)
{
    tk_trace(2, "tk_file::tk_file(%s)", name);
    TK_ASSERT(!name.empty());
    tk_file_name parts;
    parts.initialize(name);
    name_ = parts.full_path();
    tk_trace(1, "Canonized file name: %s", name_);
    if (!(flags_ & tk_file_writable) && !tk_is_file_exist(name_, tk_access_read))
        throw tk_exception("Bad path or busy with another process", 1);
}

tk_file::~tk_file()
{
    tk_trace(2, "tk_file::~tk_file");
    if (stream_ != nullptr) std::fclose(stream_);
}

tk_stdio_file::tk_stdio_file(const std::string& name, uint8_t flags) : tk_file(name, flags)
{
    tk_trace(2, "tk_stdio_file::ctor(%s)", name);
    stream_ = std::fopen(name_.c_str(), open_mode(flags_));
    if (stream_ == nullptr) throw tk_exception("Error opening file", 1);
}

void tk_stdio_file::seek(uint64_t offset, int whence)
{
    if (::fseeko(stream_, static_cast<off_t>(offset), whence) != 0) throw tk_exception(k_read_error, 1);
}

uint64_t tk_stdio_file::size()
{
    off_t was = ::ftello(stream_);
    if (was < 0) throw tk_exception(k_read_error, 1);
    seek(0, SEEK_END);
    off_t end = ::ftello(stream_);
    seek(uint64_t(was), SEEK_SET);
    if (end < 0) throw tk_exception(k_read_error, 1);
    return uint64_t(end);
}

uint32_t tk_stdio_file::get_length()
{
    tk_trace(1, "tk_stdio_file::get_length");
    uint64_t n = size();
    // Cutting the size to 32 bits would hand callers a wrong length.
    if (n > k_longest_file) throw tk_exception(k_read_error, 1);
    tk_trace(1, "Got file size: %d", n);
    return uint32_t(n);
}

void tk_stdio_file::get_at(uint32_t offset, void* buffer, uint32_t length)
{
    tk_trace(1, "tk_stdio_file::get_at(%d,%d)", offset, length);
    TK_ASSERT(buffer != nullptr || length == 0);
    // Summed in 64 bits: offset + length must not wrap around into range.
    uint64_t have = size();
    if (have < uint64_t(offset) + length) {
        tk_trace(2, "Reading out of range: offset=%d, length=%d, file size=%d", offset, length, have);
        throw tk_exception(k_read_error, 1);
    }
    seek(offset, SEEK_SET);
    if (length != 0 && std::fread(buffer, length, 1, stream_) != 1) throw tk_exception(k_read_error, 1);
}

uint8_t tk_stdio_file::get_byte(uint32_t offset)
{
    uint8_t b = 0;
    get_at(offset, &b, 1);
    return b;
}

uint16_t tk_stdio_file::get_word(uint32_t offset)
{
    uint8_t b[2] = {};
    get_at(offset, b, 2);
    return uint16_t(b[0] | (b[1] << 8));
}

uint32_t tk_stdio_file::get_dword(uint32_t offset)
{
    uint8_t b[4] = {};
    get_at(offset, b, 4);
    return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
}

void tk_stdio_file::write_block(const void* data, size_t length)
{
    if (length != 0 && std::fwrite(data, length, 1, stream_) != 1) throw tk_exception(k_write_error, 1);
}

void tk_stdio_file::put_at(uint32_t offset, const void* data, uint32_t length)
{
    tk_trace(1, "tk_stdio_file::put_at(%d,%d)", offset, length);
    TK_ASSERT(data != nullptr || length == 0);
    // The data would end beyond what a 32-bit length can describe.
    if (uint64_t(offset) + length > k_longest_file) throw tk_exception(k_write_error, 1);
    uint64_t have = size();
    if (offset > have) {
        tk_trace(1, "padding with nulls...");
        seek(0, SEEK_END);
        static const char zeros[4096] = {};
        for (uint64_t gap = offset - have; gap != 0;) {
            size_t n = size_t(std::min<uint64_t>(gap, sizeof zeros));
            write_block(zeros, n);
            gap -= n;
        }
    }
    seek(offset, SEEK_SET);
    write_block(data, length);
    // A buffered write can still fail on its way to the file (a full disk):
    // report it here, as a write, rather than later as a failing seek.
    if (std::fflush(stream_) != 0) throw tk_exception(k_write_error, 1);
}
