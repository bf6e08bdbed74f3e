#include "udb_schema.h"

#include <stdexcept>
#include <utility>

#include "tk_exception.h"
#include "tk_logger.h"
#include "tk_wstring.h"
#include "udb_ftd.h"

udb_schema::udb_schema(bool owns_descriptors) : owns_(owns_descriptors) {}

udb_schema::~udb_schema()
{
    release();
}

udb_schema::udb_schema(const udb_schema& other) : owns_(other.owns_)
{
    *this = other;
}

udb_schema& udb_schema::operator=(const udb_schema& other)
{
    if (this == &other) return *this;
    // Build the copy first, so that a failure leaves this schema as it was.
    std::vector<t_ftd*> copy;
    copy.reserve(other.items_.size());
    try {
        for (t_ftd* ftd : other.items_) copy.push_back(other.owns_ ? new t_ftd(*ftd) : ftd);
    } catch (...) {
        if (other.owns_)
            for (t_ftd* ftd : copy) delete ftd;
        throw;
    }
    release();
    items_ = std::move(copy);
    owns_ = other.owns_;
    return *this;
}

udb_schema::udb_schema(udb_schema&& other) noexcept : items_(std::move(other.items_)), owns_(other.owns_)
{
    other.items_.clear();
}

udb_schema& udb_schema::operator=(udb_schema&& other) noexcept
{
    if (this != &other) {
        release();
        items_ = std::move(other.items_);
        owns_ = other.owns_;
        other.items_.clear();
    }
    return *this;
}

void udb_schema::release()
{
    if (owns_)
        for (t_ftd* ftd : items_) delete ftd;
    items_.clear();
}

void udb_schema::push_back(t_ftd* ftd)
{
    TK_ASSERT(ftd != nullptr);
    if (!owns_) {
        items_.push_back(ftd);
        return;
    }
    std::unique_ptr<t_ftd> owned(ftd);  // freed should the vector not grow
    items_.push_back(owned.get());
    owned.release();
}

void udb_schema::push_back(std::unique_ptr<t_ftd> ftd)
{
    TK_ASSERT(owns_ && ftd != nullptr);
    items_.push_back(ftd.get());
    ftd.release();
}

void udb_schema::clear()
{
    release();
}

t_ftd& udb_schema::operator[](size_t pos) const
{
    if (pos >= items_.size()) throw std::out_of_range("invalid vector<T> subscript");
    return *items_[pos];
}

const t_ftd* udb_schema::search(std::u16string_view field) const
{
    for (const t_ftd* ftd : items_) {
        tk_trace(1, u"Processing %s", ftd->name);
        if (tk_equal_nocase(ftd->name, field)) return ftd;
    }
    return nullptr;
}

bool udb_schema::find_field(std::u16string_view field) const
{
    tk_trace(1, u"udb_schema::find_field(%s)", field);
    return search(field) != nullptr;
}

int udb_schema::get_field_idx(std::u16string_view field) const
{
    tk_trace(1, u"udb_schema::get_field_idx(%s)", field);
    for (size_t i = 0; i < items_.size(); ++i)
        if (tk_equal_nocase(items_[i]->name, field)) return static_cast<int>(i);
    return -1;
}

t_ftd& udb_schema::get_field(std::u16string_view field)
{
    tk_trace(1, u"udb_schema::find_field(%s)", field);
    const t_ftd* ftd = search(field);
    TK_ASSERT(ftd != nullptr);
    return const_cast<t_ftd&>(*ftd);
}

const t_ftd& udb_schema::get_field(std::u16string_view field) const
{
    tk_trace(1, u"udb_schema::find_field(%s)", field);
    const t_ftd* ftd = search(field);
    TK_ASSERT(ftd != nullptr);
    return *ftd;
}
