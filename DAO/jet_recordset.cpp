#include "jet_recordset.h"

#include "jet_error.h"
#include "tk_logger.h"

jet_row_source::~jet_row_source() = default;

jet_recordset::jet_recordset(std::unique_ptr<jet_row_source> source) : source_(std::move(source))
{
    for (const jet_column& c : source_->columns()) fields_.emplace_back(c);
    source_->rewind();
    if (fetch()) {
        position_ = 0;
        eof_ = bof_ = false;
    }
}

jet_recordset::~jet_recordset() = default;

bool jet_recordset::fetch()
{
    if (!source_->next(row_)) return false;
    for (size_t i = 0; i < fields_.size(); ++i) fields_[i].set_value(row_[i]);
    return true;
}

void jet_recordset::move_first()
{
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
    if (eof_ || bof_) throw jet_error(jet_err_no_current_record);
    return fields_;
}

void jet_recordset::close()
{
    eof_ = bof_ = true;
}
