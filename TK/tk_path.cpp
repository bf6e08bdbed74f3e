#include "tk_path.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tk_exception.h"
#include "tk_file_name.h"
#include "tk_logger.h"
#include "tk_wstring.h"

bool tk_is_file_exist(const std::string& path, int access)
{
    tk_trace(1, "tk_is_file_exist(%s)", path);
    int fd = ::open(path.c_str(), (access == tk_access_read_write ? O_RDWR : O_RDONLY) | O_CLOEXEC);
    if (fd >= 0) {
        struct stat st {};
        // Opening a folder read-only succeeds here; it is still no file.
        bool is_file = ::fstat(fd, &st) == 0 && !S_ISDIR(st.st_mode);
        ::close(fd);
        if (is_file) return true;
    }
    tk_trace(1, "File not exists!");
    return false;
}

bool tk_is_file_exist(const std::u16string& path, int access)
{
    return tk_is_file_exist(tk_to_ansi(path), access);
}

bool tk_is_path_exist(const std::string& path)
{
    tk_trace(1, "tk_is_path_exist(%s)", path);
    std::string folder = path;
    if (folder.empty()) {
        tk_file_name self;
        self.initialize(std::string());
        folder = self.folder();
    }
    // Changing into a folder needs it to be a folder with search permission.
    struct stat st {};
    return ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && ::access(folder.c_str(), X_OK) == 0;
}

std::string tk_program_path()
{
    char buf[tk_max_path + 2];
    ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf);
    // A result that fills the buffer may have been cut: over the limit.
    TK_ASSERT(n > 0 && size_t(n) <= tk_max_path);
    return std::string(buf, size_t(n));
}

std::u16string tk_program_wpath()
{
    std::u16string path = tk_from_ansi(tk_program_path());
    TK_ASSERT(path.size() <= tk_max_path);
    return path;
}
