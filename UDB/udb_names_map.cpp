#include "udb_names_map.h"

#include "tk_logger.h"
#include "tk_wstring.h"

namespace {

bool same_name(std::u16string_view a, std::u16string_view b, bool case_sensitive)
{
    return case_sensitive ? a == b : tk_equal_nocase(a, b);
}

}  // namespace

void t_names_map::add(std::u16string_view source, std::u16string_view target)
{
    tk_trace(1, u"t_names_map::add(%s,%s)", source, target);
    pairs_.emplace(std::u16string(source), std::u16string(target));
}

std::u16string t_names_map::get_mapped_name(std::u16string_view name, bool case_sensitive) const
{
    tk_trace(1, u"t_names_map::get_mapped_name(%s)", name);
    for (const auto& [source, target] : pairs_) {
        if (same_name(source, name, case_sensitive)) {
            tk_trace(1, u"Got mapped name: %s", target);
            return target;
        }
    }
    return std::u16string(name);
}

void udb_names_map::add_tn_mapping(std::u16string_view source, std::u16string_view target)
{
    tk_trace(1, u"udb_names_map::add_tn_mapping(%s,%s)", source, target);
    tables_.add(source, target);
}

void udb_names_map::add_fn_map(std::u16string_view table, const t_names_map& field_map)
{
    tk_trace(1, u"udb_names_map::add_fn_map(%s)", table);
    fields_.insert_or_assign(std::u16string(table), field_map);
}

std::u16string udb_names_map::get_tn_mapped_name(std::u16string_view name, bool case_sensitive) const
{
    tk_trace(1, u"udb_names_map::get_tn_mapped_name(%s)", name);
    for (const auto& [source, target] : tables_.pairs()) {
        tk_trace(1, u"Comparing with (%s,%s)", source, target);
        if (same_name(source, name, case_sensitive)) {
            tk_trace(1, u"Got mapped name: %s", target);
            return target;
        }
    }
    return std::u16string(name);
}

std::u16string udb_names_map::get_fn_mapped_name(std::u16string_view table, std::u16string_view field,
                                                 bool case_sensitive) const
{
    tk_trace(1, u"udb_names_map::get_fn_mapped_name(%s,%s)", table, field);
    const t_names_map* map = field_map(table);
    if (map == nullptr) {
        tk_trace(1, u"Table '%s' not found", table);
        return std::u16string(field);
    }
    return map->get_mapped_name(field, case_sensitive);
}

const t_names_map* udb_names_map::field_map(std::u16string_view table) const
{
    auto it = fields_.find(table);
    return it == fields_.end() ? nullptr : &it->second;
}
