#include "dao_schema_initializer.h"

#include "dao_field.h"
#include "dao_get_valid_variant.h"
#include "dao_validator.h"
#include "jet_dao_types.h"
#include "ole_date.h"
#include "tk_logger.h"
#include "udb_ftd.h"
#include "udb_schema.h"

namespace {

bool is_narrowed(ole_vartype vt)
{
    return vt == VT_I1 || vt == VT_UI2 || vt == VT_UI4 || vt == VT_I8 || vt == VT_UI8;
}

bool cannot_be_indexed(const t_ftd& f)
{
    return ole_is_binary_vt(f.vartype) || (f.vartype == VT_BSTR && f.size >= 256);
}

}  // namespace

std::u16string dao_schema_initializer::quote_def_value(const std::u16string& text)
{
    std::u16string out = u"\"";
    for (char16_t c : text) {
        if (c == u'"') out += u'"';
        out += c;
    }
    return out + u"\"";
}

std::u16string dao_schema_initializer::default_text(const ole_variant& value)
{
    const ole_vartype vt = value.get_vt();
    if (value.is_empty_or_null() || value.is_binary()) return {};
    if (is_narrowed(vt)) return dao_get_valid_variant(value).to_wstring();
    if (vt == VT_DATE) {
        tk_trace(1, "Got DATE def value");
        std::u16string text = ole_date(value.as_date()).to_wstring();
        tk_trace(1, u"After canonization: %s", text);
        return text;
    }
    return quote_def_value(value.to_wstring());
}

std::vector<dao_field_def> dao_schema_initializer::initialize() const
{
    tk_trace(2, "dao_schema_initializer::initialize");
    dao_fn_validator names(schema_);
    std::vector<dao_field_def> out;
    int32_t total = 0;
    for (size_t i = 0; i < schema_.size(); ++i) {
        const t_ftd& f = schema_[i];
        dao_field_def d;
        d.type = dao_field::get_native_type(f.vartype, f.size);
        d.size = static_cast<int32_t>(f.size);
        total += d.size;
        tk_trace(1, "Field #%d, type=%d, size=%d, total size=%d", i, d.type, d.size, total);
        d.name = f.name;
        if (!names.is_acceptable(d.name)) {
            d.name = names.get_safe_name(d.name);
            tk_trace(1, u"Store generated column name '%s'", d.name);
        }
        d.required = f.b_not_null;
        d.default_value = default_text(f.def_value);
        tk_trace(1, u"Putting default value: (%d, %s)", i, d.default_value);
        if (d.type == jet_dao_long && f.b_auto_increment) d.attributes = jet_field_auto_increment;
        out.push_back(std::move(d));
    }
    return out;
}

udb_indexes dao_indexes_initializer::initialize() const
{
    tk_trace(2, "dao_indexes_initializer::initialize");
    dao_in_validator names(indexes_);
    udb_indexes out;
    for (const udb_index& x : indexes_) {
        udb_index made(x.name, x.unique, x.primary, {});
        if (!names.is_acceptable(made.name)) {
            made.name = names.get_safe_name(made.name);
            tk_trace(1, u"Store generated index name '%s'", made.name);
        }
        for (const std::u16string& column : x.fields) {
            const int at = schema_.get_field_idx(column);
            if (at >= 0 && cannot_be_indexed(schema_[static_cast<size_t>(at)])) {
                tk_trace(1, u"Field '%s' cannot be part of index", column);
                continue;
            }
            made.fields.push_back(column);
        }
        out.push_back(std::move(made));
    }
    return out;
}
