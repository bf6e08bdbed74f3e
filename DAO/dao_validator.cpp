#include "dao_validator.h"

#include "tk_logger.h"
#include "tk_wstring.h"
#include "udb_ftd.h"
#include "udb_index.h"
#include "udb_schema.h"

dao_validator::dao_validator() : udb_validator(0)
{
    illegal_chars = {u'`', u'!', u'[', u']', u'.'};
}

bool dao_validator::is_acceptable(std::u16string_view name) const
{
    tk_trace(1, u"dao_validator::is_acceptable(%s)", name);
    if (name.empty() || name.front() == u' ' || name.back() == u' ') return false;
    return udb_validator::is_acceptable(name);
}

std::u16string dao_validator::get_safe_name(std::u16string_view name) const
{
    tk_trace(1, u"dao_validator::get_safe_name(%s)", name);
    return udb_validator::get_safe_name(tk_trim(name));
}

dao_fn_validator::dao_fn_validator(const udb_schema& fields)
{
    used_names.reserve(fields.size());
    for (const t_ftd* ftd : fields) used_names.push_back(ftd->name);
}

dao_in_validator::dao_in_validator(const udb_indexes& indexes)
{
    used_names.reserve(indexes.size());
    for (const udb_index& index : indexes) used_names.push_back(index.name);
}
