// Path splitting: a path made absolute against the current directory and
// cut into extension, drive, file name and directory. The directory keeps
// its trailing '/', the extension its leading dot; the drive is always
// empty on this platform but kept so that folder() and full_path() read as
// everywhere else.
#pragma once

#include <string>

template <class C>
class tk_basic_file_name {
public:
    using string_type = std::basic_string<C>;

    const string_type& extension() const { return ext_; }
    const string_type& drive() const { return drive_; }
    const string_type& file_name() const { return name_; }
    const string_type& directory() const { return dir_; }

    // Drive and directory.
    string_type folder() const { return drive_ + dir_; }
    // Drive, directory, file name and extension.
    string_type full_path() const { return drive_ + dir_ + name_ + ext_; }

protected:
    // Splits an absolute path by the C library's rules: the directory runs
    // to the last separator, the extension from the last dot after it.
    void split(const string_type& absolute);
    // The empty path stands for the program's own folder: no file name.
    void clear_file_name() { name_.clear(); }

    string_type ext_;
    string_type drive_;
    string_type name_;
    string_type dir_;
};

class tk_file_name : public tk_basic_file_name<char> {
public:
    // An empty path stands for the program's own path without its file
    // name. A missing path, or an absolute form longer than 260
    // characters, is an internal error.
    void initialize(const std::string& path);
    void initialize(const char* path);
};

class tk_file_wname : public tk_basic_file_name<char16_t> {
public:
    void initialize(const std::u16string& path);
    void initialize(const char16_t* path);
};

// Makes `path` absolute against the current directory and resolves "." and
// ".." lexically; a trailing separator is kept. An internal error when the
// current directory is unknown or the result exceeds 260 characters.
std::string tk_full_path(const std::string& path);
std::u16string tk_full_path(const std::u16string& path);
