#include "ora_validator.h"

#include <algorithm>

#include <unicode/uchar.h>
#include <unicode/utf16.h>

#include "ora_stmt.h"
#include "ora_type_map.h"
#include "tk_exception.h"
#include "tk_format.h"
#include "tk_logger.h"
#include "tk_wstring.h"
#include "udb_field.h"
#include "udb_ftd.h"
#include "udb_index.h"
#include "udb_record.h"
#include "udb_schema.h"

namespace {

constexpr int k_suffix_count = 100000;
constexpr size_t k_suffix_bytes = 5;

UChar32 code_point_at(std::u16string_view s, size_t& i)
{
    UChar32 c;
    size_t n = s.size();
    U16_NEXT(s.data(), i, n, c);
    return c;
}

size_t utf8_length(UChar32 c)
{
    return c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
}

bool is_name_char(UChar32 c)
{
    return u_isalnum(c) || c == u'_' || c == u'$' || c == u'#';
}

}  // namespace

size_t ora_name_bytes(std::u16string_view name)
{
    size_t bytes = 0;
    for (size_t i = 0; i < name.size();) bytes += utf8_length(code_point_at(name, i));
    return bytes;
}

std::u16string ora_cut_name(std::u16string_view name, size_t limit)
{
    size_t bytes = 0, i = 0;
    while (i < name.size()) {
        size_t next = i;
        size_t cost = utf8_length(code_point_at(name, next));
        if (bytes + cost > limit) break;
        bytes += cost;
        i = next;
    }
    return std::u16string(name.substr(0, i));
}

ora_validator::ora_validator() : udb_validator(static_cast<uint32_t>(ora_max_name_bytes)) {}

bool ora_validator::is_acceptable(std::u16string_view name) const
{
    tk_trace(1, u"ora_validator::is_acceptable(%s)", name);
    if (name.empty() || ora_name_bytes(name) > max_length) return false;
    size_t i = 0;
    if (!u_isalpha(code_point_at(name, i))) return false;
    for (i = 0; i < name.size();) {
        size_t at = i;
        if (!is_name_char(code_point_at(name, i))) {
            tk_trace(2, u"Name contains invalid symbol: '%s'", name.substr(at, i - at));
            return false;
        }
    }
    for (const std::u16string& r : restricted_names)
        if (tk_equal_nocase(r, name)) return false;
    return true;
}

std::u16string ora_validator::get_safe_name(std::u16string_view name) const
{
    tk_trace(1, u"ora_validator::get_safe_name(%s)", name);
    std::u16string safe(name);
    size_t first = 0;
    if (safe.empty() || !u_isalpha(code_point_at(safe, first))) safe = u"A" + safe;
    if (ora_name_bytes(safe) > max_length) safe = ora_cut_name(safe, max_length - 1);
    std::u16string clean;
    for (size_t i = 0; i < safe.size();) {
        size_t at = i;
        UChar32 c = code_point_at(safe, i);
        if (is_name_char(c))
            clean.append(safe, at, i - at);
        else
            clean += u'_';
    }
    if (is_free(clean)) return clean;
    // Room for the five-digit suffix, the whole name staying below the limit.
    std::u16string base = ora_cut_name(clean, max_length - k_suffix_bytes - 1);
    for (int n = 0; n < k_suffix_count; ++n) {
        std::u16string candidate = tk_format(u"%s%05d", base, n);
        if (is_free(candidate)) return candidate;
    }
    TK_FAIL();
}

ora_tn_validator::ora_tn_validator(const std::vector<std::u16string>& names,
                                   const std::vector<std::u16string>& more_names)
{
    used_names = names;
    used_names.insert(used_names.end(), more_names.begin(), more_names.end());
}

ora_fn_validator::ora_fn_validator(const udb_schema& fields)
{
    for (const t_ftd* f : fields) used_names.push_back(f->name);
}

ora_fn_validator::ora_fn_validator(const udb_record& fields)
{
    for (size_t i = 0; i < fields.size(); ++i) used_names.push_back(fields[i].name);
}

ora_in_validator::ora_in_validator()
{
    tk_trace(2, "ora_in_validator::ctor");
    restricted_names.push_back(u"PRIMARY");
    for (auto& n : ora_select_strings(u"SELECT a.constraint_name FROM user_cons_columns a, user_constraints b WHERE "
                                      u"a.constraint_name=b.constraint_name AND b.constraint_type='P'"))
        restricted_names.push_back(std::move(n));
    for (auto& n : ora_select_strings(u"select index_name FROM user_indexes")) restricted_names.push_back(std::move(n));
}

ora_in_validator::ora_in_validator(const std::vector<std::u16string>& restricted)
{
    restricted_names.push_back(u"PRIMARY");
    restricted_names.insert(restricted_names.end(), restricted.begin(), restricted.end());
}

std::vector<std::u16string> ora_in_validator::names_of_table(std::u16string_view table)
{
    const std::u16string t = ora_quote_literal(table);
    std::vector<std::u16string> names = ora_select_strings(
        u"SELECT constraint_name FROM user_constraints WHERE constraint_type='P' AND table_name=" + t);
    for (auto& n : ora_select_strings(u"SELECT index_name FROM user_indexes WHERE table_name=" + t))
        names.push_back(std::move(n));
    return names;
}

void ora_in_validator::release(const std::vector<std::u16string>& names)
{
    // Names generated in this run stay in used_names; only what the schema
    // held before the run is given back.
    std::erase_if(restricted_names,
                  [&](const std::u16string& r) { return std::find(names.begin(), names.end(), r) != names.end(); });
}

void ora_in_validator::load(const udb_indexes& indexes)
{
    tk_trace(2, "ora_in_validator::load");
    for (const udb_index& i : indexes) used_names.push_back(i.name);
}
