#include "udb_record.h"

#include <stdexcept>

#include "tk_exception.h"
#include "udb_field.h"

udb_record::udb_record() = default;
udb_record::~udb_record() = default;
udb_record::udb_record(udb_record&&) noexcept = default;
udb_record& udb_record::operator=(udb_record&&) noexcept = default;

void udb_record::push_back(std::unique_ptr<udb_field> field)
{
    TK_ASSERT(field != nullptr);
    fields_.push_back(std::move(field));
}

void udb_record::clear()
{
    fields_.clear();
}

udb_field& udb_record::operator[](size_t pos) const
{
    if (pos >= fields_.size()) throw std::out_of_range("invalid vector<T> subscript");
    return *fields_[pos];
}
