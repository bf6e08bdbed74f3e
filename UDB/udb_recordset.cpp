#include "udb_recordset.h"

#include "tk_logger.h"
#include "tk_wstring.h"
#include "udb_field.h"
#include "udb_ftd.h"
#include "udb_record.h"

udb_recordset::udb_recordset(std::u16string rs_name, std::u16string text, bool owns)
    : query_text(std::move(text)), name(std::move(rs_name)), schema(owns)
{}

udb_recordset::udb_recordset(std::u16string rs_name, bool owns) : name(std::move(rs_name)), schema(owns) {}

udb_recordset::~udb_recordset() = default;

void udb_recordset::update(udb_record&)
{
    tk_trace(1, "udb_recordset::update");
}

udb_record* udb_recordset::get_item()
{
    return nullptr;
}

bool udb_recordset::is_eof()
{
    return true;
}

bool udb_recordset::is_query() const
{
    return !query_text.empty();
}

void udb_recordset::next() {}

void udb_recordset::move_prev() {}

void udb_recordset::move_first() {}

void udb_recordset::add_index(const udb_index& index)
{
    tk_trace(1, "udb_recordset::add_index");
    if (!indexes.is_acceptable_name(index.name)) return;
    if (key_index == -1 && (index.primary || index.unique)) {
        tk_trace(1, "Store primary/unique key");
        key_index = static_cast<int32_t>(indexes.size());
    }
    indexes.push_back(index);
}

void udb_recordset::convert_record(udb_record& record) const
{
    tk_trace(1, "udb_recordset::convert_record");
    for (size_t i = 0; i < record.size(); ++i) {
        udb_field& field = record[i];
        const t_ftd& column = schema[i];
        tk_trace(1, u"from=%s, to=%s", field.name, column.name);
        field.change_type(column.vartype);
    }
}
