// Existence tests for files and folders, and the program's own path.
#pragma once

#include <cstddef>
#include <string>

// Longest path, in characters (bytes for narrow paths, UTF-16 units for
// wide ones), that file names and the program path may have.
inline constexpr size_t tk_max_path = 260;

// Access modes of tk_is_file_exist.
inline constexpr int tk_access_read = 0;
inline constexpr int tk_access_read_write = 1;

// True when `path` names an existing file that can be opened for reading
// and writing (`access` 1) or for reading (any other value). A read-only
// file therefore counts as missing for access 1. Folders are not files.
bool tk_is_file_exist(const std::string& path, int access);
bool tk_is_file_exist(const std::u16string& path, int access);

// True when `path` names a folder that could be made the current directory.
// The test leaves the current directory alone. An empty path stands for
// the folder of the program's own file.
bool tk_is_path_exist(const std::string& path);

// The program's own file path. Longer than tk_max_path, or unobtainable,
// is an internal error.
std::string tk_program_path();
std::u16string tk_program_wpath();
