#include "jet_field.h"

#include "jet_error.h"

jet_field::jet_field(const jet_column& column) : column_(column) {}

const ole_variant& jet_field::value() const
{
    if (!has_value_) throw jet_error(jet_err_illegal_operation);
    return value_;
}

const jet_value& jet_field::raw_value() const
{
    if (!has_value_) throw jet_error(jet_err_illegal_operation);
    return raw_;
}

void jet_field::set_value(const jet_value& v)
{
    raw_ = v;
    value_ = to_variant(v);
    has_value_ = true;
}

ole_variant jet_field::to_variant(const jet_value& v)
{
    ole_variant out;
    switch (v.kind) {
    case jet_kind::null: out.set_null(); break;
    case jet_kind::boolean: out = ole_variant(v.i != 0); break;
    case jet_kind::byte: out = ole_variant(static_cast<unsigned char>(v.i)); break;
    case jet_kind::int16: out = ole_variant(static_cast<short>(v.i)); break;
    case jet_kind::int32: out = ole_variant(static_cast<int>(v.i)); break;
    case jet_kind::int64: out = ole_variant(static_cast<long long>(v.i)); break;
    case jet_kind::currency: {
        ole_cy cy;
        cy.int64 = v.i;
        out = ole_variant(cy);
        break;
    }
    case jet_kind::single: out = ole_variant(static_cast<float>(v.d)); break;
    case jet_kind::dbl: out = ole_variant(v.d); break;
    case jet_kind::date:
        // A number without a calendar form (a damaged value) stays VT_EMPTY.
        if (!out.attach_date_number(v.d))
            out.clear();
        else if (v.ticks != 0)
            out.set_date_fraction(v.ticks);
        break;
    case jet_kind::text:
    case jet_kind::guid: out.attach_wstring(v.text); break;
    case jet_kind::binary: out.attach_binary(v.bytes.data(), v.bytes.size()); break;
    case jet_kind::decimal: {
        ole_decimal d;
        d.scale = v.dec.scale;
        d.sign = v.dec.negative ? ole_decimal::sign_negative : 0;
        d.hi32 = v.dec.hi;
        d.lo64 = v.dec.lo;
        out = ole_variant(d);
        break;
    }
    }
    return out;
}
