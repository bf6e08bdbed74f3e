#include "dao_field.h"

#include "jet_dao_types.h"
#include "jet_error.h"
#include "jet_field.h"
#include "ole_exceptions.h"
#include "tk_logger.h"

namespace {

template <class S>
S rewrite(S text, const S& fake, const S& zero_date, const S& midnight)
{
    size_t at = text.find(fake);
    if (at == S::npos) return text;
    tk_trace(1, "Fake date has been found");
    if (text.size() > fake.size()) {
        text.replace(at, fake.size(), zero_date);
    } else {
        tk_trace(1, "Transform pure fake date to pure time");
        text = midnight;
    }
    return text;
}

}  // namespace

dao_field::dao_field(const jet_field& field, bool with_value)
{
    tk_trace(1, "dao_field::ctor");
    name = field.name();
    size = field.size();
    dao_type_ = field.type();
    tk_trace(1, u"Field name='%s', size=%d", name, size);
    b_not_null = field.required();
    b_auto_increment = (field.attributes() & jet_field_auto_increment) != 0;
    if (with_value) read_value(field);
    if (tk_trace_target(1) != nullptr) tk_trace(1, u"Got DAO field: %s", to_wstring());
}

dao_field::~dao_field() = default;

void dao_field::read_value(const jet_field& field)
{
    try {
        static_cast<ole_variant&>(*this) = field.value();
    } catch (const jet_error&) {
        clear();  // DAO could not deliver it: the value stays empty
        return;
    }
    if (get_vt() == VT_NULL) tk_trace(1, "*** NULL ***");
    if (get_vt() == VT_DATE) {
        tk_trace(1, "Special processing for VT_DATE");
        const ole_systemtime& st = as_date();
        if (st.year == 0 && st.month == 0 && st.day == 0) tk_trace(1, "Failed to convert VARIANT->SYSTEMTIME");
    }
}

ole_vartype dao_field::get_type() const
{
    tk_trace(1, "dao_field::get_type");
    if (get_vt() != VT_EMPTY) {
        tk_trace(1, "Use ole_variant::get_type");
        tk_trace(1, "vt1=%08X", get_vt());
        return get_vt();
    }
    tk_trace(1, "Use DAO methods to extract field type");
    ole_vartype vt = get_vartype(dao_type_);
    tk_trace(1, "vt2=%08X", vt);
    return vt;
}

std::string dao_field::rewrite_fake_date(std::string text)
{
    return rewrite<std::string>(std::move(text), "1899-12-30", "0000-00-00", "00:00:00");
}

std::u16string dao_field::rewrite_fake_date(std::u16string text)
{
    return rewrite<std::u16string>(std::move(text), u"1899-12-30", u"0000-00-00", u"00:00:00");
}

std::string dao_field::to_string() const
{
    tk_trace(1, "dao_field::to_string(vt=%08X)", get_vt());
    if (get_type() != VT_DATE) return ole_variant::to_string();
    return rewrite_fake_date(ole_variant::to_string());
}

std::u16string dao_field::to_wstring() const
{
    tk_trace(1, "dao_field::to_wstring(vt=%08X)", get_vt());
    if (get_type() != VT_DATE) return ole_variant::to_wstring();
    return rewrite_fake_date(ole_variant::to_wstring());
}

ole_vartype dao_field::get_vartype(int dao_type)
{
    tk_trace(1, "dao_field::get_vartype(%d)", dao_type);
    switch (dao_type) {
    case jet_dao_boolean: return VT_BOOL;
    case jet_dao_byte: return VT_UI1;
    case jet_dao_integer: return VT_I2;
    case jet_dao_long: return VT_I4;
    case jet_dao_currency: return VT_CY;
    case jet_dao_single: return VT_R4;
    case jet_dao_double:
    case jet_dao_numeric:
    case jet_dao_float: return VT_R8;
    // Exact: a double would lose the digits beyond the fifteenth.
    case jet_dao_decimal: return VT_DECIMAL;
    // A 64-bit integer, not its raw bytes.
    case jet_dao_bigint: return VT_I8;
    case jet_dao_date:
    case jet_dao_time:
    case jet_dao_date_time_extended: return VT_DATE;
    case jet_dao_text:
    case jet_dao_memo: return VT_BSTR;
    default: return VT_BLOB;
    }
}

int16_t dao_field::get_native_type(ole_vartype vt, uint32_t size)
{
    tk_trace(1, "dao_field::get_native_type(%d)", vt);
    const bool short_column = size >= 1 && size <= 255;
    switch (vt) {
    case VT_I2:
    case VT_I1: return jet_dao_integer;
    case VT_I4:
    case VT_UI2: return jet_dao_long;
    case VT_R4: return jet_dao_single;
    case VT_R8:
    case VT_UI4:
    case VT_UI8: return jet_dao_double;
    // The inverse of get_vartype, so that no digit is lost either way.
    case VT_DECIMAL: return jet_dao_decimal;
    case VT_I8: return jet_dao_bigint;
    case VT_CY: return jet_dao_currency;
    case VT_DATE: return jet_dao_date;
    case VT_BSTR: return short_column ? jet_dao_text : jet_dao_memo;
    case VT_BOOL: return jet_dao_boolean;
    case VT_UI1: return jet_dao_byte;
    case VT_BLOB:
    case VT_BLOB_OBJECT:
    case VT_ARRAY_UI1: return short_column ? jet_dao_binary : jet_dao_long_binary;
    default: throw ole_type_exception();
    }
}
