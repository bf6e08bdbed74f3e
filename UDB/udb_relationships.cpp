#include "udb_relationships.h"

#include <utility>

#include "tk_exception.h"
#include "tk_logger.h"
#include "tk_wstring.h"

const udb_relationship* udb_relationships::find(std::u16string_view rel_name) const
{
    for (const udb_relationship& rel : *this)
        if (tk_equal_nocase(rel.name, rel_name)) return &rel;
    return nullptr;
}

bool udb_relationships::is_acceptable_name(std::u16string_view rel_name) const
{
    tk_trace(1, u"udb_relationships::is_acceptable_name(%s)", rel_name);
    return find(rel_name) == nullptr;
}

const udb_relationship& udb_relationships::get_index(std::u16string_view rel_name) const
{
    tk_trace(1, u"udb_relationships::get_index(%s)", rel_name);
    const udb_relationship* rel = find(rel_name);
    TK_ASSERT(rel != nullptr);
    return *rel;
}

udb_relationship& udb_relationships::get_index(std::u16string_view rel_name)
{
    return const_cast<udb_relationship&>(std::as_const(*this).get_index(rel_name));
}

std::u16string udb_relationships::gen_relship_name(const udb_relationship& rel) const
{
    static constexpr char16_t k_suffixes[] = {u'_', u'1', u'_', u'2', u'_', u'3'};
    tk_trace(1, "udb_relationships::gen_relship_name");
    std::u16string candidate = u"FK_" + rel.ref_table + u"_" + rel.table;
    // Terminates: every round makes the candidate longer than any name
    // of the finite list once enough suffixes have accumulated.
    for (size_t k = 0; !is_acceptable_name(candidate); ++k) {
        tk_trace(2, u"%s is not acceptable as a FK name", candidate);
        candidate += k_suffixes[k % std::size(k_suffixes)];
    }
    return candidate;
}
