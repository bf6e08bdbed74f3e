#include "udb_ftd.h"

#include "tk_logger.h"
#include "udb_field.h"

t_ftd::t_ftd(const udb_field& field, const ole_variant& def, uint32_t extra_word)
    : size(static_cast<uint32_t>(field.size)), name(field.name), vartype(field.get_type()),
      b_auto_increment(field.b_auto_increment), b_not_null(field.b_not_null), def_value(def), extra(extra_word)
{
    tk_trace(1, "t_ftd::ctor1");
    trace_created();
}

t_ftd::t_ftd(uint32_t ftd_size, std::u16string ftd_name, ole_vartype vt, bool not_null, bool auto_increment,
             const ole_variant& def, uint32_t extra_word)
    : size(ftd_size), name(std::move(ftd_name)), vartype(vt), b_auto_increment(auto_increment), b_not_null(not_null),
      def_value(def), extra(extra_word)
{
    tk_trace(1, "t_ftd::ctor2");
    trace_created();
}

void t_ftd::trace_created() const
{
    tk_trace(1, u"Got field '%s', vartype=%d, size=%d, b_not_null=%d", name, vartype, size, b_not_null ? 1 : 0);
}
