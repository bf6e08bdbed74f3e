#include "jet_column.h"

#include <algorithm>
#include <cstdlib>

#include "jet_catalog.h"
#include "jet_file.h"
#include "jet_props.h"
#include "tk_logger.h"
#include "tk_wstring.h"

namespace {

const std::u16string* prop(const jet_property_map* props, const char* key)
{
    if (props == nullptr) return nullptr;
    auto it = props->find(key);
    return it == props->end() ? nullptr : &it->second;
}

bool prop_yes(const jet_property_map* props, const char* key)
{
    const std::u16string* v = prop(props, key);
    return v != nullptr && tk_equal_nocase(*v, u"yes");
}

int32_t dao_size(const jet_column& c, int col_size, bool jet3)
{
    switch (c.jet_type) {
    case jet_col_bool: return 1;
    case jet_col_byte: return 1;
    case jet_col_int: return 2;
    case jet_col_long: return 4;
    case jet_col_money: return 8;
    case jet_col_float: return 4;
    case jet_col_double: return 8;
    case jet_col_datetime: return 8;
    case jet_col_binary: return col_size;
    case jet_col_text: return jet3 ? col_size : col_size / 2;
    case jet_col_ole:
    case jet_col_memo: return 0;
    case jet_col_guid: return 16;
    case jet_col_numeric: return 16;
    case jet_col_bigint: return 8;
    case jet_col_ext_datetime: return 42;
    default: return col_size;
    }
}

}  // namespace

int16_t jet_dao_type_of(uint8_t t)
{
    if (t >= jet_col_bool && t <= jet_col_memo) return t;
    switch (t) {
    case jet_col_guid: return jet_dao_guid;
    case jet_col_numeric: return jet_dao_decimal;
    case jet_col_bigint: return jet_dao_bigint;
    case jet_col_ext_datetime: return jet_dao_date_time_extended;
    case jet_col_complex: return jet_dao_attachment;
    default: return 0;
    }
}

uint8_t jet_type_of_dao(int16_t dao_type)
{
    if (dao_type >= jet_dao_boolean && dao_type <= jet_dao_memo) return static_cast<uint8_t>(dao_type);
    switch (dao_type) {
    case jet_dao_guid: return jet_col_guid;
    case jet_dao_decimal: return jet_col_numeric;
    case jet_dao_bigint: return jet_col_bigint;
    case jet_dao_date_time_extended: return jet_col_ext_datetime;
    default: return 0;
    }
}

int32_t jet_column::attributes() const
{
    return (fixed ? jet_field_fixed : jet_field_variable) | (auto_long ? jet_field_auto_increment : 0);
}

std::vector<jet_column> jet_read_columns(const jet_file& file, MdbTableDef* table, const jet_properties* props,
                                         std::vector<std::u16string>& skipped)
{
    std::vector<jet_column> out;
    for (unsigned i = 0; i < table->num_cols; ++i) {
        auto* col = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, i));
        jet_column c;
        c.name = tk_from_utf8(col->name);
        c.index = static_cast<int>(i);
        c.jet_type = static_cast<uint8_t>(col->col_type);
        c.dao_type = jet_dao_type_of(c.jet_type);
        if (c.dao_type == 0 || c.jet_type == jet_col_complex) {
            // Attachments and multi-valued fields live in hidden tables that
            // DAO reads through Field2 objects; a plain reader cannot.
            tk_trace(3, u"Column '%s' of type %d cannot be read and is left out", c.name, c.jet_type);
            skipped.push_back(c.name);
            continue;
        }
        const jet_property_map* cp = props != nullptr ? props->column(c.name) : nullptr;
        c.fixed = col->is_fixed != 0;
        c.auto_long = c.jet_type == jet_col_long && col->is_long_auto;
        c.auto_guid = c.jet_type == jet_col_guid && col->is_uuid_auto;
        c.calculated = prop(cp, "Expression") != nullptr;
        if (c.calculated) {
            // The stored value has the type of the expression's result, which
            // the ResultType property names (a DAO type number).
            if (const std::u16string* rt = prop(cp, "ResultType")) {
                uint8_t t = jet_type_of_dao(static_cast<int16_t>(std::atoi(tk_to_utf8(*rt).c_str())));
                if (t != 0 && t != jet_col_complex) c.jet_type = t;
            }
            c.dao_type = jet_dao_type_of(c.jet_type);
            if (const std::u16string* e = prop(cp, "Expression")) c.expression = *e;
        }
        if (c.jet_type == jet_col_numeric) {
            // libmdb swaps the two names: col_scale holds the precision.
            c.precision = static_cast<uint8_t>(col->col_scale);
            c.scale = static_cast<uint8_t>(col->col_prec);
        }
        c.size = dao_size(c, col->col_size, file.is_jet3());
        c.required = prop_yes(cp, "Required");
        if (const std::u16string* d = prop(cp, "DefaultValue")) c.default_value = *d;
        out.push_back(std::move(c));
    }
    return out;
}

std::vector<jet_index> jet_read_indexes(MdbTableDef* table, const std::u16string& table_name,
                                        const std::vector<jet_relationship>& relationships)
{
    std::vector<jet_index> out;
    if (table->indices == nullptr) return out;
    for (unsigned i = 0; i < table->num_idxs && i < table->indices->len; ++i) {
        auto* idx = static_cast<MdbIndex*>(g_ptr_array_index(table->indices, i));
        jet_index x;
        x.name = tk_from_utf8(idx->name);
        x.primary = idx->index_type == 1;
        x.foreign = idx->index_type == 2;
        x.unique = (idx->flags & 0x01) != 0;
        x.ignore_nulls = (idx->flags & 0x02) != 0;
        x.required = (idx->flags & 0x08) != 0;
        if (x.foreign) {
            // The file keeps no key columns for it: take them from the
            // relationship of the same name whose referencing table this is.
            std::vector<std::pair<int32_t, std::u16string>> cols;
            for (const jet_relationship& r : relationships)
                if (tk_equal_nocase(r.name, x.name) && tk_equal_nocase(r.object, table_name))
                    cols.emplace_back(r.icolumn, r.column);
            if (cols.empty()) continue;  // the referenced side's internal index
            std::stable_sort(cols.begin(), cols.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
            for (auto& c : cols) x.fields.push_back(std::move(c.second));
        } else {
            for (unsigned k = 0; k < idx->num_keys && k < MDB_MAX_IDX_COLS; ++k) {
                int n = idx->key_col_num[k];
                if (n < 1 || static_cast<unsigned>(n) > table->num_cols) continue;
                auto* col = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, n - 1));
                x.fields.push_back(tk_from_utf8(col->name));
            }
        }
        out.push_back(std::move(x));
    }
    return out;
}
