#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>

#include "tk_exception.h"
#include "tk_file.h"
#include "tk_test_support.h"

namespace {

constexpr uint8_t k_rw = tk_file_writable;
constexpr uint8_t k_create = tk_file_writable | tk_file_create;

class tk_file_test : public ::testing::Test {
protected:
    std::string make(const std::string& name, const std::string& bytes)
    {
        std::string path = dir_.file(name);
        write_file(path, bytes);
        return path;
    }

    temp_dir dir_;
};

TEST_F(tk_file_test, reads_little_endian_values)
{
    tk_stdio_file f(make("v.bin", std::string("\x01\x02\x03\x04\xff", 5)), 0);
    EXPECT_EQ(f.get_length(), 5u);
    EXPECT_EQ(f.get_dword(0), 0x04030201u);
    EXPECT_EQ(f.get_word(0), 0x0201u);
    EXPECT_EQ(f.get_word(3), 0xff04u);
    EXPECT_EQ(f.get_byte(4), 0xffu);
    EXPECT_EQ(f.get_dword(1), 0xff040302u);
}

TEST_F(tk_file_test, read_out_of_range_leaves_buffer_alone)
{
    trace_capture trace;
    tk_stdio_file f(make("four.bin", "abcd"), 0);
    char buf[3] = {'x', 'y', 'z'};
    EXPECT_EQ(message_of([&] { f.get_at(2, buf, 3); }), "Error reading from file");
    EXPECT_EQ(std::memcmp(buf, "xyz", 3), 0);
    EXPECT_TRUE(trace.contains("Reading out of range: offset=2, length=3, file size=4\r\n"));
    EXPECT_EQ(message_of([&] { f.get_byte(4); }), "Error reading from file");
    EXPECT_EQ(message_of([&] { f.get_dword(1); }), "Error reading from file");
    f.get_at(1, buf, 3);  // exactly to the end is in range
    EXPECT_EQ(std::memcmp(buf, "bcd", 3), 0);
    f.get_at(4, buf, 0);  // an empty read at the end as well
}

TEST_F(tk_file_test, offset_plus_length_does_not_wrap)
{
    tk_stdio_file f(make("wrap.bin", "abcd"), k_rw);
    char buf[2] = {'x', 'y'};
    trace_capture trace;
    // In 32 bits 0xFFFFFFFF + 2 is 1, which would pass a size check of 4;
    // the range check itself must refuse it, before any seek or read.
    EXPECT_EQ(message_of([&] { f.get_at(0xFFFFFFFFu, buf, 2); }), "Error reading from file");
    EXPECT_TRUE(trace.contains("Reading out of range: offset=4294967295, length=2, file size=4\r\n")) << trace.text();
    EXPECT_EQ(message_of([&] { f.get_dword(0xFFFFFFFEu); }), "Error reading from file");
    EXPECT_EQ(buf[0], 'x');
    // A write that would end past 4 GiB is refused before anything is padded.
    EXPECT_EQ(message_of([&] { f.put_at(0xFFFFFFFFu, "ab", 2); }), "Cannot write into file");
    EXPECT_EQ(message_of([&] { f.put_at(0xFFFFFFFFu, "a", 1); }), "Cannot write into file");
    EXPECT_EQ(f.get_length(), 4u);
}

TEST_F(tk_file_test, put_at_overwrites_in_place_and_pads_beyond_the_end_with_zeros)
{
    std::string path = make("pad.bin", "abcdef");
    {
        trace_capture trace;
        tk_stdio_file f(path, k_rw);
        f.put_at(2, "XY", 2);
        f.put_at(6, "Z", 1);  // at the very end: no padding
        f.put_at(0, nullptr, 0);
        EXPECT_FALSE(trace.contains("padding with nulls"));
        f.put_at(10, "XY", 2);
        EXPECT_EQ(f.get_length(), 12u);
        EXPECT_EQ(f.get_word(10), 0x5958u);
        EXPECT_TRUE(trace.contains("padding with nulls...\r\n"));
    }
    EXPECT_EQ(read_file(path), std::string("abXYefZ\0\0\0XY", 12));
}

TEST_F(tk_file_test, open_modes)
{
    std::string path = make("m.bin", "old");
    {
        tk_stdio_file f(path, k_create);  // create or truncate
        EXPECT_EQ(f.get_length(), 0u);
        f.put_at(0, "new", 3);
    }
    EXPECT_EQ(read_file(path), "new");
    {
        tk_stdio_file f(dir_.file("fresh.bin"), k_create);
        f.put_at(2, "z", 1);
    }
    EXPECT_EQ(read_file(dir_.file("fresh.bin")), std::string("\0\0z", 3));
    tk_stdio_file ro(path, 0);
    EXPECT_EQ(message_of([&] { ro.put_at(0, "x", 1); }), "Cannot write into file");
    EXPECT_EQ(read_file(path), "new");
}

TEST_F(tk_file_test, missing_files)
{
    EXPECT_EQ(message_of([&] { tk_stdio_file f(dir_.file("none.bin"), 0); }), "Bad path or busy with another process");
    // Writable without create: passes the existence gate, then fails to open.
    EXPECT_EQ(message_of([&] { tk_stdio_file f(dir_.file("none.bin"), k_rw); }), "Error opening file");
    EXPECT_EQ(message_of([&] { tk_stdio_file f(dir_.file("no/dir/x.bin"), k_create); }), "Error opening file");
    EXPECT_THROW(tk_stdio_file(std::string(), 0), tk_mail_assertion);
}

TEST_F(tk_file_test, relative_name_is_stored_absolute)
{
    make("rel.bin", "1234");
    scoped_cwd here(dir_.path());
    tk_stdio_file f("./sub/../rel.bin", 0);
    char real[4096];
    ASSERT_NE(::getcwd(real, sizeof real), nullptr);
    EXPECT_EQ(f.name(), std::string(real) + "/rel.bin");
    EXPECT_EQ(f.flags(), 0);
    EXPECT_EQ(f.get_dword(0), 0x34333231u);
}

TEST_F(tk_file_test, traces_construction_and_destruction)
{
    std::string path = make("t.bin", "ab");
    trace_capture trace;
    {
        tk_stdio_file f(path, 0);
        f.get_length();
    }
    std::string expect = "tk_file::tk_file(" + path + ")\r\nCanonized file name: " + path + "\r\n";
    EXPECT_NE(trace.text().find(expect), std::string::npos) << trace.text();
    EXPECT_TRUE(trace.contains("tk_stdio_file::ctor(" + path + ")\r\n"));
    EXPECT_TRUE(trace.contains("Got file size: 2\r\n"));
    EXPECT_TRUE(trace.contains("tk_file::~tk_file\r\n"));
}

TEST_F(tk_file_test, size_beyond_32_bits_is_an_error_not_a_wrapped_length)
{
    std::string path = make("big.bin", "head");
    // A sparse file of 4 GiB + 16 bytes costs no disk space.
    if (::truncate(path.c_str(), (off_t(1) << 32) + 16) != 0) GTEST_SKIP() << "no sparse files here";
    tk_stdio_file f(path, 0);
    EXPECT_EQ(message_of([&] { f.get_length(); }), "Error reading from file");
    EXPECT_EQ(f.get_dword(0), 0x64616568u);  // reads below 4 GiB still work
    EXPECT_EQ(f.get_byte(0xFFFFFFFFu), 0u);
}

}  // namespace
