// The kinds in which a query result delivers its values: those DAO gives
// for the column's type (the kinds of the Access reader).
#include <sqlite3.h>

#include <cmath>

#include "jet_sql_date.h"
#include "jet_sql_decimal.h"
#include "jet_sql_engine.h"
#include "ole_variant.h"
#include "tk_wstring.h"

namespace {

ole_variant integer_value(int64_t v, int32_t dao_type)
{
    switch (dao_type) {
    case jet_dao_byte:
        if (v >= 0 && v <= 255) return ole_variant(static_cast<unsigned char>(v));
        break;
    case jet_dao_integer:
        if (v >= -32768 && v <= 32767) return ole_variant(static_cast<short>(v));
        break;
    case jet_dao_long:
        if (v >= INT32_MIN && v <= INT32_MAX) return ole_variant(static_cast<int>(v));
        break;
    default: break;
    }
    // A value beyond its column's type (a Sum that outgrew Long) stays
    // exact rather than wrapping.
    if (v >= INT32_MIN && v <= INT32_MAX) return ole_variant(static_cast<int>(v));
    return ole_variant(static_cast<long long>(v));
}

ole_variant currency_value(double d)
{
    ole_cy cy;
    if (ole_cy_from_r8(d, cy) != OLE_S_OK) return ole_variant(d);
    return ole_variant(cy);
}

ole_variant decimal_value(double d)
{
    ole_decimal dec;
    if (ole_dec_from_r8(d, dec) != OLE_S_OK) return ole_variant(d);
    return ole_variant(dec);
}

ole_variant date_value(double d)
{
    ole_variant v;
    if (!v.attach_date_number(d)) return ole_variant(d);
    return v;
}

ole_variant number_value(double d, int32_t dao_type, bool is_integer, int64_t i)
{
    switch (dao_type) {
    case jet_dao_boolean: return ole_variant(d != 0);
    case jet_dao_currency: return currency_value(d);
    case jet_dao_decimal: return decimal_value(d);
    case jet_dao_date: return date_value(d);
    case jet_dao_single: return ole_variant(static_cast<float>(d));
    case jet_dao_double: return ole_variant(d);
    case jet_dao_bigint: return ole_variant(static_cast<long long>(is_integer ? i : std::llround(d)));
    case jet_dao_byte:
    case jet_dao_integer:
    case jet_dao_long:
        if (is_integer) return integer_value(i, dao_type);
        if (std::trunc(d) == d && std::fabs(d) < 9e15) return integer_value(static_cast<int64_t>(d), dao_type);
        return ole_variant(d);
    default: break;
    }
    // A number in a text column (an IIf mixing kinds): its Access text.
    return is_integer ? integer_value(i, jet_dao_long) : ole_variant(d);
}

}  // namespace

ole_variant jet_sql_result::value(size_t c) const
{
    const int32_t type = columns_.at(c).dao_type;
    switch (sqlite3_column_type(stmt_, static_cast<int>(c))) {
    case SQLITE_NULL: {
        ole_variant v;
        v.set_null();
        return v;
    }
    case SQLITE_INTEGER:
        if (type == jet_dao_date_time_extended) {
            double date = 0;
            uint32_t ticks = 0;
            jet_sql_ticks_decode(as_int(c), date, ticks);
            ole_variant v = date_value(date);
            if (v.get_vt() == VT_DATE && ticks != 0) v.set_date_fraction(ticks);
            return v;
        }
        return number_value(as_double(c), type, true, as_int(c));
    case SQLITE_FLOAT: return number_value(as_double(c), type, false, 0);
    case SQLITE_BLOB: {
        std::vector<uint8_t> b = as_bytes(c);
        return ole_variant(std::span<const uint8_t>(b));
    }
    default: break;
    }
    if (type == jet_dao_decimal) {
        // A Decimal travels as exact text.
        ole_decimal dec;
        std::u16string text = as_text(c);
        if (jet_sql_decimal_parse(tk_to_utf8(text), dec)) return ole_variant(dec);
        return ole_variant(text);
    }
    return ole_variant(as_text(c));
}
