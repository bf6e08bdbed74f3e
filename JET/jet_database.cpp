#include "jet_database.h"

#include "jet_error.h"
#include "jet_guard.h"
#include "jet_querydef.h"
#include "jet_sql_session.h"
#include "tk_logger.h"

jet_database::jet_database(const std::u16string& path, std::u16string_view password, bool exclusive, bool read_only,
                           int jet3_code_page)
    : name_(path), exclusive_(exclusive), read_only_(read_only)
{
    tk_trace(2, u"jet_database::jet_database(%s)", path);
    file_ = std::make_unique<jet_file>(path, password, jet3_code_page);
    jet_guard::probe(*file_, password);
    catalog_ = std::make_unique<jet_catalog>(*file_);
}

jet_database::~jet_database()
{
    close();
}

const std::u16string& jet_database::name() const
{
    return name_;
}

void jet_database::check_open() const
{
    if (!file_) throw jet_error(jet_err_object_invalid);
}

jet_file& jet_database::file()
{
    check_open();
    return *file_;
}

const jet_catalog& jet_database::catalog()
{
    check_open();
    return *catalog_;
}

std::vector<jet_tabledef> jet_database::tabledefs()
{
    check_open();
    std::vector<jet_tabledef> out;
    for (const jet_catalog_entry& e : catalog_->tables()) out.emplace_back(*this, e);
    return out;
}

jet_tabledef jet_database::tabledef(std::u16string_view name)
{
    check_open();
    const jet_catalog_entry* e = catalog_->find(name);
    if (e == nullptr) throw jet_error(jet_err_item_not_found);
    return jet_tabledef(*this, *e);
}

std::unique_ptr<jet_querydef> jet_database::create_querydef(std::u16string_view name, std::u16string_view sql)
{
    check_open();
    return std::make_unique<jet_querydef>(*this, std::u16string(name), std::u16string(sql));
}

jet_sql_session& jet_database::sql()
{
    check_open();
    if (!sql_) sql_ = std::make_unique<jet_sql_session>(*this);
    return *sql_;
}

void jet_database::close()
{
    tk_trace(2, "jet_database::close");
    // The recordsets' sources read through the query engine and the file:
    // they go before either.
    open_->close_all();
    sql_.reset();
    catalog_.reset();
    file_.reset();
}
