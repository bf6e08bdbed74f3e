#include "tk_file_name.h"

#include <unistd.h>

#include <vector>

#include "tk_exception.h"
#include "tk_logger.h"
#include "tk_path.h"
#include "tk_wstring.h"

namespace {

std::string current_directory()
{
    char buf[4096];
    TK_ASSERT(::getcwd(buf, sizeof buf) != nullptr);
    return std::string(buf);
}

template <class C>
std::basic_string<C> normalize(const std::basic_string<C>& path, const std::basic_string<C>& cwd)
{
    using string_type = std::basic_string<C>;
    const C sep = C('/');
    string_type joined = !path.empty() && path[0] == sep ? path : cwd + sep + path;

    std::vector<string_type> parts;
    size_t at = 0;
    while (at <= joined.size()) {
        size_t end = joined.find(sep, at);
        if (end == string_type::npos) end = joined.size();
        string_type part = joined.substr(at, end - at);
        if (part.size() == 2 && part[0] == C('.') && part[1] == C('.')) {
            if (!parts.empty()) parts.pop_back();  // ".." above the root stays at the root
        } else if (!part.empty() && !(part.size() == 1 && part[0] == C('.'))) {
            parts.push_back(std::move(part));
        }
        at = end + 1;
    }

    string_type out;
    for (const string_type& part : parts) out += sep + part;
    if (out.empty() || joined.back() == sep) out += sep;
    TK_ASSERT(out.size() <= tk_max_path);
    return out;
}

}  // namespace

template <class C>
void tk_basic_file_name<C>::split(const string_type& absolute)
{
    size_t slash = absolute.rfind(C('/'));
    size_t name_at = slash == string_type::npos ? 0 : slash + 1;
    drive_.clear();
    dir_ = absolute.substr(0, name_at);
    string_type rest = absolute.substr(name_at);
    size_t dot = rest.rfind(C('.'));
    if (dot == string_type::npos) {
        name_ = rest;
        ext_.clear();
    } else {
        name_ = rest.substr(0, dot);
        ext_ = rest.substr(dot);
    }
}

template class tk_basic_file_name<char>;
template class tk_basic_file_name<char16_t>;

std::string tk_full_path(const std::string& path)
{
    return normalize(path, current_directory());
}

std::u16string tk_full_path(const std::u16string& path)
{
    return normalize(path, tk_from_ansi(current_directory()));
}

void tk_file_name::initialize(const std::string& path)
{
    if (path.empty()) {
        split(tk_program_path());
        clear_file_name();
        return;
    }
    split(tk_full_path(path));
}

void tk_file_name::initialize(const char* path)
{
    TK_ASSERT(path != nullptr);
    initialize(std::string(path));
}

void tk_file_wname::initialize(const std::u16string& path)
{
    tk_trace(1, u"tk_file_wname::initialize(%s)", path);
    if (path.empty()) {
        split(tk_program_wpath());
        clear_file_name();
        return;
    }
    split(tk_full_path(path));
}

void tk_file_wname::initialize(const char16_t* path)
{
    TK_ASSERT(path != nullptr);
    initialize(std::u16string(path));
}
