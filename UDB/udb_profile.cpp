#include "udb_profile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "tk_exception.h"
#include "tk_logger.h"
#include "tk_path.h"
#include "tk_wstring.h"

namespace {

const char k_missing_profile[] = "Profile does not exist. Please verify the correct path/name was given.";

bool starts_with_select(std::u16string_view value)
{
    std::u16string v = tk_trim_left(value);
    return v.size() >= 6 && tk_equal_nocase(std::u16string_view(v).substr(0, 6), u"SELECT");
}

// Every entry is one line: line breaks inside a value (a query typed on
// several lines) become blanks.
std::u16string one_line(std::u16string text)
{
    for (char16_t& c : text)
        if (c == u'\r' || c == u'\n') c = u' ';
    return text;
}

bool write_all(int fd, const std::string& text)
{
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

udb_profile::udb_profile()
{
    add_section(k_available_queries);
    add_section(k_selected_tables);
    add_section(k_generic);
}

void udb_profile::add_section(const std::u16string& name)
{
    sections_.try_emplace(name);
}

void udb_profile::set_value(const std::u16string& section, const std::u16string& key, const std::u16string& value)
{
    sections_[section].try_emplace(key, value);
}

std::u16string udb_profile::get_value(const std::u16string& section, const std::u16string& key) const
{
    auto s = sections_.find(section);
    if (s == sections_.end()) return {};
    auto v = s->second.find(key);
    return v == s->second.end() ? std::u16string() : v->second;
}

const udb_profile::section_type& udb_profile::section(const std::u16string& name) const
{
    static const section_type empty;
    auto s = sections_.find(name);
    return s == sections_.end() ? empty : s->second;
}

bool udb_profile::load(const std::u16string& path)
{
    std::string narrow = tk_to_ansi(path);
    tk_trace(2, "udb_profile::load(%s)", narrow);
    if (!tk_is_file_exist(path, tk_access_read)) throw tk_exception(k_missing_profile, 1);
    std::ifstream in(narrow, std::ios::binary);
    if (!in) return false;

    std::u16string current;  // empty: no section named yet
    bool have_section = false;
    bool first = true;
    std::string raw;
    while (std::getline(in, raw)) {
        if (raw.size() >= max_line_bytes) {
            tk_trace(3, "Profile line longer than %u bytes", static_cast<unsigned>(max_line_bytes));
            return false;
        }
        if (first && raw.starts_with("\xEF\xBB\xBF")) raw.erase(0, 3);
        first = false;
        if (!raw.empty() && raw.back() == '\r') raw.pop_back();
        std::u16string wide;
        if (!tk_utf8_to_wide(raw, wide)) {
            tk_trace(3, "Profile line is not UTF-8 text");
            return false;
        }
        std::u16string line = tk_trim(wide);
        if (line.empty()) continue;
        if (line.size() >= 2 && line.front() == u'[' && line.back() == u']') {
            current = line.substr(1, line.size() - 2);
            add_section(current);
            have_section = true;
            continue;
        }
        if (!have_section) return false;
        size_t eq = line.find(u'=');
        std::u16string key = eq == std::u16string::npos ? line : tk_trim(std::u16string_view(line).substr(0, eq));
        std::u16string value = eq == std::u16string::npos ? std::u16string() : line.substr(eq + 1);
        // In the two lists a bare key is a table name; a table name may
        // contain "=", and only a SELECT text is a query.
        bool list = current == k_selected_tables || current == k_available_queries;
        if (list && !value.empty() && !starts_with_select(value)) {
            key = line;
            value.clear();
        }
        set_value(current, key, value);
    }
    // A read error other than the end of the file is a failed load.
    return in.eof();
}

std::string udb_profile::to_text() const
{
    std::u16string text;
    for (const auto& [name, entries] : sections_) {
        text += u"[" + one_line(name) + u"]\r\n";
        bool bare = name == k_selected_tables;
        for (const auto& [key, value] : entries) {
            text += one_line(key);
            if (!(bare && value.empty())) text += u"=" + one_line(value);
            text += u"\r\n";
        }
        text += u"\r\n";
    }
    return tk_to_utf8(text);
}

bool udb_profile::store(const std::u16string& path) const
{
    std::string narrow;
    if (!tk_wide_to_ansi(path, narrow) || narrow.empty()) return false;
    tk_trace(2, "udb_profile::store)", narrow);
    std::string text = to_text();

    // The temporary file sits beside the target so that rename() replaces
    // it atomically; mkstemp creates it readable by the owner only, and the
    // passwords in it never exist in a file anybody else can read.
    std::string temp = narrow + ".XXXXXX";
    int fd = ::mkstemp(temp.data());
    if (fd < 0) return false;
    bool ok = ::fchmod(fd, S_IRUSR | S_IWUSR) == 0 && write_all(fd, text) && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    if (ok) ok = ::rename(temp.c_str(), narrow.c_str()) == 0;
    if (!ok) ::unlink(temp.c_str());
    return ok;
}
