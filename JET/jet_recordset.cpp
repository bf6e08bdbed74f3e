#include "jet_recordset.h"

#include <algorithm>

#include "jet_error.h"
#include "tk_exception.h"
#include "tk_logger.h"

jet_row_source::~jet_row_source() = default;

void jet_open_recordsets::add(jet_recordset* rs)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (closed_) throw jet_error(jet_err_object_invalid);
    open_.push_back(rs);
}

void jet_open_recordsets::remove(jet_recordset* rs)
{
    // The source is released under the lock: a close_all() running at the
    // same time must not free the file while this source still reads it.
    std::lock_guard<std::mutex> lock(mutex_);
    open_.erase(std::remove(open_.begin(), open_.end(), rs), open_.end());
    rs->release();
}

void jet_open_recordsets::close_all()
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (!open_.empty()) tk_trace(2, "jet_open_recordsets::close_all: closing %d recordsets", open_.size());
    for (jet_recordset* rs : open_) rs->release();
    open_.clear();
    closed_ = true;
}

bool jet_open_recordsets::closed() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return closed_;
}

void jet_open_recordsets::check_open() const
{
    if (closed()) throw jet_error(jet_err_object_invalid);
}

jet_recordset::jet_recordset(std::unique_ptr<jet_row_source> source, std::shared_ptr<jet_open_recordsets> owner)
    : source_(std::move(source))
{
    TK_ASSERT(source_);
    for (const jet_column& c : source_->columns()) fields_.emplace_back(c);
    source_->rewind();
    if (fetch()) {
        position_ = 0;
        eof_ = bof_ = false;
    }
    // Last: a constructor that raises leaves nothing registered.
    if (owner) {
        owner->add(this);
        owner_ = std::move(owner);
    }
}

jet_recordset::~jet_recordset()
{
    close();
}

void jet_recordset::raise_closed()
{
    throw jet_error(jet_err_object_invalid);
}

void jet_recordset::release()
{
    source_.reset();
    row_.clear();
    position_ = -1;
    eof_ = bof_ = true;
}

void jet_recordset::close()
{
    if (owner_) {
        std::shared_ptr<jet_open_recordsets> owner = std::move(owner_);
        owner->remove(this);
    } else {
        release();
    }
}

bool jet_recordset::fetch()
{
    if (!source_->next(row_)) return false;
    for (size_t i = 0; i < fields_.size(); ++i) fields_[i].set_value(row_[i]);
    return true;
}

void jet_recordset::move_first()
{
    check_open();
    source_->rewind();
    position_ = -1;
    eof_ = bof_ = true;
    if (fetch()) {
        position_ = 0;
        eof_ = bof_ = false;
    }
}

void jet_recordset::move_next()
{
    check_open();
    if (eof_) throw jet_error(jet_err_no_current_record);
    bof_ = false;
    if (fetch()) {
        ++position_;
    } else {
        eof_ = true;
        position_ = -1;
    }
}

void jet_recordset::move_previous()
{
    check_open();
    if (bof_) throw jet_error(jet_err_no_current_record);
    int64_t want = position_ - 1;
    if (eof_) {
        // Past the end: the last row is wanted; count the rows to find it.
        source_->rewind();
        want = -1;
        while (source_->next(row_)) ++want;
    }
    eof_ = false;
    if (want < 0) {
        bof_ = true;
        position_ = -1;
        return;
    }
    source_->rewind();
    for (int64_t i = 0; i <= want; ++i)
        if (!source_->next(row_)) throw jet_error(jet_err_no_current_record);
    for (size_t i = 0; i < fields_.size(); ++i) fields_[i].set_value(row_[i]);
    position_ = want;
}

const std::vector<jet_field>& jet_recordset::fields() const
{
    check_open();
    if (eof_ || bof_) throw jet_error(jet_err_no_current_record);
    return fields_;
}
