#include "ora_query_results.h"

#include "ora_engine.h"
#include "tk_exception.h"
#include "tk_logger.h"
#include "udb_field.h"
#include "udb_ftd.h"

ora_record::ora_record(const std::vector<std::unique_ptr<ora_type>>& columns)
{
    tk_trace(1, "ora_record::ctor");
    for (size_t i = 0; i < columns.size(); ++i) {
        ora_type& c = *columns[i];
        ole_variant value;
        if (c.is_null()) {
            tk_trace(1, "Field #%d has NULL value", static_cast<int>(i));
            value.set_null();
        } else {
            value = c.to_variant();
        }
        push_back(std::make_unique<udb_field>(c.name, static_cast<int32_t>(c.size), value, !c.nullable, false));
    }
}

ora_query_results::ora_query_results(const std::u16string& rs_name, const std::u16string& text)
    : udb_recordset(rs_name, text, true)
{}

ora_query_results::ora_query_results(uint32_t columns, const std::u16string& text) : udb_recordset(u"", text, true)
{
    initialize(columns, text);
}

ora_query_results::~ora_query_results()
{
    // The record and the column readers go before the statement they read.
    current_.reset();
    types_.clear();
}

void ora_query_results::initialize(uint32_t columns, const std::u16string& text)
{
    tk_trace(2, u"ora_query_results::initialize(%d, %s)", columns, text);
    TK_ASSERT(!initialized_);
    ora_engine& engine = ora_engine::instance();
    stmt_ = std::make_unique<ora_stmt>();
    tk_trace(3, u"Run SQL query: %s\n", text);
    stmt_->prepare(text);
    stmt_->set_prefetch(ora_stmt::list_prefetch_rows);
    stmt_->execute(0);
    if (columns == 0) {
        ub4 count = 0;
        engine.check(
            engine.oci().OCIAttrGet(stmt_->get(), OCI_HTYPE_STMT, &count, nullptr, OCI_ATTR_PARAM_COUNT, engine.err()));
        columns = count;
    }
    for (ub4 i = 1; i <= columns; ++i) {
        tk_trace(1, "Processing column #%d", static_cast<int>(i));
        OCIParam* param = nullptr;
        engine.check(
            engine.oci().OCIParamGet(stmt_->get(), OCI_HTYPE_STMT, engine.err(), reinterpret_cast<void**>(&param), i));
        auto type = ora_make_type(param);
        engine.oci().OCIDescriptorFree(param, OCI_DTYPE_PARAM);
        type->define(stmt_->get(), i);
        schema.push_back(type->get_ftd());
        types_.push_back(std::move(type));
    }
    initialized_ = true;
}

void ora_query_results::append_record(udb_record&)
{
    TK_FAIL();  // a result set cannot be written
}

bool ora_query_results::fetch_row()
{
    if (at_end_) return false;
    if (!stmt_->fetch()) {
        at_end_ = true;
        return false;
    }
    fetched_ = true;
    return true;
}

bool ora_query_results::is_eof()
{
    tk_trace(1, "ora_query_results::is_eof");
    TK_ASSERT(initialized_);
    if (fetched_) return false;
    return !fetch_row();
}

udb_record* ora_query_results::get_item()
{
    tk_trace(1, "ora_query_results::get_item");
    TK_ASSERT(initialized_);
    if (!fetched_) {
        tk_trace(1, "fetch wasn't called yet");
        if (!fetch_row()) return nullptr;
    }
    current_.reset();
    current_ = std::make_unique<ora_record>(types_);
    fetched_ = false;
    return current_.get();
}
