#include "dao_recordset.h"

#include "dao_default_value.h"
#include "dao_exception.h"
#include "dao_field.h"
#include "dao_get_valid_variant.h"
#include "jet_column.h"
#include "jet_dao_types.h"
#include "tk_logger.h"
#include "tk_wstring.h"
#include "udb_ftd.h"

namespace {

// The extra word of a column beyond the date rule: 1 for a GUID, the
// precision and scale of a Decimal (precision * 256 + scale), so that the
// target can declare the column exactly.
uint32_t type_extra(const jet_field& f, uint32_t extra)
{
    if (f.type() == jet_dao_guid) return 1;
    if (f.type() == jet_dao_decimal) return static_cast<uint32_t>(f.column().precision) * 256u + f.column().scale;
    return extra;
}

// The schema entry of a column. A Date/Time Extended column keeps seven
// digits below the second, which its values carry as their date fraction.
std::unique_ptr<t_ftd> make_ftd(const dao_field& field, const ole_variant& def, const jet_field& f, uint32_t extra)
{
    auto ftd = std::make_unique<t_ftd>(field, def, type_extra(f, extra));
    if (f.type() == jet_dao_date_time_extended) ftd->fraction_digits = 7;
    return ftd;
}

}  // namespace

dao_recordset::dao_recordset(const std::u16string& name, std::unique_ptr<jet_recordset> rs,
                             std::unique_ptr<jet_tabledef> tabledef)
    : udb_recordset(name, true), rs_(std::move(rs))
{
    tk_trace(2, u"dao_recordset::dao_recordset(%s)", name);
    TK_ASSERT(rs_);
    TK_ASSERT(tabledef);
    count_ = dao_invoke([&] { return tabledef->record_count(); });
    record_count = count_;
    tk_trace(1, "Got records count: %d", count_);
    init_schema(*tabledef);
    init_indexes(*tabledef);
    read_eof();
}

dao_recordset::dao_recordset(const std::u16string& name, const std::u16string& text, std::unique_ptr<jet_recordset> rs,
                             std::unique_ptr<jet_querydef> querydef, uint32_t count)
    : udb_recordset(name, text, true), rs_(std::move(rs))
{
    tk_trace(2, u"dao_recordset::dao_recordset(%s)", name);
    TK_ASSERT(rs_);
    TK_ASSERT(querydef);
    count_ = static_cast<int32_t>(count);
    record_count = count_;
    tk_trace(1, "Got records count: %d", count_);
    init_schema(*querydef);
    read_eof();
}

dao_recordset::~dao_recordset()
{
    // The record refers to nothing of the recordset, but goes first all
    // the same: the owner's view is that it dies with the recordset.
    current_.reset();
}

void dao_recordset::read_eof()
{
    eof_ = dao_invoke([&] { return rs_->eof(); }) ? -1 : 0;
}

void dao_recordset::check_open() const
{
    if (!rs_->is_open()) dao_invoke([] { throw jet_error(jet_err_object_invalid); });
}

void dao_recordset::init_schema(jet_tabledef& tabledef)
{
    tk_trace(2, "dao_recordset::init_schema( DAOTableDef * )");
    std::vector<jet_field> fields = dao_invoke([&] { return tabledef.fields(); });
    for (const std::u16string& c : tabledef.skipped_columns()) {
        tk_trace(3, u"Column '%s' of table '%s' cannot be read and is left out", c, tabledef.name());
        skipped_.push_back(c);
    }
    for (size_t i = 0; i < fields.size(); ++i) {
        const jet_field& f = fields[i];
        tk_trace(1, u"Field #%d: size=%d, DAO type=%d, default value=%s", i, f.size(), f.type(), f.default_value());
        uint32_t extra = 0;
        std::u16string text =
            dao_default_value::clean_table(f.default_value(), f.type(), f.size(), static_cast<int>(i), extra);
        ole_variant def = dao_default_value::make(text, dao_field::get_vartype(f.type()));
        dao_field field(f, false);
        schema.push_back(make_ftd(field, def, f, extra));
    }
    tk_trace(1, "End of dao_recordset::init_schema");
}

