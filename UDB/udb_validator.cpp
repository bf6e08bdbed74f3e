#include "udb_validator.h"

#include <algorithm>

#include "tk_exception.h"
#include "tk_format.h"
#include "tk_logger.h"
#include "tk_wstring.h"

namespace {

// Number of suffixes tried: "%05d" prints 00000 to 99999.
constexpr int k_suffix_count = 100000;
constexpr size_t k_suffix_length = 5;

bool contains_nocase(const std::vector<std::u16string>& names, std::u16string_view name)
{
    return std::any_of(names.begin(), names.end(),
                       [name](const std::u16string& n) { return tk_equal_nocase(n, name); });
}

bool is_high_surrogate(char16_t c)
{
    return c >= 0xD800 && c <= 0xDBFF;
}

}  // namespace

std::u16string udb_cut_name(std::u16string_view text, size_t length)
{
    if (text.size() <= length) return std::u16string(text);
    if (length > 0 && is_high_surrogate(text[length - 1])) --length;
    return std::u16string(text.substr(0, length));
}

udb_validator::udb_validator(uint32_t max_len) : max_length(max_len) {}

udb_validator::~udb_validator() = default;

bool udb_validator::is_acceptable(std::u16string_view name) const
{
    tk_trace(1, u"udb_validator::is_acceptable(%s)", name);
    if (max_length != 0 && name.size() > max_length) {
        tk_trace(1, "The name is too long");
        return false;
    }
    if (contains_nocase(restricted_names, name)) {
        tk_trace(1, "The name is restricted");
        return false;
    }
    for (char16_t c : illegal_chars) {
        if (name.find(c) != std::u16string_view::npos) {
            tk_trace(1, u"The name contains illegal: %c", c);
            return false;
        }
    }
    return true;
}

bool udb_validator::is_duplicated(std::u16string_view name) const
{
    tk_trace(1, u"udb_validator::is_duplicated(%s)", name);
    for (const std::u16string& used : used_names) {
        tk_trace(1, u"Processing %s", used);
        if (tk_equal_nocase(used, name)) return true;
    }
    return false;
}

bool udb_validator::is_free(std::u16string_view name) const
{
    return is_acceptable(name) && !is_duplicated(name);
}

std::u16string udb_validator::get_safe_name(std::u16string_view name) const
{
    tk_trace(1, u"udb_validator::get_safe_name(%s)", name);
    const size_t limit = max_length;
    std::u16string safe(name);
    if (limit != 0 && safe.size() > limit) safe = udb_cut_name(safe, limit - 1);
    for (char16_t c : illegal_chars) std::replace(safe.begin(), safe.end(), c, u'_');
    if (is_free(safe)) return safe;

    // Room for the five-digit suffix. A limit below six leaves no base at
    // all; such candidates are then judged by is_acceptable alone.
    if (limit != 0 && safe.size() + k_suffix_length > limit)
        safe = udb_cut_name(safe, limit > k_suffix_length ? limit - k_suffix_length - 1 : 0);
    for (int n = 0; n < k_suffix_count; ++n) {
        std::u16string candidate = tk_format(u"%s%05d", safe, n);
        if (is_free(candidate)) return candidate;
    }
    TK_FAIL();
}

void udb_validator::add_mapped_pair(std::u16string_view source, std::u16string_view target)
{
    tk_trace(1, u"udb_validator::add_mapped_pair(%s,%s)", source, target);
    names_map.add(source, target);
}
