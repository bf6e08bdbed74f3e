// Helpers shared by the toolkit's and the driver's tests: a private
// temporary folder, whole-file reads and writes, and a trace capture.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "tk_exception.h"
#include "tk_logger.h"

class temp_dir {
public:
    temp_dir()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "tolvane_XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
    }
    ~temp_dir()
    {
        std::error_code ec;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(path_, ec);
    }
    temp_dir(const temp_dir&) = delete;
    temp_dir& operator=(const temp_dir&) = delete;

    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

inline std::string read_file(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void write_file(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
}

inline bool file_exists(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

// The message of the user-level tk_exception `body` raises, or "no exception".
template <class F>
std::string message_of(F&& body)
{
    try {
        body();
    } catch (const tk_exception& e) {
        EXPECT_EQ(e.level, 1);
        return e.message;
    }
    return "no exception";
}

// The message of the internal-error exception `body` raises, or "no exception".
template <class F>
std::string assertion_message(F&& body)
{
    try {
        body();
    } catch (const tk_mail_assertion& e) {
        return e.message;
    }
    return "no exception";
}

// Traces every level into a private file for the lifetime of the object.
class trace_capture {
public:
    explicit trace_capture(int level = 1) : logger_(dir_.file("trace.log"), true, level, false) {}

    std::string text() const { return read_file(logger_.path); }
    bool contains(const std::string& line) const { return text().find(line) != std::string::npos; }
    // A whole line, not a part of one.
    bool has_line(const std::string& line) const
    {
        return ("\n" + text()).find("\n" + line + "\r\n") != std::string::npos;
    }
    tk_logger& logger() { return logger_; }

private:
    temp_dir dir_;
    tk_logger logger_;
};

// A file this process can open for reading but not for reading and
// writing. A file with mode 0444 is that, except for root, whom the
// permission bits do not stop; then a sysfs attribute without a write
// operation serves, since the kernel refuses to open those for writing
// whoever asks. Empty when neither is available.
inline std::optional<std::string> find_read_only_file(const temp_dir& dir)
{
    auto read_only = [](const std::string& p) {
        int fd = ::open(p.c_str(), O_RDONLY);
        if (fd < 0) return false;
        ::close(fd);
        fd = ::open(p.c_str(), O_RDWR);
        if (fd < 0) return true;
        ::close(fd);
        return false;
    };
    std::string own = dir.file("read_only.bin");
    write_file(own, "data");
    ::chmod(own.c_str(), 0444);
    if (read_only(own)) return own;
    for (const char* p :
         {"/sys/devices/system/cpu/possible", "/sys/kernel/uevent_seqnum", "/sys/devices/system/cpu/present"}) {
        if (read_only(p)) return std::string(p);
    }
    return std::nullopt;
}

// Runs a body with the current directory changed, restoring it afterwards.
class scoped_cwd {
public:
    explicit scoped_cwd(const std::string& to) : was_(std::filesystem::current_path())
    {
        std::filesystem::current_path(to);
    }
    ~scoped_cwd()
    {
        std::error_code ec;
        std::filesystem::current_path(was_, ec);
    }
    scoped_cwd(const scoped_cwd&) = delete;
    scoped_cwd& operator=(const scoped_cwd&) = delete;

private:
    std::filesystem::path was_;
};