void dao_recordset::init_schema(jet_querydef& querydef)
{
    tk_trace(2, "dao_recordset::init_schema( DAOQueryDef * )");
    std::vector<jet_field> fields = dao_invoke([&] { return querydef.fields(); });
    for (size_t i = 0; i < fields.size(); ++i) {
        const jet_field& f = fields[i];
        tk_trace(1, u"Field #%d: DAO type=%d, default value=%s", i, f.type(), f.default_value());
        uint32_t extra = 0;
        std::u16string text = dao_default_value::clean_query(f.default_value(), f.type(), extra);
        ole_variant def = dao_default_value::make(text, dao_field::get_vartype(f.type()));
        dao_field field(f, false);
        schema.push_back(make_ftd(field, def, f, extra));
    }
    tk_trace(1, "End of dao_recordset::init_schema");
}

void dao_recordset::init_indexes(jet_tabledef& tabledef)
{
    tk_trace(2, "dao_recordset::init_indexes");
    std::vector<jet_index> list = dao_invoke([&] { return tabledef.indexes(); });
    tk_trace(1, "Got %d indexes", list.size());
    for (size_t i = 0; i < list.size(); ++i) {
        const jet_index& x = list[i];
        tk_trace(1, "Processing index %d", i);
        if (uses_skipped_column(x)) {
            // Its column is in no record: the target could not build it.
            tk_trace(3, u"Index '%s' of table '%s' uses a column that cannot be read and is left out", x.name,
                     tabledef.name());
            continue;
        }
        tk_trace(1, "STEP #1");
        tk_trace(1, "STEP #2");
        tk_trace(1, "STEP #3");
        for (const std::u16string& f : x.fields) tk_trace(1, u"got index field: %s", f);
        tk_trace(1, "STEP #4");
        add_index(udb_index(x.name, x.unique, x.primary, x.fields));
    }
    tk_trace(1, "End of dao_recordset::init_indexes");
}

bool dao_recordset::uses_skipped_column(const jet_index& index) const
{
    for (const std::u16string& f : index.fields)
        for (const std::u16string& s : skipped_)
            if (tk_equal_nocase(f, s)) return true;
    return false;
}

udb_record* dao_recordset::get_item()
{
    TK_ASSERT(rs_);
    current_.reset();
    current_ = dao_invoke([&] { return std::make_unique<dao_record>(rs_->fields()); });
    return current_.get();
}

bool dao_recordset::is_eof()
{
    check_open();
    return eof_ != 0;
}

void dao_recordset::next()
{
    dao_invoke([&] { rs_->move_next(); });
    read_eof();
}

void dao_recordset::move_prev()
{
    if (dao_invoke([&] { return rs_->bof(); })) return;
    dao_invoke([&] { rs_->move_previous(); });
    // Moving back from the end makes the last row current again; a stale
    // end flag would hide it.
    read_eof();
}

void dao_recordset::move_first()
{
    check_open();
    if (count_ == 0 && rs_->eof()) return;
    dao_invoke([&] { rs_->move_first(); });
    read_eof();
}

ole_variant dao_recordset::value_to_store(const udb_field& field, const t_ftd& ftd)
{
    tk_trace(1, u"\tAdd field '%s', type=%08X (value=%s)", field.name, field.get_type(), field.to_wstring());
    if (field.is_empty_or_null() && ftd.b_not_null) {
        tk_trace(1, "Got NULL value for not null field");
        ole_variant v;
        v.from_string("", ftd.vartype);
        return v;
    }
    switch (field.get_vt()) {
    case VT_DATE: {
        std::string text = field.to_string();
        size_t at = text.find("0000-00-00");
        if (at != std::string::npos) {
            tk_trace(1, "Null date has been found");
            text.replace(at, 10, "1899-12-30");
        }
        ole_variant v;
        v.from_string(text, VT_DATE);
        return v;
    }
    case VT_I1:
    case VT_UI2:
    case VT_UI4:
    case VT_I8:
    case VT_UI8: return dao_get_valid_variant(field);
    default: return ole_variant(static_cast<const ole_variant&>(field));
    }
}

void dao_recordset::append_record(udb_record& record)
{
    tk_trace(1, "dao_recordset::append_record");
    tk_trace(1, "\tAdd blank DAO record");
    if (record.size() != schema.size())
        throw tk_exception("The structures of data source does not conform to the destination table.", 1);
    for (size_t i = 0; i < record.size(); ++i) (void)value_to_store(record[i], schema[i]);
    // Recordset.AddNew: the component's recordsets are read-only.
    dao_invoke([] { throw jet_error(jet_err_not_supported); });
    TK_FAIL();  // dao_invoke always raises here
}
