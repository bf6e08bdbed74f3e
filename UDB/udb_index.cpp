#include "udb_index.h"

#include <algorithm>
#include <utility>

#include "tk_exception.h"
#include "tk_logger.h"
#include "tk_wstring.h"

udb_index::udb_index(std::u16string index_name, bool is_unique, bool is_primary, udb_name_list index_fields)
    : name(std::move(index_name)), unique(is_unique), primary(is_primary), fields(std::move(index_fields))
{}

bool udb_index::starts_with_fields(const udb_name_list& names) const
{
    tk_trace(1, u"udb_index(%s)::starts_with_fields", name);
    if (names.size() > fields.size()) return false;
    for (size_t i = 0; i < names.size(); ++i) {
        if (!tk_equal_nocase(fields[i], names[i])) {
            tk_trace(1, u"Field '%s' not found", names[i]);
            return false;
        }
    }
    tk_trace(1, "starts_with_fields returns true");
    return true;
}

bool udb_index::consists_of_fields(const udb_name_list& names) const
{
    tk_trace(1, u"udb_index(%s)::consists_of_fields", name);
    if (names.size() != fields.size()) return false;
    for (const std::u16string& n : names) {
        if (std::find(fields.begin(), fields.end(), n) == fields.end()) {
            tk_trace(1, u"Field '%s' not found", n);
            return false;
        }
    }
    tk_trace(1, "consists_of_fields returns true");
    return true;
}

const udb_index* udb_indexes::find(std::u16string_view index_name) const
{
    for (const udb_index& index : *this)
        if (tk_equal_nocase(index.name, index_name)) return &index;
    return nullptr;
}

bool udb_indexes::is_acceptable_name(std::u16string_view index_name) const
{
    tk_trace(1, u"udb_indexes::is_acceptable_name(%s)", index_name);
    return find(index_name) == nullptr;
}

const udb_index& udb_indexes::get_index(std::u16string_view index_name) const
{
    tk_trace(1, u"udb_indexes::get_index(%s)", index_name);
    const udb_index* index = find(index_name);
    TK_ASSERT(index != nullptr);
    return *index;
}

udb_index& udb_indexes::get_index(std::u16string_view index_name)
{
    return const_cast<udb_index&>(std::as_const(*this).get_index(index_name));
}

bool udb_indexes::is_idx_field(std::u16string_view column, bool primary_only) const
{
    tk_trace(1, u"udb_indexes::is_idx_field(%s)", column);
    for (const udb_index& index : *this) {
        if (primary_only && !index.primary) continue;
        if (std::find(index.fields.begin(), index.fields.end(), column) != index.fields.end()) {
            tk_trace(1, "index field");
            return true;
        }
    }
    tk_trace(1, "non-index field");
    return false;
}

bool udb_indexes::has_index_on_fields(const udb_name_list& names, bool unique) const
{
    tk_trace(1, "udb_indexes::has_index_on_fields");
    for (const udb_index& index : *this) {
        if (index.starts_with_fields(names)) return !unique || index.unique;
    }
    return false;
}
