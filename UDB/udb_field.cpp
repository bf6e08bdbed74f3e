#include "udb_field.h"

#include "tk_logger.h"

udb_field::udb_field()
{
    tk_trace(1, "udb_field::empty ctor");
}

udb_field::udb_field(std::u16string field_name, int32_t field_size, const ole_variant& value, bool not_null,
                     bool auto_increment)
    : ole_variant(value), size(field_size), name(std::move(field_name)), b_not_null(not_null),
      b_auto_increment(auto_increment)
{
    tk_trace(1, "udb_field::ctor #2");
    tk_trace(1, u"name=%s, size=%d", name, size);
}

udb_field::~udb_field() = default;

ole_vartype udb_field::get_type() const
{
    return get_vt();
}
